// The dispatcher's keys: hot keys, Tab focus movement, Space, Enter, Esc, debugger toggles.
#include <gtest/gtest.h>

#include "test_dispatcher_fixture.h"

namespace {

class dispatcher_keys : public events_fixture {};

TEST_F(dispatcher_keys, HotKeysRunByModifierState) {
  labels(4);
  hotkey_table[hot_none][0x74] = label(1);
  hotkey_table[hot_ctrl][0x74] = label(2);
  hotkey_table[hot_shift][0x74] = label(3);
  hotkey_table[hot_alt][0x74] = label(4);
  key_down(0x74);
  modifiers(true);
  key_down(0x74);
  modifiers(true, true);  // Shift wins over Ctrl
  key_down(0x74);
  modifiers(false, false, true);
  key_down(0x74);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(dispatcher_keys, KeysAreHeldBackWhileBusy) {
  labels(2);
  hotkey_table[hot_none]['B'] = label(2);
  hotkey_table[hot_none]['A'] = label(1);
  on_marker() = [](int32_t k) {
    if (k == 1) qn_control(0x4100, 'B');
  };
  key_down('A');
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(dispatcher_keys, CtrlHotKeyFindsTheAreaByItsCaptionKey) {
  labels(2);
  const int32_t a = add_area(0, 0, 50, 20, label(1));
  const int32_t b = add_area(60, 0, 50, 20, label(2), area_button, area_kind_latching);
  area(a).hot_key = 'S';
  area(b).hot_key = 'O';
  modifiers(true);
  key_down('O');
  EXPECT_EQ(ran(), std::vector<int32_t>{2});
  EXPECT_TRUE(logical(area(b).selected));  // a latching area is pressed first
  key_down('S');
  EXPECT_EQ(ran(), (std::vector<int32_t>{2, 1}));
  EXPECT_FALSE(logical(area(a).selected));
}

TEST_F(dispatcher_keys, TabFromTheLastAreaWrapsToTheFirstEnabledArea) {
  add_area(0, 0, 10, 10, 0);
  add_area(20, 0, 10, 10, 0);
  add_area(40, 0, 10, 10, 0);
  area(1).enabled = 0;
  area_table.state.focus = 3;
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 2);
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 3);
  EXPECT_EQ(area_table.current, 0);
  // With no enabled area at all area 1 is taken.
  area(2).enabled = area(3).enabled = 0;
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 1);
}

TEST_F(dispatcher_keys, TabSkipsSlidersTrackingAndDisabledAreas) {
  add_area(0, 0, 10, 10, 0);
  add_area(20, 0, 10, 10, 0, area_slider);
  add_area(40, 0, 10, 10, 0, area_tracking);
  add_area(60, 0, 10, 10, 0);
  add_area(80, 0, 10, 10, 0);
  area(4).enabled = 0;
  area_table.state.focus = 1;
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 5);
}

TEST_F(dispatcher_keys, ShiftTabSearchesDownFromTheLastArea) {
  add_area(0, 0, 10, 10, 0);
  add_area(20, 0, 10, 10, 0);
  add_area(40, 0, 10, 10, 0);
  area(3).enabled = 0;
  area_table.state.focus = 1;
  modifiers(false, true);
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 2);
  // With no enabled area at all the last area is taken.
  area(1).enabled = area(2).enabled = 0;
  area_table.state.focus = 1;
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 3);
}

TEST_F(dispatcher_keys, TabWithoutAreasClearsFocusAndCurrent) {
  area_table.state.focus = 4;
  area_table.current = 4;
  key_down(9);
  EXPECT_EQ(area_table.state.focus, 0);
  EXPECT_EQ(area_table.current, 0);
}

TEST_F(dispatcher_keys, TabClearsTheSelectedFlagOfAPlainFocusOnly) {
  add_area(0, 0, 10, 10, 0);
  add_area(20, 0, 10, 10, 0, area_button, area_kind_latching);
  add_area(40, 0, 10, 10, 0);
  area(1).selected = logical_true;
  area(2).selected = logical_true;
  area_table.state.focus = 1;
  key_down(9);
  EXPECT_FALSE(logical(area(1).selected));
  key_down(9);
  EXPECT_TRUE(logical(area(2).selected));
}

TEST_F(dispatcher_keys, SpaceOnAPlainButtonRunsItsLabelOnTheKeyUp) {
  labels(1);
  const int32_t a = add_area(0, 0, 10, 10, label(1));
  area_table.state.focus = a;
  key_down(32);
  EXPECT_TRUE(ran().empty());
  EXPECT_TRUE(logical(area(a).selected));
  EXPECT_EQ(area_table.current, a);
  key_up(32);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_FALSE(logical(area(a).selected));
}

