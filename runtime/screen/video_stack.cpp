// The video stack and the internal clipboard.  Pushing and copying only save pixels (nothing is
// drawn or marked for repaint); popping and drawing go into screen 0 through drawing steps, so
// the window shows them when the step ends; only the clipboard drag draws straight onto the
// window.  Every saved image is a bitmap lent by the bitmap cache.
#include "runtime/screen/video_stack.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "quillon/api/coordinates.h"
#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/screen/bitmap_cache.h"
#include "runtime/screen/screen.h"

namespace {
struct video_stack_t {
  std::array<video_stack_entry, video_stack_max + 2> entry{};  // [1..20]; [21] stays empty
  int32_t depth = 0;
  int32_t dx = 0, dy = 0;  // origin offset of the next revealed window
  std::array<clipboard_slot, clipboard_slots> slot{};
  int32_t strip[2] = {0, 0};  // work bitmaps of clipboard_move
  video_window_t window;      // what WIN(1) to WIN(4) report
  bool window_set = false;    // false until the first push or drop: the whole screen
  bool xor_mode = false;
};
video_stack_t vs;

constexpr int32_t rop_xor = 7, rop_copy = 13;

int32_t magnitude(int32_t v) { return v == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : std::abs(v); }

int32_t usable_height() { return screen_metrics.client_height(); }

// The pen slot of a colour index: the start-up made pen n in colour n.
int32_t colour_index_pen(int32_t index) { return index; }
constexpr int32_t frame_colour_index = 0, background_colour_index = 16;

struct rect {
  int32_t x1, y1, x2, y2;
};
rect with_defaults(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x2 == 0) x2 = screen_metrics.width;
  if (y2 == 0) y2 = usable_height();
  x1 = magnitude(x1);
  return {x1, y1, x2, y2};
}

int32_t screen0_bitmap() {
  int32_t handle = 0;
  screen_bitmap(0, handle);
  return handle;
}

// Saves rectangle r of screen 0 into a cached bitmap.  An empty rectangle (right or bottom
// edge before the left or top) saves nothing and gives 0, instead of asking the library for
// a bitmap of no size.  A rectangle reaching beyond the screen's right or bottom edge (the
// default edges among them) is saved up to the screen's last column and row: the bitmap holds
// only the screen's own pixels, and is drawn back at its corner.
int32_t save_rect(const rect& r) {
  const screen_view screen = screen_info(0);
  const int64_t width = std::min(int64_t{r.x2}, int64_t{screen.width} - 1) - r.x1 + 1;
  const int64_t height = std::min(int64_t{r.y2}, int64_t{screen.height} - 1) - r.y1 + 1;
  if (width <= 0 || height <= 0 || width > std::numeric_limits<int32_t>::max() ||
      height > std::numeric_limits<int32_t>::max())
    return 0;
  int32_t handle = 0;
  bitmap_get(handle, static_cast<int32_t>(width), static_cast<int32_t>(height));
  bitmap_copy(screen0_bitmap(), handle, r.x1, r.y1, static_cast<int32_t>(width), static_cast<int32_t>(height));
  return handle;
}

void give_back(int32_t& handle) {
  if (handle == 0) return;
  bitmap_release(handle);
  handle = 0;
}

// Draws a saved bitmap at natural size with its top-left corner at (x, y).
void draw_at(ups& u, int32_t bitmap, int32_t x, int32_t y) {
  if (bitmap != 0) DRAW_BITMAP(u, bitmap, {.px = qn_rect{x, y, x, y}, .mode = 3});
}

// A drawing step on screen 0 over (x1, y1)-(x2, y2) that draws a bitmap at (x, y).
void draw_step(int32_t bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool use_xor) {
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  if (use_xor) SET_ROP(u, rop_xor);
  draw_at(u, bitmap, x1, y1);
  // The context may belong to an enclosing step: leave it drawing as it did before.
  if (use_xor) SET_ROP(u, rop_copy);
  screen_stop_nr(0);
}

