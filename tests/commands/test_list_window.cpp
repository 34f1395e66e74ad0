// Lists of a program through the real main window: the program fills its list from a file,
// shows it with BUTTON and lets the user edit cells; the clicks and keys come as Qt input on the
// window.  Each test checks what the program sees or writes: the file that its "Speichern"
// button saves the list to, and the cursor that LSTMGR reads.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"
#include "list_program.h"

namespace {

class list_window : public list_program_test {
 protected:
  // Writes the lines as a file of the working directory.
  void write_lines(const std::string& name, const std::vector<std::string>& lines) const {
    std::ofstream out(dir / name, std::ios::binary);
    for (const std::string& line : lines) out << line << "\n";
  }

  // The start of an editing program: list 1 from `file` (rows of `length` characters; first
  // made by an allocation when `allocate`), the cursor on row 1, shown at (20, 20) 600 x 200,
  // with the columns given as (width, variable number, title); a button "Speichern" at
  // (20, 300) saves the list to AUS.TXT.  The program runs up to its RETURN.
  static void run_editor(const std::string& variables, const std::string& file, int32_t length, bool allocate,
                         const std::vector<std::tuple<int32_t, int32_t, std::string>>& columns) {
    program_text p;
    p.variables = variables;
    const std::string len = std::to_string(length);
    if (allocate) p.code("/00000001 LSTMGR " + p.expr("#1 #3 #" + len));
    p.code("/00002000 LSTMGR " + p.token(file) + " " + p.expr("#1 #" + len + " #0"));
    p.code("/00004000 LSTMGR " + p.expr("#1 #1 #0"));
    const std::string list_area = "/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #600 #200");
    const size_t list_code = p.codes.size();
    p.code(list_area);
    for (size_t k = 0; k < columns.size(); ++k) {
      const auto& [width, variable, title] = columns[k];
      p.code("/00000004 LSTMGR " + p.token(title) + " " +
             p.expr("#1 #" + std::to_string(k + 1) + " #" + std::to_string(width)) + " " +
             p.second("&" + std::to_string(variable)));
    }
    const std::string button = "BUTTON " + p.token("Speichern") + " " + p.expr("#20 #300 #120 #30");
    const size_t button_code = p.codes.size();
    p.code(button);
    p.code("RETURN");
    const std::string save = p.next_label();
    p.code("/00001000 LSTMGR " + p.token("AUS.TXT") + " " + p.expr("#1 #0 #0"));
    p.code("RETURN");
    p.codes[list_code] += " " + save;
    p.codes[button_code] += " " + save;
    load_program_image(p.text());
    interpreter(1);
  }

  // A point on visible line `line` of list 1, `x` pixels right of its text rectangle's left.
  static QPoint on_line(int32_t line, int32_t x) {
    const list_record& l = list_of(3);
    return QPoint(l.x1 + x, l.y1 + (line - 1) * list_table.line_height + list_table.line_height / 2);
  }
  // The left of tab column k of list 1, pixels from its text rectangle's left.
  static int32_t column_x(int32_t k) { return list_of(3).tab_x[static_cast<size_t>(k)]; }

