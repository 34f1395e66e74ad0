// The loop's knowledge of the code records, found when they are loaded.
#include "runtime/program/expression/code_steps.h"

#include <algorithm>

code_steps_t code_steps;

namespace {
constexpr int32_t call_opcode = 1, return_opcode = 3, expression_opcode = 4, jmp_opcode = 5, jz_opcode = 6,
                  jnz_opcode = 7;
constexpr int32_t option_computed = 0x10;  // CALL: the destination comes from P1
// The longest stretch of records a line loop, or a subroutine it calls, may take: a longer one
// is not looked for.
constexpr size_t max_loop_records = 64;

bool fits_loop(const std::vector<code_record>& codes, size_t last, size_t k) {
  const int32_t opcode = codes[k].opcode;
  return (opcode >= expression_opcode && opcode <= jnz_opcode) ||
         (opcode == call_opcode && line_call_return(codes, last, codes[k]) != 0);
}

// For every jump back to an expression line or CALL over records that are all expression lines, jumps and
// CALLs a loop makes itself: the loop from that line to the jump (the furthest such jump where
// several go back to it).
void find_line_loops(const std::vector<code_record>& codes, size_t last) {
  code_steps.loop_end.assign(last + 1, 0);
  for (size_t m = 1; m <= last; ++m) {
    if (codes[m].opcode < jmp_opcode || codes[m].opcode > jnz_opcode) continue;
    const int32_t target = codes[m].target;
    if (target < 1 || static_cast<size_t>(target) > m || m - static_cast<size_t>(target) >= max_loop_records) continue;
    const size_t head = static_cast<size_t>(target);
    if (codes[head].opcode != expression_opcode && codes[head].opcode != call_opcode) continue;
    bool lines_only = true;
    for (size_t k = head; k < m && lines_only; ++k) lines_only = fits_loop(codes, last, k);
    if (lines_only) code_steps.loop_end[head] = static_cast<int32_t>(m);
  }
}
}  // namespace

int32_t line_call_return(const std::vector<code_record>& codes, size_t last, const code_record& call) {
  if (call.token1 != 0 || call.token2 != 0 || (call.flags & option_computed) != 0 || call.expression < 1) return 0;
  if (call.target < 1 || static_cast<size_t>(call.target) > last) return 0;
  const auto first = static_cast<size_t>(call.target);
  for (size_t k = first; k <= last && k - first < max_loop_records; ++k) {
    if (codes[k].opcode == return_opcode) return static_cast<int32_t>(k);
    if (codes[k].opcode != expression_opcode) return 0;
  }
  return 0;
}

void find_code_steps() {
  const auto& codes = program_image.codes;
  const size_t count = static_cast<size_t>(std::max(program_image.code_count, 0));
  const size_t last = codes.empty() ? 0 : std::min(count, codes.size() - 1);
  code_steps.fetch_limit = static_cast<uint32_t>(last);
  code_steps.paired_jump.assign(last + 1, 0);
  for (size_t k = 1; k < last; ++k) {
    const int32_t next = codes[k + 1].opcode;
    if (codes[k].opcode == expression_opcode && (next == jz_opcode || next == jnz_opcode))
      code_steps.paired_jump[k] = static_cast<uint8_t>(next);
  }
  find_line_loops(codes, last);
  code_steps.codes = codes.data();
  code_steps.records = codes.size();
  code_steps.code_count = program_image.code_count;
}
