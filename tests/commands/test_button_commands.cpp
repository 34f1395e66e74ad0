// BUTTON and BTNMGR: what goes into the area table, relative placement, table limits and the
// management sub-functions.
#include "test_draw_fixture.h"

#include "runtime/program/areas.h"

namespace {

class button_commands : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    clear_screen();
    run_flags.debug_allowed = true;  // an error box answered OK lets the program go on
  }
  bool box_with(std::string_view text) const {
    for (const box_seen& b : boxes)
      if (b.text.find(text) != std::string::npos) return true;
    return false;
  }
  // Areas 1..n made by BUTTON, 10 x 10 each, in a row.
  void make_buttons(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
      run({"BUTTON %0001 @0001"}, {"#" + std::to_string(5 + 12 * (i % 40)) + " #" + std::to_string(5 + 12 * (i / 40)) + " #10 #10"},
          {"B" + std::to_string(i + 1)});
    }
  }
};

TEST_F(button_commands, ButtonMakesAPaintedAreaWithItsCaptionAndStatusText) {
  run({"BUTTON :0002 @0001 @0002 %0001"}, {"#20 #30 #100 #20"}, {"&Ok", "Weiter"});
  ASSERT_EQ(area_table.count, 1);
  const area_record& a = area(1);
  EXPECT_EQ(a.type, area_button);
  EXPECT_EQ(a.x1, 20);
  EXPECT_EQ(a.y1, 30);
  EXPECT_EQ(a.x2, 120);
  EXPECT_EQ(a.y2, 50);
  EXPECT_EQ(a.label, 2);
  EXPECT_EQ(a.status_text, 2);
  EXPECT_TRUE(logical(a.enabled));
  EXPECT_FALSE(logical(a.selected));
  EXPECT_EQ(a.hot_key, 'O');  // set by the painter
  EXPECT_EQ(std::string(a.caption.data(), 3), "&Ok");
  EXPECT_GT(painted(20, 30, 120, 50), 0);
  EXPECT_EQ(area_table.last_width, 100);
  EXPECT_EQ(area_table.last_height, 20);
  EXPECT_EQ(area_table.last_button.type, area_button);
}

TEST_F(button_commands, ZeroSizeTakesTheLastSizeAndMinusOneMeansZero) {
  run({"BUTTON %0001 @0001", "BUTTON %0002 @0001", "BUTTON %0003 @0001"},
      {"#10 #10 #100 #20", "#10 #40 #0 #0", "#10 #70 #-1 #-1"}, {"A"});
  ASSERT_EQ(area_table.count, 3);
  EXPECT_EQ(area(2).x2 - area(2).x1, 100);
  EXPECT_EQ(area(2).y2 - area(2).y1, 20);
  EXPECT_EQ(area(3).x2, area(3).x1);
  EXPECT_EQ(area(3).y2, area(3).y1);
}

TEST_F(button_commands, RelativePlacementBesideTheLastButton) {
  run({"BUTTON %0001 @0001", "/00000020 BUTTON %0002 @0001"}, {"#10 #10 #100 #20", "#5 #0 #0 #0"}, {"A"});
  EXPECT_EQ(area(2).x1, 115);  // right of it
  EXPECT_EQ(area(2).y1, 10);
  run({"/00000040 BUTTON %0001 @0001"}, {"#-5 #0 #30 #0"}, {"A"});
  EXPECT_EQ(area(3).x1, 115 - 30 - 5);  // left of the last one
  run({"/00000080 BUTTON %0001 @0001"}, {"#0 #2 #0 #0"}, {"A"});
  EXPECT_EQ(area(4).x1, area(3).x1);  // below
  EXPECT_EQ(area(4).y1, 10 + 20 + 2);
  run({"/00000100 BUTTON %0001 @0001"}, {"#0 #0 #0 #10"}, {"A"});
  EXPECT_EQ(area(5).y1, area(4).y1 - 10);  // above
}

TEST_F(button_commands, OriginShiftsAbsolutePositions) {
  graphics.origin = {7, 9};
  run({"BUTTON %0001 @0001"}, {"#10 #10 #20 #20"}, {"A"});
  EXPECT_EQ(area(1).x1, 17);
  EXPECT_EQ(area(1).y1, 19);
}

