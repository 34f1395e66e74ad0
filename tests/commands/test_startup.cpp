// Start-up: the main window, colours and pens, the close query, the window notifications, the
// dump log, and the command-line rules.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"

namespace {
using startup_test = runtime_fixture;

TEST_F(startup_test, MainWindowIsWinKYRWith640By480ClientArea) {
  int32_t window = start_headless();
  ASSERT_NE(window, 0);
  EXPECT_EQ(main_window(), window);
  EXPECT_EQ(handle_tables.windows[0], window);
  EXPECT_NE(is_valid_window(window), 0);
  qn_rect client = GET_RECT({.window = window});
  EXPECT_EQ(client.right - client.left, 640);
  EXPECT_EQ(client.bottom - client.top, 480);
  bool titled = false;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == "WinKYR") titled = true;
  EXPECT_TRUE(titled);
  EXPECT_EQ(screen_metrics.width, 640);
  EXPECT_EQ(screen_metrics.height, 480);
  EXPECT_NE(handle_tables.bitmaps[0], 0);  // screen 0's bitmap
  EXPECT_EQ(qn_option_word(), 1);
}

TEST_F(startup_test, StandardColoursAndPens) {
  colour_table[200] = 0x123456;
  start_headless();
  const uint32_t expected[17] = {0x000000, 0x800000, 0x008000,   0xFFFF00,   0x0000FF,   0xFF00FF,
                                 0x020080FF, 0xC0C0C0, 0x808080, 0xFF0000,   0x00FF00,   0x02FFFF80,
                                 0x028080FF, 0x02FF80FF, 0x00FFFF, 0xFFFFFF, 0xF0FBFF};
  for (int i = 0; i < 17; ++i) EXPECT_EQ(colour_table[i], expected[i]) << "colour " << i;
  EXPECT_EQ(colour_table[17], RGB(32, 32, 3));
  EXPECT_EQ(colour_table[200], 0u);  // the rest of the table is cleared
  for (int32_t slot = 0; slot <= 19; ++slot) {
    int32_t pen = 0, brush = 0;
    get_my_pen_and_brush(slot, pen, brush);
    EXPECT_NE(pen, 0) << "pen " << slot;
  }
  int32_t pen = 0, brush = 0;
  get_my_pen_and_brush(20, pen, brush);
  EXPECT_EQ(pen, 0);
}

TEST_F(startup_test, FirstRunFromRecordOneThenTheLoopEndsWithTheWindow) {
  int32_t window = start_headless();
  static int runs = 0;
  runs = 0;
  set_command_handler(4, [](code_record&) { ++runs; });
  set_command_handler(3, [](code_record&) {
    call_state.pc = call_state.saved_pc[static_cast<size_t>(call_state.depth)];
    --call_state.depth;
  });
  set_program({make_record(4, "% A"), make_record(4, "% B"), make_record(3, "RETURN")});
  no_do_paint();
  interpreter(1);
  look_do_paint();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(call_state.depth, 0);

  // Closing the window (no question asked) ends the message loop.
  run_flags.ask_on_close = false;
  static bool timed_out = false;
  timed_out = false;
  QTimer::singleShot(50, [window] { CLOSE_WINDOW(window); });
  // The watchdog dies with this test, so it never ends the loop of a later one.
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    timed_out = true;
    qn_post_quit(0);
  });
  watchdog.start(5000);
  quillon_loop();
  EXPECT_FALSE(timed_out);
  EXPECT_EQ(is_valid_window(window), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(startup_test, CloseRequestAsksAndNoKeepsTheWindow) {
  int32_t window = start_headless();
  box_answer = IDNO;
  CLOSE_WINDOW(window);
  pump_for(100);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Wirklich beenden?");
  EXPECT_EQ(boxes[0].caption, "WinKYR");
  EXPECT_EQ(boxes[0].style, MB_YESNO | MB_ICONQUESTION);
  EXPECT_NE(is_valid_window(window), 0);
  EXPECT_TRUE(run_flags.ask_on_close);

  box_answer = IDYES;
  CLOSE_WINDOW(window);
  pump_for(200);
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(is_valid_window(window), 0);
}

TEST_F(startup_test, QueryCloseWithMinus9999ClearsTheQuestion) {
  start_headless();
  EXPECT_EQ(query_close(-9999), 0);
  EXPECT_FALSE(run_flags.ask_on_close);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window_scroll_default(main_window(), 1, 2), -1);
}

