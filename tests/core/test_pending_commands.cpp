// Commands and functions that this runtime does not offer yet end the program with a clear
// report naming them, and nothing after them runs.
#include "runtime/core/core.h"
#include "runtime/core/interpreter.h"
#include "runtime/core/pxb_reader.h"
#include "support/runtime_fixture.h"

namespace {

class pending_commands : public runtime_fixture {
 protected:
  // Runs a program whose second command is `command`, then writes "after" if the run got past it.
  void run_with(const std::string& upn, const std::string& command) {
    start_headless();
    load_program_image(
        "[PROC]\nCSET=W\n[INIT]\nCODES=4\nUPNCODES=2\nUPNTOKENS=5\nTEXTTOKENS=3\nTEXTCHARACTERS=60\n"
        "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=2\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n" +
        upn + "\n[TEXTTOKENS]\n@0001 #1|\n@0002 PENDING.OUT|\n@0003 after|\n[CODES]\n"
        "/00000001 FILE @0001 @0002 %0001\n" + command + "\n/00001000 FILE @0001 @0003\nRETURN\n");
    interpreter(1);
  }
};

TEST_F(pending_commands, CommandWithoutHandlerEndsTheProgramNamingIt) {
  run_with("#1", "ARRAY @0003 %0002");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Befehl nicht gebaut: ARRAY");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  EXPECT_TRUE(file_lines("PENDING.OUT").empty());
  EXPECT_NE(file_text("PXBERROR.LOG").find("KYR-ERROR 32000:Befehl nicht gebaut: ARRAY"), std::string::npos);
}

}  // namespace
