// The trace channel that the interpreter writes its command lines to: routing by the window
// and log switches and the trace mode, the line layout, and a DEBUG window closed by the user.
#include <gtest/gtest.h>

#include <filesystem>

#include "quillon/api/quillon.h"
#include "runtime/commands/interpreter.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/code_steps.h"
#include "runtime/program/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {
using trace_test = runtime_fixture;

TEST_F(trace_test, NothingIsWrittenWhileBothSwitchesAreOff) {
  run_flags.trace_on = true;
  debug_mode(1);  // file mode alone is not enough
  trace_msg("line");
  trace_int("n", 5);
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.TXT"));
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.LOG"));
  EXPECT_EQ(debug_window(), 0);
}

TEST_F(trace_test, LinesGoToTheDebugWindow) {
  start_headless();
  debug_open();
  ASSERT_NE(debug_window(), 0);
  trace_msg("erste Zeile   ");
  trace_str("arg1=", "PROG.PXB");
  auto lines = qn_scroll_lines(debug_window());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "erste Zeile");
  EXPECT_EQ(lines[1], " arg1= PROG.PXB");
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.TXT"));
}

TEST_F(trace_test, NumbersAreRightAlignedAfterTheLabel) {
  start_headless();
  debug_open();
  trace_int("GET-INT", -42);
  trace_int3("HOTSHOT-Key shortcall", 13, 0, 7);
  trace_real("x", 2.5f);
  trace_app("u_app", 1, 2, 3, 4);
  trace_str_int("file/open", "A.TXT", 200);
  auto lines = qn_scroll_lines(debug_window());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[0].starts_with(" GET-INT "));
  EXPECT_TRUE(lines[0].ends_with(" -42"));
  EXPECT_EQ(lines[0].size(), std::string(" GET-INT ").size() + 12);  // a field of fixed width
  EXPECT_TRUE(lines[1].starts_with(" HOTSHOT-Key shortcall "));
  EXPECT_TRUE(lines[1].ends_with(" 7"));
  EXPECT_NE(lines[1].find(" 13 "), std::string::npos);
  EXPECT_TRUE(lines[2].ends_with(" 2.5"));
  EXPECT_TRUE(lines[3].starts_with(" u_app ") && lines[3].ends_with(" 4"));
  EXPECT_TRUE(lines[4].starts_with(" file/open A.TXT ") && lines[4].ends_with(" 200"));
}

TEST_F(trace_test, LongTextIsCutAt512) {
  debug_open();
  debug_mode(1);
  trace_msg(std::string(600, 'x'));
  auto lines = file_lines("$PXBDUMP.TXT");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(512, 'x'));
}

TEST_F(trace_test, FileModeWritesWithoutAnyWindowOnceTheLogIsOn) {
  debug_to_file();
  dump_log_restart(true);
  debug_mode(1);
  trace_msg("nach Datei");
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), std::vector<std::string>{"nach Datei"});
  EXPECT_EQ(file_lines("$PXBDUMP.LOG"), (std::vector<std::string>{"startup", "nach Datei"}));
  EXPECT_TRUE(run_flags.trace_on);  // every line to the dump log switches tracing on
}

TEST_F(trace_test, AfterDebugCloseTheDumpLogStillTakesLines) {
  start_headless();
  debug_to_file();
  dump_log_restart(true);
  debug_open();
  run_flags.trace_on = true;
  debug_close();
  EXPECT_FALSE(run_flags.trace_on);
  EXPECT_EQ(debug_window(), 0);
  trace_msg("weiter");
  EXPECT_TRUE(run_flags.trace_on);
  auto lines = file_lines("$PXBDUMP.LOG");
  EXPECT_EQ(lines.back(), "weiter");
}

TEST_F(trace_test, LongTraceKeepsTheNewestLinesInTheDebugWindow) {
  // A loop of 6,000 rounds writes three lines a round (the jump its answer) after two lines of
  // its own; the run's end adds its return line.
  start_headless();
  debug_open();
  run_flags.trace_on = true;
  load_program_image(
      "[PROC]\n[INIT]\nCODES=8\nUPNCODES=6\nUPNTOKENS=30\nTEXTTOKENS=4\nTEXTCHARACTERS=100\nVARIABLES=2\n"
      "STRINGSPACE=400\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:N/0\n[UPNCODES]\n#0\n&1 #1 _+ &1 __STO\n"
      "&1 #6000 _<\n[TEXTTOKENS]\n@0001 Anfang|\n[LABELS]\n[CODES]\n/00000009 MESS @0001\n%0002\n%0003\n"
      "JNZ :0002\nRETURN\n");
  interpreter(1);
  std::vector<std::string> written = {"/00000009 MESS @0001", "Anfang"};
  for (int round = 1; round <= 6000; ++round) {
    written.push_back("%0002");
    written.push_back("%0003");
    written.push_back(round < 6000 ? "YES" : "NO");
  }
  written.push_back("RETURN");
  std::vector<std::string> lines = qn_scroll_lines(debug_window());
  ASSERT_EQ(lines.size(), size_t(qn_scroll_back_lines));
  EXPECT_TRUE(lines.back().starts_with(" return level")) << lines.back();
  lines.pop_back();
  EXPECT_EQ(lines, std::vector<std::string>(written.end() - (qn_scroll_back_lines - 1), written.end()));
  trace_msg("danach");
  lines = qn_scroll_lines(debug_window());
  EXPECT_EQ(lines.size(), size_t(qn_scroll_back_lines));
  EXPECT_EQ(lines.back(), "danach");
}

