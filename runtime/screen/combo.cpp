// Combo boxes and their library "combo.lib": direct-access text records, one per combo box,
// addressed by "#" and the record number.  Every operation reads the record it names, and
// every change is written back at once, so the file always holds what the screen shows.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/upper_services.h"
#include "runtime/program/areas.h"
#include "runtime/program/file_glue.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

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
  std::string raw;     // its bytes as read, which a write changes only where a field changed
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

// The record's bytes as read, with the fields whose value changed written anew: a field written
// in another way that still reads as the same value ("12" left-aligned, "0012") keeps its bytes.
std::string patched(std::string raw, const combo_record& rec) {
  const std::string fresh = encode(rec);
  const auto take = [&](size_t at, size_t length, bool same) {
    if (!same) raw.replace(at, length, fresh, at, length);
  };
  const auto number_is = [&](size_t at, size_t length, int32_t value) {
    int32_t read = 0;
    return read_number(std::string_view(raw).substr(at, length), read) && read == value;
  };
  take(0, 4, number_is(0, 4, rec.current));
  take(4, 4, number_is(4, 4, rec.count));
  for (size_t i = 0; i < combo_entries; ++i) {
    const size_t at = head_length + i * entry_length;
    take(at, value_columns, number_is(at, value_columns, rec.entry[i].value));
    take(at + value_columns, combo_text_length,
         raw.compare(at + value_columns, combo_text_length, fresh, at + value_columns, combo_text_length) == 0);
  }
  return raw;
}

std::string key_text(int32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02d", n);
  return buf;
}

// Reads record n into the current record; reports a missing or broken record unless `report`
// is false.  A record must end in CR LF: in a library whose lines end in LF alone the records
// do not lie at their fixed places, and writing one back would change the next.
bool read_record(int32_t n, bool report = true) {
  std::ifstream in(host_path(library_name), std::ios::binary);
  std::string raw(static_cast<size_t>(record_length), ' ');
  if (in) {
    in.seekg(static_cast<std::streamoff>(n - 1) * record_length);
    in.read(raw.data(), record_length);
  }
  // A record cut short sets the stream's failure but counts what it read: such a record is there,
  // broken, not missing.
  const std::streamsize got = in.gcount();
  if (got == 0) {
    if (report) report_error("COMBO Satz fehlt: " + key_text(n), 0);
    return false;
  }
  combo_record rec;
  if (got != record_length || !raw.ends_with("\r\n") || !decode(raw, rec)) {
    if (report) report_error("COMBO Satz falsch: " + key_text(n), 0);
    return false;
  }
  state.record = std::move(rec);
  state.raw = std::move(raw);
  state.number = n;
  return true;
}

bool write_raw(int32_t n, const std::string& raw);

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

std::string_view caption_of(const area_record& a) { return std::string_view(a.caption.data(), a.caption.size()); }

bool within(const area_record& inner, const area_record& outer) {
  return inner.x1 >= outer.x1 && inner.x2 <= outer.x2 && inner.y1 >= outer.y1 && inner.y2 <= outer.y2;
}

// The text parts of the combos that show record n (those lying on `over` only, when given) show
// its current entry again; not the one the user is typing into.
void show_text_parts(int32_t n, const area_record* over = nullptr) {
  for (int32_t i = 1; i <= area_table.count; ++i) {
    area_record& t = area(i);
    if (t.type != area_combo_text || t.kind != area_kind_field || record_number(caption_of(t)) != n) continue;
    if ((over != nullptr && !within(t, *over)) || (run_flags.field_input && field_input_state().area == i)) continue;
    paint_button(i == area_table.state.focus ? 8 : 1, t);
  }
}

// Writes the current record back; false (and reported) when the library could not take it.
bool write_back() {
  if (state.number < 1) return false;
  std::string raw = patched(state.raw, state.record);
  if (!write_raw(state.number, raw)) {
    report_error("COMBO Schreibfehler: " + key_text(state.number), 0);
    return false;
  }
  state.raw = std::move(raw);
  show_text_parts(state.number);
  return true;
}

bool has_marker(const std::string& text) { return !text.empty() && (text[0] == '^' || text[0] == '@'); }

