// MESS: the debug switches and the message-field sub-functions, run as PXB program commands.
#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>

#include "test_debugger_fixture.h"

namespace {
// Expressions: 1 -> 3, 2 -> 0, 3 -> 1, 4 -> 2, 5 -> 2, 100, 6 -> 3, 0, 7 -> 2.5, 8 -> 7, 9 -> -1, 20
constexpr std::string_view upn = "#3\n#0\n#1\n#2\n#2 #100\n#3 #0\n#2.5\n#7\n#-1 #20\n";
constexpr std::string_view tokens = "@0001 Hallo Trace   |\n@0002 Hallo|\n@0003 Welt|\n";

// The first n lines (the interpreter and the evaluator add their own lines after them).
std::vector<std::string> first(const std::vector<std::string>& lines, size_t n) {
  return std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(std::min(n, lines.size())));
}

// The lines the single-step hook and the switch write: marks, the debug lines and "<return".
std::vector<std::string> step_lines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    if (!line.starts_with(">>>") && !line.starts_with(" ")) out.push_back(line);
  return out;
}

class mess_test : public debugger_fixture {
 protected:
  // Runs the commands (one per line) followed by RETURN.
  void run(std::string_view codes) {
    load_program_image(small_program("&0001 I 0001:N/0\n", upn, tokens, std::string(codes) + "RETURN\n"));
    interpreter(1);
    EXPECT_TRUE(boxes.empty());
  }
};

TEST_F(mess_test, TraceLineFromTheTextToken) {
  open_debugger();
  run("/00000009 MESS @0001\n");
  EXPECT_EQ(first(debug_lines(), 3), (std::vector<std::string>{"/00000009 MESS @0001", "Hallo Trace", "RETURN"}));
}

TEST_F(mess_test, OpenAndCloseTheDebuggerWindows) {
  start_headless();
  run("/0000000C MESS\n");
  ASSERT_NE(debug_window(), 0);
  run_flags.trace_on = true;
  run_flags.single_step_on = true;
  single_step(0);
  run_flags.single_step_on = false;
  const int32_t dbgvar = dbgvar_window();
  ASSERT_NE(dbgvar, 0);
  run("/00000028 MESS\n");
  EXPECT_EQ(debug_window(), 0);
  EXPECT_EQ(dbgvar_window(), 0);
  EXPECT_FALSE(is_valid_window(dbgvar));
  EXPECT_FALSE(run_flags.trace_on);
}

TEST_F(mess_test, DebugSwitchThreeWithoutAnyOutputWritesNothing) {
  start_headless();
  run("/00000008 MESS %0001\n");
  EXPECT_TRUE(run_flags.debug_allowed);
  EXPECT_EQ(trace_mode(), 2);
  EXPECT_FALSE(run_flags.trace_on);
  trace_msg("nirgends");
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.TXT"));
  EXPECT_EQ(debug_window(), 0);
}

TEST_F(mess_test, DebugSwitchThreeSendsEveryLineToTheFileOnceAWindowWasOpened) {
  start_headless();
  run("/0000000C MESS\n/00000008 MESS %0003\n/00000008 MESS %0001\n%0008\n");
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{"----------- DEBUG 1 ---------------------------",
                                                      "/00000008 MESS %0001"}));
  EXPECT_EQ(first(file_lines("$PXBDUMP.TXT"), 2), (std::vector<std::string>{"%0008", "RETURN"}));
}

TEST_F(mess_test, DebugSwitchZeroStopsTracingButLeavesTheWindow) {
  start_headless();
  run("/00000008 MESS %0003\n%0008\n/00000008 MESS %0002\n%0008\n");
  EXPECT_FALSE(run_flags.trace_on);
  EXPECT_TRUE(run_flags.debug_allowed);
  EXPECT_NE(debug_window(), 0);
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{"----------- DEBUG 1 ---------------------------", "%0008",
                                                      "/00000008 MESS %0002",
                                                      "----------- DEBUG 0 ----------------------------"}));
}

