// FILE's window slots (scroll-text windows), saving a screen rectangle as a BMP file and
// pasting the clipboard into a file.
// Before any Qt header: Qt defines "slots" as a macro.
#include "runtime/commands/file_command.h"

#include <cstddef>

namespace {
file_slot_t& slot_at(int32_t n) { return file_command_state.slots[static_cast<std::size_t>(n)]; }
}  // namespace

#include "test_draw_fixture.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

#include "runtime/screen/video_stack.h"

namespace {

class file_windows : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    file_command_reset();
    clear_screen();
  }
  void TearDown() override {
    file_command_reset();
    draw_fixture::TearDown();
  }
  void file(int32_t flags, const std::string& t1, const std::string& t2, const std::string& upn = "#0") {
    char code[64];
    std::snprintf(code, sizeof code, "/%08X FILE %%0001 @0001 @0002", static_cast<unsigned>(flags));
    run({code}, {upn}, {t1, t2});
  }
  static int32_t depth() {
    int32_t n = 0;
    video_stack_depth(n);
    return n;
  }
};

TEST_F(file_windows, WindowSlotOpensWritesAndCloses) {
  file(0x1 | 0x8, "#2", "Protokoll", "#300 #200");
  ASSERT_EQ(io_status, 0);
  const file_slot_t slot = slot_at(2);
  EXPECT_TRUE(slot.window);
  EXPECT_EQ(slot.record_length, 0);
  ASSERT_NE(is_valid_window(slot.unit), 0);

  file(0x1000 | 0x8, "#2", "erste Zeile   ");
  EXPECT_EQ(io_status, 0);
  file(0x1000 | 0x8, "#2", "zweite");
  const std::vector<std::string> lines = qn_scroll_lines(slot.unit);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "erste Zeile");
  EXPECT_EQ(lines.back(), "zweite");

  file(0x2 | 0x8 | 0x20, "#2", " ");
  EXPECT_EQ(slot_at(2).unit, 0);
  EXPECT_FALSE(slot_at(2).window);
  EXPECT_EQ(is_valid_window(slot.unit), 0);
}

TEST_F(file_windows, ClosingWithoutTheWindowOptionFreesTheSlotButKeepsTheWindow) {
  file(0x1 | 0x8, "#4", "Liste", "#0 #0");  // the library's default size
  ASSERT_EQ(io_status, 0);
  const int32_t window = slot_at(4).unit;
  file(0x2 | 0x8, "#4", " ");
  EXPECT_EQ(slot_at(4).unit, 0);
  EXPECT_NE(is_valid_window(window), 0);
  CLOSE_WINDOW(window);
}

TEST_F(file_windows, VariableTextGoesToTheWindowAndReadingFindsNothing) {
  file(0x1 | 0x8, "#1", "Fenster", "#100 #80");
  ASSERT_EQ(io_status, 0);
  const int32_t window = slot_at(1).unit;
  file(0x2000 | 0x8, "#1", " ", "&0001");
  EXPECT_EQ(io_status, -1);
  // T2 equal to T1: the text comes from a variable; a number is refused.
  file(0x1000 | 0x8, "#1", "#1", "&0001");
  EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(),
                          [](const box_seen& b) { return b.text == "SEQ-Write:noStrng"; }));
  EXPECT_TRUE(qn_scroll_lines(window).empty());
}

TEST_F(file_windows, SecondOpenOfAWindowSlotKeepsTheFirstWindow) {
  file(0x1 | 0x8, "#3", "Eins", "#100 #80");
  const int32_t first = slot_at(3).unit;
  file(0x1 | 0x8, "#3", "Zwei", "#100 #80");
  EXPECT_EQ(io_status, 32000);
  EXPECT_EQ(slot_at(3).unit, first);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "FILE OPEN");
}