TEST_F(button_commands, Option16DoesNothingAndOption16384OnlySetsTheGeometry) {
  run({"/00000010 BUTTON %0001 @0001"}, {"#10 #10 #100 #20"}, {"A"});
  EXPECT_EQ(area_table.count, 0);
  EXPECT_EQ(area_table.last_width, 0);
  run({"/00004000 BUTTON %0001 @0001"}, {"#10 #12 #100 #20"}, {"A"});
  EXPECT_EQ(area_table.count, 0);
  EXPECT_EQ(area_table.last_x, 10);
  EXPECT_EQ(area_table.last_y, 12);
  EXPECT_EQ(area_table.last_width, 100);
  EXPECT_EQ(area_table.last_height, 20);
  EXPECT_EQ(painted(0, 0, 200, 100), 0);
}

TEST_F(button_commands, TrackingAreaIsNotPaintedAndKeepsTheLastSize) {
  run({"BUTTON %0001 @0001", "/00000001 BUTTON %0002 @0001"}, {"#10 #10 #50 #20", "#100 #100 #80 #80"}, {"A"});
  ASSERT_EQ(area_table.count, 2);
  EXPECT_EQ(area(2).type, area_tracking);
  EXPECT_EQ(area_table.last_width, 50);
  EXPECT_EQ(painted(100, 100, 180, 180), 0);
}

TEST_F(button_commands, ComboWithTextTakesTheTextPartAndTheDropDown) {
  run({"/00000800 BUTTON %0001 @0001"}, {"#10 #20 #116 #20"}, {"#12"});
  ASSERT_EQ(area_table.count, 2);
  const area_record& text = area(1);
  const area_record& drop = area(2);
  EXPECT_EQ(text.type, area_combo_text);
  EXPECT_EQ(text.kind, area_kind_field);
  EXPECT_EQ(text.x1, 13);
  EXPECT_EQ(text.y1, 22);
  EXPECT_EQ(text.x2, 126 - 9);
  EXPECT_EQ(text.y2, 38);
  EXPECT_EQ(text.text_x, 17);
  EXPECT_EQ(text.text_y, 27);
  EXPECT_EQ(text.columns, (116 - 16) / 8);
  EXPECT_EQ(drop.type, area_combo);
  EXPECT_EQ(drop.x1, 10);
  EXPECT_EQ(drop.x2, 126);
  // The selected flag of a plain combo starts true.
  run({"/00000400 BUTTON %0001 @0001"}, {"#10 #50 #50 #20"}, {"#3"});
  EXPECT_EQ(area(3).type, area_combo);
  EXPECT_TRUE(logical(area(3).selected));
}

TEST_F(button_commands, AComboWithTextDoesNotFitInto58Entries) {
  make_buttons(58);
  ASSERT_EQ(area_table.count, 58);
  run({"/00000800 BUTTON %0001 @0001"}, {"#10 #400 #116 #20"}, {"#12"});
  EXPECT_TRUE(box_with("COMBOmax Buttons :"));
  EXPECT_LE(area_table.count, 59);
}

TEST_F(button_commands, TheTableHoldsSixtyEntries) {
  make_buttons(60);
  EXPECT_TRUE(boxes.empty());
  run({"BUTTON %0001 @0001"}, {"#10 #400 #10 #10"}, {"X"});
  EXPECT_TRUE(box_with("max Buttons :"));
  EXPECT_EQ(area_table.count, 60);
}

TEST_F(button_commands, AListCaptionMustHoldOneToFour) {
  run({"/00001000 BUTTON %0001 @0001"}, {"#10 #10 #100 #100"}, {"7"});
  EXPECT_TRUE(box_with("BUTTON"));
  EXPECT_EQ(area(1).type, area_list);
  EXPECT_EQ(area(1).list, 0);
}

TEST_F(button_commands, DeleteMovesTheLaterAreasUp) {
  make_buttons(3);
  const area_record third = area(3);
  run({"/00010000 BTNMGR %0001"}, {"#2"});
  ASSERT_EQ(area_table.count, 2);
  EXPECT_EQ(area(2).x1, third.x1);
  EXPECT_TRUE(boxes.empty());
  run({"/00010000 BTNMGR %0001"}, {"#4"});
  EXPECT_EQ(area_table.count, 2);
  EXPECT_TRUE(box_with("BTNMGR"));
}

