// List areas, combo drop-downs and sliders: geometry, frames, thumb positions and bound
// INTEGER variables.
#include <string>

#include "runtime/program/areas.h"
#include "runtime/program/program_image.h"
#include "runtime/program/upn_store.h"
#include "test_list_fixture.h"

namespace {

class list_areas_test : public list_test {
 protected:
  void SetUp() override {
    list_test::SetUp();
    areas_reset();
    init_common();
    alloc_variable_space(2);
    alloc_array_space(10);
    variable_record i{}, r{};
    i.type = var_integer;
    i.dimension = 1;
    i.start = 3;
    r.type = var_real;
    r.start = 4;
    define_variable(1, i);
    define_variable(2, r);
  }
  void TearDown() override {
    areas_reset();
    free_variable_space();
    alloc_array_space(0);
    list_test::TearDown();
  }

  // Appends an area of the given type and list number.
  static int32_t add_area(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t type, int32_t list) {
    const int32_t n = ++area_table.count;
    area_record& a = area(n);
    a = area_record{};
    a.x1 = x1;
    a.y1 = y1;
    a.x2 = x2;
    a.y2 = y2;
    a.type = type;
    a.list = list;
    a.enabled = logical_true;
    return n;
  }
  static std::string caption(int32_t n) {
    std::string c(area(n).caption.data(), area(n).caption.size());
    return c.substr(0, c.find_last_not_of(' ') + 1);
  }
};

TEST_F(list_areas_test, ListAreaGetsPageBottomAndSlider) {
  int32_t status = 0;
  allocate_xmm(3, 10, 40, status);
  add_area(10, 20, 210, 120, area_list, 3);
  lst_area_setup();
  const int32_t lh = list_table.line_height, m = list_table.slider_width;
  ASSERT_GT(lh, 3);
  const int32_t page = std::clamp(100 / lh, 4, 40);
  const list_record& l = list_of(3);
  EXPECT_EQ(l.page, page);
  EXPECT_EQ(area(1).y2, 20 + 7 + lh * page);
  EXPECT_EQ(area(1).x2, 210 - m);
  EXPECT_EQ(l.x1, 13);
  EXPECT_EQ(l.y1, 26);
  EXPECT_EQ(l.x2, 210 - m - 3);
  EXPECT_EQ(l.hilite_right, l.x2 - l.x1);
  EXPECT_EQ(l.width, (210 - m - 10 - 7) / list_table.char_width);
  EXPECT_EQ(l.top, 1);
  EXPECT_EQ(l.drawn_top, 1);  // drawn
  EXPECT_FALSE(l.edit_mode);
  EXPECT_EQ(l.tab_col[5], 1);
  // The slider: three areas after the list area, the thumb track in the middle.
  ASSERT_EQ(area_table.count, 4);
  EXPECT_EQ(l.slider_area, 3);
  for (int32_t k = 2; k <= 4; ++k) {
    EXPECT_EQ(area(k).type, area_slider);
    EXPECT_EQ(area(k).list, 3);
    EXPECT_EQ(area(k).slider_track, 3);
    EXPECT_EQ(area(k).x1, 210 - m);
    EXPECT_EQ(area(k).x2, 210);
  }
  EXPECT_EQ(area(2).columns, 1);
  EXPECT_EQ(area(3).columns, 0);
  EXPECT_EQ(area(4).columns, -1);
  EXPECT_EQ(caption(2), "#64");
  EXPECT_EQ(caption(4), "#65");
  EXPECT_EQ(caption(3), "");
  EXPECT_EQ(area(2).y1, 20);
  EXPECT_EQ(area(2).y2, 20 + m);
  EXPECT_EQ(area(4).y2, area(1).y2 + 1);
  EXPECT_EQ(area(3).track_length, area(3).y2 - m - area(3).y1);
  EXPECT_EQ(area(3).slider_percent, 10);  // top 1 of 10 rows
  EXPECT_TRUE(boxes.empty());
}

TEST_F(list_areas_test, PageIsLimitedToFourAndForty) {
  add_area(10, 20, 210, 40, area_list, 3);
  lst_area_setup();
  EXPECT_EQ(list_of(3).page, 4);
  add_area(10, 20, 210, 1020, area_list, 4);
  lst_area_setup();
  EXPECT_EQ(list_of(4).page, 40);
  EXPECT_EQ(area(5).y2, 20 + 7 + 40 * list_table.line_height);
}

TEST_F(list_areas_test, CursorBeyondThePageBecomesTheTopRow) {
  int32_t status = 0;
  allocate_xmm(5, 50, 40, status);
  list_of(5).cursor = 30;
  add_area(10, 20, 210, 120, area_list, 5);
  lst_area_setup();
  EXPECT_EQ(list_of(5).top, 30);
  EXPECT_EQ(list_of(5).saved_top, 30);
  EXPECT_EQ(list_of(5).saved_cursor, 30);
}

TEST_F(list_areas_test, BadListNumberStillNarrowsTheAreaAndAddsTheSlider) {
  add_area(10, 20, 210, 120, area_list, 9);
  lst_area_setup();
  EXPECT_EQ(area(1).x2, 210 - list_table.slider_width);
  EXPECT_EQ(area_table.count, 4);
  for (int32_t n = 1; n <= 6; ++n) EXPECT_EQ(list_of(n).page, 0);
}

TEST_F(list_areas_test, FrameIsSunkenAndClearsTheInside) {
  constexpr uint32_t light = 0x00FF00, dark = 0x0000FF, face = 0xFF0000;
  create_my_pen(8, {.colour = dark});
  create_my_pen(16, {.colour = light});
  create_my_pen(15, {.colour = face});
  list_table.slider_width = 16;
  lst_frame(100, 100, 200, 150);
  ups u;
  START_BITMAP_DRAW(screen_info(0).bitmap, u);
  EXPECT_EQ(GET_PIXEL(u, {150, 120}), face);      // inside
  EXPECT_EQ(GET_PIXEL(u, {190, 149}), face);      // inside, beside the slider separator
  EXPECT_EQ(GET_PIXEL(u, {150, 100}), dark);      // top edge
  EXPECT_EQ(GET_PIXEL(u, {100, 120}), dark);      // left edge
  EXPECT_EQ(GET_PIXEL(u, {150, 150}), light);     // bottom edge
  EXPECT_EQ(GET_PIXEL(u, {200, 120}), light);     // right edge
  const uint32_t before = GET_PIXEL(u, {250, 120});
  END_BITMAP_DRAW(u);
  EXPECT_NE(before, face);  // nothing outside the frame
}

TEST_F(list_areas_test, PollingEntries) {
  mouse_state = {100, 50, 0};
  int32_t x = 0, y = 0, left = 9, right = 9;
  get_mouse_state(x, y, left, right);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 0);
  mouse_state = {110, 45, 3};
  int32_t dx = 0, dy = 0;
  poll_mouse_delta(dx, dy, left, right);
  EXPECT_EQ(dx, 10);
  EXPECT_EQ(dy, -5);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(right, 1);
  mouse_state.buttons = 2;
  poll_mouse_delta(dx, dy, left, right);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 1);
  mouse_state = mouse_state_t{};
}

