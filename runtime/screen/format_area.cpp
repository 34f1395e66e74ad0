// Formatted output into a format area: the value of the bound variable element as the user sees
// it, in a sunken bevelled box sized to the text.
#include <algorithm>
#include <cstdint>
#include <string>

#include "runtime/program/areas.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"

int32_t format_own_colours = 0;

namespace {
constexpr int32_t line_height = 16;  // the fixed font's line
constexpr int32_t inner_colour = 15, focus_colour = 7, lit_colour = 15, shade_colour = 8, text_colour = 0;

void line(ups& u, int32_t colour, qn_point from, qn_point to) {
  NEW_PEN(u, {.colour = colour_table[colour]});
  DRAW_LINE(u, {.end_px = to, .start_px = from});
}
}  // namespace

void format_area_output(area_record& a) {
  if (!variable_table.valid(a.variable) || a.variable == 0) return;
  variable_record& var = variable_table.records[static_cast<size_t>(a.variable)];
  const std::string text = format_element_text(var, a.element + 1);
  const int32_t columns = std::clamp(static_cast<int32_t>(text.size()), 1, formatted_output_length);
  // The box grows with the text: right and bottom edge go back into the area so that the mouse
  // finds the field where it is drawn.
  a.x2 = a.x1 + columns * fixed_font_advance() + 6;
  a.y2 = a.y1 + line_height + 4;
  var.out_x = a.x1;
  var.out_y = a.y1;
  if (screen_info(0).bitmap == 0) return;
  ups u{};
  screen_nr(0, u, a.x1, a.y1, a.x2, a.y2);
  // The own colours: a white field; otherwise (the focus area) the face colour marks it.
  const int32_t inside = format_own_colours == 1 ? inner_colour : focus_colour;
  NEW_PEN(u, {.colour = colour_table[inside]});
  for (int32_t y = a.y1; y <= a.y2; ++y) DRAW_LINE(u, {.end_px = qn_point{a.x2 + 1, y}, .start_px = qn_point{a.x1, y}});
  line(u, shade_colour, {a.x1, a.y1}, {a.x2 + 1, a.y1});
  line(u, shade_colour, {a.x1, a.y1}, {a.x1, a.y2 + 1});
  line(u, lit_colour, {a.x1, a.y2}, {a.x2 + 1, a.y2});
  line(u, lit_colour, {a.x2, a.y1}, {a.x2, a.y2 + 1});
  write_field_text(a.x1 + 3, a.y1 + 2, text, columns, text_colour);
  screen_stop_nr(0);
}
