// The commands that ask the user something or touch a screen service and leave the answer
// where the program's expressions read it: QUERY (message box, automatic mode), SELECT (file
// selection box, plot file name), COMBO (combo library records) and MOUSE (click or sample).
// Also the file selection box u_fsbox over the library's file dialog.
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/events.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/areas.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/screen.h"

query_answer_t query_answer;

namespace {

std::string trim_right(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

// The operand as a whole number: the expression's first result, halves away from zero.
int32_t operand(const code_record& rec) {
  evaluate_upn(rec.expression, 1);
  return nint(param_registers[1]);
}

int32_t query_style() {
  const bool three = flag_mask_test(2048), ok = flag_mask_test(1);
  if (three) return (ok ? MB_OKCANCEL : MB_YESNOCANCEL) | (ok ? MB_ICONASTERISK : MB_ICONQUESTION) | MB_SYSTEMMODAL;
  return (ok ? MB_OK : MB_YESNO) | (ok ? MB_ICONASTERISK : MB_ICONQUESTION) | MB_SYSTEMMODAL;
}

}  // namespace

void cmd_QUERY(code_record& rec) {
  if (flag_mask_test(128)) {
    set_auto_mode(operand(rec) != 0);
    return;
  }
  query_answer = {};
  if (get_auto_mode()) return;
  std::string text = get_text_token(rec.token1);
  screen_repaint();
  // "#12 Text": the leading number word is the message's key, not part of what is shown.
  if (text.starts_with('#')) {
    const size_t blank = text.find(' ');
    text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
  }
  const std::string caption = rec.token1 == rec.token2 ? main_window_title() : get_text_token(rec.token2);
  // Where nobody could see the box, the library answers it (OK where it has only OK, else No,
  // else Cancel) and writes the question to standard error.
  const int32_t answer = MESSAGE_BOX(trim_right(text), {.caption = trim_right(caption), .style = query_style()});
  if (answer == IDOK || answer == IDYES) query_answer.yes = 1;
  else if (answer == IDCANCEL) query_answer.cancel = 1;
}

void cmd_SELECT(code_record& rec) {
  if (flag_mask_test(128)) {
    set_string_variable("fs_select", get_plot_file());
    return;
  }
  const std::string title = get_text_token(rec.token1);
  std::string filter = get_text_token(rec.token2);
  if (filter == title) filter.assign(1, ' ');
  screen_repaint();
  u_fsbox(title, filter, flag_mask_test(1024) ? 1 : 0, flag_mask_test(2048) ? 1 : 0, query_answer.yes);
}

void cmd_COMBO(code_record& rec) {
  std::string text;
  int32_t value = 0;
  if (flag_mask_test(1)) {
    combo_open_entry(get_text_token(rec.token1));
  } else if (flag_mask_test(16384)) {
    if (!combo_lookup(get_text_token(rec.token1), text, value)) return;
    combo_select_entry(operand(rec));
  } else if (flag_mask_test(16)) {
    if (!combo_lookup(get_text_token(rec.token1), text, value)) return;
    const int32_t n = operand(rec);
    if (rec.token1 == rec.token2) combo_select_value(n);
    else combo_set_text(get_text_token(rec.token2));
  } else {
    call_state.command_error = 1;
  }
}

void cmd_MOUSE(code_record& rec) {
  if (flag_mask_test(512) || flag_mask_test(32768)) {
    int32_t wait = 0;
    if (flag_mask_test(512)) {
      qn_before_waiting();  // a pause, or the wait for a click
      look_do_paint();
      const int32_t n = operand(rec);
      // The pause ends early for a termination signal, which then ends the run.
      if (n > 0 && qn_wait_ready(-1, 0, n) == qn_wait_end::signal) end_run_if_signalled();
      if (n <= 0) wait = 1;
    }
    int32_t x = 0, y = 0, buttons = 0;
    wait_mouse_rect(x, y, buttons, wait);
    mouse_registers = {x, y, buttons};
    if (wait != 0) mouse_track.click_lost = false;  // the click waited for is the program's
  } else if (flag_mask_test(1) || flag_mask_test(1024) || flag_mask_test(256)) {
    // The cursor choices and the two other forms only evaluate their operand.
    operand(rec);
  } else {
    call_state.command_error = 1;
  }
}

void u_fsbox(std::string_view title, std::string_view filter, int32_t must_exist, int32_t create, int32_t& success) {
  std::string shown = trim_right(title);
  if (shown.empty()) shown = create != 0 ? "Datei w\xE4hlen" : "Neue Datei w\xE4hlen";
  std::string chosen;
  success = 0;
  if (!qn_file_dialog({.title = shown, .filter = trim_right(filter), .must_exist = must_exist != 0,
                       .create_prompt = create != 0},
                      chosen))
    return;
  // A program without the variable still learns the answer through the success word.
  if (variable_type_by_name("fs_select") != 0) set_string_variable("fs_select", chosen);
  success = 1;
}
