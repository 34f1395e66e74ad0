// PLOT's script options: a script text, a script file on a free unit, and points in the
// script's frame, all reaching the plot file of the open workstation.
#include "test_psplot_command_fixture.h"
#include "runtime/program/open_things.h"

#include <QTimer>

namespace {

TEST_F(psplot_command, ScriptTextFileAndPointsReachThePlot) {
  std::ofstream("frame.ps", std::ios::binary) << "; frame\nFX=2|MOV 1,1\nDRW 2,1\n";
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000040 PLOT @0003",
       "/00000000 PLOT %0002"},
      {"#30 #0 #0 #0", "#3 #1 #1"}, {"s.plt", "MOV 1,2|DRW 3,2", "frame.ps"});
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(io_status, 0);
  // The text, then the file in a frame scaled by 2, then a draw in that same frame.
  EXPECT_NE(plot_file().find("PU400,800;PD1200,800;PU800,400;PD1600,400;PD2400,400;"), std::string::npos)
      << plot_file();
}

// A script's condition reads a variable by its type: a real holding 3.0 is 3; a text where a
// number is needed is refused (the integer at the word its length names is not read), and the
// plot keeps what was drawn before.
TEST_F(psplot_command, ConditionsReadVariablesByTheirType) {
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000020 PLOT @0003", "/00000002 PLOT"},
      {"#30 #21 #29.7 #1"}, {"t.plt", "IF PREIS=3 TXT real|IF PREIS#3 TXT unequal", "IF KZ=3 TXT text"},
      {"&0001 I 0001:A/1", "&0002 I 0001:B/2", "&0003 I 0001:C/3", "&0004 R 0001:PREIS/3.0",
       "&0005 S 0001*003:KZ/abc"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes.front().text, "Variablen-Typ");
  const std::string plot = file_text("t.plt");
  EXPECT_NE(plot.find("LB real"), std::string::npos) << plot;
  EXPECT_EQ(plot.find("unequal"), std::string::npos) << plot;
  EXPECT_EQ(plot.find("text"), std::string::npos) << plot;
  std::string output;
  EXPECT_EQ(run_reader(dir, "hp2xx -q -m eps -f t.eps t.plt", output), 0) << output;
}

TEST_F(psplot_command, PlotOnScreenZeroOutsideADrawingStepDrawsThere) {
  clear_screen();
  run({"/00000008 PLOT", "/00000010 PLOT %0001", "/00000010 PLOT %0002", "/00000020 PLOT @0001"},
      {"#10 #20 #3", "#60 #20 #2"}, {"MOV 10,40|DRW 60,40"});
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_NE(pixel(30, 20), 0xFFFFFFu);
  EXPECT_NE(pixel(30, 40), 0xFFFFFFu);
  EXPECT_EQ(pixel(30, 30), 0xFFFFFFu);
}

TEST_F(psplot_command, ScriptDrawingWithNoPlotOpenIsReportedOnce) {
  run({"/00000020 PLOT @0001"}, {}, {"AR=0,0,1,1|CIR|REC|MOV 1,1|DRW 3,3|BG=1,2,0|TXT x"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes.front().text, "PLOT: keine Zeichenflaeche offen");
}

TEST_F(psplot_command, ScriptThatJumpsBackForEverEndsWithTheQuitMessage) {
  std::ofstream("loop.ps", std::ios::binary) << ":L1\nLF\nGOBA L1\n";
  const int32_t unit = get_free_unit();
  ASSERT_EQ(unit_open(unit, "loop.ps", {.status = "OLD", .action = "READ"}), 0);
  psplot_init();
  // Closing the window puts the quit message into the queue while the script runs.
  QTimer::singleShot(0, [] { qn_post_quit(0); });
  PSPLOT(unit);
  unit_close(unit);
  EXPECT_TRUE(qn_quitting());
}

// The texts of a PostScript plot as Ghostscript reads them: code page 1252 characters come out
// as the program wrote them, and texts too small to show (below 1/120 cm, or of size 0) leave
// the rest of the page readable.
TEST_F(psplot_command, PostScriptTextsReadBackAsWrittenAndTinyOnesKeepThePage) {
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#40 #21 #29.7 #1"},
      {"t.ps", "SZ=0.5|MOV 2,20|TXT \xC4\xD6\xDC \xE4\xF6\xFC \xDF|MOV 2,18|TXT \x80 \xB2 \xB5 \x84x\x93|"
               "SZ=0.001|MOV 2,16|TXT tiny|SZ=0|MOV 2,15|TXT none|SZ=0.5|MOV 2,14|TXT after"});
  EXPECT_TRUE(boxes.empty());
  std::string text;
  ASSERT_EQ(run_reader(dir, "gs -q -dSAFER -sDEVICE=txtwrite -o - t.ps", text), 0) << text;
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t from = line.find_first_not_of(' '), to = line.find_last_not_of(" \r");
    if (from != std::string::npos) lines.push_back(line.substr(from, to + 1 - from));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"ÄÖÜ äöü ß", "€ ² µ „x“", "tiny", "none", "after"})) << text;
}