// The entry's text as programs see it: without its marker, trailing blanks removed.
std::string shown_text(const combo_entry& e) {
  std::string_view t = e.text;
  if (has_marker(e.text)) t.remove_prefix(1);
  const size_t end = t.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(t.substr(0, end + 1));
}

// The drop-down shows the record's entries as list 1 under the combo area, row k being entry k;
// the list routines draw it and the screen behind it waits in clipboard slot 0.
constexpr int32_t drop_down_list = 1;
constexpr int32_t drop_down_row_length = 64;
constexpr int32_t key_enter = 13;

// Shows what the drop-down drew also while a run holds the painting back.
void show_drop_down() {
  if (paint_suppressed()) screen_repaint();
}

bool inside(const area_record& box, int32_t x, int32_t y) {
  return x >= box.x1 && x <= box.x2 && y >= box.y1 && y <= box.y2;
}

// Keys of the open drop-down.
constexpr int32_t key_page_up = 33, key_page_down = 34, key_end = 35, key_home = 36, key_up = 38, key_down = 40;

// The bar's move for a key of the drop-down; 0 for a key that does not move it.
int32_t bar_move(int32_t key, int32_t count) {
  switch (key) {
    case key_up: return -1;
    case key_down: return 1;
    case key_page_up: return 1 - count;
    case key_page_down: return count - 1;
    case key_home: return -99999;
    case key_end: return 99999;
    default: return 0;
  }
}

// Opens the drop-down below the combo area (placed to end at the usable screen's bottom when it
// would pass it), lets the bar follow the mouse and the cursor keys until a click or another key,
// and puts the screen back.  A release inside the list or Enter picks the row under the bar; a
// click elsewhere, the right button, Escape or any other key, or the loss of the focus closes it
// without a pick.  The release of the press that opened it picks only after the mouse moved
// (press, drag to a row, release): near the bottom the list lies over the combo itself, and a
// plain click must not pick a row the user has not seen.  Returns the entry picked, 0 for none.
int32_t drop_down(const combo_record& rec, const area_record& a) {
  if (rec.count < 1 || main_window() == 0) return 0;  // nothing to pick from, or nowhere to click
  int32_t status = 0;
  allocate_xmm(drop_down_list, rec.count, drop_down_row_length, status);
  if (status != 0) return 0;
  for (int32_t k = 1; k <= rec.count; ++k) lst_put_row(drop_down_list, k, shown_text(rec.entry[k - 1]));
  area_record box = a;
  box.list = drop_down_list;
  box.y1 = a.y2 + 1;
  const int32_t bottom = screen_metrics.client_height() - screen_metrics.bottom_margin - 2;
  lst_combo_setup(box, bottom, rec.count, rec.current);
  show_drop_down();

  const list_record& l = list_of(drop_down_list);
  int32_t picked = 0;
  int32_t x = 0, y = 0, left = 0, right = 0;
  last_mouse_state(x, y, left, right);
  const int32_t press_x = x, press_y = y;
  bool opening_press = left != 0;  // its release is still to come
  bool moved = false;              // since the opening press
  bool pressed_here = false;       // a press came while the drop-down was open
  int32_t last_x = x, last_y = y, left_before = left, right_before = right;
  for (;;) {
    if (!get_mouse_state(x, y, left, right) || program_has_ended() || run_flags.focus_lost) break;
    if (combo_key != -1) {
      const int32_t key = combo_key;
      combo_key_next();
      const int32_t move = bar_move(key, rec.count);
      if (move == 0) {
        if (key == key_enter) picked = l.cursor;
        break;
      }
      lst_move_cursor(drop_down_list, move);
      show_drop_down();
      continue;
    }
    if (x == last_x && y == last_y && left == left_before && right == right_before) {
      SLEEP_SECONDS(0.002f);  // nothing happened: no busy wait
      continue;
    }
    last_x = x;
    last_y = y;
    if (x != press_x || y != press_y) moved = true;
    const bool release = left_before != 0 && left == 0;
    const bool opening_click = release && opening_press && !pressed_here && !moved;
    if (!opening_click) {  // the bar stays on the current entry until the mouse does something
      lst_follow_mouse(drop_down_list);
      show_drop_down();
    }
    if (right != 0) break;
    if (release) {
      opening_press = false;
      if (!opening_click && inside(box, x, y)) {
        picked = l.cursor;
        break;
      }
      if (pressed_here) break;
    }
    if (left_before == 0 && left != 0) pressed_here = true;
    left_before = left;
    right_before = right;
  }
  clipboard_draw(0);
  show_drop_down();
  return picked >= 1 && picked <= rec.count ? picked : 0;
}

