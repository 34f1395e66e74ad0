// Evaluator functions whose services are not built yet: each reports clearly, under a code that
// ends the program.  A function leaves this file when its handler is written.
#include <string>

#include "runtime/core/core.h"
#include "runtime/core/evaluator.h"

namespace {
[[maybe_unused]] void not_built(const char* name) {
  report_error(std::string("Funktion nicht gebaut: ") + name, 32000);
}
}  // namespace

