// Drawing contexts on bitmaps: lines without their end pixel, raster operations, figures,
// pixels, text and the handling of bad contexts.
#include "quillon_fixture.h"

#include <limits>

namespace {

constexpr uint32_t white = 0xFFFFFF, black = 0x000000, red = 0x0000FF, green = 0x00FF00;

class drawing_test : public quillon_test {
 protected:
  void SetUp() override {
    quillon_test::SetUp();
    bitmap = filled_bitmap(40, 30, white);
    START_BITMAP_DRAW(bitmap, u);
    ASSERT_EQ(u.stamp, QN_STAMP);
  }
  void TearDown() override {
    if (u.stamp == QN_STAMP) END_BITMAP_DRAW(u);
    quillon_test::TearDown();
  }
  uint32_t at(int x, int y) { return GET_PIXEL(u, {x, y}); }
  std::vector<uint32_t> snapshot() {
    std::vector<uint32_t> all;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) all.push_back(at(x, y));
    return all;
  }
  int count(uint32_t colour) {
    int n = 0;
    for (uint32_t c : snapshot()) n += c == colour;
    return n;
  }
  int32_t bitmap = 0;
  ups u;
};

TEST_F(drawing_test, one_pixel_line_leaves_out_its_end_pixel) {
  NEW_PEN(u, {.colour = black});
  DRAW_LINE(u, {.end_px = qn_point{10, 0}, .start_px = qn_point{0, 0}});
  for (int x = 0; x < 10; ++x) EXPECT_EQ(at(x, 0), black) << "x=" << x;
  EXPECT_EQ(at(10, 0), white);
  EXPECT_EQ(at(0, 1), white);
  EXPECT_EQ(count(black), 10);
}

TEST_F(drawing_test, vertical_diagonal_and_backward_lines_are_exact) {
  NEW_PEN(u, {.colour = red});
  DRAW_LINE(u, {.end_px = qn_point{5, 8}, .start_px = qn_point{5, 2}});
  EXPECT_EQ(at(5, 2), red);
  EXPECT_EQ(at(5, 7), red);
  EXPECT_EQ(at(5, 8), white);
  DRAW_LINE(u, {.end_px = qn_point{20, 15}, .start_px = qn_point{25, 20}});  // up and left
  for (int i = 0; i < 5; ++i) EXPECT_EQ(at(25 - i, 20 - i), red) << i;
  EXPECT_EQ(at(20, 15), white);
  EXPECT_EQ(count(red), 6 + 5);
}

TEST_F(drawing_test, backward_and_clipped_rows_leave_out_their_end_pixel) {
  NEW_PEN(u, {.colour = red});
  DRAW_LINE(u, {.end_px = qn_point{2, 3}, .start_px = qn_point{12, 3}});  // right to left
  for (int x = 3; x <= 12; ++x) EXPECT_EQ(at(x, 3), red) << "x=" << x;
  EXPECT_EQ(at(2, 3), white);
  DRAW_LINE(u, {.end_px = qn_point{5, 4}, .start_px = qn_point{-5, 4}});  // in from the left edge
  DRAW_LINE(u, {.end_px = qn_point{35, 5}, .start_px = qn_point{60, 5}});  // in from the right edge
  DRAW_LINE(u, {.end_px = qn_point{9, 30}, .start_px = qn_point{0, 30}});  // below the bitmap
  SET_ROP(u, 7);  // XOR over the red row: black where it crosses it, cyan beyond
  DRAW_LINE(u, {.end_px = qn_point{14, 3}, .start_px = qn_point{10, 3}});
  for (int x = 10; x <= 12; ++x) EXPECT_EQ(at(x, 3), black) << "x=" << x;
  EXPECT_EQ(at(13, 3), red ^ white);
  EXPECT_EQ(at(14, 3), white);
  for (int x = 0; x <= 4; ++x) EXPECT_EQ(at(x, 4), red) << "x=" << x;
  EXPECT_EQ(at(5, 4), white);
  for (int x = 36; x <= 39; ++x) EXPECT_EQ(at(x, 5), red) << "x=" << x;
  EXPECT_EQ(at(35, 5), white);
  EXPECT_EQ(count(red), 7 + 5 + 4);
}

