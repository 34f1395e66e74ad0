// Opening the plot workstation (COMPS): the device from the code or from the requested file's
// extension, the plot file named, numbered and created, the page, scale and drawing context
// of the device, the DXF header or the PostScript/PDF prologue, and the start of the plot.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <string>

#include "quillon/api/numbered_names.h"

#include "runtime/program/program.h"
#include "runtime/program/upper_services.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"
#include "runtime/output/print/print.h"

namespace {

// A page is turned (landscape) where its paper is wider than high, however its axes run.
bool paper_is_landscape() { return std::fabs(plot_state.paper_height_cm) < paper_width_magnitude(); }

bool names_a_file(const std::string& requested) {
  const std::string_view t = trim_blanks_right(requested);
  return !t.empty() && t != "*";
}

// A device number that a plot opens on: the window, the printer, the plotters, PostScript, DXF,
// PDF and the pictures.
bool known_device(int32_t d) { return (d >= 0 && d <= 28) || (d >= 30 && d <= 32) || d == 40 || d == 41 || d == 43 || d == 49; }

// The device a requested file's extension asks for, or the code itself.
int32_t device_from_extension(const std::string& requested, int32_t code) {
  const size_t dot = requested.rfind('.');
  std::string ext = dot == std::string::npos ? requested.substr(0, 4) : requested.substr(dot + 1, 4);
  ext.resize(4, ' ');
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == "EPS " || ext == "PS  ") return 40;
  if (ext == "DXF ") return 41;
  if (ext == "PDF ") return 43;
  if (ext == "GIF " || ext == "BMP ") return 49;
  return code;
}

std::string four_digits(int32_t n) {
  std::string s = std::to_string(n);
  return std::string(s.size() < 4 ? 4 - s.size() : 0, '0') + s;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The next numbered file in the directory `dir` (a name ending in "\", "/" or ":"), from
// `file_counter` on: "PLTF" with four digits and the default extension, the first name that
// nobody has, claimed at once (created empty) so that a run plotting into the same directory
// at the same time takes another.  The counter keeps the number taken.  Where no file can be
// created, the name at the counter: opening it then fails and says why.
std::string numbered_plot_file(const std::string& dir) {
  plot_state_t& p = plot_state;
  if (p.file_counter > 9999) report_error("%GKS-MAX-METAFILES = 10000", 32000);
  // The directory as the host names it; behind a ":" the name goes on in the current one.
  const std::string host = host_path(dir);
  const size_t cut = host.empty() || host.back() == '/' ? host.size() : host.rfind('/') + 1;
  const claimed_name claimed = claim_numbered_name({.folder = host.substr(0, cut),
                                                    .prefix = host.substr(cut) + "PLTF",
                                                    .suffix = p.default_ext,
                                                    .digits = 4,
                                                    .first = p.file_counter,
                                                    .last = 9999},
                                                   true);
  if (claimed.error == ERANGE) report_error("%GKS-MAX-METAFILES = 10000", 32000);
  if (claimed.error == 0) p.file_counter = claimed.number;
  return dir + "PLTF" + four_digits(p.file_counter) + p.default_ext;
}

// Names the plot file (numbered in a directory, default extension) and creates it.  False
// when the file could not be created (reported before returning).
bool open_plot_file(std::string_view name_arg) {
  plot_state_t& p = plot_state;
  p.hardware_chars = false;
  // A file left open by a plot that was never ended is closed, not leaked.
  plot_file_close();
  p.effective_file = file_name_field(name_arg, 80);
  p.default_ext = p.device == 40 ? ".EPS" : p.device == 41 ? ".DXF" : p.device == 43 ? ".PDF"
                  : p.device == 49 ? ".GIF" : ".PLT";
  if (trim_blanks_right(p.effective_file).empty()) p.effective_file = file_name_field(".\\", 80);
  if (names_a_file(p.requested_file)) p.effective_file = p.requested_file;
  std::string name(trim_blanks_right(p.effective_file));
  const char last = name.empty() ? ' ' : name.back();
  if (last == ':' || is_separator(last)) {
    name = numbered_plot_file(name);  // the directory stays in force: the counter is never reset
  } else {
    p.requested_file = "*";  // a requested name serves one open
  }
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 >= name.size() || name[dot + 1] == '.' ||
      is_separator(name[dot + 1]))
    name += p.default_ext;
  p.effective_file = file_name_field(name, 80);
  if (p.device == 49) return true;  // the bitmap device writes its file at the end
  const bool opened = plot_file_open(name);
  trace_str_int("c_sopen ", name, p.plot_handle);
  if (!opened) {
    p.ended_marker = true;
    report_error("%GKS-open, cannot open metafile: " + name, 32000);
    return false;
  }
  return true;
}

float pixels_to_mm(int32_t pixels) { return X_PIXEL_TO_MILLIMETERS(pixels); }

// The page setup (of the print job on `u` when given): paper size and margins in 0.01 mm.
void page_setup_data(int32_t paper[2], int32_t margins[4], ups* u = nullptr) {
  const qn_page_data page = GET_PAGE_DATA(u);
  paper[0] = page.paper_width;
  paper[1] = page.paper_height;
  margins[0] = page.margin_left;
  margins[1] = page.margin_top;
  margins[2] = page.margin_right;
  margins[3] = page.margin_bottom;
}

void end_window_recording() {
  plot_state_t& p = plot_state;
  if (p.recording) END_BITMAP_DRAW(p.plot_ups);
  p.recording = false;
  if (p.output_window > 0 && is_valid_window(p.output_window)) CLOSE_WINDOW(p.output_window);
}

}  // namespace

