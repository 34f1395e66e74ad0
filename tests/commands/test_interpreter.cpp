// The interpreter loop: fetch order, call levels, the common end of a command, traces, the
// quit paths, chaining and the program end.  The commands are test handlers put in place of
// the real ones, so only the loop itself is under test.
#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "support/runtime_fixture.h"

namespace {
// Opcodes the tests give their own handlers (named after what the test handler does).
constexpr int32_t op_note = 4, op_call = 1, op_return = 3, op_jump = 5, op_array = 47;

std::vector<int32_t> executed;  // code indices in the order their commands ran
int32_t nested_label = 0;       // op_note with flag 1 starts a nested run of this label once
int32_t error_to_set = 0;       // op_note with flag 2 sets command_error to this

void note(code_record& rec) {
  executed.push_back(call_state.pc - 1);
  if ((rec.flags & 1) && nested_label > 0) {
    int32_t label = nested_label;
    nested_label = 0;
    interpreter(label);
  }
  if (rec.flags & 2) call_state.command_error = error_to_set;
  if (rec.flags & 4) call_state.end_run = true;
  if (rec.flags & 8) qn_post_quit(0);
  if (rec.flags & 16) report_error("Abbruch im Befehl", 32000);
}

// CALL and RETURN as the control-flow commands move the counter and the depth.
void call(code_record& rec) {
  executed.push_back(call_state.pc - 1);
  if (call_state.depth >= max_call_depth) {
    report_error("maxlevel", 32000);
    return;
  }
  ++call_state.depth;
  call_state.saved_pc[static_cast<size_t>(call_state.depth)] = call_state.pc;
  call_state.pc = rec.target;
}

void ret(code_record&) {
  executed.push_back(call_state.pc - 1);
  call_state.pc = call_state.saved_pc[static_cast<size_t>(call_state.depth)];
  --call_state.depth;
}

void jump(code_record& rec) {
  executed.push_back(call_state.pc - 1);
  call_state.pc = rec.target;
}

std::vector<int32_t> array_opcodes;
void array_command(code_record& rec) {
  array_opcodes.push_back(rec.opcode);
  executed.push_back(call_state.pc - 1);
}

class interpreter_test : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    executed.clear();
    array_opcodes.clear();
    nested_label = 0;
    error_to_set = 0;
    set_command_handler(op_note, note);
    set_command_handler(op_call, call);
    set_command_handler(op_return, ret);
    set_command_handler(op_jump, jump);
    set_command_handler(op_array, array_command);
  }
};

TEST_F(interpreter_test, RunsFromRecordOneUntilTheLastReturn) {
  set_program({make_record(op_note, "% A"), make_record(op_jump, "JMP 4", 4), make_record(op_note, "% skipped"),
               make_record(op_note, "% B"), make_record(op_return, "RETURN"), make_record(op_note, "% after")});
  interpreter(1);
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 4, 5}));
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_EQ(call_state.pc, 1);  // what the last RETURN restored
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, FlagMaskTest) {
  call_state.command_flags = 0x105;
  EXPECT_TRUE(flag_mask_test(0));
  EXPECT_TRUE(flag_mask_test(0x100));
  EXPECT_TRUE(flag_mask_test(0x101));
  EXPECT_FALSE(flag_mask_test(0x102));
  EXPECT_FALSE(flag_mask_test(0x2));
}

