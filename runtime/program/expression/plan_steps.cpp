// The resolution of a plan's operands under the current stamp (plan_steps.h): the stage between
// the plan the compiler made and the run of its steps or operations.
#include "runtime/program/expression/plan_steps.h"

#include <bit>

#include "runtime/program/expression/line_ops.h"
#include "runtime/program/upn_store.h"

namespace {

// Variable v as a step's operand: its words, or nothing (word nullptr) where the step must take
// the general path.  `elements`: a "%" operand, whose elements 1..dimension must all lie in the
// numeric space; else element 1 alone.
resolved_operand resolve_operand(const number_stores& stores, int32_t v, bool elements) {
  const variable_record* var = stores.variable(v);
  if (var == nullptr || !is_plain_number(*var)) return {};
  const int64_t count = elements ? var->dimension : 1;
  if (count < 1 || !stores.valid_word(var->start) || int64_t{var->start} + count - 1 > stores.last_word) return {};
  return {.word = &stores.words[static_cast<size_t>(var->start)],
          .variable = v,
          .type = var->type,
          .start = var->start,
          .dimension = elements ? var->dimension : 1};
}

}  // namespace

void resolve_plan(upn_plan& plan) {
  const number_stores stores = number_stores::current();
  const uint32_t* const operands = upn_code.operand.data();
  for (int32_t s = plan.step_first; s < plan.step_end; ++s) {
    upn_step& step = upn_plans.steps[static_cast<size_t>(s)];
    const auto variable = [&](int32_t i) { return std::bit_cast<int32_t>(operands[step.at + i]); };
    step.operands = {};
    switch (step.kind) {
      case step_variable:
      case step_variable_store: step.operands[0] = resolve_operand(stores, variable(0), false); break;
      case step_element:
      case step_element_store: step.operands[0] = resolve_operand(stores, variable(0), true); break;
      case step_variable_element:
        step.operands[0] = resolve_operand(stores, variable(0), false);
        step.operands[1] = resolve_operand(stores, variable(1), true);
        break;
      case step_variable_operator:
        step.operands[0] = resolve_operand(stores, variable(0), false);
        if (step.second_is_variable) step.operands[1] = resolve_operand(stores, variable(1), false);
        if (step.stores) step.operands[2] = resolve_operand(stores, variable(3), false);
        break;
      default: break;
    }
  }
  plan.resolved = upn_plans.generation;
  make_line_ops(plan);
}

