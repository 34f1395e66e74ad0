// The command interpreter: runs the loaded program one code record at a time, with call levels
// kept in tables (CALL and RETURN only move the program counter and the depth).
#pragma once

#include <array>
#include <cstdint>

#include "runtime/program/call_state.h"
#include "runtime/program/program_image.h"


// Runs the label one call level deeper; returns when the run ends (the depth back at 0, the
// quit message, a handler's end_run).  A program end is stopped here when no other run is
// under way on the stack; otherwise it goes on to the boundary that started that run.
void interpreter(int32_t label);
// Runs the label at the current level (escape label, popped button level).  At depth 0 it
// runs the label at level 1, so the run ends when the depth returns to 0.
void interpreter_same_level(int32_t label);
// True when every bit of mask is set in the current command's option flags (mask 0: true).
inline bool flag_mask_test(int32_t mask) { return (call_state.command_flags & mask) == mask; }
// True while a run is on the stack.
bool interpreter_active();
// Ends the current run for good after the command: its call levels are taken back, so that no
// later RETURN comes back into it.
void abandon_run();

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
