// The HP-GL import's parser and the records of its work file: pen moves in absolute and
// relative mode, pen selection, rotation, labels, unknown mnemonics and the segment limit.
#include <gtest/gtest.h>

#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/commands/debugger.h"
#include "runtime/output/plot/plot.h"
#include "support/runtime_fixture.h"

namespace {

using hpgl_import_test = runtime_fixture;

std::string trimmed(std::string_view t) {
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return std::string(t);
}

TEST_F(hpgl_import_test, SquareCornerGivesTwoSegmentsAndHeader) {
  const hpgl_result r = hpgl_parse("IN;SP1;PU0,0;PD100,0,100,100;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 2u);
  const auto records = hpgl_output_records(r);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], "    2         0         0       100       100   10000.0   10000.0");
  EXPECT_EQ(records[1], "    1         0         0       100         0       100         0");
  EXPECT_EQ(records[2], "    1       100         0       100       100         0       100");
}

TEST_F(hpgl_import_test, LowerCaseMnemonicAndOddNumberCount) {
  const hpgl_result r = hpgl_parse("pd10,20,30;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 1u);  // the single 30 is ignored
  EXPECT_EQ(r.segments[0].x2, 10);
  EXPECT_EQ(r.segments[0].y2, 20);
}

TEST_F(hpgl_import_test, OtherPenMovesWithoutRecording) {
  const hpgl_result r = hpgl_parse("SP1;PD50,50;SP2;PD60,70;", 1.0f, 2);
  ASSERT_EQ(r.segments.size(), 1u);
  // The pen-1 line was not kept, but the pen-2 line starts where it ended.
  EXPECT_EQ(r.segments[0].pen, 2);
  EXPECT_EQ(r.segments[0].x1, 50);
  EXPECT_EQ(r.segments[0].y1, 50);
  EXPECT_EQ(r.segments[0].x2, 60);
}

TEST_F(hpgl_import_test, RelativeModeScaleAndRotation) {
  hpgl_result r = hpgl_parse("PU10,10;PR;PD5,-5,5,5;", 2.0f, 0);
  ASSERT_EQ(r.segments.size(), 2u);
  EXPECT_EQ(r.segments[0].x1, 20);
  EXPECT_EQ(r.segments[0].x2, 30);
  EXPECT_EQ(r.segments[0].y2, 10);
  EXPECT_EQ(r.segments[1].x2, 40);
  EXPECT_EQ(r.segments[1].y2, 20);
  // Rotation turns (x, y) into (-y, x); halves of the scaled value round away from zero.
  r = hpgl_parse("RO90;PD3,5;", 0.5f, 0);
  ASSERT_EQ(r.segments.size(), 1u);
  EXPECT_EQ(r.segments[0].x2, -3);
  EXPECT_EQ(r.segments[0].y2, 2);
  // IN switches rotation off and returns to (0, 0).
  r = hpgl_parse("RO90;PA9,9;IN;PD1,2;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 1u);
  EXPECT_EQ(r.segments[0].x2, 1);
  EXPECT_EQ(r.segments[0].y2, 2);
}

TEST_F(hpgl_import_test, BlanksBetweenNumbersAreSeparators) {
  const hpgl_result r = hpgl_parse("PD 10 , 20  30,40 ;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 2u);
  EXPECT_EQ(r.segments[0].x2, 10);
  EXPECT_EQ(r.segments[0].y2, 20);
  EXPECT_EQ(r.segments[1].x2, 30);
  EXPECT_EQ(r.segments[1].y2, 40);
}

TEST_F(hpgl_import_test, LabelTextIsIgnoredUpToEtx) {
  const hpgl_result r = hpgl_parse("LBPD99,99;\x03PD1,1;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 1u);
  EXPECT_EQ(r.segments[0].x2, 1);
}

TEST_F(hpgl_import_test, UnknownPairSkipsSilentlyTableEntryTraces) {
  debug_to_file();
  const hpgl_result r = hpgl_parse("PD1,1;ZZ1,2;PD2,2;", 1.0f, 0);
  EXPECT_EQ(r.segments.size(), 2u);
  EXPECT_EQ(trimmed(trace_line_text()), "");
  // A parameter text of more than 127 characters is skipped as a whole.
  EXPECT_TRUE(hpgl_parse("PD" + std::string(130, '1') + ";PD1,1;", 1.0f, 0).segments.size() == 1u);
  hpgl_parse("CI50;", 1.0f, 0);
  EXPECT_NE(trace_line_text().find("HP unknown :CI 50"), std::string_view::npos);
}

TEST_F(hpgl_import_test, PenNumberOutsideOneToEightIsIgnored) {
  const hpgl_result r = hpgl_parse("SP3;SP9;PD1,1;SP0;PD2,2;SP2.6;PD3,3;", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 3u);
  EXPECT_EQ(r.segments[0].pen, 3);
  EXPECT_EQ(r.segments[1].pen, 3);
  EXPECT_EQ(r.segments[2].pen, 3);  // 2.6 rounds to 3
}

TEST_F(hpgl_import_test, CommandEndingInNextMnemonicAndAtEndOfInput) {
  // A letter ends the numbers and starts the next mnemonic, also in lower case; the last
  // command's numbers count even without a closing ";".
  const hpgl_result r = hpgl_parse("PD1,1pu2,2PD3,3", 1.0f, 0);
  ASSERT_EQ(r.segments.size(), 2u);
  EXPECT_EQ(r.segments[0].x2, 1);
  EXPECT_EQ(r.segments[1].x1, 2);
  EXPECT_EQ(r.segments[1].x2, 3);
}

TEST_F(hpgl_import_test, SegmentLimitOverwritesTheLast) {
  std::string input = "PD";
  for (int i = 1; i <= 1005; ++i) input += std::to_string(i) + ",0;PD";
  input += "0,0;";
  const hpgl_result r = hpgl_parse(input, 1.0f, 0);
  ASSERT_EQ(r.segments.size(), hpgl_max_segments);
  EXPECT_EQ(r.segments.back().x2, 0);
  EXPECT_EQ(r.max_x, 1005);
}

TEST_F(hpgl_import_test, EmptyInputAndHugeValuesKeepFieldWidths) {
  const auto empty = hpgl_output_records(hpgl_parse("", 1.0f, 0));
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0], "    0         0         0         0         0       0.0       0.0");
  const auto huge = hpgl_output_records(hpgl_parse("PD99999999999,-99999999999;", 1e9f, 0));
  ASSERT_EQ(huge.size(), 2u);
  EXPECT_EQ(huge[0].size(), 65u);
  EXPECT_EQ(huge[0].substr(15, 10), "**********");  // min y -2147483648 does not fit
  EXPECT_EQ(huge[1].size(), 65u);
}

}  // namespace
