// The evaluator's list functions LSTMGR (cursor row and its text) and LSTEL (a row's text or
// the current tab column).  Program lists 1..4 are the list manager's lists 3..6.
#include <algorithm>
#include <cstring>

#include "runtime/commands/runtime.h"
#include "runtime/program/eval_library_internal.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/screen/lists.h"

namespace {
// "ü" of the DOS code page in which these messages have always been stored.
constexpr char overflow_tail[] = "\x81" "berlauf";

bool program_list_ok(int32_t k) { return k >= 1 && k <= 4; }

// The text of row r of list n into the slot's 512-character text; returns its length without
// trailing blanks, limited to the longest text a slot carries.
int32_t row_into_slot(value_slot& slot, int32_t n, int32_t r) {
  lst_get_row(n, r, slot.text.data(), static_cast<int32_t>(slot.text.size()));
  return std::min(trimmed_length(slot), max_text_result);
}
}  // namespace

void eval_LSTMGR() {
  value_slot& top = evaluator.top();
  const int32_t k = nint(top.value());
  if (!program_list_ok(k)) {
    report_error(std::string("LSTMGR ") + overflow_tail, 32000);
    return;
  }
  int32_t cursor = 0;
  lst_get_cursor(k + 2, cursor);
  const int32_t length = row_into_slot(top, k + 2, cursor);
  top.type = length;
  top.set_value(static_cast<float>(cursor));
  note_text_written(evaluator.sp);
}

void eval_LSTEL() {
  value_slot& first = evaluator.slot(evaluator.sp - 1);
  const int32_t k = nint(first.value());
  const int32_t r = nint(evaluator.top().value());
  if (!program_list_ok(k)) {
    report_error(std::string("LSTEL ") + overflow_tail, 32000);
    return;
  }
  if (r == 0) {
    first.set_number(static_cast<float>(list_of(k + 2).tab_column));
    pop_to_first_argument();
    return;
  }
  pop_to_first_argument();
  value_slot& result = evaluator.top();
  const int32_t length = row_into_slot(result, k + 2, r);
  text_exit(result, length);
}