TEST_F(drawing_test, line_continues_from_the_current_position) {
  NEW_PEN(u, {.colour = black});
  DRAW_LINE(u, {.start_px = qn_point{2, 2}});  // a start alone only moves
  EXPECT_EQ(count(black), 0);
  DRAW_LINE(u, {.end_px = qn_point{6, 2}});
  DRAW_LINE(u, {.end_px = qn_point{6, 6}});
  EXPECT_EQ(at(2, 2), black);
  EXPECT_EQ(at(6, 2), black);  // the first line's end is the second line's start
  EXPECT_EQ(at(6, 5), black);
  EXPECT_EQ(at(6, 6), white);
  EXPECT_EQ(count(black), 8);
}

TEST_F(drawing_test, xor_line_drawn_twice_restores_the_image) {
  NEW_PEN(u, {.colour = red});
  DRAW_LINE(u, {.end_px = qn_point{30, 20}, .start_px = qn_point{3, 4}});  // some content
  const std::vector<uint32_t> before = snapshot();
  SET_ROP(u, 7);
  NEW_PEN(u, {.colour = 0x123456});
  DRAW_LINE(u, {.end_px = qn_point{39, 0}, .start_px = qn_point{0, 29}});
  EXPECT_NE(snapshot(), before);
  EXPECT_EQ(at(0, 29), 0x123456u ^ white);
  DRAW_LINE(u, {.end_px = qn_point{39, 0}, .start_px = qn_point{0, 29}});
  EXPECT_EQ(snapshot(), before);
}

TEST_F(drawing_test, xor_figures_and_text_drawn_twice_restore_the_image) {
  const std::vector<uint32_t> before = snapshot();
  SET_ROP(u, 7);
  NEW_PEN(u, {.colour = green});
  NEW_BRUSH(u, {.colour = red});
  DRAW_RECTANGLE(u, {.px = qn_rect{2, 2, 20, 15}});
  DRAW_ELLIPSE(u, {.px = qn_rect{5, 5, 35, 28}});
  WRITE_TEXT(u, "Xy", {.px = qn_point{1, 1}, .colour = black});
  EXPECT_NE(snapshot(), before);
  WRITE_TEXT(u, "Xy", {.px = qn_point{1, 1}, .colour = black});
  DRAW_ELLIPSE(u, {.px = qn_rect{5, 5, 35, 28}});
  DRAW_RECTANGLE(u, {.px = qn_rect{2, 2, 20, 15}});
  EXPECT_EQ(snapshot(), before);
}

TEST_F(drawing_test, not_xor_pen_and_copy_pen) {
  SET_ROP(u, 10);
  NEW_PEN(u, {.colour = 0x00FF00});
  DRAW_LINE(u, {.end_px = qn_point{1, 0}, .start_px = qn_point{0, 0}});
  EXPECT_EQ(at(0, 0), (~(0x00FF00u ^ white)) & 0xFFFFFF);
  SET_ROP(u, 13);
  DRAW_LINE(u, {.end_px = qn_point{1, 1}, .start_px = qn_point{0, 1}});
  EXPECT_EQ(at(0, 1), 0x00FF00u);
  int status = -1;
  SET_ROP(u, 17, &status);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(drawing_test, rectangle_excludes_right_and_bottom_edges) {
  NEW_PEN(u, {.colour = black});
  NEW_BRUSH(u, {.colour = red});
  DRAW_RECTANGLE(u, {.px = qn_rect{2, 3, 12, 9}});
  EXPECT_EQ(at(2, 3), black);
  EXPECT_EQ(at(11, 3), black);
  EXPECT_EQ(at(11, 8), black);
  EXPECT_EQ(at(2, 8), black);
  EXPECT_EQ(at(12, 3), white);
  EXPECT_EQ(at(2, 9), white);
  EXPECT_EQ(at(3, 4), red);
  EXPECT_EQ(at(10, 7), red);
  EXPECT_EQ(count(red), 8 * 4);
  EXPECT_EQ(count(black), 2 * 10 + 2 * 4);
}

TEST_F(drawing_test, hollow_brush_leaves_the_inside) {
  NEW_PEN(u, {.colour = black});
  NEW_BRUSH(u, {.style = 1});
  DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, 10, 10}});
  EXPECT_EQ(at(5, 5), white);
  EXPECT_EQ(count(black), 36);
}

