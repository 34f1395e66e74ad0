// The LSTMGR command: list numbers, the order in which the option bits decide, row sources,
// tab columns, files and the command errors.
#include "program/test_evaluator_fixture.h"

#include "runtime/commands/interpreter.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

class list_command_test : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    reset_lists();
    int32_t width = 640;
    screen_init(0, width, 480);
  }
  void TearDown() override {
    reset_lists();
    reset_screens();
    evaluator_test::TearDown();
  }

  // Runs LSTMGR with the operand expression, options and text; returns the command error.
  static int32_t run(const std::string& operands, int32_t flags, const std::string& text = "",
                     int32_t second = 0) {
    code_record rec;
    rec.opcode = 45;
    rec.expression = expr(operands);
    rec.second = second;
    rec.token1 = token(text.empty() ? " " : text);
    rec.flags = flags;
    call_state.command_flags = flags;
    call_state.command_error = 0;
    cmd_LSTMGR(rec);
    return call_state.command_error;
  }
  static std::string row(int32_t program_list, int32_t r, int32_t width = 10) {
    return lst_get_row(program_list + 2, r, width);
  }
  static std::string padded(std::string text, size_t width = 10) {
    text.resize(width, ' ');
    return text;
  }
};

TEST_F(list_command_test, ListNumbersOutsideOneToFourAreError4501) {
  EXPECT_EQ(run("#5 #3 #20", 0x1), 4501);
  EXPECT_EQ(run("#0 #3 #20", 0x1), 4501);
  for (int32_t n = 1; n <= 6; ++n) EXPECT_EQ(list_of(n).count, 0);
  EXPECT_EQ(run("#1 #3 #20", 0x1), 0);
  EXPECT_EQ(list_of(3).count, 3);
}

TEST_F(list_command_test, AllocateThenPutInsertEraseRows) {
  EXPECT_EQ(run("#2 #2 #30", 0x1), 0);
  EXPECT_EQ(list_of(4).count, 2);
  run("#2 #1 #0", 0x8, "first");
  run("#2 #3 #0", 0x8, "third");
  run("#2 #2 #0", 0x8000, "inserted");
  EXPECT_EQ(list_of(4).count, 4);
  EXPECT_EQ(row(2, 1), padded("first"));
  EXPECT_EQ(row(2, 2), padded("inserted"));
  EXPECT_EQ(row(2, 4), padded("third"));
  run("#2 #3 #0", 0x10000);
  EXPECT_EQ(list_of(4).count, 3);
  EXPECT_EQ(row(2, 3), padded("third"));
}

TEST_F(list_command_test, RowsFromATextVariableTakeItsWholeValue) {
  const int32_t t = text_variable("LONGTEXT", 300);
  set_text(t, std::string(299, 'x') + "y");
  run("#1 #1 #512", 0x1);
  run("#1 #1 &" + std::to_string(t), 0x8, "token");
  EXPECT_EQ(lst_get_row(3, 1, 300), std::string(299, 'x') + "y");
  // A numeric variable referred to last: the text token is the row.
  const int32_t v = numeric_variable("N", var_integer);
  run("#1 #2 &" + std::to_string(v), 0x8, "from token");
  EXPECT_EQ(row(1, 2), padded("from token"));
}

TEST_F(list_command_test, TextArrayElementIsReportedAsError1) {
  const int32_t t = text_variable("ARR", 5, 3);
  run("#1 #1 #20", 0x1);
  // The box is answered with OK: the program goes on and the command ends with error 1.
  std::string seen;
  run_flags.no_box = false;
  run_flags.auto_mode = false;
  qn_set_box_answerer([&seen](std::string_view text, std::string_view, int32_t) {
    seen = std::string(text);
    return IDOK;
  });
  const int32_t error = run("#1 #1 #2 %" + std::to_string(t), 0x8, "token");
  qn_set_box_answerer(nullptr);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(seen, "LSTMGR-output:Index");
  EXPECT_EQ(row(1, 1), padded(""));
}

