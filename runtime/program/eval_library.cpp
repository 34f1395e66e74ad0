// Entry of the evaluator's library functions: hands each code to its family.
#include "runtime/program/eval_library.h"

#include <algorithm>
#include <string>

#include "runtime/program/expression/evaluator.h"
#include "runtime/program/program.h"
#include "runtime/program/upn_store.h"
#include "runtime/program/upper_services.h"

namespace {

// The clock and calendar functions and the families above write text fields their own way,
// without the mark of where the blanks begin: the slots they can reach (their arguments, and
// the one above them that a function without arguments pushes) forget it.
bool run_unmarked_family(int32_t code) {
  const int32_t sp = evaluator.sp;
  evaluator.result_cut = false;
  bool known = eval_datetime_function(code);
  for (auto family : upper_services.function_families) {
    if (known) break;
    known = family != nullptr && family(code);
  }
  // Their text results are new texts, cut only where the function says so (a system text
  // longer than a result holds).
  if (known) evaluator.top().cut_kept = evaluator.result_cut ? std::max(evaluator.top().type, 0) : -1;
  evaluator.result_cut = false;
  // STRING keeps the mark: it writes its text over its value's field and blanks to where the old
  // text ended, and changes only the characters of its picture.
  if (code == upn_string) return known;
  for (int32_t i = std::max(sp - 2, value_stack_first); i <= std::min(sp + 1, value_stack_last); ++i)
    evaluator.slot(i).forget_blanks();
  return known;
}

}  // namespace

void eval_library_function(int32_t code, int32_t /*operand*/) {
  // The numeric functions all lie below UPCASE, the text functions from it on.
  const bool known = code < upn_upcase ? eval_numeric_function(code) : eval_text_function(code);
  if (known || run_unmarked_family(code)) return;
  report_error("UPN-CODE-ERROR: Funktion " + std::to_string(code), 32000);
}
