// PLOT's script options: a script text, a script file on a free unit, and points in the
// script's frame, all reaching the plot file of the open workstation.
#include "commands/test_draw_fixture.h"

#include <QTimer>

#include <fstream>
#include <sstream>

#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"

namespace {

class psplot_command : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    plot_reset();
    psplot_reset();
    plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/");
  }
  static std::string plot_file() {
    std::string name = get_plot_file();
    name.erase(name.find_last_not_of(' ') + 1);
    flush_file_writers(name);  // the plot is still open: read as a reader of the runtime does
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(psplot_command, ScriptTextFileAndPointsReachThePlot) {
  std::ofstream("frame.ps", std::ios::binary) << "; frame\nFX=2|MOV 1,1\nDRW 2,1\n";
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000040 PLOT @0003",
       "/00000000 PLOT %0002"},
      {"#30 #0 #0 #0", "#3 #1 #1"}, {"s.plt", "MOV 1,2|DRW 3,2", "frame.ps"});
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(io_status, 0);
  // The text, then the file in a frame scaled by 2, then a draw in that same frame.
  EXPECT_NE(plot_file().find("PU400,800;PD1200,800;PU800,400;PD1600,400;PD2400,400;"), std::string::npos)
      << plot_file();
}

TEST_F(psplot_command, PlotOnScreenZeroOutsideADrawingStepDrawsThere) {
  clear_screen();
  run({"/00000008 PLOT", "/00000010 PLOT %0001", "/00000010 PLOT %0002", "/00000020 PLOT @0001"},
      {"#10 #20 #3", "#60 #20 #2"}, {"MOV 10,40|DRW 60,40"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_NE(pixel(30, 20), 0xFFFFFFu);
  EXPECT_NE(pixel(30, 40), 0xFFFFFFu);
  EXPECT_EQ(pixel(30, 30), 0xFFFFFFu);
}

TEST_F(psplot_command, ScriptDrawingWithNoPlotOpenIsReportedOnce) {
  run({"/00000020 PLOT @0001"}, {}, {"AR=0,0,1,1|CIR|REC|MOV 1,1|DRW 3,3|BG=1,2,0|TXT x"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes.front().text, "PLOT: keine Zeichenflaeche offen");
}

TEST_F(psplot_command, ScriptThatJumpsBackForEverEndsWithTheQuitMessage) {
  std::ofstream("loop.ps", std::ios::binary) << ":L1\nLF\nGOBA L1\n";
  const int32_t unit = get_free_unit();
  ASSERT_EQ(unit_open(unit, "loop.ps", {.status = "OLD", .action = "READ"}), 0);
  psplot_init();
  // Closing the window puts the quit message into the queue while the script runs.
  QTimer::singleShot(0, [] { qn_post_quit(0); });
  PSPLOT(unit);
  unit_close(unit);
  EXPECT_TRUE(qn_quitting());
}

}  // namespace
