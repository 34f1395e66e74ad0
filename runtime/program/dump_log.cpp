// The dump log "$PXBDUMP.LOG": one line per start-up step and event, written only after a
// leading '$' on the command line switched it on.  Every failure is ignored.
#include "runtime/program/program.h"
#include "runtime/program/file_units.h"

namespace {
constexpr std::string_view dump_file = "$PXBDUMP.LOG";

void write_dump(std::string_view text, std::string_view status, std::string_view access) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int32_t unit = find_free_unit();
  if (unit < 0 || unit_open(unit, dump_file, {.status = status, .access = access}) != 0) return;
  unit_write_line(unit, text);
  unit_close(unit);
}
}  // namespace

void dump_log(std::string_view text) {
  if (run_flags.dump_off) return;
  write_dump(text, "UNKNOWN", "APPEND");
}

void dump_log_restart(bool on) {
  run_flags.dump_off = !on;
  if (on) write_dump("startup", "REPLACE", "SEQUENTIAL");
}
