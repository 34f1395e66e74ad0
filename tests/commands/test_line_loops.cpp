// Loops made only of expression lines and jumps, which the interpreter runs as one step: what
// the program sees afterwards is what the commands one by one leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/interpreter.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/code_steps.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/expression/line_loops.h"
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

// Programs made at random of the steps loops run in line (variables, constants, elements by a
// variable or from the stack, operators, numeric functions, stores, ARG) and values at their edges
// (zero divisors of "/" and MOD, SQRT and LOG of negative numbers, EXP beyond the integers,
// integers beyond range, elements out of bounds, fractions): each runs twice, as a loop and
// command by command, and leaves the same.
TEST_F(line_loop_test, RandomLoopsLeaveWhatTheCommandsOneByOneLeave) {
  start_headless();
  run_flags.debug_allowed = true;
  std::mt19937 random(20261208);
  const auto pick = [&](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[random() % choices.size()]);
  };
  const auto operand = [&]() -> std::string {
    switch (random() % 7) {
      case 0: return pick({"&1", "&3", "&4", "&5", "&6"});
      case 1: return pick({"#0", "#1", "#2", "#-3", "#0.5", "#2.5", "#1000000000", "#3000000000", "#7"});
      case 2: return pick({"&3", "&4", "&1"}) + " " + pick({"%7", "%8"});
      case 3: return pick({"#1", "#2", "#6", "#7", "#0", "#1.5"}) + " " + pick({"%7", "%8"});
      case 4: return pick({"&3 #1 _+", "&5 &6 _*", "&4 #2 _/"});
      case 5:
        return pick({"&1", "&3", "&5", "#-3", "#0", "#2.5", "#30"}) + " " +
               pick({"_SQRT", "_LOG", "_EXP", "_ABS", "_NINT", "_CHS", "_NOT", "_SIN", "_ACOS"});
      default:
        return pick({"&1", "&3", "&4", "#-7", "#7.5", "#3000000000"}) + " " + pick({"&3", "&4", "#0", "#-3", "#2"}) +
               " " + pick({"_MOD", "_MIN", "_MAX", "_IAND", "_ATAN2", "_XOR"});
    }
  };
  const auto value = [&]() {
    std::string v = operand();
    for (int n = static_cast<int>(random() % 3); n > 0; --n)
      v += " " + operand() + " " + pick({"_+", "_-", "_*", "_/", "_<", "_>", "_=", "_#", "_<=", "_>="});
    return v;
  };
  const auto statement = [&]() {
    switch (random() % 3) {
      case 0: return value() + " " + pick({"&3", "&4", "&5", "&6"}) + " __STO";
      case 1: return value() + " " + pick({"&3", "&4", "&1"}) + " " + pick({"%7", "%8"}) + " __STO";
      default: return value() + " " + pick({"#1", "#3", "#6", "#7"}) + " " + pick({"%7", "%8"}) + " __STO";
    }
  };
  const auto line = [&]() {
    switch (random() % 4) {
      case 0: return value();
      case 1: return statement() + " " + value();
      case 2: return statement() + " " + statement();
      default: return statement();
    }
  };
  for (int program = 0; program < 200; ++program) {
    // CALL SUB (X, Y); three lines, the second a test whose JZ skips the third; I = I + 1, I < N, JNZ
    // back; SUB: one line with ARG(1) and ARG(2).
    const std::vector<std::string> lines = {
        value(), line(), line(), line(), "&1 #1 _+ &1 __STO &1 &2 _<",
        statement() + " #1 _ARG #2 _ARG _" + pick({"+", "-", "*"}) + " &6 __STO"};
    std::string text =
        "[PROC]\n[INIT]\nCODES=11\nUPNCODES=6\nUPNTOKENS=200\nTEXTTOKENS=1\nTEXTCHARACTERS=10\n"
        "VARIABLES=8\nSTRINGSPACE=10\nADRSPACE=40\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n"
        "&0003 I 0001:X/0\n&0004 I 0001:Y/0\n&0005 R 0001:R\n&0006 R 0001:S\n&0007 I 0006:A\n&0008 R 0006:B\n"
        "[UPNCODES]\n";
    for (const std::string& l : lines) text += l + "\n";
    text += "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\nCALL :0010 %0001\n%0002\n%0003\nJZ :0006\n%0004\n"
            "%0005\nJNZ :0001\nRETURN\nRETURN\n%0006\nRETURN\n";
    const auto run = [&] {
      load_program_image(text);
      boxes.clear();
      set_int_variable("N", 1 + program % 9);
      set_int_variable("X", program % 4);
      set_real_variable("R", 0.25f * static_cast<float>(program % 5));
      interpreter(1);
      std::vector<uint32_t> words(ADRSPACE.words.begin(), ADRSPACE.words.end());
      int32_t v = 0, k = 0;
      get_last_reference(v, k);
      for (int32_t i = 1; i <= 3; ++i) words.push_back(param_registers.bits(i));
      for (const int32_t r : {v, k, evaluator.element_position, static_cast<int32_t>(evaluator.stored), evaluator.sp})
        words.push_back(static_cast<uint32_t>(r));
      std::string shown;
      for (const box_seen& box : boxes) shown += box.text + "|";
      return std::pair{words, shown};
    };
    const auto as_loop = run();
    set_command_handler(7, plain_jnz);
    const auto one_by_one = run();
    set_command_handler(7, nullptr);
    ASSERT_EQ(as_loop, one_by_one) << text;
  }
}

