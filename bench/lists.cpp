// Loads a list file into list 1 of the list manager, sorts it and saves it: what a program does
// with LSTMGR's load, sort and save options.
//
//   bench_lists IN OUT [ROW_LENGTH]     (default row length 24)
//
// Exits non-zero when a step reports a status.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/screen/lists.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN OUT [ROW_LENGTH]\n", argv[0]);
    return 2;
  }
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  const int32_t row_length = argc > 3 ? std::atoi(argv[3]) : 24;
  int32_t status = 0;
  lst_load(3, argv[1], false, row_length, status);
  if (status != 0 || io_status > 0) {
    std::fprintf(stderr, "load: status %d, I/O status %d\n", status, io_status);
    return 1;
  }
  lst_sort(3);
  lst_save(3, argv[2], false, status);
  if (status != 0 || io_status > 0) {
    std::fprintf(stderr, "save: status %d, I/O status %d\n", status, io_status);
    return 1;
  }
  return 0;
}
