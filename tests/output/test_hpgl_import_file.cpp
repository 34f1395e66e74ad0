// The HP-GL import end to end: parameters from program variables, the input file and the
// records of "QORVEL.TMP", and a missing input file.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program/test_evaluator_fixture.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/field_output.h"

namespace {

class hpgl_import_file : public evaluator_test {
 protected:
  int32_t name = 0, faktor = 0, pen = 0;
  void SetUp() override {
    evaluator_test::SetUp();
    field_output_reset();
    name = text_variable("FS_SELECT", 128);
    faktor = numeric_variable("FAKTOR", var_real);
    pen = numeric_variable("PEN", var_integer);
  }
  std::vector<std::string> lines(const std::string& file) const {
    std::ifstream in(dir / file, std::ios::binary);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
};

TEST_F(hpgl_import_file, WritesHeaderAndSegmentsOfTheSelectedPen) {
  // Longer than one 128-byte block, and the last block is a short one.
  std::string input = "IN;SP1;PU0,0;PD100,0,100,100;SP2;PD" + std::string(150, ' ') + "7,7;";
  std::ofstream(dir / "plan.plt", std::ios::binary) << input;
  set_text(name, "plan.plt");
  set_real(faktor, 2.0f);
  set_int(pen, 1);
  int32_t status = -1;
  hpgl_import(status);
  EXPECT_EQ(status, 0);
  const auto l = lines("QORVEL.TMP");
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0], "    2         0         0       200       200   40000.0   40000.0");
  EXPECT_EQ(l[2], "    1       200         0       200       200         0       200");
}

TEST_F(hpgl_import_file, MissingInputGivesStatusAndNoFile) {
  set_text(name, "missing.plt");
  set_real(faktor, 1.0f);
  int32_t status = 0;
  hpgl_import(status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "QORVEL.TMP"));
}

}  // namespace
