// The area table and the area stack: hit test, hot-key lookup, captions, push and pop.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/program/areas.h"

namespace {

class areas : public ::testing::Test {
 protected:
  void SetUp() override { areas_reset(); }
  void TearDown() override { areas_reset(); }

  static int32_t add(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t n = ++area_table.count;
    area(n) = area_record{};
    area(n).x1 = x1;
    area(n).y1 = y1;
    area(n).x2 = x2;
    area(n).y2 = y2;
    area(n).enabled = logical_true;
    return n;
  }
  static void caption(int32_t n, const char* text) {
    area(n).caption.fill(' ');
    std::memcpy(area(n).caption.data(), text, std::strlen(text));
  }
};

TEST_F(areas, StartsEmptyWithTheLoaderValues) {
  EXPECT_EQ(area_count(), 0);
  EXPECT_EQ(area_table.current, -9999);
  EXPECT_EQ(area_table.status_area, -1);
  EXPECT_EQ(area_table.state.focus, 0);
  EXPECT_EQ(area_stack_counter(), 0);
  EXPECT_EQ(area_hit(0, 0), 0);
}

TEST_F(areas, OverlappingAreasTheLowerNumberWinsUntilItIsDisabled) {
  const int32_t a = add(10, 10, 100, 50);
  const int32_t b = add(50, 20, 150, 60);
  EXPECT_EQ(area_hit(60, 30), a);
  EXPECT_EQ(area_hit(120, 30), b);
  area(a).enabled = 0;
  EXPECT_EQ(area_hit(60, 30), b);
  EXPECT_EQ(area_hit(20, 15), 0);
}

TEST_F(areas, EdgesBelongToTheArea) {
  const int32_t a = add(10, 20, 30, 40);
  EXPECT_EQ(area_hit(30, 40), a);
  EXPECT_EQ(area_hit(10, 20), a);
  EXPECT_EQ(area_hit(31, 40), 0);
  EXPECT_EQ(area_hit(30, 41), 0);
  EXPECT_EQ(area_hit(9, 20), 0);
}

TEST_F(areas, EntriesAboveTheCountAreIgnored) {
  add(0, 0, 10, 10);
  area(1).hot_key = 'X';
  area_table.count = 0;
  EXPECT_EQ(area_hit(5, 5), 0);
  EXPECT_EQ(area_with_hot_key('X'), 0);
  EXPECT_FALSE(area_in_table(1));
}

TEST_F(areas, HotKeyLookupPassesDisabledAreasBy) {
  const int32_t a = add(0, 0, 10, 10);
  const int32_t b = add(20, 0, 30, 10);
  area(a).hot_key = 'O';
  area(a).enabled = 0;
  area(b).hot_key = 'O';
  EXPECT_EQ(area_with_hot_key('O'), b);
  area(b).enabled = 0;
  EXPECT_EQ(area_with_hot_key('O'), 0);
  EXPECT_EQ(area_with_hot_key('P'), 0);
}

TEST_F(areas, CaptionHotKeys) {
  EXPECT_EQ(caption_hot_key("&open"), 79);
  EXPECT_EQ(caption_hot_key("Save &1"), 49);
  EXPECT_EQ(caption_hot_key("Cancel"), 0);
  EXPECT_EQ(caption_hot_key("&Quit &x"), 'Q');  // the first ampersand counts
  EXPECT_EQ(caption_hot_key("end&"), 0);        // nothing follows
  EXPECT_EQ(caption_hot_key("&\xE4nderung"), 0xC4);
}

TEST_F(areas, PushAndPopKeepAllEntriesAndTheStateBlock) {
  add(1, 2, 3, 4);
  add(5, 6, 7, 8);
  add(9, 9, 9, 9);
  area_table.count = 2;  // entry 3 is stale but must come back too
  area_table.state.focus = 2;
  area_table.state.escape_label = 77;
  area_table.state.saved_count = 2;
  area_push();
  EXPECT_EQ(area_stack_counter(), 1);

  // The new level starts empty.
  for (int32_t n = 1; n <= max_areas; ++n) area(n) = area_record{};
  area_table.count = 0;
  area_table.state = area_state_block{};

  area_pop();
  EXPECT_EQ(area_stack_counter(), 0);
  EXPECT_EQ(area(2).x1, 5);
  EXPECT_EQ(area(3).x1, 9);
  EXPECT_EQ(area(3).y2, 9);
  EXPECT_EQ(area_table.state.focus, 2);
  EXPECT_EQ(area_table.state.escape_label, 77);
  EXPECT_EQ(area_table.state.saved_count, 2);
}

TEST_F(areas, TwentyOneLevelsKeepTheLastTableInLevelTwenty) {
  for (int32_t level = 1; level <= 21; ++level) {
    area(1).x1 = level;
    area_table.state.focus = level;
    area_push();
  }
  EXPECT_EQ(area_stack_counter(), 20);
  area(1).x1 = 0;
  area_pop();
  EXPECT_EQ(area_stack_counter(), 19);
  EXPECT_EQ(area(1).x1, 21);
  EXPECT_EQ(area_table.state.focus, 21);
  area_pop();
  EXPECT_EQ(area(1).x1, 19);
}

TEST_F(areas, PopOnAnEmptyStackChangesNothing) {
  add(3, 4, 5, 6);
  area_table.state.focus = 1;
  area_pop();
  EXPECT_EQ(area_stack_counter(), 0);
  EXPECT_EQ(area_count(), 1);
  EXPECT_EQ(area(1).x1, 3);
  EXPECT_EQ(area_table.state.focus, 1);
}

TEST_F(areas, OutOfRangeNumbersNeverReachOutsideTheTable) {
  area(0).x1 = 0;
  area(61).x1 = 5;  // lands on the unused entry 0
  area(-3).x1 = 6;
  EXPECT_EQ(area(1).x1, 0);
  EXPECT_EQ(area(60).x1, 0);
  area_table.count = 99;  // a broken count is still bounded by the table size
  EXPECT_EQ(area_hit(0, 0), 0);
}

}  // namespace
