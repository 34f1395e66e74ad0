// Programs that plot texts at the current point, under negative scales and on printer pages of
// both orientations, their output read back by the standard readers.
#include "test_psplot_command_fixture.h"

#include "plot_pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

class plot_texts : public psplot_command {
 protected:
  // A plot of `script` on the device opened by `open` (device, paper and scale) into `file`,
  // with the origin moved first when `origin` is given.
  void plot_one(const std::string& open, const std::string& file, const std::string& script,
                const std::string& origin = "") {
    std::vector<std::string> codes{"/00000001 PLOT %0001 @0001"}, upn{open};
    if (!origin.empty()) {
      upn.push_back(origin);
      codes.push_back("/00000010 PLOT %0002");
    }
    codes.push_back("/00000020 PLOT @0002");
    codes.push_back("/00000002 PLOT");
    run(codes, upn, {file, script});
  }
};

// The lowest and highest y of the numbers after `key` in lines "key x1 y1 x2 y2" of `text`.
std::pair<float, float> y_span(const std::string& text, const std::string& key) {
  float low = 1e9f, high = -1e9f;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    float v[4];
    if (std::sscanf(line.c_str(), (key + " %f %f %f %f").c_str(), &v[0], &v[1], &v[2], &v[3]) != 4) continue;
    for (float y : {v[1], v[3]}) {
      low = std::min(low, y);
      high = std::max(high, y);
    }
  }
  return {low, high};
}

// The bounding box of the ink on a page, in points, as Ghostscript finds it.
std::vector<float> ink_bbox(const std::filesystem::path& dir, const std::string& file, int page = 1) {
  std::string out;
  const std::string pages = " -dFirstPage=" + std::to_string(page) + " -dLastPage=" + std::to_string(page);
  if (run_reader(dir, "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox" + pages + " " + file, out) != 0) return {};
  float b[4];
  const size_t at = out.find("%%HiResBoundingBox:");
  if (at == std::string::npos || std::sscanf(out.c_str() + at, "%%%%HiResBoundingBox: %f %f %f %f", &b[0], &b[1], &b[2], &b[3]) != 4)
    return {};
  return {b[0], b[1], b[2], b[3]};
}

float points(float cm) { return cm / 2.54f * 72.0f; }

struct pdf_word {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool found = false;
};

// A word of the PDF's pages as pdftotext places it.
pdf_word word_at(const std::filesystem::path& dir, const std::string& pdf, const std::string& word) {
  std::string out;
  pdf_word w;
  if (run_reader(dir, "pdftotext -bbox " + pdf + " -", out) != 0) return w;
  const size_t end = out.find(">" + word + "</word>");
  const size_t at = end == std::string::npos ? end : out.rfind("<word ", end);
  w.found = at != std::string::npos &&
            std::sscanf(out.c_str() + at, "<word xMin=\"%f\" yMin=\"%f\" xMax=\"%f\" yMax=\"%f\"", &w.x1, &w.y1, &w.x2, &w.y2) == 4;
  return w;
}

// A DXF text written at the current point starts where the text before it ended, along its
// angle, with the plot origin counted once: the current point already holds it.
TEST_F(plot_texts, DxfTextAtTheCurrentPointGoesOnWhereTheTextBeforeEnded) {
  plot_one("#41 #21 #29.7 #1", "here.dxf", "MOV 1,1|SZ=1|TXT AA|TX+ BB|AN=90|MOV 1,1|TXT AA|TX+ BB", "#5 #5 #-3");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  // Each text is its blank and two letters, three heights long.
  EXPECT_EQ(dxf_entities(dir, "here.dxf"), "TEXT 6 6 0  AA\nTEXT 9 6 0  BB\nTEXT 6 6 90  AA\nTEXT 6 9 90  BB\n");
}

