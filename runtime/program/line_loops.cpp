// Loops of expression lines and jumps run as one list of operations (see line_loops.h).
#include "runtime/program/line_loops.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/program/call_state.h"
#include "runtime/program/code_steps.h"
#include "runtime/program/plan_steps.h"
#include "runtime/program/upn_store.h"

namespace {

constexpr int32_t expression_opcode = 4, jmp_opcode = 5, jz_opcode = 6, jnz_opcode = 7;

enum class op_kind : uint8_t {
  jump,           // JMP, JZ, JNZ: counted, then on to `next` or out of the loop at `target`
  jump_zero,
  jump_not_zero,
  leave,          // past the loop's last record: on at `target`
  constant,       // "#c"
  variable,       // "&a"
  binary,         // "_+" .. ">=" on the two values on the top
  operate,        // "&a #c op", "&a &b op"
  operate_store,  // the same, then "&d __STO"
  store,          // "&a __STO"
  element,        // "%a": the top is the element number
  element_store,  // "%a __STO": the top is the element number, the value below it
  variable_element,        // "&j %a"
  variable_element_store,  // "&j %a __STO": the value on the top
};

// What the run switches on: the kind, and for the binary operators and the "&a x op" steps the
// operation as well, so that one dispatch finds both.
constexpr int32_t operation_count = step_greater_equal - step_add + 1;
constexpr uint8_t binary_code = static_cast<uint8_t>(op_kind::variable_element_store) + 1;
constexpr uint8_t operate_code = binary_code + operation_count;
constexpr uint8_t operate_store_code = operate_code + operation_count;

struct loop_op {
  op_kind kind = op_kind::leave;
  uint8_t code = 0;
  uint8_t operation = step_add;     // binary, operate*: step_add .. step_greater_equal
  bool second_is_variable = false;  // operate*: "&a &b op", else "&a #c op"
  bool logs = false;                // stores: the old word is kept, since a later step of the line can fail
  // The first operation of an expression line (the countdown counts its record) and the last (its
  // result is P1, its registers those of the evaluation).
  bool begins_line = false;
  bool ends_line = false;
  int32_t record = 0;               // jumps, the first operation of a line: the record
  int32_t target = 0;               // jumps, leave: where the program goes on
  int32_t next = -1;                // jumps: the operation the target's record begins at; -1: outside
  uint32_t constant = 0;            // constant, operate* with "#c"
  // The operands in code order: "&a", "%a", "&a __STO": a; "&a x op [&d __STO]": a, b, d;
  // "&j %a": j in a, the array in b.
  resolved_operand a, b, d;
  // The last operation of a line: what the line leaves (an element named by a "%" operand is the
  // last one's).
  bool has_result = false;
  bool stored = false;
  bool element_named = false;  // the registers name the element of the last "%" operand
  bool position_of_element = false;  // its position is `position` plus that element
  int32_t reference = 0;
  int32_t position = 1;
};

struct loop_record {
  int32_t opcode = 0, expression = 0, target = 0;
  bool operator==(const loop_record&) const = default;
};

struct line_loop {
  uint32_t generation = 0;  // the stamp it was made under (0: never)
  const code_record* codes = nullptr;
  int32_t end = 0;
  bool usable = false;
  std::vector<loop_record> records;  // head..end as it was made from them
  std::vector<loop_op> ops;
};

std::vector<line_loop> loops;  // by head record

// The stack of a line as it is made: how deep it is, and what the registers name.
struct line_maker {
  std::vector<loop_op>& ops;
  int32_t depth = 0;
  bool named = false;  // a read or a store named a variable (else the registers keep the offset)
  loop_op end;  // what the line leaves

