// The test of JZ and JNZ, shared by their handlers and the interpreter loop, which runs the
// jumps itself while their handlers are the built-in ones.
#pragma once

#include <cmath>

#include "runtime/program/expression/evaluator.h"

// Whether NINT(P1), the value the previous command left, is 0.  With halves rounded away from
// zero and NaN taken as 0, that is exactly |P1| < 0.5 or NaN, tested without the rounding.
inline bool p1_rounds_to_zero() { return !(std::fabs(param_registers[1]) >= 0.5f); }
