// Plot routines offered for later callers: the device predicate, the DXF header and trailer
// writers, an origin shift and the scale ratio, a filled and a hatched rectangle, and a text
// writer that sets commas closer.  They work on the workstation block like plot does.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/program/program.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

constexpr int32_t dxf_device = 41;

struct corner {
  float x = 0, y = 0;
};

// A point relative to the origin in cm on the page, turned like plot turns it.
corner page_point(float x, float y) {
  const plot_state_t& p = plot_state;
  corner c{p.origin_x + x, p.origin_y + y};
  if (p.rotated) c = corner{c.y, paper_width_magnitude() - c.x};
  return c;
}

struct device_point {
  int32_t x = 0, y = 0;
};

device_point to_device(corner c) {
  return {trunc_to_int(c.x * plot_state.xfac), trunc_to_int(c.y * plot_state.yfac)};
}

// The DXF case of both rectangles: the outline as four LINE entities.  False on other devices.
bool dxf_outline(corner a, corner b) {
  if (plot_state.device != dxf_device) return false;
  dxf_line(a.x, a.y, a.x, b.y);
  dxf_line(a.x, b.y, b.x, b.y);
  dxf_line(b.x, b.y, b.x, a.y);
  dxf_line(b.x, a.y, a.x, a.y);
  plot_state.current_x = a.x;
  plot_state.current_y = a.y;
  return true;
}

void line(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  plot_move_draw(clamp(x1), clamp(y1), 0);
  plot_move_draw(clamp(x2), clamp(y2), 1);
}

}  // namespace

void plot_device_supported(int32_t code, int32_t& flag) {
  switch (code) {
    case 0: case 1: case 20: case 21: case 22: case 23: case 24:
    case 30: case 31: case 32: case 40: case 41: case 43: case 49:
      flag = 1;
      return;
    default:
      flag = 0;
  }
}

void dxf_write_header() {
  const int32_t unit = plot_open_data_file("VEXTA10.ACH");
  if (unit == 0) {
    report_error("%GKS-dxf, VEXTA10.ACH not found", 32000);
    return;
  }
  std::string line_text;
  while (unit_read_line(unit, line_text) == 0) {
    if (line_text.size() > 80) line_text.resize(80);
    const std::string_view t = trim_blanks_right(line_text);
    // An empty line writes nothing at all: the writer drops a count of 0.
    plot_write_crlf(t, static_cast<int32_t>(t.size()));
  }
  unit_close(unit);
}

void dxf_write_trailer() {
  for (std::string_view l : {"0", "ENDSEC", "0", "EOF"}) plot_write_crlf(l, static_cast<int32_t>(l.size()));
}

void plot_shift_origin(int32_t dx, int32_t dy) {
  // Without a scale (no plot opened) a device unit has no size in cm: nothing moves.
  if (plot_state.xfac != 0) plot_state.origin_x += static_cast<float>(dx) / plot_state.xfac;
  if (plot_state.yfac != 0) plot_state.origin_y += static_cast<float>(dy) / plot_state.yfac;
}

void plot_scale_ratio(float& ratio) {
  ratio = plot_state.yfac != 0 ? plot_state.xfac / plot_state.yfac : 0.0f;
}

void plot_fill_rect(float x, float y, float width, float height) {
  const corner a = page_point(x, y);
  const corner b = page_point(x + width, y + height);
  if (dxf_outline(a, b)) return;
  const device_point p1 = to_device(a), p2 = to_device(b);
  plot_state.current_x = a.x;
  plot_state.current_y = a.y;
  const int64_t x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y;
  if (y2 - y1 < x2 - x1) {
    for (int64_t row = y1; row <= y2; ++row) line(x1, row, x2, row);
  } else {
    for (int64_t column = x1; column <= x2; ++column) line(column, y1, column, y2);
  }
}

void plot_hatch_rect(float x, float y, float width, float height) {
  const corner a = page_point(x, y);
  const corner b = page_point(x + width, y + height);
  if (dxf_outline(a, b)) return;
  const device_point p1 = to_device(a), p2 = to_device(b);
  plot_state.current_x = a.x;
  plot_state.current_y = a.y;
  const int64_t x1 = std::min(p1.x, p2.x), x2 = std::max(p1.x, p2.x);
  const int64_t y1 = std::min(p1.y, p2.y), y2 = std::max(p1.y, p2.y);
  plot_move_draw(static_cast<int32_t>(x1), static_cast<int32_t>(y1), 0);
  plot_move_draw(static_cast<int32_t>(x1), static_cast<int32_t>(y2), 1);
  plot_move_draw(static_cast<int32_t>(x2), static_cast<int32_t>(y2), 1);
  plot_move_draw(static_cast<int32_t>(x2), static_cast<int32_t>(y1), 1);
  plot_move_draw(static_cast<int32_t>(x1), static_cast<int32_t>(y1), 1);
  const int64_t step = trunc_to_int(plot_state.xfac * 0.2f);
  if (step <= 0) return;
  const int64_t span = x2 - x1;
  for (int64_t t = y1; t - span < y2; t += step) {
    int64_t sx = x1, sy = t;
    if (t > y2) {
      sx = x1 + t - y2;
      sy = y2;
    }
    int64_t ex = x2, ey = t - span;
    if (ey < y1) {
      ex = x1 + t - y1;
      ey = y1;
    }
    line(sx, sy, ex, ey);
  }
}

void plot_text_commas(float x, float y, float size, std::string_view text, float angle,
                      int32_t count) {
  if (count < 1) count = static_cast<int32_t>(trim_blanks_right(text).size());
  count = std::min(count, static_cast<int32_t>(text.size()));
  const float step = 0.6f * size;
  for (int32_t i = 0; i < count; ++i) {
    const char c = text[static_cast<size_t>(i)];
    plot_text(x, y, size, std::string_view(&text[static_cast<size_t>(i)], 1), angle, 1);
    x += c == ',' ? 0.7f * step : step;
  }
}
