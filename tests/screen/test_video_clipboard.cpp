// The internal clipboard: copy, draw, paste and drag of slots, and the refused slot numbers.
#include "test_video_fixture.h"

namespace {

class clipboard : public video_test {
 protected:
  // Screen: white with a red 20 x 10 block at (10, 10) copied into `slot`.
  static void copy_red_block(int32_t slot) {
    fill_screen(test_white);
    paint(10, 10, 29, 19, test_red);
    clipboard_copy(slot, 10, 10, 29, 19);
  }
};

TEST_F(clipboard, CopySavesWithoutDrawing) {
  copy_red_block(3);
  const clipboard_slot s = clipboard_slot_at(3);
  EXPECT_EQ(s.x1, 10);
  EXPECT_EQ(s.y2, 19);
  ASSERT_NE(s.bitmap, 0);
  EXPECT_EQ(qn_bitmap_size(s.bitmap).x, 20);
  EXPECT_EQ(bitmap_pixel(s.bitmap, 19, 9), test_red);
  EXPECT_FALSE(screen_info(0).dirty);
  // Copying over the slot gives its old bitmap back.
  clipboard_copy(3, -5, 0, 0, 0);
  const clipboard_slot t = clipboard_slot_at(3);
  EXPECT_EQ(t.x1, 5);
  EXPECT_EQ(t.x2, 640);
  EXPECT_EQ(t.y2, 480);
  EXPECT_EQ(bitmap_cache_slot(1).lent, 0);
}

TEST_F(clipboard, PasteMovesTheSlotAndDrawLaterUsesTheNewPlace) {
  copy_red_block(3);
  clipboard_paste(3, 200, 100);
  const clipboard_slot s = clipboard_slot_at(3);
  EXPECT_EQ(s.x1, 200);
  EXPECT_EQ(s.y1, 100);
  EXPECT_EQ(s.x2, 219);
  EXPECT_EQ(s.y2, 109);
  EXPECT_EQ(screen_pixel(200, 100), test_red);
  EXPECT_EQ(screen_pixel(219, 109), test_red);
  EXPECT_EQ(screen_pixel(220, 109), test_white);
  fill_screen(test_white);
  clipboard_draw(3);
  EXPECT_EQ(screen_pixel(200, 100), test_red);
  EXPECT_EQ(screen_pixel(10, 10), test_white);
  EXPECT_TRUE(screen_info(0).dirty);
  // Drawing never gives the image back.
  EXPECT_EQ(bitmap_cache_slot(1).lent, s.bitmap);
}

TEST_F(clipboard, DragRestoresTheUncoveredStrip) {
  const int32_t window = open_main_window();
  copy_red_block(1);
  fill_screen(test_white);  // the block was lifted off the screen
  clipboard_move(1, 20, 10);  // by (+10, 0)
  // The strip of 11 columns at the old left edge covers the image's first column.
  EXPECT_EQ(window_pixel(window, 10, 10), test_white);
  EXPECT_EQ(window_pixel(window, 20, 15), test_white);
  EXPECT_EQ(window_pixel(window, 21, 15), test_red);
  EXPECT_EQ(window_pixel(window, 39, 19), test_red);
  const clipboard_slot s = clipboard_slot_at(1);
  EXPECT_EQ(s.x1, 20);
  EXPECT_EQ(s.x2, 39);
  EXPECT_EQ(s.y1, 10);
  // Screen 0 is not changed, and the strip bitmaps went back to the cache.
  EXPECT_EQ(screen_pixel(25, 15), test_white);
  for (int32_t n = 2; n <= bitmap_cache_count(); ++n) EXPECT_EQ(bitmap_cache_slot(n).lent, 0);
}

TEST_F(clipboard, DragUpAndLeftTakesStripsFromTheFarEdges) {
  const int32_t window = open_main_window();
  copy_red_block(2);
  fill_screen(test_white);
  paint(25, 10, 29, 19, test_blue);  // what lies under the right edge of the old place
  clipboard_move(2, 5, 5);            // by (-5, -5)
  // The vertical strip of 6 columns from x2 - 5 is drawn back at its place, over the image's
  // last column.
  EXPECT_EQ(window_pixel(window, 24, 10), test_white);
  EXPECT_EQ(window_pixel(window, 25, 10), test_blue);
  EXPECT_EQ(window_pixel(window, 23, 10), test_red);
  EXPECT_EQ(window_pixel(window, 5, 5), test_red);
  // The horizontal strip of 6 rows from y2 - 5 sits at rows 14..19, over the image's last row.
  EXPECT_EQ(window_pixel(window, 10, 14), test_white);
  EXPECT_EQ(window_pixel(window, 10, 13), test_red);
  EXPECT_EQ(clipboard_slot_at(2).x1, 5);
  EXPECT_EQ(clipboard_slot_at(2).y2, 14);
}

TEST_F(clipboard, SlotNumbersOutsideTheTableAreRefused) {
  run_flags.debug_allowed = true;
  copy_red_block(20);
  clipboard_draw(25);
  clipboard_paste(20, 1, 1);
  clipboard_move(-1, 1, 1);
  clipboard_copy(-3, 0, 0, 5, 5);
  ASSERT_EQ(boxes.size(), 5u);
  for (const std::string& b : boxes) EXPECT_EQ(b, "clipboard overflow");
  EXPECT_EQ(bitmap_cache_count(), 0);
  EXPECT_NE(error_log().find("KYR-ERROR    20:clipboard overflow"), std::string::npos);
}

TEST_F(clipboard, OverflowEndsTheProgramUnlessDebugging) {
  EXPECT_THROW(clipboard_copy(20, 0, 0, 5, 5), program_end);
}

TEST_F(clipboard, XorDrawingLeavesAnEnclosingStepCopying) {
  copy_red_block(4);
  video_stack_set_xor_mode(true);
  EXPECT_TRUE(video_stack_xor_mode());
  ups outer;
  screen_nr(0, outer, -1, 0, 0, 0);
  clipboard_draw(4);
  // A line drawn in the enclosing step after the XOR draw keeps the pen's own colour.
  paint(300, 300, 310, 310, test_white);
  NEW_PEN(outer, {.colour = test_red});
  DRAW_LINE(outer, {.end_px = qn_point{310, 300}, .start_px = qn_point{300, 300}});
  screen_stop_nr(0);
  EXPECT_EQ(screen_pixel(305, 300), test_red);
}

TEST_F(clipboard, StoreAndCopyAreTheOtherNames) {
  copy_red_block(5);
  fill_screen(test_white);
  clipboard_store(5);
  EXPECT_EQ(screen_pixel(10, 10), test_red);
  const int32_t window = open_main_window();
  video_stack_copy(5, 10, 50);
  EXPECT_EQ(window_pixel(window, 15, 55), test_red);
}

}  // namespace
