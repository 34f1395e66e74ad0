// Set-up of the drawing, text and window command tests: a headless main window with screen 0,
// a clean graphics state, programs loaded from text, and the pixels of screen 0.
#pragma once

// Before any Qt header: Qt defines "slots" as a macro.
#include "runtime/program/expression/evaluator.h"

#include <QImage>

#include <string>
#include <vector>

#include "runtime/commands/commands.h"
#include "runtime/commands/draw_state.h"
#include "runtime/screen/screen.h"
#include "test_dispatcher_fixture.h"

class draw_fixture : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    set_command_handler(marker_opcode, &cmd_PIXEL);  // the events fixture borrows PIXEL
    start_headless();
    draw_state_reset();
  }

  // Runs a program of the given records and expressions from record 1 (a RETURN is appended).
  void run(std::vector<std::string> codes, const std::vector<std::string>& upn,
           const std::vector<std::string>& tokens = {}, const std::vector<std::string>& variables = {}) {
    codes.push_back("RETURN");
    load_pxb(codes, upn, tokens, variables);
    interpreter(1);
  }

  static QImage& screen0() { return *qnb::bitmap_image(screen_info(0).bitmap); }
  static uint32_t pixel(int32_t x, int32_t y) { return screen0().pixel(x, y) & 0xFFFFFFu; }
  // A colour-table value (0x00BBGGRR) as the bitmap stores it (0x00RRGGBB).
  static uint32_t rgb_of(uint32_t table_value) {
    return (table_value & 0xFFu) << 16 | (table_value & 0xFF00u) | (table_value >> 16 & 0xFFu);
  }
  static uint32_t colour(int32_t number) { return rgb_of(colour_table[number]); }
  static void clear_screen(uint32_t rgb = 0xFFFFFFu) { screen0().fill(rgb); }
  // Pixels in the rectangle (inclusive) that differ from the background.
  static int32_t painted(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t background = 0xFFFFFFu) {
    int32_t n = 0;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x)
        if (pixel(x, y) != background) ++n;
    return n;
  }
};
