// The numeric family's functions of one and two arguments as computations on floats, in single
// precision: the library entry (eval_numeric.cpp) and the operations of an expression run in line
// (expression/line_ops.h) both compute them here.  None of them reports: a zero divisor of MOD
// gives 0, SQRT of 0 or less gives 0, and the others give what the single-precision function
// gives (LOG of a negative number and ACOS of 1.5 are NaN).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "runtime/program/program.h"
#include "runtime/program/upn_store.h"

// Pi one unit in the last place below the float nearest to it (bits 40490FDA), as the angle
// conversions have always used it.
inline constexpr float angle_pi = 3.1415925f;
static_assert(std::bit_cast<uint32_t>(angle_pi) == 0x40490FDAu);

// True for the functions of one argument that numeric_one computes (all of the family but RND
// with fewer than two), and for those of two that numeric_two computes.
constexpr bool is_numeric_one(int32_t code) {
  switch (code) {
    case upn_chs: case upn_sin: case upn_cos: case upn_tan: case upn_cot: case upn_atan: case upn_sqrt:
    case upn_acos: case upn_abs: case upn_nint: case upn_not: case upn_log: case upn_exp: case upn_rad:
    case upn_deg:
      return true;
    default:
      return false;
  }
}
constexpr bool is_numeric_two(int32_t code) {
  switch (code) {
    case upn_min: case upn_max: case upn_mod: case upn_atan2: case upn_iand: case upn_ior: case upn_ixor:
    case upn_and: case upn_or: case upn_xor: case upn_eqv:
      return true;
    default:
      return false;
  }
}

namespace numeric_functions_detail {
inline float truth(bool b) { return b ? 1.0f : 0.0f; }
// NINT as a float without the 32-bit limit: halves away from zero; NaN gives 0.
inline float nint_float(float v) { return std::isnan(v) ? 0.0f : std::round(v); }
// ACOS: NaN for an argument clearly outside -1..1 (as the single-precision function gives);
// an overshoot of a few units in the last place, as a rounded cosine may have, is taken as
// +-1; a NaN argument gives 0.
inline float acos_float(float v) {
  if (std::isnan(v)) return 0.0f;
  constexpr float overshoot = 1.000001f;  // 8 units in the last place above 1
  if (std::fabs(v) > overshoot) return std::numeric_limits<float>::quiet_NaN();
  return std::acos(std::fmax(-1.0f, std::fmin(1.0f, v)));
}
}  // namespace numeric_functions_detail

// Function `code` (is_numeric_one) of v.  (Inline: with a constant code only its own case is left.)
[[gnu::always_inline]] inline float numeric_one(int32_t code, float v) {
  using namespace numeric_functions_detail;
  switch (code) {
    case upn_chs: return 0.0f - v;
    case upn_sin: return std::sin(v);
    case upn_cos: return std::cos(v);
    case upn_tan: return std::tan(v);
    case upn_cot: {
      const float t = std::tan(v);
      return t == 0.0f ? 0.0f : 1.0f / t;
    }
    case upn_atan: return std::atan(v);
    case upn_sqrt: return v > 0.0f ? std::sqrt(v) : 0.0f;  // 0 outside
    case upn_acos: return acos_float(v);
    case upn_abs: return std::fabs(v);
    case upn_nint: return nint_float(v);
    case upn_not: return truth(nint(v) == 0);
    case upn_log: return std::log(v);
    case upn_exp: return std::exp(v);
    case upn_rad: return v / 180.0f * angle_pi;
    case upn_deg: return v * 180.0f / angle_pi;
    default: return 0.0f;
  }
}

// Function `code` (is_numeric_two) of a (the first argument) and b.
[[gnu::always_inline]] inline float numeric_two(int32_t code, float a, float b) {
  using namespace numeric_functions_detail;
  switch (code) {
    case upn_min: return b < a ? b : a;
    case upn_max: return b > a ? b : a;
    case upn_mod: {  // a zero divisor gives 0
      if (b == 0.0f) return 0.0f;
      const float r = a - b * std::trunc(a / b);
      return r < 0.0f ? r + b : r;
    }
    case upn_atan2: return std::atan2(a, b);
    case upn_iand: return static_cast<float>(nint(a) & nint(b));
    case upn_ior: return static_cast<float>(nint(a) | nint(b));
    case upn_ixor: return static_cast<float>(nint(a) ^ nint(b));
    case upn_and: return truth(a != 0.0f && b != 0.0f);
    case upn_or: return truth(a != 0.0f || b != 0.0f);
    case upn_xor: return truth((a != 0.0f) != (b != 0.0f));
    case upn_eqv: return truth((a != 0.0f) == (b != 0.0f));
    default: return 0.0f;
  }
}
