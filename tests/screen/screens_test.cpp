// Screens: dirty rectangles, nested drawing steps, paint suppression, the three forms of
// screen_init, resizing, and the reports for screen numbers outside 0..20.
#include <QApplication>
#include <QWidget>

#include "screen_fixture.h"

namespace {

bool same_rect(const qn_rect& a, const qn_rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
#define EXPECT_RECT(r, l, t, rr, b) EXPECT_TRUE(same_rect((r), qn_rect{(l), (t), (rr), (b)})) \
    << (r).left << "," << (r).top << "," << (r).right << "," << (r).bottom

// Opens and closes one step on a clean screen 0 and returns the rectangle it marked.
qn_rect marked_by(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  reset_screens();
  int32_t width = 640;
  screen_init(0, width, 480);
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  const qn_rect r = screen_info(0).dirty_rect;
  screen_stop_nr(0);
  return r;
}

}  // namespace

using screens = screen_test;

TEST_F(screens, DirtyRectangleEdgeRules) {
  EXPECT_RECT(marked_by(10, 20, 30, 40), 10, 20, 31, 41);   // right and bottom inclusive
  EXPECT_RECT(marked_by(10, 20, 5, 40), 10, 20, 640, 41);   // x2 < x1: up to the width
  EXPECT_RECT(marked_by(10, 20, 30, 5), 10, 20, 31, 480);   // y2 < y1: up to the height
  EXPECT_RECT(marked_by(10, 20, 9, 19), 10, 20, 640, 480);  // both
  EXPECT_RECT(marked_by(-1, 20, 30, 40), 0, 0, 640, 480);   // x1 < 0: the whole screen
  EXPECT_RECT(marked_by(7, 8, 7, 8), 7, 8, 8, 9);           // one pixel
  EXPECT_RECT(marked_by(0, -5, 3, 4), 0, -5, 4, 5);          // only x1 decides "whole"
  EXPECT_RECT(marked_by(0, 0, INT32_MAX, 1), 0, 0, INT32_MAX, 2);  // no overflow
}

TEST_F(screens, StepRaisesDirtyFlagAndOpensContext) {
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(screen_step_context(0), nullptr);
  ups u;
  screen_nr(0, u, 1, 2, 3, 4);
  EXPECT_TRUE(screen_info(0).dirty);
  EXPECT_EQ(u.stamp, QN_STAMP);
  ASSERT_NE(screen_step_context(0), nullptr);
  EXPECT_EQ(screen_step_context(0)->context, u.context);
  EXPECT_EQ(u.bitmap, screen_info(0).bitmap);
  screen_stop_nr(0);
  EXPECT_EQ(screen_step_context(0), nullptr);
  EXPECT_EQ(screen_info(0).depth, 0);
}

TEST_F(screens, SuppressedStepsWidenTheDirtyRectangle) {
  no_do_paint();
  ups u;
  screen_nr(0, u, 10, 10, 20, 20);
  screen_stop_nr(0);
  screen_nr(0, u, 100, 5, 110, 15);
  screen_stop_nr(0);
  const screen_view s = screen_info(0);
  EXPECT_TRUE(s.dirty);
  EXPECT_RECT(s.dirty_rect, 10, 5, 111, 21);
}

TEST_F(screens, ScreenRectReplacesTheStepButKeepsEarlierDirt) {
  open_main_window();  // so that an unsuppressed step leaves the screen clean
  ups u;
  // On a clean screen screen_rect narrows the step's rectangle to exactly its own.
  screen_nr(0, u, -1, 0, 0, 0);
  screen_rect(0, 50, 60, 70, 80);
  EXPECT_RECT(screen_info(0).dirty_rect, 50, 60, 71, 81);
  screen_rect(0, 50, 60, 40, 80);
  EXPECT_RECT(screen_info(0).dirty_rect, 50, 60, 640, 81);
  screen_stop_nr(0);

  // Under suppression the rectangle of an earlier step has not been shown yet and stays.
  no_do_paint();
  screen_nr(0, u, 0, 0, 9, 9);
  screen_stop_nr(0);
  screen_nr(0, u, -1, 0, 0, 0);
  screen_rect(0, 300, 300, 310, 310);
  EXPECT_RECT(screen_info(0).dirty_rect, 0, 0, 311, 311);
  screen_stop_nr(0);
}

TEST_F(screens, ScreenRectDoesNotRaiseTheDirtyFlag) {
  screen_rect(0, 1, 1, 5, 5);
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_RECT(screen_info(0).dirty_rect, 1, 1, 6, 6);
  screen_rect(0, -3, 1, 5, 5);
  EXPECT_RECT(screen_info(0).dirty_rect, 0, 0, 640, 480);
}

TEST_F(screens, NestedStepsShareOneContextUntilTheOutermostStop) {
  ups outer, inner;
  screen_nr(0, outer, 0, 0, 10, 10);
  screen_nr(0, inner, 20, 20, 30, 30);
  EXPECT_EQ(screen_info(0).depth, 2);
  EXPECT_EQ(inner.context, outer.context);
  screen_stop_nr(0);
  // The outer caller's context must still be usable.
  ASSERT_NE(screen_step_context(0), nullptr);
  EXPECT_EQ(screen_step_context(0)->stamp, QN_STAMP);
  SET_PIXEL(outer, test_red, {5, 5});
  screen_stop_nr(0);
  EXPECT_EQ(screen_step_context(0), nullptr);
  EXPECT_EQ(screen_pixel(5, 5), test_red);
  // A stray stop without a step changes nothing.
  screen_stop_nr(0);
  EXPECT_EQ(screen_info(0).depth, 0);
}

TEST_F(screens, PaintSuppressionHoldsTheCopyBack) {
  const int32_t window = open_main_window();
  fill_screen(test_white);
  screen_repaint();
  ASSERT_EQ(window_pixel(window, 40, 40), test_white);
  const int32_t copies = screen_info(0).copies;

  no_do_paint();
  EXPECT_TRUE(paint_suppressed());
  ups u;
  screen_nr(0, u, 40, 40, 40, 40);
  SET_PIXEL(u, test_red, {40, 40});
  screen_stop_nr(0);
  EXPECT_EQ(screen_info(0).copies, copies);
  EXPECT_TRUE(screen_info(0).dirty);
  EXPECT_EQ(window_pixel(window, 40, 40), test_white);

  look_do_paint();
  EXPECT_FALSE(paint_suppressed());
  EXPECT_EQ(screen_info(0).copies, copies + 1);
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(window_pixel(window, 40, 40), test_red);

  // Nothing dirty: look_do_paint copies nothing.
  look_do_paint();
  EXPECT_EQ(screen_info(0).copies, copies + 1);
}

TEST_F(screens, UnsuppressedStepCopiesAtItsOutermostStop) {
  const int32_t window = open_main_window();
  fill_screen(test_white);
  screen_repaint();
  const int32_t copies = screen_info(0).copies;
  ups outer, inner;
  screen_nr(0, outer, 0, 0, 100, 100);
  screen_nr(0, inner, 60, 60, 60, 60);
  SET_PIXEL(inner, test_blue, {60, 60});
  screen_stop_nr(0);
  EXPECT_EQ(screen_info(0).copies, copies);  // the inner stop does not copy
  screen_stop_nr(0);
  EXPECT_EQ(screen_info(0).copies, copies + 1);
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(window_pixel(window, 60, 60), test_blue);
}

TEST_F(screens, ScreenRepaintCopiesEvenWhileSuppressed) {
  const int32_t window = open_main_window();
  fill_screen(test_white);
  no_do_paint();
  ups u;
  screen_nr(0, u, 3, 3, 3, 3);
  SET_PIXEL(u, test_red, {3, 3});
  screen_stop_nr(0);
  screen_repaint();
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(window_pixel(window, 3, 3), test_red);
  EXPECT_TRUE(paint_suppressed());
}

TEST_F(screens, MainWindowPaintDrawsScreenZero) {
  fill_screen(test_white);
  ups u;
  screen_nr(0, u, 0, 0, 0, 0);
  SET_PIXEL(u, test_red, {7, 9});
  screen_stop_nr(0);
  const int32_t target = CREATE_BITMAP(640, 480);
  ups t;
  START_BITMAP_DRAW(target, t);
  main_window_paint(0, t);
  const uint32_t painted = GET_PIXEL(t, {7, 9});
  const uint32_t beside = GET_PIXEL(t, {8, 9});
  END_BITMAP_DRAW(t);
  EXPECT_EQ(painted, test_red);
  EXPECT_EQ(beside, test_white);
  DELETE_OBJECT(target);
}

TEST_F(screens, ScreenInitForms) {
  int32_t handle = -1;
  screen_init(0, handle, -9998);
  EXPECT_NE(handle, 0);
  int32_t from_bitmap = -1;
  screen_bitmap(0, from_bitmap);
  EXPECT_EQ(handle, from_bitmap);
  const qn_point size = qn_bitmap_size(handle);
  EXPECT_EQ(size.x, 640);
  EXPECT_EQ(size.y, 480);

  int32_t window = 1234;
  screen_init(3, window, -9999);
  EXPECT_EQ(screen_info(3).window, 1234);
  EXPECT_EQ(screen_info(3).bitmap, 0);

  int32_t width = 100;
  screen_init(3, width, 50);
  EXPECT_NE(screen_info(3).bitmap, 0);
  EXPECT_EQ(screen_info(3).width, 100);
  EXPECT_EQ(screen_info(3).height, 50);
  EXPECT_EQ(screen_info(3).window, 1234);  // the attached window stays
  int32_t none = -1;
  screen_init(4, none, -9998);
  EXPECT_EQ(none, 0);  // a screen never created has no bitmap
}

TEST_F(screens, ResizeScreenGivesANewBitmapAndResizesTheWindow) {
  const int32_t window = open_main_window();
  ups u;
  screen_nr(0, u, 0, 0, 0, 0);  // a step left open is released by the resize
  resize_screen(0, 800, 300);
  const screen_view s = screen_info(0);
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 300);
  EXPECT_EQ(s.depth, 0);
  EXPECT_EQ(screen_step_context(0), nullptr);
  const qn_point size = qn_bitmap_size(s.bitmap);
  EXPECT_EQ(size.x, 800);
  EXPECT_EQ(size.y, 300);
  const qn_rect client = GET_RECT({.window = window});
  EXPECT_EQ(client.right - client.left, 800);
  EXPECT_EQ(client.bottom - client.top, 300);
  // The new bitmap takes drawing steps at its full size.
  screen_nr(0, u, 790, 290, 799, 299);
  SET_PIXEL(u, test_red, {799, 299});
  screen_stop_nr(0);
  EXPECT_EQ(screen_pixel(799, 299), test_red);
  EXPECT_RECT(screen_info(0).dirty_rect, 790, 290, 800, 300);
}