void save_window_picture() {
  std::string folder;
  GET_ENVIRONMENT_VARIABLE("WINKYR_PLOT_WINDOW", folder);
  folder = std::string(trim_blanks_right(folder));
  if (folder.empty() || plot_state.window_bitmap <= 0) return;
  // "Ausgabe.bmp", then "Ausgabe-2.bmp" ..., as the print jobs' PDF files are named; a name is
  // claimed at once, so that two runs saving into one folder each keep their pictures.
  const claimed_name claimed = claim_numbered_name(
      {.folder = host_path(folder), .prefix = "Ausgabe-", .suffix = ".bmp", .first_name = "Ausgabe.bmp"}, true);
  const std::string name = folder + (is_separator(folder.back()) ? "" : "/") + claimed.path.substr(claimed.path.rfind('/') + 1);
  plot_write_bmp(plot_state.window_bitmap, name);
  give_up_claim(claimed.path);  // a claim that no picture filled is not left as an empty file
}

namespace {

// Paints a fresh picture white, as paper.
void clear_to_white(ups& u, int32_t width, int32_t height) {
  NEW_PEN(u, {.colour = 0xFFFFFFu});
  NEW_BRUSH(u, {.colour = 0xFFFFFFu});
  DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, width, height}});
}

void open_window_device(float scale) {
  plot_state_t& p = plot_state;
  end_window_recording();
  const float cx = static_cast<float>(get_system_metrics(16));
  const float cy = static_cast<float>(get_system_metrics(17));
  if (p.device == 0) {
    page_setup_data(p.paper_size, p.page_margins);
    p.paper_width_cm = static_cast<float>(p.paper_size[0]) * 0.001f;
    p.paper_height_cm = static_cast<float>(p.paper_size[1]) * 0.001f;
  } else {
    // The window shows the page by its size: a negative paper size (or scale) reverses an axis
    // (the scale factors below keep the sign) but neither turns nor narrows the page.
    p.paper_size[0] = trunc_to_int(std::fabs(1000.0f * scale * p.paper_width_cm));
    p.paper_size[1] = trunc_to_int(std::fabs(1000.0f * p.paper_height_cm * scale));
    std::fill(p.page_margins, p.page_margins + 4, 0);
  }
  if (p.paper_size[0] < 100) p.paper_size[0] = 21000;
  if (p.paper_size[1] < 100) p.paper_size[1] = 29700;
  const float pw = static_cast<float>(p.paper_size[0]);
  const float ph = static_cast<float>(p.paper_size[1]);
  float w = std::trunc(0.9f * cx);
  float h = std::trunc(w / pw * ph);
  if (h > 0.9f * cy) {
    h = std::trunc(0.9f * cy);
    w = std::trunc(pw * (h / ph));
  }
  const int32_t W = std::max(1, trunc_to_int(w));
  const int32_t H = std::max(1, trunc_to_int(h));
  trace_int2("paper_size", p.paper_size[0], p.paper_size[1]);
  trace_int2("left_top_margin    ", p.page_margins[0], p.page_margins[1]);
  trace_int2("right_bottom_margin", p.page_margins[2], p.page_margins[3]);
  if (p.window_bitmap > 0) DELETE_OBJECT(p.window_bitmap, nullptr);
  int status = 0;
  p.window_bitmap = CREATE_BITMAP(W, H, &status);
  const int32_t picture = p.window_bitmap;
  p.output_window = CREATE_WINDOW({
      .title = "Ausgabe",
      .position = qn_portion{0.0f, 0.0f},
      .client_px = qn_point{W, H},
      .window_flags = 0x7000,
      .paint = [picture](int32_t, ups& u) {
        if (picture > 0) DRAW_BITMAP(u, picture, {.mode = 3, .smooth = true});
      },
      .close = [](int32_t) -> int32_t {
        io_status = plot_window_closed_status;  // the program sees the window closed as a cancel
        return 1;
      },
  });
  if (upper_services.mouse_event != nullptr)
    CAPTURE_MOUSE_EVENTS(p.output_window, upper_services.mouse_event, 0x10C3);
  p.page_width = W;
  p.page_height = H;
  p.page_width_cm = pixels_to_mm(W) * 0.1f;
  p.device_fonts = true;
  p.soft_font = 0;
  p.offset_x = 0;
  // The picture is a bitmap of exactly H rows shown in the window's client area; the caption
  // and the frame lie outside it, so y is turned on the picture's bottom row (as for the
  // bitmap device) and the whole page, from y = 0 to the paper height, stays in view.
  p.offset_y = H - 1;
  p.xfac = static_cast<float>(W - 1) / p.paper_width_cm;
  p.yfac = static_cast<float>(H - 1) / p.paper_height_cm;
  trace_int2("BX/HY", W, H);
  trace_real("xfac", p.xfac);
  trace_real("yfac", p.yfac);
  if (picture > 0) {
    START_BITMAP_DRAW(picture, p.plot_ups);
    clear_to_white(p.plot_ups, W, H);
    p.recording = true;
  }
}

