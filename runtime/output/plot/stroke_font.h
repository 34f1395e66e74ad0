// The built-in stroke font of plot text (see stroke_font.cpp for the table's form).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct stroke_font_t {
  std::vector<int8_t> pen, dx, dy;
};
const stroke_font_t& stroke_font();
// Index of the header entry of the character's glyph; the first glyph (A) when it has none.
size_t stroke_glyph(char c);
