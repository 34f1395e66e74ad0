// Screens and paint control: the off-screen bitmaps the runtime draws into, their dirty
// state, and the copies into the windows that show them.
#include <algorithm>
#include <cstdint>
#include <string>

#include "runtime/program/program.h"
#include "runtime/screen/screen.h"

namespace {

struct screen_record {
  int32_t bitmap = 0;
  int32_t window = 0;
  int32_t width = 0, height = 0;
  bool dirty = false;
  qn_rect rect;            // dirty rectangle, right and bottom exclusive
  bool carried = false;    // the screen was already dirty when the outermost step opened
  qn_rect carried_rect;    // ... with this rectangle, which must still reach the window
  ups context;             // drawing context of the open step
  int32_t depth = 0;       // nested steps; the context is open while above 0
  int32_t copies = 0;
};

struct screens_state {
  screen_record screen[screen_count];
  int32_t current = 0;         // screen of the last drawing step
  bool suppressed = false;     // no_do_paint .. look_do_paint
};
screens_state st;

bool valid_screen(int32_t n) { return n >= 0 && n < screen_count; }

// The edge rules shared by screen_nr and screen_rect.
qn_rect dirty_rect_of(const screen_record& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x1 < 0) return {0, 0, s.width, s.height};
  qn_rect r;
  r.left = x1;
  r.top = y1;
  r.right = x2 < x1 ? s.width : (x2 == INT32_MAX ? x2 : x2 + 1);
  r.bottom = y2 < y1 ? s.height : (y2 == INT32_MAX ? y2 : y2 + 1);
  return r;
}

qn_rect unite(const qn_rect& a, const qn_rect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// Shows the whole bitmap in the screen's window.  The window shows nothing but this bitmap,
// so copying all of it gives the same picture as copying the dirty part.
void copy_to_window(screen_record& s) {
  if (s.window == 0 || s.bitmap == 0 || !is_valid_window(s.window)) return;
  int status = 0;
  ups w;
  START_DIRECT_DRAW(s.window, w, &status);
  if (status != 0) {
    trace_int("screen copy: no window context", status);
    return;
  }
  DRAW_BITMAP(w, s.bitmap, {.px = qn_rect{0, 0, s.width, s.height}, .mode = 3, .status = &status});
  if (status != 0) trace_int("screen copy failed", status);
  END_DIRECT_DRAW(w);
  s.dirty = false;
  s.carried = false;
  ++s.copies;
}

void close_context(screen_record& s) {
  if (s.depth > 0 && s.context.stamp == QN_STAMP) END_BITMAP_DRAW(s.context);
  s.context = ups{};
  s.depth = 0;
}

void release_bitmap(screen_record& s) {
  close_context(s);
  if (s.bitmap != 0) DELETE_OBJECT(s.bitmap);
  s.bitmap = 0;
}

bool make_bitmap(screen_record& s, int32_t width, int32_t height) {
  if (width < 1 || height < 1) {
    report_error("KYRMAIN screen size " + std::to_string(width) + " x " + std::to_string(height),
                 32000);
    return false;
  }
  int status = 0;
  const int32_t bitmap = CREATE_BITMAP(width, height, &status);
  if (status != 0 || bitmap == 0) {
    report_error("KYRMAIN screen bitmap " + std::to_string(width) + " x " + std::to_string(height),
                 32000);
    return false;
  }
  release_bitmap(s);
  s.bitmap = bitmap;
  s.width = width;
  s.height = height;
  s.dirty = false;
  s.carried = false;
  s.rect = {};
  return true;
}

}  // namespace

void screen_init(int32_t n, int32_t& a, int32_t b) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN screen_init out of size", 32000);
    return;
  }
  screen_record& s = st.screen[n];
  if (b == -9999) {
    s.window = a;
  } else if (b == -9998) {
    a = s.bitmap;
  } else {
    make_bitmap(s, a, b);
  }
}