  // Clicks the point, types `keys` into the cell input that opens and ends it with Return.
  static void edit_cell(QWidget* w, QPoint where, const QString& keys) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, where);
    if (!keys.isEmpty()) QTest::keyClicks(w, keys);
    QTest::keyClick(w, Qt::Key_Return);
  }
  // A move to the point followed at once by a click there, as the window system hands over a
  // quick user's (or xdotool's) input: all three events wait in the queue until the runtime
  // takes them, so the click arrives while the move is still being handled.
  static void move_and_click(QWidget* w, QPoint where) {
    const QPointF at(where);
    const QPointF global(w->mapToGlobal(at));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton,
                                                   Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
    QCoreApplication::processEvents();
  }
  // The part shared by the timer programs: list 1, its rows loaded, with the cursor on row 1 on
  // the screen in edit mode with the columns Nr (6 characters, variable 1) and Name (10,
  // variable 2), and a button "Speichern".  Returns the index of the button's code record, to
  // which the caller adds the label.
  static size_t nr_name_list(program_text& p) {
    p.code("/00004000 LSTMGR " + p.expr("#1 #1 #0"));
    p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #600 #200"));
    p.code("/00000004 LSTMGR " + p.token("Nr") + " " + p.expr("#1 #1 #6") + " " + p.second("&1"));
    p.code("/00000004 LSTMGR " + p.token("Name") + " " + p.expr("#1 #2 #10") + " " + p.second("&2"));
    const size_t button_code = p.codes.size();
    p.code("BUTTON " + p.token("Speichern") + " " + p.expr("#20 #300 #120 #30"));
    return button_code;
  }
  // List 1 in edit mode (Nr 6 and Name 10 characters wide) from LISTE1.TXT, which holds `rows`,
  // on the screen, with a button "Speichern" that saves it to AUS1.TXT; the program opens the
  // Name cell of row `row` itself (LSTMGR 0x9) and sets a one-shot timer whose label is made of
  // the code lines that `timer` adds to the program.  The program runs up to its RETURN.
  template <typename Timer>
  void run_with_open_cell(const std::vector<std::string>& rows, int32_t row, Timer timer) {
    write_lines("LISTE1.TXT", rows);
    program_text p;
    p.variables = "&0001 I 0001:NR/0\n&0002 S 0001*010:NAME/\n";
    p.code("/00000001 LSTMGR " + p.expr("#1 #3 #40"));
    p.code("/00002000 LSTMGR " + p.token("LISTE1.TXT") + " " + p.expr("#1 #40 #0"));
    const size_t button_code = nr_name_list(p);
    p.code("/00000009 LSTMGR " + p.expr("#1 #" + std::to_string(row) + " #2"));
    run_with_timer(p, button_code, "AUS1.TXT", "/00000004 EVENT", "10", timer);
  }
  // The one-shot timer ticks (as the library delivers its ticks) while the cell is open; then the
  // user presses End, types X and presses Return (and Esc, where Return opened another cell).
  static void tick_then_type_x(QWidget* w) {
    ASSERT_GT(event_labels.one_shot, 0);
    ASSERT_TRUE(run_flags.field_input) << "the program opened no cell";
    qn_control(timer_one_shot, 0);
    QTest::keyClick(w, Qt::Key_End);
    QTest::keyClicks(w, "X");
    QTest::keyClick(w, Qt::Key_Return);
    if (run_flags.field_input) QTest::keyClick(w, Qt::Key_Escape);
  }
  // The program of run_with_open_cell run up to its RETURN; then its timer ticks while the user
  // types X into the open cell (tick_then_type_x), and "Speichern" saves the list.  Returns the
  // lines of AUS1.TXT.
  template <typename Timer>
  std::vector<std::string> saved_after_timer(const std::vector<std::string>& rows, int32_t row, Timer timer) {
    QWidget* w = main_widget();
    if (w == nullptr) return {"no main window"};
    run_with_open_cell(rows, row, timer);
    tick_then_type_x(w);
    return save(w, "AUS1.TXT");
  }
  // Colour k of the colour table as a pixel of the screen shows it.
  static QRgb table_colour(int32_t k) {
    const uint32_t c = colour_table[static_cast<size_t>(k)];  // 0x00BBGGRR
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  }
  std::vector<std::string> saved_after_copy(const std::vector<std::string>& copied);
  // Clicks "Speichern"; returns the lines of the file it saved.
  std::vector<std::string> save(QWidget* w, const std::string& file = "AUS.TXT") {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 315));
    return file_lines(file);
  }
};

// Customer rows of 400 characters: a name in the cell 1..31, the delivery note at 281..313.
std::string customer(const std::string& name, const std::string& note) {
  std::string row = name;
  row.resize(31, ' ');
  row.resize(280, '.');
  row += note;
  row.resize(400, '-');
  return row;
}

