// TEXT (texts in the fonts of the font stack, and the font stack itself), TEXTB (a framed text
// box drawn like a button) and SHOW (file window, bitmap, icon, file check).
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "quillon/api/coordinates.h"
#include "runtime/program/areas.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/icon_library.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {

constexpr std::string_view default_face = "MS Sans Serif";
constexpr int32_t font_name_length = 32;

int32_t p_int(int32_t i) { return nint(param_registers[i]); }
bool has(int32_t option) { return flag_mask_test(option); }

std::string trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

bool blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

// Standard or fixed font: "/B" and "/I" in the name ask for bold and italic; the face is the
// part before the first "/".
void define_handle_font(std::string name, int32_t size) {
  if (blank(name)) {
    name = std::string(default_face);
    if (size == 0) size = 8;
  }
  const bool bold = name.find("/B") != std::string::npos || name.find("/b") != std::string::npos;
  const bool italic = name.find("/I") != std::string::npos || name.find("/i") != std::string::npos;
  if (const size_t slash = name.find('/'); slash != std::string::npos) name.resize(slash);
  const std::string face = trimmed(name);
  font_opts o{.face = face, .italic = italic, .bold = bold ? 1 : 0};
  if (size > 0) o.points = static_cast<float>(size);
  const int32_t handle = SELECT_FONT(o);
  if (has(16)) standard_font = handle;
  if (has(4096)) fixed_font = handle;
}

void define_slot_font(std::string name, int32_t size) {
  if (has(128)) {
    if (font_table.current == 10) {
      report_error("FONTSTACK overrun", 0);
    } else {
      ++font_table.current;
    }
  }
  if (blank(name)) name = std::string(default_face);
  if (size == 0) size = 8;
  font_slot& slot = font_table.slot[std::clamp(font_table.current, 1, 10) - 1];
  slot.face = trimmed(std::string_view(name).substr(0, font_name_length));
  slot.size = size;
  slot.angle = param_registers[2];
  const int32_t style = p_int(3);
  slot.italic = (style & 1) != 0;
  slot.bold = (style & 2) != 0;
}

// Width and height from a BMP file's header (signed 32-bit little-endian at 18 and 22).  A
// top-down bitmap stores its height negative; its size is the absolute value.
int32_t read_bmp_size(const std::string& name, int32_t& width, int32_t& height) {
  std::ifstream in(host_path(name), std::ios::binary);
  if (!in) return unit_err_no_file;
  unsigned char header[26] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return unit_err_bad_record;
  auto field = [&](int at) {
    const uint32_t v = uint32_t(header[at]) | uint32_t(header[at + 1]) << 8 | uint32_t(header[at + 2]) << 16 |
                       uint32_t(header[at + 3]) << 24;
    return static_cast<int32_t>(v);
  };
  width = field(18);
  height = field(22);
  if (height < 0) height = height == INT32_MIN ? INT32_MAX : -height;
  if (width < 0) width = width == INT32_MIN ? INT32_MAX : -width;
  return 0;
}

void show_file_window(const code_record& rec) {
  const std::optional<std::string> whole = whole_name(token_text(rec.token1));
  if (!whole) return;
  const std::string& file = *whole;
  const std::string title =
      rec.token1 != rec.token2 ? trimmed(get_text_token(rec.token2)) : trimmed(main_window_title());
  const std::string path = host_path(file);
  CREATE_WINDOW({.title = title, .window_flags = 26624, .scroll_file = path});
}