TEST_F(dispatcher_keys, SpaceOnALatchingButtonRunsAtOnce) {
  labels(1);
  const int32_t a = add_area(0, 0, 10, 10, label(1), area_button, area_kind_latching);
  area_table.state.focus = a;
  key_down(32);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(area_table.current, 0);
  key_up(32);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(dispatcher_keys, SpaceWithoutFocusDoesNothing) {
  labels(1);
  add_area(0, 0, 10, 10, label(1));
  area_table.current = 1;
  key_down(32);
  key_up(32);
  EXPECT_TRUE(ran().empty());
  EXPECT_EQ(area_table.current, 0);
}

TEST_F(dispatcher_keys, EnterRunsTheFocusLabelOrBeepsWithoutFocus) {
  labels(2);
  const int32_t a = add_area(0, 0, 10, 10, label(1));
  key_down(13);
  EXPECT_TRUE(ran().empty());
  area_table.state.focus = a;
  key_down(13);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  // A plain Enter hot key takes Enter away from the focus area.
  hotkey_table[hot_none][13] = label(2);
  key_down(13);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 2}));
}

TEST_F(dispatcher_keys, DownOnAFocusedComboActsAsEnter) {
  labels(1);
  const int32_t combo = add_area(0, 0, 80, 20, label(1), area_combo);
  area_table.state.focus = combo;
  area_table.current = 0;
  key_down(40);
  EXPECT_EQ(area_table.current, combo);  // Enter took the focus area
  EXPECT_TRUE(ran().empty());             // a combo opens its drop-down instead of running
  // With the drop-down open, Down is the drop-down's key.
  area_table.current = 0;
  run_flags.combo_open = true;
  combo_key = -1;
  key_down(40);
  EXPECT_EQ(area_table.current, 0);
  EXPECT_EQ(combo_key, 40);
}

TEST_F(dispatcher_keys, SpaceReleasedOnAComboRunsNothing) {
  labels(1);
  const int32_t combo = add_area(0, 0, 80, 20, label(1), area_combo);
  area_table.current = combo;
  key_up(32);
  EXPECT_TRUE(ran().empty());
  EXPECT_FALSE(logical(area(combo).selected));
}

TEST_F(dispatcher_keys, EnterCharacterIsDroppedUnlessAnEnterHotKeyExists) {
  EXPECT_EQ(character(13), -1);
  EXPECT_EQ(character(9), -1);
  EXPECT_EQ(last_char, 9);
}

TEST_F(dispatcher_keys, EscapeRunsTheEscapeLabelAtTheSameLevel) {
  labels(1);
  area_table.state.escape_label = label(1);
  key_down(27);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(call_state.depth, 0);
  area_table.state.escape_enabled = 0;
  key_down(27);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  // Without an escape label the level pop decides; at the base level nothing runs.
  area_table.state.escape_enabled = logical_true;
  area_table.state.escape_label = 0;
  key_down(27);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_TRUE(boxes.empty());
}

TEST_F(dispatcher_keys, DebugToggleNeedsCtrlAndPermission) {
  key_down(0xDC);
  modifiers(true);
  key_down(0xDC);
  EXPECT_FALSE(run_flags.trace_on);
  run_flags.debug_allowed = true;
  key_down(0xDC);
  EXPECT_TRUE(run_flags.trace_on);
  EXPECT_NE(debug_window(), 0);
  key_down(0xDC);
  EXPECT_FALSE(run_flags.trace_on);
}

TEST_F(dispatcher_keys, DebugToggleWhileBusyIsSilent) {
  labels(1);
  run_flags.debug_allowed = true;
  hotkey_table[hot_none]['A'] = label(1);
  on_marker() = [](int32_t) {
    qnb::note_modifiers(Qt::ControlModifier);
    qn_control(0x4100, 0xDC);
  };
  key_down('A');
  EXPECT_TRUE(run_flags.trace_on);
  EXPECT_EQ(debug_window(), 0);  // no window opened
}

TEST_F(dispatcher_keys, SingleSteppingTakesSpaceAsTheRelease) {
  run_flags.trace_on = true;
  modifiers(true);
  key_down('1');
  EXPECT_TRUE(run_flags.single_step_on);
  modifiers(false);
  EXPECT_EQ(key_down(32), -1);
  EXPECT_TRUE(run_flags.step_released);
  EXPECT_EQ(key_down('X'), 0);
  run_flags.step_released = false;
  character(' ');
  EXPECT_TRUE(run_flags.step_released);
  modifiers(true);
  key_down('1');
  EXPECT_FALSE(run_flags.single_step_on);
}

TEST_F(dispatcher_keys, ListNavigationKeysNeedAListFocusElseBeep) {
  const int32_t list = add_area(0, 0, 100, 100, 0, area_list);
  area(list).list = 3;
  EXPECT_EQ(key_down(34), -1);  // without focus: a beep, nothing else
  area_table.state.focus = list;
  EXPECT_EQ(key_down(34), -1);
  EXPECT_EQ(key_down(112), -1);
  EXPECT_TRUE(ran().empty());
}

}  // namespace
