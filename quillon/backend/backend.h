// Internal interface between the files of the back end.  Only back-end files include it; it is
// the one place where Qt types meet the library's handle tables.
#pragma once

#include "quillon/api/quillon.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class QPainterPath;
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
QString readable_from_1252(std::string_view text);  // for a person to read: no C1 control codes
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
// The running executable's file (a host path), "" when the system does not say.
std::string executable_path();
QWidget* window_widget(int32_t window);
QImage window_picture(int32_t window);  // what the window shows, its child widgets included
QSize window_client_size(int32_t window);  // the inside less the menu bar; empty when no window
// Puts the bar (nullptr: none) across the window's top `height` rows; the client area, its
// backing image and its mouse positions begin under it.
void set_window_menu_bar(int32_t window, QWidget* bar, int height);
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
// The characters (code page 1252) that a key press types, each one character message.
std::string typed_characters(int qt_key, Qt::KeyboardModifiers modifiers, const QString& text);
void keys_reset();
void loop_reset();
void signals_reset();  // the termination signals back to their default action
// The signals that the process start set to be ignored for the runtime (a write past the file
// size limit, or into a pipe without a reader, then fails and is reported): a process the
// runtime starts gets their default action back.
const std::vector<int>& signals_ignored_for_the_runtime();
void timers_reset();

// ---------------------------------------------------------------- objects
struct pen_desc {
  uint32_t colour = 0;
  int32_t style = 0;  // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 null
  int32_t width = 1;
};
// The dash pattern of a pen style (on, off, on, ... in pixels of a 96-dpi screen); empty for
// a solid line.
const std::vector<int>& dash_pattern(int32_t style);
struct brush_spec {
  uint32_t colour = 0xFFFFFF;
  int32_t style = 0;  // 0 solid, 1 hollow, 2 hatched
  int32_t hatch = 4;
};
struct font_desc {
  QFont font;       // sized in pixels of a 96-dpi screen
  float angle = 0;  // degrees, counter-clockwise
  float points = 0;  // the size asked for in points; 0 for the stock fonts
};
QImage* bitmap_image(int32_t handle);
int32_t add_bitmap(QImage image);
const pen_desc* pen_object(int32_t handle);
int32_t add_pen(const pen_desc& pen);
// A pen's width in pixels of a device of `dpi` pixels per inch (pixels, else millimetres, else 1).
int32_t pen_width(const pen_opts& o, double dpi);
const font_desc* font_object(int32_t handle);
int32_t add_font(const font_desc& font);
const QImage* icon_image(int32_t handle);
font_desc stock_font(std::string_view name);  // "SYSTEM_FONT" for anything unknown
bool is_stock_font_name(std::string_view name);
font_desc make_font(const font_opts& o, const font_desc& base);
// The font as a device of `dpi` pixels per inch draws it: the asked-for points at that
// resolution, or the stock font's screen size kept on paper.
QFont device_font(const font_desc& f, double dpi);
// JPEG through libjpeg; false with the reason when the file is not a readable JPEG.
bool decode_jpeg(const std::string& path, QImage& out, std::string& why);
void objects_reset();
// Drawing contexts that the back end opens itself (the paint callback's context).
void open_paint_context(int32_t window, ups& u);
void close_context(ups& u);
void drawing_reset();
// A drawing context on a printer page: drawing goes through `painter` in the device pixels of
// a page of `page` pixels at `dpi` pixels per inch.  The context shares the painter, so that a
// context left open after its job ended finds it inactive and is refused.
void open_printer_context(ups& u, std::shared_ptr<QPainter> painter, QSize page, double dpi);
// The result of raster operation `rop` (1..16) of a pen colour over a destination colour
// (both 0x00BBGGRR or 0x00RRGGBB alike); the operation code less one is its truth table.
inline uint32_t rop_combine(uint32_t pen, uint32_t dst, int32_t rop) {
  const uint32_t t = uint32_t(rop - 1) & 0xF;
  uint32_t out = 0;
  if (t & 1) out |= ~pen & ~dst;
  if (t & 2) out |= ~pen & dst;
  if (t & 4) out |= pen & ~dst;
  if (t & 8) out |= pen & dst;
  return out & 0xFFFFFF;
}

// ---------------------------------------------------------------- painting on a printer page
// Vectors, text and pictures through the printer's painter, in its device pixels.  A printer
// page cannot be read back, so the raster operations that mix with what is already on the
// page are done as the colour they give over white paper (exact on empty paper); the no-op
// operation draws nothing.
// `dpi` is the page's resolution: a dashed pen's dashes are as long on paper as on the screen.
void page_line(QPainter& p, const pen_desc& pen, int32_t rop, QPoint a, QPoint b, double dpi);
// A rectangle (rounded when `corner` is not empty) or an ellipse in the box x1..x2-1, y1..y2-1.
void page_shape(QPainter& p, const pen_desc& pen, const brush_spec& brush, int32_t rop, const QRect& box,
                bool ellipse, QSize corner, double dpi);
// A path (an arc, a chord) with the pen, and filled with the brush when `filled`.
void page_path(QPainter& p, const pen_desc& pen, const brush_spec& brush, int32_t rop, const QPainterPath& path,
               bool filled, double dpi);
void page_pixel(QPainter& p, uint32_t colour, QPoint at);
// The text with the top-left corner of its cell at `at`, turned by `angle` degrees.
void page_text(QPainter& p, const QFont& font, float angle, const QString& text, QPoint at, uint32_t colour,
               int64_t background, int32_t rop);
void page_bitmap(QPainter& p, const QImage& image, const QRect& target);

// ---------------------------------------------------------------- nested loops
// A box, dialog or pop-up menu whose exec runs a loop of its own: `body` makes the widget, holds
// it with hold_in_nested_loop (false: the loops are being left, so it must not wait but answer
// as cancelled) and runs its exec; the widget is gone when body returns.  The runtime's steps
// before a wait run first, its steps after a wait once the outermost loop has returned (they may
// end the run there, unwinding through the caller).
void nested_loop_enter();
void nested_loop_exit();
void nested_loop_left();
bool hold_in_nested_loop(QWidget* widget);
template <class F>
auto run_nested(F&& body) {
  nested_loop_enter();
  struct scope {
    ~scope() { nested_loop_exit(); }
  };
  auto result = [&] {
    scope in_loop;
    return body();
  }();
  nested_loop_left();
  return result;
}
// Before `window`'s widget is deleted: a nested loop's widget inside it is taken out of it (so
// it does not go with it under its own exec) and every nested loop is left.
void release_nested_widgets(QWidget* window);
void nested_loops_reset();

// ---------------------------------------------------------------- boxes
int32_t show_box(std::string_view text, std::string_view caption, int32_t style, int32_t window);
void boxes_reset();
void help_reset();  // closes the help window
void clipboard_reset();  // empties the clipboard

}  // namespace qnb
