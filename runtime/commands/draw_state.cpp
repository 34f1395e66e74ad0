// The graphics state of the drawing commands and the drawing step they all share.
#include "runtime/commands/draw_state.h"

#include <algorithm>

#include "quillon/api/coordinates.h"
#include "runtime/commands/runtime.h"
#include "runtime/screen/screen.h"

graphics_state_t graphics;

namespace {
// Whether the step open now was opened by begin_drawing (and must be closed by end_drawing).
struct drawing_step_t {
  bool own_step = false;
  bool rop_changed = false;
};
drawing_step_t step;
}  // namespace

qn_point flip_y(int32_t x, int32_t y) {
  if (graphics.window_mode == 1) return {px_sum(x, graphics.window_rect.left), px_diff(graphics.window_rect.bottom, y)};
  return px_offset(graphics.origin, x, y);
}

ups& begin_drawing(int32_t pen, qn_point a, qn_point b, qn_rect dirty) {
  step = drawing_step_t{};
  // A batch whose step was closed elsewhere (a program end, a repaint) has no context left to
  // draw into; the command then draws in a step of its own.
  if (graphics.batch_mode && screen_step_context(0) != nullptr) {
    qn_rect& box = graphics.batch_box;
    box.left = std::min({box.left, a.x, b.x});
    box.top = std::min({box.top, a.y, b.y});
    box.right = std::max({box.right, a.x, b.x});
    box.bottom = std::max({box.bottom, a.y, b.y});
    graphics.graphics_ups = *screen_step_context(0);
    SELECT_MY_PEN(graphics.graphics_ups, pen);
    return graphics.graphics_ups;
  }
  screen_nr(0, graphics.graphics_ups, dirty.left, dirty.top, dirty.right, dirty.bottom);
  step.own_step = true;
  if (graphics.xor_mode) {
    SET_ROP(graphics.graphics_ups, 7);
    step.rop_changed = true;
  }
  SELECT_MY_PEN(graphics.graphics_ups, pen);
  return graphics.graphics_ups;
}

void end_drawing() {
  if (!step.own_step) return;
  // An outer step keeps its context: it must not go on drawing in XOR.
  if (step.rop_changed) SET_ROP(graphics.graphics_ups, 13);
  step = drawing_step_t{};
  screen_stop_nr(0);
}

void reset_drawing_for_load() {
  graphics.colour_pointer = 1;
  graphics.origin_pointer = 1;
  graphics.window_rect = {0, 0, screen_metrics.width, screen_metrics.client_height()};
  graphics.batch_mode = false;
  graphics.batch_box = {batch_box_empty, batch_box_empty, 0, 0};
}

void draw_state_reset() {
  graphics = graphics_state_t{};
  step = drawing_step_t{};
}
