// Texts in plot files: a placed text becomes the device's own text commands (PostScript,
// PDF, HP-GL, the comma-separated plotter language, the byte-coded plotter protocol), and the
// text command LT the PostScript/PDF line width.
#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

struct file_text_state_t {
  std::string last_si;  // HP-GL size and direction last written into this plot file
  std::string last_di;
};
file_text_state_t ft;

void write_text(const std::string& s) { plot_write(s, static_cast<int32_t>(s.size())); }
void write_line(const std::string& s) { plot_write_lf(s, static_cast<int32_t>(s.size())); }

std::string trimmed_int(int64_t v, int32_t width) {
  return std::string(strip_leading_blanks(plot_int_field(v, width)));
}
std::string trimmed_fixed(double v, int32_t width, int32_t decimals) {
  return std::string(strip_leading_blanks(plot_fixed_field(v, width, decimals)));
}

// PostScript and PDF strings: "(", ")" and "\" get a backslash in front.
std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

float theta_of(float angle) { return angle / 180.0f * 3.1416f; }

// A font size as a file writes it, kept within what its field holds and never 0: a reader
// cannot scale a font to nothing (Ghostscript stops the page at such a text), so a text too
// small to show is written at the smallest size the format has.
int32_t font_size(int32_t size, int32_t lowest, int32_t highest) {
  return size == 0 ? 1 : std::clamp(size, lowest, highest);
}

void postscript_text(std::string_view text, float h) {
  plot_text_state_t& ts = plot_text_state();
  const int32_t size = font_size(trunc_to_int(h * 120.0f), -99999, 999999);
  if (size != ts.last_ps_size) {
    ts.last_ps_size = size;
    static const char* const plain[] = {" /Helvetica f", " /Courier f", " /Times f"};
    static const char* const bold[] = {" /Helvetica-Bold f", " /Courier-Bold f", " /Times-Bold f"};
    const int32_t family = ts.ps_font_family == 0 ? 0 : ts.ps_font_family == 1 ? 1 : 2;
    write_line(trimmed_int(size, 6) + (ts.font_bold ? bold[family] : plain[family]));
    ts.last_text_height = static_cast<float>(size);
  }
  const float angle = ts.text_angle;
  if (angle != 0.0f) write_line(trimmed_int(trunc_to_int(angle), 4) + " r");
  // A text at the current point right behind the letters of the text before goes on from
  // there to the right, whatever the alignment: aligned again it would be written over them.
  const char* op = ts.text_align == 0.0f || plot_pen_behind_label() ? ") t"
                   : ts.text_align == 0.55f                          ? ") tr"
                                                                     : ") tc";
  write_line("(" + escaped(text) + op);
  if (angle != 0.0f) write_line(trimmed_int(trunc_to_int(0.0f - angle), 4) + " r");
}

void pdf_text(std::string_view text, float h) {
  plot_text_state_t& ts = plot_text_state();
  write_line("BT");
  const int32_t size10 = font_size(trunc_to_int(h * 1200.0f / 3.45f), -9999, 99999);
  ts.last_text_height = static_cast<float>(size10);
  ts.last_ps_size = size10;
  const int32_t font = ts.pdf_font_family + (ts.font_bold ? 4 : 0);
  write_line("/F" + std::to_string(font) + " " + trimmed_fixed(static_cast<float>(size10) * 0.1f, 6, 1) + " Tf");
  const float angle = ts.text_angle;
  if (angle == 0.0f) {
    plot_put_pdf_point();
    write_text(" Td (");
  } else if (angle == 90.0f) {
    write_text("0 1 -1 0 ");
    plot_put_pdf_point();
    write_text(" Tm (");
  } else {
    const float t = theta_of(angle);
    const float c = std::cos(t), s = std::sin(t);
    write_text(trimmed_fixed(c, 6, 3) + " " + trimmed_fixed(s, 6, 3) + " " + trimmed_fixed(-s, 6, 3) + " " +
               trimmed_fixed(c, 6, 3) + " ");
    plot_put_pdf_point();
    write_text(" Tm (");
  }
  write_line(escaped(text) + ") Tj");
  write_line("ET");
  plot_state.path_state = true;
}

