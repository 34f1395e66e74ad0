// The list under the mouse: bar and cursor, clicks, scrolling while held, marks, and the
// drop-down's following bar.
#include <QTimer>
#include <memory>
#include <string>

#include "test_list_fixture.h"

namespace {

class list_mouse_test : public list_test {
 protected:
  void SetUp() override {
    list_test::SetUp();
    ensure_test_application();
    list_table.line_height = 16;
    list_table.char_width = 8;
    mouse_state = mouse_state_t{};
  }
  void TearDown() override {
    timers_.reset();
    mouse_state = mouse_state_t{};
    list_test::TearDown();
  }

  // Owns the test's timers: one that has not fired when the test ends (a release armed for a
  // reading that did not wait for it) dies with the test instead of letting go of a later
  // test's button, moving its mouse or quitting its run.
  std::unique_ptr<QObject> timers_ = std::make_unique<QObject>();
  template <typename Action>
  void after(int ms, Action action) {
    QTimer::singleShot(ms, timers_.get(), action);
  }

  // List 3 with rows "1r1".."0rN" (odd rows marked) at (20, 40), 5 lines of 20 characters.
  void show_list(int32_t rows) {
    int32_t status = 0;
    allocate_xmm(3, rows, 40, status);
    for (int32_t r = 1; r <= rows; ++r) lst_put_row(3, r, std::string(r % 2 ? "1" : "0") + "r" + std::to_string(r));
    list_record& l = list_of(3);
    l.x1 = 20;
    l.y1 = 40;
    l.width = 20;
    l.page = 5;
    l.hilite_right = 160;
    l.x2 = 180;
    l.y2 = 40 + 5 * 16;
    l.top = 1;
    l.cursor = 1;
    list_table.current = 3;
    lst_draw();
  }
  // The y of visible line `line`.
  static int32_t line_y(int32_t line) { return 40 + (line - 1) * 16 + 5; }
  // Releases every button after `ms` milliseconds of the routine's polling.
  void release_after(int ms) {
    after(ms, [] { mouse_state.buttons = 0; });
  }
  static std::string marks(int32_t rows) {
    std::string m;
    for (int32_t r = 1; r <= rows; ++r) m += lst_get_row(3, r, 1);
    return m;
  }
};

TEST_F(list_mouse_test, LineUnderTheMouseIsLimitedToPageAndRows) {
  show_list(3);
  const list_record& l = list_of(3);
  EXPECT_EQ(lst_line_under(l, 40), 1);
  EXPECT_EQ(lst_line_under(l, 40 + 16), 2);
  EXPECT_EQ(lst_line_under(l, 40 + 200), 3);  // only 3 rows
  list_of(3).edit_mode = true;
  EXPECT_EQ(lst_line_under(l, 40 + 200), 4);  // one more in edit mode
  show_list(30);
  EXPECT_EQ(lst_line_under(l, 40 + 200), 5);  // the page
}

TEST_F(list_mouse_test, HoverMovesBarAndCursorWithoutAClick) {
  show_list(8);
  mouse_state = {30, line_y(3), 0};
  bool clicked = true;
  lst_mouse(3, 77, clicked);
  EXPECT_FALSE(clicked);
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(list_of(3).hilite_line, 3);
  EXPECT_TRUE(list_of(3).hilite_drawn);
  EXPECT_FALSE(run_flags.list_mouse_active);
  EXPECT_EQ(list_table.last_reported_cursor, 3);
}

TEST_F(list_mouse_test, ClickReleasedInsideIsAClick) {
  show_list(8);
  mouse_state = {30, line_y(2), 1};
  release_after(30);
  bool clicked = false;
  lst_mouse(3, 77, clicked);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(list_of(3).cursor, 2);
}

TEST_F(list_mouse_test, ReleaseOutsideTheListIsNoClick) {
  show_list(8);
  mouse_state = {30, line_y(2), 1};
  after(30, [] { mouse_state = {500, line_y(2), 0}; });
  bool clicked = true;
  lst_mouse(3, 77, clicked);
  EXPECT_FALSE(clicked);
}

TEST_F(list_mouse_test, HoldingBelowTheListScrollsToTheLastRow) {
  show_list(30);
  mouse_state = {30, line_y(2), 1};
  after(10, [] { mouse_state.y = 400; });
  release_after(400);
  bool clicked = false;
  lst_mouse(3, 77, clicked);
  EXPECT_EQ(list_of(3).cursor, 30);
  EXPECT_EQ(list_of(3).top, 26);
  EXPECT_FALSE(clicked);  // released below the list
}

TEST_F(list_mouse_test, QuittingEndsAHeldButton) {
  show_list(30);
  mouse_state = {30, 400, 1};  // held below the list, never released
  after(30, [] { qn_post_quit(0); });
  bool clicked = true;
  lst_mouse(3, 77, clicked);
  EXPECT_TRUE(qn_quitting());
  EXPECT_FALSE(clicked);
  EXPECT_FALSE(run_flags.list_mouse_active);
  int32_t x = -1, y = -1, left = -1, right = -1;
  EXPECT_FALSE(get_mouse_state(x, y, left, right));
  EXPECT_EQ(left, -1);  // outputs unchanged
}

TEST_F(list_mouse_test, ClickOutsideTheListNumbersDoesNothing) {
  bool clicked = true;
  lst_mouse(0, 1, clicked);
  lst_mouse(7, 1, clicked);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(run_flags.list_mouse_active);
}

TEST_F(list_mouse_test, MarkClicksByKeyboardState) {
  show_list(8);
  MARK_LIST(3, 1);
  // A plain click leaves exactly that row marked.
  EXPECT_TRUE(lst_mark_click(3, 3, 0));
  EXPECT_EQ(marks(8), "00100000");
  EXPECT_EQ(list_of(3).anchor, 3);
  // Shift: anchor to the row, the rest unmarked.
  lst_mark_click(3, 6, 2);
  EXPECT_EQ(marks(8), "00111100");
  EXPECT_EQ(list_of(3).anchor, 3);
  // Ctrl toggles one row and makes it the anchor.
  lst_mark_click(3, 8, 1);
  EXPECT_EQ(marks(8), "00111101");
  EXPECT_EQ(list_of(3).anchor, 8);
  lst_mark_click(3, 8, 1);
  EXPECT_EQ(marks(8), "00111100");
  // Shift upwards from the anchor.
  list_of(3).anchor = 5;
  lst_mark_click(3, 2, 2);
  EXPECT_EQ(marks(8), "01111000");
  // Other states change nothing.
  EXPECT_FALSE(lst_mark_click(3, 1, 999));
  EXPECT_EQ(marks(8), "01111000");
}

TEST_F(list_mouse_test, CtrlShiftCopiesTheAnchorMarkTowardsTheRow) {
  show_list(8);
  for (int32_t r = 1; r <= 8; ++r) lst_put_row(3, r, "0x");
  lst_put_row(3, 6, "1x");
  list_of(3).anchor = 6;
  lst_mark_click(3, 3, 3);
  EXPECT_EQ(marks(8), "00111100");
  EXPECT_EQ(list_of(3).anchor, 6);
  // Further up from the same marked anchor: rows 5..2 marked, and row 1.
  lst_mark_click(3, 1, 3);
  EXPECT_EQ(marks(8), "11111100");
  // An unmarked anchor copies "unmarked" into 7..5, and the clicked row 4 is marked.
  list_of(3).anchor = 8;
  lst_mark_click(3, 4, 3);
  EXPECT_EQ(marks(8), "11110000");
  // Without an anchor in the list, Shift does nothing.
  list_of(3).anchor = -1;
  EXPECT_FALSE(lst_mark_click(3, 2, 2));
  EXPECT_FALSE(lst_mark_click(3, 2, 3));
}

TEST_F(list_mouse_test, PlainAndRightButtonClicksInMarkMode) {
  show_list(6);
  MARK_LIST(3, 1);
  mouse_state = {30, line_y(4), 1};
  release_after(20);
  bool clicked = false;
  lst_mouse(3, 5, clicked);
  EXPECT_EQ(marks(6), "000100");
  EXPECT_TRUE(clicked);
  // The right button alone toggles like Ctrl.
  mouse_state = {30, line_y(2), 2};
  release_after(20);
  lst_mouse(3, 5, clicked);
  EXPECT_EQ(marks(6), "010100");
  EXPECT_EQ(list_of(3).anchor, 2);
  // Both buttons together do nothing.
  mouse_state = {30, line_y(5), 3};
  release_after(20);
  lst_mouse(3, 5, clicked);
  EXPECT_EQ(marks(6), "010100");
}

TEST_F(list_mouse_test, FollowingBarOfTheDropDown) {
  show_list(8);
  mouse_state = {30, line_y(4), 0};
  lst_follow_mouse(3);
  EXPECT_EQ(list_of(3).cursor, 4);
  EXPECT_EQ(list_of(3).hilite_line, 4);
  EXPECT_TRUE(list_of(3).hilite_drawn);
  // Above the list only the left button alone moves the cursor.
  mouse_state = {30, 10, 0};
  lst_follow_mouse(3);
  EXPECT_EQ(list_of(3).cursor, 4);
  mouse_state.buttons = 1;
  lst_follow_mouse(3);
  EXPECT_EQ(list_of(3).cursor, 3);
  mouse_state.buttons = 3;
  lst_follow_mouse(3);
  EXPECT_EQ(list_of(3).cursor, 3);
}

}  // namespace
