// The command dispatcher qn_control: the runtime's entry for every non-mouse event of the main
// window (menu commands, keys, timers).  Each event becomes a label run through the
// interpreter, or is handled here: focus movement between areas, list keys, debugger toggles,
// help, and the copy of a window to the clipboard.
#include <algorithm>
#include <array>
#include <string>

#include "runtime/program/areas.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/debugger.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/screen.h"

int32_t last_char = -1;
int32_t modifier_alt = 0;
std::array<int32_t, 100> menu_labels{};

namespace {

constexpr int32_t cmd_exit = 0x4001, cmd_help = 0x4002;
constexpr int32_t msg_key_down = 0x4100, msg_key_up = 0x4101, msg_char = 0x4102;
constexpr int32_t menu_first = 0x8001, menu_last = 0x8063;
constexpr int32_t vk_tab = 9, vk_enter = 13, vk_shift = 16, vk_ctrl = 17, vk_alt = 18, vk_esc = 27,
                  vk_space = 32, vk_down = 40, vk_f1 = 112, vk_debug = 0xDC;
constexpr float retry_seconds = 0.2f;

struct dispatcher_state_t {
  int32_t last_command = 0;  // the last event seen, for diagnosis
  int32_t last_param = 0;
};
dispatcher_state_t dispatcher;

bool key_is_down(int32_t virtual_key) { return (GET_KEY_STATE(virtual_key) & 0x8000) != 0; }
bool ctrl_down() { return run_flags.modifier_ctrl != 0; }
bool shift_down() { return run_flags.modifier_shift != 0; }

area_state_block& area_state() { return area_table.state; }
bool is_type(int32_t n, int32_t type) { return area_in_table(n) && area(n).type == type; }
bool focus_is(int32_t type) { return is_type(area_state().focus, type); }
bool list_in_tab_mode(int32_t n) { return is_type(n, area_list) && screen_link::list_tab_mode(area(n).list); }

void clear_status_line() {
  screen_link::status_text(" ");
  area_table.status_area = -1;
}

// Re-arms a one-shot timer that fired while a run was busy.
void retry_later(int32_t timer) {
  int status = 0;
  SET_TIMER(retry_seconds, timer, &status);
}

void start_help() {
  const auto trimmed = [](const auto& text) {
    std::string s(text.data(), text.size());
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  };
  const std::string topic = trimmed(area_state().help_topic);
  std::string command = "explorer help\\htdocs\\index.html";
  if (!topic.empty()) {
    const std::string page = trimmed(help_page);
    trace_str("HELP TOPIC", page + " : " + topic);
    command = "explorer " + page;
  }
  // A viewer that cannot be started is logged with the library's reason (the missing page or
  // the missing opener); the program goes on.
  int status = 0;
  SPAWN_PROCESS(command, false, 1, &status);
  if (status != 0) warning_log(qn_last_error());
}

void copy_event_window() {
  int32_t window = qn_event_window();
  if (window == 0) window = main_window();
  const char* kind = "Window";
  if (window != 0 && window == screen_link::plot_window()) kind = "Grafik";
  else if (window != 0 && window == screen_link::preview_window()) kind = "Text";
  copy_window_to_clipboard(window, kind);
}

// A key typed into one of the program's other windows (the plot output, the print preview, a
// text or trace window): the main window does not have the focus then, whatever the window
// system last told it, so the key is the main program's no more than any key while it is away.
bool key_of_another_window(int32_t command) {
  if (command != msg_key_down && command != msg_key_up && command != msg_char) return false;
  const int32_t window = qn_event_window();
  return window != 0 && window != main_window();
}

// ---------------------------------------------------------------- focus movement (Tab)
bool tab_stop(int32_t n) {
  const area_record& a = area(n);
  return logical(a.enabled) && a.type != area_slider && a.type != area_tracking;
}

int32_t tab_keys(int32_t key) {
  bool ok = true;
  if (run_flags.combo_open) combo_key_catch(vk_enter);
  const int32_t field_ended = run_flags.field_input ? screen_link::field_area() : 0;
  if (run_flags.field_input) ok = screen_link::field_accept(false);
  if (!ok) return -1;
  area_state_block& st = area_state();
  const bool backward = shift_down();
  if (list_in_tab_mode(st.focus)) {
    const area_record& a = area(st.focus);
    screen_link::left_right_list(a.list, backward ? -1 : 1);
    if (key == vk_enter) screen_link::lst_edit_select(a.list, a.label, -1);
    return 0;
  }
  if (!run_flags.list_input) clear_status_line();
  if (area_in_table(st.focus)) {
    area_record& a = area(st.focus);
    if (a.kind != area_kind_latching) a.selected = 0;
    screen_link::paint_button(1, st.focus);
  }
  const int32_t count = area_table.count;
  if (count <= 0) {
    st.focus = 0;
    area_table.current = 0;
    return -1;
  }
  // The search goes round the table once from the area after the focus (before it, backward), so
  // that the wrap lands on the first area that can take the focus; only a table without any
  // such area gives area 1 (the last area, backward).
  int32_t next = 0;
  if (!backward) {
    const int32_t start = st.focus >= 1 && st.focus < count ? st.focus + 1 : 1;
    for (int32_t k = 0, i = start; k < count && next == 0; ++k, i = i % count + 1)
      if (tab_stop(i)) next = i;
    if (next == 0) next = 1;
  } else {
    int32_t start = st.focus - 1;
    if (start <= 0 || start > count) start = count;
    for (int32_t k = 0, i = start; k < count && next == 0; ++k, i = i > 1 ? i - 1 : count)
      if (tab_stop(i)) next = i;
    if (next == 0) next = count;
  }
  st.focus = next;
  // Return ends the input and, like Tab, opens the next field; only where the focus comes back
  // to the field it ended (no other area takes the focus) does it just show the focus, so that
  // the field is not reopened at once and the hot keys run again.
  if (key == vk_enter && next == field_ended) screen_link::show_focus(next);
  else screen_link::paint_button(8, next);
  area_table.current = 0;
  return -1;
}

// ---------------------------------------------------------------- key down
void space_down() {
  area_state_block& st = area_state();
  if (area_table.current > 0 && area_table.current != st.focus && area_in_table(st.focus))
    screen_link::paint_button(1, st.focus);
  if (!area_in_table(st.focus)) {
    area_table.current = 0;
    return;
  }
  const int32_t n = st.focus;
  area_record& a = area(n);
  if (!logical(a.enabled)) {  // a disabled area holds the focus but is never run by a key
    area_table.current = 0;
    return;
  }
  area_table.current = n;
  if (list_in_tab_mode(n)) {
    screen_link::lst_edit_select(a.list, a.label, -1);
  } else if (a.kind == area_kind_latching) {
    screen_link::press_button(8, n);
    if (a.label > 0) run_label_pending(a.label);
    area_table.current = 0;
  } else if (a.type == area_combo) {
    screen_link::combo_select(n);
  } else if (!logical(a.selected)) {
    // The label runs on the key-up of the space (0x4101).
    screen_link::press_button(8, n);
  }
}

void enter_down() {
  const int32_t n = area_state().focus;
  // A disabled area may hold the focus (BTNMGR gives it), but it is never run by a key.
  if (!area_in_table(n) || !logical(area(n).enabled)) {
    message_beep(0);
    return;
  }
  area_table.current = n;
  area_record& a = area(n);
  if (a.kind == area_kind_latching) screen_link::press_button(8, n);
  if (list_in_tab_mode(n)) {
    screen_link::lst_edit_select(a.list, a.label, -1);
  } else if (a.label > 0) {
    if (a.type == area_combo) screen_link::combo_select(n);
    else run_label_pending(a.label);
  }
}

void ctrl_hot_key(int32_t key) {
  const int32_t current = area_table.current;
  if (area_in_table(current) && logical(area(current).selected)) screen_link::press_button(1, current);
  area_table.current = 0;
  // Only an enabled area answers its hot letter: a disabled one keeps the letter on its caption
  // but, like every key and click, never runs.
  const int32_t n = area_with_hot_key(key);
  if (n == 0) {
    trace_int("HOTKEY not found:", key);
    message_beep(32);
    return;
  }
  const area_record& a = area(n);
  if (a.kind == area_kind_latching) screen_link::press_button(n == area_state().focus ? 8 : 1, n);
  if (a.label > 0) run_label_pending(a.label);
}

void list_keys(int32_t key) {
  const int32_t focus = area_state().focus;
  const bool list_focus = (is_type(focus, area_list) || is_type(focus, area_slider)) && area(focus).list > 0;
  // F1 that no hot key takes asks for help, as the help command does.
  if (key == vk_f1) {
    start_help();
    return;
  }
  if (!list_focus) {
    message_beep(0);
    return;
  }
  const int32_t n = area(focus).list;
  const int32_t page = screen_link::lst_get_page(n);
  int32_t delta = 0;
  switch (key) {
    case 33: delta = 1 - page; break;
    case 34: delta = page - 1; break;
    case 35: delta = 99999; break;
    case 36: delta = -99999; break;
    case 38: delta = -1; break;
    case 40: delta = 1; break;
    case 37: screen_link::left_right_list(n, -1); return;
    case 39: screen_link::left_right_list(n, 1); return;
    default: message_beep(0); return;
  }
  screen_link::lst_redraw_entry(n, delta);
  screen_link::update_slider(n);
}

int32_t key_down(int32_t key) {
  read_modifiers();
  if (shift_down() && last_char >= 65 && last_char <= 95) last_char += 32;
  if (key == vk_shift || key == vk_ctrl) return -1;
  if (run_flags.busy || (run_flags.list_input && !run_flags.list_row_edit)) {
    // Keys are held back while a run is active; only the silent trace toggle gets through.
    if (key == vk_debug && ctrl_down()) debugger_key_down(key);
    return -1;
  }
  // The debugger's keys: Ctrl + 0xDC, Ctrl + "1", and every key while single stepping (Space
  // releases a command, any other key is left to the library).
  if (debugger_key_down(key)) return run_flags.single_step_on && key != vk_space ? 0 : -1;
  // After a click that a label's run dropped, a key would act where the user did not point (the
  // bar's row, the field open before): refused with the refused key's beep until a click.
  if (mouse_track.click_lost) {
    message_beep(0);
    return -1;
  }
  if (key == vk_tab || (key == vk_enter && run_flags.field_input)) return tab_keys(key);
  int32_t effective = key;
  if (key == vk_down && focus_is(area_combo) && !run_flags.combo_open) effective = vk_enter;
  if (run_flags.field_input) {
    if (key == vk_esc) abandon_field();
    else screen_link::field_key(-key);
    return -1;
  }
  if (run_flags.combo_open) {
    combo_key_catch(key);
    return -1;
  }
  if (key == vk_esc) {
    run_escape();
    return -1;
  }
  if (key == vk_space) {
    space_down();
    return -1;
  }
  if (effective == vk_enter && hotkey_table[hot_none][vk_enter] == 0) {
    enter_down();
    return -1;
  }
  const int32_t modifier = shift_down() ? hot_shift : ctrl_down() ? hot_ctrl : modifier_alt != 0 ? hot_alt : hot_none;
  const int32_t label = (key >= 1 && key <= 255) ? hotkey_table[static_cast<size_t>(modifier)][static_cast<size_t>(key)] : 0;
  trace_int3("HOTSHOT-Key shortcall", key, modifier, label);
  if (label > 0) {
    run_label_pending(label);
    return -1;
  }
  if (ctrl_down()) ctrl_hot_key(key);
  else list_keys(key);
  return -1;
}

// ---------------------------------------------------------------- key up and characters
int32_t key_up(int32_t key) {
  read_modifiers();
  if (key == vk_shift || key == vk_ctrl || run_flags.busy || run_flags.list_input || mouse_track.click_lost) return -1;
  const int32_t n = area_table.current;
  // An area disabled between the key's press and its release is not run either.
  if (key == vk_space && !run_flags.single_step_on && area_in_table(n) && logical(area(n).enabled)) {
    const area_record& a = area(n);
    const bool list = a.type == area_list;
    if ((list && list_in_tab_mode(n)) || (!list && a.type == area_combo)) return -1;
    screen_link::press_button(8, n);
    if (a.label > 0 && !logical(a.selected)) run_label(a.label);
  }
  return -1;
}

int32_t character(int32_t code) {
  read_modifiers();
  if (debugger_char(code)) return -1;  // single stepping: Space releases, the rest edits
  last_char = code;
  if ((run_flags.list_input && !run_flags.list_row_edit) || run_flags.combo_open) return 0;
  // Typed after a click that a label's run dropped: meant for where it pointed, refused.
  if (mouse_track.click_lost) return -1;
  if (code == 3) {
    if (!run_flags.field_input) return 0;
    screen_link::field_key(code);
  } else if (code == vk_tab) {
    return -1;
  } else if (code == vk_enter) {
    if (hotkey_table[hot_none][vk_enter] == 0) return -1;
    if (run_flags.field_input) screen_link::field_key(code);
  } else if (run_flags.field_input) {
    screen_link::field_key(code);
  }
  return -1;
}

// ---------------------------------------------------------------- the dispatcher
int32_t dispatch(int32_t command, int32_t param) {
  dispatcher.last_command = command;
  dispatcher.last_param = param;
  if (command == cmd_exit) {  // the library's exit command: the library closes the window
    dump_log("qn_control idm_file_exit received");
    return 0;
  }
  if (program_has_ended()) return -1;
  if (command == timer_periodic) {
    if (event_labels.periodic <= 0) {
      int status = 0;
      DESTROY_TIMER(timer_periodic, &status);
      run_flags.pending_periodic = false;
    } else if (run_flags.busy) {
      run_flags.pending_periodic = true;  // runs once, right after the current label run
    } else {
      run_flags.pending_periodic = false;
      run_label(event_labels.periodic);
    }
    return -1;
  }
  if (command == timer_one_shot) {
    if (run_flags.busy) retry_later(timer_one_shot);
    else if (event_labels.one_shot > 0) run_label(event_labels.one_shot);
    return -1;
  }
  if (command == timer_blink) {
    if (run_flags.field_input) screen_link::draw_text_cursor();
    return -1;
  }
  if (run_flags.modal || run_flags.focus_lost || key_of_another_window(command)) {
    if (command == msg_char && param == 3) copy_event_window();
    if (!run_flags.single_step_on) return -1;
  }
  if (command == timer_restore) {
    if (run_flags.busy) retry_later(timer_restore);
    else if (event_labels.restore > 0) run_label(event_labels.restore);
    return -1;
  }
  if (command == cmd_help) {
    start_help();
    return -1;
  }
  if (command >= menu_first && command <= menu_last) {
    if (run_flags.field_input && !screen_link::field_accept(false)) return -1;
    const int32_t label = menu_labels[static_cast<size_t>(command - 0x8000)];
    if (label > 0) {
      clear_status_line();
      run_label_pending(label);
    }
    return -1;
  }
  switch (command) {
    case msg_char: return character(param);
    case msg_key_down: return key_down(param);
    case msg_key_up: return key_up(param);
    default: break;
  }
  if (QUILLON_KNOWS_COMMAND(command)) return 0;
  MESSAGE_BOX("Command not implemented", {.caption = "default"});
  return -1;
}

}  // namespace

