// The BUTTON and BTNMGR commands.  BUTTON appends one area to the area table (button, combo,
// combo with a text part, list, slider bound to a variable, format field or tracking area),
// placed absolutely or beside the button made before.  BTNMGR works on existing areas: focus,
// enable and disable, select state, move and resize, delete, and setting a slider from its
// variable.  Painting, lists and sliders are the screen services'.
#include <algorithm>
#include <charconv>
#include <string>

#include "quillon/api/quillon.h"
#include "quillon/api/coordinates.h"
#include "runtime/program/areas.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/commands/events.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

constexpr int32_t table_full_code = 60;
constexpr int32_t bad_list_error = 4501;
constexpr int32_t unknown_option_error = 2008;
constexpr int32_t no_such_area_error = 2009;

void set_caption(area_record& a, std::string_view text) {
  a.caption = area_record::blank_caption();
  std::copy_n(text.begin(), std::min(text.size(), a.caption.size()), a.caption.begin());
}

// The table is full: the message ends the program; answered with OK while debugging, the
// button is not made, so the table never passes 60 entries.
bool table_full(int32_t needed_number, int32_t limit, const char* message) {
  if (needed_number < limit) return false;
  report_error(message, table_full_code);
  return true;
}

// The variable that the second operand expression referred to last becomes the area's.
void bind_variable(const code_record& rec, area_record& a) {
  evaluate_upn(rec.second, 1);
  int32_t v = 0, element = 0;
  get_last_reference(v, element);
  a.variable = v;
  a.element = element;
}

// The list number 1..4 that the caption of a list area holds; 0 when it holds none.
int32_t caption_list_number(const area_record& a) {
  const std::string_view text(a.caption.data(), a.caption.size());
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  const size_t last = text.find_last_not_of(' ');
  int32_t k = 0;
  const char* begin = text.data() + first;
  const char* end = text.data() + last + 1;
  const auto [ptr, ec] = std::from_chars(begin, end, k);
  if (ec != std::errc() || ptr != end) return 0;
  return k >= 1 && k <= 4 ? k : 0;
}

// Turns the new 9505 entry n into the text part of a combo and appends its drop-down area.
void split_combo(int32_t n) {
  if (table_full(n, 59, "COMBOmax Buttons :")) return;
  area_table.count = n + 1;
  area_record& drop = area(n + 1);
  drop = area(n);
  drop.type = area_combo;
  area_record& text = area(n);
  text.kind = area_kind_field;
  const int32_t x1 = text.x1, y1 = text.y1, x2 = text.x2, y2 = text.y2;
  text.text_x = x1 + 7;
  text.text_y = (y1 + y2) / 2 - 3;
  text.columns = (x2 - x1 - 16) / 8;
  text.x1 = x1 + 3;
  text.y1 = y1 + 2;
  text.x2 = x2 - 9;
  text.y2 = y2 - 2;
  // The drop-down part spans the whole rectangle: it is painted first, and the text part with the
  // current entry's text on top of it.
  paint_button(1, drop);
  paint_button(1, text);
}

// The disabled shading: an XOR of every other pixel of the inner rectangle, so that shading
// twice gives the face back.
void shade_area(const area_record& a) {
  const int32_t x1 = a.x1 + 3, y1 = a.y1 + 3, x2 = a.x2 - 3, y2 = a.y2 - 3;
  if (x2 < x1 || y2 < y1) return;
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  SELECT_MY_PEN(u, 17);
  SET_ROP(u, 7);
  const qn_span rows = qn_reachable_span(u, y1, y2);
  for (int32_t y = rows.first; y <= rows.last; ++y) {
    const int32_t r = y % 2 != 0 ? 1 : 0;
    DRAW_LINE(u, {.end_px = qn_point{x2 - r, y}, .start_px = qn_point{x1 + r, y}});
  }
  SET_ROP(u, 13);
  screen_stop_nr(0);
}

