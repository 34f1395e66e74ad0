// Combo boxes of a program through the real main window: clicks and keys on the drop-down, the
// text part of a combo, and the MOUSE command's wait, with Qt input on the window as a user's
// mouse and keyboard deliver it.  Each test checks what the program sees: whether its label ran,
// what COMBO reads, and the record in combo.lib.
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/screen/lists.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/screen.h"
#include "support/other_user.h"
#include "test_debugger_fixture.h"
#include "test_dispatcher_fixture.h"

namespace {

class combo_window : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    reset_lists();
    combo_reset();
    field_input_reset();
  }
  void TearDown() override {
    reset_lists();
    combo_reset();
    field_input_reset();
    mouse_wait_reset();
    areas_reset();
    events_fixture::TearDown();
  }


  // Record #01 of combo.lib: `count` entries "Eintrag k" with the number 10 k, entry `current`
  // current.
  static void write_record(int32_t count, int32_t current) {
    combo_record rec;
    rec.count = count;
    rec.current = current;
    for (int32_t k = 1; k <= count; ++k) rec.entry[k - 1] = {10 * k, "Eintrag " + std::to_string(k)};
    ASSERT_TRUE(combo_write_record(1, rec));
  }
  // The current entry of record #01 as the file holds it.
  int32_t current_in_file() const { return std::stoi(file_text("combo.lib").substr(0, 4)); }

  // A program whose start makes one combo area for record #01 with BUTTON (the option and the
  // rectangle x y width height given) and whose label stores COMBO(1)'s text in T and counts
  // its runs in RUNS.
  static void run_combo_program(std::string_view option, std::string_view rect) {
    load_program_image(small_program("&0001 S 0001*020:T/\n&0002 I 0001:RUNS/0\n",
                                     std::string(rect) + "\n#1 _COMBO &1 __STO &2 #1 _+ &2 __STO\n", "@0001 #01|\n",
                                     "/" + std::string(option) + " BUTTON :0003 @0001 %0001\nRETURN\n%0002\nRETURN\n"));
    interpreter(1);
  }
  // The focused combo of record #01 (`count` entries, entry `current` current) that the program
  // makes at (100, 50).
  QWidget* focused_combo(int32_t count, int32_t current) {
    QWidget* w = main_widget();
    write_record(count, current);
    run_combo_program("00000400", "#100 #50 #150 #20");
    area_table.state.focus = 1;
    return w;
  }
  static std::string text_t() {
    const variable_record& var = variable_table.records[1];
    const std::string_view t = STRING_BUFFER.view(var.text_start, var.start);
    return std::string(t.substr(0, t.find_last_not_of(' ') + 1));
  }
  // Records #01 (Eins, Zwei) and #02 (Rot, Gelb current, Blau) of combo.lib; returns the file.
  std::string write_two_records() const {
    combo_record first;
    first.count = 2;
    first.current = 1;
    first.entry[0] = {11, "Eins"};
    first.entry[1] = {12, "Zwei"};
    combo_record second;
    second.count = 3;
    second.current = 2;
    second.entry[0] = {21, "Rot"};
    second.entry[1] = {22, "Gelb"};
    second.entry[2] = {23, "Blau"};
    EXPECT_TRUE(combo_write_record(1, first));
    EXPECT_TRUE(combo_write_record(2, second));
    return file_text("combo.lib");
  }
  // The user types "Neu" into the text part of area 1 (combo #01); the one-shot timer ticks (as
  // the library delivers its ticks); the field of combo #01 is closed; the user types X and
  // clicks the background.
  static void type_neu_tick_and_x(QWidget* w) {
    ASSERT_GT(event_labels.one_shot, 0);
    const area_record text_part = area(1);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier,
                      QPoint((text_part.x1 + text_part.x2) / 2, (text_part.y1 + text_part.y2) / 2));
    ASSERT_TRUE(run_flags.field_input);
    for (int i = 0; i < 4; ++i) QTest::keyClick(w, Qt::Key_Backspace);
    QTest::keyClicks(w, "Neu");
    qn_control(timer_one_shot, 0);
    EXPECT_FALSE(run_flags.field_input) << "the field of combo #01 is still open";
    QTest::keyClicks(w, "X");
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(500, 400));
  }
  static int32_t runs(size_t variable = 2) { return ADRSPACE.get_int(variable_table.records[variable].start); }

  // The middle of line `line` of the open drop-down.
  static QPoint line_point(int32_t line) {
    const list_record& l = list_of(1);
    return QPoint(l.x1 + 20, l.y1 + (line - 1) * list_table.line_height + list_table.line_height / 2);
  }

  // Down on the focused combo of record #01 (`entries` entries) opens its drop-down; once it
  // shows, `action` runs with the user's input.
  template <typename Action>
  static void open_by_key_and(QWidget* w, int32_t entries, Action action) {
    int passes = 0;
    QTimer driver;
    drive(driver, passes, 3000, [&] {
      if (!run_flags.combo_open || list_of(1).page != entries) return false;
      action();
      return true;
    });
    QTest::keyClick(w, Qt::Key_Down);
  }

  // Calls `step` on every pass of the event loop until it returns true; after `limit` passes
  // a drop-down still open is closed with Escape, so that a test that fails does not hang.
  template <typename Step>
  static void drive(QTimer& timer, int& passes, int limit, Step step) {
    QObject::connect(&timer, &QTimer::timeout, [&timer, &passes, limit, step, done = false]() mutable {
      if (++passes > limit) {
        if (run_flags.combo_open) combo_key_catch(27);
        timer.stop();
        return;
      }
      if (!done) done = step();
    });
    timer.start(0);
  }
};

