// Makes a plan's operations from its steps (see line_ops.h).
#include "runtime/program/expression/line_ops.h"

#include <algorithm>
#include <new>
#include <vector>

#include "runtime/program/upn_store.h"

namespace {

// The stack depth at which the operations stay: far below the slots the plan's steps may use.
constexpr int32_t max_depth = 16;

// An expression's operations as they are made: the stack's depth, and what the registers name.
struct line_maker {
  std::vector<line_op> ops;
  int32_t depth = 0;
  bool named = false;  // a read or a store named a variable (else the registers keep the offset)
  line_op_end end;     // what the expression leaves

  bool fits(int32_t pops, int32_t pushes) {
    if (depth < pops || depth - pops + pushes > max_depth) return false;
    depth += pushes - pops;
    return true;
  }
  void read(const resolved_operand& a, bool element) {
    named = true;
    end.reference = a.variable;
    end.element_named = element;
    end.position = a.start;
    end.position_of_element = element;
  }
  void store_into(const resolved_operand& a, bool element) {
    named = true;
    end.reference = a.variable;
    end.element_named = element;
    end.position = 1;
    end.position_of_element = false;
    end.stored = true;
  }
  // ARG(k) names the argument; the element and the offset stay as they were.
  void argument(int32_t k) {
    end.reference = -k;
    end.position = 1;
    end.position_of_element = false;
  }

