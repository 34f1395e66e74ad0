// Charts: the command list walk of agraf and its layout.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/lists.h"
#include "support/runtime_fixture.h"

namespace {

class charts : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    start_headless();
    agraf_reset();
    agraf_set6(100, 200, 0, 0, 400, 400);
    agraf_set4(0.0f, 0.0f, 10.0f, 10.0f);
  }
  ups u;
};

TEST_F(charts, PolylinePointsAreScaledWithYUp) {
  std::vector<float> x{-1.0f, 1.0f, 3.0f}, y{2.0f, 2.0f, 5.0f};
  agraf(u, 3, x, y, 0);
  EXPECT_EQ(agraf_point().x, 130);
  EXPECT_EQ(agraf_point().y, 150);
}

TEST_F(charts, PositiveCodeEndsListButNotInsidePoints) {
  std::vector<float> x{0.6f, -1.0f, 1.0f}, y{0.0f, 1.0f, 1.0f};
  agraf(u, 3, x, y, 0);
  EXPECT_EQ(agraf_point().x, 0);  // ended at once
  std::vector<float> x2{-0.4f, 0.3f, -1.0f, 2.0f}, y2{0.0f, 0.0f, 1.0f, 1.0f};
  agraf(u, 4, x2, y2, 0);
  EXPECT_EQ(agraf_point().x, 120);  // the positive 2.0 is a point
}

TEST_F(charts, OffsetsShiftAndSwapExchangesShiftedValues) {
  std::vector<float> x{-4.0f, 1.0f, -98.0f, -1.0f, 2.0f}, y{0.0f, 3.0f, 1.0f, 1.0f, 0.0f};
  agraf(u, 5, x, y, 0);
  // a := 0 + 3, b := 2 + 1
  EXPECT_EQ(agraf_point().x, 130);
  EXPECT_EQ(agraf_point().y, 170);
}

TEST_F(charts, PointsMissingBehindTheArraysEndTheList) {
  std::vector<float> x{-1.0f, 1.0f}, y{5.0f, 1.0f};
  agraf(u, 100, x, y, 0);
  EXPECT_EQ(agraf_point().x, 110);
}

// Labels: the trace shows what agraf decided; the window is strict and list 0 draws nothing.
class chart_labels : public charts {
 protected:
  std::vector<std::string> traced() {
    std::vector<std::string> out;
    for (const std::string& line : file_lines("$PXBDUMP.TXT"))
      if (line.find("agraf") != std::string::npos || line.find("text:") != std::string::npos) {
        // The trace pads its numbers; compare the words only.
        std::string words;
        for (char c : line)
          if (c != ' ' || (!words.empty() && words.back() != ' ')) words += c;
        while (!words.empty() && words.back() == ' ') words.pop_back();
        out.push_back(words);
      }
    return out;
  }
  void SetUp() override {
    charts::SetUp();
    debug_to_file();
    debug_mode(1);
    int32_t status = 0;
    allocate_xmm(3, 5, 80, status);
    lst_put_row(3, 1, std::string_view("  first label  "));
  }
};

TEST_F(chart_labels, LabelInsideTheWindowIsFetchedAndTrimmed) {
  std::vector<float> x{-1.0f, 1.0f, -2.0f}, y{1.0f, 1.0f, 1.0f};
  agraf(u, 3, x, y, 3);
  const auto lines = traced();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "agraf 110 190 1");
  EXPECT_EQ(lines[2], "text: first label");
}

TEST_F(chart_labels, LabelOnTheWindowEdgeOrWithoutListIsOnlyTraced) {
  agraf_set6(0, 200, 0, 0, 400, 400);
  std::vector<float> x{-1.0f, 0.0f, -2.0f}, y{1.0f, 1.0f, 1.0f};
  agraf(u, 3, x, y, 3);  // px = 0 = x_lo
  agraf_set6(100, 200, 0, 0, 400, 400);
  std::vector<float> x2{-1.0f, 1.0f, -1.5f}, y2{1.0f, 1.0f, 1.0f};
  agraf(u, 3, x2, y2, 0);  // -1.5 is a label; list 0
  const auto lines = traced();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "agraf 0 190 1");
  EXPECT_EQ(lines[3], "agraf 110 190 1");
}

TEST_F(chart_labels, EmptyListWritesOnlyTheEntryLine) {
  std::vector<float> x{-1.0f}, y{1.0f};
  agraf(u, 0, x, y, 3);
  EXPECT_EQ(traced(), std::vector<std::string>{"agraf 0 3"});
}

}  // namespace
