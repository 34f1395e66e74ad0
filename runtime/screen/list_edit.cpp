// Cell editing of edit-mode lists: a cell becomes a field-input area whose variable gets the
// cell's text; when the input ends the field's text goes back into the row.  The keyboard
// moves the cell cursor between columns and rows.
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/program/areas.h"
#include "runtime/program/program.h"
#include "runtime/screen/field_output.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

// A cell is edited in a copy of its whole row, so the characters beyond the cell come back
// into the row as they were, however long the row is.
constexpr int32_t work_row_length = list_row_max;
constexpr int32_t cell_text_length = 128;

// Characters tab_col[k] .. tab_col[k+1]-1 of a row of list l as 0-based [from, to), limited to
// the work row.
void column_span(const list_record& l, int32_t k, size_t& from, size_t& to) {
  const auto ku = static_cast<size_t>(std::clamp(k, 1, 20));
  const int32_t start = std::clamp(l.tab_col[ku], 1, work_row_length + 1);
  const int32_t end = std::clamp(l.tab_col[ku + 1] - 1, start - 1, work_row_length);
  from = static_cast<size_t>(start - 1);
  to = static_cast<size_t>(end);
}

// The cell of column k as 1-based start and length, limited to the work row and to the cell
// text.
void cell_span(const list_record& l, int32_t k, int32_t& start, int32_t& length) {
  size_t from = 0, to = 0;
  column_span(l, k, from, to);
  start = static_cast<int32_t>(from) + 1;
  length = std::min(static_cast<int32_t>(to - from), cell_text_length);
}

// The first value of a text as a list-directed read takes it: the characters up to a blank,
// comma or slash after leading blanks.
std::string_view first_value(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  text.remove_prefix(begin);
  return text.substr(0, text.find_first_of(" ,/"));
}

bool read_integer(std::string_view text, int32_t& value) {
  std::string_view v = first_value(text);
  if (!v.empty() && v[0] == '+') v.remove_prefix(1);
  int32_t out = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size()) return false;
  value = out;
  return true;
}

bool read_real(std::string_view text, float& value) {
  std::string v(first_value(text));
  if (!v.empty() && v[0] == '+') v.erase(0, 1);
  for (char& c : v)
    if (c == 'd' || c == 'D') c = 'E';
  float out = 0.0f;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size()) return false;
  value = out;
  return true;
}

// Puts the cell text into program variable v by its type.  A cell that holds no number gives
// a number variable 0, whether the input was started by the mouse or the keyboard: the field
// always starts from this cell, never from the cell edited before.
void cell_into_variable(int32_t v, std::string text) {
  if (!variable_table.valid(v)) {
    report_error("Output-Typ falsch !", 0);
    return;
  }
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  switch (var.type) {
    case var_integer: {
      int32_t word = 0;
      read_integer(text, word);
      ADRSPACE.set_int(var.start, word);
      break;
    }
    case var_real: {
      if (const size_t comma = text.find(','); comma != std::string::npos) text[comma] = '.';
      float value = 0.0f;
      read_real(text, value);
      ADRSPACE.set_real(var.start, value);
      break;
    }
    case var_text:
    case var_date:
      STRING_BUFFER.write(var.text_start, std::max(var.text_end - var.text_start + 1, 0), text);
      break;
    default:
      report_error("Output-Typ falsch !", 0);
      break;
  }
}

// The text that field input leaves for the cell: the variable formatted by its output format.
std::string field_output_text(int32_t v) {
  std::string text(256, ' ');
  if (variable_table.valid(v)) {
    format_var_element(v, 1);
    get_input_text(text.data(), 256);
  }
  return text;
}

// Shows or removes the input field of the cell; showing it opens field input on a scratch area.
// Removing it draws the list afresh, so that the cell shows the row's text in the list's own
// font and colours, without the field's box, text cursor or bar.
void paint_cell_area(bool show) {
  const list_cell_area& c = list_table.cell_area;
  const bool was_shown = c.shown;
  list_table.cell_area.shown = show;
  if (!show) {
    list_table.current = c.list;  // the list the field lies on is drawn afresh
    if (was_shown && screen_info(0).bitmap != 0) lst_draw_afresh();
    return;
  }
  if (run_flags.field_input) return;
  area_record field;
  field.x1 = c.x1, field.y1 = c.y1, field.x2 = c.x2, field.y2 = c.y2;
  field.type = c.type, field.kind = c.kind, field.list = c.list, field.label = c.label;
  field.variable = c.variable;
  field.enabled = logical_true;
  field_input_start(0, field);
}

