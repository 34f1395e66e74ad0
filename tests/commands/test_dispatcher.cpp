// The command dispatcher: menu commands, timers, the input guard, unknown commands.
#include <gtest/gtest.h>

#include "runtime/program/program_image.h"
#include "test_dispatcher_fixture.h"

namespace {

class dispatcher_test : public events_fixture {};

TEST_F(dispatcher_test, MenuCommandsRunTheirLabelAndClearTheStatusLine) {
  labels(3);
  menu_labels[1] = label(2);
  menu_labels[99] = label(3);
  area_table.status_area = 4;
  screen_link::status_text("help text");
  EXPECT_EQ(qn_control(0x8001, 0), -1);
  EXPECT_EQ(qn_control(0x8063, 0), -1);
  EXPECT_EQ(ran(), (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(area_table.status_area, -1);
  EXPECT_EQ(screen_link::last_status_text(), "");
  EXPECT_EQ(call_state.depth, 0);
}

TEST_F(dispatcher_test, MenuCommandWithoutLabelDoesNothing) {
  labels(1);
  area_table.status_area = 4;
  EXPECT_EQ(qn_control(0x8005, 0), -1);
  EXPECT_TRUE(ran().empty());
  EXPECT_EQ(area_table.status_area, 4);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(dispatcher_test, MenuIdAbove99IsNotAMenuCommand) {
  labels(1);
  EXPECT_EQ(qn_control(0x8064, 0), -1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Command not implemented");
  EXPECT_EQ(boxes[0].caption, "default");
  EXPECT_TRUE(ran().empty());
  // With bit 0x4000 the library takes it.
  EXPECT_EQ(qn_control(0x4005, 0), 0);
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(dispatcher_test, ExitCommandIsLeftToTheLibrary) { EXPECT_EQ(qn_control(0x4001, 0), 0); }

TEST_F(dispatcher_test, PeriodicTickWithoutLabelDestroysTheTimer) {
  SET_TIMER(10.0f, timer_periodic);
  run_flags.pending_periodic = true;
  qn_control(timer_periodic, 0);
  int status = 0;
  DESTROY_TIMER(timer_periodic, &status);
  EXPECT_NE(status, 0);  // already gone
  EXPECT_FALSE(run_flags.pending_periodic);
}

TEST_F(dispatcher_test, PeriodicTicksWhileBusyRunOnceAfterAPendingCheckedRun) {
  labels(3);
  event_labels.periodic = label(3);
  menu_labels[1] = label(1);
  // Label 1 sees three ticks while it runs.
  on_marker() = [](int32_t k) {
    if (k != 1) return;
    for (int i = 0; i < 3; ++i) qn_control(timer_periodic, 0);
  };
  qn_control(0x8001, 0);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 3}));
  EXPECT_FALSE(run_flags.pending_periodic);
}

TEST_F(dispatcher_test, PeriodicTickWhileBusyAfterAPlainRunWaitsForTheNextIdleTick) {
  labels(3);
  event_labels.periodic = label(3);
  event_labels.restore = label(1);  // 0x2001 runs without the pending check
  on_marker() = [](int32_t k) {
    if (k == 1) qn_control(timer_periodic, 0);
  };
  qn_control(timer_restore, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_TRUE(run_flags.pending_periodic);
  qn_control(timer_periodic, 0);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 3}));
  EXPECT_FALSE(run_flags.pending_periodic);
}

TEST_F(dispatcher_test, OneShotTimersFiringWhileBusyAreRetried) {
  start_headless();
  labels(2);
  event_labels.one_shot = label(2);
  menu_labels[1] = label(1);
  on_marker() = [](int32_t k) {
    if (k == 1) qn_control(timer_one_shot, 0);
  };
  qn_control(0x8001, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});  // not nested into the run
  pump_for(400);
  EXPECT_EQ(ran(), (std::vector<int32_t>{1, 2}));
}

