// Feeds arbitrary bytes to the plot-script language, as a script text (one line, statements
// split at bars) or as a script file with labels and jumps (the first byte chooses), on an
// open HP-GL plot.  A broken statement is ignored or reported, never a crash or a read outside
// an element slot.  A script that jumps back for ever runs, as in a program, until the quit
// message, which the harness posts after a budget of statements, as a user closing the window.
#include <cstdint>

#include "fuzz_support.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"

namespace {

constexpr int32_t statement_budget = 2000;
int32_t statements = 0;

void count_statement() {
  if (++statements == statement_budget) qn_post_quit(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("psplot");
  fuzz::start_run();
  plot_reset();
  psplot_reset();
  statements = 0;
  psplot_state.statement_hook = count_statement;
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
  if (qn_quitting()) qn_reset();  // the next input starts without the quit message
  return 0;
}
