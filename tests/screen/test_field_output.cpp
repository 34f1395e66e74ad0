// Formatted field output: each variable type by its width and decimals, the 256-character
// buffer, lookups by name, and the text markers that use it.
#include "program/test_evaluator_fixture.h"

#include "runtime/screen/field_output.h"

class field_output_test : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    field_output_reset();
  }
  static std::string formatted(int32_t v, int32_t element = 1, int32_t length = 256) {
    format_var_element(v, element);
    std::string text(static_cast<size_t>(length), '?');
    get_input_text(text.data(), length);
    return text;
  }
  static std::string field(int32_t v, int32_t element = 1) {
    return format_element_text(record(v), element);
  }
};

TEST_F(field_output_test, IntegersRightAlignedInTheirWidth) {
  const int32_t i = numeric_variable("I", var_integer, 3);
  set_int(i, 42, 1);
  set_int(i, -7, 2);
  set_int(i, 123456, 3);
  EXPECT_EQ(field(i, 1), "   42");
  EXPECT_EQ(field(i, 2), "   -7");
  EXPECT_EQ(field(i, 3), "*****");  // does not fit
  output_fields(i).width = 8;
  EXPECT_EQ(field(i, 3), "  123456");
}

TEST_F(field_output_test, RealsWithTheirDecimalsAndADecimalComma) {
  const int32_t r = numeric_variable("R", var_real, 4);
  set_real(r, 3.14159f, 1);
  set_real(r, -0.5f, 2);
  set_real(r, -9999.0f, 3);
  set_real(r, 2.5f, 4);
  EXPECT_EQ(field(r, 1), "    3,14");
  EXPECT_EQ(field(r, 2), "   -0,50");
  EXPECT_EQ(field(r, 3), "        ");  // no value
  output_fields(r).decimals = 0;
  EXPECT_EQ(field(r, 4), "       3");  // halves away from zero
  output_fields(r).decimals = 1;
  output_fields(r).width = 6;
  EXPECT_EQ(field(r, 2), "  -0,5");
  // Too wide for the field: asterisks, never the last digits of another number.
  set_real(r, 1234567.0f, 1);
  EXPECT_EQ(field(r, 1), "******");
  set_real(r, -1234.5f, 1);
  EXPECT_EQ(field(r, 1), "******");
  set_real(r, -123.4f, 1);
  EXPECT_EQ(field(r, 1), "-123,4");
}

TEST_F(field_output_test, TextsAndDatesAsStored) {
  const int32_t t = text_variable("T", 6, 2);
  const int32_t d = text_variable("D", 10, 1, var_date);
  set_text(t, "ABC", 1);
  set_text(t, "  xyz", 2);
  set_text(d, "01.02.2003");
  EXPECT_EQ(field(t, 1), "ABC   ");
  EXPECT_EQ(field(t, 2), "  xyz ");
  EXPECT_EQ(field(d), "01.02.2003");
}

TEST_F(field_output_test, PointerWordsShowAsIntegers) {
  const int32_t p = numeric_variable("P", var_pointer);
  set_int(p, 3 | (2 << 16));
  EXPECT_EQ(field(p), "*****");
  output_fields(p).width = 8;
  EXPECT_EQ(field(p), "  131075");
}

TEST_F(field_output_test, BufferIs256CharactersAndCopiesCutOrPad) {
  const int32_t i = numeric_variable("I", var_integer);
  set_int(i, 5);
  const std::string full = formatted(i);
  EXPECT_EQ(full, "    5" + std::string(251, ' '));
  EXPECT_EQ(formatted(i, 1, 3), "   ");
  std::string longer(300, '?');
  get_input_text(longer.data(), 300);
  EXPECT_EQ(longer, "    5" + std::string(295, ' '));
  EXPECT_EQ(field_output.variable, i);
  EXPECT_EQ(field_output.element, 1);
}

TEST_F(field_output_test, ElementsOutsideTheVariableAreReportedAndLeftBlank) {
  const int32_t i = numeric_variable("I", var_integer, 2);
  const int32_t guard = numeric_variable("G", var_integer);
  set_int(guard, 99);
  EXPECT_EQ(error_of([&] { format_var_element(i, 3); }), 0);
  EXPECT_EQ(field_output.buffer, std::string(256, ' '));
  EXPECT_EQ(error_of([&] { format_var_element(77, 1); }), 0);
  EXPECT_EQ(field_output.buffer, std::string(256, ' '));
}

TEST_F(field_output_test, FormatByName) {
  const int32_t price = numeric_variable("PRICE", var_real, 2);
  set_real(price, 12.5f, 2);
  format_var_by_name("price", 2);
  EXPECT_EQ(field_output.buffer.substr(0, 9), "   12,50 ");
  EXPECT_EQ(error_of([] { format_var_by_name("NOSUCH", 1); }), 32000);
  EXPECT_EQ(last_error_message(), "MAP-Error:NOSUCH");
}

TEST_F(field_output_test, TextMarkersInsertTheFormattedValue) {
  const int32_t i = numeric_variable("COUNT", var_integer);
  set_int(i, 42);
  char number[5];
  std::snprintf(number, sizeof number, "%04d", i);
  const int32_t t = token(std::string("Total: \xFA") + number);
  EXPECT_EQ(get_text_token(t, 12), "Total: 42   ");
}
