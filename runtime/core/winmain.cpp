// Process entry of the runtime: flush-to-zero, the command buffer, qn_main.
#include "runtime/core/core.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

int main(int argc, char** argv) {
#if defined(__SSE__) || defined(__x86_64__)
  // Denormal results become zero for the whole run (the flush-to-zero bit of MXCSR).
  _mm_setcsr(_mm_getcsr() | 0x8000);
#endif
  qn_main(command_buffer_from_args(argc, argv));
  return 0;
}
