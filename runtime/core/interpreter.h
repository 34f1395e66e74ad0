// The command interpreter: runs the loaded program one code record at a time, with call levels
// kept in tables (CALL and RETURN only move the program counter and the depth).
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/program_image.h"

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
  bool end_run = false;       // set by a handler (QUIT, EVENT 9999) to leave the loop
};
extern call_state_t call_state;

// Runs the label one call level deeper; returns when the run ends (the depth back at 0, the
// quit message, a handler's end_run).  A program end is stopped here when no other run is
// under way on the stack; otherwise it goes on to the boundary that started that run.
void interpreter(int32_t label);
// Runs the label at the current level (escape label, popped button level).  At depth 0 it
// runs the label at level 1, so the run ends when the depth returns to 0.
void interpreter_same_level(int32_t label);
// True when every bit of mask is set in the current command's option flags (mask 0: true).
bool flag_mask_test(int32_t mask);
// True while a run is on the stack.
bool interpreter_active();

// The handler of each opcode (0..47).  Tests may put their own handler in place; the previous
// one is returned.  interpreter_reset restores the built-in table.
using command_handler = void (*)(code_record&);
command_handler set_command_handler(int32_t opcode, command_handler handler);

// The single-step hook: runs before a traced command while single stepping.  It writes the ">"
// line and waits for the debugger; it returns false when the quit message arrived during the
// wait, which ends the run.  The debugger installs its own; the default only writes the line.
using single_step_hook = bool (*)(const code_record&);
void set_single_step_hook(single_step_hook hook);

// Back to the start state (call state, handler table, hooks); for tests and the loader.
void interpreter_reset();
