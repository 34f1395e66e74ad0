// The evaluator's library functions: numeric, calendar, clock, device and program-state
// functions (codes 15-54), text functions (55-65, 75-78) and number/text conversions (69-74).
// They work on the evaluator's value stack in place, following its stack discipline.
#pragma once

#include <cstdint>

// Runs library function `code` on the value stack. `operand` is the code's operand word as the
// evaluator read it (unused by most functions).
void eval_library_function(int32_t code, int32_t operand);
