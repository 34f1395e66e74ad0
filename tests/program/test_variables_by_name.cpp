// Variables reached by name: the lookup with element numbers, the typed accessors, text stores,
// substrings of text variables and the argument-list stepper.
#include "test_evaluator_fixture.h"

using variables_by_name = evaluator_test;

TEST_F(variables_by_name, NamesMatchWithoutRegardToCaseAndFirstElementByDefault) {
  const int32_t price = numeric_variable("PRICE", var_real, 3);
  set_real(price, 1.25f, 1);
  set_real(price, 2.5f, 2);
  int32_t v = 0, offset = 9;
  map_variable("price", v, offset);
  EXPECT_EQ(v, price);
  EXPECT_EQ(offset, 0);
  map_variable("PRICE(1)", v, offset);
  EXPECT_EQ(v, price);
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(get_real_variable("PRICE"), 1.25f);
  EXPECT_EQ(get_real_variable("Price(2)   "), 2.5f);
  map_variable("PRICE(12345)", v, offset);  // only four digits count
  EXPECT_EQ(offset, 1233);
}

TEST_F(variables_by_name, ElementNumbersOutsideTheDimension) {
  numeric_variable("PRICE", var_integer, 3);
  EXPECT_EQ(error_of([] { get_int_variable("PRICE(3)"); }), no_error);
  EXPECT_EQ(error_of([] { get_int_variable("PRICE(0)"); }), 32000);
  EXPECT_EQ(last_error_message(), "ARRAY-violation:PRICE(0)");
  errors_reset();
  EXPECT_EQ(error_of([] { set_int_variable("PRICE(4)", 1); }), 32000);
}

TEST_F(variables_by_name, UnreadableElementMatchesOnlyLowerCaseNames) {
  numeric_variable("PRICE", var_integer, 3);
  const int32_t lower = numeric_variable("rate", var_integer, 1);
  EXPECT_EQ(error_of([] { get_int_variable("PRICE(X)"); }), 32000);
  EXPECT_EQ(last_error_message(), "MAP-Error:PRICE(X)");
  errors_reset();
  int32_t v = 0, offset = 0;
  map_variable("RATE(X)", v, offset);
  EXPECT_EQ(v, lower);
}

TEST_F(variables_by_name, LongNamesMatchOnTwelveCharacters) {
  const int32_t v12 = numeric_variable("ABCDEFGHIJKL", var_integer);
  int32_t v = 0, offset = 0;
  map_variable("ABCDEFGHIJKLMNOP", v, offset);
  EXPECT_EQ(v, v12);
}

TEST_F(variables_by_name, MissingNamesWithAndWithoutTheReport) {
  int32_t v = 5, offset = 5;
  EXPECT_EQ(error_of([&] { map_variable("NOSUCH", v, offset); }), 32000);
  EXPECT_EQ(last_error_message(), "MAP-Error:NOSUCH");
  errors_reset();
  set_map_error_report(false);
  map_variable("NOSUCH", v, offset);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(offset, -1);
  EXPECT_EQ(error_of([] { get_real_variable("NOSUCH"); }), 32000);  // then ARRAY-violation
  EXPECT_EQ(last_error_message(), "ARRAY-violation:NOSUCH");
  set_map_error_report(true);
  int32_t none = 0;
  EXPECT_EQ(error_of([&] { map_variable("(3)", v, none); }), 32000);  // no name finds nothing
  EXPECT_EQ(v, 0);
}

TEST_F(variables_by_name, TypedAccessorsCopyTheWord) {
  const int32_t i = numeric_variable("COUNT", var_integer, 2);
  const int32_t r = numeric_variable("RATE", var_real);
  set_int_variable("COUNT(2)", -17);
  EXPECT_EQ(int_at(i, 2), -17);
  EXPECT_EQ(get_int_variable("count(2)"), -17);
  set_real_variable("RATE", 0.75f);
  EXPECT_EQ(real_at(r), 0.75f);
  EXPECT_EQ(variable_type_by_name("rate"), var_real);
  EXPECT_EQ(variable_type_by_name("COUNT"), var_integer);
  EXPECT_EQ(variable_type_by_name("NOSUCH"), 0);  // silently
}

TEST_F(variables_by_name, StringStoresAreCutOrPadded) {
  const int32_t t = text_variable("NAME", 10);
  const int32_t after = text_variable("NEXT", 4);
  set_text(after, "KEEP");
  set_string_variable("NAME", std::string(30, 'x'));
  EXPECT_EQ(text_at(t), std::string(10, 'x'));
  EXPECT_EQ(text_at(after), "KEEP");
  set_string_variable("name", "ab");
  EXPECT_EQ(text_at(t), "ab        ");
  EXPECT_EQ(error_of([] { set_string_variable("NAME(2)", "q"); }), 32000);
  EXPECT_EQ(last_error_message(), "ARRAY-n.supp.:NAME(2)");
  errors_reset();
  const int32_t num = numeric_variable("NUM", var_real);
  set_string_variable("NUM", "zz");  // not a text: unchanged, no message
  EXPECT_EQ(real_at(num), 0.0f);
}

TEST_F(variables_by_name, SubstringFormats) {
  const int32_t t = text_variable("NAME", 6);
  set_text(t, "ABCDEF");
  std::string out;
  parse_substring_format(out, "NAME[2:4]");
  ASSERT_EQ(out.size(), 132u);
  EXPECT_EQ(out.substr(0, 4), "BCD ");
  parse_substring_format(out, "NAME[4:2]");
  EXPECT_EQ(out.substr(0, 7), "ABCDEF ");
  parse_substring_format(out, "name");
  EXPECT_EQ(out.substr(0, 6), "ABCDEF");
  EXPECT_EQ(error_of([&] { parse_substring_format(out, "NAME[2,4]"); }), 32000);
  EXPECT_EQ(last_error_message(), "FMT-SUBSTR2 ? : :");
  errors_reset();
  EXPECT_EQ(error_of([&] { parse_substring_format(out, "NAME[2:4"); }), 32000);
  EXPECT_EQ(last_error_message(), "FMT-SUBSTR2 ? : ]");
  errors_reset();
  EXPECT_EQ(error_of([&] { parse_substring_format(out, "NAME[a:b]"); }), 32000);
  EXPECT_EQ(last_error_message(), "FMT-SUBSTR2 !");
}

TEST_F(variables_by_name, SplitArgumentStepsThroughAList) {
  auto split = [](std::string text) {
    split_argument(text);
    const size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
  };
  EXPECT_EQ(split("12,34 56  "), "34 56");
  EXPECT_EQ(split("12 34     "), "34");
  EXPECT_EQ(split("  12      "), "12");
  EXPECT_EQ(split("&@AB,3    "), ",3");
  EXPECT_EQ(split("          "), "");
  std::string kept = "abc";
  split_argument(kept);  // no blank and no comma: nothing to remove
  EXPECT_EQ(kept, "abc");
  std::string same_length = "12,34     ";
  split_argument(same_length);
  EXPECT_EQ(same_length.size(), 10u);
}
