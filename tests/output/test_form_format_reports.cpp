// Picture errors of format_value with boxes answered by the test: the warning and all three
// error reports (code 0, so the program goes on after OK), and the form field that then falls
// back to the program variable of the same name.
#include <gtest/gtest.h>

#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/output/print/print.h"
#include "support/runtime_fixture.h"

namespace {

using form_format_reports = runtime_fixture;

TEST_F(form_format_reports, UnknownLetterWarnsThenReportsThreeTimes) {
  std::string r(30, 'x');
  EXPECT_EQ(format_value(r, 12.5f, "X7"), 1);
  EXPECT_EQ(r, std::string(30, ' '));
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_NE(boxes[0].text.find("Format nicht unterst."), std::string::npos);
  EXPECT_EQ(boxes[1].text, "FMT-Error:(X7)");
  EXPECT_EQ(boxes[2].text, "WORK_txt :");  // a blank work text, trailing blanks dropped
  EXPECT_EQ(boxes[3].text, "ERR:VALUE : 1   13: 12.50");
  EXPECT_EQ(boxes[1].caption, "KYR-ERROR     0");
  EXPECT_FALSE(program_has_ended());
}

TEST_F(form_format_reports, BadOutputFormatReports) {
  std::string r;
  EXPECT_NE(format_value(r, 1.0f, "F8.x"), 0);
  EXPECT_EQ(r, std::string(30, ' '));
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "FMT-Error:(F8.x)");
}

}  // namespace
