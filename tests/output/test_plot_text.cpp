// Plot text: text commands, position, alignment and the current point, and the texts of the
// screen, DXF and plot-file devices with their size, direction and font lines.
#include <array>
#include <string>
#include <vector>

#include "test_plot_fixture.h"

namespace {

using plot_text_test = plot_test;

TEST_F(plot_text_test, BlankTextDoesNothing) {
  open("b", 30);
  plot(2, 3, 3);
  const size_t start = file_text("b.PLT").size();
  const std::string work = plot_state.text_work;
  plot_text(5, 5, 1, "    ", 0, 0);
  EXPECT_EQ(file_text("b.PLT").size(), start);
  EXPECT_EQ(plot_state.text_work, work);
  EXPECT_FLOAT_EQ(plot_state.current_x, 2.0f);
  plot(0, 0, 999);
}

TEST_F(plot_text_test, CommandsForAlignmentAndStrokeFont) {
  open("c", 30);
  const size_t start = file_text("c.PLT").size();
  plot_text(999, 999, 1, "$$$SAR", 0, 0);
  EXPECT_FLOAT_EQ(plot_text_state().text_align, 0.55f);
  plot_text(999, 999, 1, "$$$SA", 0, 0);
  EXPECT_FLOAT_EQ(plot_text_state().text_align, 0.0f);
  plot_text(999, 999, 1, "$$$SS1", 0, 0);
  EXPECT_EQ(plot_state.soft_font, 1);
  plot_text(999, 999, 1, "$$$SS", 0, 0);
  EXPECT_EQ(plot_state.soft_font, 0);
  plot_text(999, 999, 1, "$$$HB", 0, 0);  // ignored by the plotter, never drawn
  EXPECT_EQ(file_text("c.PLT").size(), start);
  EXPECT_FLOAT_EQ(plot_text_state().last_text_height, 999.0f);
  plot(0, 0, 999);
}

TEST_F(plot_text_test, FontCommandsPerDevice) {
  const int32_t bitmap = CREATE_BITMAP(20, 20);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  plot_set_context(u);
  plot_text(999, 999, 1, "$$$AN", 0, 0);
  EXPECT_EQ(plot_text_state().font_face, "Arial");
  EXPECT_FALSE(plot_text_state().font_bold);
  EXPECT_FALSE(plot_text_state().font_italic);
  plot_text(999, 999, 1, "$$$!Times New Roman/b", 0, 0);
  EXPECT_EQ(plot_text_state().font_face, "Times New Roman");
  EXPECT_TRUE(plot_text_state().font_bold);
  END_BITMAP_DRAW(u);

  open("p", 43);
  plot_text(999, 999, 1, "$$$AN", 0, 0);
  EXPECT_EQ(plot_text_state().pdf_font_family, 3);
  EXPECT_FALSE(plot_text_state().font_bold);
  plot_text(999, 999, 1, "$$$!Courier New/B", 0, 0);
  EXPECT_EQ(plot_text_state().pdf_font_family, 1);
  EXPECT_TRUE(plot_text_state().font_bold);
  plot(0, 0, 999);

  open("s", 40);
  plot_text(999, 999, 1, "$$$TB", 0, 0);
  plot_text(999, 999, 1, "$$$AN", 0, 0);
  EXPECT_EQ(plot_text_state().ps_font_family, 2);  // A names no PostScript family
  EXPECT_FALSE(plot_text_state().font_bold);
  plot(0, 0, 999);
}

TEST_F(plot_text_test, PositionAlignmentAndCurrentPoint) {
  open("h", 30);
  plot(3, 4, 3);
  const size_t start = file_text("h.PLT").size();
  plot_text(999, 5, 0.5f, "AB", 0, 0);  // x from the current point, the move still made
  EXPECT_EQ(tail("h.PLT", start).substr(0, 12), "PU1200,2000;");
  EXPECT_FLOAT_EQ(plot_state.current_x, 4.0f);
  plot_text(999, 999, 1, "$$$SAR", 0, 0);
  const size_t second = file_text("h.PLT").size();
  plot_text(5, 1, 0.5f, "0123456789", 0, 0);  // starts 2.75 cm to the left
  EXPECT_EQ(tail("h.PLT", second).substr(0, 10), "PU900,400;");
  plot(0, 0, 999);
}

TEST_F(plot_text_test, ScreenTextMovesAboveTheStartPoint) {
  const int32_t bitmap = CREATE_BITMAP(100, 100);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  plot_set_context(u);
  plot_state.paper_width_cm = plot_state.page_width_cm = 21.0f;
  plot_text(10, 50, 20, "Hi", 0, 0);
  EXPECT_EQ(plot_state.last_x, 10);
  EXPECT_EQ(plot_state.last_y, 34);  // 0.8 x height up across the text direction: y runs down
  EXPECT_FLOAT_EQ(plot_state.current_x, 10.0f + 2 * 20.0f);
  END_BITMAP_DRAW(u);
}

TEST_F(plot_text_test, PostScriptFontLinesRotationAndEscapes) {
  open("p", 40);
  plot_end_path();
  const size_t start = file_text("p.EPS").size();
  plot_text(1, 1, 0.5f, "a(b)c\\", 0, 0);
  plot_text(1, 2, 0.5f, "x", 0, 0);
  plot_text(999, 999, 1, "$$$HB", 0, 0);
  plot_text(1, 3, 0.5f, "y", 30, 0);
  // Alignment and stroke-font commands count as text commands too.
  plot_text(999, 999, 1, "$$$SAR", 0, 0);
  plot_text(1, 4, 0.5f, "z", 0, 0);
  plot_text(999, 999, 1, "$$$SS0", 0, 0);
  plot_text(1, 5, 0.5f, "w", 0, 0);
  EXPECT_EQ(tail("p.EPS", start),
            "100 100 m\n60 /Helvetica f\n(a\\(b\\)c\\\\) t\n100 200 m\n(x) t\n"
            "100 300 m\n60 /Helvetica-Bold f\n30 r\n(y) t\n-30 r\n"
            "100 400 m\n60 /Helvetica-Bold f\n(z) tr\n100 500 m\n60 /Helvetica-Bold f\n(w) tr\n");
  plot(0, 0, 999);
}

TEST_F(plot_text_test, PdfTextObjects) {
  open("f", 43);
  plot_end_path();
  const size_t start = file_text("f.PDF").size();
  plot_text(3.45f, 3.45f, 1, "a(b", 0, 0);
  EXPECT_EQ(tail("f.PDF", start), "BT\n/F0 34.7 Tf\n120.0 120.0 Td (a\\(b) Tj\nET\n");
  EXPECT_TRUE(plot_state.path_state);
  const size_t second = file_text("f.PDF").size();
  plot_text(3.45f, 3.45f, 1, "u", 90, 0);
  plot_text(3.45f, 3.45f, 1, "v", 45, 0);
  const std::string t = tail("f.PDF", second);
  EXPECT_NE(t.find("0 1 -1 0 120.0 120.0 Tm (u) Tj\n"), std::string::npos);
  EXPECT_NE(t.find("0.707 0.707 -0.707 0.707 120.0 120.0 Tm (v) Tj\n"), std::string::npos);
  plot(0, 0, 999);
}

TEST_F(plot_text_test, LineWidthCommand) {
  open("w", 40);
  plot(1, 1, 2);
  size_t start = file_text("w.EPS").size();
  plot_text(999, 999, 1, "$$$LT0", 0, 0);
  plot_text(999, 999, 1, "$$$LT2", 0, 0);
  EXPECT_EQ(tail("w.EPS", start), "S\n0.25 w\n100 100 m\n2 w\n100 100 m\n");
  plot(0, 0, 999);
  open("w", 43);
  start = file_text("w.PDF").size();
  plot_text(999, 999, 1, "$$$LT0", 0, 0);
  EXPECT_EQ(tail("w.PDF", start), "0.2 w\n");
  plot(0, 0, 999);
}

TEST_F(plot_text_test, HpglSizeAndDirectionOnlyOnChange) {
  open("h", 30);
  plot_end_path();
  const size_t start = file_text("h.PLT").size();
  plot_text(1, 1, 0.5f, "A", 0, 0);
  plot_text(1, 2, 0.5f, "B", 0, 0);
  EXPECT_EQ(tail("h.PLT", start), "PU400,400;SI0.340,0.425;DI100,0;LBA\x03PU400,800;LBB\x03");
  plot(0, 0, 999);
}

TEST_F(plot_text_test, CommaLanguageAndByteCodedTexts) {
  open("k", 31);
  size_t start = file_text("k.PLT").size();
  plot_text(999, 999, 0.2f, "Te", 0, 0);
  EXPECT_EQ(tail("k.PLT", start), "S11+Te_");
  plot(0, 0, 999);
  open("b", 32);
  plot_text(999, 999, 1, "$$$SS0", 0, 0);  // device fonts instead of the stroke font
  start = file_text("b.PLT").size();
  plot_text(999, 999, 1.0f, "Z", 0, 0);
  const std::string t = tail("b.PLT", start);
  // Width 0.68 x 266 = 180 and height 0.85 x 266 = 226, encoded as words (value x 4).
  const std::string expected = std::string("\xFF\x03\x00\x00", 4) + std::string("\xD0\x02\x00\x00\x00\x00\x88\x03", 8) +
                               std::string("\xFF\x04\x00\x00", 4) + "Z" + std::string("\xFF\x07\x00\x00", 4) +
                               std::string(4, '\0') + std::string("\xFF\x02\x00\x00", 4);
  EXPECT_EQ(t, expected);
  plot(0, 0, 999);
}

}  // namespace