// A plot of scale -1 is the plot of scale 1 turned by half, its texts as well as its lines: the
// stroke font's glyphs, a device-font text's start after its alignment, its direction, and the
// text that goes on at the current point.  A DXF plot, in centimetres, has no scale to turn.
TEST_F(plot_texts, NegativeScaleTurnsTheTextsWithThePlotByHalfAndMirrorsNone) {
  const std::string script =
      "LW=0.05|MOV 5,5|TXT$$$SS1|SZ=1|TXT F|AN=30|TXT$$$SAR|MOV 5,8|TXT FL|TX+ E|"
      "TXT$$$SS0|TXT$$$SAC|AN=90|MOV 9,9|TXT AB|TX+ C|AN=30|MOV 9,12|TXT AB|TX+ C";
  for (const char* scale : {"1", "-1"}) {
    plot_one(std::string("#30 #21 #29.7 #") + scale, std::string("s") + scale + ".plt", script);
    plot_one(std::string("#41 #21 #29.7 #") + scale, std::string("s") + scale + ".dxf", script);
  }
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  // The HP-GL commands one by one; a label ends at its terminator.
  auto commands = [this](const std::string& file) {
    std::vector<std::string> list;
    const std::string text = file_text(file);
    static const std::regex command("LB[^\\x03]*\\x03|[A-Z]{2}[^;]*;");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), command); it != std::sregex_iterator(); ++it)
      list.push_back(it->str());
    return list;
  };
  const std::vector<std::string> upright = commands("s1.plt"), turned = commands("s-1.plt");
  ASSERT_EQ(upright.size(), turned.size());
  ASSERT_GE(upright.size(), 40u);
  static const std::regex pair("(PU|PD|DI)(-?[0-9]+),(-?[0-9]+);");
  size_t unturned = 0;
  std::string first;
  for (size_t i = 0; i < upright.size(); ++i) {
    std::smatch a, b;
    bool turned_by_half = upright[i] == turned[i];
    if (std::regex_match(upright[i], a, pair) && std::regex_match(turned[i], b, pair) && a[1] == b[1]) {
      // Points exactly opposite; a direction opposite within its rounding.
      const int slack = a[1] == "DI" ? 1 : 0;
      turned_by_half = std::abs(std::stoi(a[2]) + std::stoi(b[2])) <= slack && std::abs(std::stoi(a[3]) + std::stoi(b[3])) <= slack;
    }
    if (!turned_by_half && unturned++ == 0) first = std::to_string(i) + ": " + upright[i] + " " + turned[i];
  }
  EXPECT_EQ(unturned, 0u) << "first: " << first;
  EXPECT_EQ(dxf_entities(dir, "s-1.dxf"), dxf_entities(dir, "s1.dxf"));
}

