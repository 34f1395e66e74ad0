// Every command is built; an opcode beyond the last command (a damaged or newer program) runs
// as ARRAY, which with no option reports that it neither creates nor destroys.
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {

class pending_commands : public runtime_fixture {
 protected:
  // Runs a program whose second command gets `opcode`, then writes "after" if the run got past it.
  void run_with_opcode(int32_t opcode) {
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=4\nUPNCODES=2\nUPNTOKENS=5\nTEXTTOKENS=3\nTEXTCHARACTERS=60\n"
        "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n&1\n"
        "[TEXTTOKENS]\n@0001 #1|\n@0002 PENDING.OUT|\n@0003 after|\n[CODES]\n"
        "/00000001 FILE @0001 @0002 %0001\nARRAY %0002\n/00001000 FILE @0001 @0003\nRETURN\n");
    program_image.codes[2].opcode = opcode;
    interpreter(1);
  }
};

TEST_F(pending_commands, OpcodeAboveTheLastCommandRunsArray) {
  run_with_opcode(48);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ARR-No-Crea/Des");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  EXPECT_TRUE(file_lines("PENDING.OUT").empty());
}

}  // namespace
