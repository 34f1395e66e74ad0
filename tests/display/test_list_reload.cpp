// A list that a timer reloads while the user types into one of its cells, through the real main
// window on the virtual X server: a doctor's practice keeps its day's appointments (time,
// patient, doctor, note, number) in list 1 in edit mode, and every five seconds its timer's label
// builds the list anew (allocate, one put per row, the cursor set again, the list drawn), as
// from a database.  The user clicks a note, types, and ends it with Return; what the program's
// "Speichern" button saves shows where the typed text went.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "commands/list_program.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

// A row of the day's list: each value in its column (5, 12, 8, 20 and 4 characters, a blank
// after each).
std::string appointment(const std::string& time, const std::string& patient, const std::string& doctor,
                        const std::string& note, const std::string& number) {
  std::string row;
  for (const auto& [text, width] : {std::pair{time, 5}, {patient, 12}, {doctor, 8}, {note, 20}, {number, 4}}) {
    std::string cell = text;
    cell.resize(static_cast<size_t>(width) + 1, ' ');
    row += cell;
  }
  return row.substr(0, row.find_last_not_of(' ') + 1);  // as the list file holds it
}

const std::vector<std::string> day = {appointment("08:00", "Berger", "Dr.Kurz", "", "101"),
                                      appointment("08:15", "Maier", "Dr.Lang", "", "102"),
                                      appointment("08:30", "Schulz", "Dr.Kurz", "", "103")};

// The day's list with the note of 08:15 (row 2 of `day`) written.
std::vector<std::string> day_with_note(const std::string& note) {
  std::vector<std::string> rows = day;
  rows[1] = appointment("08:15", "Maier", "Dr.Lang", note, "102");
  return rows;
}

// A list's columns as the program sets them: title and width; each column's cell goes into a
// text variable of its width.
struct column {
  std::string title;
  int32_t width;
};

class list_reload : public list_program_test {
 protected:
  // The practice's program with `day` in list 1 (the cursor on row 1) and the waiting room in
  // list 2, both on the screen; the periodic timer's label (every 5 s) counts its runs in
  // LADEN and builds list `reloaded` anew from `rows`, the cursor set again on row 2.  The
  // program runs up to its RETURN.
  static void run_practice(int32_t reloaded, const std::vector<std::string>& rows) {
    run_lists({{"Zeit", 5}, {"Patient", 12}, {"Arzt", 8}, {"Notiz", 20}, {"Nr", 4}}, day, reloaded, rows);
  }

