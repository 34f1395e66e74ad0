// The PRINT command: prints form files through the form engine, outputs finished text files,
// ends the printer job and sets the printer's font, orientation, page data and meta-file mode.
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/text_tokens.h"
#include "runtime/output/output.h"

namespace {

constexpr int32_t option_switch_ab = 0x1;
constexpr int32_t option_switch_a = 0x2;
constexpr int32_t option_preview = 0x8;
constexpr int32_t option_direct_file = 0x40;
constexpr int32_t option_meta = 0x80;
constexpr int32_t option_meta_append = 0x100;
constexpr int32_t option_page_data = 0x400;
constexpr int32_t option_end_job = 0x800;
constexpr int32_t option_no_op = 0x4000;
constexpr int32_t option_landscape = 0x8000;
constexpr int32_t option_printer_setup = 0x10000;

bool has_option(const code_record& rec, int32_t option) { return (rec.flags & option) == option; }

std::string trimmed(const std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// What a form name T1 beginning ".H" or ".h" (HTML forms on: 1), or ".F" or ".f" and two blanks
// (off: 0) switches; -1 for a name of a form.
int32_t html_switch(const std::string& t1) {
  if (t1.starts_with(".H") || t1.starts_with(".h")) return 1;
  if (t1.starts_with(".F") || t1.starts_with(".f  ")) return 0;
  return -1;
}

void print_form(const code_record& rec) {
  io_status = 0;  // a form printed: 0 unless the print or its name fails
  const program_text form = token_text(rec.token1);
  const program_text meta = token_text(rec.token2);
  const std::string& t1 = form.text;
  const std::string& t2 = meta.text;
  const bool direct = has_option(rec, option_direct_file);
  // The form (or the finished file) and the meta file are names, whole or refused: a refused
  // command prints nothing and keeps its settings.  The switches name nothing.
  if ((direct || html_switch(t1) < 0) && !whole_or_refused(form)) return;
  const bool meta_named = t2 != t1 && !trimmed(t2).empty();
  if (meta_named && !whole_or_refused(meta)) return;
  int32_t mode = print_mode_printer;
  if (has_option(rec, option_preview)) mode = print_mode_preview;
  if (has_option(rec, option_meta)) mode = print_mode_meta;
  if (has_option(rec, option_switch_ab)) print_switch_ab();
  if (has_option(rec, option_switch_a)) print_switch_a();
  if (meta_named) print_set_meta_name(t2);
  if (direct) {
    print_frm(t1, mode);
    if (mode == print_mode_printer) print_frm(t1, print_mode_end_job);
    return;
  }
  if (const int32_t on = html_switch(t1); on >= 0)
    set_print_html(on == 1);
  else
    u_gprint(t1, true, mode);
}

}  // namespace

void cmd_PRINT(code_record& rec) {
  if (has_option(rec, option_no_op)) {
    evaluate_upn(rec.expression, 2);
  } else if (has_option(rec, option_meta_append)) {
    evaluate_upn(rec.expression, 1);
    print_set_meta_append(param_registers[1] != 0.0f);
  } else if (has_option(rec, option_end_job)) {
    // The job's end and the plot's: 0 where either is open, unless its end fails; a job that
    // did not start keeps its failure, a closed plot window its cancel.
    if (print_job_open() && io_status != plot_window_closed_status) io_status = 0;
    clear_io_status_for_plot_end();
    print_frm("", print_mode_end_job);
    plot(0.0f, 0.0f, 999);
  } else if (has_option(rec, option_printer_setup | option_preview)) {
    evaluate_upn(rec.expression, 1);
    print_set_font(trimmed(get_text_token(rec.token1)), trunc_to_int(param_registers[1]));
  } else if (has_option(rec, option_printer_setup | option_landscape)) {
    evaluate_upn(rec.expression, 1);
    print_set_job_option(param_registers[1] != 0.0f);
  } else if (has_option(rec, option_printer_setup | option_page_data)) {
    evaluate_upn(rec.expression, 4);
    // Centimetres to hundredths of a millimetre; the paper itself is kept.
    SET_PAGE_DATA(nullptr, {.margin_left = trunc_to_int(param_registers[1] * 1000.0f),
                            .margin_top = trunc_to_int(param_registers[2] * 1000.0f),
                            .margin_right = trunc_to_int(param_registers[3] * 1000.0f),
                            .margin_bottom = trunc_to_int(param_registers[4] * 1000.0f)});
  } else if (has_option(rec, option_printer_setup)) {
    int32_t flags = 0;
    int status = 0;
    page_setup_dialog(flags, main_window(), false, &status);
    report_print_unavailable();
  } else {
    print_form(rec);
  }
}