// Every screen routine reports a screen number outside 0..20 with its own message and ends
// the program; nothing is touched.
TEST_F(screens, OutOfRangeScreenNumbersEndTheProgram) {
  set_auto_mode(true);
  ups u;
  EXPECT_THROW(screen_nr(21, u, 0, 0, 0, 0), program_end);
  EXPECT_NE(error_log().find("KYRMAIN screen_nr out of size"), std::string::npos);
  EXPECT_EQ(u.stamp, 0u);

  errors_reset();
  EXPECT_THROW(screen_stop_nr(-1), program_end);
  EXPECT_NE(error_log().find("KYRMAIN screen_stop_nr out of size"), std::string::npos);

  errors_reset();
  int32_t a = 10;
  EXPECT_THROW(screen_init(99, a, 10), program_end);
  EXPECT_EQ(screen_info(0).width, 640);
}

TEST_F(screens, OutOfRangeScreenNumberShowsTheErrorBox) {
  std::string text, caption;
  qn_set_box_answerer([&](std::string_view t, std::string_view c, int32_t style) {
    text = t;
    caption = c;
    return IDOK;
  });
  ups u;
  EXPECT_THROW(screen_nr(20 + 1, u, 0, 0, 0, 0), program_end);
  EXPECT_EQ(text, "KYRMAIN screen_nr out of size");
  EXPECT_NE(caption.find("32000"), std::string::npos);
}

