// The plot-script statement executor: moves and lines through the plot primitive, texts and
// paragraph fields through the text writer, element slots, and the frame stack.
#include <algorithm>
#include <string>
#include <vector>

#include "runtime/program/program.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/output/plot/psplot_state.h"
#include "runtime/output/print/print.h"

namespace {

std::string right_trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// An integer read from a real, clamped into the range of the field it goes to.
int32_t to_int(float value) { return nint(std::clamp(value, -2.0e9f, 2.0e9f)); }

void goto_point(std::string& s, bool relative, int32_t pen) {
  psplot_frame& f = psplot_state.frame();
  float v[2]{0, 0};
  psplot_read_reals(s, v, 2);
  if (relative) {
    f.XP += v[0];
    f.YP += v[1];
  } else {
    f.XP = v[0];
    f.YP = v[1];
  }
  plot(psplot_map_x(f, f.XP), psplot_map_y(f, f.YP), pen);
}

void text_at(std::string& s, float x, float y) {
  psplot_frame& f = psplot_state.frame();
  const std::string text = right_trimmed(std::string_view(s).substr(3));
  if (!text.empty() && text.front() == '$') psplot_state.last_attribute = '?';
  plot_text(x, y, f.SZ * f.FX, text, f.AN, 0);
}

// A slot number outside the table names no slot: the statement is left out with a trace line,
// as a stray value in a script must not end the program.
void write_slot(int32_t slot) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  if (slot < 0 || slot >= psplot_slots) {
    trace_int("PS_PLOT Element-Nr. ungueltig", slot);
    return;
  }
  psplot_element& e = st.elements[slot];
  e.x = (f.XP + f.X0 + static_cast<float>(st.indent) * f.SZ) * f.FX;
  e.y = (f.YP + f.Y0) * f.FY;
  e.size = f.SZ * f.FX;
  e.length = f.LE;
  e.attribute = f.SA;
  e.font = f.FO;
  e.format = f.format;
  e.type = f.TP;
  f.YP -= f.LF;
}

void paragraph(std::string& s) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  std::string rest = s.substr(3);
  const size_t p = rest.find_first_not_of(' ');
  if (p == std::string::npos) return;
  std::string work;
  if (rest.find('#') == std::string::npos) {
    work = "\xB0" + rest.substr(p);
    work = psplot_padded(work);
    const size_t q = work.find(' ');  // 0-based: positions q+1..LE (1-based) get the picture
    for (size_t i = q; i < static_cast<size_t>(std::max<int32_t>(f.LE, 0)) && i < work.size(); ++i) work[i] = '#';
  } else {
    work = psplot_padded(rest);
  }
  frm_format_line(work, true, true);
  work = psplot_padded(work);
  frm_format_line(work, true, true);
  work = psplot_padded(work);
  const std::string text = right_trimmed(work);
  if (text.empty()) {
    st.blank_paragraph = true;
    return;
  }
  st.blank_paragraph = false;
  const int32_t n = std::min<int32_t>(static_cast<int32_t>(text.size()), f.LE);
  plot_text((f.XP + f.X0 + static_cast<float>(st.indent) * f.SZ) * f.FX + f.XO,
            (f.YP + f.Y0) * f.FY + f.YO, f.SZ * f.FX, work, f.AN, std::max(n, 0));
}

void area_statement(std::string& s, const std::string& key) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  const qn_rect area{st.area_left, st.area_top, st.area_right, st.area_bottom};
  if (key == "AR=") {
    float v[4]{0, 0, st.area_dx, st.area_dy};
    psplot_read_reals(s, v, 4);
    st.area_dx = v[2];
    st.area_dy = v[3];
    f.XP = v[0];
    f.YP = v[1];
    plot(psplot_map_x(f, v[0]), psplot_map_y(f, v[1]), 4);
    st.area_left = plot_state.last_x;
    st.area_bottom = plot_state.last_y;
    plot(psplot_map_x(f, v[0] + v[2]), psplot_map_y(f, v[1] + v[3]), 4);
    st.area_right = plot_state.last_x;
    st.area_top = plot_state.last_y;
    trace_int2("AR left/top    ", st.area_left, st.area_top);
    trace_int2("AR right/bottom", st.area_right, st.area_bottom);
  } else if (key == "BMP") {
    std::string name;
    const size_t blank = s.find(' ');
    if (blank != std::string::npos) {
      const size_t first = s.find_first_not_of(' ', blank);
      if (first != std::string::npos) name = right_trimmed(std::string_view(s).substr(first));
    }
    trace_str("BMP (n.I.)", name);
    int status = 0;
    const int32_t bitmap = LOAD_BITMAP(name, &status);
    if (status == 0 && bitmap != 0) {
      if (ups* u = plot_context()) DRAW_BITMAP(*u, bitmap, {.px = area});
      DELETE_OBJECT(bitmap);
    }
  } else if (key == "ARC" || key == "COR") {
    float v[4]{0, 0, st.area_dx, st.area_dy};
    psplot_read_reals(s, v, 4);
    st.area_dx = v[2];
    st.area_dy = v[3];
    const float cx = static_cast<float>(st.area_left + st.area_right) / 2.0f;
    const float cy = static_cast<float>(st.area_top + st.area_bottom) / 2.0f;
    const qn_point start{to_int(v[0] * 100 + cx), to_int(cy - v[1] * 100)};
    const qn_point end{to_int(v[2] * 100 + cx), to_int(cy - v[3] * 100)};
    f.XP = static_cast<float>(start.x);
    f.YP = static_cast<float>(start.y);
    if (ups* u = plot_context()) {
      if (key == "ARC") DRAW_ARC(*u, {.px = area}, start, end);
      else DRAW_CHORD(*u, {.px = area}, start, end);
    }
  } else if (key == "CIR") {
    if (ups* u = plot_context()) DRAW_ELLIPSE(*u, {.px = area});
  } else if (key == "REC") {
    if (ups* u = plot_context()) DRAW_RECTANGLE(*u, {.px = area});
  } else if (key == "BG=") {
    float v[3]{0, 0, 0};
    psplot_read_reals(s, v, 3);
    const int32_t style = to_int(v[0]);
    const int32_t colour = to_int(v[1]);
    const int32_t hatch = to_int(v[2]);
    if (colour < 0) {  // names no colour table entry: the statement is left out
      trace_int("PS_PLOT BG=: Farbe ungueltig", colour);
      return;
    }
    brush_opts o;
    o.colour = colour_table[colour % 256];
    o.style = style >= 2 ? 2 : style == 1 ? 0 : 1;  // library: 0 solid, 1 hollow, 2 hatched
    o.hatch = std::clamp(hatch, 0, 5);
    if (ups* u = plot_context()) NEW_BRUSH(*u, o);
  }
}

