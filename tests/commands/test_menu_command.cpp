// The MENU command: set-up, items, command ids and labels, the compact operand form, group
// masks, context menus, the menu bar and the error texts.
#include "test_draw_fixture.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "runtime/commands/events.h"
#include "runtime/commands/menus.h"

namespace {

class menu_command : public draw_fixture {
 protected:
  void SetUp() override {
    draw_fixture::SetUp();
    menus_reset();
    run_flags.debug_allowed = true;
  }
  void TearDown() override {
    qn_set_menu_answerer(nullptr);
    menus_reset();
    draw_fixture::TearDown();
  }
  // MENU with options (hex), operands and the two texts; target label `target`.
  void menu(const std::string& options, const std::string& operands, const std::string& text1 = " ",
            const std::string& text2 = "", int32_t target = 0) {
    std::string code = "/" + options + " MENU";
    if (target) {
      char t[8];
      std::snprintf(t, sizeof t, ":%04d", target);
      code += std::string(" ") + t;
    }
    std::vector<std::string> tokens{text1};
    code += " @0001";
    if (!text2.empty()) {
      tokens.push_back(text2);
      code += " @0002";
    }
    code += " %0001";
    run({code}, {operands}, tokens);
  }
  bool box_with(std::string_view text) const {
    for (const box_seen& b : boxes)
      if (b.text.find(text) != std::string::npos) return true;
    return false;
  }
  const menu_entry& entry(int32_t m, int32_t i) const {
    return menu_set().menu[static_cast<size_t>(m)].entry[static_cast<size_t>(i - 1)];
  }
  const menu_item& item(int32_t m, int32_t i) const {
    return menu_set().menu[static_cast<size_t>(m)].items[static_cast<size_t>(i - 1)];
  }
  // A program with the menu bar "&Datei" over a button "Oben" at (0, 0)-(100, 20) and the hot
  // key Alt+X.  A click on the button stores the mouse's y in window coordinates into DUMMY,
  // Alt+X stores 5.
  void run_program_with_menu_bar() {
    run({"/00000001 MENU %0001", "/00000001 MENU %0002", "/00000001 MENU %0003",
         "/00010000 MENU :0016 @0002 %0003", "/00010000 MENU @0001 %0004", "/00000010 MENU %0005",
         "BUTTON :0010 @0003 %0006", "HOTKEY :0014 @0004", "RETURN",
         "/00000008 WINDOW %0008", "/00008000 MOUSE", "%0007", "RETURN",  // the button
         "%0009", "RETURN",                                                 // Alt+X
         "RETURN"},                                                         // the menu item
        {"#1 #0 #0 #0", "#0 #1 #0 #0", "#1 #1 #0 #0", "#0 #1 #1 #0", "#0 #0 #0 #0", "#0 #0 #100 #20",
         "#2 _MOUSE &1 __STO", "#0", "#5 &1 __STO"},
        {"&Datei", "&Ende", "Oben", "ALT-X"});
    ASSERT_TRUE(boxes.empty());
    QCoreApplication::processEvents();
  }
  static int32_t dummy() { return ADRSPACE.get_int(variable_table.records[1].start); }

