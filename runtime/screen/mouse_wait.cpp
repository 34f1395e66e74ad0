// Mouse waiting.  The polls stop as soon as the message pump reports that the application is
// quitting: no button change can come after that.
#include "runtime/screen/mouse_wait.h"

#include <algorithm>

#include "quillon/api/coordinates.h"
#include "quillon/api/quillon.h"
#include "runtime/program/program.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

// The raw mouse state: the main window's mouse handler writes it, the list manager and the polls
// here read it.
mouse_state_t mouse_state;

namespace {
struct mouse_wait_t {
  bool area_set = false;  // false: the work area is the screen's part under the menu bar
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, pen = 0;
  int32_t origin_x = 0, origin_y = 0;
  bool window_coordinates = false;
  mouse_poll_fn poll;  // replaced by tests
};
mouse_wait_t mw;

struct area {
  int32_t x1, y1, x2, y2;
};
area work_area() {
  // The rows the menu bar takes are no part of it, so that window coordinates count up from the
  // bottom row the user sees, as the drawing commands' window mode does.
  if (!mw.area_set) return {0, 0, screen_metrics.width, screen_metrics.client_height()};
  return {mw.x1, mw.y1, mw.x2, mw.y2};
}

// The list manager's mouse poll (one pump of the message queue); false once the application
// is quitting or the program has ended (an end waiting for a box around this wait to return),
// when the poll leaves its outputs as they were.
bool poll_mouse(int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
  if (mw.poll) return mw.poll(x, y, left, right);
  get_mouse_state(x, y, left, right);
  return !qn_quitting() && !program_has_ended();
}

// A button is down as the last event left it: a click that began before the wait, whose release
// comes first.  With no button down nothing is polled for it, so a whole click that the first
// pump brings (press and release together) is the click waited for, not one to skip.
bool click_in_progress() { return (mouse_state.buttons & 3) != 0; }

// Polls until neither button is down; false when the application is quitting.
bool wait_release(int32_t& x, int32_t& y) {
  int32_t left = 0, right = 0;
  do {
    if (!poll_mouse(x, y, left, right)) return false;
  } while (left != 0 || right != 0);
  return true;
}
}  // namespace

void wait_mouse_rect(int32_t& x, int32_t& y, int32_t& status, int32_t wait) {
  status = 0;
  const area a = work_area();
  bool quitting = wait != 0 && click_in_progress() && !wait_release(x, y);
  int32_t left = 0, right = 0;
  while (!quitting) {
    if (!poll_mouse(x, y, left, right)) quitting = true;
    if (x < a.x1) x = a.x1;
    if (x > a.x2) x = a.x2;
    if (y < a.y1) y = a.y1;
    if (y > a.y2) y = a.y2;
    if (wait == 0) {
      status = left + 2 * right;
      break;
    }
    if (quitting) break;
    if (right != 0 || left != 0) {
      status = right != 0 ? 0 : 1;
      // The release no longer moves the reported position.
      int32_t rx = x, ry = y;
      quitting = !wait_release(rx, ry);
      break;
    }
  }
  if (quitting && wait != 0) run_flags.quit_seen = true;
  if (mw.window_coordinates) {
    x = px_diff(x, a.x1);
    y = px_diff(a.y2, y);
  } else {
    x = px_diff(x, mw.origin_x);
    y = px_diff(y, mw.origin_y);
  }
}

void wait_mouse_click() {
  int32_t x = mouse_state.x, y = mouse_state.y, left = 0, right = 0;
  if (click_in_progress() && !wait_release(x, y)) {
    run_flags.quit_seen = true;
    return;
  }
  do {
    if (!poll_mouse(x, y, left, right)) {
      run_flags.quit_seen = true;
      return;
    }
  } while (left == 0 && right == 0);
}

void get_work_area(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t& pen) {
  const area a = work_area();
  x1 = a.x1;
  y1 = a.y1;
  x2 = a.x2;
  y2 = a.y2;
  pen = mw.pen;
}

void get_debug_allowed(bool& flag) { flag = run_flags.debug_allowed; }

void mouse_wait_set_work_area(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t pen) {
  mw.area_set = true;
  mw.x1 = x1;
  mw.y1 = y1;
  mw.x2 = x2;
  mw.y2 = y2;
  mw.pen = pen;
}
void mouse_wait_set_origin(int32_t x, int32_t y) {
  mw.origin_x = x;
  mw.origin_y = y;
}
void mouse_wait_set_window_coordinates(bool on) { mw.window_coordinates = on; }
void mouse_wait_set_poll(mouse_poll_fn poll) { mw.poll = std::move(poll); }
void mouse_wait_reset() {
  mw = {};
  mouse_state = {};
}
