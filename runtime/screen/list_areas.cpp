// List areas and sliders: a LIST area of BUTTON becomes a framed list with a slider beside it,
// the combo drop-down becomes list 1, sliders are three areas (two arrows and the thumb track)
// whose thumb follows the list's top row or a bound INTEGER variable; and the mouse polling
// that the list routines use.
#include <algorithm>

#include "quillon/api/coordinates.h"
#include "quillon/api/quillon.h"
#include "runtime/program/areas.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {

struct poll_state_t {
  int32_t x = 0, y = 0;  // position of the last poll
};
poll_state_t poll_state;

// The button painter in style 1 (slider parts).
void paint_slider_part(int32_t n) {
  if (n >= 1 && n <= max_areas) paint_button(1, area(n));
}

std::optional<int32_t> list_font() { return font_handle(fixed_font); }

// Line height and slider width from the list font, measured on screen 0; the character width
// is the fixed font's advance, the measure of input fields too.
void measure_list_font(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  int status = 0;
  const text_metrics m = GET_TEXT_METRICS(&u, list_font(), &status);
  screen_stop_nr(0);
  if (status == 0 && m.height > 0) {
    list_table.line_height = m.height + 3;
    list_table.char_width = fixed_font_advance();
  }
  list_table.slider_width = get_system_metrics(2);
}

void set_caption(area_record& a, std::string_view text) {
  a.caption = area_record::blank_caption();
  std::copy_n(text.begin(), std::min(text.size(), a.caption.size()), a.caption.begin());
}

// The INTEGER word of a slider's variable; nullptr when the variable is none.
int32_t slider_word(const area_record& s) {
  const variable_record& var = variable_table.records[static_cast<size_t>(s.variable)];
  const int32_t element = s.element >= 0 && s.element < std::max(var.dimension, 1) ? s.element : 0;
  return var.start + element;
}

}  // namespace

void last_mouse_state(int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
  x = mouse_state.x;
  y = mouse_state.y;
  left = (mouse_state.buttons & 1) != 0 ? 1 : 0;
  right = (mouse_state.buttons & 2) != 0 ? 1 : 0;
}

void record_mouse_buttons(int32_t buttons) {
  mouse_state.pressed |= buttons & ~mouse_state.buttons & 3;
  mouse_state.buttons = buttons;
}

bool get_mouse_state(int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
  mouse_state.pressed = 0;
  if (process_pending_messages() == 0) return false;
  last_mouse_state(x, y, left, right);
  // A press whose release came in the same pump (a quick click, a tap) reads as down this time;
  // the next reading sees the release, so every poller gets the click as press and release.
  if ((mouse_state.pressed & 1) != 0) left = 1;
  if ((mouse_state.pressed & 2) != 0) right = 1;
  poll_state.x = x;
  poll_state.y = y;
  return true;
}

void poll_mouse_idle() {}

void poll_mouse_delta(int32_t& dx, int32_t& dy, int32_t& left, int32_t& right) {
  const int32_t b = mouse_state.buttons;
  dx = mouse_state.x - poll_state.x;
  dy = mouse_state.y - poll_state.y;
  left = b == 1 || b == 3 ? 1 : 0;
  right = b == 2 || b == 3 ? 1 : 0;
  poll_state.x = mouse_state.x;
  poll_state.y = mouse_state.y;
}

void frame_by_flag(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t flag) {
  draw_box_frame(x1, y1, x2, y2, flag == 0 ? 16 : 0);
}

void lst_frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t m = list_table.slider_width;
  ups u;
  screen_nr(0, u, x1, y1, x2, y2);
  int status = 0;
  auto line = [&u](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    DRAW_LINE(u, {.end_px = qn_point{bx, by}, .start_px = qn_point{ax, ay}});
  };
  SELECT_MY_PEN(u, 8, &status);
  line(x1, y1, x2, y1);
  SELECT_MY_PEN(u, 16, &status);
  line(x2, y1, x2, y2);
  line(x2, y2, x1, y2);
  SELECT_MY_PEN(u, 8, &status);
  line(x1, y2, x1, y1);
  line(x2 - m, y2, x2 - m, y1);
  SELECT_MY_PEN(u, 15, &status);
  const qn_span rows = qn_reachable_span(u, y1 + 1, y2 - 1);  // rows off the screen are left out
  for (int32_t y = rows.first; y <= rows.last; ++y) line(x1 + 1, y, x2, y);
  screen_stop_nr(0);
}

