// Programs that plot on the printer, into the output window and the program's screen, and into
// PostScript and HP-GL files, their output read back as its readers and viewers see it.
#include "test_psplot_command_fixture.h"

#include "plot_pictures.h"

#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace {

using plot_program = psplot_command;

// The frame that a page with 2 cm margins leaves on A4, and a label 1 cm high.
constexpr const char* frame_and_label = "MOV 0,0|DRW 17,0|DRW 17,25.7|DRW 0,25.7|DRW 0,0|SZ=1|MOV 2,10|TXT Label";

// The height in points of the first word that pdftotext finds on the page, 0 when none.
float word_height(const std::filesystem::path& dir, const std::string& pdf) {
  std::string out;
  if (run_reader(dir, "pdftotext -bbox " + pdf + " -", out) != 0) return 0;
  float y1 = 0, y2 = 0;
  const size_t at = out.find("<word ");
  if (at == std::string::npos || std::sscanf(out.c_str() + at, "<word xMin=\"%*f\" yMin=\"%f\" xMax=\"%*f\" yMax=\"%f\"", &y1, &y2) != 2)
    return 0;
  return y2 - y1;
}

TEST_F(plot_program, PrinterPlotTakesThePageMarginsOnceAndTextsAsOnThePdfDevice) {
  const std::string printed = (dir / "printed.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", printed.c_str(), 1);
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#20 #21 #29.7 #1"},
      {"", frame_and_label});
  ::unsetenv("WINKYR_PRINT_PDF");
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#43 #21 #29.7 #1"},
      {"device.pdf", frame_and_label});
  EXPECT_TRUE(boxes.empty());
  std::string bbox;
  ASSERT_EQ(run_reader(dir, "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox printed.pdf", bbox), 0) << bbox;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const size_t at = bbox.find("%%HiResBoundingBox:");
  ASSERT_NE(at, std::string::npos) << bbox;
  ASSERT_EQ(std::sscanf(bbox.c_str() + at, "%%%%HiResBoundingBox: %f %f %f %f", &x1, &y1, &x2, &y2), 4) << bbox;
  // In points from the sheet's lower left corner: the frame spans 2 cm to 19 cm across and
  // 2 cm to 27.7 cm up, the margins' rectangle.
  auto pt = [](float cm) { return cm / 2.54f * 72.0f; };
  EXPECT_NEAR(x1, pt(2.0f), 2.0f) << bbox;
  EXPECT_NEAR(x2, pt(19.0f), 2.0f) << bbox;
  EXPECT_NEAR(y1, pt(2.0f), 2.0f) << bbox;
  EXPECT_NEAR(y2, pt(27.7f), 2.0f) << bbox;
  const float printed_height = word_height(dir, "printed.pdf"), device_height = word_height(dir, "device.pdf");
  ASSERT_GT(device_height, 0.0f);
  EXPECT_NEAR(printed_height / device_height, 1.0f, 0.1f) << printed_height << " " << device_height;
}

// A PDF plot under a name of 249 bytes (what a text token holds; the folder takes 255): the plot's
// file is written whole, though "." + the name + six random characters would be too long a name.
TEST_F(plot_program, PdfPlotUnderANameAsLongAsATextHolds) {
  const std::string name = std::string(245, 'p') + ".pdf";
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#43 #21 #29.7 #1"},
      {name, frame_and_label});
  EXPECT_TRUE(boxes.empty());
  std::string out;
  EXPECT_EQ(run_reader(dir, "qpdf --check " + name, out), 0) << out;
  EXPECT_EQ(run_reader(dir, "pdftotext " + name + " -", out), 0) << out;
  EXPECT_NE(out.find("Label"), std::string::npos) << out;
}

TEST_F(plot_program, PlotOnTheScreenKeepsPenBrushAndPointFromOnePlotCommandToTheNext) {
  clear_screen();
  colour_table[4] = 0x000000FFu;  // red
  run({"/00000008 PLOT", "/00000010 PLOT %0001", "/00000010 PLOT %0002", "/00000010 PLOT %0003",
       "/00000010 PLOT %0004", "/00000020 PLOT @0001", "/00000020 PLOT @0002"},
      {"#0 #0 #13", "#10 #20 #3", "#60 #20 #2", "#60 #60 #2"}, {"BG=1,4,0", "AR=100,100,40,40|REC"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_EQ(pixel(30, 20), colour(3));   // drawn with pen 3, chosen by the PLOT before
  EXPECT_EQ(pixel(60, 40), colour(3));   // on from where the last PLOT left the pen
  EXPECT_EQ(pixel(30, 30), 0xFFFFFFu);   // not from the screen's corner
  EXPECT_EQ(pixel(120, 120), colour(4));  // filled with the brush of the PLOT before
}

TEST_F(plot_program, WindowOrPicturePlotLeftOpenEndsQuietlyWhenThePlotGoesToTheScreen) {
  for (const char* device : {"#10 #21 #29.7 #1", "#49 #21 #29.7 #1"}) {
    SCOPED_TRACE(device);
    run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000008 PLOT", "/00000020 PLOT @0002",
         "/00000002 PLOT", "/00000008 PLOT", "/00000001 PLOT %0001 @0001", "/00000002 PLOT"},
        {device}, {"left.gif", "MOV 1,1|DRW 5,5"});
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    EXPECT_FALSE(program_has_ended());
  }
  EXPECT_EQ(file_text("left.gif").rfind("GIF8", 0), 0u);  // the picture left open is written
}

