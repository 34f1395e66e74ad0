// The list manager's records and row operations: every other list routine reads and writes
// rows through these, so the row-number checks and the NUL rule live here only.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/program/program.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/row_store.h"

list_table_t list_table;

namespace {

int32_t store_handle(int32_t n) { return n + 10; }

// Makes n the current list; false for a number outside 1..6.
bool select_list(int32_t n) {
  if (!list_number_ok(n)) return false;
  list_table.current = n;
  return true;
}

// The caller's text cut or blank-padded to 512 characters into the row buffer; with nul_cut a
// NUL and everything after it become blanks.
void fill_row_buffer(const list_record& l, const char* text, int32_t length) {
  std::string& buf = list_table.row_buffer;
  buf.assign(list_row_max, ' ');
  const int32_t n = std::clamp(length, 0, list_row_max);
  if (n > 0) buf.replace(0, static_cast<size_t>(n), text, static_cast<size_t>(n));
  if (l.nul_cut) {
    const size_t nul = buf.find('\0');
    if (nul != std::string::npos) std::fill(buf.begin() + static_cast<std::ptrdiff_t>(nul), buf.end(), ' ');
  }
}

// The reported form of a row message: the message followed by the row buffer.
void report_row(std::string_view message) {
  report_error(std::string(message) + list_table.row_buffer, 0);
}

}  // namespace

list_record& list_of(int32_t n) { return list_table.list[std::clamp(n, 1, list_count)]; }

void reset_lists() {
  list_table = list_table_t{};
  reset_row_store();
}

void lst_get_row(int32_t n, int32_t r, char* text, int32_t length) {
  if (length > 0) std::memset(text, ' ', static_cast<size_t>(length));
  if (!select_list(n)) return;
  const list_record& l = list_of(n);
  if (r < 1 || r > l.count) return;
  int32_t rec_length = 0, records = 0;
  xmm_info(store_handle(n), rec_length, records);
  std::string& buf = list_table.row_buffer;
  buf.assign(list_row_max, ' ');
  // The store's records are at most 512 characters (allocate_xmm and lst_load limit them);
  // a longer one is read through a buffer of its own size.
  if (rec_length > list_row_max) {
    std::string wide(static_cast<size_t>(rec_length), ' ');
    xmm_get(store_handle(n), wide.data(), r);
    buf = wide.substr(0, list_row_max);
  } else {
    xmm_get(store_handle(n), buf.data(), r);
  }
  if (length > 0) std::memcpy(text, buf.data(), static_cast<size_t>(std::min(length, list_row_max)));
}

void lst_each_row(int32_t n, const std::function<void(int32_t, std::string_view)>& visit) {
  if (!select_list(n)) return;
  const int32_t h = store_handle(n);
  int32_t rec_length = 0, records = 0;
  xmm_info(h, rec_length, records);
  if (rec_length < 1) return;
  // One buffer for every row: a row costs one copy of its record, nothing of list_row_max.
  std::string row(static_cast<size_t>(rec_length), ' ');
  const size_t shown = static_cast<size_t>(std::min(rec_length, list_row_max));
  for (int32_t r = 1, last = list_of(n).count; r <= last; ++r) {
    xmm_get(h, row.data(), r);
    visit(r, std::string_view(row.data(), shown));
  }
}

std::string lst_get_row(int32_t n, int32_t r, int32_t length) {
  std::string text(static_cast<size_t>(std::max(length, 0)), ' ');
  lst_get_row(n, r, text.data(), length);
  return text;
}

void lst_put_row(int32_t n, int32_t r, const char* text, int32_t length) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  fill_row_buffer(l, text, length);
  if (r < 1 || r > l.count + 1) {
    report_row("lstmgr/output falsch:");
    return;
  }
  // The count grows only when the row was really stored (a free store stores nothing).
  if (xmm_put(store_handle(n), list_table.row_buffer.data(), r) && r == l.count + 1) {
    l.count = r;
    lst_rows_moved(n, [r](int32_t row) { return row >= r ? row + 1 : row; });
  }
}

void lst_put_row(int32_t n, int32_t r, std::string_view text) {
  lst_put_row(n, r, text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)));
}

