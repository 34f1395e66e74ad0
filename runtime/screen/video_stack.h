// The video stack and the internal clipboard.  A pop-up window is drawn over the current
// screen after its rectangle of screen 0 was pushed; popping draws the saved pixels back.  The
// clipboard keeps 20 saved rectangles (slot 0 for the system, 1..19 for programs) that can be
// drawn back, pasted elsewhere or dragged across the window.
//
// Rectangles are inclusive pixel coordinates on screen 0.  Defaults: x2 = 0 is the screen width,
// y2 = 0 the screen height less the menu bar, x1 is taken as its absolute value.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int32_t video_stack_max = 20;
inline constexpr int32_t clipboard_slots = 20;

void video_stack_push(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void video_stack_pop();   // draws the top entry back, then drops it
void video_stack_drop();  // drops the top entry without drawing it
void video_stack_clear(); // gives back every entry's bitmap; depth 0
void video_stack_depth(int32_t& depth);
// The window of the current entry; with an empty stack (0, 0, screen width, screen height less
// the menu-bar height).
struct video_window_t {
  int32_t left = 0, top = 0, x_extent = 0, y_extent = 0;
};
video_window_t video_stack_window();
void video_stack_top_bitmap(int32_t& handle);  // 0 with an empty stack
void video_stack_set_origin(int32_t dx, int32_t dy);
void video_stack_frame();
void video_stack_unframe();
void video_stack_restore();

void clipboard_copy(int32_t slot, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void clipboard_draw(int32_t slot);
void clipboard_paste(int32_t slot, int32_t x, int32_t y);
void clipboard_move(int32_t slot, int32_t x, int32_t y);  // drags the image on the window
// The names the rest of the runtime also knows these two by.
inline void clipboard_store(int32_t slot) { clipboard_draw(slot); }
inline void video_stack_copy(int32_t slot, int32_t x, int32_t y) { clipboard_move(slot, x, y); }

// Image files are not supported: both only report so.
void IMAGE_2_FILE(int32_t x1, int32_t y1, int32_t x2, int32_t y2, std::string_view file);
void FILE_2_IMAGE(std::string_view file);

// Four lines along the rectangle on screen 0 with numbered pen `pen` (the list frames).
void draw_box_frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t pen);

// The WINDOW command's XOR switch: while on, clipboard drawing uses the XOR raster operation.
void video_stack_set_xor_mode(bool on);
bool video_stack_xor_mode();

// What the stack and the clipboard hold (for the tests and diagnostics).
struct video_stack_entry {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int8_t frame_state = 0;  // 0 no frame, 1 framed, -1 frame removed
  int32_t bitmap = 0;      // lent by the bitmap cache; 0 = none
};
struct clipboard_slot {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t bitmap = 0;
};
video_stack_entry video_stack_entry_at(int32_t n);  // entries 1..20
clipboard_slot clipboard_slot_at(int32_t slot);      // slots 0..19
void video_stack_origin(int32_t& dx, int32_t& dy);
// Back to the empty stack and empty slots; for tests.
void video_stack_reset();
