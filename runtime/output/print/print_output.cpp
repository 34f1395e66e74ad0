// Output stage of the print engine: a finished text file goes to the printer, into the preview
// window "Druck-Vorschau" or as a copy into the meta file.  The printer job stays open across
// files (each file starts a new page) until MODE 999 ends it, so that several prints make one
// document.
#include <algorithm>
#include <optional>
#include <string>

#include "quillon/api/quillon.h"
#include "quillon/api/save_file.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/program/names.h"
#include "runtime/output/print/print.h"

namespace {

constexpr size_t line_length = 160;
constexpr char form_feed = '\f';
constexpr int32_t default_font_points = 10;
const std::string margin(6, ' ');

struct print_output_state {
  bool switch_a = false, switch_b = false;
  bool landscape = false;
  bool job_open = false;
  bool append = false;
  int32_t preview_window = 0;
  bool page_start = false;
  std::string font_name = "Courier New";
  int32_t font_size = default_font_points;
  std::string meta_name;
  std::string init_text, exit_text;
  int32_t job_state = 0;
  ups context{};
  int32_t page_lines = 0;  // lines written on the current printer page
  std::string file_name;
};
print_output_state po;

std::string trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string cut(std::string_view text, size_t length) { return std::string(text.substr(0, std::min(text.size(), length))); }

bool is_page_break(const std::string& line) { return !line.empty() && line[0] == form_feed; }

// Opens the file for reading on a free unit; 0 when it does not open.
// The file to print opened for reading; 0 when it cannot be, its status then in IOERROR (a
// missing file, 1009), so that a print of nothing does not read as one that went out.
int32_t open_for_reading(std::string_view name) {
  const int32_t unit = get_free_unit();
  if (const int32_t status = unit_open(unit, trimmed(name), {.status = "OLD", .action = "READ"}); status != 0) {
    io_status = status;
    return 0;
  }
  return unit;
}

void select_printer_font() {
  if (po.font_name.empty()) return;
  int status = 0;
  NEW_FONT(po.context, {.face = po.font_name, .points = static_cast<float>(po.font_size), .status = &status});
  trace_str_int("print font " + po.font_name, "size/status", po.font_size);
  trace_int("print font status", status);
}

void next_printer_page() {
  NEXT_PRINT_PAGE(po.context);
  po.page_lines = 0;
}

// One line at the context's text position, which then moves down by the font's line height.
// A line that would reach below the printable area goes to the top of a new page, so that a
// form longer than a page goes on over as many pages as it needs.
void write_printer_line(const std::string& text) {
  const int32_t height = GET_TEXT_METRICS(&po.context).height;
  const int32_t bottom = GET_RECT({.u = &po.context}).bottom;
  if (po.page_lines > 0 && int64_t(po.page_lines + 1) * height > bottom) {
    trace_msg("printing next page");
    next_printer_page();
    select_printer_font();
  }
  WRITE_TEXT(po.context, text);
  ++po.page_lines;
}

// MODE 0 and every other value: the printer.
void print_on_printer() {
  if (po.switch_a) {
    const int32_t go = print_combo_lookup(po.switch_b ? "#13" : "#16").value;
    if (go == 0) {
      po.switch_a = po.switch_b = false;
      return;
    }
  }
  trace_msg("print on printer");
  // The file first: one that cannot be read prints no page (IOERROR tells why), in a job of
  // its own or on a new page of the job that is open.
  trace_str("open print file", po.file_name);
  const int32_t unit = open_for_reading(po.file_name);
  if (unit == 0) {
    trace_msg("print file done");
    return;
  }
  if (!po.job_open) {
    trace_msg("starting print job");
    po.job_open = print_start_job(po.context, "Druckausgabe", po.landscape);
    po.page_lines = 0;
  } else {
    trace_msg("next print page");
    next_printer_page();
  }
  if (!po.job_open) {
    po.job_state = -1;
    unit_close(unit);
    trace_msg("print file done");
    return;
  }
  select_printer_font();
  std::string line;
  while (unit_read_line(unit, line) == 0) {
    line = cut(line, line_length);
    if (is_page_break(line)) {
      if (!po.page_start) {
        trace_msg("printing next page");
        next_printer_page();
        select_printer_font();
      }
      continue;
    }
    po.page_start = false;
    std::string text = trimmed(line);
    if (text.empty()) text.assign(1, ' ');
    write_printer_line(text);
  }
  unit_close(unit);
  trace_msg("print file done");
}

// MODE 1: the scrolling preview window; new text goes below what it already shows.
void print_preview() {
  trace_msg("preview printing");
  if (trimmed(po.file_name).empty()) return;
  const int32_t unit = open_for_reading(po.file_name);
  trace_int("ok IOSTAT=", unit == 0 ? io_status : 0);
  if (unit == 0) {
    trace_msg("gprint return");
    return;
  }
  if (!is_valid_window(po.preview_window)) {
    trace_msg("gprint create outputwindow");
    po.preview_window = CREATE_WINDOW({.title = "Druck-Vorschau", .window_flags = 0x6800});
    po.page_start = true;
    io_status = 0;
  }
  trace_msg("gprint output loop...");
  auto write = [](const std::string& text) {
    WRITE_SCROLL_LINE(po.preview_window, trimmed(text), false);
    po.page_start = false;
  };
  std::string line;
  while (unit_read_line(unit, line) == 0) {
    line = cut(line, line_length);
    if (is_page_break(line)) {
      if (!po.page_start) write(" ");
      write("                      < neue Seite >");
      write(" ");
      write("");
    } else {
      write(cut(margin + line, line_length));
    }
  }
  unit_close(unit);
  write(std::string(80, '_'));
  write(" ");
  trace_msg("gprint return");
}

// MODE 2: a copy into the meta file; the first copy replaces its content, later ones append.
void print_meta_copy() {
  // Whole, or refused with nothing written: a cut name would replace another file.
  const std::optional<std::string> meta = whole_name(name_variable("META_FILE"));
  if (!meta) return;
  po.meta_name = *meta;
  const int32_t in = get_free_unit();
  trace_str("u_gprint 4 open", po.file_name);
  if (unit_open(in, trimmed(po.file_name), {.status = "OLD", .action = "READ"}) != 0) return;
  // The first copy replaces the meta file as a whole: written aside, it takes the old file's
  // place only when complete.  Later copies append to it.
  const bool replace = !po.append;
  const int32_t out = replace ? 0 : get_free_unit();
  save_file whole;
  const int32_t opened = po.meta_name.empty() ? 1
                         : replace            ? whole.open(host_path(po.meta_name))
                                              : unit_open(out, po.meta_name, {.access = "APPEND", .action = "WRITE"});
  po.append = true;
  po.page_start = true;
  if (opened == 0) {
    io_status = 0;
    bool raw = false, written = false;
    std::string line;
    while (unit_read_line(in, line) == 0) {
      line = cut(line, line_length);
      if (!written && line.starts_with("*RAW*")) {
        raw = true;
        continue;
      }
      if (!written && line.starts_with("<htm")) raw = true;
      if (is_page_break(line)) {
        if (raw) line[0] = ' ';
      } else if (!raw) {
        line = margin + line;
      }
      po.page_start = false;
      if (replace) {
        whole.write(trimmed(line));
        whole.put('\n');
      } else if (unit_write_line(out, trimmed(line)) != 0) {
        break;
      }
      written = true;
    }
    // A line that could not be written, or the last buffered ones failing at the close, is
    // the copy's outcome for IOERROR and the error log.
    const int32_t closed = replace ? whole.commit() : unit_close(out);
    if (closed != 0 && replace) report_write_failure(po.meta_name, closed, whole.reason());
    if (closed != 0 && !replace) report_write_failure(po.meta_name, closed);
  } else if (!po.meta_name.empty()) {
    // A missing folder, a file the user may not write.
    if (replace) report_write_failure(po.meta_name, opened, whole.reason());
    else report_write_failure(po.meta_name, opened);
  }
  unit_close(in);
}

}  // namespace

