// One picture drawn by one program on every plot device (the program's screen, the printer,
// HP-GL, PostScript, DXF, PDF, GIF and BMP), each output read back by its standard reader and
// compared with what the others say: where the texts stand and which way they turn, the pens'
// colours, the dashes, the filled area, the offset origin and a label of 124 characters.
#include "test_psplot_command_fixture.h"

#include "plot_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using plot_agreement = psplot_command;

// The picture in cm, inside a frame from (0.5, 0.5) to (16.5, 25), which fits the printable
// area of an A4 page with the printer's margins.
constexpr float frame_left = 0.5f, frame_bottom = 0.5f, frame_right = 16.5f, frame_top = 25.0f;

std::string label_124() {
  std::string label;
  for (int i = 0; label.size() < 124; ++i) label += static_cast<char>('a' + i % 26);
  return label;
}

// The statements of the picture, a few to a script text.
std::vector<std::string> picture_scripts() {
  std::vector<std::string> scripts{"LW=0.05|LC=1|MOV 0.5,0.5|DRW 16.5,0.5|DRW 16.5,25|DRW 0.5,25|DRW 0.5,0.5"};
  // Pens 1 to 16: with the paper's white 17 colours, one more than a GIF's table holds.
  for (int first = 1; first <= 16; first += 4) {
    std::string s;
    for (int pen = first; pen < first + 4; ++pen) {
      char row[64];
      std::snprintf(row, sizeof row, "%sLC=%d|MOV 1,%.1f|DRW 5,%.1f", s.empty() ? "" : "|", pen, 24 - 0.5 * pen, 24 - 0.5 * pen);
      s += row;
    }
    scripts.push_back(s);
  }
  scripts.push_back("LW=0|LC=1|LS=1|MOV 7,24|DRW 16,24|LS=2|MOV 7,23|DRW 16,23|LS=3|MOV 7,22|DRW 16,22");
  scripts.push_back("LS=4|MOV 7,21|DRW 16,21|LS=0|AR=7,17,3,2|BG=1,4,0|REC");
  scripts.push_back("SZ=0.8|AN=0|MOV 1,14|TXTHHHH|AN=30|MOV 1,9|TXTHHHH|AN=90|MOV 8,9|TXTHHHH");
  scripts.push_back("LW=0.05|TXT$$$SS1|AN=0|MOV 10,14|TXTLLLL|AN=30|MOV 10,9|TXTLLLL|AN=90|MOV 15.5,9|TXTLLLL|TXT$$$SS0|AN=0");
  return scripts;
}
// After the origin moved by (1, 1): a line and a text from (2, 2), and the long label.
std::vector<std::string> origin_scripts() { return {"LW=0.05|MOV 1,1|DRW 4,1|SZ=0.5|MOV 1,1|TXTOrigin", "SZ=0.2|MOV 0,3|TXT" + label_124()}; }

struct text_place {
  const char* name;
  float x, y, angle;
  bool stroke;
};
constexpr text_place texts[] = {{"device 0", 1, 14, 0, false},  {"device 30", 1, 9, 30, false},
                                {"device 90", 8, 9, 90, false}, {"stroke 0", 10, 14, 0, true},
                                {"stroke 30", 10, 9, 30, true}, {"stroke 90", 15.5f, 9, 90, true},
                                {"origin", 2, 2, 0, false}};

// A picture of the plot with the frame found in it: pixels to and from the picture's cm.
struct framed {
  plot_picture pic;
  int left = 0, top = 0, right = 0, bottom = 0;  // the frame's lines, in pixels
  bool found = false;