#include "runtime/output/plot/stroke_font.h"

namespace {

using plot_stroke_font = plot_test;

TEST_F(plot_stroke_font, TableHoldsEveryGlyphAndTheDocumentedA) {
  const stroke_font_t& f = stroke_font();
  size_t glyphs = 0, i = 0;
  while (f.pen[i] == 0) {
    ++glyphs;
    ASSERT_GT(f.dy[i], 0);
    i += static_cast<size_t>(f.dy[i]);
    ASSERT_LT(i, f.pen.size());
  }
  EXPECT_EQ(glyphs, 108u);
  EXPECT_EQ(f.pen[i], -1);
  const size_t a = stroke_glyph('A');
  EXPECT_EQ(a, 0u);
  const std::vector<std::array<int, 3>> expected = {{0, 65, 8},  {2, 0, 80},   {2, 20, 20}, {2, 60, 0},
                                                    {2, 20, -20}, {2, 0, -80}, {3, -100, 50}, {2, 100, 0}};
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(f.pen[a + k], expected[k][0]) << k;
    EXPECT_EQ(f.dx[a + k], expected[k][1]) << k;
    EXPECT_EQ(f.dy[a + k], expected[k][2]) << k;
  }
  // Code page 1252 letters are found by their signed byte.
  EXPECT_EQ(f.dx[stroke_glyph('\xE4')], static_cast<int8_t>(0xE4));
  EXPECT_EQ(f.dx[stroke_glyph('\x07')], 7);
}

