// The button painter: draws an area of the area table as a 3-D button with its caption, and
// the press that flips a button's selected flag.  Captions are texts, icons of the icon library
// ("#n", or "#n|#m" for the plain and the pressed look), two text lines ("first|second"), or
// "#INFO#" for the text the program put into info_text.  The character after the first "&"
// is the area's hot key; the "&" itself is not drawn.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "quillon/api/coordinates.h"
#include "runtime/program/areas.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

std::array<char, info_text_size> info_text = [] {
  std::array<char, info_text_size> t{};
  t.fill(' ');
  return t;
}();

namespace {

// Colour numbers of the button faces.
constexpr int32_t face_colour = 7;       // light grey
constexpr int32_t light_colour = 15;     // white: the lit edges
constexpr int32_t shadow_colour = 8;     // grey: the shaded edges
constexpr int32_t outline_colour = 0;    // black
constexpr int32_t disabled_text = 8;
constexpr int32_t field_colour = 15;     // white inside of input fields

std::string trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

// Pixel-exact lines: the library leaves out the end pixel, so each line ends one further.
void hline(ups& u, int32_t colour, int32_t x1, int32_t x2, int32_t y) {
  NEW_PEN(u, {.colour = colour_table[colour]});
  DRAW_LINE(u, {.end_px = qn_point{x2 + 1, y}, .start_px = qn_point{x1, y}});
}
void vline(ups& u, int32_t colour, int32_t x, int32_t y1, int32_t y2) {
  NEW_PEN(u, {.colour = colour_table[colour]});
  DRAW_LINE(u, {.end_px = qn_point{x, y2 + 1}, .start_px = qn_point{x, y1}});
}
// Rows off the screen are left out, however far the area reaches.
void fill(ups& u, int32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x2 < x1) return;
  const qn_span rows = qn_reachable_span(u, y1, y2);
  for (int32_t y = rows.first; y <= rows.last; ++y) hline(u, colour, x1, x2, y);
}

// A raised (or, pressed, sunken) bevel of two pixels inside the rectangle.
void bevel(ups& u, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool sunken) {
  const int32_t lit = sunken ? shadow_colour : light_colour;
  const int32_t dark = sunken ? light_colour : shadow_colour;
  hline(u, lit, x1, x2, y1);
  vline(u, lit, x1, y1, y2);
  hline(u, dark, x1, x2, y2);
  vline(u, dark, x2, y1, y2);
}

// The first of from, from + 2, from + 4, ... that lies in the reachable part of from..to, and
// that part's end: the dots of a dotted line off the screen are not visited.
qn_span dotted(ups& u, int32_t from, int32_t to, bool columns) {
  qn_span s = qn_reachable_span(u, from, to, columns);
  s.first += static_cast<int32_t>((int64_t{s.first} - from) % 2);
  return s;
}

// The dotted focus rectangle: every other pixel of the inner outline.
void focus_mark(ups& u, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const uint32_t c = colour_table[outline_colour];
  const qn_span columns = dotted(u, x1, x2, true), rows = dotted(u, y1, y2, false);
  for (int32_t x = columns.first; x <= columns.last; x += 2) {
    SET_PIXEL(u, c, {x, y1});
    SET_PIXEL(u, c, {x, y2});
  }
  for (int32_t y = rows.first; y <= rows.last; y += 2) {
    SET_PIXEL(u, c, {x1, y});
    SET_PIXEL(u, c, {x2, y});
  }
}

