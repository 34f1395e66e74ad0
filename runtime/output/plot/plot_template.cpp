// The PostScript and PDF document frame: prologue and epilogue copied from template files,
// with the creation date filled in and, for PDF, the marker lines turned into the stream
// length, the stream keywords, the cross-reference table and "startxref".  Every offset comes
// from the plot-file writer's byte count; the stream length, unknown while the stream is
// written, is patched into a fixed-width placeholder at the end.
#include <algorithm>
#include <ctime>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/plot/plot_state.h"

namespace {

void write_lf(std::string_view s) { plot_write_lf(s, static_cast<int32_t>(s.size())); }

std::tm now_local() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string two(int v) { return std::string(1, static_cast<char>('0' + (v / 10) % 10)) + static_cast<char>('0' + v % 10); }

std::string pdf_date_line(std::string line) {
  const std::tm tm = now_local();
  line.resize(15);
  return line + "D:" + std::to_string(tm.tm_year + 1900) + two(tm.tm_mon + 1) + two(tm.tm_mday) +
         two(tm.tm_hour) + two(tm.tm_min) + two(tm.tm_sec) + ")";
}

std::string ps_date_line() {
  const std::tm tm = now_local();
  return "%%CreationDate:" + plot_int_field(tm.tm_mday, 3) + "." + two(tm.tm_mon + 1) + "." +
         std::to_string(tm.tm_year + 1900) + "-" + two(tm.tm_hour) + ":" + two(tm.tm_min);
}

// Bytes that the writer's own steps put into the file, counted like every other write.
void write_raw(std::string_view s) {
  if (plot_state.plot_handle > 0) plot_write(s, static_cast<int32_t>(s.size()));
  else plot_state.byte_count += static_cast<int64_t>(s.size());
}

void write_xref_section() {
  const int32_t n = plot_state.pdf_object_count;
  write_lf("xref");
  write_lf("0 " + std::to_string(n + 1));
  write_lf("0000000000 65535 f ");
  for (int32_t i = 0; i < n; ++i) {
    std::string offset = std::to_string(plot_state.pdf_object_offset[static_cast<size_t>(i)]);
    offset.insert(0, offset.size() < 10 ? 10 - offset.size() : 0, '0');
    write_raw(offset + " 00000 n\r\n");
  }
}

bool ends_with_obj(std::string_view trimmed) {
  return trimmed.size() >= 4 && trimmed.substr(trimmed.size() - 4) == " obj";
}

void copy_pdf_line(std::string line) {
  if (line.compare(0, 15, "/CreationDate (") == 0) line = pdf_date_line(line);
  const std::string_view t = trim_blanks_right(line);
  if (t.size() < 5) {
    write_lf(t);
    return;
  }
  if (t.compare(0, 13, "$<< /Length $") == 0) {
    plot_write("<< /Length ", 11);
    plot_state.pdf_length_offset = static_cast<int32_t>(plot_state.byte_count);
    write_lf("0 >>" + std::string(16, ' '));
  } else if (t == "$stream") {
    write_lf("stream");
    plot_state.pdf_stream_length = static_cast<int32_t>(plot_state.byte_count);
  } else if (t == "$endstream") {
    plot_state.pdf_stream_length = static_cast<int32_t>(plot_state.byte_count) - plot_state.pdf_stream_length;
    write_lf("endstream");
  } else if (t == "$startxref") {
    write_lf("startxref");
    write_raw(std::to_string(plot_state.pdf_xref_offset) + "\n");
  } else if (t == "$xref") {
    plot_state.pdf_xref_offset = static_cast<int32_t>(plot_state.byte_count);
    write_xref_section();
  } else {
    if (ends_with_obj(t)) {
      plot_state.pdf_object_count = std::min(plot_state.pdf_object_count + 1, 30);
      plot_state.pdf_object_offset[static_cast<size_t>(plot_state.pdf_object_count - 1)] =
          static_cast<int32_t>(plot_state.byte_count);
    }
    write_lf(t);
  }
}

void patch_stream_length() {
  trace_msg("REWIND PDF unit...");
  trace_int("streamlength offset", plot_state.pdf_length_offset);
  plot_file_seek(plot_state.pdf_length_offset);
  trace_int("encode streamlength=", plot_state.pdf_stream_length);
  std::string text = std::to_string(plot_state.pdf_stream_length) + " >>";
  text.resize(20, ' ');
  trace_str("output", text);
  write_raw(text);
  trace_msg("done pdf update streamlength");
}

}  // namespace

void write_plot_template(int32_t code) {
  const std::string type = !plot_state.pdf_mode ? "PSH" : code == 90 ? "PDR" : "PDH";
  std::string name = "VEXTA10." + type;
  if (code == -999) {
    name = "VEXTA99." + type;
    if (!plot_state.pdf_mode) {
      write_lf("S");
      plot_reset_path();
      write_lf("grestore");
      write_lf("showpage");
      write_lf("%%Trailer");
      return;
    }
    plot_end_path();
  }
  trace_str("PS/PDF", plot_dir_file(name));
  const int32_t unit = plot_open_data_file(name);
  if (unit == 0) {
    report_error("%GKS-dxf, VEXTA10/99.PSH/PDH not found", 32000);
    return;
  }
  std::string line;
  while (unit_read_line(unit, line) == 0) {
    if (line.size() > 80) line.resize(80);
    if (plot_state.pdf_mode) {
      copy_pdf_line(line);
    } else {
      const std::string_view t = trim_blanks_right(line);
      write_lf(t == "%%CreationDate:" ? std::string_view(ps_date_line()) : t);
    }
  }
  unit_close(unit);
  // Only a placeholder that was written is patched; without one the file's start stays intact.
  if (plot_state.pdf_mode && code == -999 && plot_state.pdf_length_offset > 0) patch_stream_length();
  plot_reset_path();
}
