// The icon panel.  It draws only; saving the screen under it is the caller's push.
#include "runtime/screen/icon_panel.h"

#include <charconv>

#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {
icon_panel_view panel;

constexpr int32_t text_colour_entry = 11;  // of the frame pen table

void write_line(int32_t x, int32_t y, std::string_view text, int32_t colour) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return;  // an empty line draws nothing
  write_label_text(x, y, text, static_cast<int32_t>(text.size()), colour);
}
}  // namespace

void icon_panel_origin(int32_t x, int32_t y) {
  panel.x = x;
  panel.y = y;
}

void icon_panel_number(int32_t n) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const std::string_view text(digits, static_cast<size_t>(end - digits));
  panel.number = text.size() > 6 ? std::string(6, '*') : std::string(6 - text.size(), ' ') + std::string(text);
}

void icon_panel(std::string_view first, std::string_view second, std::string_view reference) {
  const int32_t x = panel.x + 16, y = panel.y + 60;
  ups u;
  screen_nr(0, u, x, y, x + 32, y + 29);
  draw_icon(x, y, reference, false);
  screen_stop_nr(0);
  const int32_t colour = get_frame_pen(text_colour_entry);
  write_line(panel.x + 56, panel.y + 62, first, colour);
  write_line(panel.x + 56, panel.y + 82, second, colour);
  panel.shown = true;
}

void icon_panel_hide() {
  if (!panel.shown) return;
  panel.shown = false;
  video_stack_pop();
}

icon_panel_view icon_panel_info() { return panel; }
void icon_panel_reset() { panel = {}; }