void lst_insert(int32_t n, int32_t r, const char* text, int32_t length) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  if (r < 1 || r > l.count + 1) {
    fill_row_buffer(l, text, length);
    report_row("lstmgr/insert falsch:");
    return;
  }
  std::string moved(list_row_max, ' ');
  const int32_t h = store_handle(n);
  int32_t rec_length = 0, records = 0;
  xmm_info(h, rec_length, records);
  if (rec_length < 1) {
    fill_row_buffer(l, text, length);
    xmm_put(h, list_table.row_buffer.data(), r);  // reports the free store
    return;
  }
  moved.resize(static_cast<size_t>(std::max(rec_length, list_row_max)), ' ');
  for (int32_t i = l.count; i >= r; --i) {
    xmm_get(h, moved.data(), i);
    if (!xmm_put(h, moved.data(), i + 1)) return;  // the store could not grow: nothing moves on
  }
  l.count += 1;
  fill_row_buffer(l, text, length);
  xmm_put(h, list_table.row_buffer.data(), r);
  lst_rows_moved(n, [r](int32_t row) { return row >= r ? row + 1 : row; });
}

void lst_insert(int32_t n, int32_t r, std::string_view text) {
  lst_insert(n, r, text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)));
}

void lst_erase(int32_t n, int32_t r) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  if (r < 1 || r > l.count) {
    report_error("lstmgr/erase falsch!", 0);
    return;
  }
  const int32_t h = store_handle(n);
  int32_t rec_length = 0, records = 0;
  xmm_info(h, rec_length, records);
  std::string moved(static_cast<size_t>(std::max(rec_length, list_row_max)), ' ');
  for (int32_t i = r + 1; i <= l.count; ++i) {
    xmm_get(h, moved.data(), i);
    xmm_put(h, moved.data(), i - 1);
  }
  std::fill(moved.begin(), moved.end(), ' ');
  xmm_put(h, moved.data(), l.count);
  l.count = std::max(l.count - 1, 1);
  l.cursor = std::min(l.cursor, l.count);
  l.top = std::min(l.top, l.count);
  l.saved_cursor = std::min(l.saved_cursor, l.count);
  lst_rows_moved(n, [r](int32_t row) { return row == r ? 0 : row > r ? row - 1 : row; });
}

void lst_get_count(int32_t n, int32_t& count) {
  if (select_list(n)) count = list_of(n).count;
}

void lst_get_cursor(int32_t n, int32_t& row) {
  if (select_list(n)) row = list_of(n).cursor;
}

void lst_get_page(int32_t n, int32_t& lines) {
  if (select_list(n)) lines = list_of(n).page;
}

int32_t lst_top_showing(const list_record& l, int32_t r) {
  return r == l.count ? std::max(r - l.page + 1, 1) : std::max(r - l.page + 2, 1);
}

void lst_set_cursor(int32_t n, int32_t r) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  if (r < 0 && -r <= l.count) {
    l.cursor = -r;
    l.saved_cursor = -r;
  } else if (r >= 0 && r <= l.count) {
    l.cursor = r;
    if (r < l.top || r >= l.top + l.page) l.top = lst_top_showing(l, r);
    l.saved_cursor = r;
  }
}

void lst_free(int32_t n) {
  if (!select_list(n)) return;
  lst_rows_rebuilt(n);
  xmm_deallocate(store_handle(n));
  list_of(n).count = 0;
}

void lst_sort(int32_t n) {
  if (!select_list(n)) return;
  const list_record& l = list_of(n);
  if (l.count < 2) return;
  std::vector<int32_t> places;
  xmm_sort(store_handle(n), l.count, &places);
  lst_rows_moved(n, [&places](int32_t row) {
    return row >= 1 && row <= static_cast<int32_t>(places.size()) ? places[static_cast<size_t>(row - 1)] : row;
  });
}

void lst_tab(int32_t n, int32_t k, int32_t width, int32_t variable, std::string_view title) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  if (k <= 0) {
    l.edit_mode = k < 0;
    if (width > 0) l.edit_rows = width;
    return;
  }
  if (k > list_tab_max) {
    report_error("max TABS", 32000);
    return;
  }
  l.edit_mode = true;
  l.tab_x[1] = -1;
  l.tab_column = 1;
  const int64_t col = static_cast<int64_t>(l.tab_col[static_cast<size_t>(k)]) + width + 1;
  l.tab_col[static_cast<size_t>(k + 1)] = static_cast<int32_t>(std::clamp<int64_t>(col, INT32_MIN, INT32_MAX));
  const int64_t x = static_cast<int64_t>(l.tab_x[static_cast<size_t>(k)]) +
                    (static_cast<int64_t>(width) + 1) * list_table.char_width;
  l.tab_x[static_cast<size_t>(k + 1)] =
      static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(x, l.hilite_right), INT32_MIN, INT32_MAX));
  l.tab_var[static_cast<size_t>(k)] = variable;
  std::string t(title.substr(0, 50));
  t.resize(50, ' ');
  l.tab_title[static_cast<size_t>(k)] = t;
  l.tab_count = k;
}

