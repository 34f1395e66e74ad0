// The plot-script reader: splits script texts and script files into statements, tests their
// conditions and device prefixes, expands program values, follows labels and carries out the
// parameter statements; drawing and text statements go to psplot_statements.cpp.
#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <string_view>

#include "runtime/program/program.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/screen.h"

psplot_state_t psplot_state;

std::string psplot_padded(std::string_view text) {
  std::string out(text);
  if (out.size() < static_cast<size_t>(psplot_text_size)) out.resize(static_cast<size_t>(psplot_text_size), ' ');
  return out;
}

namespace {

std::string right_trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

bool is_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

bool starts(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

int32_t psplot_read_reals(const std::string& statement, float* values, int32_t n) {
  std::string_view rest = statement.size() > 3 ? std::string_view(statement).substr(3) : std::string_view();
  int32_t read = 0;
  size_t i = 0;
  for (int32_t k = 0; k < n; ++k) {
    while (i < rest.size() && rest[i] == ' ') ++i;
    if (i >= rest.size()) break;
    size_t end = i;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != ',') ++end;
    if (end > i) {
      std::string_view item = rest.substr(i, end - i);
      if (!item.empty() && item.front() == '+') item.remove_prefix(1);
      float v = 0;
      const auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), v);
      if (ec != std::errc() || ptr != item.data() + item.size()) return read;  // unreadable: stop
      values[k] = v;
      ++read;
    }
    // Skip the separator: blanks then at most one comma.
    i = end;
    while (i < rest.size() && rest[i] == ' ') ++i;
    if (i < rest.size() && rest[i] == ',') ++i;
  }
  return read;
}

float psplot_map_x(const psplot_frame& f, float x) { return (f.X0 + x) * f.FX + f.XO; }
float psplot_map_y(const psplot_frame& f, float y) { return (f.Y0 + y) * f.FY + f.YO; }

