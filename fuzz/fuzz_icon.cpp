// Feeds arbitrary bytes to the icon library as "icon.lib": every icon that the first byte names
// is drawn on a screen, and one is captured back into the library and saved.  A short or
// broken library draws what it holds, never reads outside a record.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "runtime/screen/icon_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("icon");
  fuzz::start_run();
  static const bool screen_made = [] {
    int32_t width = 640;
    screen_init(0, width, 480);
    return true;
  }();
  (void)screen_made;
  icon_library_reset();
  fuzz::write_file("icon.lib", fuzz::as_text(data + 1, size - 1));
  const int32_t first = 1 + data[0] % 64;
  ups u{};
  screen_nr(0, u, -1, 0, 0, 0);
  for (int32_t n = first; n < first + 3; ++n)
    fuzz::guarded([&] { draw_icon_on(u, 10, 10, "#" + std::to_string(n), false); });
  screen_stop_nr(0);
  fuzz::guarded([&] { save_icon_lib(0, 0, "#" + std::to_string(first)); });
  return 0;
}
