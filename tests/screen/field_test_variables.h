// Four program variables for the field-input and format-area tests: 1 integer, 2 real (two
// elements), 3 text of 8 characters, 4 date text.
#pragma once

#include <array>

#include "runtime/program/areas.h"
#include "runtime/program/program_image.h"
#include "runtime/program/upn_store.h"

inline void make_field_variables() {
  alloc_variable_space(4);
  alloc_array_space(10);
  STRING_BUFFER.blank();
  std::array<variable_record, 5> r{};
  r[1].type = var_integer, r[1].dimension = 1, r[1].start = 1, r[1].width = 5;
  r[1].range_min = -9979.0f, r[1].range_max = 9999.0f;
  r[2].type = var_real, r[2].dimension = 2, r[2].start = 2, r[2].width = 8, r[2].decimals = 2;
  r[2].range_min = -10.0f, r[2].range_max = 100.0f;
  r[3].type = var_text, r[3].dimension = 1, r[3].start = 8, r[3].text_start = 1, r[3].text_end = 8;
  r[3].width = r[3].decimals = 8;
  r[4].type = var_date, r[4].dimension = 1, r[4].start = 10, r[4].text_start = 21, r[4].text_end = 30;
  r[4].width = r[4].decimals = 10;
  for (int32_t v = 1; v <= 4; ++v) define_variable(v, r[static_cast<size_t>(v)]);
}

// A format field at (x, y) bound to variable v, element index e (0 for the first).
inline area_record make_field_area(int32_t x, int32_t y, int32_t v, int32_t e = 0) {
  area_record a;
  a.x1 = x, a.y1 = y, a.x2 = x + 100, a.y2 = y + 20;
  a.type = area_field;
  a.kind = area_kind_field;
  a.variable = v;
  a.element = e;
  a.enabled = logical_true;
  return a;
}