void read_modifiers() {
  run_flags.modifier_ctrl = key_is_down(vk_ctrl) ? 1 : 0;
  run_flags.modifier_shift = key_is_down(vk_shift) ? 0x20 : 0;
  modifier_alt = key_is_down(vk_alt) ? 1 : 0;
}

void release_focus(int32_t keep) {
  const int32_t focus = area_state().focus;
  if (focus <= 0 || focus == keep || !area_in_table(focus)) return;
  area_record& a = area(focus);
  if (a.kind != area_kind_latching) a.selected = 0;
  screen_link::paint_button(1, focus);
}

void abandon_field() {
  const int32_t field = screen_link::field_area();
  if (run_flags.list_row_edit || run_flags.list_cell_input) {
    // A list cell: its input field is painted away and the row keeps what it held.
    screen_link::abandon_list_row();
    run_flags.list_row_edit = false;
    run_flags.list_input = false;
    if (focus_is(area_list)) screen_link::left_right_list(area(area_state().focus).list, 0);
  } else {
    screen_link::paint_button(8, field);
  }
  run_flags.field_input = false;
}

void run_escape() {
  const area_state_block& st = area_state();
  if (!logical(st.escape_enabled)) return;
  if (st.escape_label > 0) {
    interpreter_same_level(st.escape_label);
    return;
  }
  const int32_t resume = screen_link::pop_level();
  if (resume > 0) interpreter_same_level(resume);
}

int32_t qn_control(int32_t command, int32_t param) {
  int32_t result = -1;
  run_guarded([&] { result = dispatch(command, param); });
  return result;
}

void run_label(int32_t label) {
  if (program_has_ended() || label <= 0) return;
  run_guarded([&] {
    no_do_paint();
    interpreter(label);
    look_do_paint();
  });
}

void run_label_pending(int32_t label) {
  if (program_has_ended() || label <= 0) return;
  run_guarded([&] {
    no_do_paint();
    interpreter(label);
    if (run_flags.pending_periodic && event_labels.periodic > 0) {
      run_flags.pending_periodic = false;
      interpreter(event_labels.periodic);
    }
    look_do_paint();
  });
}

void dispatcher_reset() {
  dispatcher = dispatcher_state_t{};
  last_char = -1;
  modifier_alt = 0;
  menu_labels.fill(0);
}
