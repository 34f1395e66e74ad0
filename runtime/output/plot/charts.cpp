// Charts: a command list of (code, value) pairs drawn with the windowing library on the drawing
// context that the caller opened.  Codes are not above 0; the pairs behind a polyline command
// are its points.  Labels are rows of a list of the list manager.
#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/lists.h"

namespace {

// The parameter block outlives every call: a label in a later call stands at the point that
// the last polyline left.
struct chart_state_t {
  int32_t x0 = 0, y0 = 0;
  int32_t x_lo = 0, y_lo = 0, x_hi = 0, y_hi = 0;
  float x_origin = 0.0f, y_origin = 0.0f;
  float x_scale = 0.0f, y_scale = 0.0f;
  int32_t px = 0, py = 0;
  uint32_t colour = 0;
  float angle_a = 0.0f, angle_b = 0.0f;
};
chart_state_t chart;

constexpr int32_t label_length = 80;
constexpr int32_t colour_table_size = 257;

// Truncation toward zero, clamped to the int32 range.
int32_t trunc_clamped(double v) {
  if (std::isnan(v)) return 0;
  v = std::trunc(v);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Windows pen styles: solid 0, dash 1, dash-dot 3, dash-dot-dot 4.
int32_t pen_style(int32_t code) {
  switch (code) {
    case 2: return 1;
    case 3: return 3;
    case 4: return 4;
    default: return 0;
  }
}

std::string trimmed(std::string text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

void agraf_set6(int32_t x0, int32_t y0, int32_t x_lo, int32_t y_lo, int32_t x_hi, int32_t y_hi) {
  chart.x0 = x0;
  chart.y0 = y0;
  chart.x_lo = x_lo;
  chart.y_lo = y_lo;
  chart.x_hi = x_hi;
  chart.y_hi = y_hi;
}

void agraf_set4(float x_origin, float y_origin, float x_scale, float y_scale) {
  chart.x_origin = x_origin;
  chart.y_origin = y_origin;
  chart.x_scale = x_scale;
  chart.y_scale = y_scale;
}

void agraf(ups& u, int32_t n, std::span<const float> x, std::span<const float> y, int32_t list) {
  trace_int2("agraf", n, list);
  // Pairs behind a command are read only as far as both arrays reach: a command whose points
  // are missing ends the list there.
  const size_t available = std::min(x.size(), y.size());
  const size_t count = n > 0 ? std::min(static_cast<size_t>(n), available) : 0;
  float x_offset = 0.0f, y_offset = 0.0f;
  bool swap = false;
  size_t i = 0;
  while (i < count) {
    const int32_t code = nint(x[i]);
    const float v = y[i];
    ++i;
    if (code > 0) return;
    switch (code) {
      case -1: {
        const int32_t k = nint(v);
        for (int32_t p = 0; p < k; ++p) {
          if (i >= available) return;
          const float xp = x[i] + x_offset, yp = y[i] + y_offset;
          ++i;
          const float a = swap ? yp : xp;
          const float b = swap ? xp : yp;
          chart.px = trunc_clamped(chart.x0 + (static_cast<double>(a) - chart.x_origin) * chart.x_scale);
          chart.py = trunc_clamped(chart.y0 - (static_cast<double>(b) - chart.y_origin) * chart.y_scale);
          const qn_point point{chart.px, chart.py};
          if (p == 0)
            DRAW_LINE(u, {.start_px = point});
          else
            DRAW_LINE(u, {.end_px = point});
        }
        break;
      }
      case -2:
      case -3: {
        const int32_t row = nint(v);
        trace_int3("agraf", chart.px, chart.py, row);
        if (list > 0 && chart.x_lo < chart.px && chart.px < chart.x_hi && chart.y_lo < chart.py &&
            chart.py < chart.y_hi) {
          const std::string text = trimmed(lst_get_row(list, row, label_length));
          trace_str("text:", text);
          WRITE_TEXT(u, text, {.px = qn_point{chart.px, chart.py}, .colour = chart.colour, .background = -1,
                               .rotation = code == -2 ? chart.angle_a : chart.angle_b});
        }
        break;
      }
      case -4:
        if (i >= available) return;
        x_offset = x[i];
        y_offset = y[i];
        ++i;
        break;
      case -9:
        NEW_PEN(u, {.colour = chart.colour, .style = pen_style(nint(v))});
        break;
      case -10: {
        // Numbers outside the colour table change nothing.
        const int32_t k = nint(v);
        if (k >= 0 && k < colour_table_size) {
          chart.colour = colour_table[k];
          SELECT_MY_PEN(u, k);
        }
        break;
      }
      case -20: chart.angle_a = v; break;
      case -30: chart.angle_b = v; break;
      case -98: swap = nint(v) != 0; break;
      default: break;  // 0, -22, -97, unknown codes and codes below -99
    }
  }
}

agraf_layout agraf_get_layout() {
  return {chart.x0, chart.y0, chart.x_lo, chart.y_lo, chart.x_hi, chart.y_hi,
          chart.x_origin, chart.y_origin, chart.x_scale, chart.y_scale};
}

qn_point agraf_point() { return {chart.px, chart.py}; }

void agraf_reset() { chart = chart_state_t{}; }