  int px(float x) const { return left + static_cast<int>(std::lround((x - frame_left) / (frame_right - frame_left) * (right - left))); }
  int py(float y) const { return bottom - static_cast<int>(std::lround((y - frame_bottom) / (frame_top - frame_bottom) * (bottom - top))); }
  float cm_x(int x) const { return frame_left + static_cast<float>(x - left) / static_cast<float>(right - left) * (frame_right - frame_left); }
  float cm_y(int y) const { return frame_bottom + static_cast<float>(bottom - y) / static_cast<float>(bottom - top) * (frame_top - frame_bottom); }
  float per_cm() const { return static_cast<float>(right - left) / (frame_right - frame_left); }

  // The ink within a rectangle given in cm, as a box in cm (x1, y1, x2, y2); empty when none.
  std::vector<float> ink_cm(float x1, float y1, float x2, float y2) const {
    const ink_box b = ink_within(pic, px(x1), py(y2), px(x2), py(y1), 200);
    if (b.empty()) return {};
    return {cm_x(b.left), cm_y(b.bottom), cm_x(b.right), cm_y(b.top)};
  }
};

// The frame: the outermost rows and columns whose ink spans most of the picture's ink.
framed find_frame(const plot_picture& pic) {
  framed f{pic};
  const ink_box all = ink_within(pic, 0, 0, pic.width - 1, pic.height - 1, 200);
  if (all.empty()) return f;
  auto row_ink = [&](int y) {
    int n = 0;
    for (int x = all.left; x <= all.right; ++x) n += pic.ink(x, y, 200);
    return n;
  };
  auto column_ink = [&](int x) {
    int n = 0;
    for (int y = all.top; y <= all.bottom; ++y) n += pic.ink(x, y, 200);
    return n;
  };
  f.top = all.top;
  while (f.top < all.bottom && row_ink(f.top) < all.width() * 6 / 10) ++f.top;
  f.bottom = all.bottom;
  while (f.bottom > f.top && row_ink(f.bottom) < all.width() * 6 / 10) --f.bottom;
  f.left = all.left;
  while (f.left < all.right && column_ink(f.left) < all.height() * 6 / 10) ++f.left;
  f.right = all.right;
  while (f.right > f.left && column_ink(f.right) < all.height() * 6 / 10) --f.right;
  // The frame's line has a width: take the middle of the line at each side.
  auto middle = [](int edge, int step, auto ink) {
    int far = edge;
    while (ink(far + step)) far += step;
    return (edge + far) / 2;
  };
  f.top = middle(f.top, 1, [&](int y) { return row_ink(y) >= all.width() * 6 / 10; });
  f.bottom = middle(f.bottom, -1, [&](int y) { return row_ink(y) >= all.width() * 6 / 10; });
  f.left = middle(f.left, 1, [&](int x) { return column_ink(x) >= all.height() * 6 / 10; });
  f.right = middle(f.right, -1, [&](int x) { return column_ink(x) >= all.height() * 6 / 10; });
  f.found = f.right - f.left > 50 && f.bottom - f.top > 50;
  return f;
}

// The text's ink as a box in cm, looked for around where a text of height 0.8 (0.5 for the
// origin's text) at that angle lies.
std::vector<float> text_box(const framed& f, const text_place& t) {
  const float h = std::string(t.name) == "origin" ? 0.5f : 0.8f;
  if (t.angle == 0) return f.ink_cm(t.x - 0.3f, t.y - 0.4f, t.x + 4.5f * h, t.y + 1.6f * h);
  if (t.angle == 30) return f.ink_cm(t.x - 0.8f, t.y - 0.4f, t.x + 4.2f, t.y + 3.0f);
  return f.ink_cm(t.x - 1.6f * h, t.y - 0.3f, t.x + 0.3f, t.y + 4.5f * h);
}

// The colour of a pen's line at x = 3 cm: the pixel farthest from white across the line.
uint32_t pen_colour(const framed& f, int pen) {
  const int x = f.px(3.0f), y = f.py(24.0f - 0.5f * static_cast<float>(pen));
  const int reach = std::max(2, static_cast<int>(f.per_cm() * 0.12f));
  uint32_t best = 0xFFFFFFu;
  int far = -1;
  for (int dy = -reach; dy <= reach; ++dy) {
    const uint32_t c = f.pic.at(x, y + dy);
    int d = 0;
    for (int shift : {0, 8, 16}) d += 255 - static_cast<int>((c >> shift) & 0xFF);
    if (d > far) {
      far = d;
      best = c;
    }
  }
  return best;
}

