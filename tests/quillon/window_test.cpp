// Windows, the loop, commands, timers, keys and mouse events.
#include "quillon_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>


namespace {

struct event_seen {
  int32_t command, param, window;
};

class window_test : public quillon_test {
 protected:
  void SetUp() override {
    quillon_test::SetUp();
    qn_set_control([this](int32_t command, int32_t param) {
      events.push_back({command, param, qn_event_window()});
    });
  }
  int32_t open_main(qn_close_cb close = nullptr) {
    main = CREATE_MAIN_WINDOW({.title = "WinKYR",
                               .client_px = qn_point{200, 120},
                               .paint = [this](int32_t w, ups& u) {
                                 ++paints;
                                 NEW_PEN(u, {.colour = 0x0000FF});
                                 NEW_BRUSH(u, {.colour = 0x0000FF});
                                 DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, 10, 10}});
                               },
                               .close = std::move(close),
                               .notify = [this](int32_t w, int32_t code) { notes.push_back(code); }});
    return main;
  }
  int count(int32_t command) const {
    int n = 0;
    for (const event_seen& e : events) n += e.command == command;
    return n;
  }
  std::vector<int32_t> keys_of(int32_t kind) const {
    std::vector<int32_t> out;
    for (const event_seen& e : events)
      if (e.command == kind) out.push_back(e.param);
    return out;
  }
  void key(int qt_key, Qt::KeyboardModifiers mods, const QString& text) {
    QWidget* w = qnb::window_widget(main);
    QKeyEvent press(QEvent::KeyPress, qt_key, mods, text);
    QKeyEvent release(QEvent::KeyRelease, qt_key, mods, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }

  int32_t main = 0;
  int paints = 0;
  std::vector<event_seen> events;
  std::vector<int32_t> notes;
};

TEST_F(window_test, main_window_has_the_requested_client_area_and_paints) {
  open_main();
  ASSERT_NE(main, 0);
  EXPECT_EQ(qn_main_window(), main);
  EXPECT_EQ(is_valid_window(main), 1);
  const qn_rect r = GET_RECT({.window = main});
  EXPECT_EQ(r.right - r.left, 200);
  EXPECT_EQ(r.bottom - r.top, 120);
  ASSERT_TRUE(pump_until([&] { return paints > 0; }));
  ups u;
  START_DIRECT_DRAW(main, u);
  EXPECT_EQ(GET_PIXEL(u, {5, 5}), 0x0000FFu);  // drawn by the paint callback
  EXPECT_EQ(GET_PIXEL(u, {50, 50}), 0xFFFFFFu);
  // A second direct drawing while one is open is refused.
  ups second;
  int status = -1;
  START_DIRECT_DRAW(main, second, &status);
  EXPECT_EQ(status, 0x10000);
  EXPECT_NE(second.stamp, QN_STAMP);
  qn_set_option_word(0x4000);
  START_DIRECT_DRAW(main, second);
  EXPECT_NE(read_file("qn_self.tmp").find("Can't paint while painting"), std::string::npos);
  // Direct drawing stays until the window is invalidated.
  SET_PIXEL(u, 0x00FF00, {50, 50});
  END_DIRECT_DRAW(u);
  pump_for(30);
  START_DIRECT_DRAW(main, u);
  EXPECT_EQ(GET_PIXEL(u, {50, 50}), 0x00FF00u);
  END_DIRECT_DRAW(u);
  const int before = paints;
  qn_invalidate(main);
  ASSERT_TRUE(pump_until([&] { return paints > before; }));
}

TEST_F(window_test, one_shot_timer_reaches_the_dispatcher_once) {
  open_main();
  SET_TIMER(0.02f, 0x2002);
  ASSERT_TRUE(pump_until([&] { return count(0x2002) > 0; }));
  pump_for(120);
  EXPECT_EQ(count(0x2002), 1);
  EXPECT_EQ(events.back().window, main);
  int status = -1;
  DESTROY_TIMER(0x2002, &status);  // already gone
  EXPECT_EQ(status, 0x10000);
}

TEST_F(window_test, periodic_timer_repeats_until_destroyed) {
  open_main();
  SET_TIMER(0.01f, 0x6002);
  ASSERT_TRUE(pump_until([&] { return count(0x6002) >= 3; }));
  int status = -1;
  DESTROY_TIMER(0x6002, &status);
  EXPECT_EQ(status, 0);
  const int seen = count(0x6002);
  pump_for(80);
  EXPECT_EQ(count(0x6002), seen);
}

