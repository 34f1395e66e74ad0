// The mouse handler of the main window.  It records the mouse words, finds the area under the
// mouse, keeps the status line, moves the focus, drives input fields, combo boxes and lists,
// and runs the label of the area that was clicked.  Press and release edges come from the
// buttons word and its previous value, not from the event code, so move events count too.
#include <string>

#include "runtime/program/areas.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "runtime/program/text_tokens.h"

mouse_state_t mouse_registers;
mouse_track_t mouse_track;

namespace {

constexpr int32_t left_button = 1, right_button = 2, both_buttons = 3;
constexpr int32_t status_buffer_length = 512;

void show_status_of(int32_t n) {
  area_table.status_area = n;
  screen_link::status_text(get_text_token(area(n).status_text, status_buffer_length));
}

void clear_status_line() {
  area_table.status_area = -1;
  screen_link::status_text(" ");
}

// Face of a pressed area that is let go without a click.
int32_t release_face(int32_t n) {
  if (area(n).kind == area_kind_field) return 1;
  return n == area_table.state.focus ? 8 : 1;
}

void handle(qn_point point, qn_rect drag, int32_t buttons) {
  record_mouse_buttons(buttons);
  // While a drag is under way its first corner is the position that counts.
  if (drag.left == 0 && drag.top == 0) {
    mouse_state.x = point.x;
    mouse_state.y = point.y;
  } else {
    mouse_state.x = drag.left;
    mouse_state.y = drag.top;
  }
  mouse_registers = mouse_state;
  const int32_t x = mouse_state.x, y = mouse_state.y;
  int32_t& previous = mouse_track.previous_buttons;
  // The list manager's own mouse loop pumps messages: its events must not re-enter it.
  if (run_flags.busy || run_flags.modal || run_flags.focus_lost || run_flags.list_mouse_active ||
      (run_flags.list_input && !run_flags.list_row_edit)) {
    // A click while a label runs is dropped, its position recorded; the keys typed after it
    // were meant for where it pointed, so none acts until the user points again.
    if (run_flags.busy && (buttons & both_buttons) != 0 && (previous & both_buttons) == 0)
      mouse_track.click_lost = true;
    previous = buttons;  // only the position is recorded
    return;
  }
  if ((buttons & both_buttons) != 0) mouse_track.click_lost = false;  // the user points again
  if ((buttons & both_buttons) == 0 && run_flags.field_input) {
    previous = buttons;
    screen_link::field_mouse_cursor(x, y, buttons);
    return;
  }
  // Ending an open field, a list's or a slider's mouse loop and a drop-down may run labels (a
  // timer's among them) that delete areas: the area under the mouse is held by its number.
  int32_t hit = area_hit(x, y);
  area_hold hold_hit(hit);

  if (run_flags.field_input) {
    if (hit != 0 && hit == screen_link::field_area()) {
      previous = buttons;
      if (screen_link::field_rect_contains(x, y)) {
        screen_link::field_mouse_cursor(x, y, buttons);
        return;
      }
    }
    if ((buttons & right_button) == 0) {
      const bool on_list = hit != 0 && area(hit).type == area_list;
      if (!screen_link::field_accept(on_list)) {
        previous = buttons;  // the field stays open
        return;
      }
    } else {
      abandon_field();
    }
  }
  if (run_flags.combo_open) {
    previous = 0;
    return;
  }
  area_table.current = 0;

  if (hit == 0) {
    if (area_table.status_area > 0) clear_status_line();
  } else if (hit != area_table.status_area) {
    show_status_of(hit);
  }

  int32_t& pressed = mouse_track.pressed_area;
  if (pressed > 0 && pressed != hit) {
    if (area_in_table(pressed)) {
      const area_record& a = area(pressed);
      if (logical(a.selected) && a.kind != area_kind_latching) screen_link::press_button(release_face(pressed), pressed);
    }
    pressed = -1;
  }

  // The right button alone, released: escape, when the level allows it.
  if ((buttons & both_buttons) == 0 && (previous & both_buttons) == right_button &&
      logical(area_table.state.escape_enabled)) {
    previous = buttons;
    run_escape();
    return;
  }

  if (hit > 0) {
    const area_record& a = area(hit);  // read before anything below pumps messages
    const int32_t type = a.type, kind = a.kind;
    const int32_t before = previous & both_buttons, now = buttons & both_buttons;
    if (type == area_tracking) {
      area_table.current = hit;
      mouse_track.track_x = x;
      mouse_track.track_y = y;
      mouse_track.track_buttons = buttons;
    } else if (type == area_list && !run_flags.list_row_edit) {
      if (now == left_button) {
        release_focus(hit);
        area_table.state.focus = hit;
      }
      if (screen_link::lst_mouse(a.list, a.label) && hit > 0) area_table.current = hit;
    } else if (before == 0 && now == left_button) {
      release_focus(hit);
      area_table.state.focus = hit;
      screen_link::press_button(8, hit);  // a slider's thumb is dragged here
      if (hit == 0) {
        // the area was deleted meanwhile: nothing of it runs
      } else if (type == area_combo) {
        if (!screen_link::combo_locked()) screen_link::combo_select(hit);
      } else if (kind == area_kind_latching) {
        area_table.current = hit;  // runs on the press
      } else {
        pressed = hit;  // runs on the release
      }
    } else if (before == left_button && now != left_button) {
      if (kind != area_kind_latching && logical(a.selected)) {
        release_focus(hit);
        area_table.state.focus = hit;
        if (type == area_combo) {
          screen_link::combo_select(hit);
          return;
        }
        screen_link::press_button(8, hit);
        if (now == 0 && hit > 0) area_table.current = hit;
      }
      pressed = -1;
    }
  }

  const int32_t current = area_table.current;
  if (area_in_table(current) && area(current).label > 0) {
    const bool tracking = area(current).type == area_tracking;
    const int32_t label = area(current).label;
    if (!tracking) clear_status_line();
    run_label_pending(label);
    if (!tracking && !program_has_ended()) {
      // The label may have changed the areas: the status line shows what is under the mouse now.
      if (const int32_t again = area_hit(x, y); again > 0) show_status_of(again);
    }
  }
  // A list's or a slider's own mouse loop, or a label run, may have pumped the release of this
  // press already: the next edge is measured from the buttons as they are now.
  previous = mouse_state.buttons;
  read_modifiers();
}

}  // namespace

void mouse_event(int32_t& /*event*/, qn_point& point, qn_rect& drag, int32_t& /*window*/, qn_point& /*second*/,
                 int32_t& keystate) {
  run_guarded([&] { handle(point, drag, keystate); });
}

void mouse_reset() {
  mouse_state = mouse_state_t{};
  mouse_registers = mouse_state_t{};
  mouse_track = mouse_track_t{};
}
