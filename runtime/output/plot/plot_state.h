// The plot workstation block shared by the routines of the plot engine, the layer's own
// variables, and small number formats of the plot files.  Only plot code includes this.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillon/api/quillon.h"

struct plot_state_t {
  std::string bitmap_comment;
  float paper_height_cm = 0;
  int32_t ltyp = 0;
  bool device_fonts = false;
  int32_t page_height = 0;
  int32_t page_width = 0;
  int32_t bitmap = 0;
  int32_t plotrans_unit = 0;
  int32_t pdf_object_count = 0;
  std::array<int32_t, 30> pdf_object_offset{};
  int32_t pdf_xref_offset = 0;
  int32_t pdf_stream_length = 0;
  int32_t pdf_length_offset = 0;
  int32_t soft_font = 0;
  std::string text_work;
  int32_t font_handle = 0;
  float page_width_cm = 0;
  bool hardware_chars = false;
  int32_t ldev = 0;
  uint32_t pen_colour = 0;
  int32_t line_style = 0;
  int32_t last_x = 0, last_y = 0;
  bool path_state = false;
  std::string graphics_state = std::string(12, ' ');
  int32_t offset_x = 0, offset_y = 0;
  ups plot_ups{};
  float current_x = 0, current_y = 0;
  float origin_x = 0, xfac = 0, origin_y = 0, yfac = 0;
  int32_t device = 0;
  bool rotated = false;
  float paper_width_cm = 0;
  std::string program_dir;  // ends in "/" (host form) or "\"; names are appended to it
  int32_t plot_handle = 0;  // 1 while the plot file is open (plot_file_open), else 0
  int64_t byte_count = 0;

  // The layer's variables.
  bool plot_ended = true;
  bool ended_marker = false;
  std::string requested_file = "*";
  int32_t file_counter = 1;
  std::string effective_file;
  std::string default_ext = ".PLT";
  int32_t paper_size[2] = {0, 0};
  int32_t page_margins[4] = {0, 0, 0, 0};
  bool landscape = false;
  bool pdf_mode = false;
  bool recording = false;
  bool printing = false;  // a print job is open on plot_ups (the printer devices)
  int32_t output_window = 0;
  int32_t window_bitmap = 0;  // the output window's picture, drawn by its paint callback
  bool context_reported = false;  // drawing without an open context was reported for this plot
  qn_drawing_state step_state;  // pen, brush, font and point of the plot's last step on a screen
};
extern plot_state_t plot_state;

// The paper's width however its axis runs: a negative paper size reverses the axis on the
// devices that take their scale from the paper; it neither turns nor narrows the page (a turned
// page's y runs up from it, a device font's size is measured against it).
inline float paper_width_magnitude() { return plot_state.paper_width_cm < 0 ? -plot_state.paper_width_cm : plot_state.paper_width_cm; }

// The plot's drawing context when it is open, else nullptr: drawing with no plot open, or on
// a caller's context that has been closed since, is reported once per plot and left out; on a
// plot file's device, which has no drawing surface, it is left out with a trace line.
ups* plot_context();

// Where the plot's axes run on the page, for what a device draws itself (its own text): an
// axis is reversed when its device units grow the other way than its centimetres (a negative
// scale, a negative paper size, a caller's context in its pixels, whose y runs down).  A DXF
// plot is written in centimetres as they are, with no axis reversed.
struct plot_axes_t {
  bool x_reversed = false, y_reversed = false;
  bool mirrored() const { return x_reversed != y_reversed; }  // one axis alone: a reflection
};
plot_axes_t plot_axes();
// The current point in the units of `plot` (relative to the origin, before the page's turn),
// from where the last move, draw or text left it on the page.
void plot_current_point(float& x, float& y);
// Puts the current point at (x, y) in the units of `plot` without moving the pen: the device's
// last point stays where the last move or draw left it.
void plot_place_current_point(float x, float y);

// Resets of the other state blocks, called by plot_reset.
void plot_primitive_reset();
void plot_pens_reset();
void plotrans_reset();
void plot_text_state_reset();
void vextor_state_reset();
void plot_sent_reset();  // sent point and pen of the primitive := -1 (every open)
// A label written with the device's own font has moved the device's pen to its end: the next
// move is sent, also when it goes back to the point the pen stood on before the label.
void plot_label_moved_pen();
// True while the device's pen stands behind the letters of its last label: nothing has moved it
// since.
bool plot_pen_behind_label();

// Writes the picture `bitmap` as a BMP file under the program's file name `name`; a file that
// cannot be written is reported.
void plot_write_bmp(int32_t bitmap, const std::string& name);
// The output window's picture as its plot ends, written into the folder that the environment
// variable WINKYR_PLOT_WINDOW names (nothing without it).
void save_window_picture();

// Pen selector byte of the byte-coded plotter protocol (shared with plot text).
int32_t plot_pen_selector();
// The width in millimetres of the last screen pen made, and the current line style; for tests.
float plot_pen_width_mm();
int32_t plot_pen_style();
// The text writer's state: alignment, angle, fonts and the size caches.
struct plot_text_state_t {
  float text_align = 0;   // 0 left, 0.275 centre, 0.55 right
  float text_angle = 0;   // degrees, with 270 added on a turned page
  std::string font_face = "MS Sans Serif";
  bool font_bold = false, font_italic = false;
  int32_t ps_font_family = 0;   // 0 Helvetica, 1 Courier, 2 Times
  int32_t pdf_font_family = 0;  // 0-3: H, C, T, A
  float last_text_height = 999.0f;
  int32_t last_ps_size = -99;
};
plot_text_state_t& plot_text_state();
// Writes a placed text as the file device's text commands (translated text in text_work).
void plot_file_text(std::string_view text, float height);
// The text command LT on PostScript and PDF: the line width.
void plot_text_line_width(std::string_view command);
// Forgets HP-GL's last size and direction commands: every plot file is a job of its own and
// writes them with its first text (every open).
void plot_file_text_reset();

// The program directory with a name behind it ("\" separators allowed), for opening.
std::string plot_dir_file(std::string_view name);
// Opens a template or table file for reading: the program directory, then its "KYR\"
// subdirectory.  Returns the unit, or 0 when neither exists.
int32_t plot_open_data_file(std::string_view name);

// Number fields as the plot files write them.
std::string plot_int_field(int64_t value, int32_t width);  // right-justified, "*" when too wide
std::string plot_fixed_field(double value, int32_t width, int32_t decimals);
std::string_view strip_leading_blanks(std::string_view text);
std::string_view trim_blanks_right(std::string_view text);