TEST_F(window_test, timers_below_8192_stay_in_the_library) {
  open_main();
  SET_TIMER(0.01f, 100);
  pump_for(80);
  EXPECT_EQ(count(100), 0);
}

TEST_F(window_test, re_arming_a_timer_replaces_it) {
  open_main();
  SET_TIMER(0.03f, 0x2001);
  SET_TIMER(0.5f, 0x2001);  // the later setting wins: nothing after 30 ms
  pump_for(150);
  EXPECT_EQ(count(0x2001), 0);
  SET_TIMER(0.01f, 0x2001);
  ASSERT_TRUE(pump_until([&] { return count(0x2001) == 1; }));
  pump_for(600);
  EXPECT_EQ(count(0x2001), 1);
}

TEST_F(window_test, dispatcher_may_re_arm_a_one_shot_timer) {
  open_main();
  int fired = 0;
  qn_set_control([&](int32_t command, int32_t) {
    if (command == 0x2002 && ++fired < 3) SET_TIMER(0.01f, 0x2002);
  });
  SET_TIMER(0.01f, 0x2002);
  ASSERT_TRUE(pump_until([&] { return fired == 3; }));
  pump_for(50);
  EXPECT_EQ(fired, 3);
}

TEST_F(window_test, close_callback_zero_keeps_the_window) {
  int asked = 0;
  open_main([&](int32_t) {
    ++asked;
    return 0;
  });
  CLOSE_WINDOW(main);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(is_valid_window(main), 1);
  EXPECT_FALSE(qn_quitting());
  EXPECT_EQ(process_pending_messages(), 1);
}

TEST_F(window_test, close_callback_non_zero_destroys_and_ends_the_loop) {
  open_main([&](int32_t w) { return w == main ? 1 : 0; });
  const int32_t other = CREATE_WINDOW({.title = "Ausgabe", .client_px = qn_point{50, 40}, .window_flags = 0x7000});
  ASSERT_EQ(is_valid_window(other), 1);
  QTimer::singleShot(20, [&] { CLOSE_WINDOW(main); });
  EXPECT_EQ(quillon_loop(), 0);
  EXPECT_EQ(is_valid_window(main), 0);
  EXPECT_EQ(is_valid_window(other), 0);  // the main window takes the others with it
  EXPECT_EQ(qn_main_window(), 0);
  EXPECT_EQ(process_pending_messages(), 0);
}

TEST_F(window_test, posted_exit_command_closes_the_main_window) {
  int asked = 0;
  open_main([&](int32_t) {
    ++asked;
    return 1;
  });
  POST_COMMAND(0x4001);
  EXPECT_EQ(is_valid_window(main), 1);  // posted, not yet delivered
  EXPECT_EQ(count(0x4001), 0);
  EXPECT_EQ(quillon_loop(), 0);
  EXPECT_EQ(count(0x4001), 1);  // the dispatcher saw it first
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(is_valid_window(main), 0);
}

TEST_F(window_test, sent_commands_arrive_at_once_and_posted_ones_on_the_next_pump) {
  open_main();
  SEND_COMMAND(0x8005);
  ASSERT_EQ(count(0x8005), 1);
  EXPECT_EQ(events.back().window, main);
  POST_COMMAND(0x8006);
  EXPECT_EQ(count(0x8006), 0);
  EXPECT_EQ(process_pending_messages(), 1);  // not skipped: a command is waiting
  EXPECT_EQ(count(0x8006), 1);
  EXPECT_TRUE(QUILLON_KNOWS_COMMAND(0x4001));
  EXPECT_TRUE(QUILLON_KNOWS_COMMAND(0x4005));
  EXPECT_FALSE(QUILLON_KNOWS_COMMAND(0x8001));
}

TEST_F(window_test, commands_posted_to_a_window_destroyed_meanwhile_are_dropped) {
  open_main();
  const int32_t other = CREATE_WINDOW({.title = "Druck-Vorschau", .window_flags = 0x6800});
  POST_COMMAND(0x8007, other);
  CLOSE_WINDOW(other);
  pump_for(30);
  EXPECT_EQ(count(0x8007), 0);
  EXPECT_EQ(process_pending_messages(), 1);
}

TEST_F(window_test, commands_without_a_main_window_are_reported) {
  qn_set_option_word(0x4000);
  POST_COMMAND(0x4001);
  SEND_COMMAND(0x4001);
  const std::string log = read_file("qn_self.tmp");
  EXPECT_NE(log.find("POST_COMMAND"), std::string::npos);
  EXPECT_NE(log.find("SEND_COMMAND"), std::string::npos);
  EXPECT_TRUE(events.empty());
}

