// Times the interpreter on a counting loop: one expression line with an addition, a store and a
// comparison, a conditional jump out of the loop and a jump back, run N times.
//
//   bench_interpreter [N]          (default 10000000)
//
// Prints the number of commands run, the seconds and the commands per second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/core/core.h"
#include "runtime/core/interpreter.h"
#include "runtime/core/program_image.h"

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 10000000L;
  if (n < 1 || n > 2000000000L) {
    std::fprintf(stderr, "usage: %s [N]   (1 <= N <= 2000000000)\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  run_flags.auto_mode = true;
  run_flags.no_box = true;

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "winkyr-bench-interpreter";
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  {
    // 1: I := I + 1, then I < N;  2: JZ out;  3: JMP 1;  4: RETURN.
    std::ofstream pxb("LOOP.PXB", std::ios::binary);
    pxb << "[PROC]\nCSET=W\n[INIT]\nCODES=   4\nUPNCODES=1\nUPNTOKENS=10\nTEXTTOKENS=1\n"
           "TEXTCHARACTERS=10\nVARIABLES=2\nSTRINGSPACE=10\nADRSPACE=2\n"
           "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n"
           "[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _<\n[TEXTTOKENS]\n@0001 x|\n"
           "[CODES]\n%0001\nJZ :0004\nJMP :0001\nRETURN\n";
  }
  try {
    create_main_window();
    load_program("LOOP.PXB");
    set_int_variable("N", static_cast<int32_t>(n));
    const auto start = std::chrono::steady_clock::now();
    interpreter(1);
    const auto stop = std::chrono::steady_clock::now();
    const int32_t done = get_int_variable("I");
    if (done != n) {
      std::fprintf(stderr, "the loop stopped at %d of %ld\n", done, n);
      return 1;
    }
    const double seconds = std::chrono::duration<double>(stop - start).count();
    const double commands = 3.0 * static_cast<double>(n) + 1.0;
    std::printf("%.0f %.6f %.0f\n", commands, seconds, commands / seconds);
  } catch (const program_end& e) {
    std::fprintf(stderr, "the program ended with code %d (see %s/PXBERROR.LOG)\n", e.code, dir.c_str());
    return 1;
  }
  return 0;
}