void MARK_LIST(int32_t n, int32_t mode) {
  if (!select_list(n)) return;
  list_record& l = list_of(n);
  l.anchor = -1;
  l.mark_mode = mode != 0;
  trace_int2("MARK_LIST", n, mode);
}

void lst_size_store(int32_t n, int32_t rows, int32_t row_length, int32_t& status) {
  status = 0;
  if (!select_list(n)) return;
  const int32_t h = store_handle(n);
  const int32_t capacity = std::max(rows, 20);
  const int32_t length = std::max(std::min(row_length, list_row_max), 20);
  int32_t old_length = 0, old_records = 0;
  xmm_info(h, old_length, old_records);
  if (old_length != length || old_records < capacity) {
    xmm_deallocate(h);
    xmm_allocate(h, length, capacity, status);
  }
}

void allocate_xmm(int32_t n, int32_t rows, int32_t row_length, int32_t& status) {
  const int32_t k = n == INT32_MIN ? 0 : (n < 0 ? -n : n);
  if (!select_list(k)) return;
  lst_rows_rebuilt(k);
  list_record& l = list_of(k);
  l.nul_cut = n >= 1;
  l.count = 0;
  const int32_t h = store_handle(k);
  const int32_t wanted_rows = rows > 0 ? rows : 1;
  lst_size_store(k, wanted_rows, row_length, status);
  if (status != 0) {
    trace_int("allocate_xmm err", status);
    report_error("XMM", 32000);
    return;
  }
  l.count = wanted_rows;
  l.cursor = 0;
  l.mark_mode = false;
  list_table.row_buffer.assign(list_row_max, ' ');
  for (int32_t r = 1; r <= wanted_rows; ++r) xmm_put(h, list_table.row_buffer.data(), r);
  l.edit_rows = list_edit_rows;
}

void lst_mark_operation(int32_t n, int32_t t, int32_t options, int32_t& status) {
  if (!list_number_ok(n) || !list_number_ok(t)) return;
  // Rows go through a text as long as the longest row, so copies and filtered rows keep every
  // character.
  std::string text(list_row_max, ' ');
  const auto length = static_cast<int32_t>(text.size());
  if (t != n) {
    // Copy: the target gets as many rows as the source store has records.
    int32_t rec_length = 0, records = 0;
    xmm_info(store_handle(n), rec_length, records);
    allocate_xmm(t, records, rec_length, status);
    if (status != 0) return;
    for (int32_t r = 1; r <= records; ++r) {
      lst_get_row(n, r, text.data(), length);
      lst_put_row(t, r, text.data(), length);
    }
  }
  if ((options & 0x40) == 0) return;
  // A mark column added or taken off shifts the characters of every row it rewrites (and the
  // filter erases the rest): no row keeps its columns, the list is rebuilt.
  if ((options & (0x80 | 0x100 | 0x10000)) != 0) lst_rows_rebuilt(t);
  for (int32_t r = list_of(t).count; r >= 1; --r) {
    lst_get_row(t, r, text.data(), length);
    if ((options & (0x80 | 0x100)) != 0) {
      text.insert(text.begin(), '0');
      text.resize(static_cast<size_t>(length));
      lst_put_row(t, r, text.data(), length);
    } else if (text[0] != '1') {
      lst_erase(t, r);
    } else if ((options & 0x10000) != 0) {
      text.erase(text.begin());
      text.push_back(' ');
      lst_put_row(t, r, text.data(), length);
    }
  }
}

void lst_get_top(int32_t n, int32_t& top) {
  if (select_list(n)) top = list_of(n).top;
}

void lst_set_count(int32_t n, int32_t count) {
  if (!select_list(n)) return;
  // The count never passes the rows the store holds, so no row beyond it is ever read.
  int32_t length = 0, records = 0;
  xmm_info(store_handle(n), length, records);
  const int32_t kept = std::clamp(count, 0, records);
  list_of(n).count = kept;
  lst_rows_moved(n, [kept](int32_t row) { return row <= kept + 1 ? row : list_rows_rebuilt; });
}

void lst_set_edit_rows(int32_t n, int32_t rows) {
  if (select_list(n)) list_of(n).edit_rows = rows;
}

void lst_move_origin(int32_t n, int32_t dx, int32_t dy) {
  if (!select_list(n)) return;
  list_of(n).x1 += dx;
  list_of(n).y1 += dy;
}

void lst_move_spare(int32_t n, int32_t dx, int32_t dy) {
  if (!select_list(n)) return;
  list_of(n).spare_dx += dx;
  list_of(n).spare_dy += dy;
}
