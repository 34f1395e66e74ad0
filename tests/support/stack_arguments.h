// Function arguments pushed onto the evaluator's value stack as the evaluator itself leaves them,
// for tests that run a library function by hand.
#pragma once

#include <algorithm>
#include <string_view>

#include "runtime/program/expression/evaluator.h"

inline void push_number_argument(float v) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  s.clear();
  s.set_number(v);
}

inline void push_text_argument(std::string_view t) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  s.clear();
  s.text.fill(' ');
  std::copy_n(t.begin(), std::min(t.size(), s.text.size()), s.text.begin());
  s.type = static_cast<int32_t>(t.size());
  s.set_value(static_cast<float>(t.size()));
}
