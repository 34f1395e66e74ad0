// Plot scripts: splitting texts into statements, prefixes, parameters, frames, moves and
// texts, checked through the plot files the engine writes (HP-GL: 400 units per centimetre).
#include <fstream>
#include <string>

#include "runtime/program/file_units.h"
#include "runtime/output/plot/psplot_state.h"
#include "test_plot_fixture.h"

namespace {

class psplot_test : public plot_test {
 protected:
  void SetUp() override {
    plot_test::SetUp();
    psplot_reset();
  }
  // Opens the plot, starts the script context and returns the file's size after the header.
  size_t start(std::string_view name, int32_t device) {
    open(name, device);
    psplot_init();
    return file_text(file_name(name, device)).size();
  }
  static std::string file_name(std::string_view name, int32_t device) {
    return std::string(name) + (device == 30 ? ".PLT" : device == 41 ? ".DXF" : ".EPS");
  }
  void run(std::string_view script) {
    psplot_set_text(script);
    PSPLOT(0);
  }
};

TEST_F(psplot_test, StatementsAreSplitAtBarsAndABlankMakesAComment) {
  const size_t from = start("h", 30);
  run("MOV 1,2|DRW 3,2");
  EXPECT_EQ(tail("h.PLT", from), "PU400,800;PD1200,800;");
  const size_t second = file_text("h.PLT").size();
  run("MOV 2,2| DRW 5,5");
  EXPECT_EQ(tail("h.PLT", second), "PU800,800;");
  const size_t third = file_text("h.PLT").size();
  run("");  // an empty text ends the run at once
  run("! DRW 9,9");
  EXPECT_EQ(file_text("h.PLT").size(), third);
}

TEST_F(psplot_test, DoubleBarKeepsTheRestInOneStatement) {
  // "|" inside a statement names a program value, so the unexpanded text command shows it.
  start("d", 41);
  run("TXT$$$X||b|c");
  EXPECT_EQ(psplot_state.statement, psplot_padded("TXT$$$X|b|c"));
  EXPECT_EQ(psplot_state.script, psplot_padded(""));
}

TEST_F(psplot_test, RelativeMovesAndTheFrameMapping) {
  const size_t from = start("h", 30);
  run("MOV 1,2|MOR 1|DRR 0,1");
  EXPECT_EQ(tail("h.PLT", from), "PU400,800;PU800,800;PD800,1200;");
  EXPECT_FLOAT_EQ(psplot_state.frame().XP, 2.0f);
  EXPECT_FLOAT_EQ(psplot_state.frame().YP, 3.0f);
  const size_t second = file_text("h.PLT").size();
  // x = (X0 + 1) * FX + XO = (1 + 1) * 2 + 0.5; y = (0 + 1) * 1 + 1.
  run("FX=2|X0=1|XO=0.5|YO=1|DRW 1,1");
  EXPECT_EQ(tail("h.PLT", second), "PD1800,800;");
}

TEST_F(psplot_test, PlotEntryMovesAndDrawsInTheScriptFrame) {
  const size_t from = start("h", 30);
  run("FX=2");
  psplot_plot(0, 1, 1);
  psplot_plot(1, 2, 1);
  psplot_plot(1, 3, -1);  // a negative y does nothing
  EXPECT_EQ(tail("h.PLT", from), "PU800,400;PD1600,400;");
  EXPECT_FLOAT_EQ(psplot_state.frame().XP, 2.0f);
}

TEST_F(psplot_test, FrameStackCopiesRestoresAndReportsItsLimits) {
  const size_t from = start("h", 30);
  run("PUS|FX=3|POP|MOV 1,1");
  EXPECT_EQ(tail("h.PLT", from), "PU400,400;");
  run("PUS|PUS|PUS|PUS|PUS|PUS|PUS|PUS|PUS");
  EXPECT_EQ(psplot_state.level, 10);
  EXPECT_TRUE(boxes.empty());
  run("PUS");
  EXPECT_EQ(psplot_state.level, 10);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().text.find("PS_PLOT Stack-ofl"), std::string::npos);
}

