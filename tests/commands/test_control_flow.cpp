// The control-flow commands as handlers: CALL and its argument frame and texts, RETURN, the
// jumps on P1, the computed GOTO, ASSIGN and QUIT.
#include "program/test_evaluator_fixture.h"

class control_flow : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    program_image.codes.assign(31, code_record{});
    program_image.code_count = 30;
  }
  static code_record command(int32_t opcode, int32_t expression = 0, int32_t flags = 0, int32_t target = 0) {
    code_record rec;
    rec.opcode = opcode;
    rec.expression = expression;
    rec.flags = flags;
    rec.target = target;
    call_state.command_flags = flags;
    return rec;
  }
  static std::string percent(int32_t k) { return text_tokens.percent_slots[k]; }
};

namespace {
constexpr int32_t label = 214365;
std::string padded(const std::string& text) { return text + std::string(80 - text.size(), ' '); }
}  // namespace

TEST_F(control_flow, CallPassesTheTenResultsAsArguments) {
  call_state.depth = 1;
  call_state.pc = 6;
  code_record rec = command(1, expr("#1 #2 #3 #4 #5 #6 #7 #8 #9 #10"), 0, 17);
  cmd_CALL(rec);
  EXPECT_EQ(call_state.depth, 2);
  EXPECT_EQ(call_state.pc, 17);
  EXPECT_EQ(call_state.saved_pc[2], 6);
  for (int32_t i = 1; i <= 10; ++i) EXPECT_EQ(call_argument(i), static_cast<float>(i));
}

TEST_F(control_flow, ComputedCallTakesItsTargetFromP1) {
  call_state.depth = 1;
  call_state.pc = 4;
  code_record rec =
      command(1, expr("#" + std::to_string(label + 7) + " #2 #3 #4 #5 #6 #7 #8 #9 #10"), 0x10, 99);
  cmd_CALL(rec);
  EXPECT_EQ(call_state.pc, 7);
  for (int32_t i = 1; i <= 9; ++i) EXPECT_EQ(call_argument(i), static_cast<float>(i + 1));
  EXPECT_EQ(call_argument(10), 0.0f);
}

TEST_F(control_flow, MissingOperandsArriveAsZero) {
  call_state.depth = 1;
  code_record fill = command(1, expr("#5 #5 #5 #5"), 0, 3);
  cmd_CALL(fill);
  code_record rec = command(1, expr("#8"), 0, 3);
  cmd_CALL(rec);
  EXPECT_EQ(call_argument(1), 8.0f);
  EXPECT_EQ(call_argument(2), 0.0f);
  EXPECT_EQ(call_argument(4), 0.0f);
}

TEST_F(control_flow, ComputedCallOutsideTheProgramIsRefused) {
  call_state.depth = 1;
  code_record rec = command(1, expr("#" + std::to_string(label)), 0x10);
  EXPECT_EQ(error_of([&] { cmd_CALL(rec); }), 32000);
  EXPECT_EQ(last_error_message(), "CALL/ABS violation");
  EXPECT_EQ(call_state.depth, 1);
  errors_reset();
  code_record beyond = command(1, expr("#" + std::to_string(label + 31)), 0x10);
  EXPECT_EQ(error_of([&] { cmd_CALL(beyond); }), 32000);
  errors_reset();
  code_record huge = command(1, expr("#-9999999"), 0x10);
  EXPECT_EQ(error_of([&] { cmd_CALL(huge); }), 32000);
}

TEST_F(control_flow, TwentyLevelsAndNoMore) {
  call_state.depth = 1;
  code_record rec = command(1, 0, 0, 2);
  for (int32_t i = 0; i < 19; ++i) cmd_CALL(rec);
  EXPECT_EQ(call_state.depth, 20);
  EXPECT_EQ(error_of([&] { cmd_CALL(rec); }), 32000);
  EXPECT_EQ(last_error_message(), "maxlevel");
  EXPECT_EQ(call_state.depth, 20);
}

TEST_F(control_flow, CallTextsGoIntoPercentOneAndTwo) {
  const int32_t five = token("first");
  const int32_t six = token("second");
  const int32_t p1 = token("%1");
  const int32_t p0 = token("%0");
  call_state.depth = 1;
  code_record rec = command(1, 0, 0, 2);
  rec.token1 = five;
  rec.token2 = five;
  cmd_CALL(rec);
  EXPECT_EQ(percent(1), padded("first"));
  EXPECT_EQ(percent(2), padded("first"));

  rec.token2 = six;
  cmd_CALL(rec);
  EXPECT_EQ(percent(1), padded("first"));
  EXPECT_EQ(percent(2), padded("second"));

  rec.token1 = rec.token2 = 0;
  cmd_CALL(rec);
  EXPECT_EQ(percent(1), std::string(80, ' '));
  EXPECT_EQ(percent(2), std::string(80, ' '));

  set_percent1_text("old");
  rec.token1 = rec.token2 = p1;  // blanked before it is read
  cmd_CALL(rec);
  EXPECT_EQ(percent(1), std::string(80, ' '));

  set_percent0_text("zero");
  rec.token1 = rec.token2 = p0;
  cmd_CALL(rec);
  EXPECT_EQ(percent(1), padded("zero"));
}

