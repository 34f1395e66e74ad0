// The mouse through the real main window: Qt mouse events, queued on the window as the window
// system delivers a user's input, reach the mouse handler, the lists, the sliders and the
// MOUSE command; the tests check what the program then sees.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <string>

#include "runtime/commands/draw_state.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/mouse_wait.h"
#include "test_debugger_fixture.h"
#include "test_dispatcher_fixture.h"

namespace {

class mouse_window : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    start_headless();
    reset_lists();
  }
  void TearDown() override {
    reset_lists();
    draw_state_reset();
    mouse_wait_reset();
    events_fixture::TearDown();
  }

  // One mouse event on the main window: sent at once, or queued as input that arrives while
  // the runtime handles what came before (deliver() hands the rest of the queue over).
  static QMouseEvent* event(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held) {
    QWidget* w = qnb::window_widget(main_window());
    const QPointF at(x, y);
    return new QMouseEvent(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
  }
  static void send(QMouseEvent* e) {
    QCoreApplication::sendEvent(qnb::window_widget(main_window()), e);
    delete e;
  }
  static void queue(QMouseEvent* e) { QCoreApplication::postEvent(qnb::window_widget(main_window()), e); }
  static void press(int x, int y) { send(event(QEvent::MouseButtonPress, x, y, Qt::LeftButton, Qt::LeftButton)); }
  static void drag_to(int x, int y) { queue(event(QEvent::MouseMove, x, y, Qt::NoButton, Qt::LeftButton)); }
  static void release_at(int x, int y) {
    queue(event(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, Qt::NoButton));
  }
  static void deliver() { QCoreApplication::processEvents(); }

  // List 3 with `rows` unmarked rows behind a list area with its slider, as BUTTON builds it.
  static int32_t show_list(int32_t rows, int32_t lbl) {
    int32_t status = 0;
    allocate_xmm(3, rows, 40, status);
    for (int32_t r = 1; r <= rows; ++r) lst_put_row(3, r, "0row " + std::to_string(r));
    const int32_t n = add_area(20, 40, 200, 120, lbl, area_list);
    area(n).list = 3;
    lst_area_setup();
    return n;
  }
  // The middle of the visible line of row r of list 3.
  static int32_t row_y(int32_t r) {
    const list_record& l = list_of(3);
    return l.y1 + (r - l.top) * list_table.line_height + list_table.line_height / 2;
  }
  static int32_t int_variable(int32_t v) {
    return ADRSPACE.get_int(variable_table.records[static_cast<size_t>(v)].start);
  }
};

TEST_F(mouse_window, PressDragAndReleaseOffAButtonRunsNothing) {
  labels(1);
  add_area(10, 10, 60, 20, label(1));
  // Each gesture's later events wait in the queue while its press is handled.
  release_at(20, 20);
  press(20, 20);
  deliver();
  ASSERT_EQ(ran(), std::vector<int32_t>{1});  // a click runs it
  drag_to(200, 200);
  release_at(200, 200);
  press(20, 20);
  deliver();
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_EQ(mouse_registers.x, 200);  // the program reads where the mouse is
  EXPECT_EQ(mouse_registers.y, 200);
}

