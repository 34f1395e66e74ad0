// The icon panel: one icon with two lines of text beside it at a placement origin on screen 0,
// removed again through the video stack (the caller pushes the area before drawing the panel).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

void icon_panel_origin(int32_t x, int32_t y);
// Writes n right-aligned into the six-character number text ("******" when it does not fit).
void icon_panel_number(int32_t n);
// Draws the icon at (x + 16, y + 60) of the origin and the two texts beside it.
void icon_panel(std::string_view first, std::string_view second, std::string_view reference);
// When a panel is shown: forgets it and pops the top entry of the video stack.
void icon_panel_hide();

struct icon_panel_view {
  int32_t x = 0, y = 0;
  bool shown = false;
  std::string number = std::string(6, ' ');
};
icon_panel_view icon_panel_info();  // for tests
void icon_panel_reset();            // for tests
