// The video stack: defaults of the pushed rectangle, the window rectangle that WIN reports,
// drawing back on pop, frames that survive covering windows, the origin offset, overflow and
// underflow, and the return of the bitmaps to the cache.
#include "runtime/program/eval_library.h"
#include "test_video_fixture.h"

namespace {

using video_stack = video_test;

void expect_window(int32_t x, int32_t y, int32_t w, int32_t h) {
  const video_window_t r = video_stack_window();
  EXPECT_EQ(r.left, x);
  EXPECT_EQ(r.top, y);
  EXPECT_EQ(r.x_extent, w);
  EXPECT_EQ(r.y_extent, h);
}

int32_t depth() {
  int32_t d = -1;
  video_stack_depth(d);
  return d;
}

TEST_F(video_stack, PushAppliesTheDefaultEdges) {
  video_stack_push(10, 20, 0, 0);
  const video_stack_entry e = video_stack_entry_at(1);
  EXPECT_EQ(e.x1, 10);
  EXPECT_EQ(e.y1, 20);
  EXPECT_EQ(e.x2, 640);
  EXPECT_EQ(e.y2, 480);
  EXPECT_EQ(e.frame_state, 0);
  ASSERT_NE(e.bitmap, 0);
  // The default edges lie one past the screen's last column and row: the saved pixels end there.
  EXPECT_EQ(qn_bitmap_size(e.bitmap).x, 630);
  EXPECT_EQ(qn_bitmap_size(e.bitmap).y, 460);
  expect_window(10, 20, 630, 460);
  EXPECT_EQ(depth(), 1);
  // A push only saves: nothing is drawn or marked for repaint.
  EXPECT_FALSE(screen_info(0).dirty);
}

TEST_F(video_stack, PushTakesTheLeftEdgeAsItsAbsoluteValue) {
  video_stack_push(-10, 5, 100, 50);
  const video_stack_entry e = video_stack_entry_at(1);
  EXPECT_EQ(e.x1, 10);
  EXPECT_EQ(e.y1, 5);
  EXPECT_EQ(e.x2, 100);
  EXPECT_EQ(e.y2, 50);
  EXPECT_EQ(qn_bitmap_size(e.bitmap).x, 91);
  EXPECT_EQ(qn_bitmap_size(e.bitmap).y, 46);
}

TEST_F(video_stack, MenuBarShortensTheDefaultBottom) {
  screen_metrics.menu_bar_height = 20;
  expect_window(0, 0, 640, 460);  // empty stack: the screen below the menu bar
  video_stack_push(0, 0, 100, 0);
  EXPECT_EQ(video_stack_entry_at(1).y2, 460);
  video_stack_pop();
  expect_window(0, 0, 640, 460);
}

TEST_F(video_stack, PopDrawsTheSavedPixelsBack) {
  open_main_window();
  fill_screen(test_red);
  paint(50, 50, 59, 59, test_white);
  video_stack_push(50, 50, 100, 80);
  const int32_t saved = video_stack_entry_at(1).bitmap;
  fill_screen(test_blue);  // the pop-up window
  const int32_t copies = screen_info(0).copies;
  video_stack_pop();
  EXPECT_EQ(screen_pixel(50, 50), test_white);
  EXPECT_EQ(screen_pixel(59, 59), test_white);
  EXPECT_EQ(screen_pixel(60, 60), test_red);
  EXPECT_EQ(screen_pixel(100, 80), test_red);
  EXPECT_EQ(screen_pixel(101, 80), test_blue);
  EXPECT_EQ(screen_pixel(100, 81), test_blue);
  EXPECT_EQ(screen_pixel(49, 50), test_blue);
  EXPECT_GT(screen_info(0).copies, copies);  // the window shows it
  EXPECT_EQ(depth(), 0);
  expect_window(0, 0, 640, 480);
  // The bitmap went back to the cache for the next push of that size.
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
  video_stack_push(10, 10, 60, 40);
  EXPECT_EQ(video_stack_entry_at(1).bitmap, saved);
  EXPECT_EQ(bitmap_cache_slot(1).uses, 2);
}

TEST_F(video_stack, DropRevealsWithoutDrawing) {
  fill_screen(test_red);
  video_stack_push(0, 0, 99, 99);
  video_stack_push(10, 20, 50, 60);
  fill_screen(test_blue);
  video_stack_drop();
  EXPECT_EQ(screen_pixel(20, 30), test_blue);
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(depth(), 1);
  expect_window(0, 0, 99, 99);
  EXPECT_EQ(bitmap_cache_slot(2).lent, 0);
}

TEST_F(video_stack, FrameIsDrawnAgainAfterTheCoveringWindowCloses) {
  fill_screen(test_white);
  video_stack_push(100, 100, 200, 200);
  video_stack_frame();
  EXPECT_EQ(video_stack_entry_at(1).frame_state, 1);
  EXPECT_EQ(screen_pixel(100, 100), test_black);
  EXPECT_EQ(screen_pixel(199, 150), test_black);
  EXPECT_EQ(screen_pixel(150, 199), test_black);
  EXPECT_EQ(screen_pixel(200, 150), test_white);  // the last column is left out
  EXPECT_EQ(screen_pixel(150, 200), test_white);
  EXPECT_EQ(screen_pixel(150, 150), test_white);

  video_stack_push(300, 300, 400, 400);
  fill_screen(test_white);  // the frame is gone from the screen
  video_stack_pop();
  EXPECT_EQ(screen_pixel(100, 100), test_black);
  EXPECT_EQ(screen_pixel(199, 199), test_black);
  EXPECT_EQ(video_stack_entry_at(1).frame_state, 1);
}

TEST_F(video_stack, UnframedWindowIsFramedAgainWhenRevealed) {
  fill_screen(test_white);
  video_stack_push(100, 100, 200, 200);
  video_stack_frame();
  video_stack_unframe();
  EXPECT_EQ(video_stack_entry_at(1).frame_state, -1);
  EXPECT_EQ(screen_pixel(100, 100), test_cream);  // wiped with the background pen
  EXPECT_EQ(screen_pixel(199, 150), test_cream);
  video_stack_push(300, 300, 400, 400);
  fill_screen(test_white);
  video_stack_pop();
  EXPECT_EQ(video_stack_entry_at(1).frame_state, 1);
  EXPECT_EQ(screen_pixel(100, 150), test_black);
}

TEST_F(video_stack, FrameWithoutWindowsAndUnframeWithoutFrameDoNothing) {
  fill_screen(test_white);
  video_stack_frame();
  video_stack_unframe();
  EXPECT_FALSE(screen_info(0).dirty);
  video_stack_push(10, 10, 50, 50);
  video_stack_unframe();  // never framed
  EXPECT_EQ(video_stack_entry_at(1).frame_state, 0);
  EXPECT_EQ(screen_pixel(10, 10), test_white);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(video_stack, OriginOffsetMovesTheRevealedWindowOnce) {
  video_stack_push(10, 20, 110, 220);
  video_stack_push(30, 30, 60, 60);
  video_stack_set_origin(5, 7);
  video_stack_pop();
  expect_window(15, 27, 100, 200);
  int32_t dx = -1, dy = -1;
  video_stack_origin(dx, dy);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
  video_stack_push(30, 30, 60, 60);
  video_stack_pop();
  expect_window(10, 20, 100, 200);
  // Popping the last window forgets an offset too.
  video_stack_set_origin(3, 3);
  video_stack_pop();
  expect_window(0, 0, 640, 480);
  video_stack_origin(dx, dy);
  EXPECT_EQ(dx, 0);
}

TEST_F(video_stack, TwentyFirstPushOverflows) {
  run_flags.debug_allowed = true;  // OK goes on
  for (int i = 0; i < video_stack_max; ++i) video_stack_push(i, i, 100, 100);
  EXPECT_TRUE(boxes.empty());
  expect_window(19, 19, 81, 81);
  video_stack_push(0, 0, 300, 300);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "video-stack overflow");
  EXPECT_EQ(depth(), video_stack_max);
  expect_window(19, 19, 81, 81);
  EXPECT_EQ(bitmap_cache_count(), video_stack_max);
  EXPECT_NE(error_log().find("KYR-ERROR     1:video-stack overflow"), std::string::npos);
}

TEST_F(video_stack, OverflowEndsTheProgramUnlessDebugging) {
  for (int i = 0; i < video_stack_max; ++i) video_stack_push(0, 0, 10, 10);
  EXPECT_THROW(video_stack_push(0, 0, 10, 10), program_end);
  EXPECT_EQ(depth(), video_stack_max);
}

TEST_F(video_stack, UnderflowOfPopDropAndRestore) {
  run_flags.debug_allowed = true;
  video_stack_pop();
  video_stack_drop();
  video_stack_restore();
  ASSERT_EQ(boxes.size(), 3u);
  for (const std::string& b : boxes) EXPECT_EQ(b, "video-stack underflow");
  EXPECT_EQ(depth(), 0);
  expect_window(0, 0, 640, 480);
  EXPECT_FALSE(screen_info(0).dirty);
}

TEST_F(video_stack, TopBitmap) {
  int32_t h = -1;
  video_stack_top_bitmap(h);
  EXPECT_EQ(h, 0);
  video_stack_push(0, 0, 9, 9);
  video_stack_push(0, 0, 19, 9);
  video_stack_top_bitmap(h);
  EXPECT_EQ(h, video_stack_entry_at(2).bitmap);
  EXPECT_EQ(qn_bitmap_size(h).x, 20);
}

TEST_F(video_stack, ClearGivesEveryBitmapBack) {
  video_stack_push(0, 0, 9, 9);
  video_stack_push(5, 6, 19, 29);
  video_stack_clear();
  EXPECT_EQ(depth(), 0);
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
  EXPECT_EQ(bitmap_cache_slot(2).lent, 0);
  EXPECT_EQ(video_stack_entry_at(2).bitmap, 0);
  expect_window(5, 6, 14, 23);  // left as it was
  EXPECT_FALSE(screen_info(0).dirty);
}

TEST_F(video_stack, RestoreLeavesTheStackAsItIs) {
  video_stack_push(0, 0, 9, 9);
  video_stack_push(0, 0, 19, 19);
  video_stack_pop();
  fill_screen(test_blue);
  video_stack_restore();
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(screen_pixel(5, 5), test_blue);  // the entry above the top holds no bitmap
  EXPECT_TRUE(boxes.empty());
}

TEST_F(video_stack, EmptyRectangleIsPushedWithoutABitmap) {
  video_stack_push(100, 100, 50, 200);
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(video_stack_entry_at(1).bitmap, 0);
  EXPECT_EQ(bitmap_cache_count(), 0);
  video_stack_pop();  // draws nothing, but keeps the count of pushes and pops even
  EXPECT_EQ(depth(), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(video_stack, WindowBeforeAnyPushIsTheWholeScreen) {
  screen_metrics.width = 800;
  screen_metrics.height = 600;
  expect_window(0, 0, 800, 600);
}

TEST_F(video_stack, BoxFrameDrawsAllFourSides) {
  fill_screen(test_white);
  draw_box_frame(10, 20, 30, 40, 0);
  EXPECT_EQ(screen_pixel(10, 20), test_black);
  EXPECT_EQ(screen_pixel(30, 20), test_black);
  EXPECT_EQ(screen_pixel(30, 40), test_black);
  EXPECT_EQ(screen_pixel(10, 40), test_black);
  EXPECT_EQ(screen_pixel(20, 30), test_white);
  EXPECT_EQ(screen_pixel(31, 30), test_white);
  EXPECT_TRUE(screen_info(0).dirty);
}

TEST_F(video_stack, ImageFilesAreNotSupported) {
  IMAGE_2_FILE(0, 0, 10, 10, "x.gif");
  FILE_2_IMAGE("x.png");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "IMAGE_2_FILE n.u.");
  EXPECT_EQ(boxes[1], "FILE_2_IMAGE n.u.");
}

}  // namespace
