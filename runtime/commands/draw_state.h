// The graphics state shared by the drawing, text and window commands: colour and origin with
// their stacks, window mode and its rectangle, the current position, batch and XOR modes, and
// the drawing context of screen 0 that each drawing step fills.
#pragma once

#include <array>
#include <cstdint>

#include "quillon/api/quillon.h"

inline constexpr int32_t graphics_stack_size = 10;  // slots 1..10 of both stacks
inline constexpr int32_t batch_box_empty = 9999;

struct graphics_state_t {
  int32_t current_colour = 7;
  std::array<int32_t, graphics_stack_size + 1> colour_stack{};  // [1..10]
  int32_t colour_pointer = 1;  // next free slot
  qn_point origin;
  std::array<qn_point, graphics_stack_size + 1> origin_stack{};  // [1..10]
  int32_t origin_pointer = 1;
  int32_t window_mode = 0;  // 1: coordinates relative to window_rect, y pointing up
  qn_rect window_rect{0, 0, 640, 480};
  qn_point current_position;
  bool batch_mode = false;
  qn_rect batch_box{batch_box_empty, batch_box_empty, 0, 0};
  bool xor_mode = false;
  ups graphics_ups;
  bool plot_on_screen = false;  // PLOT option 8: the plot draws on screen 0 until it ends
};
extern graphics_state_t graphics;

// Program coordinates to pixels of screen 0: in window mode relative to window_rect's lower
// left corner with y up, otherwise shifted by the origin.
qn_point flip_y(int32_t x, int32_t y);

// Opens a drawing step on screen 0 with the given dirty rectangle (screen_nr's edge rules) and
// selects the pen, or in batch mode only widens the batch box by the two corners and selects
// the pen in the batch's open step.  Returns the context to draw with.
ups& begin_drawing(int32_t pen, qn_point a, qn_point b, qn_rect dirty);
// Closes the step that begin_drawing opened (nothing in batch mode).
void end_drawing();

// What the loader does at each load: both stack pointers 1, window_rect the whole screen less
// the menu bar, batch mode off.
void reset_drawing_for_load();
// Everything back to the start values; for tests.
void draw_state_reset();
