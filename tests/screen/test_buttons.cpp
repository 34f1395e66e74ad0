// The button painter: the 3-D face, the pressed look, the focus mark, hot keys, the forms of
// the caption and the areas it leaves to their owners.
#include "screen_fixture.h"

#include "runtime/program/areas.h"

namespace {

constexpr uint32_t grey = 0xC0C0C0, dark = 0x808080;

class buttons_test : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    colour_table[7] = grey;
    colour_table[8] = dark;
    fill_screen(test_white);
  }
  static area_record button(int32_t x1, int32_t y1, int32_t x2, int32_t y2, std::string_view caption) {
    area_record a;
    a.x1 = x1;
    a.y1 = y1;
    a.x2 = x2;
    a.y2 = y2;
    a.type = area_button;
    a.enabled = logical_true;
    std::copy(caption.begin(), caption.end(), a.caption.begin());
    return a;
  }
  static int32_t changed(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    int32_t n = 0;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x)
        if (screen_pixel(x, y) != test_white) ++n;
    return n;
  }
};

TEST_F(buttons_test, PlainFaceHasOutlineLitAndShadedEdges) {
  area_record a = button(10, 10, 70, 30, "");
  paint_button(1, a);
  EXPECT_EQ(screen_pixel(10, 10), test_black);  // outline, edges included
  EXPECT_EQ(screen_pixel(70, 30), test_black);
  EXPECT_EQ(screen_pixel(11, 11), test_white);  // lit top left
  EXPECT_EQ(screen_pixel(69, 29), dark);        // shaded bottom right
  EXPECT_EQ(screen_pixel(40, 20), grey);        // face
  EXPECT_EQ(screen_pixel(71, 31), test_white);  // nothing outside
  EXPECT_EQ(screen_pixel(9, 9), test_white);
}

TEST_F(buttons_test, SelectedButtonLooksPressed) {
  area_record a = button(10, 10, 70, 30, "");
  a.selected = logical_true;
  paint_button(1, a);
  EXPECT_EQ(screen_pixel(11, 11), dark);
  EXPECT_EQ(screen_pixel(69, 29), test_white);
}

TEST_F(buttons_test, FocusFaceAddsTheDottedMark) {
  area_record a = button(10, 10, 70, 30, "");
  paint_button(1, a);
  const uint32_t plain = screen_pixel(14, 14);
  paint_button(8, a);
  EXPECT_EQ(plain, grey);
  EXPECT_EQ(screen_pixel(14, 14), test_black);
}

TEST_F(buttons_test, HotKeyComesFromTheCaptionAndTheAmpersandIsNotDrawn) {
  area_record a = button(10, 10, 110, 40, "&offen");
  paint_button(1, a);
  EXPECT_EQ(a.hot_key, 79);
  area_record b = button(10, 50, 110, 80, "Taste &1");
  paint_button(1, b);
  EXPECT_EQ(b.hot_key, 49);
  area_record c = button(10, 90, 110, 120, "Ohne");
  c.hot_key = 5;
  paint_button(1, c);
  EXPECT_EQ(c.hot_key, 0);
  // The caption is written in the face.
  int32_t ink = 0;
  for (int32_t y = 13; y <= 37; ++y)
    for (int32_t x = 13; x <= 107; ++x)
      if (screen_pixel(x, y) == test_black) ++ink;
  EXPECT_GT(ink, 0);
}

TEST_F(buttons_test, FaceMinus9999AndOwnerDrawnAreasPaintNothing) {
  area_record a = button(10, 10, 70, 30, "&A");
  paint_button(-9999, a);
  EXPECT_EQ(a.hot_key, 0);
  area_record list = button(100, 10, 200, 100, "3");
  list.type = area_list;
  paint_button(1, list);
  area_record track = button(300, 10, 400, 30, "");
  track.type = area_tracking;
  paint_button(1, track);
  EXPECT_EQ(changed(0, 0, 639, 200), 0);
}

TEST_F(buttons_test, TwoLineCaptionUsesBothHalves) {
  area_record a = button(10, 10, 110, 70, "Erste|Zweite");
  paint_button(1, a);
  int32_t top = 0, bottom = 0;
  for (int32_t x = 13; x <= 107; ++x) {
    for (int32_t y = 13; y <= 39; ++y) top += screen_pixel(x, y) == test_black;
    for (int32_t y = 41; y <= 67; ++y) bottom += screen_pixel(x, y) == test_black;
  }
  EXPECT_GT(top, 0);
  EXPECT_GT(bottom, 0);
}

TEST_F(buttons_test, PressFlipsTheSelectedFlagButNotForFieldsOrLists) {
  area_record a = button(10, 10, 70, 30, "");
  press_button(1, a);
  EXPECT_TRUE(logical(a.selected));
  press_button(1, a);
  EXPECT_FALSE(logical(a.selected));
  area_record f = button(10, 40, 70, 60, "");
  f.type = area_field;
  press_button(1, f);
  EXPECT_FALSE(logical(f.selected));
  area_record l = button(100, 40, 170, 60, "");
  l.type = area_list;
  press_button(1, l);
  EXPECT_FALSE(logical(l.selected));
  EXPECT_EQ(changed(100, 40, 170, 60), 0);
}

TEST_F(buttons_test, AnInvertedRectangleIsNotPainted) {
  area_record a = button(70, 30, 10, 10, "X");
  paint_button(1, a);
  EXPECT_EQ(changed(0, 0, 100, 50), 0);
}

}  // namespace
