// ARRAY: dynamic arrays created, resized and destroyed by a running program.
#include <gtest/gtest.h>

#include <bit>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
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

// ARRAY lets its own operand pass the bounds; a later read past an array's end, after the
// command, is reported again instead of yielding the element number.
TEST_F(array_command, LaterReadsPastTheEndAreReportedAgain) {
  start_headless();
  run_flags.debug_allowed = true;  // OK goes on, so that both reads are seen
  // DYN made an array of 3; IA(9) of the three-element IA; DYN released; DYN(9).
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=8\nUPNCODES=4\nUPNTOKENS=12\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
      "VARIABLES=2\nSTRINGSPACE=10\nADRSPACE=6\n[VARIABLES]\n&0001 I 0001:DYN/0\n&0002 I 0003:IA/0\n"
      "[UPNCODES]\n#3 &1 __STO\n&1\n#9 %2\n#9 %1\n[TEXTTOKENS]\n@0001 x|\n[CODES]\n%0001\n"
      "/00000004 ARRAY %0002\n%0003\n/00000020 ARRAY %0002\n%0004\nRETURN\n");
  interpreter(1);
  EXPECT_FALSE(var().array.allocated());
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "LOA Feldgrenze");
  EXPECT_EQ(boxes[1].text, "LOA Feldgrenze");
}

// The same expressions run before, while and after I is an array: each run reads the word I has
// then (its own word, the block's element 1, its own word again), and I(3) is reported once the
// block is gone.
TEST_F(array_command, AnExpressionFollowsItsVariableIntoAndOutOfTheBlock) {
  start_headless();
  run_flags.debug_allowed = true;  // OK goes on after the report
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=12\nUPNCODES=8\nUPNTOKENS=34\nTEXTTOKENS=1\nTEXTCHARACTERS=20\n"
      "VARIABLES=6\nSTRINGSPACE=10\nADRSPACE=6\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 I 0001:R/0\n"
      "&0003 I 0001:S/0\n&0004 I 0001:T/0\n&0005 I 0001:U/0\n&0006 I 0001:V/0\n"
      "[UPNCODES]\n#7 &1 __STO\n&1 &2 __STO\n&1\n#42 #3 %1 __STO\n#3 %1 &3 __STO\n&2 &4 __STO\n&2 &5 __STO\n#3 %1 &6 __STO\n"
      "[TEXTTOKENS]\n@0001 x|\n[CODES]\n%0001\n%0002\n%0006\n/00000004 ARRAY %0003\n%0004\n%0002\n"
      "%0007\n%0005\n/00000020 ARRAY %0003\n%0002\n%0008\nRETURN\n");
  interpreter(1);
  EXPECT_EQ(get_int_variable("T"), 7);   // R = I before the array
  EXPECT_EQ(get_int_variable("U"), 0);   // R = I(1) of the new block
  EXPECT_EQ(get_int_variable("S"), 42);  // I(3) of the block
  EXPECT_EQ(get_int_variable("R"), 7);   // R = I after the block is gone
  ASSERT_EQ(boxes.size(), 1u);           // V = I(3): reported, then I's own word is read
  EXPECT_EQ(boxes[0].text, "LOA Feldgrenze");
  EXPECT_EQ(get_int_variable("V"), 7);
}

// A dynamic array DYN followed by the plain variable N = 7 in the numeric space: every element
// access, by number, by name or through a text marker, goes to DYN's own block.
class dynamic_array_program : public runtime_fixture {
 protected:
  // Runs the commands with these expressions; "ARRAYS.OUT" is open on unit 1 meanwhile.
  void SetUp() override {
    runtime_fixture::SetUp();
    start_headless();
  }
  void run_program(const std::string& upn, const std::string& tokens, const std::string& commands) {
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=10\nUPNCODES=6\nUPNTOKENS=30\nTEXTTOKENS=6\nTEXTCHARACTERS=100\n"
        "VARIABLES=2\nSTRINGSPACE=10\nADRSPACE=4\n[VARIABLES]\n&0001 I 0001:DYN/0\n&0002 I 0001:N/7\n"
        "[UPNCODES]\n#0\n" + upn + "[TEXTTOKENS]\n@0001 #1|\n@0002 ARRAYS.OUT|\n" + tokens +
        "[CODES]\n/00000001 FILE @0001 @0002 %0001\n" + commands + "/00000002 FILE @0001\nRETURN\n");
    interpreter(1);
  }
  variable_record& dyn() { return variable_table.records[1]; }
};

TEST_F(dynamic_array_program, AnElementReferenceAsksForThatManyElements) {
  run_program("#100 %1\n", "", "/00000004 ARRAY %0002\n");
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(dyn().dimension, 100);
  ASSERT_TRUE(dyn().array.allocated());
  EXPECT_EQ(dyn().array.data.size(), 100u);
  // Resizing through an element reference as well.
  run_program("#100 %1\n#40 %1\n", "", "/00000004 ARRAY %0002\n/00000004 ARRAY %0003\n");
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(dyn().dimension, 40);
}

TEST_F(dynamic_array_program, ByNameAndMarkersReachTheArrayNotItsNeighbour) {
  // DYN := 3 elements; DYN(2) := 5; the marker of DYN(2) written to the file.
  run_program("#3 %1\n#5 #2 %1 __STO\n", "@0003 dyn \xFA\xFA" "0001(2) n \xFA" "0002|\n",
              "/00000004 ARRAY %0002\n%0003\n/00001000 FILE @0001 @0003\n");
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("ARRAYS.OUT"), std::vector<std::string>{"dyn 5 n 7"});
  EXPECT_EQ(get_int_variable("DYN(2)"), 5);
  // Written by name (a database fetch, a plot script): the array's element, not N.
  set_int_variable("DYN(3)", 9);
  set_real_variable("DYN(1)", 1.5f);  // an integer element takes the nearest whole number
  EXPECT_EQ(std::bit_cast<int32_t>(dyn().array.data[2]), 9);
  EXPECT_EQ(std::bit_cast<int32_t>(dyn().array.data[0]), 2);
  EXPECT_EQ(get_real_variable("DYN(1)"), 2.0f);
  EXPECT_EQ(get_int_variable("N"), 7);
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[2].start), 7);
}

}  // namespace
