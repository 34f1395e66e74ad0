// The commands that steer the interpreter: CALL and RETURN, the expression line "%", the jumps
// JMP, JZ, JNZ and the computed GOTO, ASSIGN of a label to an integer variable, and QUIT.
// Labels travel through program values as their code index plus 214365.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/jump_test.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"

namespace {

constexpr int64_t label_offset = 214365;
constexpr int32_t option_computed = 0x10;

// The code index a label value stands for (64-bit, so no value can overflow it).
int64_t label_target(float value) { return static_cast<int64_t>(nint(value)) - label_offset; }

bool valid_target(int64_t target) { return target >= 1 && target <= program_image.code_count; }

}  // namespace

void cmd_CALL(code_record& rec) {
  // Both texts are blanked before the tokens are read, so a token "%1" or "%2" passes a blank.
  set_percent1_text({});
  set_percent2_text({});
  if (rec.token1 > 0 || rec.token2 > 0) {
    std::array<char, 256> text;  // a token as get_text_token gives it
    const std::string_view view(text.data(), text.size());
    // A slot keeps the mark of a text that was cut (or is longer than its 80 characters).
    if (rec.token1 > 0) {
      get_text_token(rec.token1, text);
      set_percent1_text(view);
      set_percent2_text(view);
      if (text_token_was_cut()) {
        mark_percent_cut(1);
        mark_percent_cut(2);
      }
    }
    if (rec.token2 > 0 && rec.token2 != rec.token1) {
      get_text_token(rec.token2, text);
      set_percent2_text(view);
      if (text_token_was_cut()) mark_percent_cut(2);
    }
  }

  evaluate_upn(rec.expression, 10);
  if (call_state.depth >= max_call_depth) {
    report_error("maxlevel", 32000);
    return;
  }
  // Sets the arguments only after the destination is known to be good.
  int64_t destination = rec.target;
  int32_t first = 1;  // the result that becomes ARG(1)
  if (flag_mask_test(option_computed)) [[unlikely]] {
    destination = label_target(param_registers[1]);
    if (!valid_target(destination)) {
      report_error("CALL/ABS violation", 32000);
      return;
    }
    first = 2;
  }
  ++call_state.depth;
  // Straight into the new level's frame; a register beyond P10 passes 0.
  std::array<float, 10>& frame = call_state.arg_frame[static_cast<size_t>(call_state.depth)];
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = param_registers[first + static_cast<int32_t>(i)];
  call_state.saved_pc[static_cast<size_t>(call_state.depth)] = call_state.pc;
  call_state.pc = static_cast<int32_t>(destination);
}

void cmd_RETURN(code_record&) {
  if (run_flags.trace_on) trace_int2("return level", call_state.depth, call_state.base_depth);
  // A RETURN with no level open has nothing to go back to; the run just ends.
  if (call_state.depth < 1 || call_state.depth > max_call_depth) {
    call_state.depth = 0;
    return;
  }
  call_state.pc = call_state.saved_pc[static_cast<size_t>(call_state.depth)];
  --call_state.depth;
}

void cmd_EXPR(code_record& rec) { evaluate_upn(rec.expression, 1); }

void cmd_JMP(code_record& rec) { call_state.pc = rec.target; }

namespace {
// The test of JZ and JNZ, with its answer in the trace.
bool p1_is_zero() {
  const bool zero = p1_rounds_to_zero();
  if (run_flags.trace_on) trace_msg(zero ? "NO" : "YES");
  return zero;
}
}  // namespace

void cmd_JZ(code_record& rec) {
  if (p1_is_zero()) call_state.pc = rec.target;
}

void cmd_JNZ(code_record& rec) {
  if (!p1_is_zero()) call_state.pc = rec.target;
}

void cmd_GOTO(code_record& rec) {
  evaluate_upn(rec.expression, 1);
  const int64_t destination = label_target(param_registers[1]);
  if (!valid_target(destination)) {
    report_error("GOTO/ABS violation", 32000);
    return;
  }
  if (!flag_mask_test(option_computed)) {
    report_error("GOTO/???", 32000);
    return;
  }
  call_state.pc = static_cast<int32_t>(destination);
}

void cmd_ASSIGN(code_record& rec) {
  evaluate_upn(rec.second, 1);
  int32_t v = 0, k = 0;
  get_last_reference(v, k);
  // An ARG reference (negative) or none names no variable record; nothing is written then.
  if (v >= 1 && v <= variable_table.count && variable_table.valid(v)) {
    const variable_record& var = variable_table.records[static_cast<size_t>(v)];
    const int32_t word = var.start + k;
    if (var.type == var_integer && k >= 0 && k < var.dimension && ADRSPACE.valid(word)) {
      ADRSPACE.set_int(word, static_cast<int32_t>(rec.target + label_offset));
      return;
    }
  }
  report_error("ASSIGN no INT", 0);
  call_state.command_error = 1;
}

void cmd_QUIT(code_record&) { end_run_by_quit(); }