TEST_F(plot_stroke_font, StrokeTextOnThePlotter) {
  open("s", 32);  // the byte-coded plotter writes its texts with the stroke font
  EXPECT_EQ(plot_state.soft_font, 1);
  plot(0, 0, 999);
  open("h", 30);
  plot_text(999, 999, 1, "$$$SS1", 0, 0);
  const size_t start = file_text("h.PLT").size();
  // A height of 500/256 cm makes every step a binary fraction: 1/64 cm along, 5/256 across.
  const float h = 500.0f / 256.0f;
  plot_text(0, 0, h, "A", 0, 0);
  EXPECT_EQ(tail("h.PLT", start),
            "PD0,625;PD125,781;PD500,781;PD625,625;PD625,0;PU0,390;PD625,390;");
  const size_t second = file_text("h.PLT").size();
  plot_text(0, 0, h, "{ A", 0, 0);  // no glyph: drawn as A; a blank only advances
  const std::string t = tail("h.PLT", second);
  EXPECT_EQ(t.rfind("PU0,0;PD0,625;PD125,781;", 0), 0u);
  EXPECT_NE(t.find("PU1562,0;PD1562,625;"), std::string::npos);
  EXPECT_EQ(t.find("PU781,0;"), std::string::npos);
  plot(0, 0, 999);
}

}  // namespace
