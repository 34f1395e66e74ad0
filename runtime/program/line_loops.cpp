// Loops of expression lines and jumps run as one list of operations (see line_loops.h).
#include "runtime/program/line_loops.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/program/call_state.h"
#include "runtime/program/code_steps.h"
#include "runtime/program/line_ops.h"
#include "runtime/program/upn_store.h"

namespace {

constexpr int32_t expression_opcode = 4, jmp_opcode = 5, jz_opcode = 6;

// One record of a loop.
enum class entry_kind : uint8_t {
  line,           // an expression line: the operations of its plan
  jump,           // JMP, JZ, JNZ: on to `next`, or out of the loop at `target`
  jump_zero,
  jump_not_zero,
  leave,          // past the loop's last record: on at `target`
};

struct loop_entry {
  entry_kind kind = entry_kind::leave;
  int32_t record = 0;
  int32_t target = 0;   // jumps, leave: where the program goes on
  int32_t next = -1;    // jumps: the entry of the target's record; -1: outside the loop
  int32_t op_first = 0;  // line: its operations in upn_plans.ops, up to op_last
  int32_t op_last = 0;
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
  std::vector<loop_entry> entries;   // by record from head, then leave
};

std::vector<line_loop> loops;  // by head record

// The entry of expression line `expression`: its plan's operations under the current stamp; false
// where the plan has none or leaves more than the one result of a line.
bool line_entry(int32_t expression, loop_entry& entry) {
  if (!upn_code.valid_expression(expression)) return false;
  upn_plan* plan = upn_plans.plan(expression, upn_code.first[static_cast<size_t>(expression)],
                                  upn_code.last[static_cast<size_t>(expression)]);
  if (plan == nullptr) return false;
  if (plan->resolved != upn_plans.generation) resolve_plan(*plan);
  if (plan->op_count == 0 || upn_plans.ops[static_cast<size_t>(plan->op_first + plan->op_count - 1)].results > 1)
    return false;
  entry.op_first = plan->op_first;
  entry.op_last = plan->op_first + plan->op_count - 1;
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
  loop.entries.clear();
  for (int32_t r = head; r <= end; ++r) loop.records.push_back({codes[r].opcode, codes[r].expression, codes[r].target});
  for (int32_t r = head; r <= end; ++r) {
    const code_record& rec = codes[r];
    loop_entry entry{.record = r, .target = rec.target};
    if (rec.opcode == expression_opcode) {
      entry.kind = entry_kind::line;
      if (!line_entry(rec.expression, entry)) return;
    } else {
      entry.kind = rec.opcode == jmp_opcode  ? entry_kind::jump
                   : rec.opcode == jz_opcode ? entry_kind::jump_zero
                                             : entry_kind::jump_not_zero;
      entry.next = rec.target >= head && rec.target <= end ? rec.target - head : -1;
    }
    loop.entries.push_back(entry);
  }
  loop.entries.push_back({.kind = entry_kind::leave, .target = end + 1});
  loop.usable = true;
}

// The loop beginning at `head` made under the current stamp from the records as they are now, or
// nullptr where it does not qualify.
line_loop* ready_loop(int32_t head) {
  const int32_t end = code_steps.loop_end[static_cast<size_t>(head)];
  if (loops.size() <= static_cast<size_t>(head)) loops.resize(code_steps.loop_end.size());
  line_loop& loop = loops[static_cast<size_t>(head)];
  bool same = loop.generation == upn_plans.generation && loop.codes == program_image.codes.data() && loop.end == end;
  // A loop that does not qualify under this stamp is not looked at again until the stamp moves
  // (its head is fetched every round).
  if (same && !loop.usable) return nullptr;
  for (int32_t r = head; same && r <= end; ++r) {
    const code_record& rec = program_image.codes[static_cast<size_t>(r)];
    same = loop.records[static_cast<size_t>(r - head)] == loop_record{rec.opcode, rec.expression, rec.target};
  }
  if (!same) make_loop(loop, head, end);
  return loop.usable ? &loop : nullptr;
}

// The loop's records from its first line on.
bool run_entries(const line_loop& loop) {
  const line_op* const ops = upn_plans.ops.data();
  const loop_entry* const entries = loop.entries.data();
  line_stack st;
  // The interpreter loop counted the head; its line counts it again here.
  int32_t countdown = qn_pump_countdown + 1;
  const line_op* done = nullptr;  // the last operation of the last line run
  int32_t done_element = 0;
  float p1 = 0.0f;  // what the last line left in slot 1
  int32_t last_record = 0;
  int32_t go_on = 0;  // the record the program goes on at
  for (const loop_entry* e = entries;;) {
    if (e->kind == entry_kind::leave) {
      go_on = e->target;
      break;
    }
    // The pump's turn before this record.
    if (countdown <= 1) {
      go_on = e->record;
      break;
    }
    --countdown;
    if (e->kind == entry_kind::line) {
      if (!run_line_ops(ops + e->op_first, st)) {
        // The line took none of its effects: the interpreter loop counts it and runs it.
        ++countdown;
        go_on = e->record;
        break;
      }
      done = ops + e->op_last;
      done_element = st.element;
      p1 = done->results != 0 ? st.values[1] : 0.0f;
      last_record = e->record;
      ++e;
      continue;
    }
    last_record = e->record;
    // NINT(P1) = 0 is |P1| < 0.5 or NaN.
    if (e->kind != entry_kind::jump && !(std::fabs(p1) >= 0.5f) != (e->kind == entry_kind::jump_zero)) {
      ++e;
      continue;
    }
    if (e->next < 0) {
      go_on = e->target;
      break;
    }
    e = entries + e->next;
  }
  if (done == nullptr) return false;  // (the countdown is as it was)
  qn_pump_countdown = countdown;
  call_state.pc = go_on;
  call_state.command_flags = program_image.codes[static_cast<size_t>(last_record)].flags;
  // The stack and the element as the last line left them.
  st.element = done_element;
  st.values[1] = p1;
  end_in_line_evaluation(line_ops_end(*done, st));
  return true;
}

}  // namespace

bool run_line_loop(int32_t head) {
  line_loop* loop = ready_loop(head);
  if (loop == nullptr || run_flags.single_step_on || !begin_in_line_evaluation()) return false;
  return run_entries(*loop);
}