void print_frm(std::string_view file, int32_t mode) {
  po.job_state = 0;
  if (mode == print_mode_format_only) return;
  if (mode == print_mode_end_job) {
    trace_msg("close print job");
    if (po.job_open) {
      print_end_job(po.context);
      po.job_open = false;
    }
    trace_msg("end print job");
    return;
  }
  po.file_name = std::string(file);
  if (mode == print_mode_preview)
    print_preview();
  else if (mode == print_mode_meta)
    print_meta_copy();
  else
    print_on_printer();
}

void print_frm_nop() {}

void print_finish_job() {
  if (po.job_open) print_frm("", print_mode_end_job);
}

namespace {
// A job's PDF file that could not be written goes to IOERROR and the error log like every
// failed write; a job the user cancelled is no failure.  A write that a termination signal broke
// off (a pipe that nobody reads) is none either: the signal ends the run.
void report_print_file_failure() {
  end_run_if_signalled();
  if (const int32_t code = qn_print_output_error(); code != 0)
    report_write_failure(qn_print_output_file(), code, qn_print_output_reason());
}
}  // namespace

void report_print_unavailable() {
  if (const std::string problem = qn_print_problem(); !problem.empty()) warning_log("cannot print: " + problem);
}

bool print_start_job(ups& context, std::string_view job_name, bool landscape) {
  int status = 0;
  const int32_t flags = run_flags.auto_mode ? QN_PRINT_TO_FILE : 0;
  const bool started =
      START_PRINT(context, {.flags = flags, .job_name = job_name, .landscape = landscape, .status = &status});
  if (!started) {
    report_print_unavailable();
    report_print_file_failure();
  }
  return started;
}

void print_end_job(ups& context) {
  int status = 0;
  END_PRINT(context, &status);
  if (status != 0) report_print_file_failure();
}
void print_set_meta_name(std::string_view name) { po.meta_name = trimmed(name); }
void print_switch_a() {
  po.switch_a = true;
  po.switch_b = false;
}
void print_switch_ab() {
  po.switch_a = true;
  po.switch_b = true;
}
void print_set_exit_text(std::string_view text) { po.exit_text = trimmed(cut(text, 160)); }
void print_set_init_text(std::string_view text) { po.init_text = trimmed(cut(text, 160)); }
int32_t print_get_preview_window() { return po.preview_window; }
int32_t print_get_job_state() { return po.job_state; }
bool print_job_open() { return po.job_open; }
void print_set_font(std::string_view name, int32_t size) {
  po.font_name = trimmed(cut(name, 32));
  // No size (0) or one that cannot be printed takes the default size.
  po.font_size = size < 1 ? default_font_points : size;
}
void print_set_job_option(bool landscape) { po.landscape = landscape; }
void print_set_meta_append(bool flag) { po.append = flag; }

print_output_view print_output_info() {
  return {po.switch_a, po.switch_b, po.landscape, po.job_open, po.append, po.page_start,
          po.font_name, po.font_size, po.meta_name, po.init_text, po.exit_text};
}

void print_output_reset() {
  if (po.job_open) END_PRINT(po.context);
  po = print_output_state{};
}
