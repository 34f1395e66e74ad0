// Field input: editing keys, the mouse cursor, and the check and store by the variable's type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field_test_variables.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "screen_fixture.h"

namespace {

class field_input_test : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    make_field_variables();
    field_input_reset();
    area_table.count = 1;
    qn_set_box_answerer([this](std::string_view text, std::string_view, int32_t) {
      boxes.emplace_back(text);
      return 1;
    });
  }
  void start(int32_t v, int32_t e = 0) {
    area(1) = make_field_area(10, 10, v, e);
    field_input_start(1, area(1));
  }
  void type(std::string_view s) {
    for (char c : s) field_key(static_cast<unsigned char>(c));
  }
  void clear() {
    field_key(-35);
    for (int i = 0; i < 20; ++i) field_key(8);
  }
  bool finish() {
    bool ok = false;
    u_gfinp(ok);
    return ok;
  }
  std::vector<std::string> boxes;
};

TEST_F(field_input_test, StartShowsTheValueAndOpensTheField) {
  ADRSPACE.set_int(1, 42);
  start(1);
  EXPECT_TRUE(run_flags.field_input);
  EXPECT_EQ(field_input_state().text, "42");
  EXPECT_EQ(field_input_state().cursor, 2);
  EXPECT_EQ(field_input_state().area, 1);
}

TEST_F(field_input_test, EditingKeysInsertOverwriteAndDelete) {
  start(3);
  type("abc");
  field_key(-36);  // Home
  type("X");
  EXPECT_EQ(field_input_state().text, "Xabc");
  field_key(-39);  // Right
  field_key(-46);  // Delete removes "b"
  EXPECT_EQ(field_input_state().text, "Xac");
  field_key(-45);  // Insert: overwrite mode
  type("Z");
  EXPECT_EQ(field_input_state().text, "XaZ");
  field_key(-37);  // Left, then Backspace removes "a"
  field_key(8);
  EXPECT_EQ(field_input_state().text, "XZ");
  EXPECT_EQ(field_input_state().cursor, 1);
  // Keys at the edges do nothing harmful.
  field_key(-36);
  field_key(8);
  field_key(-37);
  EXPECT_EQ(field_input_state().cursor, 0);
  field_key(-35);
  field_key(-46);
  field_key(-39);
  EXPECT_EQ(field_input_state().text, "XZ");
  EXPECT_EQ(field_input_state().cursor, 2);
}

TEST_F(field_input_test, TextIsLimitedToTheElementLength) {
  start(3);
  type("0123456789");
  EXPECT_EQ(field_input_state().text, "01234567");
  EXPECT_TRUE(finish());
  EXPECT_EQ(STRING_BUFFER.view(1, 8), "01234567");
}

TEST_F(field_input_test, CtrlCCopiesTheTextToTheDesktopClipboard) {
  start(3);
  type("k\xF6pfe");
  field_key(3);
  std::string copied;
  ASSERT_TRUE(qn_clipboard_text(copied));
  EXPECT_EQ(copied, "k\xF6pfe");
  EXPECT_EQ(field_input_state().text, "k\xF6pfe");
}

TEST_F(field_input_test, IntegerIsStoredAndCheckedAgainstTheRange) {
  start(1);
  clear();
  type("-17");
  EXPECT_TRUE(finish());
  EXPECT_EQ(ADRSPACE.get_int(1), -17);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_TRUE(boxes.empty());

  start(1);
  clear();
  type("12x");
  EXPECT_FALSE(finish());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Eingabefehler");
  EXPECT_TRUE(run_flags.field_input);  // stays open
  EXPECT_EQ(ADRSPACE.get_int(1), -17);

  clear();
  type("10000");  // above the range maximum 9999
  EXPECT_FALSE(finish());
  clear();
  type("-9980");  // below the minimum -9979
  EXPECT_FALSE(finish());
  clear();
  type("-9979");
  EXPECT_TRUE(finish());
  EXPECT_EQ(ADRSPACE.get_int(1), -9979);
}

TEST_F(field_input_test, RealTakesTheDecimalCommaAndItsRange) {
  start(2, 1);  // second element
  clear();
  type("12,5");
  EXPECT_TRUE(finish());
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(3), 12.5f);
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(2), 0.0f);

  start(2, 1);
  clear();
  type("100,01");
  EXPECT_FALSE(finish());
  clear();
  type("1,2,3");
  EXPECT_FALSE(finish());
  EXPECT_EQ(boxes.size(), 2u);
  clear();
  EXPECT_TRUE(finish());  // empty is zero
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(3), 0.0f);
}

TEST_F(field_input_test, DateMustNameARealDay) {
  start(4);
  type("29.02.2023");
  EXPECT_FALSE(finish());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Datumsfehler");
  clear();
  type("31.04.2024");
  EXPECT_FALSE(finish());
  clear();
  type("1.2.2024");
  EXPECT_FALSE(finish());
  clear();
  type("29.02.2024");
  EXPECT_TRUE(finish());
  EXPECT_EQ(STRING_BUFFER.view(21, 10), "29.02.2024");
}

TEST_F(field_input_test, MouseMovesTheCursorOnlyInsideWithTheButtonDown) {
  start(3);
  type("abcdef");
  field_key(-36);
  field_mouse_cursor(10 + 3 + 3 * 8, 15, 1);
  EXPECT_EQ(field_input_state().cursor, 3);
  field_mouse_cursor(10 + 3 + 5 * 8, 15, 0);  // no button
  EXPECT_EQ(field_input_state().cursor, 3);
  field_mouse_cursor(200, 15, 1);  // outside
  EXPECT_EQ(field_input_state().cursor, 3);
  field_mouse_cursor(105, 15, 1);  // past the text: its end
  EXPECT_EQ(field_input_state().cursor, 6);
  EXPECT_TRUE(field_rect_contains(10, 30));
  EXPECT_FALSE(field_rect_contains(9, 30));
}

TEST_F(field_input_test, BlinkTogglesTheCursorAndDrawsIt) {
  start(3);
  type("ab");
  const bool before = field_input_state().cursor_shown;
  draw_text_cursor();
  EXPECT_NE(field_input_state().cursor_shown, before);
  draw_text_cursor();
  EXPECT_EQ(field_input_state().cursor_shown, before);
  run_flags.field_input = false;  // no field: nothing happens
  draw_text_cursor();
  EXPECT_EQ(field_input_state().cursor_shown, before);
}

TEST_F(field_input_test, NothingHappensWithoutAnActiveField) {
  field_key('a');
  bool ok = false;
  u_gfinp(ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(field_input_state().text.empty());
}

TEST_F(field_input_test, FocusOnAFormatFieldOpensItThroughTheLink) {
  ADRSPACE.set_int(1, 7);
  area(1) = make_field_area(10, 10, 1);
  screen_link::paint_button(8, 1);
  EXPECT_TRUE(run_flags.field_input);
  EXPECT_EQ(screen_link::field_area(), 1);
  screen_link::field_key('3');
  EXPECT_TRUE(screen_link::field_accept(false));
  EXPECT_EQ(ADRSPACE.get_int(1), 73);
  // A plain button does not open a field.
  area(1).type = area_button;
  area(1).kind = 0;
  screen_link::paint_button(8, 1);
  EXPECT_FALSE(run_flags.field_input);
}

}  // namespace
