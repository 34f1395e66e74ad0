// Feeds arbitrary bytes to the program loader as a PXB file, fetches every text token of the
// loaded program (which expands the variable markers) and compiles the bytes as one expression
// line.  A broken file must end in a report (program_end), never in a crash or a read or write
// outside a store.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::enter_work_directory("loader");

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  fuzz::start_run();
  try {
    load_program_image(bytes);
    const int32_t last = std::min(text_tokens.token_count, 64) + 1;
    for (int32_t n = 0; n <= last; ++n) {
      fuzz::start_run();
      try {
        get_text_token(n);
      } catch (const program_end&) {
      }
    }
  } catch (const program_end&) {
  }

  fuzz::start_run();
  try {
    reset_upn_store();
    alloc_upn_index(2);
    alloc_upn_codes(300);
    compile_upn(bytes.substr(0, std::min<size_t>(bytes.size(), pxb_record_length)));
  } catch (const program_end&) {
  }
  return 0;
}