// A loop of expression lines and conditional jumps, entered by a jump straight onto its JNZ:
// I counts to 3, then I - 3 is 0 and the JZ skips the store of 9.
constexpr const char* paired_jump_program =
    "[PROC]\n[INIT]\nCODES=9\nUPNCODES=5\nUPNTOKENS=30\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=1\n"
    "STRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#1\n&1 #1 _+ &1 __STO\n&1 #3 _<\n"
    "&1 #3 _-\n#9 &1 __STO\n[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n%0001\nJMP :0005\n%0002\n%0003\n"
    "JNZ :0003\n%0004\nJZ :0009\n%0005\nRETURN\n";

// Two loops of an expression line with its JNZ; between them MESS switches the trace on.
constexpr const char* trace_from_the_middle_program =
    "[PROC]\n[INIT]\nCODES=8\nUPNCODES=5\nUPNTOKENS=30\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=2\n"
    "STRINGSPACE=10\nADRSPACE=3\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:J/0\n[UPNCODES]\n#1\n"
    "&1 #1 _+ &1 __STO\n&1 #3 _<\n&2 #1 _+ &2 __STO\n&2 #2 _<\n[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n"
    "%0002\n%0003\nJNZ :0001\n/00000008 MESS %0001\n%0004\n%0005\nJNZ :0005\nRETURN\n";

std::vector<std::string> stepped;  // the commands the single-step hook was asked about
bool note_step(const code_record& rec) {
  const std::string text(rec.text.data(), rec.text.size());
  stepped.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
  return true;
}

TEST_F(trace_test, ExpressionWithItsJumpRunsAsOneStepOnlyUntracedAndLandingOnTheJumpStillWorks) {
  start_headless();
  load_program_image(paired_jump_program);
  // The pairs the untraced run takes as one step; the records stay as they were read.
  ASSERT_EQ(code_steps.paired_jump[4], 7);
  ASSERT_EQ(code_steps.paired_jump[6], 6);
  interpreter(1);
  EXPECT_EQ(get_int_variable("I"), 3);
  EXPECT_EQ(std::string(program_image.codes[5].text.data(), 9), "JNZ :0003");

  // Traced, every record is a command of its own; the jumps write their answers.
  load_program_image(paired_jump_program);
  debug_open();
  run_flags.trace_on = true;
  interpreter(1);
  const std::vector<std::string> traced = {"%0001", "YES", "%0002", "%0003", "YES", "%0002", "%0003", "YES",
                                           "%0002", "%0003", "NO",  "%0004", "NO",  "RETURN"};
  std::vector<std::string> lines = qn_scroll_lines(debug_window());
  ASSERT_EQ(lines.size(), traced.size() + 1);
  EXPECT_TRUE(lines.back().starts_with(" return level")) << lines.back();
  lines.pop_back();
  EXPECT_EQ(lines, traced);
  EXPECT_EQ(get_int_variable("I"), 3);

  // Single steps stop at every command but the jumps.
  load_program_image(paired_jump_program);
  debug_close();
  debug_open();
  run_flags.trace_on = true;
  run_flags.single_step_on = true;
  stepped.clear();
  set_single_step_hook(note_step);
  interpreter(1);
  set_single_step_hook(nullptr);
  run_flags.single_step_on = false;
  EXPECT_EQ(get_int_variable("I"), 3);
  EXPECT_EQ(stepped, (std::vector<std::string>{"%0001", "%0002", "%0003", "%0002", "%0003", "%0002", "%0003",
                                               "%0004", "RETURN"}));

  // A trace that a command switches on shows the very next command, and the jump after it.
  load_program_image(trace_from_the_middle_program);
  debug_close();
  interpreter(1);
  lines = qn_scroll_lines(debug_window());
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().starts_with(" return level")) << lines.back();
  lines.pop_back();
  EXPECT_EQ(lines, (std::vector<std::string>{"----------- DEBUG 1 ---------------------------", "%0004", "%0005",
                                              "YES", "%0004", "%0005", "NO", "RETURN"}));
  EXPECT_EQ(get_int_variable("I"), 3);
  EXPECT_EQ(get_int_variable("J"), 2);
}

TEST_F(trace_test, ClosedDebugWindowLosesTheLineAndSwitchesOff) {
  start_headless();
  debug_open();
  run_flags.trace_on = true;
  int32_t first = debug_window();
  CLOSE_WINDOW(first);
  pump_for(100);
  trace_msg("verloren");
  EXPECT_EQ(debug_window(), 0);
  EXPECT_FALSE(run_flags.trace_on);
  trace_msg("auch verloren");  // window switch is off now: nothing happens
  debug_open();
  ASSERT_NE(debug_window(), 0);
  trace_msg("neu");
  EXPECT_EQ(qn_scroll_lines(debug_window()), std::vector<std::string>{"neu"});
}
}  // namespace
