// Combo boxes and their library "combo.lib": direct-access text records, one per combo box,
// addressed by "#" and the record number.  Every operation reads the record it names, and
// every change is written back at once, so the file always holds what the screen shows.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/core.h"
#include "runtime/core/areas.h"
#include "runtime/core/file_glue.h"
#include "runtime/screen/screen.h"

namespace {

constexpr const char* library_name = "combo.lib";
// Record layout: current entry (4), entry count (4), 20 entries of value (8) and text (20),
// then CR LF.
constexpr int32_t head_length = 8;
constexpr int32_t value_columns = 8;
constexpr int32_t entry_length = value_columns + combo_text_length;
constexpr int32_t record_length = head_length + combo_entries * entry_length + 2;

struct combo_state_t {
  combo_record record;
  int32_t number = 0;  // the current record's number, 0 = none read
  combo_chooser_fn chooser = nullptr;
  bool lock = false;
};
combo_state_t state;

std::string padded(std::string_view text, size_t length) {
  std::string out(text.substr(0, std::min(text.size(), length)));
  out.resize(length, ' ');
  return out;
}

std::string right_number(int32_t value, int32_t columns) {
  char buf[16];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string digits(buf, end);
  if (static_cast<int32_t>(digits.size()) > columns) digits.assign(static_cast<size_t>(columns), '*');
  return std::string(static_cast<size_t>(columns) - digits.size(), ' ') + digits;
}

// A right-aligned number field; false when it holds anything but blanks around an integer.
bool read_number(std::string_view field, int32_t& out) {
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    out = 0;
    return true;
  }
  const size_t last = field.find_last_not_of(' ');
  const char* b = field.data() + first;
  const char* e = field.data() + last + 1;
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

// The record number of a key "#12"; 0 when the key names none.
int32_t record_number(std::string_view key) {
  const size_t hash = key.find('#');
  if (hash == std::string_view::npos) return 0;
  std::string_view digits = key.substr(hash + 1);
  digits = digits.substr(0, digits.find_first_not_of("0123456789"));
  int32_t n = 0;
  auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return ec == std::errc() && n > 0 ? n : 0;
}

bool decode(std::string_view raw, combo_record& rec) {
  combo_record out;
  if (!read_number(raw.substr(0, 4), out.current) || !read_number(raw.substr(4, 4), out.count)) return false;
  if (out.count < 0 || out.count > combo_entries || out.current < 0 || out.current > out.count) return false;
  for (int32_t i = 0; i < combo_entries; ++i) {
    const std::string_view e = raw.substr(static_cast<size_t>(head_length + i * entry_length), entry_length);
    if (!read_number(e.substr(0, value_columns), out.entry[i].value)) return false;
    out.entry[i].text = std::string(e.substr(value_columns, combo_text_length));
  }
  rec = std::move(out);
  return true;
}

std::string encode(const combo_record& rec) {
  std::string raw = right_number(rec.current, 4) + right_number(rec.count, 4);
  for (const combo_entry& e : rec.entry) raw += right_number(e.value, value_columns) + padded(e.text, combo_text_length);
  raw += "\r\n";
  return raw;
}

std::string key_text(int32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02d", n);
  return buf;
}

// Reads record n into the current record; reports a missing or broken record unless `report`
// is false.
bool read_record(int32_t n, bool report = true) {
  std::ifstream in(host_path(library_name), std::ios::binary);
  std::string raw(static_cast<size_t>(record_length), ' ');
  if (in) {
    in.seekg(static_cast<std::streamoff>(n - 1) * record_length);
    in.read(raw.data(), record_length);
  }
  if (!in || in.gcount() != record_length) {
    if (report) report_error("COMBO Satz fehlt: " + key_text(n), 0);
    return false;
  }
  combo_record rec;
  if (!decode(raw, rec)) {
    if (report) report_error("COMBO Satz falsch: " + key_text(n), 0);
    return false;
  }
  state.record = std::move(rec);
  state.number = n;
  return true;
}

bool open_key(std::string_view key) {
  if (key.find('#') == std::string_view::npos) {
    report_error("COMBO ohne #", 0);
    return false;
  }
  const int32_t n = record_number(key);
  if (n == 0) {
    report_error("COMBO Satz fehlt: " + std::string(key.substr(0, key.find_last_not_of(' ') + 1)), 0);
    return false;
  }
  return read_record(n);
}

void write_back() {
  if (state.number > 0 && !combo_write_record(state.number, state.record))
    report_error("COMBO Schreibfehler: " + key_text(state.number), 0);
}

bool has_marker(const std::string& text) { return !text.empty() && (text[0] == '^' || text[0] == '@'); }

// The entry's text as programs see it: without its marker, trailing blanks removed.
std::string shown_text(const combo_entry& e) {
  std::string_view t = e.text;
  if (has_marker(e.text)) t.remove_prefix(1);
  const size_t end = t.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(t.substr(0, end + 1));
}

// The drop-down: the record's entries as a pop-up menu under the combo area, the current entry
// checked and headings left out; the menu's command id is the entry number.
int32_t drop_down(const combo_record& rec, const area_record& a) {
  std::vector<menu_item> items;
  for (int32_t i = 0; i < rec.count; ++i) {
    const combo_entry& e = rec.entry[i];
    if (e.text.starts_with('@')) continue;
    menu_item& item = items.emplace_back();
    const std::string text = shown_text(e);
    SET_MENU_ITEM(item, {.text = text.empty() ? std::string_view(" ") : std::string_view(text), .id = i + 1,
                         .flags = rec.current == i + 1 ? 8 : 0});
  }
  if (items.empty()) return 0;
  qn_rect r;
  if (main_window() != 0) r = GET_RECT({.window = main_window(), .whole_window = true});
  return POP_UP_MENU(items, {r.left + a.x1, r.top + a.y2 + 1});
}

void make_current(int32_t k) {
  if (state.record.current == k) return;
  state.record.current = k;
  write_back();
}

}  // namespace

