// Programs that plot through PLOT: a headless main window with screen 0, a clean plot engine
// with the shipped templates, and the plot file of the open workstation as a reader sees it.
#pragma once

#include "commands/test_draw_fixture.h"

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"
#include "test_plot_fixture.h"

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
