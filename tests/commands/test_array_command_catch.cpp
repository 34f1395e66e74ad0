// ARRAY: the catch-line search and the element copy on static arrays.
#include <gtest/gtest.h>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {

// Variables 3..6 are three-element real arrays X1, Y1, X2, Y2.
class array_catch : public runtime_fixture {
 protected:
  void load(const std::string& upn) {
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=1\nUPNCODES=1\nUPNTOKENS=10\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
        "VARIABLES=6\nSTRINGSPACE=10\nADRSPACE=20\n[VARIABLES]\n&0001 I 0001:FANGLINIE\n"
        "&0002 I 0001:LPUNKT\n&0003 R 0003:X1\n&0004 R 0003:Y1\n&0005 R 0003:X2\n&0006 R 0003:Y2\n"
        "[UPNCODES]\n" + upn + "\n[TEXTTOKENS]\n@0001 x|\n[CODES]\nRETURN\n");
  }
  void set(int32_t v, int32_t k, float value) {
    ADRSPACE.set_real(variable_table.records[static_cast<size_t>(v)].start + k, value);
  }
  float get(int32_t v, int32_t k) {
    return ADRSPACE.get_real(variable_table.records[static_cast<size_t>(v)].start + k);
  }
  // Lines (0,0)-(10,0), (0,5)-(10,5), (0,2)-(10,2).
  void three_lines() {
    const float ys[3] = {0.0f, 5.0f, 2.0f};
    for (int32_t k = 0; k < 3; ++k) {
      set(3, k, 0.0f);
      set(4, k, ys[k]);
      set(5, k, 10.0f);
      set(6, k, ys[k]);
    }
  }
  void run(int32_t flags) {
    code_record rec;
    rec.opcode = 47;
    rec.flags = flags;
    rec.expression = 1;
    cmd_ARRAY(rec);
  }
  int32_t found() { return get_int_variable("fanglinie"); }
};

TEST_F(array_catch, NearestLineWithinToleranceAndItsNearerEnd) {
  load("#8 #1.5 #3 #3 #3 #4 #5 #6");
  three_lines();
  run(32768);
  EXPECT_EQ(found(), 3);  // y = 2 is 0.5 away, y = 0 is 1.5 away
  EXPECT_EQ(get_int_variable("lpunkt"), 2);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(array_catch, ToleranceZeroFindsNothing) {
  load("#8 #2 #0 #3 #3 #4 #5 #6");
  three_lines();
  run(32768);
  EXPECT_EQ(found(), 0);
}

TEST_F(array_catch, LineThroughThePointStopsTheSearch) {
  load("#2 #0 #3 #3 #3 #4 #5 #6");
  three_lines();
  set(6, 2, 0.0f);  // the third line lies on y = 0 too
  run(32768);
  EXPECT_EQ(found(), 1);
  EXPECT_EQ(get_int_variable("lpunkt"), 1);
}

TEST_F(array_catch, PointFormNeverFindsNegativeX) {
  load("#-1 #1 #5 #3 #3 #4 #0 #0");
  set(3, 0, -1.0f);
  set(4, 0, 1.0f);  // exactly on the point but left of 0
  set(3, 1, 1.0f);
  set(4, 1, 1.0f);
  set(3, 2, 50.0f);
  set(4, 2, 1.0f);
  run(32768);
  EXPECT_EQ(found(), 2);
}

TEST_F(array_catch, CopyRunsBetweenArraysCountedFromOne) {
  load("#2 #3 #2 #5 #1");
  for (int32_t k = 0; k < 3; ++k) set(3, k, 10.0f + k);
  run(4096);
  EXPECT_EQ(get(5, 0), 11.0f);
  EXPECT_EQ(get(5, 1), 12.0f);
  EXPECT_EQ(get(5, 2), 0.0f);
}

TEST_F(array_catch, CopyPastTheArraysEndWritesNothingOutside) {
  load("#3 #3 #2 #5 #2");
  for (int32_t k = 0; k < 3; ++k) set(3, k, 10.0f + k);
  run(4096);
  EXPECT_EQ(get(5, 1), 11.0f);
  EXPECT_EQ(get(5, 2), 12.0f);
  EXPECT_EQ(get(6, 0), 0.0f);  // the element behind X2's last stays untouched
}

}  // namespace
