// HP-GL import: follows the pen moves of an HP-GL plot file (one pen or all of them) and writes
// the drawn segments, shifted to the origin, with their bounding box to the work file
// "QORVEL.TMP".  The parser is a small state machine over the byte stream; hpgl_parse holds
// it apart from the files so that it can be tested and fuzzed on its own.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/program/names.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/screen/field_output.h"

namespace {

constexpr std::array<std::string_view, 56> mnemonics = {
    "PA", "PD", "PU", "LB", "PR", "AA", "AR", "CA", "CI", "CP", "CS", "DC", "DF", "DI",
    "DP", "DR", "DT", "EA", "ER", "EW", "FT", "IM", "IN", "IP", "IW", "LT", "OA", "OC",
    "OD", "OE", "OF", "OH", "OI", "OO", "OP", "OS", "OW", "PS", "PT", "RA", "RO", "RR",
    "SA", "SC", "SI", "SL", "SM", "SP", "SR", "SS", "TL", "UC", "VS", "WG", "XT", "YT"};

constexpr size_t token_max = 128;

enum class parse_state { mnemonic, parameters, label, skipping };

// Replaces `from` by `to` at most `times` times, each time at the first place.
void replace_times(std::string& text, std::string_view from, std::string_view to, int times) {
  for (int i = 0; i < times; ++i) {
    const size_t at = text.find(from);
    if (at == std::string::npos) return;
    text.replace(at, from.size(), to);
  }
}

// One number of a comma-separated list; a field that is empty or not a number counts as 0.
float read_field(std::string_view field) {
  while (!field.empty() && field.front() == '+') field.remove_prefix(1);
  float value = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc{} || end == field.data()) return 0;
  return value;
}

// The first two numbers of the list (ended by "/"), 0 where missing.
void read_pair(std::string_view list, float& a, float& b) {
  const size_t slash = list.find('/');
  if (slash != std::string_view::npos) list = list.substr(0, slash);
  const size_t comma = list.find(',');
  a = read_field(list.substr(0, comma));
  b = 0;
  if (comma == std::string_view::npos) return;
  std::string_view rest = list.substr(comma + 1);
  b = read_field(rest.substr(0, rest.find(',')));
}

struct hpgl_parser {
  float faktor = 1;
  int32_t selected_pen = 0;
  hpgl_result& out;

  parse_state state = parse_state::mnemonic;
  int32_t command = 0;
  std::string token;
  bool pen_down = false;
  bool relative = false;
  bool rotation = false;
  int32_t current_pen = 0;
  int32_t last_x = 0, last_y = 0;
  int32_t prev_x = 0, prev_y = 0;

  void append(char c) {
    if (token.size() < token_max) token.push_back(c);
    else token.back() = c;
  }

  void record(int32_t x, int32_t y) {
    if (pen_down && (selected_pen == 0 || selected_pen == current_pen)) {
      const hpgl_segment s{current_pen, prev_x, prev_y, x, y};
      if (out.segments.size() < hpgl_max_segments) out.segments.push_back(s);
      else out.segments.back() = s;
      out.min_x = std::min({out.min_x, prev_x, x});
      out.min_y = std::min({out.min_y, prev_y, y});
      out.max_x = std::max({out.max_x, prev_x, x});
      out.max_y = std::max({out.max_y, prev_y, y});
    }
    prev_x = x;
    prev_y = y;
  }

  // Saturating sum of the last position and a new coordinate.
  static int32_t position(float value, int32_t last, bool rel) {
    const int64_t v = static_cast<int64_t>(trunc_to_int(value)) + (rel ? last : 0);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  }

  void move_pairs(std::string list) {
    for (;;) {
      float a = 0, b = 0;
      read_pair(list, a, b);
      last_x = position(a, last_x, relative);
      last_y = position(b, last_y, relative);
      const float fx = static_cast<float>(last_x) * faktor;
      const float fy = static_cast<float>(last_y) * faktor;
      if (rotation) record(nint(-fy), nint(fx));
      else record(nint(fx), nint(fy));
      const size_t first = list.find(',');
      if (first == std::string::npos) return;
      const size_t second = list.find(',', first + 1);
      if (second == std::string::npos) return;
      list.erase(0, second + 1);
      if (list.find(',') == std::string::npos) return;
    }
  }

  void execute(std::string_view raw) {
    std::string text(raw);
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    const bool has_parameters = !text.empty();
    std::string list = text;
    replace_times(list, " ,", ",", 40);
    replace_times(list, ", ", ",", 40);
    replace_times(list, "  ", " ", 40);
    std::replace(list.begin(), list.end(), ' ', ',');
    list += '/';
    float a = 0, b = 0;
    read_pair(list, a, b);
    const std::string_view name = mnemonics[static_cast<size_t>(command - 1)];
    if (name == "PA" || name == "PD" || name == "PU" || name == "PR") {
      if (has_parameters) move_pairs(list);
    } else if (name == "IN") {
      last_x = last_y = 0;
      rotation = false;
    } else if (name == "RO") {
      rotation = a == 90.0f;
    } else if (name == "SP") {
      const int32_t n = nint(a);
      if (n >= 1 && n <= 8) current_pen = n;
    } else if (name != "DI" && name != "DR" && name != "SI") {
      trace_str("HP unknown :" + std::string(name), raw);
    }
  }

