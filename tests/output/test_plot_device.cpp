// The device layer and the workstation open: the plot-file writer's byte count, file naming
// and numbering, the device chosen by the extension, and the failures of the open.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/file_size_limit.h"
#include "test_plot_fixture.h"

#include <QImage>
#include <QWidget>

#include "quillon/backend/backend.h"

namespace {

using plot_device = plot_test;

TEST_F(plot_device, WriterCountsEveryByteAndWritesNothingForZeroOrWithoutFile) {
  plot_write_lf("abc", 3);  // no file open: nothing, no count
  EXPECT_EQ(plot_byte_count(), 0);
  open("w.plt", 30);
  const int32_t start = plot_byte_count();
  const size_t size = file_text("w.plt").size();
  plot_write_lf("xyz", 0);
  EXPECT_EQ(plot_byte_count(), start);
  EXPECT_EQ(file_text("w.plt").size(), size);
  plot_write_crlf("12345", 5);
  EXPECT_EQ(plot_byte_count(), start + 7);
  plot_write("abcdef", 4);
  EXPECT_EQ(plot_byte_count(), start + 11);
  EXPECT_EQ(tail("w.plt", size), "12345\r\nabcd");
}

TEST_F(plot_device, SetContextMakesScreenDeviceInPixels) {
  const int32_t bitmap = CREATE_BITMAP(50, 40);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  plot_state.origin_x = 3;
  plot_state.rotated = true;
  plot_set_context(u);
  EXPECT_EQ(get_plot_device(), 0);
  EXPECT_FALSE(get_plot_ended());
  EXPECT_FLOAT_EQ(plot_state.xfac, 1.0f);
  EXPECT_FLOAT_EQ(plot_state.yfac, -1.0f);
  EXPECT_FLOAT_EQ(plot_state.origin_x, 0.0f);
  EXPECT_FALSE(plot_state.rotated);
  END_BITMAP_DRAW(u);
}

TEST_F(plot_device, BlankNameNumbersFilesInCurrentDirectory) {
  open("", 30);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), ".\\PLTF0001.PLT");
  plot(0, 0, 999);
  EXPECT_TRUE(std::filesystem::exists(dir / "PLTF0001.PLT"));
  open("", 30);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), ".\\PLTF0002.PLT");
  plot(0, 0, 999);
}

TEST_F(plot_device, DirectoryNameSkipsExistingFilesAndStaysInForce) {
  std::filesystem::create_directories(dir / "out");
  std::ofstream(dir / "out" / "PLTF0001.EPS") << "x";
  std::ofstream(dir / "out" / "PLTF0002.EPS") << "x";
  set_plot_file("out\\");
  open("ignored", 40);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "out\\PLTF0003.EPS");
  plot(0, 0, 999);
  open("other", 40);  // the directory name numbers every later file
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "out\\PLTF0004.EPS");
  plot(0, 0, 999);
}

TEST_F(plot_device, DefaultExtensionRules) {
  open("plot", 40);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "plot.EPS");
  plot(0, 0, 999);
  open("plot.", 40);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "plot..EPS");
  plot(0, 0, 999);
  open("plot.ps", 40);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "plot.ps");
  plot(0, 0, 999);
  std::filesystem::create_directories(dir / "sub");
  open("sub\\x", 30);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "sub\\x.PLT");
  plot(0, 0, 999);
  EXPECT_TRUE(std::filesystem::exists(dir / "sub" / "x.PLT"));
}

TEST_F(plot_device, RequestedExtensionChoosesFileDeviceOnlyAboveCode28AndOnce) {
  set_plot_file("x.pdf");
  open("ignored", 30);
  EXPECT_EQ(get_plot_device(), 43);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "x.pdf");
  plot(0, 0, 999);
  EXPECT_EQ(file_text("x.pdf").rfind("%PDF", 0), 0u);
  open("second", 30);  // the requested name served one open
  EXPECT_EQ(get_plot_device(), 30);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "second.PLT");
  plot(0, 0, 999);

  set_plot_file("y.ps");
  open("", 10);
  EXPECT_EQ(get_plot_device(), 10);
  EXPECT_GT(get_plot_window(), 0);
  plot(0, 0, 999);

  set_plot_file("   ");  // a blank requested name counts as none
  open("own", 31);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "own.PLT");
  plot(0, 0, 999);
}

