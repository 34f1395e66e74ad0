// Drawing lists on screen 0: the incremental repaint, the inverting bar, marked rows, and the
// cursor moves and scrolling that redraw them.
#include <string>

#include "test_list_fixture.h"

namespace {

constexpr uint32_t white = 0xFFFFFF, dark_blue = 0x800000, red = 0x0000FF;

class list_draw_test : public list_test {
 protected:
  void SetUp() override {
    list_test::SetUp();
    init_common();
    const text_metrics m = GET_TEXT_METRICS(nullptr, fixed_font);
    list_table.line_height = m.height + 3;
    list_table.char_width = m.average_width;
    fill(0, 0, 639, 479, white);
  }

  // List 3 with rows "row1".."rowN" shown at (20, 30) with `page` lines of 20 characters.
  void show_list(int32_t rows, int32_t page) {
    int32_t status = 0;
    allocate_xmm(3, rows, 40, status);
    for (int32_t r = 1; r <= rows; ++r) lst_put_row(3, r, "row" + std::to_string(r));
    list_record& l = list_of(3);
    l.x1 = 20;
    l.y1 = 30;
    l.width = 20;
    l.page = page;
    l.hilite_right = 20 * list_table.char_width;
    l.x2 = l.x1 + l.hilite_right;
    l.y2 = l.y1 + page * list_table.line_height;
    l.top = 1;
    l.cursor = 1;
    l.drawn_top = 0;
    list_table.current = 3;
    lst_draw();
  }

  static uint32_t pixel(int32_t x, int32_t y) {
    ups u;
    START_BITMAP_DRAW(screen_info(0).bitmap, u);
    const uint32_t c = GET_PIXEL(u, {x, y});
    END_BITMAP_DRAW(u);
    return c;
  }
  static void fill(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    ups u;
    START_BITMAP_DRAW(screen_info(0).bitmap, u);
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x) SET_PIXEL(u, colour, {x, y});
    END_BITMAP_DRAW(u);
  }
  // A point of line `line` in character column c that no glyph of the rows covers.
  static qn_point blank_point(int32_t line, int32_t c) {
    const list_record& l = list_of(3);
    return {l.x1 + (c - 1) * list_table.char_width + list_table.char_width / 2,
            l.y1 + (line - 1) * list_table.line_height + 1};
  }
  static bool bar_on(int32_t line) {
    const qn_point p = blank_point(line, 15);
    return pixel(p.x, p.y) != white;
  }
};

TEST_F(list_draw_test, DrawingShowsRowsAndTheBarOnTheCursorLine) {
  show_list(5, 3);
  const list_record& l = list_of(3);
  EXPECT_EQ(l.drawn_top, 1);
  EXPECT_TRUE(l.hilite_drawn);
  EXPECT_EQ(l.hilite_line, 1);
  EXPECT_TRUE(bar_on(1));
  EXPECT_FALSE(bar_on(2));
  EXPECT_FALSE(bar_on(3));
  // Some ink of "row2" lies in its first character cells.
  bool ink = false;
  for (int32_t y = lst_line_top(l, 2); y < lst_line_top(l, 3); ++y)
    for (int32_t x = l.x1; x < l.x1 + 4 * list_table.char_width; ++x) ink = ink || pixel(x, y) != white;
  EXPECT_TRUE(ink);
  // Nothing is drawn below the page.
  EXPECT_EQ(pixel(l.x1 + 2, lst_line_top(l, 4) + 2), white);
}

TEST_F(list_draw_test, MovingTheCursorMovesTheBar) {
  show_list(5, 3);
  lst_move_cursor(3, 1);
  EXPECT_EQ(list_of(3).cursor, 2);
  EXPECT_FALSE(bar_on(1));
  EXPECT_TRUE(bar_on(2));
  EXPECT_EQ(list_table.last_reported_cursor, 2);
  // Up on row 1 keeps the cursor there, with its bar.
  lst_move_cursor(3, -1);
  lst_move_cursor(3, -1);
  EXPECT_EQ(list_of(3).cursor, 1);
  EXPECT_EQ(list_of(3).top, 1);
  EXPECT_TRUE(bar_on(1));
  EXPECT_FALSE(bar_on(2));
}

