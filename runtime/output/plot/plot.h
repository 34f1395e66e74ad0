// plot.h
// The plot engine as the rest of the runtime uses it: the workstation (device layer), the
// plot primitive, pens, the plotter character table, the template writer, the bitmap device
// and its GIF encoder.
//
// Device codes: 0-19 output window "Ausgabe", 20-28 printer, 30 HP-GL, 31 comma-separated
// plotter language, 32 byte-coded plotter protocol, 40 PostScript/EPS, 41 DXF, 43 PDF,
// 49 bitmap written as GIF or BMP.  Coordinates are centimetres relative to a movable origin.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/program/open_things.h"

// ---------------------------------------------------------------- device layer
// Opens the plot workstation on the device given by the code (above 28 the extension of the
// requested file name chooses it), names and creates the plot file and prepares the page.
void COMPS(std::string_view file_name, float paper_width_cm, float paper_height_cm,
           int32_t device_code, float scale);
// Makes the plot draw through the caller's drawing context (device 0, pixels, y upward).  A
// plot still open on a device (the output window, a bitmap, a printer, a plot file) is ended
// first: its context is replaced.
void plot_set_context(const ups& u);
// The plot goes on through this context, everything else kept (a new drawing step of the
// caller's screen after the one the plot was set up in has closed): it draws with the pen,
// brush and font and from the point that it left its last step with (plot_leave_context).
void plot_use_context(const ups& u);
// The plot's step on the caller's screen is about to close: what it draws with is kept for
// the next step.
void plot_leave_context();
int32_t get_plot_window();   // the output window "Ausgabe", 0 when none was made
int32_t get_plot_device();   // the device code of the last open
void set_plot_file(std::string_view name);  // the file name of the next open
std::string get_plot_file();                 // the effective file name, padded to 80, never cut
void plot_mark_closed();
bool get_plot_ended();
void soft_font_off();
void soft_font_on();
// Where the templates and PLOTRANS.TBL are looked for (directory of the executable and its
// "KYR\" subdirectory).  The directory must end in "/" or "\"; empty restores the default.
void plot_set_program_dir(std::string_view dir);

// The plot-file writer: the first n characters of the text, without or with a line end.
// Nothing at all is written for a count of 0 or without an open plot file.
void plot_write(std::string_view text, int32_t n);
void plot_write_lf(std::string_view text, int32_t n);
void plot_write_crlf(std::string_view text, int32_t n);
void plot_write_bytes(std::string_view text, int32_t n);
void plot_write_number(float value);
void plot_rectangle(float x, float y, float width, float height);
int32_t plot_byte_count();  // bytes written through the writer

// The plot file.  It is written buffered into a file beside its name and takes the name's
// place when the plot ends, so a failed plot keeps the old file; a reader of the program that
// opens the file by its name while the plot goes on (through flush_file_writers) finds the
// bytes written so far at its name.  A command or program that the run starts meanwhile finds
// the old file.  A failed write goes to io_status and the error log, once per plot.
bool plot_file_open(std::string_view name);  // false: cannot be created (io_status holds why)
void plot_file_seek(int64_t offset);          // the buffer first, then the position
void plot_file_close();                       // complete: flushed, synced, in place

// ---------------------------------------------------------------- primitive
// Pen codes: 2 draw, other codes up to 4 move (4 on PDF: set the point silently), a negative
// code first makes the point the origin, 5 and above select pen code - 10, 999 ends the plot.
void plot(float x, float y, int32_t ipen);
// IOERROR as a command that ends the plot (PLOT's end, PRINT's end of the job) starts it: 0 where
// a plot is open, so that it tells how the end went (a file or job that fails at the end sets
// its error).  Where none is open the status of the open that failed or was refused stays, and
// a plot whose output window the user closed stays the cancel that the program reads.
inline constexpr int32_t plot_window_closed_status = -999;
void clear_io_status_for_plot_end();
void plot_move_draw(int32_t x, int32_t y, int32_t draw);
void plot_put_pdf_point();
void plot_put_moveto();
void plot_end_path();
void plot_reset_path();
void plot_reset_point();
void plot_get_point(int32_t& x, int32_t& y);
// The plot's row of what a run holds open (open_things.h).  At the next open of a plot (COMPS on
// any device, the screen plot) the plot still open is ended as pen code 999 ends it: its file is
// complete and kept, its printer job printed, its picture written.  At every end of the run a
// plot still open on a file device (plotters, PostScript, DXF, PDF, the bitmap written as GIF
// or BMP) or on the printer is ended the same way and a plot file left open is closed; plots on
// the screen stay (their window goes with the program).  A RUN chain and an abandoned event
// leave the plot open: the program goes on with it.
void plot_end_open(run_transition why);

// ---------------------------------------------------------------- pens
void newpen(int32_t code);
void set_line_type(int32_t type);
void set_pen_map(int32_t pen, int32_t value);
void set_pen_thickness_cm(float thickness);
void set_pen_mode(int32_t mode);