  // Menus 0..count, menu 0 with `bar` items, menu 1 with `items` items.
  void standard_set(int32_t count = 1, int32_t bar = 1, int32_t items = 3) {
    menu("00000001", "#" + std::to_string(count) + " #0 #0 #0");
    menu("00000001", "#0 #" + std::to_string(bar) + " #0 #0");
    menu("00000001", "#1 #" + std::to_string(items) + " #0 #0");
  }
};

TEST_F(menu_command, SetUpMakesEmptyMenusAndDropsTheLabels) {
  menu_labels[5] = 77;
  menu("00000001", "#3 #0 #0 #0");
  EXPECT_EQ(menu_set().count, 3);
  EXPECT_EQ(menu_set().menu.size(), 4u);
  EXPECT_EQ(menu_labels[5], 0);
  EXPECT_EQ(menu_set().next_id, 1);
  menu("00000001", "#2 #4 #0 #0");
  EXPECT_EQ(menu_set().menu[2].item_count, 4);
}

TEST_F(menu_command, CompactFormAddressesItemAndSubmenu) {
  menu("00000001", "#7 #0 #0 #0");
  menu("00000001", "#3 #5 #0 #0");
  menu("00010000", "#305 #7 #0 #0", "Datei");
  EXPECT_EQ(item(3, 5).submenu, &menu_set().menu[7].items);
  EXPECT_EQ(item(3, 5).stamp, QN_STAMP);
  EXPECT_EQ(item(3, 5).text, "Datei");
  EXPECT_EQ(entry(3, 5).command_id, 0);
}

TEST_F(menu_command, CommandItemsGetIdsAndLabelsInTheOrderTheyAreFilled) {
  standard_set();
  menu("00010000", "#1 #2 #0 #0", "Speichern", "Strg+S", 2);
  EXPECT_EQ(entry(1, 2).command_id, 1);
  EXPECT_EQ(io_status, 1);
  EXPECT_EQ(menu_labels[1], 2);
  EXPECT_EQ(item(1, 2).id, 0x8001);
  EXPECT_EQ(item(1, 2).accelerator, "Strg+S");
  // Filled again: new text, same id and label.
  menu("00010000", "#1 #2 #0 #0", "Sichern", "", 1);
  EXPECT_EQ(entry(1, 2).command_id, 1);
  EXPECT_EQ(menu_labels[1], 2);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(item(1, 2).text, "Sichern");
}

TEST_F(menu_command, IdsStopAt99AndTheLastLabelWins) {
  menu("00000001", "#1 #0 #0 #0");
  menu("00000001", "#1 #100 #0 #0");
  // Labels 1 and 2 alternate: the 99th item gives 1, the 100th 2.
  for (int32_t i = 1; i <= 100; ++i) menu("00010000", "#1 #" + std::to_string(i) + " #0 #0", "X", "", 2 - i % 2);
  EXPECT_EQ(entry(1, 98).command_id, 98);
  EXPECT_EQ(entry(1, 99).command_id, 99);
  EXPECT_EQ(entry(1, 100).command_id, 99);
  EXPECT_EQ(menu_labels[99], 2);
  EXPECT_EQ(menu_labels[98], 2);
  EXPECT_EQ(menu_labels[97], 1);
}

TEST_F(menu_command, GroupMaskGreysOnlyItemsSharingABit) {
  standard_set();
  menu("00010000", "#1 #1 #0 #0", "Eins", "", 3);    // value 0
  menu("00010000", "#1 #2 #0 #6", "Zwei", "", 3);    // value 6
  menu("00010000", "#1 #3 #0 #8", "Drei", "", 3);    // value 8
  menu("00010000", "#0 #1 #1 #0", "Menu");
  menu("00000010", "#0 #0 #0 #0");  // the bar
  // Mask 0 touches nothing.
  menu("00000880", "#0 #0 #0 #0");
  EXPECT_EQ(item(1, 2).flags, 0);
  menu("00000880", "#2 #0 #0 #0");  // 2048 + 128: grey by mask 2
  EXPECT_EQ(item(1, 2).flags, 1);
  EXPECT_EQ(item(1, 3).flags, 0);
  EXPECT_EQ(item(1, 1).flags, 0);
  const auto bar = qn_menu_bar(main_window());
  ASSERT_EQ(bar.size(), 1u);
  ASSERT_EQ(bar[0].sub.size(), 3u);
  EXPECT_FALSE(bar[0].sub[1].enabled);
  EXPECT_TRUE(bar[0].sub[0].enabled);
  menu("00000800", "#6 #0 #0 #0");  // enable again
  EXPECT_TRUE(qn_menu_bar(main_window())[0].sub[1].enabled);
}

TEST_F(menu_command, MenuBarIsAttachedWithItsAcceleratorsAndPicksRunLabels) {
  standard_set();
  menu("00010000", "#1 #1 #0 #0", "&Neu", "Strg+N", 0);
  menu("00010000", "#0 #1 #1 #0", "&Datei");
  menu("00000010", "#0 #0 #0 #0");
  EXPECT_EQ(screen_metrics.menu_bar_height, get_system_metrics(15));
  const auto bar = qn_menu_bar(main_window());
  ASSERT_EQ(bar.size(), 1u);
  EXPECT_EQ(bar[0].text, "&Datei");
  ASSERT_FALSE(bar[0].sub.empty());
  EXPECT_EQ(bar[0].sub[0].id, 0x8001);
  EXPECT_EQ(bar[0].sub[0].shortcut, "Ctrl+N");
}

TEST_F(menu_command, TheMenuBarSitsAboveTheProgramsRowZero) {
  run_program_with_menu_bar();
  const int32_t bar = get_system_metrics(15);
  QWidget* w = qnb::window_widget(main_window());
  // The window keeps its size; its client area is what lies under the bar.
  EXPECT_EQ(w->height(), 480);
  EXPECT_EQ(qnb::window_picture(main_window()).height(), 480 - bar);
  // A click 10 rows under the bar is a click on the button at program row 10.
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(50, bar + 10));
  EXPECT_EQ(mouse_state.y, 10);
  EXPECT_EQ(dummy(), 480 - bar - 10);  // MOUSE in window coordinates counts up from the client's bottom
  // The window shows the program's rows 0-19 right under the bar.
  const QImage shown = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  int32_t differing = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x <= 100; ++x)
      if ((shown.pixel(x, bar + y) & 0xFFFFFFu) != pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
  EXPECT_GT(painted(0, 0, 100, 0), 0);  // the button's top edge is there to be seen
}

