// The scroll-text windows a program writes to: the print preview keeps every line it is given,
// however long the form; only the trace windows keep a bounded scroll-back.
// Before any Qt header: Qt defines "slots" as a macro.
#include "runtime/output/print/print.h"

#include <fstream>
#include <string>
#include <vector>

#include "test_dispatcher_fixture.h"

namespace {

class scroll_windows : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    print_output_reset();
    start_headless();
  }
  void TearDown() override {
    print_output_reset();
    events_fixture::TearDown();
  }
};

TEST_F(scroll_windows, ThePreviewKeepsEveryLineOfALongList) {
  const int32_t count = qn_scroll_back_lines + 500;
  {
    std::ofstream out("lang.txt", std::ios::binary);
    for (int32_t i = 1; i <= count; ++i) out << "Zeile " << i << "\r\n";
  }
  load_pxb({"/00000048 PRINT @0001", "RETURN"}, {}, {"lang.txt"});
  interpreter(1);
  ASSERT_TRUE(boxes.empty());
  const std::vector<std::string> lines = qn_scroll_lines(print_get_preview_window());
  ASSERT_EQ(lines.size(), static_cast<size_t>(count) + 2);  // the file, the rule and a blank line
  EXPECT_EQ(lines.front(), "      Zeile 1");
  EXPECT_EQ(lines[static_cast<size_t>(count) - 1], "      Zeile " + std::to_string(count));
  EXPECT_EQ(lines[static_cast<size_t>(count)], std::string(80, '_'));
}

}  // namespace