// ---------------------------------------------------------------- character table
void load_plotrans(int32_t unit);
void plot_text_reset();
// The two characters of the table entry of a byte (the second blank: one character).
std::string_view plotrans_entry(uint8_t code);
// The text with every character replaced by its entry, whole however long.
std::string plotrans_apply(std::string_view text);

// ---------------------------------------------------------------- templates
// 0: prologue, 90: landscape PDF prologue, -999: epilogue of the open PostScript/PDF plot.
void write_plot_template(int32_t code);

// ---------------------------------------------------------------- DXF entities
void dxf_line(float x1, float y1, float x2, float y2);
void dxf_text(float x, float y, float height, std::string_view text, float angle, int32_t count);
// F8.4 of the value, up to two leading blanks dropped, trailing fraction zeros dropped.
std::string dxf_number(float value);

// ---------------------------------------------------------------- plot text
// Writes a text at (x, y) (999.0: the current point's coordinate); a text beginning "$$$"
// is a command to the text writer.  count 0: the text's length without trailing blanks.
void plot_text(float x, float y, float height, std::string_view text, float angle, int32_t count);
// The stroke-font path alone: no alignment; count 0 takes the text's whole length.
void plot_stroke_text(float x, float y, float height, std::string_view text, float angle, int32_t count);

// ---------------------------------------------------------------- bitmap device and GIF
void VEXTOR(int32_t x, int32_t y, int32_t code);
void vextor_pen(int32_t pen);
void vextor_double_width(int32_t flag);
void vextor_reset();
// Writes one picture of colour indices (row by row from the top) as a GIF file.  status:
// -1 written, 1 the file could not be written (the failure is also in io_status and the error
// log, and an old file of the name stays as it was).  An empty comment writes no extension.
void write_gif(std::string_view file_name, const uint8_t* pixels, int32_t width, int32_t height,
               const uint8_t* red, const uint8_t* green, const uint8_t* blue, int32_t colour_count,
               int32_t grey, std::string_view comment, int32_t& status);

// ---------------------------------------------------------------- charts
// The chart layout: the pixel origin, the label window (x_lo, y_lo, x_hi, y_hi), the chart
// values at the origin and the pixels per chart unit.  Kept for the whole run.
void agraf_set6(int32_t x0, int32_t y0, int32_t x_lo, int32_t y_lo, int32_t x_hi, int32_t y_hi);
void agraf_set4(float x_origin, float y_origin, float x_scale, float y_scale);
// Draws n (code, value) pairs of x and y (x[0] is the first pair) on u; list > 0 is the
// list-manager list whose rows are the labels.  Pairs are read only as far as both arrays reach.
void agraf(ups& u, int32_t n, std::span<const float> x, std::span<const float> y, int32_t list);
struct agraf_layout {
  int32_t x0, y0, x_lo, y_lo, x_hi, y_hi;
  float x_origin, y_origin, x_scale, y_scale;
};
agraf_layout agraf_get_layout();
qn_point agraf_point();  // the point the last polyline left
void agraf_reset();      // the chart state back to its start values; for tests

// ---------------------------------------------------------------- plot scripts
// Resets the script state for a new plot (element table, frame 1 with its defaults).
void psplot_init();
// The script text of the next run with unit 0 (256 characters).
void psplot_set_text(std::string_view text);
// Runs the script text (unit 0) or the script file open on the unit, line by line.
void PSPLOT(int32_t unit);
// In the script's current frame: move (flag 0) or draw to (x, y); a negative y does nothing.
void psplot_plot(int32_t flag, float x, float y);
void psplot_reset();  // the whole script state back to its start; for tests

// ---------------------------------------------------------------- routines for later callers
// Device predicate, DXF header and trailer, origin shift, scale ratio, filled and hatched
// rectangles and a text writer with narrow commas; nothing in the runtime calls them yet.
void plot_device_supported(int32_t code, int32_t& flag);
void dxf_write_header();
void dxf_write_trailer();
void plot_shift_origin(int32_t dx, int32_t dy);
void plot_scale_ratio(float& ratio);
void plot_fill_rect(float x, float y, float width, float height);
void plot_hatch_rect(float x, float y, float width, float height);
void plot_text_commas(float x, float y, float size, std::string_view text, float angle,
                      int32_t count);

// ---------------------------------------------------------------- HP-GL import
// Reads the HP-GL file named by the variable fs_select, scales by "faktor", keeps the pen "pen"
// (0 every pen) and writes the segments to "QORVEL.TMP".  status: 0, or the failing I/O status.
struct hpgl_segment {
  int32_t pen = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
inline constexpr size_t hpgl_max_segments = 1000;
struct hpgl_result {
  std::vector<hpgl_segment> segments;
  int32_t min_x = 99999, min_y = 99999, max_x = -99999, max_y = -99999;
};
hpgl_result hpgl_parse(std::string_view bytes, float faktor, int32_t pen);
// The records of "QORVEL.TMP": the header, then one per segment shifted to the box corner.
std::vector<std::string> hpgl_output_records(const hpgl_result& result);
void hpgl_import(int32_t& status);

// ---------------------------------------------------------------- tests
// Every state block of the plot engine back to its start values.
void plot_reset();
