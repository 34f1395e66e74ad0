// The upper halves of the wide vector registers, cleared before the runtime's own code runs on.
//
// Some code under the window system (hand-written vector routines of the libraries Qt uses)
// returns with the upper halves of the 256-bit registers in use.  While they are, every SSE
// instruction of the interpreter and every call into the math library's AVX versions (sinf, expf,
// ...) pays a transition penalty: a program of SIN, COS, LOG and EXP ran three times slower.
// `vzeroupper` clears them; it costs a cycle, and code built without AVX keeps nothing there.
#pragma once

inline void qn_clear_vector_state() {
#if defined(__x86_64__) && !defined(__AVX__)
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) asm volatile("vzeroupper" ::: "memory");
#endif
}
