// The plot routines for later callers: device predicate, DXF header and trailer, origin shift,
// scale ratio, filled and hatched rectangles and the text writer with narrow commas.
#include <string>

#include "test_plot_fixture.h"

namespace {

using plot_extras = plot_test;

TEST_F(plot_extras, DevicePredicate) {
  int32_t flag = -1;
  for (int32_t code : {0, 1, 20, 21, 22, 23, 24, 30, 31, 32, 40, 41, 43, 49}) {
    plot_device_supported(code, flag);
    EXPECT_EQ(flag, 1) << code;
  }
  for (int32_t code : {-1, 2, 25, 29, 42, 48, 50}) {
    plot_device_supported(code, flag);
    EXPECT_EQ(flag, 0) << code;
  }
}

TEST_F(plot_extras, DxfHeaderDropsEmptyLinesAndTrailerEndsFile) {
  use_own_data({{"VEXTA10.ACH", "0   \n\n   \nSECTION\n"}});
  open("d.DXF", 41);
  const size_t start = file_text("d.DXF").size();
  dxf_write_header();
  dxf_write_trailer();
  EXPECT_EQ(tail("d.DXF", start), "0\r\nSECTION\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST_F(plot_extras, DxfHeaderMissingIsReported) {
  use_own_data({});
  EXPECT_THROW(dxf_write_header(), program_end);
  EXPECT_EQ(reported(), "%GKS-dxf, VEXTA10.ACH not found");
}

TEST_F(plot_extras, OriginShiftAndRatio) {
  float ratio = -1;
  plot_scale_ratio(ratio);
  EXPECT_EQ(ratio, 0.0f);  // no scale yet
  plot_shift_origin(100, 100);
  EXPECT_EQ(plot_state.origin_x, 0.0f);
  plot_state.xfac = 400;
  plot_state.yfac = 200;
  plot_shift_origin(100, -50);
  EXPECT_FLOAT_EQ(plot_state.origin_x, 0.25f);
  EXPECT_FLOAT_EQ(plot_state.origin_y, -0.25f);
  plot_scale_ratio(ratio);
  EXPECT_FLOAT_EQ(ratio, 2.0f);
}

TEST_F(plot_extras, FillOneUnitHighDrawsTwoRows) {
  open("f", 30);
  const size_t start = file_text("f.PLT").size();
  plot_fill_rect(0, 0, 10.0f / 400, 1.0f / 400 + 1e-6f);
  EXPECT_EQ(tail("f.PLT", start), "PU0,0;PD10,0;PU0,1;PD10,1;");
  EXPECT_EQ(plot_state.current_x, 0.0f);
}

TEST_F(plot_extras, FillNegativeWidthDrawsNothingTallFillsColumns) {
  open("g", 30);
  size_t start = file_text("g.PLT").size();
  plot_fill_rect(1, 1, -1, -1);
  EXPECT_EQ(tail("g.PLT", start), "");
  plot_fill_rect(0, 0, 1.0f / 400 + 1e-6f, 3.0f / 400 + 1e-6f);
  EXPECT_EQ(tail("g.PLT", start), "PU0,0;PD0,3;PU1,0;PD1,3;");
}

TEST_F(plot_extras, DxfRectangleIsFourLines) {
  use_own_data({{"VEXTA10.ACH", "0\n"}});
  open("r.DXF", 41);
  const size_t start = file_text("r.DXF").size();
  plot_hatch_rect(1, 2, 3, 4);
  const std::string t = tail("r.DXF", start);
  size_t lines = 0;
  for (size_t at = t.find("LINE"); at != std::string::npos; at = t.find("LINE", at + 1)) ++lines;
  EXPECT_EQ(lines, 4u);
  EXPECT_FLOAT_EQ(plot_state.current_x, 1.0f);
  EXPECT_FLOAT_EQ(plot_state.current_y, 2.0f);
}

TEST_F(plot_extras, HatchSmallScaleDrawsOutlineOnly) {
  open("h", 30);
  plot_state.xfac = 4;  // 0.2 cm is less than one device unit
  plot_state.yfac = 4;
  const size_t start = file_text("h.PLT").size();
  plot_hatch_rect(2, 2, -1, -1);  // corners are sorted
  EXPECT_EQ(tail("h.PLT", start), "PU4,4;PD4,8;PD8,8;PD8,4;PD4,4;");
}

TEST_F(plot_extras, HatchLinesAreClippedToTheRectangle) {
  open("k", 30);
  plot_state.xfac = 10;  // step 2 device units
  plot_state.yfac = 10;
  const size_t start = file_text("k.PLT").size();
  plot_hatch_rect(0, 0, 0.4f, 0.2f);  // 4 wide, 2 high
  EXPECT_EQ(tail("k.PLT", start),
            "PU0,0;PD0,2;PD4,2;PD4,0;PD0,0;"
            "PU0,0;PD0,0;PU0,2;PD2,0;PU2,2;PD4,0;");
}

TEST_F(plot_extras, TextCommasStepsNarrowAfterComma) {
  open("t", 30);
  // The HP-GL file shows each character's start: 0, 0.6 and 0.6 + 0.42 cm at 400 units a cm.
  const size_t start = file_text("t.PLT").size();
  plot_text_commas(0, 0, 1, "1,5  ", 0, 0);
  const std::string t = tail("t.PLT", start);
  EXPECT_NE(t.find("LB1\x03PU240,0;LB,\x03PU408,0;LB5\x03"), std::string::npos) << t;
}

}  // namespace
