// Value fields of the plot-script module: element slots placed by "POS"/"REP" receive
// program values, each formatted by its field type and written at the slot; plus the small
// entries that set and read frame values and slot positions.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "runtime/program/calendar.h"
#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/psplot_state.h"
#include "runtime/output/print/print.h"

namespace {

// Running position of slot numbers written on the debug grid.
struct debug_grid_t {
  float x = 0, y = 0;
} debug_grid;

// Fixed-point text of the value, `width` wide with `decimals` decimals ("*" when too wide).
std::string fixed(float value, int32_t width, int32_t decimals) {
  char buf[64];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string t = ec == std::errc() ? std::string(buf, ptr) : std::string();
  if (t == "-0" || (t.size() > 1 && t.front() == '-' && t.find_first_not_of("-0.") == std::string::npos))
    t.erase(0, 1);  // no negative zero
  if (ec != std::errc() || static_cast<int32_t>(t.size()) > width) return std::string(width, '*');
  return std::string(width - t.size(), ' ') + t;
}

std::string integer(int32_t value, int32_t width) {
  const std::string t = std::to_string(value);
  if (static_cast<int32_t>(t.size()) > width) return std::string(width, '*');
  return std::string(width - t.size(), ' ') + t;
}

std::string two_digits(int32_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string date_text(int32_t day_number, bool leading_zero) {
  int32_t day = day_number, month = 0, year = 0;
  day_to_date(day, month, year);
  const std::string d = leading_zero ? two_digits(day) : integer(day, 2);
  return d + "." + two_digits(month) + "." + integer(year, 4);
}

// F10.3 with a decimal comma and a zero before it: "    -0,500" style.
std::string comma_fixed(float value) {
  std::string t = fixed(value, 10, 3);
  if (t[6] == '.') {
    t[6] = ',';
    if (t[5] == ' ') t[5] = '0';
    else if (t[5] == '-') {
      t[5] = '0';
      if (t[4] == ' ') t[4] = '-';
    }
  }
  return t;
}

std::string trimmed(std::string_view t) {
  const size_t b = t.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const size_t e = t.find_last_not_of(' ');
  return std::string(t.substr(b, e - b + 1));
}

// Puts the tag (two characters) at 1-based position `at`, extending the text when needed.
std::string with_tag(std::string text, size_t at, const std::string& tag) {
  if (text.size() < at - 1) text.resize(at - 1, ' ');
  text.resize(at - 1);
  return text + tag;
}

std::string field_text(psplot_element& e, const std::string& tag, float v, int32_t iv) {
  switch (e.type) {
    case -1: case 0: case 1: case 2: case 3: {
      std::string t = fixed(v == -9998.0f ? 0.0f : v, 10, 3);
      if (e.type >= 1) {
        t = comma_fixed(v == -9998.0f ? 0.0f : v);
      }
      // Decimals kept: the type's number; type 0 keeps the point, type -1 cuts at it.
      t.resize(e.type == -1 ? 6 : 7 + std::max<int>(e.type, 0));
      t = trimmed(t);
      const size_t width = static_cast<size_t>(std::max<int16_t>(e.length, 0));
      if (t.size() < width) t = std::string(width - t.size(), ' ') + t;
      return t;
    }
    case 5:
      e.length = 1;
      return v != 0 ? "+" : " ";
    case 6:
      e.length = 7;
      return with_tag(integer(iv == -9998 ? 0 : iv, 5), 6, tag);
    case 7:
      e.length = 8;
      return fmt_comma9o(v);
    case 8:
      e.length = 7;
      return with_tag(fmt_result5(v), 6, tag);
    case 9:
      e.length = 10;
      return date_text(iv, false);
    case 10: {
      e.length = 8;
      if (v <= 0) return std::string(8, ' ');
      std::string t = fixed(v, 6, 2);
      t[3] = ',';
      return with_tag(t, 7, tag);
    }
    case 11: case 12: case 13: {
      std::string t = comma_fixed(v);
      const int32_t kept = e.type - 10;
      t.resize(7 + kept);
      if (t.find_first_not_of('0', 7) == std::string::npos) t.resize(6);
      return trimmed(t);
    }
    case 14: {
      e.length = 9;
      std::string t;
      if (v == 0) t = "    -";
      else if (v < 0) t = std::string(6, ' ');
      else {
        t = fixed(v, 6, 1);
        t[4] = ',';
        if (t.compare(0, 5, "    ,") == 0 || t.compare(0, 5, "   0,") == 0) t[3] = 'o';
      }
      return with_tag(t, 8, tag);
    }
    case 70:
      e.length = 8;
      return fmt_comma9(v);
    case 90:
      e.length = 10;
      return date_text(iv, true);
    case 100: case 101: {
      const int32_t width = std::clamp<int32_t>(e.format[0], 0, 255);
      std::string t;
      num_to_text(e.format[1], v, t, width, e.format[2]);
      t.resize(static_cast<size_t>(width), ' ');
      e.length = static_cast<int16_t>(e.type == 101 ? width + 2 : width);
      return e.type == 101 ? t + tag : t;
    }
    default:
      return "??????????";
  }
}

void send_attribute(char attribute) {
  plot_text(999.0f, 999.0f, 0, std::string("$$$SA") + attribute, 0, 0);
  psplot_state.last_attribute = attribute;
}

void write_value(int32_t slot, float v, int32_t iv) {
  psplot_state_t& st = psplot_state;
  const psplot_frame& f = st.frame();
  const bool placed = slot >= 0 && slot < psplot_slots && st.elements[slot].x != -9999.0f;
  if (!placed) {
    if (!st.debug) return;
    if (debug_grid.x > 9.6f * f.FX) {
      debug_grid.x = 0;
      debug_grid.y += 0.5f * f.FX;
    }
    plot_text(debug_grid.x + f.XO + f.FX, debug_grid.y + f.YO + f.FX, f.SZ, integer(slot, 4), 0, 0);
    debug_grid.x += 0.5f * f.FX;
    return;
  }
  psplot_element& e = st.elements[slot];
  std::string text;
  if (st.debug) {
    text = integer(slot, 4);
  } else {
    if (iv == -9999) return;
    text = field_text(e, st.tags[slot], v, iv);
  }
  if (e.font != st.last_font) {
    plot_text(f.XP, f.YP, f.SZ, "$$$" + e.font, 0, 0);
    st.last_font = e.font;
  }
  if (e.attribute != st.last_attribute) send_attribute(e.attribute);
  const float x = e.x + f.XO;
  const float y = e.y + f.YO;
  if (!st.debug && (e.type == 7 || e.type == 70)) {
    // Decimal-comma numbers line up at the comma.
    const float at = e.x - 3 * e.size + f.XO;
    const size_t comma = text.find(',');
    if (comma == std::string::npos) {
      plot_text(at, y, e.size, trimmed(text), 0, 0);
    } else {
      if (comma > 0) plot_text(at, y, e.size, text.substr(0, comma), 0, static_cast<int32_t>(comma));
      send_attribute('L');
      const std::string tail = (text.substr(comma) + "    ").substr(0, 4);
      plot_text(at, y, e.size, tail, 0, 4);
    }
    if (trimmed(st.tags[slot]).size() > 0) {
      send_attribute('R');
      plot_text(x, y, e.size, st.tags[slot], 0, 2);
    }
    return;
  }
  plot_text(x, y, e.size, text, 0, std::max<int32_t>(e.length, 0));
}

}  // namespace

void psplot_value_int(int32_t slot, int32_t value) { write_value(slot, static_cast<float>(value), value); }

void psplot_value_real(int32_t slot, float value) {
  write_value(slot, value, nint(std::clamp(value, -2.0e9f, 2.0e9f)));
}

void psplot_set_device(int32_t code) { psplot_state.postscript = code == 40; }

void psplot_set_element_xy(int32_t slot, float x, float y) {
  if (slot < 0 || slot >= psplot_slots) return;
  const psplot_frame& f = psplot_state.frame();
  psplot_state.elements[slot].x = (x + f.X0) * f.FX;
  psplot_state.elements[slot].y = (y + f.Y0) * f.FY;
}

void psplot_get_element_xy(int32_t slot, float& x, float& y) {
  if (slot < 0 || slot >= psplot_slots) return;
  const psplot_frame& f = psplot_state.frame();
  x = psplot_state.elements[slot].x / f.FX - f.X0;
  y = psplot_state.elements[slot].y / f.FY - f.Y0;
}

void psplot_plot_units(int32_t flag, float x, float y) {
  const psplot_frame& f = psplot_state.frame();
  psplot_plot(flag, x / f.unit_x, y / f.unit_y);
}

void psplot_set_units(float ux, float uy) {
  psplot_frame& f = psplot_state.frame();
  f.unit_x = ux / f.FZ;
  f.unit_y = uy / f.FZ;
}

namespace {
void text_at(float x, float y, std::string_view text, float px, float py) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  f.XP = x;
  f.YP = y;
  if (st.last_font != "AN") {
    plot_text(f.XP, f.YP, f.SZ, "$$$AN", 0, 0);
    st.last_font = "AN";
  }
  plot_text(px, py, f.SZ * f.FX, text, 0, static_cast<int32_t>(text.size()));
}
}  // namespace