// Seven thin lines side by side in the output window, which the user then makes smaller.
TEST_F(plot_program, OutputWindowMadeSmallerKeepsEveryThinLine) {
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#10 #21 #29.7 #1"},
      {"", "MOV 2,5|DRW 2,25|MOV 3,5|DRW 3,25|MOV 4,5|DRW 4,25|MOV 5,5|DRW 5,25|MOV 6,5|DRW 6,25|"
           "MOV 7,5|DRW 7,25|MOV 8,5|DRW 8,25"});
  const int32_t window = get_plot_window();
  QWidget* widget = qnb::window_widget(window);
  ASSERT_NE(widget, nullptr);
  const int32_t full_width = plot_state.page_width, full_height = plot_state.page_height;
  const float per_cm = plot_state.xfac;
  const int32_t width = full_width * 7 / 10, height = full_height * 7 / 10;
  qn_set_window_client_size(window, width, height);
  QCoreApplication::processEvents();
  const QImage shown = widget->grab().toImage();
  ASSERT_EQ(shown.width(), width);
  const int row = shown.height() / 2;
  for (int cm = 2; cm <= 8; ++cm) {
    const int x = static_cast<int>(static_cast<float>(cm) * per_cm * static_cast<float>(width) / static_cast<float>(full_width));
    int darkest = 255;
    for (int dx = -2; dx <= 2; ++dx) darkest = std::min(darkest, qGray(shown.pixel(x + dx, row)));
    EXPECT_LT(darkest, 200) << "the line at " << cm << " cm";
  }
}

TEST_F(plot_program, EveryHpglFileWritesItsOwnTextSizeAndDirection) {
  for (const char* name : {"one.plt", "two.plt"})
    run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#30 #21 #29.7 #1"},
        {name, "SZ=1|MOV 2,10|TXTLabel"});
  const std::string second = file_text("two.plt");
  const size_t label = second.find("LBLabel");
  ASSERT_NE(label, std::string::npos) << second;
  EXPECT_NE(second.substr(0, label).find("SI0.680,0.850;DI100,0;"), std::string::npos) << second;
}

TEST_F(plot_program, MoveBackToALabelsStartIsWrittenAfterTheLabel) {
  const std::string script = "SZ=1|MOV 2,10|TXTLabel|MOV 2,10|DRW 2,4";
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#40 #21 #29.7 #1"},
      {"label.eps", script});
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#30 #21 #29.7 #1"},
      {"label.plt", script});
  EXPECT_NE(file_text("label.eps").find("(Label) t\n200 1000 m\n200 400 l\n"), std::string::npos)
      << file_text("label.eps");
  EXPECT_NE(file_text("label.plt").find("LBLabel\x03PU800,4000;PD800,1600;"), std::string::npos)
      << file_text("label.plt");
}

