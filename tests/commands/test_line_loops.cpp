// Loops made only of expression lines and jumps, which the interpreter runs as one step: what
// the program sees afterwards is what the commands one by one leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/interpreter.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/code_steps.h"
#include "runtime/program/evaluator.h"
#include "runtime/program/pxb_reader.h"
#include "support/runtime_fixture.h"

// (Qt after the evaluator's header: its "slots" is a macro of Qt's.)
#include <QTimer>

namespace {
using line_loop_test = runtime_fixture;

// Each round: CALL of a subroutine with the arguments I and J, which adds ARG(1) * ARG(2) to U;
// I = I + 1, T = 3 - T, B = T * 1E9 (beyond the integers every other round, after two stores of
// the same line); J = J + 1 and back to 1 past 5 (a jump inside the loop, and a JNZ out of it
// after the store, never taken: a line that stores leaves P1 0); A(J) = J * J;
// R = R + A(J) / 2; S = A(J + 0) + I; X = R / (J - D) (a zero divisor where J reaches D, which
// the general path reports; the test answers OK and the program goes on); then I < N and JNZ back.
constexpr const char* counting_program =
    "[PROC]\n[INIT]\nCODES=16\nUPNCODES=11\nUPNTOKENS=110\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=11\n"
    "STRINGSPACE=10\nADRSPACE=20\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:J/0\n&0003 I 0001:N/0\n"
    "&0004 R 0001:R\n&0005 I 0005:A\n&0006 I 0001:B/0\n&0007 I 0001:T/0\n&0008 I 0001:S/0\n&0009 R 0001:X\n"
    "&0010 I 0001:D/0\n&0011 R 0001:U\n"
    "[UPNCODES]\n&1 #1 _+ &1 __STO #3 &7 _- &7 __STO &7 #1000000000 _* &6 __STO\n&2 #1 _+ &2 __STO\n"
    "&2 #5 _>\n#1 &2 __STO\n&2 &2 _* &2 %5 __STO\n&4 &2 %5 #2 _/ _+ &4 __STO\n&2 #0 _+ %5 &1 _+ &8 __STO\n"
    "&4 &2 &10 _- _/ &9 __STO\n&1 &3 _<\n&1 &2\n&11 #1 _ARG #2 _ARG _* _+ &11 __STO\n"
    "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n"
    "CALL :0015 %0010\n%0001\n%0002\n%0003\nJZ :0008\n%0004\nJNZ :0014\n%0005\n%0006\n%0007\n%0008\n%0009\n"
    "JNZ :0001\nRETURN\n%0011\nRETURN\n";

// What the program and the commands after the loop can see.
struct seen {
  std::vector<int32_t> integers;
  std::vector<float> reals;
  int32_t reference = 0, element = 0, position = 0;
  bool stored = false;
  std::vector<std::string> boxes;
};

void plain_jnz(code_record& rec) { cmd_JNZ(rec); }

TEST_F(line_loop_test, LoopsOfLinesLeaveWhatTheCommandsOneByOneLeave) {
  start_headless();
  run_flags.debug_allowed = true;  // an error box answered OK lets the program go on
  const auto run = [&](int32_t rounds, int32_t d) {
    load_program_image(counting_program);
    boxes.clear();
    set_int_variable("N", rounds);
    set_int_variable("D", d);
    interpreter(1);
    seen s;
    for (const char* name : {"I", "J", "B", "T", "S", "A(1)", "A(2)", "A(3)", "A(4)", "A(5)"})
      s.integers.push_back(get_int_variable(name));
    s.reals = {get_real_variable("R"), get_real_variable("X"), get_real_variable("U"), param_registers[1]};
    get_last_reference(s.reference, s.element);
    s.position = evaluator.element_position;
    s.stored = evaluator.stored;
    for (const box_seen& box : boxes) s.boxes.push_back(box.text);
    return s;
  };
  for (const auto& [rounds, d] : {std::pair{1, 6}, {7, 6}, {40, 6}, {1000, 6}, {40, 5}}) {
    const seen as_loop = run(rounds, d);
    EXPECT_EQ(code_steps.loop_end[1], 13);
    set_command_handler(7, plain_jnz);  // a JNZ of its own: the loop runs command by command
    const seen one_by_one = run(rounds, d);
    set_command_handler(7, nullptr);
    SCOPED_TRACE(std::to_string(rounds) + " rounds, D = " + std::to_string(d));
    EXPECT_EQ(as_loop.integers, one_by_one.integers);
    EXPECT_EQ(as_loop.reals, one_by_one.reals);
    EXPECT_EQ(as_loop.reference, one_by_one.reference);
    EXPECT_EQ(as_loop.element, one_by_one.element);
    EXPECT_EQ(as_loop.position, one_by_one.position);
    EXPECT_EQ(as_loop.stored, one_by_one.stored);
    EXPECT_EQ(as_loop.boxes, one_by_one.boxes);
    EXPECT_EQ(as_loop.integers[0], rounds);
    // J reached D = 5 every fifth round, and the zero divisor was reported each time.
    EXPECT_EQ(as_loop.boxes.size(), d == 5 ? static_cast<size_t>(rounds / 5) : 0u);
  }
}

// While the trace is on, every command of the loop is a command of its own, the CALL that begins
// it too.
TEST_F(line_loop_test, TracedLoopsShowEveryCommand) {
  start_headless();
  const auto traced_run = [&] {
    load_program_image(counting_program);
    set_int_variable("N", 3);
    set_int_variable("D", 6);
    debug_close();
    debug_open();
    run_flags.trace_on = true;
    interpreter(1);
    run_flags.trace_on = false;
    return qn_scroll_lines(debug_window());
  };
  const std::vector<std::string> as_loop = traced_run();
  set_command_handler(7, plain_jnz);
  const std::vector<std::string> one_by_one = traced_run();
  set_command_handler(7, nullptr);
  EXPECT_EQ(as_loop, one_by_one);
  EXPECT_EQ(std::count(as_loop.begin(), as_loop.end(), "CALL :0015 %0010"), 3);
  EXPECT_EQ(get_int_variable("I"), 3);
}

// Only the pump can end this loop: run as one step, it still gives the pump its turn.
TEST_F(line_loop_test, AnEndlessLoopOfLinesEndsAtTheQuitMessage) {
  start_headless();
  load_program_image(
      "[PROC]\n[INIT]\nCODES=3\nUPNCODES=1\nUPNTOKENS=10\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=1\n"
      "STRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n&1 #1 _+ &1 __STO\n"
      "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n%0001\nJMP :0001\nRETURN\n");
  ASSERT_EQ(code_steps.loop_end[1], 2);
  QTimer::singleShot(20, [] { qn_post_quit(0); });
  interpreter(1);
  EXPECT_GT(get_int_variable("I"), 0);
  EXPECT_FALSE(run_flags.busy);
}
}  // namespace
