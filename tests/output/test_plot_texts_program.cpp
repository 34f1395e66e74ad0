// Programs that plot texts at the current point, under negative scales and on printer pages of
// both orientations, their output read back by the standard readers.
#include "test_psplot_command_fixture.h"

#include "plot_pictures.h"

#include <algorithm>
#include <cctype>
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

  // The picture that a plot script draws on one of the surfaces a text is drawn on with the
  // device's font: a GIF and a BMP picture, the printed page (read at 100 dpi), the plot's
  // output window (each of A4) and the program's screen, whose plot units are its pixels
  // (`screen_script`).  Each call plots into files of its own.
  plot_picture drawn_on(const std::string& surface, const std::string& script, const std::string& screen_script) {
    const std::string name = surface + std::to_string(++pictures);
    std::string output;
    if (surface == "gif" || surface == "bmp") {
      plot_one("#49 #21 #29.7 #1", name + "." + surface, script);
      return read_plot_picture(dir, name + "." + surface, 0, output);
    }
    if (surface == "printer") {
      printed = name + ".pdf";
      ::setenv("WINKYR_PRINT_PDF", (dir / printed).string().c_str(), 1);
      plot_one("#20 #21 #29.7 #1", "", script);
      ::unsetenv("WINKYR_PRINT_PDF");
      return read_plot_picture(dir, name + ".pdf", 100, output);
    }
    if (surface == "window") {
      plot_one("#10 #21 #29.7 #1", "", script);
      const QImage* shown = qnb::bitmap_image(plot_state.window_bitmap);
      return shown ? picture_of(*shown) : plot_picture{};
    }
    clear_screen();
    run({"/00000008 PLOT", "/00000020 PLOT @0001", "/00000002 PLOT"}, {}, {screen_script});
    return picture_of(screen0());
  }

  int pictures = 0;
  std::string printed;  // the last printed page's PDF file
};

const char* const surfaces[] = {"gif", "bmp", "printer", "window", "screen"};

// How many ink pixels of either picture (of the same size) have no ink of the other within a
// pixel around them (a text placed by another sum of the same centimetres may round a pixel the
// other way), and how many pixels are ink in the first.
struct ink_difference {
  int differing = 0, ink = 0;
};
ink_difference compare_ink(const plot_picture& a, const plot_picture& b) {
  auto near_ink = [](const plot_picture& p, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (p.ink(x + dx, y + dy)) return true;
    return false;
  };
  ink_difference d;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      d.ink += a.ink(x, y);
      d.differing += (a.ink(x, y) && !near_ink(b, x, y)) + (b.ink(x, y) && !near_ink(a, x, y));
    }
  return d;
}

