// LINE, DRAW, PIXEL, BOX, CIRCLE, ARC and FLOOD on screen 0, and batch drawing.
#include "test_draw_fixture.h"

#include <fstream>
#include <iterator>

#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"

namespace {

class draw_shapes : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    clear_screen();
  }
};

TEST_F(draw_shapes, LineDrawsInThePenColourWithoutItsEndPixel) {
  run({"LINE %0001"}, {"#10 #10 #20 #10"});
  EXPECT_EQ(pixel(10, 10), colour(7));
  EXPECT_EQ(pixel(19, 10), colour(7));
  EXPECT_EQ(pixel(20, 10), 0xFFFFFFu);
  EXPECT_EQ(graphics.current_position.x, 20);
  EXPECT_TRUE(screen_info(0).copies > 0 || paint_suppressed());
}

TEST_F(draw_shapes, LineWithEqualEndsSetsOnePixelInTheTableColour) {
  colour_table[7] = RGB(1, 200, 3);  // the pen keeps its old colour, the pixel reads the table
  run({"LINE %0001"}, {"#30 #30 #30 #30"});
  EXPECT_EQ(pixel(30, 30), rgb_of(RGB(1, 200, 3)));
  EXPECT_EQ(painted(25, 25, 35, 35), 1);
}

TEST_F(draw_shapes, LineOption4SetsTheColourOnlyForNonNegativeNumbers) {
  run({"/00000004 LINE %0001"}, {"#260 #0 #0 #0"});
  EXPECT_EQ(graphics.current_colour, 4);
  run({"/00000004 LINE %0001"}, {"#-1 #0 #0 #0"});
  EXPECT_EQ(graphics.current_colour, 4);
  run({"/00001000 LINE %0001"}, {"#1 #1 #50 #50"});
  EXPECT_EQ(painted(0, 0, 60, 60), 0);
}

TEST_F(draw_shapes, RelativeLineAndDrawFollowTheCurrentPosition) {
  graphics.current_position = {5, 5};
  run({"/00000008 LINE %0001", "DRAW %0002"}, {"#10 #0 #0 #0", "#15 #20"});
  EXPECT_EQ(pixel(5, 5), colour(7));
  EXPECT_EQ(pixel(14, 5), colour(7));
  EXPECT_EQ(pixel(15, 12), colour(7));  // the vertical DRAW from (15, 5) to (15, 20)
  EXPECT_EQ(graphics.current_position.x, 15);
  EXPECT_EQ(graphics.current_position.y, 20);
}

TEST_F(draw_shapes, DrawOption1EvaluatesButDrawsNothing) {
  graphics.current_position = {5, 5};
  run({"/00000001 DRAW %0001 @0001"}, {"#50 #50 #1 #1"}, {"text"});
  EXPECT_EQ(graphics.current_position.x, 5);
  EXPECT_EQ(painted(0, 0, 60, 60), 0);
}

TEST_F(draw_shapes, PixelTakesAColourNumberOrAColourValue) {
  run({"PIXEL %0001", "/00000004 PIXEL %0002", "/00000010 PIXEL %0003"},
      {"#3 #4 #260", "#6 #4 #255", "#8 #4 #9"});
  EXPECT_EQ(pixel(3, 4), colour(4));
  EXPECT_EQ(pixel(6, 4), 0xFF0000u);  // 0x0000FF is red in table order
  EXPECT_EQ(pixel(8, 4), colour(9));
  EXPECT_EQ(graphics.current_position.x, 8);
}

TEST_F(draw_shapes, BoxOutlineAndFillCoverTheSameRectangleForAnySign) {
  run({"BOX %0001"}, {"#0 #10 #10 #20 #10"});
  const int32_t outline = painted(0, 0, 60, 60);
  EXPECT_EQ(outline, 2 * 21 + 2 * 9);
  EXPECT_EQ(pixel(30, 20), colour(0));
  EXPECT_EQ(graphics.current_position.x, 30);
  clear_screen();
  run({"/00000001 BOX %0001"}, {"#0 #30 #20 #-20 #-10"});
  EXPECT_EQ(painted(0, 0, 60, 60), 21 * 11);
  EXPECT_EQ(pixel(10, 10), colour(0));
  EXPECT_EQ(pixel(30, 20), colour(0));
  // Filled in window mode: the box grows upward from its corner and covers the same area.
  clear_screen();
  graphics.window_mode = 1;
  graphics.window_rect = {0, 0, 640, 100};
  run({"/00000001 BOX %0001"}, {"#0 #10 #80 #20 #10"});
  EXPECT_EQ(painted(0, 0, 60, 60), 21 * 11);
  EXPECT_EQ(pixel(10, 10), colour(0));
  EXPECT_EQ(pixel(30, 20), colour(0));
}

