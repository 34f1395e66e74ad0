// Flag-word helpers and colour values of the interface module.
#include "quillon/api/quillon.h"

#include <algorithm>

int32_t ADD_BIT_3(int32_t a, int32_t b, int32_t c) { return a | b | c; }
int32_t ADD_BIT_5(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) { return a | b | c | d | e; }
int32_t ADD_BIT_6(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f) {
  return a | b | c | d | e | f;
}
bool BIT_IS_SET(int32_t word, int32_t bit) { return (word & bit) != 0; }

// On a true-colour display the nearest palette colour is the colour itself, so the exact and
// palette-index arguments change nothing.
uint32_t RGB(int32_t red, int32_t green, int32_t blue, std::optional<bool> exact,
             std::optional<int32_t> palette_index) {
  const auto c = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
  return c(red) | (c(green) << 8) | (c(blue) << 16);
}
