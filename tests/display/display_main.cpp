// Entry of the display tests: the runtime's window opens on a virtual X server (Xvfb) of the
// test program's own, as on a user's desktop, whatever platform the caller chose for the others.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/x_display.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  const x_display display;
  if (display.name().empty()) {
    std::fputs("no virtual X server (Xvfb)\n", stderr);
    return 1;
  }
  setenv("DISPLAY", display.name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  unsetenv("WAYLAND_DISPLAY");
  return RUN_ALL_TESTS();
}
