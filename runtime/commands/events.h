// Label tables and words of the event side of the runtime: the timers' labels set by EVENT,
// the hot-key table set by HOTKEY, the menu labels, the dispatcher's key words and the mouse
// handler's words.  The dispatcher (qn_control) and the mouse handler (mouse_event) are
// declared in runtime.h.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "runtime/screen/screen.h"  // timer_blink, the field input's timer

// ---------------------------------------------------------------- timer labels (EVENT)
inline constexpr int32_t timer_restore = 0x2001;   // one-shot, armed when the window is restored
inline constexpr int32_t timer_one_shot = 0x2002;
inline constexpr int32_t timer_periodic = 0x6002;
struct event_labels_t {
  int32_t one_shot = 0;  // run when 0x2002 fires
  int32_t periodic = 0;  // run on every tick of 0x6002
  int32_t restore = 0;   // run when 0x2001 fires
};
extern event_labels_t event_labels;

// ---------------------------------------------------------------- hot keys (HOTKEY)
// Modifier states: 0 none, 1 Alt, 2 Ctrl, 3 Shift.
inline constexpr int32_t hot_none = 0, hot_alt = 1, hot_ctrl = 2, hot_shift = 3;
extern std::array<std::array<int32_t, 256>, 4> hotkey_table;
void reset_hotkeys();  // every binding := 0 (a program is loaded)

// The virtual-key code a key name gives (German keyboard names), and its modifier state; 0 when
// the name matches no key.  `conversion_status` becomes non-zero when "F" is followed by two
// characters that are no number.
struct hot_key_name {
  int32_t code = 0;
  int32_t modifier = 0;
  int32_t conversion_status = 0;
};
hot_key_name parse_hot_key_name(std::string_view name);

// ---------------------------------------------------------------- menu labels (MENU)
extern std::array<int32_t, 100> menu_labels;  // label of menu id 1..99, run for 0x8000 + id

// ---------------------------------------------------------------- dispatcher words
extern int32_t last_char;     // the last character received (0x4102); read by KEYBD
extern int32_t modifier_alt;  // 1 while Alt is down (Ctrl and Shift are in run_flags)
// The answer of the last QUERY or SELECT box, read by the QUERY function.
struct query_answer_t {
  int32_t yes = 0;     // 1 after OK or Yes
  int32_t cancel = 0;  // 1 after Cancel
};
extern query_answer_t query_answer;
// Reads the Ctrl, Shift and Alt words from the keyboard state.
void read_modifiers();
// Runs a label one level deeper between paint suppression and repaint, and then the periodic
// label when a tick came while the run was busy.
void run_label_pending(int32_t label);
void dispatcher_reset();
// Shared by the dispatcher and the mouse handler:
// the old focus area, unless it is `keep`, loses its selected flag (latching areas keep it)
// and is repainted plain;
void release_focus(int32_t keep);
// the active input field is abandoned (Esc, right button);
void abandon_field();
// Esc or the right button: the escape label, or the resume point of the popped level, runs
// at the current call level; nothing while escape is disabled.
void run_escape();

// ---------------------------------------------------------------- mouse words
struct mouse_track_t {
  int32_t previous_buttons = 0;  // buttons of the previous event: edges come from it
  int32_t pressed_area = -1;     // pressed with the left button, release awaited; -1 none
  int32_t track_x = 0, track_y = 0, track_buttons = 0;  // last event over a tracking area
  // A click came while a label ran and was dropped: the keys typed after it are refused (they
  // were meant for where it pointed) until the next click the handler takes, a MOUSE wait's
  // click, or a level pushed, popped or started anew.
  bool click_lost = false;
};
extern mouse_track_t mouse_track;
void mouse_reset();

// ---------------------------------------------------------------- screen services used here
// The button painter, field input, combo boxes, the list manager and the level stack sit in
// other families; the event handlers reach them only through these entries.  The list entries
// call the list manager (list numbers outside 1..6 reach nothing).  The others do what those
// services must do for the event handlers' state to stay right (the selected flag, the hot-key
// field, the status line) and nothing more until the service is linked in here.
namespace screen_link {
void paint_button(int32_t face, int32_t area);  // sets the hot-key field from the caption
void show_focus(int32_t area);  // face 8 without opening a format field's input
void press_button(int32_t face, int32_t area);  // flips the selected flag of ordinary areas
void status_text(std::string_view text);        // the status line; " " clears it
std::string_view last_status_text();
// Field input (inactive while no input field exists).
int32_t field_area();
bool field_rect_contains(int32_t x, int32_t y);
bool field_accept(bool finishing_from_list);  // u_gfinp: true when the field was accepted
void field_key(int32_t key);
void field_mouse_cursor(int32_t x, int32_t y, int32_t buttons);
void draw_text_cursor();
// Combo boxes and lists.
void combo_select(int32_t area);
bool combo_locked();
bool list_tab_mode(int32_t list);
bool lst_mouse(int32_t list, int32_t label);  // true: run the list area's label
int32_t lst_get_page(int32_t list);
void lst_redraw_entry(int32_t list, int32_t delta);
void update_slider(int32_t list);
void left_right_list(int32_t list, int32_t step);
void lst_edit_select(int32_t list, int32_t label, int32_t key);
// The list cell being typed is abandoned: its input field painted away, the list's page-row
// word := cursor - top + 1, its edit-column word := -16.
void abandon_list_row();
// Level stack: pops one level, returns its resume point (0: none).
int32_t pop_level();
// Windows of the output services, 0 when none.
int32_t plot_window();
int32_t preview_window();
void reset();
}  // namespace screen_link
