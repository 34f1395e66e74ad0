// Feeds arbitrary bytes to the combo boxes as their library "combo.lib": each record that the
// first byte names is looked up, its entries chosen and one written back.  A broken library
// gives a report, never a crash or a read outside a record.
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("combo");
  fuzz::start_run();
  combo_reset();
  fuzz::write_file("combo.lib", fuzz::as_text(data + 1, size - 1));
  const int32_t first = data[0] % 8;
  for (int32_t n = first; n <= first + 2; ++n) {
    const std::string key = "#" + std::to_string(n);
    std::string text;
    int32_t value = 0;
    fuzz::guarded([&] { combo_lookup(key, text, value); });
    fuzz::guarded([&] { combo_open_entry(key); });
    fuzz::guarded([&] { combo_select_entry(1 + data[0] % 21); });
    fuzz::guarded([&] { combo_select_value(value); });
    fuzz::guarded([&] { combo_set_text("neu"); });
  }
  return 0;
}