TEST_F(list_areas_test, FrameByFlagPicksItsPen) {
  create_my_pen(16, {.colour = 0x00FF00});
  create_my_pen(0, {.colour = 0x0000FF});
  frame_by_flag(10, 10, 50, 50, 0);
  frame_by_flag(60, 10, 100, 50, 1);
  ups u;
  START_BITMAP_DRAW(screen_info(0).bitmap, u);
  EXPECT_EQ(GET_PIXEL(u, {30, 10}), 0x00FF00u);
  EXPECT_EQ(GET_PIXEL(u, {80, 10}), 0x0000FFu);
  END_BITMAP_DRAW(u);
}

TEST_F(list_areas_test, HorizontalSliderBoundToAVariable) {
  variable_record& var = variable_table.records[1];
  var.range_min = 0.0f;
  var.range_max = 10.0f;
  ADRSPACE.set_int(3, 15);
  const int32_t s = add_area(50, 300, 250, 320, area_slider, 0);
  area(s).variable = 1;
  list_table.slider_width = 16;
  SLIDER_VAR(0);
  EXPECT_EQ(ADRSPACE.get_int(3), 10);
  ASSERT_EQ(area_table.count, 3);
  const area_record& thumb = area(2);
  EXPECT_EQ(thumb.slider_percent, 100);
  EXPECT_EQ(thumb.slider_state, -999);
  EXPECT_EQ(area(1).x2, 66);
  EXPECT_EQ(area(3).x1, 235);
  EXPECT_EQ(area(3).x2, 251);
  EXPECT_EQ(thumb.x1, 65);
  EXPECT_EQ(thumb.x2, 235);
  EXPECT_EQ(thumb.y2, 316);
  EXPECT_EQ(thumb.track_length, 235 - 16 - 65);
  EXPECT_EQ(thumb.text_x, thumb.track_length);
  EXPECT_EQ(caption(1), "#66");
  EXPECT_EQ(caption(3), "#67");
}