TEST_F(drawing_test, ellipse_is_filled_inside_its_box) {
  NEW_PEN(u, {.colour = black});
  NEW_BRUSH(u, {.colour = red});
  DRAW_ELLIPSE(u, {.px = qn_rect{10, 5, 30, 25}});
  EXPECT_EQ(at(20, 15), red);
  EXPECT_EQ(at(10, 5), white);  // corners of the box stay
  EXPECT_EQ(at(29, 24), white);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 30; ++y)
      if (x < 10 || x >= 30 || y < 5 || y >= 25) {
        ASSERT_EQ(at(x, y), white) << x << "," << y;
      }
  EXPECT_GT(count(black), 40);
  // The outline touches the four sides of the box.
  EXPECT_EQ(at(10, 15), black);
  EXPECT_EQ(at(29, 15), black);
  EXPECT_EQ(at(20, 5), black);
  EXPECT_EQ(at(20, 24), black);
}

TEST_F(drawing_test, arcs_and_chords_run_counter_clockwise_between_their_rays) {
  NEW_PEN(u, {.colour = black});
  NEW_BRUSH(u, {.colour = red});
  // Pixels of the colour in the inclusive rectangle.
  auto in = [&](int x1, int y1, int x2, int y2, uint32_t colour) {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x) n += at(x, y) == colour;
    return n;
  };
  // The ellipse of box 10..30 x 5..25 has its centre at (20, 15).  From the ray to the right
  // to the ray upward is the upper right quarter; the rays' points need not lie on the ellipse.
  const qn_rect box{10, 5, 31, 26};
  DRAW_ARC(u, {.px = box}, {39, 15}, {20, 0});
  EXPECT_GT(in(21, 5, 30, 14, black), 8);
  EXPECT_EQ(in(10, 5, 19, 14, black), 0);
  EXPECT_EQ(in(0, 16, 39, 29, black), 0);
  EXPECT_EQ(count(red), 0);  // an arc fills nothing
  // The same rays the other way round: the other three quarters.
  DRAW_ARC(u, {.px = box}, {20, 0}, {39, 15});
  EXPECT_GT(in(10, 5, 19, 14, black), 8);
  EXPECT_GT(in(10, 16, 19, 25, black), 8);
  EXPECT_GT(in(21, 16, 30, 25, black), 8);
  // A chord from the top ray to the bottom ray: the left half, closed by the vertical line
  // through the centre and filled with the brush.
  ASSERT_NE(bitmap, 0);
  END_BITMAP_DRAW(u);
  DELETE_OBJECT(bitmap);
  bitmap = filled_bitmap(40, 30, white);
  START_BITMAP_DRAW(bitmap, u);
  NEW_PEN(u, {.colour = black});
  NEW_BRUSH(u, {.colour = green});
  DRAW_CHORD(u, {.px = box}, {20, 0}, {20, 29});
  EXPECT_EQ(at(14, 15), green);
  EXPECT_EQ(at(25, 15), white);
  EXPECT_EQ(at(20, 12), black);  // the closing line
  EXPECT_EQ(in(21, 0, 39, 29, black), 0);
}

TEST_F(drawing_test, polyline_joins_its_points_and_keeps_the_position) {
  NEW_PEN(u, {.colour = black});
  DRAW_LINE(u, {.start_px = qn_point{0, 29}});  // a move only
  DRAW_POLYLINE(u, {{2, 2}, {12, 2}, {12, 12}});
  EXPECT_EQ(at(2, 2), black);
  EXPECT_EQ(at(11, 2), black);
  EXPECT_EQ(at(12, 2), black);  // the corner comes from the second line
  EXPECT_EQ(at(12, 11), black);
  EXPECT_EQ(at(12, 12), white);  // the last end pixel is left out, as for every line
  DRAW_LINE(u, {.end_px = qn_point{5, 29}});  // goes on from the moved-to point
  EXPECT_EQ(at(3, 29), black);
  int status = 0;
  ups closed{};
  DRAW_POLYLINE(closed, {{0, 0}, {1, 1}}, &status);
  EXPECT_NE(status, 0);
}