  // The operation of one plan step; false where it does not qualify.
  bool add(const upn_step& step, const uint32_t* word) {
    const auto plain = [](const resolved_operand& o) { return o.word != nullptr; };
    const auto storable = [](const resolved_operand& o) {
      return o.word != nullptr && (o.type == var_integer || o.type == var_real);
    };
    line_op op;
    switch (step.kind) {
      case step_label: return true;
      case step_constant:
        if (!fits(0, 1)) return false;
        op.kind = line_op_kind::constant;
        op.constant = word[0];
        break;
      case step_variable:
        if (!plain(step.operands[0]) || !fits(0, 1)) return false;
        op.kind = line_op_kind::variable;
        op.a = step.operands[0];
        read(op.a, false);
        break;
      case step_constant_argument: {
        int32_t k = 0;
        if (!whole_number(std::bit_cast<float>(word[0]), k) || k < 1 || k > 10 || !fits(0, 1)) return false;
        op.kind = line_op_kind::constant_argument;
        op.constant = static_cast<uint32_t>(k);
        argument(k);
        break;
      }
      case step_add: case step_subtract: case step_multiply: case step_divide: case step_equal:
      case step_not_equal: case step_less: case step_greater: case step_less_equal: case step_greater_equal:
        if (!fits(2, 1)) return false;
        op.kind = line_op_kind::binary;
        op.operation = step.kind;
        end.reference = 0;
        break;
      case step_variable_operator:
        op.a = step.operands[0];
        op.b = step.operands[1];
        op.operation = step.operator_kind;
        op.second_is_variable = step.second_is_variable;
        op.constant = word[1];
        if (!plain(op.a) || (op.second_is_variable && !plain(op.b)) || !fits(0, 2) || !fits(2, 1)) return false;
        read(op.second_is_variable ? op.b : op.a, false);
        end.reference = 0;
        op.kind = line_op_kind::operate;
        if (step.stores) {
          op.d = step.operands[2];
          if (!storable(op.d) || !fits(0, 1) || !fits(2, 0)) return false;
          op.kind = line_op_kind::operate_store;
          store_into(op.d, false);
        }
        break;
      case step_variable_store:
        op.a = step.operands[0];
        if (!storable(op.a) || !fits(0, 1) || !fits(2, 0)) return false;
        op.kind = line_op_kind::store;
        store_into(op.a, false);
        break;
      case step_element:
        op.a = step.operands[0];
        if (!plain(op.a) || !fits(1, 1)) return false;
        op.kind = line_op_kind::element;
        read(op.a, true);
        break;
      case step_element_store:
        op.a = step.operands[0];
        if (!storable(op.a) || !fits(2, 0)) return false;
        op.kind = line_op_kind::element_store;
        store_into(op.a, true);
        break;
      case step_variable_element:
        op.index = step.operands[0];
        op.array = step.operands[1];
        if (!plain(op.index) || (step.stores ? !storable(op.array) : !plain(op.array)) || !fits(0, 1)) return false;
        op.integer_index = op.index.type == var_integer && op.array.dimension <= 1 << 24;
        if (step.stores) {
          if (!fits(2, 0)) return false;
          op.kind = line_op_kind::variable_element_store;
          store_into(op.array, true);
        } else {
          op.kind = line_op_kind::variable_element;
          read(op.array, true);
        }
        break;
      case step_function: {
        // The numeric functions; one of two arguments clears the reference, one of one keeps it.
        const bool one = is_numeric_one(step.op);
        if (!(one ? fits(1, 1) : is_numeric_two(step.op) && fits(2, 1))) return false;
        op.kind = line_op_kind::function;
        op.constant = static_cast<uint32_t>(step.op);
        if (!one) end.reference = 0;
        break;
      }
      case step_argument:
        // k comes from the stack: the registers name -k, known only when it runs.
      default:
        return false;  // texts, text functions, references, jumps inside the expression
    }
    ops.push_back(op);
    return true;
  }
};

bool can_fail(const line_op& op) {
  switch (op.kind) {
    case line_op_kind::binary:
    case line_op_kind::operate: return op.operation == step_divide;
    case line_op_kind::operate_store:
    case line_op_kind::store:
    case line_op_kind::element:
    case line_op_kind::element_store:
    case line_op_kind::variable_element:
    case line_op_kind::variable_element_store:
    case line_op_kind::operate_element_store:
    case line_op_kind::element_operate:
    case line_op_kind::element_operate_store:
    case line_op_kind::binary_store: return true;
    default: return false;
  }
}

bool is_store(const line_op& op) {
  switch (op.kind) {
    case line_op_kind::operate_store:
    case line_op_kind::store:
    case line_op_kind::element_store:
    case line_op_kind::variable_element_store:
    case line_op_kind::operate_element_store:
    case line_op_kind::element_operate_store:
    case line_op_kind::binary_store: return true;
    default: return false;
  }
}

// Neighbours that one operation does: "&a x op" and "&j %b __STO"; "&a", "&j %b" and "op", with
// "&d __STO" after them; an operator and the "&d __STO" after it.  The stack between them is the
// operation's own, and what the line leaves is the last operation's: nothing else sees the
// difference.
std::vector<line_op> fused(const std::vector<line_op>& ops) {
  std::vector<line_op> out;
  const auto kind_at = [&](size_t i) { return i < ops.size() ? ops[i].kind : line_op_kind::constant; };
  for (size_t i = 0; i < ops.size(); ++i) {
    line_op op = ops[i];
    if (op.kind == line_op_kind::operate && kind_at(i + 1) == line_op_kind::variable_element_store) {
      const line_op& store = ops[++i];
      op.kind = line_op_kind::operate_element_store;
      op.index = store.index;
      op.array = store.array;
      op.integer_index = store.integer_index;
    } else if (op.kind == line_op_kind::variable && kind_at(i + 1) == line_op_kind::variable_element &&
               kind_at(i + 2) == line_op_kind::binary) {
      const line_op& element = ops[i + 1];
      op.kind = line_op_kind::element_operate;
      op.index = element.index;
      op.array = element.array;
      op.integer_index = element.integer_index;
      op.operation = ops[i + 2].operation;
      i += 2;
      if (kind_at(i + 1) == line_op_kind::store) {
        op.kind = line_op_kind::element_operate_store;
        op.d = ops[++i].a;
      }
    } else if (op.kind == line_op_kind::binary && kind_at(i + 1) == line_op_kind::store) {
      op.kind = line_op_kind::binary_store;
      op.d = ops[++i].a;
    }
    out.push_back(op);
  }
  return out;
}

// True where every variable operand of an operation with an operation (other than binary) is an
// integer variable.
bool integers_only(const line_op& op) {
  const auto integer = [](const resolved_operand& o) { return o.type == var_integer; };
  const bool second = !op.second_is_variable || integer(op.b);
  switch (op.kind) {
    case line_op_kind::operate: return integer(op.a) && second;
    case line_op_kind::operate_store: return integer(op.a) && second && integer(op.d);
    case line_op_kind::operate_element_store: return integer(op.a) && second && integer(op.array);
    case line_op_kind::element_operate: return integer(op.a) && integer(op.array);
    case line_op_kind::element_operate_store: return integer(op.a) && integer(op.array) && integer(op.d);
    default: return false;
  }
}

uint8_t dispatch_code(const line_op& op) {
  const auto operation =
      static_cast<uint8_t>(op.operation - step_add + (integers_only(op) ? line_operation_count : 0));
  switch (op.kind) {
    case line_op_kind::binary: return line_binary_code + operation;
    case line_op_kind::binary_store: return line_binary_store_code + operation;
    case line_op_kind::operate: return line_operate_code + operation;
    case line_op_kind::operate_store: return line_operate_store_code + operation;
    case line_op_kind::operate_element_store: return line_operate_element_store_code + operation;
    case line_op_kind::element_operate: return line_element_operate_code + operation;
    case line_op_kind::element_operate_store: return line_element_operate_store_code + operation;
    case line_op_kind::function: return static_cast<uint8_t>(line_function_code + (op.constant - upn_chs));
    default: return static_cast<uint8_t>(op.kind);
  }
}

// The operations of a plan, or none where a step does not qualify.
bool make_ops(const upn_plan& plan, line_maker& line) {
  const uint32_t* const operands = upn_code.operand.data();
  for (int32_t s = plan.step_first; s < plan.step_end; ++s) {
    const upn_step& step = upn_plans.steps[static_cast<size_t>(s)];
    if (!line.add(step, operands + step.at)) return false;
  }
  // Registers that a read or store named (the offset then is 0).
  if (!line.named || line.ops.empty()) return false;
  line.ops = fused(line.ops);
  bool later_can_fail = false;
  int32_t logged = 0;
  for (size_t i = line.ops.size(); i-- > 0;) {
    line_op& op = line.ops[i];
    if (is_store(op) && later_can_fail) {
      op.logs = true;
      ++logged;
    }
    later_can_fail = later_can_fail || can_fail(op);
    op.code = dispatch_code(op);
  }
  if (logged > line_ops_detail::max_logged_stores) return false;
  line_op& last = line.ops.back();
  last.ends_line = true;
  line.end.results = line.depth;
  last.end = line.end;
  return true;
}

}  // namespace

void make_line_ops(upn_plan& plan) {
  plan.op_count = 0;
  line_maker line;
  if (!make_ops(plan, line)) return;
  const auto count = static_cast<int32_t>(line.ops.size());
  std::vector<line_op>& ops = upn_plans.ops;
  if (plan.op_room < count) {
    // (A plan makes as many operations under every stamp; the room is taken once.)
    try {
      ops.resize(ops.size() + static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
      return;  // without room the plan runs its steps
    }
    plan.op_first = static_cast<int32_t>(ops.size()) - count;
    plan.op_room = count;
  }
  std::copy(line.ops.begin(), line.ops.end(), ops.begin() + plan.op_first);
  plan.op_count = count;
}
