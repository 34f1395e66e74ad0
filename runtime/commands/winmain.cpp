// Process entry of the runtime: flush-to-zero, the library's start, qn_main and its status.
#include "runtime/commands/runtime.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

int main(int argc, char** argv) {
#if defined(__SSE__) || defined(__x86_64__)
  // Denormal results become zero for the whole run (the flush-to-zero bit of MXCSR).
  _mm_setcsr(_mm_getcsr() | 0x8000);
#endif
  qn_start_process();
  return qn_main(program_argument(argc, argv));
}
