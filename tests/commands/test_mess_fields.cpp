// The message fields along the bottom of screen 0 and message line 1.
#include <gtest/gtest.h>

#include "test_debugger_fixture.h"

namespace {
class message_fields : public debugger_fixture {
 protected:
  void SetUp() override {
    debugger_fixture::SetUp();
    start_headless();
    const screen_view screen = screen_info(0);
    ASSERT_NE(screen.bitmap, 0);
    width = screen.width;
    strip_top = screen.height - message_line_height;
  }
  uint32_t pixel(int32_t x, int32_t y) {
    ups u;
    START_BITMAP_DRAW(screen_info(0).bitmap, u);
    const uint32_t colour = GET_PIXEL(u, {x, y});
    END_BITMAP_DRAW(u);
    return colour;
  }
  int32_t width = 0, strip_top = 0;
};

TEST_F(message_fields, SameTextTwiceIsDrawnOnce) {
  output_command_text(1, "eins", 0);
  output_command_text(1, "eins", 0);
  EXPECT_EQ(command_text_info().draws[1], 1);
  output_command_text(1, "zwei", 0);
  EXPECT_EQ(command_text_info().draws[1], 2);
  output_command_text(1, "zwei", 1);  // force draws anyway
  EXPECT_EQ(command_text_info().draws[1], 3);
}

TEST_F(message_fields, FieldOneIsAFramedBoxAcrossTheBottom) {
  output_command_text(1, "x", 0);
  EXPECT_EQ(pixel(0, strip_top), colour_table[colour_numbers.grey]);
  EXPECT_EQ(pixel(width / 2, strip_top + 1), colour_table[colour_numbers.light_grey]);
  EXPECT_NE(pixel(width / 2, strip_top - 1), colour_table[colour_numbers.light_grey]);  // above the strip
}

TEST_F(message_fields, PlacingAFieldMakesEveryFieldDrawAgain) {
  output_command_text(1, "eins", 0);
  output_command_text(2, "", 200);
  EXPECT_EQ(command_text_info().left[2], 200);
  output_command_text(1, "eins", 0);
  EXPECT_EQ(command_text_info().draws[1], 2);
  // Field 1 now ends where field 2 begins.
  EXPECT_EQ(pixel(200, strip_top), colour_table[colour_numbers.grey]);
  EXPECT_EQ(pixel(200 + 1, strip_top + 1), colour_table[colour_numbers.light_grey]);
}

TEST_F(message_fields, FieldNumbersAreClampedAndNegativeOnesSwitch) {
  output_command_text(0, "null", 0);
  output_command_text(12, "zwoelf", 0);
  EXPECT_EQ(command_text_info().shown[1], "null");
  EXPECT_EQ(command_text_info().shown[8], "zwoelf");
  output_command_text(-1, "aus", 0);
  EXPECT_FALSE(command_text_info().output_on);
  output_command_text(1, "nicht", 0);
  EXPECT_EQ(command_text_info().shown[1], "null");
  output_command_text(-5, "an", 3);
  EXPECT_TRUE(command_text_info().output_on);
}

TEST_F(message_fields, TextIsCutToEightyCharacters) {
  output_command_text(1, std::string(79, 'a') + "bc", 0);
  EXPECT_EQ(command_text_info().shown[1], std::string(79, 'a') + "b");
}

TEST_F(message_fields, FieldOneBelongsToTheDebuggerWhileSingleStepping) {
  run_flags.single_step_on = true;
  output_command_text(1, "weg", 0);
  output_command_text(2, "da", 0);
  EXPECT_EQ(command_text_info().draws[1], 0);
  EXPECT_EQ(command_text_info().draws[2], 1);
  output_command_text(1, "erzwungen", 1);
  EXPECT_EQ(command_text_info().shown[1], "erzwungen");
}

TEST_F(message_fields, MessageLineOneIsShownEvenWithTheOutputOff) {
  output_command_text(1, "eins", 0);
  output_command_text(-9999, " ", 0);
  output_text_line(">abc_");
  EXPECT_EQ(command_text_info().line1, ">abc_");
  EXPECT_EQ(command_text_info().line1_draws, 1);
  output_command_text(-9999, " ", 1);
  output_command_text(1, "eins", 0);  // the line covered it: drawn again
  EXPECT_EQ(command_text_info().draws[1], 2);
}
}  // namespace
