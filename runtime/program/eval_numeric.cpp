// Numeric library functions: arithmetic, trigonometry, integer and logical operations, and the
// random-number generator of RND. All in single precision.
#include <cmath>
#include <cstdint>
#include <limits>

#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"
#include "runtime/program/numeric_functions.h"

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

}  // namespace

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
  if (!is_numeric_one(code)) return false;
  const float r = numeric_one(code, top.value());
  if (code == upn_nint)
    top.set_value(r);  // NINT keeps the type word
  else
    top.set_number(r);
  return true;
}

bool numeric_function_two(int32_t code, float a, float b, float& result) {
  result = is_numeric_two(code) ? numeric_two(code, a, b) : 0.0f;
  return is_numeric_two(code);
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
