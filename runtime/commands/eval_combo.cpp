// The evaluator function COMBO: text and number of the current entry of a combo record.
#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/screen/screen.h"

void eval_COMBO() {
  value_slot& top = evaluator.top();
  char key[16];
  std::snprintf(key, sizeof key, "#%02d", nint(top.value()));
  std::string text;
  int32_t value = 0;
  combo_lookup(key, text, value, combo_text_length);
  // The slot carries the entry's text with its trimmed length and the entry's number as its
  // value; the common text-result step would overwrite that number with the length.
  std::fill(top.text.begin(), top.text.end(), ' ');
  std::copy(text.begin(), text.end(), top.text.begin());
  const size_t end = text.find_last_not_of(' ');
  top.type = end == std::string::npos ? 0 : static_cast<int32_t>(end + 1);
  top.set_value(static_cast<float>(value));
  note_text_written(evaluator.sp);
}