// The caption as drawn: "&" markers removed ("&&" stands for one "&").
std::string shown_text(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

bool is_icon(std::string_view text) { return text.size() >= 2 && text[0] == '#' && text[1] >= '0' && text[1] <= '9'; }

// The text centred in the rectangle.
void centred_text(ups& u, std::string_view text, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  if (text.empty()) return;
  const qn_point extent = GET_TEXT_EXTENT(u, text, font_handle(standard_font));
  const int32_t x = x1 + std::max((x2 - x1 + 1 - extent.x) / 2, 0);
  const int32_t y = y1 + std::max((y2 - y1 + 1 - extent.y) / 2, 0);
  write_label_text(x, y, text, static_cast<int32_t>(text.size()), colour);
}

void draw_caption(ups& u, const area_record& a, std::string_view caption, int32_t shift) {
  const int32_t x1 = a.x1 + 3 + shift, y1 = a.y1 + 3 + shift, x2 = a.x2 - 3 + shift, y2 = a.y2 - 3 + shift;
  const int32_t colour = logical(a.enabled) ? outline_colour : disabled_text;
  if (is_icon(caption)) {
    // An icon of 32 x 32 pixels in the middle; "#n|#m" shows #m while pressed.
    const int32_t x = x1 + std::max((x2 - x1 + 1 - 32) / 2, 0);
    const int32_t y = y1 + std::max((y2 - y1 + 1 - 32) / 2, 0);
    draw_icon(x, y, caption, logical(a.selected) && caption.find('|') != std::string_view::npos);
    return;
  }
  const size_t bar = caption.find('|');
  if (bar != std::string_view::npos) {
    const int32_t middle = (y1 + y2) / 2;
    centred_text(u, shown_text(caption.substr(0, bar)), x1, y1, x2, middle, colour);
    centred_text(u, shown_text(caption.substr(bar + 1)), x1, middle + 1, x2, y2, colour);
    return;
  }
  centred_text(u, shown_text(caption), x1, y1, x2, y2, colour);
}

// Input fields (format fields, the text part of a combo) and slider tracks: a sunken box.
void paint_sunken_box(ups& u, const area_record& a, int32_t inside) {
  fill(u, inside, a.x1, a.y1, a.x2, a.y2);
  bevel(u, a.x1, a.y1, a.x2, a.y2, true);
}

// A slider's thumb is a square as wide as its track.
int32_t thumb_size(const area_record& track) { return std::min(track.x2 - track.x1, track.y2 - track.y1); }

void paint_slider_track(ups& u, const area_record& a) {
  paint_sunken_box(u, a, face_colour);
  // The thumb: a raised square at its offset along the track.
  const bool across = a.x2 - a.x1 > a.y2 - a.y1;
  const int32_t thumb = thumb_size(a);
  const int32_t tx1 = across ? a.x1 + a.text_x : a.x1;
  const int32_t ty1 = across ? a.y1 : a.y1 + a.text_x;
  const int32_t tx2 = across ? std::min(tx1 + thumb, a.x2) : a.x2;
  const int32_t ty2 = across ? a.y2 : std::min(ty1 + thumb, a.y2);
  fill(u, face_colour, tx1, ty1, tx2, ty2);
  bevel(u, tx1, ty1, tx2, ty2, false);
}

// The INTEGER word of the variable bound to a slider track; -1 when it has none.
int32_t slider_word(const area_record& track) {
  const int32_t v = track.variable;
  if (v < 1 || !variable_table.valid(v)) return -1;
  const variable_record& var = variable_table.records[static_cast<size_t>(v)];
  if (var.type != var_integer) return -1;
  const int32_t element = track.element >= 0 && track.element < std::max(var.dimension, 1) ? track.element : 0;
  return var.start + element;
}

// The mouse's distance from the start of a slider's track, in pixels along it.
int32_t along_track(const area_record& track, int32_t x, int32_t y) {
  const bool across = track.x2 - track.x1 > track.y2 - track.y1;
  return across ? x - track.x1 : y - track.y1;
}

// Moves what slider track t stands for: its list scrolls, or its variable takes the value; the
// first arrow's step (-1) goes toward 0 %, the range minimum.  A step of 0 puts the thumb at
// `offset` pixels along the track.  The thumb is then drawn from the new position.
void slider_move(int32_t t, int32_t step, int32_t offset) {
  area_record& track = area(t);
  int32_t percent = -1;
  if (step == 0) {
    percent = track.track_length > 0
                  ? static_cast<int32_t>(std::clamp<int64_t>(int64_t{offset} * 100 / track.track_length, 0, 100))
                  : 0;
  }
  if (track.list > 0) {
    if (percent < 0) lst_scroll(track.list, step);
    else lst_scroll_to(track.list, percent);
    update_slider(track.list);
    return;
  }
  const int32_t word = slider_word(track);
  if (word < 0) return;
  const variable_record& var = variable_table.records[static_cast<size_t>(track.variable)];
  const float lo = var.range_min, hi = var.range_max;
  if (percent < 0) {
    const int32_t toward_lo = lo <= hi ? -1 : 1;
    const int64_t v = int64_t{ADRSPACE.get_int(word)} + (step < 0 ? toward_lo : -toward_lo);
    ADRSPACE.set_int(word, static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)));
  } else {
    ADRSPACE.set_int(word, trunc_to_int(lo + (hi - lo) * static_cast<float>(percent) / 100.0f));
  }
  SLIDER_VAR(t);  // clamps the value to the range and sets the percentage
  slider_track(t);
}

bool is_slider_track(int32_t t) { return area_in_table(t) && area(t).type == area_slider && area(t).columns == 0; }

// A press on the track: away from the thumb the thumb jumps to the mouse.  While the left
// button stays down the thumb follows the mouse, held at the point where it was taken.  The
// press itself is the first reading; the mouse handler only records the position meanwhile.
void slider_drag(int32_t t) {
  int32_t x = 0, y = 0, left = 0, right = 0;
  last_mouse_state(x, y, left, right);
  int32_t at = along_track(area(t), x, y);
  int32_t grip = at - area(t).text_x;
  if (grip < 0 || grip > thumb_size(area(t))) {
    grip = 0;
    slider_move(t, 0, at);
  }
  const bool was_active = run_flags.list_mouse_active;
  run_flags.list_mouse_active = true;
  area_hold hold(t);  // a timer's label may delete areas while the thumb is dragged
  while (left != 0 && !run_flags.focus_lost && !program_has_ended() && get_mouse_state(x, y, left, right) &&
         is_slider_track(t)) {
    const int32_t now = along_track(area(t), x, y);
    if (now == at) continue;
    at = now;
    slider_move(t, 0, at - grip);
  }
  run_flags.list_mouse_active = was_active;
}

