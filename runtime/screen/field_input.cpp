// Field input: the one active input field of the screen.  The text is edited in place (insert or
// overwrite, cursor keys, Backspace/Delete, Home/End; Ctrl+C copies it to the desktop's
// clipboard, Ctrl+V pastes from there), shown with a blinking cursor, and converted by the bound
// variable's type when the field ends.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/program/areas.h"
#include "runtime/program/calendar.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {
constexpr int32_t key_end = 35, key_home = 36, key_left = 37, key_right = 39, key_insert = 45, key_delete = 46;
constexpr float blink_seconds = 0.5f;
constexpr int32_t ctrl_c = 3, ctrl_v = 22;

struct field_input_state_t {
  field_input_view view;
  area_record field;  // copy of the field's area record
  bool hidden = false;  // open, but drawn nowhere (field_input_place)
};
field_input_state_t state;

std::string trim(std::string_view s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return std::string(s.substr(a, s.find_last_not_of(' ') - a + 1));
}

variable_record* bound_variable() {
  const int32_t v = state.field.variable;
  if (v <= 0 || !variable_table.valid(v)) return nullptr;
  return &variable_table.records[static_cast<size_t>(v)];
}

void draw_field(bool with_cursor) {
  if (screen_info(0).bitmap == 0 || state.hidden) return;
  const area_record& a = state.field;
  ups u{};
  screen_nr(0, u, a.x1, a.y1, a.x2, a.y2);
  NEW_PEN(u, {.colour = colour_table[15]});
  for (int32_t y = a.y1 + 2; y <= a.y2 - 2; ++y)
    DRAW_LINE(u, {.end_px = qn_point{a.x2 - 1, y}, .start_px = qn_point{a.x1 + 2, y}});
  // The letters that fit inside the box, one fixed-font cell each, as the cursor counts them.
  const int32_t advance = fixed_font_advance();
  const std::string& t = state.view.text;
  const int64_t fits = std::max<int64_t>(int64_t{a.x2} - a.x1 - 4, 0) / advance;
  write_field_text(a.x1 + 3, a.y1 + 2, t, static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(t.size()), fits)), 0);
  if (with_cursor) {
    const int64_t at = int64_t{a.x1} + 3 + int64_t{state.view.cursor} * advance;
    const int32_t x = static_cast<int32_t>(std::min<int64_t>(at, a.x2 - 2));
    NEW_PEN(u, {.colour = colour_table[0]});
    DRAW_LINE(u, {.end_px = qn_point{x, a.y2 - 1}, .start_px = qn_point{x, a.y1 + 2}});
  }
  screen_stop_nr(0);
}

// A wrong entry is the user's to correct: a warning, never the end of the program.
void fail(std::string_view message) {
  warning_box(message, "");
  SET_TIMER(blink_seconds, timer_blink);  // the field stays open and keeps blinking
}

// One typed character at the cursor, inserted or overwriting; false when the field is full.
bool put_char(field_input_view& f, char c) {
  const auto at = static_cast<size_t>(f.cursor);
  if (!f.insert && at < f.text.size()) {
    f.text[at] = c;
  } else {
    if (static_cast<int32_t>(f.text.size()) >= f.max_length) return false;
    f.text.insert(at, 1, c);
  }
  ++f.cursor;
  return true;
}

// The clipboard's text goes in as typed, up to its first line end; a tab becomes a blank and
// other control characters are left out.  What does not fit is cut off with a beep.
void paste(field_input_view& f) {
  std::string text;
  if (!qn_clipboard_text(text)) return;
  for (char c : text.substr(0, text.find_first_of("\r\n"))) {
    if (c == '\t') c = ' ';
    if (static_cast<unsigned char>(c) < 32) continue;
    if (!put_char(f, c)) {
      message_beep(0);
      return;
    }
  }
}

