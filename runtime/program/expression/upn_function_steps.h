// Function steps of an expression's plan: the numeric and text functions that programs call in
// their loops run straight from the plan, without the general path's per-code work (the table
// of arities, which slots a code may leave text in, the hand-over from family to family).
#pragma once

#include <cstdint>

#include "runtime/program/numeric_functions.h"
#include "runtime/program/upn_store.h"

struct value_slot;

// How a function with a step of its own takes its arguments; `none` for every other code (those
// of the floors above, RND, the clock and calendar functions), which take the general path.
enum class function_step_form : uint8_t {
  none,
  number_one,  // the result replaces the top
  number_two,  // the first argument below the top takes the result, the top is popped
  text_one,    // a text function of one argument
  text_two,    // a text function of two (the searches)
};

constexpr function_step_form function_step_form_of(int32_t code) {
  if (is_numeric_one(code)) return function_step_form::number_one;
  if (is_numeric_two(code)) return function_step_form::number_two;
  switch (code) {
    case upn_upcase: case upn_compress: case upn_collapse: case upn_lowcase: case upn_all: case upn_len:
    case upn_asc: case upn_trim: case upn_rtrim:
      return function_step_form::text_one;
    case upn_index: case upn_endex: case upn_verify: case upn_everify: case upn_scan: case upn_escan:
      return function_step_form::text_two;
    default:
      return function_step_form::none;
  }
}

// Runs function `code` (one with a step) on the stack given by its slot 0 and its sp, leaving
// the slots and registers as the general path does, and returns the new sp.  -1, with nothing
// done, when the stack does not hold the function's arguments: the general path then reports
// it.  (Out of line, and sp by value, so that the plan's loop keeps its own state in registers.)
int32_t run_function_step(int32_t code, value_slot* slot0, int32_t sp);
