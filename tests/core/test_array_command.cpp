// ARRAY: dynamic arrays created, resized and destroyed by a running program.
#include <gtest/gtest.h>

#include "runtime/core/commands.h"
#include "runtime/core/core.h"
#include "runtime/core/interpreter.h"
#include "runtime/core/program_image.h"
#include "runtime/core/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {

class array_command : public runtime_fixture {
 protected:
  // Variable 1 (integer) := size, then the given ARRAY commands on it.
  void run_program(const std::string& size, const std::string& commands) {
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=6\nUPNCODES=2\nUPNTOKENS=8\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
        "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#" + size +
        " &1 __STO\n&1\n[TEXTTOKENS]\n@0001 x|\n[CODES]\n%0001\n" + commands + "RETURN\n");
    interpreter(1);
  }
  variable_record& var() { return variable_table.records[1]; }
};

TEST_F(array_command, CreateGivesZeroedBlockOfTheVariablesValue) {
  run_program("10", "/00000004 ARRAY %0002\n");
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(var().dimension, 10);
  ASSERT_TRUE(var().array.allocated());
  EXPECT_EQ(var().array.data.size(), 10u);
  for (uint32_t w : var().array.data) EXPECT_EQ(w, 0u);
}

TEST_F(array_command, DestroyMakesTheVariableAScalarAgain) {
  run_program("5", "/00000004 ARRAY %0002\n/00000020 ARRAY %0002\n");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(var().dimension, 1);
  EXPECT_FALSE(var().array.allocated());
}

TEST_F(array_command, SizeOfOneIsNoArray) {
  run_program("1", "/00000004 ARRAY %0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ARRC-NoArray");
  EXPECT_FALSE(var().array.allocated());
}

TEST_F(array_command, DestroyWithoutArrayIsReported) {
  run_program("5", "/00000020 ARRAY %0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ARRD-NoArray");
}

// The variable's value is its element 0 once it is an array, so that word chooses the new size.
TEST_F(array_command, ResizeKeepsLeadingElementsAndZeroFillsTheRest) {
  run_program("10", "/00000004 ARRAY %0002\n");
  ASSERT_EQ(var().dimension, 10);
  for (uint32_t k = 0; k < 10; ++k) var().array.data[k] = 100 + k;
  var().array.data[0] = 5;
  code_record rec;
  rec.opcode = 47;
  rec.flags = 4;
  rec.expression = 2;
  cmd_ARRAY(rec);
  ASSERT_EQ(var().dimension, 5);
  ASSERT_EQ(var().array.data.size(), 5u);
  EXPECT_EQ(var().array.data[4], 104u);
  var().array.data[0] = 10;
  cmd_ARRAY(rec);
  ASSERT_EQ(var().dimension, 10);
  EXPECT_EQ(var().array.data[4], 104u);
  EXPECT_EQ(var().array.data[5], 0u);
  EXPECT_EQ(var().array.data[9], 0u);
  // The same size again changes nothing.
  var().array.data[9] = 7;
  cmd_ARRAY(rec);
  EXPECT_EQ(var().array.data[9], 7u);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(array_command, HugeSizeIsRefusedNotAllocated) {
  run_program("1000000000", "/00000004 ARRAY %0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "can't allocate dynARRAY");
}

}  // namespace
