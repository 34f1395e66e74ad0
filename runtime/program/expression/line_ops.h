// An expression's plan as operations on the variables' words (line_op, upn_plan.h): made once
// per stamp when the plan's operands are resolved, for plans whose every step is a number, a
// variable, an element, an argument, a numeric operator, a numeric function of one or two
// arguments or a store into an integer or real variable.  They run on a stack of floats of their own and write every store at once; where one
// cannot be done in line (a zero divisor, an element out of range, a value an integer store
// clamps) the stores already written are put back, so that the plan can run on its usual path
// from its start, with its reports.  The evaluation then ends as the plan's steps in line end
// it: the results in slots 1.., the last-reference registers as the last naming step left them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "runtime/program/expression/plan_steps.h"
#include "runtime/program/numeric_functions.h"

// Makes the plan's operations from its steps (their operands resolved under the current stamp),
// or none (op_count 0) where a step does not qualify.
void make_line_ops(upn_plan& plan);

// The stack an expression's operations work on (its results are values[1..]), and the element
// the last "%" operand named.
struct line_stack {
  std::array<float, 20> values;
  int32_t element = 0;
};

namespace line_ops_detail {
[[gnu::always_inline]] inline float number_at(const resolved_operand& o, int32_t k) {
  return std::bit_cast<float>(number_word_bits(o.type, o.word[k]));
}
// Element k of a resolved operand; with `ints`, of an integer variable.
template <bool ints>
[[gnu::always_inline]] inline float read(const resolved_operand& o, int32_t k) {
  if constexpr (ints)
    return static_cast<float>(std::bit_cast<int32_t>(o.word[k]));
  else
    return number_at(o, k);
}
// The second operand of "&a x op": "&b" or "#c".
template <bool ints>
[[gnu::always_inline]] inline float second_operand(const line_op& op) {
  return op.second_is_variable ? read<ints>(op.b, 0) : std::bit_cast<float>(op.constant);
}
// The 0-based element of the array b that "&j %b" names; false where the element number is not
// one of 1..dimension (or not whole).
[[gnu::always_inline]] inline bool element_named_by(const line_op& op, int32_t& k) {
  if (!op.integer_index) return element_of(op.array, number_at(op.index, 0), k);
  const int32_t n = std::bit_cast<int32_t>(*op.index.word);
  if (n < 1 || n > op.array.dimension) return false;
  k = n - 1;
  return true;
}
// Stores that a later operation of the same expression may have to put back.
inline constexpr int32_t max_logged_stores = 16;
}  // namespace line_ops_detail