// A variable-bound slider follows its variable, clamped to the variable's range.
void set_slider_from_variable(int32_t n) {
  const int32_t t = area(n).slider_track;
  if (!area_in_table(t)) return;
  area_record& track = area(t);
  const int32_t v = track.variable;
  if (!variable_table.valid(v) || v < 1) return;
  const variable_record& var = variable_table.records[static_cast<size_t>(v)];
  if (var.type != var_integer) return;
  const int32_t element = track.element >= 0 && track.element < std::max(var.dimension, 1) ? track.element : 0;
  const int32_t word = var.start + element;
  const float lo = var.range_min, hi = var.range_max;
  const float value = static_cast<float>(ADRSPACE.get_int(word));
  if (hi > lo) {
    const int32_t x = trunc_to_int(std::clamp(value, lo, hi));
    ADRSPACE.set_int(word, x);
    track.slider_percent = std::clamp(nint((static_cast<float>(x) - lo) * 100.0f / (hi - lo)), 0, 100);
  } else if (lo > hi) {
    const int32_t x = trunc_to_int(std::clamp(value, hi, lo));
    ADRSPACE.set_int(word, x);
    track.slider_percent = 100 - std::clamp(nint((static_cast<float>(x) - hi) * 100.0f / (lo - hi)), 0, 100);
  } else {
    ADRSPACE.set_int(word, trunc_to_int(lo));
  }
  slider_track(t);
}

}  // namespace

void cmd_BUTTON(code_record& rec) {
  evaluate_upn(rec.expression, 4);
  const int32_t options = rec.flags;
  if (options & 16) return;
  int32_t x = nint(param_registers[1]);
  int32_t y = nint(param_registers[2]);
  int32_t width = nint(param_registers[3]);
  int32_t height = nint(param_registers[4]);
  area_table_t& t = area_table;
  if (width == 0) width = t.last_width;
  if (height == 0) height = t.last_height;
  if (width == -1) width = 0;
  if (height == -1) height = 0;
  width = px_clamp(width);
  height = px_clamp(height);

  if (options & 32) {
    x = px_sum(t.last_x, t.last_width, x);
    y = px_sum(t.last_y, y);
  } else if (options & 64) {
    x = px_sum(t.last_x, -width, x);
    y = px_sum(t.last_y, y);
  } else if (options & 128) {
    x = px_sum(t.last_x, x);
    y = px_sum(t.last_y, t.last_height, y);
  } else if (options & 256) {
    x = px_sum(t.last_x, x);
    y = px_sum(t.last_y, -height, y);
  } else {
    const qn_point p = flip_y(x, y);
    x = p.x;
    y = p.y;
  }

  if (options & 16384) {
    t.last_x = x;
    t.last_y = y;
    t.last_width = width;
    t.last_height = height;
    return;
  }
  if (table_full(t.count, max_areas, "max Buttons :")) return;

  const int32_t n = t.count + 1;
  t.count = n;
  area_record& a = area(n);
  a = area_record{};
  a.type = area_button;
  a.label = rec.target;
  a.selected = (options & 1024) ? logical_true : 0;
  a.enabled = logical_true;
  a.status_text = rec.token2;
  a.x1 = x;
  a.y1 = y;
  a.x2 = px_sum(x, width);
  a.y2 = px_sum(y, height);
  t.last_x = x;
  t.last_y = y;
  set_caption(a, get_text_token(rec.token1, 28));
  t.last_button = a;
  if (options & 512) a.kind = area_kind_latching;
  if (options & 1024) a.type = area_combo;
  if (options & 2048) a.type = area_combo_text;
  if (options & 8) a.type = area_field;

  if (options & 4096) {
    if (table_full(n, 57, "LISTmax Buttons :")) {
      t.count = n - 1;
      return;
    }
    a.type = area_list;
    const int32_t k = caption_list_number(a);
    if (k == 0) {
      // The area stays in the table, but no list is set up for it.
      call_state.command_error = bad_list_error;
      a.list = 0;
      return;
    }
    a.list = k + 2;
    a.text_y = 0;
    t.last_width = a.x2 - a.x1;
    t.last_height = a.y2 - a.y1;
    lst_area_setup();
    return;
  }
  if (options & 8192) {
    if (table_full(n, 58, "SLIDERmax Buttons :")) {
      t.count = n - 1;
      return;
    }
    a.type = area_slider;
    bind_variable(rec, a);
    SLIDER_VAR(0);
    return;
  }
  if (options & 1) {
    a.type = area_tracking;
    return;
  }
  if (a.type == area_field) {
    a.kind = area_kind_field;
    bind_variable(rec, area(n));
  }
  // A combo with a text part is painted as its two parts once it is split; its caption is a
  // record key, never a caption to draw.
  if (area(n).type != area_combo_text) paint_button(1, area(n));
  t.last_width = area(n).x2 - area(n).x1;
  t.last_height = area(n).y2 - area(n).y1;
  if (area(n).type == area_combo_text) split_combo(n);
}