bool read_int(std::string_view s, int32_t& out) {
  if (s.empty()) return out = 0, true;
  if (s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}
bool read_real(std::string text, float& out) {
  if (text.empty()) return out = 0.0f, true;
  const size_t comma = text.find(',');
  if (comma != std::string::npos) text[comma] = '.';
  std::string_view s = text;
  if (s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size() && std::isfinite(out);
}
// "DD.MM.YYYY" naming a day that exists.
bool valid_date(std::string_view s) {
  if (s.size() != 10 || s[2] != '.' || s[5] != '.') return false;
  int32_t d = 0, m = 0, y = 0;
  if (!read_int(s.substr(0, 2), d) || !read_int(s.substr(3, 2), m) || !read_int(s.substr(6, 4), y)) return false;
  if (s[0] == '-' || s[3] == '-' || s[6] == '-') return false;
  return m >= 1 && m <= 12 && y >= 1 && d >= 1 && d <= days_in_month(m, y);
}
}  // namespace

const field_input_view& field_input_state() { return state.view; }

void field_input_start(int32_t number, const area_record& a) {
  state = field_input_state_t{};
  state.view.area = number;
  state.field = a;
  const variable_record* var = bound_variable();
  if (var != nullptr) {
    state.view.text = trim(format_element_text(*var, a.element + 1));
    state.view.max_length = var->type == var_date ? 10 : std::clamp(var->is_text() ? var->start : var->width, 1, 256);
  } else if (a.type == area_combo_text) {
    state.view.text = combo_text_of(a);  // the text part of a combo edits its entry's text
    state.view.max_length = combo_text_length;
  } else {
    state.view.max_length = std::max((a.x2 - a.x1 - 6) / fixed_font_advance(), 1);
  }
  state.view.cursor = static_cast<int32_t>(state.view.text.size());
  run_flags.field_input = true;
  SET_TIMER(blink_seconds, timer_blink);
  draw_field(true);
}

void u_gfinp(bool& ok) {
  ok = true;
  if (!run_flags.field_input) return;
  DESTROY_TIMER(timer_blink);
  state.view.cursor_shown = false;
  variable_record* var = bound_variable();
  const std::string text = trim(state.view.text);
  if (var != nullptr) {
    const int32_t element = state.field.element + 1;
    const bool in_array = element >= 1 && element <= var->dimension;
    switch (var->type) {
      case var_integer: {
        int32_t value = 0;
        if (!read_int(text, value) || static_cast<float>(value) < var->range_min ||
            static_cast<float>(value) > var->range_max) {
          ok = false;
          fail("Eingabefehler");
          return;
        }
        if (uint32_t* word = in_array ? element_storage(*var, element - 1) : nullptr) *word = std::bit_cast<uint32_t>(value);
        break;
      }
      case var_real: {
        float value = 0.0f;
        if (!read_real(text, value) || value < var->range_min || value > var->range_max) {
          ok = false;
          fail("Eingabefehler");
          return;
        }
        if (uint32_t* word = in_array ? element_storage(*var, element - 1) : nullptr) *word = std::bit_cast<uint32_t>(value);
        break;
      }
      case var_date:
        // An empty date is allowed: the field is left blank.
        if (!text.empty() && !valid_date(text)) {
          ok = false;
          fail("Datumsfehler");
          return;
        }
        [[fallthrough]];
      case var_text:
        if (in_array) STRING_BUFFER.write(var->text_start + (element - 1) * var->start, var->start, text);
        break;
      default:
        ok = false;
        fail("Eingabefehler");
        return;
    }
  }
  run_flags.field_input = false;
  if (state.view.area >= 1 && state.view.area <= max_areas && state.field.type == area_combo_text) {
    combo_text_entered(state.view.area, text);
  } else if (state.view.area >= 1 && state.view.area <= max_areas) {
    format_area_output(area(state.view.area));
  } else if (run_flags.list_cell_input) {
    lst_edit_store();
  }
}

void field_key(int32_t key) {
  if (!run_flags.field_input) return;
  field_input_view& f = state.view;
  f.cursor = std::clamp(f.cursor, 0, static_cast<int32_t>(f.text.size()));
  const auto at = static_cast<size_t>(f.cursor);
  if (key < 0) {
    switch (-key) {
      case key_left: f.cursor = std::max(f.cursor - 1, 0); break;
      case key_right: f.cursor = std::min(f.cursor + 1, static_cast<int32_t>(f.text.size())); break;
      case key_home: f.cursor = 0; break;
      case key_end: f.cursor = static_cast<int32_t>(f.text.size()); break;
      case key_insert: f.insert = !f.insert; break;
      case key_delete:
        if (at < f.text.size()) f.text.erase(at, 1);
        break;
      default: return;  // other keys leave the field as it is
    }
  } else if (key == ctrl_c) {
    // The field has no selection: its whole text is what the user copies.
    if (!f.text.empty()) qn_set_clipboard_text(f.text);
    return;
  } else if (key == ctrl_v) {
    paste(f);
  } else if (key == 8) {
    if (f.cursor > 0) f.text.erase(at - 1, 1), --f.cursor;
  } else if (key >= 32 && key <= 255) {
    if (!put_char(f, static_cast<char>(key))) {
      message_beep(0);
      return;
    }
  } else {
    return;
  }
  draw_field(true);
}

bool field_rect_contains(int32_t x, int32_t y) {
  const area_record& a = state.field;
  return run_flags.field_input && !state.hidden && x >= a.x1 && x <= a.x2 && y >= a.y1 && y <= a.y2;
}

void field_mouse_cursor(int32_t x, int32_t y, int32_t buttons) {
  if (!run_flags.field_input || (buttons & 1) == 0 || !field_rect_contains(x, y)) return;
  // The nearest gap between two of the letters as draw_field places them.
  const int32_t advance = fixed_font_advance();
  const int64_t column = (int64_t{x} - state.field.x1 - 3 + advance / 2) / advance;
  state.view.cursor = static_cast<int32_t>(std::clamp<int64_t>(column, 0, static_cast<int64_t>(state.view.text.size())));
  draw_field(true);
}

void field_input_place(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool shown) {
  if (!run_flags.field_input) return;
  state.field.x1 = x1, state.field.y1 = y1, state.field.x2 = x2, state.field.y2 = y2;
  state.hidden = !shown;
  state.view.cursor_shown = true;  // seen at once where it now stands
  draw_field(true);
}

void draw_text_cursor() {
  // A field abandoned with Esc or the right button leaves its blink timer behind: stop it here.
  if (!run_flags.field_input) {
    DESTROY_TIMER(timer_blink);
    return;
  }
  state.view.cursor_shown = !state.view.cursor_shown;
  draw_field(state.view.cursor_shown);
}

void field_input_reset() { state = field_input_state_t{}; }

void field_input_area_deleted(int32_t n) {
  int32_t& number = state.view.area;
  if (number < 1) return;  // a list cell's field, or none: it names no area of the table
  if (n > 0 && number != n) {
    number = area_renumbered(number, n, 0);
    return;
  }
  field_input_close();
}

void field_input_close() {
  if (run_flags.field_input) {
    DESTROY_TIMER(timer_blink);
    run_flags.field_input = false;
  }
  state = field_input_state_t{};
}