TEST_F(list_window, EditingACellKeepsTheRestOfALongRow) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  const std::string note = "Lieferung nur vormittags, Tor 3 ";
  const std::vector<std::string> rows = {customer("Meier", "Abholung"), customer("Huber", note), customer("Schulz", "x")};
  write_lines("KUNDEN.TXT", rows);
  run_editor("&0001 S 0001*030:NAME/\n", "KUNDEN.TXT", 400, true, {{30, 1, "Name"}});
  ASSERT_EQ(list_of(3).count, 3);

  edit_cell(w, on_line(2, 20), "XY");
  const std::vector<std::string> saved = save(w);
  ASSERT_EQ(saved.size(), 3u) << "the list was not saved";
  EXPECT_NE(saved[1].substr(0, 30).find("XY"), std::string::npos) << saved[1].substr(0, 30);
  EXPECT_EQ(saved[1].substr(30), rows[1].substr(30));
  EXPECT_EQ(saved[0], rows[0]);
  EXPECT_EQ(saved[2], rows[2]);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, CopyingTheMarkedRowsKeepsThemWhole) {
  const std::vector<std::string> rows = {"1" + customer("Meier", "Abholung"), "0" + customer("Huber", "Tor 3"),
                                         "1" + customer("Schulz", "Hinterhof")};
  write_lines("MARKEN.TXT", rows);
  // List 1 of 401-character rows from MARKEN.TXT; its marked rows go into list 2 without their
  // marks; list 2 is saved to AUS.TXT.
  program_text p;
  p.variables = "&0001 I 0001:DUMMY/0\n";
  p.code("/00000001 LSTMGR " + p.expr("#1 #3 #401"));
  p.code("/00002000 LSTMGR " + p.token("MARKEN.TXT") + " " + p.expr("#1 #401 #0"));
  p.code("/00010440 LSTMGR " + p.expr("#1 #2 #0"));
  p.code("/00001000 LSTMGR " + p.token("AUS.TXT") + " " + p.expr("#2 #0 #0"));
  p.code("RETURN");
  load_program_image(p.text());
  interpreter(1);
  EXPECT_EQ(file_lines("AUS.TXT"), (std::vector<std::string>{rows[0].substr(1), rows[2].substr(1)}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AListFilledOnlyByLoadingItsFileCanBeEdited) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("KUNDEN.TXT", {"Meier      Bonn", "Huber      Koeln", "Schulz     Ulm"});
  run_editor("&0001 S 0001*010:NAME/\n", "KUNDEN.TXT", 40, false, {{10, 1, "Name"}});
  ASSERT_EQ(list_of(3).count, 3);

  edit_cell(w, on_line(2, 20), "XY");
  const std::vector<std::string> saved = save(w);
  ASSERT_EQ(saved.size(), 3u) << "the list was not saved";
  EXPECT_NE(saved[1].find("XY"), std::string::npos) << saved[1];
  EXPECT_EQ(saved[1].substr(11), "Koeln");
  EXPECT_EQ(saved[0], "Meier      Bonn");
}

TEST_F(list_window, AClickOnACellThatIsNoNumberNeverBringsAnotherRowsValue) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("PREISE.TXT", {"Apfel       7,50", "Birne       -", "Kirsche     1.234,50"});
  run_editor("&0001 S 0001*010:NAME/\n&0002 R 0001:PREIS/0\n", "PREISE.TXT", 40, true,
             {{10, 1, "Name"}, {10, 2, "Preis"}});

  // Row 1's price is opened and stored as it is; then the "-" of row 2 and the "1.234,50" of
  // row 3 are opened and stored unchanged: they open as the keyboard opens them, with 0, and
  // never with row 1's 7,50.
  edit_cell(w, on_line(1, column_x(2) + 10), "");
  edit_cell(w, on_line(2, column_x(2) + 10), "");
  edit_cell(w, on_line(3, column_x(2) + 10), "");
  const std::vector<std::string> saved = save(w);
  ASSERT_GE(saved.size(), 3u) << "the list was not saved";
  EXPECT_EQ(saved[0], "Apfel          7,50");
  EXPECT_EQ(saved[1], "Birne          0,00");
  EXPECT_EQ(saved[2].find("7,50"), std::string::npos) << saved[2];
}

