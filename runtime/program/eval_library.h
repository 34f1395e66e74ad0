// The evaluator's library functions: numeric, calendar, clock, device and program-state
// functions (codes 15-54), text functions (55-65, 75-78) and number/text conversions (69-74).
// They work on the evaluator's value stack in place, following its stack discipline
// (evaluator.h): the evaluator has checked that the stack holds each function's arguments.
#pragma once

#include <cstdint>

// Runs library function `code` on the value stack. `operand` is the code's operand word as the
// evaluator read it (unused by these functions).
void eval_library_function(int32_t code, int32_t operand);

// ---------------------------------------------------------------- random numbers (RND)
// Combined multiplicative congruential generator (two states). `seed_random` (core.h) sets
// the states from two seed words; `random_next` advances both once and returns the number
// in (0, 1), never 0.0 and never 1.0.
float random_next();
void random_reset();  // the state before any seeding; for tests

// ---------------------------------------------------------------- state read by the functions
// Words that other families write and these functions read. Each is defined with its start
// value as a weak symbol, so the evaluator links before its writer is built; the family that
// owns a word defines it (without "weak") and that definition is used.
extern int32_t last_char;  // KEYBD: last character the dispatcher received; -1 once read
struct query_answer_t {
  int32_t yes = 0;     // 1 after OK or Yes
  int32_t cancel = 0;  // 1 after Cancel
};
extern query_answer_t query_answer;  // written by QUERY and SELECT, read by the QUERY function
extern int32_t modifier_alt;         // dispatcher's Alt word: 1 while Alt is down

// The window of the current video-stack entry; with an empty stack (0, 0, screen width,
// screen height less the menu-bar height).
struct video_window_t {
  int32_t left = 0, top = 0, x_extent = 0, y_extent = 0;
};
video_window_t video_stack_window();
int32_t area_count();     // entries in the area table (WIN(-1))
int32_t level_pointer();  // current level of the level stack (WIN(0))

// ---------------------------------------------------------------- families (internal)
// Each returns false when `code` is not one of its functions.
bool eval_numeric_function(int32_t code);
bool eval_datetime_function(int32_t code);
bool eval_text_function(int32_t code);
