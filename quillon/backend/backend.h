// Internal interface between the files of the back end.  Only back-end files include it; it is
// the one place where Qt types meet the library's handle tables.
#pragma once

#include "quillon/api/quillon.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

namespace qnb {

// ---------------------------------------------------------------- application and handles
void ensure_app();                 // creates the QApplication on first use
int32_t new_handle();              // handles of every table come from one counter, never reused
inline void clear_status(int* status) {
  if (status) *status = 0;
}
inline constexpr int32_t QN_FAIL = 0x10000;  // generic failure code of the library
// The largest bitmap the library makes or loads (64 megapixels, 256 MB of pixels): more than
// any screen program draws, and a bound on what a file's claimed size can make it allocate.
inline constexpr int64_t max_bitmap_pixels = int64_t(1) << 26;
// The error text for a picture beyond that bound.
std::string too_many_pixels(int64_t width, int64_t height);
void report_bad_ups(std::string_view routine, int* status);

// ---------------------------------------------------------------- texts and files
QString from_1252(std::string_view text);
std::string to_1252(const QString& text);
// A program's file name (1252, "\" or "/" separators, any case) as an existing UTF-8 path when
// one matches case-insensitively, else the name with "/" separators.
std::string resolve_file_name(std::string_view name);
inline QColor colour_of(uint32_t colorref) {  // 0x00BBGGRR; the palette-relative byte is ignored
  return QColor(int(colorref & 0xFF), int((colorref >> 8) & 0xFF), int((colorref >> 16) & 0xFF));
}
inline uint32_t colorref_of(QRgb rgb) {
  return uint32_t(qRed(rgb)) | (uint32_t(qGreen(rgb)) << 8) | (uint32_t(qBlue(rgb)) << 16);
}

// ---------------------------------------------------------------- windows
QImage* window_image(int32_t window);  // backing image of a window, nullptr when none
QWidget* window_widget(int32_t window);
void window_image_changed(int32_t window);  // shows the backing image again (no paint callback)
void destroy_main_window_now();            // used when the program is ended by the library
void window_command(int32_t window, int32_t command);  // a command message reaching a window
bool window_has_direct_draw(int32_t window);
void set_window_direct_draw(int32_t window, bool open);
void windows_reset();

// ---------------------------------------------------------------- commands, keys, loop
void dispatch_control(int32_t command, int32_t param, int32_t window);
void note_posted_event(int delta);  // keeps process_pending_messages cheap
void note_paint_pending();          // a repaint waits: the next pump must not be skipped
int32_t qt_key_to_vk(int qt_key, Qt::KeyboardModifiers modifiers);
void note_key(int32_t vk, bool down);
void note_modifiers(Qt::KeyboardModifiers modifiers);  // the state that the last input event carried
void keys_reset();
void loop_reset();
void timers_reset();

// ---------------------------------------------------------------- objects
struct pen_desc {
  uint32_t colour = 0;
  int32_t style = 0;  // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 null
  int32_t width = 1;
};
struct brush_spec {
  uint32_t colour = 0xFFFFFF;
  int32_t style = 0;  // 0 solid, 1 hollow, 2 hatched
  int32_t hatch = 4;
};
struct font_desc {
  QFont font;
  float angle = 0;  // degrees, counter-clockwise
};
QImage* bitmap_image(int32_t handle);
int32_t add_bitmap(QImage image);
const pen_desc* pen_object(int32_t handle);
int32_t add_pen(const pen_desc& pen);
const font_desc* font_object(int32_t handle);
int32_t add_font(const font_desc& font);
const QImage* icon_image(int32_t handle);
font_desc stock_font(std::string_view name);  // "SYSTEM_FONT" for anything unknown
bool is_stock_font_name(std::string_view name);
font_desc make_font(const font_opts& o, const font_desc& base);
// JPEG through libjpeg; false with the reason when the file is not a readable JPEG.
bool decode_jpeg(const std::string& path, QImage& out, std::string& why);
void objects_reset();
// Drawing contexts that the back end opens itself (the paint callback's context).
void open_paint_context(int32_t window, ups& u);
void close_context(ups& u);
void drawing_reset();

// ---------------------------------------------------------------- boxes
int32_t show_box(std::string_view text, std::string_view caption, int32_t style, int32_t window);
void boxes_reset();

}  // namespace qnb
