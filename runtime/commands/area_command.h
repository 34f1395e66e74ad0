// The AREA command's own state: the window fill colour, the main window's title buffer and
// which icon and bitmap handles AREA loaded itself.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int32_t area_title_size = 64;
inline constexpr int32_t area_window_slots = 21;

struct area_state_t {
  int32_t fill_colour = 0;  // colour number of the window fill (option 65536)
  std::array<char, area_title_size> title{};  // blank-padded main window title
  // Only handles AREA loaded are released again: entry 0 of the tables holds the program icon
  // and the bitmap of screen 0, which must outlive any replacement.
  std::array<bool, area_window_slots> own_icon{};
  std::array<bool, area_window_slots> own_bitmap{};
};
extern area_state_t area_state;

// The window whose icon and bitmap entries AREA works on.
int32_t area_current_window();
// Back to the start values; for tests.
void area_command_reset();