void SLIDER_VAR(int32_t a) {
  const int32_t newest = area_table.count;
  int32_t s = newest;
  if (a != 0) {
    if (!area_in_table(a)) return;
    s = a + area(a).columns;
  }
  if (!area_in_table(s)) return;
  area_record& thumb_source = area(s);

  // The percentage from the bound variable and its range.
  int32_t p = 0;
  const int32_t v = thumb_source.variable;
  if (v > 0) {
    if (!variable_table.valid(v) || variable_table.records[static_cast<size_t>(v)].type != var_integer) {
      report_error("SLIDER_VAR no INTEGER", v);
      return;
    }
    const variable_record& var = variable_table.records[static_cast<size_t>(v)];
    const int32_t word = slider_word(thumb_source);
    const float lo = var.range_min, hi = var.range_max;
    float x = static_cast<float>(ADRSPACE.get_int(word));
    if (lo < hi) {
      x = static_cast<float>(trunc_to_int(std::clamp(x, lo, hi)));
      ADRSPACE.set_int(word, trunc_to_int(x));
      p = std::clamp(nint((x - lo) * 100.0f / (hi - lo)), 0, 100);
    } else if (hi < lo) {
      x = std::clamp(x, hi, lo);
      ADRSPACE.set_int(word, trunc_to_int(x));
      p = 100 - std::clamp(nint((x - hi) * 100.0f / (lo - hi)), 0, 100);
    } else {
      ADRSPACE.set_int(word, trunc_to_int(lo));
      p = 0;
    }
  }
  thumb_source.slider_state = -999;
  thumb_source.slider_percent = p;
  if (a > 0) return;

  // Building: s becomes the first arrow, s+1 the thumb track, s+2 the second arrow.
  if (s + 2 > max_areas) {
    report_error("SLIDERmax Buttons :", 60);
    return;
  }
  area(s + 1) = area(s);
  area(s + 2) = area(s);
  area_table.count = std::max(area_table.count, s + 2);
  area_record& first = area(s);
  area_record& track = area(s + 1);
  area_record& second = area(s + 2);
  for (area_record* r : {&first, &track, &second}) r->slider_track = s + 1;
  first.columns = 1;
  track.columns = 0;
  second.columns = -1;
  first.selected = 0;
  const int32_t m = list_table.slider_width;
  const int32_t x1 = first.x1, y1 = first.y1, x2 = first.x2, y2 = first.y2;
  if (y2 - y1 < x2 - x1) {
    for (area_record* r : {&first, &track, &second}) r->y2 = y1 + m;
    first.x1 = x1;
    first.x2 = x1 + m;
    second.x1 = x2 - m + 1;
    second.x2 = x2 + 1;
    track.x1 = x1 + m - 1;
    track.x2 = x2 - m + 1;
    track.track_length = track.x2 - m - track.x1;
    set_caption(first, "#66");
    set_caption(second, "#67");
  } else {
    for (area_record* r : {&first, &track, &second}) r->x2 = x1 + m;
    first.y1 = y1;
    first.y2 = y1 + m;
    second.y1 = y2 - m + 1;
    second.y2 = y2 + 1;
    track.y1 = y1 + m - 1;
    track.y2 = y2 - m + 1;
    track.track_length = track.y2 - m - track.y1;
    set_caption(first, "#64");
    set_caption(second, "#65");
  }
  set_caption(track, "");
  const int32_t length = std::max(track.track_length, 0);
  track.text_x = std::clamp(p * length / 100, 0, length);
  for (int32_t k = s; k <= s + 2; ++k) paint_slider_part(k);
}

void lst_area_setup() {
  const int32_t a = area_table.count;
  if (!area_in_table(a)) return;
  area_record& list_area = area(a);
  measure_list_font(list_area.x1, list_area.y1, list_area.x2, list_area.y2);
  const int32_t m = list_table.slider_width;
  const int32_t lh = std::max(list_table.line_height, 1);
  const int32_t n = list_area.list;
  const int32_t x1 = list_area.x1, y1 = list_area.y1, x2 = list_area.x2, y2 = list_area.y2;
  list_area.x2 = x2 - m;

  const int32_t page = std::clamp((y2 - y1) / lh, 4, 40);
  const int32_t b = y1 + 7 + lh * page;
  list_area.y2 = b;
  if (list_number_ok(n)) {
    list_record& l = list_of(n);
    l.hilite_drawn = false;
    l.edit_started = false;
    l.edit_mode = false;
    l.tab_count = 0;
    l.tab_x.fill(0);
    l.tab_col.fill(1);
    l.page = page;
    l.x1 = x1 + 3;
    l.y1 = y1 + 6;
    l.x2 = x2 - m - 3;
    l.y2 = b;
    l.hilite_line = 0;
    l.hilite_left = 0;
    l.hilite_right = (x2 - m - 3) - (x1 + 3);
    l.width = (x2 - m - x1 - 7) / std::max(list_table.char_width, 1);
    l.saved_cursor = l.cursor;
    l.top = l.cursor > page ? l.cursor : 1;
    l.saved_top = l.top;
  }
  lst_frame(x1, y1, x2, b);

  // The slider: a copy of the list area at its right edge.
  if (a + 1 > max_areas) {
    report_error("SLIDERmax Buttons :", 60);
    return;
  }
  area(a + 1) = area(a);
  area_table.count = a + 1;
  area_record& slider = area(a + 1);
  slider.variable = 0;
  slider.type = area_slider;
  slider.x1 = slider.x2;
  SLIDER_VAR(0);

  if (list_number_ok(n)) {
    list_record& l = list_of(n);
    l.slider_area = area_table.count - 1;
    l.drawn_top = 0;
    list_table.current = n;
    lst_draw();
    update_slider(n);
  }
}