void cmd_BTNMGR(code_record& rec) {
  const int32_t options = rec.flags;
  area_table_t& t = area_table;

  if (options & 1) {
    evaluate_upn(rec.expression, 1);
    const int32_t n = nint(param_registers[1]);
    if (area_in_table(n) && area(n).type == area_slider) {
      set_slider_from_variable(n);
      return;
    }
    if (area_in_table(t.state.focus)) paint_button(1, area(t.state.focus));
    if (area_in_table(n)) {
      t.state.focus = n;
      paint_button(8, area(n));
    } else {
      t.state.focus = 0;
    }
    return;
  }
  if (options & (256 | 128)) {
    evaluate_upn(rec.expression, 1);
    const int32_t n = nint(param_registers[1]);
    if (!area_in_table(n)) {
      call_state.command_error = no_such_area_error;
      return;
    }
    area_record& a = area(n);
    const bool enable = (options & 256) != 0;
    if ((options & 64) && enable != logical(a.enabled)) shade_area(a);
    a.enabled = enable ? logical_true : 0;
    return;
  }
  if (options & 1024) {
    evaluate_upn(rec.expression, 2);
    const int32_t n = nint(param_registers[1]);
    const int32_t m = nint(param_registers[2]);
    if (!area_in_table(n)) {
      call_state.command_error = no_such_area_error;
      return;
    }
    area_record& a = area(n);
    const bool selected = logical(a.selected);
    if (m == 0 || (m == 1 && !selected) || (m != 0 && m != 1 && selected)) press_button(1, a);
    return;
  }
  if (options & 8) {
    evaluate_upn(rec.expression, 5);
    const int32_t n = nint(param_registers[1]);
    if (!area_in_table(n)) {
      call_state.command_error = no_such_area_error;
      return;
    }
    const int32_t dx = nint(param_registers[2]), dy = nint(param_registers[3]);
    const int32_t w = nint(param_registers[4]), h = nint(param_registers[5]);
    area_record& a = area(n);
    a.x1 = px_sum(a.x1, dx);
    a.y1 = px_sum(a.y1, dy);
    a.x2 = px_sum(a.x2, dx);
    a.y2 = px_sum(a.y2, dy);
    if (a.type == area_list) return;
    a.text_x = px_sum(a.text_x, dx);
    a.text_y = px_sum(a.text_y, dy);
    if (w > 0) a.x2 = px_sum(a.x1, w);
    if (h > 0) a.y2 = px_sum(a.y1, h);
    return;
  }
  if (options & 65536) {
    evaluate_upn(rec.expression, 1);
    const int32_t n = nint(param_registers[1]);
    if (!area_in_table(n)) {
      call_state.command_error = no_such_area_error;
      return;
    }
    // The areas after n move down by one: every word that names an area follows its area, so
    // that the frame the user sees, the area that Return or the mouse release runs, an open
    // input field and a list's slider stay with what they were on; a word naming n lets go.
    area_delete(n);
    mouse_track.pressed_area = area_renumbered(mouse_track.pressed_area, n, -1);
    field_input_area_deleted(n);
    lst_area_deleted(n);
    return;
  }
  call_state.command_error = unknown_option_error;
}
