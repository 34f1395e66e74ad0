// The list manager's rows, cursor, tabs, marks and the evaluator's list functions.
#include <string>

#include "runtime/program/expression/evaluator.h"
#include "test_list_fixture.h"

using list_manager_test = list_test;

TEST_F(list_manager_test, PutRowAppendsAtCountPlusOneOnly) {
  make_list(3, {"a", "b"});
  lst_put_row(3, 3, "c");
  EXPECT_EQ(list_of(3).count, 3);
  EXPECT_EQ(row(3, 3), padded("c"));
  lst_put_row(3, 5, "e");
  EXPECT_EQ(list_of(3).count, 3);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text.substr(0, 21), "lstmgr/output falsch:");
  EXPECT_EQ(boxes.back().text.substr(21, 1), "e");
  lst_put_row(3, 0, "zero");
  EXPECT_EQ(boxes.size(), 2u);
  // Overwriting within the list.
  lst_put_row(3, 2, "B2");
  EXPECT_EQ(row(3, 2), padded("B2"));
  EXPECT_EQ(list_of(3).count, 3);
}

TEST_F(list_manager_test, RowsAreCutToTheRowLengthAndReadBlankOutsideTheList) {
  make_list(4, {"x"});
  lst_put_row(4, 1, "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(row(4, 1, 30), padded("abcdefghijklmnopqrst", 30));
  EXPECT_EQ(row(4, 2), padded(""));
  EXPECT_EQ(row(4, 0), padded(""));
  EXPECT_EQ(row(4, -5), padded(""));
  EXPECT_EQ(row(9, 1), padded(""));  // bad list: blanks, no message
  EXPECT_TRUE(boxes.empty());
}

TEST_F(list_manager_test, NulCutEndsTheStoredTextAtItsFirstNul) {
  int32_t status = 0;
  allocate_xmm(3, 1, 20, status);
  const char text[] = {'A', 'B', '\0', 'C', 'D'};
  lst_put_row(3, 1, text, 5);
  EXPECT_EQ(row(3, 1), padded("AB"));
  // Without nul_cut (negative list number at allocation) the NUL is kept.
  allocate_xmm(-4, 1, 20, status);
  lst_put_row(4, 1, text, 5);
  EXPECT_EQ(row(4, 1).substr(0, 5), std::string(text, 5));
  // The rule also holds for inserted rows.
  lst_insert(3, 1, text, 5);
  EXPECT_EQ(row(3, 1), padded("AB"));
}

TEST_F(list_manager_test, InsertMovesLaterRowsDown) {
  make_list(3, {"a", "b", "c"});
  lst_insert(3, 2, "new");
  EXPECT_EQ(list_of(3).count, 4);
  EXPECT_EQ(row(3, 1), padded("a"));
  EXPECT_EQ(row(3, 2), padded("new"));
  EXPECT_EQ(row(3, 3), padded("b"));
  EXPECT_EQ(row(3, 4), padded("c"));
  lst_insert(3, 5, "end");
  EXPECT_EQ(row(3, 5), padded("end"));
  lst_insert(3, 7, "bad");
  EXPECT_EQ(list_of(3).count, 5);
  EXPECT_EQ(boxes.back().text.substr(0, 21), "lstmgr/insert falsch:");
  // Inserting across the capacity grows the store.
  make_list(5, {});
  for (int32_t i = 0; i < 25; ++i) lst_insert(5, 1, std::to_string(i));
  EXPECT_EQ(list_of(5).count, 26);
  EXPECT_EQ(row(5, 1), padded("24"));
  EXPECT_EQ(row(5, 25), padded("0"));
}

TEST_F(list_manager_test, EraseMovesRowsUpAndClampsTheCursor) {
  make_list(3, {"a", "b", "c", "d"});
  list_of(3).cursor = 4;
  list_of(3).top = 4;
  list_of(3).saved_cursor = 4;
  lst_erase(3, 2);
  EXPECT_EQ(list_of(3).count, 3);
  EXPECT_EQ(row(3, 1), padded("a"));
  EXPECT_EQ(row(3, 2), padded("c"));
  EXPECT_EQ(row(3, 3), padded("d"));
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(list_of(3).top, 3);
  EXPECT_EQ(list_of(3).saved_cursor, 3);
  // The old last row is blank in the store.
  std::string old(20, '?');
  xmm_get(13, old.data(), 4);
  EXPECT_EQ(old, padded(""));
  lst_erase(3, 4);
  EXPECT_EQ(last_box(), "lstmgr/erase falsch!");
  EXPECT_EQ(list_of(3).count, 3);
}

TEST_F(list_manager_test, ErasingTheOnlyRowLeavesOneBlankRow) {
  make_list(6, {"only"});
  lst_erase(6, 1);
  EXPECT_EQ(list_of(6).count, 1);
  EXPECT_EQ(row(6, 1), padded(""));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(list_manager_test, SetCursorScrollsOnlyForPositiveRows) {
  make_list(3, {"a", "b", "c"});
  list_of(3).page = 10;
  list_of(3).top = 2;
  lst_set_cursor(3, -3);
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(list_of(3).saved_cursor, 3);
  EXPECT_EQ(list_of(3).top, 2);
  list_of(3).top = 5;
  lst_set_cursor(3, 3);
  EXPECT_EQ(list_of(3).cursor, 3);
  EXPECT_EQ(list_of(3).top, 1);
  lst_set_cursor(3, 4);   // beyond count: nothing
  lst_set_cursor(3, -4);  // beyond count: nothing
  EXPECT_EQ(list_of(3).cursor, 3);

  int32_t status = 0;
  allocate_xmm(4, 50, 20, status);
  list_of(4).page = 10;
  list_of(4).top = 1;
  lst_set_cursor(4, 30);  // not the last row: one line of room below
  EXPECT_EQ(list_of(4).top, 22);
  lst_set_cursor(4, 50);  // the last row: on the last line
  EXPECT_EQ(list_of(4).top, 41);
  lst_set_cursor(4, 45);  // visible: no scrolling
  EXPECT_EQ(list_of(4).top, 41);
  lst_set_cursor(4, 0);
  EXPECT_EQ(list_of(4).cursor, 0);
  EXPECT_EQ(list_of(4).top, 1);
}

TEST_F(list_manager_test, SortOrdersRowsAndKeepsCursorAndTop) {
  make_list(3, {"b", "a", "c"});
  list_of(3).cursor = 2;
  list_of(3).top = 2;
  lst_sort(3);
  EXPECT_EQ(row(3, 1), padded("a"));
  EXPECT_EQ(row(3, 2), padded("b"));
  EXPECT_EQ(row(3, 3), padded("c"));
  EXPECT_EQ(list_of(3).count, 3);
  EXPECT_EQ(list_of(3).cursor, 2);
  EXPECT_EQ(list_of(3).top, 2);
  // Rows beyond the count are not part of the sort.
  std::string store_row(20, '?');
  xmm_get(13, store_row.data(), 4);
  EXPECT_EQ(store_row, padded(""));
}

TEST_F(list_manager_test, FreeReleasesTheStore) {
  make_list(3, {"a"});
  lst_free(3);
  EXPECT_EQ(list_of(3).count, 0);
  int32_t length = 0, records = 0;
  xmm_info(13, length, records);
  EXPECT_EQ(records, 0);
  // A row put into a freed list is reported and not counted.
  lst_put_row(3, 1, "lost");
  EXPECT_EQ(last_box(), "xmm handle=0");
  EXPECT_EQ(list_of(3).count, 0);
}

TEST_F(list_manager_test, CountCursorAndPageAccessors) {
  make_list(5, {"a", "b"});
  list_of(5).cursor = 2;
  list_of(5).page = 7;
  int32_t count = -1, cursor = -1, page = -1;
  lst_get_count(5, count);
  lst_get_cursor(5, cursor);
  lst_get_page(5, page);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(cursor, 2);
  EXPECT_EQ(page, 7);
  count = 99;
  lst_get_count(7, count);
  EXPECT_EQ(count, 99);
}

TEST_F(list_manager_test, TabColumnsBuildOnEachOther) {
  list_table.char_width = 8;
  list_record& l = list_of(3);
  l.hilite_right = 200;
  for (int32_t k = 1; k <= 21; ++k) l.tab_col[static_cast<size_t>(k)] = 1;
  lst_tab(3, 1, 5, 11, "Name");
  lst_tab(3, 2, 10, 12, "Ort");
  lst_tab(3, 3, 40, 0, "Rest");
  EXPECT_TRUE(l.edit_mode);
  EXPECT_EQ(l.tab_count, 3);
  EXPECT_EQ(l.tab_column, 1);
  EXPECT_EQ(l.tab_x[1], -1);
  EXPECT_EQ(l.tab_x[2], -1 + 6 * 8);
  EXPECT_EQ(l.tab_x[3], 47 + 11 * 8);
  EXPECT_EQ(l.tab_x[4], 200);  // limited to the bar's right edge
  EXPECT_EQ(l.tab_col[2], 7);
  EXPECT_EQ(l.tab_col[3], 18);
  EXPECT_EQ(l.tab_col[4], 59);
  EXPECT_EQ(l.tab_var[2], 12);
  EXPECT_EQ(l.tab_title[2], padded("Ort", 50));

  lst_tab(3, 0, 0, 0, "");
  EXPECT_FALSE(l.edit_mode);
  EXPECT_EQ(l.tab_count, 3);
  lst_tab(3, -1, 77, 0, "");
  EXPECT_TRUE(l.edit_mode);
  EXPECT_EQ(l.edit_rows, 77);
  lst_tab(3, 0, 12, 0, "");
  EXPECT_EQ(l.edit_rows, 12);
}

TEST_F(list_manager_test, TwentyTabsEndTheProgram) {
  lst_tab(3, 19, 2, 1, "last");
  EXPECT_EQ(list_of(3).tab_count, 19);
  EXPECT_THROW(lst_tab(3, 20, 2, 1, "too many"), program_end);
  EXPECT_EQ(last_box(), "max TABS");
  EXPECT_EQ(list_of(3).tab_count, 19);
}

TEST_F(list_manager_test, MarkListSwitchesMarkMode) {
  list_of(4).anchor = 5;
  MARK_LIST(4, 1);
  EXPECT_TRUE(list_of(4).mark_mode);
  EXPECT_EQ(list_of(4).anchor, -1);
  MARK_LIST(4, 0);
  EXPECT_FALSE(list_of(4).mark_mode);
}

TEST_F(list_manager_test, KeepingMarkedRowsInTheSameList) {
  make_list(3, {"1a", "0b", "1c", "xd"});
  int32_t status = 0;
  lst_mark_operation(3, 3, 0x400 | 0x40, status);
  EXPECT_EQ(list_of(3).count, 2);
  EXPECT_EQ(row(3, 1), padded("1a"));
  EXPECT_EQ(row(3, 2), padded("1c"));
  // Stripping the marks as well.
  lst_mark_operation(3, 3, 0x400 | 0x40 | 0x10000, status);
  EXPECT_EQ(row(3, 1), padded("a"));
  EXPECT_EQ(row(3, 2), padded("c"));
}

TEST_F(list_manager_test, KeepingMarkedRowsOfAnUnmarkedListLeavesOneBlankRow) {
  make_list(3, {"0a", "0b", "b"});
  int32_t status = 0;
  lst_mark_operation(3, 3, 0x400 | 0x40, status);
  EXPECT_EQ(list_of(3).count, 1);
  EXPECT_EQ(row(3, 1), padded(""));
}

TEST_F(list_manager_test, AddingMarkPositions) {
  make_list(4, {"a", "b"});
  int32_t status = 0;
  lst_mark_operation(4, 4, 0x400 | 0x40 | 0x80, status);
  EXPECT_EQ(row(4, 1), padded("0a"));
  EXPECT_EQ(row(4, 2), padded("0b"));
  lst_mark_operation(4, 4, 0x400 | 0x40 | 0x100, status);
  EXPECT_EQ(row(4, 1), padded("00a"));
}

TEST_F(list_manager_test, CopyingAListFillsTheTargetToTheSourceCapacity) {
  make_list(3, {"1x", "0y", "1z"});
  int32_t status = -1;
  lst_mark_operation(3, 5, 0x400, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list_of(5).count, 20);
  EXPECT_EQ(row(5, 1), padded("1x"));
  EXPECT_EQ(row(5, 3), padded("1z"));
  for (int32_t r = 4; r <= 20; ++r) EXPECT_EQ(row(5, r), padded(""));
  EXPECT_EQ(list_of(3).count, 3);  // the source is unchanged

  lst_mark_operation(3, 6, 0x400 | 0x40, status);
  EXPECT_EQ(list_of(6).count, 2);
  EXPECT_EQ(row(6, 1), padded("1x"));
  EXPECT_EQ(row(6, 2), padded("1z"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(list_manager_test, EntriesForApplicationRoutines) {
  make_list(3, {"a", "b"});
  list_of(3).top = 2;
  int32_t top = 0;
  lst_get_top(3, top);
  EXPECT_EQ(top, 2);
  lst_set_count(3, 1);
  EXPECT_EQ(list_of(3).count, 1);
  lst_set_count(3, 500);  // limited to the rows the store holds
  EXPECT_EQ(list_of(3).count, 20);
  lst_set_count(3, -4);
  EXPECT_EQ(list_of(3).count, 0);
  lst_set_edit_rows(3, 9);
  EXPECT_EQ(list_of(3).edit_rows, 9);
  list_of(3).x1 = 10;
  list_of(3).y1 = 20;
  lst_move_origin(3, 5, -3);
  EXPECT_EQ(list_of(3).x1, 15);
  EXPECT_EQ(list_of(3).y1, 17);
  lst_move_spare(3, 2, 4);
  lst_move_spare(3, 2, 4);
  EXPECT_EQ(list_of(3).spare_dx, 4);
  EXPECT_EQ(list_of(3).spare_dy, 8);
  top = 77;
  lst_get_top(8, top);
  lst_move_origin(8, 1, 1);
  EXPECT_EQ(top, 77);
}

// ---------------------------------------------------------------- evaluator functions
namespace {
void push(float v) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  s.clear();
  s.set_number(v);
}
}  // namespace

TEST_F(list_manager_test, LstmgrFunctionGivesCursorRowAndItsText) {
  reset_evaluator();
  make_list(5, {"first", "second  "});
  list_of(5).cursor = 2;
  push(3.0f);
  eval_LSTMGR();
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_FLOAT_EQ(evaluator.top().value(), 2.0f);
  EXPECT_EQ(evaluator.top().type, 6);
  EXPECT_EQ(std::string(evaluator.top().text.data(), 6), "second");

  // No cursor: value 0 and a blank text of length 0.
  reset_evaluator();
  list_of(5).cursor = 0;
  push(3.0f);
  eval_LSTMGR();
  EXPECT_FLOAT_EQ(evaluator.top().value(), 0.0f);
  EXPECT_EQ(evaluator.top().type, 0);
}

TEST_F(list_manager_test, LstmgrFunctionOutsideOneToFourEndsTheProgram) {
  reset_evaluator();
  push(5.0f);
  EXPECT_THROW(eval_LSTMGR(), program_end);
  EXPECT_EQ(last_box(), "LSTMGR \x81" "berlauf");
}

TEST_F(list_manager_test, LstelFunctionGivesRowTextOrColumn) {
  reset_evaluator();
  make_list(6, {"alpha", "beta"});
  list_of(6).tab_column = 3;
  push(4.0f);
  push(2.0f);
  eval_LSTEL();
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_EQ(evaluator.top().type, 4);
  EXPECT_FLOAT_EQ(evaluator.top().value(), 4.0f);
  EXPECT_EQ(std::string(evaluator.top().text.data(), 4), "beta");

  reset_evaluator();
  push(4.0f);
  push(0.0f);
  eval_LSTEL();
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_TRUE(evaluator.top().is_number());
  EXPECT_FLOAT_EQ(evaluator.top().value(), 3.0f);

  // A row beyond the count is a blank text of length 0.
  reset_evaluator();
  push(4.0f);
  push(9.0f);
  eval_LSTEL();
  EXPECT_EQ(evaluator.top().type, 0);
  EXPECT_FLOAT_EQ(evaluator.top().value(), 0.0f);
}

TEST_F(list_manager_test, LstelFunctionOutsideOneToFourEndsTheProgram) {
  reset_evaluator();
  push(9.0f);
  push(1.0f);
  EXPECT_THROW(eval_LSTEL(), program_end);
  EXPECT_EQ(last_box(), "LSTEL \x81" "berlauf");
}
