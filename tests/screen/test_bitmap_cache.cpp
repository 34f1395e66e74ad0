// The bitmap cache: reuse by exact size, use counts, eviction of the most used free slot, the
// report when every slot is lent out, and the copy routines.
#include "test_video_fixture.h"

namespace {

using bitmap_cache = video_test;

TEST_F(bitmap_cache, SameSizeIsReusedOnlyAfterRelease) {
  int32_t a = 0, b = 0, c = 0;
  bitmap_get(a, 100, 50);
  bitmap_get(b, 100, 50);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(bitmap_cache_count(), 2);
  EXPECT_EQ(qn_bitmap_size(a).x, 100);
  EXPECT_EQ(qn_bitmap_size(a).y, 50);

  bitmap_release(a);
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
  EXPECT_EQ(bitmap_cache_slot(1).handle, a);  // the bitmap stays in the cache
  bitmap_get(c, 100, 50);
  EXPECT_EQ(c, a);
  EXPECT_EQ(bitmap_cache_count(), 2);
  EXPECT_EQ(bitmap_cache_slot(1).uses, 2);
  EXPECT_EQ(bitmap_cache_slot(1).lent, a);
  EXPECT_EQ(bitmap_cache_slot(2).uses, 1);
  EXPECT_EQ(bitmap_cache_last(), 1);
}

TEST_F(bitmap_cache, OtherSizeIsNeverReusedBeforeTheTableIsFull) {
  int32_t a = 0, b = 0, c = 0;
  bitmap_get(a, 100, 50);
  bitmap_release(a);
  bitmap_get(b, 100, 51);
  EXPECT_NE(b, a);
  bitmap_get(c, 101, 50);
  EXPECT_NE(c, a);
  EXPECT_EQ(bitmap_cache_count(), 3);
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
  EXPECT_EQ(bitmap_cache_last(), 3);
}

TEST_F(bitmap_cache, ReleasingAForeignHandleChangesNothing) {
  int32_t a = 0;
  bitmap_get(a, 10, 10);
  const int32_t foreign = CREATE_BITMAP(10, 10);
  bitmap_release(foreign);
  bitmap_release(0);
  EXPECT_EQ(bitmap_cache_slot(1).lent, a);
  EXPECT_EQ(bitmap_cache_count(), 1);
  // A handle given back twice: the second release finds it free already.
  bitmap_release(a);
  bitmap_release(a);
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
  EXPECT_EQ(bitmap_cache_slot(1).uses, 1);
}

// Fills all 1000 slots with bitmaps of distinct sizes, all lent out.
std::vector<int32_t> fill_table() {
  std::vector<int32_t> handles(bitmap_cache_slots + 1, 0);
  for (int32_t n = 1; n <= bitmap_cache_slots; ++n) bitmap_get(handles[n], n, 1);
  return handles;
}

// Lends slot n's bitmap out and back `times` more times.
void use_again(int32_t n, int times) {
  const bitmap_slot s = bitmap_cache_slot(n);
  for (int i = 0; i < times; ++i) {
    bitmap_release(s.handle);
    int32_t h = 0;
    bitmap_get(h, s.width, s.height);
    ASSERT_EQ(h, s.handle);
  }
}

TEST_F(bitmap_cache, FullTableEvictsTheFreeSlotUsedMost) {
  std::vector<int32_t> h = fill_table();
  ASSERT_EQ(bitmap_cache_count(), bitmap_cache_slots);
  use_again(10, 2);  // use count 3
  use_again(20, 6);  // 7
  use_again(30, 6);  // 7
  use_again(40, 9);  // 10, but stays lent out
  bitmap_release(h[10]);
  bitmap_release(h[20]);
  bitmap_release(h[30]);
  trace_to_file();

  int32_t fresh = 0;
  bitmap_get(fresh, 5, 5);
  ASSERT_NE(fresh, 0);
  EXPECT_EQ(bitmap_cache_count(), bitmap_cache_slots);
  const bitmap_slot s = bitmap_cache_slot(20);
  EXPECT_EQ(s.handle, fresh);
  EXPECT_EQ(s.lent, fresh);
  EXPECT_EQ(s.width, 5);
  EXPECT_EQ(s.height, 5);
  EXPECT_EQ(s.uses, 1);
  EXPECT_EQ(bitmap_cache_last(), 20);
  // The evicted bitmap is gone from the library; the others stay as they were.
  EXPECT_EQ(qn_bitmap_size(h[20]).x, 0);
  EXPECT_EQ(bitmap_cache_slot(10).uses, 3);
  EXPECT_EQ(bitmap_cache_slot(30).uses, 7);
  EXPECT_EQ(bitmap_cache_slot(30).lent, 0);
  EXPECT_NE(trace_text().find("BITMAP DELETE"), std::string::npos);
}

TEST_F(bitmap_cache, FullTableStillReusesAnExactSize) {
  std::vector<int32_t> h = fill_table();
  bitmap_release(h[500]);
  bitmap_release(h[7]);
  int32_t again = 0;
  bitmap_get(again, 500, 1);
  EXPECT_EQ(again, h[500]);
  EXPECT_EQ(bitmap_cache_slot(7).handle, h[7]);  // not evicted
}

TEST_F(bitmap_cache, EverySlotLentOutEndsTheProgram) {
  fill_table();
  int32_t handle = -1;
  EXPECT_THROW(bitmap_get(handle, 3, 3), program_end);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "NO BITMAPS!");
  EXPECT_NE(error_log().find("NO BITMAPS!"), std::string::npos);
  EXPECT_EQ(bitmap_cache_count(), bitmap_cache_slots);
}

