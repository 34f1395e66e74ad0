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

// A printed page is drawn by the reader in colour at this resolution, where a dot of a dotted
// line and the gap behind it are some five pixels long, a dash some thirty, and a letter of ten
// points some fifteen pixels high.  The shades at the edges of letters and lines may come out a
// little differently from one reader's build to the next, so a page is compared with a tolerance
// (page_difference); the other pictures are compared pixel for pixel.
constexpr int page_dpi = 150;
constexpr int page_channel_step = 48;       // values of a colour channel nearer than this are the same
constexpr int page_ink_per_allowed = 4000;  // one differing pixel allowed per so many inked ones,
constexpr int page_least_allowed = 8;       // and at least so many
constexpr int page_cell = 18;               // a spot is a square of 2 x 2 cells (6 mm a side)
constexpr int page_spot_allowed = 36;       // differing pixels in one spot: half a letter's ink

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

// A page as the reader drew it, each of its colour channels rounded to 16 values (each within 8
// of the reader's, far inside the tolerance of page_difference), so that the stored page packs
// smaller.
QImage page_of(const fs::path& drawn) {
  QImage page = QImage(QString::fromStdString(drawn.string())).convertToFormat(QImage::Format_RGB888);
  for (int y = 0; y < page.height(); ++y)
    for (uchar *c = page.scanLine(y), *end = c + 3 * page.width(); c < end; ++c) *c = static_cast<uchar>((*c + 8) / 17 * 17);
  return page;
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

// A program of the corpus run in a temporary folder of its own, and what it wrote.
class golden_case : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path() / "winkyr-golden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    run_dir = dir / "run";
    fs::create_directories(run_dir / "printer");
    fs::create_directories(run_dir / "window");
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

  // The program and the inputs into the run's folder.
  void copy_files(const std::string& name) {
    for (const auto& entry : fs::directory_iterator(golden / "inputs"))
      fs::copy_file(entry.path(), run_dir / entry.path().filename());
    fs::copy_file(golden / "programs" / (name + ".pxb"), run_dir / (name + ".pxb"));
  }

  // Runs the program copied; its exit status and standard error are the first view.
  void run_program(const std::string& name) {
    const std::string program = name + ".pxb";
    std::string lsan = "";
    if (const char* options = std::getenv("LSAN_OPTIONS"); options && *options)
      lsan = " LSAN_OPTIONS=" + shell_quoted(std::string(options) + ":print_suppressions=0");
    const std::string command = "cd " + shell_quoted(run_dir) +
                                " && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" +
                                shell_quoted(dir / "xdg") + " WINKYR_PRINT_PDF=" + shell_quoted(run_dir.string() + "/printer/") +
                                " WINKYR_PLOT_WINDOW=" + shell_quoted(run_dir / "window") + lsan +
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
      if (!read_with(dir, "pdftoppm -r " + std::to_string(page_dpi) + " " + shell_quoted(file) + " " + shell_quoted(pages / "page"),
                     out))
        return;
      std::vector<fs::path> pictures;
      for (const auto& entry : fs::directory_iterator(pages)) pictures.push_back(entry.path());
      std::sort(pictures.begin(), pictures.end());
      for (size_t k = 0; k < pictures.size(); ++k)
        views.push_back({relative + ".page" + std::to_string(k + 1) + ".png", png_of(page_of(pictures[k]))});
    } else if (ext == ".gif" || ext == ".bmp") {
      // A picture's pixels as ImageMagick decodes them.
      const fs::path ppm = dir / "picture.ppm";
      if (read_with(dir, "convert " + shell_quoted(file) + " " + shell_quoted(ppm), out))
        views.push_back({relative + ".png", png_of(QImage(QString::fromStdString(ppm.string())))});
    } else {
      views.push_back({relative, normalised(relative, bytes, run_dir)});
    }
  }

  // The view of that name, empty when the run wrote none.
  std::string view_of(const std::string& name) const {
    const auto it = std::find_if(views.begin(), views.end(), [&](const view& v) { return v.name == name; });
    return it == views.end() ? std::string() : it->bytes;
  }

  fs::path dir, run_dir;
  std::vector<view> views;
};

class golden_run : public golden_case, public ::testing::WithParamInterface<std::string> {};

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

