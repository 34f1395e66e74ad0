// The single-step hook in the interpreter's fetch loop, and the keys that the dispatcher hands
// to the debugger.  A periodic Qt timer plays the user: it fires inside the wait's message pump,
// notes which command is waiting and lets it go by Space, Ctrl, "exit" or the quit message.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>

#include "quillon/backend/backend.h"
#include "test_debugger_fixture.h"

namespace {
constexpr int32_t op_note = 4, op_call = 1, op_return = 3, op_jump = 5;

std::vector<int32_t> executed;  // code indices in the order their commands ran
std::vector<int32_t> waited;    // code indices of the commands the timer found waiting

int32_t index_of(const code_record& rec) { return static_cast<int32_t>(&rec - program_image.codes.data()); }

void note(code_record& rec) { executed.push_back(index_of(rec)); }
void call(code_record& rec) {
  executed.push_back(index_of(rec));
  ++call_state.depth;
  call_state.saved_pc[static_cast<size_t>(call_state.depth)] = call_state.pc;
  call_state.pc = rec.target;
}
void ret(code_record& rec) {
  executed.push_back(index_of(rec));
  call_state.pc = call_state.saved_pc[static_cast<size_t>(call_state.depth)];
  --call_state.depth;
}
void jump(code_record& rec) {
  executed.push_back(index_of(rec));
  call_state.pc = rec.target;
}

std::string trimmed_text(int32_t k) {
  const auto& t = program_image.codes[static_cast<size_t>(k)].text;
  std::string s(t.data(), t.size());
  return s.substr(0, s.find_last_not_of(' ') + 1);
}

enum class user { space, ctrl, exit, quit, ctrl_again };

// One key event through the platform's input path to the window; `before` is the modifier state
// just before the key, which is what X11 reports with a key event.
void key(QWidget* w, bool press, Qt::Key k, Qt::KeyboardModifiers before) {
  QTest::simulateEvent(w->windowHandle(), press, k, before, QString(), false);
}

class stepping_test : public debugger_fixture {
 protected:
  void SetUp() override {
    debugger_fixture::SetUp();
    executed.clear();
    waited.clear();
    set_command_handler(op_note, note);
    set_command_handler(op_call, call);
    set_command_handler(op_return, ret);
    set_command_handler(op_jump, jump);
    open_debugger();
    run_flags.single_step_on = true;
    single_step(0);  // as MESS and Ctrl + "1" start it: the hook goes in
    // 1 A, 2 CALL 5, 3 B, 4 RETURN, 5 C, 6 JMP 7, 7 RETURN
    set_program({make_record(op_note, "% A"), make_record(op_call, "CALL 5", 5), make_record(op_note, "% B"),
                 make_record(op_return, "RETURN"), make_record(op_note, "% C"), make_record(op_jump, "JMP 7", 7),
                 make_record(op_return, "RETURN 2")});
  }

  // Runs label 1 while the timer answers every wait as the user would.
  void run_with(user answer) {
    QTimer timer;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool press_ctrl = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (std::chrono::steady_clock::now() > give_up) run_flags.single_step_on = false;  // never hang
      if (press_ctrl) {
        press_ctrl = false;
        key(qnb::window_widget(main_window()), true, Qt::Key_Control, Qt::ShiftModifier);
        return;
      }
      const int32_t k = call_state.pc - 1;
      if (!interpreter_active() || k < 1 || k >= static_cast<int32_t>(program_image.codes.size())) return;
      if (!executed.empty() && executed.back() == k) return;  // between commands, not in a wait
      const auto lines = debug_lines();
      if (lines.empty() || lines.back() != ">" + trimmed_text(k)) return;
      if (!waited.empty() && waited.back() == k) return;  // already answered, not yet gone
      waited.push_back(k);
      switch (answer) {
        case user::space: debugger_char(' '); break;
        case user::ctrl: run_flags.modifier_ctrl = 1; break;
        case user::exit: type("exit\r"); break;
        case user::quit: qn_post_quit(0); break;
        case user::ctrl_again:  // Shift stays down, Ctrl is let go now and pressed at the next tick
          key(qnb::window_widget(main_window()), false, Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier);
          press_ctrl = true;
          break;
      }
    });
    timer.start(2);
    interpreter(1);
  }
};

