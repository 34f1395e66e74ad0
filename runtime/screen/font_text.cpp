// Texts in the program's font slots, the umlaut conversion of program texts, the automatic
// mode with the warning box, and init_common, the start-up of the screen services.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

#include "quillon/api/coordinates.h"
#include "runtime/program/program.h"
#include "runtime/program/upper_services.h"
#include "runtime/screen/screen.h"

font_table_t font_table;
int32_t standard_font = 0;
int32_t fixed_font = 0;
int32_t frame_pen_table[20] = {};

namespace {

// The font that the texts last selected into the drawing context of screen 0.  A size of
// -12345 never matches a slot, so the next text selects its font again.
struct remembered_font {
  std::string face;
  int32_t size = -12345;
  bool italic = false;
  bool bold = false;
  float angle = 0.0f;
  float rotation = 0.0f;  // the effective rotation of that font
};

struct font_text_state {
  remembered_font remembered;
  int32_t fonts_selected = 0;
  bool warning_auto = false;  // the warning box's copy of the automatic mode
  std::string warning_message;
};
font_text_state ft;

constexpr int32_t frame_pen_start[20] = {15, 8, 8, 15, 8, 15, 15, 8, 7, 7,
                                         0, 0, 3, 136, 143, 135, 17, 18, 19, 20};


std::string_view trim_right(std::string_view s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view trim(std::string_view s) {
  s = trim_right(s);
  const size_t begin = s.find_first_not_of(' ');
  return begin == std::string_view::npos ? std::string_view{} : s.substr(begin);
}

// A slot's face name as the slot holds it: at most 32 characters, trailing blanks dropped.
std::string_view slot_face(const font_slot& slot) {
  return trim_right(std::string_view(slot.face).substr(0, 32));
}

const font_slot& current_slot() {
  return font_table.slot[std::clamp(font_table.current, 1, 10) - 1];
}

bool remembered_is(const font_slot& slot) {
  const remembered_font& r = ft.remembered;
  return r.size == slot.size && r.italic == slot.italic && r.bold == slot.bold &&
         r.angle == slot.angle && r.face == slot_face(slot);
}

// The rotation a font of this angle writes with: the angle brought into -1..361 by steps of
// 360 degrees, used when it lies from 0 to 359, otherwise no rotation.
float effective_rotation(float angle) {
  double a = angle;
  if (a > 361.0) a -= 360.0 * std::ceil((a - 361.0) / 360.0);
  if (a < -1.0) a += 360.0 * std::ceil((-1.0 - a) / 360.0);
  return (a >= 0.0 && a <= 359.0) ? static_cast<float>(a) : 0.0f;
}

// Colour numbers outside the table wrap into it rather than reading beyond it.
uint32_t colour_of(int32_t number) {
  if (number < 0 || number > 256) number = ((number % 256) + 256) % 256;
  return colour_table[number];
}

// The text's rectangle on screen 0, turned by the slot's angle in steps of 90 degrees.
void mark_text(int32_t x, int32_t y, qn_point extent, float rotation, float angle) {
  const int64_t X = x, Y = y, w = extent.x, h = extent.y;
  if (rotation == 0.0f) {
    screen_rect(0, x, y, px_clamp(X + w), px_clamp(Y + h));
  } else if (angle > 0.0f && angle < 90.5f) {
    // The right edge lies left of x, which screen_rect takes as the screen's right edge.
    screen_rect(0, x, px_clamp(Y - w), px_clamp(X - h), px_clamp(Y + h));
  } else if (angle > 90.0f && angle < 180.5f) {
    screen_rect(0, px_clamp(X - w), px_clamp(Y - w - h), px_clamp(X + h), y);
  } else if (angle > 180.0f && angle < 270.5f) {
    // Turned toward 270 degrees the text runs down from y by up to its width.
    screen_rect(0, px_clamp(X - w - h), px_clamp(Y - h), x, px_clamp(Y + w));
  } else {
    // Any other turn: the square that holds the text whatever its direction.
    const int64_t r = w + h;
    screen_rect(0, px_clamp(X - r), px_clamp(Y - r), px_clamp(X + r), px_clamp(Y + r));
  }
}

std::string_view text_part(std::string_view text, int32_t length) {
  return text.substr(0, std::min<size_t>(static_cast<size_t>(length), text.size()));
}

// Message rules shared by the warning box and its question forms.
std::string build_warning(std::string_view text, std::string_view detail) {
  std::string m(text.substr(0, 64));
  m.resize(64, ' ');
  if (m[0] == '#') {
    const size_t blank = m.find(' ');
    if (blank != std::string::npos) m.erase(0, blank + 1);
  }
  m = std::string(trim_right(m));
  const std::string_view d = trim(detail);
  if (!d.empty()) {
    // The detail is kept whole, even where message and detail pass 64 characters.
    m += ':';
    m += d;
  }
  ft.warning_message = m;
  return m;
}

}  // namespace

// ---------------------------------------------------------------- texts

void write_font_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour) {
  if (length <= 0) return;
  const std::string_view shown = text_part(text, length);
  ups step;
  screen_nr(0, step, x, y, x, y);
  ups* u = screen_step_context(0);
  if (u == nullptr) return;

  const font_slot& slot = current_slot();
  float rotation = 0.0f;
  if (remembered_is(slot)) {
    rotation = ft.remembered.rotation;
  } else {
    const std::string face(slot_face(slot));
    if (!face.empty()) {
      NEW_FONT(*u, {.face = face,
                    .points = static_cast<float>(slot.size),
                    .italic = slot.italic,
                    .bold = slot.bold ? 1 : 0,
                    .angle = slot.angle});
      ++ft.fonts_selected;
      rotation = effective_rotation(slot.angle);
    }
    ft.remembered = {face, slot.size, slot.italic, slot.bold, slot.angle, rotation};
  }

  WRITE_TEXT(*u, shown, {.px = qn_point{x, y}, .colour = colour_of(colour), .background = -1});
  const qn_point extent = GET_TEXT_EXTENT(*u, shown);
  mark_text(x, y, extent, rotation, slot.angle);
  screen_stop_nr(0);
}

