// ARRAY: the chart layout and a chart drawn into screen 0 from two program arrays.
#include <gtest/gtest.h>

#include "runtime/commands/commands.h"
#include "runtime/commands/draw_state.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"

namespace {

// Variables 1 and 2 are four-element real arrays of codes and values.
class array_chart : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=1\nUPNCODES=3\nUPNTOKENS=20\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
        "VARIABLES=2\nSTRINGSPACE=10\nADRSPACE=10\n[VARIABLES]\n&0001 R 0004:CODES\n&0002 R 0004:VALUES\n"
        "[UPNCODES]\n#50 #150 #10.9 #20 #300 #200\n#0 #0 #10 #10\n#4 #1 #2 #0\n[TEXTTOKENS]\n@0001 x|\n"
        "[CODES]\nRETURN\n");
    array_command_reset();
    agraf_reset();
  }
  void run(int32_t flags, int32_t expression) {
    code_record rec;
    rec.opcode = 47;
    rec.flags = flags;
    rec.expression = expression;
    cmd_ARRAY(rec);
  }
  void set(int32_t v, int32_t k, float value) {
    ADRSPACE.set_real(variable_table.records[static_cast<size_t>(v)].start + k, value);
  }
};

TEST_F(array_chart, LayoutIsTruncatedAndHandedToTheChartOnDrawing) {
  run(1024, 1);
  run(65536, 2);
  // Polyline of 2 points: (0, 0) and (10, 0) -> pixels (50, 150) and (150, 150).
  set(1, 0, -1.0f);
  set(2, 0, 2.0f);
  set(1, 1, 0.0f);
  set(2, 1, 0.0f);
  set(1, 2, 10.0f);
  set(2, 2, 0.0f);
  run(2, 3);
  const agraf_layout l = agraf_get_layout();
  EXPECT_EQ(l.x0, 50);
  EXPECT_EQ(l.x_lo, 10);  // 10.9 truncated
  EXPECT_EQ(l.x_hi, 300);
  EXPECT_EQ(l.x_scale, 10.0f);
  EXPECT_EQ(agraf_point().x, 150);
  EXPECT_EQ(agraf_point().y, 150);
  ups u;
  screen_nr(0, u, -1, 0, 0, 0);
  const uint32_t on_line = GET_PIXEL(u, {100, 150});
  const uint32_t off_line = GET_PIXEL(u, {100, 120});
  screen_stop_nr(0);
  EXPECT_NE(on_line, off_line);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(array_chart, CountBeyondTheArraysStopsAtTheirEnd) {
  run(1024, 1);
  run(65536, 2);
  set(1, 0, -1.0f);
  set(2, 0, 9.0f);  // asks for nine points, the arrays hold three
  set(1, 1, 1.0f);
  set(2, 1, 1.0f);
  set(1, 2, 2.0f);
  set(2, 2, 1.0f);
  set(1, 3, 3.0f);
  set(2, 3, 1.0f);
  run(2, 3);
  EXPECT_EQ(agraf_point().x, 80);
  EXPECT_EQ(agraf_point().y, 140);
}

}  // namespace

namespace {

// The line list: X1, Y1, X2, Y2 reals and PENS integers, two lines each.
class array_lines : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=1\nUPNCODES=3\nUPNTOKENS=20\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
        "VARIABLES=6\nSTRINGSPACE=10\nADRSPACE=20\n[VARIABLES]\n&0001 R 0002:X1\n&0002 R 0002:Y1\n"
        "&0003 R 0002:X2\n&0004 R 0002:Y2\n&0005 I 0002:PENS\n&0006 I 0001:LI_NR_ON_OFF\n"
        "[UPNCODES]\n#0 #200 #10 #10 #300 #200\n#0 #0 #1 #1\n#2 #1 #2 #3 #4 #5 #0 #0\n"
        "[TEXTTOKENS]\n@0001 x|\n[CODES]\nRETURN\n");
    array_command_reset();
    run(1024, 1);
    run(65536, 2);
  }
  void run(int32_t flags, int32_t expression) {
    code_record rec;
    rec.opcode = 47;
    rec.flags = flags;
    rec.expression = expression;
    cmd_ARRAY(rec);
  }
  void line(int32_t k, float x1, float y1, float x2, float y2, int32_t pen) {
    auto at = [](int32_t v) { return variable_table.records[static_cast<size_t>(v)].start; };
    ADRSPACE.set_real(at(1) + k, x1);
    ADRSPACE.set_real(at(2) + k, y1);
    ADRSPACE.set_real(at(3) + k, x2);
    ADRSPACE.set_real(at(4) + k, y2);
    ADRSPACE.set_int(at(5) + k, pen);
  }
  uint32_t pixel(int32_t x, int32_t y) {
    ups u;
    screen_nr(0, u, -1, 0, 0, 0);
    const uint32_t p = GET_PIXEL(u, {x, y});
    screen_stop_nr(0);
    return p;
  }
};

TEST_F(array_lines, LinesLeftOfTheRectangleAreSkippedOthersDrawnWhole) {
  line(0, 1.0f, 100.0f, 5.0f, 100.0f, 4);     // pixels x 1..5: both left of x1 = 10
  line(1, 20.0f, 150.0f, 100.0f, 150.0f, 3);  // inside, at pixel row 200 - 150
  const uint32_t blank = pixel(50, 50);
  run(8, 3);
  EXPECT_EQ(pixel(3, 100), blank);
  EXPECT_NE(pixel(50, 50), blank);
  EXPECT_EQ(graphics.current_colour, 3);  // the pen array's last pen stays current
  for (const auto& b : boxes) ADD_FAILURE() << b.text;
}

TEST_F(array_lines, LineLeavingTheRectangleIsNotSkipped) {
  line(0, 1.0f, 100.0f, 100.0f, 100.0f, 3);  // starts left of the rectangle, ends inside
  line(1, 0.0f, 0.0f, 0.0f, 0.0f, 3);
  const uint32_t blank = pixel(50, 100);
  run(8, 3);
  EXPECT_NE(pixel(50, 100), blank);  // not skipped for its end outside
}

TEST_F(array_lines, LineLeavingTheRectangleIsDrawnWholeAlsoOutsideIt) {
  line(0, 1.0f, 100.0f, 100.0f, 100.0f, 3);  // from pixel (1, 100), left of x1 = 10, to (100, 100)
  line(1, 150.0f, 150.0f, 150.0f, 250.0f, 3);  // from row 50 up to row -50, above y1 = 10
  const uint32_t blank = pixel(5, 100);
  run(8, 3);
  EXPECT_NE(pixel(5, 100), blank);  // the part left of the rectangle stays on the screen
  EXPECT_NE(pixel(150, 5), blank);  // and the part above it
  EXPECT_NE(pixel(50, 100), blank);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
