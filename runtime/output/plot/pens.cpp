// Pens of the open plot device: colour (or, in monochrome mode, width) by pen number, line
// style and line thickness, each turned into what the device understands.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

struct pen_state_t {
  int32_t pen_style = 0;
  bool monochrome = false;
  int32_t pen_thickness = 10;  // 0.01 mm
  int32_t device_pen_map[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  int32_t pen_colour_map[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  int32_t pen_mode = 0;
  int32_t selector = 0;  // pen selector byte of the byte-coded plotter protocol
  float last_width_mm = 0;
};
pen_state_t pens;

bool screen_like(int32_t device) { return (device >= 0 && device <= 28) || device == 49; }

// A pen width in millimetres, which the library turns into pixels of the plot's device.
float noted_width(float mm) {
  pens.last_width_mm = mm;
  return mm;
}

float thickness_mm() { return static_cast<float>(pens.pen_thickness) * 0.01f + 0.25f; }

void write_line(const std::string& s) { plot_write_lf(s, static_cast<int32_t>(s.size())); }

void require_open() {
  if (plot_state.plot_ended) report_error("%GKS/newpen: NOT OPEND", 32000);
}

// The colour number of a pen; pens beyond the map's 17 entries wrap around like the plotters'.
uint32_t pen_colour_of(int32_t code) {
  const int32_t index = code <= 16 ? code : code % 16;
  const int32_t colour_number = std::clamp(pens.pen_colour_map[index], 0, 256);
  return colour_table[colour_number];
}

void select_pen(int32_t code) {
  const int32_t device_pen = pens.device_pen_map[std::abs(code) % 16];
  if (code == -1) {
    pens.monochrome = true;
    return;
  }
  if (code == -16) {
    pens.monochrome = false;
    return;
  }
  if (code < 0) return;
  const int32_t device = plot_state.device;
  const char pen_char = static_cast<char>('0' + device_pen);
  if (screen_like(device)) {
    const uint32_t colour = pens.monochrome ? 0u : pen_colour_of(code);
    plot_state.pen_colour = colour;
    trace_int("1NEW_PEN_color  =", static_cast<int32_t>(colour));
    if (ups* u = plot_context()) {
      NEW_PEN(*u, {.colour = colour, .style = pens.pen_style, .width_mm = noted_width(thickness_mm())});
      WRITE_TEXT(*u, " ", {.px = qn_point{10, 20}, .background = -1});
    }
  } else if (device == 30) {
    plot_write(std::string("SP") + pen_char + ";", 4);
  } else if (device == 31) {
    plot_write(std::string("P") + pen_char + ",", 3);
  } else if (device == 32) {
    pens.selector = (device_pen - 1) % 3;
    const char bytes[4] = {'\xFF', '\x02', static_cast<char>(pens.selector & 0xFF), '\0'};
    plot_write(std::string_view(bytes, 4), 4);
  } else if (device == 40) {
    plot_end_path();
    write_line(std::string(code == 1 ? "0.25" : code == 2 ? "1" : "2") + " w");
    plot_put_moveto();
  } else if (device == 43) {
    plot_end_path();
    if (pens.monochrome) {
      write_line(std::string(code == 1 ? ".2" : code == 2 ? ".4" : ".8") + " w");
      return;
    }
    const uint32_t c = pen_colour_of(code);
    plot_state.pen_colour = c;
    std::string line;
    for (int shift : {0, 8, 16})
      line += plot_fixed_field(static_cast<float>((c >> shift) & 0xFF) / 255.0f, 5, 2) + " ";
    write_line(line + " RG");
  }
}

}  // namespace

void newpen(int32_t code) {
  require_open();
  const int32_t device = plot_state.device;
  if (code >= 1000 && code <= 1998) {
    pens.pen_style = code == 1000 ? 0 : code <= 1005 ? code - 1000 : 1;
    if (ups* u = screen_like(device) ? plot_context() : nullptr) NEW_PEN(*u, {.style = pens.pen_style});
    return;
  }
  if (code >= 2000 && code <= 2998) {
    pens.pen_thickness = code - 1999;
    if (pens.monochrome) {
      const int32_t t = pens.pen_thickness;
      select_pen(t <= 15 ? 1 : t <= 25 ? 2 : 3);
      return;
    }
    if (screen_like(device)) {
      trace_int("1NEW_PEN_thick 0.01mm", pens.pen_thickness);
      if (ups* u = plot_context()) NEW_PEN(*u, {.width_mm = noted_width(thickness_mm())});
    } else if (device == 40 || device == 43) {
      plot_end_path();
      // In double, so that a width of exactly half a hundredth rounds up (0.385 gives 0.39).
      const double w = std::max(0.1, pens.pen_thickness * 0.035);
      write_line(plot_fixed_field(w, 5, 2) + " w");
      if (device == 40) plot_put_moveto();
    }
    return;
  }
  select_pen(code);
}

void set_line_type(int32_t type) {
  plot_state.line_style = type;
  const int32_t device = plot_state.device;
  if (screen_like(device) || device == 29) {
    newpen(type >= 1 && type <= 5 ? 1000 + type : 1000);
  } else if (device == 30) {
    if (type == 0) plot_write("LT0;", 4);
    else plot_write(std::string("LT") + static_cast<char>('0' + std::abs(type % 10)) + ";", 4);
  } else if (device == 40) {
    plot_end_path();
    if (type < 1) {
      write_line("[] 0 d");
    } else {
      const int32_t dash = std::abs(type % 10) * 10;
      write_line("[" + std::string(1, static_cast<char>('0' + dash / 10)) +
                 static_cast<char>('0' + dash % 10) + "] 2 d");
    }
    plot_put_moveto();
  } else if (device == 43) {
    plot_end_path();
    std::string text = "[] 0 d";
    if (type >= 1) text = "[" + std::to_string(std::abs(type % 10) * 2) + "] 4 d";
    text.resize(12, ' ');
    plot_state.graphics_state = text;
    plot_state.path_state = true;
  }
}

void set_pen_map(int32_t pen, int32_t value) {
  if (value < 0 || value > 15) return;
  if (pen >= 0 && pen <= 16) pens.device_pen_map[pen] = value;
  else if (pen >= -16 && pen <= -1) pens.pen_colour_map[-pen] = value;
}

void set_pen_thickness_cm(float thickness) {
  require_open();
  thickness = std::max(thickness, 0.01f);
  const int32_t device = plot_state.device;
  if ((device >= 0 && device <= 18) || device == 49) {
    trace_int("3NEW_PEN_thick %cm", nint(thickness * 100.0f));
    if (ups* u = plot_context()) NEW_PEN(*u, {.width_mm = noted_width(thickness * 10.0f + 0.25f)});
  }
}

void set_pen_mode(int32_t mode) {
  pens.pen_mode = mode < 1 ? 0 : mode > 5 ? 1 : mode;
  require_open();
  if (screen_like(plot_state.device)) {
    trace_int("3NEW_PEN_mode", pens.pen_mode);
    if (ups* u = plot_context()) NEW_PEN(*u, {.style = pens.pen_mode});
  }
}

int32_t plot_pen_selector() { return pens.selector; }
float plot_pen_width_mm() { return pens.last_width_mm; }
int32_t plot_pen_style() { return pens.pen_style; }

void plot_pens_reset() { pens = pen_state_t{}; }