void psplot_text_at(float x, float y, std::string_view text) {
  const psplot_frame& f = psplot_state.frame();
  text_at(x, y, text, x + f.XO, y + f.YO);
}

void psplot_text_at_units(float x, float y, std::string_view text) {
  const psplot_frame& f = psplot_state.frame();
  const float ux = x / f.unit_x, uy = y / f.unit_y;
  text_at(ux, uy, text, psplot_map_x(f, ux), psplot_map_y(f, uy));
}

void psplot_get_element(int32_t slot, float& x, float& y, float& line_feed, float& x_scale) {
  const psplot_frame& f = psplot_state.frame();
  if (slot >= 0 && slot < psplot_slots) {
    x = psplot_state.elements[slot].x;
    y = psplot_state.elements[slot].y;
  }
  line_feed = f.LF;
  x_scale = f.FX;
}

void psplot_get_frame(float& x0, float& ux, float& y0, float& uy, float& fz) {
  const psplot_frame& f = psplot_state.frame();
  x0 = f.X0;
  ux = f.unit_x;
  y0 = f.Y0;
  uy = f.unit_y;
  fz = f.FZ;
}

void psplot_set_origin(float x0, float y0) {
  psplot_state.frame().X0 = x0;
  psplot_state.frame().Y0 = y0;
}

void psplot_clear() {
  psplot_state.script.assign(psplot_text_size, ' ');
  for (auto& e : psplot_state.elements) e.x = -9999.0f;
  for (auto& t : psplot_state.tags) t = "  ";
}

void psplot_fields_reset() { debug_grid = {}; }
