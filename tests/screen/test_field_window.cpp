// Format fields, list cells and the clipboard on the real main window: what the user sees in the
// window's picture and what the program's hot keys do, driven by synthesized keys and clicks.
#include <QImage>
#include <QTest>

#include <string>

#include "commands/test_dispatcher_fixture.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

class field_window : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    field_input_reset();
    reset_lists();
  }
  void TearDown() override {
    field_input_reset();
    reset_lists();
    areas_reset();
    events_fixture::TearDown();
  }
  static QImage picture() { return qnb::window_picture(main_window()); }
  // Black pixels (the text colour) inside the rectangle.
  static int32_t text_pixels(const QImage& image, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    int32_t count = 0;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x) count += (image.pixel(x, y) & 0xFFFFFF) == 0 ? 1 : 0;
    return count;
  }
  // Program: a format field at (20, 20) bound to the integer N (123), a plain button beside it,
  // and F2 bound to label 5, which records 5.
  static void field_program() {
    load_pxb({"/00000008 BUTTON %0001 @0001 &0002", "BUTTON %0003 @0003", "HOTKEY :0005 @0002", "RETURN", "PIXEL :0005",
              "RETURN"},
             {"#20 #20 #80 #20", "&1", "#200 #20 #60 #24"}, {"F", "F2", "OK"});
    ADRSPACE.set_int(variable_table.records[1].start, 123);
    interpreter(1);
    look_do_paint();
  }
  static int32_t value() { return ADRSPACE.get_int(variable_table.records[1].start); }
  static QPoint in_field() { return QPoint(area(1).x1 + 10, area(1).y1 + 8); }
  int32_t field_text_pixels() {
    const area_record& a = area(1);
    return text_pixels(picture(), a.x1 + 2, a.y1 + 2, a.x2 - 2, a.y2 - 2);
  }
};

TEST_F(field_window, FormatFieldShowsItsValueWhenSetUpAndWhenTheUserLeavesIt) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  field_program();
  const QImage set_up = picture();
  EXPECT_GT(field_text_pixels(), 0) << "the field is blank after BUTTON";

  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  ASSERT_TRUE(run_flags.field_input);
  QTest::keyClicks(w, "4");
  QTest::keyClick(w, Qt::Key_Tab);  // to the OK button
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_EQ(value(), 1234);
  EXPECT_EQ(area_table.state.focus, 2);
  EXPECT_GT(field_text_pixels(), 0) << "the field is blank after Tab";
  EXPECT_FALSE(picture() == set_up) << "the field does not show the new value";

  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  QTest::keyClicks(w, "9");
  QTest::keyClick(w, Qt::Key_Escape);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_EQ(value(), 1234);
  EXPECT_GT(field_text_pixels(), 0) << "the field is blank after Esc";

  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_GT(field_text_pixels(), 0) << "the field is blank after Return";
  EXPECT_TRUE(boxes.empty());
}

TEST_F(field_window, AfterReturnInAFormatFieldTheHotKeysRunAgain) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  field_program();
  area(2).enabled = 0;  // Return's focus move comes back to the field itself
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  ASSERT_TRUE(run_flags.field_input);
  QTest::keyClicks(w, "4");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(value(), 1234);
  EXPECT_FALSE(run_flags.field_input);
  QTest::keyClick(w, Qt::Key_F2);
  EXPECT_EQ(ran(), std::vector<int32_t>{5});
  // Tab still opens the field it moves to.
  QTest::keyClick(w, Qt::Key_Tab);
  EXPECT_TRUE(run_flags.field_input);
  EXPECT_TRUE(boxes.empty());
}

// Return in a format field stores it and, like Tab, opens the next field, which takes the keys.
TEST_F(field_window, ReturnInAFormatFieldOpensTheNextField) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  load_pxb({"/00000008 BUTTON %0001 @0001 &0002", "/00000008 BUTTON %0003 @0001 &0002", "RETURN"},
           {"#20 #20 #80 #20", "&1", "#20 #60 #80 #20"}, {"F"});
  ADRSPACE.set_int(variable_table.records[1].start, 123);
  interpreter(1);
  look_do_paint();
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  ASSERT_TRUE(run_flags.field_input);
  QTest::keyClicks(w, "4");
  QTest::keyClick(w, Qt::Key_Return);
  EXPECT_EQ(value(), 1234);
  EXPECT_TRUE(run_flags.field_input);
  EXPECT_EQ(field_input_state().area, 2);
  EXPECT_EQ(area_table.state.focus, 2);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(field_window, CtrlCAndCtrlVUseTheDesktopClipboard) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  field_program();
  qn_set_clipboard_text("x");
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
  std::string copied;
  ASSERT_TRUE(qn_clipboard_text(copied));
  EXPECT_EQ(copied, "123");
  // Another program's text: its first line goes in at the cursor, as far as the field takes it.
  qn_set_clipboard_text("45\r\n67");
  QTest::keyClick(w, Qt::Key_Home);
  QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(field_input_state().text, "45123");
  QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClick(w, Qt::Key_Tab);
  EXPECT_EQ(value(), 123);
}