std::string size_difference(const QImage& e, const QImage& a) {
  if (e.size() == a.size()) return {};
  return "size " + std::to_string(a.width()) + " x " + std::to_string(a.height()) + " instead of " + std::to_string(e.width()) +
         " x " + std::to_string(e.height());
}

// Where the differing pixels lie: how many, the first (by rows) and the rectangle around them.
struct differing_pixels {
  long count = 0;
  int first_x = -1, first_y = -1, left = 0, top = 0, right = -1, bottom = -1;
  void add(int x, int y) {
    if (count++ == 0) first_x = left = right = x, first_y = top = bottom = y;
    left = std::min(left, x), right = std::max(right, x), bottom = std::max(bottom, y);
  }
  std::string where() const {
    return "the first at (" + std::to_string(first_x) + ", " + std::to_string(first_y) + "), all within (" + std::to_string(left) +
           ", " + std::to_string(top) + ") - (" + std::to_string(right) + ", " + std::to_string(bottom) + ")";
  }
};

// How a printed page differs from the stored one, empty when it agrees.  A pixel of either page
// differs where one of its colour channels lies more than page_channel_step outside the values of
// that channel of the same pixel of the other page and its eight neighbours: a shade at the edge
// of a letter or a line that the reader puts a little lighter or darker, or a pixel over, agrees,
// while a gap of a dashed line that is filled, a letter that is missing or added, or a line in
// another colour (dark blue printed black, which a grey of the page would hardly tell), differs.
// The page differs where more pixels differ than one per page_ink_per_allowed of the stored
// page's inked pixels (those that differ from white paper as a pixel differs), or than
// page_least_allowed where that is more, so that a page of a few words is looked at as closely
// as a full one; or where more than page_spot_allowed of them lie in one spot, so that a letter
// missing on a full page shows too.
std::string page_difference(const std::string& expected, const std::string& actual) {
  const QImage e = picture_of(expected).convertToFormat(QImage::Format_RGB888);
  const QImage a = picture_of(actual).convertToFormat(QImage::Format_RGB888);
  if (e.isNull() || a.isNull()) return "a page cannot be read";
  if (std::string size = size_difference(e, a); !size.empty()) return size;
  const int width = e.width(), height = e.height();
  const auto value = [](const QImage& page, int x, int y, int channel) {
    return static_cast<int>(page.constBits()[y * page.bytesPerLine() + 3 * x + channel]);
  };
  // True where a channel of the pixel (x, y) of `one` has no match around it in `other`.
  const auto unmatched = [&](const QImage& one, const QImage& other, int x, int y) {
    for (int channel = 0; channel < 3; ++channel) {
      const int v = value(one, x, y, channel);
      if (std::abs(v - value(other, x, y, channel)) <= page_channel_step) continue;
      int lowest = 255, highest = 0;
      for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, height - 1); ++ny)
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, width - 1); ++nx)
          lowest = std::min(lowest, value(other, nx, ny, channel)), highest = std::max(highest, value(other, nx, ny, channel));
      if (v < lowest - page_channel_step || v > highest + page_channel_step) return true;
    }
    return false;
  };
  const auto inked = [&](int x, int y) {
    for (int channel = 0; channel < 3; ++channel)
      if (value(e, x, y, channel) < 255 - page_channel_step) return true;
    return false;
  };
  long ink = 0;
  differing_pixels differing;
  const int columns = width / page_cell + 1, rows = height / page_cell + 1;
  std::vector<int> in_cell(static_cast<size_t>(columns * rows), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (inked(x, y)) ++ink;
      if (!unmatched(e, a, x, y) && !unmatched(a, e, x, y)) continue;
      differing.add(x, y);
      ++in_cell[static_cast<size_t>(y / page_cell * columns + x / page_cell)];
    }
  // The spot with the most differing pixels: every square of 2 x 2 cells.
  int most = 0, most_x = 0, most_y = 0;
  for (int row = 0; row + 1 < rows; ++row)
    for (int column = 0; column + 1 < columns; ++column) {
      const size_t at = static_cast<size_t>(row * columns + column);
      const int in_spot = in_cell[at] + in_cell[at + 1] + in_cell[at + columns] + in_cell[at + columns + 1];
      if (in_spot > most) most = in_spot, most_x = column * page_cell, most_y = row * page_cell;
    }
  const long allowed = std::max<long>(ink / page_ink_per_allowed, page_least_allowed);
  if (differing.count <= allowed && most <= page_spot_allowed) return {};
  return std::to_string(differing.count) + " pixels differ (" + std::to_string(allowed) + " allowed, the page has " +
         std::to_string(ink) + " inked pixels), " + std::to_string(most) +
         " of them in the square of " + std::to_string(2 * page_cell) + " pixels at (" + std::to_string(most_x) + ", " +
         std::to_string(most_y) + ") (" + std::to_string(page_spot_allowed) + " allowed), " + differing.where();
}

