// The application hooks: the points where an embedding application has a say (start-up,
// close, the application form of EVENT, the list manager), with the shipped default bodies.
#include "runtime/program/program.h"

#include <deque>

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

namespace {
// Keys that came while the drop-down still held one: they wait their turn, so that keys typed
// together (Down, Down, Enter) all reach it.
constexpr size_t keys_waiting_max = 16;
std::deque<int32_t> keys_waiting;
}  // namespace

void combo_key_catch(int32_t key) {
  if (combo_key == -1) combo_key = key;
  else if (combo_key != 0 && keys_waiting.size() < keys_waiting_max) keys_waiting.push_back(key);
}

void combo_key_next() {
  if (keys_waiting.empty()) {
    combo_key = -1;
    return;
  }
  combo_key = keys_waiting.front();
  keys_waiting.pop_front();
}

void combo_keys_set(int32_t word) {
  keys_waiting.clear();
  combo_key = word;
}
