// The COMBO command's sub-functions and the COMBO function over the combo library.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/screen/screen.h"
#include "test_debugger_fixture.h"

namespace {

class combo_commands : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    combo_reset();
    combo_record r;
    r.count = 3;
    r.current = 1;
    const char* texts[] = {"Rot", "^Blau", "Gelb"};
    for (int32_t i = 0; i < 3; ++i) {
      r.entry[i].value = 10 * (i + 1);
      r.entry[i].text = texts[i];
    }
    ASSERT_TRUE(combo_write_record(12, r));
    r.current = 2;
    ASSERT_TRUE(combo_write_record(5, r));
  }
  void TearDown() override {
    combo_reset();
    runtime_fixture::TearDown();
  }
  void run(std::string_view upn, std::string_view tokens, std::string_view codes) {
    load_program_image(small_program("&0001 I 0001:N/0\n", upn, tokens, std::string(codes) + "RETURN\n"));
    interpreter(1);
  }
  // The current entry of record 12 as the file holds it.
  static std::string current_of_12() {
    std::ifstream in("combo.lib", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str().substr(11 * 570, 4);
  }
};

TEST_F(combo_commands, SelectEntryByNumberValueOrText) {
  run("#3\n", "@0001 #12|\n", "/00004000 COMBO @0001 %0001\n");
  EXPECT_EQ(current_of_12(), "   3");
  run("#20\n", "@0001 #12|\n", "/00000010 COMBO @0001 %0001\n");  // one token: by value
  EXPECT_EQ(current_of_12(), "   2");
  run("#0\n", "@0001 #12|\n@0002 Rot|\n", "/00000010 COMBO @0001 @0002 %0001\n");  // by text
  EXPECT_EQ(current_of_12(), "   1");
  run("#0\n", "@0001 #12|\n@0002 Lila|\n", "/00000010 COMBO @0001 @0002 %0001\n");  // renames
  std::string text;
  int32_t value = 0;
  combo_lookup("#12", text, value);
  EXPECT_EQ(text.substr(0, 5), "Lila ");
  EXPECT_EQ(value, 10);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(combo_commands, OpenSelectsTheRecordForLaterOperations) {
  run("", "@0001 #05|\n", "/00000001 COMBO @0001\n");
  EXPECT_EQ(combo_current_number(), 5);
  EXPECT_EQ(combo_current().current, 2);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(combo_commands, NoOptionIsACommandErrorAndAKeyWithoutHashIsReported) {
  run("#1\n", "@0001 #12|\n", "COMBO @0001 %0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
  errors_reset();
  boxes.clear();
  run("#1\n", "@0001 12|\n", "/00004000 COMBO @0001 %0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "COMBO ohne #");
  EXPECT_EQ(current_of_12(), "   1");
}

TEST_F(combo_commands, TheFunctionGivesTextAndNumberOfTheCurrentEntry) {
  load_program_image(small_program("&0001 I 0001:N/0\n", "#5 _COMBO\n#12 _COMBO\n", "", "RETURN\n"));
  evaluate_upn(1, 1);
  EXPECT_EQ(evaluator.slot(1).text_view(), "Blau");  // "#05", marker dropped
  EXPECT_FLOAT_EQ(evaluator.slot(1).value(), 20.0f);
  evaluate_upn(2, 1);
  EXPECT_EQ(evaluator.slot(1).text_view(), "Rot");
  EXPECT_FLOAT_EQ(evaluator.slot(1).value(), 10.0f);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
