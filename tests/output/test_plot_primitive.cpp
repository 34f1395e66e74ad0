// The plot primitive and the pen moves of every device: plotter commands, the byte-coded
// protocol, PostScript and PDF paths, repeated points, the origin, the turned page and the end.
#include <string>

#include "test_plot_fixture.h"

namespace {

using plot_primitive = plot_test;

TEST_F(plot_primitive, HpglOpenMovesDrawsAndEndsOnce) {
  open("h", 30);
  EXPECT_EQ(file_text("h.PLT"), "PU400,400;PU0,0;SP1;");
  plot(1, 2, 2);
  plot(1, 2, 2);  // the same point with the same pen code is dropped
  plot_move_draw(1234, 567, 1);
  plot_move_draw(-12345678, 0, 0);  // beyond six columns: still all its digits
  plot(0, 0, 999);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("h.PLT"),
            "PU400,400;PU0,0;SP1;PD400,800;PD1234,567;PU-12345678,0;PU;PA0,0;SP0;");
  EXPECT_TRUE(get_plot_ended());
}

TEST_F(plot_primitive, CommaSeparatedLanguageQuartersCoordinates) {
  open("c", 31);
  const size_t start = file_text("c.PLT").size();
  plot_move_draw(400, 800, 0);
  plot_move_draw(-7, 9, 1);
  plot(0, 0, 999);
  EXPECT_EQ(tail("c.PLT", start), "U100,200,D-1,2,U,H,P0,");
}

TEST_F(plot_primitive, ByteCodedProtocolWritesDeltaWords) {
  open("b", 32);
  const size_t start = file_text("b.PLT").size();
  plot_move_draw(0, 0, 0);
  plot_move_draw(-3, 0, 1);
  plot_move_draw(20001, -40000, 1);  // odd and large: made even, magnitude kept to 14 bits
  const std::string t = tail("b.PLT", start);
  ASSERT_EQ(t.size(), 12u);
  EXPECT_EQ(t.substr(4, 4), std::string("\x09\x00\x02\x00", 4));
  // dx = (20000 + 4) / 2 = 10002 -> 40008 = 0x9C48; dy = -20000 -> (20000 & 0x3FFF) * 4 + 1 + 2.
  const int32_t dy_word = ((20000 & 0x3FFF) * 4 + 1) | 2;
  EXPECT_EQ(t.substr(8, 4), std::string({'\x48', '\x9C', static_cast<char>(dy_word & 0xFF),
                                          static_cast<char>((dy_word >> 8) & 0xFF)}));
}

TEST_F(plot_primitive, ByteCodedEndMovesAwayAndWritesTwoCommands) {
  open("e", 32);
  newpen(0);
  const size_t start = file_text("e.PLT").size();
  plot(0, 0, 999);
  const std::string t = tail("e.PLT", start);
  ASSERT_EQ(t.size(), 12u);
  EXPECT_EQ(t.substr(4), std::string("\xFF\x20\xFF\x00\xFF\x02\xFF\x00", 8));
}

TEST_F(plot_primitive, NegativePenMakesOriginAndRepeatsNeedSamePenCode) {
  open("o", 30);
  const size_t start = file_text("o.PLT").size();
  plot(1, 1, -3);
  plot(0, 0, 3);  // same device point, other pen code: passed on
  plot(0, 0, 3);  // dropped
  plot(1, 0, 2);
  EXPECT_EQ(tail("o.PLT", start), "PU400,400;PU400,400;PD800,400;");
  EXPECT_FLOAT_EQ(plot_state.origin_x, 1.0f);
  plot(0, 0, 999);
}

TEST_F(plot_primitive, PenCodesFromFiveSelectPens) {
  open("p", 30);
  const size_t start = file_text("p.PLT").size();
  plot(0, 0, 11);
  plot(0, 0, 22);
  EXPECT_EQ(tail("p.PLT", start), "SP1;SP<;");
  plot(0, 0, 999);
}

TEST_F(plot_primitive, TurnedPageSwapsCoordinates) {
  open("r", 40, 21.0f, 10.0f);
  EXPECT_TRUE(plot_state.rotated);
  plot(1, 2, 3);
  EXPECT_FLOAT_EQ(plot_state.current_x, 2.0f);
  EXPECT_FLOAT_EQ(plot_state.current_y, 20.0f);
  EXPECT_EQ(plot_state.last_x, 200);
  EXPECT_EQ(plot_state.last_y, 2000);
  plot(0, 0, 999);
}