TEST_F(dispatcher_test, GuardDropsEventsWhileFocusIsLostButCopiesOnCtrlC) {
  const int32_t window = start_headless();
  labels(2);
  menu_labels[1] = label(1);
  hotkey_table[hot_none]['A'] = label(2);
  run_flags.focus_lost = true;
  box_answer = IDYES;
  EXPECT_EQ(qn_control(0x8001, 0), -1);
  EXPECT_EQ(key_down('A'), -1);
  EXPECT_TRUE(ran().empty());
  EXPECT_EQ(character(3), -1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Window in die Zwischenablage kopieren?");
  EXPECT_EQ(boxes[0].caption, "KYR-Clipboard");
  const qn_point size = qn_clipboard_image_size();
  const qn_rect client = GET_RECT({.window = window});
  EXPECT_EQ(size.x, client.right - client.left);
  EXPECT_EQ(size.y, client.bottom - client.top);
  EXPECT_EQ(last_char, -1);  // the character itself is dropped
}

TEST_F(dispatcher_test, CtrlCCopyAnsweredNoLeavesTheClipboardAlone) {
  start_headless();
  run_flags.modal = true;
  box_answer = IDNO;
  character(3);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(qn_clipboard_image_size().x, 0);
}

TEST_F(dispatcher_test, GuardLetsTimersThrough) {
  labels(1);
  event_labels.periodic = label(1);
  run_flags.modal = true;
  qn_control(timer_periodic, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(dispatcher_test, CharactersAreStoredForTheKeyboardFunction) {
  EXPECT_EQ(character('x'), -1);
  EXPECT_EQ(last_char, 'x');
  EXPECT_EQ(character(3), 0);  // Ctrl+C without an input field goes to the library
  run_flags.combo_open = true;
  EXPECT_EQ(character('q'), 0);
  EXPECT_EQ(last_char, 'q');
}

TEST_F(dispatcher_test, KeyDownWithShiftRaisesAStoredCapital) {
  character('K');
  modifiers(false, true);
  key_down(0x70);
  EXPECT_EQ(last_char, 'k');
  EXPECT_EQ(run_flags.modifier_shift, 0x20);
}

TEST_F(dispatcher_test, CommandsAfterTheProgramEndedAreIgnored) {
  labels(1);
  menu_labels[1] = label(1);
  run_guarded([] { report_error("stop", 64000); });
  EXPECT_TRUE(program_has_ended());
  qn_control(0x8001, 0);
  EXPECT_TRUE(ran().empty());
}

TEST_F(dispatcher_test, HelpWithATopicTracesPageAndTopic) {
  debug_open();
  const std::string topic = "Kunden";
  area_table.state.help_topic.fill(' ');
  std::copy(topic.begin(), topic.end(), area_table.state.help_topic.begin());
  const std::string page = "help\\htdocs\\TEST.HTM";
  help_page.fill(' ');
  std::copy(page.begin(), page.end(), help_page.begin());
  EXPECT_EQ(qn_control(0x4002, 0), -1);
  std::string line;
  for (const std::string& l : qn_scroll_lines(debug_window()))
    if (l.find("HELP TOPIC") != std::string::npos) line = l;
  EXPECT_NE(line.find("help\\htdocs\\TEST.HTM : Kunden"), std::string::npos) << line;
  EXPECT_NE(line.find(" : Kunden"), std::string::npos) << line;
  EXPECT_TRUE(boxes.empty());  // a viewer that does not start is only logged
}

TEST_F(dispatcher_test, RestoringTheWindowRunsTheRestoreLabelLater) {
  const int32_t window = start_headless();
  labels(1);
  event_labels.restore = label(1);
  window_notify(window, 0);  // restored
  EXPECT_TRUE(ran().empty());
  pump_for(300);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST(window_clipboard, BadHandlesAreReportedThroughTheStatus) {
  ensure_test_application();
  int status = 0;
  COPY_WINDOW_TO_CLIPBOARD(987654, &status);
  EXPECT_NE(status, 0);
  status = 0;
  COPY_BITMAP_TO_CLIPBOARD(987654, &status);
  EXPECT_NE(status, 0);
}

TEST(window_clipboard, ABitmapArrivesPixelForPixel) {
  ensure_test_application();
  const int32_t bitmap = CREATE_BITMAP(8, 6);
  ups u;
  START_BITMAP_DRAW(bitmap, u);
  SET_PIXEL(u, 0x0000FF, {3, 2});
  END_BITMAP_DRAW(u);
  int status = 0;
  COPY_BITMAP_TO_CLIPBOARD(bitmap, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(qn_clipboard_image_size().x, 8);
  EXPECT_EQ(qn_clipboard_image_size().y, 6);
  EXPECT_EQ(qn_clipboard_pixel(3, 2), 0x0000FFu);
  EXPECT_EQ(qn_clipboard_pixel(8, 0), 0xFFFFFFFFu);
}

}  // namespace