  // The same program for list 1 of any columns (variables &1 .. &k), filled with `first`;
  // LADEN is the variable after them.  `pause_after` > 0: the timer's label pauses a third of
  // a second after that row of its refill (a slow fetch), and looks at the mouse then.  A
  // `file` named: the label loads the list from that file instead of `rows`.
  static void run_lists(const std::vector<column>& columns, const std::vector<std::string>& first, int32_t reloaded,
                        const std::vector<std::string>& rows, size_t pause_after = 0, const std::string& file = "") {
    program_text p;
    for (size_t k = 0; k < columns.size(); ++k)
      p.variables += program_text::ref('&', k + 1) + " S 0001*" + three_digits(columns[k].width) + ":V" +
                     std::to_string(k + 1) + "/\n";
    laden = static_cast<int32_t>(columns.size()) + 1;
    const std::string count = "&" + std::to_string(laden);
    p.variables += program_text::ref('&', columns.size() + 1) + " I 0001:LADEN/0\n";
    const auto fill = [&p, pause_after](int32_t list, const std::vector<std::string>& texts, bool timer) {
      const std::string n = std::to_string(list);
      p.code("/00000001 LSTMGR " + p.expr("#" + n + " #1 #80"));
      for (size_t r = 0; r < texts.size(); ++r) {
        p.code("/00000008 LSTMGR " + p.token(texts[r]) + " " + p.expr("#" + n + " #" + std::to_string(r + 1) + " #0"));
        if (timer && r + 1 == pause_after) p.code("/00000200 MOUSE " + p.expr("#300"));
      }
    };
    fill(1, first, false);
    fill(2, {"Berger 07:50", "Maier 08:05"}, false);
    p.code("/00004000 LSTMGR " + p.expr("#1 #1 #0"));
    p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #600 #200"));
    p.code("/00001000 BUTTON " + p.token("2") + " " + p.expr("#200 #240 #420 #50"));
    for (size_t k = 0; k < columns.size(); ++k)
      p.code("/00000004 LSTMGR " + p.token(columns[k].title) + " " +
             p.expr("#1 #" + std::to_string(k + 1) + " #" + std::to_string(columns[k].width)) + " " +
             p.second("&" + std::to_string(k + 1)));
    const size_t button_code = p.codes.size();
    p.code("BUTTON " + p.token("Speichern") + " " + p.expr("#20 #300 #120 #30"));
    run_with_timer(p, button_code, "AUS.TXT", "/00000044 EVENT", "5", [&](program_text&) {
      p.code(p.expr(count + " #1 _+ " + count + " __STO"));
      const std::string n = std::to_string(reloaded);
      if (file.empty()) fill(reloaded, rows, true);
      else p.code("/00002000 LSTMGR " + p.token(file) + " " + p.expr("#" + n + " #80 #0"));
      p.code("/00004000 LSTMGR " + p.expr("#" + n + " #2 #0"));
      p.code("/00000010 LSTMGR " + p.expr("#" + n + " #0 #0"));
    });
  }
  static std::string three_digits(int32_t n) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
  }
  static inline int32_t laden = 6;  // the variable that counts the timer's runs

  // Writes the lines as a file of the working directory.
  void write_file(const std::string& name, const std::vector<std::string>& lines) const {
    std::ofstream out(dir / name, std::ios::binary);
    for (const std::string& line : lines) out << line << "\n";
  }

  static int32_t reloads() { return ADRSPACE.get_int(variable_table.records[static_cast<size_t>(laden)].start); }

  // The timer's next tick brought forward: armed anew to come at once, it runs the label
  // through the window's own timer; once the label has run (a minute at the most, a safety
  // net) the timer goes back to every five seconds.
  static void reload_now() {
    const int32_t before = reloads();
    SET_TIMER(0.01f, timer_periodic);
    const QDeadlineTimer give_up(60000);
    while (reloads() == before && !give_up.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    SET_TIMER(5.0f, timer_periodic);
    ASSERT_GT(reloads(), before) << "the timer's label did not run";
  }

  // The shown main window, with the practice's program run up to its RETURN.
  QWidget* practice(int32_t reloaded, const std::vector<std::string>& rows) {
    QWidget* w = main_widget();
    if (w == nullptr) return nullptr;
    run_practice(reloaded, rows);
    if (!QTest::qWaitForWindowExposed(w->window())) return nullptr;
    return w;
  }

  // A point in column k of visible line `line` of list 1.
  static QPoint cell_point(int32_t line, int32_t k) {
    const list_record& l = list_of(3);
    return QPoint(l.x1 + l.tab_x[static_cast<size_t>(k)] + 10,
                  l.y1 + (line - 1) * list_table.line_height + list_table.line_height / 2);
  }
  // Clicks the cell of column k (the note of the practice) of visible line `line` of list 1.
  static void click_note(QWidget* w, int32_t line, int32_t k = 4) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, cell_point(line, k));
  }
  // The pixels of column k of visible line `line` of list 1 on the screen that are text (dark)
  // and that are the bar's (blue).
  static std::pair<int32_t, int32_t> text_and_bar_pixels(int32_t line, int32_t k) {
    int32_t handle = 0;
    screen_bitmap(0, handle);
    const QImage image = qnb::bitmap_image(handle)->copy();
    const list_record& l = list_of(3);
    int32_t text = 0, bar = 0;
    const int32_t top = l.y1 + (line - 1) * list_table.line_height;
    for (int32_t y = top; y < top + list_table.line_height - 3; ++y)
      for (int32_t x = l.x1 + l.tab_x[static_cast<size_t>(k)] + 2; x < l.x1 + l.tab_x[static_cast<size_t>(k) + 1] - 2; ++x) {
        const QRgb c = image.pixel(x, y);
        if (qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100) ++text;
        if (qBlue(c) > 100 && qRed(c) < 60 && qGreen(c) < 60) ++bar;
      }
    return {text, bar};
  }
  // Types the text key by key, each character with its key as a German keyboard gives it (the
  // key of "ö" is Qt's Ö).
  static void type(QWidget* w, const QString& text) {
    for (const QChar c : text)
      QTest::sendKeyEvent(QTest::Click, w, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c), Qt::NoModifier);
  }
  // Types the first part of a note into the open cell, lets the timer reload, types the rest
  // and ends the cell with Return.
  static void type_across_reload(QWidget* w, const QString& first, const QString& rest) {
    ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
    ASSERT_EQ(reloads(), 0) << "the timer ran before the user typed";
    type(w, first);
    reload_now();
    type(w, rest);
    QTest::keyClick(w, Qt::Key_Return);
  }
  // Return opened the next cell (the number): Esc leaves it as it was; then "Speichern" saves
  // list 1.  Returns the lines of the file it saved.
  std::vector<std::string> save(QWidget* w) {
    if (run_flags.field_input) QTest::keyClick(w, Qt::Key_Escape);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 315));
    return file_lines("AUS.TXT");
  }
};

