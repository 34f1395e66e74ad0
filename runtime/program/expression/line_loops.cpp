// Loops of expression lines and jumps run as one list of operations (see line_loops.h).
#include "runtime/program/expression/line_loops.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/program/call_state.h"
#include "runtime/program/expression/code_steps.h"
#include "runtime/program/expression/line_ops.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

namespace {

constexpr int32_t call_opcode = 1, expression_opcode = 4, jmp_opcode = 5, jz_opcode = 6;

// One record of a loop, or of a subroutine it calls.
enum class entry_kind : uint8_t {
  line,           // an expression line: the operations of its plan
  jump,           // JMP, JZ, JNZ: on to `next`, or out of the loop at `target`
  jump_zero,
  jump_not_zero,
  call,           // CALL: its arguments' operations, then on to the subroutine's first entry (`next`)
  back,           // the subroutine's RETURN: on to the entry after the CALL
  leave,          // past the loop's last record: on at `target`
};

struct loop_entry {
  entry_kind kind = entry_kind::leave;
  bool jump_after = false;  // line: the next entry is the jump on the record after it
  bool has_result = false;  // line, call: it leaves P1 (else P1 is 0)
  int32_t record = 0;
  int32_t target = 0;    // jumps, leave: where the program goes on
  int32_t next = -1;     // while it is made: jumps: the entry of the target; call: the subroutine's
  int32_t op_first = 0;  // line, call: the operations of its expression in upn_plans.ops, up to op_last
  int32_t op_last = 0;
  const line_op* first_op = nullptr;  // the same in the operations as the loop was made with them
  const line_op* last_op = nullptr;
  // Jumps: the entry after it where NINT(P1) is 0, and where it is not (a leave entry where the
  // jump leaves the loop); call: the subroutine's first entry in `to_zero`.
  const loop_entry* to_zero = nullptr;
  const loop_entry* to_nonzero = nullptr;
};

// The fields of a record that its entry was made from.
struct loop_record {
  int32_t at = 0, opcode = 0, expression = 0, target = 0, token1 = 0, token2 = 0, flags = 0;
  bool operator==(const loop_record&) const = default;
};
loop_record record_at(int32_t at) {
  const code_record& rec = program_image.codes[static_cast<size_t>(at)];
  return {at, rec.opcode, rec.expression, rec.target, rec.token1, rec.token2, rec.flags};
}

struct line_loop {
  uint32_t generation = 0;  // the stamp it was made under (0: never)
  const code_record* codes = nullptr;
  const line_op* ops = nullptr;  // upn_plans.ops as it was made (their room can move under a stamp)
  int32_t end = 0;
  bool usable = false;
  std::vector<loop_record> records;  // the records it was made from, as they were
  // By record from head to end, then leave, then the subroutines' records.
  std::vector<loop_entry> entries;
};

std::vector<line_loop> loops;  // by head record

// The operations of expression `expression` under the current stamp into `entry`; false where the
// plan has none or leaves more than `results` results.
bool expression_entry(int32_t expression, int32_t results, loop_entry& entry) {
  if (!upn_code.valid_expression(expression)) return false;
  upn_plan* plan = upn_plans.plan(expression, upn_code.first[static_cast<size_t>(expression)],
                                  upn_code.last[static_cast<size_t>(expression)]);
  if (plan == nullptr) return false;
  if (plan->resolved != upn_plans.generation) resolve_plan(*plan);
  if (plan->op_count == 0 || upn_plans.ops[static_cast<size_t>(plan->op_first + plan->op_count - 1)].end.results > results)
    return false;
  entry.op_first = plan->op_first;
  entry.op_last = plan->op_first + plan->op_count - 1;
  entry.has_result = upn_plans.ops[static_cast<size_t>(entry.op_last)].end.results != 0;
  return true;
}

// The entry of record r, a line, jump or CALL of the loop head..end; false where it does not qualify.
bool record_entry(int32_t r, int32_t head, int32_t end, loop_entry& entry) {
  const code_record& rec = program_image.codes[static_cast<size_t>(r)];
  entry = {.record = r, .target = rec.target};
  switch (rec.opcode) {
    case expression_opcode:
      entry.kind = entry_kind::line;
      return expression_entry(rec.expression, 1, entry);
    case call_opcode:
      // (Its arguments become ARG(1..10).)
      entry.kind = entry_kind::call;
      return expression_entry(rec.expression, 10, entry);
    default:
      entry.kind = rec.opcode == jmp_opcode  ? entry_kind::jump
                   : rec.opcode == jz_opcode ? entry_kind::jump_zero
                                             : entry_kind::jump_not_zero;
      entry.next = rec.target >= head && rec.target <= end ? rec.target - head : -1;
      return true;
  }
}

// The ways on from each jump and CALL as entries: a jump out of the loop goes to a leave entry
// of its own (added here), after which the entries do not move.
void link_entries(std::vector<loop_entry>& entries) {
  const size_t count = entries.size();
  for (size_t i = 0; i < count; ++i) {
    loop_entry& e = entries[i];
    const bool jump = e.kind == entry_kind::jump || e.kind == entry_kind::jump_zero || e.kind == entry_kind::jump_not_zero;
    if (jump && e.next < 0) {
      e.next = static_cast<int32_t>(entries.size());
      entries.push_back({.kind = entry_kind::leave, .target = e.target});
    }
  }
  // (The entry after the loop's last record, a jump back, is the loop's leave entry.)
  for (size_t i = 0; i < count; ++i) {
    loop_entry& e = entries[i];
    const loop_entry* target = e.next < 0 ? nullptr : &entries[static_cast<size_t>(e.next)];
    switch (e.kind) {
      case entry_kind::jump: e.to_zero = e.to_nonzero = target; break;
      case entry_kind::jump_zero: e.to_zero = target; e.to_nonzero = &e + 1; break;
      case entry_kind::jump_not_zero: e.to_zero = &e + 1; e.to_nonzero = target; break;
      case entry_kind::call: e.to_zero = target; break;
      default: break;
    }
  }
}

// Makes the loop from record head to record end under the current stamp.
void make_loop(line_loop& loop, int32_t head, int32_t end) {
  loop.generation = upn_plans.generation;
  loop.codes = program_image.codes.data();
  loop.end = end;
  loop.usable = false;
  loop.records.clear();
  loop.entries.clear();
  for (int32_t r = head; r <= end; ++r) {
    loop_entry entry;
    if (!record_entry(r, head, end, entry)) return;
    loop.entries.push_back(entry);
  }
  loop.entries.push_back({.kind = entry_kind::leave, .target = end + 1});
  for (size_t i = 0; i + 1 < loop.entries.size(); ++i) {
    const entry_kind next = loop.entries[i + 1].kind;
    loop.entries[i].jump_after = loop.entries[i].kind == entry_kind::line &&
                                 (next == entry_kind::jump || next == entry_kind::jump_zero ||
                                  next == entry_kind::jump_not_zero);
  }
  for (int32_t r = head; r <= end; ++r) loop.records.push_back(record_at(r));
  // The subroutines the CALLs go to, each once: their lines, then their RETURN.
  const size_t last = code_steps.loop_end.size() - 1;
  for (int32_t r = head; r <= end; ++r) {
    loop_entry& call = loop.entries[static_cast<size_t>(r - head)];
    if (call.kind != entry_kind::call) continue;
    const int32_t back = line_call_return(program_image.codes, last, program_image.codes[static_cast<size_t>(r)]);
    if (back == 0) return;
    const auto first = static_cast<int32_t>(loop.entries.size());
    for (int32_t k = call.target; k < back; ++k) {
      loop_entry line;
      if (!record_entry(k, head, end, line)) return;
      loop.entries.push_back(line);
      loop.records.push_back(record_at(k));
    }
    loop.entries.push_back({.kind = entry_kind::back, .record = back});
    loop.records.push_back(record_at(back));
    loop.entries[static_cast<size_t>(r - head)].next = first;
  }
  link_entries(loop.entries);
  // (Every plan the loop uses is resolved by now: the operations stay where they are until the
  // room of another plan's is taken.)
  loop.ops = upn_plans.ops.data();
  for (loop_entry& e : loop.entries) {
    if (e.kind != entry_kind::line && e.kind != entry_kind::call) continue;
    e.first_op = loop.ops + e.op_first;
    e.last_op = loop.ops + e.op_last;
  }
  loop.usable = true;
}

// The loop beginning at `head` made under the current stamp from the records as they are now, or
// nullptr where it does not qualify.
line_loop* ready_loop(int32_t head) {
  const int32_t end = code_steps.loop_end[static_cast<size_t>(head)];
  if (loops.size() <= static_cast<size_t>(head)) loops.resize(code_steps.loop_end.size());
  line_loop& loop = loops[static_cast<size_t>(head)];
  bool same = loop.generation == upn_plans.generation && loop.codes == program_image.codes.data() &&
              loop.end == end && loop.ops == upn_plans.ops.data();
  // A loop that does not qualify under this stamp is not looked at again until the stamp moves
  // (its head is fetched every round).
  if (same && !loop.usable) return nullptr;
  for (size_t i = 0; same && i < loop.records.size(); ++i) same = loop.records[i] == record_at(loop.records[i].at);
  if (!same) make_loop(loop, head, end);
  return loop.usable ? &loop : nullptr;
}

// The entry after jump entry `j` with P1 as it is (NINT(P1) = 0 is |P1| < 0.5 or NaN).
inline const loop_entry* after_jump(const loop_entry* j, float p1) {
  return std::fabs(p1) >= 0.5f ? j->to_nonzero : j->to_zero;
}

// The loop's records from its first line on.
bool run_entries(const line_loop& loop) {
  // A line runs on one stack while the other keeps what the last evaluation left (a line leaves
  // at most P1; the arguments of a CALL up to P10): a line that cannot run in line leaves it as
  // it was.
  std::array<line_stack, 2> stacks;
  line_stack* st = &stacks[0];
  line_stack* done_stack = &stacks[1];
  // The interpreter loop counted the head; its line counts it again here.
  int32_t countdown = qn_pump_countdown + 1;
  const loop_entry* done = nullptr;        // the last line or CALL run
  const loop_entry* last = nullptr;        // the last command run
  const loop_entry* after_call = nullptr;  // where the subroutine's RETURN goes on
  const auto p1 = [&] { return done->has_result ? done_stack->values[1] : 0.0f; };
  // %1 and %2 are blank since a CALL of this run blanked them: nothing in the loop writes them,
  // and only the pump's look could run code that does.
  bool texts_blank = false;
  int32_t go_on = 0;  // the record the program goes on at
  for (const loop_entry* e = loop.entries.data();;) {
    if (e->kind == entry_kind::leave) {
      go_on = e->target;
      break;
    }
    // The pump's turn before this record: where it would find nothing to do, its look sets the
    // countdown again and the loop goes on (the look counts as the record's, as in the interpreter
    // loop); else the interpreter loop pumps.
    if (countdown <= 1) {
      if (!qn_pump_idle()) {
        go_on = e->record;
        break;
      }
      countdown = qn_pump_countdown + 1;
      texts_blank = false;
    }
    --countdown;
    if (e->kind == entry_kind::line) [[likely]] {
      if (!run_line_ops(e->first_op, *st)) {
        // It took none of its effects: the interpreter loop counts it and runs it.
        ++countdown;
        go_on = e->record;
        break;
      }
      std::swap(st, done_stack);
      done = last = e;
      // The jump after the line as part of its step, where the countdown has room for it.
      if (!e->jump_after || countdown <= 1) {
        ++e;
        continue;
      }
      --countdown;
      last = ++e;
      e = after_jump(e, p1());
      continue;
    }
    if (e->kind == entry_kind::call) {
      // A level beyond the last is the CALL's own report; it and its arguments' failures are
      // left to the interpreter loop, as a line's.
      if (call_state.depth >= max_call_depth || !run_line_ops(e->first_op, *st)) {
        ++countdown;
        go_on = e->record;
        break;
      }
      std::swap(st, done_stack);
      done = last = e;
      // As the CALL does it: the texts %1 and %2 blank, the results P1..P10 the arguments of
      // the new level (0 beyond the results), and the RETURN back to the record after it.
      if (!texts_blank) {
        set_percent1_text({});
        set_percent2_text({});
        texts_blank = true;
      }
      ++call_state.depth;
      std::array<float, 10>& frame = call_state.arg_frame[static_cast<size_t>(call_state.depth)];
      frame.fill(0.0f);
      const int32_t results = e->last_op->end.results;
      for (int32_t i = 0; i < results; ++i) frame[static_cast<size_t>(i)] = done_stack->values[static_cast<size_t>(i + 1)];
      call_state.saved_pc[static_cast<size_t>(call_state.depth)] = e->record + 1;
      after_call = e + 1;
      e = e->to_zero;
      continue;
    }
    last = e;
    if (e->kind == entry_kind::back) {
      --call_state.depth;
      e = after_call;
    } else {
      e = after_jump(e, p1());
    }
  }
  if (done == nullptr) return false;  // (the countdown is as it was)
  qn_pump_countdown = countdown;
  call_state.pc = go_on;
  call_state.command_flags = program_image.codes[static_cast<size_t>(last->record)].flags;
  // The stack and the element as the last evaluation left them.
  end_in_line_evaluation(line_ops_end(*done->last_op, *done_stack));
  return true;
}

}  // namespace

bool run_line_loop(int32_t head) {
  line_loop* loop = ready_loop(head);
  if (loop == nullptr || run_flags.single_step_on || !begin_in_line_evaluation()) return false;
  return run_entries(*loop);
}