void open_bitmap_device() {
  plot_state_t& p = plot_state;
  p.device_fonts = false;
  p.soft_font = 1;
  const float cx = static_cast<float>(get_system_metrics(16));
  const float cy = static_cast<float>(get_system_metrics(17));
  // The picture has the page's size: a negative paper size reverses its axis (the scale factors
  // below keep the sign) but neither turns nor narrows the picture.
  const float paper_width = paper_width_magnitude(), paper_height = std::fabs(p.paper_height_cm);
  int32_t W = nint(0.9f * cx / 10.0f) * 10;
  int32_t H = nint(static_cast<float>(W) / paper_width * paper_height / 10.0f) * 10;
  if (paper_height > paper_width) {
    H = nint(0.9f * cy / 10.0f) * 10;
    W = nint(static_cast<float>(H) / paper_height * paper_width / 10.0f) * 10;
  }
  // A picture of no pixels cannot be made; a paper height of 0 still gets a strip.
  W = std::max(W, 10);
  H = std::max(H, 10);
  p.page_width = W;
  p.page_height = H;
  p.offset_x = 0;
  p.offset_y = H - 1;
  p.xfac = static_cast<float>(W - 1) / p.paper_width_cm;
  p.yfac = static_cast<float>(H - 1) / p.paper_height_cm;
  end_window_recording();
  int status = 0;
  p.bitmap = CREATE_BITMAP(W, H, &status);
  p.device_fonts = true;
  p.soft_font = 0;
  if (p.bitmap > 0) {
    START_BITMAP_DRAW(p.bitmap, p.plot_ups);
    clear_to_white(p.plot_ups, W, H);
    // The picture may be cut down to 16 colours (GIF) by the colours of its pixels: texts are
    // drawn in whole pixels of their colour, without the shades of smooth edges.
    SET_TEXT_SMOOTHING(p.plot_ups, false);
  }
  p.page_width_cm = pixels_to_mm(W) * 0.1f;
  p.recording = p.bitmap > 0;
}

