// Entry of the evaluator's library functions: hands each code to its family.
#include "runtime/program/eval_library.h"

#include <string>

#include "runtime/program/program.h"
#include "runtime/program/upper_services.h"

void eval_library_function(int32_t code, int32_t /*operand*/) {
  if (eval_numeric_function(code) || eval_datetime_function(code) || eval_text_function(code)) return;
  for (auto family : upper_services.function_families)
    if (family != nullptr && family(code)) return;
  report_error("UPN-CODE-ERROR: Funktion " + std::to_string(code), 32000);
}
