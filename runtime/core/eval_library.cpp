// Entry of the evaluator's library functions: hands each code to its family.
#include "runtime/core/eval_library.h"

#include <string>

#include "runtime/core/core.h"

void eval_library_function(int32_t code, int32_t /*operand*/) {
  if (eval_numeric_function(code) || eval_datetime_function(code) || eval_device_function(code) ||
      eval_text_function(code) || eval_convert_function(code))
    return;
  report_error("UPN-CODE-ERROR: Funktion " + std::to_string(code), 32000);
}
