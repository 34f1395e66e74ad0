// WINDOW (window mode, escape label, XOR drawing, saving and restoring screen rectangles on the
// video stack and in the internal clipboard) and WINMGR (the main window: foreground, painting,
// size, minimise and restore, position).
#include <algorithm>

#include "quillon/api/coordinates.h"
#include "runtime/program/areas.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {

int32_t p_int(int32_t i) { return nint(param_registers[i]); }
bool has(int32_t option) { return flag_mask_test(option); }

// Every entry pushed here is counted on the current screen level, every entry taken off is
// counted off, so that popping the level draws back exactly the entries it still holds.
void add_level_release(int32_t delta) { level_release_add(delta); }

void save_rectangle() {
  qn_rect r;
  if (has(1024)) {
    r = graphics.window_rect;
  } else {
    int32_t x = p_int(1), y = p_int(2);
    const int32_t w = p_int(3), h = p_int(4);
    if (x == -1) x = px_diff(graphics.window_rect.right, w) / 2;
    if (y == -1) y = px_diff(graphics.window_rect.bottom, h) / 2;
    r = h == 0 ? qn_rect{0, 0, 0, 0} : qn_rect{px_clamp(x), px_clamp(y), px_sum(std::abs(int64_t{x}), w), px_sum(y, h)};
  }
  if (has(65536)) {
    clipboard_copy(std::max(p_int(5), 1), r.left, r.top, r.right, r.bottom);
    return;
  }
  add_level_release(1);
  video_stack_push(r.left, r.top, r.right, r.bottom);
}

void restore_rectangles() {
  const int32_t a = p_int(1), b = p_int(2), c = p_int(3);
  if (has(65536)) {
    if (has(16384)) {
      clipboard_paste(std::max(c, 1), a, b);
    } else {
      clipboard_store(std::max(a, 1));
    }
    return;
  }
  if (has(4096)) {
    video_stack_restore();
    return;
  }
  int32_t n = 0;
  if (has(2048)) {
    video_stack_depth(n);
  } else {
    n = std::max(a, 1);
  }
  if (has(16384)) {
    video_stack_set_origin(a, b);
    n = 1;
  }
  for (int32_t i = 0; i < n; ++i) {
    add_level_release(-1);
    if (has(8192)) {
      video_stack_drop();
    } else {
      video_stack_pop();
    }
  }
}

}  // namespace

void cmd_WINDOW(code_record& rec) {
  evaluate_upn(rec.expression, 5);
  const int32_t a = p_int(1), b = p_int(2), c = p_int(3);
  if (has(8)) {
    graphics.window_mode = 1;
    mouse_wait_set_window_coordinates(true);
  } else if (has(16)) {
    graphics.window_mode = 0;
    mouse_wait_set_window_coordinates(false);
  } else if (has(32768)) {
    if (has(65536)) video_stack_copy(std::max(c, 1), a, b);
  } else if (has(2048) && !has(256)) {
    // With option 256, 2048 means "restore everything" and belongs to the restore below.
    area_state_block& st = area_table.state;
    st.escape_label = rec.target;
    st.escape_enabled = rec.target > 0 || a != 0 ? logical_true : 0;
  } else if (has(64)) {
    graphics.xor_mode = a != 0;
    video_stack_set_xor_mode(graphics.xor_mode);
    if (graphics.batch_mode && screen_step_context(0) != nullptr) {
      SET_ROP(*screen_step_context(0), graphics.xor_mode ? 7 : 13);
    }
  } else if (has(1)) {
    video_stack_frame();
  } else if (has(2)) {
    video_stack_unframe();
  } else if (has(128)) {
    save_rectangle();
  } else if (has(256)) {
    restore_rectangles();
  } else if (!has(65536)) {
    report_error("err window", 32000);
  }
}

void cmd_WINMGR(code_record& rec) {
  evaluate_upn(rec.expression, 5);
  const int32_t w = p_int(1);
  if (w < 0 || w > 20) {
    report_error("WINDOW QWU-Fehler", 32000);
    return;
  }
  const int32_t a = p_int(2), b = p_int(3);
  if (has(1)) {
    SET_FOREGROUND(a > 0 ? handle_tables.windows[w] : main_window());
  } else if (has(8)) {
    if (has(2048)) {
      screen_repaint();
    } else if (w <= 0) {
      no_do_paint();
    } else {
      look_do_paint();
    }
  } else if (has(1024)) {
    const int32_t width = px_clamp(a), height = px_sum(b, screen_metrics.menu_bar_height);
    screen_metrics.width = width;
    screen_metrics.height = height;
    graphics.window_rect.right = width;
    graphics.window_rect.bottom = px_clamp(b);
    if (has(2048)) {
      resize_screen(w, width, height);
    } else {
      size_main_window(w, width, height);
    }
  } else if (has(128)) {
    show_main_window(w, -1);
  } else if (has(256)) {
    show_main_window(w, 1);
  } else if (has(16384)) {
    move_main_window(w, a, b);
  } else {
    call_state.command_error = 1233;
  }
}