TEST_F(startup_test, RestoreAndMaximiseArmTheWindowStateTimer) {
  int32_t window = start_headless();
  static std::vector<int32_t> commands;
  commands.clear();
  qn_set_control([](int32_t command, int32_t) { commands.push_back(command); });
  window_notify(window, 1);     // minimised
  window_notify(window, 1029);  // moved
  window_notify(window + 1000, 0);  // not the main window
  pump_for(300);
  EXPECT_TRUE(std::find(commands.begin(), commands.end(), 0x2001) == commands.end());
  window_notify(window, 2);  // maximised
  pump_for(300);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 0x2001), 1);

  window_notify(window, 1031);
  EXPECT_TRUE(run_flags.focus_lost);
  window_notify(window, 1030);
  EXPECT_FALSE(run_flags.focus_lost);
}

TEST_F(startup_test, ExitCommandIsLeftToTheLibrary) {
  dump_log_restart(true);
  EXPECT_EQ(qn_control(0x4001, 0), 0);
  EXPECT_EQ(file_lines("$PXBDUMP.LOG"),
            (std::vector<std::string>{"startup", "qn_control idm_file_exit received"}));
}

TEST_F(startup_test, DumpLogOnlyWithTheDollarSign) {
  dump_log("not written");
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.LOG"));
  std::ofstream(dir / "$PXBDUMP.LOG") << "old run\n";
  dump_log_restart(true);
  dump_log("call init_common...   ");
  EXPECT_EQ(file_lines("$PXBDUMP.LOG"), (std::vector<std::string>{"startup", "call init_common..."}));
  dump_log_restart(false);
  dump_log("dropped");
  EXPECT_EQ(file_lines("$PXBDUMP.LOG").size(), 2u);
}

TEST_F(startup_test, ExitApplicationReleasesPensAndBrushes) {
  start_headless();
  exit_application();
  for (int32_t slot = 0; slot < 32; ++slot) {
    int32_t pen = -1, brush = -1;
    get_my_pen_and_brush(slot, pen, brush);
    EXPECT_EQ(pen, 0);
    EXPECT_EQ(brush, 0);
  }
}

TEST_F(startup_test, MouseHandlerRecordsThePosition) {
  int32_t event = QN_MOUSE_MOVE, window = 1, keys = 1;
  qn_point point{12, 34}, second{};
  qn_rect drag{};
  mouse_event(event, point, drag, window, second, keys);
  EXPECT_EQ(mouse_state.x, 12);
  EXPECT_EQ(mouse_state.y, 34);
  EXPECT_EQ(mouse_state.buttons, 1);
  drag = {5, 6, 50, 60};
  mouse_event(event, point, drag, window, second, keys);
  EXPECT_EQ(mouse_state.x, 5);  // a drag's first corner counts
  EXPECT_EQ(mouse_state.y, 6);
}

// ---------------------------------------------------------------- command line
TEST(command_line, FirstArgumentIsTheNameWholeInCodePage1252) {
  const char* argv[] = {"winkyr", "\xC2\xB0$/tmp/my dir/Pr\xC3\xBC" "f, 2.pxb", "more"};
  EXPECT_EQ(program_argument(3, argv), "\xB0$/tmp/my dir/Pr\xFC" "f, 2.pxb");
  EXPECT_EQ(program_argument(1, argv), "");
}

TEST(command_line, LeadCharactersInTheirOrder) {
  command_line_t both = read_command_line("\xB0$prog.pxb");
  EXPECT_TRUE(both.debug_window);
  EXPECT_TRUE(both.trace_file);
  EXPECT_EQ(both.name, "prog.pxb");

  command_line_t swapped = read_command_line("$\xB0prog.pxb");
  EXPECT_FALSE(swapped.debug_window);
  EXPECT_TRUE(swapped.trace_file);
  EXPECT_EQ(swapped.name, "\xB0prog.pxb");

  command_line_t plain = read_command_line("/tmp/my dir/My Prog,1.Pxb");
  EXPECT_FALSE(plain.debug_window);
  EXPECT_FALSE(plain.trace_file);
  EXPECT_EQ(plain.name, "/tmp/my dir/My Prog,1.Pxb");  // blanks, commas and case kept
}

