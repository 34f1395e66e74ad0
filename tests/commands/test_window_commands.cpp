// WINDOW (window mode, escape label, XOR, saving and restoring rectangles) and WINMGR.
#include "test_draw_fixture.h"

#include "runtime/program/areas.h"
#include "runtime/screen/video_stack.h"

namespace {

class window_commands : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    clear_screen();
  }
  static int32_t depth() {
    int32_t n = 0;
    video_stack_depth(n);
    return n;
  }
};

TEST_F(window_commands, WindowModeSwitchesOnAndOff) {
  run({"/00000008 WINDOW %0001"}, {"#0"});
  EXPECT_EQ(graphics.window_mode, 1);
  run({"/00000010 WINDOW %0001"}, {"#0"});
  EXPECT_EQ(graphics.window_mode, 0);
}

TEST_F(window_commands, SaveCentresTheRectangleAndCountsEvenAnEmptyOne) {
  graphics.window_rect = {0, 0, 640, 460};
  run({"/00000080 WINDOW %0001"}, {"#-1 #10 #200 #50"});
  ASSERT_EQ(depth(), 1);
  EXPECT_EQ(video_stack_entry_at(1).x1, 220);
  EXPECT_EQ(video_stack_entry_at(1).x2, 420);
  EXPECT_EQ(video_stack_entry_at(1).y1, 10);
  EXPECT_EQ(video_stack_entry_at(1).y2, 60);
  EXPECT_EQ(level_release_count(), 1);
  run({"/00000080 WINDOW %0001"}, {"#5 #5 #100 #0"});
  EXPECT_EQ(depth(), 2);
  EXPECT_EQ(level_release_count(), 2);
}

TEST_F(window_commands, SavedPixelsComeBackOnRestore) {
  run({"/00000080 WINDOW %0001", "/00000001 BOX %0002"}, {"#10 #10 #40 #40", "#0 #20 #20 #10 #10"});
  EXPECT_GT(painted(0, 0, 60, 60), 0);
  run({"/00000100 WINDOW %0001"}, {"#0"});
  EXPECT_EQ(painted(0, 0, 60, 60), 0);
  EXPECT_EQ(depth(), 0);
  EXPECT_EQ(level_release_count(), 0);
}

