// The commands floor's operations that the process entry, the tests and the command families share:
// start-up and the main window, the dispatcher and mouse handler, the level stack, and what RUN,
// HELP, SOUND and OUTPUT did last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/program/program.h"
#include "runtime/screen/screen.h"

// ---------------------------------------------------------------- start-up and main window
// The process entry's first argument, converted from UTF-8 to code page 1252 ("" when none).
std::string program_argument(int argc, const char* const* argv);
// The runtime's main routine: runs the program named by the first argument; returns when the
// message loop ends, with the run's exit status.
int qn_main(std::string_view argument);

// What the lead characters of the first argument asked for, and the name that follows them.
struct command_line_t {
  bool debug_window = false;  // leading degree sign
  bool trace_file = false;    // leading dollar sign
  std::string name;           // the rest of the argument as given; may be empty
};
command_line_t read_command_line(std::string_view argument);
// True when the name ends in ".PXB", in any case (names keep the case the user gave them).
bool ends_with_pxb(std::string_view name);
// The program file to load: the name when it ends in ".PXB" (in any case), else the one beside
// the executable (exe_path upper-cased, its part after the last ".EXE" replaced by "PXB").
std::string program_file_name(const std::string& name, std::string_view exe_path);

// Main window set-up of qn_main: colours, pens, handle tables, icon, screen 0, the main window
// with its callbacks and the mouse capture.  Returns the main window handle.
int32_t create_main_window();
int32_t query_close(int32_t code);  // -1 lets the window close, 0 keeps it
void window_notify(int32_t window, int32_t code);
int32_t window_scroll_default(int32_t window, int32_t code, int32_t pos);
void show_loading();
// The main window's title as it shows now, blank-padded to 64 characters ("WinKYR" before the
// window exists).
std::string main_window_title();
void main_window_reset();  // forgets the main window; for tests

// The runtime's command dispatcher and mouse handler, registered with the library.
int32_t qn_control(int32_t command, int32_t param);
// mouse_event has the library's mouse-callback form, so any window can route its mouse to it.
void mouse_event(int32_t& event, qn_point& point, qn_rect& drag, int32_t& window,
                 qn_point& second, int32_t& keystate);
// The words the program's MOUSE function reads: the last event's position and buttons, or the
// MOUSE command's reading in program coordinates.  The command never writes mouse_state, so
// the raw state that the list manager and the mouse polling read stays in window pixels.
extern mouse_state_t mouse_registers;
// Runs a label one call level deeper between paint suppression and repaint, as every
// event does; stops a program end at this boundary.
void run_label(int32_t label);

// ---------------------------------------------------------------- evaluator functions that call services
// Each works on the evaluator's value stack (evaluator.h): one argument each except LSTEL (2),
// SQLINFO (3), SQLVAR (2), SYSVAR (2) and IOERROR (none, pushes).
void eval_COMBO();    // 66
void eval_LSTMGR();   // 67
void eval_LSTEL();    // 68
void eval_SYSVAR();   // 79
void eval_SQLINFO();  // 80
void eval_SQLVAR();   // 81
void eval_IOERROR();  // 82
// The device and program-state functions (codes 15-54 that read the screen, the keyboard, areas
// and levels) and the number/text conversions (69-74); false when the code is not theirs.
bool eval_device_function(int32_t code);
bool eval_convert_function(int32_t code);

// ---------------------------------------------------------------- resets at start-up and RUN
// The labels of the three program timers (one-shot, periodic, window-state) := 0.
void reset_event_labels();
// Level counter := 1; the 20 per-level release counts and saved area counts := 0.
void reset_level_stack();

// ---------------------------------------------------------------- level stack (levels.cpp)
inline constexpr int32_t max_levels = 20;
// The current level, 1..20 ("level", WIN(0)).
int32_t level_pointer();
// The code index of the SUBMEN that opened level k (0 for the base level or outside 1..20).
int32_t level_id(int32_t k);
// Video-stack entries pushed by WINDOW on the current level: +1 on a push, -1 when taken back;
// the pop of the level draws the remaining ones back.
void level_release_add(int32_t delta);
int32_t level_release_count();
// Pushes a level: saves the area table on the area stack and starts the level empty.
// `opened_by` is the code index of the SUBMEN that opens it.
void push_level(int32_t opened_by);
// Pops one level and returns its resume point (0: none).
int32_t pop_level();
// Marks the wait point of the current level (SUBMEN 1).
void set_level_resume(int32_t code_index);

// ---------------------------------------------------------------- RUN, HELP, SOUND, OUTPUT
// The last request HELP made of the help viewer (file and key trimmed); requests counts them.
struct win_help_request {
  std::string file;
  int32_t command = 0;
  std::string key;
  int32_t requests = 0;
};
win_help_request last_win_help();
// The MessageBeep type SOUND plays for the program's sound number.
int32_t sound_beep_type(int32_t n);
// The format area OUTPUT redrew last (0 = none) and whether it used its own frame colours.
int32_t last_format_area_output(bool* own_colours = nullptr);
void run_commands_reset();  // for tests