// The dashes of the style-1 line: the ink runs along it, in cm.
std::vector<float> dash_runs(const framed& f) {
  std::vector<float> runs;
  const int y = f.py(24.0f);
  int run = 0;
  for (int x = f.px(7.3f); x <= f.px(15.7f); ++x) {
    bool ink = false;
    for (int dy = -1; dy <= 1; ++dy) ink = ink || f.pic.ink(x, y + dy, 200);
    if (ink) {
      ++run;
    } else if (run > 0) {
      runs.push_back(static_cast<float>(run) / f.per_cm());
      run = 0;
    }
  }
  if (run > 0) runs.push_back(static_cast<float>(run) / f.per_cm());
  return runs;
}

int channel_gap(uint32_t a, uint32_t b) {
  int gap = 0;
  for (int shift : {0, 8, 16}) gap = std::max(gap, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return gap;
}

struct device_output {
  std::string name;
  framed picture;
  bool colours = false;  // pens in colour
  // Dashed line styles and filled areas: the devices with a drawing surface.  The plot files
  // (PDF, PostScript, HP-GL, DXF) draw every line style solid and leave shapes out.
  bool styles = false;
};

TEST_F(plot_agreement, OnePictureOnEveryDeviceSaysTheSameEverywhere) {
  const std::vector<std::string> scripts = picture_scripts(), after_origin = origin_scripts();
  auto run_picture = [&](const std::string& device, const std::string& file, float origin_x, float origin_y,
                         const std::string& prefix) {
    std::vector<std::string> codes, upn, tokens;
    auto token = [&](const std::string& text) {
      tokens.push_back(text);
      char at[16];
      std::snprintf(at, sizeof at, "@%04zu", tokens.size());
      return std::string(at);
    };
    if (device.empty()) {
      codes.push_back("/00000008 PLOT");
    } else {
      upn.push_back(device);
      codes.push_back("/00000001 PLOT %0001 " + token(file));
    }
    for (const std::string& s : scripts) codes.push_back("/00000020 PLOT " + token(prefix + s));
    char origin[64];
    std::snprintf(origin, sizeof origin, "#%g #%g #-3", origin_x, origin_y);
    upn.push_back(origin);
    char upn_ref[16];
    std::snprintf(upn_ref, sizeof upn_ref, "%%%04zu", upn.size());
    codes.push_back(std::string("/00000010 PLOT ") + upn_ref);
    for (const std::string& s : after_origin) codes.push_back("/00000020 PLOT " + token(prefix + s));
    codes.push_back("/00000002 PLOT");
    run(codes, upn, tokens);
    EXPECT_TRUE(boxes.empty()) << device << ": " << boxes.front().text;
    boxes.clear();
  };

  std::vector<device_output> outputs;
  std::string output;
  auto add_file = [&](const std::string& name, const std::string& file, int dpi, bool colours, bool styles) {
    device_output d{name, find_frame(read_plot_picture(dir, file, dpi, output)), colours, styles};
    EXPECT_TRUE(d.picture.found) << name << ": no frame in " << file << " " << output;
    if (d.picture.found) outputs.push_back(d);
  };

  // The program's screen: a frame that maps cm onto its pixels, y turned upwards.
  clear_screen();
  const QImage& screen = screen0();
  const float s = std::floor(std::min(static_cast<float>(screen.width()) / 17.0f, static_cast<float>(screen.height()) / 26.0f));
  ASSERT_GE(s, 15.0f) << screen.width() << "x" << screen.height();
  char frame[96];
  std::snprintf(frame, sizeof frame, "FX=%g|FY=%g|YO=%g|", s, -s, 26.0f * s);
  run_picture("", "", s, -s, frame);
  outputs.push_back({"screen", find_frame(picture_of(screen0())), true, true});
  EXPECT_TRUE(outputs.back().picture.found);

  // The printer, into a PDF file.
  const std::string printed = (dir / "printer.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", printed.c_str(), 1);
  run_picture("#20 #21 #29.7 #1", "", 1, 1, "");
  ::unsetenv("WINKYR_PRINT_PDF");
  add_file("printer", "printer.pdf", 100, true, true);

  struct file_device {
    const char* name;
    const char* open;
    const char* file;
    const char* picture;  // the file the reader draws: the plot, or hp2xx's PostScript of it
    int dpi;
    bool colours, styles;
  };
  for (const file_device& fd : {file_device{"pdf", "#43 #21 #29.7 #1", "plot.pdf", "plot.pdf", 100, true, false},
                                file_device{"eps", "#40 #21 #29.7 #1", "plot.eps", "plot.eps", 100, false, false},
                                file_device{"hpgl", "#30 #21 #29.7 #1", "plot.plt", "hpgl.eps", 100, false, false},
                                file_device{"gif", "#49 #21 #29.7 #1", "plot.gif", "plot.gif", 0, true, true},
                                file_device{"bmp", "#49 #21 #29.7 #1", "plot.bmp", "plot.bmp", 0, true, true}}) {
    run_picture(fd.open, fd.file, 1, 1, "");
    if (std::string(fd.file) != fd.picture) {
      EXPECT_EQ(run_reader(dir, std::string("hp2xx -q -m eps -f ") + fd.picture + " " + fd.file, output), 0) << output;
    }
    add_file(fd.name, fd.picture, fd.dpi, fd.colours, fd.styles);
  }
  run_picture("#41 #21 #29.7 #1", "plot.dxf", 1, 1, "");

  // The PDF device is the reference of every picture.
  const auto reference = std::find_if(outputs.begin(), outputs.end(), [](const device_output& d) { return d.name == "pdf"; });
  ASSERT_NE(reference, outputs.end());
  for (const device_output& d : outputs) {
    SCOPED_TRACE(d.name);
    const framed& f = d.picture;
    for (const text_place& t : texts) {
      SCOPED_TRACE(t.name);
      const std::vector<float> box = text_box(f, t), ref = text_box(reference->picture, t);
      EXPECT_EQ(box.size(), 4u) << "no text";
      if (box.size() != 4 || ref.size() != 4) continue;
      const float width = box[2] - box[0], height = box[3] - box[1];
      if (t.stroke) {
        // The stroke font draws the same lines everywhere.
        for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(box[i], ref[i], 0.25f) << "corner value " << i;
      } else {
        // Device fonts differ a little in their shapes and widths, not in where a text starts
        // nor, much, in its size.
        const size_t start_x = t.angle == 90 ? 2 : 0;
        EXPECT_NEAR(box[start_x], ref[start_x], 0.35f);
        EXPECT_NEAR(box[1], ref[1], 0.35f);
        EXPECT_NEAR(width / (ref[2] - ref[0]), 1.0f, 0.45f);
        EXPECT_NEAR(height / (ref[3] - ref[1]), 1.0f, 0.45f);
      }
      // Turned counter-clockwise: a text at 30 degrees climbs, at 90 degrees it stands.
      if (t.angle == 30) {
        EXPECT_GT(height, 1.2f);
      } else if (t.angle == 90) {
        EXPECT_GT(height, 2.0f * width);
      } else {
        EXPECT_LT(height, 1.0f);
        EXPECT_NEAR(box[0], t.x, 0.35f);  // it starts at its point
        EXPECT_NEAR(box[1], t.y, 0.35f);
      }
    }
    // The stroke font's L stands upright: its foot is its widest row.
    if (const std::vector<float> l = text_box(f, texts[3]); l.size() == 4) {
      int foot = 0, head = 0;
      const int bottom = f.py(l[1]), top = f.py(l[3]);
      for (int x = f.px(l[0]); x <= f.px(l[2]); ++x) {
        foot += f.pic.ink(x, bottom, 200) || f.pic.ink(x, bottom - 1, 200);
        head += f.pic.ink(x, top, 200) || f.pic.ink(x, top + 1, 200);
      }
      EXPECT_GT(foot, 2 * head) << "the L is upside down";
    }
    // The origin's line starts where its text starts.
    const std::vector<float> line = f.ink_cm(1.6f, 1.8f, 5.5f, 2.05f);
    EXPECT_EQ(line.size(), 4u);
    if (line.size() == 4) {
      EXPECT_NEAR(line[0], 2.0f, 0.2f);
      EXPECT_NEAR(line[2], 5.0f, 0.2f);
    }
    if (d.colours) {
      for (int pen = 1; pen <= 14; ++pen)  // 15 and 16 are white and a near white
        EXPECT_LE(channel_gap(pen_colour(f, pen), pen_colour(reference->picture, pen)), 60)
            << "pen " << pen << " " << std::hex << pen_colour(f, pen) << " " << pen_colour(reference->picture, pen);
    }
    if (d.styles) {
      const std::vector<float> dashes = dash_runs(f);
      EXPECT_GE(dashes.size(), 6u);
      EXPECT_LE(dashes.size(), 40u);
      EXPECT_LT(dashes.empty() ? 0.0f : *std::max_element(dashes.begin(), dashes.end()), 1.5f);
      const uint32_t filled = f.pic.at(f.px(8.5f), f.py(18.0f));
      EXPECT_LE(channel_gap(filled, 0xFF0000u), 40) << std::hex << filled;
    }
  }

  // The label of 124 characters, whole in every output that keeps texts as texts.
  const std::string label = label_124();
  for (const char* pdf : {"plot.pdf", "printer.pdf"}) {
    ASSERT_EQ(run_reader(dir, std::string("pdftotext -raw ") + pdf + " -", output), 0) << output;
    EXPECT_NE(output.find(label), std::string::npos) << pdf << ": " << output;
  }
  ASSERT_EQ(run_reader(dir, "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile=- plot.eps", output), 0) << output;
  EXPECT_NE(output.find(label), std::string::npos) << output;
  EXPECT_NE(file_text("plot.plt").find("LB" + label + "\x03"), std::string::npos);

  // The DXF: the texts at their points and angles, the origin's text where its line starts,
  // the label whole.
  std::ofstream(dir / "texts.py") << "import ezdxf, sys\n"
                                     "doc = ezdxf.readfile(sys.argv[1])\n"
                                     "for e in doc.modelspace():\n"
                                     "    if e.dxftype() == 'TEXT':\n"
                                     "        print('TEXT %g %g %g %s' % (e.dxf.insert.x, e.dxf.insert.y, e.dxf.rotation, e.dxf.text))\n"
                                     "    elif e.dxftype() == 'LINE' and e.dxf.start.y == 2 and e.dxf.end.y == 2:\n"
                                     "        print('LINE %g %g %g' % (e.dxf.start.x, e.dxf.start.y, e.dxf.end.x))\n";
  ASSERT_EQ(run_reader(dir, "/usr/bin/python3 texts.py plot.dxf", output), 0) << output;
  for (const char* line : {"TEXT 1 14 0 HHHH\n", "TEXT 1 9 30 HHHH\n", "TEXT 8 9 90 HHHH\n", "LINE 2 2 5\n", "TEXT 2 2 0 Origin\n"})
    EXPECT_NE(output.find(line), std::string::npos) << line << output;
  EXPECT_NE(output.find("TEXT 1 4 0 " + label + "\n"), std::string::npos) << output;
}

}  // namespace