// The printer devices: a new page of the open printer plot, or a new print job on the plot's
// context; the page and the scale come from the job's page in the printer's own pixels.  False
// when the user cancelled the print dialog or the job could not start (its PDF file is reported).
bool open_printer_device() {
  plot_state_t& p = plot_state;
  p.landscape = paper_is_landscape();
  if (!p.plot_ended && p.printing) {
    // The job goes on with a page of this plot's orientation (and so its size).
    NEXT_PRINT_PAGE(p.plot_ups, {.landscape = p.landscape});
  } else {
    // (A window or bitmap plot left open has been ended by COMPS.)
    if (!print_start_job(p.plot_ups, "Ausgabe ", p.landscape)) return false;
    p.printing = true;
  }
  page_setup_data(p.paper_size, p.page_margins, &p.plot_ups);
  p.device_fonts = true;
  p.soft_font = 0;
  p.xfac = 10.0f / X_PIXEL_TO_MILLIMETERS(1, &p.plot_ups);
  p.yfac = 10.0f / Y_PIXEL_TO_MILLIMETERS(1, &p.plot_ups);
  // The page is the whole sheet, y turned on its bottom edge, and the plot's origin moves onto
  // the printable area by the margins (at the end of the open).  The job's context already
  // starts at the margins' corner, so its pixels lie the left and top margins away from the
  // sheet's: the offsets take them back, and the margins count once.
  const auto pixels = [](int32_t hundredths_mm, float units_per_cm) {
    return trunc_to_int(static_cast<float>(hundredths_mm) * 0.001f * units_per_cm + 0.5f);
  };
  p.page_width = pixels(p.paper_size[0], p.xfac);
  p.page_height = pixels(p.paper_size[1], p.yfac);
  p.offset_x = -pixels(p.page_margins[0], p.xfac);
  p.offset_y = p.page_height - pixels(p.page_margins[1], p.yfac);
  p.page_width_cm = X_PIXEL_TO_MILLIMETERS(p.page_width, &p.plot_ups) * 0.1f;
  trace_int2("B/H", p.page_width, p.page_height);
  trace_real("xfac", p.xfac);
  trace_real("yfac", p.yfac);
  return true;
}

}  // namespace