// Seventeen pens (17 distinct colours with the white paper) in rows from the top: in the GIF
// every row keeps the colour that the BMP of the same plot shows, but the last, which finds no
// room in the table and takes the nearest colour already there.
TEST_F(plot_program, GifOfMorePensThanItsTableKeepsEveryColourDrawnBefore) {
  std::vector<std::string> codes{"/00000001 PLOT %0001 @0001"}, texts{"", "LW=0.05"};
  for (int pen = 0; pen <= 16; ++pen) {
    const std::string y = std::to_string(27 - pen);
    texts.push_back("LC=" + std::to_string(pen) + "|MOV 1," + y + "|DRW 10," + y);
  }
  for (size_t t = 2; t <= texts.size(); ++t) codes.push_back("/00000020 PLOT @" + std::string(t < 10 ? "000" : "00") + std::to_string(t));
  codes.push_back("/00000002 PLOT");
  for (const char* name : {"pens.gif", "pens.bmp"}) {
    texts[0] = name;
    run(codes, {"#49 #21 #29.7 #1"}, texts);
  }
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  std::string output;
  const plot_picture gif = read_plot_picture(dir, "pens.gif", 0, output);
  ASSERT_GT(gif.width, 0) << output;
  const plot_picture bmp = read_plot_picture(dir, "pens.bmp", 0, output);
  ASSERT_EQ(bmp.width, gif.width) << output;
  const int x = static_cast<int>(5.0f * plot_state.xfac);
  auto row = [&](int pen) { return plot_state.page_height - 1 - static_cast<int>(static_cast<float>(27 - pen) * plot_state.yfac); };
  for (int pen = 0; pen <= 15; ++pen) EXPECT_EQ(gif.at(x, row(pen)), bmp.at(x, row(pen))) << "pen " << pen;
  // Pen 16 (a near-white cream) is the 17th colour: it is shown as the white of the paper.
  EXPECT_NE(bmp.at(x, row(16)), 0xFFFFFFu);
  EXPECT_EQ(gif.at(x, row(16)), 0xFFFFFFu);
}

// A dashed line on the printer page: dashes of about 5 mm, as on the screen, not dashes of a
// few printer pixels that any viewer shows as one solid line.
TEST_F(plot_program, DashedLineOnThePrinterHasDashesOfPaperLength) {
  const std::string printed = (dir / "dashed.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", printed.c_str(), 1);
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#20 #21 #29.7 #1"},
      {"", "LS=1|MOV 1,10|DRW 16,10"});
  ::unsetenv("WINKYR_PRINT_PDF");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  std::string output;
  const plot_picture page = read_plot_picture(dir, "dashed.pdf", 150, output);
  ASSERT_GT(page.width, 0) << output;
  // The line's row: the one with the most ink.
  int line_row = 0, most = 0;
  for (int y = 0; y < page.height; ++y) {
    int n = 0;
    for (int x = 0; x < page.width; ++x) n += page.ink(x, y, 200);
    if (n > most) {
      most = n;
      line_row = y;
    }
  }
  ASSERT_GT(most, 0);
  std::vector<int> dashes;
  int run_length = 0;
  for (int x = 0; x < page.width; ++x) {
    const bool ink = page.ink(x, line_row, 200) || page.ink(x, line_row + 1, 200);
    if (ink) {
      ++run_length;
    } else if (run_length > 0) {
      dashes.push_back(std::exchange(run_length, 0));
    }
  }
  const float px_per_mm = 150.0f / 25.4f;
  // 15 cm of dashes of about 4.8 mm with gaps of 1.6 mm: some 23 dashes.
  EXPECT_GE(dashes.size(), 18u);
  EXPECT_LE(dashes.size(), 30u);
  ASSERT_GT(dashes.size(), 2u);
  EXPECT_NEAR(static_cast<float>(dashes[1]) / px_per_mm, 4.8f, 1.0f);
}

