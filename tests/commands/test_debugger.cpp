// The single-step debugger's command line in the DBGVAR window: editing, showing variables,
// the watch list, "dump" and "exit".
#include <gtest/gtest.h>

#include "test_debugger_fixture.h"

namespace {
using debugger_test = debugger_fixture;

const std::string help1 = "Sngl-Step : BLANK=Step, Shft-Ctl=StepInto, Ctl=RUN, dump, exit";
const std::string help2 = "Variable/<CR> lastVar, +/-Variable add/removeVars, # showVars";

TEST_F(debugger_test, WithoutTheDebugWindowKeysAreIgnored) {
  start_headless();
  single_step(0);
  type("abc");
  EXPECT_EQ(dbgvar_window(), 0);
  EXPECT_EQ(debugger_info().cursor, 1);
  EXPECT_EQ(command_text_info().line1_draws, 0);
}

TEST_F(debugger_test, FirstKeyOpensDbgvarWithTheHelpLines) {
  open_debugger();
  single_step(0);
  ASSERT_NE(dbgvar_window(), 0);
  EXPECT_NE(dbgvar_window(), debug_window());
  EXPECT_EQ(dbgvar_lines(), (std::vector<std::string>{help1, help2}));
  EXPECT_EQ(command_text_info().line1, ">_");
  EXPECT_TRUE(debug_lines().empty());  // the help goes to DBGVAR only
}

TEST_F(debugger_test, TypingEditsTheLineAndEchoesIt) {
  open_debugger();
  single_step(0);
  type("abc");
  EXPECT_EQ(debugger_info().command_line.substr(0, 5), "abc_ ");
  EXPECT_EQ(debugger_info().cursor, 4);
  EXPECT_EQ(command_text_info().line1, ">abc_");
  type("\b");
  EXPECT_EQ(debugger_info().command_line.substr(0, 4), "ab_ ");
  EXPECT_EQ(debugger_info().cursor, 3);
  EXPECT_EQ(command_text_info().line1, ">ab_");
  type("\b\b\b\b");  // the cursor never goes before position 1
  EXPECT_EQ(debugger_info().cursor, 1);
  EXPECT_EQ(debugger_info().command_line.substr(0, 2), "_ ");
  type("xy\x1b");
  EXPECT_EQ(debugger_info().cursor, 1);
  EXPECT_EQ(debugger_info().command_line.substr(0, 2), "_ ");
  EXPECT_EQ(debugger_info().command_line.size(), 128u);
  EXPECT_EQ(command_text_info().line1, ">_");
}

TEST_F(debugger_test, SixtyFourthPositionIsOverwrittenByEveryFurtherCharacter) {
  open_debugger();
  single_step(0);
  type(std::string(63, 'a'));
  EXPECT_EQ(debugger_info().cursor, 64);
  type("bcd");
  const debugger_view view = debugger_info();
  EXPECT_EQ(view.cursor, 64);
  EXPECT_EQ(view.command_line.substr(0, 63), std::string(63, 'a'));
  EXPECT_EQ(view.command_line.substr(63, 2), "d_");
  EXPECT_EQ(command_text_info().line1, ">" + std::string(63, 'a') + "d");
}

TEST_F(debugger_test, EnterOnAnEmptyLineShowsTheLastVariable) {
  open_debugger();
  single_step(0);
  type("\r");  // no program: the name is unknown
  EXPECT_EQ(dbgvar_lines_after(2), std::vector<std::string>{"? i$"});
  EXPECT_EQ(command_text_info().line1, ">_");
  EXPECT_EQ(debugger_info().cursor, 1);
}

TEST_F(debugger_test, VariablesAreShownByTheirType) {
  open_debugger();
  load_variables();
  single_step(0);
  type("\rX\rARR(2)\rTXT(2)\rDAT\rPTR\rnix\rARR(4)\rARR(0)\r");
  EXPECT_EQ(dbgvar_lines_after(2),
            (std::vector<std::string>{name16("i$") + " I:" + std::string(11, ' ') + "7",
                                      name16("X") + " R:" + std::string(12, ' ') + "2.5",
                                      name16("ARR(2)") + " I:" + std::string(9, ' ') + "-12",
                                      name16("TXT(2)") + " S:\"zwei \"",
                                      name16("DAT") + " D:\"01.02.2026\"",
                                      name16("PTR") + "?PTR",
                                      "? nix",
                                      "array ARR(4) :" + std::string(11, ' ') + "3",
                                      "array ARR(0) :" + std::string(11, ' ') + "3"}));
  EXPECT_EQ(debugger_info().variable, name16("ARR(0)"));
  EXPECT_TRUE(boxes.empty());  // unknown names and bad elements are never an error box
}

TEST_F(debugger_test, LongNamesAreCutToSixteenCharacters) {
  open_debugger();
  single_step(0);
  type("abcdefghijklmnopqrst\r");
  EXPECT_EQ(debugger_info().variable, "abcdefghijklmnop");
  EXPECT_EQ(dbgvar_lines_after(2), std::vector<std::string>{"? abcdefghijklmnop"});
}

TEST_F(debugger_test, ValueShownWhileACommandWaitsGoesIntoTheTrace) {
  open_debugger();
  load_variables();
  single_step(0);
  type("X\r");
  EXPECT_TRUE(debug_lines().empty());  // idle: DBGVAR only
  run_flags.busy = true;
  type("X\rTXT\rnix\r");
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{">>> X = " + std::string(12, ' ') + "2.5", ">>> TXT = \"eins \""}));
}