bool combo_write_record(int32_t n, const combo_record& record) {
  if (n < 1) return false;
  const std::string path = host_path(library_name);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!file) {
    file.clear();
    file.open(path, std::ios::binary | std::ios::out);  // a new library
    file.close();
    file.open(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file) return false;
  }
  // Records before n that the file does not hold yet are written as empty records, so that
  // every record of the file keeps its fixed place.
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  const std::streamoff place = static_cast<std::streamoff>(n - 1) * record_length;
  if (size < place) {
    file.seekp(size - size % record_length);
    const std::string empty = encode(combo_record{});
    for (std::streamoff at = size - size % record_length; at < place; at += record_length) file.write(empty.data(), record_length);
  }
  const std::string raw = encode(record);
  file.seekp(place);
  file.write(raw.data(), record_length);
  file.flush();
  return static_cast<bool>(file);
}

namespace {

// The current entry of the record just read into text and value (blank and 0 without one).
void current_entry(std::string& text, int32_t& value, int32_t length) {
  const combo_record& r = state.record;
  if (r.current >= 1 && r.current <= r.count) {
    const combo_entry& e = r.entry[r.current - 1];
    text = padded(shown_text(e), static_cast<size_t>(std::max(length, 0)));
    value = e.value;
  }
}

}  // namespace

bool combo_lookup(std::string_view key, std::string& text, int32_t& value, int32_t length) {
  text.assign(static_cast<size_t>(std::max(length, 0)), ' ');
  value = 0;
  if (!open_key(key)) return false;
  current_entry(text, value, length);
  return true;
}

bool combo_lookup_quietly(std::string_view key, std::string& text, int32_t& value, int32_t length) {
  text.assign(static_cast<size_t>(std::max(length, 0)), ' ');
  value = 0;
  const int32_t n = record_number(key);
  if (n == 0 || !read_record(n, false)) return false;
  current_entry(text, value, length);
  return true;
}

void combo_open_entry(std::string_view key) { open_key(key); }

void combo_select_entry(int32_t k) {
  if (state.number == 0) return;
  if (k < 1 || k > state.record.count) {
    report_error("COMBO Eintrag fehlt: " + key_text(state.number), 0);
    return;
  }
  make_current(k);
}

void combo_select_value(int32_t value) {
  if (state.number == 0) return;
  for (int32_t i = 0; i < state.record.count; ++i)
    if (state.record.entry[i].value == value) return make_current(i + 1);
  report_error("COMBO Eintrag fehlt: " + key_text(state.number), 0);
}

void combo_set_text(std::string_view text) {
  if (state.number == 0) return;
  std::string wanted(text.substr(0, std::min(text.size(), static_cast<size_t>(combo_text_length))));
  wanted.erase(wanted.find_last_not_of(' ') + 1);
  combo_record& r = state.record;
  for (int32_t i = 0; i < r.count; ++i)
    if (shown_text(r.entry[i]) == wanted) return make_current(i + 1);
  // No entry matches: the current entry takes the text, keeping its marker, unless it is fixed.
  if (r.current < 1 || r.current > r.count) return;
  combo_entry& e = r.entry[r.current - 1];
  if (!e.text.empty() && e.text[0] == '^') return;
  e.text = padded(e.text.starts_with('@') ? "@" + wanted : wanted, combo_text_length);
  write_back();
}

void combo_set_chooser(combo_chooser_fn chooser) { state.chooser = chooser; }

void combo_select(int32_t n) {
  if (n < 1 || n > max_areas) return;
  const area_record a = area(n);
  const std::string_view caption(a.caption.data(), a.caption.size());
  if (!open_key(caption)) return;
  // While the drop-down is open its first key goes to the combo, not to the program.
  combo_key = -1;
  run_flags.combo_open = true;
  const int32_t k = state.chooser ? state.chooser(state.record) : drop_down(state.record, a);
  run_flags.combo_open = false;
  combo_key = 0;
  if (k < 1 || k > state.record.count || state.record.entry[k - 1].text.starts_with('@')) return;
  make_current(k);
  if (a.label > 0) run_label(a.label);
}

bool combo_locked() { return state.lock; }
void set_combo_lock(bool on) { state.lock = on; }
const combo_record& combo_current() { return state.record; }
int32_t combo_current_number() { return state.number; }
void combo_reset() { state = combo_state_t{}; }
