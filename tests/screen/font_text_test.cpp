// Texts in font slots: the font cache, rotation rules and dirty rectangles, colours, label
// texts, init_common, and the umlaut conversion.
#include "screen_fixture.h"

namespace {

// Width and height of a text in the font of a slot, measured on a scratch bitmap.
qn_point measure(std::string_view text, const font_slot* slot) {
  const int32_t bitmap = CREATE_BITMAP(64, 64);
  ups u;
  START_BITMAP_DRAW(bitmap, u);
  if (slot != nullptr)
    NEW_FONT(u, {.face = slot->face, .points = float(slot->size), .italic = slot->italic,
                 .bold = slot->bold ? 1 : 0, .angle = slot->angle});
  const qn_point e = GET_TEXT_EXTENT(u, text);
  END_BITMAP_DRAW(u);
  DELETE_OBJECT(bitmap);
  return e;
}

struct box {
  int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  int32_t count = 0;
};

// The bounding box of the pixels that differ from the background.
box changed_pixels(const std::vector<uint32_t>& pixels, uint32_t background) {
  box b;
  const int32_t width = screen_info(0).width;
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (pixels[i] == background) continue;
    const int32_t x = int32_t(i % width), y = int32_t(i / width);
    b.left = std::min(b.left, x);
    b.top = std::min(b.top, y);
    b.right = std::max(b.right, x);
    b.bottom = std::max(b.bottom, y);
    ++b.count;
  }
  return b;
}

}  // namespace

class font_text : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    init_common();
  }
  // Writes one text on a white screen and returns the rectangle it marked.
  qn_rect write_on_white(int32_t x, int32_t y, std::string_view text, int32_t colour = 0) {
    fill_screen(test_white);
    no_do_paint();  // keeps the marked rectangle for inspection
    write_font_text(x, y, text, int32_t(text.size()), colour);
    return screen_info(0).dirty_rect;
  }
  // The drawn pixels must lie inside the rectangle that the text marked.
  void expect_inside(const qn_rect& r) {
    const box b = changed_pixels(grab_screen(), test_white);
    ASSERT_GT(b.count, 0) << "no text drawn";
    EXPECT_GE(b.left, r.left);
    EXPECT_GE(b.top, r.top);
    EXPECT_LT(b.right, r.right);
    EXPECT_LT(b.bottom, r.bottom);
  }
};

TEST_F(font_text, FontIsSelectedOnceForTwoTextsInOneContext) {
  ups outer;
  screen_nr(0, outer, -1, 0, 0, 0);
  write_font_text(10, 10, "erste", 5, 0);
  write_font_text(10, 30, "zweite", 6, 0);
  EXPECT_EQ(text_fonts_selected(), 1);
  // Another slot with other values selects its font; going back selects again.
  font_table.slot[1] = {"Arial", 12, false, true, 0.0f};
  font_table.current = 2;
  write_font_text(10, 50, "dritte", 6, 0);
  EXPECT_EQ(text_fonts_selected(), 2);
  font_table.current = 1;
  write_font_text(10, 70, "vierte", 6, 0);
  EXPECT_EQ(text_fonts_selected(), 3);
  screen_stop_nr(0);
}

TEST_F(font_text, EveryNewContextSelectsTheFontAgain) {
  write_font_text(10, 10, "erste", 5, 0);
  write_font_text(10, 30, "zweite", 6, 0);
  EXPECT_EQ(text_fonts_selected(), 2);
  ups u;
  screen_nr(0, u, 0, 0, 0, 0);
  screen_stop_nr(0);
  write_font_text(10, 50, "dritte", 6, 0);
  EXPECT_EQ(text_fonts_selected(), 3);
}

TEST_F(font_text, BlankFaceWritesUnrotatedInTheContextFont) {
  font_table.slot[0] = {"    ", 30, true, true, 90.0f};
  const qn_rect r = write_on_white(100, 100, "Hallo");
  EXPECT_EQ(text_fonts_selected(), 0);
  const qn_point e = measure("Hallo", nullptr);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(r.right, 100 + e.x + 1);
  EXPECT_EQ(r.bottom, 100 + e.y + 1);
  expect_inside(r);
}