// The lowest and highest x and y of the points in lines "key x1 y1 x2 y2" of `text`.
struct extent {
  float low_x = 1e9f, high_x = -1e9f, low_y = 1e9f, high_y = -1e9f;
};
extent extent_of(const std::string& text, const std::string& key) {
  extent e;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    float v[4];
    if (std::sscanf(line.c_str(), (key + " %f %f %f %f").c_str(), &v[0], &v[1], &v[2], &v[3]) != 4) continue;
    for (int i : {0, 2}) {
      e.low_x = std::min(e.low_x, v[i]);
      e.high_x = std::max(e.high_x, v[i]);
      e.low_y = std::min(e.low_y, v[i + 1]);
      e.high_y = std::max(e.high_y, v[i + 1]);
    }
  }
  return e;
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
  // The DXF plot of either scale, in centimetres: the stroke font's F behind its blank at
  // (6, 5); " FL" at 30 degrees, right-aligned to (5, 8) (its start 3 x 0.55 cm back along the
  // text) and " E" from where L's last stroke ended, aligned the same; the device-font texts
  // centred (0.275 of their length back): " AB" at 90 degrees from (9, 9), " C" from the
  // current point 3 cm up, and the same at 30 degrees from (9, 12).
  const std::string expected =
      "LINE 6 5 6 6\nLINE 6 6 6.8 6\nLINE 6 5.5 6.56 5.5\n"
      "LINE 4.4371 7.675 3.9371 8.541\nLINE 3.9371 8.541 4.6299 8.941\nLINE 4.1871 8.108 4.6721 8.388\n"
      "LINE 4.8031 9.041 5.3031 8.175\nLINE 5.3031 8.175 5.9959 8.575\n"
      "LINE 6.6021 8.925 5.9093 8.525\nLINE 5.9093 8.525 5.4093 9.391\nLINE 5.4093 9.391 6.1021 9.791\n"
      "LINE 5.6593 8.958 6.1443 9.238\n"
      "TEXT 9 8.175 90  AB\nTEXT 9 10.625 90  C\nTEXT 8.2855 11.5875 30  AB\nTEXT 10.4073 12.8125 30  C\n";
  EXPECT_EQ(dxf_entities(dir, "s1.dxf"), expected);
  EXPECT_EQ(dxf_entities(dir, "s-1.dxf"), expected);
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
// " BB" behind it reach from y = 6 to 7.5 cm (A's last stroke ends half a height up), and from
// x = 7 cm (the A behind the blank) to 11.6 cm: the second A ends at 8.8 cm, where " BB" goes
// on, its blank one height and each B 0.8 of it wide.
TEST_F(plot_texts, StrokeTextAtTheCurrentPointTakesTheOriginOnce) {
  const std::string script = "LW=0|TXT$$$SS1|MOV 1,1|SZ=1|TXT AA|TX+ BB";
  plot_one("#41 #21 #29.7 #1", "stroke.dxf", script, "#5 #5 #-3");
  plot_one("#40 #21 #29.7 #1", "stroke.eps", script, "#5 #5 #-3");
  plot_one("#43 #21 #29.7 #1", "stroke.pdf", script, "#5 #5 #-3");
  plot_one("#30 #21 #29.7 #1", "stroke.plt", script, "#5 #5 #-3");
  plot_one("#49 #21 #29.7 #1", "stroke.gif", script, "#5 #5 #-3");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  // The picture's rows from the bottom, (height - 1) / 29.7 to the centimetre, and its columns,
  // (width - 1) / 21 to the centimetre.
  std::string output;
  const plot_picture picture = read_plot_picture(dir, "stroke.gif", 0, output);
  const ink_box ink = ink_within(picture, 0, 0, picture.width - 1, picture.height - 1);
  ASSERT_FALSE(ink.empty()) << output;
  const float rows_per_cm = static_cast<float>(picture.height - 1) / 29.7f;
  const float columns_per_cm = static_cast<float>(picture.width - 1) / 21.0f;
  EXPECT_NEAR(static_cast<float>(picture.height - 1 - ink.bottom) / rows_per_cm, 6.0f, 0.1f);
  EXPECT_NEAR(static_cast<float>(picture.height - 1 - ink.top) / rows_per_cm, 7.5f, 0.1f);
  EXPECT_NEAR(static_cast<float>(ink.left) / columns_per_cm, 7.0f, 0.1f);
  EXPECT_NEAR(static_cast<float>(ink.right) / columns_per_cm, 11.6f, 0.1f);
  const extent lines = extent_of(dxf_entities(dir, "stroke.dxf"), "LINE");
  EXPECT_NEAR(lines.low_y, 6.0f, 0.01f);
  EXPECT_NEAR(lines.high_y, 7.5f, 0.01f);
  EXPECT_NEAR(lines.low_x, 7.0f, 0.01f);
  EXPECT_NEAR(lines.high_x, 11.6f, 0.01f);
  // PostScript draws a centimetre as a centimetre; the PDF device 100 / 3.45 units to the
  // centimetre from its page offset of 20, which its page's frame scales by 0.97795.
  auto pdf_units = [](float cm) { return (20.0f + cm * 100.0f / 3.45f) * 0.97795f; };
  struct expected_box {
    const char* file;
    float x1, y1, x2, y2;
  };
  for (const expected_box& e : {expected_box{"stroke.eps", points(7.0f), points(6.0f), points(11.6f), points(7.5f)},
                                expected_box{"stroke.pdf", pdf_units(7.0f), pdf_units(6.0f), pdf_units(11.6f),
                                             pdf_units(7.5f)}}) {
    SCOPED_TRACE(e.file);
    const std::vector<float> box = ink_bbox(dir, e.file);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(box[0], e.x1, 3.0f);
    EXPECT_NEAR(box[1], e.y1, 3.0f);
    EXPECT_NEAR(box[2], e.x2, 3.0f);
    EXPECT_NEAR(box[3], e.y2, 3.0f);
  }
  // HP-GL in 1/400 cm: the pen's points from x = 2800 to 4640 and from y = 2400 to 3000.
  int lowest = 1 << 30, highest = -(1 << 30), leftmost = 1 << 30, rightmost = -(1 << 30);
  const std::string plt = file_text("stroke.plt");
  static const std::regex draw("PD(-?[0-9]+),(-?[0-9]+);");
  for (auto it = std::sregex_iterator(plt.begin(), plt.end(), draw); it != std::sregex_iterator(); ++it) {
    leftmost = std::min(leftmost, std::stoi((*it)[1]));
    rightmost = std::max(rightmost, std::stoi((*it)[1]));
    lowest = std::min(lowest, std::stoi((*it)[2]));
    highest = std::max(highest, std::stoi((*it)[2]));
  }
  EXPECT_NEAR(leftmost, 2800, 2);
  EXPECT_NEAR(rightmost, 4640, 2);
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

// A device-font text in a frame of negative scale (FX = -1, with FY = 1 and with FY = -1) is
// the text turned by half, as the stroke font's is and as the plot files write it: on the
// pictures, the printed page, the output window and the program's screen it is drawn as the
// same text at 180 degrees from the same start, beside an upright one.
TEST_F(plot_texts, DeviceFontTextInAFrameOfNegativeScaleIsTheTextTurnedByHalfOnEverySurface) {
  // A text in a frame: scales, outer origin, size, angle and the point in the frame's units.
  auto framed = [](int fx, int fy, int xo, int yo, int size, int angle, int x, int y) {
    auto n = [](int v) { return std::to_string(v); };
    return "PUS|FX=" + n(fx) + "|FY=" + n(fy) + "|XO=" + n(xo) + "|YO=" + n(yo) + "|SZ=" + n(size) + "|AN=" + n(angle) +
           "|MOV " + n(x) + "," + n(y) + "|TXT HHHH|POP|";
  };
  const std::string upright = framed(1, 1, 15, 8, 1, 0, 1, 1);
  const std::string negative = upright + framed(-1, 1, 15, 8, 1, 0, 1, 1) + framed(-1, -1, 15, 18, 1, 0, 1, 1);
  const std::string half_turn = upright + framed(1, 1, 15, 8, 1, 180, -1, 1) + framed(1, 1, 15, 18, 1, 180, -1, -1);
  // The program's screen in its pixels, its y running down.
  const std::string screen_upright = framed(1, 1, 0, 0, 20, 0, 100, 100);
  const std::string screen_negative =
      screen_upright + framed(-1, 1, 600, 0, 20, 0, 100, 200) + framed(-1, -1, 600, 600, 20, 0, 100, 200);
  const std::string screen_half_turn =
      screen_upright + framed(1, 1, 600, 0, 20, 180, -100, 200) + framed(1, 1, 600, 600, 20, 180, -100, -200);
  for (const char* surface : surfaces) {
    SCOPED_TRACE(surface);
    const plot_picture alone = drawn_on(surface, upright, screen_upright);
    const plot_picture drawn = drawn_on(surface, negative, screen_negative);
    const plot_picture turned = drawn_on(surface, half_turn, screen_half_turn);
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    ASSERT_GT(alone.width, 100);
    ASSERT_EQ(drawn.width, turned.width);
    ASSERT_EQ(drawn.height, turned.height);
    const ink_difference one = compare_ink(alone, alone), three = compare_ink(turned, alone);
    ASSERT_GT(one.ink, 100);
    ASSERT_GT(three.ink, 2 * one.ink);  // the half-turned texts are drawn
    const ink_difference d = compare_ink(drawn, turned);
    EXPECT_LE(d.differing, three.ink / 50) << "of " << three.ink << " ink pixels";
  }
}

// A device-font text at the current point (TX+) goes on behind the text before it, on its line,
// on the pictures, the printed page, the output window and the program's screen, as every plot
// file writes it: where a text given the current point as its position stands, at either angle.
TEST_F(plot_texts, DeviceFontTextAtTheCurrentPointGoesOnBehindTheTextBeforeOnEverySurface) {
  // " Orig" is five characters of half a centimetre (20 pixels): the current point moves on by
  // 2.5 cm (100 pixels) along the text.
  const std::string current = "SZ=0.5|MOV 2,20|TXT Orig|TX+ Plus|AN=90|MOV 12,10|TXT Rise|TX+ More";
  const std::string placed = "SZ=0.5|MOV 2,20|TXT Orig|MOV 4.5,20|TXT Plus|AN=90|MOV 12,10|TXT Rise|MOV 12,12.5|TXT More";
  // The screen's plot goes on with the script's settings of the plot before: AN=0 first.
  const std::string screen_current = "AN=0|SZ=20|MOV 100,100|TXT Orig|TX+ Plus|AN=90|MOV 400,400|TXT Rise|TX+ More";
  const std::string screen_placed =
      "AN=0|SZ=20|MOV 100,100|TXT Orig|MOV 200,100|TXT Plus|AN=90|MOV 400,400|TXT Rise|MOV 400,300|TXT More";
  std::string went_on_printed;
  for (const char* surface : surfaces) {
    SCOPED_TRACE(surface);
    const plot_picture went_on = drawn_on(surface, current, screen_current);
    if (std::string(surface) == "printer") went_on_printed = printed;
    const plot_picture put = drawn_on(surface, placed, screen_placed);
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    ASSERT_GT(put.width, 100);
    ASSERT_EQ(went_on.width, put.width);
    const ink_difference d = compare_ink(put, went_on);
    ASSERT_GT(d.ink, 100);
    EXPECT_LE(d.differing, d.ink / 50) << "of " << d.ink << " ink pixels";
  }
  // The printed page's words as a reader finds them: "Plus" behind "Orig" on its line.
  const pdf_word orig = word_at(dir, went_on_printed, "Orig"), plus = word_at(dir, went_on_printed, "Plus");
  ASSERT_TRUE(orig.found && plus.found) << went_on_printed;
  EXPECT_GE(plus.x1, orig.x2 - 0.5f);
  EXPECT_LT(plus.x1, orig.x2 + points(1.5f));
  EXPECT_NEAR(plus.y2, orig.y2, 1.0f);
}

// A text as long as a program text holds (a text variable of 256 characters, put into the
// script's TXT statement), and one of 200 characters written in the script itself, reach every
// device whole: the DXF text, the labels of HP-GL and of the comma-separated plotter language,
// the texts of PostScript, of the PDF device and of the printed page as their readers find them.
TEST_F(plot_texts, PlotTextAsLongAsAProgramTextReachesEveryDeviceWhole) {
  std::string longest, literal;
  for (int i = 0; i < 256; ++i) longest += static_cast<char>('A' + i % 26);
  longest.replace(250, 6, "Z256Z!");
  for (int i = 0; i < 200; ++i) literal += static_cast<char>('a' + i % 26);
  literal.replace(194, 6, "z200z!");
  const std::string script = "SZ=0.1|MOV 0.5,20|TXT " + literal + "|MOV 0.5,18|TXT \xB0" "LONG";
  // The program joins the variable's text of two halves (a text token holds 256 characters).
  auto plot_on = [&](const std::string& open, const std::string& file) {
    run({"%0002", "/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"},
        {open, "@0003 @0004 _// &2 __STO"}, {file, script, longest.substr(0, 128), longest.substr(128)},
        {"&0001 I 0001:DUMMY", "&0002 S 0001*256:LONG"});
  };
  plot_on("#41 #21 #29.7 #1", "long.dxf");
  plot_on("#30 #21 #29.7 #1", "long.plt");
  plot_on("#31 #21 #29.7 #1", "long31.plt");
  plot_on("#40 #21 #29.7 #1", "long.eps");
  plot_on("#43 #21 #29.7 #1", "long.pdf");
  ::setenv("WINKYR_PRINT_PDF", (dir / "printed.pdf").string().c_str(), 1);
  plot_on("#20 #21 #29.7 #1", "");
  ::unsetenv("WINKYR_PRINT_PDF");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_EQ(dxf_entities(dir, "long.dxf"), "TEXT 0.5 20 0  " + literal + "\nTEXT 0.5 18 0  " + longest + "\n");
  for (const char* file : {"long.plt", "long31.plt"}) {
    const std::string written = file_text(file);
    EXPECT_NE(written.find(" " + literal), std::string::npos) << file;
    EXPECT_NE(written.find(longest), std::string::npos) << file;
  }
  std::string output;
  EXPECT_EQ(run_reader(dir, "hp2xx -q -m eps -f hpgl.eps long.plt", output), 0) << output;
  // What the readers find, blanks aside (a reader may break a long word where it likes).
  auto read_back = [&](const std::string& command) {
    std::string text;
    EXPECT_EQ(run_reader(dir, command, text), 0) << text;
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }),
               text.end());
    return text;
  };
  for (const std::string& command : {std::string("gs -q -dSAFER -sDEVICE=txtwrite -o - long.eps"),
                                     std::string("pdftotext -raw long.pdf -"), std::string("pdftotext -raw printed.pdf -")}) {
    SCOPED_TRACE(command);
    const std::string text = read_back(command);
    EXPECT_NE(text.find(literal), std::string::npos) << text;
    EXPECT_NE(text.find(longest), std::string::npos) << text;
  }
}

}  // namespace
