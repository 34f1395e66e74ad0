// The pump between interpreted commands: cheap while nothing waits, yet timers, posted commands
// and the quit message are served at once or within a few calls however long the run has been.
#include "quillon_fixture.h"
#include "quillon/api/vector_state.h"

#include <QTimer>

#include <chrono>

namespace {

using clock_type = std::chrono::steady_clock;

class pump_test : public quillon_test {
 protected:
  void SetUp() override {
    quillon_test::SetUp();
    qn_set_control([this](int32_t command, int32_t) { commands.push_back(command); });
    main = CREATE_MAIN_WINDOW({.title = "WinKYR", .client_px = qn_point{120, 80}});
    pump_for(20);
  }
  // A long stretch of cheap calls, as a tight program loop makes them.
  static void cheap_calls(int n) {
    for (int i = 0; i < n; ++i) ASSERT_EQ(process_pending_messages(), 1);
  }
  // One call after a command that kept the processor busy for `us` microseconds.
  static int32_t call_after_busy(int us) {
    const auto until = clock_type::now() + std::chrono::microseconds(us);
    while (clock_type::now() < until) {
    }
    return process_pending_messages();
  }

  int32_t main = 0;
  std::vector<int32_t> commands;
};

TEST_F(pump_test, timer_fires_during_cheap_calls) {
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  const auto give_up = clock_type::now() + std::chrono::seconds(10);  // only against hanging
  while (!fired && clock_type::now() < give_up) cheap_calls(1000);
  // Cheap calls alone, with no other event loop, deliver the timer.
  EXPECT_TRUE(fired);
  EXPECT_TRUE(commands.empty());
}

TEST_F(pump_test, slow_commands_after_a_cheap_stretch_are_not_counted_as_cheap) {
  cheap_calls(100000);  // the clock is now read only every few dozen calls
  bool fired = false;
  QTimer::singleShot(5, [&] { fired = true; });
  const auto due = clock_type::now() + std::chrono::milliseconds(5);
  while (clock_type::now() < due) ASSERT_EQ(call_after_busy(500), 1);
  // Past its time, the timer must come within the pump interval plus a few slow commands,
  // not after a whole stretch counted for cheap ones.
  int calls = 0;
  while (!fired && calls < 1000) {
    ASSERT_EQ(call_after_busy(500), 1);
    ++calls;
  }
  ASSERT_TRUE(fired);
  EXPECT_LE(calls, 40);
}

TEST_F(pump_test, posted_command_is_served_by_the_next_call_after_a_cheap_stretch) {
  cheap_calls(100000);
  POST_COMMAND(0x8006);
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(process_pending_messages(), 1);
  EXPECT_EQ(commands, std::vector<int32_t>{0x8006});
  cheap_calls(1000);  // delivered once; nothing more comes
  EXPECT_EQ(commands.size(), 1u);
}

// The look that code running commands itself may take instead of the pump is refused while work
// waits, so that the pump serves it.
TEST_F(pump_test, idle_look_is_refused_while_work_waits) {
  cheap_calls(100000);
  POST_COMMAND(0x8007);
  EXPECT_FALSE(qn_pump_idle());
  EXPECT_EQ(process_pending_messages(), 1);
  EXPECT_EQ(commands, std::vector<int32_t>{0x8007});
  qn_post_quit(0);
  EXPECT_FALSE(qn_pump_idle());
}

TEST_F(pump_test, quit_message_ends_the_very_next_call) {
  cheap_calls(100000);
  qn_post_quit(3);
  EXPECT_EQ(process_pending_messages(), 0);
  EXPECT_EQ(process_pending_messages(), 0);
  EXPECT_TRUE(qn_quitting());
}

TEST_F(pump_test, reset_opens_the_gate_again) {
  cheap_calls(100000);
  qn_post_quit(0);
  EXPECT_EQ(process_pending_messages(), 0);
  qn_reset();
  EXPECT_FALSE(qn_quitting());
  EXPECT_EQ(process_pending_messages(), 1);
}

#if defined(__x86_64__) && !defined(__AVX__)
// The pump clears the upper vector halves only where AVX is there to use; its own question agrees
// with the compiler's, on whatever processor runs the test.
TEST(vector_state, AvxAsTheCompilerSeesIt) {
  EXPECT_EQ(qn_has_avx(), __builtin_cpu_supports("avx") != 0);
  qn_clear_vector_state();
}
#endif

}  // namespace
