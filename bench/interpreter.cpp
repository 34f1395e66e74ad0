// Runs one of the interpreter's benchmark programs whole and prints what it computed, so that
// bench/interpreter.sh can time it against its Lua twin and compare the results.
//
//   bench_interpreter KIND [N]
//
// KIND is one of
//   loop    N iterations of "I = I + 1; if I < N goto" in one expression line (default 10000000)
//   lines   the same with "I = I + 1" and "I < N" on expression lines of their own (default 10000000)
//   calls   N CALLs of a subroutine that reads two arguments with ARG and takes MOD of their
//           product (default 3000000)
//   arrays  N passes of filling 1000 integer array elements and summing them (default 5000)
//   texts   N rounds of STRING, TRIM, concatenation, UPCASE, INDEX, substring and LEN (default 200000)
//   floats  N rounds of SIN, COS, SQRT, LOG and EXP (default 3000000)
//   cut     N rounds of text stores, a range store, a join, TRIM and a text array element's store
//           and read after one cut text was stored (default 300000)
//   whole   the same after a whole text (default 300000)
//   spin    N commands of a handler that only jumps back (default 20000000)
// and the output is the seconds the run took, then the program's results.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/field_output.h"

namespace {

struct bench_program {
  const char* kind;
  long default_n;
  const char* pxb;      // the program; the loop bound is the variable N
  const char* results;  // variables printed after the run, by name
};

// The program of the kinds "cut" and "whole": STORE_Z is the store into Z before the loop.
#define CUT_TEXT_LOOP(STORE_Z)                                                                                     \
  "[PROC]\nCSET=W\n[INIT]\nCODES=   4\nUPNCODES=2\nUPNTOKENS=80\nTEXTTOKENS=5\n"                             \
  "TEXTCHARACTERS=40\nVARIABLES=10\nSTRINGSPACE=900\nADRSPACE=10\n"                                           \
  "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 S 0001*300:Z\n&0004 S 0001*200:ZA\n"               \
  "&0005 S 0001*100:ZB\n&0006 S 0001*032:T\n&0007 S 0001*032:U\n&0008 S 0010*016:W\n&0009 I 0001:C/0\n"      \
  "&0010 I 0001:K/0\n"                                                                                          \
  "[UPNCODES]\n@4 _ALL &4 __STO @5 _ALL &5 __STO " STORE_Z "\n"                                                \
  "@1 &6 __STO @2 #1 #5 _: &6 __STO &6 _TRIM @3 _// &7 __STO &1 #10 _MOD #1 _+ &10 __STO "                      \
  "&7 &10 %8 __STO &10 %8 &7 __STO &9 &7 _LEN _+ &9 __STO &1 #1 _+ &1 __STO &1 &2 _<\n"                         \
  "[TEXTTOKENS]\n@0001 hello-world|\n@0002 HELLO|\n@0003 -x|\n@0004 a|\n@0005 b|\n"                         \
  "[CODES]\n%0001\n%0002\nJNZ :0002\nRETURN\n"

// Every program counts I up to N; the results are the variables it leaves behind.
constexpr bench_program programs[] = {
    {"loop", 10000000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   4\nUPNCODES=1\nUPNTOKENS=10\nTEXTTOKENS=1\n"
     "TEXTCHARACTERS=10\nVARIABLES=2\nSTRINGSPACE=10\nADRSPACE=2\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n"
     "[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _<\n[TEXTTOKENS]\n@0001 x|\n"
     "[CODES]\n%0001\nJZ :0004\nJMP :0001\nRETURN\n",
     "I"},
    // I = I + 1 and I < N as two expression lines, JNZ back: the loop most programs write.
    {"lines", 10000000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   4\nUPNCODES=2\nUPNTOKENS=10\nTEXTTOKENS=1\n"
     "TEXTCHARACTERS=10\nVARIABLES=2\nSTRINGSPACE=10\nADRSPACE=2\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n"
     "[UPNCODES]\n&1 #1 _+ &1 __STO\n&1 &2 _<\n[TEXTTOKENS]\n@0001 x|\n"
     "[CODES]\n%0001\n%0002\nJNZ :0001\nRETURN\n",
     "I"},
    // R = R + MOD(ARG(1) * ARG(2), 10) with the arguments I and 3: a subroutine that calls a
    // numeric function, as business programs do (3 * I stays exact in single precision).
    {"calls", 3000000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   6\nUPNCODES=3\nUPNTOKENS=30\nTEXTTOKENS=1\n"
     "TEXTCHARACTERS=10\nVARIABLES=3\nSTRINGSPACE=10\nADRSPACE=3\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 I 0001:R/0\n"
     "[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _<\n&1 #3\n&3 #1 _ARG #2 _ARG _* #10 _MOD _+ &3 __STO\n"
     "[TEXTTOKENS]\n@0001 x|\n"
     "[CODES]\nCALL :0005 %0002\n%0001\nJNZ :0001\nRETURN\n%0003\nRETURN\n",
     "I R"},
    // Each pass: A(J) = J + I for J = 1..1000, then T = the sum of A(1..1000); the element
    // number comes from the stack ("&j %a"), in the stores and in the reads.
    {"arrays", 5000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   9\nUPNCODES=5\nUPNTOKENS=80\nTEXTTOKENS=1\n"
     "TEXTCHARACTERS=10\nVARIABLES=5\nSTRINGSPACE=10\nADRSPACE=1010\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 I 0001:J/0\n&0004 I 0001:T/0\n"
     "&0005 I 1000:A\n"
     "[UPNCODES]\n#0 &3 __STO #0 &4 __STO &1 #1 _+ &1 __STO\n"
     "&3 #1 _+ &3 __STO &3 &1 _+ &3 %5 __STO &3 #1000 _<\n"
     "#0 &3 __STO\n"
     "&3 #1 _+ &3 __STO &4 &3 %5 _+ &4 __STO &3 #1000 _<\n"
     "&1 &2 _<\n"
     "[TEXTTOKENS]\n@0001 x|\n"
     "[CODES]\n%0001\n%0002\nJNZ :0002\n%0003\n%0004\nJNZ :0005\n%0005\nJNZ :0001\nRETURN\n",
     "I T"},
    // Each round: T = TRIM(STRING(I, "I8")) // "-hello-world", U = UPCASE(T), P = INDEX(U, "WORLD"),
    // V = U(P:P+4), C = C + LEN(V) + LEN(TRIM(T)).
    {"texts", 200000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   3\nUPNCODES=1\nUPNTOKENS=80\nTEXTTOKENS=3\n"
     "TEXTCHARACTERS=40\nVARIABLES=7\nSTRINGSPACE=200\nADRSPACE=10\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 S 0001*032:T\n&0004 S 0001*032:U\n"
     "&0005 I 0001:P/0\n&0006 S 0001*008:V\n&0007 I 0001:C/0\n"
     "[UPNCODES]\n&1 @2 _STRING _TRIM @1 _// &3 __STO &3 _UPCASE &4 __STO &4 @3 _INDEX &5 __STO "
     "&5 &5 #4 _+ _: &4 &6 __STO &7 &6 _LEN _+ &3 _TRIM _LEN _+ &7 __STO &1 #1 _+ &1 __STO &1 &2 _<\n"
     "[TEXTTOKENS]\n@0001 -hello-world|\n@0002 I8|\n@0003 WORLD|\n"
     "[CODES]\n%0001\nJNZ :0001\nRETURN\n",
     "I P C T V"},
    // A loop of text stores and reads after one cut text was stored, and the same loop after a
    // whole text: the mark of the one cut text must cost the loop nothing.  Once: ZA = ALL("a")
    // (200 characters), ZB = ALL("b") (100), then Z (300 characters) = ZA // ZB, which loses the
    // "b"s past 256 and is stored cut ("cut"), or Z = ZA ("whole").  Each round: T = "hello-world",
    // T[1:5] = "HELLO", U = TRIM(T) // "-x", K = MOD(I, 10) + 1, W(K) = U, U = W(K),
    // C = C + LEN(U).
    {"cut", 300000L, CUT_TEXT_LOOP("&4 &5 _// &3 __STO"), "I C U"},
    {"whole", 300000L, CUT_TEXT_LOOP("&4 &3 __STO"), "I C U"},
    // Each round: Y = I / N + 0.5, R = SIN(Y) + COS(Y) + SQRT(Y) + LOG(Y) + EXP(-Y), M = MAX(M, R).
    {"floats", 3000000L,
     "[PROC]\nCSET=W\n[INIT]\nCODES=   3\nUPNCODES=1\nUPNTOKENS=60\nTEXTTOKENS=1\n"
     "TEXTCHARACTERS=10\nVARIABLES=5\nSTRINGSPACE=10\nADRSPACE=5\n"
     "[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:N/0\n&0003 R 0001:Y\n&0004 R 0001:R\n"
     "&0005 R 0001:M\n"
     "[UPNCODES]\n&1 #1 _+ &1 __STO &1 &2 _/ #0.5 _+ &3 __STO &3 _SIN &3 _COS _+ &3 _SQRT _+ "
     "&3 _LOG _+ #0 &3 _- _EXP _+ &4 __STO &5 &4 _MAX &5 __STO &1 &2 _<\n"
     "[TEXTTOKENS]\n@0001 x|\n"
     "[CODES]\n%0001\nJNZ :0001\nRETURN\n",
     "I Y R M"},
};

void print_variable(std::string_view name) {
  std::string n(name);
  switch (variable_type_by_name(n)) {
    case var_real: std::printf(" %s=%.9g", n.c_str(), static_cast<double>(get_real_variable(n))); break;
    case var_text: {
      std::string text(64, ' ');
      format_var_by_name(n, 1);
      get_input_text(text.data(), static_cast<int32_t>(text.size()));
      std::printf(" %s=%s", n.c_str(), std::string(blank_trimmed(text)).c_str());
      break;
    }
    default: std::printf(" %s=%d", n.c_str(), get_int_variable(n)); break;
  }
}

// The interpreter's own fetch loop on a handler that only jumps back: commands per second of
// the loop without any expression.
int spin(long n) {
  static long remaining = 0;
  remaining = n;
  set_command_handler(8, [](code_record&) {
    if (--remaining > 0) call_state.pc = 1;
  });
  program_image.codes.assign(3, code_record{});
  program_image.codes[1].opcode = 8;
  program_image.codes[2].opcode = 3;
  program_image.code_count = 2;
  const auto start = std::chrono::steady_clock::now();
  interpreter(1);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.6f commands=%ld per_second=%.0f\n", seconds, n, static_cast<double>(n) / seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view kind = argc > 1 ? argv[1] : "loop";
  const bench_program* program = nullptr;
  for (const auto& p : programs)
    if (kind == p.kind) program = &p;
  const long n = argc > 2 ? std::atol(argv[2]) : program ? program->default_n : 20000000L;
  if ((program == nullptr && kind != "spin") || n < 1 || n > 2000000000L) {
    std::fprintf(stderr, "usage: %s loop|lines|calls|arrays|texts|floats|cut|whole|spin [N]   (1 <= N <= 2000000000)\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  run_flags.auto_mode = true;
  run_flags.no_box = true;

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("winkyr-bench-" + std::string(kind) + "-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  int status = 0;
  try {
    create_main_window();
    if (program == nullptr) {
      status = spin(n);
    } else {
      std::ofstream("BENCH.PXB", std::ios::binary) << program->pxb;
      load_program("BENCH.PXB");
      set_int_variable("N", static_cast<int32_t>(n));
      const auto start = std::chrono::steady_clock::now();
      interpreter(1);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("%.6f", seconds);
      std::string names = program->results;
      for (size_t at = 0; at < names.size();) {
        const size_t end = std::min(names.find(' ', at), names.size());
        print_variable(std::string_view(names).substr(at, end - at));
        at = end + 1;
      }
      std::printf("\n");
    }
  } catch (const program_end& e) {
    std::fprintf(stderr, "the program ended with code %d (see %s/PXBERROR.LOG)\n", e.code, dir.c_str());
    status = 1;
  }
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  if (status == 0) std::filesystem::remove_all(dir);
  return status;
}