// The frame on the entry's outer pixels less its last column and row.
void draw_frame(const video_stack_entry& e, int32_t colour_index) {
  ups u;
  screen_nr(0, u, e.x1, e.y1, e.x2, e.y2);
  SELECT_MY_PEN(u, colour_index_pen(colour_index));
  const int32_t r = px_diff(e.x2, 1), b = px_diff(e.y2, 1);
  const qn_point corner[5] = {{e.x1, e.y1}, {r, e.y1}, {r, b}, {e.x1, b}, {e.x1, e.y1}};
  for (int i = 0; i < 4; ++i) DRAW_LINE(u, {.end_px = corner[i + 1], .start_px = corner[i]});
  screen_stop_nr(0);
}

void set_window(int32_t x, int32_t y, int32_t width, int32_t height) {
  vs.window = {x, y, width, height};
  vs.window_set = true;
}

// Slot numbers: 20 and above overflow; negative ones are no slot either.
bool bad_slot(int32_t s) {
  if (s >= 0 && s < clipboard_slots) return false;
  report_error("clipboard overflow", 20);
  return true;
}
}  // namespace

video_window_t video_stack_window() {
  if (!vs.window_set) return {0, 0, screen_metrics.width, usable_height()};
  return vs.window;
}

void video_stack_push(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (vs.depth >= video_stack_max) {
    report_error("video-stack overflow", 1);
    return;
  }
  const rect r = with_defaults(x1, y1, x2, y2);
  video_stack_entry& e = vs.entry[++vs.depth];
  give_back(e.bitmap);
  e = {.x1 = r.x1, .y1 = r.y1, .x2 = r.x2, .y2 = r.y2, .frame_state = 0, .bitmap = 0};
  e.bitmap = save_rect(r);
  set_window(r.x1, r.y1, px_diff(r.x2, r.x1), px_diff(r.y2, r.y1));
}

void video_stack_pop() {
  if (vs.depth <= 0) {
    report_error("video-stack underflow", 1);
    return;
  }
  const video_stack_entry& e = vs.entry[vs.depth];
  draw_step(e.bitmap, e.x1, e.y1, e.x2, e.y2, false);
  video_stack_drop();
}

void video_stack_drop() {
  if (vs.depth <= 0) {
    report_error("video-stack underflow", 1);
    return;
  }
  give_back(vs.entry[vs.depth].bitmap);
  --vs.depth;
  if (vs.depth == 0) {
    set_window(0, 0, screen_metrics.width, usable_height());
    vs.dx = vs.dy = 0;
    return;
  }
  video_stack_entry& t = vs.entry[vs.depth];
  set_window(px_sum(t.x1, vs.dx), px_sum(t.y1, vs.dy), px_diff(t.x2, t.x1), px_diff(t.y2, t.y1));
  vs.dx = vs.dy = 0;
  // A frame hidden under the dropped window comes back.
  if (t.frame_state == -1) t.frame_state = 1;
  if (t.frame_state == 1) draw_frame(t, frame_colour_index);
}

void video_stack_clear() {
  for (int32_t n = 1; n <= vs.depth; ++n) give_back(vs.entry[n].bitmap);
  vs.depth = 0;
}

void video_stack_depth(int32_t& depth) { depth = vs.depth; }

void video_stack_top_bitmap(int32_t& handle) { handle = vs.depth > 0 ? vs.entry[vs.depth].bitmap : 0; }

void video_stack_set_origin(int32_t dx, int32_t dy) {
  vs.dx = dx;
  vs.dy = dy;
}

void video_stack_frame() {
  if (vs.depth <= 0) return;
  video_stack_entry& t = vs.entry[vs.depth];
  t.frame_state = 1;
  draw_frame(t, frame_colour_index);
}

void video_stack_unframe() {
  if (vs.depth <= 0) return;
  video_stack_entry& t = vs.entry[vs.depth];
  if (t.frame_state != 1) return;
  t.frame_state = -1;
  draw_frame(t, background_colour_index);
}

