// COLOR, ORIGIN, MOVE and the coordinate mapping of the drawing commands.
#include "test_draw_fixture.h"

namespace {

using draw_state_test = draw_fixture;

TEST_F(draw_state_test, WindowModeCountsFromTheBottomOfTheWindowRectangle) {
  graphics.window_rect = {0, 0, 640, 460};
  graphics.window_mode = 1;
  EXPECT_EQ(flip_y(10, 10).x, 10);
  EXPECT_EQ(flip_y(10, 10).y, 450);
  graphics.window_mode = 0;
  graphics.origin = {100, 50};
  EXPECT_EQ(flip_y(10, 10).x, 110);
  EXPECT_EQ(flip_y(10, 10).y, 60);
}

TEST_F(draw_state_test, OriginShiftsAddUpAndOption16Sets) {
  run({"ORIGIN %0001", "ORIGIN %0001"}, {"#100 #50"});
  EXPECT_EQ(graphics.origin.x, 200);
  EXPECT_EQ(graphics.origin.y, 100);
  run({"ORIGIN %0001", "/00000010 ORIGIN %0001"}, {"#100 #50"});
  EXPECT_EQ(graphics.origin.x, 100);
  EXPECT_EQ(graphics.origin.y, 50);
}

TEST_F(draw_state_test, OriginStackOverflowsOnTheTenthPushAndUnderflowsAtTheBottom) {
  std::vector<std::string> codes(10, "/00000080 ORIGIN %0001");
  run(codes, {"#1 #2"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("ORIGIN-Stack overflow"), std::string::npos);
  EXPECT_EQ(graphics.origin_pointer, 10);
  EXPECT_EQ(graphics.origin.x, 10);
  // Slot 10 was overwritten by the tenth push with the origin (9, 18).
  EXPECT_EQ(graphics.origin_stack[10].x, 9);
  boxes.clear();
  draw_state_reset();
  graphics.origin_stack[1] = {7, 8};
  run({"/00000100 ORIGIN %0001"}, {"#0 #0"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("ORIGIN-Stack underflow"), std::string::npos);
  EXPECT_EQ(graphics.origin.x, 7);
  EXPECT_EQ(graphics.origin.y, 8);
  EXPECT_EQ(graphics.origin_pointer, 1);
}

TEST_F(draw_state_test, OriginPushThenPopRestoresAndResetClearsModes) {
  run({"/00000010 ORIGIN %0001", "/00000080 ORIGIN %0002", "/00000100 ORIGIN %0002"}, {"#5 #6", "#30 #40"});
  EXPECT_EQ(graphics.origin.x, 5);
  EXPECT_EQ(graphics.origin.y, 6);
  EXPECT_TRUE(boxes.empty());
  graphics.window_mode = 1;
  graphics.xor_mode = true;
  graphics.current_colour = 3;
  graphics.current_position = {4, 4};
  graphics.colour_pointer = 5;
  run({"/00000002 ORIGIN %0001"}, {"#5 #6"});
  EXPECT_EQ(graphics.window_mode, 0);
  EXPECT_FALSE(graphics.xor_mode);
  EXPECT_EQ(graphics.current_colour, 7);
  EXPECT_EQ(graphics.colour_pointer, 1);
  EXPECT_EQ(graphics.origin.x, 0);
  EXPECT_EQ(graphics.current_position.x, 4);  // the position is kept
}

TEST_F(draw_state_test, ColourNumbersAreTakenModulo256FromTheirMagnitude) {
  run({"COLOR %0001"}, {"#300"});
  EXPECT_EQ(graphics.current_colour, 44);
  run({"COLOR %0001"}, {"#-3"});
  EXPECT_EQ(graphics.current_colour, 3);
  run({"COLOR %0001"}, {"#2.5"});
  EXPECT_EQ(graphics.current_colour, 3);  // halves away from zero
}

TEST_F(draw_state_test, ColourStackPushPopAndItsEdges) {
  run({"/00000080 COLOR %0001", "/00000100 COLOR %0002"}, {"#5", "#0"});
  EXPECT_EQ(graphics.current_colour, 7);
  EXPECT_EQ(param_registers[1], 7.0f);
  EXPECT_EQ(graphics.colour_pointer, 1);
  // A pop at the bottom takes slot 1 back and stays there.
  graphics.colour_stack[1] = 12;
  run({"/00000100 COLOR %0001"}, {"#0"});
  EXPECT_EQ(graphics.current_colour, 12);
  EXPECT_EQ(graphics.colour_pointer, 1);
  // A push at 10 overwrites slot 10.
  graphics.colour_pointer = 10;
  graphics.current_colour = 9;
  run({"/00000080 COLOR %0001"}, {"#1"});
  EXPECT_EQ(graphics.colour_stack[10], 9);
  EXPECT_EQ(graphics.colour_pointer, 10);
  EXPECT_EQ(graphics.current_colour, 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(draw_state_test, ColourTableEntriesAreClampedAndOption2Blocks) {
  run({"/00000004 COLOR %0001"}, {"#300 #1 #2 #3"});
  EXPECT_EQ(colour_table[256], RGB(1, 2, 3));
  run({"/00000004 COLOR %0001"}, {"#-5 #10 #20 #30"});
  EXPECT_EQ(colour_table[0], RGB(10, 20, 30));
  run({"/00000014 COLOR %0001"}, {"#4 #66051 #0 #0"});
  EXPECT_EQ(colour_table[4], 66051u);
  const uint32_t before = colour_table[5];
  run({"/00000006 COLOR %0001"}, {"#5 #1 #1 #1"});
  EXPECT_EQ(colour_table[5], before);
  const int32_t colour_before = graphics.current_colour;
  run({"/00000008 COLOR %0001"}, {"#99"});
  EXPECT_EQ(graphics.current_colour, colour_before);
}

TEST_F(draw_state_test, RelativeMovesPointUpInWindowModeButLineAndPixelOffsetsDown) {
  graphics.window_mode = 1;
  graphics.current_position = {100, 100};
  run({"/00000008 MOVE %0001"}, {"#0 #10"});
  EXPECT_EQ(graphics.current_position.y, 90);
  run({"/00004008 LINE %0001"}, {"#0 #10 #0 #0"});
  EXPECT_EQ(graphics.current_position.y, 100);
  run({"/00000008 PIXEL %0001"}, {"#0 #10 #1"});
  EXPECT_EQ(graphics.current_position.y, 110);
}

TEST_F(draw_state_test, MoveMapsAndLineCanSetThePositionInPixels) {
  graphics.origin = {10, 20};
  run({"MOVE %0001"}, {"#1 #2"});
  EXPECT_EQ(graphics.current_position.x, 11);
  EXPECT_EQ(graphics.current_position.y, 22);
  run({"/00004010 LINE %0001"}, {"#1 #2 #0 #0"});
  EXPECT_EQ(graphics.current_position.x, 1);
  EXPECT_EQ(graphics.current_position.y, 2);
  run({"/00004000 LINE %0001"}, {"#1 #2 #0 #0"});
  EXPECT_EQ(graphics.current_position.x, 11);
}

TEST_F(draw_state_test, LoadResetsStacksAndTheDrawingWindow) {
  graphics.colour_pointer = 6;
  graphics.origin_pointer = 4;
  graphics.batch_mode = true;
  screen_metrics.menu_bar_height = 20;
  reset_drawing_for_load();
  EXPECT_EQ(graphics.colour_pointer, 1);
  EXPECT_EQ(graphics.origin_pointer, 1);
  EXPECT_FALSE(graphics.batch_mode);
  EXPECT_EQ(graphics.window_rect.right, screen_metrics.width);
  EXPECT_EQ(graphics.window_rect.bottom, screen_metrics.height - 20);
}

}  // namespace