TEST_F(interpreter_test, CommandFlagsAreCopiedBeforeDispatch) {
  static int32_t seen_flags = -1;
  seen_flags = -1;
  set_command_handler(op_note, [](code_record&) { seen_flags = call_state.command_flags; });
  set_program({make_record(op_note, "% x", 0, 0x4400), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(seen_flags, 0x4400);
}

TEST_F(interpreter_test, OpcodesAboveTheTableRunTheArrayHandler) {
  set_program({make_record(48, "ARRAY x"), make_record(-3, "ARRAY y"), make_record(op_array, "ARRAY z"),
               make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(array_opcodes, (std::vector<int32_t>{48, -3, 47}));
}

TEST_F(interpreter_test, OpcodeZeroEndsTheProgram) {
  set_program({make_record(op_note, "% A"), make_record(0, "??"), make_record(op_note, "% never")});
  interpreter(1);
  EXPECT_TRUE(program_has_ended());
  EXPECT_EQ(executed, std::vector<int32_t>{1});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Code/Compile-Error : CODE=0");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, CommandErrorIsReportedWithTheCommandText) {
  run_flags.debug_allowed = true;  // code 1 goes on after OK only while debugging is allowed
  error_to_set = 1;
  set_program({make_record(op_note, "FILE #1 read", 0, 2), make_record(op_note, "% next"),
               make_record(op_return, "RETURN")});
  interpreter(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "FILE #1 read");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(file_lines("PXBERROR.LOG"), std::vector<std::string>{log_date() + "-KYR-ERROR     1:FILE #1 read"});
}

TEST_F(interpreter_test, CommandErrorWithoutDebuggingEndsTheProgram) {
  error_to_set = 1;
  set_program({make_record(op_note, "FILE #1 read", 0, 2), make_record(op_note, "% next")});
  interpreter(1);
  EXPECT_TRUE(program_has_ended());
  EXPECT_EQ(executed, std::vector<int32_t>{1});
}

TEST_F(interpreter_test, CallsOpenLevelsUpToTwenty) {
  // Record 1 calls itself until CALL refuses at level 20.
  set_program({make_record(op_call, "CALL self", 1)});
  interpreter(1);
  EXPECT_TRUE(program_has_ended());
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "maxlevel");
  EXPECT_EQ(executed.size(), 20u);  // levels 1..20, the 20th call is refused
}

TEST_F(interpreter_test, NestedEntryAtDepthTwentyReportsMaxCallLevels) {
  run_flags.debug_allowed = true;  // so both reports are seen
  set_program({make_record(op_note, "% A"), make_record(op_return, "RETURN")});
  call_state.depth = 20;
  interpreter(1);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "MAX CALL-LEVELS");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR  6416");
  EXPECT_EQ(boxes[1].text, "Abbruch");
  EXPECT_EQ(boxes[1].caption, "KYR-ERROR 32000");
  EXPECT_TRUE(executed.empty());
  EXPECT_TRUE(program_has_ended());
}

TEST_F(interpreter_test, NestedRunGoesOnWithTheInterruptedCode) {
  // Record 1 starts a nested run of label 10 (as an event dispatched by the pump would); the
  // label's RETURN lands in the interrupted level, which the nested invocation runs to its end.
  nested_label = 4;
  set_program({make_record(op_note, "% outer", 0, 1), make_record(op_note, "% resumed"), make_record(op_return, "RETURN"),
               make_record(op_note, "% event"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 4, 5, 2, 3}));
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, SameLevelEntryWhileIdleRunsAtLevelOne) {
  static int32_t depth_inside = -1;
  depth_inside = -1;
  set_command_handler(op_note, [](code_record&) { depth_inside = call_state.depth; });
  set_program({make_record(op_note, "% esc"), make_record(op_return, "RETURN")});
  interpreter_same_level(1);
  EXPECT_EQ(depth_inside, 1);
  EXPECT_EQ(call_state.depth, 0);
  interpreter_same_level(1);  // a second one starts from the same place, never below 0
  EXPECT_EQ(call_state.depth, 0);
  interpreter(1);
  EXPECT_EQ(depth_inside, 1);
}

TEST_F(interpreter_test, EndRunLeavesTheLoop) {
  set_program({make_record(op_note, "QUIT", 0, 4), make_record(op_note, "% never")});
  interpreter(1);
  EXPECT_EQ(executed, std::vector<int32_t>{1});
  EXPECT_FALSE(run_flags.busy);
  EXPECT_FALSE(call_state.end_run);
}

TEST_F(interpreter_test, QuitMessageEndsTheRunBeforeTheNextCommand) {
  start_headless();
  set_program({make_record(op_note, "% post quit", 0, 8), make_record(op_note, "% never"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(executed, std::vector<int32_t>{1});
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, CtrlCQuestionIsAskedOnce) {
  run_flags.quit_seen = true;
  set_program({make_record(op_note, "% A"), make_record(op_note, "% B"), make_record(op_return, "RETURN")});
  interpreter(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Ctrl-C ?");
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_FALSE(run_flags.quit_seen);
}

TEST_F(interpreter_test, CtrlCCancelEndsTheProgram) {
  run_flags.quit_seen = true;
  box_answer = IDCANCEL;
  set_program({make_record(op_note, "% A"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_TRUE(executed.empty());
  EXPECT_TRUE(program_has_ended());
}

TEST_F(interpreter_test, RunningOffTheProgramIsAnErrorNotARead) {
  set_program({make_record(op_note, "% A"), make_record(op_jump, "JMP 99", 99)});
  interpreter(1);
  EXPECT_TRUE(program_has_ended());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Code/Compile-Error : PC=99");
  set_program({});
  errors_reset();
  interpreter(1);  // an empty program
  EXPECT_TRUE(program_has_ended());
}

TEST_F(interpreter_test, ProgramEndInsideANestedRunStopsAtTheOutermostEntry) {
  nested_label = 3;
  set_program({make_record(op_note, "% outer", 0, 1), make_record(op_note, "% never"),
               make_record(op_note, "% fails", 0, 16)});
  EXPECT_NO_THROW(interpreter(1));
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 3}));
  EXPECT_TRUE(program_has_ended());
  EXPECT_FALSE(run_flags.busy);
  // Nothing of the ended program runs any more.
  interpreter(1);
  interpreter_same_level(1);
  EXPECT_EQ(executed.size(), 2u);
}

TEST_F(interpreter_test, ChainingRestartsAtRecordOne) {
  static int passes = 0;
  passes = 0;
  set_command_handler(op_note, [](code_record&) {
    executed.push_back(call_state.pc - 1);
    if (++passes == 1) {
      // RUN with option 1 replaced the program: a new image, run from its first record.
      set_program({make_record(op_note, "% new 1"), make_record(op_return, "RETURN")});
      call_state.chain_flag = true;
    }
  });
  set_program({make_record(op_note, "% old"), make_record(op_note, "% old 2"), make_record(op_note, "% old 3")});
  call_state.depth = 0;
  interpreter(2);
  EXPECT_EQ(executed, (std::vector<int32_t>{2, 1, 2}));
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_FALSE(call_state.chain_flag);
}

TEST_F(interpreter_test, TraceWritesEveryCommandButJumps) {
  debug_open();
  debug_mode(1);  // every line to "$PXBDUMP.TXT"
  run_flags.trace_on = true;
  set_program({make_record(op_note, "% A=1"), make_record(op_jump, "JMP 3", 3), make_record(op_note, "JZ 5"),
               make_record(op_note, "JNZ 5"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), (std::vector<std::string>{"% A=1", "RETURN"}));
}

// JZ and JNZ keep their built-in handlers here, which the loop runs itself unless tracing.
TEST_F(interpreter_test, TracedBuiltInJumpsWriteTheirAnswerOnly) {
  debug_open();
  debug_mode(1);
  run_flags.trace_on = true;
  set_program({make_record(6, "JZ 3", 3), make_record(op_note, "% skipped"), make_record(7, "JNZ 5", 5),
               make_record(op_return, "RETURN"), make_record(op_note, "% not reached")});
  set_parameter_register(1, 0.0f);  // JZ jumps, JNZ does not
  interpreter(1);
  EXPECT_EQ(executed, std::vector<int32_t>{4});
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), (std::vector<std::string>{"NO", "NO", "RETURN"}));
}

// With the built-in JMP back in place the loop runs the jump without a handler; only the pump
// can end this run.
TEST_F(interpreter_test, ALoopOfBuiltInJumpsEndsAtTheQuitMessage) {
  start_headless();
  set_command_handler(op_jump, nullptr);
  QTimer::singleShot(0, [] { qn_post_quit(0); });
  set_program({make_record(op_jump, "JMP 1", 1), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_TRUE(executed.empty());
  EXPECT_EQ(call_state.pc, 1);
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, SingleStepLinesBeginWithAMarkAndEndWithReturn) {
  debug_open();
  debug_mode(1);
  run_flags.trace_on = true;
  run_flags.single_step_on = true;
  run_flags.step_released = true;
  set_program({make_record(op_note, "% A=1"), make_record(op_jump, "JMP 3", 3), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), (std::vector<std::string>{">% A=1", ">RETURN", "<return"}));
  EXPECT_FALSE(run_flags.step_released);
}

TEST_F(interpreter_test, SingleStepHookCanEndTheRun) {
  run_flags.trace_on = true;
  run_flags.single_step_on = true;
  set_single_step_hook([](const code_record&) { return false; });
  set_program({make_record(op_note, "% A"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_TRUE(executed.empty());
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(interpreter_test, TimerArmedBeforeALongRunFiresDuringIt) {
  start_headless();
  static bool fired = false;
  static auto started = std::chrono::steady_clock::now();
  fired = false;
  started = std::chrono::steady_clock::now();
  QTimer::singleShot(30, [] { fired = true; });
  // Record 1 spins until the timer has fired (or five seconds have passed).
  set_command_handler(op_note, [](code_record&) {
    if (!fired && std::chrono::steady_clock::now() - started < std::chrono::seconds(5)) call_state.pc = 1;
  });
  set_program({make_record(op_note, "% spin"), make_record(op_return, "RETURN")});
  interpreter(1);
  EXPECT_TRUE(fired);
}
}  // namespace