TEST(command_line, OtherNamesLoadTheExecutablesOwnProgram) {
  EXPECT_EQ(program_file_name("PROG.PXB", "/x/run.exe"), "PROG.PXB");
  EXPECT_EQ(program_file_name("/a b/prog.pxb", "/x/run.exe"), "/a b/prog.pxb");
  EXPECT_EQ(program_file_name("NOTES.TXT", "C:\\X\\RUN.EXE"), "C:\\X\\RUN.PXB");
  EXPECT_EQ(program_file_name("", "C:\\X\\RUN.EXE   "), "C:\\X\\RUN.PXB");
  // The part after the last ".EXE" is replaced.
  EXPECT_EQ(program_file_name("", "C:\\A.EXE\\B.exe.bak"), "C:\\A.EXE\\B.PXB");
  // Executables without ".EXE" get ".PXB" appended.
  // The path keeps its case, in the file name and in "KYRPROG not found".
  EXPECT_EQ(program_file_name("", "/usr/local/bin/winkyr"), "/usr/local/bin/winkyr.PXB");
  EXPECT_EQ(program_file_name("lager", "/opt/Kasse/run.exe"), "/opt/Kasse/run.PXB");
  EXPECT_EQ(read_command_line("").name, "");
}
}  // namespace

namespace {
TEST_F(startup_test, LoadingBoxIsDrawnInTheMiddleOfTheWindow) {
  int32_t window = start_headless();
  show_loading();
  ups u;
  START_DIRECT_DRAW(window, u);
  // The box spans x 230..410 and y 218..262; its fill and its frame are colour 0.
  uint32_t inside = GET_PIXEL(u, {235, 258});  // clear of the icon and the text
  uint32_t right = GET_PIXEL(u, {405, 222});
  uint32_t corner = GET_PIXEL(u, {230, 218});
  uint32_t outside = GET_PIXEL(u, {200, 240});
  END_DIRECT_DRAW(u);
  EXPECT_EQ(inside, 0u);
  EXPECT_EQ(right, 0u);
  EXPECT_EQ(corner, 0u);
  EXPECT_NE(outside, 0u);
}

// The pixels of the window in the rectangle [x1, x2) x [y1, y2).
std::vector<uint32_t> window_pixels(int32_t window, int x1, int y1, int x2, int y2) {
  std::vector<uint32_t> pixels;
  ups u;
  START_DIRECT_DRAW(window, u);
  for (int y = y1; y < y2; ++y)
    for (int x = x1; x < x2; ++x) pixels.push_back(GET_PIXEL(u, {x, y}));
  END_DIRECT_DRAW(u);
  return pixels;
}

TEST_F(startup_test, LoadingBoxTextIsBlackOnTheBoxAndShowsOnAnotherFill) {
  int32_t window = start_headless();
  show_loading();
  // The box with a margin of 10 pixels all round.
  const std::vector<uint32_t> box = window_pixels(window, 220, 208, 421, 273);
  ups u;
  START_DIRECT_DRAW(window, u);
  WRITE_TEXT(u, "KYR loading...", {.px = qn_point{285, 234}, .background = -1});  // the box's text
  WRITE_TEXT(u, "KYR loading...", {.px = qn_point{20, 20}, .background = -1});    // on the white
  END_DIRECT_DRAW(u);
  const std::vector<uint32_t> on_white = window_pixels(window, 18, 18, 160, 44);
  EXPECT_NE(std::count(on_white.begin(), on_white.end(), 0u), 0);  // the text leaves black there
  EXPECT_EQ(window_pixels(window, 220, 208, 421, 273), box);      // and nothing on the box

  // Pen 0 made white: the box is white inside its black frame, and the text shows in it.
  create_my_pen(0, {.colour = 0xFFFFFF});
  show_loading();
  const std::vector<uint32_t> text = window_pixels(window, 280, 228, 405, 258);  // clear of the icon
  EXPECT_NE(std::count(text.begin(), text.end(), 0u), 0);
  EXPECT_NE(std::count(text.begin(), text.end(), 0xFFFFFFu), 0);
}
}  // namespace
