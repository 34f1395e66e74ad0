// The trace channel's routing by trace mode and the debugger windows: file-only mode, the file
// copy that follows the DBGVAR window, and where the windows are put.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "commands/test_debugger_fixture.h"

namespace {
using trace_channel = debugger_fixture;

TEST_F(trace_channel, FileModeBypassesTheOpenDebugWindow) {
  open_debugger();
  debug_mode(5);  // any value but 0 means file only
  EXPECT_EQ(trace_mode(), 2);
  trace_msg("in die Datei   ");
  trace_int("n", 3);
  EXPECT_TRUE(debug_lines().empty());
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), (std::vector<std::string>{"in die Datei", " n" + std::string(12, ' ') + "3"}));
  debug_mode(0);
  trace_msg("Fenster");
  EXPECT_EQ(debug_lines(), std::vector<std::string>{"Fenster"});
  EXPECT_EQ(file_lines("$PXBDUMP.TXT").size(), 2u);
}

TEST_F(trace_channel, ModeOneCopiesToTheFileOnlyWhileDbgvarIsOpen) {
  open_debugger();
  set_trace_mode(1);
  trace_msg("ohne DBGVAR");
  single_step(0);
  trace_msg("mit DBGVAR");
  CLOSE_WINDOW(dbgvar_window());
  pump_for(50);
  trace_msg("DBGVAR zu");
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{"ohne DBGVAR", "mit DBGVAR", "DBGVAR zu"}));
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), std::vector<std::string>{"mit DBGVAR"});
}

TEST_F(trace_channel, TheFileIsAppendedToAndNeverEmptied) {
  {
    std::ofstream old(dir / "$PXBDUMP.TXT");
    old << "alt\n";
  }
  open_debugger();
  debug_mode(1);
  trace_msg("neu");
  debug_close();
  debug_open();
  debug_mode(1);
  trace_msg("neuer");
  EXPECT_EQ(file_lines("$PXBDUMP.TXT"), (std::vector<std::string>{"alt", "neu", "neuer"}));
}

TEST_F(trace_channel, DebugWindowFillsTheRightPartOfTheScreen) {
  start_headless();
  debug_open();
  const int32_t first = debug_window();
  debug_open();  // already open: the same window
  EXPECT_EQ(debug_window(), first);
  const qn_rect client = GET_RECT({.window = first});
  EXPECT_EQ(client.right - client.left, static_cast<int32_t>(0.35f * static_cast<float>(get_system_metrics(16))));
  EXPECT_EQ(client.bottom - client.top, get_system_metrics(17));
  run_flags.single_step_on = true;
  single_step(0);
  const qn_rect lower = GET_RECT({.window = dbgvar_window()});
  EXPECT_EQ(lower.right - lower.left, static_cast<int32_t>(0.5f * static_cast<float>(get_system_metrics(16))));
  EXPECT_EQ(lower.bottom - lower.top, static_cast<int32_t>(0.25f * static_cast<float>(get_system_metrics(17))));
}

TEST_F(trace_channel, DebugCloseForgetsBothWindowsAndTheMode) {
  open_debugger();
  single_step(0);
  set_trace_mode(1);
  const int32_t debug = debug_window(), dbgvar = dbgvar_window();
  debug_close();
  EXPECT_FALSE(is_valid_window(debug));
  EXPECT_FALSE(is_valid_window(dbgvar));
  EXPECT_EQ(trace_mode(), 0);
  EXPECT_FALSE(run_flags.trace_on);
  trace_msg("weg");  // window switch off, no dump log: nowhere
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.TXT"));
  single_step(0);  // no DEBUG window: the debugger does nothing
  EXPECT_EQ(dbgvar_window(), 0);
}

TEST_F(trace_channel, SilentEntriesLeaveTheLineAlone) {
  open_debugger();
  trace_msg("zuletzt");
  EXPECT_EQ(trace_line_text(), "zuletzt" + std::string(505, ' '));
  debug_close();
  trace_msg("still");
  trace_str("a", "b");
  trace_int("n", 1);
  trace_int2("n", 1, 2);
  trace_int3("n", 1, 2, 3);
  trace_real("x", 1.0f);
  trace_str_int("a", "b", 1);
  trace_app("u_app", 1, 2, 3, 4);
  EXPECT_EQ(trace_line_text(), "zuletzt" + std::string(505, ' '));
}

TEST_F(trace_channel, FreeFormatFieldsHaveFixedWidths) {
  EXPECT_EQ(free_format_integer(":", -2147483647 - 1), " : -2147483648");
  EXPECT_EQ(free_format_integer("I:", 0), " I:" + std::string(11, ' ') + "0");
  EXPECT_EQ(free_format_real("R:", -1.5e-7f), " R:" + std::string(7, ' ') + "-1.5e-07");
  EXPECT_EQ(free_format_real("R:", 1234567.0f), " R:" + std::string(8, ' ') + "1234567");
}
}  // namespace
