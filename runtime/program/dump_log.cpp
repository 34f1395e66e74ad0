// The dump log "$PXBDUMP.LOG": one line per start-up step and event, written only after a
// leading '$' on the command line switched it on.  Every failure is ignored.
#include "runtime/program/program.h"
#include "runtime/program/file_units.h"

namespace {
constexpr std::string_view dump_file = "$PXBDUMP.LOG";

void write_dump(std::string_view text, bool replace) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  append_run_log_line(dump_file, text, replace);
}
}  // namespace

void dump_log(std::string_view text) {
  if (run_flags.dump_off) return;
  write_dump(text, false);
}

void dump_log_restart(bool on) {
  run_flags.dump_off = !on;
  if (on) write_dump("startup", true);
}