TEST_F(file_windows, UnopenedWindowSlotGivesMinusOne) {
  file(0x1000 | 0x8, "#5", "text");
  EXPECT_EQ(io_status, -1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(file_windows, ScreenRectangleIsSavedAsBmpAndDrawnBack) {
  ups& u = graphics.graphics_ups;
  screen_nr(0, u, 0, 0, 640, 480);
  SELECT_MY_PEN(u, 4);
  DRAW_LINE(u, {.end_px = {{30, 12}}, .start_px = {{10, 12}}});
  screen_stop_nr(0);
  io_status = 7;
  file(0x1000 | 0x80, "shot.bmp", " ", "#10 #10 #20.9 #5");
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(depth(), 0);
  QImage saved;
  ASSERT_TRUE(saved.load("SHOT.BMP", "BMP"));
  EXPECT_EQ(saved.width(), 20);
  EXPECT_EQ(saved.height(), 5);
  EXPECT_EQ(saved.pixel(0, 2) & 0xFFFFFFu, colour(4));
  EXPECT_EQ(saved.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(pixel(10, 12), colour(4));  // the screen is as it was
}

// A rectangle reaching past the screen is saved up to the screen's last column and row: the
// file holds the screen's own pixels and no black edge beyond it.  The whole screen asked for
// by its size is the same picture.
TEST_F(file_windows, RectangleBeyondTheScreenSavesThePartOnTheScreen) {
  const int32_t w = screen0().width(), h = screen0().height();
  ups& u = graphics.graphics_ups;
  screen_nr(0, u, 0, 0, w, h);
  SELECT_MY_PEN(u, 4);
  DRAW_LINE(u, {.end_px = {{w - 1, h - 1}}, .start_px = {{w - 1, 0}}});
  screen_stop_nr(0);
  ASSERT_EQ(pixel(w - 1, 0), colour(4));
  file(0x1000 | 0x80, "beyond.bmp", " ", "#0 #0 #" + std::to_string(w + 160) + " #" + std::to_string(h + 120));
  EXPECT_EQ(io_status, 0);
  QImage saved;
  ASSERT_TRUE(saved.load("BEYOND.BMP", "BMP"));
  EXPECT_EQ(saved.size(), QSize(w, h));
  EXPECT_EQ(saved.pixel(w - 1, 0) & 0xFFFFFFu, colour(4));
  EXPECT_EQ(saved.pixel(w - 2, h - 1) & 0xFFFFFFu, 0xFFFFFFu);
  file(0x1000 | 0x80, "whole.bmp", " ", "#0 #0 #" + std::to_string(w) + " #" + std::to_string(h));
  EXPECT_EQ(io_status, 0);
  QImage whole;
  ASSERT_TRUE(whole.load("WHOLE.BMP", "BMP"));
  EXPECT_EQ(whole, saved);
  EXPECT_EQ(depth(), 0);
}

// A rectangle reaching past the screen's left and top edges is saved from the screen's first
// column and row: -10 -10 50 50 is the 40 x 40 pixels on the screen, the picture of 0 0 40 40.
// One that ends before the screen's first column saves nothing.
TEST_F(file_windows, RectangleBeforeTheScreensLeftAndTopEdgesSavesThePartOnTheScreen) {
  ups& u = graphics.graphics_ups;
  screen_nr(0, u, 0, 0, 640, 480);
  SELECT_MY_PEN(u, 4);
  DRAW_LINE(u, {.end_px = {{20, 5}}, .start_px = {{0, 5}}});
  DRAW_LINE(u, {.end_px = {{39, 40}}, .start_px = {{39, 30}}});
  screen_stop_nr(0);
  file(0x1000 | 0x80, "before.bmp", " ", "#-10 #-10 #50 #50");
  EXPECT_EQ(io_status, 0);
  QImage saved;
  ASSERT_TRUE(saved.load("BEFORE.BMP", "BMP"));
  EXPECT_EQ(saved.size(), QSize(40, 40));
  EXPECT_EQ(saved.pixel(0, 5) & 0xFFFFFFu, colour(4));
  EXPECT_EQ(saved.pixel(39, 39) & 0xFFFFFFu, colour(4));
  file(0x1000 | 0x80, "corner.bmp", " ", "#0 #0 #40 #40");
  EXPECT_EQ(io_status, 0);
  QImage corner;
  ASSERT_TRUE(corner.load("CORNER.BMP", "BMP"));
  EXPECT_EQ(corner, saved);
  file(0x1000 | 0x80, "left.bmp", " ", "#-60 #0 #50 #50");
  EXPECT_EQ(io_status, 1);
  EXPECT_FALSE(std::filesystem::exists("LEFT.BMP"));
  EXPECT_EQ(depth(), 0);
  EXPECT_EQ(pixel(0, 5), colour(4));  // the screen is as it was
}

TEST_F(file_windows, OtherImageNamesOnlyReportAndBlankNamesDoNothing) {
  file(0x1000 | 0x80, "bild.gif", " ", "#0 #0 #10 #10");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "IMAGE_2_FILE n.u.");
  file(0x1000 | 0x80, ".BMP", " ", "#0 #0 #10 #10");  // too short to be a BMP name
  EXPECT_EQ(boxes.size(), 2u);
  file(0x1000 | 0x80, " ", " ", "#0 #0 #10 #10");
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists("BILD.GIF"));
  EXPECT_EQ(depth(), 0);
}

TEST_F(file_windows, UnwritableBmpSetsStatusOne) {
  file(0x1000 | 0x80, "nodir/x.bmp", " ", "#0 #0 #10 #10");
  EXPECT_EQ(io_status, 1);
  EXPECT_EQ(depth(), 0);
}

TEST_F(file_windows, ClipboardTextIsPastedIntoTheFile) {
  qn_set_clipboard_text("Zeile 1\r\nZeile 2");
  file(0x10000, "paste.txt", " ");
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_text("paste.txt"), "Zeile 1\nZeile 2\n");
}

TEST_F(file_windows, EmptyClipboardOrMissingPictureFails) {
  qn_set_clipboard_text("");
  file(0x10000, "paste.txt", " ");
  EXPECT_EQ(io_status, 0x10000);
  EXPECT_FALSE(std::filesystem::exists("paste.txt"));
  file(0x10000 | 0x80, "paste.bmp", " ");
  EXPECT_EQ(io_status, 0x10000);
}

TEST_F(file_windows, ClipboardPictureIsPastedAsBmp) {
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(QColor(0, 255, 0));
  QGuiApplication::clipboard()->setImage(picture);
  file(0x10000 | 0x80, "pic.bmp", " ");
  EXPECT_EQ(io_status, 0);
  QImage saved;
  ASSERT_TRUE(saved.load("pic.bmp", "BMP"));
  EXPECT_EQ(saved.size(), QSize(3, 2));
}

}  // namespace