TEST_F(font_text, UnrotatedTextMarksItsExtent) {
  font_table.slot[0] = {"Arial", 14, false, false, 0.0f};
  const qn_rect r = write_on_white(50, 60, "Rechteck");
  const qn_point e = measure("Rechteck", &font_table.slot[0]);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right, 50 + e.x + 1);
  EXPECT_EQ(r.bottom, 60 + e.y + 1);
  expect_inside(r);
}

TEST_F(font_text, LengthCutsTheTextAndZeroWritesNothing) {
  write_font_text(10, 10, "Hallo", 0, 0);
  write_font_text(10, 10, "Hallo", -3, 0);
  EXPECT_FALSE(screen_info(0).dirty);
  EXPECT_EQ(text_fonts_selected(), 0);
  const qn_rect r = [&] {
    fill_screen(test_white);
    no_do_paint();
    write_font_text(10, 10, "Hallo", 2, 0);
    return screen_info(0).dirty_rect;
  }();
  EXPECT_EQ(r.right - r.left - 1, measure("Ha", &font_table.slot[0]).x);
  // A length beyond the text reads no further than the text.
  write_font_text(10, 40, "Ha", 500, 0);
  EXPECT_TRUE(screen_info(0).dirty);
}

TEST_F(font_text, AngleOf360CountsAsNoRotation) {
  font_table.slot[0] = {"Arial", 14, false, false, 360.0f};
  const qn_rect r = write_on_white(80, 90, "voll");
  EXPECT_EQ(text_fonts_selected(), 1);
  EXPECT_EQ(r.left, 80);
  EXPECT_EQ(r.top, 90);
  EXPECT_LT(r.right, 640);
  expect_inside(r);
}

TEST_F(font_text, AngleOf45MarksToTheRightEdge) {
  font_table.slot[0] = {"Arial", 14, false, false, 45.0f};
  const qn_rect r = write_on_white(200, 300, "schraeg");
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.right, 640);
  const int32_t w = 300 - r.top, h = r.bottom - 1 - 300;
  EXPECT_GT(w, h);
  EXPECT_GT(h, 0);
  expect_inside(r);
}

TEST_F(font_text, AngleOf135MarksUpAndLeft) {
  font_table.slot[0] = {"Arial", 14, false, false, 135.0f};
  const qn_rect r = write_on_white(300, 300, "schraeg");
  const int32_t w = 300 - r.left, h = r.right - 1 - 300;
  EXPECT_GT(w, h);
  EXPECT_GT(h, 0);
  EXPECT_EQ(r.top, 300 - w - h);
  EXPECT_EQ(r.bottom, 301);
  expect_inside(r);
}

TEST_F(font_text, TextsTurnedDownwardLieInsideTheirRectangle) {
  for (const float angle : {181.0f, 225.0f, 270.0f}) {
    font_table.slot[0] = {"Arial", 14, false, false, angle};
    const qn_rect r = write_on_white(300, 200, "abwaerts");
    EXPECT_EQ(r.right, 301) << angle;
    expect_inside(r);
    look_do_paint();
  }
}

TEST_F(font_text, OtherTurnsMarkASquareAroundTheStart) {
  for (const float angle : {300.0f, 400.0f}) {
    font_table.slot[0] = {"Arial", 14, false, false, angle};
    const qn_rect r = write_on_white(320, 240, "rundum");
    EXPECT_EQ(320 - r.left, r.right - 1 - 320) << angle;
    EXPECT_EQ(240 - r.top, r.bottom - 1 - 240) << angle;
    expect_inside(r);
    look_do_paint();
  }
}

TEST_F(font_text, TextIsDrawnInTheColourOfItsNumber) {
  font_table.slot[0] = {"Arial", 28, false, true, 0.0f};
  for (const int32_t number : {4, 9, 260}) {  // 260 wraps to colour 4
    const uint32_t expected = colour_table[number % 256];
    write_on_white(20, 20, "HHH", number);
    const std::vector<uint32_t> pixels = grab_screen();
    const auto full = std::count(pixels.begin(), pixels.end(), expected);
    EXPECT_GT(full, 20) << number;
    // Every drawn pixel is the colour or a blend of it into white, never another hue.
    for (const uint32_t p : pixels) {
      if (p == test_white || p == expected) continue;
      if (expected == test_red) {
        EXPECT_EQ(p & 0xFF, 0xFFu) << std::hex << p;
      } else {
        EXPECT_EQ(p & 0xFF0000, 0xFF0000u) << std::hex << p;
      }
    }
    look_do_paint();
  }
}