TEST_F(list_draw_test, UnchangedBlanksAreNotRepainted) {
  show_list(5, 3);
  const qn_point p = blank_point(3, 12);
  fill(p.x, p.y, p.x, p.y, red);
  lst_move_cursor(3, 1);  // same top: only changed characters are written
  EXPECT_EQ(pixel(p.x, p.y), red);
  update_slider_redraw(3);  // repaints every character
  EXPECT_EQ(pixel(p.x, p.y), white);
}

TEST_F(list_draw_test, ScrollingRepaintsChangedCharacters) {
  show_list(5, 3);
  const list_record& l = list_of(3);
  lst_move_cursor(3, 99999);
  EXPECT_EQ(l.cursor, 5);
  EXPECT_EQ(l.top, 3);
  EXPECT_EQ(l.hilite_line, 3);
  EXPECT_TRUE(bar_on(3));
  EXPECT_FALSE(bar_on(1));
  // The screen shows the same as a full repaint of the same state.
  std::vector<uint32_t> incremental;
  for (int32_t y = l.y1; y < l.y2; ++y)
    for (int32_t x = l.x1; x < l.x2; ++x) incremental.push_back(pixel(x, y));
  fill(0, 0, 639, 479, white);
  list_of(3).drawn_top = 0;
  list_of(3).hilite_drawn = false;
  lst_draw();
  std::vector<uint32_t> full;
  for (int32_t y = l.y1; y < l.y2; ++y)
    for (int32_t x = l.x1; x < l.x2; ++x) full.push_back(pixel(x, y));
  EXPECT_EQ(incremental, full);
  lst_move_cursor(3, -99999);
  EXPECT_EQ(l.cursor, 1);
  EXPECT_EQ(l.top, 1);
}

TEST_F(list_draw_test, PageDownOnAShortListStopsAtTheLastRow) {
  show_list(5, 10);
  lst_redraw_entry(3, 10 - 1);
  EXPECT_EQ(list_of(3).cursor, 5);
  EXPECT_EQ(list_of(3).top, 1);
  lst_redraw_entry(3, 1 - 10);
  EXPECT_EQ(list_of(3).cursor, 1);
}

TEST_F(list_draw_test, SpecialDeltasReachTheEnds) {
  show_list(30, 5);
  lst_move_cursor(3, 99998);
  EXPECT_EQ(list_of(3).cursor, 30);
  EXPECT_EQ(list_of(3).top, 26);
  lst_move_cursor(3, -99998);
  EXPECT_EQ(list_of(3).cursor, 1);
  EXPECT_EQ(list_of(3).top, 1);
  lst_move_cursor(3, 7);  // past the page: scrolled so the cursor is on the last line
  EXPECT_EQ(list_of(3).top, 4);
}

TEST_F(list_draw_test, EditModeCursorReachesTheRowAfterTheLast) {
  show_list(5, 10);
  list_record& l = list_of(3);
  l.edit_mode = true;
  l.tab_column = 2;
  l.tab_title[2] = padded("Ort", 50);
  lst_move_cursor(3, 4);
  lst_move_cursor(3, 1);
  EXPECT_EQ(l.cursor, 6);
  lst_move_cursor(3, 1);
  EXPECT_EQ(l.cursor, 6);
  EXPECT_EQ(list_table.status_text, padded("   6. 2: Ort", 60));
  EXPECT_EQ(list_table.last_reported_cursor, -1);  // no hook in edit mode
  l.edit_rows = 3;
  lst_move_cursor(3, 0);
  EXPECT_EQ(l.cursor, 3);
}

TEST_F(list_draw_test, StatusTextFormatsCursorModuloTenThousand) {
  list_record& l = list_of(4);
  l.cursor = 12345;
  l.tab_column = 12;
  l.tab_title[12] = padded("Betrag", 50);
  lst_status_text(4);
  EXPECT_EQ(list_table.status_text, padded("2345.12: Betrag", 60));
  l.tab_column = 100;
  lst_status_text(4);
  EXPECT_EQ(list_table.status_text.substr(0, 9), "2345.**: ");
}

TEST_F(list_draw_test, ScrollKeepsTheCursor) {
  show_list(8, 3);
  list_record& l = list_of(3);
  lst_scroll(3, 2);
  EXPECT_EQ(l.top, 3);
  EXPECT_EQ(l.cursor, 1);
  EXPECT_FALSE(l.hilite_drawn);  // the cursor row is off the page
  lst_scroll(3, 100);
  EXPECT_EQ(l.top, 8);
  lst_scroll(3, 1);
  EXPECT_EQ(l.top, 8);
  lst_scroll(3, -100);
  EXPECT_EQ(l.top, 1);
  EXPECT_TRUE(l.hilite_drawn);
  lst_scroll_to(3, 50);
  EXPECT_EQ(l.top, 4);
  lst_scroll_to(3, 0);
  EXPECT_EQ(l.top, 1);
  lst_scroll_to(3, 200);
  EXPECT_EQ(l.top, 8);
}