TEST_F(screens, BadScreenSizeIsReported) {
  set_auto_mode(true);
  int32_t zero = 0;
  EXPECT_THROW(screen_init(2, zero, 100), program_end);
  EXPECT_EQ(screen_info(2).bitmap, 0);
  EXPECT_NE(error_log().find("KYRMAIN screen size"), std::string::npos);
}

TEST_F(screens, StepOnAScreenWithoutBitmapIsReported) {
  set_auto_mode(true);
  ups u;
  EXPECT_THROW(screen_nr(5, u, 0, 0, 0, 0), program_end);
  EXPECT_EQ(screen_info(5).depth, 0);
}

TEST_F(screens, MainWindowSizeAndPosition) {
  const int32_t window = open_main_window();
  size_main_window(7, 320, 200);  // the window number is not used
  const qn_rect client = GET_RECT({.window = window});
  EXPECT_EQ(client.right - client.left, 320);
  EXPECT_EQ(client.bottom - client.top, 200);
  EXPECT_EQ(screen_info(0).width, 640);  // the screen keeps its bitmap
  move_main_window(7, 120, 80);
  const qn_rect frame = GET_RECT({.window = window, .whole_window = true});
  EXPECT_EQ(frame.left, 120);
  EXPECT_EQ(frame.top, 80);
  // Without a main window these do nothing and must not fail.
  qn_reset();
  reset_screens();
  size_main_window(0, 10, 10);
  move_main_window(0, 5, 5);
}

namespace {
QWidget* top_level(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == title) return w;
  return nullptr;
}
}  // namespace

TEST_F(screens, ShowMainWindowMinimisesAndRestoresMainAndDebugWindows) {
  open_main_window();
  debug_open();
  QWidget* main = top_level("WinKYR");
  QWidget* debug = top_level("DEBUG");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(debug, nullptr);
  show_main_window(0, -1);
  EXPECT_TRUE(main->windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(debug->windowState() & Qt::WindowMinimized);
  show_main_window(0, 1);
  EXPECT_FALSE(main->windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(debug->windowState() & Qt::WindowMinimized);
}