TEST_F(menu_command, UnderAMenuBarTheMessageStripAndTheStatusLineAreInView) {
  // Menu bar "&Datei", a message text in field 1 and a button "Buchen" at (0, 0)-(100, 20)
  // whose status text is "Bucht den Beleg".
  run({"/00000001 MENU %0001", "/00000001 MENU %0002", "/00000001 MENU %0003", "/00010000 MENU :0010 @0002 %0003",
       "/00010000 MENU @0001 %0004", "/00000010 MENU %0005", "MESS %0007 @0003", "BUTTON :0010 @0004 @0005 %0006",
       "RETURN", "RETURN"},
      {"#1 #0 #0 #0", "#0 #1 #0 #0", "#1 #1 #0 #0", "#0 #1 #1 #0", "#0 #0 #0 #0", "#0 #0 #100 #20", "#1"},
      {"&Datei", "&Ende", "Gebucht", "Buchen", "Bucht den Beleg"});
  ASSERT_TRUE(boxes.empty());
  QCoreApplication::processEvents();
  const int32_t bar = get_system_metrics(15);
  ASSERT_GT(bar, 0);
  QWidget* w = qnb::window_widget(main_window());
  // The inside of the strip: the 20 rows at the bottom of the window, the client area's last.
  const auto strip = [w] { return w->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(2, 462, 630, 15); };
  const auto count = [](const QImage& image, uint32_t rgb) {
    int32_t n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFFu) == rgb ? 1 : 0;
    return n;
  };
  const auto dark = [&count](const QImage& image) { return count(image, 0); };
  const QImage with_message = strip();
  EXPECT_GT(count(with_message, colour(colour_numbers.light_grey)), 0) << "the message strip is not in view";
  EXPECT_GT(dark(with_message), 0) << "the message text is not in view";
  // The mouse enters the button: its status text takes the status line.
  const auto move_to = [w](int x, int y) {
    const QPointF at(x, y);
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
  };
  move_to(50, bar + 10);
  const QImage with_status = strip();
  EXPECT_GT(dark(with_status), 0) << "the status text is not in view";
  EXPECT_FALSE(with_status == with_message) << "the status line does not show the button's status text";
  // Off the button the status line is cleared.
  move_to(300, bar + 200);
  EXPECT_EQ(dark(strip()), 0);
}

