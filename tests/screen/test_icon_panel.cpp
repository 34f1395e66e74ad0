// The icon panel: icon and texts at the placement origin, hiding through the video stack, and
// the number text.
#include "test_video_fixture.h"

namespace {

class icon_panel_test : public video_test {
 protected:
  void SetUp() override {
    video_test::SetUp();
    init_common();  // the frame pens and the standard font of the texts
    icon_record r{};
    for (int32_t row = 1; row <= icon_height; ++row)
      for (int32_t c = 1; c <= icon_width; ++c) set_icon_pixel_index(r, c, row, 9);
    std::ofstream("icon.lib", std::ios::binary).write(reinterpret_cast<const char*>(r.data()), icon_record_size);
  }
  // Pixels of screen 0 in the rectangle that differ from `colour`.
  static int32_t changed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    int32_t n = 0;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x) n += screen_pixel(x, y) != colour;
    return n;
  }
};

TEST_F(icon_panel_test, DrawsIconAndTextsAtTheOrigin) {
  fill_screen(test_white);
  icon_panel_origin(10, 20);
  icon_panel("Erste", "Zweite", "#1");
  EXPECT_EQ(screen_pixel(10 + 16 + 1, 20 + 60), test_blue);
  EXPECT_EQ(screen_pixel(10 + 16 + 32, 20 + 60 + 29), test_blue);
  EXPECT_EQ(screen_pixel(10 + 16, 20 + 60), test_white);
  EXPECT_GT(changed(66, 82, 160, 98, test_white), 0);   // first text
  EXPECT_GT(changed(66, 102, 160, 118, test_white), 0); // second text
  EXPECT_TRUE(icon_panel_info().shown);
}

TEST_F(icon_panel_test, EmptyTextsDrawOnlyTheIcon) {
  fill_screen(test_white);
  icon_panel("", "   ", "#1");
  EXPECT_EQ(screen_pixel(17, 60), test_blue);
  EXPECT_EQ(changed(56, 60, 200, 110, test_white), 0);
}

TEST_F(icon_panel_test, HideWithoutPanelDoesNothing) {
  video_stack_push(0, 0, 10, 10);
  icon_panel_hide();
  int32_t depth = 0;
  video_stack_depth(depth);
  EXPECT_EQ(depth, 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(icon_panel_test, HidePopsTheSavedArea) {
  fill_screen(test_white);
  video_stack_push(0, 0, 200, 120);
  icon_panel("Text", "", "#1");
  ASSERT_EQ(screen_pixel(17, 60), test_blue);
  icon_panel_hide();
  EXPECT_EQ(screen_pixel(17, 60), test_white);
  int32_t depth = -1;
  video_stack_depth(depth);
  EXPECT_EQ(depth, 0);
  EXPECT_FALSE(icon_panel_info().shown);
  icon_panel_hide();  // a second hide pops nothing
  EXPECT_TRUE(boxes.empty());
}

TEST_F(icon_panel_test, NumberTextIsRightAligned) {
  EXPECT_EQ(icon_panel_info().number, "      ");
  icon_panel_number(42);
  EXPECT_EQ(icon_panel_info().number, "    42");
  icon_panel_number(-12345);
  EXPECT_EQ(icon_panel_info().number, "-12345");
  icon_panel_number(1234567);
  EXPECT_EQ(icon_panel_info().number, "******");
}

}  // namespace