// The bar leaves the screen before a cell's input field opens, while it is still known on which
// line it stands: the field is then the list's only mark.  A bar left there (the one of the
// cell stored before, or its lowest pixel rows below a field on its own line, the field being
// set four pixels higher) would have nothing to remove it.
void remove_bar_before_field(list_record& l) {
  if (!l.hilite_drawn) return;
  ups u;
  screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
  lst_remove_bar(l);
  screen_stop_nr(0);
}

// The input field of cell c on visible line `line` of list l: the cell's column, four pixels
// above the row's text.
void place_cell(const list_record& l, list_cell_area& c, int32_t line) {
  const auto ku = static_cast<size_t>(std::clamp(c.column, 1, 20));
  c.x1 = l.x1 + l.tab_x[ku] - 2;
  c.y1 = l.y1 - 4 + (line - 1) * list_table.line_height;
  c.x2 = l.x1 + l.tab_x[ku + 1] - 1;
  c.y2 = l.y1 - 4 + line * list_table.line_height;
}

// Steps 2 to 5 of starting cell input on the cursor row of list n, column k.  While an input
// field is open (a program's label started a cell edit from a timer) the open field keeps its
// cell: its text must reach the cell it was opened on.
void start_cell_input(int32_t n, int32_t k, int32_t label, bool keyboard) {
  if (run_flags.field_input) return;
  list_record& l = list_of(n);
  const auto ku = static_cast<size_t>(k);
  list_cell_area& a = list_table.cell_area;
  a = list_cell_area{};
  a.list = n;
  a.row = l.cursor;
  a.column = k;
  a.label = label;
  a.variable = l.tab_var[ku];
  place_cell(l, a, l.cursor - l.top + 1);

  list_table.work_row = lst_get_row(n, l.cursor, work_row_length);
  a.record = list_table.work_row;
  a.new_row = l.cursor > l.count;
  int32_t start = 1, length = 0;
  cell_span(l, k, start, length);
  list_table.cell_text.assign(cell_text_length, ' ');
  if (length > 0)
    list_table.cell_text.replace(0, static_cast<size_t>(length), list_table.work_row, static_cast<size_t>(start - 1),
                                 static_cast<size_t>(length));
  const std::string cell = list_table.cell_text.substr(0, static_cast<size_t>(std::max(length, 0)));
  if (!keyboard) trace_str("EDIT/mouse>", cell);
  cell_into_variable(l.tab_var[ku], cell);

  if (keyboard) {
    l.saved_cursor = l.cursor;
    l.saved_top = l.top;
  }
  run_flags.list_cell_input = true;
  remove_bar_before_field(l);
  paint_cell_area(true);
  run_flags.list_mouse_active = false;
}

// Characters [from, to) of a row as the list holds it (blank beyond its end) against the same
// characters of a record of list_row_max characters whose last non-blank one is before `used`.
bool same_part(std::string_view row, std::string_view record, size_t used, size_t from, size_t to) {
  const size_t in_row = std::clamp(row.size(), from, std::max(to, from));
  if (in_row > from && std::memcmp(row.data() + from, record.data() + from, in_row - from) != 0) return false;
  for (size_t i = in_row; i < std::min(to, used); ++i)
    if (record[i] != ' ') return false;
  return true;
}

// The third step of lst_record_row: the one row that agrees with the record in more than half
// of the record's other columns that are not blank (the characters after the last column count
// as one more), where no other row agrees in as many; 0 where there is none.
int32_t row_agreeing_most(int32_t n, std::string_view record, size_t used, int32_t column) {
  const list_record& l = list_of(n);
  const int32_t tabs = std::clamp(l.tab_count, 0, list_tab_max);
  std::vector<std::pair<size_t, size_t>> parts;
  for (int32_t k = 1; k <= tabs + 1; ++k) {
    size_t from = 0, to = 0;
    column_span(l, k, from, to);
    if (k > tabs) to = static_cast<size_t>(work_row_length);  // the rest of the row
    if (k == column || from >= std::min(to, used)) continue;
    if (record.substr(from, to - from).find_first_not_of(' ') == std::string_view::npos) continue;
    parts.emplace_back(from, to);
  }
  if (parts.empty()) return 0;
  size_t best = 0;
  int32_t best_row = 0, rows_as_good = 0;
  lst_each_row(n, [&](int32_t r, std::string_view row) {
    size_t agree = 0;
    for (const auto& [from, to] : parts) agree += same_part(row, record, used, from, to) ? 1 : 0;
    if (agree > best) best = agree, best_row = r, rows_as_good = 1;
    else if (agree == best) ++rows_as_good;
  });
  return best * 2 > parts.size() && rows_as_good == 1 ? best_row : 0;
}

