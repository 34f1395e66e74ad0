// Format areas: the formatted value in a bevelled box whose edges go back into the area.
#include <gtest/gtest.h>

#include "field_test_variables.h"
#include "runtime/commands/runtime.h"
#include "screen_fixture.h"

namespace {

class format_area_test : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    make_field_variables();
    colour_table[7] = 0xC0C0C0;
    colour_table[8] = 0x808080;
  }
  uint32_t pixel(int32_t x, int32_t y) {
    ups u{};
    screen_nr(0, u, 0, 0, 1, 1);
    const uint32_t p = GET_PIXEL(u, {x, y});
    screen_stop_nr(0);
    return p;
  }
};

TEST_F(format_area_test, BoxFitsTheFormattedValueAndEdgesAreStoredBack) {
  ADRSPACE.set_int(1, 123);
  area_record a = make_field_area(20, 30, 1);
  format_area_output(a);
  // Width 5 of the integer: five columns of the fixed font plus the frame.
  EXPECT_EQ(a.x2, 20 + 5 * 8 + 6);
  EXPECT_EQ(a.y2, 30 + 16 + 4);
  EXPECT_EQ(variable_table.records[1].out_x, 20);
  EXPECT_EQ(variable_table.records[1].out_y, 30);
  // A wider variable gives a wider box.
  area_record b = make_field_area(20, 80, 3);
  format_area_output(b);
  EXPECT_EQ(b.x2, 20 + 8 * 8 + 6);
}

TEST_F(format_area_test, OwnColoursSwitchPicksTheInside) {
  area_record a = make_field_area(20, 30, 3);
  format_own_colours = 1;
  format_area_output(a);
  EXPECT_EQ(pixel(a.x2 - 2, a.y2 - 2), test_white);
  EXPECT_EQ(pixel(a.x1, a.y1), 0x808080u);  // shaded top-left edge
  EXPECT_EQ(pixel(a.x2, a.y2), test_white);  // lit bottom-right edge
  format_own_colours = 0;
  format_area_output(a);
  EXPECT_EQ(pixel(a.x2 - 2, a.y2 - 2), 0xC0C0C0u);
}

TEST_F(format_area_test, UnboundOrBrokenVariableDrawsNothing) {
  area_record a = make_field_area(20, 30, 0);
  const int32_t x2 = a.x2;
  format_area_output(a);
  EXPECT_EQ(a.x2, x2);
  a.variable = 99;
  format_area_output(a);
  EXPECT_EQ(a.x2, x2);
  EXPECT_FALSE(screen_info(0).dirty);
}

}  // namespace
