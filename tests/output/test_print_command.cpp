// The PRINT command: its options in their order of precedence, HTML mode switching, the modes
// of a form print, direct output of a finished file and the printer settings.
#include "output/test_print_fixture.h"
#include "output/test_plot_fixture.h"

#include <cerrno>
#include <cstring>

#include "runtime/commands/commands.h"
#include "runtime/commands/interpreter.h"
#include "runtime/output/plot/plot.h"
#include "support/file_size_limit.h"
#include "support/left_behind.h"
#include "support/runtime_fixture.h"

// Qt's headers come last: their "slots" keyword would clash with the runtime's headers.
#include <QApplication>
#include <QWidget>

namespace {

class print_command : public print_test {
 protected:
  // Runs PRINT with T1, T2 (0: the same token as T1), the flags and an expression.
  static void run(const std::string& t1, const std::string& t2, int32_t flags, const std::string& expression = "") {
    code_record rec;
    rec.opcode = 25;
    rec.token1 = token(t1);
    rec.token2 = t2.empty() ? rec.token1 : token(t2);
    rec.flags = flags;
    rec.expression = expression.empty() ? 0 : expr(expression);
    call_state.command_flags = flags;
    call_state.command_error = 0;
    cmd_PRINT(rec);
  }
};

TEST_F(print_command, HtmlModeSwitchesPrintNothing) {
  const private_temporary_folder tmp(dir / "tmp");
  run(".htm", "", 0);
  EXPECT_TRUE(print_job_info().html);
  EXPECT_EQ(left_behind(dir, {"tmp/"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
  run(".F", "", 0);
  EXPECT_FALSE(print_job_info().html);
  run(".h", "", 0);
  run(".f  ", "", 0);
  EXPECT_FALSE(print_job_info().html);
  EXPECT_EQ(print_get_preview_window(), 0);
  // ".f" without two blanks is a form name like any other.
  run(".fx", "", 0x8);
  EXPECT_NE(last_warning_message().find(".fx.frm"), std::string::npos);
}

TEST_F(print_command, FormModesPreviewAndMetaFile) {
  const private_temporary_folder tmp(dir / "tmp");
  write_file("brief.frm", {"Herr {NAME####"});
  run("brief", "", 0x8);
  ASSERT_NE(print_get_preview_window(), 0);
  EXPECT_EQ(preview_lines().front(), "      Herr Meier");
  EXPECT_EQ(left_behind(dir, {"brief.frm", "tmp/"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});

  // With both bits the meta file wins.
  run("brief", "", 0x8 | 0x80);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"      Herr Meier"}));
  EXPECT_EQ(left_behind(dir, {"brief.frm", "meta.txt", "tmp/"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
}

TEST_F(print_command, FormToPrinterStaysOpenUntilEndOption) {
  write_file("brief.frm", {"Herr {NAME####"});
  run("brief", "", 0);
  run("brief", "", 0);
  EXPECT_TRUE(print_output_info().job_open);
  run(" ", "", 0x800);
  EXPECT_FALSE(print_output_info().job_open);
  EXPECT_EQ(pdf_pages(pdf), 2);
}

TEST_F(print_command, DirectFileOutputEndsThePrinterJob) {
  write_file("ready.txt", {"one", "\f", "two"});
  run("ready.txt", "", 0x40);
  EXPECT_FALSE(print_output_info().job_open);
  EXPECT_EQ(pdf_pages(pdf), 2);
  // In preview mode the file is shown as it is, and not deleted.
  run("ready.txt", "", 0x40 | 0x8);
  EXPECT_EQ(preview_lines().front(), "      one");
  EXPECT_TRUE(exists("ready.txt"));
}

TEST_F(print_command, SecondNameBecomesMetaNameAndSwitchesAreSet) {
  write_file("ready.txt", {"x"});
  run("ready.txt", "export.htm", 0x40 | 0x8 | 0x1);
  EXPECT_EQ(print_output_info().meta_name, "export.htm");
  EXPECT_TRUE(print_output_info().switch_a);
  EXPECT_TRUE(print_output_info().switch_b);
  run("ready.txt", "   ", 0x40 | 0x8 | 0x2);
  EXPECT_EQ(print_output_info().meta_name, "export.htm");
  EXPECT_TRUE(print_output_info().switch_a);
  EXPECT_FALSE(print_output_info().switch_b);
}

TEST_F(print_command, PrinterSettings) {
  run("Arial", "", 0x10000 | 0x8, "#12.7");
  EXPECT_EQ(print_output_info().font_name, "Arial");
  EXPECT_EQ(print_output_info().font_size, 12);
  run(" ", "", 0x10000 | 0x8000, "#1");
  EXPECT_TRUE(print_output_info().landscape);
  run(" ", "", 0x10000 | 0x8000, "#0");
  EXPECT_FALSE(print_output_info().landscape);
  run(" ", "", 0x100, "#1");
  EXPECT_TRUE(print_output_info().append);
  run(" ", "", 0x100, "#0");
  EXPECT_FALSE(print_output_info().append);
}

TEST_F(print_command, PageDataInCentimetres) {
  run(" ", "", 0x10000 | 0x400, "#2 #1.5 #2.5 #3");
  const qn_page_data page = GET_PAGE_DATA();
  EXPECT_EQ(page.margin_left, 2000);
  EXPECT_EQ(page.margin_top, 1500);
  EXPECT_EQ(page.margin_right, 2500);
  EXPECT_EQ(page.margin_bottom, 3000);
  EXPECT_EQ(page.paper_width, 21000);
  EXPECT_EQ(page.paper_height, 29700);
}

TEST_F(print_command, PageSetupDialogAndNoOpOption) {
  std::vector<std::string> asked;
  qn_set_print_dialog_answerer([&](std::string_view dialog) {
    asked.emplace_back(dialog);
    return 0;
  });
  run(" ", "", 0x10000);
  EXPECT_EQ(asked, std::vector<std::string>{"page setup"});
  // 0x4000 wins over every other option and does nothing.
  write_file("ready.txt", {"x"});
  run("ready.txt", "", 0x4000 | 0x40 | 0x8, "#1 #2");
  EXPECT_EQ(print_get_preview_window(), 0);
}

// A PXB program run whole in a directory that holds nothing but the program and its form: no
// combo library names a work-file directory or answers the go/no-go test.
class print_program : public runtime_fixture {
 protected:
  std::string pdf;
  void SetUp() override {
    runtime_fixture::SetUp();
    print_output_reset();
    print_job_reset();
    qn_print_reset();
    pdf = (dir / "out.pdf").string();
    ::setenv("WINKYR_PRINT_PDF", pdf.c_str(), 1);
  }
  void TearDown() override {
    print_output_reset();
    print_job_reset();
    qn_print_reset();
    qn_set_print_module_file("");
    ::unsetenv("WINKYR_PRINT_PDF");
    runtime_fixture::TearDown();
  }
  // Loads and runs the program with these commands, which print the form "brief" (@0001) and
  // end the job (@0002); expression 2 keeps IOERROR in the integer variable ERR.  Expressions
  // from 3 on, texts from @0003 on and variables from &0003 on (`variables`, one a line) are the
  // caller's.
  void run_program(const std::string& codes, const std::string& upn = "", const std::string& texts = "",
                   const std::string& variables = "") {
    std::ofstream(dir / "brief.frm", std::ios::binary) << "Rechnung\n";
    std::ofstream(dir / "PRINT.PXB", std::ios::binary)
        << "[PROC]\nCSET=W\n[INIT]\nCODES=10\nUPNCODES=10\nUPNTOKENS=20\nTEXTTOKENS=10\n"
           "TEXTCHARACTERS=100\nVARIABLES="
        << 2 + std::count(variables.begin(), variables.end(), '\n')
        << "\nSTRINGSPACE=100\nADRSPACE=20\n"
           "[VARIABLES]\n&0001 S 0001*020:META_FILE/meta.txt\n&0002 I 0001:ERR/0\n"
        << variables << "[UPNCODES]\n#0\n_IOERROR &0002 __STO\n"
        << upn << "[TEXTTOKENS]\n@0001 brief|\n@0002  |\n" << texts << "[CODES]\n" << codes << "RETURN\n";
    if (main_window() == 0) start_headless();
    try {
      load_program("PRINT.PXB");
      interpreter(1);
    } catch (const program_end& end) {
      ADD_FAILURE() << "the program ended with " << end.code;
    }
    std::vector<std::string> seen;
    for (const box_seen& b : boxes) seen.push_back(b.text);
    EXPECT_EQ(seen, expected_boxes);
    boxes.clear();
  }
  std::vector<std::string> expected_boxes;  // the boxes a run shows, none unless a test expects them
  // The lines of the error log that hold `text`.
  int log_lines_with(const std::string& text) const {
    int n = 0;
    for (const std::string& line : file_lines("PXBERROR.LOG")) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
};

// A job whose PDF file cannot be written is not lost without a word: the error log names the
// file and the reason, and the program reads the failure with IOERROR.
TEST_F(print_program, PdfFileThatCannotBeWrittenIsReportedToTheProgram) {
  const std::string missing = (dir / "no folder" / "out.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", missing.c_str(), 1);
  run_program("PRINT @0001\n%0002\n/00000800 PRINT @0002\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "no folder"));
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write " + missing + ": " + std::strerror(ENOENT)), 1);
  EXPECT_EQ(get_int_variable("ERR"), ENOENT);
  // A file that opens but cannot take the whole document is found incomplete when the job ends.
  ::setenv("WINKYR_PRINT_PDF", pdf.c_str(), 1);
  {
    const file_size_limit full(4096);
    run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  }
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write " + pdf + ": " + std::strerror(EFBIG)), 1);
  EXPECT_EQ(get_int_variable("ERR"), EFBIG);
}

// WINKYR_PRINT_PDF is taken as the file system's bytes, also where they are not UTF-8 (a file,
// a folder); a device that refuses the bytes is a failed write like every other.
TEST_F(print_program, PdfNamedInBytesThatAreNotUtf8AndADeviceThatRefusesTheWrite) {
  const std::string latin = (dir / "Gr\xfc\xdf" "e.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", latin.c_str(), 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext '" + latin + "' -", text), 0) << text;
  EXPECT_EQ(text, "Rechnung\n\n\f");
  const std::string folder = (dir / "caf\xe9").string();
  ::setenv("WINKYR_PRINT_PDF", (folder + "/").c_str(), 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  EXPECT_GT(std::filesystem::file_size(folder + "/Druckausgabe.pdf"), 0u);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    EXPECT_EQ(entry.path().string().find("\xef\xbf\xbd"), std::string::npos) << entry.path();  // U+FFFD
  EXPECT_EQ(get_int_variable("ERR"), 0);

  ::setenv("WINKYR_PRINT_PDF", "/dev/full", 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write /dev/full: " + std::string(std::strerror(ENOSPC))), 1);
  EXPECT_EQ(get_int_variable("ERR"), ENOSPC);
}

// A print job's PDF named by WINKYR_PRINT_PDF with a name as long as the folder takes (255
// bytes, "\xc3\xbc" two bytes each) is written whole, though "." + the name + six random
// characters is longer than a name may be.
TEST_F(print_program, PdfUnderANameAsLongAsTheFolderTakes) {
  std::string name;
  for (int i = 0; i < 125; ++i) name += "\xc3\xbc";
  name += "a.pdf";
  ASSERT_EQ(name.size(), 255u);
  ::setenv("WINKYR_PRINT_PDF", (dir / name).c_str(), 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  EXPECT_EQ(get_int_variable("ERR"), 0);
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext '" + (dir / name).string() + "' -", text), 0) << text;
  EXPECT_EQ(text, "Rechnung\n\n\f");
  EXPECT_EQ(log_lines_with("cannot write"), 0);
}

// A plot on the printer whose PDF file cannot be written is reported as a form is (the error
// log, IOERROR) and the program goes on; its drawing goes nowhere, without a box.
TEST_F(print_program, PlotOnThePrinterWithAnUnwritablePdfIsReportedLikeAForm) {
  plot_reset();
  const std::string missing = (dir / "no folder" / "out.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", missing.c_str(), 1);
  run_program("/00000001 PLOT %0003 @0003\n/00000020 PLOT @0004\n%0002\n/00000002 PLOT\n", "#20 #21 #29.7 #1\n",
              "@0003 x|\n@0004 MOV 2,2|DRW 9,9|TXT hallo|\n");
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write " + missing + ": " + std::strerror(ENOENT)), 1);
  EXPECT_EQ(log_lines_with("KYR-ERROR"), 0);
  EXPECT_EQ(get_int_variable("ERR"), ENOENT);
  plot_reset();
}

// A form or a finished file (option 0x40) that is not there prints nothing, not even an empty
// page, and IOERROR says so (the open's status of a missing file), whatever the PRINT set first.
TEST_F(print_program, PrintOfAMissingFormOrFileSetsIoerror) {
  expected_boxes = {"keine Formatdatei:fehlt.frm"};
  run_program("PRINT @0003\n%0002\n", "", "@0003 fehlt|\n");
  EXPECT_EQ(get_int_variable("ERR"), unit_err_no_file);
  expected_boxes.clear();
  run_program("/00000040 PRINT @0003\n%0002\n", "", "@0003 fehlt.txt|\n");
  EXPECT_EQ(get_int_variable("ERR"), unit_err_no_file);
  EXPECT_FALSE(std::filesystem::exists(pdf)) << "a page was printed";
  // The near miss: a finished file that is there is printed.
  run_program("/00000040 PRINT @0003\n%0002\n", "", "@0003 brief.frm|\n");
  EXPECT_EQ(get_int_variable("ERR"), 0);
  EXPECT_TRUE(std::filesystem::exists(pdf));
}

// IOERROR after a print or a plot tells how that print or plot went: 0 where it succeeded,
// whatever an earlier command left there (here a FILE open of a missing file).
TEST_F(print_program, PrintOrPlotThatSucceedsLeavesIoerrorZero) {
  plot_reset();
  const std::string fail = "/00000401 FILE @0003 @0004 %0001\n";
  const std::string texts = "@0003 #2|\n@0004 missing.txt|\n@0005 p.plt|\n@0006 MOV 1,1|DRW 5,5|\n";
  for (const std::string& codes :
       {fail + "PRINT @0001\n%0002\n/00000800 PRINT @0002\n", "PRINT @0001\n" + fail + "/00000800 PRINT @0002\n%0002\n",
        "/00000001 PLOT %0003 @0005\n" + fail + "/00000020 PLOT @0006\n/00000002 PLOT\n%0002\n"}) {
    SCOPED_TRACE(codes);
    run_program(codes, "#30 #21 #29.7 #1\n", texts);
    EXPECT_EQ(get_int_variable("ERR"), 0);
  }
  EXPECT_NE(file_text("p.plt").find("PU;PA0,0;SP0;"), std::string::npos);
  // The near misses: a job that did not start ends with its failure, not 0 ...
  const std::string missing = (dir / "no folder" / "out.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", missing.c_str(), 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  EXPECT_EQ(get_int_variable("ERR"), ENOENT);
  // ... and a plot whose output window the user closed ends as the cancel it is.
  run_program("/00000001 PLOT %0003 @0005\n/00000020 PLOT @0006\nRETURN\n/00000002 PLOT\n%0002\n",
              "#10 #21 #29.7 #1\n", texts);
  QWidget* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == "Ausgabe") window = w;
  ASSERT_NE(window, nullptr);
  window->close();
  interpreter(4);
  EXPECT_EQ(get_int_variable("ERR"), -999);
  plot_reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the window gone now, not in a later test
}

// A work file cut by a full disk: the box, the error log with the file and the reason, IOERROR;
// the cut file is not printed.  In HTML mode the export (the meta file) is reported the same way.
TEST_F(print_program, WorkFileCutByAFullDiskIsReportedAndNotPrinted) {
  std::ofstream form(dir / "lang.frm", std::ios::binary), html(dir / "lang.htm", std::ios::binary);
  for (int n = 1; n <= 199; ++n) {
    form << "Zeile " << n << " mit einem Text, der die Zeile lang macht\n";
    html << "<tr><td>Zeile " << n << "</td><td>mit einem Text, der die Zeile lang macht</td></tr>\n";
  }
  form.close();
  html.close();
  const std::string too_large = std::strerror(EFBIG);
  expected_boxes = {"Fehler:Schreiben Workfile"};
  const private_temporary_folder tmp(dir / "tmp");
  {
    const file_size_limit full(4096);
    run_program("PRINT @0003\n%0002\n/00000800 PRINT @0002\n", "", "@0003 lang|\n");
  }
  // The run's own work file beside "$$temp$$.wr1" is named, and is gone: nothing is left but
  // the forms, the program and the error log.
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write $$temp$$-"), 1);
  EXPECT_EQ(log_lines_with(".wr1: " + too_large), 1);
  EXPECT_EQ(get_int_variable("ERR"), EFBIG);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_EQ(left_behind(dir, {"lang.frm", "lang.htm", "brief.frm", "PRINT.PXB", "PXBERROR.LOG", "tmp/"}),
            std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
  {
    const file_size_limit full(4096);
    run_program("PRINT @0004\n/00000080 PRINT @0003\n%0002\n", "", "@0003 lang|\n@0004 .H|\n");
  }
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot write meta.txt: " + too_large), 1);
  EXPECT_EQ(get_int_variable("ERR"), EFBIG);
}

// A document left open by "$CONT" goes on in its own work file while a form of the other kind
// comes in between: a printed head, an HTML export, the printed foot; and an export's head, a
// printed letter, the export's rest.  Each form goes where it belongs, every piece arrives.
TEST_F(print_program, ContinuedFormKeepsItsWorkFileAcrossAFormOfTheOtherKind) {
  std::ofstream(dir / "kopf.frm", std::ios::binary) << "Kopfzeile\n$CONT\n";
  std::ofstream(dir / "fuss.frm", std::ios::binary) << "Fusszeile\n";
  std::ofstream(dir / "kopf.htm", std::ios::binary) << "<html>\n<p>Kopf</p>\n$CONT\n";
  std::ofstream(dir / "fuss.htm", std::ios::binary) << "<p>Fuss</p>\n</html>\n";
  const private_temporary_folder tmp(dir / "tmp");
  const std::string texts = "@0003 kopf|\n@0004 fuss|\n@0005 .H|\n@0006 .F|\n";
  run_program("PRINT @0003\nPRINT @0005\n/00000080 PRINT @0004\nPRINT @0006\nPRINT @0004\n/00000800 PRINT @0002\n", "",
              texts);
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext '" + pdf + "' -", text), 0) << text;
  EXPECT_EQ(text, "Kopfzeile\nFusszeile\n\n\f") << text;
  EXPECT_EQ(file_lines("meta.txt"), (std::vector<std::string>{"<p>Fuss</p>", "</html>"}));

  run_program("PRINT @0005\n/00000080 PRINT @0003\nPRINT @0006\nPRINT @0001\n/00000800 PRINT @0002\n"
              "PRINT @0005\n/00000080 PRINT @0004\n",
              "", texts);
  EXPECT_EQ(file_lines("meta.txt"), (std::vector<std::string>{"<html>", "<p>Kopf</p>", "<p>Fuss</p>", "</html>"}));
  EXPECT_EQ(run_reader(dir, "pdftotext '" + pdf + "' -", text), 0) << text;
  EXPECT_EQ(text, "Rechnung\n\n\f") << text;
  EXPECT_EQ(left_behind(dir, {"kopf.frm", "fuss.frm", "kopf.htm", "fuss.htm", "brief.frm", "PRINT.PXB", "PXBERROR.LOG",
                              "meta.txt", "out.pdf", "reader.out", "tmp/"}),
            std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
}

// A printer font size below 1 point takes the default of 10 points.
TEST_F(print_program, FontSizeBelowOnePointPrintsTenPoints) {
  for (const std::string size : {"#0", "#-5", "#0.5"}) {
    SCOPED_TRACE(size);
    run_program("/00010008 PRINT %0003 @0003\nPRINT @0001\n/00000800 PRINT @0002\n", size + "\n",
                "@0003 Courier New|\n");
    std::string boxes_text;
    ASSERT_EQ(run_reader(dir, "pdftotext -bbox '" + pdf + "' -", boxes_text), 0) << boxes_text;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    const size_t word = boxes_text.find("<word ");
    ASSERT_NE(word, std::string::npos) << boxes_text;
    ASSERT_EQ(std::sscanf(boxes_text.c_str() + word, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &x0,
                          &y0, &x1, &y1),
              4);
    EXPECT_NEAR(y1 - y0, 11.6, 1.0);  // the glyph box of a 10-point font
  }
}

// A Ctrl-Z, the end mark of DOS-era form files, ends the form: on a line of its own and behind
// the last line's text alike, nothing of it reaches the meta file or the printed page.
TEST_F(print_program, CtrlZEndsTheFormFile) {
  std::ofstream(dir / "kz.frm", std::ios::binary) << "Rechnung\r\nEnde\r\n\x1A";
  std::ofstream(dir / "kz2.frm", std::ios::binary) << "Rechnung\nEnde\x1A";
  run_program("/00000080 PRINT @0003\n/00000080 PRINT @0004\nPRINT @0003\n/00000800 PRINT @0002\n", "",
              "@0003 kz|\n@0004 kz2|\n");
  EXPECT_EQ(file_text("meta.txt"), "      Rechnung\n      Ende\n      Rechnung\n      Ende\n");
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext '" + pdf + "' -", text), 0) << text;
  EXPECT_EQ(text, "Rechnung\nEnde\n\n\f") << text;
}

// A number that its form field cannot show whole fills the field with asterisks, never printing
// as another number: not 12345 without its last digit, not -1234,56 without its minus sign, in
// right-justified, left-justified, centred and letter-spaced fields alike.  Decimals still go
// first where that makes a number fit, numbers that fit print exactly, and a text is cut to its
// field as before.
TEST_F(print_program, ANumberTooWideForItsFieldPrintsAsAsterisks) {
  std::ofstream(dir / "numw.frm", std::ios::binary) << "A=}K##|\nB=}R##|\nE={K##|\nC=$K##|\nL=|K##|\n"
                                                       "H=}K###|\nN=}N###|\nM=}N####|\nF=}R#####|\nG=}R####|\n"
                                                       "P=}P###|\nT=}S##|\n";
  run_program("PRINT @0003\n/00000800 PRINT @0002\n", "", "@0003 numw|\n",
              "&0003 I 0001:K/12345\n&0004 R 0001:R/-1234.56\n&0005 I 0001:N/-1234\n&0006 R 0001:P/1234.56\n"
              "&0007 S 0001*010:S/Rechnung12\n");
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext -layout '" + pdf + "' -", text), 0) << text;
  EXPECT_EQ(text,
            "A=****|\nB=****|\nE=****|\nC=****|\nL=****|\nH=12345|\nN=-1234|\nM= -1234|\nF=-1234,5|\n"
            "G= -1234|\nP= 1234|\nT=hnun|\n\f")
      << text;
}

// A program that prints all day keeps nothing of its earlier jobs: the print engine holds the
// texts of the current job only, and where nobody could see it no window is made for a job.
TEST_F(print_program, ManyJobsKeepNothingOfTheEarlierOnes) {
  start_headless();
  qn_set_boxes_unseen(true);
  const size_t windows = QApplication::topLevelWidgets().size();
  // 50 jobs, then one left open: ERR counts the jobs.
  run_program("%0003\nPRINT @0001\n/00000800 PRINT @0002\n%0004\nJNZ :0002\nPRINT @0001\n",
              "#0 &0002 __STO\n&0002 #1 _+ &0002 __STO &0002 #50 _<\n");
  EXPECT_EQ(get_int_variable("ERR"), 50);
  EXPECT_LE(print_job_info().status_texts.size(), 3u);
  EXPECT_TRUE(print_output_info().job_open);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
  qn_set_boxes_unseen(false);
}

// Print support is opened at the first job.  Where it cannot be loaded, the job does not start,
// the error log says why, and the program goes on; once it is there again, the next job prints.
TEST_F(print_program, PrintWithoutPrintSupportIsReportedAndTheProgramGoesOn) {
  const std::string missing = (dir / "gone" / "libquillon_print.so").string();
  qn_set_print_module_file(missing);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n%0002\n");
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_EQ(log_lines_with("-WARNUNG:cannot print: the print module cannot be loaded: " + missing), 1);
  qn_set_print_module_file("");
  run_program("PRINT @0001\n/00000800 PRINT @0002\n");
  EXPECT_NE(file_text("out.pdf").find("/Type /Page"), std::string::npos);
}

// Every print without a combo library misses record "#1": one warning for the run, not one per
// print; a program loaded anew is warned again.
TEST_F(print_program, MissingComboRecordIsWarnedOncePerRun) {
  const std::string warning = "-WARNUNG:COMBO Satz fehlt: #1";
  run_program("PRINT @0001\nPRINT @0001\nPRINT @0001\n/00000800 PRINT @0002\n");
  EXPECT_NE(file_text("out.pdf").find("/Type /Page"), std::string::npos);
  EXPECT_EQ(log_lines_with(warning), 1);
  run_program("PRINT @0001\n/00000800 PRINT @0002\n");
  EXPECT_EQ(log_lines_with(warning), 2);
}

TEST_F(print_program, PrinterPreviewAndMetaFileWithoutAComboLibrary) {
  const private_temporary_folder tmp(dir / "tmp");
  run_program("PRINT @0001\n/00000800 PRINT @0002\n/00000008 PRINT @0001\n/00000080 PRINT @0001\n");
  EXPECT_NE(file_text("out.pdf").find("/Type /Page"), std::string::npos);
  const int32_t preview = print_get_preview_window();
  ASSERT_NE(preview, 0);
  EXPECT_EQ(qn_scroll_lines(preview).front(), "      Rechnung");
  EXPECT_EQ(file_lines("meta.txt"), std::vector<std::string>{"      Rechnung"});
  EXPECT_FALSE(std::filesystem::exists(dir / "combo.lib"));
  EXPECT_EQ(left_behind(dir, {"brief.frm", "PRINT.PXB", "PXBERROR.LOG", "meta.txt", "out.pdf", "tmp/"}),
            std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
}

}  // namespace
