// SYSVAR "wlevel": the depth of the video stack over screen 0.
#include "runtime/commands/sysvar_internal.h"
#include "runtime/screen/bitmap_cache.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"
#include "test_sysvar_fixture.h"

namespace {

class sysvar_screen : public sysvar_test {
 protected:
  void SetUp() override {
    sysvar_test::SetUp();
    // Bitmaps cached by an earlier test are gone with the library's reset.
    bitmap_cache_reset();
    reset_screens();
    qn_reset();
    video_stack_reset();
    int32_t width = 640;
    screen_init(0, width, 480);
  }
  void TearDown() override {
    video_stack_reset();
    reset_screens();
    qn_reset();
    sysvar_test::TearDown();
  }
};

TEST_F(sysvar_screen, VideoLevelFollowsPushAndPop) {
  EXPECT_EQ(num("wlevel", 0.0f), 0.0f);
  video_stack_push(10, 10, 100, 80);
  video_stack_push(20, 20, 60, 60);
  EXPECT_EQ(num("WLEVEL", 0.0f), 2.0f);
  video_stack_pop();
  EXPECT_EQ(num("wlevel", 0.0f), 1.0f);
  video_stack_drop();
  EXPECT_EQ(num("wlevel", 5.0f), 0.0f);
}

}  // namespace