TEST_F(mouse_window, AClickMadeWhileALabelOpensALevelClicksNothingOnTheNewLevel) {
  // A button "Weiter" (its label counts WEITER); a one-shot timer whose label pauses, looks at the
  // mouse, opens a level and makes a button "Neu" at the same place (its label counts NEU).
  load_program_image(small_program("&0001 I 0001:WEITER/0\n&0002 I 0001:NEU/0\n",
                                   "#300\n#100 #180 #100 #30\n&1 #1 _+ &1 __STO\n&2 #1 _+ &2 __STO\n#10\n",
                                   "@0001 Weiter|\n@0002 Neu|\n",
                                   "BUTTON @0001 %0002 :0004\n/00000004 EVENT :0006 &0005\nRETURN\n%0003\nRETURN\n"
                                   "/00000200 MOUSE %0001\n/00000004 SUBMEN\nBUTTON @0002 %0002 :0010\nRETURN\n%0004\n"
                                   "RETURN\n"));
  interpreter(1);
  ASSERT_EQ(area_table.count, 1);
  // The user clicks "Weiter" while the label runs; the click was made on the level the label left.
  queue(event(QEvent::MouseButtonPress, 150, 195, Qt::LeftButton, Qt::LeftButton));
  queue(event(QEvent::MouseButtonRelease, 150, 195, Qt::LeftButton, Qt::NoButton));
  qn_control(timer_one_shot, 0);
  ASSERT_EQ(level_pointer(), 2);
  deliver();
  EXPECT_EQ(int_variable(2), 0) << "the click pressed a button the user never saw";
  EXPECT_EQ(int_variable(1), 0);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(mouse_window, MouseReadingsRepeatWithoutAMove) {
  send(event(QEvent::MouseMove, 100, 200, Qt::NoButton, Qt::NoButton));
  // Three samples with the origin at (-20, -10), then three in window coordinates.
  load_program_image(small_program(
      "&0001 I 0001:X1/0\n&0002 I 0001:X2/0\n&0003 I 0001:X3/0\n"
      "&0004 I 0001:Y1/0\n&0005 I 0001:Y2/0\n&0006 I 0001:Y3/0\n",
      "#-20 #-10\n#1 _MOUSE &1 __STO\n#1 _MOUSE &2 __STO\n#1 _MOUSE &3 __STO\n"
      "#2 _MOUSE &4 __STO\n#2 _MOUSE &5 __STO\n#2 _MOUSE &6 __STO\n#0\n",
      "",
      "/00000010 ORIGIN %0001\n"
      "/00008000 MOUSE\n%0002\n/00008000 MOUSE\n%0003\n/00008000 MOUSE\n%0004\n"
      "/00000008 WINDOW %0008\n"
      "/00008000 MOUSE\n%0005\n/00008000 MOUSE\n%0006\n/00008000 MOUSE\n%0007\n"
      "RETURN\n"));
  interpreter(1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(int_variable(1), 120);
  EXPECT_EQ(int_variable(2), 120);
  EXPECT_EQ(int_variable(3), 120);
  EXPECT_EQ(int_variable(4), 480 - 200);
  EXPECT_EQ(int_variable(5), 480 - 200);
  EXPECT_EQ(int_variable(6), 480 - 200);
  EXPECT_EQ(mouse_state.x, 100);  // the window's own words stay in pixels
  EXPECT_EQ(mouse_state.y, 200);
}

TEST_F(mouse_window, AQuickClickOnAMarkListRowMarksItAndRunsTheLabel) {
  labels(1);
  show_list(10, label(1));
  MARK_LIST(3, 1);
  // The release waits in the queue when the press arrives, before the list reads the mouse.
  release_at(60, row_y(3));
  press(60, row_y(3));
  deliver();
  EXPECT_EQ(lst_get_row(3, 3, 40)[0], '1');
  EXPECT_EQ(lst_get_row(3, 2, 40)[0], '0');
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  EXPECT_FALSE(run_flags.list_mouse_active);
}

TEST_F(mouse_window, DraggingTheSliderThumbScrollsTheList) {
  labels(1);
  show_list(100, label(1));
  const int32_t s = list_of(3).slider_area;
  ASSERT_EQ(list_of(3).top, 1);
  const area_record& track = area(s);
  ASSERT_GT(track.track_length, 8);
  const int32_t x = (track.x1 + track.x2) / 2;
  const int32_t grip = track.y1 + track.text_x + (track.x2 - track.x1) / 2;  // the middle of the thumb
  // Taking the thumb does not move it.
  release_at(x, grip);
  press(x, grip);
  deliver();
  EXPECT_EQ(list_of(3).top, 1);
  // Dragged half the track down, the thumb carries the list to its middle.
  drag_to(x, grip + track.track_length / 4);
  drag_to(x + 40, grip + track.track_length / 2);  // straying sideways off the track
  release_at(x + 40, grip + track.track_length / 2);
  press(x, grip);
  deliver();
  EXPECT_GE(list_of(3).top, 40);
  EXPECT_LE(list_of(3).top, 60);
  EXPECT_GE(track.text_x, track.track_length / 2 - 2);
  EXPECT_LE(track.text_x, track.track_length / 2 + 2);
  EXPECT_FALSE(run_flags.list_mouse_active);
  EXPECT_TRUE(ran().empty());  // scrolling runs no label
}

}  // namespace
