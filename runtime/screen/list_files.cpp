// List files: an optional header line "count cursor", then one row per line.  The operations'
// status tells only a bad list number or a failed row-store allocation; what happened to the
// file itself is left in io_status for IOERROR.
#include <algorithm>
#include <charconv>

#include "quillon/api/save_file.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/row_store.h"

namespace {

// Status of a header line that is not two integers (the list-directed read's value error).
constexpr int32_t header_read_error = 5010;

std::string_view trim(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Reads two integers separated by blanks or one comma, as a list-directed read does.
bool read_two_integers(std::string_view line, int32_t& a, int32_t& b) {
  auto next = [&line](int32_t& out) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == ',') ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const char* begin = line.data() + i;
    if (i < line.size() && line[i] == '+') ++begin;
    const auto [end, ec] = std::from_chars(begin, line.data() + line.size(), out);
    if (ec != std::errc() || end == begin) return false;
    if (end != line.data() + line.size() && *end != ' ' && *end != ',' && *end != '\t') return false;
    line.remove_prefix(static_cast<size_t>(end - line.data()));
    return true;
  };
  return next(a) && next(b);
}

// After a load the list may hold fewer rows than before: a cursor and first rows kept from
// the old rows are brought into the new ones (a first row past the end shows the last page),
// so that the redraw from the saved cursor shows the list's rows.
void keep_view_in_rows(list_record& l) {
  const int32_t last_page_top = std::max(l.count - std::max(l.page, 1) + 1, 1);
  l.saved_cursor = std::min(l.saved_cursor, l.count);
  if (l.top > l.count) l.top = last_page_top;
  if (l.saved_top > l.count) l.saved_top = last_page_top;
}

// The cursor that a file's header gives becomes the list's saved cursor too, on a first row
// that shows it: the redraw from the saved cursor then shows the file's cursor.
void keep_file_cursor(list_record& l) {
  l.saved_cursor = l.cursor;
  if (l.cursor >= 1 && l.page >= 1 && (l.cursor < l.top || l.cursor >= l.top + l.page))
    l.top = lst_top_showing(l, l.cursor);
  l.saved_top = l.top;
}

}  // namespace

void lst_load(int32_t n, std::string_view name, bool header, int32_t row_length, int32_t& status) {
  if (!list_number_ok(n)) {
    status = list_status_code;
    return;
  }
  status = 0;
  lst_rows_rebuilt(n);
  list_record& l = list_of(n);
  l.count = 0;
  const std::string_view file = trim(name);
  if (file.empty()) return;

  const int32_t unit = get_free_unit();
  io_status = unit_open(unit, file, {.status = "OLD", .action = "READ"});
  const bool opened = io_status == 0;
  int32_t rows = 1, cursor = 0;
  bool cursor_from_file = false;
  if (header && opened) {
    std::string line;
    io_status = unit_read_line(unit, line);
    if (io_status == 0 && !read_two_integers(line, rows, cursor)) io_status = header_read_error;
    if (io_status != 0) {
      rows = 1;
      cursor = 0;
    }
    cursor_from_file = io_status == 0;
  }
  rows = std::max(rows, 1);
  lst_size_store(n, rows, row_length, status);
  if (status != 0) {
    unit_close(unit);
    return;
  }
  // A list that only a load has filled gets the edit-row limit that an allocation gives, so
  // that its cells can be edited; a limit the program set stays.
  if (l.edit_rows < 1) l.edit_rows = list_edit_rows;
  const int32_t h = n + 10;
  std::string buffer(list_row_max, ' ');
  xmm_put(h, buffer.data(), rows);
  l.count = rows;
  l.mark_mode = false;
  l.cursor = std::min(cursor, rows);
  if (l.cursor < 1) l.cursor = 0;

  int32_t supplied = 0;  // the rows that lines of the file filled
  if (io_status == 0) {
    std::string line;
    for (int32_t i = 1;; ++i) {
      const int32_t read = unit_read_line(unit, line);
      if (read != 0) {
        if (read != unit_eof) io_status = read;
        break;
      }
      if (i > l.count) {
        if (header) break;
        l.count = i;
      }
      buffer.assign(list_row_max, ' ');
      buffer.replace(0, std::min(line.size(), buffer.size()), line, 0, buffer.size());
      xmm_put(h, buffer.data(), i);
      supplied = i;
    }
  }
  // A header that promises more rows than the file has: the rows no line supplies are blank,
  // not rows of the list held before (which a later save would write into this file).
  buffer.assign(list_row_max, ' ');
  for (int32_t r = supplied + 1; r < l.count; ++r) xmm_put(h, buffer.data(), r);
  const int32_t closed = unit_close(unit);
  if (io_status == 0) io_status = closed;
  keep_view_in_rows(l);
  if (cursor_from_file) keep_file_cursor(l);
}

void lst_save(int32_t n, std::string_view name, bool header, int32_t& status) {
  status = list_status_code;
  if (!list_number_ok(n)) return;
  status = 0;
  const std::string_view file = trim(name);
  if (file.empty()) return;
  const list_record& l = list_of(n);

  // Written aside and renamed over the old list when complete: a failed or interrupted save
  // leaves the old file whole.  An empty list still replaces it.
  save_file out;
  io_status = out.open(host_path(file));
  if (io_status == 0) {
    if (header) out.write(std::to_string(l.count) + " " + std::to_string(l.cursor) + "\n");
    for (int32_t r = 1; r <= l.count && out.error() == 0; ++r) {
      const std::string row = lst_get_row(n, r, list_row_max);
      const size_t used = std::max<size_t>(row.find_last_not_of(' ') + 1, 1);
      out.write(std::string_view(row).substr(0, used));
      out.put('\n');
    }
    io_status = out.commit();
  }
  if (io_status != 0) report_write_failure(file, io_status, out.reason());
}
