// The level stack and SUBMEN: pushing saves the area table, pops restore it, draw back the
// save-under boxes of the level and close its windows; the wait point and the limits.
#include "test_draw_fixture.h"

#include "runtime/program/areas.h"
#include "runtime/screen/video_stack.h"

namespace {

class levels_test : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    run_flags.debug_allowed = true;
  }
  void push_to(int32_t level) {
    while (level_pointer() < level) push_level(1);
  }
  void submen_pop(int32_t n) { run({"/00000002 SUBMEN %0001"}, {"#" + std::to_string(n)}); }
  bool box_with(std::string_view text) const {
    for (const box_seen& b : boxes)
      if (b.text.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_F(levels_test, PushStartsAnEmptyLevel) {
  add_area(10, 10, 20, 20, 0);
  area_table.state.focus = 1;
  area_table.state.escape_label = 7;
  area_table.state.escape_enabled = 0;
  run({"/00000004 SUBMEN"}, {});
  EXPECT_EQ(level_pointer(), 2);
  EXPECT_EQ(area_table.count, 0);
  EXPECT_EQ(area_table.state.focus, 0);
  EXPECT_EQ(area_table.state.escape_label, 0);
  EXPECT_TRUE(logical(area_table.state.escape_enabled));
  EXPECT_EQ(area_count(), 0);
  EXPECT_EQ(level_id(2), 1);  // the SUBMEN at code index 1 opened it
}

TEST_F(levels_test, PopRestoresTheBaseTableExactly) {
  add_area(10, 10, 20, 20, 0);
  add_area(40, 10, 20, 20, 0);
  area(5).x1 = 99;  // a stale entry above the count comes back too
  area_table.state.focus = 2;
  const area_table_t before = area_table;
  push_level(1);
  add_area(0, 0, 5, 5, 0);
  area(5).x1 = 1;
  EXPECT_EQ(pop_level(), 0);
  EXPECT_EQ(level_pointer(), 1);
  EXPECT_EQ(area_table.count, 2);
  EXPECT_EQ(area_table.state.focus, 2);
  EXPECT_EQ(area(2).x1, before.entry[2].x1);
  EXPECT_EQ(area(5).x1, 99);
}

TEST_F(levels_test, PopWithAPositiveNumberStopsAtThatLevel) {
  push_to(5);
  submen_pop(3);
  EXPECT_EQ(level_pointer(), 3);
  reset_level_stack();
  push_to(2);
  submen_pop(3);
  EXPECT_EQ(level_pointer(), 2);
}

TEST_F(levels_test, ZeroAndNegativeNumbersPopSoManyLevelsDownToTheBase) {
  push_to(4);
  submen_pop(0);
  EXPECT_EQ(level_pointer(), 3);
  submen_pop(-1);
  EXPECT_EQ(level_pointer(), 2);
  push_to(3);
  submen_pop(-5);
  EXPECT_EQ(level_pointer(), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(levels_test, PopDrawsBackTheBoxesLeftOpenOnTheLevel) {
  push_level(1);
  video_stack_push(10, 10, 50, 50);
  level_release_add(1);
  video_stack_push(20, 20, 60, 60);
  level_release_add(1);
  int32_t depth = 0;
  video_stack_depth(depth);
  ASSERT_EQ(depth, 2);
  pop_level();
  video_stack_depth(depth);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(level_release_count(), 0);
}

TEST_F(levels_test, PopClosesTheWindowsBoundToTheLevelsAreas) {
  push_level(1);
  const int32_t window = CREATE_WINDOW({.title = "Box"});
  ASSERT_NE(window, 0);
  add_area(0, 0, 10, 10, 0);
  area(1).window = window;
  pop_level();
  EXPECT_EQ(is_valid_window(window), 0);
}

TEST_F(levels_test, WaitPointResumesAfterTheNextRecord) {
  run({"/00000004 SUBMEN", "/00000001 SUBMEN", "RETURN"}, {});
  EXPECT_EQ(level_pointer(), 2);
  EXPECT_EQ(call_state.depth, 1);  // the run ended with its depth kept
  EXPECT_EQ(call_state.pc, 3);
  EXPECT_EQ(pop_level(), 4);
}

TEST_F(levels_test, OverflowAndUnderflowAreReported) {
  push_to(max_levels);
  EXPECT_EQ(level_pointer(), 20);
  push_level(1);
  EXPECT_TRUE(box_with("level-stack overflow"));
  EXPECT_EQ(level_pointer(), 20);
  reset_level_stack();
  boxes.clear();
  pop_level();
  EXPECT_TRUE(box_with("level-stack underflow"));
  EXPECT_EQ(level_pointer(), 1);
}

TEST_F(levels_test, SubmenWithoutOptionIsACommandError) {
  run({"SUBMEN"}, {});
  EXPECT_TRUE(box_with("SUBMEN"));
  EXPECT_EQ(level_pointer(), 1);
}

TEST_F(levels_test, EscapeAtTheBaseLevelLeavesNoLevelAndShowsNoBox) {
  EXPECT_EQ(screen_link::pop_level(), 0);
  EXPECT_TRUE(boxes.empty());
  push_level(1);
  set_level_resume(9);
  EXPECT_EQ(screen_link::pop_level(), 9);
  EXPECT_EQ(level_pointer(), 1);
}

}  // namespace
