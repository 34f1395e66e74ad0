// Cell editing of edit-mode lists: starting input from the program, the mouse and the
// keyboard, storing the typed cell, and the cell cursor of Left and Right.
#include <string>
#include <vector>

#include "runtime/program/program_image.h"
#include "runtime/screen/field_output.h"
#include "runtime/program/upn_store.h"
#include "test_list_fixture.h"

namespace {

constexpr int32_t v_int = 1, v_real = 2, v_text = 3, v_pointer = 4;

class list_edit_test : public list_test {
 protected:
  void SetUp() override {
    list_test::SetUp();
    ensure_test_application();
    list_table.line_height = 16;
    list_table.char_width = 8;
    mouse_state = mouse_state_t{};
    alloc_variable_space(4);
    alloc_array_space(20);
    STRING_BUFFER.blank();
    define(v_int, var_integer, 1);
    define(v_real, var_real, 2);
    define(v_text, var_text, 8);
    define(v_pointer, var_pointer, 3);
    field_output_reset();
  }
  void TearDown() override {
    free_variable_space();
    alloc_array_space(0);
    mouse_state = mouse_state_t{};
    list_test::TearDown();
  }

  static void define(int32_t v, int32_t type, int32_t where) {
    variable_record var{};
    var.name.fill(' ');
    var.name[0] = static_cast<char>('A' + v);
    var.type = type;
    var.dimension = 1;
    var.width = type == var_integer ? 4 : 6;
    var.decimals = type == var_real ? 1 : 0;
    if (type == var_text) {
      var.start = where;  // element length
      var.text_start = 1;
      var.text_end = where;
      var.width = where;
    } else {
      var.start = where;
    }
    define_variable(v, var);
  }