TEST_F(plot_primitive, PostScriptPathIgnoresFarPointsAndBreaksAfter1200Segments) {
  open("ps", 40);
  plot(1, 1, 3);
  const size_t start = file_text("ps.EPS").size();
  plot_move_draw(100000, 5, 1);  // outside: ignored, point unchanged
  EXPECT_EQ(plot_state.last_x, 100);
  for (int i = 1; i <= 1201; ++i) plot_move_draw(100 + i, 100 + (i % 2), 1);
  const std::string t = tail("ps.EPS", start);
  EXPECT_EQ(t.find("100000"), std::string::npos);
  const size_t brk = t.find("S\nn\n");
  ASSERT_NE(brk, std::string::npos);
  EXPECT_EQ(t.substr(brk), "S\nn\n1300 100 m\n1301 101 l\n");
  plot(0, 0, 999);
  const std::string all = file_text("ps.EPS");
  EXPECT_NE(all.find("\nS\ngrestore\nshowpage\n%%Trailer\n"), std::string::npos);
}

TEST_F(plot_primitive, PostScriptMoveToCurrentPointWritesNothing) {
  open("m", 40);
  plot(2, 2, 3);
  const size_t start = file_text("m.EPS").size();
  plot_move_draw(200, 200, 0);
  EXPECT_EQ(file_text("m.EPS").size(), start);
  plot(0, 0, 999);
}

TEST_F(plot_primitive, PdfMovesWaitForTheFirstDrawAndMidPathMovesAreWritten) {
  open("d", 43);
  plot_end_path();
  const size_t start = file_text("d.PDF").size();
  plot_move_draw(357, 0, 0);
  plot_move_draw(690, 0, 0);
  EXPECT_EQ(file_text("d.PDF").size(), start);  // moves wait
  plot_move_draw(690, 345, 1);
  plot_move_draw(0, 0, 0);  // mid-path: written at once
  EXPECT_EQ(tail("d.PDF", start), "220.0 20.0 m\n220.0 120.0 l\n20.0 20.0 m\n");
  plot_move_draw(357, 0, 1);
  EXPECT_NE(tail("d.PDF", start).find("123.5 20.0 l\n"), std::string::npos);
  plot(0, 0, 999);
}

TEST_F(plot_primitive, PdfPenFourSetsPointSilently) {
  open("f", 43);
  const size_t start = file_text("f.PDF").size();
  plot(3, 4, 4);
  EXPECT_EQ(plot_state.last_x, 300);
  EXPECT_EQ(plot_state.last_y, 400);
  EXPECT_EQ(file_text("f.PDF").size(), start);
  plot(0, 0, 999);
}

TEST_F(plot_primitive, DxfLinesComeFromThePrimitive) {
  open("x", 41);
  const size_t start = file_text("x.DXF").size();
  plot(1, 2, 3);
  plot(7, 0.05f, 2);
  plot(0, 0, 999);
  EXPECT_EQ(tail("x.DXF", start),
            "0\r\nLINE\r\n8\r\n1\r\n62\r\n7\r\n10\r\n1\r\n20\r\n2\r\n11\r\n7\r\n21\r\n0.05\r\n"
            "0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST_F(plot_primitive, QuitStopsAllPlotOutput) {
  open("q", 30);
  const size_t start = file_text("q.PLT").size();
  qn_post_quit(0);
  plot(5, 5, 2);
  plot(0, 0, 999);
  EXPECT_EQ(tail("q.PLT", start), "PU;PA0,0;SP0;");
}

TEST_F(plot_primitive, ScreenDrawsThroughTheCallersContext) {
  const int32_t bitmap = CREATE_BITMAP(40, 40);
  ups u{};
  START_BITMAP_DRAW(bitmap, u);
  DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, 40, 40}});
  plot_set_context(u);
  NEW_PEN(plot_state.plot_ups, {.colour = 0x0000FFu});
  plot(5, 10, 3);  // the scale -1.0 and the offset 0 keep pixel rows as given
  plot(30, 10, 2);
  EXPECT_EQ(GET_PIXEL(u, {10, 10}), 0x0000FFu);
  EXPECT_NE(GET_PIXEL(u, {10, 20}), 0x0000FFu);
  END_BITMAP_DRAW(u);
}

}  // namespace

namespace {

using plot_pdf_path = plot_test;

TEST_F(plot_pdf_path, DrawAfterPenChangeStartsWithAMove) {
  open("g", 43);
  plot(1, 1, 3);
  plot(2, 1, 2);
  newpen(2);
  const size_t start = file_text("g.PDF").size();
  plot(2, 2, 2);
  EXPECT_EQ(tail("g.PDF", start), "78.0 49.0 m\n78.0 78.0 l\n");
  plot(0, 0, 999);
}

}  // namespace