TEST_F(plot_program, DxfTextMovesWithThePlotOriginAsItsLineDoes) {
  run({"/00000001 PLOT %0001 @0001", "/00000010 PLOT %0002", "/00000020 PLOT @0002", "/00000002 PLOT"},
      {"#41 #21 #29.7 #1", "#5 #5 #-3"}, {"origin.dxf", "MOV 1,1|DRW 3,1|SZ=0.5|MOV 1,1|TXTHere"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_EQ(dxf_entities(dir, "origin.dxf"), "LINE 6 6 8 6\nTEXT 6 6 0 Here\n");
}

TEST_F(plot_program, DxfTextOfMoreThanEightyCharactersIsWrittenWhole) {
  std::string label;
  for (int i = 0; label.size() < 124; ++i) label += static_cast<char>('A' + i % 26);
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#41 #21 #29.7 #1"},
      {"long.dxf", "SZ=0.2|MOV 1,1|TXT" + label});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_EQ(dxf_entities(dir, "long.dxf"), "TEXT 1 1 0 " + label + "\n");
}

// A device-font text on the plot of the program's screen, 20 pixels high as the stroke font
// would draw it: in a fresh run and after a picture plot whose page is far larger.
TEST_F(plot_program, DeviceFontTextOnTheScreenPlotTakesTheScreensOwnScale) {
  clear_screen();
  run({"/00000008 PLOT", "/00000020 PLOT @0001", "/00000002 PLOT", "/00000001 PLOT %0001 @0002",
       "/00000020 PLOT @0003", "/00000002 PLOT", "/00000008 PLOT", "/00000020 PLOT @0004", "/00000002 PLOT"},
      {"#49 #21 #29.7 #1"},
      {"MOV 100,200|SZ=20|TXT HHHH", "before.gif", "MOV 2,2|SZ=20|TXT HHHH", "MOV 300,200|SZ=20|TXT HHHH"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  const plot_picture screen = picture_of(screen0());
  for (const int x : {100, 300}) {
    SCOPED_TRACE(x);
    const ink_box text = ink_within(screen, x - 5, 150, x + 150, 260);
    ASSERT_FALSE(text.empty());
    // The capitals of a font of 20 pixels are some 14 pixels high, at the given point's height.
    EXPECT_NEAR(text.height(), 14, 4);
    EXPECT_NEAR(text.bottom, 200, 6);
  }
}

// The stroke font on the screen plot: an upright L (its foot at the start point, its stem
// above it), and a text at 30 degrees that climbs to the right.
TEST_F(plot_program, StrokeFontOnTheScreenPlotStandsUprightAndClimbs) {
  clear_screen();
  run({"/00000008 PLOT", "/00000020 PLOT @0001", "/00000002 PLOT"}, {},
      {"TXT$$$SS1|MOV 100,100|SZ=40|TXT L|AN=30|MOV 100,350|TXT LLLL"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  const plot_picture screen = picture_of(screen0());
  const ink_box l = ink_within(screen, 80, 30, 160, 170);
  ASSERT_FALSE(l.empty());
  EXPECT_NEAR(l.bottom, 100, 2);
  EXPECT_NEAR(l.top, 60, 3);
  int foot = 0, head = 0;  // ink in the L's lowest and highest rows
  for (int x = l.left; x <= l.right; ++x) {
    foot += screen.ink(x, l.bottom) || screen.ink(x, l.bottom - 1);
    head += screen.ink(x, l.top) || screen.ink(x, l.top + 1);
  }
  EXPECT_GT(foot, 2 * head);
  const ink_box slope = ink_within(screen, 80, 200, 400, 500);
  ASSERT_FALSE(slope.empty());
  // From (100, 350) four letters of 40 pixels run 160 pixels along the text: 80 up to the right.
  EXPECT_LT(slope.top, 350 - 60);
  EXPECT_LE(slope.bottom, 352);
}

// Each plot left open when the next one opens, through every kind of device: each is ended by
// the next open as its own end would end it, every file complete for its reader, the numbered
// pictures both written (no claimed name left empty), the printer job printed.
TEST_F(plot_program, PlotLeftOpenIsEndedWholeByTheNextOpenOnAnyDevice) {
  std::filesystem::create_directories(dir / "pics");
  const std::string printed = (dir / "printed.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", printed.c_str(), 1);
  const std::vector<std::pair<int, int>> opens = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {5, 5}, {1, 7}, {6, 8}, {7, 8}};
  std::vector<std::string> codes;
  for (const auto& [device, name] : opens) {
    codes.push_back("/00000001 PLOT %000" + std::to_string(device) + " @000" + std::to_string(name));
    codes.push_back("/00000020 PLOT @0006");
  }
  codes.push_back("/00000002 PLOT");
  run(codes,
      {"#43 #21 #29.7 #1", "#30 #21 #29.7 #1", "#40 #21 #29.7 #1", "#41 #21 #29.7 #1", "#49 #21 #29.7 #1",
       "#20 #21 #29.7 #1", "#10 #21 #29.7 #1"},
      {"a.pdf", "b.plt", "c.eps", "d.dxf", "pics\\", "MOV 1,1|DRW 5,5|MOV 2,2|DRW 9,3", "e.pdf", ""});
  ::unsetenv("WINKYR_PRINT_PDF");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_FALSE(program_has_ended());
  std::string out;
  for (const char* pdf : {"a.pdf", "e.pdf", "printed.pdf"})
    EXPECT_EQ(run_reader(dir, std::string("qpdf --check ") + pdf, out), 0) << pdf << ": " << out;
  EXPECT_TRUE(file_text("b.plt").ends_with("PU;PA0,0;SP0;")) << file_text("b.plt");
  EXPECT_NE(file_text("c.eps").find("showpage"), std::string::npos);
  EXPECT_EQ(run_reader(dir, "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage c.eps", out), 0) << out;
  EXPECT_EQ(run_reader(dir, "/usr/bin/python3 -c 'import ezdxf; ezdxf.readfile(\"d.dxf\")'", out), 0) << out;
  for (const char* gif : {"pics/PLTF0001.GIF", "pics/PLTF0002.GIF"}) {
    const QImage picture((dir / gif).string().c_str());
    EXPECT_FALSE(picture.isNull()) << gif << " " << std::filesystem::file_size(dir / gif) << " bytes";
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "pics"), std::filesystem::directory_iterator()), 2);
}

}  // namespace
