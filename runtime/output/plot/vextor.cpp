// The bitmap plot device: the plot is drawn into an off-screen bitmap and, when it ends,
// saved as a BMP file or reduced to at most 16 colours and written as a GIF file.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "quillon/api/numbered_names.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/screen/screen.h"

namespace {

constexpr uint8_t standard_red[16] = {255, 0, 0, 0, 0, 160, 160, 160, 160, 0, 0, 0, 0, 255, 255, 255};
constexpr uint8_t standard_green[16] = {255, 0, 0, 160, 160, 0, 0, 0, 160, 0, 0, 255, 255, 0, 0, 255};
constexpr uint8_t standard_blue[16] = {255, 0, 160, 0, 160, 0, 160, 0, 160, 0, 255, 0, 255, 0, 255, 0};

struct vextor_state_t {
  std::vector<uint8_t> pixel_array;
  bool allocated = false;
  uint32_t colour_list[16] = {};
  int32_t colour_count = 0;
  uint8_t red[16] = {}, green[16] = {}, blue[16] = {};
  int32_t px = 0, py = 0;
  int32_t colour_index = 1;
  int32_t dash = 0;
  bool double_width = false;
};
vextor_state_t vx;

void free_pixels() {
  vx.pixel_array = std::vector<uint8_t>();
  vx.allocated = false;
}

void initialise() {
  free_pixels();
  vx.colour_index = 1;
  vx.dash = 0;
  if (plot_state.ltyp != 9) {
    warning_box("VEXTOR : kein Pixel-Druck ab 4.0", "");
    return;
  }
  const size_t w = static_cast<size_t>(std::max(plot_state.page_width, 0));
  const size_t h = static_cast<size_t>(std::max(plot_state.page_height, 0));
  try {
    vx.pixel_array.assign(w * h, 0);
  } catch (const std::bad_alloc&) {
    return;  // no file will be written at the end
  }
  vx.allocated = true;
}

// The bitmap's pixels as 0x00BBGGRR, top row first; empty when they cannot be had.
std::vector<uint32_t> bitmap_colours(int32_t width, int32_t height) {
  std::vector<uint32_t> colours;
  int status = 0;
  const int32_t dib = BITMAP_TO_DIB(plot_state.bitmap, &status);
  if (dib == 0) return colours;
  const std::vector<uint8_t>* block = qn_global_block(dib);
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>((*block)[at]) | (static_cast<uint32_t>((*block)[at + 1]) << 8) |
           (static_cast<uint32_t>((*block)[at + 2]) << 16) | (static_cast<uint32_t>((*block)[at + 3]) << 24);
  };
  if (block && block->size() >= 40 && get32(0) == 40 && static_cast<int32_t>(get32(4)) == width &&
      static_cast<int32_t>(get32(8)) == height && (*block)[14] == 24) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    if (block->size() >= 40 + stride * static_cast<size_t>(height)) {
      colours.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
      for (int32_t j = 0; j < height; ++j) {
        const uint8_t* row = block->data() + 40 + stride * static_cast<size_t>(height - 1 - j);
        for (int32_t i = 0; i < width; ++i) {
          const uint8_t* p = row + 3 * i;
          colours[static_cast<size_t>(j) * width + i] = p[2] | (p[1] << 8) | (p[0] << 16);
        }
      }
    }
  }
  free_global_text(dib, &status);
  return colours;
}

}  // namespace

void plot_write_bmp(int32_t bitmap, const std::string& name) {
  int status = 0;
  const int32_t dib = BITMAP_TO_DIB(bitmap, &status);
  if (dib == 0) {
    trace_msg("Unable to save bitmap " + name);
  } else if (!save_bitmap_file(dib, name, &status)) {
    trace_msg("Unable to save bitmap " + name);
    report_write_failure(name, status);
  }
  if (dib != 0) free_global_text(dib, &status);
}

