// Calendar, clock, device and program-state functions.
#include <cstdint>
#include <ctime>
#include <string>

#include "runtime/commands/events.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/calendar.h"
#include "runtime/commands/interpreter.h"
#include "program/test_eval_library_fixture.h"

namespace {

constexpr int32_t PIXEL = 25, TIME = 30, DATE = 31, DSTR = 32, IDATE = 33, DAYS = 34, RGB_ = 48,
                  KBSTAT = 49, KEYBD = 50, QUERY = 51, WIN = 52, MOUSE = 53, ARG = 54;

using EvalDevice = EvalLibrary;

std::string dstr(float n) {
  reset_evaluator();
  EvalLibrary::push_text("");
  evaluator.top().set_number(n);
  eval_library_function(DSTR, 0);
  EXPECT_EQ(evaluator.top().type, 10);
  EXPECT_EQ(evaluator.top().value(), 10.0f);
  return std::string(evaluator.top().text_view());
}

float idate(std::string_view text) {
  reset_evaluator();
  EvalLibrary::push_text(text);
  eval_library_function(IDATE, 0);
  EXPECT_EQ(evaluator.top().type, -1);
  return evaluator.top().value();
}

TEST_F(EvalDevice, DayTextsBothWays) {
  EXPECT_EQ(dstr(1), "01.01.1900");
  EXPECT_EQ(idate("01.01.1900"), 1.0f);
  EXPECT_EQ(idate("00.00.0000"), 0.0f);
  EXPECT_EQ(idate("00.00.0000   "), 0.0f);
  EXPECT_EQ(idate("          "), 0.0f);
  EXPECT_EQ(idate("00.00.2000"), 0.0f);
  EXPECT_EQ(dstr(60), "01.03.1900");
  EXPECT_EQ(dstr(36525.4f), "01.01.2000");
  EXPECT_EQ(dstr(0), "31.12.1899");
  // Separators are skipped whatever they are; blanks in a field are ignored.
  EXPECT_EQ(idate("01/01/1900"), 1.0f);
  EXPECT_EQ(idate(" 1. 1.1900"), 1.0f);
  // Two-digit years: 0-19 are 2000-2019, 20-199 are 1920-2099.
  EXPECT_EQ(idate("01.01.00"), 36525.0f);
  EXPECT_EQ(idate("01.01.99"), idate("01.01.1999"));
  EXPECT_EQ(idate("01.01.19"), idate("01.01.2019"));
  EXPECT_EQ(idate("01.01.20"), idate("01.01.1920"));
  // Unreadable texts give 0.
  EXPECT_EQ(idate("1.1.2000"), 0.0f);
  EXPECT_EQ(idate("xx.01.2000"), 0.0f);
  // A pending substring applies to the DSTR text.
  reset_evaluator();
  push(1);
  evaluator.substring_pending = true;
  evaluator.substring_a = 4;
  evaluator.substring_b = 5;
  run(DSTR);
  EXPECT_EQ(top_text(), "01");
  EXPECT_EQ(top_value(), 2.0f);
}

TEST_F(EvalDevice, StoredDayNumbersAfter2100ReadAsTheirDates) {
  EXPECT_EQ(dstr(73108), "28.02.2100");
  EXPECT_EQ(dstr(73109), "29.02.2100");
  EXPECT_EQ(dstr(73110), "01.03.2100");
  EXPECT_EQ(idate("29.02.2100"), 73109.0f);
  EXPECT_EQ(idate("01.03.2100"), 73110.0f);
  EXPECT_EQ(dstr(401774), "31.12.2999");
  EXPECT_EQ(idate("31.12.2999"), 401774.0f);
  EXPECT_EQ(dstr(2958524), "31.12.9999");
  EXPECT_EQ(idate("31.12.9999"), 2958524.0f);
}

TEST_F(EvalDevice, DstrAndIdateRoundTripEveryDay) {
  int32_t last = 31;
  date_to_day(last, 12, 2099);
  for (int32_t n = 1; n <= last; ++n) {
    const std::string text = dstr(static_cast<float>(n));
    ASSERT_EQ(idate(text), static_cast<float>(n)) << text;
  }
}

TEST_F(EvalDevice, DaysOfMonth) {
  EXPECT_EQ(f2(DAYS, 2, 0), 29.0f);
  EXPECT_EQ(f2(DAYS, 2, 99), 28.0f);
  EXPECT_EQ(f2(DAYS, 2, 2100), 28.0f);
  EXPECT_EQ(f2(DAYS, 2, 2024), 29.0f);
  EXPECT_EQ(f2(DAYS, 4, 2024), 30.0f);
  EXPECT_EQ(f2(DAYS, 12, 2024), 31.0f);
}

TEST_F(EvalDevice, ClockAndDateAgreeWithTheLocalTime) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  int32_t today = tm.tm_mday;
  date_to_day(today, tm.tm_mon + 1, tm.tm_year + 1900);
  EXPECT_EQ(f1(DATE, 0), static_cast<float>(today));
  EXPECT_EQ(f1(DATE, 1), static_cast<float>(tm.tm_mday));
  EXPECT_EQ(f1(DATE, 2), static_cast<float>(tm.tm_mon + 1));
  EXPECT_EQ(f1(DATE, 3), static_cast<float>(tm.tm_year + 1900));
  EXPECT_EQ(f1(DATE, 4), -1.0f);
  const float seconds = f1(TIME, 0);
  const float h = f1(TIME, 1), m = f1(TIME, 2), s = f1(TIME, 3);
  EXPECT_GE(seconds, 0.0f);
  EXPECT_LT(seconds, 86400.0f);
  // TIME(0) counts from local midnight (unless midnight passed between the two readings).
  EXPECT_NEAR(seconds, h * 3600 + m * 60 + s, 2.0f);
  const float centi = f1(TIME, 4);
  EXPECT_GE(centi, 0.0f);
  EXPECT_LT(centi, 100.0f);
  EXPECT_EQ(f1(TIME, 5), -1.0f);
  EXPECT_EQ(f1(TIME, -1), -1.0f);
}