  void start_command(int32_t n) {
    command = n;
    const std::string_view name = mnemonics[static_cast<size_t>(n - 1)];
    if (name == "PA") relative = false;
    else if (name == "PR") relative = true;
    else if (name == "PD") pen_down = true;
    else if (name == "PU") pen_down = false;
    token.clear();
    state = name == "LB" ? parse_state::label : parse_state::parameters;
  }

  void feed(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (state == parse_state::mnemonic && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (state != parse_state::label && byte < 32) c = ';';
    append(c);
    switch (state) {
      case parse_state::skipping:
        token.clear();
        if (c == ';' || c == ':') state = parse_state::mnemonic;
        return;
      case parse_state::label:
        token.clear();
        if (c == '\x03') state = parse_state::mnemonic;
        return;
      case parse_state::mnemonic:
        if (token.size() == 1 && (c == ' ' || c == ';')) {
          token.clear();
        } else if (token.size() == 2) {
          const auto it = std::find(mnemonics.begin(), mnemonics.end(), std::string_view(token));
          if (it == mnemonics.end()) {
            token.clear();
            state = parse_state::skipping;
          } else {
            start_command(static_cast<int32_t>(it - mnemonics.begin()) + 1);
          }
        }
        return;
      case parse_state::parameters:
        if (std::string_view(" -+.,0123456789").find(c) != std::string_view::npos) {
          if (token.size() > 127) {
            token.clear();
            state = parse_state::skipping;
          }
          return;
        }
        execute(std::string_view(token).substr(0, token.size() - 1));
        token.clear();
        state = parse_state::mnemonic;
        // The ending character begins the next mnemonic, in upper case like every other one.
        if (c != ';') feed(c);
        return;
    }
  }

  // The input ended: parameters still being gathered belong to the last command.
  void finish() {
    if (state == parse_state::parameters) execute(token);
    state = parse_state::mnemonic;
  }
};

std::string real_field(double value) {
  if (value < 1e7) return plot_fixed_field(value, 10, 1);
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::scientific, 3);
  std::string text(buffer, ec == std::errc{} ? end : buffer);
  if (text.size() < 10) text.insert(0, 10 - text.size(), ' ');
  return text;
}

}  // namespace

hpgl_result hpgl_parse(std::string_view bytes, float faktor, int32_t pen) {
  hpgl_result result;
  hpgl_parser parser{faktor, pen, result};
  for (const char c : bytes) parser.feed(c);
  parser.finish();
  return result;
}

std::vector<std::string> hpgl_output_records(const hpgl_result& result) {
  std::vector<std::string> records;
  const bool empty = result.segments.empty();
  // Without a segment the box is empty rather than the start values of the search.
  const int64_t min_x = empty ? 0 : result.min_x;
  const int64_t min_y = empty ? 0 : result.min_y;
  const int64_t width = empty ? 0 : int64_t{result.max_x} - min_x;
  const int64_t height = empty ? 0 : int64_t{result.max_y} - min_y;
  double sx = 0, sy = 0;
  for (const hpgl_segment& s : result.segments) {
    const double dx = double(s.x2) - double(s.x1), dy = double(s.y2) - double(s.y1);
    sx += dx * dx;
    sy += dy * dy;
  }
  records.push_back(plot_int_field(static_cast<int64_t>(result.segments.size()), 5) +
                    plot_int_field(min_x, 10) + plot_int_field(min_y, 10) +
                    plot_int_field(width, 10) + plot_int_field(height, 10) + real_field(sx) +
                    real_field(sy));
  for (const hpgl_segment& s : result.segments) {
    const int64_t x1 = s.x1 - min_x, y1 = s.y1 - min_y, x2 = s.x2 - min_x, y2 = s.y2 - min_y;
    records.push_back(plot_int_field(s.pen, 5) + plot_int_field(x1, 10) +
                      plot_int_field(y1, 10) + plot_int_field(x2, 10) + plot_int_field(y2, 10) +
                      plot_int_field(std::llabs(x2 - x1), 10) +
                      plot_int_field(std::llabs(y2 - y1), 10));
  }
  return records;
}

void hpgl_import(int32_t& status) {
  if (!whole_or_refused(name_variable("fs_select"))) {  // a cut name would read another file
    status = io_status;
    return;
  }
  format_var_by_name("fs_select", 1);
  // The whole formatted text: a name cut would read another file.
  std::string name_buffer(formatted_output_length, ' ');
  get_input_text(name_buffer.data(), formatted_output_length);
  const std::string file_name(trim_blanks_right(name_buffer));
  const float faktor = get_real_variable("faktor");
  const int32_t pen = get_int_variable("pen");

  const int32_t handle = c_sopen_or(file_name);
  if (handle < 0) {
    status = unit_err_no_file;
    return;
  }
  std::string bytes;
  char block[128];
  for (int32_t n; (n = c_read(handle, block, 128)) > 0;) bytes.append(block, static_cast<size_t>(n));
  c_close(handle);

  const hpgl_result result = hpgl_parse(bytes, faktor, pen);
  const int32_t unit = get_free_unit();
  status = unit_open(unit, "QORVEL.TMP", unit_open_opts{.status = "UNKNOWN", .action = "WRITE"});
  if (status != 0) return;
  for (const std::string& record : hpgl_output_records(result)) {
    status = unit_write_line(unit, record);
    if (status != 0) break;
  }
  unit_close(unit);
}