TEST_F(debugger_test, WatchListAddsRemovesAndLists) {
  open_debugger();
  load_variables();
  single_step(0);
  type("+X\r+I$\r+X\r");
  EXPECT_EQ(debugger_info().watch_list.size(), 3u);
  EXPECT_EQ(debugger_info().watch_list[0], std::string("X") + std::string(31, ' '));
  type("-X\r");  // the first "X" goes, the later one stays
  auto watched = debugger_info().watch_list;
  ASSERT_EQ(watched.size(), 2u);
  EXPECT_EQ(watched[0].substr(0, 3), "I$ ");
  EXPECT_EQ(watched[1].substr(0, 2), "X ");
  type("-nix\r");  // not in the list: nothing changes
  EXPECT_EQ(debugger_info().watch_list.size(), 2u);
  const size_t before = dbgvar_lines().size();
  run_flags.busy = true;  // the list is never echoed into the trace
  type("#\r");
  EXPECT_EQ(dbgvar_lines_after(before),
            (std::vector<std::string>{std::string(33, '-'), name16("I$") + " I:" + std::string(11, ' ') + "7",
                                      name16("X") + " R:" + std::string(12, ' ') + "2.5"}));
  EXPECT_EQ(command_text_info().line1, ">_");
  EXPECT_EQ(debugger_info().variable, name16("X"));  // each listed name became the last one
  EXPECT_TRUE(debug_lines().empty());
}

TEST_F(debugger_test, EmptyWatchListShowsTheHashItself) {
  open_debugger();
  single_step(0);
  type("#\r");
  EXPECT_EQ(dbgvar_lines_after(2), (std::vector<std::string>{std::string(33, '-'), "? #"}));
}

TEST_F(debugger_test, LonePlusAddsTheVariableShownLast) {
  open_debugger();
  single_step(0);
  type("+\r");
  ASSERT_EQ(debugger_info().watch_list.size(), 1u);
  EXPECT_EQ(debugger_info().watch_list[0].substr(0, 3), "i$ ");
  type("TXT\r+\r");
  ASSERT_EQ(debugger_info().watch_list.size(), 2u);
  EXPECT_EQ(debugger_info().watch_list[1].substr(0, 4), "TXT ");
}

TEST_F(debugger_test, HundredTwentyNinthNameReplacesTheLast) {
  open_debugger();
  single_step(0);
  for (int i = 1; i <= 129; ++i) type("+v" + std::to_string(i) + "\r");
  const auto watched = debugger_info().watch_list;
  ASSERT_EQ(watched.size(), 128u);
  EXPECT_EQ(watched[126].substr(0, 5), "v127 ");
  EXPECT_EQ(watched[127].substr(0, 5), "v129 ");
}

TEST_F(debugger_test, DumpTogglesTheTraceFileCopy) {
  open_debugger();
  single_step(0);
  type("dump\r");
  EXPECT_EQ(trace_mode(), 1);
  trace_msg("kopiert");
  type("dump\r");
  EXPECT_EQ(trace_mode(), 0);
  trace_msg("nicht kopiert");
  debug_mode(1);  // file only
  type("dump\r");
  EXPECT_EQ(trace_mode(), 0);
  EXPECT_EQ(dbgvar_lines_after(2), (std::vector<std::string>{"$PXBDUMP on", "$PXBDUMP off", "$PXBDUMP off"}));
  EXPECT_EQ(command_text_info().line1, " ");
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), std::vector<std::string>{"kopiert"});
}

TEST_F(debugger_test, ExitLeavesSingleStep) {
  open_debugger();
  run_flags.single_step_on = true;
  single_step(0);
  type("exit\r");
  EXPECT_FALSE(run_flags.single_step_on);
  EXPECT_EQ(dbgvar_lines_after(2), std::vector<std::string>{"exit"});
  EXPECT_EQ(command_text_info().line1, " ");
  EXPECT_EQ(debugger_info().cursor, 1);
  run_flags.single_step_on = true;
  type("ab");
  single_step(-1);
  EXPECT_FALSE(run_flags.single_step_on);
  EXPECT_EQ(debugger_info().cursor, 1);
  EXPECT_EQ(dbgvar_lines().back(), "exit");
}

TEST_F(debugger_test, WatchListAndLastVariableSurviveLeavingSingleStep) {
  open_debugger();
  single_step(0);
  type("+abc\r");
  single_step(-1);
  single_step(0);
  EXPECT_EQ(debugger_info().watch_list.size(), 1u);
  EXPECT_EQ(debugger_info().variable, name16("abc"));
}

TEST_F(debugger_test, ClosedDbgvarSwitchesWindowTracingOffAtTheNextKey) {
  open_debugger();
  single_step(0);
  const int32_t closed = dbgvar_window();
  CLOSE_WINDOW(closed);
  pump_for(50);
  type("a");
  EXPECT_EQ(dbgvar_window(), 0);
  trace_msg("nicht mehr");
  EXPECT_TRUE(debug_lines().empty());  // window tracing is off
  debug_open();
  trace_msg("wieder");
  EXPECT_EQ(debug_lines(), std::vector<std::string>{"wieder"});
  single_step(0);  // a fresh DBGVAR
  EXPECT_NE(dbgvar_window(), 0);
  EXPECT_EQ(dbgvar_lines(), (std::vector<std::string>{help1, help2}));
}
}  // namespace