TEST_F(drawing_test, pixels_and_outside_reads) {
  SET_PIXEL(u, 0x010203, {4, 5});
  EXPECT_EQ(at(4, 5), 0x010203u);
  EXPECT_EQ(at(-1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(at(40, 0), 0xFFFFFFFFu);
  SET_PIXEL(u, red, {100, 100});  // outside: nothing happens
  EXPECT_EQ(count(red), 0);
}

TEST_F(drawing_test, text_is_drawn_in_its_colour_at_the_cell_position) {
  WRITE_TEXT(u, "Hg", {.px = qn_point{10, 5}, .colour = red, .background = -1});
  EXPECT_GT(count(red), 5);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 5; ++y) ASSERT_NE(at(x, y), red) << "above the cell: " << x << "," << y;
  const qn_point extent = GET_TEXT_EXTENT(u, "Hg");
  EXPECT_GT(extent.x, 5);
  EXPECT_GT(extent.y, 8);
}

TEST_F(drawing_test, text_without_position_goes_on_the_next_line) {
  const int32_t font = SELECT_FONT({.face = "Arial", .points = 8.0f});
  const int32_t line = GET_TEXT_METRICS(&u, font).height;
  WRITE_TEXT(u, "I", {.px = qn_point{2, 0}, .colour = red, .font = font});
  WRITE_TEXT(u, "I", {.colour = green, .font = font});  // below the first, same left edge
  // Glyph edges are smooth: a pixel is inked in a colour when it left white towards it.
  auto inked = [](uint32_t c, uint32_t colour) { return c != white && (c & colour) == colour; };
  int red_bottom = -1, green_top = 30, green_left = 40;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      if (inked(at(x, y), red)) red_bottom = std::max(red_bottom, y);
      if (inked(at(x, y), green)) {
        green_top = std::min(green_top, y);
        green_left = std::min(green_left, x);
      }
    }
  ASSERT_GE(red_bottom, 0);
  EXPECT_GT(green_top, red_bottom);
  EXPECT_GE(green_top, line);
  EXPECT_LT(green_left, 8);
}

TEST_F(drawing_test, opaque_background_fills_the_text_cell) {
  const qn_point extent = GET_TEXT_EXTENT(u, "ab");
  WRITE_TEXT(u, "ab", {.px = qn_point{0, 0}, .colour = black, .background = int64_t(green)});
  // Every pixel of the cell is green, black or a smooth edge between the two; none white.
  int cell = 0;
  for (uint32_t c : snapshot()) cell += (c & ~green) == 0;
  EXPECT_EQ(cell, std::min(extent.x, 40) * std::min(extent.y, 30));
  int status = -1;
  WRITE_TEXT(u, "ab", {.px = qn_point{0, 0}, .colour = 0x7F000000, .status = &status});
  EXPECT_EQ(status, 0x10000);
}

TEST_F(drawing_test, text_edges_are_smooth_while_xor_text_stays_exact) {
  const int32_t font = SELECT_FONT({.face = "Arial", .points = 10.0f});
  WRITE_TEXT(u, "Zaehlen", {.px = qn_point{0, 0}, .colour = black, .font = font});
  int grey = 0;
  for (uint32_t c : snapshot()) grey += c != white && c != black;
  EXPECT_GT(grey, 0);
  // Another raster operation is applied exactly: drawn twice with xor, the text is gone.
  const std::vector<uint32_t> drawn = snapshot();
  SET_ROP(u, 7);
  WRITE_TEXT(u, "WinKYR", {.px = qn_point{0, 12}, .colour = red, .font = font});
  EXPECT_NE(snapshot(), drawn);
  WRITE_TEXT(u, "WinKYR", {.px = qn_point{0, 12}, .colour = red, .font = font});
  EXPECT_EQ(snapshot(), drawn);
}

TEST_F(drawing_test, rotated_text_reaches_above_its_start) {
  WRITE_TEXT(u, "HHH", {.px = qn_point{10, 29}, .colour = red, .rotation = 90.0f});
  int highest = 30;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      if (at(x, y) == red) highest = std::min(highest, y);
  EXPECT_LT(highest, 20);
}

