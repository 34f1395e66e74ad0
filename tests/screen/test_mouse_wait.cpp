// Mouse waiting: clamping to the work area, the two coordinate conversions, the button status
// of a single reading and of a waited click, and the end of waiting when the application quits.
#include "test_video_fixture.h"

namespace {

struct mouse_step {
  int32_t x, y, left, right;
};

class mouse_wait : public video_test {
 protected:
  // Plays the steps one per poll; after the last one the application is quitting.
  void play(std::vector<mouse_step> steps) {
    script_ = std::move(steps);
    polls_ = 0;
    mouse_wait_set_poll([this](int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
      if (polls_ >= script_.size()) {
        ++polls_;
        return false;
      }
      const mouse_step& s = script_[polls_++];
      x = s.x;
      y = s.y;
      left = s.left;
      right = s.right;
      return true;
    });
  }
  size_t polls_ = 0;
  std::vector<mouse_step> script_;
};

struct reading {
  int32_t x = -1, y = -1, status = -1;
};
reading read_mouse(int32_t wait) {
  reading r;
  wait_mouse_rect(r.x, r.y, r.status, wait);
  return r;
}

TEST_F(mouse_wait, PositionIsClampedToTheWorkArea) {
  mouse_wait_set_work_area(100, 100, 300, 200, 0);
  play({{50, 250, 0, 0}});
  reading r = read_mouse(0);
  EXPECT_EQ(r.x, 100);
  EXPECT_EQ(r.y, 200);
  EXPECT_EQ(r.status, 0);
  mouse_wait_set_window_coordinates(true);
  play({{50, 250, 0, 0}});
  r = read_mouse(0);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  play({{400, 50, 0, 0}});
  r = read_mouse(0);
  EXPECT_EQ(r.x, 200);  // 300 - 100
  EXPECT_EQ(r.y, 100);  // 200 - 100: y counts upward from the lower edge
}

TEST_F(mouse_wait, OriginIsSubtractedOutsideWindowCoordinates) {
  mouse_wait_set_origin(20, 10);
  play({{120, 60, 0, 0}});
  const reading r = read_mouse(0);
  EXPECT_EQ(r.x, 100);
  EXPECT_EQ(r.y, 50);
  EXPECT_EQ(polls_, 1u);
}

TEST_F(mouse_wait, SingleReadingReportsBothButtons) {
  play({{5, 5, 1, 1}});
  EXPECT_EQ(read_mouse(0).status, 3);
  play({{5, 5, 0, 1}});
  EXPECT_EQ(read_mouse(0).status, 2);
  play({{5, 5, 1, 0}});
  EXPECT_EQ(read_mouse(0).status, 1);
  EXPECT_FALSE(run_flags.quit_seen);
}

TEST_F(mouse_wait, WaitedRightClickGivesZeroAfterTheRelease) {
  // A left button held from before the call is ignored until it is released.
  mouse_state.buttons = 1;
  play({{1, 1, 1, 0}, {2, 2, 1, 0}, {3, 3, 0, 0}, {10, 20, 0, 0}, {40, 50, 0, 1}, {60, 70, 0, 1}, {80, 90, 0, 0}});
  const reading r = read_mouse(1);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.x, 40);  // where the button went down; the release polls do not move it
  EXPECT_EQ(r.y, 50);
  EXPECT_EQ(polls_, 7u);
  EXPECT_FALSE(run_flags.quit_seen);
}

TEST_F(mouse_wait, WaitedLeftClickGivesOne) {
  play({{0, 0, 0, 0}, {30, 40, 1, 0}, {31, 41, 1, 1}, {32, 42, 0, 0}});
  const reading r = read_mouse(1);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(polls_, 4u);
}

TEST_F(mouse_wait, WaitingEndsWhenTheApplicationQuits) {
  mouse_state.buttons = 1;  // held at the call: its release is awaited first
  play({{1, 1, 1, 0}, {2, 2, 1, 0}});
  reading r = read_mouse(1);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(run_flags.quit_seen);
  EXPECT_EQ(polls_, 3u);
  // Quitting while waiting for the release of a click ends as well.
  run_flags.quit_seen = false;
  mouse_state.buttons = 0;
  play({{0, 0, 0, 0}, {7, 8, 1, 0}, {7, 8, 1, 0}});
  r = read_mouse(1);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.x, 7);
  EXPECT_TRUE(run_flags.quit_seen);
}

TEST_F(mouse_wait, ClickWaitNeedsAReleaseAndAPress) {
  mouse_state.buttons = 1;
  play({{0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0, 0}});
  wait_mouse_click();
  EXPECT_EQ(polls_, 4u);
  EXPECT_FALSE(run_flags.quit_seen);
  play({{0, 0, 0, 0}});
  wait_mouse_click();
  EXPECT_TRUE(run_flags.quit_seen);
}

TEST_F(mouse_wait, RealPollReadsTheRuntimesMouseState) {
  mouse_state = {120, 45, 3};
  reading r = read_mouse(0);
  EXPECT_EQ(r.x, 120);
  EXPECT_EQ(r.y, 45);
  EXPECT_EQ(r.status, 3);
  mouse_state = {700, -5, 2};
  r = read_mouse(0);
  EXPECT_EQ(r.x, 640);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.status, 2);
}

TEST_F(mouse_wait, GettersOfWorkAreaAndDebugFlag) {
  int32_t x1 = -1, y1 = -1, x2 = -1, y2 = -1, pen = -1;
  get_work_area(x1, y1, x2, y2, pen);
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(y1, 0);
  EXPECT_EQ(x2, 640);
  EXPECT_EQ(y2, 480);
  EXPECT_EQ(pen, 0);
  mouse_wait_set_work_area(1, 2, 3, 4, 9);
  get_work_area(x1, y1, x2, y2, pen);
  EXPECT_EQ(x1 + y1 + x2 + y2, 10);
  EXPECT_EQ(pen, 9);
  bool flag = true;
  get_debug_allowed(flag);
  EXPECT_FALSE(flag);
  run_flags.debug_allowed = true;
  get_debug_allowed(flag);
  EXPECT_TRUE(flag);
}

}  // namespace

namespace {

TEST_F(mouse_wait, RealPollStopsWaitingOnceTheApplicationQuits) {
  mouse_state = {30, 40, 1};  // a button held: the wait for its release cannot end by itself
  qn_post_quit(0);
  reading r = read_mouse(1);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(run_flags.quit_seen);
  run_flags.quit_seen = false;
  wait_mouse_click();
  EXPECT_TRUE(run_flags.quit_seen);
}

}  // namespace