// HP-GL gives a text too small to show the smallest character size that readers take.
TEST_F(psplot_command, HpglTinyTextIsReadWhole) {
  run({"/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"}, {"#30 #21 #29.7 #1"},
      {"t.plt", "SZ=0.5|MOV 2,20|TXT big|SZ=0.0001|MOV 2,16|TXT tiny|SZ=0.5|MOV 2,14|TXT after"});
  EXPECT_NE(plot_file().find("SI0.001,0.001;LB tiny"), std::string::npos) << plot_file();
  std::string output;
  EXPECT_EQ(run_reader(dir, "hp2xx -q -m eps -f t.eps t.plt", output), 0) << output;
}

// Areas, brushes and polylines have no drawing surface on a plot file: they are left out, and
// the plot goes on to a file that its reader takes whole.
TEST_F(psplot_command, AreaStatementsOnPlotFilesAreLeftOutAndThePlotGoesOn) {
  const std::vector<std::pair<std::string, std::string>> readers = {
      {"a.pdf", "qpdf --check a.pdf && pdftotext a.pdf -"},
      {"a.eps", "gs -q -dSAFER -sDEVICE=txtwrite -o - a.eps"},
      {"a.dxf", "/usr/bin/python3 -c \"import ezdxf; print(*[e.dxftype() for e in "
                "ezdxf.readfile('a.dxf').modelspace()], ezdxf.readfile('a.dxf').modelspace().query('TEXT')[0].dxf.text)\""}};
  for (const auto& [name, reader] : readers) {
    SCOPED_TRACE(name);
    plot_reset();
    plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/");
    run({"/00000080 PLOT @0001", "/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"},
        {"#30 #21 #29.7 #1"},
        {name, "MOV 1,1|DRW 5,5|BG=1,2,0|AR=1,1,2,2|REC|CIR|ARC 1,1,2,2|COR 1,1,2,2|POL 2|PLY 1,1|"
               "PLY 2,2|POL 0|MOV 2,2|DRW 8,2|TXT after"});
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    std::string output;
    EXPECT_EQ(run_reader(dir, reader, output), 0) << output;
    EXPECT_NE(output.find("after"), std::string::npos) << output;
    if (name == "a.dxf") {
      EXPECT_NE(output.find("LINE LINE TEXT"), std::string::npos) << output;
    }
  }
}

// When an error ends a headless run (the tenth PUS) while a plot file is open, the file gets
// its end first, once: the PDF its cross-reference and trailer, the DXF its ENDSEC and EOF.
class psplot_error_end : public psplot_command {
 protected:
  // The plot file as the ended program left it; the end of qn_main then finds nothing to do.
  std::string ended_plot(const std::string& name) {
    qn_set_boxes_unseen(true);  // no box could be seen: the error ends the run
    run({"/00000080 PLOT @0001", "/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002", "/00000002 PLOT"},
        {"#30 #21 #29.7 #1"},
        {name, "MOV 1,1|DRW 5,5|TXT before|PUS|PUS|PUS|PUS|PUS|PUS|PUS|PUS|PUS|PUS|TXT never"});
    qn_set_boxes_unseen(false);
    EXPECT_TRUE(program_has_ended());
    const std::string written = file_text(name);
    end_open_things(run_transition::quit);
    EXPECT_EQ(file_text(name), written);
    EXPECT_EQ(written.find("never"), std::string::npos);
    return written;
  }
};

TEST_F(psplot_error_end, PdfGetsItsCrossReferenceAndTrailer) {
  ended_plot("e.pdf");
  std::string output;
  EXPECT_EQ(run_reader(dir, "qpdf --check e.pdf && pdftotext e.pdf -", output), 0) << output;
  EXPECT_NE(output.find("before"), std::string::npos) << output;
}

TEST_F(psplot_error_end, DxfGetsItsEndOnce) {
  const std::string written = ended_plot("e.dxf");
  const std::string end = "0\r\nENDSEC\r\n0\r\nEOF\r\n";
  ASSERT_GE(written.size(), end.size());
  EXPECT_EQ(written.substr(written.size() - end.size()), end);
  EXPECT_EQ(written.find("EOF"), written.size() - 5);
  EXPECT_NE(written.find("before"), std::string::npos);
}

// The library's own end (its error box answered No) completes the open plot file as well.
TEST_F(psplot_error_end, TheLibrarysOwnEndCompletesThePdf) {
  run({"/00000080 PLOT @0001", "/00000001 PLOT %0001 @0001", "/00000020 PLOT @0002"}, {"#30 #21 #29.7 #1"},
      {"l.pdf", "MOV 1,1|DRW 5,5|TXT before"});
  std::vector<int> exits;
  qn_set_exit_hook([&](int code) { exits.push_back(code); });
  qn_set_boxes_unseen(true);
  SEND_COMMAND(0x4001, 987654);  // no such window: the library's error ends the run
  qn_set_boxes_unseen(false);
  EXPECT_EQ(exits, std::vector<int>{qn_status_error_box});
  std::string output;
  EXPECT_EQ(run_reader(dir, "qpdf --check l.pdf && pdftotext l.pdf -", output), 0) << output;
  EXPECT_NE(output.find("before"), std::string::npos) << output;
}

}  // namespace