// A picture of a negative paper size, both ways, is the picture turned by half: its axes both
// run the other way, and the plot's origin at the far corner brings the page into view.  The
// texts turn with it, the stroke font's and the device font's (which keeps its size), and the
// text at the current point goes on behind the one before.
TEST_F(plot_texts, PictureOfNegativePaperIsThePictureTurnedByHalfItsTextsToo) {
  const std::string script =
      "LW=0|MOV 1,1|DRW 19,1|TXT$$$SS1|SZ=2|MOV 3,3|TXT F|TX+ L|AN=30|MOV 3,10|TXT F|TX+ L|"
      "TXT$$$SS0|AN=0|MOV 11,3|TXT F|AN=30|MOV 11,10|TXT F";
  plot_one("#49 #20 #20 #1", "upright.gif", script);
  plot_one("#49 #-20 #-20 #1", "turned.gif", script, "#-20 #-20 #-3");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  std::string output;
  const plot_picture upright = read_plot_picture(dir, "upright.gif", 0, output);
  plot_picture turned = read_plot_picture(dir, "turned.gif", 0, output);
  ASSERT_GT(upright.width, 100) << output;
  ASSERT_EQ(turned.width, upright.width);
  ASSERT_EQ(turned.height, upright.height);
  std::reverse(turned.pixels.begin(), turned.pixels.end());  // turned back by half
  const float per_cm = static_cast<float>(upright.width - 1) / 20.0f;
  // The ink of each text, in a region of the page given in cm, the same in both pictures
  // within the rounding of a pixel or two (a device font's shapes a little more).
  struct region {
    const char* name;
    float x1, y1, x2, y2;
    int slack;
  };
  for (const region& r : {region{"stroke 0", 2.5f, 2.5f, 8, 6, 2}, region{"stroke 30", 2.5f, 9.5f, 10, 16, 2},
                          region{"device 0", 10.5f, 2.5f, 14, 6, 3}, region{"device 30", 10.5f, 9.5f, 15, 14, 3}}) {
    SCOPED_TRACE(r.name);
    auto px = [&](float cm) { return static_cast<int>(cm * per_cm); };
    auto py = [&](float cm) { return upright.height - 1 - static_cast<int>(cm * per_cm); };
    const ink_box a = ink_within(upright, px(r.x1), py(r.y2), px(r.x2), py(r.y1));
    const ink_box b = ink_within(turned, px(r.x1), py(r.y2), px(r.x2), py(r.y1));
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty()) << "no text";
    EXPECT_NEAR(b.left, a.left, r.slack);
    EXPECT_NEAR(b.right, a.right, r.slack);
    EXPECT_NEAR(b.top, a.top, r.slack);
    EXPECT_NEAR(b.bottom, a.bottom, r.slack);
  }
}

// A stroke-font text at the current point goes on from where the text before it left the pen,
// with the plot origin counted once, on every file device and the picture: " AA" at (6, 6) and
// " BB" behind it reach from y = 6 to 7.5 cm (A's last stroke ends half a height up).
TEST_F(plot_texts, StrokeTextAtTheCurrentPointTakesTheOriginOnce) {
  const std::string script = "LW=0|TXT$$$SS1|MOV 1,1|SZ=1|TXT AA|TX+ BB";
  plot_one("#41 #21 #29.7 #1", "stroke.dxf", script, "#5 #5 #-3");
  plot_one("#40 #21 #29.7 #1", "stroke.eps", script, "#5 #5 #-3");
  plot_one("#43 #21 #29.7 #1", "stroke.pdf", script, "#5 #5 #-3");
  plot_one("#30 #21 #29.7 #1", "stroke.plt", script, "#5 #5 #-3");
  plot_one("#49 #21 #29.7 #1", "stroke.gif", script, "#5 #5 #-3");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  // The picture's rows from the bottom, (height - 1) / 29.7 to the centimetre.
  std::string output;
  const plot_picture picture = read_plot_picture(dir, "stroke.gif", 0, output);
  const ink_box ink = ink_within(picture, 0, 0, picture.width - 1, picture.height - 1);
  ASSERT_FALSE(ink.empty()) << output;
  const float rows_per_cm = static_cast<float>(picture.height - 1) / 29.7f;
  EXPECT_NEAR(static_cast<float>(picture.height - 1 - ink.bottom) / rows_per_cm, 6.0f, 0.1f);
  EXPECT_NEAR(static_cast<float>(picture.height - 1 - ink.top) / rows_per_cm, 7.5f, 0.1f);
  const auto [low, high] = y_span(dxf_entities(dir, "stroke.dxf"), "LINE");
  EXPECT_NEAR(low, 6.0f, 0.01f);
  EXPECT_NEAR(high, 7.5f, 0.01f);
  // PostScript draws a centimetre as a centimetre; the PDF device 100 / 3.45 units to the
  // centimetre from its page offset of 20, which its page's frame scales by 0.97795.
  auto pdf_units = [](float cm) { return (20.0f + cm * 100.0f / 3.45f) * 0.97795f; };
  for (const auto& [file, low_y, high_y] : {std::tuple{"stroke.eps", points(6.0f), points(7.5f)},
                                            std::tuple{"stroke.pdf", pdf_units(6.0f), pdf_units(7.5f)}}) {
    SCOPED_TRACE(file);
    const std::vector<float> box = ink_bbox(dir, file);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(box[1], low_y, 3.0f);
    EXPECT_NEAR(box[3], high_y, 3.0f);
  }
  // HP-GL in 1/400 cm: the pen's points from y = 2400 to 3000.
  int lowest = 1 << 30, highest = -(1 << 30);
  const std::string plt = file_text("stroke.plt");
  static const std::regex draw("PD(-?[0-9]+),(-?[0-9]+);");
  for (auto it = std::sregex_iterator(plt.begin(), plt.end(), draw); it != std::sregex_iterator(); ++it) {
    lowest = std::min(lowest, std::stoi((*it)[2]));
    highest = std::max(highest, std::stoi((*it)[2]));
  }
  EXPECT_NEAR(lowest, 2400, 2);
  EXPECT_NEAR(highest, 3000, 2);
}

