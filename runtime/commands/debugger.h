// The single-step debugger: the fetch-loop hook that stops before each traced command, the keys
// the command dispatcher hands on, and the one-line command editor of the "DBGVAR" window.
// It shares the trace channel's switches and windows (trace.cpp); the entries of that block that
// only the debugger uses are declared here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/program/program_image.h"

// ---------------------------------------------------------------- the debugger's entries
// The key entry: 0 prints the help lines (and installs the step hook), -1 leaves single step, 8 Backspace, 13 Enter (runs
// the command line), 27 Escape (clears it), any other value is a character typed into the line.
// Does nothing while the DEBUG window is not open.
void single_step(int32_t key);

// The hook the interpreter runs before a traced command while single stepping: writes ">" and
// the command text, then waits for Space, Ctrl or the end of single step.  False when the quit
// message arrived during the wait (the run ends).
bool debugger_step_hook(const code_record& rec);
// Puts debugger_step_hook in the interpreter's place; single_step(0) does it whenever single
// step is switched on.
void debugger_install();
// The command line back to "_" with the cursor at 1 (tracing switched on by the keyboard).
void debugger_reset_input();

// Keys from the command dispatcher.  The dispatcher keeps run_flags.modifier_ctrl and
// modifier_shift up to date first.  Each returns true when the debugger took the key, so the
// dispatcher does nothing more with it (no hot key, no field input, not held back).
//  - key down (virtual-key code): Ctrl + 0xDC toggles tracing (idle or busy, once a MESS debug
//    switch allowed debugging); Ctrl + "1" toggles single step while idle and tracing (switching
//    it off returns false, so a hot key on Ctrl + "1" still runs); while idle and single
//    stepping, Space releases a waiting command and every other key is swallowed.
//  - character: while single stepping, Space releases a waiting command, every other character
//    goes to single_step.
bool debugger_key_down(int32_t virtual_key);
bool debugger_char(int32_t character);

// What the debugger holds, for tests.
struct debugger_view {
  std::string command_line;  // 128 characters: the typed text and the cursor mark "_"
  int32_t cursor = 1;        // 1..64
  std::string variable;      // 16 characters: the variable shown last
  std::vector<std::string> watch_list;  // 32 characters each, in the order added
};
debugger_view debugger_info();
// Back to the start state ("_", cursor 1, "i$", no watched names); trace_reset calls it.
void debugger_reset();

// ---------------------------------------------------------------- trace channel, debugger side
int32_t trace_mode();
std::string_view trace_line_text();  // the 512-character line written last
void set_trace_mode(int32_t mode);  // the "dump" command toggles between 0 and 1
int32_t dbgvar_window();            // 0 when not open
// Creates the DBGVAR window in the lower left quarter of the screen when it is not open.
void dbgvar_open();
// True while the DBGVAR window is open; a window the user closed is dropped and window tracing
// switched off.
bool dbgvar_alive();
// One line, trailing blanks removed, into the DBGVAR or the DEBUG window (nothing when closed).
void dbgvar_write(std::string_view text);
void debug_window_write(std::string_view text);
// The free-format renderings of the trace lines: a blank, the label, then the number
// right-aligned in its field.
std::string free_format_integer(std::string_view label, int32_t n);
std::string free_format_real(std::string_view label, float x);
