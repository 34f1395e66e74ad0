// The golden corpus: every program under tests/golden/programs runs whole through the runtime's
// executable (offscreen, in a folder of its own, with the files of tests/golden/inputs beside
// it) and every file it writes is compared, as its standard reader sees it, with the output
// stored under tests/golden/expected/PROGRAM/.  WINKYR_GOLDEN_UPDATE=1 stores what the run
// gives instead (scripts/golden --update); tests/golden/README.md says when to do that.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "output/test_plot_fixture.h"

namespace {
namespace fs = std::filesystem;

const fs::path golden = fs::path(WINKYR_SOURCE_DIR) / "tests" / "golden";

// A printed page is drawn by the reader at this resolution; its pixels may differ by a little
// from one build of the reader to the next, the other pictures are compared pixel for pixel.
constexpr int page_dpi = 20;
constexpr int page_grey_step = 64;        // a pixel differs when its grey differs by more
constexpr double page_pixel_share = 0.002;  // a page differs when more of its pixels differ

std::string read_bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> program_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(golden / "programs"))
    if (entry.path().extension() == ".pxb") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string shell_quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// Runs a reader's command line; what it wrote in `out`, false (with a failure) when it fails.
bool read_with(const fs::path& dir, const std::string& command, std::string& out) {
  const int rc = run_reader(dir, command, out);
  if (rc != 0) ADD_FAILURE() << command << " failed:\n" << out;
  return rc == 0;
}

// A picture in the form it is stored: PNG written by Qt, which puts no date into it.
std::string png_of(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

QImage picture_of(const std::string& bytes) {
  QImage image;
  image.loadFromData(QByteArray::fromStdString(bytes));
  return image;
}

// The run's texts without what changes from run to run: the dates and times of the PostScript
// and PDF headers and of the error log, and the run's temporary folder.
std::string normalised(const std::string& name, std::string bytes, const fs::path& run_dir) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.ends_with(".eps") || lower.ends_with(".ps"))
    bytes = std::regex_replace(bytes, std::regex("%%CreationDate:[^\n]*"), "%%CreationDate: (date)");
  if (lower.ends_with(".pdf"))  // digits for digits: the cross-reference offsets stay right
    bytes = std::regex_replace(bytes, std::regex("\\(D:[0-9]{14}"), "(D:00000000000000");
  if (lower.ends_with(".log") || lower == "stderr")  // every error line begins with its date
    bytes = std::regex_replace(bytes, std::regex("(^|\n)[0-9]{8}-"), "$1(date)-");
  for (size_t at = 0; (at = bytes.find(run_dir.string(), at)) != std::string::npos;)
    bytes.replace(at, run_dir.string().size(), "(run)");
  return bytes;
}

// One output as it is compared: its stored file's name (below the program's folder) and bytes.
struct view {
  std::string name, bytes;
};

class golden_run : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/winkyr-golden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    run_dir = dir / "run";
    fs::create_directories(run_dir / "printer");
    fs::create_directories(dir / "xdg");
    fs::permissions(dir / "xdg", fs::perms::owner_all, fs::perm_options::replace);
  }
  void TearDown() override {
    std::error_code ec;
    if (HasFailure())  // kept for a look at what the run wrote
      std::cerr << "the run's folder is kept: " << run_dir << "\n";
    else
      fs::remove_all(dir, ec);
  }

  // Runs the program; its exit status and standard error are the first view.
  void run_program(const std::string& name) {
    for (const auto& entry : fs::directory_iterator(golden / "inputs"))
      fs::copy_file(entry.path(), run_dir / entry.path().filename());
    const std::string program = name + ".pxb";
    fs::copy_file(golden / "programs" / program, run_dir / program);
    std::string lsan = "";
    if (const char* options = std::getenv("LSAN_OPTIONS"); options && *options)
      lsan = " LSAN_OPTIONS=" + shell_quoted(std::string(options) + ":print_suppressions=0");
    const std::string command = "cd " + shell_quoted(run_dir) +
                                " && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" +
                                shell_quoted(dir / "xdg") + " WINKYR_PRINT_PDF=" + shell_quoted(run_dir.string() + "/printer/") + lsan +
                                " timeout -s KILL 120 " + shell_quoted(WINKYR_EXE) + " " + program +
                                " < /dev/null > /dev/null 2> " + shell_quoted(dir / "stderr.txt");
    const int rc = std::system(command.c_str());
    const int status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    views.push_back({"run.txt", "exit status " + std::to_string(status) + "\n" +
                                    normalised("stderr", read_bytes(dir / "stderr.txt"), run_dir)});
  }

  // Every file the run wrote or changed, each as its readers see it.
  void read_outputs(const std::string& name) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(run_dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      const std::string relative = fs::relative(file, run_dir).string();
      if (relative == name + ".pxb") continue;
      const fs::path input = golden / "inputs" / relative;
      const std::string bytes = read_bytes(file);
      if (fs::exists(input) && read_bytes(input) == bytes) continue;
      add_views(relative, bytes);
    }
  }

  void add_views(const std::string& relative, const std::string& bytes) {
    std::string ext = fs::path(relative).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const fs::path file = run_dir / relative;
    std::string out;
    if (ext == ".pdf" && bytes.find("/Producer (WinKYR)") == std::string::npos) {
      // A printed document: its text as pdftotext reads it, and each page as a small picture.
      if (read_with(dir, "pdftotext -layout " + shell_quoted(file) + " -", out))
        views.push_back({relative + ".txt", out});
      const fs::path pages = dir / "pages";
      fs::remove_all(pages);
      fs::create_directories(pages);
      if (!read_with(dir, "pdftoppm -gray -r " + std::to_string(page_dpi) + " " + shell_quoted(file) + " " + shell_quoted(pages / "page"),
                     out))
        return;
      std::vector<fs::path> pictures;
      for (const auto& entry : fs::directory_iterator(pages)) pictures.push_back(entry.path());
      std::sort(pictures.begin(), pictures.end());
      for (size_t k = 0; k < pictures.size(); ++k)
        views.push_back({relative + ".page" + std::to_string(k + 1) + ".png", png_of(QImage(QString::fromStdString(pictures[k].string())))});
    } else if (ext == ".gif" || ext == ".bmp") {
      // A picture's pixels as ImageMagick decodes them.
      const fs::path ppm = dir / "picture.ppm";
      if (read_with(dir, "convert " + shell_quoted(file) + " " + shell_quoted(ppm), out))
        views.push_back({relative + ".png", png_of(QImage(QString::fromStdString(ppm.string())))});
    } else {
      views.push_back({relative, normalised(relative, bytes, run_dir)});
    }
  }

  fs::path dir, run_dir;
  std::vector<view> views;
};

