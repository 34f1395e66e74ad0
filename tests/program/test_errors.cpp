// The error reporter: the dated log lines, the boxes and whether the program goes on.
#include <gtest/gtest.h>

#include <filesystem>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "support/runtime_fixture.h"

namespace {
using errors_test = runtime_fixture;

constexpr int32_t ok_cancel_stop = 0x1011, ok_stop = 0x1010;

TEST_F(errors_test, HeaderRightAlignsTheCodeInFiveColumns) {
  EXPECT_EQ(error_header(0), "KYR-ERROR     0     ");
  EXPECT_EQ(error_header(6103), "KYR-ERROR  6103     ");
  EXPECT_EQ(error_header(32000), "KYR-ERROR 32000     ");
  EXPECT_EQ(error_header(-1), "KYR-ERROR    -1     ");
  EXPECT_EQ(error_header(-9999), "KYR-ERROR -9999     ");
  EXPECT_EQ(error_header(99999), "KYR-ERROR 99999     ");
  EXPECT_EQ(error_header(100000), "KYR-ERROR *****     ");
  EXPECT_EQ(error_header(-10000), "KYR-ERROR *****     ");
  EXPECT_EQ(error_header(INT32_MIN), "KYR-ERROR *****     ");
}

TEST_F(errors_test, CodeZeroLogsAsksAndGoesOnAfterOk) {
  report_error("Feld leer   ", 0);
  EXPECT_FALSE(program_has_ended());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Feld leer");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     0");
  EXPECT_EQ(boxes[0].style, ok_cancel_stop);
  EXPECT_EQ(file_lines("PXBERROR.LOG"), std::vector<std::string>{log_date() + "-KYR-ERROR     0:Feld leer"});
}

TEST_F(errors_test, LinesAreAppended) {
  report_error("one", 0);
  report_error("two", -1);
  auto lines = file_lines("PXBERROR.LOG");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], log_date() + "-KYR-ERROR     0:one");
  EXPECT_EQ(lines[1], log_date() + "-KYR-ERROR    -1:two");  // negative codes go on after OK
  EXPECT_FALSE(program_has_ended());
}

TEST_F(errors_test, CancelEndsTheProgram) {
  box_answer = IDCANCEL;
  EXPECT_THROW(report_error("Ctrl-C ?", 0), program_end);
  EXPECT_TRUE(program_has_ended());
  EXPECT_FALSE(run_flags.ask_on_close);
}

TEST_F(errors_test, PositiveCodeBelow32000GoesOnOnlyWhileDebuggingIsAllowed) {
  run_flags.debug_allowed = true;
  report_error("Division durch 0", 6103);
  EXPECT_FALSE(program_has_ended());
  EXPECT_EQ(boxes.back().style, ok_cancel_stop);
  EXPECT_EQ(boxes.back().caption, "KYR-ERROR  6103");

  run_flags.debug_allowed = false;
  try {
    report_error("Division durch 0", 6103);
    FAIL() << "the program should have ended";
  } catch (const program_end& end) {
    EXPECT_EQ(end.code, 6103);
  }
  EXPECT_TRUE(program_has_ended());
  EXPECT_EQ(file_lines("PXBERROR.LOG").size(), 2u);
}

TEST_F(errors_test, Code32000ShowsOkOnlyAndEndsTheProgram) {
  EXPECT_THROW(report_error("max STRING_BUFFER", 32000), program_end);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].style, ok_stop);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  EXPECT_EQ(file_lines("PXBERROR.LOG"),
            std::vector<std::string>{log_date() + "-KYR-ERROR 32000:max STRING_BUFFER"});
}

TEST_F(errors_test, Code32000ClosesTheMainWindowThroughTheExitCommand) {
  int32_t window = start_headless();
  ASSERT_NE(window, 0);
  dump_log_restart(true);  // the dispatcher logs the exit command it receives
  EXPECT_THROW(report_error("Fehler", 32000), program_end);
  pump_for(200);
  EXPECT_EQ(is_valid_window(window), 0);
  // The close ran without the question.
  for (const box_seen& box : boxes) EXPECT_NE(box.text, "Wirklich beenden?");
  auto dump = file_lines("$PXBDUMP.LOG");
  EXPECT_NE(std::find(dump.begin(), dump.end(), "qn_control idm_file_exit received"), dump.end());
}

TEST_F(errors_test, Code64000EndsSilently) {
  EXPECT_THROW(report_error("weg", 64000), program_end);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "PXBERROR.LOG"));
  EXPECT_TRUE(program_has_ended());
}

TEST_F(errors_test, AutomaticModeLogsAndEndsWithoutBox) {
  set_no_box_flag(true);
  EXPECT_THROW(report_error("kein Drucker", 0), program_end);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(file_lines("PXBERROR.LOG"), std::vector<std::string>{log_date() + "-KYR-ERROR     0:kein Drucker"});
}

TEST_F(errors_test, UnwritableLogStillAsksAndDecides) {
  std::filesystem::create_directory(dir / "PXBERROR.LOG");  // cannot be opened as a file
  report_error("weiter", 0);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(program_has_ended());
  EXPECT_THROW(report_error("ende", 32000), program_end);
  EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(errors_test, AfterTheEndNothingIsReportedAnyMore) {
  EXPECT_THROW(report_error("erstes", 32000), program_end);
  EXPECT_THROW(report_error("zweites", 0), program_end);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(file_lines("PXBERROR.LOG").size(), 1u);
}

TEST_F(errors_test, FatalErrorLogsShowsAndClosesLater) {
  int32_t window = start_headless();
  fatal_error("Verbindung verloren   ");
  EXPECT_FALSE(program_has_ended());  // it returns to its caller
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Verbindung verloren");
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].style, MB_ICONHAND);
  EXPECT_FALSE(run_flags.ask_on_close);
  EXPECT_EQ(file_lines("PXBERROR.LOG"), std::vector<std::string>{log_date() + "-ABBRUCH:Verbindung verloren"});
  EXPECT_NE(is_valid_window(window), 0);  // the exit command is only posted
  pump_for(200);
  EXPECT_EQ(is_valid_window(window), 0);
  EXPECT_EQ(boxes.size(), 1u);  // no close question
}

TEST_F(errors_test, FatalErrorInAutomaticModeLeavesTwoLinesAndEnds) {
  run_flags.auto_mode = true;
  set_no_box_flag(true);
  EXPECT_THROW(fatal_error("SQL weg"), program_end);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(file_lines("PXBERROR.LOG"),
            (std::vector<std::string>{log_date() + "-ABBRUCH:SQL weg", log_date() + "-KYR-ERROR 32000:SQL weg"}));
}

TEST_F(errors_test, FatalErrorInAutomaticModeTracesAutoOk) {
  run_flags.auto_mode = true;
  set_no_box_flag(true);
  debug_mode(1);  // trace lines to "$PXBDUMP.TXT"
  debug_open();
  EXPECT_THROW(fatal_error("SQL weg"), program_end);
  auto lines = file_lines("$PXBDUMP.TXT");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "*AUTO OK*SQL weg");
}

TEST_F(errors_test, WarningOnlyWritesItsLine) {
  warning_log("Tabelle leer   ");
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(program_has_ended());
  EXPECT_EQ(file_lines("PXBERROR.LOG"), std::vector<std::string>{log_date() + "-WARNUNG:Tabelle leer"});
}
}  // namespace