TEST_F(button_commands, FocusMovesAndZeroRemovesItWithoutAnError) {
  make_buttons(2);
  run({"/00000001 BTNMGR %0001"}, {"#2"});
  EXPECT_EQ(area_table.state.focus, 2);
  run({"/00000001 BTNMGR %0001"}, {"#0"});
  EXPECT_EQ(area_table.state.focus, 0);
  run({"/00000001 BTNMGR %0001"}, {"#9"});
  EXPECT_EQ(area_table.state.focus, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(button_commands, SelectStateTogglesSelectsAndDeselects) {
  make_buttons(1);
  clear_screen();
  run({"/00000400 BTNMGR %0001"}, {"#1 #1"});
  EXPECT_TRUE(logical(area(1).selected));
  EXPECT_GT(painted(0, 0, 30, 30), 0);
  // Selecting a selected area leaves it as it is, unpainted.
  clear_screen();
  run({"/00000400 BTNMGR %0001"}, {"#1 #1"});
  EXPECT_TRUE(logical(area(1).selected));
  EXPECT_EQ(painted(0, 0, 30, 30), 0);
  run({"/00000400 BTNMGR %0001"}, {"#1 #0"});
  EXPECT_FALSE(logical(area(1).selected));
  run({"/00000400 BTNMGR %0001"}, {"#1 #5"});
  EXPECT_FALSE(logical(area(1).selected));
}

TEST_F(button_commands, MoveWithoutSizeOnlyMoves) {
  run({"BUTTON %0001 @0001"}, {"#10 #10 #40 #20"}, {"A"});
  run({"/00000008 BTNMGR %0001"}, {"#1 #5 #-3 #0 #0"});
  EXPECT_EQ(area(1).x1, 15);
  EXPECT_EQ(area(1).y1, 7);
  EXPECT_EQ(area(1).x2, 55);
  EXPECT_EQ(area(1).y2, 27);
  run({"/00000008 BTNMGR %0001"}, {"#1 #0 #0 #10 #0"});
  EXPECT_EQ(area(1).x2, 25);
  EXPECT_EQ(area(1).y2, 27);
}

TEST_F(button_commands, DisableWithShadingIsUndoneByEnabling) {
  run({"BUTTON %0001 @0001"}, {"#10 #10 #40 #20"}, {"A"});
  std::vector<uint32_t> before;
  for (int32_t y = 10; y <= 30; ++y)
    for (int32_t x = 10; x <= 50; ++x) before.push_back(pixel(x, y));
  run({"/000000C0 BTNMGR %0001"}, {"#1"});  // 128 + 64
  EXPECT_FALSE(logical(area(1).enabled));
  std::vector<uint32_t> shaded;
  for (int32_t y = 10; y <= 30; ++y)
    for (int32_t x = 10; x <= 50; ++x) shaded.push_back(pixel(x, y));
  EXPECT_NE(shaded, before);
  run({"/00000140 BTNMGR %0001"}, {"#1"});  // 256 + 64
  EXPECT_TRUE(logical(area(1).enabled));
  std::vector<uint32_t> after;
  for (int32_t y = 10; y <= 30; ++y)
    for (int32_t x = 10; x <= 50; ++x) after.push_back(pixel(x, y));
  EXPECT_EQ(after, before);
}

TEST_F(button_commands, UnknownOptionAndMissingAreaAreCommandErrors) {
  make_buttons(1);
  run({"/00000002 BTNMGR %0001"}, {"#1"});
  EXPECT_TRUE(box_with("BTNMGR"));
  boxes.clear();
  run({"/00000080 BTNMGR %0001"}, {"#3"});
  EXPECT_TRUE(box_with("BTNMGR"));
  EXPECT_TRUE(logical(area(1).enabled));
}

TEST_F(button_commands, SliderIsBoundToTheVariableAndFollowsItThroughBtnmgr) {
  load_pxb({"/00002000 BUTTON %0001 @0001 &0002", "RETURN", "/00000001 BTNMGR %0003", "RETURN"},
           {"#50 #300 #200 #20", "&1", "#1"}, {"S"});
  variable_record& var = variable_table.records[1];
  var.range_min = 0.0f;
  var.range_max = 10.0f;
  ADRSPACE.set_int(var.start, 5);
  interpreter(1);
  ASSERT_EQ(area_table.count, 3);  // arrow, track, arrow
  EXPECT_EQ(area(2).type, area_slider);
  EXPECT_EQ(area(2).variable, 1);
  EXPECT_EQ(area(2).slider_percent, 50);
  ADRSPACE.set_int(var.start, 30);  // out of range: clamped and stored back
  interpreter(3);
  EXPECT_EQ(ADRSPACE.get_int(var.start), 10);
  EXPECT_EQ(area(2).slider_percent, 100);
  EXPECT_EQ(area(2).text_x, area(2).track_length);
  EXPECT_EQ(area_table.state.focus, 0);  // a slider takes no focus
}

TEST_F(button_commands, FormatFieldTakesItsVariableAndTheFieldKind) {
  load_pxb({"/00000008 BUTTON %0001 @0001 &0002", "RETURN"}, {"#10 #10 #80 #20", "&1"}, {"F"});
  interpreter(1);
  ASSERT_EQ(area_table.count, 1);
  EXPECT_EQ(area(1).type, area_field);
  EXPECT_EQ(area(1).kind, area_kind_field);
  EXPECT_EQ(area(1).variable, 1);
  EXPECT_GT(painted(10, 10, 90, 30), 0);
}

TEST_F(button_commands, WindowModeCountsFromTheWindowsLowerLeftCorner) {
  graphics.window_mode = 1;
  graphics.window_rect = {100, 50, 400, 350};
  run({"BUTTON %0001 @0001"}, {"#10 #20 #30 #10"}, {"W"});
  EXPECT_EQ(area(1).x1, 110);
  EXPECT_EQ(area(1).y1, 330);
}

TEST_F(button_commands, PressingSliderArrowsAndTrackMovesTheVariable) {
  load_pxb({"/00002000 BUTTON %0001 @0001 &0002", "RETURN"}, {"#50 #300 #200 #20", "&1"}, {"S"});
  variable_record& var = variable_table.records[1];
  var.range_min = 0.0f;
  var.range_max = 10.0f;
  ADRSPACE.set_int(var.start, 5);
  interpreter(1);
  ASSERT_EQ(area_table.count, 3);
  press_button(8, area(1));  // the first arrow: toward the minimum
  EXPECT_EQ(ADRSPACE.get_int(var.start), 4);
  EXPECT_EQ(area(2).slider_percent, 40);
  press_button(8, area(3));
  press_button(8, area(3));
  EXPECT_EQ(ADRSPACE.get_int(var.start), 6);
  EXPECT_FALSE(logical(area(3).selected));  // slider parts do not latch
  mouse_state.x = area(2).x1 + area(2).track_length + 5;  // beyond the end of the track
  mouse_state.y = area(2).y1 + 2;
  press_button(8, area(2));
  EXPECT_EQ(ADRSPACE.get_int(var.start), 10);
  EXPECT_EQ(area(2).slider_percent, 100);
  for (int i = 0; i < 15; ++i) press_button(8, area(1));
  EXPECT_EQ(ADRSPACE.get_int(var.start), 0);  // held at the minimum
}

TEST_F(button_commands, AListAreaGetsItsListAndSlider) {
  run({"/00001000 BUTTON %0001 @0001"}, {"#10 #10 #200 #150"}, {"2"});
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(area_table.count, 4);  // the list and the three parts of its slider
  EXPECT_EQ(area(1).type, area_list);
  EXPECT_EQ(area(1).list, 4);
  EXPECT_EQ(area(1).text_y, 0);
  EXPECT_EQ(area(3).type, area_slider);
  EXPECT_EQ(area(3).list, 4);
  EXPECT_EQ(area_table.last_width, 200);
  EXPECT_EQ(area_table.last_height, 150);
}

}  // namespace
