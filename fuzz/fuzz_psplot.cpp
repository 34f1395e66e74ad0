// Feeds arbitrary bytes to the plot-script language, as a script text (one line, statements
// split at bars) or as a script file with labels and jumps (the first byte chooses), on an
// open HP-GL plot.  A broken statement is ignored or reported, never a crash, a read outside
// an element slot or a run that never ends.
#include <cstdint>

#include "fuzz_support.h"
#include "runtime/output/plot/plot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("psplot");
  fuzz::start_run();
  plot_reset();
  psplot_reset();
  plot_set_program_dir(WINKYR_SOURCE_DIR "/data/");
  const std::string_view script = fuzz::as_text(data + 1, size - 1);
  const bool as_file = (data[0] & 1) != 0;
  if (as_file) fuzz::write_file("s.txt", script);
  fuzz::guarded([&] {
    COMPS("p.PLT", 21.0f, 29.7f, 30, 1.0f);
    psplot_init();
    if (!as_file) {
      psplot_set_text(script);
      PSPLOT(0);
      return;
    }
    const int32_t unit = get_free_unit();
    if (unit_open(unit, "s.txt", {.status = "OLD", .action = "READ"}) != 0) return;
    PSPLOT(unit);
    unit_close(unit);
  });
  psplot_reset();
  plot_reset();
  return 0;
}
