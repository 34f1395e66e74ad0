// Plot scripts with program values: conditions on integer and text variables, fields in
// statements and paragraph fields, checked through the texts of a DXF plot file.
#include <fstream>
#include <sstream>
#include <string>

#include "program/test_evaluator_fixture.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"
#include "runtime/output/print/print.h"

namespace {

class psplot_values : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    plot_reset();
    psplot_reset();
    form_format_reset();
    plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/");
    n = numeric_variable("N", var_integer);
    set_int(n, 3);
    const int32_t s = text_variable("S", 4);
    set_text(s, "AB  ");
    const int32_t name = text_variable("NAME", 12);
    set_text(name, "Meier       ");
    text_variable("NOTE", 6);  // blank
    COMPS("d", 21, 29.7f, 41, 1);
    psplot_init();
  }
  void TearDown() override {
    plot_reset();
    evaluator_test::TearDown();
  }
  void run(std::string_view script) {
    psplot_set_text(script);
    PSPLOT(0);
  }
  static std::string plot_file() {
    flush_file_writers("d.DXF");  // the plot is still open: read as a reader of the runtime does
    std::ifstream in("d.DXF", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static bool written(const std::string& text) { return plot_file().find(text) != std::string::npos; }
  int32_t n = 0;
};

TEST_F(psplot_values, IntegerConditions) {
  run("IF N=3 TXT one|IF N#3 TXT two|IF N TXT three|IF N=4 TXT four");
  EXPECT_TRUE(written("one"));
  EXPECT_FALSE(written("two"));
  EXPECT_TRUE(written("three"));  // N is not 1
  EXPECT_FALSE(written("four"));
  set_int(n, 1);
  run("IF N TXT five|IF N=3 IF N=1 TXT six|IF N=1 IF N#3 TXT seven");
  EXPECT_FALSE(written("five"));
  EXPECT_FALSE(written("six"));
  EXPECT_TRUE(written("seven"));
}

TEST_F(psplot_values, TextConditions) {
  run("IF S=\"AB\" TXT same|IF S#\"AB\" TXT differs|IF S=\"ABC\" TXT longer");
  EXPECT_TRUE(written("same"));
  EXPECT_FALSE(written("differs"));
  EXPECT_FALSE(written("longer"));
}

TEST_F(psplot_values, ParagraphFieldWithAndWithoutPicture) {
  run("PAR NAME");  // LE 0: no picture, the whole text
  EXPECT_TRUE(written("Meier"));
  EXPECT_FALSE(psplot_state.blank_paragraph);
  run("PAR NOTE");
  EXPECT_TRUE(psplot_state.blank_paragraph);
  run("NB:TXT skipped");
  EXPECT_FALSE(written("skipped"));
  run("LE=3|PAR NAME");
  EXPECT_TRUE(written("Mei"));
  EXPECT_FALSE(psplot_state.blank_paragraph);
  run("NB:TXT shown");
  EXPECT_TRUE(written("shown"));
}

TEST_F(psplot_values, TextsAndTheAttributeMark) {
  run("TXT plain");
  EXPECT_TRUE(written("plain"));
  run("TXT$$$SAL");
  EXPECT_EQ(psplot_state.last_attribute, '?');
  EXPECT_EQ(psplot_state.last_font, "xx");
}

}  // namespace