TEST_F(bitmap_cache, FailedCreationUsesNoSlot) {
  answer = IDYES;  // the library's own error box: go on
  int32_t handle = -1;
  bitmap_get(handle, 0, 10);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(bitmap_cache_count(), 0);
  int32_t good = 0;
  bitmap_get(good, 4, 4);
  EXPECT_NE(good, 0);
  EXPECT_EQ(bitmap_cache_count(), 1);
  EXPECT_EQ(bitmap_cache_slot(1).handle, good);
}

TEST_F(bitmap_cache, CopyTakesTheRectangleToTheOrigin) {
  fill_screen(test_white);
  paint(30, 40, 39, 44, test_red);
  int32_t dst = 0;
  bitmap_get(dst, 20, 10);
  bitmap_copy(screen_info(0).bitmap, dst, 30, 40, 20, 10);
  EXPECT_EQ(bitmap_pixel(dst, 0, 0), test_red);
  EXPECT_EQ(bitmap_pixel(dst, 9, 4), test_red);
  EXPECT_EQ(bitmap_pixel(dst, 10, 4), test_white);
  EXPECT_EQ(bitmap_pixel(dst, 0, 5), test_white);
  EXPECT_EQ(bitmap_pixel(dst, 19, 9), test_white);
}

TEST_F(bitmap_cache, CopyIntoALargerBitmapChangesOnlyItsPart) {
  fill_screen(test_red);
  const int32_t dst = CREATE_BITMAP(30, 30);  // black
  bitmap_copy(screen_info(0).bitmap, dst, 0, 0, 10, 5);
  EXPECT_EQ(bitmap_pixel(dst, 9, 4), test_red);
  EXPECT_EQ(bitmap_pixel(dst, 10, 4), test_black);
  EXPECT_EQ(bitmap_pixel(dst, 9, 5), test_black);
  // Copy back with bitmap_copy_to: only 10 x 5 pixels land at (100, 200).
  fill_screen(test_white);
  bitmap_copy_to(dst, screen_info(0).bitmap, 100, 200, 10, 5);
  EXPECT_EQ(screen_pixel(100, 200), test_red);
  EXPECT_EQ(screen_pixel(109, 204), test_red);
  EXPECT_EQ(screen_pixel(110, 204), test_white);
  EXPECT_EQ(screen_pixel(109, 205), test_white);
  EXPECT_EQ(screen_pixel(99, 200), test_white);
}

TEST_F(bitmap_cache, CopiesWithoutBitmapsOrSizeDoNothing) {
  fill_screen(test_red);
  const int32_t dst = CREATE_BITMAP(4, 4);
  bitmap_copy(screen_info(0).bitmap, dst, 0, 0, 0, 4);
  bitmap_copy(0, dst, 0, 0, 4, 4);
  bitmap_copy_to(dst, 0, 0, 0, 4, 4);
  EXPECT_EQ(bitmap_pixel(dst, 0, 0), test_black);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(bitmap_cache, CompatibleBitmapAndDelete) {
  int32_t handle = 0;
  bitmap_create_compatible(handle, 400, 400);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(qn_bitmap_size(handle).x, 400);
  EXPECT_EQ(qn_bitmap_size(handle).y, 400);
  EXPECT_EQ(bitmap_cache_count(), 0);  // made outside the cache
  bitmap_delete_object(handle);
  EXPECT_EQ(qn_bitmap_size(handle).x, 0);
  bitmap_delete_object(0);  // nothing to delete
  EXPECT_TRUE(boxes.empty());
}

TEST_F(bitmap_cache, MemoryContextIsUsable) {
  ups u;
  bitmap_memory_dc(u);
  EXPECT_EQ(u.stamp, QN_STAMP);
  END_DUMMY_USERPAINT(u);
}

}  // namespace
