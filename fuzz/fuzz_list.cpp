// Feeds arbitrary bytes to the list manager as a list file: loaded with and without the header
// line (the first byte chooses, and the row length), sorted, then saved and loaded back.  A
// broken file may give a status, never a crash, a read outside the row store or a lost row.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "runtime/screen/lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("list");
  fuzz::start_run();
  reset_lists();
  const bool header = (data[0] & 1) != 0;
  const int32_t row_length = 16 + (data[0] >> 1) * 4;  // 16..524: below, at and above the maximum
  const std::string_view file = fuzz::as_text(data + 1, size - 1);
  // A header may claim any count of rows, and the list then holds that many (blank ones up to
  // the count): a claim above 20,000 rows only costs time, and is left out.
  if (header) {
    const std::string_view first = file.substr(0, file.find('\n'));
    // As the list's header is read: blanks, an optional comma, blanks, an optional plus.
    size_t digits = first.find_first_not_of(" \t");
    if (digits != std::string_view::npos && first[digits] == ',') digits = first.find_first_not_of(" \t", digits + 1);
    if (digits != std::string_view::npos && first[digits] == '+') ++digits;
    int32_t claimed = 0;
    if (digits < first.size()) {
      const auto [end, ec] = std::from_chars(first.data() + digits, first.data() + first.size(), claimed);
      if (ec == std::errc::result_out_of_range || claimed > 20000) return 0;
    }
  }
  fuzz::write_file("in.lst", file);
  fuzz::guarded([&] {
    int32_t status = 0;
    lst_load(3, "in.lst", header, row_length, status);
    if (status != 0) return;
    int32_t count = 0;
    lst_get_count(3, count);
    lst_sort(3);
    lst_save(3, "out.lst", header, status);
    if (status != 0) return;
    lst_load(4, "out.lst", header, row_length, status);
    int32_t again = 0;
    lst_get_count(4, again);
    if (status == 0 && again != count) std::abort();  // a saved list loads back whole
  });
  return 0;
}
