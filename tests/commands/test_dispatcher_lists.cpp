// Keys and clicks on a list area reach the list manager: navigation keys move the cursor, a
// click selects the row under the mouse and runs the area's label.
#include <QTimer>

#include <string>

#include "runtime/screen/lists.h"
#include "test_dispatcher_fixture.h"

namespace {

class dispatcher_lists : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    start_headless();
    reset_lists();
    list_table.line_height = 16;
    list_table.char_width = 8;
  }
  void TearDown() override {
    reset_lists();
    events_fixture::TearDown();
  }

  // List 3 with `rows` rows at (20, 40), 5 visible lines, behind list area `n`.
  static int32_t show_list(int32_t rows, int32_t lbl) {
    int32_t status = 0;
    allocate_xmm(3, rows, 40, status);
    for (int32_t r = 1; r <= rows; ++r) lst_put_row(3, r, "row " + std::to_string(r));
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
    const int32_t n = add_area(20, 40, 160, 80, lbl, area_list);
    area(n).list = 3;
    return n;
  }
};

TEST_F(dispatcher_lists, NavigationKeysMoveTheCursorOfTheFocusedList) {
  const int32_t n = show_list(20, 0);
  area_table.state.focus = n;
  key_down(40);  // Down
  EXPECT_EQ(list_of(3).cursor, 2);
  key_down(34);  // PgDn: page - 1
  EXPECT_EQ(list_of(3).cursor, 6);
  key_down(35);  // End
  EXPECT_EQ(list_of(3).cursor, 20);
  key_down(38);  // Up
  EXPECT_EQ(list_of(3).cursor, 19);
  key_down(33);  // PgUp: 1 - page
  EXPECT_EQ(list_of(3).cursor, 15);
  key_down(36);  // Home
  EXPECT_EQ(list_of(3).cursor, 1);
}

TEST_F(dispatcher_lists, KeysWithoutAListFocusLeaveTheListAlone) {
  show_list(20, 0);
  area_table.state.focus = 0;
  key_down(40);
  EXPECT_EQ(list_of(3).cursor, 1);
}

TEST_F(dispatcher_lists, AClickSelectsTheRowAndRunsTheLabel) {
  labels(1);
  const int32_t n = show_list(10, label(1));
  QTimer::singleShot(30, [] { mouse_state.buttons = 0; });  // the list polls until the release
  mouse(60, 40 + 2 * 16 + 5, 1);
  EXPECT_EQ(area_table.state.focus, n);
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_FALSE(run_flags.list_mouse_active);
}

TEST_F(dispatcher_lists, EventsDuringTheListsOwnMouseLoopOnlyRecordThePosition) {
  labels(1);
  show_list(10, label(1));
  run_flags.list_mouse_active = true;
  mouse(60, 50, 1);
  EXPECT_EQ(mouse_state.x, 60);
  EXPECT_EQ(area_table.state.focus, 0);
  EXPECT_TRUE(ran().empty());
}

}  // namespace