  bool fits(int32_t pops, int32_t pushes) {
    if (depth < pops || depth - pops + pushes > 16) return false;
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

  // The operations of one plan step; false where the loop cannot do it.
  bool add(const upn_step& step, const uint32_t* word) {
    const auto plain = [](const resolved_operand& o) { return o.word != nullptr; };
    const auto storable = [](const resolved_operand& o) {
      return o.word != nullptr && (o.type == var_integer || o.type == var_real);
    };
    loop_op op;
    switch (step.kind) {
      case step_label: return true;
      case step_constant:
        if (!fits(0, 1)) return false;
        op.kind = op_kind::constant;
        op.constant = word[0];
        break;
      case step_variable:
        if (!plain(step.operands[0]) || !fits(0, 1)) return false;
        op.kind = op_kind::variable;
        op.a = step.operands[0];
        read(op.a, false);
        break;
      case step_add: case step_subtract: case step_multiply: case step_divide: case step_equal:
      case step_not_equal: case step_less: case step_greater: case step_less_equal: case step_greater_equal:
        if (!fits(2, 1)) return false;
        op.kind = op_kind::binary;
        op.operation = step.kind;
        end.reference = 0;
        break;
      case step_variable_operator: {
        op.a = step.operands[0];
        op.b = step.operands[1];
        op.operation = step.operator_kind;
        op.second_is_variable = step.second_is_variable;
        op.constant = word[1];
        if (!plain(op.a) || (op.second_is_variable && !plain(op.b)) || !fits(0, 2) || !fits(2, 1)) return false;
        read(op.second_is_variable ? op.b : op.a, false);
        end.reference = 0;
        op.kind = op_kind::operate;
        if (step.stores) {
          op.d = step.operands[2];
          if (!storable(op.d) || !fits(0, 1) || !fits(2, 0)) return false;
          op.kind = op_kind::operate_store;
          store_into(op.d, false);
        }
        break;
      }
      case step_variable_store:
        op.a = step.operands[0];
        if (!storable(op.a) || !fits(0, 1) || !fits(2, 0)) return false;
        op.kind = op_kind::store;
        store_into(op.a, false);
        break;
      case step_element:
        op.a = step.operands[0];
        if (!plain(op.a) || !fits(1, 1)) return false;
        op.kind = op_kind::element;
        read(op.a, true);
        break;
      case step_element_store:
        op.a = step.operands[0];
        if (!storable(op.a) || !fits(2, 0)) return false;
        op.kind = op_kind::element_store;
        store_into(op.a, true);
        break;
      case step_variable_element:
        op.a = step.operands[0];
        op.b = step.operands[1];
        if (!plain(op.a) || (step.stores ? !storable(op.b) : !plain(op.b)) || !fits(0, 1)) return false;
        if (step.stores) {
          if (!fits(2, 0)) return false;
          op.kind = op_kind::variable_element_store;
          store_into(op.b, true);
        } else {
          op.kind = op_kind::variable_element;
          read(op.b, true);
        }
        break;
      default:
        return false;  // texts, functions, references, jumps inside the expression
    }
    ops.push_back(op);
    return true;
  }
};

bool can_fail(const loop_op& op) {
  switch (op.kind) {
    case op_kind::binary:
    case op_kind::operate: return op.operation == step_divide;
    case op_kind::operate_store:
    case op_kind::store:
    case op_kind::element:
    case op_kind::element_store:
    case op_kind::variable_element:
    case op_kind::variable_element_store: return true;
    default: return false;
  }
}

bool is_store(const loop_op& op) {
  return op.kind == op_kind::operate_store || op.kind == op_kind::store || op.kind == op_kind::element_store ||
         op.kind == op_kind::variable_element_store;
}

// The stores of a line that a later step of it can undo (the undo log's size bounds them).
constexpr int32_t max_logged_stores = 16;

// The operations of expression line `expression`; false where the loop cannot do it.
bool add_line(std::vector<loop_op>& ops, int32_t record, int32_t expression) {
  if (!upn_code.valid_expression(expression)) return false;
  upn_plan* plan = upn_plans.plan(expression, upn_code.first[static_cast<size_t>(expression)],
                                  upn_code.last[static_cast<size_t>(expression)]);
  if (plan == nullptr) return false;
  if (plan->resolved != upn_plans.generation) resolve_plan(*plan);
  const size_t first = ops.size();
  line_maker line{ops};
  const uint32_t* const operands = upn_code.operand.data();
  for (int32_t s = plan->step_first; s < plan->step_end; ++s) {
    const upn_step& step = upn_plans.steps[static_cast<size_t>(s)];
    if (!line.add(step, operands + step.at)) return false;
  }
  // One result at most (the line's count), and registers that a read or store named.
  if (line.depth > 1 || !line.named) return false;
  bool later_can_fail = false;
  int32_t logged = 0;
  for (size_t i = ops.size(); i-- > first;) {
    if (is_store(ops[i]) && later_can_fail) {
      ops[i].logs = true;
      ++logged;
    }
    later_can_fail = later_can_fail || can_fail(ops[i]);
  }
  if (logged > max_logged_stores) return false;
  loop_op& begin = ops[first];
  begin.begins_line = true;
  begin.record = record;
  loop_op& end = ops.back();
  end.ends_line = true;
  end.has_result = line.depth == 1;
  end.stored = line.end.stored;
  end.element_named = line.end.element_named;
  end.position_of_element = line.end.position_of_element;
  end.reference = line.end.reference;
  end.position = line.end.position;
  return true;
}

// Makes the loop from record head to record end under the current stamp.
void make_loop(line_loop& loop, int32_t head, int32_t end) {
  const code_record* const codes = program_image.codes.data();
  loop.generation = upn_plans.generation;
  loop.codes = codes;
  loop.end = end;
  loop.usable = false;
  loop.records.clear();
  loop.ops.clear();
  for (int32_t r = head; r <= end; ++r)
    loop.records.push_back({codes[r].opcode, codes[r].expression, codes[r].target});
  std::vector<int32_t> first_op;  // by record from head
  for (int32_t r = head; r <= end; ++r) {
    const code_record& rec = codes[r];
    first_op.push_back(static_cast<int32_t>(loop.ops.size()));
    if (rec.opcode == expression_opcode) {
      if (!add_line(loop.ops, r, rec.expression)) return;
      continue;
    }
    const op_kind kind = rec.opcode == jmp_opcode  ? op_kind::jump
                         : rec.opcode == jz_opcode ? op_kind::jump_zero
                                                   : op_kind::jump_not_zero;
    loop.ops.push_back({.kind = kind, .record = r, .target = rec.target});
  }
  loop.ops.push_back({.kind = op_kind::leave, .target = end + 1});
  for (loop_op& op : loop.ops) {
    if (op.kind == op_kind::jump || op.kind == op_kind::jump_zero || op.kind == op_kind::jump_not_zero)
      op.next = op.target >= head && op.target <= end ? first_op[static_cast<size_t>(op.target - head)] : -1;
    const auto operation = static_cast<uint8_t>(op.operation - step_add);
    switch (op.kind) {
      case op_kind::binary: op.code = binary_code + operation; break;
      case op_kind::operate: op.code = operate_code + operation; break;
      case op_kind::operate_store: op.code = operate_store_code + operation; break;
      default: op.code = static_cast<uint8_t>(op.kind); break;
    }
  }
  loop.usable = true;
}

// The loop beginning at `head` made under the current stamp from the records as they are now, or
// nullptr where it does not qualify.
line_loop* ready_loop(int32_t head) {
  const int32_t end = code_steps.loop_end[static_cast<size_t>(head)];
  if (loops.size() <= static_cast<size_t>(head)) loops.resize(code_steps.loop_end.size());
  line_loop& loop = loops[static_cast<size_t>(head)];
  bool same = loop.generation == upn_plans.generation && loop.codes == program_image.codes.data() && loop.end == end;
  for (int32_t r = head; same && r <= end; ++r) {
    const code_record& rec = program_image.codes[static_cast<size_t>(r)];
    same = loop.records[static_cast<size_t>(r - head)] == loop_record{rec.opcode, rec.expression, rec.target};
  }
  if (!same) make_loop(loop, head, end);
  return loop.usable ? &loop : nullptr;
}

inline float number_at(const resolved_operand& o, int32_t k) {
  return std::bit_cast<float>(number_word_bits(o.type, o.word[k]));
}

// The second operand of "&a x op": "&b" or "#c".
inline float second_operand(const loop_op& op) {
  return op.second_is_variable ? number_at(op.b, 0) : std::bit_cast<float>(op.constant);
}

// The operations, from the loop's first line on.
bool run_ops(const line_loop& loop) {
  const loop_op* const ops = loop.ops.data();
  std::array<float, 20> stack{};  // stack[1..16] as the slots of a line
  struct undo {
    uint32_t* word;
    uint32_t bits;
  };
  std::array<undo, max_logged_stores> log{};
  int32_t logged = 0;
  int32_t sp = 0;
  int32_t k = 0;  // the element the last "%" operand named
  // The interpreter loop counted the head; its line counts it again here.
  int32_t countdown = qn_pump_countdown + 1;
  const loop_op* done = nullptr;  // the end of the last line run
  int32_t done_element = 0;
  float p1 = 0.0f;  // (the first line sets it)
  int32_t line_record = 0, last_record = 0;
  int32_t go_on = 0;  // the record the program goes on at
  for (const loop_op* op = ops;;) {
    if (op->begins_line) {
      if (countdown <= 1) {  // the pump's turn before this record
        go_on = op->record;
        break;
      }
      --countdown;
      line_record = op->record;
      logged = 0;
      sp = 0;
    }
    switch (op->code) {
      case static_cast<uint8_t>(op_kind::jump):
        if (countdown <= 1) {
          go_on = op->record;
          goto leave;
        }
        --countdown;
        last_record = op->record;
        goto jump_taken;
      case static_cast<uint8_t>(op_kind::jump_zero):
      case static_cast<uint8_t>(op_kind::jump_not_zero):
        if (countdown <= 1) {
          go_on = op->record;
          goto leave;
        }
        --countdown;
        last_record = op->record;
        // NINT(P1) = 0 is |P1| < 0.5 or NaN.
        if (!(std::fabs(p1) >= 0.5f) == (op->kind == op_kind::jump_zero)) goto jump_taken;
        ++op;
        continue;
      case static_cast<uint8_t>(op_kind::leave):
        go_on = op->target;
        goto leave;
      case static_cast<uint8_t>(op_kind::constant):
        stack[static_cast<size_t>(++sp)] = std::bit_cast<float>(op->constant);
        break;
      case static_cast<uint8_t>(op_kind::variable):
        stack[static_cast<size_t>(++sp)] = number_at(op->a, 0);
        break;
#define LINE_LOOP_OPERATION(o)                                                                          \
  case binary_code + (o - step_add): {                                                                \
    float r = 0.0f;                                                                                   \
    if (!numeric_result(o, stack[static_cast<size_t>(sp - 1)], stack[static_cast<size_t>(sp)], r)) goto fail; \
    stack[static_cast<size_t>(--sp)] = r;                                                             \
    break;                                                                                            \
  }                                                                                                   \
  case operate_code + (o - step_add): {                                                               \
    float r = 0.0f;                                                                                   \
    if (!numeric_result(o, number_at(op->a, 0), second_operand(*op), r)) goto fail;                   \
    stack[static_cast<size_t>(++sp)] = r;                                                             \
    break;                                                                                            \
  }                                                                                                   \
  case operate_store_code + (o - step_add): {                                                         \
    float r = 0.0f;                                                                                   \
    uint32_t bits = 0;                                                                                \
    if (!numeric_result(o, number_at(op->a, 0), second_operand(*op), r) ||                            \
        !number_store_bits(op->d.type, r, bits))                                                      \
      goto fail;                                                                                      \
    if (op->logs) log[static_cast<size_t>(logged++)] = {op->d.word, *op->d.word};                     \
    *op->d.word = bits;                                                                               \
    break;                                                                                            \
  }
      LINE_LOOP_OPERATION(step_add)
      LINE_LOOP_OPERATION(step_subtract)
      LINE_LOOP_OPERATION(step_multiply)
      LINE_LOOP_OPERATION(step_divide)
      LINE_LOOP_OPERATION(step_equal)
      LINE_LOOP_OPERATION(step_not_equal)
      LINE_LOOP_OPERATION(step_less)
      LINE_LOOP_OPERATION(step_greater)
      LINE_LOOP_OPERATION(step_less_equal)
      LINE_LOOP_OPERATION(step_greater_equal)
#undef LINE_LOOP_OPERATION
      case static_cast<uint8_t>(op_kind::store): {
        uint32_t bits = 0;
        if (!number_store_bits(op->a.type, stack[static_cast<size_t>(sp)], bits)) goto fail;
        if (op->logs) log[static_cast<size_t>(logged++)] = {op->a.word, *op->a.word};
        *op->a.word = bits;
        --sp;
        break;
      }
      case static_cast<uint8_t>(op_kind::element):
        if (!element_of(op->a, stack[static_cast<size_t>(sp)], k)) goto fail;
        stack[static_cast<size_t>(sp)] = number_at(op->a, k);
        break;
      case static_cast<uint8_t>(op_kind::element_store): {
        uint32_t bits = 0;
        if (!element_of(op->a, stack[static_cast<size_t>(sp)], k) ||
            !number_store_bits(op->a.type, stack[static_cast<size_t>(sp - 1)], bits))
          goto fail;
        if (op->logs) log[static_cast<size_t>(logged++)] = {op->a.word + k, op->a.word[k]};
        op->a.word[k] = bits;
        sp -= 2;
        break;
      }
      case static_cast<uint8_t>(op_kind::variable_element):
        if (!element_of(op->b, number_at(op->a, 0), k)) goto fail;
        stack[static_cast<size_t>(++sp)] = number_at(op->b, k);
        break;
      case static_cast<uint8_t>(op_kind::variable_element_store): {
        uint32_t bits = 0;
        if (!element_of(op->b, number_at(op->a, 0), k) ||
            !number_store_bits(op->b.type, stack[static_cast<size_t>(sp)], bits))
          goto fail;
        if (op->logs) log[static_cast<size_t>(logged++)] = {op->b.word + k, op->b.word[k]};
        op->b.word[k] = bits;
        --sp;
        break;
      }
    }
    if (op->ends_line) {
      done = op;
      done_element = k;
      p1 = op->has_result ? stack[1] : 0.0f;
      last_record = line_record;
    }
    ++op;
    continue;
  jump_taken:
    if (op->next < 0) {
      go_on = op->target;
      break;
    }
    op = ops + op->next;
    continue;
  fail:
    // The line takes none of its effects and is left to the interpreter loop, which counts it.
    while (logged > 0) {
      --logged;
      *log[static_cast<size_t>(logged)].word = log[static_cast<size_t>(logged)].bits;
    }
    ++countdown;
    go_on = line_record;
    break;
  }
leave:
  if (done == nullptr) return false;  // (the countdown is as it was)
  qn_pump_countdown = countdown;
  call_state.pc = go_on;
  call_state.command_flags = program_image.codes[static_cast<size_t>(last_record)].flags;
  end_in_line_evaluation({.has_result = done->has_result,
                          .result = p1,
                          .reference = done->reference,
                          .element = done->element_named ? done_element : 0,
                          .position = done->position + (done->position_of_element ? done_element : 0),
                          .stored = done->stored});
  return true;
}

}  // namespace

bool run_line_loop(int32_t head) {
  line_loop* loop = ready_loop(head);
  if (loop == nullptr || run_flags.single_step_on || !begin_in_line_evaluation()) return false;
  return run_ops(*loop);
}