TEST_F(stepping_test, SpaceLetsEachCommandGoButJumpsNeverStop) {
  run_with(user::space);
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
  EXPECT_EQ(waited, (std::vector<int32_t>{1, 2, 5, 7, 3, 4}));
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{">% A", ">CALL 5", ">% C", ">RETURN 2", ">% B", ">RETURN",
                                                      "<return"}));
  EXPECT_FALSE(run_flags.step_released);
  EXPECT_FALSE(run_flags.busy);
}

TEST_F(stepping_test, HoldingCtrlRunsThroughWithMarkedLines) {
  run_flags.modifier_ctrl = 1;
  run_with(user::space);
  EXPECT_TRUE(waited.empty());
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{">% A", ">CALL 5", ">% C", ">RETURN 2", ">% B", ">RETURN",
                                                      "<return"}));
}

TEST_F(stepping_test, HoldingCtrlAndShiftStopsOnlyAtCallAndReturn) {
  run_flags.modifier_ctrl = 1;
  run_flags.modifier_shift = 0x20;
  run_with(user::space);
  EXPECT_EQ(waited, (std::vector<int32_t>{2, 7, 4}));
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
}

TEST_F(stepping_test, ShiftCtrlStopIsEndedByLettingGoOfCtrlAndPressingItAgain) {
  QWidget* w = qnb::window_widget(main_window());
  ASSERT_NE(w, nullptr);
  key(w, true, Qt::Key_Shift, Qt::NoModifier);
  key(w, true, Qt::Key_Control, Qt::ShiftModifier);
  ASSERT_EQ(run_flags.modifier_ctrl, 1);
  ASSERT_EQ(run_flags.modifier_shift, 0x20);
  run_with(user::ctrl_again);
  // Every stop at CALL and RETURN went on at the second press of Ctrl, Shift held throughout.
  EXPECT_EQ(waited, (std::vector<int32_t>{2, 7, 4}));
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
  EXPECT_TRUE(run_flags.single_step_on);
  key(w, false, Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier);
  key(w, false, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_EQ(run_flags.modifier_ctrl, 0);
  EXPECT_EQ(run_flags.modifier_shift, 0);
}

TEST_F(stepping_test, PressingCtrlEndsTheWaitAndRunsOn) {
  run_with(user::ctrl);
  EXPECT_EQ(waited, std::vector<int32_t>{1});
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
}

TEST_F(stepping_test, ExitTypedDuringAWaitEndsSingleStep) {
  run_with(user::exit);
  EXPECT_EQ(waited, std::vector<int32_t>{1});
  EXPECT_FALSE(run_flags.single_step_on);
  EXPECT_EQ(executed, (std::vector<int32_t>{1, 2, 5, 6, 7, 3, 4}));
  // The rest is traced without the mark, and without the closing line.
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{">% A", "CALL 5", "% C", "RETURN 2", "% B", "RETURN"}));
  EXPECT_EQ(dbgvar_lines().back(), "exit");
}

TEST_F(stepping_test, QuitDuringAWaitEndsTheRunAtOnce) {
  run_with(user::quit);
  EXPECT_EQ(waited, std::vector<int32_t>{1});
  EXPECT_TRUE(executed.empty());
  EXPECT_FALSE(run_flags.busy);
  EXPECT_EQ(debug_lines(), std::vector<std::string>{">% A"});  // no "<return"
}

// ---------------------------------------------------------------- keys from the dispatcher

class debugger_keys : public debugger_fixture {};