// Where two texts first differ: the line, as expected and as written.
std::string first_difference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string le, la;
  for (int line = 1;; ++line) {
    const bool more_e = static_cast<bool>(std::getline(e, le)), more_a = static_cast<bool>(std::getline(a, la));
    if (!more_e && !more_a) return "they differ in their last line end";
    if (!more_e || !more_a || le != la) {
      // Long lines (a plotter file is one line) are shown around their first difference.
      size_t column = 0;
      while (column < le.size() && column < la.size() && le[column] == la[column]) ++column;
      const size_t from = column > 40 ? column - 40 : 0;
      const auto shown = [from](bool more, const std::string& l) {
        return more ? "\"" + (from > 0 ? "..." : std::string()) + l.substr(std::min(from, l.size()), 120) + "\"" : std::string("(no line)");
      };
      return "line " + std::to_string(line) + ", column " + std::to_string(column + 1) + ": expected " + shown(more_e, le) +
             ", written " + shown(more_a, la);
    }
  }
}

// How two pictures differ, empty when they agree (a printed page within the tolerance).
std::string picture_difference(const std::string& name, const std::string& expected, const std::string& actual) {
  const QImage e = picture_of(expected), a = picture_of(actual);
  if (e.isNull() || a.isNull()) return "a picture cannot be read";
  if (e.size() != a.size())
    return "size " + std::to_string(a.width()) + " x " + std::to_string(a.height()) + " instead of " +
           std::to_string(e.width()) + " x " + std::to_string(e.height());
  const bool page = name.find(".page") != std::string::npos;
  long differing = 0;
  int first_x = -1, first_y = -1;
  for (int y = 0; y < e.height(); ++y)
    for (int x = 0; x < e.width(); ++x) {
      const QRgb pe = e.pixel(x, y), pa = a.pixel(x, y);
      const bool differs = page ? std::abs(qGray(pe) - qGray(pa)) > page_grey_step : (pe & 0xFFFFFFu) != (pa & 0xFFFFFFu);
      if (!differs) continue;
      if (differing++ == 0) first_x = x, first_y = y;
    }
  const long allowed = page ? static_cast<long>(page_pixel_share * e.width() * e.height()) : 0;
  if (differing <= allowed) return {};
  return std::to_string(differing) + " pixels differ, the first at (" + std::to_string(first_x) + ", " +
         std::to_string(first_y) + ")";
}

std::vector<std::string> stored_files(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::is_directory(folder)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(golden_run, OutputsAsStored) {
  const std::string name = GetParam();
  run_program(name);
  read_outputs(name);
  const fs::path expected = golden / "expected" / name;
  const char* update = std::getenv("WINKYR_GOLDEN_UPDATE");
  if (update != nullptr && std::string(update) == "1") {
    fs::remove_all(expected);
    for (const view& v : views) write_bytes(expected / v.name, v.bytes);
    return;
  }
  std::vector<std::string> stored = stored_files(expected);
  ASSERT_FALSE(stored.empty()) << name << ": no stored outputs in " << expected << " (scripts/golden --update " << name << ")";
  for (const view& v : views) {
    const auto it = std::find(stored.begin(), stored.end(), v.name);
    if (it == stored.end()) {
      ADD_FAILURE() << name << ": " << v.name << " is written but not stored";
      continue;
    }
    stored.erase(it);
    const std::string want = read_bytes(expected / v.name);
    if (v.name.ends_with(".png")) {
      const std::string difference = picture_difference(v.name, want, v.bytes);
      EXPECT_TRUE(difference.empty()) << name << ": " << v.name << ": " << difference;
    } else if (want != v.bytes) {
      ADD_FAILURE() << name << ": " << v.name << " differs: " << first_difference(want, v.bytes);
    }
  }
  for (const std::string& missing : stored) ADD_FAILURE() << name << ": " << missing << " is stored but not written";
}

INSTANTIATE_TEST_SUITE_P(corpus, golden_run, ::testing::ValuesIn(program_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