TEST_F(list_window, AClickRightAfterAMoveOpensTheCell) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("KUNDEN.TXT", {"Meier      Bonn", "Huber      Koeln", "Schulz     Ulm"});
  run_editor("&0001 S 0001*010:NAME/\n", "KUNDEN.TXT", 40, true, {{10, 1, "Name"}});

  move_and_click(w, on_line(2, 20));
  ASSERT_TRUE(run_flags.field_input) << "the click opened no input";
  QTest::keyClicks(w, "XY");
  QTest::keyClick(w, Qt::Key_Return);
  const std::vector<std::string> saved = save(w);
  ASSERT_EQ(saved.size(), 3u) << "the list was not saved";
  EXPECT_NE(saved[1].find("XY"), std::string::npos) << saved[1];
  EXPECT_EQ(saved[0], "Meier      Bonn");
}

TEST_F(list_window, ALoadFromAShorterFileBringsTheRedrawIntoTheNewRows) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  std::vector<std::string> long_rows;
  for (int k = 1; k <= 200; ++k) long_rows.push_back("Lang " + std::to_string(k));
  write_lines("LANG.TXT", long_rows);
  write_lines("KURZ.TXT", {"Kurz 1", "Kurz 2", "Kurz 3"});
  // List 1 from LANG.TXT on the screen with the cursor on row 100, redrawn; then loaded from
  // KURZ.TXT and redrawn; CUR := the cursor row as LSTMGR reads it.
  program_text p;
  p.variables = "&0001 I 0001:CUR/0\n";
  p.code("/00000001 LSTMGR " + p.expr("#1 #1 #40"));
  p.code("/00002000 LSTMGR " + p.token("LANG.TXT") + " " + p.expr("#1 #40 #0"));
  p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #300 #200"));
  p.code("/00004000 LSTMGR " + p.expr("#1 #100 #0"));
  p.code("/00000010 LSTMGR " + p.expr("#1 #0 #0"));
  p.code("/00002000 LSTMGR " + p.token("KURZ.TXT") + " " + p.expr("#1 #40 #0"));
  p.code("/00000010 LSTMGR " + p.expr("#1 #0 #0"));
  p.code(p.expr("#1 _LSTMGR &1 __STO"));
  p.code("RETURN");
  load_program_image(p.text());
  interpreter(1);
  const int32_t cursor = ADRSPACE.get_int(variable_table.records[1].start);
  EXPECT_GE(cursor, 1);
  EXPECT_LE(cursor, 3);

  // Every row shows on its line: text pixels, of another colour than the line's ground (white,
  // or the bar on the cursor's line), in the first columns of lines 1..3.
  int32_t handle = 0;
  screen_bitmap(0, handle);
  const QImage image = qnb::bitmap_image(handle)->copy();
  const list_record& l = list_of(3);
  for (int32_t line = 1; line <= 3; ++line) {
    std::map<QRgb, int32_t> colours;
    for (int32_t y = l.y1 + (line - 1) * list_table.line_height; y < l.y1 + line * list_table.line_height - 3; ++y)
      for (int32_t x = l.x1; x < l.x1 + 6 * list_table.char_width; ++x) colours[image.pixel(x, y)] += 1;
    int32_t all = 0, ground = 0;
    for (const auto& [colour, n] : colours) all += n, ground = std::max(ground, n);
    EXPECT_GT(all - ground, 10) << "line " << line << " shows nothing";
  }
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, ARedrawAfterALoadShowsTheCursorTheFileGives) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("ERST.TXT", {"Erst 1", "Erst 2", "Erst 3", "Erst 4", "Erst 5", "Erst 6"});
  // A header: 5 rows, the cursor on row 4.
  write_lines("STAND.TXT", {"5 4", "Stand 1", "Stand 2", "Stand 3", "Stand 4", "Stand 5"});
  // List 1 from ERST.TXT on the screen with the cursor on row 1; the button "Laden" loads
  // STAND.TXT with its header, redraws the list and reads its cursor into CUR.
  program_text p;
  p.variables = "&0001 I 0001:CUR/0\n";
  p.code("/00000001 LSTMGR " + p.expr("#1 #1 #40"));
  p.code("/00002000 LSTMGR " + p.token("ERST.TXT") + " " + p.expr("#1 #40 #0"));
  p.code("/00004000 LSTMGR " + p.expr("#1 #1 #0"));
  p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #300 #200"));
  p.code("/00000010 LSTMGR " + p.expr("#1 #0 #0"));
  const std::string button = "BUTTON " + p.token("Laden") + " " + p.expr("#20 #300 #120 #30");
  const size_t button_code = p.codes.size();
  p.code(button);
  p.code("RETURN");
  const std::string load = p.next_label();
  p.code("/00002020 LSTMGR " + p.token("STAND.TXT") + " " + p.expr("#1 #40 #0"));
  p.code("/00000010 LSTMGR " + p.expr("#1 #0 #0"));
  p.code(p.expr("#1 _LSTMGR &1 __STO"));
  p.code("RETURN");
  p.codes[button_code] += " " + load;
  load_program_image(p.text());
  interpreter(1);

  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 315));
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[1].start), 4);
  // The bar stands on line 4 and on no other line: its line is mostly of the bar's colour.
  int32_t handle = 0;
  screen_bitmap(0, handle);
  const QImage image = qnb::bitmap_image(handle)->copy();
  const list_record& l = list_of(3);
  for (int32_t line = 1; line <= 5; ++line) {
    int32_t white = 0, all = 0;
    for (int32_t y = l.y1 + (line - 1) * list_table.line_height; y < l.y1 + line * list_table.line_height - 3; ++y)
      for (int32_t x = l.x1; x < l.x2; ++x, ++all) white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
    if (line == 4)
      EXPECT_LT(white * 2, all) << "no bar on line 4";
    else
      EXPECT_GT(white * 2, all) << "a bar on line " << line;
  }
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellFieldIsTheListsOnlyMark) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("KUNDEN.TXT", {"Meier      Bonn", "Huber      Koeln", "Schulz     Ulm"});
  run_editor("&0001 S 0001*010:NAME/\n", "KUNDEN.TXT", 40, true, {{10, 1, "Name"}});
  // Row 1's name is stored, which leaves the cell's bar on row 1; then row 3's name opens.
  edit_cell(w, on_line(1, 20), "XY");
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, on_line(3, 20));
  ASSERT_TRUE(run_flags.field_input) << "the click opened no input";

  // No pixel of the bar's colour shows in the list outside the open field.
  int32_t handle = 0;
  screen_bitmap(0, handle);
  const QImage image = qnb::bitmap_image(handle)->copy();
  const list_record& l = list_of(3);
  const list_cell_area& field = list_table.cell_area;
  const QRect inside(QPoint(field.x1, field.y1), QPoint(field.x2, field.y2));
  std::map<int32_t, int32_t> bar_pixels;  // by line
  for (int32_t y = l.y1; y < l.y1 + l.page * list_table.line_height; ++y)
    for (int32_t x = l.x1; x < l.x2; ++x) {
      const QRgb c = image.pixel(x, y);
      if (!inside.contains(x, y) && qBlue(c) > 100 && qRed(c) < 60 && qGreen(c) < 60)
        bar_pixels[(y - l.y1) / list_table.line_height + 1] += 1;
    }
  EXPECT_TRUE(bar_pixels.empty()) << "a bar on line " << bar_pixels.begin()->first;
}