TEST_F(debugger_keys, CtrlBackslashTogglesTracingOnlyOnceDebuggingIsAllowed) {
  start_headless();
  run_flags.modifier_ctrl = 1;
  EXPECT_FALSE(debugger_key_down(0xDC));
  EXPECT_FALSE(run_flags.trace_on);
  EXPECT_EQ(debug_window(), 0);
  run_flags.debug_allowed = true;
  EXPECT_TRUE(debugger_key_down(0xDC));
  EXPECT_TRUE(run_flags.trace_on);
  ASSERT_NE(debug_window(), 0);
  EXPECT_TRUE(debugger_key_down(0xDC));
  EXPECT_FALSE(run_flags.trace_on);
  EXPECT_NE(debug_window(), 0);  // switching off leaves the window open
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{"----------- START DEBUG ---------------------------",
                                                      "----------- STOP DEBUG ----------------------------"}));
  run_flags.busy = true;  // inside a run: the switch only
  EXPECT_TRUE(debugger_key_down(0xDC));
  EXPECT_TRUE(run_flags.trace_on);
  EXPECT_EQ(debug_lines().size(), 2u);
  run_flags.modifier_ctrl = 0;
  EXPECT_FALSE(debugger_key_down(0xDC));  // without Ctrl it is an ordinary key
}

TEST_F(debugger_keys, CtrlOneTogglesSingleStepWhileTracing) {
  start_headless();
  run_flags.modifier_ctrl = 1;
  EXPECT_FALSE(debugger_key_down(0x31));  // tracing is off: an ordinary key
  EXPECT_FALSE(run_flags.single_step_on);
  debug_open();
  run_flags.trace_on = true;
  EXPECT_TRUE(debugger_key_down(0x31));
  EXPECT_TRUE(run_flags.single_step_on);
  EXPECT_NE(dbgvar_window(), 0);
  EXPECT_EQ(dbgvar_lines().size(), 2u);  // the help lines
  EXPECT_FALSE(debugger_key_down(0x31));  // off: the key goes on to the hot keys
  EXPECT_FALSE(run_flags.single_step_on);
  EXPECT_EQ(debug_lines(), (std::vector<std::string>{"----------- SINGLE STEP ---------------------------",
                                                      "----------- RUNNING -------------------------------"}));
  EXPECT_EQ(dbgvar_lines().back(), "exit");
}

TEST_F(debugger_keys, CtrlWithADigitOrCaretTypesNothingIntoTheCommandLine) {
  open_debugger();
  load_variables();
  run_flags.debug_allowed = true;
  ASSERT_NE(qnb::window_widget(main_window()), nullptr);
  QWindow* w = qnb::window_widget(main_window())->windowHandle();  // the platform's input path
  QTest::keyClick(w, Qt::Key_1, Qt::ControlModifier);  // the key's text is "1"
  ASSERT_TRUE(run_flags.single_step_on);
  // Ctrl+^ switches tracing off and on; X11 gives the key the control code 0x1E as its text.
  for (int i = 0; i < 2; ++i)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_AsciiCircum, QString(QChar(0x1E)), Qt::ControlModifier);
  EXPECT_TRUE(run_flags.trace_on);
  EXPECT_EQ(debugger_info().cursor, 1);
  QTest::keyClick(w, 'X');
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(dbgvar_lines_after(2), std::vector<std::string>{name16("X") + " R:" + std::string(12, ' ') + "2.5"});
  EXPECT_EQ(command_text_info().line1, ">_");
  // Ctrl with a letter still types its control character.
  QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier);
  EXPECT_EQ(debugger_info().command_line.substr(0, 2), "\x02_");
}

TEST_F(debugger_keys, SingleStepTakesSpaceAndEveryOtherKeyWhileIdle) {
  open_debugger();
  EXPECT_FALSE(debugger_key_down(0x41));  // not single stepping: the runtime's own keys
  EXPECT_FALSE(debugger_char('a'));
  run_flags.single_step_on = true;
  EXPECT_TRUE(debugger_key_down(0x41));
  EXPECT_FALSE(run_flags.step_released);
  EXPECT_TRUE(debugger_key_down(0x20));
  EXPECT_TRUE(run_flags.step_released);
  run_flags.step_released = false;
  EXPECT_TRUE(debugger_char(' '));
  EXPECT_TRUE(run_flags.step_released);
  EXPECT_TRUE(debugger_char('x'));
  EXPECT_EQ(debugger_info().command_line.substr(0, 2), "x_");
  run_flags.busy = true;  // key-downs in a run are the dispatcher's to hold back
  EXPECT_FALSE(debugger_key_down(0x20));
}
}  // namespace
