// The trace channel: each entry renders one line and routes it to the DEBUG window, the trace
// file "$PXBDUMP.TXT" and the dump log, by the switches of one state block.  With both the
// window switch and the log switch off an entry returns before it formats anything, so trace
// calls may stay in hot paths.
#include "runtime/program/program.h"
#include "runtime/program/file_units.h"
#include "runtime/program/upper_services.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {
constexpr size_t line_size = 512;
constexpr std::string_view trace_file = "$PXBDUMP.TXT";

struct trace_state_t {
  std::string line = std::string(line_size, ' ');  // the line being written
  int32_t mode = 0;          // 0 window, 1 window (and file while DBGVAR is open), 2 file
  bool window_off = true;    // cleared by debug_open
  bool log_off = true;       // cleared by debug_to_file
  int32_t debug_window = 0;  // "DEBUG" scroll-text window
  int32_t dbgvar_window = 0; // the single-step debugger's window
  int status = 0;            // status word of the library calls; nobody examines it
};
trace_state_t trace;

bool silent() { return trace.window_off && trace.log_off; }


void append_trace_file(std::string_view text) { append_run_log_line(trace_file, blank_trimmed(text)); }

// Copies the text into the 512-character line, cut or blank-padded.
void set_line(std::string_view text) {
  size_t n = std::min(text.size(), line_size);
  std::memcpy(trace.line.data(), text.data(), n);
  std::memset(trace.line.data() + n, ' ', line_size - n);
}

// Routes the rendered line in trace.line.
void route() {
  if (!trace.log_off) {
    dump_log(trace.line);
    run_flags.trace_on = true;
  }
  if (trace.mode == 2) {
    append_trace_file(trace.line);
    return;
  }
  if (trace.debug_window == 0) return;
  if (!is_valid_window(trace.debug_window)) {  // closed by the user: this line is lost
    trace.debug_window = 0;
    run_flags.trace_on = false;
    trace.window_off = true;
    return;
  }
  WRITE_SCROLL_LINE(trace.debug_window, blank_trimmed(trace.line), false, &trace.status);
  // The copy to the file follows the DBGVAR window: it stops as soon as the user closes it,
  // not only when the debugger notices the closed window at its next key.
  if (trace.dbgvar_window != 0 && trace.mode == 1 && is_valid_window(trace.dbgvar_window))
    append_trace_file(trace.line);
}

// Free-format number fields: integers right-aligned in 12 columns, floats in general notation
// with 7 significant digits right-aligned in 15.
constexpr size_t integer_width = 12;
constexpr size_t real_width = 15;

void pad_left(std::string& out, std::string_view item, size_t width) {
  if (item.size() < width) out.append(width - item.size(), ' ');
  out += item;
}

void append_integer(std::string& out, int32_t n) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  pad_left(out, std::string_view(digits, static_cast<size_t>(end - digits)), integer_width);
}

void append_real(std::string& out, float x) {
  char digits[32];
  auto end = std::to_chars(digits, digits + sizeof digits, x, std::chars_format::general, 7).ptr;
  pad_left(out, std::string_view(digits, static_cast<size_t>(end - digits)), real_width);
}

// Creates a scroll-text window placed and sized by portions of the desktop's work area, and
// gives the main window the foreground again so that the program keeps the keyboard.
int32_t create_scroll_window(std::string_view title, float x, float y, float width, float height) {
  const float desk_w = static_cast<float>(get_system_metrics(16));
  const float desk_h = static_cast<float>(get_system_metrics(17));
  const qn_point size{std::max(1, static_cast<int32_t>(width * desk_w)), std::max(1, static_cast<int32_t>(height * desk_h))};
  int32_t window = CREATE_WINDOW(
      {.title = title,
       .position = qn_portion{x, y},
       .client_px = size,
       .window_flags = 0x6800,
       .scroll_back = qn_scroll_back_lines,  // a trace keeps its newest lines
       .status = &trace.status});
  if (trace.status != 0) window = 0;
  return window;
}

// Builds a line in the free format: a leading blank, then the items in order.
class line_builder {
 public:
  line_builder() { text_ = " "; }
  line_builder& text(std::string_view t) {
    text_ += t;
    return *this;
  }
  line_builder& blank() { return text(" "); }
  line_builder& integer(int32_t n) {
    append_integer(text_, n);
    return *this;
  }
  line_builder& real(float x) {
    append_real(text_, x);
    return *this;
  }
  void emit() {
    set_line(text_);
    route();
  }