// Makes entry k current; false when the change could not be saved.
bool make_current(int32_t k) {
  if (state.record.current == k) return true;
  state.record.current = k;
  return write_back();
}

bool write_raw(int32_t n, const std::string& raw) {
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
  file.seekp(place);
  file.write(raw.data(), record_length);
  file.flush();
  return static_cast<bool>(file);
}

}  // namespace

bool combo_write_record(int32_t n, const combo_record& record) { return write_raw(n, encode(record)); }

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
    if (state.record.entry[i].value == value) {
      make_current(i + 1);
      return;
    }
  report_error("COMBO Eintrag fehlt: " + key_text(state.number), 0);
}

void combo_set_text(std::string_view text) {
  if (state.number == 0) return;
  std::string wanted(text.substr(0, std::min(text.size(), static_cast<size_t>(combo_text_length))));
  wanted.erase(wanted.find_last_not_of(' ') + 1);
  combo_record& r = state.record;
  for (int32_t i = 0; i < r.count; ++i)
    if (shown_text(r.entry[i]) == wanted) {
      make_current(i + 1);
      return;
    }
  // No entry matches: the current entry takes the text, keeping its marker, unless it is fixed.
  if (r.current < 1 || r.current > r.count) return;
  combo_entry& e = r.entry[r.current - 1];
  if (!e.text.empty() && e.text[0] == '^') return;
  e.text = padded(e.text.starts_with('@') ? "@" + wanted : wanted, combo_text_length);
  write_back();
}

std::string combo_text_of(const area_record& a) {
  // Painting leaves the record that the program's COMBO operations work on as it was.
  const combo_state_t kept = state;
  std::string text;
  int32_t value = 0;
  combo_lookup_quietly(caption_of(a), text, value);
  state = kept;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

void combo_show_text_part_over(const area_record& drop) {
  if (const int32_t n = record_number(caption_of(drop)); n > 0) show_text_parts(n, &drop);
}

void combo_text_entered(int32_t n, std::string_view text) {
  if (n < 1 || n > max_areas) return;
  area_record& a = area(n);
  if (!open_key(caption_of(a))) return;
  const std::string before = encode(state.record);
  combo_set_text(text);
  // A change the library did not take (reported by the write) runs no label.
  const bool changed = encode(state.record) != before && patched(state.raw, state.record) == state.raw;
  paint_button(n == area_table.state.focus ? 8 : 1, a);
  if (changed && a.label > 0 && upper_services.run_label != nullptr) upper_services.run_label(a.label);
}

void combo_set_chooser(combo_chooser_fn chooser) { state.chooser = chooser; }

void combo_select(int32_t n) {
  if (n < 1 || n > max_areas) return;
  const area_record a = area(n);
  if (!open_key(caption_of(a))) return;
  // The drop-down pumps messages: a timer's label may read another record of the library
  // (which becomes the current one) or delete areas meanwhile.  It works on its own copy of the
  // record, and the area is held by its number, which follows a delete.
  const combo_record shown = state.record;
  area_hold hold(n);
  // While the drop-down is open the keys go to the combo, not to the program.
  combo_keys_set(-1);
  run_flags.combo_open = true;
  const int32_t k = state.chooser ? state.chooser(shown) : drop_down(shown, a);
  run_flags.combo_open = false;
  combo_keys_set(0);
  // A combo deleted while it was open takes the pick with it; otherwise the pick goes into the
  // combo's own record, read again by its key.
  if (n == 0 || !open_key(caption_of(a))) return;
  if (k < 1 || k > state.record.count || state.record.entry[k - 1].text.starts_with('@')) return;
  if (!make_current(k)) return;  // a pick the library did not take runs no label
  const int32_t label = area(n).label;
  if (label > 0 && upper_services.run_label != nullptr) upper_services.run_label(label);
}

bool combo_locked() { return state.lock; }
void set_combo_lock(bool on) { state.lock = on; }
const combo_record& combo_current() { return state.record; }
int32_t combo_current_number() { return state.number; }
void combo_reset() { state = combo_state_t{}; }
