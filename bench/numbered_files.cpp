// Times print jobs and numbered plot files written into a folder, as a program's PRINT (in
// automatic mode, each job a PDF file named after the job) and PLOT (a folder name: numbered
// files "PLTF0001.PLT" ...) make them, with the folder holding EXISTING files beforehand: as many
// earlier PDF files of the job, as many earlier plot files (at most 9000) and as many other files.
//
//   bench_numbered_files DIRECTORY JOBS [EXISTING]
//
// Prints the milliseconds a print job took and the milliseconds a plot took, each averaged over
// JOBS, and the files of each kind in the folder afterwards.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"

namespace {

void touch(const std::filesystem::path& file) { std::ofstream(file, std::ios::binary) << "x"; }

// Milliseconds per call of `job`, called `n` times.
template <typename F>
double per_job_ms(int n, F job) {
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < n; ++k) job();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIRECTORY JOBS [EXISTING]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const int jobs = std::atoi(argv[2]);
  const int existing = argc > 3 ? std::atoi(argv[3]) : 0;
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  std::filesystem::create_directories(dir / "out");
  std::filesystem::current_path(dir);
  for (int k = 1; k <= existing; ++k) {
    char plot_name[32];
    std::snprintf(plot_name, sizeof plot_name, "PLTF%04d.PLT", k);
    touch(dir / "out" / (k == 1 ? std::string("Druckausgabe.pdf") : "Druckausgabe-" + std::to_string(k) + ".pdf"));
    if (k <= 9000) touch(dir / "out" / plot_name);
    touch(dir / "out" / ("other-" + std::to_string(k) + ".txt"));
  }
  std::ofstream("brief.frm", std::ios::binary) << "Rechnung\n";
  // No combo library here: the work file goes into the current directory.
  set_print_combo_source([](std::string_view) { return print_combo_entry{std::string(20, ' '), 1}; });
  ::setenv("WINKYR_PRINT_PDF", (dir / "out/").c_str(), 1);
  const double print_ms = per_job_ms(jobs, [] {
    u_gprint("brief", true, print_mode_printer);
    print_frm("", print_mode_end_job);
  });
  const double plot_ms = per_job_ms(jobs, [] {
    COMPS("out\\", 21.0f, 29.7f, 30, 1.0f);
    plot(1.0f, 1.0f, 3);
    plot(5.0f, 5.0f, 2);
    plot(0.0f, 0.0f, 999);
  });
  int pdfs = 0, plots = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
    const std::string name = entry.path().filename().string();
    pdfs += name.starts_with("Druckausgabe");
    plots += name.starts_with("PLTF");
  }
  std::printf("%.4f %.4f %d %d\n", print_ms, plot_ms, pdfs, plots);
  return io_status == 0 ? 0 : 1;
}
