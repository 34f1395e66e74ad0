// The mouse handler: hit test, press and release edges, status line, escape, tracking areas.
#include <gtest/gtest.h>

#include "runtime/program/text_tokens.h"
#include "test_dispatcher_fixture.h"

namespace {

class mouse_test : public events_fixture {};

TEST_F(mouse_test, RecordsThePositionOrTheDragCorner) {
  mouse(12, 34, 2);
  EXPECT_EQ(mouse_state.x, 12);
  EXPECT_EQ(mouse_state.y, 34);
  EXPECT_EQ(mouse_state.buttons, 2);
  int32_t event = 0, window = 0, keystate = 1;
  qn_point point{5, 6}, second{};
  qn_rect drag{40, 50, 60, 70};
  mouse_event(event, point, drag, window, second, keystate);
  EXPECT_EQ(mouse_state.x, 40);
  EXPECT_EQ(mouse_state.y, 50);
}

TEST_F(mouse_test, PlainButtonRunsOnTheRelease) {
  labels(1);
  const int32_t a = add_area(10, 10, 40, 20, label(1));
  mouse(15, 15, 1);
  EXPECT_TRUE(ran().empty());
  EXPECT_TRUE(logical(area(a).selected));
  EXPECT_EQ(area_table.state.focus, a);
  EXPECT_EQ(mouse_track.pressed_area, a);
  mouse(15, 15, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_FALSE(logical(area(a).selected));
  EXPECT_EQ(mouse_track.pressed_area, -1);
  EXPECT_EQ(call_state.depth, 0);
}

TEST_F(mouse_test, LatchingButtonRunsOnThePressAndStaysSelected) {
  labels(1);
  const int32_t a = add_area(10, 10, 40, 20, label(1), area_button, area_kind_latching);
  mouse(15, 15, 1);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  mouse(15, 15, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_TRUE(logical(area(a).selected));
}

TEST_F(mouse_test, OverlappingAreasTheLowerNumberTakesTheClick) {
  labels(2);
  const int32_t a = add_area(0, 0, 100, 100, label(1));
  add_area(50, 50, 100, 100, label(2));
  click(60, 60);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  area(a).enabled = 0;  // transparent now
  click(60, 60);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 2}));
}

TEST_F(mouse_test, TheRightAndBottomEdgesHit) {
  labels(1);
  add_area(10, 10, 20, 20, label(1));
  click(31, 30);
  EXPECT_TRUE(ran().empty());
  click(30, 30);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(mouse_test, MovingOffAPressedAreaReleasesItWithoutRunning) {
  labels(1);
  const int32_t a = add_area(10, 10, 20, 20, label(1));
  mouse(15, 15, 1);
  EXPECT_TRUE(logical(area(a).selected));
  mouse(100, 100, 1);
  EXPECT_FALSE(logical(area(a).selected));
  EXPECT_EQ(mouse_track.pressed_area, -1);
  mouse(100, 100, 0);
  mouse(15, 15, 0);
  EXPECT_TRUE(ran().empty());
}

TEST_F(mouse_test, PressAndReleaseOnAFieldRunsNothing) {
  labels(1);
  const int32_t f = add_area(10, 10, 20, 20, label(1), area_field, area_kind_field);
  click(15, 15);
  EXPECT_TRUE(ran().empty());
  EXPECT_FALSE(logical(area(f).selected));
  EXPECT_EQ(area_table.state.focus, f);
}

TEST_F(mouse_test, APressMovesTheFocusAndReleasesTheOldOne) {
  const int32_t a = add_area(0, 0, 10, 10, 0);
  const int32_t b = add_area(20, 0, 10, 10, 0);
  area(a).selected = logical_true;
  area_table.state.focus = a;
  mouse(25, 5, 1);
  EXPECT_FALSE(logical(area(a).selected));
  EXPECT_EQ(area_table.state.focus, b);
}

TEST_F(mouse_test, StatusLineFollowsTheMouse) {
  load_pxb({"RETURN"}, {}, {"Speichern", "Laden"});
  const int32_t a = add_area(0, 0, 10, 10, 0);
  const int32_t b = add_area(20, 0, 10, 10, 0);
  area(a).status_text = 1;
  area(b).status_text = 2;
  mouse(5, 5, 0);
  EXPECT_EQ(area_table.status_area, a);
  EXPECT_EQ(screen_link::last_status_text(), "Speichern");
  mouse(25, 5, 0);
  EXPECT_EQ(screen_link::last_status_text(), "Laden");
  mouse(100, 100, 0);
  EXPECT_EQ(area_table.status_area, -1);
  EXPECT_EQ(screen_link::last_status_text(), "");
}

TEST_F(mouse_test, RightButtonReleasedWithEscapeDisabledOnlyKeepsTheStatusLine) {
  labels(1);
  area_table.state.escape_label = label(1);
  area_table.state.escape_enabled = 0;
  mouse(5, 5, 2);
  mouse(5, 5, 0);
  EXPECT_TRUE(ran().empty());
}

TEST_F(mouse_test, RightButtonReleasedRunsTheEscapeLabel) {
  labels(1);
  area_table.state.escape_label = label(1);
  mouse(5, 5, 2);
  EXPECT_TRUE(ran().empty());
  mouse(5, 5, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(call_state.depth, 0);
  // Both buttons before the release are no escape.
  mouse(5, 5, 3);
  mouse(5, 5, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(mouse_test, TrackingAreaRunsOnEveryEventAndRecordsThePosition) {
  labels(1);
  add_area(0, 0, 50, 50, label(1), area_tracking);
  mouse(7, 8, 0);
  mouse(9, 10, 1);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(mouse_track.track_x, 9);
  EXPECT_EQ(mouse_track.track_y, 10);
  EXPECT_EQ(mouse_track.track_buttons, 1);
}

// A click while a label runs is dropped: only its position is recorded.  The keys after it were
// meant for where it pointed: refused until the user clicks again, then served.
TEST_F(mouse_test, EventsWhileBusyOnlyRecordThePositionAndTheKeysAfterThemWaitForAClick) {
  labels(2);
  add_area(0, 0, 50, 50, label(2), area_button, area_kind_latching);
  hotkey_table[hot_none]['A'] = label(1);
  on_marker() = [](int32_t k) {
    if (k != 1) return;
    int32_t event = 0, window = 0, keystate = 1;
    qn_point point{5, 5}, second{};
    qn_rect drag{};
    mouse_event(event, point, drag, window, second, keystate);
    keystate = 0;
    mouse_event(event, point, drag, window, second, keystate);
  };
  key_down('A');
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(mouse_state.x, 5);
  on_marker() = nullptr;
  key_down('A');  // typed after the dropped click
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  mouse(200, 200, 1);  // the user points again, at nothing
  mouse(200, 200, 0);
  key_down('A');
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 1}));
}

TEST_F(mouse_test, ALabelThatDeletesItsAreasLeavesNoStaleStatus) {
  load_pxb({"PIXEL :0001", "RETURN"}, {}, {"Hilfe"});
  on_marker() = [](int32_t) { area_table.count = 0; };
  const int32_t a = add_area(0, 0, 50, 50, 1, area_button, area_kind_latching);
  area(a).status_text = 1;
  mouse(5, 5, 1);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(area_table.status_area, -1);
  mouse(5, 5, 0);  // nothing left to hit
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

}  // namespace