TEST_F(font_text, LabelTextUsesTheStandardFont) {
  fill_screen(test_white);
  no_do_paint();
  font_table.slot[0] = {"Arial", 30, false, true, 0.0f};  // not used by labels
  write_label_text(40, 50, "Etikett", 7, 4);
  EXPECT_EQ(text_fonts_selected(), 0);
  const qn_rect r = screen_info(0).dirty_rect;
  const int32_t bitmap = CREATE_BITMAP(64, 64);
  ups u;
  START_BITMAP_DRAW(bitmap, u);
  const qn_point e = GET_TEXT_EXTENT(u, "Etikett", standard_font);
  END_BITMAP_DRAW(u);
  DELETE_OBJECT(bitmap);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right, 40 + e.x);
  EXPECT_EQ(r.bottom, 50 + e.y);
  const box b = changed_pixels(grab_screen(), test_white);
  EXPECT_GT(b.count, 0);
  EXPECT_GE(b.left, 40);
  EXPECT_LT(b.bottom, r.bottom);
}

TEST_F(font_text, InitCommonFillsSlotsFontsAndFramePens) {
  font_table.current = 7;
  font_table.slot[3] = {"Courier", 20, true, true, 90.0f};
  init_common();
  EXPECT_EQ(font_table.current, 1);
  for (const font_slot& s : font_table.slot) {
    EXPECT_EQ(s.face, "MS Sans Serif");
    EXPECT_EQ(s.size, 8);
    EXPECT_FALSE(s.italic);
    EXPECT_FALSE(s.bold);
    EXPECT_EQ(s.angle, 0.0f);
  }
  EXPECT_NE(standard_font, 0);
  EXPECT_NE(fixed_font, 0);
  EXPECT_NE(standard_font, fixed_font);
  EXPECT_EQ(get_frame_pen(1), 15);
  EXPECT_EQ(get_frame_pen(2), 8);
  EXPECT_EQ(get_frame_pen(13), 3);
  EXPECT_EQ(get_frame_pen(14), 136);
  EXPECT_EQ(get_frame_pen(20), 20);
  EXPECT_EQ(get_frame_pen(0), 0);
  EXPECT_EQ(get_frame_pen(21), 0);
}

TEST_F(font_text, OutOfRangeSlotPointerUsesANeighbouringSlot) {
  font_table.current = 99;
  write_font_text(10, 10, "x", 1, 0);
  font_table.current = -4;
  write_font_text(10, 10, "x", 1, 0);
  EXPECT_GE(text_fonts_selected(), 1);
}

// ---------------------------------------------------------------- umlauts

TEST(convert_umlauts_test, DosCharactersBecomeWindowsCharacters) {
  std::string text = "\x8E\x99\x9A\x84\x94\x81\xE1\xED\xFD";
  convert_umlauts(text);
  EXPECT_EQ(text, "\xC4\xD6\xDC\xE4\xF6\xFC\xDF\xF8\xB2");
  std::string plain = "Gruesse, 100 km/h!";
  convert_umlauts(plain);
  EXPECT_EQ(plain, "Gruesse, 100 km/h!");
}

TEST(convert_umlauts_test, EachPositionIsConvertedOnce) {
  // A Windows ue (0xFC) becomes a cubed sign; a DOS ue becomes a Windows ue and stays so.
  std::string windows_text = "M\xFCller";
  convert_umlauts(windows_text);
  EXPECT_EQ(windows_text, "M\xB3ller");
  std::string mixed = "\x81\xFC";
  convert_umlauts(mixed);
  EXPECT_EQ(mixed, "\xFC\xB3");
}

TEST(convert_umlauts_test, StopsAtTheLengthAndKeepsTrailingBlanks) {
  char buffer[] = "\x81\x81  \x81";
  convert_umlauts(buffer, 3);
  EXPECT_EQ(std::string(buffer, 5), std::string("\xFC\xFC  \x81"));
  char blanks[] = "\x84   ";
  convert_umlauts(blanks, 4);
  EXPECT_EQ(std::string(blanks, 4), std::string("\xE4   "));
  convert_umlauts(blanks, 0);
  convert_umlauts(blanks, -1);
  convert_umlauts(nullptr, 5);
  EXPECT_EQ(std::string(blanks, 4), std::string("\xE4   "));
}
