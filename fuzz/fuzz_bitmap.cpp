// Feeds arbitrary bytes to the library's bitmap loader as a BMP or a JPEG file (the first byte
// chooses the name's ending).  A broken or oversized file is refused with a status, never a
// crash, a read outside the file's data or an allocation beyond what a screen can use.
#include <cstdint>

#include "fuzz_support.h"
#include "quillon/api/quillon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("bitmap");
  fuzz::start_run();
  const char* name = (data[0] & 1) ? "in.jpg" : "in.bmp";
  fuzz::write_file(name, fuzz::as_text(data + 1, size - 1));
  int status = 0;
  const int32_t handle = LOAD_BITMAP(name, &status);
  if (status == 0 && handle != 0) DELETE_OBJECT(handle, &status);
  return 0;
}