std::optional<int32_t> font_handle(int32_t handle) {
  return handle != 0 ? std::optional<int32_t>(handle) : std::nullopt;
}

namespace {
// Writes a text on screen 0 in the font of `handle` and marks its rectangle.  With an advance
// above 0 each character goes into a cell of its own, so that the n-th character always begins
// n advances from x, whatever the font's own spacing and rounding would make of the whole text.
void write_screen_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour,
                       int32_t handle, int32_t advance) {
  if (length <= 0) return;
  const std::string_view shown = text_part(text, length);
  ups step;
  screen_nr(0, step, x, y, x, y);
  ups* u = screen_step_context(0);
  if (u == nullptr) return;
  const std::optional<int32_t> font = font_handle(handle);
  const text_opts how{.px = qn_point{x, y}, .colour = colour_of(colour), .background = -1, .font = font};
  qn_point e = GET_TEXT_EXTENT(*u, shown, font);
  if (advance <= 0) {
    WRITE_TEXT(*u, shown, how);
  } else {
    int64_t at = x;
    for (const char& ch : shown) {
      text_opts cell = how;
      cell.px = qn_point{px_clamp(at), y};
      if (ch != ' ') WRITE_TEXT(*u, std::string_view(&ch, 1), cell);
      at += advance;
    }
    e.x = px_clamp(at - x);
  }
  screen_rect(0, x, y, px_clamp(int64_t{x} + e.x - 1), px_clamp(int64_t{y} + e.y - 1));
  screen_stop_nr(0);
}
}  // namespace

void write_label_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour) {
  write_screen_text(x, y, text, length, colour, standard_font, 0);
}

int32_t fixed_font_advance() {
  // Before the start-up has made the font: the 8 pixels of its characters.
  if (fixed_font == 0) return 8;
  int status = 0;
  const text_metrics m = GET_TEXT_METRICS(nullptr, fixed_font, &status);
  return status == 0 && m.average_width > 0 ? m.average_width : 8;
}

void write_field_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour) {
  write_screen_text(x, y, text, length, colour, fixed_font, fixed_font_advance());
}

void forget_text_font() { ft.remembered.size = -12345; }

int32_t text_fonts_selected() { return ft.fonts_selected; }

// ---------------------------------------------------------------- automatic mode and warnings

void set_auto_mode(bool flag) {
  ft.warning_auto = flag;
  set_no_box_flag(flag);
  run_flags.auto_mode = flag;
}

bool get_auto_mode() { return run_flags.auto_mode; }

namespace {
// In automatic mode, and where nobody could see a box, the message becomes a trace line behind
// its mark (and a line on standard error when no box could be seen).
bool answered_automatically(std::string_view mark, const std::string& message) {
  const bool unseen = qn_boxes_unseen();
  if (!ft.warning_auto && !unseen) return false;
  trace_msg(std::string(mark) + message);
  if (unseen) qn_error_line(message);
  return true;
}
}  // namespace

void warning_box(std::string_view text, std::string_view detail) {
  const std::string m = build_warning(text, detail);
  if (answered_automatically("*AUTO WARNING*", m)) return;
  MESSAGE_BOX(m, {.style = MB_OK | MB_ICONEXCLAMATION});
}

int32_t warning_box3(std::string_view text, std::string_view detail) {
  const std::string m = build_warning(text, detail);
  if (answered_automatically("*AUTO WARNUNG3*", m)) return 2;
  const int32_t answer = MESSAGE_BOX(m, {.style = MB_YESNOCANCEL | MB_ICONQUESTION});
  if (answer == IDYES || answer == IDOK) return 1;
  if (answer == IDCANCEL) return 0;
  return 2;
}

bool warning_box2(std::string_view text, std::string_view detail) {
  const std::string m = build_warning(text, detail);
  if (answered_automatically("*AUTO WARNUNG2*", m)) return false;
  const int32_t answer = MESSAGE_BOX(m, {.style = MB_YESNO | MB_ICONQUESTION});
  return answer == IDYES || answer == IDOK;
}

std::string last_warning_message() { return ft.warning_message; }

// ---------------------------------------------------------------- start-up

void init_common() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  seed_random(static_cast<uint32_t>(ns / 1000000000), static_cast<uint32_t>(ns % 1000000000));

  font_table.current = 1;
  for (font_slot& slot : font_table.slot) slot = {"MS Sans Serif", 8, false, false, 0.0f};

  standard_font = SELECT_FONT({.face = "MS Sans Serif", .points = 8.0f});
  fixed_font = SELECT_FONT({.face = "Courier", .points = 10.0f});

  if (upper_services.reset_for_start != nullptr) upper_services.reset_for_start();

  std::copy(std::begin(frame_pen_start), std::end(frame_pen_start), frame_pen_table);
}

int32_t get_frame_pen(int32_t k) { return k >= 1 && k <= 20 ? frame_pen_table[k - 1] : 0; }

void reset_font_text() {
  font_table = {};
  standard_font = 0;
  fixed_font = 0;
  std::fill(std::begin(frame_pen_table), std::end(frame_pen_table), 0);
  ft = font_text_state{};
}
