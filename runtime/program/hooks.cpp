// The application hooks: the points where an embedding application has a say (start-up,
// close, the application form of EVENT, the list manager), with the shipped default bodies.
#include "runtime/program/program.h"

int32_t combo_key = 0;

void init_application() { trace_msg("U_APP default init_application"); }

void exit_application() {
  // The drawing layer's numbered pens and brushes are released before the window goes.
  for (int32_t slot = 0; slot < 32; ++slot) {
    int32_t pen = 0, brush = 0;
    get_my_pen_and_brush(slot, pen, brush);
    if (pen != 0) delete_my_pen(slot);
    if (brush != 0) delete_my_brush(slot);
  }
  trace_msg("U_APP default exit_application");
}

void u_app(int32_t& a, int32_t& b, int32_t& c, int32_t& d) { trace_app("u_app", a, b, c, d); }

void no_hook(int32_t, int32_t) {}

void combo_key_catch(int32_t key) {
  // Only the first key pressed while the drop-down is open is kept.
  if (combo_key == -1) combo_key = key;
}
