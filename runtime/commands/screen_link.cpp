// The event handlers' entries into the screen services that are not linked in yet (button
// painter, field input, combo boxes, list manager, level stack, debugger keyboard).  Each keeps
// the part of the service's effect that the area table and the dispatcher depend on, so that
// the event logic is whole and testable; drawing and the other families' own state stay with
// their owners.
#include <string>

#include "runtime/program/areas.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {
struct screen_link_state_t {
  std::string status;  // what the status line shows, trailing blanks removed
};
screen_link_state_t link_state;
}  // namespace

namespace screen_link {

void start_field(int32_t face, int32_t n);

void paint_button(int32_t face, int32_t n) {
  if (n < 1 || n > max_areas) return;
  ::paint_button(face, area(n));
  start_field(face, n);
}

void show_focus(int32_t n) {
  if (n >= 1 && n <= max_areas) ::paint_button(8, area(n));
}

void press_button(int32_t face, int32_t n) {
  if (n < 1 || n > max_areas) return;
  ::press_button(face, area(n));
  start_field(face, n);
}

// The status line is message field 1 at the bottom of the window; " " clears it.
void status_text(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  link_state.status.assign(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
  ::output_text(text);
}
std::string_view last_status_text() { return link_state.status; }

// Field input: a format field or the text part of a combo that gets the focus (face 8) opens
// its input field.
void start_field(int32_t face, int32_t n) {
  if (face != 8 || run_flags.field_input || n < 1 || n > max_areas) return;
  const area_record& a = area(n);
  if ((a.type == area_field || a.type == area_combo_text) && a.kind == area_kind_field) field_input_start(n, a);
}
int32_t field_area() { return field_input_state().area; }
bool field_rect_contains(int32_t x, int32_t y) { return ::field_rect_contains(x, y); }
bool field_accept(bool) {
  bool ok = true;
  u_gfinp(ok);
  return ok;
}
void field_key(int32_t key) { ::field_key(key); }
void field_mouse_cursor(int32_t x, int32_t y, int32_t buttons) { ::field_mouse_cursor(x, y, buttons); }
void draw_text_cursor() { ::draw_text_cursor(); }

void combo_select(int32_t n) { ::combo_select(n); }
bool combo_locked() { return ::combo_locked(); }
// The list manager: list numbers outside 1..6 (a broken area entry) reach none of it.
bool list_tab_mode(int32_t n) { return list_number_ok(n) && list_of(n).edit_mode; }
bool lst_mouse(int32_t n, int32_t label) {
  bool clicked = false;
  if (list_number_ok(n)) ::lst_mouse(n, label, clicked);
  return clicked;
}
int32_t lst_get_page(int32_t n) {
  int32_t lines = 0;
  if (list_number_ok(n)) ::lst_get_page(n, lines);
  return lines;
}
void lst_redraw_entry(int32_t n, int32_t delta) {
  if (list_number_ok(n)) ::lst_redraw_entry(n, delta);
}
void update_slider(int32_t n) {
  if (list_number_ok(n)) ::update_slider(n);
}
void left_right_list(int32_t n, int32_t step) {
  if (list_number_ok(n)) ::left_right_list(n, step);
}
void lst_edit_select(int32_t n, int32_t label, int32_t key) {
  if (list_number_ok(n)) ::lst_edit_select(n, label, logical(key));
}
void abandon_list_row() { ::lst_edit_abandon(); }

// Esc and the right button at the base level have no level to leave: they must not raise the
// underflow message, whose Cancel would end the program for a stray key.
int32_t pop_level() { return level_pointer() > 1 ? ::pop_level() : 0; }

int32_t plot_window() { return get_plot_window(); }
int32_t preview_window() { return print_get_preview_window(); }

void reset() { link_state = screen_link_state_t{}; }

}  // namespace screen_link
