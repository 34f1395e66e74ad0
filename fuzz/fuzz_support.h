// What every fuzz target shares: a private working directory (the runtime writes its logs and
// work files into the current directory), a run with boxes switched off so that every report
// ends the run at once, and a way to hand the input to the runtime as a file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "runtime/commands/runtime.h"
#include "runtime/program/file_units.h"
#include "runtime/screen/screen.h"

namespace fuzz {

// Enters a fresh directory once per process; the logs are started afresh now and then, so that a
// long run does not fill the disk.
inline void enter_work_directory(const char* target) {
  static const bool ready = [target] {
    std::string pattern = std::string("/tmp/winkyr_") + target + "_XXXXXX";
    if (const char* dir = mkdtemp(pattern.data()); dir == nullptr || chdir(dir) != 0) std::abort();
    return true;
  }();
  (void)ready;
  static unsigned runs = 0;
  if (++runs % 4096 == 0) {
    std::remove("PXBERROR.LOG");
    std::remove("$PXBDUMP.TXT");
  }
}

// A run as automatic mode makes it: reports end the run, no box waits for an answer.
inline void start_run() {
  errors_reset();
  file_units_reset();
  run_flags = run_flags_t{};
  set_auto_mode(true);
  run_flags.no_box = true;
  // A box of the library that still comes up is answered at once (OK), never waited for.
  qn_set_box_answerer([](std::string_view, std::string_view, int32_t) { return 1; });
}

inline std::string_view as_text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline void write_file(const std::string& name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs f and swallows the unwinding by which a report ends the run.
template <typename F>
void guarded(F&& f) {
  try {
    f();
  } catch (const program_end&) {
  }
}

}  // namespace fuzz