// A press on a slider: an arrow steps one row of the list or one unit of the variable toward
// its end of the track; the track takes the thumb to the mouse and drags it.
void slider_press(const area_record& a) {
  const int32_t t = a.slider_track;
  if (!is_slider_track(t)) return;
  if (a.columns == 0) slider_drag(t);
  else slider_move(t, a.columns > 0 ? -1 : 1, 0);
}

}  // namespace

void paint_button(int32_t face, area_record& a) {
  if (face == -9999) return;
  const std::string_view raw(a.caption.data(), a.caption.size());
  a.hot_key = caption_hot_key(raw);
  if (a.type == area_list || a.type == area_tracking) return;
  if (a.x2 < a.x1 || a.y2 < a.y1) return;  // nothing to paint on
  if (screen_info(0).bitmap == 0) return;  // no screen yet (headless start-up)
  if (a.type == area_field && a.variable != 0 && variable_table.valid(a.variable)) {
    // A format field shows its variable's value whenever it is painted, in the box of the
    // formatted output: the field's own colours, or the face colour while it has the focus.
    const int32_t own = format_own_colours;
    format_own_colours = face == 8 ? 0 : 1;
    format_area_output(a);
    format_own_colours = own;
    return;
  }

  std::string caption = trimmed(raw);
  if (caption == "#INFO#") caption = trimmed(std::string_view(info_text.data(), info_text.size()));

  ups u;
  screen_nr(0, u, a.x1, a.y1, a.x2, a.y2);
  if (a.type == area_slider && a.columns == 0) {
    paint_slider_track(u, a);
  } else if (a.type == area_field || a.type == area_combo_text) {
    paint_sunken_box(u, a, field_colour);
    if (a.type == area_combo_text) {
      // The caption is the key of the combo record: the part shows that record's current entry,
      // as far as its columns go.
      std::string text = combo_text_of(a);
      if (a.columns > 0 && std::cmp_greater(text.size(), a.columns)) text.resize(static_cast<size_t>(a.columns));
      const int32_t colour = logical(a.enabled) ? outline_colour : disabled_text;
      // In the input-field font from its text x, centred in the part's height, so that the
      // font's descenders stay inside.
      const int32_t height = GET_TEXT_EXTENT(u, "X", font_handle(fixed_font)).y;
      write_field_text(a.text_x, a.y1 + std::max((a.y2 - a.y1 + 1 - height) / 2, 0), text,
                       static_cast<int32_t>(text.size()), colour);
    }
    if (face == 8) focus_mark(u, a.x1 + 2, a.y1 + 2, a.x2 - 2, a.y2 - 2);
  } else {
    const bool sunken = logical(a.selected) && a.type != area_combo;
    fill(u, face_colour, a.x1, a.y1, a.x2, a.y2);
    if (face == 2) {
      // The TEXTB look: a bevel without the black outline.
      bevel(u, a.x1, a.y1, a.x2, a.y2, sunken);
    } else {
      hline(u, outline_colour, a.x1, a.x2, a.y1);
      hline(u, outline_colour, a.x1, a.x2, a.y2);
      vline(u, outline_colour, a.x1, a.y1, a.y2);
      vline(u, outline_colour, a.x2, a.y1, a.y2);
      if (a.x2 - a.x1 >= 2 && a.y2 - a.y1 >= 2) bevel(u, a.x1 + 1, a.y1 + 1, a.x2 - 1, a.y2 - 1, sunken);
    }
    if (a.type == area_combo) {
      // The drop-down arrow at the right edge; the caption names the combo record, not a text.
      const int32_t cx = a.x2 - 5, cy = (a.y1 + a.y2) / 2 - 1;
      for (int32_t i = 0; i < 3; ++i) hline(u, outline_colour, cx - 2 + i, cx + 2 - i, cy + i);
    } else {
      draw_caption(u, a, caption, sunken ? 1 : 0);
    }
    if (face == 8 && a.x2 - a.x1 >= 8 && a.y2 - a.y1 >= 8) focus_mark(u, a.x1 + 4, a.y1 + 4, a.x2 - 4, a.y2 - 4);
  }
  screen_stop_nr(0);
  if (a.type == area_combo) combo_show_text_part_over(a);
}

void press_button(int32_t face, area_record& a) {
  if (face == -9999 || a.type == area_list) return;
  if (a.type == area_slider) {
    slider_press(a);
    return;
  }
  if (a.type != area_field && a.type != area_combo_text) a.selected = logical(a.selected) ? 0 : logical_true;
  paint_button(face, a);
}