namespace {

// A value clamped into the integer range of the field it goes to.
template <typename T>
T narrow(float value) {
  return static_cast<T>(std::clamp<int32_t>(nint(value), std::numeric_limits<T>::min(),
                                            std::numeric_limits<T>::max()));
}

// "IF name=value" / "IF name#value" / "IF name": true when the condition holds.
bool condition_holds(std::string_view condition) {
  condition = condition.substr(0, std::min<size_t>(condition.size(), 20));
  const std::string cond = right_trimmed(condition);
  const size_t sign = cond.find_first_of("=#");
  const std::string name = cond.substr(0, sign);
  if (sign == std::string::npos) return get_int_variable(name) != 1;
  const bool equal_wanted = cond[sign] == '=';
  const std::string value = cond.substr(sign + 1);
  bool equal = false;
  const size_t quote = value.find('"');
  if (quote == std::string::npos) {
    int32_t wanted = 1;
    const char* b = value.data();
    const char* e = b + value.size();
    while (b < e && *b == ' ') ++b;
    if (b < e && *b == '+') ++b;
    int32_t v = 0;
    const auto [ptr, ec] = std::from_chars(b, e, v);
    if (ec == std::errc() && ptr != b) wanted = v;
    equal = get_int_variable(name) == wanted;
  } else {
    const size_t close = value.find('"', quote + 1);
    std::string wanted = value.substr(quote + 1, close == std::string::npos ? std::string::npos : close - quote - 1);
    std::string actual;
    parse_substring_format(actual, name);
    wanted.resize(40, ' ');
    actual.resize(40, ' ');
    equal = wanted == actual;
  }
  return equal == equal_wanted;
}

void carry_out_parameter(std::string& s, bool& done) {
  psplot_frame& f = psplot_state.frame();
  done = true;
  float v[1]{};
  const std::string key = s.substr(0, 3);
  auto real_into = [&](float& field) {
    v[0] = field;
    psplot_read_reals(s, v, 1);
    field = v[0];
  };
  if (key == "DEB") psplot_state.debug = !psplot_state.debug;
  else if (key == "FX=") real_into(f.FX);
  else if (key == "FY=") real_into(f.FY);
  else if (key == "FZ=") real_into(f.FZ);
  else if (key == "X0=") real_into(f.X0);
  else if (key == "Y0=") real_into(f.Y0);
  else if (key == "XO=") real_into(f.XO);
  else if (key == "YO=") real_into(f.YO);
  else if (key == "LF=") real_into(f.LF);
  else if (key == "CF=") real_into(f.CF);
  else if (key == "XP=") real_into(f.XP);
  else if (key == "YP=") real_into(f.YP);
  else if (key == "LW=") {
    // A missing value counts as 0 rather than a leftover.
    if (psplot_read_reals(s, v, 1) == 1 && v[0] >= 0 && v[0] < 1) newpen(nint(v[0] * 1000 + 2000));
  } else if (key == "LT=" || key == "LC=") {
    if (psplot_read_reals(s, v, 1) == 1) newpen(nint(v[0]));
  } else if (key == "LS=") {
    if (psplot_read_reals(s, v, 1) == 1) newpen(1000 + narrow<int32_t>(std::clamp(v[0], -1e6f, 1e6f)));
  } else if (key == "SZ=") real_into(f.SZ);
  else if (key == "SP=") real_into(f.SP);
  else if (key == "AN=") real_into(f.AN);
  else if (key == "LE=") {
    if (psplot_read_reals(s, v, 1) == 1) f.LE = narrow<int16_t>(v[0]);
  } else if (key == "TP=") {
    if (psplot_read_reals(s, v, 1) == 1) f.TP = narrow<int8_t>(v[0]);
  } else if (starts(s, "FO=!")) {
    const std::string command = "$$$" + right_trimmed(std::string_view(s).substr(3));
    plot_text(0, 0, 0, command, 0, 0);
  } else if (key == "FO=") f.FO = s.substr(3, 2);
  else if (key == "SA=") f.SA = s[3];
  else if (key == "LF ") {
    float n = 0;
    if (psplot_read_reals(s, v, 1) == 1) n = v[0];
    if (n == 0) n = 1;
    f.YP -= n * f.LF;
  } else if (key == "LFH") f.YP -= f.LF * 0.5f;
  else if (key == "CF ") {
    float n = 0;
    if (psplot_read_reals(s, v, 1) == 1) n = v[0];
    if (n == 0) n = 1;
    f.XP += n * f.CF;
    f.YP = 0;
  } else done = false;
}

// Reads lines from the unit until one equals the label line (trailing blanks aside); false at
// the end of the file.
bool find_label(int32_t unit, const std::string& label) {
  std::string line;
  while (unit_read_line(unit, line) == 0) {
    if (right_trimmed(line) == label) return true;
  }
  return false;
}

// One statement (not blank, not a comment); `unit` is the script file's unit or 0.
void carry_out(std::string s, int32_t unit) {
  psplot_state_t& st = psplot_state;
  for (;;) {
    size_t less = 0;
    while (less < s.size() && s[less] == '<') ++less;
    size_t more = less;
    while (more < s.size() && s[more] == '>') ++more;
    st.indent = static_cast<int32_t>(more - less) - static_cast<int32_t>(less);
    s = psplot_padded(std::string_view(s).substr(more));
    if (!starts(s, "IF ")) break;
    bool again = false;
    while (starts(s, "IF ")) {
      split_argument(s);
      const size_t blank = s.find(' ');
      const std::string condition = s.substr(0, blank == std::string::npos ? s.size() : blank + 1);
      std::string rest = blank == std::string::npos ? std::string() : s.substr(blank + 1);
      const size_t first = rest.find_first_not_of(' ');
      rest = first == std::string::npos ? std::string() : rest.substr(first);
      s = psplot_padded(rest);
      if (!condition_holds(condition)) return;
      again = true;
      break;
    }
    if (!again) break;
  }
  const int32_t device = get_plot_device();
  const bool pdf = device == 43;
  const struct {
    std::string_view prefix;
    bool pass;
  } prefixes[] = {{"^1:", run_flags.modifier_shift != 0},
                  {"^2:", run_flags.modifier_ctrl != 0},
                  {"PS:", st.postscript},
                  {"PF:", pdf},
                  {"PX:", st.postscript || pdf}};
  for (const auto& p : prefixes) {
    if (!starts(s, p.prefix)) continue;
    if (!p.pass) return;
    s = psplot_padded(std::string_view(s).substr(3));
  }
  if (!starts(s, "TXT$$$") && !starts(s, "PAR")) {
    frm_format_line(s, true, true);
    s = psplot_padded(s);
  }
  if (starts(s, "PS!") || starts(s, "PF!")) {
    if (starts(s, "PS!") ? st.postscript : pdf) {
      std::string rest = right_trimmed(std::string_view(s).substr(3));
      const size_t first = rest.find_first_not_of(' ');
      rest = first == std::string::npos ? std::string() : rest.substr(first);
      if (!rest.empty()) plot_write_lf(rest, static_cast<int32_t>(rest.size()));
    }
    return;
  }
  if (starts(s, "NP:")) {
    if (st.postscript) return;
    s = psplot_padded(std::string_view(s).substr(3));
  }
  if (starts(s, "NB:")) {
    if (st.blank_paragraph) return;
    s = psplot_padded(std::string_view(s).substr(3));
  }
  if (starts(s, "GOTO ") || starts(s, "GOBA ")) {
    if (unit == 0) return;
    const bool back = starts(s, "GOBA");
    split_argument(s);
    s = psplot_padded(s);
    const std::string label = right_trimmed(":" + s);
    if (back) unit_rewind(unit);
    if (!find_label(unit, label)) warning_box(s.substr(0, 12), "not found");
    return;
  }
  if (starts(s, ":")) return;
  if (starts(s, "BS")) {
    if (s[2] != '-') report_error("PSPLOT:kein BitStream erlaubt!", 32000);
    return;
  }
  bool done = false;
  carry_out_parameter(s, done);
  if (!done) psplot_drawing_statement(s);
}

}  // namespace