// A PDF text at the current point goes on behind the text before it, on its line, as the
// PostScript device's does: not over it.
TEST_F(plot_texts, PdfTextAtTheCurrentPointGoesOnBehindTheTextBefore) {
  const std::string script = "MOV 2,2|SZ=0.5|TXT Orig|TX+ Plus";
  plot_one("#43 #21 #29.7 #1", "plus.pdf", script);
  plot_one("#40 #21 #29.7 #1", "plus.eps", script);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  std::string output;
  ASSERT_EQ(run_reader(dir, "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=eps.pdf plus.eps", output), 0)
      << output;
  for (const char* pdf : {"plus.pdf", "eps.pdf"}) {
    SCOPED_TRACE(pdf);
    const pdf_word orig = word_at(dir, pdf, "Orig"), plus = word_at(dir, pdf, "Plus");
    ASSERT_TRUE(orig.found && plus.found);
    EXPECT_GE(plus.x1, orig.x2 - 0.5f);
    EXPECT_LT(plus.x1, orig.x2 + points(1.5f));
    EXPECT_NEAR(plus.y2, orig.y2, 1.0f);
  }
}

// A landscape printer plot opened while a portrait one is open goes on in the same job on a
// landscape page: its line to 25 cm is whole and its 1 cm text as high as the portrait one's.
TEST_F(plot_texts, LandscapePrinterPlotAfterAPortraitOneGetsALandscapePage) {
  const std::string printed = (dir / "turned.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", printed.c_str(), 1);
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000001 PLOT %0002 @0001", "/00000020 PLOT @0003",
       "/00000002 PLOT"},
      {"#20 #21 #29.7 #1", "#20 #29.7 #21 #1"},
      {"", "MOV 0,1|DRW 15,1|SZ=1|MOV 2,3|TXT Portrait", "MOV 0,1|DRW 25,1|SZ=1|MOV 2,3|TXT Landscape"});
  ::unsetenv("WINKYR_PRINT_PDF");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  std::string info;
  ASSERT_EQ(run_reader(dir, "pdfinfo -f 1 -l 2 turned.pdf", info), 0) << info;
  EXPECT_NE(info.find("Page    1 size:  595 x 842"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    2 size:  842 x 595"), std::string::npos) << info;
  // The line runs from the left margin (2 cm) 25 cm across.
  const std::vector<float> box = ink_bbox(dir, "turned.pdf", 2);
  ASSERT_EQ(box.size(), 4u);
  EXPECT_NEAR(box[2], points(27.0f), 3.0f);
  const pdf_word portrait = word_at(dir, "turned.pdf", "Portrait"), landscape = word_at(dir, "turned.pdf", "Landscape");
  ASSERT_TRUE(portrait.found && landscape.found);
  EXPECT_NEAR(landscape.y2 - landscape.y1, portrait.y2 - portrait.y1, 1.0f);
}

}  // namespace
