// Prints a form of PAGES pages (60 invoice lines each, pages broken by form feeds) through the
// print engine into a PDF file, as a program's PRINT does it in automatic mode, and times it.
//
//   bench_print DIRECTORY [PAGES]
//
// Writes DIRECTORY/liste.frm, the same text as DIRECTORY/liste.txt for a reference typesetter,
// and DIRECTORY/winkyr.pdf; prints the pages, the seconds the print took and the PDF's size.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/output/print/print.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY [PAGES]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const int pages = argc > 2 ? std::atoi(argv[2]) : 50;
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  {
    std::ofstream form("liste.frm", std::ios::binary), text("liste.txt", std::ios::binary);
    for (int page = 1; page <= pages; ++page) {
      if (page > 1) {
        form << "\f\n";
        text << "\f";
      }
      for (int line = 1; line <= 60; ++line) {
        char row[96];
        std::snprintf(row, sizeof row, "%4d  Artikel %05d  Schrauben M%d x %2d mm   %3d St.  %8d,%02d EUR",
                      (page - 1) * 60 + line, page * 100 + line, 3 + line % 8, 10 + line % 40, line % 17 + 1,
                      page * 37 + line * 11, line % 100);
        form << row << '\n';
        text << row << '\n';
      }
    }
  }
  // No combo library here: the work file goes into the current directory.
  set_print_combo_source([](std::string_view) { return print_combo_entry{std::string(20, ' '), 1}; });
  const std::string pdf = (std::filesystem::current_path() / "winkyr.pdf").string();
  std::filesystem::remove(pdf);
  ::setenv("WINKYR_PRINT_PDF", pdf.c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  u_gprint("liste", true, print_mode_printer);
  print_frm("", print_mode_end_job);
  const auto stop = std::chrono::steady_clock::now();
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(pdf, ec);
  std::printf("%d %.6f %llu\n", pages, std::chrono::duration<double>(stop - start).count(),
              static_cast<unsigned long long>(ec ? 0 : bytes));
  return ec ? 1 : 0;
}
