// Drawing a list on screen 0 and moving its cursor.  The normal mode repaints character by
// character against the rows shown before (drawn_top), so a cursor move costs only the bar;
// the bar is drawn inverting, so drawing it a second time removes it.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "quillon/api/coordinates.h"
#include "runtime/program/program.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

constexpr uint32_t white = 0xFFFFFF, dark_blue = 0x800000;

list_record& current_list() { return list_of(list_table.current); }

// The row r of the current list into buf (blanks outside 1..count).
void read_row(int32_t r, std::string& buf) {
  buf.assign(list_row_max, ' ');
  lst_get_row(list_table.current, r, buf.data(), list_row_max);
}

void write_cell(ups& u, const list_record& l, int32_t line, int32_t c, std::string_view ch) {
  WRITE_TEXT(u, ch, {.px = qn_point{l.x1 + (c - 1) * list_table.char_width, lst_line_top(l, line)},
                     .background = white,
                     .font = fixed_font != 0 ? std::optional<int32_t>(fixed_font) : std::nullopt});
}

// Calls the list-cursor hook when the cursor of a list outside edit mode moved since the
// last report.
void report_cursor(int32_t n) {
  const list_record& l = list_of(n);
  if (l.cursor != list_table.last_reported_cursor) {
    list_table.last_reported_cursor = l.cursor;
    no_hook(n, l.cursor);
  }
}

void draw_normal(list_record& l) {
  const int32_t cols = std::min(l.width, list_row_max);
  ups u;
  screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
  lst_remove_bar(l);
  std::string& now = list_table.row_buffer;
  std::string& before = list_table.compare_buffer;
  std::string fresh, old;
  for (int32_t i = 1; i <= l.page; ++i) {
    const int32_t r = l.top + i - 1;
    const int32_t p = l.drawn_top < 1 ? 0 : l.drawn_top + i - 1;
    read_row(p, old);
    read_row(r, fresh);
    for (int32_t c = 1; c <= cols; ++c) {
      const char ch = fresh[static_cast<size_t>(c - 1)];
      const char was = old[static_cast<size_t>(c - 1)];
      if ((was != ch && was != ' ') || p < 1) write_cell(u, l, i, c, " ");
      if (ch != ' ' && ch != was) write_cell(u, l, i, c, std::string_view(&ch, 1));
    }
  }
  now = fresh;
  before = old;
  const int32_t line = l.cursor - l.top + 1;
  if (line >= 1 && line <= l.page) {
    l.hilite_line = line;
    if (!run_flags.bar_suppress) {
      l.hilite_drawn = true;
      lst_draw_bar(l, line);
    }
  }
  screen_stop_nr(0);
  l.drawn_top = l.top;
}

void draw_marks(list_record& l) {
  const int32_t cols = std::min(l.width, list_row_max);
  ups u;
  screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
  std::string row;
  for (int32_t i = 1; i <= l.page; ++i) {
    read_row(l.top + i - 1, row);
    const bool marked = row[0] == '1';
    if (cols >= 1) {
      WRITE_TEXT(u, std::string_view(row).substr(1, static_cast<size_t>(cols)),
                 {.px = qn_point{l.x1, lst_line_top(l, i)},
                  .colour = marked ? white : 0x000000u,
                  .background = marked ? dark_blue : white,
                  .font = fixed_font != 0 ? std::optional<int32_t>(fixed_font) : std::nullopt});
    }
  }
  list_table.row_buffer = row;
  screen_stop_nr(0);
  l.drawn_top = l.top;
}

// Writes an integer right-aligned into `width` columns, or stars when it does not fit.
std::string fixed_int(int32_t value, int32_t width) {
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  const std::string_view text(digits, static_cast<size_t>(end - digits));
  if (ec != std::errc() || static_cast<int32_t>(text.size()) > width) return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + std::string(text);
}

// Keeps the status text of a list and shows it on the status line.
void show_list_status(std::string_view text) {
  list_table.status_text.assign(text);
  output_text(text);
}

}  // namespace

int32_t lst_line_top(const list_record& l, int32_t line) { return l.y1 + (line - 1) * list_table.line_height; }

void lst_draw_bar(const list_record& l, int32_t line) {
  ups* u = screen_step_context(0);
  if (u == nullptr || line < 1) return;
  int status = 0;
  SELECT_MY_PEN(*u, 1, &status);  // an empty pen slot leaves the context's pen
  SET_ROP(*u, 10);
  const int32_t top = lst_line_top(l, line);
  for (int32_t y = top; y <= top + list_table.line_height - 3; ++y)
    DRAW_LINE(*u, {.end_px = qn_point{l.x1 + l.hilite_right, y}, .start_px = qn_point{l.x1 + l.hilite_left, y}});
  SET_ROP(*u, 13);
}

void lst_remove_bar(list_record& l) {
  if (!l.hilite_drawn) return;
  lst_draw_bar(l, l.hilite_line);
  l.hilite_drawn = false;
}

void lst_draw() {
  if (!list_number_ok(list_table.current)) return;
  // The one test of an open cell: a list without one is drawn at once.
  if (run_flags.list_cell_input && lst_cell_draw(list_table.current)) return;
  lst_draw_rows();
}