// The row of list l that holds the record of cell c after the list was rebuilt under it
// (lst_record_row); the new row after the last for a cell opened there.
int32_t record_row(const list_record& l, const list_cell_area& c) {
  if (c.new_row) return l.count + 1;
  return lst_record_row(c.list, c.record, c.column, c.row);
}

// The list's cursor on the cell's row, on a page that shows it.
void show_cell_row(list_record& l, const list_cell_area& c) {
  l.cursor = c.row;
  l.saved_cursor = c.row;
  if (l.page >= 1 && (c.row < l.top || c.row >= l.top + l.page)) {
    l.top = lst_top_showing(l, c.row);
    update_slider(c.list);
  }
  l.saved_top = l.top;
}

// Takes the cell of a rebuilt list to its record's row, and the list's cursor with it, on a
// page that shows it; false where the record is gone.
bool find_cell_record(list_record& l, list_cell_area& c) {
  const int32_t row = record_row(l, c);
  if (row < 1) return false;
  if (row != c.row || c.hidden) trace_int3("lst_cell found", c.list, c.row, row);
  c.row = row;
  show_cell_row(l, c);
  return true;
}

}  // namespace

void lst_cell_bar(list_record& l) {
  const int32_t k = std::clamp(l.tab_column, 1, 20);
  ups u;
  screen_nr(0, u, l.x1, l.y1, l.x2, l.y2);
  lst_remove_bar(l);
  l.hilite_left = l.tab_x[static_cast<size_t>(k)];
  l.hilite_right = l.tab_x[static_cast<size_t>(k) + 1] - 1;
  if (!run_flags.bar_suppress) {
    lst_draw_bar(l, l.hilite_line);
    l.hilite_drawn = true;
  }
  screen_stop_nr(0);
}

void lst_edit_start_mouse(int32_t n, int32_t row, int32_t k, int32_t label, int32_t line) {
  if (!list_number_ok(n) || k < 1 || k > list_tab_max) return;
  list_record& l = list_of(n);
  remove_bar_before_field(l);
  l.cursor = row;
  l.hilite_line = line;
  l.saved_cursor = row;
  l.saved_top = l.top;
  start_cell_input(n, k, label, false);
}

void lst_edit_select(int32_t n, int32_t label, bool flag) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  if (l.tab_column < 1 || l.tab_column > std::min(l.tab_count, list_tab_max) || l.cursor < 1) return;
  trace_int3("lst_edit_select", label, n, flag ? -1 : 0);
  if (l.tab_var[static_cast<size_t>(l.tab_column)] < 1) {
    trace_msg("lst_edit_ignored");
    return;
  }
  start_cell_input(n, l.tab_column, label, true);
}

void lst_edit_select_mouse(int32_t n, int32_t row, int32_t column) {
  if (!list_number_ok(n)) return;
  list_table.current = n;
  list_record& l = list_of(n);
  if (row < 1 || row > l.count + 1) return;
  l.cursor = row;
  if (column < 1 || column > std::min(l.tab_count, list_tab_max)) return;
  l.tab_column = column;
  if (row < l.top || row >= l.top + l.page) return;
  remove_bar_before_field(l);
  l.hilite_line = row - l.top + 1;
  const int32_t label = l.tab_label[static_cast<size_t>(column)];
  trace_int2("lst_inp_act.", n, label);
  trace_int2("zeile/spalte", row, column);
  const bool suppress = run_flags.bar_suppress;
  run_flags.bar_suppress = true;
  lst_draw();
  run_flags.bar_suppress = suppress;
  lst_edit_select(n, label, true);
  l.edit_started = true;
}