TEST_F(window_test, pump_answers_one_on_every_call_when_nothing_waits) {
  open_main();
  pump_for(20);
  process_pending_messages();
  for (int i = 0; i < 200000; ++i) ASSERT_EQ(process_pending_messages(), 1);
  EXPECT_EQ(is_valid_window(main), 1);
  EXPECT_FALSE(qn_quitting());
}

TEST_F(window_test, keys_map_to_virtual_key_codes_and_characters) {
  open_main();
  key(Qt::Key_A, Qt::NoModifier, "a");
  key(Qt::Key_F5, Qt::NoModifier, "");
  key(Qt::Key_Left, Qt::NoModifier, "");
  key(Qt::Key_5, Qt::KeypadModifier, "5");
  key(Qt::Key_Return, Qt::NoModifier, "\r");
  key(Qt::Key_Escape, Qt::NoModifier, "\x1b");
  key(Qt::Key_Delete, Qt::NoModifier, "\x7f");
  EXPECT_EQ(keys_of(0x4100), (std::vector<int32_t>{0x41, 0x74, 0x25, 0x65, 0x0D, 0x1B, 0x2E}));
  EXPECT_EQ(keys_of(0x4101), keys_of(0x4100));
  EXPECT_EQ(keys_of(0x4102), (std::vector<int32_t>{'a', '5', 13, 27}));
  EXPECT_EQ(events.front().window, main);
}

TEST_F(window_test, german_keys_and_code_page_characters) {
  open_main();
  key(Qt::Key_Udiaeresis, Qt::NoModifier, QString::fromUtf8("ü"));
  key(Qt::Key_Odiaeresis, Qt::NoModifier, QString::fromUtf8("ö"));
  key(Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("ä"));
  key(Qt::Key_ssharp, Qt::NoModifier, QString::fromUtf8("ß"));
  key(Qt::Key_Plus, Qt::NoModifier, "+");
  key(Qt::Key_NumberSign, Qt::NoModifier, "#");
  key(Qt::Key_Minus, Qt::NoModifier, "-");
  key(Qt::Key_Comma, Qt::NoModifier, ",");
  key(Qt::Key_Period, Qt::NoModifier, ".");
  key(Qt::Key_Less, Qt::NoModifier, "<");
  key(Qt::Key_Dead_Circumflex, Qt::NoModifier, "");
  key(Qt::Key_Dead_Acute, Qt::NoModifier, "");
  key(0x20AC, Qt::ControlModifier | Qt::AltModifier, QString::fromUtf8("€"));
  EXPECT_EQ(keys_of(0x4100), (std::vector<int32_t>{0xBA, 0xC0, 0xDE, 0xDB, 0xBB, 0xBF, 0xBD, 0xBC, 0xBE,
                                                    0xE2, 0xDC, 0xDD, 0x45}));
  EXPECT_EQ(keys_of(0x4102), (std::vector<int32_t>{0xFC, 0xF6, 0xE4, 0xDF, '+', '#', '-', ',', '.', '<', 0x80}));
}

TEST_F(window_test, control_letters_give_control_characters) {
  open_main();
  key(Qt::Key_C, Qt::ControlModifier, "");
  key(Qt::Key_Z, Qt::ControlModifier, "\x1a");
  EXPECT_EQ(keys_of(0x4100), (std::vector<int32_t>{0x43, 0x5A}));
  EXPECT_EQ(keys_of(0x4102), (std::vector<int32_t>{3, 26}));
}

TEST_F(window_test, key_state_follows_the_keys) {
  open_main();
  QWidget* w = qnb::window_widget(main);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  EXPECT_TRUE(BIT_IS_SET(GET_KEY_STATE(0x71), int32_t(0x80000000u)));
  EXPECT_FALSE(BIT_IS_SET(GET_KEY_STATE(0x72), int32_t(0x80000000u)));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
  EXPECT_EQ(GET_KEY_STATE(0x71), 0);
  EXPECT_EQ(GET_KEY_STATE(17), 0);
  // The modifiers of the key being handled are down while the dispatcher runs.
  int32_t ctrl_seen = 0, shift_seen = 0;
  qn_set_control([&](int32_t command, int32_t) {
    if (command == 0x4100) {
      ctrl_seen = GET_KEY_STATE(17);
      shift_seen = GET_KEY_STATE(16);
    }
  });
  QKeyEvent ctrl_d(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier);
  QApplication::sendEvent(w, &ctrl_d);
  EXPECT_TRUE(BIT_IS_SET(ctrl_seen, int32_t(0x80000000u)));
  EXPECT_EQ(shift_seen, 0);
  EXPECT_EQ(GET_KEY_STATE(-5), 0);
  EXPECT_EQ(GET_KEY_STATE(100000), 0);
}