TEST_F(control_flow, NestedCallsKeepTheArgumentsOfEachLevel) {
  const int32_t outer = token("outer");
  const int32_t p1 = token("%1");
  call_state.depth = 1;
  code_record first = command(1, expr("#1 #2"), 0, 10);
  first.token1 = outer;
  cmd_CALL(first);
  EXPECT_EQ(percent(1), padded("outer"));
  // The nested call computes its argument from ARG(1) of the level that calls it.
  code_record nested = command(1, expr("#1 _ARG #10 _*"), 0, 20);
  nested.token2 = p1;  // the caller's %1 is blanked before this token is read
  cmd_CALL(nested);
  EXPECT_EQ(call_state.depth, 3);
  EXPECT_EQ(call_argument(1), 10.0f);
  EXPECT_EQ(call_argument(2), 0.0f);
  EXPECT_EQ(percent(1), std::string(80, ' '));
  EXPECT_EQ(percent(2), std::string(80, ' '));
  evaluate_upn(expr("#7 #1 _ARG __STO"), 0);  // written back into this level only
  EXPECT_EQ(call_argument(1), 7.0f);
  code_record ret = command(3);
  cmd_RETURN(ret);
  EXPECT_EQ(call_argument(1), 1.0f);
  EXPECT_EQ(call_argument(2), 2.0f);
}

TEST_F(control_flow, ReturnGoesBackAndEndsAtDepthZero) {
  call_state.depth = 1;
  call_state.pc = 5;
  code_record call = command(1, 0, 0, 20);
  cmd_CALL(call);
  code_record ret = command(3);
  cmd_RETURN(ret);
  EXPECT_EQ(call_state.pc, 5);
  EXPECT_EQ(call_state.depth, 1);
  call_state.saved_pc[1] = 1;
  cmd_RETURN(ret);
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_EQ(call_state.pc, 1);
  cmd_RETURN(ret);  // nothing left to return to: stays at 0, no table access below it
  EXPECT_EQ(call_state.depth, 0);
}

TEST_F(control_flow, ConditionalJumpsTestTheNearestIntegerOfP1) {
  code_record jz = command(6, 0, 0, 12);
  code_record jnz = command(7, 0, 0, 14);
  code_record line = command(4, expr("#0.4"));
  cmd_EXPR(line);
  call_state.pc = 3;
  cmd_JZ(jz);
  EXPECT_EQ(call_state.pc, 12);
  call_state.pc = 3;
  cmd_JNZ(jnz);
  EXPECT_EQ(call_state.pc, 3);

  line = command(4, expr("#-0.5"));
  cmd_EXPR(line);
  call_state.pc = 3;
  cmd_JZ(jz);
  EXPECT_EQ(call_state.pc, 3);
  cmd_JNZ(jnz);
  EXPECT_EQ(call_state.pc, 14);

  code_record jmp = command(5, 0, 0, 9);
  cmd_JMP(jmp);
  EXPECT_EQ(call_state.pc, 9);
}

TEST_F(control_flow, ExpressionLineStoresAndLeavesP1) {
  const int32_t x = numeric_variable("X", var_integer);
  code_record line = command(4, expr("#4 #3 _* &" + std::to_string(x) + " __STO &" + std::to_string(x) + " #12 _="));
  cmd_EXPR(line);
  EXPECT_EQ(int_at(x), 12);
  EXPECT_EQ(P(1), 1.0f);
}

TEST_F(control_flow, ComputedGoto) {
  call_state.pc = 2;
  code_record go = command(37, expr("#" + std::to_string(label + 25)), 0x10);
  cmd_GOTO(go);
  EXPECT_EQ(call_state.pc, 25);

  code_record zero = command(37, expr("#" + std::to_string(label)), 0x10);
  EXPECT_EQ(error_of([&] { cmd_GOTO(zero); }), 32000);
  EXPECT_EQ(last_error_message(), "GOTO/ABS violation");
  errors_reset();
  code_record plain = command(37, expr("#" + std::to_string(label + 3)), 0);
  EXPECT_EQ(error_of([&] { cmd_GOTO(plain); }), 32000);
  EXPECT_EQ(last_error_message(), "GOTO/???");
  EXPECT_EQ(call_state.pc, 25);
}

TEST_F(control_flow, AssignWritesTheLabelValueIntoAnInteger) {
  const int32_t slots = numeric_variable("LABELS", var_integer, 3);
  code_record rec = command(36, 0, 0, 11);
  rec.second = expr("#2 %" + std::to_string(slots));
  cmd_ASSIGN(rec);
  EXPECT_EQ(int_at(slots, 2), label + 11);
  EXPECT_EQ(int_at(slots, 1), 0);
  EXPECT_EQ(call_state.command_error, 0);
}

TEST_F(control_flow, AssignToAnythingButAnIntegerIsReported) {
  const int32_t r = numeric_variable("R", var_real);
  code_record rec = command(36, 0, 0, 11);
  rec.second = expr("&" + std::to_string(r));
  EXPECT_EQ(error_of([&] { cmd_ASSIGN(rec); }), 0);
  EXPECT_EQ(last_error_message(), "ASSIGN no INT");
  EXPECT_EQ(real_at(r), 0.0f);
}

TEST_F(control_flow, AssignWithoutAVariableTouchesNoVariable) {
  const int32_t first = numeric_variable("FIRST", var_integer);
  code_record rec = command(36, 0, 0, 11);
  rec.second = expr("#1");
  EXPECT_EQ(error_of([&] { cmd_ASSIGN(rec); }), 0);
  EXPECT_EQ(int_at(first), 0);
}

TEST_F(control_flow, QuitEndsTheRunWithoutTheQuestion) {
  run_flags.ask_on_close = true;
  code_record rec = command(15);
  EXPECT_THROW(cmd_QUIT(rec), program_end);  // the run unwinds
  EXPECT_TRUE(program_has_ended());           // and no label runs after it
  EXPECT_FALSE(run_flags.ask_on_close);
}