TEST_F(list_window, ATimersLabelOnAnotherListLeavesTheTypedCellInItsOwnList) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  const std::vector<std::string> first = {"  1001 Alpha", "  1002 Beta", "  1003 Gamma"};
  const std::vector<std::string> second = {"  2001 Rot", "  2002 Gelb", "  2003 Blau"};
  write_lines("LISTE1.TXT", first);
  write_lines("LISTE2.TXT", second);
  // List 1 in edit mode (Nr, Name) on the screen, list 2 with three rows; the periodic timer's
  // label reads row 1 of list 2 and loads list 2 again; "Speichern" saves both lists.
  program_text p;
  p.variables = "&0001 I 0001:NR/0\n&0002 S 0001*010:NAME/\n&0003 S 0001*040:ZEILE/\n";
  for (const char* list : {"1", "2"}) {
    p.code("/00000001 LSTMGR " + p.expr(std::string("#") + list + " #3 #40"));
    p.code("/00002000 LSTMGR " + p.token(std::string("LISTE") + list + ".TXT") + " " + p.expr(std::string("#") + list + " #40 #0"));
  }
  const size_t button_code = nr_name_list(p);
  const size_t event_code = p.codes.size();
  p.code("/00000044 EVENT");
  p.code("RETURN");
  p.codes[button_code] += " " + p.next_label();
  p.code("/00001000 LSTMGR " + p.token("AUS1.TXT") + " " + p.expr("#1 #0 #0"));
  p.code("/00001000 LSTMGR " + p.token("AUS2.TXT") + " " + p.expr("#2 #0 #0"));
  p.code("RETURN");
  p.codes[event_code] += " " + p.next_label() + " " + p.second("#10");
  p.code(p.expr("#2 #1 _LSTEL &3 __STO"));
  p.code("/00002000 LSTMGR " + p.token("LISTE2.TXT") + " " + p.expr("#2 #40 #0"));
  p.code("RETURN");
  load_program_image(p.text());
  interpreter(1);
  ASSERT_EQ(list_of(3).count, 3);
  ASSERT_GT(event_labels.periodic, 0);

  // The user opens the Name cell of row 2, presses End, types X and Return; the timer ticks
  // while the cell is open (as the library delivers its ticks to the dispatcher).
  const auto tick = [] { qn_control(timer_periodic, 0); };
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, on_line(2, column_x(2) + 10));
  ASSERT_TRUE(run_flags.field_input) << "the click opened no input";
  tick();
  QTest::keyClick(w, Qt::Key_End);
  QTest::keyClicks(w, "X");
  tick();
  QTest::keyClick(w, Qt::Key_Return);
  QTest::keyClick(w, Qt::Key_Escape);  // Return opened the next cell: it is left as it was
  const std::vector<std::string> saved = save(w, "AUS1.TXT");
  EXPECT_EQ(saved, (std::vector<std::string>{first[0], "  1002 BetaX", first[2]}));
  EXPECT_EQ(file_lines("AUS2.TXT"), second);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