// A text field's letters, its text cursor and a click into it use one measure: after ten narrow
// letters the cursor stands right after the last one drawn, and a click just right of the drawn
// text puts the cursor at the text's end.
TEST_F(field_window, TextCursorAndClickFollowTheLettersDrawn) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  // The input-field font that the start-up makes.
  struct start_up_font {
    start_up_font() { fixed_font = SELECT_FONT({.face = "Courier", .points = 10.0f}); }
    ~start_up_font() { fixed_font = 0; }
  } font;
  load_pxb({"/00000008 BUTTON %0001 @0001 &0002", "RETURN"}, {"#20 #20 #300 #20", "&1"}, {"F"},
           {"&0001 S 0001*030:NAME"});
  interpreter(1);
  look_do_paint();
  const area_record a = area(1);
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, in_field());
  ASSERT_TRUE(run_flags.field_input);
  QTest::keyClicks(w, "iiiiiiiiii");
  QTest::keyClick(w, Qt::Key_End);  // the field is drawn afresh with its cursor
  const QImage image = picture();
  const auto dark = [&](int32_t x, int32_t y) { return qGray(image.pixel(x, y)) < 128; };
  // The cursor: the column that is dark over the field's whole inside height.
  int32_t cursor = -1;
  for (int32_t x = a.x1 + 3; x <= a.x2 - 2 && cursor < 0; ++x) {
    bool full = true;
    for (int32_t y = a.y1 + 3; y <= a.y2 - 3 && full; ++y) full = dark(x, y);
    if (full) cursor = x;
  }
  ASSERT_GT(cursor, 0) << "no text cursor drawn";
  // The letters' right end: the last dark column left of the cursor.
  int32_t end = -1;
  for (int32_t x = a.x1 + 3; x < cursor; ++x)
    for (int32_t y = a.y1 + 3; y <= a.y2 - 3; ++y)
      if (dark(x, y)) end = x;
  ASSERT_GT(end, 0) << "no letters drawn";
  for (int32_t x = cursor + 1; x <= a.x2 - 3; ++x)
    for (int32_t y = a.y1 + 3; y <= a.y2 - 3; ++y) ASSERT_FALSE(dark(x, y)) << "letters right of the cursor at x=" << x;
  EXPECT_LE(cursor - end, 6) << "the letters end at x=" << end << ", the cursor stands at x=" << cursor;

  QTest::keyClick(w, Qt::Key_Home);
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(end + 2, (a.y1 + a.y2) / 2));
  QTest::keyClicks(w, "X");
  EXPECT_EQ(field_input_state().text, "iiiiiiiiiiX");
  EXPECT_TRUE(boxes.empty());
}

// ---------------------------------------------------------------- list cells

class list_cell_window : public field_window {
 protected:
  // List 1 (record 3) in edit mode: column 1 typed into the text variable NAME, column 2 fixed.
  void SetUp() override {
    field_window::SetUp();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=2\nUPNCODES=1\nUPNTOKENS=10\nTEXTTOKENS=1\nTEXTCHARACTERS=100\n"
        "VARIABLES=1\nSTRINGSPACE=100\nADRSPACE=20\n[VARIABLES]\n&0001 S 0001*009:NAME\n[UPNCODES]\n"
        "[TEXTTOKENS]\n[LABELS]\n[CODES]\nRETURN\n");
  }
  QWidget* list_window() {
    QWidget* w = window();
    focused_edit_list(1);
    return w;
  }
  // The list's rows as the window shows them.
  static QImage rows() {
    const list_record& l = list_of(3);
    return picture().copy(l.x1 - 2, l.y1 - 5, l.x2 - l.x1 + 5, l.y2 - l.y1 + 5);
  }
};

TEST_F(list_cell_window, StoredOrAbandonedCellIsDrawnInTheListsOwnLook) {
  QWidget* w = list_window();
  ASSERT_NE(w, nullptr);
  const list_record& l = list_of(3);
  QTest::keyClick(w, Qt::Key_Down);  // the list draws its bar
  QTest::keyClick(w, Qt::Key_Up);
  QTest::keyClick(w, Qt::Key_Right);
  ASSERT_EQ(l.tab_column, 2);
  const QImage bar_on_ort = rows();
  QTest::keyClick(w, Qt::Key_Left);
  ASSERT_EQ(l.tab_column, 1);
  ASSERT_EQ(l.cursor, 1);
  const QImage bar_on_name = rows();
  ASSERT_FALSE(bar_on_ort == bar_on_name);

  // A click on the name of row 1 opens its input field; Tab stores it and goes on to column 2.
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(l.x1 + 12, l.y1 + 6));
  ASSERT_TRUE(run_flags.field_input);
  ASSERT_TRUE(run_flags.list_cell_input);
  QTest::keyClick(w, Qt::Key_Tab);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_EQ(lst_get_row(3, 1, 14), "Meier     Bonn");
  EXPECT_TRUE(rows() == bar_on_ort) << "the input field is still drawn in the list after Tab";

  // Space opens the cell from the keyboard; Esc abandons it.
  QTest::keyClick(w, Qt::Key_Left);
  QTest::keyClick(w, Qt::Key_Space);
  ASSERT_TRUE(run_flags.list_cell_input);
  QTest::keyClicks(w, "X");
  QTest::keyClick(w, Qt::Key_Escape);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_EQ(lst_get_row(3, 1, 14), "Meier     Bonn");
  EXPECT_TRUE(rows() == bar_on_name) << "the input field is still drawn in the list after Esc";

  // A changed name is stored, and the row shows it.
  QTest::keyClick(w, Qt::Key_Space);
  QTest::keyClick(w, Qt::Key_Home);
  QTest::keyClick(w, Qt::Key_Delete);
  QTest::keyClicks(w, "S");
  QTest::keyClick(w, Qt::Key_Tab);
  EXPECT_EQ(lst_get_row(3, 1, 14), "Seier     Bonn");
  EXPECT_FALSE(rows() == bar_on_ort);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
