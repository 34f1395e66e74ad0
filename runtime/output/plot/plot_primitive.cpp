// The plot primitive: every point of every plot passes here.  `plot` takes centimetres
// relative to the origin and a pen code; `plot_move_draw` turns a move or draw in device units
// into the device's output (drawing calls, plotter commands, PostScript or PDF path operators).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/output/print/print.h"

namespace {

struct primitive_state_t {
  int32_t sent_x = -1, sent_y = -1, sent_pen = -1;
  int32_t segment_count = 0;
  bool moved = false;
  bool label_moved_pen = false;  // a PostScript label left the current point at its end
};
primitive_state_t prim;

constexpr float pdf_divisor = 3.45f;
constexpr int32_t path_limit = 1200;

bool is_screen_class(int32_t device) { return (device >= 0 && device <= 29) || device == 49; }

// An integer of a six-character field without its leading blanks; `overflow` when it does not fit.
std::string coord6(int32_t value, std::string_view overflow) {
  std::string s = plot_int_field(value, 6);
  if (s.find('*') != std::string::npos) return std::string(overflow);
  return std::string(strip_leading_blanks(s));
}

// An integer of the plotter languages: all its digits, no blanks.  The six-character field of
// the plotters' records fits every page; a point beyond it is still written as a number
// rather than as a run of asterisks that no plotter reads.
std::string plotter_number(int32_t value) { return std::to_string(value); }

std::string pdf_coord(int32_t value, int32_t offset) {
  const float v = static_cast<float>(value) / pdf_divisor + static_cast<float>(offset);
  return std::string(strip_leading_blanks(plot_fixed_field(v, 8, 1)));
}

void write_line(const std::string& s) { plot_write_lf(s, static_cast<int32_t>(s.size())); }
void write_text(const std::string& s) { plot_write(s, static_cast<int32_t>(s.size())); }

// "x y m" of the last point with the device offsets (PostScript after a path break).
void ps_move_last() {
  write_line(coord6(plot_state.last_x + plot_state.offset_x, "0") + " " +
             coord6(plot_state.last_y + plot_state.offset_y, "0") + " m");
}

void pdf_move_last() {
  write_line(pdf_coord(plot_state.last_x, plot_state.offset_x) + " " +
             pdf_coord(plot_state.last_y, plot_state.offset_y) + " m");
}

int32_t saturated(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool outside_path_range(int32_t x, int32_t y) {
  return x < -9999 || x > 99999 || y < -9999 || y > 99999;
}

void screen_move_draw(int32_t x, int32_t y, int32_t draw) {
  // offset_x is 0 but on a printer, whose context starts at the margins.
  x = saturated(int64_t{x} + plot_state.offset_x);
  y = saturated(int64_t{plot_state.offset_y} - y);
  if (draw == 0) {
    VEXTOR(x, y, 0);  // the bitmap device's own current point and dash phase follow
    prim.moved = true;
  } else {
    line_opts o{.end_px = qn_point{x, y}};
    if (prim.moved) {
      o.start_px = qn_point{plot_state.last_x, plot_state.last_y};
      prim.moved = false;
    }
    if (ups* u = plot_context()) DRAW_LINE(*u, o);
    if (plot_state.recording && plot_state.output_window > 0) qn_invalidate(plot_state.output_window);
  }
  plot_state.last_x = x;
  plot_state.last_y = y;
}

void plotter_move_draw(int32_t x, int32_t y, int32_t draw) {
  plot_state.last_x = x;
  plot_state.last_y = y;
  if (plot_state.device == 30) {
    write_text(std::string(draw != 0 ? "PD" : "PU") + plotter_number(x) + "," + plotter_number(y) + ";");
  } else {
    write_text(std::string(draw != 0 ? "D" : "U") + plotter_number(x / 4) + "," + plotter_number(y / 4) + ",");
  }
}

void byte_coded_move_draw(int32_t x, int32_t y, int32_t draw) {
  x &= ~1;
  y &= ~1;
  const int32_t dx = (x - plot_state.last_x) / 2;
  const int32_t dy = (y - plot_state.last_y) / 2;
  auto word = [](int32_t v) {
    const int32_t mag = (v < 0 ? -v : v) & 0x3FFF;
    return mag * 4 + (v < 0 ? 1 : 0);
  };
  const int32_t wx = word(dx);
  const int32_t wy = word(dy) | (draw != 0 ? 2 : 0);
  plot_state.last_x = x;
  plot_state.last_y = y;
  const char bytes[4] = {static_cast<char>(wx & 0xFF), static_cast<char>((wx >> 8) & 0xFF),
                         static_cast<char>(wy & 0xFF), static_cast<char>((wy >> 8) & 0xFF)};
  plot_write(std::string_view(bytes, 4), 4);
}

// The start shared by the PostScript and PDF paths: the path operator of the point ("m" move,
// "l" line, a line counting as a segment), or nullptr when nothing is to be written (a point
// outside the path range, or a move to where the pen already stands, which only marks the path).
const char* path_operator(int32_t x, int32_t y, int32_t draw) {
  if (outside_path_range(x, y)) return nullptr;
  const bool label_moved_pen = prim.label_moved_pen;
  prim.label_moved_pen = false;
  if (draw != 0) {
    ++prim.segment_count;
    return "l";
  }
  if (x == plot_state.last_x && y == plot_state.last_y && !label_moved_pen) {
    plot_state.path_state = true;
    return nullptr;
  }
  return "m";
}

void postscript_move_draw(int32_t x, int32_t y, int32_t draw) {
  const char* op = path_operator(x, y, draw);
  if (!op) return;
  if (prim.segment_count > path_limit) {
    write_line("S");
    write_line("n");
    prim.segment_count = 0;
    if (draw != 0) ps_move_last();
  }
  plot_state.last_x = x;
  plot_state.last_y = y;
  write_line(coord6(x + plot_state.offset_x, "0") + " " + coord6(y + plot_state.offset_y, "0") + " " + op);
}

void pdf_move_draw(int32_t x, int32_t y, int32_t draw) {
  const char* op = path_operator(x, y, draw);
  if (!op) return;
  const bool over = prim.segment_count > path_limit;
  if (over) write_line("S");
  if (!trim_blanks_right(plot_state.graphics_state).empty()) {
    write_line(std::string(trim_blanks_right(plot_state.graphics_state)));
    plot_state.graphics_state = std::string(12, ' ');
  }
  if (over) {
    prim.segment_count = 0;
    if (draw != 0) pdf_move_last();
    plot_state.path_state = false;
  }
  if (draw != 0 && plot_state.path_state) {
    pdf_move_last();
    plot_state.path_state = false;
  }
  plot_state.last_x = x;
  plot_state.last_y = y;
  if (draw == 0 && prim.segment_count == 0) {
    plot_state.path_state = true;  // written before the next draw only
    return;
  }
  write_line(pdf_coord(x, plot_state.offset_x) + " " + pdf_coord(y, plot_state.offset_y) + " " + op);
}

void end_of_plot() {
  if (plot_state.plot_ended) return;
  plot_state.plot_ended = true;
  plot_mark_closed();
  const int32_t device = plot_state.device;
  if (device >= 0 && device <= 19) {
    if (plot_state.recording) {
      END_BITMAP_DRAW(plot_state.plot_ups);
      if (plot_state.output_window > 0 && is_valid_window(plot_state.output_window))
        qn_invalidate(plot_state.output_window);
      save_window_picture();
    }
    plot_state.recording = false;
  } else if (device >= 20 && device <= 28) {
    if (plot_state.printing) print_end_job(plot_state.plot_ups);
    plot_state.printing = false;
  } else if (device == 30) {
    write_text("PU;PA0,0;SP0;");
  } else if (device == 31) {
    write_text("U,H,P0,");
  } else if (device == 32) {
    plot_move_draw(8400, plot_state.offset_y, 0);
    const char s = static_cast<char>(plot_pen_selector() & 0xFF);
    const char bytes[8] = {'\xFF', '\x20', s, '\0', '\xFF', '\x02', s, '\0'};
    plot_write(std::string_view(bytes, 8), 8);
  } else if (device == 40 || device == 43) {
    write_plot_template(-999);
  } else if (device == 41) {
    for (std::string_view line : {"0", "ENDSEC", "0", "EOF"})
      plot_write_crlf(line, static_cast<int32_t>(line.size()));
  } else if (device == 49) {
    if (plot_state.recording) END_BITMAP_DRAW(plot_state.plot_ups);
    plot_state.recording = false;
    VEXTOR(0, 0, 999);
  }
  plot_file_close();
  plot_state.pdf_mode = false;
}

// A point of `plot` (relative to the origin) on the page: the origin added, then turned with a
// turned page.
void page_point(float x, float y, float& px, float& py) {
  px = plot_state.origin_x + x;
  py = plot_state.origin_y + y;
  if (plot_state.rotated) {
    const float old_x = px;
    px = py;
    py = paper_width_magnitude() - old_x;
  }
}

}  // namespace

void plot(float x, float y, int32_t ipen) {
  if (ipen < 0) {
    plot_state.origin_x += x;
    plot_state.origin_y += y;
    x = y = 0.0f;
  }
  float px = 0, py = 0;
  page_point(x, y, px, py);
  if (ipen <= 4) {
    if (plot_state.device == 41) {
      if (ipen == 2) dxf_line(plot_state.current_x, plot_state.current_y, px, py);
      plot_state.current_x = px;
      plot_state.current_y = py;
      return;
    }
    plot_state.current_x = px;
    plot_state.current_y = py;
    const int32_t ix = trunc_to_int(px * plot_state.xfac);
    const int32_t iy = trunc_to_int(py * plot_state.yfac);
    if (ix == prim.sent_x && iy == prim.sent_y && ipen == prim.sent_pen) return;
    prim.sent_x = ix;
    prim.sent_y = iy;
    prim.sent_pen = ipen;
    if (ipen == 2) {
      plot_move_draw(ix, iy, 1);
    } else if (ipen == 4 && plot_state.device == 43) {
      plot_state.last_x = ix;
      plot_state.last_y = iy;
    } else {
      plot_move_draw(ix, iy, 0);
    }
    return;
  }
  if (ipen != 999) {
    newpen(ipen - 10);
    return;
  }
  end_of_plot();
}

void plot_move_draw(int32_t x, int32_t y, int32_t draw) {
  if (process_pending_messages() == 0) return;  // the application is quitting
  const int32_t device = plot_state.device;
  if (device > 49 || device < 0) return;
  if (is_screen_class(device)) screen_move_draw(x, y, draw);
  else if (device == 30 || device == 31) plotter_move_draw(x, y, draw);
  else if (device == 32) byte_coded_move_draw(x, y, draw);
  else if (device == 40) postscript_move_draw(x, y, draw);
  else if (device == 43) pdf_move_draw(x, y, draw);
}

plot_axes_t plot_axes() {
  if (plot_state.device == 41) return {};
  return {plot_state.xfac < 0.0f, plot_state.yfac < 0.0f};
}

void plot_place_current_point(float x, float y) { page_point(x, y, plot_state.current_x, plot_state.current_y); }

void plot_current_point(float& x, float& y) {
  // The page point of `plot` (origin added, then turned) taken back.
  float px = plot_state.current_x, py = plot_state.current_y;
  if (plot_state.rotated) {
    const float turned_y = py;
    py = px;
    px = paper_width_magnitude() - turned_y;
  }
  x = px - plot_state.origin_x;
  y = py - plot_state.origin_y;
}

void plot_put_pdf_point() {
  if (plot_state.device != 43) return;
  write_text(pdf_coord(plot_state.last_x, plot_state.offset_x) + " " +
             pdf_coord(plot_state.last_y, plot_state.offset_y));
}

void plot_put_moveto() {
  if (plot_state.device == 43) return;
  write_line(coord6(plot_state.last_x, "0") + " " + coord6(plot_state.last_y, "0") + " m");
}

void plot_end_path() {
  if (prim.segment_count > 0) {
    write_line("S");
    // A PDF path has no current point after "S": the next draw must start with a move.
    if (plot_state.device == 43) plot_state.path_state = true;
  }
  prim.segment_count = 0;
}

void plot_reset_path() { prim.segment_count = 0; }

void plot_reset_point() {
  plot_state.last_x = 0;
  plot_state.last_y = 0;
}

void plot_get_point(int32_t& x, int32_t& y) {
  x = plot_state.last_x;
  y = plot_state.last_y;
}

void plot_end_open(run_transition why) {
  const int32_t device = plot_state.device;
  if (why == run_transition::next_open) {
    if (!plot_state.plot_ended) trace_int("PLOT: offener Plot beendet", device);
    end_of_plot();
  } else if (ends_the_run(why)) {
    if (!plot_state.plot_ended && ((device >= 20 && device <= 28) || (device >= 30 && device <= 49))) {
      trace_int("PLOT: offene Plotdatei beendet", device);
      end_of_plot();
    }
  } else {
    return;
  }
  plot_file_close();
}

void plot_sent_reset() {
  prim.sent_x = prim.sent_y = prim.sent_pen = -1;
  prim.label_moved_pen = false;
}

void plot_label_moved_pen() {
  plot_sent_reset();
  prim.label_moved_pen = true;
}

bool plot_pen_behind_label() { return prim.label_moved_pen; }

void plot_primitive_reset() { prim = primitive_state_t{}; }
