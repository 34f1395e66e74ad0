// The list under the mouse: cursor and bar in normal mode, marks in mark mode, cell input in
// edit mode, and scrolling while the button is held above or below the list.  The routine
// polls the mouse through the message pump, so it runs until the button is released.
#include <algorithm>

#include "quillon/api/quillon.h"
#include "runtime/program/program.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

struct mouse_reading {
  int32_t x = 0, y = 0, left = 0, right = 0;
  // The event that started the routine is its first reading: a quick click delivers the
  // release together with the press, and a pump first would see no button at all.
  mouse_reading() { last_mouse_state(x, y, left, right); }
  // False once the application is quitting: the last reading would otherwise hold the
  // button down for ever.
  bool read() { return get_mouse_state(x, y, left, right); }
};

// The keyboard part of a mark click: +1 Ctrl, +2 Shift.
int32_t keyboard_state() {
  int32_t s = 0;
  if ((GET_KEY_STATE(17) & static_cast<int32_t>(0x80000000u)) != 0) s += 1;
  if ((GET_KEY_STATE(16) & static_cast<int32_t>(0x80000000u)) != 0) s += 2;
  return s;
}

void report_changed_cursor(int32_t n, const list_record& l) {
  if (l.edit_mode || l.cursor == list_table.last_reported_cursor) return;
  list_table.last_reported_cursor = l.cursor;
  no_hook(n, l.cursor);
}

bool is_marked(const std::string& row) { return !row.empty() && row[0] == '1'; }

// Sets the mark of row r; true when the row changed.
bool set_mark(int32_t n, int32_t r, bool marked) {
  std::string row = lst_get_row(n, r, list_row_max);
  if (is_marked(row) == marked) return false;
  row[0] = marked ? '1' : '0';
  lst_put_row(n, r, row);
  return true;
}

// Column of edit-mode list l under the pixel column x (relative to x1); 0 when none.
int32_t column_under(const list_record& l, int32_t x) {
  for (int32_t k = 1; k <= std::min(l.tab_count, list_tab_max); ++k) {
    const auto ku = static_cast<size_t>(k);
    if (l.tab_x[ku] <= x && (x <= l.tab_x[ku + 1] || k == l.tab_count)) return k;
  }
  return 0;
}

}  // namespace

int32_t lst_line_under(const list_record& l, int32_t y) {
  int32_t line = (y - l.y1) / std::max(list_table.line_height, 1) + 1;
  line = std::min(line, l.page);
  return std::min(line, l.count - l.top + (l.edit_mode ? 2 : 1));
}

bool lst_mark_click(int32_t n, int32_t r, int32_t s) {
  if (!list_number_ok(n)) return false;
  list_record& l = list_of(n);
  bool changed = false;
  const bool anchor_ok = l.anchor >= 1 && l.anchor <= l.count;
  switch (s) {
    case 0:
      for (int32_t i = 1; i <= l.count; ++i) changed = set_mark(n, i, i == r) || changed;
      l.anchor = r;
      break;
    case 1: {
      l.anchor = r;
      const bool marked = is_marked(lst_get_row(n, r, list_row_max));
      changed = set_mark(n, r, !marked);
      break;
    }
    case 2:
      if (!anchor_ok) break;
      for (int32_t i = 1; i <= l.count; ++i)
        changed = set_mark(n, i, i >= std::min(l.anchor, r) && i <= std::max(l.anchor, r)) || changed;
      break;
    case 3: {
      if (!anchor_ok) break;
      const bool c = is_marked(lst_get_row(n, l.anchor, list_row_max));
      const int32_t step = r >= l.anchor ? 1 : -1;
      for (int32_t i = l.anchor + step; r != l.anchor && i != r + step; i += step)
        changed = set_mark(n, i, i == r ? true : c) || changed;
      break;
    }
    default:
      break;
  }
  return changed;
}

