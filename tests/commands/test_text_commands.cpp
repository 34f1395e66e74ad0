// TEXT (font stack, standard and fixed fonts, writing), TEXTB and SHOW.
#include "test_draw_fixture.h"

#include <fstream>

#include "runtime/program/areas.h"
#include "runtime/screen/icon_library.h"

namespace {

class text_commands : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    init_common();
    clear_screen();
  }
  static std::string face_of(int32_t handle) {
    return qnb::font_object(handle)->font.families().value(0).toStdString();
  }
  static int pixel_size(int32_t handle) { return qnb::font_object(handle)->font.pixelSize(); }
  static bool bold(int32_t handle) { return qnb::font_object(handle)->font.bold(); }
  static bool italic(int32_t handle) { return qnb::font_object(handle)->font.italic(); }
  // A 4 x 3 BMP of 24-bit pixels, all of one colour (r, g, b).
  void write_bmp(const std::string& name, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    const int32_t row = (w * 3 + 3) / 4 * 4;
    std::string data(54 + row * h, '\0');
    auto put32 = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>(v >> (8 * i));
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, static_cast<uint32_t>(data.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    data[26] = 1;
    data[28] = 24;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        data[54 + y * row + x * 3] = static_cast<char>(b);
        data[54 + y * row + x * 3 + 1] = static_cast<char>(g);
        data[54 + y * row + x * 3 + 2] = static_cast<char>(r);
      }
    std::ofstream(dir / name, std::ios::binary) << data;
  }
};

TEST_F(text_commands, FontSlotDefinitionsFillBlanksAndReadTheStyleBits) {
  run({"/00000008 TEXT %0001 @0001"}, {"#0 #0 #0"}, {" "});
  EXPECT_EQ(font_table.slot[0].face, "MS Sans Serif");
  EXPECT_EQ(font_table.slot[0].size, 8);
  run({"/00000008 TEXT %0001 @0001"}, {"#12 #45 #3"}, {"Arial/B"});
  EXPECT_EQ(font_table.slot[0].face, "Arial/B");  // no "/" parsing for slots
  EXPECT_EQ(font_table.slot[0].size, 12);
  EXPECT_FLOAT_EQ(font_table.slot[0].angle, 45.0f);
  EXPECT_TRUE(font_table.slot[0].italic);
  EXPECT_TRUE(font_table.slot[0].bold);
  run({"/00000008 TEXT %0001 @0001"}, {"#10 #0 #2"}, {"Arial"});
  EXPECT_FALSE(font_table.slot[0].italic);
  EXPECT_TRUE(font_table.slot[0].bold);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(text_commands, FontStackOverrunRedefinesTheTopAndUnderrunStaysAtOne) {
  std::vector<std::string> codes(10, "/00000088 TEXT %0001 @0001");
  run(codes, {"#14 #0 #0"}, {"Courier"});
  EXPECT_EQ(font_table.current, 10);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("FONTSTACK overrun"), std::string::npos);
  EXPECT_EQ(font_table.slot[9].face, "Courier");
  boxes.clear();
  std::vector<std::string> pops(10, "/00000100 TEXT");
  run(pops, {});
  EXPECT_EQ(font_table.current, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("FONTSTACK underrun"), std::string::npos);
}

TEST_F(text_commands, StandardAndFixedFontsTakeStyleMarksFromTheName) {
  run({"/00000018 TEXT %0001 @0001"}, {"#12 #0 #0"}, {"Courier/B/I"});
  EXPECT_EQ(pixel_size(standard_font), 16);  // 12 points at 96 dpi
  EXPECT_TRUE(bold(standard_font));
  EXPECT_TRUE(italic(standard_font));
  const int32_t old_fixed = fixed_font;
  EXPECT_NE(fixed_font, standard_font);
  run({"/00001008 TEXT %0001 @0001"}, {"#0 #0 #0"}, {"Arial"});
  EXPECT_NE(fixed_font, old_fixed);
  EXPECT_EQ(pixel_size(fixed_font), 13);  // the library's 10 points
  EXPECT_FALSE(bold(fixed_font));
  run({"/00001018 TEXT %0001 @0001"}, {"#0 #0 #0"}, {" "});
  EXPECT_EQ(standard_font, fixed_font);
  EXPECT_EQ(pixel_size(standard_font), 11);  // "MS Sans Serif" 8 points
}

TEST_F(text_commands, WritingUsesTheCurrentColourForNegativeNumbers) {
  graphics.current_colour = 4;
  run({"TEXT %0001 @0001"}, {"#-1 #20 #20"}, {"WWW"});
  // Glyph edges are smooth: pixels inked red have left white towards red only.
  int32_t red = 0;
  for (int32_t y = 15; y < 45; ++y)
    for (int32_t x = 15; x < 60; ++x)
      if (pixel(x, y) != 0xFFFFFFu && (pixel(x, y) & colour(4)) == colour(4)) ++red;
  EXPECT_GT(red, 5);
  clear_screen();
  run({"/00000001 TEXT %0001 @0001"}, {"#1 #20 #20 #0"}, {"   "});
  EXPECT_EQ(painted(0, 0, 100, 60), 0);
}

