// Program-level commands: RUN (start a process, or chain to another PXB program), HELP (the
// help viewer, the program's help page and topic), SOUND (a system sound), FORMAT (output
// format and value range of a variable) and OUTPUT (redraw the format area of a variable).
#include <algorithm>
#include <optional>
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/program/areas.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/events.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/program/open_things.h"
#include "runtime/program/number_text.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/screen.h"

namespace {

struct run_commands_state_t {
  win_help_request help;
  int32_t format_area = 0;
  bool format_own_colours = false;
};
run_commands_state_t state;

std::string trim_right(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

template <size_t N>
void put_padded(std::array<char, N>& out, std::string_view text) {
  out.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), N), out.begin());
}

// The help viewer of the library; a help file it cannot show is noted in the warning log and
// the program goes on.
void start_win_help(std::string_view file, int32_t command, std::string_view key) {
  state.help.file = trim_right(file);
  state.help.command = command;
  state.help.key = trim_right(key);
  ++state.help.requests;
  trace_str_int("WINHELP " + state.help.file, state.help.key, command);
  int status = 0;
  if (command == HELP_QUIT)
    end_win_help({}, &status);
  else
    START_WIN_HELP({.file = state.help.file, .command = command, .key = state.help.key, .status = &status});
  if (status != 0) warning_log("Hilfedatei fehlt: " + state.help.file);
}

// Shows the file at the key's topic, or its contents when the key is blank.
void show_help(std::string_view file, std::string_view key) {
  if (trim_right(key).empty()) start_win_help(file, HELP_FINDER, "");
  else start_win_help(file, HELP_KEY, key);
}

// The value of the variable element in the format area, in its bevelled box on screen 0, with
// the area's own colours unless it has the focus.
void format_area_output(int32_t n, bool own_colours) {
  state.format_area = n;
  state.format_own_colours = own_colours;
  const int32_t old = format_own_colours;
  format_own_colours = own_colours ? 1 : 0;
  ::format_area_output(area(n));
  format_own_colours = old;
}

// Columns `from` to `from + count - 1` of the format text, as far as it reaches.
std::string_view columns(const std::string& text, size_t from, size_t count) {
  return from - 1 < text.size() ? std::string_view(text).substr(from - 1, count) : std::string_view();
}

}  // namespace

void cmd_RUN(code_record& rec) {
  // The program name or the command line, whole: a cut one would start another program or run
  // another command.  Refused, nothing is started and the running program stays.
  const std::optional<std::string> whole = whole_name(token_text(rec.token1));
  if (!whole) return;
  const std::string& line = *whole;
  if (flag_mask_test(0x1)) {
    if (flag_mask_test(0x80)) show_loading();
    video_stack_clear();
    init_common();
    end_open_things(run_transition::run_chain);  // the chained program reads what this one wrote
    call_state.chain_flag = true;
    chain_program(line);
    return;
  }
  if (flag_mask_test(0x400)) {
    // The command processor's result is not the program's business.
    flush_file_writers();  // the command may read what this program wrote
    if (!line.empty()) (void)qn_run_command_line(line);
    end_run_if_signalled();  // a signal during the wait ends the run before the next line
    return;
  }
  trace_str("SPAWN", line);
  flush_file_writers();
  int status = 0;
  SPAWN_PROCESS(line, flag_mask_test(0x200), 1, &status);
  end_run_if_signalled();
  io_status = status;
}

