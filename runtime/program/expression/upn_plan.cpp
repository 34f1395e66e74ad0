// Cuts a compiled expression into the steps the evaluator runs (see upn_plan.h).  Which codes
// go together depends only on the codes, never on the variables, so a plan stays right for as
// long as its codes do.
#include "runtime/program/expression/upn_plan.h"

#include <array>
#include <bit>
#include <new>

#include "runtime/program/expression/upn_function_steps.h"
#include "runtime/program/upn_store.h"

upn_plans_t upn_plans;

namespace {

// The step of a code that has one of its own; step_codes for every other code.
constexpr std::array<upn_step_kind, upn_last_opcode + 1> single_steps = [] {
  std::array<upn_step_kind, upn_last_opcode + 1> kinds{};
  kinds.fill(step_codes);
  kinds[upn_jump] = step_label;
  kinds[upn_constant] = step_constant;
  kinds[upn_variable] = step_variable;
  kinds[upn_element] = step_element;
  kinds[upn_jump_true] = step_jump_true;
  kinds[upn_jump_false] = step_jump_false;
  kinds[upn_add] = step_add;
  kinds[upn_subtract] = step_subtract;
  kinds[upn_multiply] = step_multiply;
  kinds[upn_divide] = step_divide;
  kinds[upn_equal] = step_equal;
  kinds[upn_not_equal] = step_not_equal;
  kinds[upn_less] = step_less;
  kinds[upn_greater] = step_greater;
  kinds[upn_less_equal] = step_less_equal;
  kinds[upn_greater_equal] = step_greater_equal;
  kinds[upn_store] = step_store;
  kinds[upn_arg] = step_argument;
  for (int32_t code = 0; code <= upn_last_opcode; ++code)
    switch (function_step_form_of(code)) {
      case function_step_form::none: break;
      case function_step_form::number_one:
      case function_step_form::number_two: kinds[static_cast<size_t>(code)] = step_function; break;
      case function_step_form::text_one:
      case function_step_form::text_two: kinds[static_cast<size_t>(code)] = step_text_function; break;
    }
  return kinds;
}();

upn_step_kind single_step(int32_t code) {
  return static_cast<uint32_t>(code) <= static_cast<uint32_t>(upn_last_opcode) ? single_steps[static_cast<size_t>(code)]
                                                                              : step_codes;
}

bool is_operator_step(upn_step_kind kind) { return kind >= step_add && kind <= step_greater_equal; }

// The step that begins at code i of codes i..last.
upn_step step_at(int32_t i, int32_t last) {
  const auto code = [](int32_t k) { return upn_code.code[static_cast<size_t>(k)]; };
  upn_step step{.kind = single_step(code(i)), .at = i, .codes = 1, .op = code(i)};
  if (i >= last) return step;
  if (step.kind == step_constant && code(i + 1) == upn_arg) {
    // "#k _ARG", the way a subroutine reads its arguments (k = 1..10 is checked as it runs).
    step.kind = step_constant_argument;
    step.codes = 2;
    return step;
  }
  if (step.kind == step_element && code(i + 1) == upn_store) {
    step.kind = step_element_store;
    step.codes = 2;
    return step;
  }
  if (step.kind != step_variable) return step;
  if (code(i + 1) == upn_element) {
    // "&j %a", and "__STO" after it (the statement "a(j) = ...").
    step.kind = step_variable_element;
    step.codes = 2;
    if (i + 2 <= last && code(i + 2) == upn_store) {
      step.stores = true;
      step.codes = 3;
    }
    return step;
  }
  if (code(i + 1) == upn_store) {
    step.kind = step_variable_store;
    step.codes = 2;
    return step;
  }
  // "&a #c op" and "&a &b op", and "&d __STO" after them (the statement "d = a op ...").
  if ((code(i + 1) != upn_constant && code(i + 1) != upn_variable) || i + 2 > last ||
      !is_operator_step(single_step(code(i + 2))))
    return step;
  step.kind = step_variable_operator;
  step.operator_kind = single_step(code(i + 2));
  step.second_is_variable = code(i + 1) == upn_variable;
  step.op = code(i + 2);
  step.codes = 3;
  if (i + 4 <= last && code(i + 3) == upn_variable && code(i + 4) == upn_store) {
    step.stores = true;
    step.codes = 5;
  }
  return step;
}

}  // namespace

void plan_upn(int32_t n) {
  ++upn_plans.generation;
  if (n < 1 || n >= static_cast<int32_t>(upn_code.first.size()) || n >= static_cast<int32_t>(upn_code.last.size()))
    return;
  const int32_t first = upn_code.first[static_cast<size_t>(n)];
  const int32_t last = upn_code.last[static_cast<size_t>(n)];
  if (first < 1 || last >= static_cast<int32_t>(upn_code.code.size()) ||
      last >= static_cast<int32_t>(upn_code.operand.size()))
    return;
  try {
    if (upn_plans.plans.size() <= static_cast<size_t>(n)) upn_plans.plans.resize(static_cast<size_t>(n) + 1);
    upn_plan& plan = upn_plans.plans[static_cast<size_t>(n)];
    const auto begin = static_cast<int32_t>(upn_plans.steps.size());
    plan = upn_plan{.first = first, .last = last, .step_first = begin, .step_end = begin};
    for (int32_t i = first; i <= last;) {
      const upn_step step = step_at(i, last);
      // Codes of the general path one after another make one step.
      if (step.kind == step_codes && plan.step_end > plan.step_first && upn_plans.steps.back().kind == step_codes)
        ++upn_plans.steps.back().codes;
      else
        upn_plans.steps.push_back(step);
      plan.step_end = static_cast<int32_t>(upn_plans.steps.size());
      i += step.codes;
    }
  } catch (const std::bad_alloc&) {
    // Without room for the plan the expression runs on the general path.
    if (static_cast<size_t>(n) < upn_plans.plans.size()) upn_plans.plans[static_cast<size_t>(n)] = upn_plan{};
  }
}

void clear_upn_plans() {
  ++upn_plans.generation;
  std::vector<upn_plan>().swap(upn_plans.plans);
  std::vector<upn_step>().swap(upn_plans.steps);
  std::vector<line_op>().swap(upn_plans.ops);
}