void lst_combo_setup(area_record& combo, int32_t bottom, int32_t entries, int32_t current_entry) {
  measure_list_font(combo.x1, combo.y1, combo.x2, combo.y2);
  const int32_t n = combo.list;
  const int32_t lh = std::max(list_table.line_height, 1);
  const int32_t k = entries;
  if (!list_number_ok(n)) return;
  list_record& l = list_of(n);
  l.page = k;
  int32_t b = combo.y1 + 7 + lh * k;
  if (b > screen_metrics.client_height() - screen_metrics.bottom_margin) {
    b = bottom;
    combo.y1 = b - (lh * k + 7);
  }
  combo.y2 = b;
  l.cursor = current_entry;
  l.x1 = combo.x1 + 3;
  l.y1 = combo.y1 + 6;
  l.x2 = combo.x2 - 3;
  l.y2 = b;
  l.hilite_right = (combo.x2 - 3) - (combo.x1 + 3);
  l.hilite_left = 0;
  l.hilite_line = 0;
  l.hilite_drawn = false;
  l.edit_started = false;
  l.edit_mode = false;
  l.saved_cursor = l.cursor;
  l.top = l.cursor > k ? l.cursor : 1;
  l.saved_top = l.top;
  l.width = (combo.x2 - combo.x1 - 7) / std::max(list_table.char_width, 1);
  clipboard_copy(0, combo.x1, combo.y1, combo.x2 + 1, b + 1);
  lst_frame(combo.x1, combo.y1, combo.x2, b);
  l.drawn_top = 0;
  list_table.current = n;
  lst_draw();
}

namespace {
// True when area s of the table is the thumb of list n's slider.
bool is_thumb_of(int32_t s, int32_t n) {
  return area_in_table(s) && area(s).list == n && area(s).type == area_slider && area(s).columns == 0;
}
}  // namespace

void lst_sliders_restored() {
  for (int32_t n = 1; n <= list_count; ++n) {
    list_record& l = list_of(n);
    if (is_thumb_of(l.slider_area, n)) continue;
    for (int32_t s = 1; s <= area_table.count; ++s)
      if (is_thumb_of(s, n)) {
        l.slider_area = s;
        break;
      }
  }
}

void update_slider(int32_t n) {
  if (!list_number_ok(n)) return;
  const list_record& l = list_of(n);
  const int32_t s = l.slider_area;
  if (!is_thumb_of(s, n)) {
    // The list as the program numbers it (the combo's drop-down is list record 1).
    const std::string list = n >= 3 ? "list " + std::to_string(n - 2) : "list record " + std::to_string(n);
    report_error("update_slider : no slider-button: " + list + ", slider area " + std::to_string(s) +
                     (area_in_table(s) ? "" : " (no such area)"), 0);
    return;
  }
  area_record& thumb = area(s);
  const float share = static_cast<float>(l.top) / static_cast<float>(std::max(l.count, 1));
  const int32_t p = std::clamp(nint(share * 100.0f), 0, 100);
  thumb.slider_percent = p;
  const int32_t position = p * thumb.track_length / 100;
  if (position != thumb.text_x) {
    thumb.text_x = position;
    paint_slider_part(s);
  }
}

void lst_area_deleted(int32_t n) {
  for (int32_t k = 1; k <= list_count; ++k) {
    int32_t& s = list_of(k).slider_area;
    if (s > 0) s = area_renumbered(s, n, 0);
  }
}

void slider_track(int32_t s) {
  if (!area_in_table(s)) return;
  area_record& thumb = area(s);
  if (thumb.columns != 0 || thumb.slider_percent == thumb.slider_state) return;
  thumb.slider_state = thumb.slider_percent;
  int32_t position = std::min(nint(static_cast<float>(thumb.slider_percent) * static_cast<float>(thumb.track_length) / 100.0f),
                              thumb.track_length);
  if (position < 1) position = 0;
  thumb.text_x = position;
  paint_slider_part(s);
}
