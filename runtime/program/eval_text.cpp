// Text functions on value-stack slots: case, blanks, searches, ALL, LEN, ASC, TRIM, RTRIM.
// Positions are 1-based and 0 means "none"; a text's length is the slot's type word. Every
// function stays inside the slot's 512-character text.  Those that change a text in place keep
// its mark that it was cut (evaluator.h): TRIM of a cut name is still a cut name.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"

namespace {

using text_array = decltype(value_slot::text);

// Removes the character at 0-based `pos` of the slot's text; the rest moves left and a blank
// enters at the end.  A cut text's own characters end one earlier where it was one of them.
void remove_at(value_slot& slot, size_t pos) {
  text_array& t = slot.text;
  std::move(t.begin() + static_cast<std::ptrdiff_t>(pos) + 1, t.end(), t.begin() + static_cast<std::ptrdiff_t>(pos));
  t.back() = ' ';
  if (static_cast<int32_t>(pos) < slot.cut_kept) --slot.cut_kept;
}

// Moves the text left so that it begins at its first non-blank character.  The field is blank
// from the slot's mark on: only the characters before it move, and the mark moves with them.
void remove_leading_blanks(value_slot& slot) {
  const auto begin = slot.text.begin();
  const auto end = begin + slot.blank_start();
  const auto first = std::find_if(begin, end, [](char c) { return c != ' '; });
  if (first == end || first == begin) return;
  const auto moved = std::move(first, end, begin);
  std::fill(moved, end, ' ');
  slot.blank_from = static_cast<int32_t>(moved - begin);
  if (slot.cut()) slot.cut_kept = std::max(slot.cut_kept - static_cast<int32_t>(first - begin), 0);
}

// UPCASE or LOWCASE of the first n characters: only "a".."z" or "A".."Z" change.  Eight
// characters at a time: the bytes below 128 whose low seven bits lie in the range get bit 0x20
// flipped.  The change is idempotent, so the last eight may overlap the ones before them.
void change_case(char* text, int32_t n, bool upper) {
  constexpr uint64_t ones = 0x0101010101010101ull;
  const uint64_t first = upper ? 'a' : 'A';
  const auto change = [&](char* at) {
    uint64_t w;
    std::memcpy(&w, at, sizeof w);
    const uint64_t low = w & (0x7F * ones);
    const uint64_t from_first = low + (0x80 - first) * ones;      // bit 7 set: byte >= first
    const uint64_t past_last = low + (0x80 - first - 26) * ones;  // bit 7 set: byte > last
    w ^= (from_first & ~past_last & ~w & (0x80 * ones)) >> 2;
    std::memcpy(at, &w, sizeof w);
  };
  if (n < 8) {
    for (int32_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= first && c < first + 26) text[i] = static_cast<char>(c ^ 0x20);
    }
    return;
  }
  for (int32_t i = 0; i + 8 < n; i += 8) change(text + i);
  change(text + n - 8);
}

int32_t position(size_t p) { return p == std::string_view::npos ? 0 : static_cast<int32_t>(p) + 1; }

// The searches of codes 59-64 over s (lower slot) and t (top slot).
int32_t search(int32_t code, std::string_view s, std::string_view t) {
  if (s.empty() || t.empty()) return 0;
  switch (code) {
    case upn_index: return position(s.find(t));               // INDEX
    case upn_endex: return position(s.rfind(t));              // ENDEX
    case upn_verify: return position(s.find_first_not_of(t));  // VERIFY
    case upn_everify: return position(s.find_last_not_of(t));   // EVERIFY
    case upn_scan: return position(s.find_first_of(t));      // SCAN
    default: return position(s.find_last_of(t));       // ESCAN
  }
}

std::string_view first_chars(const value_slot& s) {
  return {s.text.data(), static_cast<size_t>(text_length(s))};
}

}  // namespace

bool eval_text_function(int32_t code) {
  value_slot& top = evaluator.top();
  switch (code) {
    case upn_upcase:  // UPCASE, in place
    case upn_lowcase:  // LOWCASE, in place
      number_to_text(top);
      change_case(top.text.data(), text_length(top), code == upn_upcase);
      return true;
    case upn_compress: {  // COMPRESS, in place: every blank before the trimmed end goes
      number_to_text(top);
      int32_t n = trimmed_length(top, top.blank_start());
      for (int32_t i = 0; i < n;) {
        if (top.text[static_cast<size_t>(i)] == ' ') {
          remove_at(top, static_cast<size_t>(i));
          --n;
        } else {
          ++i;
        }
      }
      set_text_length(top, n);
      return true;
    }
    case upn_collapse: {  // COLLAPSE, in place: no leading blanks, runs of blanks become one
      number_to_text(top);
      remove_leading_blanks(top);
      int32_t n = trimmed_length(top, top.blank_start());
      for (int32_t i = 0; i + 1 < n;) {
        if (top.text[static_cast<size_t>(i)] == ' ' && top.text[static_cast<size_t>(i) + 1] == ' ') {
          remove_at(top, static_cast<size_t>(i));
          --n;
        } else {
          ++i;
        }
      }
      set_text_length(top, n);
      return true;
    }
    case upn_index: case upn_endex: case upn_verify: case upn_everify: case upn_scan: case upn_escan: {
      value_slot& first = evaluator.slot(evaluator.sp - 1);
      number_to_text(first);
      number_to_text(top);
      const int32_t r = search(code, first_chars(first), first_chars(top));
      first.set_number(static_cast<float>(r));
      pop_to_first_argument();
      return true;
    }
    case upn_all:  // ALL: 512 copies of the first character
      number_to_text(top);
      std::fill(top.text.begin() + 1, top.text.end(), top.text[0]);
      top.forget_blanks();
      top.cut_kept = -1;  // a new text
      text_exit(top, static_cast<int32_t>(top.text.size()));
      return true;
    case upn_len:  // LEN: trimmed length of the whole text field (a number is made a text first)
      number_to_text(top);
      top.set_number(static_cast<float>(trimmed_length(top, top.blank_start())));
      return true;
    case upn_asc:  // ASC
      number_to_text(top);
      top.set_number(static_cast<float>(static_cast<unsigned char>(top.text[0])));
      return true;
    case upn_trim:  // TRIM
      number_to_text(top);
      remove_leading_blanks(top);
      text_exit(top, trimmed_length(top, top.blank_start()));
      return true;
    case upn_rtrim:  // RTRIM
      number_to_text(top);
      text_exit(top, trimmed_length(top, top.blank_start()));
      return true;
    default:
      return false;
  }
}
