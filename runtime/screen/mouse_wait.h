// Mouse waiting: the MOUSE command's own reading of the mouse, by polling instead of area
// events.  Polling pumps the window messages, so timer labels may run in between.
#pragma once

#include <cstdint>
#include <functional>

// Reads the mouse (wait = 0: once; otherwise waits for the release of a button that is down at
// the call, then for a press, then for the release; a press and its release that one poll
// brings together count as a click).  The position is kept inside the work area and returned in program
// coordinates; status is left + 2 x right for a single reading, 1 for a left and 0 for a right
// click when waiting.  When the application is quitting the waiting ends at once.
void wait_mouse_rect(int32_t& x, int32_t& y, int32_t& status, int32_t wait);
// Waits until a button down at the call is released and one is pressed again; sets the Ctrl-C flag and
// returns when the application is quitting.
void wait_mouse_click();
void get_work_area(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t& pen);
void get_debug_allowed(bool& flag);

// The program state the reading converts by, written by the AREA, ORIGIN and WINDOW commands.
// Until a work area is set it is the whole screen (0, 0, screen width, screen height).
void mouse_wait_set_work_area(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t pen);
void mouse_wait_set_origin(int32_t x, int32_t y);
void mouse_wait_set_window_coordinates(bool on);

// One poll of the mouse: pumps the messages once and gives the last position and the two
// button flags (1 down); false when the application is quitting (outputs unchanged).  Tests
// replace it to play a sequence of mouse states; nullptr restores the real one.
using mouse_poll_fn = std::function<bool(int32_t& x, int32_t& y, int32_t& left, int32_t& right)>;
void mouse_wait_set_poll(mouse_poll_fn poll);
void mouse_wait_reset();  // for tests