  // List 4 with three rows of three cells: columns of 4, 6 and 8 characters bound to the
  // integer, real and text variables.
  void edit_list() {
    int32_t status = 0;
    allocate_xmm(4, 3, 40, status);
    lst_put_row(4, 1, "  12 3,5    hello");
    lst_put_row(4, 2, "   7 1,25   world");
    lst_put_row(4, 3, "xx   abc    third");
    list_record& l = list_of(4);
    l.x1 = 20;
    l.y1 = 40;
    l.width = 30;
    l.page = 5;
    l.hilite_right = 240;
    l.x2 = 260;
    l.y2 = 40 + 5 * 16;
    l.top = 1;
    l.cursor = 1;
    for (int32_t k = 1; k <= 21; ++k) l.tab_col[static_cast<size_t>(k)] = 1;
    l.tab_x.fill(0);
    lst_tab(4, 1, 4, v_int, "Menge");
    lst_tab(4, 2, 6, v_real, "Preis");
    lst_tab(4, 3, 8, v_text, "Name");
    for (int32_t k = 1; k <= 3; ++k) l.tab_label[static_cast<size_t>(k)] = 100 + k;
    list_table.current = 4;
    lst_draw();
  }
  static int32_t int_value() { return ADRSPACE.get_int(1); }
  static float real_value() { return ADRSPACE.get_real(2); }
  static std::string text_value() { return std::string(STRING_BUFFER.view(1, 8)); }
};

TEST_F(list_edit_test, TabsGiveCellPositions) {
  edit_list();
  const list_record& l = list_of(4);
  EXPECT_EQ(l.tab_col[2], 6);
  EXPECT_EQ(l.tab_col[3], 13);
  EXPECT_EQ(l.tab_col[4], 22);
  EXPECT_EQ(l.tab_x[2], -1 + 5 * 8);
}

TEST_F(list_edit_test, ProgramStartedEditFillsTheVariableAndTheInputArea) {
  edit_list();
  lst_edit_select_mouse(4, 2, 1);
  const list_record& l = list_of(4);
  EXPECT_EQ(l.cursor, 2);
  EXPECT_EQ(l.tab_column, 1);
  EXPECT_EQ(l.hilite_line, 2);
  EXPECT_TRUE(l.edit_started);
  EXPECT_FALSE(l.hilite_drawn);
  EXPECT_TRUE(run_flags.list_cell_input);
  EXPECT_EQ(int_value(), 7);
  const list_cell_area& a = list_table.cell_area;
  EXPECT_TRUE(a.shown);
  EXPECT_EQ(a.type, 11000);
  EXPECT_EQ(a.kind, 2);
  EXPECT_EQ(a.list, 4);
  EXPECT_EQ(a.label, 101);
  EXPECT_EQ(a.variable, v_int);
  EXPECT_EQ(a.x1, 20 - 1 - 2);
  EXPECT_EQ(a.y1, 40 - 4 + 16);
  EXPECT_EQ(a.x2, 20 + 39 - 1);
  EXPECT_EQ(a.y2, 40 - 4 + 32);
  EXPECT_EQ(l.saved_cursor, 2);
}

TEST_F(list_edit_test, CellTextsGoIntoVariablesByType) {
  edit_list();
  list_record& l = list_of(4);
  // Each cell's input is ended before the next one opens: one input field at a time.
  const auto next_cell = [&l](int32_t column) {
    run_flags.field_input = false;
    l.tab_column = column;
    lst_edit_select(4, 9, true);
  };
  next_cell(2);
  EXPECT_FLOAT_EQ(real_value(), 3.5f);  // decimal comma read as a point
  next_cell(3);
  EXPECT_EQ(text_value(), "hello   ");
  // Not a number: 0 from the keyboard.
  l.cursor = 3;
  ADRSPACE.set_int(1, 55);
  next_cell(1);
  EXPECT_EQ(int_value(), 0);
  ADRSPACE.set_real(2, 9.0f);
  next_cell(2);
  EXPECT_FLOAT_EQ(real_value(), 0.0f);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(list_edit_test, MousePathGivesARealZeroWhenTheCellIsNoNumber) {
  edit_list();
  ADRSPACE.set_real(2, 9.0f);  // the value of the cell edited before
  lst_edit_start_mouse(4, 3, 2, 50, 3);
  EXPECT_FLOAT_EQ(real_value(), 0.0f);
  EXPECT_EQ(list_of(4).cursor, 3);
  EXPECT_EQ(list_of(4).hilite_line, 3);
  EXPECT_EQ(list_table.cell_area.label, 50);
}

TEST_F(list_edit_test, OtherVariableTypesAreReportedAndInputStartsAllTheSame) {
  edit_list();
  list_of(4).tab_var[1] = v_pointer;
  lst_edit_select_mouse(4, 1, 1);
  EXPECT_EQ(last_box(), "Output-Typ falsch !");
  EXPECT_TRUE(run_flags.list_cell_input);
}

TEST_F(list_edit_test, ColumnWithoutVariableIgnoresTheKeyboardAndClicksThrough) {
  edit_list();
  list_record& l = list_of(4);
  l.tab_var[2] = 0;
  l.tab_column = 2;
  lst_edit_select(4, 9, true);
  EXPECT_FALSE(run_flags.list_cell_input);
  // A left click on that column: clicked at once, no input.
  mouse_state = {20 + 50, 40 + 5, 1};
  bool clicked = false;
  lst_mouse(4, 9, clicked);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_FALSE(run_flags.list_mouse_active);
}

TEST_F(list_edit_test, ClickOnAnEditableCellStartsInput) {
  edit_list();
  list_of(4).hilite_line = 1;
  mouse_state = {20 + 100, 40 + 16 + 3, 1};  // line 2, column 3
  bool clicked = true;
  lst_mouse(4, 33, clicked);
  EXPECT_FALSE(clicked);
  EXPECT_EQ(list_of(4).tab_column, 3);
  EXPECT_EQ(list_of(4).cursor, 2);
  EXPECT_EQ(text_value(), "world   ");
  EXPECT_EQ(list_table.cell_area.label, 33);
  EXPECT_EQ(list_of(4).tab_label[20], 33);
}

TEST_F(list_edit_test, ClickBelowTheLastRowOpensANewRowAndStoringAppendsIt) {
  edit_list();
  list_of(4).hilite_line = 1;
  mouse_state = {20 + 100, 40 + 3 * 16 + 3, 1};  // line 4 = the row after the last
  bool clicked = false;
  lst_mouse(4, 33, clicked);
  EXPECT_EQ(list_of(4).cursor, 4);
  EXPECT_EQ(text_value(), "        ");
  STRING_BUFFER.write(1, 8, "neu");
  lst_edit_store();
  EXPECT_EQ(list_of(4).count, 4);
  EXPECT_EQ(lst_get_row(4, 4, 21), padded("            neu", 21));
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_FALSE(list_table.cell_area.shown);
  EXPECT_EQ(list_table.status_text, padded("   4. 3: Name", 60));
}

TEST_F(list_edit_test, StoringWritesTheFormattedVariableIntoTheCell) {
  edit_list();
  lst_edit_select_mouse(4, 1, 1);
  ADRSPACE.set_int(1, 345);
  lst_edit_store();
  const std::string row = lst_get_row(4, 1, 20);
  EXPECT_EQ(row.substr(0, 5), " 345 ");  // the cell of 4 characters, the rest unchanged
  EXPECT_EQ(row.substr(5), padded("3,5    hello", 15));
  EXPECT_TRUE(list_of(4).hilite_drawn);
  EXPECT_EQ(list_of(4).hilite_left, -1);
  EXPECT_EQ(list_of(4).hilite_right, 38);
  EXPECT_FALSE(list_of(4).edit_started);
}

TEST_F(list_edit_test, ACellWhoseRowIsErasedClosesAndStoresNothing) {
  edit_list();
  lst_edit_select_mouse(4, 3, 1);
  // The list lost the cell's row and the one before while the cell was open: it is closed, and
  // a store that still comes writes no row (the one left keeps its text) and reports nothing.
  lst_erase(4, 3);
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_FALSE(run_flags.field_input);
  lst_erase(4, 2);
  ADRSPACE.set_int(1, 345);
  lst_edit_store();
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_EQ(list_of(4).count, 1);
  EXPECT_EQ(lst_get_row(4, 1, 21), padded("  12 3,5    hello", 21));
}

TEST_F(list_edit_test, LeftAndRightStepThroughCellsAndRows) {
  edit_list();
  list_record& l = list_of(4);
  l.cursor = 2;
  l.tab_column = 1;
  l.hilite_line = 2;
  left_right_list(4, 1);
  EXPECT_EQ(l.tab_column, 2);
  EXPECT_EQ(l.hilite_left, l.tab_x[2]);
  EXPECT_TRUE(l.hilite_drawn);
  left_right_list(4, 1);
  left_right_list(4, 1);  // from the last column to column 1 of the next row
  EXPECT_EQ(l.cursor, 3);
  EXPECT_EQ(l.tab_column, 1);
  left_right_list(4, -1);  // back to the last column of the row above
  EXPECT_EQ(l.cursor, 2);
  EXPECT_EQ(l.tab_column, 3);
  EXPECT_EQ(list_table.status_text, padded("   2. 3: Name", 60));
  // Right from the last column of the last row opens the row after it.
  l.cursor = 3;
  l.tab_column = 3;
  left_right_list(4, 1);
  EXPECT_EQ(l.cursor, 4);
  EXPECT_EQ(l.tab_column, 1);
  left_right_list(4, 1);
  left_right_list(4, 1);
  left_right_list(4, 1);  // the last column of row count+1: nothing further
  EXPECT_EQ(l.cursor, 4);
  EXPECT_EQ(l.tab_column, 3);
  // Left on column 1 of row 1 does nothing.
  l.cursor = 1;
  l.tab_column = 1;
  left_right_list(4, -1);
  EXPECT_EQ(l.cursor, 1);
  EXPECT_EQ(l.tab_column, 1);
}

TEST_F(list_edit_test, LeftRightAfterAProgramStartedEditOnlyRedrawsTheBar) {
  edit_list();
  lst_edit_select_mouse(4, 2, 2);
  left_right_list(4, 1);
  EXPECT_EQ(list_of(4).tab_column, 2);
  EXPECT_FALSE(list_of(4).edit_started);
  EXPECT_TRUE(list_of(4).hilite_drawn);
  left_right_list(4, 1);
  EXPECT_EQ(list_of(4).tab_column, 3);
}

TEST_F(list_edit_test, LeftRightIgnoresListsOutsideEditMode) {
  edit_list();
  list_of(4).edit_mode = false;
  list_of(4).tab_column = 1;
  left_right_list(4, 1);
  EXPECT_EQ(list_of(4).tab_column, 1);
}

// The rule that finds the record of an open cell in a rebuilt list, on lists that leave it
// little to go by.  edit_list's columns: Menge 1..4, Preis 6..11, Name 13..20 (a blank before
// each).
class record_rule_test : public list_edit_test {
 protected:
  // List 4 of edit_list holding `rows` instead of its own.
  void rebuilt(const std::vector<std::string>& rows) {
    edit_list();
    int32_t status = 0;
    allocate_xmm(4, static_cast<int32_t>(rows.size()), 40, status);
    for (size_t r = 0; r < rows.size(); ++r) lst_put_row(4, static_cast<int32_t>(r) + 1, rows[r]);
  }
  // The tab columns cut down to the first k.
  static void columns(int32_t k) { list_of(4).tab_count = k; }
  // A row of the three columns and the characters after them.
  static std::string row(const std::string& menge, const std::string& preis, const std::string& name,
                         const std::string& rest = "") {
    return padded(menge, 5) + padded(preis, 7) + padded(name, 9) + rest;
  }
};

TEST_F(record_rule_test, EveryRowEqualOrTwoRecordsDifferingOnlyInTheCell) {
  rebuilt({"   1 2,0    gleich", "   1 2,0    gleich", "   1 2,0    gleich", "   1 2,0    gleich"});
  EXPECT_EQ(lst_record_row(4, "   1 2,0    gleich", 3, 3), 3);
  // The whole row before a row that is equal outside the cell, however near that one is.
  rebuilt({"   1 2,0    anders", "   1 2,0    gleich"});
  EXPECT_EQ(lst_record_row(4, "   1 2,0    gleich", 3, 1), 2);
  // Neither holds the cell's text any more: the nearest of the two equal outside it.
  rebuilt({"   1 2,0    x", "   1 2,0    y"});
  EXPECT_EQ(lst_record_row(4, "   1 2,0    gleich", 3, 2), 2);
  EXPECT_EQ(lst_record_row(4, "   1 2,0    gleich", 3, 1), 1);
}

TEST_F(record_rule_test, BlankOtherColumnsTellNoRecord) {
  // One column: the name is the whole row.
  rebuilt({"Neu", "Eins", "Zwei", "Drei"});
  columns(1);
  EXPECT_EQ(lst_record_row(4, "Zwei", 1, 2), 3);
  EXPECT_EQ(lst_record_row(4, "Zwo", 1, 2), 0) << "a row that is blank outside the cell was taken";
  // Three columns, the others blank in every row.
  columns(3);
  EXPECT_EQ(lst_record_row(4, "Zwo", 1, 2), 0);
  EXPECT_EQ(lst_record_row(4, "", 3, 2), 0) << "a blank record is no row's";
  EXPECT_EQ(lst_record_row(4, "Eins", 1, 4), 2);
}

TEST_F(record_rule_test, ARecordWithOtherColumnsChangedIsTheOneRowAgreeingInMostOfThem) {
  // The price of the record changed: it agrees in the amount and the rest.
  rebuilt({row("   1", "2,0", "a"), row("   7", "9,5", "b"), row("   1", "3,0", "c", "Rest")});
  EXPECT_EQ(lst_record_row(4, row("   1", "2,5", "x", "Rest"), 3, 1), 3);
  // Every other column changed: no row is the record.
  EXPECT_EQ(lst_record_row(4, row("   5", "6,0", "x", "Mehr"), 3, 1), 0);
  // Two rows agree as well: neither is plainly the record.
  rebuilt({row("   1", "2,0", "a", "Rest"), row("   1", "3,0", "b", "Rest")});
  EXPECT_EQ(lst_record_row(4, row("   1", "2,5", "x", "Rest"), 3, 1), 0);
  // Half of the other columns is not most of them.
  rebuilt({row("   1", "2,0", "a")});
  EXPECT_EQ(lst_record_row(4, row("   1", "2,5", "x"), 3, 1), 0);
}

}  // namespace