// Each round: CALL of a subroutine with the arguments I and 3, whose line is
// R = R + MOD(ARG(1) * ARG(2), 10), M = MOD(ARG(1), D) with D = 0, S = SQRT(-ARG(1)) + LOG(-ARG(1))
// (NaN, or -inf where I is 0), K = NINT(ARG(1) / 4) + ABS(-ARG(2)) + MIN(ARG(1), 5) + MAX(ARG(1), 9);
// then I = I + 1, I < N and JNZ back.  It runs as one step, and leaves what the commands one by
// one leave.
TEST_F(line_loop_test, LoopsCallingNumericFunctionsRunAsOneStep) {
  start_headless();
  constexpr const char* program =
      "[PROC]\n[INIT]\nCODES=6\nUPNCODES=3\nUPNTOKENS=100\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=7\n"
      "STRINGSPACE=10\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 I 0001:D/0\n"
      "&0004 I 0001:R/0\n&0005 I 0001:M/0\n&0006 R 0001:S\n&0007 I 0001:K/0\n"
      "[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _<\n&1 #3\n"
      "&4 #1 _ARG #2 _ARG _* #10 _MOD _+ &4 __STO #1 _ARG &3 _MOD &5 __STO "
      "#0 #1 _ARG _- _SQRT #0 #1 _ARG _- _LOG _+ &6 __STO "
      "#1 _ARG #4 _/ _NINT #0 #2 _ARG _- _ABS _+ #1 _ARG #5 _MIN _+ #1 _ARG #9 _MAX _+ &7 __STO\n"
      "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\nCALL :0005 %0002\n%0001\nJNZ :0001\nRETURN\n%0003\nRETURN\n";
  const auto words = [] { return std::vector<uint32_t>(ADRSPACE.words.begin(), ADRSPACE.words.end()); };
  const auto load = [&] {
    load_program_image(program);
    set_int_variable("N", 12);
  };
  load();
  interpreter(1);
  const std::vector<uint32_t> as_loop = words();
  set_command_handler(7, plain_jnz);
  load();
  interpreter(1);
  set_command_handler(7, nullptr);
  EXPECT_EQ(as_loop, words());
  EXPECT_EQ(get_int_variable("R"), 0 + 3 + 6 + 9 + 2 + 5 + 8 + 1 + 4 + 7 + 0 + 3);
  EXPECT_EQ(get_int_variable("M"), 0);
  EXPECT_TRUE(std::isnan(get_real_variable("S")));
  EXPECT_EQ(get_int_variable("K"), 3 + 3 + 5 + 11);  // the last round, I = 11
  // The loop from its head, as the interpreter hands it over: it runs to its end in one step.
  // In the sanitizer build its records run so slowly that the pump's 2 ms interval passes inside
  // it, and the loop then hands the rest back to the interpreter loop, as it should: there the
  // whole run above is the check.
  // A run that the process's own scheduling held up past that interval is tried again.
#if !defined(__SANITIZE_ADDRESS__)
  for (int attempt = 0; attempt < 3; ++attempt) {
    load();
    call_state.depth = 1;
    call_state.pc = 2;
    qn_pump();  // the pump's interval starts afresh, so the loop's looks find nothing due
    ASSERT_TRUE(run_line_loop(1));
    if (call_state.pc == 4) break;
  }
  EXPECT_EQ(call_state.pc, 4);
  EXPECT_EQ(as_loop, words());
#endif
}

