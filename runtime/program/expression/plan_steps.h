// What the evaluator's plan steps and the interpreter's line loops (line_loops.h) share: the
// numeric operators of a step, the element a "%" operand names, the resolution of a plan's
// operands, and an evaluation done in line from its start to its end.
#pragma once

#include <cstdint>

#include "runtime/program/expression/evaluator.h"
#include "runtime/program/expression/upn_plan.h"

// The result of the numeric operator or comparison of a step (step_add .. step_greater_equal) on
// x and y, as the codes one by one give it; false for a division by zero (reported on the general
// path).
[[gnu::always_inline]] inline bool numeric_result(uint8_t kind, float x, float y, float& result) {
  const auto truth = [](bool b) { return b ? 1.0f : 0.0f; };
  switch (kind) {
    case step_add: result = x + y; return true;
    case step_subtract: result = x - y; return true;
    case step_multiply: result = x * y; return true;
    case step_divide:
      if (y == 0.0f) return false;
      result = x / y;
      return true;
    case step_equal: result = truth(x == y); return true;
    case step_not_equal: result = truth(x != y); return true;
    case step_less: result = truth(x < y); return true;
    case step_greater: result = truth(x > y); return true;
    case step_less_equal: result = truth(x <= y); return true;
    default: result = truth(x >= y); return true;
  }
}


// The 0-based element of a resolved "%" operand that the element number `number` names: false
// for numbers that are not whole or lie outside 1..dimension (the full entry reports those or
// answers the dimension request).
[[gnu::always_inline]] inline bool element_of(const resolved_operand& a, float number, int32_t& k) {
  int32_t n = 0;
  if (a.word == nullptr || !whole_number(number, n) || n < 1 || n > a.dimension) return false;
  k = n - 1;
  return true;
}

// Resolves the variable operands of every step of a plan under the current stamp.  The codes
// first..last the plan was made from exist with their operand words.
void resolve_plan(upn_plan& plan);

// An evaluation done in line, start and end, by code that follows the steps of expressions
// itself.  The start clears what the evaluation before left, as evaluate_upn does; false (nothing
// changed) where text fields are left to clear, which the steps in line do not do.
bool begin_in_line_evaluation();
// What the steps of an expression that ran in line leave: its results (values[1..results]) in
// slots 1.., and the last-reference registers.
struct in_line_end {
  int32_t results = 0;
  const float* values = nullptr;
  int32_t reference = 0;
  int32_t element = 0;
  int32_t position = 1;
  bool stored = false;
};
void end_in_line_evaluation(const in_line_end& end);