void COMPS(std::string_view file_name, float paper_width_cm, float paper_height_cm,
           int32_t device_code, float scale) {
  plot_state_t& p = plot_state;
  // A plot still open ends here, as its own end would end it, before anything of the new one is
  // set: its file complete and kept, its picture written.  Only a printer plot opened on the
  // printer again goes on in the same job, on a new page.
  const bool next_page = !p.plot_ended && p.printing && device_code >= 20 && device_code <= 28;
  if (!next_page) end_open_thing(open_kind::plot, run_transition::next_open);
  p.program_dir.clear();  // found again behind the executable at every open
  p.device = device_code;
  if (names_a_file(p.requested_file) && device_code > 28)
    p.device = device_from_extension(p.requested_file, device_code);

  p.soft_font = 1;
  p.origin_x = p.origin_y = 0;
  plot_sent_reset();
  plot_file_text_reset();
  p.line_style = 0;
  p.page_width_cm = paper_width_cm;
  p.paper_width_cm = paper_width_cm == 0.0f ? 21.0f : paper_width_cm;
  p.paper_height_cm = paper_height_cm;
  p.xfac = p.yfac = scale;
  p.current_x = p.current_y = 0;
  p.rotated = false;
  load_plotrans(0);
  vextor_double_width(0);
  p.ldev = p.device / 10;
  p.ltyp = p.device % 10;

  // Refused before its file is named: no file is made, none that the text names is emptied.
  if (!known_device(p.device)) {
    report_error("%GKS-comps, illegal device", 32000);
    return;
  }
  if (p.device >= 0 && p.device <= 28) {
    p.hardware_chars = false;
    p.plot_handle = 0;
  } else if (!open_plot_file(file_name)) {
    return;
  }
  trace_int3("COMPS ldev/device/ltyp", p.ldev, p.device, p.ltyp);

  const int32_t d = p.device;
  if (d >= 0 && d <= 19) {
    open_window_device(scale);
  } else if (d >= 20 && d <= 28) {
    if (!open_printer_device()) {
      // No job: the plot draws nowhere until the next open.  A job that failed has been reported
      // (the error log and IOERROR), a cancelled one needs no report, so the missing drawing
      // surface is not reported again at every drawing.
      p.context_reported = true;
      return;
    }
  } else if (d >= 30 && d <= 32) {
    p.device_fonts = d != 32;
    p.soft_font = d == 32 ? 1 : 0;
    p.plotrans_unit = plot_open_data_file("PLOTRANS.TBL");
    if (p.plotrans_unit != 0) load_plotrans(p.plotrans_unit);
    plot_reset_point();
    p.xfac = p.yfac = scale * 400.0f;
    p.page_width = 16000;
    p.page_height = 11000;
    p.offset_x = p.offset_y = 0;
  } else if (d == 40) {
    p.pdf_mode = false;
    p.device_fonts = true;
    p.soft_font = 0;
    plot_text_reset();
    write_plot_template(0);
    p.page_width = 2100;
    p.page_height = 2960;
    p.offset_x = p.offset_y = 0;
    p.xfac = p.yfac = 100.0f;
    p.rotated = paper_is_landscape();
  } else if (d == 41) {
    p.device_fonts = true;
    p.soft_font = 0;
    p.page_width = p.page_height = 10000;
    p.offset_x = p.offset_y = 0;
    dxf_write_header();
  } else if (d == 43) {
    p.pdf_object_count = 0;
    p.pdf_object_offset.fill(0);
    p.byte_count = 0;
    p.pdf_xref_offset = 0;
    p.pdf_length_offset = 0;  // no placeholder yet
    p.pdf_stream_length = 0;
    p.pdf_mode = true;
    plot_text_state().pdf_font_family = 0;
    p.graphics_state = std::string(12, ' ');
    p.path_state = false;
    p.device_fonts = true;
    p.soft_font = 0;
    plot_text_reset();
    if (paper_is_landscape()) {
      write_plot_template(90);
      p.page_width = 2960;
      p.page_height = 2100;
    } else {
      write_plot_template(0);
      p.page_width = 2100;
      p.page_height = 2960;
    }
    p.offset_x = p.offset_y = 20;
    p.xfac = p.yfac = 100.0f;
  } else if (d == 49) {
    open_bitmap_device();
  }

  p.plot_ended = false;
  p.ended_marker = false;
  p.context_reported = false;
  if (d == 49) VEXTOR(0, 0, 998);
  plot(1.0f, 1.0f, 3);
  plot(0.0f, 0.0f, 3);
  newpen(1);
  plot_text(999.0f, 999.0f, 1.0f, "$$$SA0", 0.0f, 6);
  trace_int2("left/top    ", p.page_margins[0], p.page_margins[1]);
  trace_int2("right/bottom", p.page_margins[2], p.page_margins[3]);
  if (d >= 20 && d <= 28) {
    trace_msg(paper_is_landscape() ? "plot-null versatz l/t 0.001*"
                                                   : "plot-null versatz l/b 0.001*");
    plot(static_cast<float>(p.page_margins[0]) * 0.001f, static_cast<float>(p.page_margins[1]) * 0.001f, -3);
  } else if (d == 0) {
    trace_msg("plot-null versatz 0.001*");
    plot(static_cast<float>(p.page_margins[0]) * 0.001f, static_cast<float>(p.page_margins[1]) * 0.001f, -3);
  }
  io_status = 0;
}

void clear_io_status_for_plot_end() {
  if (!plot_state.plot_ended && io_status != plot_window_closed_status) io_status = 0;
}
