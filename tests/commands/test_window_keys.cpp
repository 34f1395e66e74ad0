// Keys on the real windows, as a user types them: keys typed into the program's other windows
// (the plot output, the print preview, a text window), Ctrl+C there, Tab and Return over deleted
// and disabled buttons, and a key's label after a run that an EVENT abandoned.
// Before any Qt header: Qt defines "slots" as a macro.
#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <fstream>
#include <string>
#include <vector>

#include "test_dispatcher_fixture.h"

namespace {

constexpr int32_t idyes = 6;

class window_keys : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    plot_reset();
    print_output_reset();
    main = window();
    qnb::clipboard_reset();
  }
  void TearDown() override {
    qnb::clipboard_reset();
    plot_reset();
    print_output_reset();
    areas_reset();
    events_fixture::TearDown();
  }
  // Runs the program from record 1 and lets the windows it opened show.
  void run_program(const std::vector<std::string>& codes, const std::vector<std::string>& upn,
                   const std::vector<std::string>& tokens) {
    load_pxb(codes, upn, tokens);
    interpreter(1);
    QCoreApplication::processEvents();
  }
  // The main window as the window system leaves it when the user's keys go to another window
  // without the main window hearing that it lost the focus.
  void main_keeps_the_focus() {
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    run_flags.focus_lost = false;
  }
  // The text file that the programs show in a window of its own and in the print preview.
  static void write_list() { std::ofstream("liste.txt", std::ios::binary) << "Bestand 12\r\nBestand 30\r\n"; }
  bool box_with(std::string_view text) const {
    for (const box_seen& b : boxes)
      if (b.text.find(text) != std::string::npos) return true;
    return false;
  }
  QWidget* main = nullptr;
};

TEST_F(window_keys, KeysInTheOtherWindowsRunNoHotKey) {
  // F3 runs label 8 (it records 5) and F2 label 10 (it records 7); the program shows the list in a
  // window of its own and in the print preview, and opens a plot window.
  write_list();
  run_program({"HOTKEY :0008 @0001", "HOTKEY :0010 @0002", "/00000001 SHOW @0003 @0004", "/00000048 PRINT @0003",
               "/00000001 PLOT %0001 @0005", "/00000002 PLOT", "RETURN", "PIXEL :0005", "RETURN", "PIXEL :0007", "RETURN"},
              {"#10 #10 #10 #1"}, {"F3", "F2", "liste.txt", "Liste", " "});
  ASSERT_TRUE(boxes.empty()) << boxes.front().text;
  std::vector<QWidget*> others;
  for (int32_t window : {print_get_preview_window(), get_plot_window()}) {
    ASSERT_GT(window, 0);
    others.push_back(qnb::window_widget(window));
  }
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == "Liste") others.push_back(top);
  ASSERT_EQ(others.size(), 3u);
  main_keeps_the_focus();
  for (QWidget* other : others) {
    QTest::keyClick(other, Qt::Key_F3);
    QTest::keyClick(other, Qt::Key_F2);
  }
  EXPECT_TRUE(ran().empty()) << "a key in another window ran the hot key of label " << ran().front();
  EXPECT_FALSE(program_has_ended());
  // The main window's own keys still run them.
  QTest::keyClick(main, Qt::Key_F3);
  EXPECT_EQ(ran(), std::vector<int32_t>{5});
}

TEST_F(window_keys, CtrlCInThePreviewAndThePlotWindowCopiesTheirPicture) {
  write_list();
  run_program({"/00000048 PRINT @0001", "/00000001 PLOT %0001 @0002", "/00000002 PLOT", "RETURN"}, {"#10 #10 #10 #1"},
              {"liste.txt", " "});
  ASSERT_TRUE(boxes.empty()) << boxes.front().text;
  main_keeps_the_focus();
  box_answer = idyes;
  const int32_t preview = print_get_preview_window();
  QTest::keyClick(qnb::window_widget(preview), Qt::Key_C, Qt::ControlModifier);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Text in die Zwischenablage kopieren?");
  EXPECT_EQ(boxes[0].caption, "KYR-Clipboard");
  const QSize preview_size = qnb::window_widget(preview)->size();
  EXPECT_EQ(qn_clipboard_image_size().x, preview_size.width());
  EXPECT_EQ(qn_clipboard_image_size().y, preview_size.height());

  const int32_t plot = get_plot_window();
  QTest::keyClick(qnb::window_widget(plot), Qt::Key_C, Qt::ControlModifier);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Grafik in die Zwischenablage kopieren?");
  const QSize plot_size = qnb::window_picture(plot).size();
  EXPECT_EQ(qn_clipboard_image_size().x, plot_size.width());
  EXPECT_EQ(qn_clipboard_image_size().y, plot_size.height());
  EXPECT_TRUE(ran().empty());
}

