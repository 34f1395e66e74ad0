// The line-graphics commands on screen 0 (COLOR, ORIGIN, MOVE, DRAW, LINE, PIXEL, ARC, CIRCLE,
// BOX, FLOOD) and PLOT, which hands its work to the plot engine.  Coordinates go through
// flip_y; every drawing outside batch mode is one drawing step of the screen services.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "quillon/api/coordinates.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/file_units.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/screen.h"

namespace {

int32_t p_int(int32_t i) { return nint(param_registers[i]); }

bool has(int32_t option) { return flag_mask_test(option); }

// Colour numbers may be negative after a mod; such a number names no table entry.
uint32_t table_colour(int32_t number) {
  return number >= 0 && number <= 256 ? colour_table[number] : 0u;
}

// Where MOVE and DRAW go: relative to the current position (y up in window mode), or mapped.
qn_point move_target(int32_t dx, int32_t dy) {
  if (has(8)) {
    const qn_point c = graphics.current_position;
    return {px_sum(c.x, dx), graphics.window_mode == 1 ? px_diff(c.y, dy) : px_sum(c.y, dy)};
  }
  return flip_y(dx, dy);
}

qn_rect ordered(qn_point a, qn_point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

void set_origin(qn_point origin) {
  graphics.origin = origin;
  mouse_wait_set_origin(origin.x, origin.y);
}

// PLOT's calls into the plot-script interpreter.
void plot_script_init() { psplot_init(); }
void plot_script_run(int32_t unit) { PSPLOT(unit); }
void plot_script_set_text(std::string_view text) { psplot_set_text(text); }
void plot_script_point(int32_t flag, float x, float y) { psplot_plot(flag, x, y); }

bool context_open(ups& u) {
  int status = 0;
  GET_RECT({.u = &u, .status = &status});
  return status == 0;
}

// A plot on screen 0 draws through the context of a drawing step.  Outside batch mode the step
// that PLOT option 8 found has closed by the time the plot draws, so each PLOT that draws opens
// one of its own on the whole of screen 0 for its drawing and shows it when done; the plot's
// pen, brush, font and current point go from one such step to the next.
class plot_screen_step {
 public:
  plot_screen_step() : own_(graphics.plot_on_screen && !context_open(graphics.graphics_ups)) {
    if (!own_) return;
    screen_nr(0, graphics.graphics_ups, -1, -1, -1, -1);
    plot_use_context(graphics.graphics_ups);
  }
  ~plot_screen_step() {
    if (!own_) return;
    plot_leave_context();
    screen_stop_nr(0);
  }
  plot_screen_step(const plot_screen_step&) = delete;
  plot_screen_step& operator=(const plot_screen_step&) = delete;

 private:
  bool own_;
};

}  // namespace

void cmd_COLOR(code_record& rec) {
  if (has(8)) {
    evaluate_upn(rec.expression, 1);
    return;
  }
  if (has(4)) {
    if (has(2)) return;
    evaluate_upn(rec.expression, 4);
    const int32_t n = std::clamp(p_int(1), 0, 256);
    // The numbered pens are not remade: lines keep their colours, table readers see the new one.
    colour_table[n] = has(16) ? static_cast<uint32_t>(p_int(2)) : RGB(p_int(2), p_int(3), p_int(4));
    return;
  }
  evaluate_upn(rec.expression, 1);
  if (has(256)) {
    graphics.colour_pointer = std::max(graphics.colour_pointer - 1, 1);
    graphics.current_colour = graphics.colour_stack[graphics.colour_pointer];
    evaluator.slot(1).set_number(static_cast<float>(graphics.current_colour));
    return;
  }
  if (has(128)) {
    graphics.colour_stack[graphics.colour_pointer] = graphics.current_colour;
    graphics.colour_pointer = std::min(graphics.colour_pointer + 1, graphics_stack_size);
  }
  // |n| mod 256 without overflow for the most negative integer.
  graphics.current_colour = static_cast<int32_t>(std::llabs(static_cast<long long>(p_int(1))) % 256);
}

void cmd_ORIGIN(code_record& rec) {
  evaluate_upn(rec.expression, 2);
  if (has(2)) {
    graphics.colour_pointer = 1;
    graphics.origin_pointer = 1;
    graphics.xor_mode = false;
    graphics.window_mode = 0;
    graphics.current_colour = 7;
    mouse_wait_set_window_coordinates(false);
    set_origin({0, 0});
    return;
  }
  if (has(256)) {
    if (graphics.origin_pointer == 1) {
      report_error("ORIGIN-Stack underflow", 0);
    } else {
      --graphics.origin_pointer;
    }
    set_origin(graphics.origin_stack[graphics.origin_pointer]);
    return;
  }
  if (has(128)) {
    if (graphics.origin_pointer == graphics_stack_size) report_error("ORIGIN-Stack overflow", 0);
    graphics.origin_stack[graphics.origin_pointer] = graphics.origin;
    if (graphics.origin_pointer < graphics_stack_size) ++graphics.origin_pointer;
  }
  const qn_point p{p_int(1), p_int(2)};
  if (has(16)) {
    set_origin(p);
  } else {
    set_origin(px_offset(graphics.origin, p.x, p.y));
  }
}

void cmd_MOVE(code_record& rec) {
  evaluate_upn(rec.expression, 2);
  graphics.current_position = move_target(p_int(1), p_int(2));
}

void cmd_DRAW(code_record& rec) {
  if (has(1)) {
    evaluate_upn(rec.expression, 4);
    (void)get_text_token(rec.token1);
    return;
  }
  evaluate_upn(rec.expression, 2);
  const qn_point to = move_target(p_int(1), p_int(2));
  const qn_point from = graphics.current_position;
  ups& u = begin_drawing(graphics.current_colour, to, to, ordered(from, to));
  DRAW_LINE(u, {.end_px = to, .start_px = from});
  end_drawing();
  graphics.current_position = to;
}

void cmd_LINE(code_record& rec) {
  evaluate_upn(rec.expression, 4);
  int32_t a = p_int(1), b = p_int(2);
  const int32_t c = p_int(3), d = p_int(4);
  if (has(4096)) return;
  if (has(16384)) {
    if (has(8)) {
      graphics.current_position = px_offset(graphics.current_position, a, b);
    } else {
      graphics.current_position = has(16) ? px_point(a, b) : flip_y(a, b);
    }
    return;
  }
  if (has(4)) {
    if (a >= 0) {
      graphics.current_colour = a % 256;
      if (graphics.batch_mode && screen_step_context(0) != nullptr) {
        SELECT_MY_PEN(graphics.graphics_ups, graphics.current_colour);
      }
    }
    return;
  }
  if (has(2)) {
    const qn_rect box = graphics.batch_box;
    const bool step_open = graphics.batch_mode && screen_step_context(0) != nullptr;
    if (box.left < batch_box_empty && step_open) screen_rect(0, box.left, box.top, box.right + 1, box.bottom + 1);
    if (step_open) screen_stop_nr(0);
    graphics.batch_mode = false;
    return;
  }
  if (has(1)) {
    if (graphics.batch_mode && screen_step_context(0) != nullptr) screen_stop_nr(0);
    screen_nr(0, graphics.graphics_ups, 0, 0, 0, 0);
    SELECT_MY_PEN(graphics.graphics_ups, graphics.current_colour);
    graphics.batch_box = {batch_box_empty, batch_box_empty, 0, 0};
    graphics.batch_mode = true;
    return;
  }
  qn_point from, to;
  if (has(8)) {
    from = graphics.current_position;
    to = px_offset(from, a, b);
  } else if (has(16)) {
    from = px_point(a, b);
    to = px_point(c, d);
  } else {
    from = flip_y(a, b);
    to = flip_y(c, d);
  }
  qn_rect dirty = ordered(from, to);
  dirty.right += 1;
  dirty.bottom += 1;
  ups& u = begin_drawing(graphics.current_colour, from, to, dirty);
  if (from.x == to.x && from.y == to.y) {
    SET_PIXEL(u, table_colour(graphics.current_colour), to);
  } else {
    DRAW_LINE(u, {.end_px = to, .start_px = from});
  }
  end_drawing();
  graphics.current_position = to;
}

void cmd_PIXEL(code_record& rec) {
  evaluate_upn(rec.expression, 3);
  const int32_t x = p_int(1), y = p_int(2), k = p_int(3);
  const uint32_t colour = has(4) ? static_cast<uint32_t>(k) : table_colour(k % 256);
  qn_point p;
  if (has(8)) {
    p = px_offset(graphics.current_position, x, y);
  } else {
    p = has(16) ? px_point(x, y) : flip_y(x, y);
  }
  ups& u = begin_drawing(graphics.current_colour, p, p, {p.x, p.y, p.x + 1, p.y + 1});
  SET_PIXEL(u, colour, p);
  end_drawing();
  graphics.current_position = p;
}

void cmd_ARC(code_record& rec) {
  // Evaluated for its operands' side effects; an arc is not drawn.
  evaluate_upn(rec.expression, 9);
}

void cmd_CIRCLE(code_record& rec) {
  evaluate_upn(rec.expression, 5);
  const int32_t k = p_int(1), rx = p_int(4);
  int32_t ry = p_int(5);
  if (ry == 0) ry = rx;
  const int32_t pen = k >= 0 ? k : graphics.current_colour;
  uint32_t fill = colour_table[pen % 256];
  if (static_cast<int32_t>(fill) < 0) fill = static_cast<uint32_t>(graphics.current_colour);
  const qn_point centre = flip_y(p_int(2), p_int(3));
  qn_point first{px_diff(centre.x, rx), px_diff(centre.y, ry)}, second{px_sum(centre.x, rx), px_sum(centre.y, ry)};
  if (graphics.window_mode == 1) std::swap(first.y, second.y);
  ups& u = begin_drawing(pen, first, second, ordered(first, second));
  if (has(1)) {
    NEW_BRUSH(u, {.colour = fill, .style = 0});
  } else {
    NEW_BRUSH(u, {.style = 1});
  }
  DRAW_ELLIPSE(u, {.px = qn_rect{first.x, first.y, second.x, second.y}});
  end_drawing();
}

void cmd_BOX(code_record& rec) {
  evaluate_upn(rec.expression, 5);
  const int32_t k = p_int(1), w = p_int(4), h = p_int(5);
  const int32_t pen = k >= 0 ? k : graphics.current_colour;
  const qn_point corner = flip_y(p_int(2), p_int(3));
  const qn_point opposite{px_sum(corner.x, w), graphics.window_mode == 1 ? px_diff(corner.y, h) : px_sum(corner.y, h)};
  const qn_rect box = ordered(corner, opposite);
  graphics.current_position = opposite;
  ups& u = begin_drawing(pen, corner, opposite, box);
  if (has(1)) {
    // One line per row, each one pixel longer than the box because a line leaves out its end;
    // rows that the line cannot reach on screen 0 are left out.
    const qn_span rows = qn_reachable_span(u, box.top, box.bottom);
    for (int32_t row = rows.first; row <= rows.last; ++row) {
      DRAW_LINE(u, {.end_px = qn_point{box.right + 1, row}, .start_px = qn_point{box.left, row}});
    }
  } else {
    const qn_point corners[5] = {corner, {opposite.x, corner.y}, opposite, {corner.x, opposite.y}, corner};
    for (int i = 0; i < 4; ++i) DRAW_LINE(u, {.end_px = corners[i + 1], .start_px = corners[i]});
  }
  end_drawing();
}

void cmd_FLOOD(code_record& /*rec*/) { report_error("FLOOD n.u.", 0); }

void cmd_PLOT(code_record& rec) {
  if (has(1)) {
    evaluate_upn(rec.expression, 4);
    // The plot file's name (a file device's), whole or refused: nothing is opened then.
    const program_text taken = token_text(rec.token1);
    if (!whole_or_refused(taken)) return;
    const std::string& text = taken.text;
    const float width = param_registers[2] == 0.0f ? 20.0f : param_registers[2];
    const float height = param_registers[3] == 0.0f ? 30.0f : param_registers[3];
    const float scale = param_registers[4] == 0.0f ? 1.0f : param_registers[4];
    graphics.plot_on_screen = false;
    COMPS(text, width, height, p_int(1), scale);
    plot_script_init();
    return;
  }
  if (has(2)) {
    clear_io_status_for_plot_end();
    plot(0.0f, 0.0f, 999);
    graphics.plot_on_screen = false;
    return;
  }
  if (has(128)) {
    // Refused, the name asked for before stays.
    if (const std::optional<std::string> name = whole_name(token_text(rec.token1))) set_plot_file(*name);
    return;
  }
  if (has(64)) {
    const std::optional<std::string> whole = whole_name(token_text(rec.token1));
    if (!whole) return;
    const std::string& name = *whole;
    const int32_t unit = get_free_unit();
    io_status = unit_open(unit, name, {.status = "OLD", .action = "READ"});
    if (io_status != 0) return;
    {
      const plot_screen_step step;
      plot_script_run(unit);
    }
    unit_close(unit);
    return;
  }
  if (has(32)) {
    plot_script_set_text(get_text_token(rec.token1));
    const plot_screen_step step;
    plot_script_run(0);
    return;
  }
  if (has(8)) {
    plot_set_context(graphics.graphics_ups);
    graphics.plot_on_screen = true;
    return;
  }
  evaluate_upn(rec.expression, 3);
  const plot_screen_step step;
  if (has(16)) {
    plot(param_registers[1], param_registers[2], p_int(3));
    return;
  }
  plot_script_point(p_int(3), param_registers[1], param_registers[2]);
}
