// Value fields of plot scripts: slots placed by POS receive values formatted by their field
// type; the debug switch shows slot numbers; the auxiliary frame and slot entries.
#include <string>

#include "runtime/output/plot/psplot_state.h"
#include "test_plot_fixture.h"

namespace {

class psplot_fields : public plot_test {
 protected:
  void SetUp() override {
    plot_test::SetUp();
    psplot_reset();
    open("d", 41);
    psplot_init();
  }
  void run(std::string_view script) {
    psplot_set_text(script);
    PSPLOT(0);
  }
  // The plot file's text written by the call.
  template <typename F>
  std::string written_by(F&& call) {
    const size_t from = file_text("d.DXF").size();
    call();
    return tail("d.DXF", from);
  }
};

TEST_F(psplot_fields, UnplacedSlotsWriteNothingWithoutDebug) {
  EXPECT_EQ(written_by([] { psplot_value_int(1000, 5); }), "");
  EXPECT_EQ(written_by([] { psplot_value_int(3, 5); }), "");
  EXPECT_EQ(written_by([] { psplot_value_real(-1, 5); }), "");
  run("DEB");
  EXPECT_NE(written_by([] { psplot_value_int(3, 5); }).find("   3"), std::string::npos);
}

TEST_F(psplot_fields, DebugShowsTheSlotNumberInsteadOfTheValue) {
  run("TP=12|LE=8|POS 42|DEB");
  const std::string t = written_by([] { psplot_value_real(42, 3.5f); });
  EXPECT_NE(t.find("42"), std::string::npos);
  EXPECT_EQ(t.find("3,5"), std::string::npos);
}

TEST_F(psplot_fields, CommaNumbersDropZeroDecimals) {
  run("TP=12|POS 1|POS 2|TP=11|POS 3");
  EXPECT_NE(written_by([] { psplot_value_real(1, 3.5f); }).find("3,50"), std::string::npos);
  const std::string whole = written_by([] { psplot_value_real(2, 3.0f); });
  EXPECT_NE(whole.find("\n3\r\n"), std::string::npos) << whole;
  EXPECT_EQ(whole.find(","), std::string::npos);
  // The decimals are cut, not rounded.
  EXPECT_NE(written_by([] { psplot_value_real(3, -0.25f); }).find("-0,2"), std::string::npos);
}

TEST_F(psplot_fields, DatesPlusSignsAndTheMissingValue) {
  run("TP=9|POS 1|TP=90|POS 2|TP=5|POS 3|TP=77|POS 4");
  EXPECT_NE(written_by([] { psplot_value_int(1, 1); }).find("1.01.1900"), std::string::npos);
  EXPECT_NE(written_by([] { psplot_value_int(2, 1); }).find("01.01.1900"), std::string::npos);
  EXPECT_EQ(written_by([] { psplot_value_int(1, -9999); }), "");
  psplot_value_int(3, 0);
  EXPECT_EQ(psplot_state.elements[3].length, 1);
  EXPECT_NE(written_by([] { psplot_value_int(3, 2); }).find("\n+\r\n"), std::string::npos);
  EXPECT_NE(written_by([] { psplot_value_int(4, 2); }).find("??????????"), std::string::npos);
}

TEST_F(psplot_fields, FixedPointTypesAlignAtTheFieldLength) {
  run("TP=2|LE=8|POS 1|TP=-1|POS 2|TP=0|POS 3");
  EXPECT_NE(written_by([] { psplot_value_real(1, 12.345f); }).find("12,34"), std::string::npos);
  const std::string cut = written_by([] { psplot_value_real(2, 12.7f); });
  EXPECT_NE(cut.find("12"), std::string::npos);
  EXPECT_EQ(cut.find("12."), std::string::npos);
  EXPECT_NE(written_by([] { psplot_value_real(3, 12.7f); }).find("12."), std::string::npos);
}

TEST_F(psplot_fields, SlotPositionsAndFrameEntries) {
  run("FX=2|FY=4|X0=1|Y0=1");
  psplot_set_element_xy(5, 2, 3);
  EXPECT_FLOAT_EQ(psplot_state.elements[5].x, 6.0f);
  EXPECT_FLOAT_EQ(psplot_state.elements[5].y, 16.0f);
  float x = 0, y = 0, lf = 0, fx = 0;
  psplot_get_element_xy(5, x, y);
  EXPECT_FLOAT_EQ(x, 2.0f);
  EXPECT_FLOAT_EQ(y, 3.0f);
  psplot_get_element(5, x, y, lf, fx);
  EXPECT_FLOAT_EQ(x, 6.0f);
  EXPECT_FLOAT_EQ(lf, 0.2f);
  EXPECT_FLOAT_EQ(fx, 2.0f);
  run("FZ=2");
  psplot_set_units(10, 4);
  float x0 = 0, ux = 0, y0 = 0, uy = 0, fz = 0;
  psplot_get_frame(x0, ux, y0, uy, fz);
  EXPECT_FLOAT_EQ(ux, 5.0f);
  EXPECT_FLOAT_EQ(uy, 2.0f);
  EXPECT_FLOAT_EQ(fz, 2.0f);
  psplot_set_origin(0, 0);
  psplot_plot_units(0, 10, 4);
  EXPECT_FLOAT_EQ(psplot_state.frame().XP, 2.0f);
  EXPECT_FLOAT_EQ(psplot_state.frame().YP, 2.0f);
  psplot_clear();
  EXPECT_FLOAT_EQ(psplot_state.elements[5].x, -9999.0f);
  psplot_set_device(40);
  EXPECT_TRUE(psplot_state.postscript);
}

}  // namespace
