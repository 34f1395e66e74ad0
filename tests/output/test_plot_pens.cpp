// Pens: line styles, thickness, colours and monochrome widths on the screen, the plotters,
// PostScript and PDF; the line types and pen maps; a pen change without an open plot.
#include <string>

#include "test_plot_fixture.h"

namespace {

using plot_pens = plot_test;

TEST_F(plot_pens, PenChangeWithoutOpenPlotEndsTheProgram) {
  EXPECT_THROW(newpen(3), program_end);
  EXPECT_EQ(reported(), "%GKS/newpen: NOT OPEND");
}

TEST_F(plot_pens, StyleCodes) {
  open("s", 30);
  newpen(1000);
  EXPECT_EQ(plot_pen_style(), 0);
  newpen(1003);
  EXPECT_EQ(plot_pen_style(), 3);
  newpen(1500);
  EXPECT_EQ(plot_pen_style(), 1);
  plot(0, 0, 999);
}

TEST_F(plot_pens, PostScriptThicknessEndsPathAndRepeatsThePoint) {
  open("t", 40);
  plot(1, 1, 3);
  plot(2, 1, 2);
  const size_t start = file_text("t.EPS").size();
  newpen(2010);
  newpen(2001);
  newpen(2);
  newpen(7);
  EXPECT_EQ(tail("t.EPS", start),
            "S\n 0.39 w\n200 100 m\n 0.10 w\n200 100 m\n1 w\n200 100 m\n2 w\n200 100 m\n");
  plot(0, 0, 999);
}

TEST_F(plot_pens, ScreenPenWidthFollowsThickness) {
  const int32_t bitmap = CREATE_BITMAP(20, 20);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  plot_set_context(u);
  newpen(2010);
  EXPECT_NEAR(plot_pen_width_mm(), 0.36f, 1e-5f);
  newpen(3);
  EXPECT_NEAR(plot_pen_width_mm(), 0.36f, 1e-5f);
  END_BITMAP_DRAW(u);
}

TEST_F(plot_pens, ScreenColoursAndMonochrome) {
  start_headless();
  const int32_t bitmap = CREATE_BITMAP(20, 20);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  plot_set_context(u);
  newpen(4);
  EXPECT_EQ(plot_state.pen_colour, colour_table[4]);
  newpen(-1);
  newpen(5);
  EXPECT_EQ(plot_state.pen_colour, 0u);
  newpen(-16);
  newpen(5);
  EXPECT_EQ(plot_state.pen_colour, colour_table[5]);
  plot(2, 5, 3);
  plot(15, 5, 2);
  EXPECT_EQ(GET_PIXEL(u, {8, 5}), colour_table[5]);
  END_BITMAP_DRAW(u);
}

TEST_F(plot_pens, PdfColoursAndMonochromeWidths) {
  colour_table[4] = 0x0000FF;
  open("c", 43);
  plot(1, 1, 3);
  plot(2, 1, 2);
  const size_t start = file_text("c.PDF").size();
  newpen(4);
  newpen(-1);
  newpen(2030);  // monochrome: thickness 31 acts as pen 3
  newpen(2005);
  EXPECT_EQ(tail("c.PDF", start), "S\n 1.00  0.00  0.00  RG\n.8 w\n.2 w\n");
  EXPECT_EQ(plot_state.pen_colour, 0x0000FFu);
  newpen(-16);
  plot(0, 0, 999);
}

TEST_F(plot_pens, PlotterPenSelection) {
  open("h", 30);
  size_t start = file_text("h.PLT").size();
  newpen(12);
  newpen(-5);  // other negative codes do nothing
  newpen(1002);  // styles reach no plotter
  EXPECT_EQ(tail("h.PLT", start), "SP<;");
  plot(0, 0, 999);
  open("k", 31);
  start = file_text("k.PLT").size();
  newpen(3);
  EXPECT_EQ(tail("k.PLT", start), "P3,");
  plot(0, 0, 999);
  open("b", 32);
  start = file_text("b.PLT").size();
  newpen(0);
  newpen(5);
  EXPECT_EQ(tail("b.PLT", start), std::string("\xFF\x02\xFF\x00\xFF\x02\x01\x00", 8));
  plot(0, 0, 999);
}

TEST_F(plot_pens, PenMapsChangeDevicePens) {
  set_pen_map(3, 9);
  set_pen_map(3, 16);  // out of range: ignored
  open("m", 30);
  const size_t start = file_text("m.PLT").size();
  newpen(3);
  EXPECT_EQ(tail("m.PLT", start), "SP9;");
  plot(0, 0, 999);
}

TEST_F(plot_pens, LineTypes) {
  open("l", 30);
  size_t start = file_text("l.PLT").size();
  set_line_type(0);
  set_line_type(13);
  EXPECT_EQ(tail("l.PLT", start), "LT0;LT3;");
  plot(0, 0, 999);
  open("p", 40);
  start = file_text("p.EPS").size();
  set_line_type(3);
  set_line_type(0);
  EXPECT_EQ(tail("p.EPS", start), "[30] 2 d\n0 0 m\n[] 0 d\n0 0 m\n");
  plot(0, 0, 999);
  open("d", 43);
  set_line_type(7);
  EXPECT_EQ(std::string(trim_blanks_right(plot_state.graphics_state)), "[14] 4 d");
  set_line_type(3);
  plot(2, 2, 2);  // the pattern comes before the next path output
  EXPECT_NE(file_text("d.PDF").find("[6] 4 d\n20.0 20.0 m\n"), std::string::npos);
  plot(0, 0, 999);
}

}  // namespace

namespace {

using plot_pens_by_primitive = plot_test;

TEST_F(plot_pens_by_primitive, PenCodeNineSwitchesMonochromeOn) {
  open("n", 43);
  plot(0, 0, 9);  // newpen(-1)
  const size_t start = file_text("n.PDF").size();
  plot(0, 0, 11);
  plot(0, 0, 12);
  EXPECT_EQ(tail("n.PDF", start), ".2 w\n.4 w\n");
  newpen(-16);
  plot(0, 0, 999);
}

}  // namespace
