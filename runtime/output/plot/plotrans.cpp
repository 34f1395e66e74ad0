// The plotter character table: each character of a plot text may stand for one or two other
// characters on the device.  Filled from PLOTRANS.TBL when a plotter device opens; a file
// whose first line is "$SOFT" switches plot text to the stroke font instead.
#include <algorithm>
#include <array>
#include <string>

#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

struct plotrans_state_t {
  std::array<std::array<char, 2>, 256> table{};
};
plotrans_state_t plotrans;

void set_defaults() {
  for (int c = 0; c < 256; ++c) plotrans.table[static_cast<size_t>(c)] = {static_cast<char>(c), ' '};
}

}  // namespace

void load_plotrans(int32_t unit) {
  set_defaults();
  if (unit == 0) return;
  std::string line;
  if (unit_read_line(unit, line) == 0) {
    if (line.compare(0, 5, "$SOFT") == 0) {
      plot_state.soft_font = 1;
    } else {
      // The first line is a title; every further line is one entry.
      while (unit_read_line(unit, line) == 0) {
        line.resize(std::max<size_t>(line.size(), 3), ' ');
        const auto code = static_cast<uint8_t>(line[0]);
        plotrans.table[code] = {line[1], line[2]};
      }
    }
  }
  unit_close(unit);
}

std::string_view plotrans_entry(uint8_t code) {
  return std::string_view(plotrans.table[code].data(), 2);
}

std::string plotrans_apply(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto& e = plotrans.table[static_cast<uint8_t>(c)];
    out += e[0];
    if (e[1] != ' ') out += e[1];
  }
  return out;
}

void plotrans_reset() { set_defaults(); }
