// The mouse handler of the main window.  For now it keeps the mouse words (position and
// buttons) that the combo box, the list manager, mouse polling and the MOUSE command read;
// areas, focus and label runs come with the area table.
#include "runtime/core/core.h"

mouse_state_t mouse_state;

void mouse_event(int32_t& event, qn_point& point, qn_rect& drag, int32_t& window, qn_point& second,
                 int32_t& keystate) {
  mouse_state.buttons = keystate;
  // While a drag is under way its first corner is the position that counts.
  if (drag.left == 0 && drag.top == 0) {
    mouse_state.x = point.x;
    mouse_state.y = point.y;
  } else {
    mouse_state.x = drag.left;
    mouse_state.y = drag.top;
  }
}
