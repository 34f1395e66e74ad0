// Feeds arbitrary bytes to the plot engine as one of its data files: the first byte chooses
// which (the plotter character table or one of the DXF, PostScript and PDF templates); the
// others come from the shipped data.  A plot is opened on the device that reads the file, a
// line and a text are drawn and the plot is ended.  A broken file gives a report, never a
// crash or a read outside a line.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "runtime/output/plot/plot.h"

namespace {

struct data_case {
  const char* file;
  const char* plot;  // the plot file whose extension chooses the device
  int32_t device;
};
constexpr std::array<data_case, 6> cases = {{
    {"PLOTRANS.TBL", "p.PLT", 30},
    {"VEXTA10.ACH", "p.DXF", 41},
    {"VEXTA10.PSH", "p.EPS", 40},
    {"VEXTA10.PDH", "p.PDF", 43},
    {"VEXTA10.PDR", "p.PDF", 43},
    {"VEXTA99.PDH", "p.PDF", 43},
}};

// The program directory "prog/" with the shipped data files, one of which the input replaces;
// the file replaced by the previous input is put back first.
void make_program_dir(const char* replaced) {
  namespace fs = std::filesystem;
  static const bool made = [] {
    fs::create_directories("prog");
    return true;
  }();
  (void)made;
  static std::string previous;
  std::error_code ec;
  if (!previous.empty())
    fs::copy_file(fs::path(WINKYR_SOURCE_DIR "/data") / previous, fs::path("prog") / previous,
                  fs::copy_options::overwrite_existing, ec);
  else
    for (const auto& entry : fs::directory_iterator(WINKYR_SOURCE_DIR "/data", ec))
      fs::copy_file(entry.path(), fs::path("prog") / entry.path().filename(), fs::copy_options::overwrite_existing, ec);
  previous = replaced;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::enter_work_directory("plot_data");
  const data_case& c = cases[data[0] % cases.size()];
  const bool landscape = (data[0] & 0x80) != 0;
  make_program_dir(c.file);
  fuzz::write_file(std::string("prog/") + c.file, fuzz::as_text(data + 1, size - 1));
  fuzz::start_run();
  plot_reset();
  plot_set_program_dir("prog/");
  fuzz::guarded([&] {
    COMPS(c.plot, landscape ? 29.7f : 21.0f, landscape ? 21.0f : 29.7f, c.device, 1.0f);
    plot(1.0f, 1.0f, 3);
    plot(5.0f, 4.0f, 2);
    plot_text(2.0f, 2.0f, 0.5f, "Umlaute \xC4\xD6\xDC\xDF \xB0", 0.0f, 0);
    plot(0.0f, 0.0f, 999);
  });
  plot_reset();
  return 0;
}