TEST_F(menu_command, AltWithAMenuLetterOpensTheMenuAndPassesNoKeyOn) {
  run_program_with_menu_bar();
  QWidget* w = qnb::window_widget(main_window());
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  ASSERT_FALSE(run_flags.focus_lost);
  std::vector<int32_t> keys;  // the key messages that reach the dispatcher
  qn_set_control([&keys](int32_t command, int32_t param) {
    if (command >= 0x4100 && command <= 0x4102) keys.push_back(command);
    qn_control(command, param);
  });
  const int32_t beeps = qn_last_sound().requests;
  // Alt with a letter the bar does not take is the program's: its hot key runs, without a beep.
  QTest::keyClick(w->windowHandle(), Qt::Key_X, Qt::AltModifier);
  EXPECT_EQ(dummy(), 5);
  EXPECT_FALSE(keys.empty());
  EXPECT_EQ(qn_last_sound().requests, beeps);
  // Alt+D opens "Datei" and nothing else happens.
  keys.clear();
  QTest::keyClick(w->windowHandle(), Qt::Key_D, Qt::AltModifier);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "&Datei");
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(qn_last_sound().requests, beeps);
  menu->close();
  // The synthesized Alt releases carry Alt, as the window system reports them: let it go.
  QTest::keyRelease(w->windowHandle(), Qt::Key_Alt, Qt::NoModifier);
  ASSERT_EQ(QGuiApplication::keyboardModifiers(), Qt::NoModifier);
}

TEST_F(menu_command, ItemStateSetsTheCheckMark) {
  standard_set();
  menu("00010000", "#1 #1 #0 #0", "Eins", "", 3);
  menu("00010000", "#0 #1 #1 #0", "Menu");
  menu("00000010", "#0 #0 #0 #0");
  menu("00000200", "#1 #1 #0 #0");  // check mark
  EXPECT_EQ(entry(1, 1).mark, 1);
  EXPECT_TRUE(qn_menu_bar(main_window())[0].sub[0].checked);
  menu("00000000", "#1 #1 #0 #0");
  EXPECT_EQ(entry(1, 1).mark, 0);
  EXPECT_FALSE(qn_menu_bar(main_window())[0].sub[0].checked);
}

TEST_F(menu_command, ContextMenuReturnsThePickedId) {
  standard_set();
  menu("00010000", "#1 #1 #0 #0", "Eins", "", 3);
  int32_t seen = 0;
  qn_set_menu_answerer([&seen](const std::vector<menu_item>& items, qn_point) {
    seen = static_cast<int32_t>(items.size());
    return items[0].id;
  });
  menu("00000020", "#1 #0 #0 #0");
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(io_status, 0x8001);
  seen = 0;
  menu("00000020", "#5 #0 #0 #0");  // no such menu
  EXPECT_EQ(io_status, -1);
  EXPECT_EQ(seen, 0);
}

// Each message ends the program, so each case runs in a test of its own.
TEST_F(menu_command, AnItemOutsideTheMenuIsReportedWithTheItemCount) {
  standard_set(1, 2, 3);
  menu("00010000", "#0 #5 #0 #0", "X", "", 1);
  EXPECT_TRUE(box_with("MENU/SETUP 0 5 n= 2"));
  EXPECT_EQ(entry(0, 2).command_id, 0);
}

TEST_F(menu_command, APopUpItemWithAnUnknownSubmenuIsReportedWithTheMenuCount) {
  standard_set(1, 2, 3);
  menu("00010000", "#0 #1 #4 #0", "X");
  EXPECT_TRUE(box_with("MENU/SETUP 0 1 4 n= 2 1"));
  EXPECT_EQ(item(0, 1).stamp, 0u);
}

TEST_F(menu_command, AnUnknownCallIsAGeneralError) {
  standard_set();
  menu("00000000", "#-3 #0 #0 #0");
  EXPECT_TRUE(box_with("General MENU/SETUP error"));
}

TEST_F(menu_command, SetUpWithAnAbsurdMenuNumberIsRefused) {
  menu("00000001", "#100 #0 #0 #0");
  EXPECT_TRUE(box_with("General MENU/SETUP error"));
  EXPECT_EQ(menu_set().count, -1);
}

TEST_F(menu_command, AnAbsurdItemCountIsRefused) {
  menu("00000001", "#1 #0 #0 #0");
  menu("00000001", "#1 #100000 #0 #0");
  EXPECT_FALSE(boxes.empty());
  EXPECT_EQ(menu_set().menu[1].item_count, 0);
}

}  // namespace
