// Times a plot of N line segments into a plot file, as a program's PLOT statements make it:
// the workstation opens on the device, every segment is a move and a draw of the pen, and pen
// 999 ends the plot (the file's end, complete on the disk).
//
//   bench_plot_files DEVICE FILE N DATA-DIR      (DEVICE 40 PostScript, 41 DXF, 43 PDF)
//
// The segments are the same pseudo-random ones as the reference script draws: point k is
// ((k * 37) mod 1000, (k * 91) mod 1000) in tenths of a millimetre on an A4 page.  Prints the
// seconds from the open to the complete file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s DEVICE FILE N DATA-DIR\n", argv[0]);
    return 2;
  }
  const int32_t device = std::atoi(argv[1]);
  const std::string file = argv[2];
  const long n = std::atol(argv[3]);
  std::string data = argv[4];
  if (data.empty() || data.back() != '/') data += '/';
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  plot_set_program_dir(data);

  auto point = [](long k, float& x, float& y) {
    x = static_cast<float>((k * 37) % 1000) * 0.02f;
    y = static_cast<float>((k * 91) % 1000) * 0.028f;
  };
  const auto start = std::chrono::steady_clock::now();
  set_plot_file(file);
  COMPS(file, 21.0f, 29.7f, device, 1.0f);
  for (long k = 0; k < n; ++k) {
    float x1, y1, x2, y2;
    point(2 * k, x1, y1);
    point(2 * k + 1, x2, y2);
    plot(x1, y1, 3);
    plot(x2, y2, 2);
  }
  plot(0.0f, 0.0f, 999);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", took.count());
  return io_status == 0 ? 0 : 1;
}
