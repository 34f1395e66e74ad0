// The AREA command: the window as a whole - its fill colour and filling, the main window's
// title, and the icon and background bitmap of the current window.
#include "runtime/commands/area_command.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "quillon/api/coordinates.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/screen.h"

area_state_t area_state;

namespace {

constexpr int32_t opt_fill_colour = 4;
constexpr int32_t opt_obsolete = 1024;
constexpr int32_t opt_title = 1;
constexpr int32_t opt_icon = 256;
constexpr int32_t opt_bitmap = 128;
constexpr int32_t opt_fill = 65536;
constexpr size_t bitmap_name_size = 20;


// A valid index into the handle tables for the current window.
size_t window_slot() {
  return static_cast<size_t>(std::clamp(area_current_window(), 0, area_window_slots - 1));
}

void set_fill_colour(code_record& rec) {
  evaluate_upn(rec.expression, 1);
  const int32_t colour = nint(param_registers[1]);
  area_state.fill_colour = colour > 0 ? colour : graphics.current_colour;
}

void set_title(code_record& rec) {
  const std::string text = get_text_token(rec.token1, area_title_size);
  area_state.title.fill(' ');
  std::memcpy(area_state.title.data(), text.data(), std::min(text.size(), area_state.title.size()));
  int status = 0;
  REDEFINE_WINDOW(main_window(),
                  {.title = blank_trimmed(std::string_view(area_state.title.data(), area_state.title.size())),
                   .status = &status});
}

void set_icon(code_record& rec) {
  const program_text taken = token_text(rec.token1);
  if (!whole_or_refused(taken)) return;  // the window keeps its icon
  const std::string& name = taken.text;
  const size_t w = window_slot();
  int32_t& entry = handle_tables.icons[w];
  if (entry != 0 && area_state.own_icon[w]) DELETE_OBJECT(entry);
  int status = 0;
  entry = LOAD_ICON(blank_trimmed(name), &status);
  area_state.own_icon[w] = entry != 0;
}

void show_bitmap(code_record& rec) {
  evaluate_upn(rec.expression, 2);  // P1 and P2 have no effect
  const program_text taken = token_text(rec.token1);
  if (!whole_or_refused(taken)) return;  // the window keeps its picture
  // The picture's name is the token's first 20 characters (what follows them is not part of it).
  std::string name = taken.text.substr(0, bitmap_name_size);
  upcase_string(name.data(), static_cast<int32_t>(name.size()));
  const size_t w = window_slot();
  int32_t& entry = handle_tables.bitmaps[w];
  if (entry != 0 && area_state.own_bitmap[w]) DELETE_OBJECT(entry);
  int status = 0;
  entry = LOAD_BITMAP(blank_trimmed(name), &status);
  area_state.own_bitmap[w] = entry != 0;
  if (entry == 0 || status != 0) {
    // A picture that is missing or unreadable draws nothing; the library's message names the
    // file and the reason, and the program goes on.
    trace_str("AREA/bitmap?", blank_trimmed(name));
    warning_log(qn_last_error());
    return;
  }
  // Without a position of its own the bitmap covers the whole of screen 0.
  screen_nr(0, graphics.graphics_ups, 0, 0, screen_metrics.width, screen_metrics.height);
  int draw_status = 0;
  DRAW_BITMAP(graphics.graphics_ups, entry, {.status = &draw_status});
  screen_stop_nr(0);
}

void fill_window() {
  const qn_rect r = graphics.window_rect;
  screen_nr(0, graphics.graphics_ups, r.left, r.top, r.right, r.bottom);
  int status = 0;
  SELECT_MY_PEN(graphics.graphics_ups, area_state.fill_colour, &status);
  // Rows that the line cannot reach on screen 0 are left out, however far the rectangle reaches.
  const qn_span rows = qn_reachable_span(graphics.graphics_ups, r.top, r.bottom);
  for (int32_t y = rows.first; y <= rows.last; ++y)
    DRAW_LINE(graphics.graphics_ups, {.end_px = {{r.right, y}}, .start_px = {{r.left, y}}});
  screen_stop_nr(0);
}

}  // namespace

// WINMGR does not keep a current window of its own yet; every program window so far is the
// main window, entry 0.
int32_t area_current_window() { return 0; }

void area_command_reset() { area_state = area_state_t{}; }

void cmd_AREA(code_record& rec) {
  if (flag_mask_test(opt_fill_colour))
    set_fill_colour(rec);
  else if (flag_mask_test(opt_obsolete))
    trace_msg("***obsolet*** AREA/AREA");
  else if (flag_mask_test(opt_title))
    set_title(rec);
  else if (flag_mask_test(opt_icon))
    set_icon(rec);
  else if (flag_mask_test(opt_bitmap))
    show_bitmap(rec);
  else if (flag_mask_test(opt_fill))
    fill_window();
  else
    call_state.command_error = 1;
}