// ACOS of 1.5 and of -2 is not a number, in a loop of lines run as one step and command by
// command alike; an overshoot of a rounded cosine (1.0000001) is still taken as 1.
TEST_F(line_loop_test, AcosOutsideItsDomainIsNotANumberInLoopsAndOneByOne) {
  start_headless();
  constexpr const char* program =
      "[PROC]\n[INIT]\nCODES=4\nUPNCODES=2\nUPNTOKENS=40\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=5\n"
      "STRINGSPACE=10\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 R 0001:P\n"
      "&0004 R 0001:Q\n&0005 R 0001:C\n[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _<\n"
      "#1.5 _ACOS &3 __STO #-2 _ACOS &4 __STO #1.0000001 _ACOS &5 __STO\n"
      "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n%0002\n%0001\nJNZ :0001\nRETURN\n";
  for (const bool as_loop : {true, false}) {
    SCOPED_TRACE(as_loop ? "as a loop" : "command by command");
    if (!as_loop) set_command_handler(7, plain_jnz);
    load_program_image(program);
    set_int_variable("N", 3);
    if (as_loop) {
      EXPECT_EQ(code_steps.loop_end[1], 3);
    }
    interpreter(1);
    set_command_handler(7, nullptr);
    EXPECT_EQ(get_int_variable("I"), 3);
    EXPECT_TRUE(std::isnan(get_real_variable("P"))) << get_real_variable("P");
    EXPECT_TRUE(std::isnan(get_real_variable("Q"))) << get_real_variable("Q");
    EXPECT_EQ(get_real_variable("C"), 0.0f);
  }
}

// A loop run, then expressions planned for the first time outside it (their operations take room
// where the loop's were), then the loop again: it runs its operations where they now are.
TEST_F(line_loop_test, ALoopRunsAgainAfterOtherExpressionsTookRoom) {
  start_headless();
  load_program_image(
      "[PROC]\n[INIT]\nCODES=12\nUPNCODES=5\nUPNTOKENS=100\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=4\n"
      "STRINGSPACE=10\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:S/0\n&0003 I 0001:X/0\n"
      "&0004 I 0001:Y/0\n[UPNCODES]\n&1 #1 _+ &1 __STO &2 &1 _+ &2 __STO &1 #50 _<\n#0 &1 __STO\n"
      "&3 #1 _+ &3 __STO &4 &3 _+ &4 __STO #7 &3 _* &4 _+ &4 __STO &3 &4 _+ &3 __STO\n"
      "&4 #2 _* &3 _- &4 __STO\n&4 &3 _+ &4 __STO &3 #9 _MOD &3 __STO\n"
      "[TEXTTOKENS]\n@0001 x|\n[LABELS]\n[CODES]\n"
      "CALL :0008\n%0003\n%0004\n%0005\nCALL :0008\nRETURN\nRETURN\n%0002\n%0001\nJNZ :0009\nRETURN\n");
  interpreter(1);
  EXPECT_EQ(get_int_variable("I"), 50);
  EXPECT_EQ(get_int_variable("S"), 2 * (50 * 51 / 2));
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
