// The device layer: the plot workstation block, the small entries that name the plot file,
// switch plotting to a caller's drawing context and report device, file and output window,
// and the plot-file writer that counts every byte it writes (the PDF frame takes its object
// offsets from that count).  Opening the workstation (COMPS) is in workstation_open.cpp.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "quillon/api/save_file.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

plot_state_t plot_state;

namespace {

std::string program_dir_override;

// The open plot file; plot_state.plot_handle is 1 while it is open.
struct plot_file_t {
  save_file out;
  std::string name;      // as the program named it, for the error log
  std::string absolute;  // the host path made absolute, to know a reader's file
  bool failure_reported = false;
};
plot_file_t plot_file;

// A failure of the file goes to io_status (again at every step, so that the plot's end still
// shows it) and, the first time, to the error log.
void note_failure() {
  if (plot_file.out.error() == 0) return;
  if (plot_file.failure_reported) {
    io_status = plot_file.out.error();
    return;
  }
  plot_file.failure_reported = true;
  report_write_failure(plot_file.name, plot_file.out.error(), plot_file.out.reason());
}

// The path with its folders' links resolved, to compare two names of one file.
std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? path : p.string();
}

// A reader of this program asks for the file by its name: the bytes so far go to its name.  The
// flush of every file before the run waits for a command or a chained program leaves the plot
// aside: published before its end, it would stand there unfinished (a command, or a kill or a
// power loss while the command runs, would find a file without its end in place of the old one).
void flush_for_reader(const std::string& path) {
  if (plot_state.plot_handle <= 0 || path.empty()) return;
  if (absolute_path(path) != plot_file.absolute) return;
  plot_file.out.publish();
  note_failure();
}

// Writes n bytes of the text and the line end; the count grows by what was asked.
void writer(std::string_view text, int32_t n, bool cr, bool lf) {
  if (n <= 0 || plot_state.plot_handle <= 0) return;
  const int32_t len = std::min<int32_t>(n, static_cast<int32_t>(text.size()));
  if (len > 0) plot_file.out.write(text.substr(0, static_cast<size_t>(len)));
  plot_state.byte_count += len;
  if (cr) {
    plot_file.out.put('\r');
    plot_state.byte_count += 1;
  }
  if (lf) {
    plot_file.out.put('\n');
    plot_state.byte_count += 1;
  }
  if (plot_file.out.error() != 0) note_failure();
}

}  // namespace

// ---------------------------------------------------------------- small entries

void plot_set_context(const ups& u) {
  end_open_thing(open_kind::plot, run_transition::next_open);
  plot_state.step_state = nullptr;
  plot_state.plot_ups = u;
  plot_state.device = 0;
  plot_state.plot_ended = false;
  plot_state.xfac = 1.0f;
  plot_state.yfac = -1.0f;
  plot_state.origin_x = plot_state.origin_y = 0;
  plot_state.offset_x = plot_state.offset_y = 0;
  plot_state.rotated = false;
  plot_state.context_reported = false;
  // The text scale of this plot: a plot unit is one pixel of the context, so the paper is
  // measured in those pixels and the page in the centimetres they take; a device-font text
  // then gets the height in pixels that the stroke font draws.  The context is a new one, so
  // the next text sets its font size whatever the last plot's text was.
  constexpr int32_t reference_pixels = 1000;
  plot_state.paper_width_cm = static_cast<float>(reference_pixels);
  int status = 0;
  float mm = X_PIXEL_TO_MILLIMETERS(reference_pixels, &plot_state.plot_ups, &status);
  if (status != 0) mm = X_PIXEL_TO_MILLIMETERS(reference_pixels);  // no context: a screen's pixels
  plot_state.page_width_cm = mm * 0.1f;
  plot_text_state().last_text_height = 999.0f;
}

void plot_use_context(const ups& u) {
  plot_state.plot_ups = u;
  if (plot_state.step_state) SET_DRAWING_STATE(plot_state.plot_ups, plot_state.step_state);
}

void plot_leave_context() {
  int status = 0;
  qn_drawing_state kept = GET_DRAWING_STATE(plot_state.plot_ups, &status);
  if (status == 0) plot_state.step_state = std::move(kept);
}

ups* plot_context() {
  // A plot file of a plotter, PostScript, DXF or PDF has no drawing surface for the shapes and
  // brushes of the context: while such a plot is open they are left out with a trace line,
  // and the plot goes on.
  if (!plot_state.plot_ended && plot_state.device >= 30 && plot_state.device != 49) {
    trace_int("PLOT: keine Zeichenflaeche auf Geraet", plot_state.device);
    return nullptr;
  }
  int status = 0;
  GET_RECT({.u = &plot_state.plot_ups, .status = &status});
  if (status == 0) return &plot_state.plot_ups;
  if (!plot_state.context_reported) {
    plot_state.context_reported = true;
    report_error("PLOT: keine Zeichenflaeche offen", 0);
  }
  return nullptr;
}

int32_t get_plot_window() { return plot_state.output_window; }
int32_t get_plot_device() { return plot_state.device; }

void set_plot_file(std::string_view name) { plot_state.requested_file = file_name_field(name, 80); }

std::string get_plot_file() { return file_name_field(plot_state.effective_file, 80); }

void plot_mark_closed() { plot_state.ended_marker = true; }
bool get_plot_ended() { return plot_state.plot_ended; }

