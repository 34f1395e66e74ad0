// The evaluator's library functions: the numeric, clock and calendar functions (codes 15-54) and
// the text functions (55-65, 75-78) live here; the device and program-state queries, the
// number/text conversions (69-74) and the service functions (66-68, 79-82) come from the commands
// floor through upper_services.  They work on the evaluator's value stack in place, following its
// stack discipline (evaluator.h): the evaluator has checked that the stack holds each function's
// arguments.
#pragma once

#include <cstdint>

struct value_slot;

// Runs library function `code` on the value stack; a code no family knows is reported.
// `operand` is the code's operand word as the evaluator read it (unused by these functions).
void eval_library_function(int32_t code, int32_t operand);

// ---------------------------------------------------------------- random numbers (RND)
// Combined multiplicative congruential generator (two states). `seed_random` (program.h) sets
// the states from two seed words; `random_next` advances both once and returns the number
// in (0, 1), never 0.0 and never 1.0.
float random_next();
void random_reset();  // the state before any seeding; for tests

// ---------------------------------------------------------------- families (internal)
// Each returns false when `code` is not one of its functions.
bool eval_numeric_function(int32_t code);
// The numeric family's functions of one argument (all but RND with fewer than two): the result
// replaces `top`.  And those of two: the result of a (the first argument) and b.  Both answer
// false for a code that is not one of theirs.
bool numeric_function_one(int32_t code, value_slot& top);
bool numeric_function_two(int32_t code, float a, float b, float& result);
bool eval_datetime_function(int32_t code);
bool eval_text_function(int32_t code);