 private:
  std::string text_;
};
}  // namespace

void trace_msg(std::string_view text) {
  if (silent()) return;
  set_line(text);
  route();
}

void trace_str(std::string_view label, std::string_view text) {
  if (silent()) return;
  line_builder().text(label).blank().text(text).emit();
}

void trace_int(std::string_view label, int32_t value) {
  if (silent()) return;
  line_builder().text(label).blank().integer(value).emit();
}

void trace_int2(std::string_view label, int32_t a, int32_t b) {
  if (silent()) return;
  line_builder().text(label).blank().integer(a).blank().integer(b).emit();
}

void trace_int3(std::string_view label, int32_t a, int32_t b, int32_t c) {
  if (silent()) return;
  line_builder().text(label).blank().integer(a).blank().integer(b).blank().integer(c).emit();
}

void trace_real(std::string_view label, float value) {
  if (silent()) return;
  line_builder().text(label).blank().real(value).emit();
}

void trace_str_int(std::string_view label, std::string_view text, int32_t n) {
  if (silent()) return;
  line_builder().text(label).blank().text(text).blank().integer(n).emit();
}

void trace_app(std::string_view label, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (silent()) return;
  line_builder().text(label).blank().integer(a).blank().integer(b).blank().integer(c).blank().integer(d).emit();
}

void debug_open() {
  if (trace.debug_window == 0 || !is_valid_window(trace.debug_window)) {
    // The right 35 % of the screen, the main window moved to the top left beside it.
    trace.debug_window = create_scroll_window("DEBUG", 0.65f, 0.0f, 0.35f, 1.0f);
    if (int32_t main = main_window(); main != 0) {
      qn_move_window(main, 0, 0);
      SET_FOREGROUND(main, &trace.status);
    }
  }
  trace.window_off = false;
}

void debug_close() {
  if (trace.debug_window != 0) CLOSE_WINDOW(trace.debug_window, &trace.status);
  if (trace.dbgvar_window != 0) CLOSE_WINDOW(trace.dbgvar_window, &trace.status);
  trace.debug_window = 0;
  trace.dbgvar_window = 0;
  trace.mode = 0;
  run_flags.trace_on = false;
  trace.window_off = true;
}

void debug_show(int32_t n) {
  for (int32_t window : {trace.debug_window, trace.dbgvar_window})
    if (window != 0) qn_show_window(window, n >= 1 ? 9 : 6);
}

void debug_mode(int32_t n) { trace.mode = n == 0 ? 0 : 2; }

void debug_to_file() {
  trace.log_off = false;
  trace.mode = 1;
}

int32_t debug_window() { return trace.debug_window; }

void trace_reset() {
  trace = {};
  if (upper_services.debugger_reset != nullptr) upper_services.debugger_reset();
}

// ---------------------------------------------------------------- the debugger's side

int32_t trace_mode() { return trace.mode; }

std::string_view trace_line_text() { return trace.line; }

void set_trace_mode(int32_t mode) { trace.mode = mode; }

int32_t dbgvar_window() { return trace.dbgvar_window; }

void dbgvar_open() {
  if (trace.dbgvar_window != 0) return;
  // The lower left quarter of the screen.
  trace.dbgvar_window = create_scroll_window("DBGVAR", 0.0f, 0.75f, 0.5f, 0.25f);
  if (int32_t main = main_window(); main != 0) SET_FOREGROUND(main, &trace.status);
}

bool dbgvar_alive() {
  if (trace.dbgvar_window != 0 && is_valid_window(trace.dbgvar_window)) return true;
  trace.dbgvar_window = 0;
  trace.window_off = true;
  return false;
}

void dbgvar_write(std::string_view text) {
  if (trace.dbgvar_window == 0 || !is_valid_window(trace.dbgvar_window)) return;
  WRITE_SCROLL_LINE(trace.dbgvar_window, blank_trimmed(text.substr(0, std::min(text.size(), line_size))), false,
                    &trace.status);
}

void debug_window_write(std::string_view text) {
  if (trace.debug_window == 0 || !is_valid_window(trace.debug_window)) return;
  WRITE_SCROLL_LINE(trace.debug_window, blank_trimmed(text.substr(0, std::min(text.size(), line_size))), false,
                    &trace.status);
}

std::string free_format_integer(std::string_view label, int32_t n) {
  std::string out = " ";
  out += label;
  append_integer(out, n);
  return out;
}

std::string free_format_real(std::string_view label, float x) {
  std::string out = " ";
  out += label;
  append_real(out, x);
  return out;
}