TEST_F(window_keys, DeletingAButtonKeepsTheFocusOnTheSameButton) {
  // Four buttons "Eins" to "Vier", each recording its number, the focus on "Drei"; F5 deletes
  // area 1, F6 area 2.
  run_program({"BUTTON :0012 @0001 %0001", "BUTTON :0014 @0002 %0002", "BUTTON :0016 @0003 %0003",
               "BUTTON :0018 @0004 %0004", "HOTKEY :0020 @0005", "HOTKEY :0022 @0006", "/00000001 BTNMGR %0005",
               "RETURN", "RETURN", "RETURN", "RETURN", "PIXEL :0001", "RETURN", "PIXEL :0002", "RETURN", "PIXEL :0003",
               "RETURN", "PIXEL :0004", "RETURN", "/00010000 BTNMGR %0006", "RETURN", "/00010000 BTNMGR %0007",
               "RETURN"},
              {"#10 #10 #60 #20", "#80 #10 #60 #20", "#150 #10 #60 #20", "#220 #10 #60 #20", "#3", "#1", "#2"},
              {"Eins", "Zwei", "Drei", "Vier", "F5", "F6"});
  ASSERT_EQ(area_table.state.focus, 3);
  // F5 deletes "Eins": "Drei" is area 2 now and keeps the focus.
  QTest::keyClick(main, Qt::Key_F5);
  ASSERT_EQ(area_table.count, 3);
  EXPECT_EQ(area_table.state.focus, 2);
  QTest::keyClick(main, Qt::Key_Return);
  EXPECT_EQ(ran(), std::vector<int32_t>{3}) << "Return ran another button than the one with the focus";
  // F6 deletes area 2, "Drei" itself: no button has the focus, Return runs nothing.
  QTest::keyClick(main, Qt::Key_F6);
  EXPECT_EQ(area_table.state.focus, 0);
  QTest::keyClick(main, Qt::Key_Return);
  EXPECT_EQ(ran(), std::vector<int32_t>{3});
  EXPECT_TRUE(boxes.empty());
}

TEST_F(window_keys, TabAndReturnPassDisabledButtonsBy) {
  // "Loeschen" (area 1) is disabled; "Zwei" and "Drei" are not; the focus starts on "Drei".
  // F4 gives "Loeschen" the focus as BTNMGR may.
  run_program({"BUTTON :0009 @0001 %0001", "BUTTON :0011 @0002 %0002", "BUTTON :0013 @0003 %0003",
               "/00000080 BTNMGR %0004", "/00000001 BTNMGR %0005", "HOTKEY :0015 @0004", "RETURN", "RETURN",
               "PIXEL :0001", "RETURN", "PIXEL :0002", "RETURN", "PIXEL :0003", "RETURN", "/00000001 BTNMGR %0004",
               "RETURN"},
              {"#10 #10 #60 #20", "#80 #10 #60 #20", "#150 #10 #60 #20", "#1", "#3"},
              {"Loeschen", "Zwei", "Drei", "F4"});
  ASSERT_EQ(area_table.state.focus, 3);
  QTest::keyClick(main, Qt::Key_Tab);
  EXPECT_EQ(area_table.state.focus, 2) << "Tab from the last button gave the disabled one the focus";
  QTest::keyClick(main, Qt::Key_Return);
  EXPECT_EQ(ran(), std::vector<int32_t>{2});
  QTest::keyClick(main, Qt::Key_F4);
  ASSERT_EQ(area_table.state.focus, 1);
  QTest::keyClick(main, Qt::Key_Return);
  QTest::keyClick(main, Qt::Key_Space);
  EXPECT_EQ(ran(), std::vector<int32_t>{2}) << "a key ran the disabled button";
}

TEST_F(window_keys, CtrlAndTheHotLetterOfADisabledButtonRunNothing) {
  // "&Loeschen" (area 1) is disabled with BTNMGR 128; "&Weiter" is not.
  run_program({"BUTTON :0005 @0001 %0001", "BUTTON :0007 @0002 %0002", "/00000080 BTNMGR %0003", "RETURN",
               "PIXEL :0001", "RETURN", "PIXEL :0002", "RETURN"},
              {"#10 #10 #80 #20", "#100 #10 #80 #20", "#1"}, {"&Loeschen", "&Weiter"});
  ASSERT_FALSE(logical(area(1).enabled));
  ASSERT_EQ(area(1).hot_key, 'L');
  QTest::keyClick(main, Qt::Key_L, Qt::ControlModifier);
  const area_record& disabled = area(1);
  QTest::mouseClick(main, Qt::LeftButton, Qt::NoModifier,
                    QPoint((disabled.x1 + disabled.x2) / 2, (disabled.y1 + disabled.y2) / 2));
  EXPECT_TRUE(ran().empty()) << "a key or a click ran the disabled button";
  QTest::keyClick(main, Qt::Key_W, Qt::ControlModifier);
  EXPECT_EQ(ran(), std::vector<int32_t>{2});
}

TEST_F(window_keys, ARunEndedByAnUnsupportedEventLeavesNoLevelBehind) {
  // F3: label 4 calls label 7, whose EVENT -1 ends the run after OK; what follows it in both
  // labels must never run.  F4: label 11 records 4.
  run_program({"HOTKEY :0004 @0001", "HOTKEY :0011 @0002", "RETURN", "CALL :0007", "PIXEL :0008", "RETURN",
               "EVENT %0001", "PIXEL :0009", "RETURN", "RETURN", "PIXEL :0004", "RETURN"},
              {"#-1"}, {"F3", "F4"});
  ASSERT_EQ(call_state.depth, 0);
  QTest::keyClick(main, Qt::Key_F3);
  ASSERT_TRUE(box_with("EVENT n.u."));
  EXPECT_EQ(call_state.depth, 0) << "the abandoned run left its levels open";
  EXPECT_FALSE(run_flags.busy);
  QTest::keyClick(main, Qt::Key_F4);
  EXPECT_EQ(ran(), std::vector<int32_t>{4}) << "the rest of the abandoned run ran after F4's label";
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_FALSE(program_has_ended());
}

}  // namespace
