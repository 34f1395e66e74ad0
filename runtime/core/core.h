// The runtime core's operations and state words that the other subsystems use.
// Family headers (interpreter.h, program_image.h, file_units.h, ...) hold the details;
// this header is what screen, print, plot and SQL code includes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------- program end
// Thrown by the routines that end the program (report_error and friends) and caught at the
// entry of the run that started the interpreter; it never crosses a Qt callback.
struct program_end {
  int32_t code = 0;
};

// ---------------------------------------------------------------- errors and logs
// Central reporter: log line in "PXBERROR.LOG", box, go on or end the program by the code.
void report_error(std::string_view message, int32_t code);
void fatal_error(std::string_view text);
void warning_log(std::string_view text);
void set_no_box_flag(bool flag);

// ---------------------------------------------------------------- trace channel and dump log
void trace_msg(std::string_view text);
void trace_str(std::string_view label, std::string_view text);
void trace_int(std::string_view label, int32_t value);
void trace_int2(std::string_view label, int32_t a, int32_t b);
void trace_int3(std::string_view label, int32_t a, int32_t b, int32_t c);
void trace_real(std::string_view label, float value);
void dump_log(std::string_view text);
void dump_log_restart(bool on);

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
  bool quit_seen = false;  // the Ctrl-C flag
  bool trace_on = false;
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
};
extern screen_metrics_t screen_metrics;

// Whole numbers from program values: nearest integer, halves away from zero, clamped.
int32_t nint(float value);
// Store into an integer: truncation toward zero, clamped (NaN gives 0).
int32_t trunc_to_int(float value);

// ---------------------------------------------------------------- case conversion
void upcase_string(char* text, int32_t length);
void lowcase_string(char* text, int32_t length);
void lowcase_fast(char* text, int32_t length);

// ---------------------------------------------------------------- program variables by name
// A reference is a variable name, optionally with an element index "NAME(3)" or a substring
// "NAME[a:b]".  Bad references are reported through report_error.
int32_t get_int_variable(std::string_view reference);
float get_real_variable(std::string_view reference);
void set_int_variable(std::string_view reference, int32_t value);
void set_real_variable(std::string_view reference, float value);
void set_string_variable(std::string_view reference, std::string_view text);
// Type of the named variable (1 integer, 3 real, 4 text, 5 date text, 7 pointer), 0 when none.
int32_t variable_type_by_name(std::string_view name);
void parse_substring_format(std::string& out, std::string_view reference);
void split_argument(std::string& text);