namespace {

// The list entry (1-based) whose colour lies nearest to c, by the squared distance of red,
// green and blue.
int32_t nearest_listed(uint32_t c) {
  auto distance = [c](uint32_t e) {
    int32_t sum = 0;
    for (int shift : {0, 8, 16}) {
      const int32_t d = static_cast<int32_t>((c >> shift) & 0xFF) - static_cast<int32_t>((e >> shift) & 0xFF);
      sum += d * d;
    }
    return sum;
  };
  int32_t best = 1;
  for (int32_t e = 2; e <= vx.colour_count; ++e)
    if (distance(vx.colour_list[e - 1]) < distance(vx.colour_list[best - 1])) best = e;
  return best;
}

void write_gif_file(const std::string& name) {
  const int32_t w = plot_state.page_width, h = plot_state.page_height;
  trace_msg("get_bitmap_palette...");
  trace_msg("Bitmap_to_array_i4 VEXTOR");
  trace_msg("allocate...");
  trace_msg("Bitmap_to_array_i4...");
  const std::vector<uint32_t> colours = bitmap_colours(w, h);
  trace_msg("Bitmap_to_array_i4 done");
  if (colours.size() != vx.pixel_array.size()) return;
  vx.colour_list[0] = 0xFFFFFF;
  vx.colour_list[1] = 0;
  vx.colour_count = 2;
  trace_int2("BMP2ARRAY...", w, h);
  int32_t k = 1;
  uint32_t previous = 0xFFFFFF;  // the previous pixel's colour, which entry k shows
  for (size_t n = 0; n < colours.size(); ++n) {
    const uint32_t c = colours[n];
    if (c == previous) {
      // the previous pixel's colour, also one that took the nearest entry
    } else if (c == 0xFFFFFF) {
      k = 1;
    } else if (c == 0) {
      k = 2;
    } else {
      int32_t found = 0;
      for (int32_t e = vx.colour_count; e >= 1; --e) {
        if (vx.colour_list[e - 1] == c) {
          found = e;
          break;
        }
      }
      if (found == 0 && vx.colour_count < 16) {
        found = ++vx.colour_count;
        vx.colour_list[found - 1] = c;
        vx.red[found - 1] = static_cast<uint8_t>(c & 0xFF);
        vx.green[found - 1] = static_cast<uint8_t>((c >> 8) & 0xFF);
        vx.blue[found - 1] = static_cast<uint8_t>((c >> 16) & 0xFF);
      }
      // With the table full a further colour takes the nearest one already in it: an entry,
      // once given, keeps its colour, so that nothing drawn earlier changes.
      k = found != 0 ? found : nearest_listed(c);
    }
    previous = c;
    vx.pixel_array[n] = static_cast<uint8_t>(k - 1);
  }
  trace_int("n_cols=", vx.colour_count);
  trace_msg("write_gif...");
  plot_state.bitmap_comment = "VEXTOR";
  int32_t status = 0;
  write_gif(name, vx.pixel_array.data(), w, h, vx.red, vx.green, vx.blue, 16, 0,
            plot_state.bitmap_comment, status);
}

bool ends_in(const std::string& name, std::string_view ext) {
  const size_t at = name.find(ext);
  return at != std::string::npos && at + ext.size() == name.size();
}

void end_of_plot() {
  if (plot_state.ltyp != 9) return;
  const std::string name(trim_blanks_right(get_plot_file()));
  if (vx.allocated) {
    std::copy(std::begin(standard_red), std::end(standard_red), vx.red);
    std::copy(std::begin(standard_green), std::end(standard_green), vx.green);
    std::copy(std::begin(standard_blue), std::end(standard_blue), vx.blue);
    trace_str("WRITE_GIF", name);
    if (ends_in(name, ".BMP") || ends_in(name, ".bmp")) plot_write_bmp(plot_state.bitmap, name);
    else write_gif_file(name);
  }
  // A numbered name claimed for the picture never stays as an empty file: where no picture
  // could be written into it, the claim is given up (a written picture has ended it).
  give_up_claim(host_path(name));
  trace_msg("delete_object...");
  // The bitmap goes even when no file could be written, so that nothing is left behind.
  if (plot_state.bitmap > 0) DELETE_OBJECT(plot_state.bitmap, nullptr);
  plot_state.bitmap = 0;
  free_pixels();
}

void set_pixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= plot_state.page_width || y >= plot_state.page_height) return;
  vx.pixel_array[static_cast<size_t>(y) * static_cast<size_t>(plot_state.page_width) + x] =
      static_cast<uint8_t>(vx.colour_index & 0x0F);
}

// A line of the current colour index into the pixel array, dashed by the line style.
void pixel_line(int32_t x2, int32_t y2) {
  int32_t x = vx.px, y = vx.py;
  const int32_t dx = std::abs(x2 - x), dy = std::abs(y2 - y);
  const int32_t sx = x < x2 ? 1 : -1, sy = y < y2 ? 1 : -1;
  int32_t err = dx - dy;
  const int32_t style = plot_state.line_style;
  for (;;) {
    bool on = true;
    if (style > 0) {
      on = vx.dash < style;
      vx.dash = (vx.dash + 1) % (2 * style);
    }
    if (on) {
      set_pixel(x, y);
      if (vx.double_width) dx >= dy ? set_pixel(x, y + 1) : set_pixel(x + 1, y);
    }
    if (x == x2 && y == y2) break;
    const int32_t e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      x += sx;
    }
    if (e2 < dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace

void VEXTOR(int32_t x, int32_t y, int32_t code) {
  switch (code) {
    case 998:
      initialise();
      return;
    case 0:
      vx.px = x;
      vx.py = plot_state.page_height - y - 1;
      vx.dash = 0;
      plot_state.last_x = vx.px;
      plot_state.last_y = vx.py;
      return;
    case 999:
      end_of_plot();
      return;
    case 1: {
      warning_box("VEXTOR : kein Pixel-Draw ab 4.0", "");
      const int32_t ty = plot_state.page_height - y - 1;
      if (vx.allocated) pixel_line(x, ty);
      vx.px = x;
      vx.py = ty;
      plot_state.last_x = x;
      plot_state.last_y = ty;
      return;
    }
    default:
      return;
  }
}

void vextor_pen(int32_t) {}
void vextor_double_width(int32_t flag) { vx.double_width = flag != 0; }
void vextor_reset() { vx.colour_index = 0; }

void vextor_state_reset() { vx = vextor_state_t{}; }
