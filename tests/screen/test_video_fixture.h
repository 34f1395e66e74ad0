// Set-up shared by the tests of the video stack, the bitmap cache, mouse waiting and the icon
// library: the screen fixture plus clean state blocks of these families, the pens of frame
// and background, and a recorder of the boxes the error reporter shows.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/screen/bitmap_cache.h"
#include "runtime/screen/icon_library.h"
#include "runtime/screen/icon_panel.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/video_stack.h"
#include "screen_fixture.h"

inline constexpr uint32_t test_cream = 0xF0FBFF;

class video_test : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    bitmap_cache_reset();
    video_stack_reset();
    mouse_wait_reset();
    icon_library_reset();
    icon_panel_reset();
    screen_metrics = {};
    // The standard colours 0..16: entries 1..16 none of them black.
    const uint32_t standard[17] = {test_black, 0x800000, 0x008000, 0xFFFF00, test_red, 0xFF00FF,
                                   0x0080FF, 0xC0C0C0, 0x808080, test_blue, 0x00FF00, 0xFFFF80,
                                   0x8080FF, 0xFF80FF, 0x00FFFF, test_white, test_cream};
    for (int i = 0; i < 17; ++i) colour_table[i] = standard[i];
    create_my_pen(0, {.colour = test_black});
    create_my_pen(16, {.colour = test_cream});
    qn_set_box_answerer([this](std::string_view text, std::string_view caption, int32_t style) {
      boxes.push_back(std::string(text));
      return answer;
    });
  }
  void TearDown() override {
    bitmap_cache_reset();
    video_stack_reset();
    mouse_wait_reset();
    screen_test::TearDown();
  }

  // Paints a rectangle (inclusive corners) of screen 0 in one colour, outside any step.
  static void paint(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    ups u;
    START_BITMAP_DRAW(screen_info(0).bitmap, u);
    NEW_PEN(u, {.colour = colour});
    NEW_BRUSH(u, {.colour = colour, .style = 0});
    DRAW_RECTANGLE(u, {.px = qn_rect{x1, y1, x2 + 1, y2 + 1}});
    END_BITMAP_DRAW(u);
  }

  // Sends the trace lines to "$PXBDUMP.TXT".
  static void trace_to_file() {
    debug_to_file();
    debug_mode(1);
  }
  static std::string trace_text() {
    std::ifstream in("$PXBDUMP.TXT", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  int32_t answer = IDOK;
  std::vector<std::string> boxes;
};
