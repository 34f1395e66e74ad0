// The upper halves of the wide vector registers, cleared before the runtime's own code runs on.
//
// Some code under the window system (hand-written vector routines of the libraries Qt uses)
// returns with the upper halves of the 256-bit registers in use.  While they are, every SSE
// instruction of the interpreter and every call into the math library's AVX versions (sinf, expf,
// ...) pays a transition penalty: a program of SIN, COS, LOG and EXP ran three times slower.
// `vzeroupper` clears them; it costs a cycle, and code built without AVX keeps nothing there.
#pragma once

#if defined(__x86_64__) && !defined(__AVX__)
#include <cpuid.h>

// Whether the processor has AVX and the system keeps its state (CPUID leaf 1: OSXSAVE and AVX;
// XCR0: the SSE and AVX state bits).  Asked on first use only: the compiler's own check runs at
// every process start and asks for a dozen CPUID leaves, each a trap to the hypervisor on a
// virtual machine.
inline bool qn_has_avx() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
  unsigned low = 0, high = 0;
  asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 6u) == 6u;
}
#endif

inline void qn_clear_vector_state() {
#if defined(__x86_64__) && !defined(__AVX__)
  static const bool has_avx = qn_has_avx();
  if (has_avx) asm volatile("vzeroupper" ::: "memory");
#endif
}