// Draws back the entry just above the top, should it still hold a bitmap; pop, drop and clear
// give back the bitmap of every entry they remove, so normally there is nothing to draw.
void video_stack_restore() {
  if (vs.depth <= 0) {
    report_error("video-stack underflow", 1);
    return;
  }
  if (vs.depth >= video_stack_max) return;
  video_stack_entry& e = vs.entry[vs.depth + 1];
  if (e.bitmap == 0) return;
  ups u;
  screen_nr(0, u, px_sum(e.x1, vs.dx), px_sum(e.y1, vs.dy), px_sum(e.x2, vs.dx), px_sum(e.y2, vs.dy));
  draw_at(u, e.bitmap, e.x1, e.y1);
  screen_stop_nr(0);
  give_back(e.bitmap);
}

void clipboard_copy(int32_t s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (bad_slot(s)) return;
  const rect r = with_defaults(x1, y1, x2, y2);
  clipboard_slot& c = vs.slot[s];
  c.x1 = r.x1;
  c.y1 = r.y1;
  c.x2 = r.x2;
  c.y2 = r.y2;
  give_back(c.bitmap);
  c.bitmap = save_rect(r);
}

void clipboard_draw(int32_t s) {
  if (bad_slot(s)) return;
  const clipboard_slot& c = vs.slot[s];
  draw_step(c.bitmap, c.x1, c.y1, c.x2, c.y2, vs.xor_mode);
}

void clipboard_paste(int32_t s, int32_t x, int32_t y) {
  if (bad_slot(s)) return;
  clipboard_slot& c = vs.slot[s];
  c.x2 = px_sum(c.x2, px_diff(x, c.x1));
  c.y2 = px_sum(c.y2, px_diff(y, c.y1));
  c.x1 = x;
  c.y1 = y;
  clipboard_draw(s);
}

void clipboard_move(int32_t s, int32_t x, int32_t y) {
  if (bad_slot(s)) return;
  clipboard_slot& c = vs.slot[s];
  const int32_t dx = px_diff(x, c.x1), dy = px_diff(y, c.y1);
  const int32_t strip_x = dx > 0 ? c.x1 : px_sum(c.x2, dx);
  const int32_t strip_y = dy > 0 ? c.y1 : px_sum(c.y2, dy);
  // The strips of screen 0 that the image uncovers as it moves.
  if (dx != 0)
    vs.strip[0] = save_rect({strip_x, c.y1, px_sum(strip_x, magnitude(dx)), c.y2});
  if (dy != 0)
    vs.strip[1] = save_rect({c.x1, strip_y, c.x2, px_sum(strip_y, magnitude(dy))});
  int status = 0;
  ups u;
  START_DIRECT_DRAW(qn_main_window(), u, &status);
  if (status == 0) {
    draw_at(u, c.bitmap, x, y);
    draw_at(u, vs.strip[0], strip_x, c.y1);
    draw_at(u, vs.strip[1], c.x1, strip_y);
    END_DIRECT_DRAW(u, &status);
  }
  c.x1 = x;
  c.y1 = y;
  c.x2 = px_sum(c.x2, dx);
  c.y2 = px_sum(c.y2, dy);
  give_back(vs.strip[0]);
  give_back(vs.strip[1]);
}

void IMAGE_2_FILE(int32_t, int32_t, int32_t, int32_t, std::string_view) {
  report_error("IMAGE_2_FILE n.u.", 0);
}

void FILE_2_IMAGE(std::string_view) { report_error("FILE_2_IMAGE n.u.", 0); }

void draw_box_frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t pen) {
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  SELECT_MY_PEN(u, pen);
  const qn_point corner[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
  for (int i = 0; i < 4; ++i) DRAW_LINE(u, {.end_px = corner[i + 1], .start_px = corner[i]});
  screen_stop_nr(0);
}

void video_stack_set_xor_mode(bool on) { vs.xor_mode = on; }
bool video_stack_xor_mode() { return vs.xor_mode; }

video_stack_entry video_stack_entry_at(int32_t n) {
  return n >= 1 && n <= video_stack_max ? vs.entry[n] : video_stack_entry{};
}
clipboard_slot clipboard_slot_at(int32_t s) {
  return s >= 0 && s < clipboard_slots ? vs.slot[s] : clipboard_slot{};
}
void video_stack_origin(int32_t& dx, int32_t& dy) {
  dx = vs.dx;
  dy = vs.dy;
}
void video_stack_reset() { vs = {}; }
