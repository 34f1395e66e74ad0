// The plot text writer: in-band text commands ("$$$..."), position, angle and alignment, and
// the texts of the screen, printer, bitmap and DXF devices.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/output/plot/stroke_font.h"

namespace {

plot_text_state_t ts;

bool screen_like(int32_t device) { return (device >= 0 && device <= 29) || device == 49; }

// 1, or -1 on a plot that mirrors the page (one axis alone reversed: the plot on a caller's
// context in its pixels, whose y runs down; a negative paper size): there the steps along and
// across a text go the other way in y, so that the text reads as written, not mirror-written,
// and on a plot whose y alone runs down it stands upright and an angle turns it counter-clockwise
// as seen.  Both axes reversed (a negative scale) is a half turn, no mirror: a text turns with
// the plot like its lines.
float y_sense() { return plot_axes().mirrored() ? -1.0f : 1.0f; }

// The angle of a text on the device's page, for what the devices write or draw themselves: the
// angle on the plot's page (turned with a turned page) and a half turn more where the plot's x
// axis runs the other way.  A text at angle a then runs along the page as its glyph steps do:
// with both axes reversed the half turn of the plot, with x alone the half turn that follows
// from the reversed x and the text's reversed y steps.
float device_angle(float page_angle) {
  if (!plot_axes().x_reversed) return page_angle;
  const float turned = page_angle + 180.0f;
  return turned >= 360.0f ? turned - 360.0f : turned;
}

// The start of a text: the point given, or the current point's coordinate in the units of
// `plot` for a coordinate of 999 (the current point already holds the origin and the page's turn).
void text_start(float x, float y, float& xp, float& yp) {
  float cx = 0, cy = 0;
  plot_current_point(cx, cy);
  xp = std::fabs(x - 999.0f) < 0.1f ? cx : x;
  yp = std::fabs(y - 999.0f) < 0.1f ? cy : y;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void screen_font_command(const std::string& cmd) {
  const char c1 = cmd.size() > 0 ? cmd[0] : ' ';
  const char c2 = cmd.size() > 1 ? cmd[1] : ' ';
  if (c1 == '!') {
    std::string face = std::string(trim_blanks_right(cmd.substr(1, 64)));
    const std::string up = upper(cmd);
    ts.font_bold = up.find("/B") != std::string::npos;
    ts.font_italic = up.find("/I") != std::string::npos;
    if (size_t slash = face.find('/'); slash != std::string::npos) face.resize(slash);
    ts.font_face = std::string(trim_blanks_right(face));
  } else {
    ts.font_bold = c2 == 'B';
    ts.font_italic = c2 == 'I';
    ts.font_face = c1 == 'S'   ? "MS Sans Serit"
                   : c1 == 'A' ? "Arial"
                   : c1 == 'H' ? "System"
                   : c1 == 'C' ? "Courier New"
                   : c1 == 'T' ? "Times New Roman"
                               : "MS Sans Serif";
  }
  int status = 0;
  NEW_FONT(plot_state.plot_ups, {.face = ts.font_face, .italic = ts.font_italic,
                                 .underline = false, .strikeout = false,
                                 .bold = ts.font_bold ? 1 : 0, .status = &status});
  trace_int("NEW_FONT " + ts.font_face, status);
}

void text_command(std::string_view text) {
  const std::string cmd(text.substr(3));
  plot_state.text_work = cmd;
  ts.last_text_height = 999.0f;
  const char c1 = cmd.size() > 0 ? cmd[0] : ' ';
  const char c2 = cmd.size() > 1 ? cmd[1] : ' ';
  const char c3 = cmd.size() > 2 ? cmd[2] : ' ';
  // The stroke-font switch and the alignment hold on every device; the device's own handling
  // of the command follows in any case (a PostScript command always drops the cached size).
  if (c1 == 'S' && c2 == 'S') plot_state.soft_font = c3 == '1' ? 1 : 0;
  if (c1 == 'S' && c2 == 'A') ts.text_align = c3 == 'R' ? 0.55f : c3 == 'C' ? 0.275f : 0.0f;
  const int32_t device = plot_state.device;
  if (screen_like(device)) {
    screen_font_command(cmd);
  } else if (device == 40) {
    if (c1 == 'L' && c2 == 'T') plot_text_line_width(cmd);
    if (c1 == 'H') ts.ps_font_family = 0;
    if (c1 == 'C') ts.ps_font_family = 1;
    if (c1 == 'T') ts.ps_font_family = 2;
    if (c2 == 'N') ts.font_bold = false;
    if (c2 == 'B') ts.font_bold = true;
    ts.last_ps_size = -99;
  } else if (device == 43) {
    trace_str("PDF-Font", cmd);
    std::string c = cmd;
    if (c1 == '!') {
      const std::string up = upper(c);
      char k2 = up.size() > 1 ? up[1] : ' ';
      if (k2 == 'S') k2 = 'A';
      c = std::string(1, k2) + (up.find("/B") != std::string::npos ? 'B' : 'N');
      trace_str("umgesetzt:", c);
    }
    const char f1 = c.size() > 0 ? c[0] : ' ';
    const char f2 = c.size() > 1 ? c[1] : ' ';
    if (f1 == 'H') ts.pdf_font_family = 0;
    if (f1 == 'C') ts.pdf_font_family = 1;
    if (f1 == 'T') ts.pdf_font_family = 2;
    if (f1 == 'A') ts.pdf_font_family = 3;
    if (f2 == 'N') ts.font_bold = false;
    if (f2 == 'B') ts.font_bold = true;
    if (f1 == 'L' && f2 == 'T') plot_text_line_width(c);
  }
}

// The stroke-font path: every character drawn with plot moves and draws from the start point,
// turned by the caller's angle (the plot primitive turns the strokes with the page).
void stroke_text(float x, float y, float height, std::string_view text, float angle) {
  const float phi = angle / 180.0f * 3.1415925f;
  const float c = std::cos(phi), s = std::sin(phi), sense = y_sense();
  const float ax = c * height, ay = sense * s * height;
  const float ux = c * height / 125.0f, uy = s * height / 125.0f;
  const float vx = c * height / 100.0f, vy = s * height / 100.0f;
  float ox = x, oy = y;
  if (plot_state.hardware_chars) {
    plot(ox, oy, 3);
    for (char ch : text) VEXTOR(0, 0, -static_cast<int32_t>(static_cast<uint8_t>(ch)));
    return;
  }
  const stroke_font_t& f = stroke_font();
  for (char ch : text) {
    if (ch != ' ') {
      const size_t g = stroke_glyph(ch);
      const size_t entries = static_cast<size_t>(f.dy[g]);
      plot(ox, oy, 3);
      float px = ox, py = oy;
      for (size_t k = g + 1; k < g + entries; ++k) {
        px += static_cast<float>(f.dx[k]) * ux - static_cast<float>(f.dy[k]) * vy;
        py += sense * (static_cast<float>(f.dx[k]) * uy + static_cast<float>(f.dy[k]) * vx);
        plot(px, py, f.pen[k]);
      }
    }
    ox += ax;
    oy += ay;
  }
}

}  // namespace

void plot_stroke_text(float x, float y, float height, std::string_view text, float angle, int32_t count) {
  float xp = 0, yp = 0;
  text_start(x, y, xp, yp);
  const size_t n = count <= 0 ? text.size() : std::min(text.size(), static_cast<size_t>(count));
  stroke_text(xp, yp, height, text.substr(0, n), angle);
}

void plot_text(float x, float y, float height, std::string_view text, float angle, int32_t count) {
  int32_t n = count;
  if (n <= 0) n = static_cast<int32_t>(trim_blanks_right(text).size());
  if (n <= 0) return;
  n = std::min<int32_t>(n, static_cast<int32_t>(text.size()));
  if (text.substr(0, 3) == "$$$") {
    text_command(text);
    return;
  }
  // A negative height (a frame of negative scale makes one) is the text turned by half, as the
  // stroke font's glyphs turn with the sign of their steps: every device gets the height itself
  // and the half turn, so that no device is asked for a font of negative size.
  if (height < 0.0f) {
    height = -height;
    angle = angle >= 180.0f ? angle - 180.0f : angle + 180.0f;
  }
  const bool x_given = std::fabs(x - 999.0f) > 0.1f;
  const bool y_given = std::fabs(y - 999.0f) > 0.1f;
  float xp = 0, yp = 0;
  text_start(x, y, xp, yp);
  const float page_angle = plot_state.rotated ? angle + 270.0f : angle;
  ts.text_angle = device_angle(page_angle);
  const float theta = page_angle / 180.0f * 3.1416f;
  const float sin_up = y_sense() * std::sin(theta), cos_up = y_sense() * std::cos(theta);
  const int32_t device = plot_state.device;
  if (ts.text_align != 0.0f && device != 40) {
    xp -= ts.text_align * static_cast<float>(n) * height * std::cos(theta);
    yp -= ts.text_align * static_cast<float>(n) * height * sin_up;
  }
  if (plot_state.soft_font != 0) {
    stroke_text(xp, yp, height, text.substr(0, static_cast<size_t>(n)), angle);
    return;
  }
  const bool positioned = x_given || y_given;
  // A PDF text is a block of its own that starts where it is put: at the current point too,
  // where the text before it ended, as PostScript and the plotters go on after their last text.
  // A text drawn on a context (screen, printer, picture) is put at its top-left corner, 0.8 of
  // its height above its start across its direction, also at the current point; the current
  // point stays on the text's baseline, as on every other device, so that a text at the current
  // point stands on the line of the text before, whatever its size, or at the end of a line.
  // The pen stays at the corner, where a line drawn behind the text starts.
  if (device == 43) {
    plot_end_path();
    plot(xp, yp, 4);
  } else if (screen_like(device)) {
    plot(xp - 0.8f * height * std::sin(theta), yp + 0.8f * height * cos_up, 4);
    plot_place_current_point(xp, yp);
  } else if (positioned) {
    plot(xp, yp, 3);
  }
  plot_state.current_x += std::cos(theta) * static_cast<float>(n) * height;
  plot_state.current_y += sin_up * static_cast<float>(n) * height;
  const std::string untranslated(text.substr(0, static_cast<size_t>(n)));
  plot_state.text_work = plotrans_apply(untranslated);
  if (screen_like(device)) {
    if (height != ts.last_text_height) {
      const float paper_width = paper_width_magnitude();
      const float size = std::trunc(height * 72.0f / 2.54f * plot_state.page_width_cm /
                                    (paper_width != 0 ? paper_width : 21.0f));
      ts.last_text_height = height;
      int status = 0;
      NEW_FONT(plot_state.plot_ups, {.points = size, .status = &status});
      trace_int("NEW_FONT", static_cast<int32_t>(size));
    }
    // Only the caller's own characters are written, whatever the translation added.
    const text_opts o{.px = qn_point{plot_state.last_x, plot_state.last_y}, .background = -1, .rotation = ts.text_angle};
    if (ups* u = plot_context()) WRITE_TEXT(*u, untranslated, o);
  } else if (device == 41) {
    // The plot origin moves a text as it moves every line point.
    dxf_text(plot_state.origin_x + xp, plot_state.origin_y + yp, height, untranslated, ts.text_angle,
             static_cast<int32_t>(plot_state.text_work.size()));
  } else if (device == 30 || device == 31 || device == 32 || device == 40 || device == 43) {
    plot_file_text(plot_state.text_work, height);
    if (device != 43) plot_label_moved_pen();  // PDF texts leave the path's point where it was
  }
}

void plot_text_reset() {
  ts.last_ps_size = -99;
  ts.font_bold = false;
  ts.ps_font_family = 0;
}
plot_text_state_t& plot_text_state() { return ts; }
void plot_text_state_reset() {
  ts = plot_text_state_t{};
  plot_file_text_reset();
}
