// Feeds arbitrary bytes to the form engine as a form file ".frm": every line is formatted (value
// formats, index tables, directives, hex escapes) into the work file, which is then written
// to the meta file.  A broken form gives a warning or a report, never a crash or a read
// outside a line.
#include <cstdint>

#include "fuzz_support.h"
#include "runtime/output/print/print.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("form");
  fuzz::start_run();
  form_format_reset();
  fuzz::write_file("f.frm", fuzz::as_text(data + 1, size - 1));
  const int32_t mode = (data[0] & 1) ? print_mode_meta : print_mode_format_only;
  fuzz::guarded([&] {
    print_set_meta_name("meta.txt");
    u_gprint("f", (data[0] & 2) != 0, mode);
  });
  print_job_reset();
  print_output_reset();
  return 0;
}