// A character width or height of HP-GL's SI command in centimetres: readers refuse 0.000, so a
// text too small to show gets the smallest size the field holds, and a size beyond the field
// the largest.
std::string hpgl_size(float cm) {
  constexpr float largest = 99.999f;
  std::string size = std::isnan(cm) ? std::string() : trimmed_fixed(std::clamp(cm, -largest, largest), 6, 3);
  if (size.find_first_of("123456789") == std::string::npos) size = "0.001";
  return size;
}

void hpgl_text(std::string_view text, float h) {
  const float t = theta_of(plot_text_state().text_angle);
  const std::string si = "SI" + hpgl_size(h * 0.68f) + "," + hpgl_size(h * 0.85f) + ";";
  if (si != ft.last_si) {
    write_text(si);
    ft.last_si = si;
  }
  const std::string di = "DI" + trimmed_int(trunc_to_int(std::cos(t) * 100.0f), 6) + "," +
                         trimmed_int(trunc_to_int(100.0f * std::sin(t)), 6) + ";";
  if (di != ft.last_di) {
    write_text(di);
    ft.last_di = di;
  }
  write_text("LB" + std::string(text) + "\x03");
}

void comma_language_text(std::string_view text, float h) {
  const bool upright = trunc_to_int(plot_text_state().text_angle) == 90;
  const char* size = h < 0.19f ? "1 " : h < 0.25f ? "1+" : "2 ";
  write_text(std::string("S") + (upright ? "2" : "1") + size + std::string(text) + "_");
}

// The byte-coded protocol's writers.
void plot_write_byte(int32_t v) {
  const char b = static_cast<char>(v & 0xFF);
  plot_write(std::string_view(&b, 1), 1);
}
void plot_write_word(int32_t v) {
  plot_write_byte(v);
  plot_write_byte(v >> 8);
}
void encode_plot_word(int32_t& v) {
  const int32_t mag = (v < 0 ? -v : v) & 0x3FFF;
  v = (mag << 2) | (v < 0 ? 1 : 0);
}
void plot_write_line(int32_t code) {
  plot_write_byte(0xFF);
  plot_write_byte(code);
  plot_write_byte(code == 36 || code == 37 ? 0 : plot_pen_selector());
  plot_write_byte(0);
}

void byte_coded_text(std::string_view text, float h) {
  const float t = theta_of(plot_text_state().text_angle);
  const float c = std::cos(t), s = std::sin(t);
  plot_write_line(3);
  int32_t words[4] = {trunc_to_int(c * 0.68f * h * 266.0f), trunc_to_int(-266.0f * 0.85f * h * s),
                      trunc_to_int(s * 0.68f * h * 266.0f), trunc_to_int(266.0f * 0.85f * h * c)};
  for (int32_t& w : words) {
    encode_plot_word(w);
    plot_write_word(w);
  }
  plot_write_line(4);
  plot_write(text, static_cast<int32_t>(text.size()));
  plot_write_line(7);
  plot_write_word(0);
  plot_write_word(0);
  plot_write_line(2);
}

}  // namespace

void plot_file_text(std::string_view text, float height) {
  switch (plot_state.device) {
    case 40: postscript_text(text, height); break;
    case 43: pdf_text(text, height); break;
    case 30: hpgl_text(text, height); break;
    case 31: comma_language_text(text, height); break;
    case 32: byte_coded_text(text, height); break;
    default: break;
  }
}

void plot_text_line_width(std::string_view command) {
  plot_end_path();
  const std::string rest(trim_blanks_right(strip_leading_blanks(command.substr(std::min<size_t>(2, command.size())))));
  std::string line = rest;
  if (trim_blanks_right(command) == "LT0") line += plot_state.device == 43 ? ".2" : ".25";
  write_line(line + " w");
  plot_put_moveto();
}

void plot_file_text_reset() { ft = file_text_state_t{}; }