TEST_F(drawing_test, fonts_from_points_and_stock_names) {
  const int32_t big = SELECT_FONT({.face = "Arial", .points = 24.0f});
  const int32_t small = SELECT_FONT({.face = "Courier New", .points = 8.0f});
  const int32_t stock = SELECT_FONT({.face = "ANSI_FIXED_FONT"});
  ASSERT_NE(big, 0);
  const text_metrics m_big = GET_TEXT_METRICS(&u, big);
  const text_metrics m_small = GET_TEXT_METRICS(&u, small);
  EXPECT_GT(m_big.height, m_small.height);
  EXPECT_GE(m_big.height, 30);  // 24 points at 96 dpi is 32 pixels
  EXPECT_EQ(GET_TEXT_EXTENT(u, "iiii", stock).x, GET_TEXT_EXTENT(u, "WWWW", stock).x);  // fixed pitch
  int status = -1;
  GET_TEXT_EXTENT(u, "x", 0x7FFFFFF0, &status);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(drawing_test, a_font_asked_for_twice_is_one_font_until_both_are_given_back) {
  const int32_t first = SELECT_FONT({.face = "Arial", .points = 9.0f, .bold = 1});
  const int32_t objects = qn_object_count();
  const int32_t second = SELECT_FONT({.face = "Arial", .points = 9.0f, .bold = 1});
  EXPECT_EQ(second, first);
  EXPECT_EQ(qn_object_count(), objects);
  EXPECT_NE(SELECT_FONT({.face = "Arial", .points = 9.0f}), first);  // not bold: another font
  DELETE_OBJECT(first);
  int status = -1;
  GET_TEXT_EXTENT(u, "Lager", second, &status);
  EXPECT_EQ(status, 0);  // the other request still holds it
  DELETE_OBJECT(second, &status);
  EXPECT_EQ(status, 0);
  DELETE_OBJECT(second, &status);
  EXPECT_NE(status, 0);  // gone with the last request
}

TEST_F(drawing_test, numbered_pens) {
  create_my_pen(3, {.colour = red});
  int32_t pen = 0, brush = -1;
  get_my_pen_and_brush(3, pen, brush);
  EXPECT_NE(pen, 0);
  EXPECT_EQ(brush, 0);
  SELECT_MY_PEN(u, 3);
  DRAW_LINE(u, {.end_px = qn_point{3, 0}, .start_px = qn_point{0, 0}});
  EXPECT_EQ(count(red), 3);
  get_my_pen_and_brush(99, pen, brush);  // clamped to slot 31, which is empty
  EXPECT_EQ(pen, 0);
  delete_my_pen(3);
  get_my_pen_and_brush(3, pen, brush);
  EXPECT_EQ(pen, 0);
  int status = -1;
  SELECT_MY_PEN(u, 3, &status);
  EXPECT_EQ(status, 0x10000);
  qn_set_option_word(0x4000);
  SELECT_MY_PEN(u, 3);
  EXPECT_NE(read_file("qn_self.tmp").find("Unable select ZERO pen 3"), std::string::npos);
}

TEST_F(drawing_test, wide_pens_and_hatched_brushes) {
  NEW_PEN(u, {.colour = black, .width_px = 5});
  DRAW_LINE(u, {.end_px = qn_point{30, 10}, .start_px = qn_point{10, 10}});
  for (int y = 8; y <= 12; ++y) EXPECT_EQ(at(20, y), black) << y;
  EXPECT_EQ(at(20, 14), white);
  EXPECT_EQ(at(20, 6), white);
  NEW_PEN(u, {.style = 5});  // no outline
  NEW_BRUSH(u, {.colour = red, .style = 2, .hatch = 0});  // horizontal hatch
  DRAW_RECTANGLE(u, {.px = qn_rect{0, 15, 40, 30}});
  int red_rows = 0, other_rows = 0;
  for (int y = 15; y < 29; ++y) (at(5, y) == red ? red_rows : other_rows)++;
  EXPECT_GT(red_rows, 0);
  EXPECT_GT(other_rows, red_rows);  // lines with gaps between them
  for (int x = 0; x < 39; ++x) EXPECT_EQ(at(x, 15 + 0), at(0, 15)) << "a hatch row runs through";
}

TEST_F(drawing_test, positions_as_portions_of_the_surface) {
  NEW_PEN(u, {.colour = red});
  DRAW_LINE(u, {.end = qn_portion{1.0f, 0.5f}, .start = qn_portion{0.0f, 0.5f}});
  EXPECT_EQ(at(0, 15), red);
  EXPECT_EQ(at(39, 15), red);
  WRITE_TEXT(u, "M", {.pos = qn_portion{0.5f, 0.0f}, .colour = black});
  int leftmost = 40;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      if (at(x, y) == black) leftmost = std::min(leftmost, x);
  EXPECT_GE(leftmost, 20);
  EXPECT_LT(leftmost, 40);
  NEW_PEN(u, {.colour = black});
  DRAW_LINE(u, {.end = qn_portion{std::numeric_limits<float>::quiet_NaN(), 1e30f}});  // no crash
}

TEST_F(drawing_test, dotted_pen_leaves_gaps) {
  NEW_PEN(u, {.colour = black, .style = 2});
  DRAW_LINE(u, {.end_px = qn_point{30, 0}, .start_px = qn_point{0, 0}});
  const int n = count(black);
  EXPECT_GT(n, 5);
  EXPECT_LT(n, 30);
}

TEST_F(drawing_test, bad_contexts_are_reported_and_never_crash) {
  ups never;  // no stamp
  int status = -1;
  DRAW_LINE(never, {.end_px = qn_point{1, 1}, .status = &status});
  EXPECT_EQ(status, 0x10000);
  ups forged;
  forged.stamp = QN_STAMP;
  forged.context = 12345;
  for (auto f : {+[](ups& x, int* s) { SET_ROP(x, 7, s); }, +[](ups& x, int* s) { SELECT_MY_PEN(x, 1, s); },
                 +[](ups& x, int* s) { SET_PIXEL(x, 0, {0, 0}, s); },
                 +[](ups& x, int* s) { DRAW_ELLIPSE(x, {.px = qn_rect{0, 0, 3, 3}, .status = s}); },
                 +[](ups& x, int* s) { WRITE_TEXT(x, "a", {.status = s}); },
                 +[](ups& x, int* s) { DRAW_BITMAP(x, 1, {.status = s}); },
                 +[](ups& x, int* s) { END_BITMAP_DRAW(x, s); }}) {
    status = -1;
    f(forged, &status);
    EXPECT_EQ(status, 0x10000);
  }
  // A context that was closed is stale, even when its slot is reused.
  ups old = u;
  END_BITMAP_DRAW(u);
  EXPECT_EQ(u.stamp, 0u);
  ups fresh;
  START_BITMAP_DRAW(bitmap, fresh);
  status = -1;
  GET_PIXEL(old, {0, 0}, &status);
  EXPECT_EQ(status, 0x10000);
  END_BITMAP_DRAW(fresh);
  // Without a status the message goes by the option word.
  qn_set_option_word(0x4000);
  DRAW_LINE(never, {.end_px = qn_point{1, 1}});
  EXPECT_NE(read_file("qn_self.tmp").find("Invalid argument 'ups' passed to: DRAW_LINE"), std::string::npos);
}

TEST_F(drawing_test, deleted_bitmap_invalidates_its_context) {
  DELETE_OBJECT(bitmap);
  int status = -1;
  DRAW_LINE(u, {.end_px = qn_point{1, 1}, .start_px = qn_point{0, 0}, .status = &status});
  EXPECT_EQ(status, 0x10000);
  status = -1;
  START_BITMAP_DRAW(bitmap, u, &status);
  EXPECT_EQ(status, 0x10000);
  EXPECT_EQ(u.stamp, 0u);
}

TEST_F(drawing_test, bitmaps_stretch_and_natural_size) {
  const int32_t small = filled_bitmap(4, 3, red);
  DRAW_BITMAP(u, small, {.px = qn_rect{10, 10, 18, 16}});  // twice the size
  EXPECT_EQ(at(10, 10), red);
  EXPECT_EQ(at(17, 15), red);
  EXPECT_EQ(at(18, 15), white);
  EXPECT_EQ(at(17, 16), white);
  DRAW_BITMAP(u, small, {.px = qn_rect{0, 0, 100, 100}, .mode = 3});
  EXPECT_EQ(at(3, 2), red);
  EXPECT_EQ(at(4, 2), white);
  EXPECT_EQ(count(red), 8 * 6 + 4 * 3);
  DRAW_BITMAP(u, bitmap, {.px = qn_rect{20, 0, 40, 15}});  // onto itself, shrunk
  EXPECT_EQ(at(20, 0), red);
}

// A whole picture drawn onto a surface of its size (as a window shows its screen) is a copy:
// drawing on either afterwards leaves the other as it was.
TEST_F(drawing_test, whole_picture_copy_stays_apart_from_its_source) {
  const int32_t picture = filled_bitmap(40, 30, green);
  DRAW_BITMAP(u, picture, {.px = qn_rect{0, 0, 40, 30}, .mode = 3});
  EXPECT_EQ(count(green), 40 * 30);
  ups other;
  START_BITMAP_DRAW(picture, other);
  NEW_PEN(other, {.colour = red});
  DRAW_LINE(other, {.end_px = qn_point{10, 5}, .start_px = qn_point{0, 5}});
  NEW_PEN(u, {.colour = black});
  DRAW_LINE(u, {.end_px = qn_point{10, 6}, .start_px = qn_point{0, 6}});
  EXPECT_EQ(GET_PIXEL(other, {0, 5}), red);
  EXPECT_EQ(GET_PIXEL(other, {0, 6}), green);
  END_BITMAP_DRAW(other);
  EXPECT_EQ(at(0, 5), green);
  EXPECT_EQ(at(0, 6), black);
  EXPECT_EQ(count(green), 40 * 30 - 10);
}

TEST_F(drawing_test, huge_coordinates_are_clipped) {
  constexpr int32_t big = 2'000'000'000;
  NEW_PEN(u, {.colour = red});
  DRAW_LINE(u, {.end_px = qn_point{big, 10}, .start_px = qn_point{-big, 10}});
  EXPECT_EQ(at(0, 10), red);
  EXPECT_EQ(at(39, 10), red);
  DRAW_LINE(u, {.end_px = qn_point{big, big}, .start_px = qn_point{-big, -big}});
  DRAW_RECTANGLE(u, {.px = qn_rect{-big, -big, big, big}});
  DRAW_ELLIPSE(u, {.px = qn_rect{-big, 20, big, big}});
  WRITE_TEXT(u, "x", {.px = qn_point{big, -big}});
  DRAW_BITMAP(u, bitmap, {.px = qn_rect{-big, -big, big, big}});
  DRAW_BITMAP(u, bitmap, {.px = qn_rect{big, big, -big, -big}});
  SET_PIXEL(u, red, {big, -big});
  EXPECT_EQ(GET_PIXEL(u, {-big, big}), 0xFFFFFFFFu);
}

TEST_F(drawing_test, rect_of_contexts_and_bitmaps) {
  const qn_rect r = GET_RECT({.u = &u});
  EXPECT_EQ(r.right, 40);
  EXPECT_EQ(r.bottom, 30);
  const qn_rect b = GET_RECT({.bitmap = bitmap});
  EXPECT_EQ(b.right, 40);
  int status = -1;
  GET_RECT({.bitmap = 77777, .status = &status});
  EXPECT_EQ(status, 0x10000);
}

TEST_F(drawing_test, dummy_context_measures_text) {
  ups d;
  START_DUMMY_USERPAINT(d);
  ASSERT_EQ(d.stamp, QN_STAMP);
  const qn_point one = GET_TEXT_EXTENT(d, "W");
  const qn_point two = GET_TEXT_EXTENT(d, "WW");
  EXPECT_GT(one.x, 0);
  EXPECT_EQ(two.x, 2 * one.x);
  EXPECT_EQ(one.y, two.y);
  END_DUMMY_USERPAINT(d);
  EXPECT_EQ(d.stamp, 0u);
}

}  // namespace
