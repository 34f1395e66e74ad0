// EVENT: timer labels, the restore label, the application hook and the numbered forms.
#include <gtest/gtest.h>

#include "test_dispatcher_fixture.h"

namespace {

class event_command : public events_fixture {
 protected:
  // True when the timer is armed; probing destroys it.
  static bool timer_armed(int32_t id) {
    int status = 0;
    DESTROY_TIMER(id, &status);
    return status == 0;
  }
};

TEST_F(event_command, PeriodicTimerIsArmedAndReplaced) {
  // Label 6 is the periodic one; the second EVENT replaces the first.
  load_pxb({"/00000044 EVENT :0006 &0001", "/00000044 EVENT :0007 &0002", "RETURN", "RETURN", "RETURN",
            "PIXEL :0001", "RETURN", "PIXEL :0002", "RETURN"},
           {"#2.5", "#1"}, {});
  io_status = 5;
  interpreter(1);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(event_labels.periodic, 7);
  EXPECT_EQ(event_labels.one_shot, 0);
  EXPECT_TRUE(timer_armed(timer_periodic));
  EXPECT_FALSE(timer_armed(timer_one_shot));
}

TEST_F(event_command, PeriodicTimerRunsItsLabelOnEveryTick) {
  start_headless();
  load_pxb({"/00000044 EVENT :0003 &0001", "RETURN", "PIXEL :0001", "RETURN"}, {"#0.03"}, {});
  interpreter(1);
  pump_for(250);
  EXPECT_GE(ran().size(), 2u);
}

TEST_F(event_command, RemoveWithoutALabelOnlyClearsTheStatus) {
  load_pxb({"/00000060 EVENT", "RETURN"}, {}, {});
  io_status = -3;
  interpreter(1);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(event_labels.periodic, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(event_command, RemoveDestroysThePeriodicTimer) {
  load_pxb({"/00000044 EVENT :0004 &0001", "/00000060 EVENT", "RETURN", "RETURN"}, {"#1"}, {});
  interpreter(1);
  EXPECT_EQ(event_labels.periodic, 0);
  EXPECT_FALSE(timer_armed(timer_periodic));
}

TEST_F(event_command, OneShotWithZeroSecondsOnlyRemovesTheOldOne) {
  load_pxb({"/00000004 EVENT :0004 &0001", "/00000004 EVENT :0004 &0002", "RETURN", "RETURN"}, {"#3", "#0"}, {});
  interpreter(1);
  EXPECT_EQ(event_labels.one_shot, 0);
  EXPECT_FALSE(timer_armed(timer_one_shot));
}

TEST_F(event_command, OneShotRunsOnceAndKeepsItsLabel) {
  start_headless();
  load_pxb({"/00000004 EVENT :0003 &0001", "RETURN", "PIXEL :0001", "RETURN"}, {"#0.02"}, {});
  interpreter(1);
  EXPECT_EQ(event_labels.one_shot, 3);
  pump_for(200);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(event_labels.one_shot, 3);
}

TEST_F(event_command, RestoreLabelIsStoredWithoutATimer) {
  load_pxb({"/00000844 EVENT :0003 &0001", "RETURN", "PIXEL :0001", "RETURN"}, {"#1"}, {});
  interpreter(1);
  EXPECT_EQ(event_labels.restore, 3);
  EXPECT_EQ(event_labels.periodic, 0);  // 0x800 wins over 0x40
  EXPECT_FALSE(timer_armed(timer_periodic));
  EXPECT_FALSE(timer_armed(timer_restore));
  // The window's restore arms 0x2001; its firing runs the label.
  qn_control(timer_restore, 0);
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
}

TEST_F(event_command, ApplicationFormPassesTheNumbersRotated) {
  debug_open();
  load_pxb({"/00000001 EVENT %0001", "RETURN"}, {"#1 #2 #3 #4.4"}, {});
  interpreter(1);
  std::string line;
  for (const std::string& l : qn_scroll_lines(debug_window()))
    if (l.find("u_app") != std::string::npos) line = l;
  ASSERT_FALSE(line.empty());
  // b, c, d, a: 2, 3, 4, 1.
  std::vector<int32_t> numbers;
  for (size_t i = 5; i < line.size(); ++i)
    if (line[i] >= '0' && line[i] <= '9') numbers.push_back(line[i] - '0');
  EXPECT_EQ(numbers, (std::vector<int32_t>{2, 3, 4, 1})) << line;
}

TEST_F(event_command, NumberedEventReportsUnderItsOwnCode) {
  load_pxb({"EVENT %0001", "PIXEL :0001", "RETURN"}, {"#-1"}, {});
  interpreter(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("EVENT n.u."), std::string::npos);
  EXPECT_NE(boxes[0].caption.find("-1"), std::string::npos) << boxes[0].caption;
  EXPECT_TRUE(ran().empty());  // the run ended after OK
  EXPECT_FALSE(program_has_ended());
}

TEST_F(event_command, NumberedEventFiveEndsTheProgramUnlessDebugging) {
  load_pxb({"EVENT %0001", "PIXEL :0001", "RETURN"}, {"#5"}, {});
  interpreter(1);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes[0].caption.find("5"), std::string::npos);
  EXPECT_TRUE(program_has_ended());
  EXPECT_TRUE(ran().empty());
}

TEST_F(event_command, NumberedEventFiveWhileDebuggingEndsOnlyTheRun) {
  run_flags.debug_allowed = true;
  load_pxb({"EVENT %0001", "PIXEL :0001", "RETURN"}, {"#5"}, {});
  interpreter(1);
  EXPECT_FALSE(program_has_ended());
  EXPECT_TRUE(ran().empty());
}

TEST_F(event_command, Event9999ClosesWithoutTheQuestion) {
  start_headless();
  load_pxb({"EVENT %0001", "PIXEL :0001", "RETURN"}, {"#9999"}, {});
  interpreter(1);
  EXPECT_TRUE(ran().empty());
  EXPECT_FALSE(run_flags.ask_on_close);
  pump_for(100);
  for (const box_seen& b : boxes) EXPECT_EQ(b.text.find("Wirklich beenden?"), std::string::npos);
  EXPECT_EQ(is_valid_window(main_window()), 0);
}

}  // namespace
