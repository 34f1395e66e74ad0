// The AREA command: fill colour and filling of the window rectangle, the main window's title,
// the icon and the background bitmap of the current window.
#include "test_draw_fixture.h"

#include <QWidget>

#include "runtime/commands/area_command.h"

namespace {

class area_command : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    area_command_reset();
    clear_screen();
  }
  void area(int32_t flags, const std::string& upn = "#0", const std::string& token = " ") {
    char code[48];
    std::snprintf(code, sizeof code, "/%08X AREA %%0001 @0001", static_cast<unsigned>(flags));
    run({code}, {upn}, {token});
  }
  // Rows of the rectangle whose every pixel from x1 to x2 - 1 has the colour.
  static int32_t filled_rows(const qn_rect& r, uint32_t rgb) {
    int32_t rows = 0;
    for (int32_t y = r.top; y <= r.bottom && y < screen0().height(); ++y) {
      bool all = true;
      for (int32_t x = r.left; x < r.right && all; ++x) all = pixel(x, y) == rgb;
      if (all) ++rows;
    }
    return rows;
  }
};

TEST_F(area_command, FillColourIsTheNearestIntegerOrTheCurrentColour) {
  area(4, "#4.6");
  EXPECT_EQ(area_state.fill_colour, 5);
  graphics.current_colour = 12;
  area(4, "#0");
  EXPECT_EQ(area_state.fill_colour, 12);
  area(4, "#-3");
  EXPECT_EQ(area_state.fill_colour, 12);
  EXPECT_EQ(call_state.command_error, 0);
}

TEST_F(area_command, FillDrawsOneLinePerRowOfTheWindowRectangle) {
  area(4, "#4");
  graphics.window_rect = {0, 0, 639, 459};
  area(65536);
  const qn_rect r = graphics.window_rect;
  EXPECT_EQ(filled_rows(r, colour(4)), 460);
  // Below the rectangle and the end pixel of each line stay as they were.
  EXPECT_EQ(painted(0, 460, 639, 479), 0);
  EXPECT_EQ(pixel(639, 10), 0xFFFFFFu);
}

TEST_F(area_command, FillCoversOnlyASmallerRectangle) {
  area(4, "#2");
  graphics.window_rect = {10, 20, 50, 29};
  area(65536);
  EXPECT_EQ(filled_rows(graphics.window_rect, colour(2)), 10);
  EXPECT_EQ(painted(10, 20, 49, 29), 400);
  EXPECT_EQ(painted(0, 0, 639, 479), 400);
}

TEST_F(area_command, FillColourOptionWinsOverTheFill) {
  graphics.window_rect = {0, 0, 100, 100};
  area(4 | 65536, "#3");
  EXPECT_EQ(area_state.fill_colour, 3);
  EXPECT_EQ(painted(0, 0, 639, 479), 0);
}

TEST_F(area_command, ObsoleteOptionOnlyTraces) {
  area(1024 | 65536);
  EXPECT_EQ(painted(0, 0, 639, 479), 0);
  EXPECT_EQ(call_state.command_error, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(area_command, TitleGoesIntoTheBufferAndTheMainWindow) {
  area(1, "#0", "Kundenliste   ");
  const std::string buffer(area_state.title.data(), area_state.title.size());
  EXPECT_EQ(buffer.size(), 64u);
  EXPECT_EQ(buffer.substr(0, 14), "Kundenliste   ");
  EXPECT_EQ(buffer.find_last_not_of(' '), 10u);
  EXPECT_EQ(qnb::window_widget(main_window())->windowTitle(), QString("Kundenliste"));
}

TEST_F(area_command, LongTitleIsCutToSixtyFourCharacters) {
  const std::string long_title(80, 'T');
  area(1, "#0", long_title);
  EXPECT_EQ(qnb::window_widget(main_window())->windowTitle().size(), 64);
}

TEST_F(area_command, IconReplacesOnlyItsOwnHandle) {
  const int32_t program_icon = handle_tables.icons[0];
  ASSERT_NE(program_icon, 0);
  area(256, "#0", "kunden");
  const int32_t first = handle_tables.icons[0];
  EXPECT_NE(first, 0);
  EXPECT_NE(first, program_icon);
  area(256, "#0", "lager");
  EXPECT_NE(handle_tables.icons[0], first);
  // The first icon AREA loaded is released, the program icon is not.
  int status = 0;
  DELETE_OBJECT(first, &status);
  EXPECT_NE(status, 0);
  status = 0;
  DELETE_OBJECT(program_icon, &status);
  EXPECT_EQ(status, 0);
}

TEST_F(area_command, BackgroundBitmapIsDrawnOverScreenZero) {
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(QColor(0, 0, 255));
  ASSERT_TRUE(picture.save("BACK.BMP", "BMP"));
  const int32_t screen_bitmap = handle_tables.bitmaps[0];
  area(128, "#5 #7", "back.bmp            ignored");
  ASSERT_NE(handle_tables.bitmaps[0], 0);
  EXPECT_NE(handle_tables.bitmaps[0], screen_bitmap);
  EXPECT_EQ(pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(pixel(600, 400), 0x0000FFu);
  // Screen 0's own bitmap survives a second background.
  area(128, "#0 #0", "BACK.BMP");
  EXPECT_NE(qnb::bitmap_image(screen_bitmap), nullptr);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(area_command, MissingBitmapDrawsNothing) {
  area(128, "#0 #0", "NOFILE.BMP");
  EXPECT_EQ(handle_tables.bitmaps[0], 0);
  EXPECT_EQ(painted(0, 0, 639, 479), 0);
}

TEST_F(area_command, NoKnownOptionIsCommandError) {
  code_record rec;
  rec.opcode = 42;
  rec.flags = 2;
  call_state.command_flags = 2;
  call_state.command_error = 0;
  cmd_AREA(rec);
  EXPECT_EQ(call_state.command_error, 1);
}

}  // namespace
