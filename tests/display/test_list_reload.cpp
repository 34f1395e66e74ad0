// A list that a timer reloads while the user types into one of its cells, through the real main
// window on the virtual X server: a doctor's practice keeps its day's appointments (time,
// patient, doctor, note, number) in list 1 in edit mode, and every five seconds its timer's label
// builds the list anew (allocate, one put per row, the cursor set again, the list drawn), as
// from a database.  The user clicks a note, types, and ends it with Return; what the program's
// "Speichern" button saves shows where the typed text went.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

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

class list_reload : public list_program_test {
 protected:
  // The practice's program with `day` in list 1 (the cursor on row 1) and the waiting room in
  // list 2, both on the screen; the periodic timer's label (every 5 s) counts its runs in
  // LADEN and builds list `reloaded` anew from `rows`, the cursor set again on row 2.  The
  // program runs up to its RETURN.
  static void run_practice(int32_t reloaded, const std::vector<std::string>& rows) {
    program_text p;
    p.variables =
        "&0001 S 0001*005:ZEIT/\n&0002 S 0001*012:PATIENT/\n&0003 S 0001*008:ARZT/\n&0004 S 0001*020:NOTIZ/\n"
        "&0005 I 0001:NR/0\n&0006 I 0001:LADEN/0\n";
    const auto fill = [&p](int32_t list, const std::vector<std::string>& texts) {
      const std::string n = std::to_string(list);
      p.code("/00000001 LSTMGR " + p.expr("#" + n + " #1 #80"));
      for (size_t r = 0; r < texts.size(); ++r)
        p.code("/00000008 LSTMGR " + p.token(texts[r]) + " " + p.expr("#" + n + " #" + std::to_string(r + 1) + " #0"));
    };
    fill(1, day);
    fill(2, {"Berger 07:50", "Maier 08:05"});
    p.code("/00004000 LSTMGR " + p.expr("#1 #1 #0"));
    p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #600 #200"));
    p.code("/00001000 BUTTON " + p.token("2") + " " + p.expr("#200 #240 #420 #50"));
    const char* titles[] = {"Zeit", "Patient", "Arzt", "Notiz", "Nr"};
    const int32_t widths[] = {5, 12, 8, 20, 4};
    for (int32_t k = 1; k <= 5; ++k)
      p.code("/00000004 LSTMGR " + p.token(titles[k - 1]) + " " +
             p.expr("#1 #" + std::to_string(k) + " #" + std::to_string(widths[k - 1])) + " " +
             p.second("&" + std::to_string(k)));
    const size_t button_code = p.codes.size();
    p.code("BUTTON " + p.token("Speichern") + " " + p.expr("#20 #300 #120 #30"));
    run_with_timer(p, button_code, "AUS.TXT", "/00000044 EVENT", "5", [&](program_text&) {
      p.code(p.expr("&6 #1 _+ &6 __STO"));
      fill(reloaded, rows);
      const std::string n = std::to_string(reloaded);
      p.code("/00004000 LSTMGR " + p.expr("#" + n + " #2 #0"));
      p.code("/00000010 LSTMGR " + p.expr("#" + n + " #0 #0"));
    });
  }

  static int32_t reloads() { return ADRSPACE.get_int(variable_table.records[6].start); }

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

  // Clicks the note of visible line `line` of list 1.
  static void click_note(QWidget* w, int32_t line) {
    const list_record& l = list_of(3);
    const QPoint at(l.x1 + l.tab_x[4] + 10, l.y1 + (line - 1) * list_table.line_height + list_table.line_height / 2);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
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

}  // namespace