void soft_font_off() {
  if (plot_state.device_fonts) plot_state.soft_font = 0;
}
void soft_font_on() { plot_state.soft_font = 1; }

void plot_set_program_dir(std::string_view dir) { program_dir_override = std::string(dir); }

// The directory of the executable with its separator; templates and the character table are
// named behind it.
static std::string program_dir() {
  if (!program_dir_override.empty()) return program_dir_override;
  std::string exe;
  int status = 0;
  GET_EXE_NAME(exe, &status);
  const size_t cut = exe.find_last_of("/\\");
  return cut == std::string::npos ? std::string(".\\") : exe.substr(0, cut + 1);
}

std::string plot_dir_file(std::string_view name) {
  if (plot_state.program_dir.empty()) plot_state.program_dir = program_dir();
  return plot_state.program_dir + std::string(name);
}

int32_t plot_open_data_file(std::string_view name) {
  const int32_t unit = get_free_unit();
  const unit_open_opts old_read{.status = "OLD", .action = "READ"};
  if (unit_open(unit, plot_dir_file(name), old_read) == 0) return unit;
  if (unit_open(unit, plot_dir_file("KYR\\" + std::string(name)), old_read) == 0) return unit;
  return 0;
}

// ---------------------------------------------------------------- writer

bool plot_file_open(std::string_view name) {
  plot_file_close();
  plot_file.name = std::string(name);
  plot_file.failure_reported = false;
  const std::string path = host_path(name);
  if (const int32_t failed = plot_file.out.open(path); failed != 0) {
    io_status = failed;
    // The open's error names the file; where the failure is the temporary folder's, that folder
    // is named first.
    if (plot_file.out.temporary_folder_failed()) report_write_failure(name, failed, plot_file.out.reason());
    return false;
  }
  plot_file.absolute = absolute_path(plot_file.out.target());
  plot_state.plot_handle = 1;
  add_file_writer(flush_for_reader);
  return true;
}

void plot_file_seek(int64_t offset) {
  if (plot_state.plot_handle <= 0) return;
  plot_file.out.seek(offset);
  note_failure();
}

void plot_file_close() {
  if (plot_state.plot_handle <= 0) return;
  plot_state.plot_handle = 0;
  plot_file.out.commit();
  note_failure();
}

void plot_write(std::string_view text, int32_t n) { writer(text, n, false, false); }
void plot_write_lf(std::string_view text, int32_t n) { writer(text, n, false, true); }
void plot_write_crlf(std::string_view text, int32_t n) { writer(text, n, true, true); }

void plot_write_bytes(std::string_view text, int32_t n) {
  n = std::min<int32_t>(n, static_cast<int32_t>(text.size()));
  for (int32_t i = 0; i < n; ++i) plot_write(text.substr(static_cast<size_t>(i), 1), 1);
}

void plot_write_number(float value) {
  std::string s = plot_fixed_field(value, 8, 4);
  for (int i = 0; i < 2 && !s.empty() && s[0] == ' '; ++i) s.erase(0, 1);
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  else if (s.size() > 1 && s[0] == ' ' && s[1] == '.') s[0] = '0';
  if (s.find('*') == std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  plot_write_crlf(s, static_cast<int32_t>(s.size()));
}

void plot_rectangle(float x, float y, float width, float height) {
  plot(x, y, 3);
  plot(x + width, y, 2);
  plot(x + width, y + height, 2);
  plot(x, y + height, 2);
  plot(x, y, 2);
}

int32_t plot_byte_count() {
  return static_cast<int32_t>(std::clamp<int64_t>(plot_state.byte_count, INT32_MIN, INT32_MAX));
}

// ---------------------------------------------------------------- number fields

std::string plot_int_field(int64_t value, int32_t width) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, end);
  if (static_cast<int32_t>(s.size()) > width) return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - s.size(), ' ') + s;
}

std::string plot_fixed_field(double value, int32_t width, int32_t decimals) {
  if (!std::isfinite(value)) return std::string(static_cast<size_t>(width), '*');
  char buf[64];
  auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return std::string(static_cast<size_t>(width), '*');
  std::string s(buf, end);
  if (s == "-0" || s.find_first_not_of("-0.") == std::string::npos) {
    if (s[0] == '-') s.erase(0, 1);  // a negative value that rounds to zero prints unsigned
  }
  // Without room for it the zero before the point goes, as fixed formats do.
  if (static_cast<int32_t>(s.size()) > width && s.rfind("0.", 0) == 0) s.erase(0, 1);
  if (static_cast<int32_t>(s.size()) > width && s.rfind("-0.", 0) == 0) s.erase(1, 1);
  if (static_cast<int32_t>(s.size()) > width) return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - s.size(), ' ') + s;
}

std::string_view strip_leading_blanks(std::string_view text) {
  const size_t p = text.find_first_not_of(' ');
  return p == std::string_view::npos ? std::string_view() : text.substr(p);
}

std::string_view trim_blanks_right(std::string_view text) {
  const size_t p = text.find_last_not_of(' ');
  return p == std::string_view::npos ? std::string_view() : text.substr(0, p + 1);
}

// ---------------------------------------------------------------- reset

void plot_reset() {
  plot_file_close();
  if (plot_state.printing) END_PRINT(plot_state.plot_ups);
  plot_state = plot_state_t{};
  program_dir_override.clear();
  plot_primitive_reset();
  plot_pens_reset();
  plotrans_reset();
  plot_text_state_reset();
  vextor_state_reset();
}