const std::vector<std::string> three_rows = {"  1001 Alpha", "  1002 Beta", "  1003 Gamma"};

TEST_F(list_window, AnOpenCellFollowsItsRowWhenATimerErasesAnEarlierRow) {
  const auto erase_row_1 = [](program_text& p) { p.code("/00010000 LSTMGR " + p.expr("#1 #1 #0")); };
  EXPECT_EQ(saved_after_timer(three_rows, 3, erase_row_1), (std::vector<std::string>{"  1002 Beta", "  1003 GammaX"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellFollowsItsRecordWhenATimerSortsTheList) {
  const auto sort = [](program_text& p) { p.code("/00000200 LSTMGR " + p.expr("#1 #0 #0")); };
  EXPECT_EQ(saved_after_timer({"  3001 Gamma", "  1001 Alpha", "  2001 Beta"}, 1, sort),
            (std::vector<std::string>{"  1001 Alpha", "  2001 Beta", "  3001 GammaX"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellFollowsItsRowWhenATimerInsertsARowBeforeIt) {
  const auto insert_at_1 = [](program_text& p) {
    p.code("/00008000 LSTMGR " + p.token("  1000 Neu") + " " + p.expr("#1 #1 #0"));
  };
  EXPECT_EQ(saved_after_timer(three_rows, 2, insert_at_1),
            (std::vector<std::string>{"  1000 Neu", "  1001 Alpha", "  1002 BetaX", "  1003 Gamma"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellOnTheNewRowStaysANewRowWhenATimerAppendsOne) {
  const auto append = [](program_text& p) {
    p.code("/00000008 LSTMGR " + p.token("  1004 Delta") + " " + p.expr("#1 #4 #0"));
  };
  EXPECT_EQ(saved_after_timer(three_rows, 4, append),
            (std::vector<std::string>{"  1001 Alpha", "  1002 Beta", "  1003 Gamma", "  1004 Delta", "       X"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

const auto load_short_list = [](program_text& p) {
  p.code("/00002000 LSTMGR " + p.token("KURZ.TXT") + " " + p.expr("#1 #40 #0"));
};

TEST_F(list_window, AnOpenCellWhoseListATimerLoadsAnewStoresIntoItsRecordsNewRow) {
  write_lines("KURZ.TXT", {"  4001 Delta", "  1003 Gamma"});
  EXPECT_EQ(saved_after_timer(three_rows, 3, load_short_list), (std::vector<std::string>{"  4001 Delta", "  1003 GammaX"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellWhoseListATimerLoadsAnewStoresNothingWhereItsRecordIsGone) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  write_lines("KURZ.TXT", {"  4001 Delta"});
  run_with_open_cell(three_rows, 3, load_short_list);
  const int32_t beeps = qn_last_sound().requests;
  // The cell stays open across the load; its Return finds no row of its record and beeps.
  tick_then_type_x(w);
  EXPECT_EQ(qn_last_sound().requests, beeps + 1) << "no beep";
  EXPECT_EQ(save(w, "AUS1.TXT"), (std::vector<std::string>{"  4001 Delta"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

// The first rows of list 1 after its timer's label copied list 2, loaded from LISTE2.TXT that
// holds `copied`, into it while X was typed into the Name cell of row 3 ("  1003 Gamma"): as
// many rows as list 2 has (the copy has as many as list 2's store has room for, the rest blank).
std::vector<std::string> list_window::saved_after_copy(const std::vector<std::string>& copied) {
  write_lines("LISTE2.TXT", copied);
  std::vector<std::string> saved = saved_after_timer(three_rows, 3, [](program_text& p) {
    p.code("/00000001 LSTMGR " + p.expr("#2 #3 #40"));
    p.code("/00002000 LSTMGR " + p.token("LISTE2.TXT") + " " + p.expr("#2 #40 #0"));
    p.code("/00000400 LSTMGR " + p.expr("#2 #1 #0"));
  });
  saved.resize(copied.size());
  return saved;
}

TEST_F(list_window, AnOpenCellWhoseListATimerCopiesAnotherListIntoStoresIntoTheNearestRowOfItsRecord) {
  // List 2 holds the record twice.
  EXPECT_EQ(saved_after_copy({"  1003 Gamma", "  2001 Rot", "  1001 Alpha", "  1003 Gamma"}),
            (std::vector<std::string>{"  1003 Gamma", "  2001 Rot", "  1001 Alpha", "  1003 GammaX"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellTakesTheNearestOfThreeRowsOfItsRecordNotTheLast) {
  EXPECT_EQ(saved_after_copy({"  1003 Gamma", "  2001 Rot", "  1001 Alpha", "  1003 Gamma", "  1002 Beta", "  1003 Gamma"}),
            (std::vector<std::string>{"  1003 Gamma", "  2001 Rot", "  1001 Alpha", "  1003 GammaX", "  1002 Beta",
                                      "  1003 Gamma"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellTakesTheEarlierOfTwoRowsOfItsRecordAsNear) {
  EXPECT_EQ(saved_after_copy({"  1001 Alpha", "  1003 Gamma", "  2001 Rot", "  1003 Gamma"}),
            (std::vector<std::string>{"  1001 Alpha", "  1003 GammaX", "  2001 Rot", "  1003 Gamma"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellOnTheNewRowStaysTheNewRowWhenATimerLoadsTheListAnew) {
  write_lines("KURZ.TXT", {"  4001 Delta"});
  EXPECT_EQ(saved_after_timer(three_rows, 4, load_short_list), (std::vector<std::string>{"  4001 Delta", "       X"}));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellLeftBehindByATimersNewLevelStoresAndDrawsNothing) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // The timer's label opens a level and covers the list with a cyan box.
  run_with_open_cell(three_rows, 3, [](program_text& p) {
    p.code("/00000004 SUBMEN");
    p.code("/00000001 BOX " + p.expr("#3 #10 #10 #620 #220"));
  });
  const list_record& l = list_of(3);
  const QRect list_rect(QPoint(l.x1, l.y1), QPoint(l.x2, l.y2));
  const auto list_image = [&] {
    int32_t handle = 0;
    screen_bitmap(0, handle);
    return qnb::bitmap_image(handle)->copy(list_rect);
  };
  ASSERT_GT(event_labels.one_shot, 0);
  qn_control(timer_one_shot, 0);
  ASSERT_EQ(level_pointer(), 2);
  EXPECT_FALSE(run_flags.field_input) << "the cell of the level below is still open";
  const QImage covered = list_image();
  ASSERT_EQ(covered.pixel(covered.width() / 2, covered.height() / 2), table_colour(3))
      << "the box does not cover the list";
  QTest::keyClick(w, Qt::Key_End);
  QTest::keyClicks(w, "X");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_TRUE(list_image() == covered) << "the list was drawn over the new level";
  EXPECT_EQ(lst_get_row(3, 3, 12), "  1003 Gamma");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AnOpenCellLeftBehindByATimersRunChainStoresNothing) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // The timer's label chains to a program of one variable that only returns.
  program_text chained;
  chained.variables = "&0001 I 0001:ANDERS/0\n";
  chained.code("RETURN");
  write_lines("KETTE.PXB", {chained.text()});
  run_with_open_cell(three_rows, 3,
                     [](program_text& p) { p.code("/00000001 RUN " + p.token("KETTE.PXB")); });
  tick_then_type_x(w);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_EQ(lst_get_row(3, 3, 12), "  1003 Gamma");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, ACellWhoseListLeftEditModeLeavesNoTraceForTheNextField) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // The timer's label takes list 1 out of edit mode, covers it with a cyan box and makes a
  // format field of NAME below it.
  run_with_open_cell(three_rows, 3, [](program_text& p) {
    p.code("/00000004 LSTMGR " + p.token("-") + " " + p.expr("#1 #0 #0") + " " + p.second("&2"));
    p.code("/00000001 BOX " + p.expr("#3 #10 #10 #620 #220"));
    p.code("/00000008 BUTTON " + p.expr("#20 #250 #200 #20") + " " + p.token("N") + " " + p.second("&2"));
  });
  tick_then_type_x(w);
  const list_record& l = list_of(3);
  const QPoint middle((l.x1 + l.x2) / 2, (l.y1 + l.y2) / 2);
  const auto list_pixel = [&] {
    int32_t handle = 0;
    screen_bitmap(0, handle);
    return qnb::bitmap_image(handle)->pixel(middle);
  };
  const QRgb covered = list_pixel();
  ASSERT_EQ(covered, table_colour(3)) << "the box does not cover the list";
  // The user types a name into the new field and drops it with Esc: the field goes, and the
  // list under the box is not drawn again.
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(100, 260));
  ASSERT_TRUE(run_flags.field_input) << "the click opened no field";
  QTest::keyClicks(w, "Hans");
  QTest::keyClick(w, Qt::Key_Escape);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_EQ(list_pixel(), covered) << "the list was drawn over the box";
  EXPECT_EQ(lst_get_row(3, 3, 12), "  1003 Gamma");
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(list_window, AListsSliderFollowsItsAreasWhenAnEarlierAreaIsDeleted) {
  QWidget* w = main_widget();
  ASSERT_NE(w, nullptr);
  // A button, then list 1 with 100 rows and its slider (areas 2 to 5), then the button deleted;
  // then the cursor on row 80 and the list redrawn.
  program_text p;
  p.variables = "&0001 I 0001:DUMMY/0\n";
  p.code("BUTTON " + p.token("Weiter") + " " + p.expr("#20 #300 #120 #30"));
  p.code("/00000001 LSTMGR " + p.expr("#1 #100 #40"));
  p.code("/00001000 BUTTON " + p.token("1") + " " + p.expr("#20 #20 #300 #200"));
  p.code("/00010000 BTNMGR " + p.expr("#1"));
  p.code("/00004000 LSTMGR " + p.expr("#1 #80 #0"));
  p.code("/00000010 LSTMGR " + p.expr("#1 #0 #0"));
  p.code("RETURN");
  load_program_image(p.text());
  interpreter(1);
  ASSERT_EQ(area_table.count, 4);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  const list_record& l = list_of(3);
  ASSERT_EQ(l.slider_area, 3);
  const int32_t thumb = area(3).text_x;
  EXPECT_GT(thumb, 0) << "the thumb did not follow the top row";

  // The user clicks the slider's lower arrow: the list scrolls and the thumb follows.
  const int32_t top = l.top;
  const area_record& arrow = area(4);
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint((arrow.x1 + arrow.x2) / 2, (arrow.y1 + arrow.y2) / 2));
  EXPECT_GT(l.top, top);
  EXPECT_EQ(area(3).slider_percent, std::clamp(static_cast<int32_t>(std::lround(l.top * 100.0 / l.count)), 0, 100));
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

}  // namespace
