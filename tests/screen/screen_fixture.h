// Common set-up of the screen tests: a private working directory (the error log lands
// there), a clean library and runtime state, and screen 0 as a 640 x 480 bitmap.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/screen/screen.h"

inline constexpr uint32_t test_red = 0x0000FF, test_white = 0xFFFFFF, test_black = 0x000000,
                          test_blue = 0xFF0000;

class screen_test : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("winkyr_screen_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
    std::filesystem::create_directories(dir_);
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);

    reset_screens();
    reset_font_text();
    qn_reset();
    errors_reset();
    trace_reset();
    run_flags = run_flags_t{};
    for (uint32_t& c : colour_table) c = 0;
    colour_table[0] = test_black;
    colour_table[4] = test_red;
    colour_table[9] = test_blue;
    colour_table[15] = test_white;

    int32_t width = 640;
    screen_init(0, width, 480);
  }

  void TearDown() override {
    qn_set_box_answerer(nullptr);
    reset_screens();
    reset_font_text();
    qn_reset();
    std::filesystem::current_path(old_dir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // The main window, showing screen 0 through the paint callback, attached to screen 0.
  int32_t open_main_window() {
    int32_t window = CREATE_MAIN_WINDOW({.title = "WinKYR",
                                         .client_px = qn_point{640, 480},
                                         .paint = main_window_paint});
    screen_init(0, window, -9999);
    return window;
  }

  static uint32_t bitmap_pixel(int32_t bitmap, int32_t x, int32_t y) {
    ups u;
    START_BITMAP_DRAW(bitmap, u);
    const uint32_t c = GET_PIXEL(u, {x, y});
    END_BITMAP_DRAW(u);
    return c;
  }
  static uint32_t screen_pixel(int32_t x, int32_t y) { return bitmap_pixel(screen_info(0).bitmap, x, y); }
  static uint32_t window_pixel(int32_t window, int32_t x, int32_t y) {
    ups u;
    START_DIRECT_DRAW(window, u);
    const uint32_t c = GET_PIXEL(u, {x, y});
    END_DIRECT_DRAW(u);
    return c;
  }

  // All pixels of screen 0, row by row.
  static std::vector<uint32_t> grab_screen() {
    const screen_view s = screen_info(0);
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(s.width) * s.height);
    ups u;
    START_BITMAP_DRAW(s.bitmap, u);
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) pixels.push_back(GET_PIXEL(u, {x, y}));
    END_BITMAP_DRAW(u);
    return pixels;
  }

  // Paints the whole of screen 0's bitmap in one colour, outside any drawing step.
  static void fill_screen(uint32_t colour) {
    const screen_view s = screen_info(0);
    ups u;
    START_BITMAP_DRAW(s.bitmap, u);
    NEW_PEN(u, {.colour = colour});
    NEW_BRUSH(u, {.colour = colour, .style = 0});
    DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, s.width, s.height}});
    END_BITMAP_DRAW(u);
  }

  static std::string error_log() {
    std::ifstream in("PXBERROR.LOG", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  std::filesystem::path dir_, old_dir_;
};