void psplot_init() {
  psplot_state_t& st = psplot_state;
  st.postscript = get_plot_device() == 40;
  st.script.assign(psplot_text_size, ' ');
  for (auto& e : st.elements) e.x = -9999.0f;
  for (auto& t : st.tags) t = "  ";
  st.level = 1;
  psplot_frame& f = st.frames[0];
  const int16_t length = f.LE;
  const float spacing = f.SP;
  f = psplot_frame{};
  f.LE = length;  // kept from the last script that set them
  f.SP = spacing;
}

void psplot_set_text(std::string_view text) {
  psplot_state.script = psplot_padded(text);
  psplot_state.statement = psplot_state.script;
}

void PSPLOT(int32_t unit) {
  psplot_state_t& st = psplot_state;
  if (unit != 0) st.script.assign(psplot_text_size, ' ');
  for (;;) {
    // Window messages are handled between statements as between the program's commands, so
    // that a script that jumps back for ever still lets the window be closed, which ends it.
    if (process_pending_messages() == 0 || program_has_ended()) break;
    bool last = false;
    if (unit == 0 || !is_blank(st.script)) {
      st.statement = st.script;
      const size_t p = st.script.find('|');
      if (p == std::string::npos) {
        st.script.assign(psplot_text_size, ' ');
        last = unit == 0;
      } else {
        // The statement keeps the characters before "|"; the script keeps what follows it.
        std::string rest = st.script.substr(p + 1);
        st.statement = psplot_padded(std::string_view(st.script).substr(0, p));
        if (!rest.empty() && rest.front() == '|') {
          st.statement = psplot_padded(st.statement.substr(0, p) + rest);
          st.script.assign(psplot_text_size, ' ');
          last = unit == 0;
        } else {
          st.script = psplot_padded(rest);
        }
      }
    } else {
      std::string line;
      if (unit_read_line(unit, line) != 0) break;
      if (!line.empty() && (line.front() == '!' || line.front() == ';')) continue;
      st.script = psplot_padded(line);
      continue;
    }
    const char first = st.statement.front();
    if (first != '!' && first != ' ') {
      trace_str("PSPLOT:", right_trimmed(st.statement));
      if (st.statement_hook != nullptr) st.statement_hook();
      carry_out(st.statement, unit);
    }
    if (last || program_has_ended()) break;
  }
  st.last_font = "xx";
}

void psplot_plot(int32_t flag, float x, float y) {
  if (y < 0) return;
  psplot_frame& f = psplot_state.frame();
  f.XP = x;
  f.YP = y;
  plot(psplot_map_x(f, x), psplot_map_y(f, y), flag == 0 ? 3 : 2);
}

void psplot_reset() {
  psplot_state = psplot_state_t{};
  psplot_fields_reset();
}