void lst_draw_rows() {
  if (!list_number_ok(list_table.current)) return;
  list_record& l = current_list();
  if (l.mark_mode)
    draw_marks(l);
  else
    draw_normal(l);
}

void lst_draw_afresh() {
  if (!list_number_ok(list_table.current)) return;
  list_record& l = current_list();
  // The inside of the list's frame, whose lines lie three pixels left of the rows and six above
  // them, up to the slider's edge and the frame's lower line.
  ups u;
  screen_nr(0, u, l.x1 - 2, l.y1 - 5, l.x2 + 2, l.y2 - 1);
  int status = 0;
  SELECT_MY_PEN(u, 15, &status);  // the pen that filled the frame's inside
  const qn_span rows = qn_reachable_span(u, l.y1 - 5, l.y2 - 1);  // rows off the screen are left out
  for (int32_t y = rows.first; y <= rows.last; ++y)
    DRAW_LINE(u, {.end_px = qn_point{l.x2 + 3, y}, .start_px = qn_point{l.x1 - 2, y}});
  l.hilite_drawn = false;
  l.drawn_top = 0;  // every row is written whole
  const bool suppress = run_flags.bar_suppress;
  run_flags.bar_suppress = true;
  lst_draw_rows();
  run_flags.bar_suppress = suppress;
  screen_stop_nr(0);
}

void lst_draw_marked() {
  if (!list_number_ok(list_table.current)) return;
  draw_marks(current_list());
}

void lst_move_cursor(int32_t n, int32_t d) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  if (d == -99998) d = std::min(-1, 1 - l.count);
  if (d == 99998) d = std::max(l.count - 1, 1);
  int64_t wanted = static_cast<int64_t>(l.cursor) + d;
  const int32_t last = l.edit_mode ? std::min(l.edit_rows, l.count + 1) : l.count;
  const int32_t moved = static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(wanted, last), 1));
  int32_t t = std::min(l.top, moved);
  l.cursor = moved;
  if (moved >= t + l.page) {
    while (t < l.count && t + l.page <= moved) ++t;
  }
  l.top = t;
  lst_draw();
  if (l.edit_mode && l.tab_column >= 1) lst_status_text(n);
  if (!l.edit_mode) report_cursor(n);
}

void lst_redraw_entry(int32_t n, int32_t delta) { lst_move_cursor(n, delta); }

void lst_scroll(int32_t n, int32_t d) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  if ((l.top == 1 && d < 0) || (l.top == l.count && d > 0)) return;
  const int32_t last = l.edit_mode ? std::min(l.count + 1, l.edit_rows) : l.count;
  const int64_t t = static_cast<int64_t>(l.top) + d;
  l.top = static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(t, last), 1));
  lst_draw();
}

void lst_scroll_to(int32_t n, int32_t percent) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  int32_t t = nint(static_cast<float>(static_cast<double>(l.count) * percent / 100.0));
  t = std::min(std::max(t, 1), l.count);
  if (t != l.top) {
    l.top = t;
    lst_draw();
  }
}

void update_slider_redraw(int32_t n) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  l.drawn_top = 0;
  l.cursor = l.saved_cursor;
  if (l.saved_cursor < l.top || l.saved_cursor >= l.top + l.page) l.top = l.saved_top;
  l.saved_top = l.top;
  lst_draw();
  update_slider(n);
  if (!l.edit_mode) {
    list_table.last_reported_cursor = l.cursor;
    no_hook(n, l.cursor);
  }
}

namespace {
void restore_saved(list_record& l) {
  l.cursor = l.saved_cursor;
  if (l.saved_cursor >= l.top && l.saved_cursor < l.top + l.page)
    l.saved_top = l.top;
  else
    l.top = l.saved_top;
}
}  // namespace

void lst_restore_draw(int32_t n) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  restore_saved(list_of(n));
  lst_draw();
}

void lst_restore_redraw(int32_t n) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  restore_saved(list_of(n));
  list_of(n).drawn_top = 0;
  lst_draw();
}

void lst_restore_cursor(int32_t n) {
  if (!list_number_ok(n) || list_of(n).saved_cursor < 1) return;
  list_table.current = n;
  restore_saved(list_of(n));
  lst_draw();
}

void lst_select_line(int32_t n, int32_t line, int32_t& row) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  const int32_t r = l.top + line - 1;
  if (r > l.count) return;
  if (r == l.cursor) {
    l.saved_cursor = l.cursor;
    l.saved_top = l.top;
    row = l.cursor;
    return;
  }
  l.cursor = line == 0 ? l.saved_cursor : r;
  lst_draw();
}

void lst_status_text(int32_t n) {
  if (!list_number_ok(n)) return;
  const list_record& l = list_of(n);
  const int32_t k = l.tab_column;
  std::string text = fixed_int(l.cursor % 10000, 4) + "." + fixed_int(k, 2) + ": " +
                     (k >= 1 && k <= 20 ? l.tab_title[static_cast<size_t>(k)] : std::string());
  text.resize(60, ' ');
  // The internal write cannot fail here; its status is what IOERROR reads afterwards.
  io_status = 0;
  show_list_status(text);
}
