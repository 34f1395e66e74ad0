// The area table and the area stack.  BUTTON appends entries, BTNMGR changes them, the mouse
// handler hit-tests them and the dispatcher matches keys against their hot keys; a SUBMEN level
// saves the whole table with its state block and the level pop brings it back.
#include "runtime/program/areas.h"

#include <algorithm>

area_table_t area_table;

namespace {

struct area_stack_t {
  struct level_t {
    std::array<area_record, max_areas + 1> entry{};
    area_state_block state;
  };
  std::array<level_t, area_stack_levels + 1> level{};  // [1..20]
  int32_t counter = 0;
};
area_stack_t area_stack;

area_hold* innermost_hold = nullptr;  // holds live on the stack, each pointing to the one before

}  // namespace

area_hold::area_hold(int32_t& word, int32_t none) : word_(&word), none_(none), outer_(innermost_hold) {
  innermost_hold = this;
}

void area_hold::let_all_go() {
  for (area_hold* h = innermost_hold; h != nullptr; h = h->outer_) *h->word_ = h->none_;
}

area_hold::~area_hold() {
  // Holds end in the reverse order of their making (they are locals of nested routines).
  innermost_hold = outer_;
}

area_record& area(int32_t n) {
  // Out-of-range numbers land on the unused entry 0 instead of outside the table.
  if (n < 1 || n > max_areas) return area_table.entry[0];
  return area_table.entry[static_cast<size_t>(n)];
}

bool area_in_table(int32_t n) { return n >= 1 && n <= area_table.count && n <= max_areas; }

void area_push() {
  // The stack never grows beyond 20 levels: a push at the top overwrites the top level.
  if (area_stack.counter < area_stack_levels) ++area_stack.counter;
  auto& level = area_stack.level[static_cast<size_t>(area_stack.counter)];
  level.entry = area_table.entry;  // all 60 entries, stale ones included
  level.state = area_table.state;
  area_hold::let_all_go();
}

void area_pop() {
  if (area_stack.counter <= 0) return;
  const auto& level = area_stack.level[static_cast<size_t>(area_stack.counter)];
  area_table.entry = level.entry;
  area_table.state = level.state;
  --area_stack.counter;
  area_hold::let_all_go();
}

int32_t area_stack_counter() { return area_stack.counter; }

int32_t area_hit(int32_t x, int32_t y) {
  const int32_t count = std::min(area_table.count, max_areas);
  for (int32_t i = 1; i <= count; ++i) {
    const area_record& a = area_table.entry[static_cast<size_t>(i)];
    if (logical(a.enabled) && x >= a.x1 && x <= a.x2 && y >= a.y1 && y <= a.y2) return i;
  }
  return 0;
}

int32_t area_with_hot_key(int32_t key) {
  const int32_t count = std::min(area_table.count, max_areas);
  for (int32_t i = 1; i <= count; ++i) {
    const area_record& a = area_table.entry[static_cast<size_t>(i)];
    if (a.hot_key == key && logical(a.enabled)) return i;
  }
  return 0;
}

int32_t caption_hot_key(std::string_view caption) {
  const size_t amp = caption.find('&');
  if (amp == std::string_view::npos || amp + 1 >= caption.size()) return 0;
  int32_t code = static_cast<unsigned char>(caption[amp + 1]);
  // Lower-case letters (a-z and the accented ones of code page 1252) name their capital's key.
  if ((code >= 'a' && code <= 'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7)) code -= 32;
  return code;
}

int32_t area_count() { return area_table.count; }

int32_t area_renumbered(int32_t number, int32_t deleted, int32_t none) {
  if (number == deleted) return none;
  return number > deleted ? number - 1 : number;
}

bool area_delete(int32_t n) {
  if (!area_in_table(n)) return false;
  area_table_t& t = area_table;
  for (int32_t i = n; i < t.count; ++i) area(i) = area(i + 1);
  t.count -= 1;
  t.state.focus = area_renumbered(t.state.focus, n, 0);
  t.current = area_renumbered(t.current, n, 0);
  t.status_area = area_renumbered(t.status_area, n, -1);
  // The three areas of a slider name their track: they follow it, or lose it with it.
  for (int32_t i = 1; i <= t.count; ++i) {
    int32_t& track = area(i).slider_track;
    if (track > 0) track = area_renumbered(track, n, 0);
  }
  for (area_hold* h = innermost_hold; h != nullptr; h = h->outer_)
    if (*h->word_ > 0) *h->word_ = area_renumbered(*h->word_, n, h->none_);
  return true;
}

void areas_reset() {
  area_table = area_table_t{};
  area_stack = area_stack_t{};
}