TEST_F(list_command_test, AllocateAndPutTogetherStartACellEdit) {
  run("#1 #3 #20", 0x1);
  list_record& l = list_of(3);
  l.page = 5;
  l.top = 1;
  for (int32_t k = 1; k <= 21; ++k) l.tab_col[static_cast<size_t>(k)] = 1;
  lst_tab(3, 1, 5, 0, "A");
  lst_tab(3, 2, 5, 0, "B");
  run("#1 #2 #2", 0x1 | 0x8);
  EXPECT_EQ(l.count, 3);  // no new allocation
  EXPECT_EQ(l.cursor, 2);
  EXPECT_EQ(l.tab_column, 2);
  EXPECT_TRUE(l.edit_started);
}

TEST_F(list_command_test, TabColumnTakesTheVariableOfTheSecondExpression) {
  const int32_t v = numeric_variable("QTY", var_integer);
  run("#1 #1 #4", 0x4, "Menge", expr("&" + std::to_string(v)));
  EXPECT_EQ(list_of(3).tab_var[1], v);
  EXPECT_EQ(list_of(3).tab_count, 1);
  EXPECT_EQ(list_of(3).tab_title[1].substr(0, 6), "Menge ");
  const int32_t a = numeric_variable("ARR", var_integer, 4);
  EXPECT_EQ(error_of([&] { run("#1 #2 #4", 0x4, "x", expr("#2 %" + std::to_string(a))); }), 32000);
  EXPECT_EQ(last_error_message(), "LSTMGR/TAB(x)");
}

TEST_F(list_command_test, CursorSortFreeAndMarks) {
  run("#3 #3 #20", 0x1);
  run("#3 #1 #0", 0x8, "b");
  run("#3 #2 #0", 0x8, "a");
  run("#3 #3 #0", 0x8, "c");
  run("#3 #-2 #0", 0x4000);
  EXPECT_EQ(list_of(5).cursor, 2);
  run("#3 #0 #0", 0x200);
  EXPECT_EQ(row(3, 1), padded("a"));
  EXPECT_EQ(row(3, 2), padded("b"));
  run("#3 #1 #0", 0x40);
  EXPECT_TRUE(list_of(5).mark_mode);
  run("#3 #0 #0", 0x2);
  EXPECT_EQ(list_of(5).count, 0);
}

TEST_F(list_command_test, MarkOperationsCopyAndFilter) {
  run("#1 #3 #20", 0x1);
  run("#1 #1 #0", 0x8, "1x");
  run("#1 #2 #0", 0x8, "0y");
  run("#1 #3 #0", 0x8, "1z");
  EXPECT_EQ(run("#1 #2 #0", 0x400 | 0x40 | 0x10000), 0);
  EXPECT_EQ(list_of(4).count, 2);
  EXPECT_EQ(row(2, 1), padded("x"));
  EXPECT_EQ(row(2, 2), padded("z"));
  EXPECT_EQ(list_of(3).count, 3);
  EXPECT_EQ(run("#1 #0 #0", 0x400 | 0x40), 0);  // the same list
  EXPECT_EQ(list_of(3).count, 2);
  EXPECT_EQ(run("#1 #7 #0", 0x400 | 0x40), 4501);
}

TEST_F(list_command_test, SaveAndLoadWithHeader) {
  run("#4 #2 #20", 0x1);
  run("#4 #1 #0", 0x8, "eins");
  run("#4 #2 #0", 0x8, "zwei");
  run("#4 #2 #0", 0x4000);
  EXPECT_EQ(run("#4 #0 #0", 0x1000 | 0x20, "L.TXT"), 0);
  EXPECT_EQ(run("#1 #40 #0", 0x2000 | 0x20, "L.TXT"), 0);
  EXPECT_EQ(list_of(3).count, 2);
  EXPECT_EQ(list_of(3).cursor, 2);
  EXPECT_EQ(row(1, 2), padded("zwei"));
  EXPECT_EQ(run("#1 #40 #0", 0x2000, "MISSING.TXT"), 0);
  EXPECT_NE(io_status, 0);
}

TEST_F(list_command_test, RedrawAndUnknownOptions) {
  run("#1 #3 #20", 0x1);
  list_of(3).page = 3;
  list_of(3).saved_cursor = 2;
  // No slider area exists for the list: the redraw reports that.
  EXPECT_EQ(error_of([&] { run("#1 #0 #0", 0x10); }), 0);
  EXPECT_EQ(list_of(3).cursor, 2);
  EXPECT_EQ(error_of([&] { run("#1 #0 #0", 0x20); }), 0);
  EXPECT_EQ(last_error_message(), "$LSTMGR Code-Error");
}

}  // namespace
