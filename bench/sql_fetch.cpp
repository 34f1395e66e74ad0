// Times one SELECT and the fetch of all its rows into program variables through the SQL
// command, as a program does it: a small program with the variables K, NAME and VALUE is
// loaded, and its SQL command records (connect, select, fetch with assign) are run directly.
//
//   bench_sql_fetch CONNECTION-TEXT TABLE
//
// Prints the number of rows and the seconds the select and fetch took; the split between the
// two goes to the error output.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/program_image.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CONNECTION-TEXT TABLE\n", argv[0]);
    return 2;
  }
  const std::string connection = argv[1];
  const std::string table = argv[2];
  run_flags.auto_mode = true;
  run_flags.no_box = true;

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "winkyr-bench-sql";
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  {
    std::ofstream pxb("BENCH.PXB", std::ios::binary);
    pxb << "[PROC]\nCSET=W\n[INIT]\nCODES=   3\nUPNCODES=1\nUPNTOKENS=1\nTEXTTOKENS=2\n"
           "TEXTCHARACTERS=400\nVARIABLES=3\nSTRINGSPACE=40\nADRSPACE=2\n"
           "[VARIABLES]\n&0001 I 0001:K/\n&0002 S 0001*040:NAME/\n&0003 R 0001:VALUE/\n"
           "[UPNCODES]\n#0\n[TEXTTOKENS]\n"
        << "@0001 " << connection << "|\n"
        << "@0002 SELECT k, name, value FROM " << table << ";|\n"
        << "[CODES]\n/00000001 SQL %0001 @0001\n/00001000 SQL %0001 @0002\n"
           "/00002001 SQL %0001\n";
  }
  try {
    load_program("BENCH.PXB");
    cmd_SQL(program_image.codes[1]);
    if (io_status != 0) {
      std::fprintf(stderr, "connect failed: status %d\n", io_status);
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    cmd_SQL(program_image.codes[2]);
    const auto stored = std::chrono::steady_clock::now();
    long rows = 0;
    for (;;) {
      cmd_SQL(program_image.codes[3]);
      if (io_status != 0) break;
      ++rows;
    }
    const auto stop = std::chrono::steady_clock::now();
    std::printf("%ld %.6f\n", rows, std::chrono::duration<double>(stop - start).count());
    // The split, for profiling: the statement with its stored result, then the fetch loop.
    std::fprintf(stderr, "select and store %.6f s, fetch into variables %.6f s\n",
                 std::chrono::duration<double>(stored - start).count(),
                 std::chrono::duration<double>(stop - stored).count());
  } catch (const program_end& e) {
    std::fprintf(stderr, "the program ended with code %d (see %s/PXBERROR.LOG)\n", e.code,
                 dir.c_str());
    return 1;
  }
  return 0;
}