void point_list_statement(std::string& s, const std::string& key) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  if (key == "POL" || key == "BEZ") {
    float v[1]{0};
    psplot_read_reals(s, v, 1);
    const int32_t n = to_int(v[0]);
    st.current_element = n;
    if (n == 0) {
      if (key == "BEZ") return;
      // Points no "PLY" has set are not part of the line.
      const std::vector<qn_point> line(st.points.begin(), st.points.begin() + st.point_count);
      if (ups* u = plot_context()) DRAW_POLYLINE(*u, line);
      return;
    }
    st.points.assign(static_cast<size_t>(std::clamp(n, 0, 100000)), qn_point{0, 0});
    st.point_count = 0;
    return;
  }
  // PLY
  float v[2]{0, 0};
  psplot_read_reals(s, v, 2);
  f.XP = v[0];
  f.YP = v[1];
  plot(psplot_map_x(f, v[0]), psplot_map_y(f, v[1]), 3);
  if (st.points.empty()) {  // no point list to put the point in: left out
    trace_msg("PS_PLOT PLY ohne POL");
    return;
  }
  st.point_count = std::min(st.point_count + 1, static_cast<int32_t>(st.points.size()));
  st.points[st.point_count - 1] = {plot_state.last_x, plot_state.last_y};
}

}  // namespace

bool psplot_drawing_statement(std::string& s) {
  psplot_state_t& st = psplot_state;
  psplot_frame& f = st.frame();
  const std::string key = s.substr(0, 3);
  float v[3]{0, 0, 0};
  if (key == "PAR") {
    paragraph(s);
  } else if (key == "POL" || key == "BEZ" || key == "PLY") {
    point_list_statement(s, key);
  } else if (key == "AR=" || key == "BMP" || key == "ARC" || key == "COR" || key == "CIR" ||
             key == "REC" || key == "BG=") {
    area_statement(s, key);
  } else if (key == "POS") {
    v[0] = static_cast<float>(st.current_element);
    psplot_read_reals(s, v, 1);
    st.current_element = to_int(v[0]);
    write_slot(st.current_element);
  } else if (key == "REP") {
    const std::string r = right_trimmed(s) + ",1";
    psplot_read_reals(r, v, 2);
    const int32_t n = std::max(to_int(v[0]), 1);
    const int32_t step = std::max(to_int(v[1]), 1);
    for (int32_t i = 0; i < n; ++i) {
      // A run past the last slot stops there instead of writing outside the table.
      if (st.current_element > psplot_slots - 1 - step) {
        trace_int("PS_PLOT Element-Nr. ungueltig", st.current_element);
        return true;
      }
      st.current_element += step;
      write_slot(st.current_element);
    }
  } else if (key == "PUS") {
    if (st.level >= psplot_levels) {
      fatal_error("PS_PLOT Stack-ofl");
    } else {
      st.frames[st.level] = st.frames[st.level - 1];
      ++st.level;
    }
  } else if (key == "POP") {
    if (st.level <= 1) fatal_error("PS_PLOT Stack-ufl");
    else --st.level;
  } else if (key == "MOV") {
    goto_point(s, false, 3);
  } else if (key == "FMT") {
    f.format = {8, 0, 0};
    const int32_t n = psplot_read_reals(s, v, 3);
    for (int32_t i = 0; i < n; ++i) f.format[i] = static_cast<int8_t>(std::clamp(to_int(v[i]), -128, 127));
  } else if (key == "DRW") {
    goto_point(s, false, 2);
  } else if (key == "MOR") {
    goto_point(s, true, 3);
  } else if (key == "DRR") {
    goto_point(s, true, 2);
  } else if (key == "TXT") {
    text_at(s, psplot_map_x(f, f.XP), psplot_map_y(f, f.YP));
  } else if (key == "SPT") {
    text_at(s, psplot_map_x(f, f.XP + f.SP), psplot_map_y(f, f.YP));
  } else if (key == "TX+") {
    text_at(s, 999.0f, 999.0f);
  } else {
    return false;
  }
  return true;
}
