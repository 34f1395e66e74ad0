// The default application hooks: start-up and close traces, pens and brushes released at close,
// the application event's trace and the combo key catcher.
#include <gtest/gtest.h>

#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "support/runtime_fixture.h"

namespace {

class app_hooks : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    debug_to_file();
    debug_mode(1);  // trace lines go to "$PXBDUMP.TXT"
  }
  std::string traced() const { return file_text("$PXBDUMP.TXT"); }
};

TEST_F(app_hooks, InitTraces) {
  init_application();
  EXPECT_NE(traced().find("U_APP default init_application"), std::string::npos);
}

TEST_F(app_hooks, ExitWithoutPensOnlyTraces) {
  exit_application();
  EXPECT_NE(traced().find("U_APP default exit_application"), std::string::npos);
  for (int32_t slot = 0; slot < 32; ++slot) {
    int32_t pen = -1, brush = -1;
    get_my_pen_and_brush(slot, pen, brush);
    EXPECT_EQ(pen, 0);
    EXPECT_EQ(brush, 0);
  }
}

TEST_F(app_hooks, ExitReleasesNumberedPens) {
  start_headless();  // creates the numbered pens 0-19
  int32_t pen = 0, brush = 0;
  get_my_pen_and_brush(5, pen, brush);
  ASSERT_NE(pen, 0);
  create_my_pen(31, {.colour = 0x0000FFu});
  exit_application();
  for (int32_t slot : {0, 5, 17, 19, 31}) {
    get_my_pen_and_brush(slot, pen, brush);
    EXPECT_EQ(pen, 0) << slot;
    EXPECT_EQ(brush, 0) << slot;
  }
  EXPECT_NE(traced().find("U_APP default exit_application"), std::string::npos);
}

TEST_F(app_hooks, ApplicationEventTracesItsFourValues) {
  int32_t a = 1, b = -2, c = 3, d = 40;
  u_app(a, b, c, d);
  const std::string t = traced();
  EXPECT_NE(t.find("u_app"), std::string::npos);
  EXPECT_NE(t.find("40"), std::string::npos);
  no_hook(1, 2);  // returns at once
}

TEST_F(app_hooks, ComboKeepsTheFirstKey) {
  combo_key = -1;  // the drop-down opened
  combo_key_catch(65);
  combo_key_catch(13);
  EXPECT_EQ(combo_key, 65);
  combo_key = 0;  // not waiting: keys are not recorded
  combo_key_catch(66);
  EXPECT_EQ(combo_key, 0);
}

}  // namespace
