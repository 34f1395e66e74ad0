// The LSTMGR command: the program's handle on lists 1..4 (the list manager's lists 3..6).
// The option bits pick one operation; the first bit that matches in the fixed order wins.
#include <algorithm>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/lists.h"

namespace {

constexpr int32_t bad_list_error = 4501;

bool program_list_ok(int32_t k) { return k >= 1 && k <= 4; }

// The row text of options 8 and 32768: the text variable the operand expression referred to
// last, else the text token.  False when the command ends with its error instead.
bool row_source(const code_record& rec, const std::string& token, std::string& source) {
  evaluate_upn(rec.expression, 3);
  int32_t v = 0, element = 0;
  get_last_reference(v, element);
  if (v >= 1 && variable_table.valid(v)) {
    const variable_record& var = variable_table.records[static_cast<size_t>(v)];
    if (var.is_text()) {
      if (element > 0) {
        report_error("LSTMGR-output:Index", 0);
        call_state.command_error = 1;
        return false;
      }
      source = std::string(STRING_BUFFER.view(var.text_start, std::max(var.text_end - var.text_start + 1, 0)));
      return true;
    }
  }
  source = token;
  return true;
}

}  // namespace

void cmd_LSTMGR(code_record& rec) {
  evaluate_upn(rec.expression, 3);
  const int32_t list = nint(param_registers[1]);
  int32_t a = nint(param_registers[2]);
  const int32_t b = nint(param_registers[3]);
  const program_text taken = token_text(rec.token1);
  const std::string& text = taken.text;
  if (!program_list_ok(list)) {
    call_state.command_error = bad_list_error;
    return;
  }
  const int32_t n = list + 2;
  const int32_t options = rec.flags;
  int32_t status = 0;
  auto has = [options](int32_t bits) { return (options & bits) == bits; };

  if (has(0x400)) {
    if (a == 0) a = list;
    if (!program_list_ok(a)) {
      call_state.command_error = bad_list_error;
      return;
    }
    lst_mark_operation(n, a + 2, options, status);
    if (status != 0) call_state.command_error = status;
  } else if (has(0x1 | 0x8)) {
    lst_edit_select_mouse(n, a, b);
  } else if (has(0x1)) {
    allocate_xmm(n, a, b, status);
    if (status != 0) call_state.command_error = status;
  } else if (has(0x4)) {
    evaluate_upn(rec.second, 1);
    int32_t v = 0, element = 0;
    get_last_reference(v, element);
    if (element > 0) {
      report_error("LSTMGR/TAB(x)", 32000);
      return;
    }
    lst_tab(n, a, b, v, text);
  } else if (has(0x2)) {
    lst_free(n);
  } else if (has(0x40)) {
    MARK_LIST(n, a);
  } else if (has(0x10)) {
    update_slider_redraw(n);
  } else if ((has(0x1000) || has(0x2000)) && !whole_or_refused(taken)) {
    // The list file's name (save and load) is taken whole or refused.
  } else if (has(0x1000)) {
    lst_save(n, text, has(0x20), status);
    if (status != 0) call_state.command_error = status;
  } else if (has(0x2000)) {
    lst_load(n, text, has(0x20), a, status);
    if (status != 0) call_state.command_error = status;
  } else if (has(0x4000)) {
    lst_set_cursor(n, a);
  } else if (has(0x200)) {
    lst_sort(n);
  } else if (has(0x8) || has(0x8000)) {
    std::string source;
    if (!row_source(rec, text, source)) return;
    if (has(0x8))
      lst_put_row(n, a, source);
    else
      lst_insert(n, a, source);
  } else if (has(0x10000)) {
    lst_erase(n, a);
  } else {
    report_error("$LSTMGR Code-Error", 0);
  }
}