TEST_F(combo_window, AClickOnAComboNearTheBottomPicksOnlyAfterTheMouseMoved) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_record(15, 2);
  run_combo_program("00000400", "#20 #420 #150 #20");
  ASSERT_EQ(area_table.count, 1);
  const QPoint on_combo(60, 430);

  // A plain click: the drop-down opens upward over the combo, and the release of the click
  // that opened it lands on one of its rows.
  bool covered = false, open_after_release = false;
  int32_t bar_after_release = 0;
  int step = 0, passes = 0;
  QTimer driver;
  drive(driver, passes, 3000, [&] {
    if (step == 0 && run_flags.combo_open && list_of(1).page == 15) {
      covered = list_of(1).y1 < on_combo.y() && list_of(1).y2 > on_combo.y();
      QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, on_combo);
      step = 1;
    } else if (step == 1) {
      open_after_release = run_flags.combo_open;
      bar_after_release = list_of(1).cursor;
      QTest::keyClick(w, Qt::Key_Escape);
      return true;
    }
    return false;
  });
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, on_combo);
  driver.stop();
  EXPECT_TRUE(covered);
  EXPECT_TRUE(open_after_release) << "the release of the opening click picked a row";
  EXPECT_EQ(bar_after_release, 2);  // the bar stays on the current entry
  EXPECT_EQ(runs(), 0);
  EXPECT_EQ(current_in_file(), 2);

  // Press, drag to a row and release there: that row is picked.
  QPoint row5;
  step = 0;
  passes = 0;
  QTimer dragger;
  drive(dragger, passes, 3000, [&] {
    if (step == 0 && run_flags.combo_open && list_of(1).page == 15) {
      row5 = line_point(5);
      QMouseEvent move(QEvent::MouseMove, row5, w->mapToGlobal(row5), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(w, &move);
      step = 1;
    } else if (step == 1) {
      QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, row5);
      return true;
    }
    return false;
  });
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, on_combo);
  dragger.stop();
  EXPECT_FALSE(run_flags.combo_open);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(text_t(), "Eintrag 5");
  EXPECT_EQ(current_in_file(), 5);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(combo_window, AQuickClickOnARowOfTheOpenDropDownPicksIt) {
  QWidget* w = focused_combo(4, 1);
  ASSERT_NE(w, nullptr);

  // Press and release come together, as a tap or a quick click on a quiet machine brings them.
  open_by_key_and(w, 4, [w] {
    const QPoint row3 = line_point(3);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, row3);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, row3);
  });
  EXPECT_FALSE(run_flags.combo_open);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(text_t(), "Eintrag 3");
  EXPECT_EQ(current_in_file(), 3);
}

