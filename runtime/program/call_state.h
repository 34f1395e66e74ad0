// Where the program stands: the program counter, the call depth with each level's return point
// and its ten arguments, and the flags a command handler leaves for the interpreter loop.  The
// loader sets the start, ARG reads and writes the argument frames, the interpreter moves the rest.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int32_t max_call_depth = 20;

struct call_state_t {
  int32_t pc = 1;     // 1-based index of the next code record to fetch
  int32_t depth = 0;  // 0 while no run is active, 1 for a label run, +1 per CALL; at most 20
  std::array<int32_t, max_call_depth + 1> saved_pc{};  // where the level of each depth resumes
  // Ten arguments per level: arg_frame[depth][i - 1] is ARG(i) of that level (index 0 unused).
  std::array<std::array<float, 10>, max_call_depth + 1> arg_frame{};
  int32_t base_depth = 0;     // depth at which the current invocation started (for traces)
  int32_t command_flags = 0;  // option flag mask of the command being executed
  int32_t command_error = 0;  // set by a handler: its command is reported after it
  bool chain_flag = false;    // set by RUN with option 1: the loop restarts at record 1
  bool end_run = false;       // set by a handler (SUBMEN, an abandoning EVENT) to leave the loop
};
extern call_state_t call_state;