TEST_F(list_areas_test, ReversedRangeAndReReading) {
  variable_record& var = variable_table.records[1];
  var.range_min = 10.0f;
  var.range_max = 0.0f;
  ADRSPACE.set_int(3, 2);
  const int32_t s = add_area(50, 300, 70, 500, area_slider, 0);
  area(s).variable = 1;
  SLIDER_VAR(0);
  EXPECT_EQ(area(2).slider_percent, 80);
  // Re-reading through any of the three areas: the thumb area gets the new percentage.
  ADRSPACE.set_int(3, 5);
  SLIDER_VAR(3);
  EXPECT_EQ(area(2).slider_percent, 50);
  EXPECT_EQ(area(2).slider_state, -999);
  EXPECT_EQ(area_table.count, 3);
  slider_track(2);
  EXPECT_EQ(area(2).slider_state, 50);
  EXPECT_EQ(area(2).text_x, nint(50.0f * static_cast<float>(area(2).track_length) / 100.0f));
  // Equal limits: the value becomes the limit and the percentage 0.
  var.range_min = var.range_max = 4.0f;
  SLIDER_VAR(1);
  EXPECT_EQ(ADRSPACE.get_int(3), 4);
  EXPECT_EQ(area(2).slider_percent, 0);
}

TEST_F(list_areas_test, SliderOnANonIntegerVariableIsReported) {
  const int32_t s = add_area(50, 300, 250, 320, area_slider, 0);
  area(s).variable = 2;
  // The variable's number is the code: the program goes on only when debugging is allowed.
  run_flags.debug_allowed = true;
  SLIDER_VAR(0);
  EXPECT_EQ(last_box(), "SLIDER_VAR no INTEGER");
  EXPECT_EQ(boxes.back().caption.substr(0, 15), "KYR-ERROR     2");
  EXPECT_EQ(area_table.count, 1);
  run_flags.debug_allowed = false;
  EXPECT_THROW(SLIDER_VAR(0), program_end);
}

TEST_F(list_areas_test, UpdateSliderFollowsTheTopRow) {
  add_area(10, 20, 210, 120, area_list, 3);
  lst_area_setup();  // list 3 has no rows
  list_record& l = list_of(3);
  l.top = 1;
  update_slider(3);
  EXPECT_EQ(area(3).slider_percent, 100);
  EXPECT_EQ(area(3).text_x, area(3).track_length);
  int32_t status = 0;
  allocate_xmm(3, 40, 40, status);
  l.top = 10;
  update_slider(3);
  EXPECT_EQ(area(3).slider_percent, 25);
  EXPECT_EQ(area(3).text_x, 25 * area(3).track_length / 100);
  EXPECT_TRUE(boxes.empty());
  // A list whose slider area is not its thumb is reported.
  l.slider_area = 2;
  update_slider(3);
  EXPECT_EQ(last_box(), "update_slider : no slider-button: list 1, slider area 2");
  l.slider_area = 9;
  update_slider(3);
  EXPECT_EQ(last_box(), "update_slider : no slider-button: list 1, slider area 9 (no such area)");
}

TEST_F(list_areas_test, ComboDropDownIsKeptAboveTheBottomLimit) {
  int32_t status = 0;
  allocate_xmm(1, 8, 64, status);
  area_record combo;
  combo.x1 = 100;
  combo.y1 = 400;
  combo.x2 = 300;
  combo.y2 = 420;
  combo.list = 1;
  lst_combo_setup(combo, 450, 8, 3);
  const int32_t lh = list_table.line_height;
  EXPECT_EQ(combo.y2, 450);
  EXPECT_EQ(combo.y1, 450 - (lh * 8 + 7));
  const list_record& l = list_of(1);
  EXPECT_EQ(l.page, 8);
  EXPECT_EQ(l.cursor, 3);
  EXPECT_EQ(l.top, 1);
  EXPECT_EQ(l.y1, combo.y1 + 6);
  EXPECT_EQ(l.x2, 297);
  EXPECT_EQ(l.hilite_right, 297 - 103);
  // Room below: it opens downwards from the combo's top.
  area_record high;
  high.x1 = 100;
  high.y1 = 50;
  high.x2 = 300;
  high.y2 = 70;
  high.list = 1;
  lst_combo_setup(high, 450, 5, 9);
  EXPECT_EQ(high.y1, 50);
  EXPECT_EQ(high.y2, 50 + 7 + lh * 5);
  EXPECT_EQ(list_of(1).top, 9);
}

}  // namespace