TEST_F(mess_test, DebugSwitchTwoStepsFromTheNextCommandThatIsNoJump) {
  start_headless();
  QTimer timer;
  std::string first_wait;
  size_t answered = 0;  // number of trace lines when the last wait was answered
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!run_flags.single_step_on || !interpreter_active() || debug_window() == 0) return;
    const auto lines = debug_lines();
    // A command waits after its fresh ">" line; a value echo ">>>" is no command.
    if (lines.empty() || lines.size() == answered || !lines.back().starts_with(">") || lines.back().starts_with(">>>"))
      return;
    if (first_wait.empty()) first_wait = lines.back();
    answered = lines.size();
    debugger_char(' ');
  });
  timer.start(2);
  run("/00000008 MESS %0004\nJMP :0003\n%0008\n");
  EXPECT_EQ(first_wait, ">%0008");
  EXPECT_TRUE(run_flags.single_step_on);
  EXPECT_NE(dbgvar_window(), 0);
  EXPECT_EQ(dbgvar_lines().size(), 2u);  // the help lines
  EXPECT_EQ(step_lines(debug_lines()), (std::vector<std::string>{"----------- DEBUG 1 ---------------------------",
                                                                  ">%0008", ">RETURN", "<return"}));
}

TEST_F(mess_test, DebugSwitchTwoRunsOnWhileCtrlIsHeld) {
  start_headless();
  run_flags.modifier_ctrl = 1;
  run("/00000008 MESS %0004\n%0008\n");
  EXPECT_EQ(step_lines(debug_lines()), (std::vector<std::string>{"----------- DEBUG 1 ---------------------------",
                                                                  ">%0008", ">RETURN", "<return"}));
}

TEST_F(mess_test, DebugBitWinsOverTheOutputSwitch) {
  start_headless();
  run("/00000088 MESS %0003\n");
  EXPECT_TRUE(run_flags.trace_on);
  EXPECT_TRUE(command_text_info().output_on);
}

TEST_F(mess_test, OutputSwitchOffOnAndFieldOneBlankedByForce) {
  start_headless();
  run("/00000080 MESS\n");
  EXPECT_FALSE(command_text_info().output_on);
  run("MESS %0003 @0002\n");
  EXPECT_EQ(command_text_info().draws[1], 0);  // output off: not drawn
  run("/00000100 MESS\nMESS %0003 @0002\n");
  EXPECT_TRUE(command_text_info().output_on);
  EXPECT_EQ(command_text_info().shown[1], "Hallo");
  run("/00000080 MESS\n/00000400 MESS\n");
  EXPECT_TRUE(command_text_info().output_on);
  EXPECT_EQ(command_text_info().shown[1], "");  // blanked by force
  EXPECT_EQ(command_text_info().draws[1], 2);
  run("MESS %0003 @0002\n");  // the same text as before is drawn again
  EXPECT_EQ(command_text_info().draws[1], 3);
}

TEST_F(mess_test, DefineMovesTheFieldAndBlanksItAndTheOneBefore) {
  start_headless();
  run("/00000080 MESS\nMESS %0003 @0002\n/00000001 MESS %0005\n");
  command_text_view view = command_text_info();
  EXPECT_TRUE(view.output_on);  // a define switches the output on
  EXPECT_EQ(view.left[2], 100);
  EXPECT_EQ(view.draws[2], 1);
  EXPECT_EQ(view.draws[1], 1);
  EXPECT_EQ(view.shown[1], "");
  run("/00000001 MESS %0006\n");  // a left edge of 0 or less becomes 1
  EXPECT_EQ(command_text_info().left[3], 1);
}

TEST_F(mess_test, TextGoesToTheNearestFieldNumber) {
  start_headless();
  run("MESS %0007 @0003\nMESS %0008 @0002\n");
  EXPECT_EQ(command_text_info().shown[3], "Welt");  // 2.5 rounds away from zero
  EXPECT_EQ(command_text_info().shown[7], "Hallo");
}
}  // namespace