TEST_F(psplot_test, PopAtTheFirstLevelReportsUnderflow) {
  start("h", 30);
  run("POP");
  EXPECT_EQ(psplot_state.level, 1);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().text.find("PS_PLOT Stack-ufl"), std::string::npos);
}

TEST_F(psplot_test, LineFeedsColumnFeedsAndParameters) {
  start("h", 30);
  run("YP=5|LF ");
  EXPECT_FLOAT_EQ(psplot_state.frame().YP, 4.8f);
  run("LF 3|LFH");
  EXPECT_NEAR(psplot_state.frame().YP, 4.8f - 0.6f - 0.1f, 1e-5);
  run("XP=1|CF ");
  EXPECT_FLOAT_EQ(psplot_state.frame().XP, 3.5f);
  EXPECT_FLOAT_EQ(psplot_state.frame().YP, 0.0f);
  run("SZ=0.5|AN=45|LE=12|TP=7|FO=XY|SA=C|FX=abc");
  const psplot_frame& f = psplot_state.frame();
  EXPECT_FLOAT_EQ(f.SZ, 0.5f);
  EXPECT_FLOAT_EQ(f.AN, 45.0f);
  EXPECT_EQ(f.LE, 12);
  EXPECT_EQ(f.TP, 7);
  EXPECT_EQ(f.FO, "XY");
  EXPECT_EQ(f.SA, 'C');
  EXPECT_FLOAT_EQ(f.FX, 1.0f);  // unreadable: unchanged
  run("FMT 5,2");
  EXPECT_EQ(f.format[0], 5);
  EXPECT_EQ(f.format[1], 2);
  EXPECT_EQ(f.format[2], 0);
}

TEST_F(psplot_test, InitKeepsLengthAndSpacingButResetsTheRest) {
  start("h", 30);
  run("LE=9|SP=2|FX=4|PUS");
  psplot_init();
  EXPECT_EQ(psplot_state.level, 1);
  EXPECT_EQ(psplot_state.frame().LE, 9);
  EXPECT_FLOAT_EQ(psplot_state.frame().SP, 2.0f);
  EXPECT_FLOAT_EQ(psplot_state.frame().FX, 1.0f);
}

TEST_F(psplot_test, SlotsFromPosAndRep) {
  start("h", 30);
  run("SZ=0.5|YP=10|POS 7|POS 8");
  EXPECT_FLOAT_EQ(psplot_state.elements[7].y, 10.0f);
  EXPECT_FLOAT_EQ(psplot_state.elements[8].y, 9.8f);
  run("REP 3,2");
  EXPECT_EQ(psplot_state.current_element, 14);
  EXPECT_FLOAT_EQ(psplot_state.elements[10].y, 9.6f);
  EXPECT_NEAR(psplot_state.elements[14].y, 9.2f, 1e-5);
  EXPECT_FLOAT_EQ(psplot_state.elements[12].x, 0.0f);
  EXPECT_FLOAT_EQ(psplot_state.elements[9].x, -9999.0f);
  run(">>POS 20|<POS 21");
  EXPECT_FLOAT_EQ(psplot_state.elements[20].x, 1.0f);
  EXPECT_FLOAT_EQ(psplot_state.elements[21].x, -0.5f);
  EXPECT_FLOAT_EQ(psplot_state.elements[20].size, 0.5f);
}