void cmd_HELP(code_record& rec) {
  std::array<char, 64>& topic = area_table.state.help_topic;
  if (flag_mask_test(0x1)) {
    put_padded(topic, get_text_token(rec.token1, 64));
    trace_str("HELP TITEL SET", trim_right(std::string_view(topic.data(), topic.size())));
    return;
  }
  if (flag_mask_test(0x2)) {
    start_win_help(std::string_view(help_page.data(), help_page.size()), HELP_QUIT, "");
    return;
  }
  const program_text taken = token_text(rec.token1);
  const std::string& t = taken.text;
  const size_t blank = t.find(' ');
  // The page is the first word: a cut text whose first word runs to the cut names another page.
  if (blank == std::string::npos && !whole_or_refused(taken)) return;
  if (blank == 0 || t.empty()) {
    show_help(std::string_view(help_page.data(), help_page.size()), std::string_view(topic.data(), topic.size()));
    return;
  }
  const std::string word = t.substr(0, blank);
  const std::string rest = blank == std::string::npos ? std::string() : trim_right(t.substr(blank + 1));
  if (flag_mask_test(0x40)) {
    show_help(word, rest);
    return;
  }
  if (word != "*") put_padded(help_page, word);
  put_padded(topic, rest);
}

int32_t sound_beep_type(int32_t n) {
  switch (n) {
    case 1: return MB_ICONASTERISK;
    case 2: return MB_ICONQUESTION;
    case 3: return MB_ICONHAND;
    case 4: return MB_ICONEXCLAMATION;
    default: return 0;
  }
}

void cmd_SOUND(code_record& rec) {
  evaluate_upn(rec.expression, 2);
  message_beep(sound_beep_type(nint(param_registers[1])));
}

void cmd_FORMAT(code_record& rec) {
  evaluate_upn(rec.second, 1);
  int32_t v = 0, element = 0;
  get_last_reference(v, element);
  // Only a program variable carries a format; an argument of the call level has no record.
  if (v <= 0 || !variable_table.valid(v)) {
    call_state.command_error = 1;
    return;
  }
  if (element > 0) {
    report_error("FORMAT(x)", 32000);
    return;
  }
  evaluate_upn(rec.expression, 2);
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  var.range_min = param_registers[1];
  var.range_max = param_registers[2];
  var.width = 10;
  var.decimals = 2;
  std::string f = get_text_token(rec.token1);
  upcase_string(f.data(), static_cast<int32_t>(f.size()));
  // The digits are two-column number fields: blanks are ignored and a blank field reads 0, so
  // "F6" has no decimals and "I" width 0; a field that is no number keeps the default.
  const auto read_field = [&f](size_t from, int32_t& out) { read_int_field(columns(f, from, 2), out); };
  const char letter = f.empty() ? ' ' : f[0];
  switch (var.type) {
    case var_integer:
      if (letter != 'I') return report_error("Integer kein I-Format", 32000);
      read_field(2, var.width);
      break;
    case var_real:
      if (letter != 'F') return report_error("Real kein F-Format", 32000);
      if (f.size() >= 3 && f[2] == '.') f[2] = ' ';
      else if (f.size() >= 4) f.erase(3, 1);
      read_field(2, var.width);
      read_field(4, var.decimals);
      break;
    case var_text:
    case var_date:
      if (letter != 'A') return report_error("String kein A-Format", 32000);
      read_field(2, var.width);
      var.decimals = var.text_end - var.text_start + 1;
      break;
    default:
      call_state.command_error = 1;
      break;
  }
}

void cmd_OUTPUT(code_record& rec) {
  evaluate_upn(rec.expression, 1);
  int32_t v = 0, element = 0;
  get_last_reference(v, element);
  for (int32_t n = 1; n <= std::min(area_table.count, max_areas); ++n) {
    const area_record& a = area(n);
    if (a.type != area_field || a.variable != v || a.element != element) continue;
    if (flag_mask_test(0x8)) {
      const std::string status = trim_right(get_text_token(a.status_text));
      screen_link::status_text(status);
      report_error("n.U.:OUTPUT/INPUT v", 32000);
      return;
    }
    format_area_output(n, n != area_table.state.focus);
    return;
  }
  if (!flag_mask_test(0x1)) call_state.command_error = 1;
}

win_help_request last_win_help() { return state.help; }
int32_t last_format_area_output(bool* own_colours) {
  if (own_colours) *own_colours = state.format_own_colours;
  return state.format_area;
}
void run_commands_reset() { state = run_commands_state_t{}; }
