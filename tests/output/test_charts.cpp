// Charts: the command list walk of agraf and its layout.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/output/plot/plot.h"
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

}  // namespace
