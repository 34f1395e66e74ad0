// Numeric library functions: arithmetic, trigonometry, integer and logical operations, and the
// random-number generator of RND. All in single precision.
#include <cmath>
#include <cstdint>
#include <limits>

#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"

namespace {

// The two states of the combined generator.
struct random_state_t {
  int32_t s1 = 2147483562;
  int32_t s2 = 2147483398;
};
random_state_t random_state;

constexpr int32_t m1 = 2147483563, m2 = 2147483399;

// A seed word becomes a state in 1 .. bound - 1.
int32_t seed_state(uint32_t m, uint32_t zero_state, uint32_t bound, uint32_t addend) {
  if (m == 0) return static_cast<int32_t>(zero_state);
  if (m < bound) return static_cast<int32_t>(m);
  if (m - zero_state < bound) return static_cast<int32_t>(m - zero_state);
  return static_cast<int32_t>(m + addend);  // modulo 2^32
}

// Pi one unit in the last place below the float nearest to it (bits 40490FDA), as the angle
// conversions have always used it.
constexpr float pi_rad = 3.1415925f;

float bool_value(bool b) { return b ? 1.0f : 0.0f; }

// NINT as a float without the 32-bit limit: halves away from zero; NaN gives 0.
float nint_float(float v) { return std::isnan(v) ? 0.0f : std::round(v); }

}  // namespace

static_assert(std::bit_cast<uint32_t>(pi_rad) == 0x40490FDAu);

void seed_random(uint32_t first_word, uint32_t second_word) {
  random_state.s1 = seed_state(first_word, 2147483562u, 2147483563u, 172u);
  random_state.s2 = seed_state(second_word, 2147483398u, 2147483399u, 500u);
}

void random_reset() { random_state = random_state_t{}; }

float random_next() {
  random_state_t& r = random_state;
  // Schrage's method keeps every product inside 32 bits.
  int32_t k = r.s1 / 53668;
  r.s1 = 40014 * (r.s1 - k * 53668) - k * 12211;
  if (r.s1 < 0) r.s1 += m1;
  k = r.s2 / 52774;
  r.s2 = 40692 * (r.s2 - k * 52774) - k * 3791;
  if (r.s2 < 0) r.s2 += m2;
  int32_t z = r.s1 - r.s2;
  if (z < 1) z += m1 - 1;
  // The product is rounded to single precision once; the largest z gives 0.99999994, so 1.0
  // never comes out (a float z would round up to 2^31 and give 1.0).
  float v = static_cast<float>(static_cast<double>(z) * 4.656613e-10);
  if (!(v < 1.0f)) v = std::nextafter(1.0f, 0.0f);
  return v;
}

bool numeric_function_one(int32_t code, value_slot& top) {
  const float v = top.value();
  switch (code) {
    case upn_chs: top.set_number(0.0f - v); return true;  // CHS
    case upn_sin: top.set_number(std::sin(v)); return true;
    case upn_cos: top.set_number(std::cos(v)); return true;
    case upn_tan: top.set_number(std::tan(v)); return true;
    case upn_cot: {  // COT
      const float t = std::tan(v);
      top.set_number(t == 0.0f ? 0.0f : 1.0f / t);
      return true;
    }
    case upn_atan: top.set_number(std::atan(v)); return true;
    case upn_sqrt: top.set_number(v > 0.0f ? std::sqrt(v) : 0.0f); return true;  // SQRT: 0 outside
    case upn_acos:  // ACOS: arguments past +-1 (rounding) are taken as +-1; NaN gives 0
      top.set_number(std::isnan(v) ? 0.0f : std::acos(std::fmax(-1.0f, std::fmin(1.0f, v))));
      return true;
    case upn_abs: top.set_number(std::fabs(v)); return true;  // ABS
    case upn_nint: top.set_value(nint_float(v)); return true;  // NINT keeps the type word
    case upn_not: top.set_number(bool_value(nint(v) == 0)); return true;  // NOT
    case upn_log: top.set_number(std::log(v)); return true;
    case upn_exp: top.set_number(std::exp(v)); return true;
    case upn_rad: top.set_number(v / 180.0f * pi_rad); return true;  // RAD
    case upn_deg: top.set_number(v * 180.0f / pi_rad); return true;  // DEG
    default: return false;
  }
}

bool numeric_function_two(int32_t code, float a, float b, float& result) {
  result = 0.0f;
  switch (code) {
    case upn_min: result = b < a ? b : a; return true;  // MIN
    case upn_max: result = b > a ? b : a; return true;  // MAX
    case upn_mod: {  // MOD; a zero divisor gives 0
      if (b == 0.0f) return true;
      const float r = a - b * std::trunc(a / b);
      result = r < 0.0f ? r + b : r;
      return true;
    }
    case upn_atan2: result = std::atan2(a, b); return true;
    case upn_iand: result = static_cast<float>(nint(a) & nint(b)); return true;
    case upn_ior: result = static_cast<float>(nint(a) | nint(b)); return true;
    case upn_ixor: result = static_cast<float>(nint(a) ^ nint(b)); return true;
    case upn_and: result = bool_value(a != 0.0f && b != 0.0f); return true;     // AND
    case upn_or: result = bool_value(a != 0.0f || b != 0.0f); return true;     // OR
    case upn_xor: result = bool_value((a != 0.0f) != (b != 0.0f)); return true; // XOR
    case upn_eqv: result = bool_value((a != 0.0f) == (b != 0.0f)); return true; // EQV
    default: return false;
  }
}

bool eval_numeric_function(int32_t code) {
  if (code == upn_rnd) {  // RND
    push_number(random_next());
    return true;
  }
  if (numeric_function_one(code, evaluator.top())) return true;
  // Two arguments: a in slot sp-1, b on top.
  value_slot& first = evaluator.slot(evaluator.sp - 1);
  float result = 0.0f;
  if (!numeric_function_two(code, first.value(), evaluator.top().value(), result)) return false;
  first.set_number(result);
  pop_to_first_argument();
  return true;
}
