// The icon library: the record layout, where the library is found, drawing by reference with
// its "|" and "&" forms, the fall-back to icon 1, capture and write-back, and the shipped file.
#include <filesystem>

#include "test_video_fixture.h"

namespace {

// A record whose every pixel has colour index k.
icon_record solid_icon(int32_t k) {
  icon_record r{};
  for (int32_t row = 1; row <= icon_height; ++row)
    for (int32_t c = 1; c <= icon_width; ++c) set_icon_pixel_index(r, c, row, k);
  return r;
}

void write_library(const std::string& name, const std::vector<icon_record>& icons, size_t extra_bytes = 0) {
  std::filesystem::path p(name);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  for (const icon_record& r : icons) out.write(reinterpret_cast<const char*>(r.data()), icon_record_size);
  out << std::string(extra_bytes, '\1');
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class icon_library : public video_test {
 protected:
  // Draws through a drawing step on screen 0, as the icon command does.
  static void draw(int32_t x, int32_t y, std::string_view reference, bool flag = false) {
    ups u;
    screen_nr(0, u, x, y, x + 32, y + 30);
    draw_icon(x, y, reference, flag);
    screen_stop_nr(0);
  }
  // Colour index k of the library: 1 black, 4 red, 9 blue, 15 white.
  void SetUp() override {
    video_test::SetUp();
    write_library("icon.lib", {solid_icon(15), solid_icon(1), solid_icon(4), solid_icon(9), solid_icon(4),
                               icon_record{}, solid_icon(9)});
  }
};

TEST(icon_record_layout, PlanesAndBitOrder) {
  icon_record r{};
  set_icon_pixel_index(r, 1, 1, 1);    // plane 1, top bit of byte 4
  set_icon_pixel_index(r, 9, 1, 2);    // plane 2, second byte, top bit
  set_icon_pixel_index(r, 32, 30, 8);  // plane 8 of the last row, lowest bit
  set_icon_pixel_index(r, 8, 2, 15);
  EXPECT_EQ(r[4], 0x80);
  EXPECT_EQ(r[4 + 4 + 1], 0x80);
  EXPECT_EQ(r[16 * 30 - 12 + 12 + 3], 0x01);
  for (int plane = 0; plane < 4; ++plane) EXPECT_EQ(r[20 + 4 * plane], 0x01);
  EXPECT_EQ(icon_pixel_index(r, 1, 1), 1);
  EXPECT_EQ(icon_pixel_index(r, 9, 1), 2);
  EXPECT_EQ(icon_pixel_index(r, 32, 30), 8);
  EXPECT_EQ(icon_pixel_index(r, 8, 2), 15);
  EXPECT_EQ(icon_pixel_index(r, 2, 1), 0);
  // Outside the icon nothing is read or written.
  set_icon_pixel_index(r, 33, 1, 15);
  set_icon_pixel_index(r, 1, 31, 15);
  EXPECT_EQ(icon_pixel_index(r, 0, 1), 0);
  EXPECT_EQ(r[484], 0);
  EXPECT_EQ(r[0], 0);
}

TEST(icon_reference, NumbersAndForms) {
  EXPECT_EQ(icon_number("#7", false), 7);
  EXPECT_EQ(icon_number("#0007", false), 7);
  EXPECT_EQ(icon_number("#  7      ", false), 7);
  EXPECT_EQ(icon_number("#3|#4", true), 4);
  EXPECT_EQ(icon_number("#3|#4", false), 3);
  EXPECT_EQ(icon_number("#5&any text|#6", true), 5);
  EXPECT_EQ(icon_number("#123456", false), 1234);  // only four digits are read
  EXPECT_EQ(icon_number("#", false), 0);
  EXPECT_EQ(icon_number("", false), 0);
  EXPECT_EQ(icon_number("#ab", false), 0);
  EXPECT_EQ(icon_number("#-3", false), -3);
  EXPECT_EQ(icon_number(std::string(90, ' ') + "#5", false), 0);  // past 80 characters
}

TEST_F(icon_library, IconLandsOnePixelRightOfItsPoint) {
  fill_screen(test_white);
  draw(100, 50, "#7");
  EXPECT_EQ(screen_pixel(101, 50), test_blue);
  EXPECT_EQ(screen_pixel(132, 79), test_blue);
  const std::vector<uint32_t> px = grab_screen();
  for (int32_t y = 0; y < 480; ++y)
    for (int32_t x = 0; x < 640; ++x) {
      const bool inside = x >= 101 && x <= 132 && y >= 50 && y <= 79;
      ASSERT_EQ(px[static_cast<size_t>(y) * 640 + x], inside ? test_blue : test_white) << x << "," << y;
    }
  EXPECT_EQ(icon_count(), 7);
  EXPECT_EQ(icon_file_name(), "icon.lib");
  EXPECT_TRUE(icon_lib_loaded());
}

TEST_F(icon_library, BarAndAmpersandForms) {
  fill_screen(test_white);
  draw(0, 0, "#3|#4", true);
  EXPECT_EQ(screen_pixel(1, 0), test_blue);
  draw(0, 0, "#3|#4", false);
  EXPECT_EQ(screen_pixel(1, 0), test_red);
  draw(0, 100, "#2&whatever");
  EXPECT_EQ(screen_pixel(1, 100), test_black);
}

TEST_F(icon_library, NumbersAboveTheCountDrawIconOne) {
  fill_screen(test_red);
  draw(10, 10, "#8");
  EXPECT_EQ(screen_pixel(11, 10), test_white);
  draw(10, 100, "#300");
  EXPECT_EQ(screen_pixel(11, 100), test_white);
  // No number: nothing is drawn.
  fill_screen(test_red);
  draw(10, 10, "#0");
  draw(10, 10, "#-2");
  draw(10, 10, "icon");
  EXPECT_EQ(screen_pixel(11, 10), test_red);
}

TEST_F(icon_library, IndexOneIsColourZeroAndIndexZeroIsTransparent) {
  icon_record r{};
  set_icon_pixel_index(r, 1, 1, 1);
  set_icon_pixel_index(r, 3, 1, 15);
  write_library("icon.lib", {r});
  fill_screen(test_red);
  draw(0, 0, "#1");
  EXPECT_EQ(screen_pixel(1, 0), test_black);
  EXPECT_EQ(screen_pixel(2, 0), test_red);
  EXPECT_EQ(screen_pixel(3, 0), test_white);
}

TEST_F(icon_library, ShortFileKeepsOnlyCompleteRecords) {
  write_library("icon.lib", {solid_icon(15), solid_icon(4)}, 300);
  fill_screen(test_black);
  draw(0, 0, "#3");  // the cut third record: icon 1
  EXPECT_EQ(icon_count(), 2);
  EXPECT_EQ(screen_pixel(1, 0), test_white);
  draw(0, 0, "#2");
  EXPECT_EQ(screen_pixel(1, 0), test_red);
}

TEST_F(icon_library, WithoutALibraryNothingIsDrawnAndEveryDrawTriesAgain) {
  std::filesystem::remove("icon.lib");
  fill_screen(test_red);
  draw(0, 0, "#1");
  EXPECT_EQ(screen_pixel(1, 0), test_red);
  EXPECT_FALSE(icon_lib_loaded());
  EXPECT_EQ(icon_count(), 1);
  EXPECT_TRUE(boxes.empty());
  write_library("kyr/icon.lib", {solid_icon(9)});
  draw(0, 0, "#1");
  EXPECT_EQ(screen_pixel(1, 0), test_blue);
  EXPECT_EQ(icon_file_name(), "kyr\\icon.lib");
}

TEST_F(icon_library, DrawWithoutAStepDrawsNothing) {
  fill_screen(test_red);
  draw_icon(0, 0, "#1", false);
  EXPECT_EQ(screen_pixel(1, 0), test_red);
  // Through a context of its own the icon is drawn.
  ups u;
  START_BITMAP_DRAW(screen_info(0).bitmap, u);
  draw_icon_on(u, 0, 0, "#4", false);
  END_BITMAP_DRAW(u);
  EXPECT_EQ(screen_pixel(1, 0), test_blue);
}

TEST_F(icon_library, CaptureWritesOneRecordAndTheNextDrawReloads) {
  draw(0, 0, "#1");  // loads the library
  ASSERT_TRUE(icon_lib_loaded());
  fill_screen(test_white);
  paint(100, 50, 100, 50, test_black);  // top-left pixel black: index 1
  paint(101, 50, 101, 50, 0x800000);    // colour 1: transparent
  paint(102, 50, 102, 50, 0x123456);    // no standard colour: transparent
  paint(103, 50, 103, 50, test_red);    // colour 4
  paint(131, 79, 131, 79, test_blue);   // bottom-right: colour 9
  paint(132, 79, 132, 79, test_red);    // outside the captured area
  trace_to_file();
  save_icon_lib(100, 50, "#6");
  EXPECT_FALSE(icon_lib_loaded());

  const std::string file = read_file("icon.lib");
  ASSERT_EQ(file.size(), 7u * icon_record_size);
  icon_record r{};
  std::copy_n(file.begin() + 5 * icon_record_size, icon_record_size, r.begin());
  EXPECT_EQ(r[0], 32);
  EXPECT_EQ(r[1], 0);
  EXPECT_EQ(r[2], 30);
  EXPECT_EQ(r[3], 0);
  for (size_t i = 484; i < 512; ++i) EXPECT_EQ(r[i], 0);
  EXPECT_EQ(icon_pixel_index(r, 1, 1), 1);
  EXPECT_EQ(icon_pixel_index(r, 2, 1), 0);
  EXPECT_EQ(icon_pixel_index(r, 3, 1), 0);
  EXPECT_EQ(icon_pixel_index(r, 4, 1), 4);
  EXPECT_EQ(icon_pixel_index(r, 5, 1), 15);
  EXPECT_EQ(icon_pixel_index(r, 32, 30), 9);
  // The neighbouring records are untouched.
  EXPECT_EQ(file.substr(6 * icon_record_size, 4), std::string(reinterpret_cast<const char*>(solid_icon(9).data()), 4));

  // Drawn back at the same point it shows one pixel to the right.
  fill_screen(test_red);
  draw(100, 50, "#6");
  EXPECT_TRUE(icon_lib_loaded());
  EXPECT_EQ(screen_pixel(101, 50), test_black);
  EXPECT_EQ(screen_pixel(102, 50), test_red);  // transparent
  EXPECT_EQ(screen_pixel(104, 50), test_red);  // colour 4
  EXPECT_EQ(screen_pixel(105, 50), test_white);
  EXPECT_EQ(screen_pixel(132, 79), test_blue);
  const std::string trace = trace_text();
  EXPECT_NE(trace.find("save icon_file= icon.lib"), std::string::npos);
  EXPECT_NE(trace.find("icon_nr="), std::string::npos);
  EXPECT_NE(trace.find("loading iconLIB"), std::string::npos);
}

TEST_F(icon_library, CaptureIntoAMissingLibraryWritesNothing) {
  std::filesystem::remove("icon.lib");
  save_icon_lib(0, 0, "#2");
  EXPECT_FALSE(std::filesystem::exists("icon.lib"));
  EXPECT_FALSE(std::filesystem::exists("ICON.LIB"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(icon_library, CaptureOfABadNumberDoesNothing) {
  const std::string before = read_file("icon.lib");
  save_icon_lib(0, 0, "#0");
  save_icon_lib(0, 0, "#301");
  save_icon_lib(0, 0, "#x");
  EXPECT_EQ(read_file("icon.lib"), before);
}

TEST_F(icon_library, CaptureWithoutALoadedLibraryWritesIconLib) {
  // The file name is still "*": the capture goes to "ICON.LIB", found in any case.
  save_icon_lib(0, 0, "#1");
  const std::string file = read_file("icon.lib");
  EXPECT_EQ(static_cast<uint8_t>(file[0]), 32);
  EXPECT_FALSE(std::filesystem::exists("ICON.LIB") && !std::filesystem::equivalent("ICON.LIB", "icon.lib"));
}

TEST_F(icon_library, ForgetMakesTheNextDrawReload) {
  draw(0, 0, "#1");
  write_library("icon.lib", {solid_icon(4)});
  forget_icon_lib();
  fill_screen(test_white);
  draw(0, 0, "#1");
  EXPECT_EQ(screen_pixel(1, 0), test_red);
  EXPECT_EQ(icon_count(), 1);
}

TEST(shipped_icon_library, LayoutAndLoadingIcon) {
  const std::string file = read_file(std::string(WINKYR_SOURCE_DIR) + "/data/icon.lib");
  ASSERT_FALSE(file.empty());
  ASSERT_EQ(file.size() % icon_record_size, 0u);
  const size_t count = file.size() / icon_record_size;
  EXPECT_GE(count, 67u);
  EXPECT_LE(count, static_cast<size_t>(icon_max));
  for (size_t n = 0; n < count; ++n) {
    icon_record r{};
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(n * icon_record_size), icon_record_size, r.begin());
    EXPECT_EQ(r[0], 32) << n + 1;
    EXPECT_EQ(r[2], 30) << n + 1;
    int32_t visible = 0, outside_button = 0;
    for (int32_t row = 1; row <= icon_height; ++row)
      for (int32_t c = 1; c <= icon_width; ++c) {
        visible += icon_pixel_index(r, c, row) != 0;
        outside_button += icon_pixel_index(r, c, row) != 0 && (c > 10 || row > 11);
      }
    if (n + 1 <= 10) {
      EXPECT_GT(visible, 50) << "icon " << n + 1 << " is nearly empty";
    }
    if (n + 1 == 9) {
      EXPECT_EQ(icon_pixel_index(r, 16, 15), 1) << "the hourglass waist is black";
    }
    if (n + 1 >= 64 && n + 1 <= 67) {
      // The slider arrows: drawn 3 pixels inside a 16-pixel button, they keep to its middle.
      EXPECT_GT(visible, 10) << "icon " << n + 1;
      EXPECT_EQ(outside_button, 0) << "icon " << n + 1;
    }
  }
}

}  // namespace