TEST_F(list_reload, ANoteTypedAcrossAReloadLandsWholeInItsRecord) {
  QWidget* w = practice(1, day);
  ASSERT_NE(w, nullptr);
  const int32_t beeps = qn_last_sound().requests;
  click_note(w, 2);
  type_across_reload(w, "Blutdruck", " messen");
  EXPECT_EQ(save(w), day_with_note("Blutdruck messen"));
  EXPECT_EQ(qn_last_sound().requests, beeps) << "a key was refused";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, AReloadThatMovesTheRecordStoresTheNoteInItsNewRow) {
  // An appointment booked meanwhile at 08:05 takes row 2; 08:15 is row 3 now.
  const std::string booked = appointment("08:05", "Vogel", "Dr.Lang", "", "104");
  const std::vector<std::string> rows = {day[0], booked, day[1], day[2]};
  QWidget* w = practice(1, rows);
  ASSERT_NE(w, nullptr);
  click_note(w, 2);
  type_across_reload(w, QStringLiteral("R\u00f6nt"), "gen");
  // The bar (and the next cell that Return opened) stands on the record's row.
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(list_table.cell_area.row, 3);
  EXPECT_EQ(save(w), (std::vector<std::string>{day[0], booked, appointment("08:15", "Maier", "Dr.Lang", "R\xf6ntgen", "102"),
                                               day[2]}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, AReloadWithoutTheRecordStoresNothingAndBeeps) {
  debug_to_file();
  debug_mode(1);  // trace lines go to "$PXBDUMP.TXT"
  // The appointment at 08:15 was cancelled meanwhile.
  const std::vector<std::string> rows = {day[0], day[2]};
  QWidget* w = practice(1, rows);
  ASSERT_NE(w, nullptr);
  click_note(w, 2);
  const int32_t beeps = qn_last_sound().requests;
  type_across_reload(w, "Blutdruck", " messen");
  EXPECT_EQ(qn_last_sound().requests, beeps + 1) << "no beep";
  EXPECT_EQ(qn_last_sound().type, 0);
  EXPECT_NE(file_text("$PXBDUMP.TXT").find("lst_cell record gone"), std::string::npos);
  EXPECT_EQ(save(w), rows);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, ANoteTypedWithoutAReloadIsStored) {
  QWidget* w = practice(1, day);
  ASSERT_NE(w, nullptr);
  const int32_t beeps = qn_last_sound().requests;
  click_note(w, 2);
  ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
  type(w, "Blutdruck messen");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(save(w), day_with_note("Blutdruck messen"));
  EXPECT_EQ(reloads(), 0);
  EXPECT_EQ(qn_last_sound().requests, beeps) << "a key was refused";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, AReloadOfAnotherListLeavesTheCellAlone) {
  const std::vector<std::string> waiting = {"Schulz 08:20"};
  QWidget* w = practice(2, waiting);
  ASSERT_NE(w, nullptr);
  const int32_t beeps = qn_last_sound().requests;
  click_note(w, 2);
  type_across_reload(w, "Blutdruck", " messen");
  EXPECT_EQ(list_of(4).count, 1);
  EXPECT_EQ(save(w), day_with_note("Blutdruck messen"));
  EXPECT_EQ(qn_last_sound().requests, beeps) << "a key was refused";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// A list of one column: nothing lies outside the edited cell, so only the whole row tells its
// record from the others.
TEST_F(list_reload, InAListOfOneColumnTheChangedNameLandsInItsOwnRecord) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  run_lists({{"Name", 20}}, {"Eins", "Zwei", "Drei"}, 1, {"Neu", "Eins", "Zwei", "Drei"});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window()));
  const int32_t beeps = qn_last_sound().requests;
  click_note(w, 2, 1);
  for (int k = 0; k < 4; ++k) QTest::keyClick(w, Qt::Key_Backspace);
  type_across_reload(w, "ZW", "EI");
  EXPECT_EQ(save(w), (std::vector<std::string>{"Neu", "Eins", "ZWEI", "Drei"}));
  EXPECT_EQ(qn_last_sound().requests, beeps) << "a key was refused";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// Two columns, the second one blank in every row: the blank part tells no record.
TEST_F(list_reload, ABlankSecondColumnDoesNotMakeEveryRowTheRecord) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  run_lists({{"Name", 10}, {"Notiz", 20}}, {"Eins", "Zwei", "Drei"}, 1, {"Neu", "Eins", "Zwei", "Drei"});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window()));
  click_note(w, 2, 1);
  for (int k = 0; k < 4; ++k) QTest::keyClick(w, Qt::Key_Backspace);
  type_across_reload(w, "ZW", "EI");
  EXPECT_EQ(save(w), (std::vector<std::string>{"Neu", "Eins", "ZWEI", "Drei"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, TheFieldStandsOnItsRecordsLineRightAfterAReloadMovesIt) {
  // 08:05 is booked meanwhile: 08:15 goes from line 2 to line 3.
  const std::string booked = appointment("08:05", "Vogel", "Dr.Lang", "", "104");
  QWidget* w = practice(1, {day[0], booked, day[1], day[2]});
  ASSERT_NE(w, nullptr);
  click_note(w, 2);
  ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
  type(w, "Blutdruck");
  ASSERT_GT(text_and_bar_pixels(2, 4).first, 20) << "the field shows no text before the reload";
  reload_now();
  // Right after the reload's drawing: the typed note on Maier's line 3, nothing on Vogel's line
  // 2, and no bar anywhere over the list.
  const auto [text_2, bar_2] = text_and_bar_pixels(2, 4);
  const auto [text_3, bar_3] = text_and_bar_pixels(3, 4);
  EXPECT_EQ(text_2, 0) << "the note stands on Vogel's line";
  EXPECT_GT(text_3, 20) << "the note is not on Maier's line";
  for (int32_t line = 1; line <= 4; ++line)
    for (int32_t k = 1; k <= 5; ++k) EXPECT_EQ(text_and_bar_pixels(line, k).second, 0) << "a bar on line " << line;
  type(w, " m");
  EXPECT_GT(text_and_bar_pixels(3, 4).first, text_3) << "the keys after the reload are not shown on Maier's line";
  EXPECT_EQ(text_and_bar_pixels(2, 4).first, 0);
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(save(w), (std::vector<std::string>{day[0], booked, appointment("08:15", "Maier", "Dr.Lang", "Blutdruck m", "102"),
                                               day[2]}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, AFieldWhoseRecordAReloadLacksIsDrawnNowhereUntilAReloadBringsItBack) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // The first reload lacks 08:15; the second brings it back below 08:05, booked meanwhile.
  const std::string booked = appointment("08:05", "Vogel", "Dr.Lang", "", "104");
  write_file("TAG.TXT", {day[0], day[2]});
  run_lists({{"Zeit", 5}, {"Patient", 12}, {"Arzt", 8}, {"Notiz", 20}, {"Nr", 4}}, day, 1, {}, 0, "TAG.TXT");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window()));
  click_note(w, 2);
  ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
  type(w, "Blutdruck");
  reload_now();
  for (int32_t line = 1; line <= 3; ++line)
    EXPECT_EQ(text_and_bar_pixels(line, 4).first, 0) << "the note stands on line " << line << ", another record's";
  ASSERT_TRUE(run_flags.field_input) << "the cell was closed";
  write_file("TAG.TXT", {day[0], booked, day[1], day[2]});
  reload_now();
  EXPECT_GT(text_and_bar_pixels(3, 4).first, 20) << "the note is not on Maier's line";
  type(w, " messen");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(save(w), (std::vector<std::string>{day[0], booked, day_with_note("Blutdruck messen")[1], day[2]}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, AReloadThatMovesTheRecordOffThePageScrollsToItsField) {
  // Thirty appointments booked meanwhile before 08:15: its row is off the page now.
  std::vector<std::string> rows = {day[0]};
  for (int32_t k = 0; k < 30; ++k) rows.push_back(appointment("08:01", "Gast " + std::to_string(k), "Dr.Lang", "", "2" + std::to_string(k)));
  rows.push_back(day[1]);
  rows.push_back(day[2]);
  QWidget* w = practice(1, rows);
  ASSERT_NE(w, nullptr);
  click_note(w, 2);
  ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
  type(w, "Blutdruck");
  reload_now();
  const list_record& l = list_of(3);
  const int32_t line = 32 - l.top + 1;
  ASSERT_GE(line, 1) << "the list does not show the record's row";
  ASSERT_LE(line, l.page) << "the list does not show the record's row";
  EXPECT_GT(text_and_bar_pixels(line, 4).first, 20) << "the note is not on the record's line";
  EXPECT_EQ(text_and_bar_pixels(2, 4).first, 0) << "the note stands on line 2";
  QTest::keyClick(w, Qt::Key_Return);
  rows[31] = day_with_note("Blutdruck")[1];
  EXPECT_EQ(save(w), rows);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_reload, ANoteLandsInItsRecordWhoseDoctorAnotherDeskChanged) {
  std::vector<std::string> rows = day;
  rows[1] = appointment("08:15", "Maier", "Dr.Weiss", "", "102");
  QWidget* w = practice(1, rows);
  ASSERT_NE(w, nullptr);
  const int32_t beeps = qn_last_sound().requests;
  click_note(w, 2);
  type_across_reload(w, "Blutdruck", " messen");
  rows[1] = appointment("08:15", "Maier", "Dr.Weiss", "Blutdruck messen", "102");
  EXPECT_EQ(save(w), rows);
  EXPECT_EQ(qn_last_sound().requests, beeps) << "a key was refused";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// Another desk wrote a note into the same appointment meanwhile: the record is still the row
// (all but its note are the record's), and what this user typed replaces that note.
TEST_F(list_reload, ANoteTypedOverAnotherDesksNoteOfTheSameRecordReplacesIt) {
  const std::string booked = appointment("08:05", "Vogel", "Dr.Lang", "", "104");
  const std::vector<std::string> rows = {day[0], booked, appointment("08:15", "Maier", "Dr.Lang", "nuechtern", "102"),
                                         day[2]};
  QWidget* w = practice(1, rows);
  ASSERT_NE(w, nullptr);
  click_note(w, 2);
  type_across_reload(w, "Blutdruck", " messen");
  EXPECT_EQ(save(w), (std::vector<std::string>{day[0], booked,
                                               appointment("08:15", "Maier", "Dr.Lang", "Blutdruck messen", "102"), day[2]}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// A click on a cell while the timer's refill of the list is under way (it pauses after row 7,
// as for a slow fetch) is dropped, as every event that comes while a label runs: only its
// position is recorded.  What is typed after it was meant for the cell it pointed at: it acts
// nowhere (not in the cell open before, not on the bar's row, no new row), each key refused with
// a beep, until the user clicks again; then the cell clicked opens and takes the note.
TEST_F(list_reload, AClickDuringATimersRefillIsDroppedAndTheKeysAfterItActNowhere) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  std::vector<std::string> rows;
  for (int32_t r = 101; r <= 110; ++r) rows.push_back(std::to_string(r));
  run_lists({{"Nr", 4}, {"Notiz", 20}}, rows, 1, rows, 7);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window()));
  // The note of row 2 is open.  The click on row 5's note and a key after it wait in the queue;
  // the timer ticks, and the refill's pause lets the window system's input in while the label
  // runs.
  click_note(w, 2, 2);
  ASSERT_TRUE(run_flags.field_input) << "the click opened no cell";
  const QPointF at(cell_point(5, 2));
  const QPointF global(w->mapToGlobal(at));
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                                                 Qt::NoModifier));
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                                                 Qt::NoModifier));
  QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "Z"));
  qn_control(timer_periodic, 0);
  ASSERT_EQ(reloads(), 1);
  EXPECT_EQ(list_table.cell_area.row, 2) << "the click made while the label ran opened a cell";
  const int32_t beeps = qn_last_sound().requests;
  QTest::keyClick(w, Qt::Key_End);
  QTest::keyClick(w, Qt::Key_Backspace);
  type(w, "Notiz A");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(qn_last_sound().requests, beeps + 10) << "a key after the dropped click was not refused";
  click_note(w, 5, 2);
  ASSERT_EQ(list_table.cell_area.row, 5) << "the click after the refused keys opened no cell";
  type(w, "Notiz A");
  QTest::keyClick(w, Qt::Key_Return);
  std::vector<std::string> saved = save(w);
  rows[4] = "105  Notiz A";
  EXPECT_EQ(saved, rows);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

}  // namespace