// Runs an expression's operations from `op` to the one that ends it, on an empty stack; false
// where one cannot be done in line: the stores are then put back and nothing else has changed.
[[gnu::always_inline]] inline bool run_line_ops(const line_op* op, line_stack& st) {
  using namespace line_ops_detail;
  struct undo {
    uint32_t* word;
    uint32_t bits;
  };
  std::array<undo, max_logged_stores> log;
  int32_t logged = 0;
  float* const stack = st.values.data();
  int32_t sp = 0;
  int32_t& k = st.element;
  const auto keep = [&](uint32_t* word) { log[static_cast<size_t>(logged++)] = {word, *word}; };
  for (;; ++op) {
    switch (op->code) {
      case static_cast<uint8_t>(line_op_kind::constant):
        stack[++sp] = std::bit_cast<float>(op->constant);
        break;
      case static_cast<uint8_t>(line_op_kind::variable):
        stack[++sp] = number_at(op->a, 0);
        break;
      case static_cast<uint8_t>(line_op_kind::constant_argument):
        stack[++sp] = call_argument(static_cast<int32_t>(op->constant));
        break;
      case static_cast<uint8_t>(line_op_kind::argument): {
        int32_t n = 0;
        if (!whole_number(stack[sp], n) || n < 1 || n > 10) goto fail;
        stack[sp] = call_argument(n);
        break;
      }
// The operations with variable operands twice: for operands of any type, and (at `ints`, the
// operation's code moved on by line_operation_count) for integers alone, whose reads and stores
// need not look at the type.
#define LINE_OPERATION_TYPED(o, ints)                                                           \
  case line_operate_code + (o - step_add) + (ints ? line_operation_count : 0):                  \
    if (!numeric_result(o, read<ints>(op->a, 0), second_operand<ints>(*op), stack[sp + 1]))     \
      goto fail;                                                                                \
    ++sp;                                                                                       \
    break;                                                                                      \
  case line_operate_store_code + (o - step_add) + (ints ? line_operation_count : 0): {          \
    float r = 0.0f;                                                                             \
    uint32_t bits = 0;                                                                          \
    if (!numeric_result(o, read<ints>(op->a, 0), second_operand<ints>(*op), r) ||               \
        !number_store_bits(ints ? var_integer : op->d.type, r, bits))                           \
      goto fail;                                                                                \
    if (op->logs) keep(op->d.word);                                                             \
    *op->d.word = bits;                                                                         \
    break;                                                                                      \
  }                                                                                             \
  case line_operate_element_store_code + (o - step_add) + (ints ? line_operation_count : 0): {  \
    float r = 0.0f;                                                                             \
    uint32_t bits = 0;                                                                          \
    if (!numeric_result(o, read<ints>(op->a, 0), second_operand<ints>(*op), r) ||               \
        !element_named_by(*op, k) || !number_store_bits(ints ? var_integer : op->array.type, r, bits)) \
      goto fail;                                                                                \
    if (op->logs) keep(op->array.word + k);                                                     \
    op->array.word[k] = bits;                                                                   \
    break;                                                                                      \
  }                                                                                             \
  case line_element_operate_code + (o - step_add) + (ints ? line_operation_count : 0):          \
    if (!element_named_by(*op, k) ||                                                            \
        !numeric_result(o, read<ints>(op->a, 0), read<ints>(op->array, k), stack[sp + 1]))      \
      goto fail;                                                                                \
    ++sp;                                                                                       \
    break;                                                                                      \
  case line_element_operate_store_code + (o - step_add) + (ints ? line_operation_count : 0): {  \
    float r = 0.0f;                                                                             \
    uint32_t bits = 0;                                                                          \
    if (!element_named_by(*op, k) ||                                                            \
        !numeric_result(o, read<ints>(op->a, 0), read<ints>(op->array, k), r) ||                \
        !number_store_bits(ints ? var_integer : op->d.type, r, bits))                           \
      goto fail;                                                                                \
    if (op->logs) keep(op->d.word);                                                             \
    *op->d.word = bits;                                                                         \
    break;                                                                                      \
  }
#define LINE_OPERATION(o)                                                                       \
  case line_binary_code + (o - step_add):                                                       \
    if (!numeric_result(o, stack[sp - 1], stack[sp], stack[sp - 1])) goto fail;                 \
    --sp;                                                                                       \
    break;                                                                                      \
  case line_binary_store_code + (o - step_add): {                                               \
    float r = 0.0f;                                                                             \
    uint32_t bits = 0;                                                                          \
    if (!numeric_result(o, stack[sp - 1], stack[sp], r) || !number_store_bits(op->d.type, r, bits)) \
      goto fail;                                                                                \
    if (op->logs) keep(op->d.word);                                                             \
    *op->d.word = bits;                                                                         \
    sp -= 2;                                                                                    \
    break;                                                                                      \
  }                                                                                             \
  LINE_OPERATION_TYPED(o, false)                                                                \
  LINE_OPERATION_TYPED(o, true)
      LINE_OPERATION(step_add)
      LINE_OPERATION(step_subtract)
      LINE_OPERATION(step_multiply)
      LINE_OPERATION(step_divide)
      LINE_OPERATION(step_equal)
      LINE_OPERATION(step_not_equal)
      LINE_OPERATION(step_less)
      LINE_OPERATION(step_greater)
      LINE_OPERATION(step_less_equal)
      LINE_OPERATION(step_greater_equal)
#undef LINE_OPERATION
#undef LINE_OPERATION_TYPED
// Each numeric function a case of its own, its computation folded to that function's: no second
// dispatch.  The codes between them that are not numeric functions of one or two arguments fail.
#define LINE_FUNCTION(c)                                                  \
  case line_function_code + ((c) - upn_chs):                              \
    if constexpr (is_numeric_one(c)) {                                    \
      stack[sp] = numeric_one(c, stack[sp]);                              \
    } else if constexpr (is_numeric_two(c)) {                             \
      stack[sp - 1] = numeric_two(c, stack[sp - 1], stack[sp]);           \
      --sp;                                                               \
    } else {                                                              \
      goto fail;                                                          \
    }                                                                     \
    break;
#define LINE_FUNCTIONS_4(c) LINE_FUNCTION(c) LINE_FUNCTION(c + 1) LINE_FUNCTION(c + 2) LINE_FUNCTION(c + 3)
      static_assert(line_function_count == 33);
      LINE_FUNCTIONS_4(upn_chs)
      LINE_FUNCTIONS_4(upn_chs + 4)
      LINE_FUNCTIONS_4(upn_chs + 8)
      LINE_FUNCTIONS_4(upn_chs + 12)
      LINE_FUNCTIONS_4(upn_chs + 16)
      LINE_FUNCTIONS_4(upn_chs + 20)
      LINE_FUNCTIONS_4(upn_chs + 24)
      LINE_FUNCTIONS_4(upn_chs + 28)
      LINE_FUNCTION(upn_chs + 32)
#undef LINE_FUNCTIONS_4
#undef LINE_FUNCTION
      case static_cast<uint8_t>(line_op_kind::store): {
        uint32_t bits = 0;
        if (!number_store_bits(op->a.type, stack[sp], bits)) goto fail;
        if (op->logs) keep(op->a.word);
        *op->a.word = bits;
        --sp;
        break;
      }
      case static_cast<uint8_t>(line_op_kind::element):
        if (!element_of(op->a, stack[sp], k)) goto fail;
        stack[sp] = number_at(op->a, k);
        break;
      case static_cast<uint8_t>(line_op_kind::element_store): {
        uint32_t bits = 0;
        if (!element_of(op->a, stack[sp], k) || !number_store_bits(op->a.type, stack[sp - 1], bits)) goto fail;
        if (op->logs) keep(op->a.word + k);
        op->a.word[k] = bits;
        sp -= 2;
        break;
      }
      case static_cast<uint8_t>(line_op_kind::variable_element):
        if (!element_named_by(*op, k)) goto fail;
        stack[++sp] = number_at(op->array, k);
        break;
      case static_cast<uint8_t>(line_op_kind::variable_element_store): {
        uint32_t bits = 0;
        if (!element_named_by(*op, k) || !number_store_bits(op->array.type, stack[sp], bits)) goto fail;
        if (op->logs) keep(op->array.word + k);
        op->array.word[k] = bits;
        --sp;
        break;
      }
      default:
        goto fail;
    }
    if (op->ends_line) return true;
  }
fail:
  while (logged > 0) {
    --logged;
    *log[static_cast<size_t>(logged)].word = log[static_cast<size_t>(logged)].bits;
  }
  return false;
}

// What an expression whose operations ended at `last` leaves, for end_in_line_evaluation.
inline in_line_end line_ops_end(const line_op& last, const line_stack& st) {
  const line_op_end& end = last.end;
  return {.results = end.results,
          .values = st.values.data(),
          .reference = end.reference,
          .element = end.element_named ? st.element : 0,
          .position = end.position + (end.position_of_element ? st.element : 0),
          .stored = end.stored};
}