TEST_F(combo_window, CursorKeysMoveTheBarOfTheOpenDropDownAndEnterPicks) {
  QWidget* w = focused_combo(6, 2);
  ASSERT_NE(w, nullptr);

  // Keys typed together: Down, Down, Up, Down and Enter all reach the drop-down.
  int32_t bar_before_keys = 0;
  open_by_key_and(w, 6, [&] {
    bar_before_keys = list_of(1).cursor;
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return})
      QTest::keyClick(w, key);
  });
  EXPECT_EQ(bar_before_keys, 2);
  EXPECT_FALSE(run_flags.combo_open);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(text_t(), "Eintrag 4");
  EXPECT_EQ(current_in_file(), 4);

  // Escape after a move closes it without a pick.
  open_by_key_and(w, 6, [w] {
    QTest::keyClick(w, Qt::Key_Down);
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_FALSE(run_flags.combo_open);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(current_in_file(), 4);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(combo_window, TheTextPartShowsTheEntryAndStoresWhatTheUserTypes) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_record(3, 2);
  int32_t handle = 0;
  screen_bitmap(0, handle);
  const QImage before = qnb::bitmap_image(handle)->copy();
  run_combo_program("00000800", "#100 #50 #200 #20");
  ASSERT_EQ(area_table.count, 2);
  const area_record text_part = area(1);
  ASSERT_EQ(text_part.type, area_combo_text);

  // The text part shows the current entry's text in the text colour, and nothing is drawn
  // below the combo.
  const QImage image = qnb::bitmap_image(handle)->copy();
  int32_t dark = 0;
  for (int32_t y = text_part.y1 + 2; y <= text_part.y2 - 2; ++y)
    for (int32_t x = text_part.x1 + 2; x <= text_part.x2 - 2; ++x) dark += qGray(image.pixel(x, y)) < 100;
  EXPECT_GT(dark, 20) << "no text in the text part";
  for (int32_t y = 72; y < 110; ++y)
    for (int32_t x = 100; x <= 300; ++x) ASSERT_EQ(image.pixel(x, y), before.pixel(x, y)) << x << "," << y;

  // A click on it opens the input with that text; the text typed over it is stored with Enter.
  const QPoint inside((text_part.x1 + text_part.x2) / 2, (text_part.y1 + text_part.y2) / 2);
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, inside);
  ASSERT_TRUE(run_flags.field_input);
  EXPECT_EQ(field_input_state().text, "Eintrag 2");
  for (int i = 0; i < 9; ++i) QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClicks(w, "Lila");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(text_t(), "Lila");
  EXPECT_EQ(file_text("combo.lib").substr(8 + 28 + 8, 20), "Lila                ");
  EXPECT_EQ(current_in_file(), 2);

  // A text that names another entry makes that entry current.
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, inside);
  ASSERT_TRUE(run_flags.field_input);
  for (int i = 0; i < 4; ++i) QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClicks(w, "Eintrag 3");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(runs(), 2);
  EXPECT_EQ(text_t(), "Eintrag 3");
  EXPECT_EQ(current_in_file(), 3);
  EXPECT_EQ(combo_text_of(area(1)), "Eintrag 3");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(combo_window, AnOpenComboTextWhoseAreasATimersLabelDeletesStoresNothing) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  const std::string library = write_two_records();
  // Two combos with text parts, records #01 (areas 1 and 2) and #02 (areas 3 and 4), whose
  // label counts its runs in RUNS; a one-shot timer whose label deletes combo #01's two areas.
  load_program_image(small_program(
      "&0001 I 0001:RUNS/0\n",
      "#100 #50 #200 #20\n#100 #100 #200 #20\n&1 #1 _+ &1 __STO\n#1\n#10\n",
      "@0001 #01|\n@0002 #02|\n",
      "/00000800 BUTTON :0006 @0001 %0001\n/00000800 BUTTON :0006 @0002 %0002\n/00000004 EVENT :0008 &0005\n"
      "RETURN\nRETURN\n%0003\nRETURN\n/00010000 BTNMGR %0004\n/00010000 BTNMGR %0004\nRETURN\n"));
  interpreter(1);
  ASSERT_EQ(area_table.count, 4);
  type_neu_tick_and_x(w);
  ASSERT_EQ(area_table.count, 2);
  EXPECT_EQ(runs(1), 0) << "a combo's label ran";
  EXPECT_EQ(file_text("combo.lib"), library);
  EXPECT_EQ(combo_text_of(area(1)), "Gelb");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(combo_window, AnOpenComboTextLeftBehindByATimersNewLevelStoresNothing) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  const std::string library = write_two_records();
  // Combo #01 with a text part (areas 1 and 2); a one-shot timer whose label opens a level and
  // makes combo #02 there (areas 1 and 2 of the new level).
  load_program_image(small_program(
      "&0001 I 0001:RUNS/0\n", "#100 #50 #200 #20\n&1 #1 _+ &1 __STO\n#10\n", "@0001 #01|\n@0002 #02|\n",
      "/00000800 BUTTON :0004 @0001 %0001\n/00000004 EVENT :0006 &0003\nRETURN\n%0002\nRETURN\n"
      "/00000004 SUBMEN\n/00000800 BUTTON :0004 @0002 %0001\nRETURN\n"));
  interpreter(1);
  ASSERT_EQ(area_table.count, 2);
  type_neu_tick_and_x(w);
  ASSERT_EQ(level_pointer(), 2);
  EXPECT_EQ(runs(1), 0) << "a combo's label ran";
  EXPECT_EQ(file_text("combo.lib"), library);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(combo_window, AQuickClickEndsTheMouseWait) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // MOUSE waits for a click; then X, Y and the buttons are stored.
  load_program_image(small_program("&0001 I 0001:X/0\n&0002 I 0001:Y/0\n&0003 I 0001:B/-1\n",
                                   "#0\n#1 _MOUSE &1 __STO #2 _MOUSE &2 __STO #3 _MOUSE &3 __STO\n", "",
                                   "/00000200 MOUSE %0001\n%0002\nRETURN\n"));
  // While the wait runs, press and release come in one pass of the event loop.  Should the wait
  // not end, a slow click (press and release on separate passes) ends it later.
  bool waiting_seen = false, slow_click_needed = false;
  int passes = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if ((call_state.command_flags & 0x200) == 0) return;  // the MOUSE command has not begun
    ++passes;
    if (passes == 1) {
      waiting_seen = true;
      QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(120, 200));
    } else if (passes == 2000) {
      slow_click_needed = true;
      QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(120, 200));
    } else if (passes == 2001) {
      QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(120, 200));
      driver.stop();
    }
  });
  driver.start(0);
  interpreter(1);
  driver.stop();
  EXPECT_TRUE(waiting_seen);
  EXPECT_FALSE(slow_click_needed) << "the quick click did not end the wait";
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[1].start), 120);
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[2].start), 200);
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[3].start), 1);
}

