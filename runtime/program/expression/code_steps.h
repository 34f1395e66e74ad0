// What the interpreter loop knows about the code records of the program in the image, found
// once when the program is loaded or chained.  The records themselves stay as they were read:
// the debugger, DUMP and the trace show them.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/program/program_image.h"

struct code_steps_t {
  // The records the loop may fetch are 1..fetch_limit: the code count, but never beyond the
  // records there are.
  uint32_t fetch_limit = 0;
  // By record: where record k is an expression line and record k + 1 a JZ or JNZ, the opcode of
  // that jump, else 0.  The loop runs such a pair as one step; it still compares the jump
  // record's opcode with this before it does.
  std::vector<uint8_t> paired_jump;
  // By record: where record k is an expression line or a CALL that begins a loop made only of expression
  // lines, jumps and CALLs of subroutines made only of expression lines (line_loops.h), the loop's
  // last record, a jump back to k; else 0.
  std::vector<int32_t> loop_end;
  // The records all this was found in.
  const code_record* codes = nullptr;
  size_t records = 0;
  int32_t code_count = 0;

  // Whether it was found in the records now in the image.
  bool fit() const {
    return codes == program_image.codes.data() && records == program_image.codes.size() &&
           code_count == program_image.code_count;
  }
};
extern code_steps_t code_steps;

// Where `call` (a CALL record) is one that a loop of lines makes itself, the record of the RETURN
// that ends the subroutine it calls, else 0: it passes no texts, its destination is not computed,
// its arguments are an expression, and the subroutine is expression lines up to a RETURN.
// `last`: the last record there is.
int32_t line_call_return(const std::vector<code_record>& codes, size_t last, const code_record& call);

// Finds code_steps for the records now in the image: after every load and reset of the image,
// and where records were written some other way (the interpreter checks fit() when a run
// starts).
void find_code_steps();
