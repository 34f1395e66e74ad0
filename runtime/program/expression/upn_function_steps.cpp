// The function steps (upn_function_steps.h).  None of the functions with a step reports, pumps
// messages or loads code, so a plan goes on after them without looking at its codes again.
#include "runtime/program/expression/upn_function_steps.h"

#include "runtime/program/eval_library.h"
#include "runtime/program/expression/evaluator.h"

int32_t run_function_step(int32_t code, value_slot* slot0, int32_t sp) {
  switch (function_step_form_of(code)) {
    case function_step_form::number_one:
      if (sp < 1) return -1;
      numeric_function_one(code, slot0[sp]);
      return sp;
    case function_step_form::number_two: {
      if (sp < 2) return -1;
      float result = 0.0f;
      numeric_function_two(code, slot0[sp - 1].value(), slot0[sp].value(), result);
      slot0[sp - 1].set_number(result);
      pop_to_first_argument(slot0, sp);
      return sp;
    }
    case function_step_form::text_one:
    case function_step_form::text_two:
      if (sp < (function_step_form_of(code) == function_step_form::text_two ? 2 : 1)) return -1;
      // The text functions work on the evaluator's own stack and write the text fields of their
      // arguments' slots, which the next evaluation clears.
      note_text_written(sp + 1);
      evaluator.sp = sp;
      eval_text_function(code);
      return evaluator.sp;
    case function_step_form::none:
      break;
  }
  return -1;
}