// A record of combo.lib written by hand: the current entry, the count, and the entries' number
// and text fields as given (blank entries up to 20), ended by CR LF.
std::string hand_record(const std::string& head, const std::vector<std::string>& entries) {
  std::string raw = head;
  for (const std::string& e : entries) raw += e;
  for (size_t k = entries.size(); k < 20; ++k) raw += "0       " + std::string(20, ' ');
  return raw + "\r\n";
}

std::string padded20(const std::string& text) { return text + std::string(20 - text.size(), ' '); }

// A pick by keyboard and by mouse in a library of 1,200 records changes the bytes of the
// current entry of its record and no other, also where the library writes its numbers another
// way than the runtime would (left-aligned, a leading zero) and holds code page 1252 texts.
TEST_F(combo_window, APickChangesOnlyTheCurrentEntryOfItsRecord) {
  QWidget* w = focused_combo(3, 1);
  ASSERT_NE(w, nullptr);
  std::string library = hand_record("   1 3  ", {"10      " + padded20("Gr\xFCn"), "020     " + padded20("Stra\xDF" "e"),
                                               "      30" + padded20("\x80uro")});
  for (int k = 2; k <= 1200; ++k)
    library += hand_record("   1   1", {"     " + std::to_string(100 + k % 900) + padded20("Satz " + std::to_string(k))});
  ASSERT_EQ(library.size(), 1200u * 570u);
  {
    std::ofstream(dir / "combo.lib", std::ios::binary) << library;
  }

  open_by_key_and(w, 3, [w] {
    QTest::keyClick(w, Qt::Key_Down);
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(text_t(), "Stra\xDF" "e");
  library.replace(0, 4, "   2");
  EXPECT_TRUE(file_text("combo.lib") == library) << file_text("combo.lib").substr(0, 120);

  open_by_key_and(w, 3, [w] {
    const QPoint row3 = line_point(3);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, row3);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, row3);
  });
  EXPECT_EQ(runs(), 2);
  library.replace(0, 4, "   3");
  EXPECT_TRUE(file_text("combo.lib") == library) << file_text("combo.lib").substr(0, 120);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// A library whose records end in LF alone (as a Unix editor leaves it) does not hold its
// records at their fixed places of 570 bytes: record 1 read there ends in the first byte of
// record 2.  A pick in it is refused as a broken record, changes no byte of the file and runs
// no label.
TEST_F(combo_window, APickInALibraryWhoseRecordsEndInLineFeedAloneChangesNothing) {
  QWidget* w = focused_combo(2, 1);
  ASSERT_NE(w, nullptr);
  std::string record = file_text("combo.lib");
  ASSERT_EQ(record.size(), 570u);
  record.erase(568, 1);  // the CR
  const std::string library = record + record;
  {
    std::ofstream(dir / "combo.lib", std::ios::binary) << library;
  }

  open_by_key_and(w, 2, [w] {
    QTest::keyClick(w, Qt::Key_Down);
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_FALSE(run_flags.combo_open);
  EXPECT_EQ(runs(), 0);
  EXPECT_TRUE(file_text("combo.lib") == library);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "COMBO Satz falsch: #01");
}

int32_t pick_second(const combo_record&) { return 2; }

// A pick that the library does not take (the user may not write combo.lib) shows the
// "COMBO Schreibfehler" box and runs no label: nothing was picked.  Root may write any file, so
// under root the pick is made by an unprivileged user, in a process of its own.
TEST_F(combo_window, APickThatCannotBeSavedRunsNoLabel) {
  ASSERT_EQ(work_where_others_may_enter(), "");  // the user must reach the folder
  QWidget* w = focused_combo(3, 1);
  ASSERT_NE(w, nullptr);
  const std::string library = file_text("combo.lib");
  ASSERT_EQ(chmod("combo.lib", 0444), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  if (geteuid() != 0 && access("combo.lib", W_OK) == 0) GTEST_SKIP() << "this user may write every file";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!drop_root_for_other_user()) _exit(99);
    combo_set_chooser(pick_second);
    QTest::keyClick(w, Qt::Key_Down);
    const bool box = boxes.size() == 1 && boxes[0].text == "COMBO Schreibfehler: #01";
    _exit((box ? 10 : 20) + runs());
  }
  int wait_status = 0;
  ASSERT_EQ(waitpid(child, &wait_status, 0), child);
  ASSERT_TRUE(WIFEXITED(wait_status));
  EXPECT_EQ(WEXITSTATUS(wait_status), 10) << "10 + the label's runs; 20 + runs: no box or another";
  EXPECT_TRUE(file_text("combo.lib") == library);
}

TEST_F(combo_window, TheClickAMouseWaitTookIsTheProgramsAndLeavesTheKeysWorking) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // A button "Weiter" whose label counts RUNS; the run then waits for a click with MOUSE.
  load_program_image(small_program("&0001 I 0001:RUNS/0\n", "#0\n#100 #180 #100 #30\n&1 #1 _+ &1 __STO\n",
                                   "@0001 Weiter|\n",
                                   "BUTTON @0001 %0002 :0004\n/00000200 MOUSE %0001\nRETURN\n%0003\nRETURN\n"));
  // The user clicks the button while the wait runs: the wait takes the click, which is then the
  // program's: no click on the button, and no click lost that would refuse the keys after it.
  bool clicked = false;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if ((call_state.command_flags & 0x200) == 0 || clicked) return;  // the MOUSE command has not begun
    clicked = true;
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(150, 195));
  });
  driver.start(0);
  interpreter(1);
  driver.stop();
  ASSERT_TRUE(clicked);
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[1].start), 0) << "the button's label ran";
  hotkey_table[hot_none]['A'] = 4;  // the button's label, on a key
  QTest::keyClick(w, Qt::Key_A);
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[1].start), 1) << "the key after the MOUSE wait was refused";
  hotkey_table[hot_none]['A'] = 0;
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

}  // namespace