void screen_nr(int32_t n, ups& u, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN screen_nr out of size", 32000);
    return;
  }
  screen_record& s = st.screen[n];
  if (s.bitmap == 0) {
    report_error("KYRMAIN screen_nr no bitmap", 32000);
    return;
  }
  st.current = n;
  const qn_rect r = dirty_rect_of(s, x1, y1, x2, y2);
  if (s.depth == 0) {
    // What is dirty from earlier steps has not been shown yet; screen_rect must keep it.
    s.carried = s.dirty;
    s.carried_rect = s.rect;
  }
  // Widen: under paint suppression many steps pile up before one copy.
  s.rect = s.dirty ? unite(s.rect, r) : r;
  s.dirty = true;
  if (s.depth == 0) {
    START_BITMAP_DRAW(s.bitmap, s.context);
    forget_text_font();
  }
  ++s.depth;
  u = s.context;
}

void screen_stop_nr(int32_t n) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN screen_stop_nr out of size", 32000);
    return;
  }
  screen_record& s = st.screen[n];
  if (s.depth > 1) {
    --s.depth;
    return;
  }
  close_context(s);
  if (!st.suppressed && s.dirty) copy_to_window(s);
}

void screen_rect(int32_t n, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN screen_rect out of size", 32000);
    return;
  }
  screen_record& s = st.screen[n];
  const qn_rect r = dirty_rect_of(s, x1, y1, x2, y2);
  s.rect = s.carried ? unite(s.carried_rect, r) : r;
}

void screen_repaint() {
  screen_record& s = st.screen[st.current];
  s.rect = {0, 0, s.width, s.height};
  copy_to_window(s);
}

void screen_bitmap(int32_t n, int32_t& handle) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN screen_bitmap out of size", 32000);
    return;
  }
  handle = st.screen[n].bitmap;
}

void main_window_paint(int32_t window, ups& u) {
  const screen_record& s = st.screen[0];
  if (s.bitmap == 0) return;
  int status = 0;
  DRAW_BITMAP(u, s.bitmap, {.px = qn_rect{0, 0, s.width, s.height}, .mode = 3, .status = &status});
}

void look_do_paint() {
  st.suppressed = false;
  for (screen_record& s : st.screen) {
    if (s.dirty) copy_to_window(s);
  }
}

void no_do_paint() { st.suppressed = true; }

void size_main_window(int32_t window_nr, int32_t width, int32_t height) {
  const int32_t w = qn_main_window();
  if (w != 0) qn_set_window_client_size(w, width, height);
}

void show_main_window(int32_t window_nr, int32_t mode) {
  debug_show(mode);
  const int32_t w = qn_main_window();
  if (w == 0) return;
  // A minimise request minimises the main window too, not only the debugger windows.
  qn_show_window(w, mode > 0 ? 9 : 6);
}

void move_main_window(int32_t window_nr, int32_t x, int32_t y) {
  const int32_t w = qn_main_window();
  if (w != 0) qn_move_window(w, x, y);
}

void resize_screen(int32_t n, int32_t width, int32_t height) {
  if (!valid_screen(n)) {
    report_error("KYRMAIN resize_screen out of size", 32000);
    return;
  }
  size_main_window(0, width, height);
  make_bitmap(st.screen[n], width, height);
}

ups* screen_step_context(int32_t n) {
  if (!valid_screen(n) || st.screen[n].depth == 0) return nullptr;
  return &st.screen[n].context;
}

screen_view screen_info(int32_t n) {
  if (!valid_screen(n)) return {};
  const screen_record& s = st.screen[n];
  return {s.bitmap, s.window, s.width, s.height, s.dirty, s.rect, s.depth, s.copies};
}

bool paint_suppressed() { return st.suppressed; }

void reset_screens() {
  // Quiet releases: after a reset of the library the handles may already be gone.
  for (screen_record& s : st.screen) {
    int status = 0;
    if (s.depth > 0 && s.context.stamp == QN_STAMP) END_BITMAP_DRAW(s.context, &status);
    if (s.bitmap != 0) DELETE_OBJECT(s.bitmap, &status);
  }
  st = screens_state{};
}