TEST_F(EvalDevice, ColourTable) {
  colour_table[12] = 0x000000FFu;
  colour_table[256] = 0x00FFFFFFu;
  EXPECT_EQ(f1(RGB_, 12), 255.0f);
  EXPECT_EQ(f1(RGB_, 11.6f), 255.0f);
  EXPECT_EQ(f1(RGB_, 256), 16777215.0f);
  EXPECT_EQ(f1(RGB_, 257), 0.0f);
  EXPECT_EQ(f1(RGB_, -1), 0.0f);
  EXPECT_EQ(f1(RGB_, 1e30f), 0.0f);
}

TEST_F(EvalDevice, KeyboardWordIsReadOnce) {
  last_char = 65;
  reset_evaluator();
  run(KEYBD);
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_EQ(top_value(), 65.0f);
  run(KEYBD);
  EXPECT_EQ(evaluator.sp, 2);
  EXPECT_EQ(top_value(), -1.0f);
}

TEST_F(EvalDevice, KbstatWithoutKeysDown) {
  run_flags.modifier_ctrl = 1;
  run_flags.modifier_shift = 32;
  reset_evaluator();
  run(KBSTAT);
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_EQ(top_value(), 0.0f);
  EXPECT_EQ(run_flags.modifier_ctrl, 0);
  EXPECT_EQ(run_flags.modifier_shift, 0);
}

TEST_F(EvalDevice, QueryAnswers) {
  query_answer = {1, 0};  // OK or Yes
  EXPECT_EQ(f1(QUERY, 1), 1.0f);
  EXPECT_EQ(f1(QUERY, 2), 0.0f);
  EXPECT_EQ(f1(QUERY, 0), 0.0f);
  query_answer = {0, 0};  // No
  EXPECT_EQ(f1(QUERY, 1), 0.0f);
  EXPECT_EQ(f1(QUERY, 2), 1.0f);
  query_answer = {0, 1};  // Cancel
  EXPECT_EQ(f1(QUERY, 1), 0.0f);
  EXPECT_EQ(f1(QUERY, 2), 0.0f);
  EXPECT_EQ(f1(QUERY, 3), 27.0f);
}

TEST_F(EvalDevice, WindowMeasures) {
  screen_metrics = screen_metrics_t{};  // no menu bar left by an earlier test
  EXPECT_EQ(f1(WIN, 7), 0.0f);
  EXPECT_EQ(f1(WIN, -3), 640.0f);
  EXPECT_EQ(f1(WIN, -4), 480.0f);
  EXPECT_EQ(f1(WIN, -2), 0.0f);
  EXPECT_EQ(f1(WIN, -5), 0.0f);
  EXPECT_EQ(f1(WIN, 25), 0.0f);
  EXPECT_EQ(f1(WIN, 1), 0.0f);
  EXPECT_EQ(f1(WIN, 2), 0.0f);
  screen_metrics.menu_bar_height = 20;
  EXPECT_EQ(f1(WIN, -4), 460.0f);
  // With an empty video stack the window is the screen below the menu bar.
  const video_window_t w = video_stack_window();
  EXPECT_EQ(f1(WIN, 3), static_cast<float>(w.x_extent));
  EXPECT_EQ(f1(WIN, 4), static_cast<float>(w.y_extent));
  // Without a main window its rectangle reads as zeros.
  EXPECT_EQ(f1(WIN, 11), 0.0f);
  screen_metrics = screen_metrics_t{};
}

TEST_F(EvalDevice, MouseValues) {
  mouse_registers = {120, 45, 2};
  EXPECT_EQ(f1(MOUSE, 1), 120.0f);
  EXPECT_EQ(f1(MOUSE, 2), 45.0f);
  EXPECT_EQ(f1(MOUSE, 3), 2.0f);
  EXPECT_EQ(f1(MOUSE, 0), 2.0f);
  EXPECT_EQ(f1(MOUSE, 4), 0.0f);
}

TEST_F(EvalDevice, PixelWithoutOpenContextIsZero) { EXPECT_EQ(f2(PIXEL, 10, 10), 0.0f); }

TEST_F(EvalDevice, ArgumentsOfTheCallLevel) {
  call_state.depth = 1;
  call_state.arg_frame[1][2] = 7.5f;
  reset_evaluator();
  push(3);
  run(ARG);
  EXPECT_EQ(top_value(), 7.5f);
  EXPECT_EQ(evaluator.last_reference, -3);
  EXPECT_EQ(evaluator.element_position, 1);
  EXPECT_EQ(end_code([] { f1(ARG, 0); }), 32000);
  EXPECT_NE(error_log().find("CALL Parameter"), std::string::npos);
  errors_reset();
  EXPECT_EQ(end_code([] { f1(ARG, 11); }), 32000);
}

}  // namespace
