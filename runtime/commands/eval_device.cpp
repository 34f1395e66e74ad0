// Device and program-state functions: PIXEL, RGB, KBSTAT, KEYBD, QUERY, WIN, MOUSE, ARG.
#include <cstdint>

#include "quillon/api/quillon.h"
#include "runtime/commands/events.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/areas.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"
#include "runtime/screen/screen.h"

namespace {

constexpr int32_t vk_shift = 16, vk_control = 17, vk_menu = 18;
constexpr int32_t sm_cycaption = 4, sm_cxfullscreen = 16, sm_cyfullscreen = 17, sm_cxframe = 32,
                  sm_cyframe = 33;

// A key is down when the top bit of its 16-bit state is set.
bool key_down(int32_t virtual_key) { return (GET_KEY_STATE(virtual_key) & 0x8000) != 0; }

int32_t metric(int32_t index) {
  int status = 0;
  const int32_t v = get_system_metrics(index, &status);
  return status == 0 ? v : 0;
}

qn_rect main_window_rect() {
  int status = 0;
  const int32_t window = main_window();
  if (window == 0) return {};
  const qn_rect r = GET_RECT({.window = window, .whole_window = true, .status = &status});
  return status == 0 ? r : qn_rect{};
}

float win_measure(int32_t k) {
  const int32_t menu = screen_metrics.menu_bar_height;
  switch (k) {
    case -4: return static_cast<float>(screen_metrics.client_height());
    case -3: return static_cast<float>(screen_metrics.width);
    case -1: return static_cast<float>(area_count());
    case 0: return static_cast<float>(level_pointer());
    case 1: return static_cast<float>(video_stack_window().left);
    case 2: return static_cast<float>(video_stack_window().top);
    case 3: return static_cast<float>(video_stack_window().x_extent);
    case 4: return static_cast<float>(video_stack_window().y_extent);
    case 11: return static_cast<float>(main_window_rect().left);
    case 12: return static_cast<float>(main_window_rect().top);
    case 13: {
      const qn_rect r = main_window_rect();
      return static_cast<float>(int64_t{r.right} - r.left + 1 - 2 * metric(sm_cxframe));
    }
    case 14: {
      const qn_rect r = main_window_rect();
      return static_cast<float>(int64_t{r.bottom} - r.top + 1 - menu - 2 * metric(sm_cyframe) -
                                metric(sm_cycaption));
    }
    case 23: return static_cast<float>(metric(sm_cxfullscreen) - 2 * metric(sm_cxframe));
    case 24:
      return static_cast<float>(metric(sm_cyfullscreen) - 2 * metric(sm_cyframe) - metric(sm_cycaption) - 1);
    default: return 0.0f;
  }
}

}  // namespace

bool eval_device_function(int32_t code) {
  value_slot& top = evaluator.top();
  switch (code) {
    case upn_pixel: {  // PIXEL(x, y) in the open drawing context of screen 0
      value_slot& first = evaluator.slot(evaluator.sp - 1);
      float colour = 0.0f;
      if (ups* u = screen_step_context(0); u != nullptr && u->stamp == QN_STAMP) {
        int status = 0;
        const uint32_t c = GET_PIXEL(*u, {nint(first.value()), nint(top.value())}, &status);
        // A point outside the bitmap gives the invalid colour, -1 as a signed word.
        colour = status == 0 ? static_cast<float>(static_cast<int32_t>(c)) : 0.0f;
      }
      first.set_number(colour);
      pop_to_first_argument();
      return true;
    }
    case upn_rgb: {  // RGB(n); a colour number outside the table gives 0
      const int32_t n = nint(top.value());
      const bool inside = n >= 0 && n < static_cast<int32_t>(std::size(colour_table));
      top.set_number(inside ? static_cast<float>(colour_table[n]) : 0.0f);
      return true;
    }
    case upn_kbstat: {  // KBSTAT: 2 Shift + 4 Ctrl + 8 Alt; the dispatcher's modifier words follow
      const bool shift = key_down(vk_shift), ctrl = key_down(vk_control), alt = key_down(vk_menu);
      run_flags.modifier_ctrl = ctrl ? 1 : 0;
      run_flags.modifier_shift = shift ? 32 : 0;
      modifier_alt = alt ? 1 : 0;
      push_number(static_cast<float>(2 * shift + 4 * ctrl + 8 * alt));
      return true;
    }
    case upn_keybd: {  // KEYBD: each key is read once
      const int32_t key = last_char;
      last_char = -1;
      push_number(static_cast<float>(key));
      return true;
    }
    case upn_query: {  // QUERY(k)
      const int32_t k = nint(top.value());
      const bool cancelled = query_answer.cancel != 0;
      float r = 0.0f;
      if (k == 1) r = cancelled ? 0.0f : static_cast<float>(query_answer.yes);
      else if (k == 2) r = cancelled ? 0.0f : static_cast<float>(1 - query_answer.yes);
      else r = cancelled ? 27.0f : 0.0f;
      top.set_number(r);
      return true;
    }
    case upn_win:  // WIN(k)
      top.set_number(win_measure(nint(top.value())));
      return true;
    case upn_mouse: {  // MOUSE(k)
      const int32_t k = nint(top.value());
      float r = 0.0f;
      if (k == 1) r = static_cast<float>(mouse_registers.x);
      else if (k == 2) r = static_cast<float>(mouse_registers.y);
      else if (k == 0 || k == 3) r = static_cast<float>(mouse_registers.buttons);
      top.set_number(r);
      return true;
    }
    case upn_arg: {  // ARG(k): a following _STO writes the argument back
      const int32_t k = nint(top.value());
      if (k < 1 || k > 10) {
        report_error("CALL Parameter", 32000);
        return true;
      }
      read_call_argument(top, k);
      return true;
    }
    default:
      return false;
  }
}
