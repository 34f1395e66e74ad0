// The loop's knowledge of the code records, found when they are loaded.
#include "runtime/program/code_steps.h"

#include <algorithm>

code_steps_t code_steps;

void find_code_steps() {
  constexpr int32_t expression_opcode = 4, jz_opcode = 6, jnz_opcode = 7;
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
  code_steps.codes = codes.data();
  code_steps.records = codes.size();
  code_steps.code_count = program_image.code_count;
}
