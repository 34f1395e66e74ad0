// The icon library.  The file is read whole on the first draw and again after every capture;
// a failed load leaves the library unloaded, so every draw tries again.  Errors are only
// traced: a missing library draws nothing visible.
#include "quillon/api/save_file.h"
#include "runtime/screen/icon_library.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/screen/screen.h"

namespace {
struct icon_library_t {
  std::array<icon_record, icon_max> table{};  // icon n at [n - 1]
  int32_t count = 0;                          // complete records read
  icon_record work{};
  std::string file_name = "*";
  int32_t unit = -1;  // -1 while not loaded, else the unit last used to read it
  std::string refused;  // the node last refused as the library (reported once)
  int32_t refusal = 0;  // why it was refused, while the library stays unloaded for it
};
icon_library_t lib;

constexpr size_t reference_size = 80;

// What stands at the library's name: nothing (false), or true with the code that refuses it as
// the library, 0 for a plain file (a record has its place only in a plain file: a device or
// pipe is refused with ESPIPE, a folder with EISDIR).
bool library_node(const std::string& name, int32_t& refusal) {
  std::error_code ec;
  const std::filesystem::file_status kind = std::filesystem::status(host_path(name), ec);
  if (!std::filesystem::exists(kind)) return false;
  refusal = std::filesystem::is_regular_file(kind) ? 0 : std::filesystem::is_directory(kind) ? EISDIR : ESPIPE;
  return true;
}

// Reads records 1..300 up to the first one that is not complete.
bool read_library(const std::string& name) {
  std::ifstream in(host_path(name), std::ios::binary);
  if (!in) return false;
  lib.table = {};
  lib.count = 0;
  for (int32_t n = 1; n <= icon_max; ++n) {
    in.read(reinterpret_cast<char*>(lib.work.data()), icon_record_size);
    if (in.gcount() != icon_record_size) break;
    lib.table[n - 1] = lib.work;
    lib.count = n;
  }
  lib.file_name = name;
  lib.refusal = 0;
  return true;
}

// The library is searched in the current directory, its "kyr" subdirectory and beside the
// executable.
void load_library() {
  trace_msg("loading iconLIB");
  const int32_t unit = get_free_unit();
  for (const char* candidate : {"icon.lib", "kyr\\icon.lib"}) {
    int32_t refusal = 0;
    if (!library_node(candidate, refusal)) continue;
    trace_str("icon_file=", candidate);
    if (refusal != 0) {
      // The first place that holds the name is the library's: a node there that is no plain file
      // is refused, never passed over for the library beside the executable (whose records a
      // save would then overwrite).  Said once; the library stays unloaded.
      lib.file_name = candidate;
      lib.unit = -1;
      lib.count = 1;
      lib.refusal = refusal;
      if (lib.refused != candidate) {
        lib.refused = candidate;
        report_open_failure(candidate, refusal);
      }
      return;
    }
    if (read_library(candidate)) {
      lib.unit = unit;
      return;
    }
  }
  std::string exe;
  int status = 0;
  GET_EXE_NAME(exe, &status);
  while (!exe.empty() && exe.back() == ' ') exe.pop_back();
  if (status == 0 && !exe.empty()) {
    std::string shown = exe;
    upcase_string(shown.data(), static_cast<int32_t>(shown.size()));
    trace_str("icon_file=", shown);
    // The name keeps its case: file names are never upper-cased on the way to the disk.
    const size_t cut = exe.find_last_of("\\/");
    const std::string beside = (cut == std::string::npos ? std::string() : exe.substr(0, cut + 1)) + "icon.lib";
    if (read_library(beside)) {
      lib.unit = unit;
      return;
    }
  }
  lib.unit = -1;
  lib.count = 1;
}

int32_t bit_of(int32_t c) { return 0x80 >> ((c - 1) % 8); }
size_t byte_of(int32_t c, int32_t r, int32_t plane) {
  return static_cast<size_t>(16 * r - 12 + 4 * plane + (c - 1) / 8);
}

// The colour number that colour index k (1..15) draws.
int32_t colour_of_index(int32_t k) { return k == 1 ? 0 : k; }

ups* drawing_step_context() { return screen_step_context(0); }
}  // namespace

int32_t icon_number(std::string_view reference, bool flag) {
  reference = reference.substr(0, std::min(reference.size(), reference_size));
  if (const size_t amp = reference.find('&'); amp != std::string_view::npos) reference = reference.substr(0, amp);
  if (const size_t bar = reference.find('|'); bar != std::string_view::npos)
    reference = flag ? reference.substr(bar + 1) : reference.substr(0, bar);
  if (reference.size() < 2) return 0;
  std::string digits;
  for (char ch : reference.substr(1, 4))
    if (ch != ' ') digits += ch;
  int32_t n = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, n);
  if (digits.empty() || ec != std::errc() || ptr != end) return 0;
  return n;
}