TEST_F(list_draw_test, RedrawReturnsToTheSavedCursor) {
  show_list(10, 3);
  list_record& l = list_of(3);
  l.saved_cursor = 7;
  l.saved_top = 6;
  update_slider_redraw(3);
  EXPECT_EQ(l.cursor, 7);
  EXPECT_EQ(l.top, 6);
  EXPECT_EQ(l.saved_top, 6);
  EXPECT_EQ(l.drawn_top, 6);
  EXPECT_EQ(l.hilite_line, 2);
  EXPECT_EQ(list_table.last_reported_cursor, 7);
  EXPECT_TRUE(bar_on(2));
}

TEST_F(list_draw_test, MarkedRowsShowWhiteOnDarkBlue) {
  int32_t status = 0;
  allocate_xmm(3, 2, 40, status);
  lst_put_row(3, 1, "1ABC");
  lst_put_row(3, 2, "0DEF");
  list_record& l = list_of(3);
  l.x1 = 20;
  l.y1 = 30;
  l.width = 20;
  l.page = 3;
  l.top = 1;
  l.cursor = 1;
  MARK_LIST(3, 1);
  lst_draw();
  const qn_point p1 = blank_point(1, 10), p2 = blank_point(2, 10);
  EXPECT_EQ(pixel(p1.x, p1.y), dark_blue);
  EXPECT_EQ(pixel(p2.x, p2.y), white);
  EXPECT_FALSE(l.hilite_drawn);
  EXPECT_EQ(l.drawn_top, 1);
  // Marking the second row shows it at the next drawing.
  lst_put_row(3, 2, "1DEF");
  lst_draw_marked();
  EXPECT_EQ(pixel(p2.x, p2.y), dark_blue);
}

TEST_F(list_draw_test, RestoreEntriesReturnToTheSavedCursor) {
  show_list(20, 3);
  list_record& l = list_of(3);
  l.saved_cursor = 12;
  l.saved_top = 11;
  lst_restore_draw(3);
  EXPECT_EQ(l.cursor, 12);
  EXPECT_EQ(l.top, 11);
  EXPECT_EQ(l.drawn_top, 11);
  EXPECT_TRUE(bar_on(2));
  // The saved cursor on the page: the top stays and is saved.
  l.saved_cursor = 13;
  l.saved_top = 1;
  lst_restore_redraw(3);
  EXPECT_EQ(l.top, 11);
  EXPECT_EQ(l.saved_top, 11);
  EXPECT_TRUE(bar_on(3));
  // Without a saved cursor the third entry does nothing.
  l.saved_cursor = 0;
  lst_restore_cursor(3);
  EXPECT_EQ(l.cursor, 13);
  l.saved_cursor = 11;
  lst_restore_cursor(3);
  EXPECT_EQ(l.cursor, 11);
}

TEST_F(list_draw_test, SelectingALine) {
  show_list(5, 3);
  list_record& l = list_of(3);
  int32_t row = -1;
  lst_select_line(3, 2, row);
  EXPECT_EQ(l.cursor, 2);
  EXPECT_EQ(row, -1);
  EXPECT_TRUE(bar_on(2));
  lst_select_line(3, 2, row);  // the cursor line: saved, and the row handed back
  EXPECT_EQ(row, 2);
  EXPECT_EQ(l.saved_cursor, 2);
  l.top = 4;
  lst_select_line(3, 3, row);  // row 6 is beyond the list
  EXPECT_EQ(l.cursor, 2);
  l.top = 1;
  l.saved_cursor = 3;
  lst_select_line(3, 0, row);
  EXPECT_EQ(l.cursor, 3);
}

TEST_F(list_draw_test, BarSuppressLeavesTheBarOff) {
  run_flags.bar_suppress = true;
  show_list(5, 3);
  EXPECT_FALSE(list_of(3).hilite_drawn);
  EXPECT_EQ(list_of(3).hilite_line, 1);
  EXPECT_FALSE(bar_on(1));
}

}  // namespace
