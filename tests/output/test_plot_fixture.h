// Common set-up of the plot tests: the runtime fixture (private working directory, boxes
// answered and recorded), a clean plot engine, and the shipped templates as program directory.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "support/runtime_fixture.h"
#include "support/standard_readers.h"

// Runs a standard reader of plot files (gs, qpdf, hp2xx, python3 with ezdxf) in the test's
// working directory `dir`: its exit code, with what it wrote (errors too) in `output`.  A
// reader that is missing fails the test and names its package (standard_readers.h).
inline int run_reader(const std::filesystem::path& dir, const std::string& command, std::string& output) {
  output.clear();
  if (!require_readers_of(command)) return -1;
  const std::filesystem::path out = dir / "reader.out";
  const int rc = std::system((command + " > '" + out.string() + "' 2>&1").c_str());
  std::ifstream in(out, std::ios::binary);
  output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// A DXF's LINE and TEXT entities as ezdxf reads them, one line each: "LINE x1 y1 x2 y2" and
// "TEXT x y rotation text".
inline std::string dxf_entities(const std::filesystem::path& dir, const std::string& file) {
  std::ofstream(dir / "entities.py") << "import ezdxf, sys\n"
                                        "for e in ezdxf.readfile(sys.argv[1]).modelspace():\n"
                                        "    if e.dxftype() == 'LINE':\n"
                                        "        print('LINE %g %g %g %g' % (e.dxf.start.x, e.dxf.start.y, e.dxf.end.x, e.dxf.end.y))\n"
                                        "    elif e.dxftype() == 'TEXT':\n"
                                        "        print('TEXT %g %g %g %s' % (e.dxf.insert.x, e.dxf.insert.y, e.dxf.rotation, e.dxf.text))\n";
  std::string output;
  if (run_reader(dir, "/usr/bin/python3 entities.py " + file, output) != 0) ADD_FAILURE() << output;
  return output;
}

class plot_test : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    plot_reset();
    use_shipped_data();
  }
  void TearDown() override {
    plot_reset();
    runtime_fixture::TearDown();
  }

  static void use_shipped_data() { plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/"); }

  // A program directory of the test's own with the given files in it.
  void use_own_data(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::filesystem::path own = dir / "prog";
    std::filesystem::create_directories(own);
    for (const auto& [name, text] : files) std::ofstream(own / name, std::ios::binary) << text;
    plot_set_program_dir(own.string() + "/");
  }

  // Opens a plot and expects the program to go on.
  void open(std::string_view name, int32_t device, float width = 21.0f, float height = 29.7f,
            float scale = 1.0f) {
    ASSERT_NO_THROW(COMPS(name, width, height, device, scale));
  }

  std::string reported() const { return boxes.empty() ? std::string() : boxes.front().text; }

  // The file's bytes from `from` on.
  std::string tail(const std::string& name, size_t from) const {
    const std::string all = file_text(name);
    return from < all.size() ? all.substr(from) : std::string();
  }
};