TEST_F(window_test, mouse_events_of_the_mask_reach_the_callback) {
  open_main();
  struct seen {
    int32_t event;
    qn_point pt;
    int32_t window, keystate;
  };
  std::vector<seen> got;
  CAPTURE_MOUSE_EVENTS(main,
                       [&](int32_t& event, qn_point& pt, qn_rect&, int32_t& window, qn_point&, int32_t& keys) {
                         got.push_back({event, pt, window, keys});
                       },
                       ADD_BIT_5(QN_MOUSE_MOVE, QN_MOUSE_LEFT_DOWN, QN_MOUSE_LEFT_UP, QN_MOUSE_RIGHT_DOWN,
                                 QN_MOUSE_RIGHT_UP));
  QWidget* w = qnb::window_widget(main);
  const QPointF at(30, 40);
  QMouseEvent down(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                   Qt::ShiftModifier);
  QMouseEvent move(QEvent::MouseMove, QPointF(31, 41), w->mapToGlobal(QPointF(31, 41)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(31, 41), w->mapToGlobal(QPointF(31, 41)), Qt::LeftButton,
                 Qt::NoButton, Qt::NoModifier);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QMouseEvent rdown(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                    Qt::ControlModifier);
  for (QMouseEvent* e : {&down, &move, &up, &dbl, &rdown}) QApplication::sendEvent(w, e);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].event, QN_MOUSE_LEFT_DOWN);
  EXPECT_EQ(got[0].pt.x, 30);
  EXPECT_EQ(got[0].pt.y, 40);
  EXPECT_EQ(got[0].window, main);
  EXPECT_EQ(got[0].keystate, 0x1 | 0x4);
  EXPECT_EQ(got[1].event, QN_MOUSE_MOVE);
  EXPECT_EQ(got[1].keystate, 0x1);
  EXPECT_EQ(got[2].event, QN_MOUSE_LEFT_UP);
  EXPECT_EQ(got[2].keystate, 0);
  EXPECT_EQ(got[3].event, QN_MOUSE_LEFT_DOWN);  // no double clicks asked for: a second press
  EXPECT_EQ(got[4].event, QN_MOUSE_RIGHT_DOWN);
  EXPECT_EQ(got[4].keystate, 0x2 | 0x8);
  // Only the events of the mask arrive.
  CAPTURE_MOUSE_EVENTS(main, [&](int32_t& event, qn_point&, qn_rect&, int32_t&, qn_point&, int32_t&) {
    got.push_back({event, {}, 0, 0});
  }, QN_MOUSE_LEFT_DOUBLE);
  got.clear();
  for (QMouseEvent* e : {&down, &move, &up, &dbl}) QApplication::sendEvent(w, e);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].event, QN_MOUSE_LEFT_DOUBLE);
  int status = -1;
  CAPTURE_MOUSE_EVENTS(4242, nullptr, 1, {}, &status);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(window_test, size_and_state_notifications) {
  open_main();
  pump_for(20);
  notes.clear();
  qn_set_window_client_size(main, 300, 200);
  pump_for(20);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back(), 0);
  EXPECT_EQ(GET_RECT({.window = main}).right, 300);
  notes.clear();
  qn_show_window(main, 6);
  pump_for(20);
  EXPECT_NE(std::find(notes.begin(), notes.end(), 1), notes.end());
  notes.clear();
  qn_move_window(main, 40, 30);
  pump_for(20);
  EXPECT_NE(std::find(notes.begin(), notes.end(), 1029), notes.end());
}

TEST_F(window_test, focus_changes_are_notified) {
  open_main();
  SET_FOREGROUND(main);
  pump_for(30);
  const int32_t other = CREATE_WINDOW({.title = "DEBUG", .window_flags = 0x6800});
  SET_FOREGROUND(other);
  ASSERT_TRUE(pump_until([&] { return std::find(notes.begin(), notes.end(), 1031) != notes.end(); }, 1000));
  notes.clear();
  SET_FOREGROUND(main);
  ASSERT_TRUE(pump_until([&] { return std::find(notes.begin(), notes.end(), 1030) != notes.end(); }, 1000));
}

