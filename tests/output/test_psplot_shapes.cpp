// Plot-script shapes on the plot's drawing context: the area rectangle, filled rectangles and
// brushes, the point list of polylines, and conditions on program values.
#include <string>

#include "runtime/output/plot/psplot_state.h"
#include "test_plot_fixture.h"

namespace {

class psplot_shapes : public plot_test {
 protected:
  void SetUp() override {
    plot_test::SetUp();
    psplot_reset();
    bitmap = CREATE_BITMAP(200, 200);
    START_BITMAP_DRAW(bitmap, u);
    plot_set_context(u);
    plot_state.paper_width_cm = plot_state.page_width_cm = 21.0f;
    psplot_init();
  }
  void TearDown() override {
    END_BITMAP_DRAW(u);
    plot_test::TearDown();
  }
  void run(std::string_view script) {
    psplot_set_text(script);
    PSPLOT(0);
  }
  int32_t bitmap = 0;
  ups u{};
};

TEST_F(psplot_shapes, AreaRectangleFromTwoCorners) {
  run("AR=10,20,50,30");
  psplot_state_t& st = psplot_state;
  EXPECT_LT(st.area_left, st.area_right);
  EXPECT_NE(st.area_top, st.area_bottom);
  EXPECT_FLOAT_EQ(st.frame().XP, 10.0f);
  EXPECT_FLOAT_EQ(st.area_dx, 50.0f);
  // A shorter statement keeps the offsets of the last one.
  run("AR=0,0");
  EXPECT_FLOAT_EQ(st.area_dx, 50.0f);
  EXPECT_FLOAT_EQ(st.area_dy, 30.0f);
}

TEST_F(psplot_shapes, SolidBrushFillsTheRectangle) {
  plot_state.last_x = 0;
  run("AR=0,0,0,0");  // a known area first
  psplot_state.area_left = 20;
  psplot_state.area_top = 20;
  psplot_state.area_right = 80;
  psplot_state.area_bottom = 80;
  colour_table[4] = 0x000000FFu;  // red
  run("BG=1,4,0|REC");
  EXPECT_EQ(GET_PIXEL(u, {50, 50}), colour_table[4]);
  EXPECT_NE(GET_PIXEL(u, {150, 150}), colour_table[4]);
}


TEST_F(psplot_shapes, FullPointListKeepsReplacingItsLastPoint) {
  run("POL 3|PLY 0,0|PLY 1,0|PLY 1,1|PLY 2,2");
  psplot_state_t& st = psplot_state;
  ASSERT_EQ(st.points.size(), 3u);
  EXPECT_EQ(st.point_count, 3);
  EXPECT_EQ(st.current_element, 3);
  EXPECT_EQ(st.points[2].x, plot_state.last_x);
  EXPECT_EQ(st.points[2].y, plot_state.last_y);
  EXPECT_NE(st.points[1].x, st.points[2].x);
  run("POL 0");
  EXPECT_EQ(st.point_count, 3);  // drawing keeps the list
  EXPECT_TRUE(boxes.empty());
}

TEST_F(psplot_shapes, OutOfRangeValuesLeaveTheirStatementOutWithoutABox) {
  run("PLY 1,1|POL -2|PLY 1,1");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(psplot_state.point_count, 0);
  // A negative colour leaves the brush as it was: the rectangle is filled in colour 4.
  colour_table[4] = 0x000000FFu;
  psplot_state.area_left = psplot_state.area_top = 20;
  psplot_state.area_right = psplot_state.area_bottom = 80;
  run("BG=1,4,0|BG=1,-3,0|REC");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(GET_PIXEL(u, {50, 50}), colour_table[4]);
}

TEST_F(psplot_shapes, ArcChordAndPolylineDrawOnThePlotContext) {
  const uint32_t white = 0xFFFFFFu, red = 0x0000FFu;
  colour_table[0] = white;
  colour_table[4] = red;
  NEW_PEN(u, {.colour = white});
  psplot_state.area_left = psplot_state.area_top = 0;
  psplot_state.area_right = psplot_state.area_bottom = 200;
  run("BG=1,0,0|REC");  // a white page
  NEW_PEN(u, {.colour = 0u});
  auto painted = [&](int x1, int y1, int x2, int y2) {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x) n += GET_PIXEL(u, {x, y}) != white;
    return n;
  };
  // Area 20..80 x 20..80, centre (50, 50): the arc from the right to the top is the upper right
  // quarter of the circle.
  psplot_state.area_left = psplot_state.area_top = 20;
  psplot_state.area_right = psplot_state.area_bottom = 80;
  run("BG=0,0,0|ARC 0.3,0,0,0.3");
  EXPECT_GT(painted(51, 15, 85, 49), 20);
  EXPECT_EQ(painted(0, 0, 47, 199), 0);
  EXPECT_EQ(painted(0, 53, 199, 199), 0);
  // The chord from the top to the bottom: the left half, filled with the brush.
  run("BG=1,4,0|COR 0,0.3,0,-0.3");
  EXPECT_EQ(GET_PIXEL(u, {35, 50}), red);
  EXPECT_NE(GET_PIXEL(u, {65, 65}), red);
  // POL 0 draws one line through the points of the list.
  run("POL 3|PLY 10,150|PLY 100,150|PLY 100,190|POL 0");
  EXPECT_NE(GET_PIXEL(u, {50, 150}), white);
  EXPECT_NE(GET_PIXEL(u, {100, 170}), white);
  EXPECT_EQ(GET_PIXEL(u, {50, 170}), white);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(psplot_shapes, ArcKeepsItsStartPointAndOffsets) {
  psplot_state.area_left = 0;
  psplot_state.area_right = 100;
  psplot_state.area_top = 0;
  psplot_state.area_bottom = 60;
  run("ARC 0.25,0.1,0.5,-0.2");
  EXPECT_FLOAT_EQ(psplot_state.frame().XP, 75.0f);  // 0.25 x 100 + 50
  EXPECT_FLOAT_EQ(psplot_state.frame().YP, 20.0f);  // 30 - 0.1 x 100
  EXPECT_FLOAT_EQ(psplot_state.area_dx, 0.5f);
  EXPECT_FLOAT_EQ(psplot_state.area_dy, -0.2f);
}

}  // namespace
