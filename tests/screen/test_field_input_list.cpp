// Field input in a list cell: the cell opens the field, and the accepted text goes back into
// the row.
#include <string>

#include "runtime/program/program_image.h"
#include "runtime/screen/field_output.h"
#include "runtime/program/upn_store.h"
#include "test_list_fixture.h"

namespace {

class field_input_list_test : public list_test {
 protected:
  void SetUp() override {
    list_test::SetUp();
    ensure_test_application();
    list_table.line_height = 16;
    list_table.char_width = 8;
    alloc_variable_space(1);
    STRING_BUFFER.blank();
    variable_record var{};
    var.name.fill(' ');
    var.name[0] = 'T';
    var.type = var_text;
    var.dimension = 1;
    var.start = var.width = var.decimals = 8;
    var.text_start = 1;
    var.text_end = 8;
    define_variable(1, var);
    field_output_reset();
    field_input_reset();

    int32_t status = 0;
    allocate_xmm(4, 2, 40, status);
    lst_put_row(4, 1, "hello");
    lst_put_row(4, 2, "world");
    list_record& l = list_of(4);
    l.x1 = 20, l.y1 = 40, l.x2 = 260, l.y2 = 120;
    l.width = 30, l.page = 5, l.hilite_right = 240;
    l.top = 1, l.cursor = 1;
    for (int32_t k = 1; k <= 21; ++k) l.tab_col[static_cast<size_t>(k)] = 1;
    l.tab_x.fill(0);
    lst_tab(4, 1, 8, 1, "Name");
    l.tab_label[1] = 101;
    list_table.current = 4;
    lst_draw();
  }
  void TearDown() override {
    free_variable_space();
    list_test::TearDown();
  }
};

TEST_F(field_input_list_test, CellOpensTheFieldAndTheTypedTextIsStoredInTheRow) {
  lst_edit_select_mouse(4, 2, 1);
  ASSERT_TRUE(run_flags.field_input);
  EXPECT_TRUE(run_flags.list_cell_input);
  EXPECT_EQ(field_input_state().area, 0);
  EXPECT_EQ(field_input_state().text, "world");
  field_key(8);
  field_key(8);
  field_key('d');
  EXPECT_EQ(field_input_state().text, "word");
  bool ok = false;
  u_gfinp(ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(run_flags.field_input);
  EXPECT_FALSE(run_flags.list_cell_input);
  EXPECT_EQ(lst_get_row(4, 2, 8), "word    ");
  EXPECT_EQ(lst_get_row(4, 1, 8), "hello   ");
}

}  // namespace