TEST_F(plot_device, PaperWidthZeroCountsAsA4Width) {
  open("a", 30, 0.0f, 29.7f);
  EXPECT_FLOAT_EQ(plot_state.paper_width_cm, 21.0f);
  EXPECT_FLOAT_EQ(plot_state.page_width_cm, 0.0f);
  plot(0, 0, 999);
}

TEST_F(plot_device, FileThatCannotBeCreatedEndsTheProgram) {
  EXPECT_THROW(COMPS("no_such_dir\\f.plt", 21, 29.7f, 30, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-open, cannot open metafile: no_such_dir\\f.plt");
  EXPECT_EQ(plot_state.plot_handle, 0);
}

TEST_F(plot_device, IllegalDeviceIsReported) {
  EXPECT_THROW(COMPS("", 21, 29.7f, 35, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-comps, illegal device");
  boxes.clear();
  errors_reset();
  EXPECT_THROW(COMPS("", 21, 29.7f, 50, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-comps, illegal device");
}

TEST_F(plot_device, TooManyNumberedFilesIsReported) {
  plot_state.file_counter = 10000;
  EXPECT_THROW(COMPS("", 21, 29.7f, 30, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-MAX-METAFILES = 10000");
}

TEST_F(plot_device, WindowDeviceOpensOutputWindowAndEndsRecording) {
  open("", 12, 10.0f, 10.0f);
  const int32_t window = get_plot_window();
  ASSERT_GT(window, 0);
  EXPECT_TRUE(plot_state.recording);
  // Square paper makes a square window of 0.9 of the full-screen width unless too high.
  EXPECT_EQ(plot_state.page_width, plot_state.page_height);
  EXPECT_FLOAT_EQ(plot_state.xfac, static_cast<float>(plot_state.page_width - 1) / 10.0f);
  plot(1, 1, 3);
  plot(5, 5, 2);
  plot(0, 0, 999);
  EXPECT_FALSE(plot_state.recording);
  EXPECT_TRUE(get_plot_ended());
  open("", 12, 10.0f, 10.0f);  // the next window plot closes the old window
  EXPECT_FALSE(is_valid_window(window));
  plot(0, 0, 999);
}

TEST_F(plot_device, OutputWindowShowsTheWholePage) {
  open("", 10, 21.0f, 29.7f);
  const int32_t window = get_plot_window();
  ASSERT_GT(window, 0);
  // The frame of the whole paper, as the window paints it.
  plot(0, 0, 3);
  plot(21.0f, 0, 2);
  plot(21.0f, 29.7f, 2);
  plot(0, 29.7f, 2);
  plot(0, 0, 2);
  plot(0, 0, 999);
  QWidget* widget = qnb::window_widget(window);
  ASSERT_NE(widget, nullptr);
  const QImage shown = widget->grab().toImage();
  ASSERT_EQ(shown.height(), plot_state.page_height);
  auto dark = [&](int x, int y) { return qGray(shown.pixel(x, y)) < 128; };
  int top = shown.height(), bottom = -1, left = shown.width(), right = -1;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (dark(x, y)) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
      }
  // The page fills the picture: the frame's four sides are its outermost rows and columns.
  EXPECT_LE(top, 1);
  EXPECT_GE(bottom, shown.height() - 2);
  EXPECT_LE(left, 1);
  EXPECT_GE(right, shown.width() - 2);
  int bottom_run = 0;
  for (int x = left; x <= right; ++x) bottom_run += dark(x, bottom);
  EXPECT_GE(bottom_run, (right - left) * 9 / 10);
}

// The grey value of the rendered page at (x, y) in a P5 picture, 255 outside.
int grey_at(const std::string& pgm, int x, int y) {
  int width = 0, height = 0, maxval = 0, used = 0;
  if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &width, &height, &maxval, &used) != 3) return -1;
  if (x < 0 || y < 0 || x >= width || y >= height) return 255;
  return static_cast<unsigned char>(pgm[size_t(used + 1 + y * width + x)]);
}

// Whether a pixel near (x, y) is inked.
bool inked_near(const std::string& pgm, int x, int y) {
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (grey_at(pgm, x + dx, y + dy) < 200) return true;
  return false;
}

TEST_F(plot_device, PrinterPlotPutsItsLinesOnThePrintedPage) {
  open("", 20);  // no printer here: the job is the PDF file "Ausgabe.pdf"
  ASSERT_FALSE(get_plot_ended());
  EXPECT_TRUE(boxes.empty());
  plot(0, 0, 11);  // pen 1
  plot(1, 1, 3);
  plot(11, 1, 2);
  plot(11, 6, 2);
  plot(0, 0, 999);
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(std::filesystem::exists(dir / "Ausgabe.pdf"));
  std::string output;
  ASSERT_EQ(run_reader(dir, "pdftoppm -r 50 -gray -singlefile Ausgabe.pdf page", output), 0) << output;
  const std::string pgm = file_text("page.pgm");
  // The page is the sheet, y upwards from its bottom edge, and the origin moves by the margins
  // (2 cm each on A4) once: plot (x, y) is at 2 cm + x from the paper's left and 27.7 cm - y
  // from its top.  50 pixels per inch.
  auto px = [](float cm) { return static_cast<int>(cm / 2.54f * 50.0f + 0.5f); };
  EXPECT_TRUE(inked_near(pgm, px(8.0f), px(26.7f)));    // the horizontal line
  EXPECT_TRUE(inked_near(pgm, px(13.0f), px(24.0f)));   // the vertical line
  EXPECT_FALSE(inked_near(pgm, px(8.0f), px(25.7f)));   // 1 cm above it: paper
  EXPECT_FALSE(inked_near(pgm, px(1.0f), px(26.7f)));   // left of its start
  EXPECT_FALSE(inked_near(pgm, px(14.0f), px(24.0f)));  // right of the vertical line
}

TEST_F(plot_device, PrinterPlotOpenedAgainAddsAPageToItsJob) {
  open("", 20);
  plot(1, 1, 3);
  plot(2, 2, 2);
  open("", 20);
  plot(3, 3, 2);
  plot(0, 0, 999);
  EXPECT_EQ(qn_print_pages(), 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "Ausgabe-2.pdf"));
}

}  // namespace

namespace {

using plot_device_reopen = plot_test;

// The plot left open gets its end and its file is closed, not leaked.
TEST_F(plot_device_reopen, OpeningAgainClosesTheFileOfAnUnendedPlot) {
  auto open_files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  open("first", 30);
  const auto with_one = open_files();
  open("second", 30);
  EXPECT_EQ(open_files(), with_one);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("first.PLT"), "PU400,400;PU0,0;SP1;PU;PA0,0;SP0;");
}

}  // namespace

namespace {
// n segments on the open plot.
void draw_segments(int n) {
  for (int k = 0; k < n; ++k) {
    plot(static_cast<float>(k % 19), static_cast<float>(k % 23), 3);
    plot(static_cast<float>(k % 17), static_cast<float>(k % 29), 2);
  }
}
}  // namespace

TEST_F(plot_device, ReaderOfAnOpenPlotFileFindsEveryByteWrittenSoFar) {
  open("open.dxf", 41);
  draw_segments(3000);  // far more than one buffer
  std::string so_far = file_text("open.dxf");
  EXPECT_EQ(so_far.size(), static_cast<size_t>(plot_byte_count()));
  EXPECT_TRUE(so_far.ends_with("\r\n"));
  draw_segments(10);
  EXPECT_EQ(file_text("open.dxf").size(), static_cast<size_t>(plot_byte_count()));
  plot(0, 0, 999);
  const std::string whole = file_text("open.dxf");
  EXPECT_EQ(whole.size(), static_cast<size_t>(plot_byte_count()));
  EXPECT_EQ(whole.substr(0, so_far.size()), so_far);
  EXPECT_TRUE(whole.ends_with("0\r\nEOF\r\n"));
}

TEST_F(plot_device, PlotFileThatCannotCompleteKeepsTheOldFileAndReportsIt) {
  std::ofstream(dir / "keep.dxf", std::ios::binary) << "old plot";
  {
    const file_size_limit full(4096);
    open("keep.dxf", 41);
    draw_segments(200);
    plot(0, 0, 999);
  }
  EXPECT_EQ(io_status, EFBIG);
  EXPECT_EQ(file_text("keep.dxf"), "old plot");
  const std::string log = file_text("PXBERROR.LOG");
  const std::string entry = "cannot write keep.dxf: " + std::string(std::strerror(EFBIG));
  ASSERT_NE(log.find(entry), std::string::npos) << log;
  EXPECT_EQ(log.find(entry, log.find(entry) + 1), std::string::npos) << "one line per plot";
  EXPECT_TRUE(boxes.empty());
}
