// ARRAY: the chart layout and a chart drawn into screen 0 from two program arrays.
#include <gtest/gtest.h>

#include "runtime/core/commands.h"
#include "runtime/core/core.h"
#include "runtime/core/interpreter.h"
#include "runtime/core/program_image.h"
#include "runtime/core/pxb_reader.h"
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
