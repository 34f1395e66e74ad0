// Print and form engine services and form-line formatting (number fields: number_text.h).
// Texts are code page 1252 bytes in std::string, fixed-length and blank-padded where a
// width is given.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/program/number_text.h"

// ---------------------------------------------------------------- form lines and pictures
// Formats `value` by a short picture such as "I5", "F8,2", "F", "LJA:NEIN", "D", "Q", "Z".
// The value is a double so that an integer's exact value (STRING of an integer variable)
// reaches the pictures as well as every float.
// `result` keeps its length (30 when it comes in empty) and is blank on failure. Returns the
// status: 0 on success. Failures are reported (code 0) and leave a blank result; a field wider
// than the result (such as "I40" into 30 characters) is such a failure, never a cut number.
int32_t format_value(std::string& result, double value, std::string_view picture);
// The same into a field of characters: the formatted text (its whole width), then blanks.
int32_t format_value(std::span<char> result, double value, std::string_view picture);
// The same, touching only the field's first `written` characters: the formatted text, then
// blanks up to 30 characters (or the field's end); the rest of the field is left as it was.
int32_t format_value_head(std::span<char> result, double value, std::string_view picture, size_t& written);

struct form_def {
  std::string name = std::string(12, ' ');  // letter, "=", picture (10 characters)
  float value = -9999.0f;                   // the special value, -9999.0 when none
  std::string text = std::string(12, ' ');  // shown when the index value equals `value`
};
struct form_def_table_t {
  std::array<form_def, 50> slots{};
  int32_t count = 0;
  std::array<float, 1000> index_values{};  // read by definition fields, all 0.0 until set
};
extern form_def_table_t form_def_table;

// Forgets every value-format definition (called before each form).
void frm_reset_defs();
// Expands the fields of one form line in place; `flag` false fills every field with dots
// (layout test). The line keeps its length, cutting what a variable-length field pushes past
// its end; with `grows` (a plot-script statement) it grows instead to hold every character the
// fields bring. "$FORM" lines become "$SKIP".
void frm_format_line(std::string& line, bool flag, bool grows = false);
void frm_set_index_value(int32_t k, float value);
void frm_set_index_int(int32_t k, int32_t value);
// Replaces every "&" and the two hex digits after it by the character they give.
void decode_hex_escapes(std::string& text);
// Clears the definitions and the index table (tests).
void form_format_reset();

// ---------------------------------------------------------------- printer output, preview, meta file
// MODE of a print: 0 printer (and every value not listed), 1 preview window, 2 meta file,
// 3 format only, 999 end of the printer job.
inline constexpr int32_t print_mode_printer = 0, print_mode_preview = 1, print_mode_meta = 2,
                         print_mode_format_only = 3, print_mode_end_job = 999, print_mode_one_line = -9999;
// Outputs a finished text file (as a rule the work file of a form) by MODE.
void print_frm(std::string_view file, int32_t mode);
void print_frm_nop();
// Ends the printer job that the program left open (it ended without the job's end): the pages so
// far go to the printer or into the PDF file.  Nothing when no job is open.
void print_finish_job();
// Starts a print job of the runtime (printed forms, plots to the printer) on `context`: in
// automatic mode every job is written to a PDF file, without the print dialog.  False when it
// did not start; a PDF file that could not be written is reported (IOERROR and the error log),
// and so is printing that is not available (the error log).
bool print_start_job(ups& context, std::string_view job_name, bool landscape);
// Ends the job; a PDF file that did not get written whole is reported in the same way.
void print_end_job(ups& context);
// When printing itself is not available (its module cannot be loaded), the error log says
// why; the program goes on without the print.
void report_print_unavailable();
void print_set_meta_name(std::string_view name);
void print_switch_a();
void print_switch_ab();
void print_set_exit_text(std::string_view text);
void print_set_init_text(std::string_view text);
int32_t print_get_preview_window();  // 0 when no preview window was made
int32_t print_get_job_state();       // 0, or -1 when the last printer job did not start
bool print_job_open();               // a printer job of forms is going on
void print_set_font(std::string_view name, int32_t size);
void print_set_job_option(bool landscape);
void print_set_meta_append(bool flag);
struct print_output_view {
  bool switch_a = false, switch_b = false, landscape = false, job_open = false, append = false;
  bool page_start = false;
  std::string font_name;  // trimmed
  int32_t font_size = 10;
  std::string meta_name, init_text, exit_text;  // trimmed
};
print_output_view print_output_info();  // for tests
void print_output_reset();               // ends an open job without output; for tests

// ---------------------------------------------------------------- form print job driver
// Formats the form `name` (".frm", or ".htm" in HTML mode with MODE 2) into the work file and
// hands it to print_frm; `flag` false is the layout test.
void u_gprint(std::string_view name, bool flag, int32_t mode);
void set_print_html(bool flag);
void set_para_typ_flag(bool flag);
int32_t get_print_line_count();
void u_gprint_finish(int32_t mode);  // finishes a job that "$CONT" left open
// A run ends with a printed document still open ("$CONT"): its work file is closed as written
// and kept under the work file's name; nothing is printed from it.
void print_work_files_end();
// The documents left open are given up: a printed one's work file of this run goes with what it
// holds (nothing prints it, and the next job writes a file of its own); an export keeps what it
// wrote into the meta file.
void u_gprint_reset();
// The name of the work file as the next job would take it.
std::string print_work_file_name();
struct print_job_view {
  bool needs_opening = true, html = false, para_typ = false, html_meta = false;
  int32_t line_count = 0;
  std::string work_file;                  // trimmed
  std::vector<std::string> status_texts;  // texts of the current work file's job shown on the message line
};
print_job_view print_job_info();  // for tests
void print_job_reset();           // closes the work file and restores the start state; for tests

// The combo library's record that the print engine reads ("#1" work-file directory, "#16" and
// "#13" go/no-go values), through the combo services; a library or record that cannot be read
// gives a blank text and the value 0, with a line in the warning log and no box.  Tests may
// install their own source.
struct print_combo_entry {
  std::string text;  // 20 characters
  int32_t value = 0;
};
print_combo_entry print_combo_lookup(std::string_view reference);
// A new program starts without the print engine's memory of the records found missing, so
// that it is warned of them once again.
void print_reset_for_load();
void set_print_combo_source(std::function<print_combo_entry(std::string_view reference)> source);