int32_t icon_pixel_index(const icon_record& record, int32_t c, int32_t r) {
  if (c < 1 || c > icon_width || r < 1 || r > icon_height) return 0;
  int32_t index = 0;
  for (int32_t plane = 0; plane < 4; ++plane)
    if (record[byte_of(c, r, plane)] & bit_of(c)) index += 1 << plane;
  return index;
}

void set_icon_pixel_index(icon_record& record, int32_t c, int32_t r, int32_t index) {
  if (c < 1 || c > icon_width || r < 1 || r > icon_height) return;
  for (int32_t plane = 0; plane < 4; ++plane) {
    uint8_t& byte = record[byte_of(c, r, plane)];
    if (index & (1 << plane))
      byte = static_cast<uint8_t>(byte | bit_of(c));
    else
      byte = static_cast<uint8_t>(byte & ~bit_of(c));
  }
}

void draw_icon_on(ups& u, int32_t x, int32_t y, std::string_view reference, bool flag) {
  int32_t n = icon_number(reference, flag);
  if (lib.unit < 0) load_library();
  if (n > lib.count) n = 1;
  if (n <= 0) return;
  lib.work = lib.table[n - 1];
  for (int32_t r = 1; r <= icon_height; ++r)
    for (int32_t c = 1; c <= icon_width; ++c) {
      const int32_t k = icon_pixel_index(lib.work, c, r);
      if (k == 0) continue;  // transparent
      SET_PIXEL(u, colour_table[colour_of_index(k)], {x + c, y + r - 1});
    }
}

void draw_icon(int32_t x, int32_t y, std::string_view reference, bool flag) {
  ups* u = drawing_step_context();
  if (u == nullptr) {
    trace_str("draw_icon without drawing step:", reference.substr(0, std::min(reference.size(), reference_size)));
    return;
  }
  draw_icon_on(*u, x, y, reference, flag);
  // The program's draw with the library refused says so in IOERROR (the WARNUNG came with the
  // first look at it).
  if (lib.unit < 0 && lib.refusal != 0) io_status = lib.refusal;
}

void save_icon_lib(int32_t x, int32_t y, std::string_view reference) {
  const int32_t n = icon_number(reference, false);
  if (n <= 0 || n > icon_max) return;

  // Reading needs no drawing step: without one, screen 0's bitmap is read directly.
  ups own;
  ups* u = drawing_step_context();
  if (u == nullptr) {
    int32_t bitmap = 0;
    screen_bitmap(0, bitmap);
    int status = 0;
    START_BITMAP_DRAW(bitmap, own, &status);
    if (status != 0) return;
    u = &own;
  }
  lib.work.fill(0);
  lib.work[0] = icon_width;
  lib.work[2] = icon_height;
  const uint32_t colour_1 = colour_table[1] & 0xFFFFFF;
  for (int32_t r = 1; r <= icon_height; ++r)
    for (int32_t c = 1; c <= icon_width; ++c) {
      uint32_t pixel = GET_PIXEL(*u, {x + c - 1, y + r - 1});
      // Black is stored as index 1 and colour 1 as transparent: index 1 draws colour 0.
      if (pixel == 0)
        pixel = colour_1;
      else if (pixel == colour_1)
        pixel = 0;
      int32_t k = 17;
      for (int32_t j = 1; j <= 16; ++j)
        if ((colour_table[j] & 0xFFFFFF) == pixel) {
          k = j;
          break;
        }
      // Colours that no index 1..15 holds are stored transparent.
      set_icon_pixel_index(lib.work, c, r, k <= 15 ? k : 0);
    }
  if (u == &own) END_BITMAP_DRAW(own);

  get_free_unit();
  const std::string name = lib.file_name == "*" ? std::string("ICON.LIB") : lib.file_name;
  trace_str("save icon_file=", name);
  trace_int("icon_nr=", n);
  // Only an existing library is written to; a missing one is left missing.  The library is
  // saved whole, aside, with the record put in place (a record beyond the end extends the file
  // with zero bytes), so a failed save keeps the old library.  A record has its place only in a
  // plain file: a device or pipe under the name is neither read nor written (ESPIPE).
  const std::string path = host_path(name);
  if (int32_t refusal = 0; library_node(name, refusal) && refusal != 0) {
    report_write_failure(name, refusal);
    lib.unit = -1;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (in) {
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const size_t at = static_cast<size_t>(icon_record_size) * static_cast<size_t>(n - 1);
    if (bytes.size() < at + icon_record_size) bytes.resize(at + icon_record_size, '\0');
    bytes.replace(at, icon_record_size, reinterpret_cast<const char*>(lib.work.data()), icon_record_size);
    save_file out;
    if (out.open(path) == 0) out.write(bytes);
    if (const int32_t failed = out.commit(); failed != 0) {
      trace_str("save icon_file failed:", name);
      report_write_failure(name, failed, out.reason());
    }
  }
  lib.unit = -1;
}

void forget_icon_lib() { lib.unit = -1; }

int32_t icon_count() { return lib.count; }
std::string_view icon_file_name() { return lib.file_name; }
bool icon_lib_loaded() { return lib.unit >= 0; }
void icon_library_reset() { lib = {}; }
