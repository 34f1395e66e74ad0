// MESS: texts into the message fields along the bottom of screen 0, their output switch, and
// the debugging switches (trace lines, the DEBUG window, tracing, trace to file, single step).
// The option bits pick one sub-function; the first that matches in this order runs.
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/debugger.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/screen.h"

namespace {
constexpr int32_t switch_only = -9999;  // a field number that only sets the output switch


// Option 8 alone: the debug switch.  It also allows the keyboard toggle of tracing.
void debug_switch(const code_record& rec) {
  run_flags.debug_allowed = true;
  evaluate_upn(rec.expression, 1);
  const int32_t n = nint(param_registers[1]);
  if (n == 3) {
    debug_mode(1);  // every line to "$PXBDUMP.TXT" only
    return;
  }
  if (n == 0) {
    run_flags.trace_on = false;
    trace_msg("----------- DEBUG 0 ----------------------------");
    return;
  }
  run_flags.trace_on = true;
  debug_open();
  trace_msg("----------- DEBUG 1 ---------------------------");
  if (n == 2) {
    run_flags.single_step_on = true;
    single_step(0);
  }
}

// Option 1: field n starts m pixels from the left; it and the field before it show a blank.
void define_field(const code_record& rec) {
  output_command_text(switch_only, " ", 1);
  evaluate_upn(rec.expression, 2);
  const int32_t n = nint(param_registers[1]);
  int32_t m = nint(param_registers[2]);
  if (m <= 0) m = 1;
  output_command_text(n, " ", m);
  output_command_text(n - 1, " ", 0);
}
}  // namespace

void cmd_MESS(code_record& rec) {
  if (flag_mask_test(8 | 1)) {
    trace_msg(blank_trimmed(get_text_token(rec.token1)));
  } else if (flag_mask_test(8 | 4)) {
    debug_open();
  } else if (flag_mask_test(8 | 32)) {
    debug_close();
  } else if (flag_mask_test(8)) {
    debug_switch(rec);
  } else if (flag_mask_test(1)) {
    define_field(rec);
  } else if (flag_mask_test(128)) {
    output_command_text(switch_only, " ", 0);
  } else if (flag_mask_test(256)) {
    output_command_text(switch_only, " ", 1);
  } else if (flag_mask_test(1024)) {
    output_command_text(switch_only, " ", 1);
    output_command_text(1, " ", 1);
  } else {
    evaluate_upn(rec.expression, 1);
    const int32_t n = nint(param_registers[1]);
    output_command_text(n, get_text_token(rec.token1), 0);
  }
}
