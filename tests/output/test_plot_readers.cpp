// Plot files as standard readers see them: a DXF read by ezdxf (Debian's python3-ezdxf, so
// the system's python), a PDF checked by qpdf and
// rendered by pdftoppm, and HP-GL records of points beyond the six-column field.  A reader that
// is missing makes the test fail (scripts/setup installs them).
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_plot_fixture.h"

namespace {

class plot_readers : public plot_test {
 protected:
  int run_tool(const std::string& command, std::string& output) { return run_reader(dir, command, output); }

  // A grey image of the PDF's first page at 72 pixels per inch (one pixel per point).
  struct grey_image {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    int at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
  };
  grey_image render(const std::string& pdf) {
    std::string output;
    EXPECT_EQ(run_tool("pdftoppm -r 72 -gray -singlefile " + pdf + " page", output), 0) << output;
    grey_image img;
    std::ifstream in(dir / "page.pgm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> img.width >> img.height >> maxval;
    in.get();
    EXPECT_EQ(magic, "P5");
    img.pixels.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    in.read(reinterpret_cast<char*>(img.pixels.data()), static_cast<std::streamsize>(img.pixels.size()));
    EXPECT_TRUE(in.good());
    return img;
  }

  // Plots the frame of the whole paper and ends the plot.
  static void full_page_frame(float width, float height) {
    plot(0, 0, 3);
    plot(width, 0, 2);
    plot(width, height, 2);
    plot(0, height, 2);
    plot(0, 0, 2);
    plot(0, 0, 999);
  }

  // The frame drawn on a page: each of its four sides is a dark line lying inside the page, at
  // least a few pixels from the edge, along nearly the whole length between the other two.
  static void expect_whole_frame(const grey_image& img) {
    ASSERT_GT(img.width, 0);
    int left = img.width, right = -1, top = img.height, bottom = -1;
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x)
        if (img.at(x, y) < 128) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    ASSERT_GE(right, 0) << "nothing drawn";
    EXPECT_GE(left, 5);
    EXPECT_GE(top, 5);
    EXPECT_LE(right, img.width - 6);
    EXPECT_LE(bottom, img.height - 6);
    auto dark_run = [&](bool vertical, int at) {
      int n = 0;
      if (vertical) {
        for (int y = top; y <= bottom; ++y) n += img.at(at, y) < 128 || img.at(at + (at == left ? 1 : -1), y) < 128;
        return n >= (bottom - top + 1) * 9 / 10;
      }
      for (int x = left; x <= right; ++x) n += img.at(x, at) < 128 || img.at(x, at + (at == top ? 1 : -1)) < 128;
      return n >= (right - left + 1) * 9 / 10;
    };
    EXPECT_TRUE(dark_run(true, left));
    EXPECT_TRUE(dark_run(true, right));
    EXPECT_TRUE(dark_run(false, top));
    EXPECT_TRUE(dark_run(false, bottom));
  }
};

TEST_F(plot_readers, DxfWithFarAndNegativeCoordinatesIsReadWhole) {
  open("far", 41);
  plot(1.5f, 2.25f, 3);
  plot(5000.0f, -150.5f, 2);
  plot(-100.0f, 12.0f, 2);
  plot_text(-200.25f, 1234.5f, 0.5f, "far", 0, 0);
  plot(0, 0, 999);
  std::ofstream(dir / "read.py") << "import ezdxf, sys\n"
                                    "doc = ezdxf.readfile(sys.argv[1])\n"
                                    "for e in doc.modelspace():\n"
                                    "    if e.dxftype() == 'LINE':\n"
                                    "        print('LINE %g %g %g %g' % (e.dxf.start.x, e.dxf.start.y, e.dxf.end.x, e.dxf.end.y))\n"
                                    "    elif e.dxftype() == 'TEXT':\n"
                                    "        print('TEXT %g %g %g %s' % (e.dxf.insert.x, e.dxf.insert.y, e.dxf.height, e.dxf.text))\n";
  std::string output;
  ASSERT_EQ(run_tool("/usr/bin/python3 read.py far.DXF", output), 0) << output;
  EXPECT_EQ(output, "LINE 1.5 2.25 5000 -150.5\nLINE 5000 -150.5 -100 12\nTEXT -200.25 1234.5 0.5 far\n");
  EXPECT_EQ(file_text("far.DXF").find('*'), std::string::npos);
}

TEST_F(plot_readers, HpglPointsBeyondSixColumnsKeepAllTheirDigits) {
  open("far", 30);
  plot(0, 0, 3);
  plot(5000.0f, -30.0f, 2);  // 400 units per cm
  plot(0, 0, 999);
  const std::string hpgl = file_text("far.PLT");
  EXPECT_NE(hpgl.find("PD2000000,-12000;"), std::string::npos) << hpgl;
  EXPECT_EQ(hpgl.find('*'), std::string::npos);
}

TEST_F(plot_readers, FullA4PdfFrameLiesWhollyOnItsPageUprightAndTurned) {
  for (const bool upright : {true, false}) {
    SCOPED_TRACE(upright ? "portrait" : "landscape");
    const float width = upright ? 21.0f : 29.7f, height = upright ? 29.7f : 21.0f;
    open(upright ? "a4" : "a4l", 43, width, height);
    full_page_frame(width, height);
    const std::string pdf = upright ? "a4.PDF" : "a4l.PDF";
    std::string output;
    ASSERT_EQ(run_tool("qpdf --check " + pdf, output), 0) << output;
    const grey_image img = render(pdf);
    EXPECT_EQ(img.width < img.height, upright);
    expect_whole_frame(img);
  }
}

}  // namespace
