// The program floor's operations and state words that every floor above it uses: program end,
// errors and logs, trace, the shared switches and handle tables, texts, variables by name, loading.
// Family headers (program_image.h, evaluator.h, file_units.h, ...) hold the details.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillon/api/quillon.h"

// ---------------------------------------------------------------- program end
// Thrown by the routines that end the program (report_error and friends) and caught at the
// entry of the run that started the interpreter; it never crosses a Qt callback.
struct program_end {
  int32_t code = 0;
};
// A switch the interpreter has to look at before the next command: the program's end, the
// Ctrl-C flag and the trace.  The loop tests one word per command, the pump's countdown
// (quillon.h); turning a switch on runs that countdown out and holds it so until the loop has
// looked, so that its next look at the countdown also sees the switch.  Reads and writes like a
// bool.
class attention_flag {
 public:
  constexpr attention_flag() = default;
  attention_flag(const attention_flag&) = default;
  attention_flag& operator=(const attention_flag& other) { return *this = other.on_; }
  attention_flag& operator=(bool on) {
    on_ = on;
    if (on) qn_hold_attention();
    return *this;
  }
  operator bool() const { return on_; }

 private:
  bool on_ = false;
};

// True once the program has been ended; every later entry of the interpreter returns at once.
extern attention_flag program_ended;
inline bool program_has_ended() { return program_ended; }
// Runs `body` and stops a program_end at this boundary: for callbacks of the windowing library
// that may reach report_error.  Returns false when the program ended inside.
template <class F>
bool run_guarded(F&& body) {
  try {
    body();
    return true;
  } catch (const program_end&) {
    return false;
  }
}

// ---------------------------------------------------------------- errors and logs
// Central reporter: log line in "PXBERROR.LOG", box, go on or end the program by the code.
void report_error(std::string_view message, int32_t code);
void fatal_error(std::string_view text);
void warning_log(std::string_view text);
void set_no_box_flag(bool flag);
// The 20-character header of an error: "KYR-ERROR " and the code in 5 columns ("*****" when
// it does not fit); the caption of the box and the head of the log line.
std::string error_header(int32_t code);
// Clears the error reporter's state (the ended flag); for tests.
void errors_reset();
// Ends the run on a termination signal (SIGTERM, SIGHUP, SIGINT) as the window closed with Yes
// ends it: everything it holds open is ended (open_things.h), the window closes, the run unwinds;
// the exit status becomes 128 + the signal's number.  Called from the event loop, never from
// the signal handler.
[[noreturn]] void end_run_by_signal(int signal);
// Ends the run as the program's QUIT (or EVENT 9999) asks, by the same road: everything it holds
// open is ended, the window closes without the question, the run unwinds, and no label runs
// after it; inside a box or dialog (the close question too) the end waits until it has returned.
// The exit status stays that of a normal end.
[[noreturn]] void end_run_by_quit();
// The steps after the run waited in a box or dialog (the library calls them once the outermost
// nested loop has returned): an end that came while it waited is carried out now, and the run
// unwinds from here.
void end_after_waiting();
// After a call that blocks (a command the run waits for, a pause, a server, a pipe), whose wait
// a termination signal ends: the run ends by that signal, as above, and the line after the
// call never runs.  Nothing happens where no signal has come.  The error reporter looks first
// as well, so that a failure the signal broke off is not reported as the program's.
void end_run_if_signalled();

// ---------------------------------------------------------------- exit status
// Exit statuses of a run: 0 for a normal end (QUIT, the window closed); the library's own
// statuses are in quillon.h.
inline constexpr int exit_error_end = 1;   // the error reporter ended the run
inline constexpr int exit_not_loaded = 2;  // the program (or one chained to) could not be loaded
inline constexpr int exit_signal_base = 128;  // plus the number of the signal that ended the run
// The status the run has earned so far: a run of which a line of a FILE unit did not reach its
// file (at a write, the unit's close or the run's end) ends with exit_error_end where it would
// have ended with 0.
int run_exit_status();
void note_lines_lost();
// The program's end came while it was being loaded.
void note_load_failure();


// ---------------------------------------------------------------- trace channel and dump log
void trace_msg(std::string_view text);
void trace_str(std::string_view label, std::string_view text);
void trace_int(std::string_view label, int32_t value);
void trace_int2(std::string_view label, int32_t a, int32_t b);
void trace_int3(std::string_view label, int32_t a, int32_t b, int32_t c);
void trace_real(std::string_view label, float value);
void trace_str_int(std::string_view label, std::string_view text, int32_t n);
void trace_app(std::string_view label, int32_t a, int32_t b, int32_t c, int32_t d);
void debug_open();
void debug_close();
void debug_show(int32_t n);
void debug_mode(int32_t n);
void debug_to_file();
int32_t debug_window();  // handle of the DEBUG window, 0 when none
void trace_reset();      // all switches back to their start values; for tests
void dump_log(std::string_view text);
void dump_log_restart(bool on);

// ---------------------------------------------------------------- application hooks
void init_application();
void exit_application();
void u_app(int32_t& a, int32_t& b, int32_t& c, int32_t& d);
void no_hook(int32_t list, int32_t row);
// A key for the open combo drop-down: it goes into combo_key when that waits (-1), otherwise it
// waits its turn behind the key held there.
void combo_key_catch(int32_t key);
// The drop-down has dealt with combo_key: the next waiting key takes its place, or -1.
void combo_key_next();
// Sets combo_key (-1 when a drop-down opens, 0 when it closes) and drops waiting keys.
void combo_keys_set(int32_t word);
extern int32_t combo_key;  // -1 while a combo drop-down waits for a key, 0 while none is open