void lst_mouse(int32_t n, int32_t label, bool& clicked) {
  if (!list_number_ok(n)) return;
  list_table.last_reported_cursor = -1;
  list_table.current = n;
  list_record& l = list_of(n);
  l.edit_started = false;
  run_flags.list_mouse_active = true;
  clicked = false;
  mouse_reading m;

  // The extent of the bar: the whole row, or in edit mode the column under the mouse.
  int32_t bar_left = 0, bar_right = l.x2 - l.x1;
  if (l.edit_mode) {
    const int32_t k = column_under(l, m.x - l.x1);
    const auto ku = static_cast<size_t>(k);
    if (k >= 1) {
      l.tab_column = k;
      if (l.tab_var[ku] < 1) {
        trace_int2("lst_mgr_edit_tab_ign", k, m.left);
        if (m.left != 0) {
          run_flags.list_mouse_active = false;
          clicked = true;
          return;
        }
      } else {
        for (size_t j = 1; j <= 20; ++j) l.tab_label[j] = label;
        if (m.left != 0 && l.hilite_line > 0) {
          const int32_t line = lst_line_under(l, m.y);
          const int32_t row = l.top + line - 1;
          if (row > l.edit_rows) {
            run_flags.list_mouse_active = false;
            return;
          }
          lst_edit_start_mouse(n, row, k, label, line);
          return;
        }
      }
      bar_left = l.tab_x[ku];
      bar_right = l.tab_x[ku + 1] - 1;
    } else {
      bar_left = l.tab_x[1];
      bar_right = l.tab_x[2] - 1;
    }
  }

  int32_t last_row = 0;
  bool have_last_row = false;
  bool right_before = false;
  bool finished = false;
  while (!finished && !program_has_ended()) {
    // a. The line under the mouse.
    const int32_t line = lst_line_under(l, m.y);
    if (l.edit_mode && l.top + line - 1 > l.edit_rows) {
      run_flags.list_mouse_active = false;
      return;
    }
    if (m.left != 0) clicked = true;

    if (!l.mark_mode) {
      // b. The bar follows the mouse.
      if (line != l.hilite_line || bar_left != l.hilite_left) {
        ups u;
        screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
        lst_remove_bar(l);
        if (!(clicked && l.edit_mode) && line >= 1 && line <= l.page) {
          l.hilite_line = line;
          l.hilite_left = bar_left;
          l.hilite_right = bar_right;
          l.cursor = l.top + line - 1;
          if (bar_left > -2) {
            l.hilite_drawn = true;
            lst_draw_bar(l, line);
          }
        }
        screen_stop_nr(0);
      }
    } else {
      // c. Marks by the keyboard state and the buttons.
      const int32_t r = l.top + line - 1;
      l.cursor = std::max(std::min(r, l.count), 1);
      int32_t s = keyboard_state();
      if (m.right != 0 && right_before) s = 999;
      if ((!have_last_row || r != last_row) && (m.left != 0) != (m.right != 0) && r >= 1 && r <= l.count) {
        if (s % 2 == 0 && m.right != 0) s += 1;
        last_row = r;
        have_last_row = true;
        trace_int("lst kbd_state", s);
        if (lst_mark_click(n, r, s)) {
          list_table.current = n;
          lst_draw_marked();
        }
      }
    }
    right_before = m.right != 0;

    // d. Go on only while the left button is held (never in edit mode).  A pass that began
    // without the left button (a move, a release, the right button) holds nothing to follow:
    // it reads no further, so that a press coming right after the move reaches the mouse
    // handler as a click of its own and is not taken here as a mere reading.
    run_flags.list_mouse_active = true;
    if (m.left == 0 || !m.read() || m.left == 0 || l.edit_mode) break;

    // e. Held above or below the list: scroll one row per reading.
    while (m.left != 0 && (m.y < l.y1 || m.y > l.y2)) {
      if (run_flags.focus_lost || m.right != 0 || program_has_ended()) {
        finished = true;
        break;
      }
      lst_move_cursor(n, m.y < l.y1 ? -1 : 1);
      update_slider(n);
      if (!m.read()) {
        finished = true;
        break;
      }
    }
    if (finished) break;
    report_changed_cursor(n, l);
  }

  // 4. Finish.
  report_changed_cursor(n, l);
  if (m.left != 0 || m.right != 0 || m.x < l.x1 || m.x > l.x2 || m.y < l.y1 || m.y > l.y2) clicked = false;
  run_flags.list_mouse_active = false;
  if (l.edit_mode && l.tab_column >= 1) lst_status_text(n);
}

void lst_follow_mouse(int32_t n) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  const int32_t y = mouse_state.y;
  if (y < l.y1 || y > l.y2) {
    if (mouse_state.buttons == 1) lst_move_cursor(n, y < l.y1 ? -1 : 1);
    return;
  }
  if (l.mark_mode) return;
  const int32_t line = lst_line_under(l, y);
  if (line == l.hilite_line) return;
  ups u;
  screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
  if (l.hilite_drawn) {
    trace_msg("1NO BLUE");
    lst_draw_bar(l, l.hilite_line);
    l.hilite_drawn = false;
  }
  if (line >= 1 && line <= l.page) {
    l.hilite_line = line;
    l.cursor = l.top + line - 1;
    l.hilite_drawn = true;
    trace_msg("1   BLUE");
    lst_draw_bar(l, line);
  }
  screen_stop_nr(0);
}