TEST_F(psplot_test, SlotsOutsideTheTableAreLeftOutWithoutABox) {
  start("h", 30);
  run("POS 1000|POS -1");
  run("POS 998|REP 5");
  EXPECT_EQ(psplot_state.current_element, 999);
  EXPECT_NE(psplot_state.elements[999].x, -9999.0f);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(psplot_test, DevicePrefixesAndRawLines) {
  const size_t from = start("h", 30);
  run("PS:MOV 1,2|PX:MOV 1,2|PF:MOV 1,2|PS!raw");
  EXPECT_EQ(file_text("h.PLT").size(), from);
  run("NP:MOV 1,2");
  EXPECT_EQ(tail("h.PLT", from), "PU400,800;");
}

TEST_F(psplot_test, PostScriptTakesItsPrefixesAndRawLines) {
  const size_t from = start("p", 40);
  EXPECT_TRUE(psplot_state.postscript);
  run("PS!% first line|PX:PS!% second|NP:PS!% never|PF!% pdf only|PS!   ");
  const std::string t = tail("p.EPS", from);
  EXPECT_NE(t.find("% first line\n"), std::string::npos);
  EXPECT_NE(t.find("% second\n"), std::string::npos);
  EXPECT_EQ(t.find("never"), std::string::npos);
  EXPECT_EQ(t.find("pdf only"), std::string::npos);
}

TEST_F(psplot_test, BitStreamIsRefusedUnlessMarkedOff) {
  start("h", 30);
  run("BS-xyz");
  EXPECT_TRUE(boxes.empty());
  EXPECT_THROW(run("BS123"), program_end);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().text.find("PSPLOT:kein BitStream erlaubt!"), std::string::npos);
}

TEST_F(psplot_test, LabelsAndJumpsDoNothingInAText) {
  const size_t from = start("h", 30);
  run(":L1|GOTO L1|MOV 1,2");
  EXPECT_EQ(tail("h.PLT", from), "PU400,800;");
  EXPECT_TRUE(boxes.empty());
}

// Script files: comments, labels, jumps forward and back, and a missing label.
class psplot_file_test : public psplot_test {
 protected:
  void run_file(const std::string& text) {
    std::ofstream(dir / "s.txt", std::ios::binary) << text;
    const int32_t unit = get_free_unit();
    unit_open_opts o;
    o.status = "OLD";
    o.action = "READ";
    ASSERT_EQ(unit_open(unit, "s.txt", o), 0);
    PSPLOT(unit);
    unit_close(unit);
  }
};

TEST_F(psplot_file_test, LinesCommentsAndStatementsBehindAJump) {
  const size_t from = start("h", 30);
  run_file("! a comment\n; another|DRW 9,9\nMOV 1,2|DRW 3,2\nGOTO L1|MOV 2,2\nDRW 8,8\n:L1\nDRW 3,3\n");
  EXPECT_EQ(tail("h.PLT", from), "PU400,800;PD1200,800;PU800,800;PD1200,1200;");
}

TEST_F(psplot_file_test, GoBackFindsALabelAboveAndGoToOnlyBelow) {
  const size_t from = start("h", 30);
  run_file("MOV 1,1\nGOTO L2\n:L1\nDRW 5,5\nGOTO L3\n:L2\nDRW 2,2\nGOBA L1\n:L3\nDRW 3,3\n");
  EXPECT_EQ(tail("h.PLT", from), "PU400,400;PD800,800;PD2000,2000;PD1200,1200;");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(psplot_file_test, MissingLabelWarnsAndTheRunEnds) {
  const size_t from = start("h", 30);
  run_file("DRW 1,1\n:L1\nGOTO L1\nDRW 2,2\n");
  EXPECT_EQ(tail("h.PLT", from), "PD400,400;");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes.front().text.find("not found"), std::string::npos);
  EXPECT_NE(boxes.front().text.find("L1"), std::string::npos);
}
}  // namespace

namespace {

TEST_F(psplot_test, LineWidthOnlyBelowOne) {
  const size_t from = start("p", 40);
  run("LW=1.0|LW=-0.5");
  const std::string none = tail("p.EPS", from);
  run("LW=0.35");
  const std::string thick = tail("p.EPS", from + none.size());
  std::string direct;
  {
    const size_t before = file_text("p.EPS").size();
    newpen(2350);
    direct = tail("p.EPS", before);
  }
  EXPECT_EQ(none, "");
  EXPECT_EQ(thick, direct);
  EXPECT_FALSE(thick.empty()) << "a thickness code writes a line width";
}

}  // namespace