void lst_edit_store() {
  // The cell's own list, row and column: a timer's label that read or loaded another list while
  // the input was open made that list the current one, and may have moved this list's cursor.
  list_cell_area& c = list_table.cell_area;
  const int32_t n = c.list;
  // A list that left edit mode while the cell was open (a timer's label) takes no cell: the
  // cell closes with nothing stored, and no flag of it stays set behind the next field.
  if (!list_number_ok(n) || !list_of(n).edit_mode) {
    lst_cell_close();
    return;
  }
  list_record& l = list_of(n);
  // A list rebuilt under the cell: the text goes into its record's row wherever that now
  // stands.  Where the record is gone nothing is stored: the user hears the refused key's beep,
  // and the input field goes as after Esc.
  if (c.rebuilt && !find_cell_record(l, c)) {
    trace_int2("lst_cell record gone", n, c.row);
    message_beep(0);
    lst_edit_abandon();
    return;
  }
  l.hilite_drawn = false;

  const int32_t k = std::clamp(c.column, 1, 20);
  std::string row = lst_get_row(n, c.row, work_row_length);
  int32_t start = 1, length = 0;
  cell_span(l, k, start, length);
  if (length > 0) {
    std::string cell = field_output_text(c.variable);
    cell.resize(static_cast<size_t>(length), ' ');
    row.replace(static_cast<size_t>(start - 1), static_cast<size_t>(length), cell);
  }
  list_table.work_row = row;
  // The cell lets go of its row before the row is stored: its own append is no row move.
  run_flags.list_cell_input = false;
  // A row after the last appends it; one outside the list is reported.
  lst_put_row(n, c.row, row);
  // The input field goes once the row holds the new text, so that the row is drawn with it.
  paint_cell_area(false);

  run_flags.list_mouse_active = false;
  l.saved_top = l.top;
  l.saved_cursor = l.cursor;
  if (l.cursor >= l.top && l.cursor < l.top + l.page) {
    l.hilite_line = l.cursor - l.top + 1;
    l.edit_started = false;
    lst_cell_bar(l);
  }
  if (l.tab_column >= 1 && l.cursor >= 1) lst_status_text(n);
}

// The open cell is the one holder of a row of a list: list_table.cell_area names its list, row
// and column from the start of its input to its store or abandonment, across turns of the event
// loop in which a timer's label may change the list.  Every operation that moves, removes or
// replaces rows of a list tells it here (lst_rows_moved), with this rule:
//   erase of an earlier row          the cell's row - 1
//   erase of the cell's row          closed, nothing stored
//   insert before or at its row      the cell's row + 1
//   sort                             the row where its record now stands
//   load, allocate, free             rebuilt: the cell stays open with what is typed
//   count set below its row          rebuilt
//   mark copy into its list          rebuilt (an allocation of the target)
//   mark filter of its list          as the erases it makes; a mark column added or taken
//                                    off shifts every row: rebuilt
//   put of a row (also its own)      the cell stays: its text goes into the row as it then is
//   append of a row at the cell's    the cell's row + 1: a new row typed after the last stays
//   new row after the last           a row of its own
//   the drop-down's list 1           never holds a cell (its list is no edit list)
//   level push or pop, RUN chain     closed, nothing stored (lst_cell_close from the levels)
// "Closed" draws nothing: the input field's box stays on the screen until the list (or the
// new level) is drawn, no key reaches it, and Return no longer stores anything.  A followed
// cell takes the list's cursor along, so that the bar after the store stands on its row.
// A rebuilt list holds new rows that the program fills in its own order (a timer that reloads
// the list from a database): the cell follows no row move after it, and finds its record again
// by the record's text, the whole row as it stood when the cell opened (lst_record_row), each
// time the list is drawn and when its input ends.  Drawn, the field stands on the record's row
// with what is typed (the list scrolled to show it), and no bar is drawn; where no row holds the
// record the field is drawn nowhere and stays open, to be placed at the next drawing.  At the
// input's end a found record gets the text and the bar; a record that is gone gets nothing: the
// user hears the beep of a refused key, and the trace says "lst_cell record gone".  A cell
// opened on the new row after the last stays the new row.
void lst_rows_moved(int32_t n, const std::function<int32_t(int32_t)>& where) {
  list_cell_area& c = list_table.cell_area;
  if (!run_flags.list_cell_input || c.list != n || !list_number_ok(n) || c.rebuilt) return;
  const int32_t row = where(c.row);
  if (row == list_rows_rebuilt) {
    trace_int2("lst_cell rebuilt", n, c.row);
    c.rebuilt = true;
    return;
  }
  if (row < 1) {
    trace_int2("lst_cell gone", n, c.row);
    lst_cell_close();
    return;
  }
  if (row == c.row) return;
  trace_int3("lst_cell moved", n, c.row, row);
  c.row = row;
  list_of(n).cursor = row;
}

void lst_rows_rebuilt(int32_t n) {
  lst_rows_moved(n, [](int32_t) { return list_rows_rebuilt; });
}

