// The one route of names: a cut text is refused with IOERROR 36 and the WARNUNG line.
#include "runtime/program/names.h"

#include <cerrno>

#include "runtime/program/file_units.h"
#include "runtime/program/program.h"

bool whole_or_refused(const program_text& name) {
  if (!name.cut) return true;
  io_status = ENAMETOOLONG;
  report_open_failure(name.text, io_status);
  return false;
}

std::optional<std::string> whole_name(const program_text& name) {
  if (!whole_or_refused(name)) return std::nullopt;
  return std::string(blank_trimmed(name.text));
}