TEST_F(text_commands, TextBoxKeepsOutOfTheAreaTableAndTakesThePressedFlag) {
  area_table.count = 0;
  run({"/00000410 TEXTB %0001 @0001"}, {"#10 #20 #80.7 #20"}, {"Hinweis"});
  const area_record& box = area_table.last_button;
  EXPECT_EQ(box.x1, 10);
  EXPECT_EQ(box.y1, 20);
  EXPECT_EQ(box.x2, 90);
  EXPECT_EQ(box.y2, 40);
  EXPECT_EQ(box.kind, 1);
  EXPECT_TRUE(logical(box.selected));
  EXPECT_EQ(std::string(box.caption.data(), 6), "#INFO#");
  EXPECT_EQ(std::string(info_text.data(), 8), "Hinweis ");
  EXPECT_EQ(area_table.count, 0);
  EXPECT_EQ(area_hit(20, 30), 0);
  EXPECT_GT(painted(10, 20, 90, 40), 0);
}

TEST_F(text_commands, BitmapIsStretchedOverTheScreenOrDrawnInItsOwnSize) {
  write_bmp("PIC.BMP", 4, 3, 255, 0, 0);
  run({"/00000080 SHOW %0001 @0001"}, {"#0 #0 #0 #0"}, {"pic.bmp"});
  EXPECT_EQ(pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(pixel(600, 400), 0xFF0000u);
  clear_screen();
  run({"/00000080 SHOW %0001 @0001"}, {"#10 #20 #1 #1"}, {"pic.bmp"});
  EXPECT_EQ(painted(0, 0, 40, 40), 12);
  EXPECT_EQ(pixel(10, 20), 0xFF0000u);
  EXPECT_EQ(pixel(13, 22), 0xFF0000u);
  EXPECT_EQ(call_state.command_error, 0);
}

TEST_F(text_commands, BitmapThatCannotBeLoadedDrawsNothing) {
  run({"/00000080 SHOW %0001 @0001"}, {"#0 #0 #0 #0"}, {"none.bmp"});
  EXPECT_EQ(painted(0, 0, 100, 100), 0);
}

TEST_F(text_commands, NonBitmapNamesGoToTheImageReaderCutAtTheBlank) {
  run({"/00000080 SHOW %0001 @0001"}, {"#0 #0 #0 #0"}, {"photo x"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("FILE_2_IMAGE n.u."), std::string::npos);
}

TEST_F(text_commands, FileCheckStoresTheOpeningStatus) {
  std::ofstream(dir / "THERE.TXT") << "x";
  run({"/00000010 SHOW %0001 @0001"}, {"#0 #0 #0 #0"}, {"THERE.TXT"});
  EXPECT_EQ(io_status, 0);
  run({"/00000010 SHOW %0001 @0001"}, {"#0 #0 #0 #0"}, {"MISSING.TXT"});
  EXPECT_NE(io_status, 0);
  io_status = 77;
  run({"/00000014 SHOW %0001 @0001"}, {"#0 #0 #0 #0 #0 #0 #0 #0"}, {"MISSING.TXT"});
  EXPECT_EQ(io_status, 77);
}

TEST_F(text_commands, ShowWithoutAnOptionIsReportedWithCode1) {
  run({"SHOW"}, {});
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
}

TEST_F(text_commands, FileWindowIsTitledByTheSecondTokenOrTheMainWindow) {
  std::ofstream(dir / "SHOWN.TXT") << "line one\nline two\n";
  run({"/00000001 SHOW @0001 @0002", "/00000001 SHOW @0001"}, {}, {"SHOWN.TXT", "Datei"});
  int32_t windows = 0;
  for (int32_t w = main_window() + 1; w < main_window() + 2000; ++w) {
    if (!is_valid_window(w)) continue;
    ++windows;
    const std::vector<std::string> lines = qn_scroll_lines(w);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(0, 8), "line one");
  }
  EXPECT_EQ(windows, 2);
}

TEST_F(text_commands, IconIsDrawnAtTheMappedPoint) {
  graphics.origin = {100, 100};
  icon_record record{};
  for (int32_t r = 1; r <= icon_height; ++r)
    for (int32_t c = 1; c <= icon_width; ++c) set_icon_pixel_index(record, c, r, 4);
  std::ofstream(dir / "icon.lib", std::ios::binary).write(reinterpret_cast<const char*>(record.data()), record.size());
  forget_icon_lib();
  run({"/00000100 SHOW %0001 @0001"}, {"#10 #10"}, {"#1"});
  EXPECT_EQ(pixel(115, 115), colour(4));
  EXPECT_EQ(pixel(105, 105), 0xFFFFFFu);
  EXPECT_EQ(pixel(150, 115), 0xFFFFFFu);
}

}  // namespace
