// DXF entities of the plot: every drawn segment is a LINE, every text a TEXT, on layer "1"
// with colour "7", one group code or value per line, each line ended by CR LF.
#include <cmath>
#include <string>

#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

void item(std::string_view s) { plot_write_crlf(s, static_cast<int32_t>(s.size())); }

void entity_head(std::string_view kind) {
  for (std::string_view s : {std::string_view("0"), kind, std::string_view("8"), std::string_view("1"),
                             std::string_view("62"), std::string_view("7")})
    item(s);
}

}  // namespace

std::string dxf_number(float value) {
  if (!std::isfinite(value)) return "0";  // no number to write; a reader must still get one
  std::string s = plot_fixed_field(value, 8, 4);
  if (s.find('*') != std::string::npos) {
    // Beyond eight columns (1000 and above, -100 and below) the number is written as wide as
    // it needs, with the same four decimals: a reader refuses a file with asterisks in it.
    s = std::string(strip_leading_blanks(plot_fixed_field(value, 48, 4)));
  }
  for (int i = 0; i < 2 && !s.empty() && s[0] == ' '; ++i) s.erase(0, 1);
  if (s.size() > 1 && s[0] == ' ' && s[1] == '.') s[0] = '0';
  // Trailing zeros of the four decimals go; all four take the point with them.
  int zeros = 0;
  while (zeros < 4 && s[s.size() - 1 - static_cast<size_t>(zeros)] == '0') ++zeros;
  s.resize(s.size() - static_cast<size_t>(zeros == 4 ? 5 : zeros));
  return s;
}

void dxf_line(float x1, float y1, float x2, float y2) {
  if (plot_state.plot_handle <= 0) return;
  entity_head("LINE");
  item("10");
  item(dxf_number(x1));
  item("20");
  item(dxf_number(y1));
  item("11");
  item(dxf_number(x2));
  item("21");
  item(dxf_number(y2));
}

void dxf_text(float x, float y, float height, std::string_view text, float angle, int32_t count) {
  if (plot_state.plot_handle <= 0) return;
  entity_head("TEXT");
  item("10");
  item(dxf_number(x));
  item("20");
  item(dxf_number(y));
  item("40");
  item(dxf_number(height));
  item("1");
  const size_t n = count <= 0 ? text.size() : std::min(text.size(), static_cast<size_t>(count));
  // A group value may be as long as it needs: the whole text goes on its one line.
  item(text.substr(0, n));
  if (angle != 0.0f) {
    item("50");
    item(dxf_number(angle));
  }
  item("7");
  item("txt");
}