// How two pictures (plot files, saved screen boxes, the output window) differ, empty when they
// agree pixel for pixel.
std::string picture_difference(const std::string& expected, const std::string& actual) {
  const QImage e = picture_of(expected), a = picture_of(actual);
  if (e.isNull() || a.isNull()) return "a picture cannot be read";
  if (std::string size = size_difference(e, a); !size.empty()) return size;
  differing_pixels differing;
  for (int y = 0; y < e.height(); ++y)
    for (int x = 0; x < e.width(); ++x)
      if ((e.pixel(x, y) & 0xFFFFFFu) != (a.pixel(x, y) & 0xFFFFFFu)) differing.add(x, y);
  if (differing.count == 0) return {};
  return std::to_string(differing.count) + " pixels differ, " + differing.where();
}

bool is_page(const std::string& name) { return name.find(".page") != std::string::npos; }

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
  copy_files(name);
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
      const std::string difference = is_page(v.name) ? page_difference(want, v.bytes) : picture_difference(want, v.bytes);
      EXPECT_TRUE(difference.empty()) << name << ": " << v.name << ": " << difference;
    } else if (want != v.bytes) {
      ADD_FAILURE() << name << ": " << v.name << " differs: " << first_difference(want, v.bytes);
    }
  }
  for (const std::string& missing : stored) ADD_FAILURE() << name << ": " << missing << " is stored but not written";
}

// What the pages are compared for: a program of the corpus changed a little, in what only the
// page's picture shows, prints a page that does not pass as the stored one.
class golden_page : public golden_case {
 protected:
  // Replaces each `from` in the copied file by `to`, of the same length (the program's counts stay).
  void edit(const std::string& file, const std::string& from, const std::string& to) {
    std::string bytes = read_bytes(run_dir / file);
    const size_t first = bytes.find(from);
    ASSERT_NE(first, std::string::npos) << from << " is not in " << file;
    for (size_t at = first; at != std::string::npos; at = bytes.find(from, at + to.size())) bytes.replace(at, from.size(), to);
    write_bytes(run_dir / file, bytes);
  }

  // How the changed program's page differs from the program's stored page.
  std::string page_against_stored(const std::string& name, const std::string& page) {
    run_program(name);
    read_outputs(name);
    const std::string written = view_of(page);
    if (written.empty()) return "no " + page + " written";
    return page_difference(read_bytes(golden / "expected" / name / page), written);
  }
};

TEST_F(golden_page, APageWithoutItsDashesIsNotTheStoredOne) {
  copy_files("printer_lines");
  for (const char* dashed : {"LS=1|", "LS=2|", "LS=3|", "LS=4|", "LS=6|"}) edit("printer_lines.pxb", dashed, "LS=0|");
  const std::string difference = page_against_stored("printer_lines", "printer/Ausgabe.pdf.page1.png");
  EXPECT_NE(difference, "") << "the dashed and dotted lines drawn solid pass as the stored page";
}

TEST_F(golden_page, APageWithOneWordLessIsNotTheStoredOne) {
  copy_files("form_font");
  edit("kurz.frm", "KURZ nach LANG", "KURZ      LANG");
  const std::string difference = page_against_stored("form_font", "printer/Druckausgabe.pdf.page1.png");
  EXPECT_NE(difference, "") << "the page without the word \"nach\" passes as the stored page";
}

TEST_F(golden_page, APageInOtherColoursIsNotTheStoredOne) {
  copy_files("printer_lines");
  edit("printer_lines.pxb", "LC=1|", "LC=0|");  // the dark blue lines printed black
  const std::string difference = page_against_stored("printer_lines", "printer/Ausgabe.pdf.page1.png");
  EXPECT_NE(difference, "") << "the page with its dark blue lines black passes as the stored page";
}

INSTANTIATE_TEST_SUITE_P(corpus, golden_run, ::testing::ValuesIn(program_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
