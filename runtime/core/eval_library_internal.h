// Helpers shared by the library-function families.
#pragma once

#include <algorithm>
#include <cstdint>

#include "runtime/core/evaluator.h"

// The common text-result step: the slot's text of `length` characters takes a pending
// substring, then its value becomes its length.
inline void text_exit(value_slot& slot, int32_t length) {
  slot.type = std::clamp<int32_t>(length, 0, static_cast<int32_t>(slot.text.size()));
  finish_text_result(slot, apply_pending_substring(slot));
}

// Length of the slot's whole text field without trailing blanks.
inline int32_t trimmed_length(const value_slot& slot) {
  int32_t n = static_cast<int32_t>(slot.text.size());
  while (n > 0 && slot.text[static_cast<size_t>(n - 1)] == ' ') --n;
  return n;
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
