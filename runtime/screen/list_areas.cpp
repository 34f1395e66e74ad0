// Mouse polling for the list routines, and the list's slider.  The area table that holds
// slider thumbs is not linked to the lists yet, so a list has no slider to move and keeping it
// in step does nothing.
#include "runtime/core/core.h"
#include "runtime/screen/lists.h"

namespace {
struct poll_state_t {
  int32_t x = 0, y = 0;  // position of the last poll
};
poll_state_t poll_state;
}  // namespace

void get_mouse_state(int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
  if (process_pending_messages() == 0) return;
  x = mouse_state.x;
  y = mouse_state.y;
  left = (mouse_state.buttons & 1) != 0 ? 1 : 0;
  right = (mouse_state.buttons & 2) != 0 ? 1 : 0;
  poll_state.x = x;
  poll_state.y = y;
}

void update_slider(int32_t n) { (void)n; }
