// Whole PXB programs run headless from tests/programs: each writes its results with FILE into an
// output file, which is compared line by line with the program's ".expected" file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/file_command.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {

std::vector<std::string> expected_lines(const std::string& program) {
  std::ifstream in(std::string(WINKYR_TEST_PROGRAMS) + "/" + program + ".expected", std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace

class pxb_programs : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    file_command_reset();
  }
  void TearDown() override {
    file_command_reset();
    runtime_fixture::TearDown();
  }

  // Loads and runs the program, then compares its output file with the expected lines; the
  // program shows exactly the boxes given (none unless told).
  void run_and_compare(const std::string& program, const std::string& output,
                       const std::vector<std::string>& expected_boxes = {}) {
    start_headless();
    load_program(std::string(WINKYR_TEST_PROGRAMS) + "/" + program + ".pxb");
    interpreter(1);
    std::vector<std::string> shown;
    for (const box_seen& box : boxes) shown.push_back(box.text);
    EXPECT_EQ(shown, expected_boxes);
    EXPECT_FALSE(program_has_ended());
    EXPECT_EQ(call_state.depth, 0);
    const std::vector<std::string> expected = expected_lines(program);
    ASSERT_FALSE(expected.empty()) << program;
    const std::vector<std::string> actual = file_lines(output);
    for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
      EXPECT_EQ(i < actual.size() ? actual[i] : "<missing>", i < expected.size() ? expected[i] : "<extra>")
          << program << " line " << i + 1;
    }
  }
};

TEST_F(pxb_programs, IntegerAndSinglePrecisionArithmetic) { run_and_compare("eval_arith", "ARITH.OUT"); }

TEST_F(pxb_programs, LoopsAndConditionalJumps) { run_and_compare("eval_loops", "LOOPS.OUT"); }

TEST_F(pxb_programs, NestedCallsArgumentsAndTextSlots) { run_and_compare("eval_calls", "CALLS.OUT"); }

// Texts handed to a subroutine are read whole wherever an expression reads "%1" or "%2" (a
// store, a concatenation, INDEX, SYSVAR "exist"), and so is "%0", the last text result.
TEST_F(pxb_programs, TextsHandedToASubroutineAreReadWhole) { run_and_compare("eval_call_texts", "CALLTEXT.OUT"); }

// STRING formats into the width its picture asks, beyond 30 places; a width wider than the
// result field is reported and gives a blank text, never a number with digits dropped.
TEST_F(pxb_programs, StringPicturesWiderThanThirtyPlacesKeepEveryDigit) {
  run_and_compare("eval_string_widths", "WIDTHS.OUT", {"FMT-Error:(I600)", "WORK_txt :", "ERR:VALUE : 312345:******"});
}

TEST_F(pxb_programs, ComputedGotoThroughAssignedLabels) { run_and_compare("eval_goto", "GOTO.OUT"); }

TEST_F(pxb_programs, ArraysTextsMarkersAndPointers) { run_and_compare("eval_arrays", "ARRAYS.OUT"); }

// While single-stepping, stores and the results of an evaluation are traced, on every run of an
// expression.
TEST_F(pxb_programs, SingleStepTracesStoresAndResults) {
  start_headless();
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=1\nUPNCODES=5\nUPNTOKENS=40\nTEXTTOKENS=2\nTEXTCHARACTERS=40\n"
      "VARIABLES=3\nSTRINGSPACE=100\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n&0002 R 0001:R/0\n"
      "&0003 S 0001*006:T/\n[UPNCODES]\n#2.9 &1 __STO\n#1.5 #0 #2\n@1 #33 _//\n@1 &3 __STO\n"
      "@2 #1 #2 _: &3 __STO\n[TEXTTOKENS]\n@0001 abc|\n@0002 ZZ|\n[CODES]\nRETURN\n");
  debug_to_file();  // the trace goes to "$PXBDUMP.TXT" without a window
  debug_mode(1);
  run_flags.single_step_on = true;
  evaluate_upn(1, 1);
  evaluate_upn(2, 3);
  evaluate_upn(3, 1);
  evaluate_upn(4, 0);
  evaluate_upn(5, 0);
  evaluate_upn(2, 3);  // run again: traced again
  evaluate_upn(3, 1);
  run_flags.single_step_on = false;
  evaluate_upn(2, 3);  // not traced
  const std::vector<std::string> lines = file_lines("$PXBDUMP.TXT");
  ASSERT_EQ(lines.size(), 9u);
  // The integer store's line is the label "i=" and the value, as the trace channel lays it out.
  EXPECT_NE(lines[0].find("i="), std::string::npos);
  EXPECT_EQ(lines[0].back(), '2');
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{">>> STACK( 1) = 1.5", ">>> STACK( 3) = 2", ">>> SSTACK >abc!<",
                                      " = \"abc   \"", "s= \"ZZ\"", ">>> STACK( 1) = 1.5", ">>> STACK( 3) = 2",
                                      ">>> SSTACK >abc!<"}));
}

// QUIT ends the run at once and closes the main window without asking "Wirklich beenden?".
TEST_F(pxb_programs, QuitClosesTheWindowWithoutTheQuestion) {
  const int32_t window = start_headless();
  ASSERT_NE(window, 0);
  run_flags.ask_on_close = true;
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=5\nUPNCODES=1\nUPNTOKENS=2\nTEXTTOKENS=4\nTEXTCHARACTERS=60\n"
      "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n"
      "[TEXTTOKENS]\n@0001 #1|\n@0002 QUIT.OUT|\n@0003 before|\n@0004 after|\n[CODES]\n"
      "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0003\n/00000002 FILE @0001\n"
      "QUIT\n/00001000 FILE @0001 @0004\n");
  interpreter(1);
  EXPECT_EQ(call_state.pc, 5);  // the command after QUIT never ran
  EXPECT_FALSE(run_flags.ask_on_close);
  pump_for(300);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(is_valid_window(window), 0);
  EXPECT_EQ(file_lines("QUIT.OUT"), (std::vector<std::string>{"before"}));
}

// ASSIGN to a real variable reports "ASSIGN no INT" and then its own command text with code 1;
// with debugging allowed and both boxes answered with OK the program goes on.
TEST_F(pxb_programs, AssignToARealReportsTwiceAndGoesOnWhenAllowed) {
  start_headless();
  run_flags.debug_allowed = true;
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=5\nUPNCODES=2\nUPNTOKENS=4\nTEXTTOKENS=3\nTEXTCHARACTERS=60\n"
      "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 R 0001:R/0\n[UPNCODES]\n#0\n&1\n"
      "[TEXTTOKENS]\n@0001 #1|\n@0002 ASSIGN.OUT|\n@0003 after|\n[CODES]\n"
      "/00000001 FILE @0001 @0002 %0001\nASSIGN :0001 &0002\n/00001000 FILE @0001 @0003\n"
      "/00000002 FILE @0001\nRETURN\n");
  interpreter(1);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "ASSIGN no INT");
  EXPECT_EQ(boxes[1].text, "ASSIGN :0001 &0002");
  EXPECT_EQ(file_lines("ASSIGN.OUT"), (std::vector<std::string>{"after"}));
}