TEST_F(window_commands, RestoreCountsPopsAndAllOnAnEmptyStackPopsNothing) {
  run({"/00000900 WINDOW %0001"}, {"#0"});
  EXPECT_EQ(depth(), 0);
  EXPECT_TRUE(boxes.empty());
  std::vector<std::string> pushes(4, "/00000080 WINDOW %0001");
  run(pushes, {"#0 #0 #10 #10"});
  EXPECT_EQ(depth(), 4);
  run({"/00000100 WINDOW %0001"}, {"#3"});
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(level_release_count(), 1);
  // With a shift only one entry is taken back, whatever a says.
  run(pushes, {"#0 #0 #10 #10"});
  run({"/00004100 WINDOW %0001"}, {"#3 #4"});
  EXPECT_EQ(depth(), 4);
  EXPECT_EQ(level_release_count(), 4);
  run(pushes, {"#0 #0 #10 #10"});
  run({"/00002900 WINDOW %0001"}, {"#0"});  // drop all without drawing
  EXPECT_EQ(depth(), 0);
  EXPECT_EQ(level_release_count(), 0);
  EXPECT_TRUE(boxes.empty());
  // More pops than entries meet the stack's own underflow report.
  run({"/00000100 WINDOW %0001"}, {"#1"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "video-stack underflow");
}

TEST_F(window_commands, EscapeLabelFromTheTargetOrTheFlagFromP1) {
  area_table.state.escape_enabled = logical_true;
  run({"/00000800 WINDOW %0001"}, {"#0"});
  EXPECT_EQ(area_table.state.escape_label, 0);
  EXPECT_FALSE(logical(area_table.state.escape_enabled));
  run({"/00000800 WINDOW %0001"}, {"#1"});
  EXPECT_TRUE(logical(area_table.state.escape_enabled));
  run({"/00000800 WINDOW :0002 %0001"}, {"#0"});
  EXPECT_EQ(area_table.state.escape_label, 2);
  EXPECT_TRUE(logical(area_table.state.escape_enabled));
}

TEST_F(window_commands, XorInsideABatchSwitchesTheOpenStepAtOnce) {
  run({"/00000001 LINE %0002", "/00000040 WINDOW %0001", "LINE %0003", "LINE %0003", "/00000002 LINE %0002"},
      {"#1", "#0 #0 #0 #0", "#10 #10 #20 #10"});
  EXPECT_TRUE(graphics.xor_mode);
  EXPECT_TRUE(video_stack_xor_mode());
  EXPECT_EQ(painted(0, 0, 30, 30), 0);  // drawn twice in XOR
  run({"/00000040 WINDOW %0001"}, {"#0"});
  EXPECT_FALSE(graphics.xor_mode);
}

TEST_F(window_commands, ClipboardCopyAndPasteGoThroughTheSlots) {
  run({"/00000001 BOX %0001", "/00010080 WINDOW %0002"}, {"#0 #0 #0 #9 #9", "#0 #0 #10 #10 #3"});
  EXPECT_NE(clipboard_slot_at(3).bitmap, 0);
  EXPECT_EQ(clipboard_slot_at(1).bitmap, 0);
  EXPECT_EQ(level_release_count(), 0);
  EXPECT_EQ(depth(), 0);
  run({"/00014100 WINDOW %0001"}, {"#100 #100 #3"});
  EXPECT_EQ(pixel(100, 100), colour(0));
}

TEST_F(window_commands, UnknownOptionsEndTheProgramOnlyWithout65536) {
  run({"/00010000 WINDOW %0001"}, {"#0"});
  EXPECT_TRUE(boxes.empty());
  run({"WINDOW %0001"}, {"#0"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "err window");
  EXPECT_TRUE(program_has_ended());
}

TEST_F(window_commands, ScreenSizeIncludesTheMenuBarAndTheWindowRectangleDoesNot) {
  screen_metrics.menu_bar_height = 20;
  run({"/00000400 WINMGR %0001"}, {"#0 #800 #560"});
  EXPECT_EQ(screen_metrics.width, 800);
  EXPECT_EQ(screen_metrics.height, 580);
  EXPECT_EQ(graphics.window_rect.right, 800);
  EXPECT_EQ(graphics.window_rect.bottom, 560);
  run({"/00000C00 WINMGR %0001"}, {"#0 #300 #200"});
  EXPECT_EQ(screen_info(0).width, 300);
  EXPECT_EQ(screen_info(0).height, 220);
}

TEST_F(window_commands, PaintControlAndForegroundOfAnEmptyTableEntry) {
  run({"/00000008 WINMGR %0001"}, {"#0"});
  EXPECT_TRUE(paint_suppressed());
  run({"/00000008 WINMGR %0001"}, {"#1"});
  EXPECT_FALSE(paint_suppressed());
  run({"/00000001 WINMGR %0001"}, {"#0 #0"});
  EXPECT_TRUE(boxes.empty());
  qn_set_option_word(0x4000);  // the library logs its failure instead of asking
  run({"/00000001 WINMGR %0001"}, {"#5 #1"});
  EXPECT_TRUE(boxes.empty());
  EXPECT_NE(file_text("qn_self.tmp").find("SET_FOREGROUND"), std::string::npos);
  EXPECT_FALSE(program_has_ended());
}

TEST_F(window_commands, WindowNumberOutOfRangeEndsTheProgram) {
  run({"/00000001 WINMGR %0001"}, {"#21"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "WINDOW QWU-Fehler");
  EXPECT_TRUE(program_has_ended());
}

TEST_F(window_commands, UnknownWinmgrOptionIsReportedWithCode1233) {
  run({"WINMGR %0001"}, {"#0"});
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR  1233");
}

}  // namespace