TEST_F(window_test, wheel_goes_to_the_scroll_callback) {
  std::vector<int32_t> codes;
  main = CREATE_MAIN_WINDOW({.client_px = qn_point{100, 100},
                             .scroll = [&](int32_t w, int32_t code, int32_t) {
                               codes.push_back(code);
                               return -1;
                             }});
  QWidget* w = qnb::window_widget(main);
  QWheelEvent up(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QWheelEvent down(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &up);
  QApplication::sendEvent(w, &down);
  EXPECT_EQ(codes, (std::vector<int32_t>{0, 1}));  // line up, line down
}

TEST_F(window_test, scroll_text_window_keeps_a_file_it_shows_whole) {
  open_main();
  const size_t file_lines = size_t(qn_scroll_back_lines) + 5;
  {
    std::ofstream f("Lang.txt", std::ios::binary);
    for (size_t i = 1; i <= file_lines; ++i) f << "Zeile " << i << "\n";
  }
  const int32_t w = CREATE_WINDOW({.title = "Lang", .window_flags = 0x6800, .scroll_file = "Lang.txt"});
  ASSERT_EQ(is_valid_window(w), 1);
  WRITE_SCROLL_LINE(w, "dazu");
  const std::vector<std::string> lines = qn_scroll_lines(w);
  ASSERT_EQ(lines.size(), file_lines + 1);  // the file is not cut to the scroll-back
  EXPECT_EQ(lines.front(), "Zeile 1");
  EXPECT_EQ(lines[file_lines - 1], "Zeile " + std::to_string(file_lines));
  EXPECT_EQ(lines.back(), "dazu");
  CLOSE_WINDOW(w);
}

TEST_F(window_test, resizing_repaints_through_the_callback) {
  open_main();
  ASSERT_TRUE(pump_until([&] { return paints > 0; }));
  const int before = paints;
  qn_set_window_client_size(main, 260, 150);
  ASSERT_TRUE(pump_until([&] { return paints > before; }));
  ups u;
  START_DIRECT_DRAW(main, u);
  EXPECT_EQ(GET_RECT({.u = &u}).right, 260);
  EXPECT_EQ(GET_PIXEL(u, {250, 140}), 0xFFFFFFu);  // the new part starts white
  EXPECT_EQ(GET_PIXEL(u, {2, 2}), 0x0000FFu);
  END_DIRECT_DRAW(u);
}

TEST_F(window_test, scroll_text_window_shows_the_file_and_takes_lines) {
  open_main();
  {
    std::ofstream f("Liste.txt", std::ios::binary);
    f << "erste Zeile\r\nzweite \xE4 Zeile\n";
  }
  const int32_t w = CREATE_WINDOW({.title = "DEBUG", .window_flags = 0x6800, .scroll_file = "LISTE.TXT"});
  ASSERT_EQ(is_valid_window(w), 1);
  WRITE_SCROLL_LINE(w, "dritte");
  EXPECT_EQ(qn_scroll_lines(w), (std::vector<std::string>{"erste Zeile", "zweite \xE4 Zeile", "dritte"}));
  int status = -1;
  WRITE_SCROLL_LINE(777777, "x", false, &status);
  EXPECT_EQ(status, 0x10000);
  // Closing a window without a close callback destroys it; the main window stays.
  CLOSE_WINDOW(w);
  EXPECT_EQ(is_valid_window(w), 0);
  EXPECT_EQ(is_valid_window(main), 1);
  CLOSE_WINDOW(0);
  CLOSE_WINDOW(-1);
  status = -1;
  CLOSE_WINDOW(w, &status);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(window_test, bad_window_handles_do_not_crash) {
  int status = -1;
  SET_FOREGROUND(31337, &status);
  EXPECT_EQ(status, 0x10000);
  ups u;
  status = -1;
  START_DIRECT_DRAW(31337, u, &status);
  EXPECT_EQ(status, 0x10000);
  EXPECT_NE(u.stamp, QN_STAMP);
  status = -1;
  GET_RECT({.window = 31337, .status = &status});
  EXPECT_EQ(status, 0x10000);
  qn_invalidate(31337);
  qn_show_window(31337, 6);
  qn_move_window(31337, 1, 1);
  qn_set_window_client_size(31337, 10, 10);
  EXPECT_EQ(is_valid_window(31337), 0);
  EXPECT_TRUE(qn_scroll_lines(31337).empty());
}

TEST_F(window_test, direct_drawing_on_a_destroyed_window_is_refused) {
  open_main([](int32_t) { return 1; });
  ups u;
  START_DIRECT_DRAW(main, u);
  ASSERT_EQ(u.stamp, QN_STAMP);
  CLOSE_WINDOW(main);
  int status = -1;
  SET_PIXEL(u, 0, {1, 1}, &status);
  EXPECT_EQ(status, 0x10000);
}

}  // namespace