TEST_F(draw_shapes, BoxWithNegativePenUsesTheCurrentColour) {
  graphics.current_colour = 4;
  run({"BOX %0001"}, {"#-1 #10 #10 #5 #5"});
  EXPECT_EQ(pixel(10, 10), colour(4));
}

TEST_F(draw_shapes, CircleWithoutSecondRadiusIsRoundAndFilledOnRequest) {
  run({"/00000001 CIRCLE %0001"}, {"#4 #50 #50 #10 #0"});
  EXPECT_EQ(pixel(50, 50), colour(4));
  EXPECT_NE(pixel(50, 41), 0xFFFFFFu);
  EXPECT_NE(pixel(41, 50), 0xFFFFFFu);
  EXPECT_EQ(pixel(50, 38), 0xFFFFFFu);
  EXPECT_EQ(pixel(38, 50), 0xFFFFFFu);
  clear_screen();
  run({"CIRCLE %0001"}, {"#4 #50 #50 #10 #0"});
  EXPECT_EQ(pixel(50, 50), 0xFFFFFFu);  // hollow
  EXPECT_GT(painted(35, 35, 65, 65), 20);
}

TEST_F(draw_shapes, ArcDrawsNothingAndFloodOnlyReports) {
  run({"ARC %0001", "FLOOD"}, {"#1 #2 #3 #4 #5 #6 #7 #8 #9"});
  EXPECT_EQ(painted(0, 0, 100, 100), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("FLOOD n.u."), std::string::npos);
}

TEST_F(draw_shapes, BatchCollectsOneDirtyBoxAndEndsOnce) {
  run({"/00000001 LINE %0001", "LINE %0002", "PIXEL %0003"}, {"#0 #0 #0 #0", "#10 #10 #20 #10", "#40 #30 #1"});
  EXPECT_TRUE(graphics.batch_mode);
  EXPECT_EQ(screen_info(0).depth, 1);
  EXPECT_EQ(graphics.batch_box.left, 10);
  EXPECT_EQ(graphics.batch_box.top, 10);
  EXPECT_EQ(graphics.batch_box.right, 40);
  EXPECT_EQ(graphics.batch_box.bottom, 30);
  run({"/00000002 LINE %0001"}, {"#0 #0 #0 #0"});
  EXPECT_FALSE(graphics.batch_mode);
  EXPECT_EQ(screen_info(0).depth, 0);
  EXPECT_EQ(pixel(10, 10), colour(7));
  EXPECT_EQ(pixel(40, 30), colour(1));
}

TEST_F(draw_shapes, EndOfBatchWithoutABeginOnlyClearsTheMode) {
  run({"/00000002 LINE %0001"}, {"#0 #0 #0 #0"});
  EXPECT_FALSE(graphics.batch_mode);
  EXPECT_EQ(screen_info(0).depth, 0);
  // A second begin closes the open step first: still one step open.
  run({"/00000001 LINE %0001", "/00000001 LINE %0001"}, {"#0 #0 #0 #0"});
  EXPECT_EQ(screen_info(0).depth, 1);
  run({"/00000002 LINE %0001"}, {"#0 #0 #0 #0"});
  EXPECT_EQ(screen_info(0).depth, 0);
}

TEST_F(draw_shapes, XorModeDrawsTwiceBackToTheBackground) {
  graphics.xor_mode = true;
  run({"LINE %0001", "LINE %0001"}, {"#10 #10 #20 #10"});
  EXPECT_EQ(painted(0, 0, 30, 30), 0);
  graphics.xor_mode = false;
  run({"LINE %0001"}, {"#10 #10 #20 #10"});
  EXPECT_EQ(painted(0, 0, 30, 30), 10);
}

