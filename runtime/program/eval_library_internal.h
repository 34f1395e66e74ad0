// Helpers shared by the library-function families.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "runtime/program/expression/evaluator.h"
#include "runtime/program/upn_store.h"

// The slot's text is `length` characters long: a cut text's own characters end there at the
// latest (trailing blanks that a function took off were not where it ended).
inline void set_text_length(value_slot& slot, int32_t length) {
  slot.type = std::clamp<int32_t>(length, 0, static_cast<int32_t>(slot.text.size()));
  if (slot.cut()) slot.cut_kept = std::min(slot.cut_kept, slot.type);
}

// The common text-result step: the slot's text of `length` characters takes a pending
// substring, then its value becomes its length.
inline void text_exit(value_slot& slot, int32_t length) {
  set_text_length(slot, length);
  finish_text_result(slot, apply_pending_substring(slot));
}

// Length of the slot's whole text field without trailing blanks.  `end`: the field is known to
// be blank from there (the evaluator's mark, blank_start); a handler that wrote the field its own
// way looks at all of it.
inline int32_t trimmed_length(const value_slot& slot, int32_t end) {
  // 32 blanks at a time from the end (a short text leaves most of the field blank), then eight,
  // then the characters of the last word one by one.
  constexpr uint64_t blanks = 0x2020202020202020ull;
  size_t n = static_cast<size_t>(std::clamp(end, 0, static_cast<int32_t>(slot.text.size())));
  for (uint64_t w[4]; n >= sizeof w; n -= sizeof w) {
    std::memcpy(w, slot.text.data() + n - sizeof w, sizeof w);
    if (((w[0] ^ blanks) | (w[1] ^ blanks) | (w[2] ^ blanks) | (w[3] ^ blanks)) != 0) break;
  }
  for (uint64_t word = 0; n >= sizeof word; n -= sizeof word) {
    std::memcpy(&word, slot.text.data() + n - sizeof word, sizeof word);
    if (word == blanks) continue;
    // The blanks at the end of the word are its highest bytes that equal a blank.
    if constexpr (std::endian::native == std::endian::little)
      return static_cast<int32_t>(n - static_cast<size_t>(std::countl_zero(word ^ blanks) / 8));
    break;
  }
  while (n > 0 && slot.text[n - 1] == ' ') --n;
  return static_cast<int32_t>(n);
}
inline int32_t trimmed_length(const value_slot& slot) {
  return trimmed_length(slot, static_cast<int32_t>(slot.text.size()));
}

// The slot's text length as a safe index bound (0..512).
inline int32_t text_length(const value_slot& slot) {
  return std::clamp<int32_t>(slot.type, 0, static_cast<int32_t>(slot.text.size()));
}

// Pushes a number (functions without arguments).
inline void push_number(float v) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  s.set_number(v);
}