void show_bitmap(code_record& rec) {
  evaluate_upn(rec.expression, 4);
  const program_text taken = token_text(rec.token1);
  if (!whole_or_refused(taken)) return;
  std::string name = taken.text;
  trace_str("SHOW/CLIP", trimmed(name));
  upcase_string(name.data(), static_cast<int32_t>(name.size()));
  const int32_t w = p_int(3), h = p_int(4);
  const qn_point p = flip_y(std::max(p_int(1), 0), std::max(p_int(2), 0));
  int32_t x2 = w != 0 ? px_sum(p.x, w) : 0;
  int32_t y2 = h != 0 ? px_sum(p.y, h) : 0;
  if (name.find(".BMP") == std::string::npos) {
    const size_t cut = name.find(' ');
    FILE_2_IMAGE(name.substr(0, cut) + ".IMG");
    return;
  }
  name = trimmed(name);
  trace_str("load_bitmap", name);
  int status = 0;
  const int32_t bitmap = LOAD_BITMAP(host_path(name), &status);
  trace_int("status ", status);
  if (status != 0) return;
  if (w == 1 && h == 1) {
    trace_str("open file", name);
    int32_t width = 0, height = 0;
    if (const int32_t read = read_bmp_size(name, width, height); read != 0) {
      call_state.command_error = read;
      DELETE_OBJECT(bitmap, &status);
      return;
    }
    x2 = px_sum(p.x, width, -1);
    y2 = px_sum(p.y, height, -1);
  }
  ups u;
  screen_nr(0, u, -1, 0, 0, 0);
  if (graphics.xor_mode) SET_ROP(u, 7);
  if (p.x == 0 && p.y == 0 && x2 == 0 && y2 == 0) {
    DRAW_BITMAP(u, bitmap);
  } else {
    DRAW_BITMAP(u, bitmap, {.px = qn_rect{p.x, p.y, x2 + 1, y2 + 1}});
    screen_rect(0, p.x, p.y, x2 + 1, y2 + 1);
  }
  if (graphics.xor_mode) SET_ROP(u, 13);
  screen_stop_nr(0);
  DELETE_OBJECT(bitmap, &status);
}

void show_icon(code_record& rec) {
  evaluate_upn(rec.expression, 2);
  const std::string icon = trimmed(get_text_token(rec.token1));
  const qn_point p = flip_y(p_int(1), p_int(2));
  ups u;
  screen_nr(0, u, p.x, p.y, p.x + 32, p.y + 30);
  if (has(4096)) {
    trace_str("geticon ", icon);
    save_icon_lib(p.x, p.y, icon);
  } else {
    draw_icon(p.x, p.y, icon, false);
  }
  screen_stop_nr(0);
}

void check_file(code_record& rec) {
  if (has(4)) {
    evaluate_upn(rec.expression, 8);
    return;
  }
  evaluate_upn(rec.expression, 4);
  const std::optional<std::string> whole = whole_name(token_text(rec.token1));
  if (!whole) return;
  const std::string& name = *whole;
  const int32_t unit = get_free_unit();
  io_status = unit_open(unit, name, {.status = "OLD", .form = "UNFORMATTED", .action = "READ"});
  if (io_status == 0) unit_close(unit);
}

}  // namespace

void cmd_TEXT(code_record& rec) {
  if (has(256)) {
    if (font_table.current <= 1) report_error("FONTSTACK underrun", 0);
    font_table.current = std::max(font_table.current - 1, 1);
    return;
  }
  if (has(8)) {
    evaluate_upn(rec.expression, 3);
    const std::string name = get_text_token(rec.token1);
    const int32_t size = p_int(1);
    if (has(16) || has(4096)) {
      define_handle_font(name, size);
    } else {
      define_slot_font(name, size);
    }
    return;
  }
  evaluate_upn(rec.expression, has(1) ? 4 : 3);
  const std::string text = get_text_token(rec.token1);
  int32_t k = p_int(1);
  if (k < 0) k = graphics.current_colour;
  const qn_point p = flip_y(p_int(2), p_int(3));
  const std::string shown = trimmed(text);
  if (shown.empty()) return;
  write_font_text(p.x, p.y, shown, static_cast<int32_t>(shown.size()), k);
}

void cmd_TEXTB(code_record& rec) {
  evaluate_upn(rec.expression, 4);
  get_text_token(rec.token1, std::span<char>(info_text.data(), info_text.size()));
  const qn_point p = flip_y(p_int(1), p_int(2));
  area_record& box = area_table.last_button;
  box.x1 = p.x;
  box.y1 = p.y;
  box.x2 = px_clamp(trunc_to_int(static_cast<float>(p.x) + param_registers[3]));
  box.y2 = px_clamp(trunc_to_int(static_cast<float>(p.y) + param_registers[4]));
  box.kind = has(16) ? 1 : 0;
  box.selected = has(1024) ? logical_true : 0;
  box.caption.fill(' ');
  std::memcpy(box.caption.data(), "#INFO#", 6);
  paint_button(has(32) ? 2 : 1, box);
}

void cmd_SHOW(code_record& rec) {
  if (has(1)) {
    show_file_window(rec);
  } else if (has(128)) {
    show_bitmap(rec);
  } else if (has(256)) {
    show_icon(rec);
  } else if (has(16)) {
    check_file(rec);
  } else {
    call_state.command_error = 1;
  }
}