TEST_F(draw_shapes, PlotOpenFillsInThePaperDefaults) {
  run({"/00000080 PLOT @0001", "/00000001 PLOT %0001 @0002", "/00000002 PLOT"}, {"#41 #0 #0 #0"},
      {"dflt.dxf", "out.dxf"});
  EXPECT_EQ(get_plot_device(), 41);
}

TEST_F(draw_shapes, PlotScriptFileThatCannotBeOpenedOnlySetsTheStatus) {
  io_status = 0;
  run({"/00000040 PLOT @0001"}, {}, {"NOSCRIPT.PS"});
  EXPECT_NE(io_status, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(draw_shapes, PlotPrimitivesGoToTheOpenWorkstationUntilItIsClosed) {
  plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/");
  run({"/00000080 PLOT @0001", "/00000001 PLOT %0001 @0001", "/00000010 PLOT %0002", "/00000010 PLOT %0003"},
      {"#41 #0 #0 #0", "#1 #1 #3", "#5 #4 #2"}, {"lines.dxf"});
  EXPECT_FALSE(get_plot_ended());
  std::string file = get_plot_file();
  file.erase(file.find_last_not_of(' ') + 1);
  flush_file_writers(file);  // the plot is still open: read as a reader of the runtime does
  EXPECT_TRUE(std::ifstream(file).good()) << file;
  run({"/00000002 PLOT"}, {});
  EXPECT_TRUE(get_plot_ended());
  EXPECT_TRUE(boxes.empty());
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("LINE"), std::string::npos);
}

// Programs that fill boxes, button faces and the window far beyond the screen draw the part on
// the screen and go on; rows off the screen are not visited, so each ends at once (a program
// that walked two thousand million rows would not end within the test's time limit).
TEST_F(draw_shapes, FillsReachingFarBeyondTheScreenDrawTheirVisiblePartAndGoOn) {
  const int32_t bottom = screen0().height() - 1;
  run({"/00000001 BOX %0001"}, {"#0 #10 #10 #20 #2000000000"});
  EXPECT_EQ(pixel(10, 10), colour(0));
  EXPECT_EQ(pixel(30, bottom), colour(0));
  EXPECT_EQ(pixel(31, bottom), 0xFFFFFFu);
  EXPECT_EQ(pixel(10, 9), 0xFFFFFFu);
  clear_screen();
  run({"TEXTB %0001 @0001"}, {"#40 #20 #60 #2147483647"}, {"Text"});
  EXPECT_EQ(pixel(70, bottom), colour(7));  // the face reaches the bottom
  EXPECT_EQ(pixel(70, 19), 0xFFFFFFu);
  clear_screen();
  run({"/00000400 WINMGR %0001", "/00000004 AREA %0002", "/00010000 AREA %0002"}, {"#0 #640 #2000000000", "#4"});
  EXPECT_EQ(pixel(0, 0), colour(4));
  EXPECT_EQ(pixel(639, bottom), colour(4));
  EXPECT_TRUE(boxes.empty());
}

// One-command programs with operands at the ends of the integer range: each runs to its end
// without an overflow of a coordinate, and what lies on the screen is drawn there.
TEST_F(draw_shapes, OperandsAtTheEndsOfTheIntegerRangeGoOnWithoutOverflow) {
  struct program {
    std::vector<std::string> codes, upn, tokens;
  };
  // A constant has ten characters: the most negative integer is reached by a larger magnitude.
  const std::string max = "#2147483647", min = "#-2.2E9";
  const std::vector<program> programs = {
      {{"BOX %0001"}, {"#0 " + max + " #10 #5 #5"}},
      {{"/00000001 BOX %0001"}, {"#0 " + max + " " + max + " " + max + " " + max}},
      {{"/00000001 BOX %0001"}, {"#0 " + min + " " + min + " " + min + " " + min}},
      {{"CIRCLE %0001"}, {"#0 #320 #240 " + max + " #0"}},
      {{"/00000001 CIRCLE %0001"}, {"#0 " + max + " " + min + " " + max + " " + max}},
      {{"MOVE %0001", "/00000008 MOVE %0001"}, {max + " " + max}},
      {{"MOVE %0001", "/00000008 DRAW %0002"}, {max + " " + min, max + " " + max}},
      {{"MOVE %0001", "/00000008 LINE %0002"}, {min + " " + max, min + " " + max + " #0 #0"}},
      {{"MOVE %0001", "/00004008 LINE %0002"}, {max + " " + max, max + " " + max + " #0 #0"}},
      {{"MOVE %0001", "/00000008 PIXEL %0002"}, {max + " " + min, max + " " + min + " #1"}},
      {{"LINE %0001"}, {min + " #10 " + max + " #10"}},
      {{"PIXEL %0001"}, {max + " " + max + " #1"}},
      {{"/00000010 PIXEL %0001"}, {max + " " + max + " #1"}},
      {{"/00000010 LINE %0001"}, {min + " " + min + " " + max + " " + max}},
      {{"DRAW %0001"}, {max + " " + max}},
      {{"ORIGIN %0001", "ORIGIN %0001", "LINE %0002"}, {max + " " + max, "#1 #1 #5 #5"}},
      {{"ORIGIN %0001", "ORIGIN %0001", "BOX %0002"}, {min + " " + min, "#0 #-100 #-100 #5 #5"}},
      {{"/00000008 WINDOW %0001", "LINE %0002", "/00000001 BOX %0003"},
       {"#0", min + " " + min + " " + max + " " + max, "#0 " + max + " " + min + " #5 " + max}},
      {{"BUTTON %0001 @0001"}, {max + " #10 #100 #20"}, {"A"}},
      {{"BUTTON %0001 @0001", "/00000020 BUTTON %0002 @0001"}, {"#10 #10 #100 #20", max + " #0 #0 #0"}, {"B"}},
      {{"/00004000 BUTTON %0001 @0001", "/00000080 BUTTON %0002 @0001"},
       {"#10 " + max + " #100 " + max, "#0 " + max + " #0 #0"}, {"C"}},
      {{"/00000040 BUTTON %0001 @0001"}, {min + " #10 " + max + " #20"}, {"D"}},
      {{"/00000001 BUTTON %0001 @0001"}, {max + " " + max + " " + max + " " + max}, {"E"}},
      {{"BUTTON %0001 @0001", "/00000008 BTNMGR %0002", "/000000C0 BTNMGR %0003"},
       {"#10 #10 #100 #20", "#1 " + min + " " + min + " " + max + " " + max, "#1"}, {"F"}},
      {{"TEXTB %0001 @0001"}, {max + " " + max + " " + max + " " + max}, {"G"}},
      {{"TEXTB %0001 @0001"}, {min + " " + min + " " + min + " " + min}, {"H"}},
      {{"TEXT %0001 @0001"}, {"#0 " + max + " " + max}, {"I"}},
      {{"/00000100 SHOW %0001 @0001"}, {max + " " + max}, {"#1"}},
      {{"/00000080 SHOW %0001 @0001"}, {max + " " + max + " #5 #5"}, {"NONE.BMP"}},
      {{"/00000080 WINDOW %0001", "/00000100 WINDOW %0002"}, {min + " #10 " + max + " #20", "#1"}},
      {{"/00000080 WINDOW %0001", "/00000100 WINDOW %0002"}, {"#-1 #-1 " + min + " " + min, "#1"}},
      {{"/00000400 WINMGR %0001", "/00000004 AREA %0002", "/00010000 AREA %0002"}, {"#0 #640 " + max, "#4"}},
  };
  for (size_t i = 0; i < programs.size(); ++i) {
    SCOPED_TRACE("program " + std::to_string(i + 1) + ": " + programs[i].codes.back());
    draw_state_reset();
    clear_screen();
    run(programs[i].codes, programs[i].upn, programs[i].tokens);
    EXPECT_EQ(call_state.depth, 0);
    EXPECT_TRUE(boxes.empty());
  }
  EXPECT_TRUE(boxes.empty());
  // What lies on the screen of the last ones is there: the window fill covers it.
  EXPECT_EQ(pixel(639, screen0().height() - 1), colour(4));
  // A line toward a point far beyond the screen keeps its direction on the screen.
  clear_screen();
  run({"LINE %0001"}, {"#0 #0 #134217728 #67108864"});
  EXPECT_EQ(pixel(200, 100), colour(7));
  EXPECT_EQ(pixel(400, 200), colour(7));
}

}  // namespace