// ---------------------------------------------------------------- shared state words
// Logical switches of the runtime (true = -1 in the program's terms; bools here).
struct run_flags_t {
  bool busy = false;
  bool modal = false;
  bool focus_lost = false;
  bool field_input = false;
  bool list_input = false;
  bool list_row_edit = false;
  bool list_mouse_active = false;
  bool list_cell_input = false;
  bool bar_suppress = false;
  bool combo_open = false;
  bool pending_periodic = false;
  attention_flag quit_seen;  // the Ctrl-C flag
  attention_flag trace_on;
  bool single_step_on = false;
  bool step_released = false;
  bool debug_allowed = false;
  bool ask_on_close = true;
  bool dump_off = true;
  bool auto_mode = false;
  bool no_box = false;
  int32_t modifier_ctrl = 0;   // 1 while Ctrl is down
  int32_t modifier_shift = 0;  // 0x20 while Shift is down
};
extern run_flags_t run_flags;

extern int32_t io_status;            // status of the last file, process, list, plot or SQL operation
extern uint32_t colour_table[257];   // 0x00BBGGRR by colour number

struct screen_metrics_t {
  int32_t width = 640, height = 480;
  int32_t menu_bar_height = 0;
  int32_t bottom_margin = 0;
  // The rows of the screen that the window shows: the menu bar takes its rows off the window's
  // inside, and the screen's row 0 is the first row under the bar.
  int32_t client_height() const { return height - menu_bar_height; }
};
extern screen_metrics_t screen_metrics;

// The colour numbers of the standard colours and the numbers of the two dotted pens.
struct colour_numbers_t {
  int32_t black = 0, dark_blue = 1, dark_green = 2, cyan = 3, red = 4, magenta = 5, orange = 6,
          light_grey = 7, grey = 8, blue = 9, green = 10, light_cyan = 11, light_red = 12,
          light_magenta = 13, yellow = 14, white = 15, cream = 16, dark_olive = 17;
  int32_t pen_dotted_black = 18, pen_dotted_red = 19;
};
extern colour_numbers_t colour_numbers;

// Handles of the program's windows, icons and bitmaps (entry 0: main window, program icon,
// bitmap of screen 0); the other two tables are kept for the windowing library's use.
struct handle_tables_t {
  int32_t windows[21] = {};
  int32_t table2[21] = {};
  int32_t table3[21] = {};
  int32_t icons[21] = {};
  int32_t bitmaps[21] = {};
};
extern handle_tables_t handle_tables;

// The main window: created by the start-up, read by every floor that puts up a window of its own.
int32_t main_window();         // the main window handle, 0 before it is created
void set_main_window(int32_t window);

// Reseeds the generator of RND from two seed words, by the rules of SYSVAR "seed".
void seed_random(uint32_t first_word, uint32_t second_word);

// Whole numbers from program values: nearest integer, halves away from zero, clamped.
int32_t nint(float value);
// Store into an integer: truncation toward zero, clamped (NaN gives 0).
int32_t trunc_to_int(float value);
// A number (from a database column or a by-name store) as a program value: the nearest integer
// (halves away from zero) clamped to the int32 range, or a real clamped to the float range; NaN
// gives 0.
int32_t nearest_int32(double value);
float float_in_range(double value);

// ---------------------------------------------------------------- blank-padded texts
// The text without its trailing blanks (a view into the same characters).
inline std::string_view blank_trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}
// A file name as a blank-padded field of at least `width` characters.  A longer name is kept
// whole, never cut: a cut name would open (or replace) another file.
inline std::string file_name_field(std::string_view name, size_t width) {
  std::string field(name);
  if (field.size() < width) field.resize(width, ' ');
  return field;
}

// ---------------------------------------------------------------- case and code page
void upcase_string(char* text, int32_t length);
void lowcase_string(char* text, int32_t length);
void lowcase_fast(char* text, int32_t length);
// DOS code-page umlauts to code page 1252, in place, up to the last non-blank character.
void convert_umlauts(char* text, int32_t length);
void convert_umlauts(std::string& text);

// ---------------------------------------------------------------- program variables by name
// A reference is a variable name, optionally with an element index "NAME(3)" or a substring
// "NAME[a:b]".  Bad references are reported through report_error.
// The numeric accessors read and write by the variable's type: an integer (or pointer) element
// gives and takes whole numbers (a value stored into it becomes its nearest whole number), a
// real element reals.  A variable that holds no number (a text) is refused ("Variablen-Typ" for
// a read, "Zuweisung zu nicht R/I" for a write) and nothing is written.
int32_t get_int_variable(std::string_view reference);
float get_real_variable(std::string_view reference);
void set_int_variable(std::string_view reference, int32_t value);
void set_real_variable(std::string_view reference, float value);
void set_number_variable(std::string_view reference, double value);
void set_string_variable(std::string_view reference, std::string_view text);
// Type of the named variable (1 integer, 3 real, 4 text, 5 date text, 7 pointer), 0 when none.
int32_t variable_type_by_name(std::string_view name);
// The text of the named text variable, blank-padded to 132 characters and whole when longer;
// "NAME[a:b]" takes characters a to b (at most 132).
void parse_substring_format(std::string& out, std::string_view reference);
void split_argument(std::string& text);

// ---------------------------------------------------------------- program loading
// Loads the named PXB program (name blank-padded or trimmed) into the program image; ends the
// program through report_error when the file is missing or broken.
void load_program(std::string_view name);
// Replaces the running program by another PXB file (RUN with option 1, after the command has
// cleared the video stack and run init_common): frees and zeroes every store of the old
// program and loads the new file.  The interpreter then restarts at code record 1.
void chain_program(std::string_view name);