// A row of the list holds the record when, in this order:
//   1. the row is the record's whole row, the cell's own text included;
//   2. else the row equals it outside the cell's column, where that part of the record is not
//      blank (another desk wrote into the cell meanwhile: what the user typed replaces it);
//   3. else it is the one row that agrees with the record in more than half of the record's
//      other columns that are not blank, where no other row agrees in as many (another desk
//      changed a column of the record: a status, a doctor, a waiting time).
// Of several rows in steps 1 and 2 the nearest to the cell's row is taken, the earlier of two as
// near.  Blank parts never identify a record: in a list of one column, or whose rows are blank
// outside the cell's column, only step 1 finds it.  No row: the record is gone (0).
int32_t lst_record_row(int32_t n, std::string_view record, int32_t column, int32_t near) {
  if (!list_number_ok(n)) return 0;
  const list_record& l = list_of(n);
  std::string whole(record.substr(0, static_cast<size_t>(work_row_length)));
  whole.resize(static_cast<size_t>(work_row_length), ' ');
  const size_t used = whole.find_last_not_of(' ') + 1;  // 0 for a blank record
  size_t from = 0, to = 0;
  column_span(l, column, from, to);
  const bool blank_outside = whole.find_first_not_of(' ') >= from && (used <= to);
  const auto nearer = [near](int32_t r, int32_t found) { return found == 0 || std::abs(r - near) < std::abs(found - near); };
  int32_t equal = 0, equal_outside = 0;
  lst_each_row(n, [&](int32_t r, std::string_view row) {
    if (!same_part(row, whole, used, 0, from)) return;
    if (same_part(row, whole, used, from, to)) {
      if (same_part(row, whole, used, to, whole.size()) && nearer(r, equal)) equal = r;
    } else if (!blank_outside && same_part(row, whole, used, to, whole.size()) && nearer(r, equal_outside)) {
      equal_outside = r;
    }
  });
  if (equal > 0) return equal;
  if (equal_outside > 0) return equal_outside;
  return row_agreeing_most(n, whole, used, column);
}

bool lst_cell_draw(int32_t n) {
  list_cell_area& c = list_table.cell_area;
  if (!run_flags.list_cell_input || c.list != n || !list_number_ok(n)) return false;
  list_record& l = list_of(n);
  bool shown = true;
  if (c.rebuilt) shown = find_cell_record(l, c);
  else show_cell_row(l, c);
  const int32_t line = c.row - l.top + 1;
  shown = shown && line >= 1 && line <= l.page;
  const list_cell_area before = c;
  if (shown) place_cell(l, c, line);
  const bool moved = shown != !c.hidden || c.y1 != before.y1;
  c.hidden = !shown;
  // The list under the field, without a bar: the field is the list's only mark.  A field that
  // moved or went leaves no box behind: the list is drawn afresh.
  const bool suppress = run_flags.bar_suppress;
  run_flags.bar_suppress = true;
  if (moved) lst_draw_afresh();
  else lst_draw_rows();
  run_flags.bar_suppress = suppress;
  field_input_place(c.x1, c.y1, c.x2, c.y2, shown);
  return true;
}

void lst_cell_close() {
  if (!run_flags.list_cell_input) return;
  run_flags.list_cell_input = false;
  run_flags.list_mouse_active = false;
  list_table.cell_area = list_cell_area{};
  field_input_close();
}

void lst_edit_abandon() {
  const int32_t n = list_table.cell_area.list;
  run_flags.list_cell_input = false;
  run_flags.list_mouse_active = false;
  if (!list_number_ok(n)) return;
  list_record& l = list_of(n);
  paint_cell_area(false);
  l.hilite_line = l.cursor - l.top + 1;
  l.hilite_left = -16;
}

void left_right_list(int32_t n, int32_t d) {
  if (!list_number_ok(n)) return;
  list_record& l = list_of(n);
  if (!l.edit_mode) return;
  list_table.current = n;
  if (l.edit_started) {
    d = 0;
    l.edit_started = false;
  }
  auto move_suppressed = [&](int32_t delta) {
    const bool suppress = run_flags.bar_suppress;
    run_flags.bar_suppress = true;
    lst_move_cursor(n, delta);
    run_flags.bar_suppress = suppress;
    update_slider(n);
  };
  if (d < 0) {
    if (l.tab_column >= 2) {
      l.tab_column -= 1;
    } else if (l.cursor >= 2) {
      move_suppressed(-1);
      if (l.tab_count == 0) {
        l.tab_column = 1;
        return;
      }
      l.tab_column = l.tab_count;
    } else {
      return;
    }
  } else if (d > 0) {
    if (l.tab_column == l.tab_count && l.cursor <= l.count) {
      move_suppressed(1);
      l.tab_column = 1;
    } else if (l.tab_column < l.tab_count) {
      l.tab_column += 1;
    }
  }
  trace_int2("left_right_list", d, l.hilite_line);
  if (l.hilite_line >= 1 && l.hilite_line <= l.page) lst_cell_bar(l);
  if (l.tab_column >= 1 && l.cursor >= 1) lst_status_text(n);
}
