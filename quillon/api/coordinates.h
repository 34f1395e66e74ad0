// Pixel coordinates made from a program's operands.  A program may give any 32-bit integer as a
// position, a width or an offset; their sums are taken in 64 bits and brought back into
// -coordinate_limit..coordinate_limit.  That range lies far beyond any surface the library draws
// on (its largest bitmap has 2^26 pixels), so the picture is the same, and sums and differences
// of a few coordinates kept in it (an edge plus a width, x2 - x1, a frame's inset) stay within
// 32 bits wherever they are taken afterwards.
#pragma once

#include <algorithm>
#include <cstdint>

#include "quillon/api/quillon.h"

inline constexpr int32_t coordinate_limit = 1 << 29;

// A wide coordinate within the range.
constexpr int32_t px_clamp(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -coordinate_limit, coordinate_limit));
}
// The sum of coordinates, widths and offsets, within the range.
template <class... T>
constexpr int32_t px_sum(T... terms) {
  return px_clamp((int64_t{0} + ... + int64_t{terms}));
}
// a - b within the range.
constexpr int32_t px_diff(int64_t a, int64_t b) { return px_clamp(a - b); }
// A point given in pixels, within the range.
constexpr qn_point px_point(int64_t x, int64_t y) { return {px_clamp(x), px_clamp(y)}; }
// A point moved by offsets, within the range.
constexpr qn_point px_offset(qn_point p, int64_t dx, int64_t dy) { return {px_sum(p.x, dx), px_sum(p.y, dy)}; }

// The part of from..to (rows, or with `columns` columns; empty when to < from) that a line drawn
// on the context with its pen can reach: the surface widened by the pen's width.  A figure drawn
// line by line visits only these, however far it reaches beyond the surface.
struct qn_span {
  int32_t first = 0, last = -1;  // inclusive; first > last when nothing is reached
};
qn_span qn_reachable_span(ups& u, int32_t from, int32_t to, bool columns = false, int* status = nullptr);
