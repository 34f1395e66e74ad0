// qn_main from start to end with a real program file: the order of the start-up steps in the
// dump log, the first run, and the end of the message loop when the program quits.
#include <gtest/gtest.h>

// Before Qt's headers, whose "slots" would take the form engine's table apart.
#include "runtime/output/print/print.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "support/runtime_fixture.h"

namespace {
class qn_main_test : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    ensure_test_application();
    // Never hang: the loop is ended from outside after ten seconds.  The timer belongs to the
    // fixture, so it dies with the test and never fires into a later one.
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      timed_out_ = true;
      qn_post_quit(0);
    });
    watchdog_.start(10000);
  }
  void write_program(const std::string& name, const std::string& codes) {
    std::ofstream(dir / name, std::ios::binary)
        << "[PROC]\n[INIT]\nCODES=0002\nUPNCODES=10\nUPNTOKENS=10\nTEXTTOKENS=10\nTEXTCHARACTERS=100\n"
           "VARIABLES=5\nSTRINGSPACE=20480\nADRSPACE=10\n[CODES]\n"
        << codes;
  }
  bool timed_out_ = false;
  QTimer watchdog_;
};

TEST_F(qn_main_test, DollarSignLogsEveryStepInOrderAndQuitEndsTheLoop) {
  write_program("prog.pxb", "QUIT\nQUIT\n");
  EXPECT_EQ(qn_main("$prog.pxb"), 0);
  EXPECT_FALSE(timed_out_);
  EXPECT_EQ(is_valid_window(main_window()), 0);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;  // no close question after QUIT

  // The steps of qn_main, in this order, between the lines of the trace channel.
  const std::vector<std::string> steps = {"startup",
                                          "load_program prog.pxb",
                                          "call init_common...",
                                          "call init_application...",
                                          "call look_do_paint...",
                                          "call no_do_paint...",
                                          "call interpreter(1)...",
                                          "call look_do_paint...",
                                          "KYRMAIN/qn_main: call quillon_loop",
                                          "KYRMAIN: end qn_main"};
  std::vector<std::string> seen;
  for (const std::string& line : file_lines("$PXBDUMP.LOG"))
    if (std::find(steps.begin(), steps.end(), line) != steps.end()) seen.push_back(line);
  EXPECT_EQ(seen, steps);
  auto lines = file_lines("$PXBDUMP.LOG");
  EXPECT_NE(std::find(lines.begin(), lines.end(), " arg1= prog.pxb"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "U_APP default init_application"), lines.end());
}

TEST_F(qn_main_test, WithoutTheDollarSignNoDumpLogIsWritten) {
  write_program("prog.pxb", "QUIT\nQUIT\n");
  EXPECT_EQ(qn_main("Prog.Pxb"), 0);
  EXPECT_FALSE(timed_out_);
  EXPECT_FALSE(std::filesystem::exists(dir / "$PXBDUMP.LOG"));
}

TEST_F(qn_main_test, MissingProgramEndsWithoutEnteringTheLoop) {
  EXPECT_EQ(qn_main("none.pxb"), exit_not_loaded);
  EXPECT_FALSE(timed_out_);
  EXPECT_TRUE(program_has_ended());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  EXPECT_EQ(file_lines("PXBERROR.LOG").size(), 1u);
}
// The user closes the window while the program's printer job is open and answers "Wirklich
// beenden?" with Yes: the run ends with status 0 and the page printed so far is in the PDF file.
TEST_F(qn_main_test, WindowClosedWithAPrintJobOpenKeepsItsPages) {
  const std::string pdf = (dir / "out.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", pdf.c_str(), 1);
  std::ofstream(dir / "brief.frm", std::ios::binary) << "Rechnung\n";
  std::ofstream(dir / "prog.pxb", std::ios::binary)
      << "[PROC]\n[INIT]\nCODES=2\nUPNCODES=1\nUPNTOKENS=1\nTEXTTOKENS=1\nTEXTCHARACTERS=10\nVARIABLES=1\n"
         "STRINGSPACE=10\nADRSPACE=10\n[UPNCODES]\n#0\n[TEXTTOKENS]\n@0001 brief|\n[CODES]\nPRINT @0001\nRETURN\n";
  box_answer = IDYES;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&closer] {
    if (!print_output_info().job_open) return;
    closer.stop();
    CLOSE_WINDOW(main_window());
  });
  closer.start(20);
  EXPECT_EQ(qn_main("prog.pxb"), 0);
  ::unsetenv("WINKYR_PRINT_PDF");
  EXPECT_FALSE(timed_out_);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Wirklich beenden?");
  EXPECT_FALSE(print_output_info().job_open);
  EXPECT_NE(file_text("out.pdf").find("/Type /Page"), std::string::npos);
  EXPECT_EQ(file_text("out.pdf").substr(file_text("out.pdf").size() - 6), "%%EOF\n");
  print_output_reset();
}

}  // namespace
