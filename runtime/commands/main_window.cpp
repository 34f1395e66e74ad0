// The main window of the runtime: the standard colours and pens, screen 0, the window with its
// four callbacks and the mouse capture; the close query with its question; the loading box.
#include "runtime/commands/runtime.h"
#include "runtime/program/file_units.h"
#include "runtime/program/open_things.h"
#include "runtime/screen/icon_library.h"
#include "runtime/screen/screen.h"

namespace {
struct main_window_state_t {
  ups context;  // the main window's direct-drawing context (loading box)
};
main_window_state_t main_state;

// The standard colours 0..16 (0x00BBGGRR; a high byte 0x02 marks a palette-relative colour);
// colour 17 comes from the library's nearest palette match.
constexpr uint32_t standard_colours[17] = {
    0x000000, 0x800000, 0x008000,   0xFFFF00,   0x0000FF,   0xFF00FF,   0x020080FF, 0xC0C0C0, 0x808080,
    0xFF0000, 0x00FF00, 0x02FFFF80, 0x028080FF, 0x02FF80FF, 0x00FFFF, 0xFFFFFF, 0xF0FBFF};

// Window styles of the main window.
constexpr int32_t ws_caption = 0x00C00000, ws_sysmenu = 0x00080000, ws_thickframe = 0x00040000,
                  ws_clipsiblings = 0x04000000, ws_minimizebox = 0x00020000, ws_maximizebox = 0x00010000;

void set_colours_and_pens() {
  for (uint32_t& c : colour_table) c = 0;
  for (int i = 0; i < 17; ++i) colour_table[i] = standard_colours[i];
  colour_table[17] = RGB(32, 32, 3);
  colour_numbers = {};
  create_my_pen(colour_numbers.pen_dotted_black, {.colour = 0x000000u, .style = 2});
  create_my_pen(colour_numbers.pen_dotted_red, {.colour = 0x0000FFu, .style = 2});
  for (int32_t n = 0; n <= 17; ++n) create_my_pen(n, {.colour = colour_table[n]});
}
}  // namespace

int32_t create_main_window() {
  qn_set_option_word(1);
  // A library end leaves nothing open (no plot file without its end, no line unwritten).
  qn_set_end_steps([] { end_open_things(run_transition::error_end); });
  // The lines a program writes reach their files at each turn of the pump and before the run
  // waits in a box or dialog; an end that came while one was up runs when it has returned.
  qn_set_turn_steps(flush_unit_lines);
  qn_set_wait_steps(flush_unit_lines, end_after_waiting);
  quillon_init();
  qn_set_control([](int32_t command, int32_t param) { qn_control(command, param); });
  set_colours_and_pens();

  handle_tables = {};
  handle_tables.icons[0] = LOAD_ICON("kyricon");

  screen_metrics.width = 640;
  screen_metrics.height = 480;
  int32_t size = screen_metrics.width;
  screen_init(0, size, screen_metrics.height);
  int32_t bitmap = 0;
  screen_init(0, bitmap, -9998);
  handle_tables.bitmaps[0] = bitmap;

  set_main_window(CREATE_MAIN_WINDOW({
      .title = "WinKYR",
      .style = ADD_BIT_6(ws_caption, ws_sysmenu, ws_thickframe, ws_clipsiblings, ws_minimizebox, ws_maximizebox),
      .client_px = qn_point{screen_metrics.width, screen_metrics.height},
      .window_flags = 1,
      .icon = handle_tables.icons[0],
      .paint = main_window_paint,
      .close =
          [](int32_t) {
            // A program end inside the close steps lets the window go.
            int32_t answer = -1;
            run_guarded([&] { answer = query_close(0); });
            return answer;
          },
      .scroll = window_scroll_default,
      .notify = window_notify,
  }));
  handle_tables.windows[0] = main_window();
  int32_t window = main_window();
  screen_init(0, window, -9999);

  CAPTURE_MOUSE_EVENTS(main_window(), mouse_event,
                       ADD_BIT_5(QN_MOUSE_MOVE, QN_MOUSE_LEFT_DOWN, QN_MOUSE_LEFT_UP, QN_MOUSE_RIGHT_DOWN,
                                 QN_MOUSE_RIGHT_UP));
  return main_window();
}

std::string main_window_title() {
  int status = 0;
  std::string title = main_window() != 0 ? GET_WINDOW_TITLE(main_window(), &status) : std::string();
  if (main_window() == 0 || status != 0) title = "WinKYR";
  title.resize(64, ' ');
  return title;
}

int32_t window_scroll_default(int32_t, int32_t, int32_t) { return -1; }

void window_notify(int32_t window, int32_t code) {
  if (window != main_window() || main_window() == 0) return;
  switch (code) {
    case 0:  // restored
    case 2:  // maximised
      SET_TIMER(0.1f, 0x2001);
      break;
    case 1030: run_flags.focus_lost = false; break;
    case 1031: run_flags.focus_lost = true; break;
    default: break;  // minimised, moved, ...
  }
}

int32_t query_close(int32_t code) {
  if (code == -9999) {
    run_flags.ask_on_close = false;
    return 0;
  }
  if (run_flags.ask_on_close &&
      MESSAGE_BOX("Wirklich beenden?", {.caption = "WinKYR", .style = MB_YESNO | MB_ICONQUESTION}) != IDYES)
    return 0;
  // The window closes: what the program holds open ends first.  Without the question (QUIT, an
  // error end, a signal) the run's own end has come this way already and finds nothing left.
  end_open_things(run_flags.ask_on_close ? run_transition::window_closed : run_transition::quit);
  exit_application();
  debug_close();
  if (main_window() != 0) POST_COMMAND(0x4001, main_window());
  return -1;
}

void show_loading() {
  if (main_window() == 0) return;
  const int32_t status_height = 0;  // no status area at start-up
  const int32_t cx = screen_metrics.width / 2;
  const int32_t cy = (screen_metrics.height - status_height) / 2;
  ups& u = main_state.context;
  START_DIRECT_DRAW(main_window(), u);
  SELECT_MY_PEN(u, 0);
  for (int32_t y = cy - 22; y <= cy + 22; ++y)
    DRAW_LINE(u, {.end_px = qn_point{cx + 90, y}, .start_px = qn_point{cx - 90, y}});
  SELECT_MY_PEN(u, colour_numbers.black);
  const qn_point corners[5] = {{cx - 90, cy - 22}, {cx + 90, cy - 22}, {cx + 90, cy + 22}, {cx - 90, cy + 22}, {cx - 90, cy - 22}};
  for (int i = 0; i < 4; ++i) DRAW_LINE(u, {.end_px = corners[i + 1], .start_px = corners[i]});
  // The text is black, without a background, and keeps well inside the box: on a fill of its own
  // colour (pen 0 is black unless it was made anew) it changes no pixel.  Laying it out would
  // bring up the whole font system at start-up for nothing, so it is written only on another fill.
  const qn_point text_at{cx - 35, cy - 6};
  constexpr uint32_t text_colour = 0x000000;  // WRITE_TEXT's colour when none is given
  if (GET_PIXEL(u, text_at) != text_colour) WRITE_TEXT(u, "KYR loading...", {.px = text_at, .background = -1});
  draw_icon_on(u, cx - 80, cy - 15, "#9", false);
  END_DIRECT_DRAW(u);
}

void main_window_reset() {
  main_state = {};
  set_main_window(0);
}
