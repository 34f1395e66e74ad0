// The message fields: up to 8 framed text fields in one strip along the bottom of screen 0.
// The strip lies at the bottom of the window's client area, under any menu bar.
// Field 1 starts at the left edge; fields 2 to 8 start where the program puts them (MESS
// option 1) and each ends where the next one to its right begins.  A field remembers the text it
// shows, so that a program sending the same text again and again draws it once.  Message line 1
// is field 1's box, where the single-step debugger echoes the command being typed.
#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "runtime/program/program.h"
#include "runtime/screen/screen.h"

namespace {
constexpr int32_t field_count = 8;
constexpr size_t field_text_size = 80;
constexpr int32_t at_right_end = -1;  // a field not placed yet: empty at the strip's right end

struct command_text_state_t {
  bool output_on = true;
  std::array<int32_t, field_count + 1> left{};  // left edge in pixels of field 1..8 (index 0 unused)
  std::array<std::optional<std::string>, field_count + 1> shown{};  // what each field shows
  std::array<int32_t, field_count + 1> draws{};  // times each field was drawn
  int32_t bottom = -1;  // strip_bottom() when the fields last drew their texts
  std::string line1;  // what message line 1 shows
  int32_t line1_draws = 0;

  command_text_state_t() {
    left.fill(at_right_end);
    left[1] = 0;
  }
};
command_text_state_t ct;

std::string field_text(std::string_view text) {
  std::string out(text.substr(0, std::min(text.size(), field_text_size)));
  out.resize(field_text_size, ' ');
  return out;
}

std::string_view trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

int32_t left_edge(int32_t field, int32_t width) {
  const int32_t x = ct.left[static_cast<size_t>(field)];
  return x == at_right_end ? width : std::clamp(x, 0, width);
}

// The row under the strip: the bottom of what the window shows of screen 0.  A menu bar takes
// its rows off the window's inside, and a window made smaller than its screen shows only the
// screen's upper rows.
int32_t strip_bottom() { return std::max(std::min(screen_info(0).height, screen_metrics.client_height()), 0); }

// Left and right pixel columns of a field (right < left: the field has no room).
void field_columns(int32_t field, int32_t width, int32_t& x1, int32_t& x2) {
  x1 = left_edge(field, width);
  int32_t right = width;
  for (int32_t other = 1; other <= field_count; ++other) {
    const int32_t x = left_edge(other, width);
    if (other != field && x > x1) right = std::min(right, x);
  }
  x2 = right - 1;
}

// Draws a framed field box with the text in it; false when screen 0 has nothing to draw on.
bool draw_field_box(int32_t field, std::string_view text) {
  const screen_view screen = screen_info(0);
  if (screen.bitmap == 0) return false;
  const int32_t bottom = strip_bottom();
  if (bottom <= 0) return true;  // the window shows no row of the screen
  const int32_t y2 = bottom - 1;
  const int32_t y1 = std::max(bottom - message_line_height, 0);
  int32_t x1 = 0, x2 = 0;
  field_columns(field, screen.width, x1, x2);
  if (x2 < x1) return true;  // a field without room shows nothing
  ups step;
  screen_nr(0, step, x1, y1, x2, y2);
  ups* u = screen_step_context(0);
  if (u == nullptr) return false;
  NEW_PEN(*u, {.colour = colour_table[colour_numbers.grey]});
  NEW_BRUSH(*u, {.colour = colour_table[colour_numbers.light_grey]});
  DRAW_RECTANGLE(*u, {.px = qn_rect{x1, y1, x2, y2}});
  const std::optional<int32_t> font = standard_font != 0 ? std::optional<int32_t>(standard_font) : std::nullopt;
  // Cut the text where it would run out of its box.
  std::string shown(trimmed(text));
  const int32_t room = x2 - x1 - 6;
  while (!shown.empty() && GET_TEXT_EXTENT(*u, shown, font).x > room) shown.pop_back();
  if (!shown.empty())
    WRITE_TEXT(*u, shown,
               {.px = qn_point{x1 + 3, y1 + 3}, .colour = colour_table[colour_numbers.black], .background = -1, .font = font});
  screen_stop_nr(0);
  return true;
}
}  // namespace

void output_command_text(int32_t field, std::string_view text, int32_t force) {
  if (field < 0) {
    ct.output_on = force != 0;
    return;
  }
  const int32_t f = std::clamp(field, 1, field_count);
  const std::string t = field_text(text);
  if (f > 1 && force > 0) {
    ct.left[static_cast<size_t>(f)] = force;
    for (auto& s : ct.shown) s.reset();  // the boxes moved: every field is drawn anew
  }
  if (const int32_t bottom = strip_bottom(); bottom != ct.bottom) {
    // The strip moved (a menu bar came or went, the window changed its size): what the fields
    // showed is no longer in view, so every field is drawn anew.
    ct.bottom = bottom;
    for (auto& s : ct.shown) s.reset();
  }
  if (force == 0) {
    if (ct.shown[static_cast<size_t>(f)] == t || !ct.output_on) return;
    if (f == 1 && run_flags.single_step_on) return;  // the debugger's command line is there
  }
  if (!draw_field_box(f, t)) return;
  ct.shown[static_cast<size_t>(f)] = t;
  ++ct.draws[static_cast<size_t>(f)];
}

void output_text(std::string_view text) { output_command_text(1, text, 0); }

void output_text_line(std::string_view text) {
  if (!draw_field_box(1, text)) return;
  ct.line1 = std::string(text);
  ++ct.line1_draws;
  ct.shown[1].reset();  // field 1's text is gone from its box
  screen_repaint();     // at once, also while painting is suppressed during a run
}

command_text_view command_text_info() {
  command_text_view view;
  view.output_on = ct.output_on;
  for (int32_t f = 1; f <= field_count; ++f) {
    view.left[static_cast<size_t>(f)] = ct.left[static_cast<size_t>(f)];
    view.shown[static_cast<size_t>(f)] = std::string(trimmed(ct.shown[static_cast<size_t>(f)].value_or("")));
    view.draws[static_cast<size_t>(f)] = ct.draws[static_cast<size_t>(f)];
  }
  view.line1 = ct.line1;
  view.line1_draws = ct.line1_draws;
  return view;
}

void command_text_reset() { ct = {}; }
