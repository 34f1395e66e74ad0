// Form print job driver: reads a form file, fills the fields of every line and writes the
// result into the work file; at the form's end the work file goes to the output stage and is
// deleted.  A form ending in "$CONT" leaves the work file open, so that the next form appends to
// the same document.
//
// The work file's name is "$$temp$$.wr1" in the folder of combo record "#1".  While a document
// is written, its run writes it into a file of its own beside that name, "$$temp$$-XXXXXX.wr1"
// (six random letters and digits, created exclusively), so that two runs printing from one
// folder at the same time never write into, print or delete each other's work file.  A work
// file that is kept (MODE 3, a form not found, a cut file not printed, a run that ends with a
// document open) takes the name "$$temp$$.wr1" when it is closed, where it has always been.
// Until it is kept or deleted, it is noted as a file only this process made, so that an end of
// the process that closes nothing (a second termination signal) does not leave it behind.
//
// A printed form and an HTML export (HTML mode, into the meta file) are two kinds of document,
// each with a work file of its own: one kind left open by "$CONT" stays open while forms of the
// other kind come and go, and its next form goes on in it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <set>
#include <string>

#include "quillon/api/own_files.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/program/names.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/screen.h"

namespace {

constexpr size_t form_line_length = 196;
constexpr size_t work_name_length = 80;
constexpr std::string_view work_stem = "$$temp$$", work_extension = ".wr1";

// The work file of one kind of document.
struct work_file_state {
  bool open = false;  // a "$CONT" left it open for the next form of its kind
  int32_t unit = 0;
  std::string file;
  std::string kept;  // the name the file takes when it is kept ("" : its own, the meta file)
  own_file made;     // this run's own file, until it is kept or deleted
};

struct print_job_state {
  bool html = false;
  bool para_typ = false;
  bool html_meta = false;
  int32_t line_count = 0;
  work_file_state printed;  // this run's "$$temp$$-XXXXXX.wr1": printed, previewed, copied into the meta file
  work_file_state exported;  // the meta file itself, written by an HTML form
  int32_t form_unit = 0;
  bool form_end_mark = false;  // the form's end mark (Ctrl-Z) has been read
  std::string form_name;
  std::vector<std::string> status_texts;  // those of the current work file only
  std::function<print_combo_entry(std::string_view)> combo_source;
  // The combo records found missing since the program was loaded: each is warned of once, not
  // at every print.
  std::set<std::string, std::less<>> missing_records;
};
print_job_state pj;

// The work file of the current call's kind.
work_file_state& work() { return pj.html_meta ? pj.exported : pj.printed; }

std::string trimmed(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string fixed(std::string_view text, size_t length) {
  std::string out(text.substr(0, std::min(text.size(), length)));
  out.resize(length, ' ');
  return out;
}

// Short messages of the job on the main window's message line; the same text is not drawn twice.
void print_output_text(std::string_view text) {
  pj.status_texts.emplace_back(text);
  if (main_window() != 0) output_text(text);
}

// The work file could not be created or written: the box, and the file with the system's reason
// in the error log and IOERROR.
void work_file_error(std::string_view file, int32_t code) {
  warning_box("Fehler", "Schreiben Workfile");
  report_write_failure(file, code);
}

std::string text_variable(std::string_view name) {
  std::string value;
  parse_substring_format(value, name);
  return value;
}

bool begins(const std::string& line, std::string_view head) { return line.starts_with(head); }
bool is_end_directive(const std::string& line) {
  return begins(line, "$ENDE") || begins(line, "$EXIT") || begins(line, "$CONT");
}
bool is_exit_text(const std::string& line) { return begins(line, "$ENDE=") || begins(line, "$EXIT="); }

// Removes the blanks that HTML does not need: runs of blanks, blanks after ">" and before "<",
// all before the last non-blank character.
void squeeze_html(std::string& line) {
  auto squeeze = [&line](std::string_view pair, size_t drop) {
    for (;;) {
      const size_t last = line.find_last_not_of(' ');
      if (last == std::string::npos) return;
      const size_t at = line.find(pair);
      if (at == std::string::npos || at >= last) return;
      line.erase(at + drop, 1);
    }
  };
  squeeze("  ", 0);
  squeeze("> ", 1);
  squeeze(" <", 0);
}

// Reads the next line of the form; false at its end.  A Ctrl-Z, the end mark that DOS editors
// left behind the text, ends the file: what stands before it on its line is the last line.
bool read_form_line(std::string& raw) {
  constexpr char end_mark = '\x1A';
  if (pj.form_end_mark || unit_read_line(pj.form_unit, raw) != 0) return false;
  if (const size_t mark = raw.find(end_mark); mark != std::string::npos) {
    pj.form_end_mark = true;
    raw.resize(mark);
    return !raw.empty();
  }
  return true;
}

// Creates the work file of a printed document under this run's own name beside `fixed` (the
// name "$$temp$$.wr1" in its folder), opened on a free unit: 0 or the failure.
int32_t open_own_work_file(work_file_state& w, const std::string& fixed) {
  static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  const std::string folder = fixed.substr(0, fixed.size() - work_stem.size() - work_extension.size());
  const int32_t unit = get_free_unit();
  int32_t status = unit_err_exists;
  for (int attempt = 0; attempt < 100 && status == unit_err_exists; ++attempt) {
    std::string own = folder + std::string(work_stem) + "-";
    for (int i = 0; i < 6; ++i) own += letters[random() % letters.size()];
    w.file = own + std::string(work_extension);
    trace_str("u_gprint 1 open", w.file);
    status = unit_open(unit, w.file, {.status = "NEW", .action = "WRITE"});
  }
  if (status == 0) {
    w.unit = unit;
    w.kept = fixed;
    const std::string path = host_path(w.file);
    // Not blocking: a pipe put in the file's place meanwhile is not waited for.
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
      w.made.note(path, fd);
      ::close(fd);
    }
  }
  return status;
}

// A closed work file that stays on disk takes its kept name; a failure to move it there is
// reported as a failed write of that name.
void keep_work_file(work_file_state& w) {
  w.made.forget();
  if (w.kept.empty() || w.kept == w.file) return;
  if (c_rename(w.file, w.kept) != 0) {
    report_write_failure(w.kept, errno != 0 ? errno : EIO);
    return;
  }
  w.file = w.kept;
}

void delete_work_file() {
  const int32_t unit = get_free_unit();
  trace_str("open for SCRATCH", work().file);
  int32_t status = unit_open(unit, work().file, {.status = "OLD"});
  if (status == 0) status = unit_close(unit, "DELETE");
  trace_int("open SCRATCH status", status);
  work().made.forget();
}

// The work file goes after its output (or instead of it), unless it is meant to stay: kept with
// MODE 3, and the meta file itself in HTML-meta mode.
bool work_file_goes(int32_t mode) { return mode != print_mode_format_only && !pj.html_meta; }

// Closes the work file; its lines are written only now (they are buffered).  False when they did
// not all get there: the failure is reported, and the cut file is not to be output.
bool close_work_file(work_file_state& w) {
  const int32_t status = unit_close(w.unit);
  w.unit = 0;
  w.open = false;
  if (status == 0) return true;
  work_file_error(w.file, status);
  return false;
}

// Formats one raw line and writes it.  False when writing failed: the failure is reported, the
// work file is closed, and the call must end; the next call starts a new work file.
bool format_and_write(std::string& line, bool flag, int32_t mode) {
  frm_format_line(line, flag);
  if (begins(line, "$SKIP")) return true;
  if (pj.html_meta) squeeze_html(line);
  if (const int32_t status = unit_write_line(work().unit, trimmed(line)); status != 0) {
    work_file_error(work().file, status);
    unit_close(work().unit);
    work().unit = 0;
    work().open = false;
    if (work_file_goes(mode))
      delete_work_file();
    else
      keep_work_file(work());
    return false;
  }
  ++pj.line_count;
  return true;
}

// The single line of MODE -9999: written to the work file, which stays open.
void print_one_line(std::string_view name, bool flag) {
  std::string line = fixed(name, form_line_length);
  if (is_end_directive(line)) {
    if (is_exit_text(line)) print_set_exit_text(line.substr(6));
    return;
  }
  format_and_write(line, flag, print_mode_one_line);
}

}  // namespace

std::string print_work_file_name() {
  const std::string directory = print_combo_lookup("#1").text;
  const size_t blank = directory.find(' ');
  return file_name_field(directory.substr(0, blank) + "$$temp$$.wr1", work_name_length);
}

void u_gprint(std::string_view name, bool flag, int32_t mode) {
  trace_msg("u_gprint start");
  std::string work_name = print_work_file_name();
  pj.html_meta = pj.html && mode == print_mode_meta;
  if (pj.html_meta) {
    // The export goes into the meta file itself: its name whole or refused, nothing written.
    const program_text meta = name_variable("META_FILE");
    if (!whole_or_refused(meta)) return;
    work_name = file_name_field(meta.text, work_name_length);
  }
  work_file_state& w = work();
  // A printed document left open by "$CONT" goes on in its work file wherever record "#1" names
  // it now.  An export left open under another name than the meta file's now is complete as it
  // stands (it is the meta file itself): it is closed, and this form starts the new one.
  if (w.open && pj.html_meta && trimmed(work_name) != w.file) close_work_file(w);

  bool opened_now = false;
  if (!w.open) {
    int32_t status = 0;
    if (pj.html_meta) {
      w.file = trimmed(work_name);
      w.kept.clear();
      const int32_t unit = get_free_unit();
      trace_str("u_gprint 1 open", w.file);
      status = w.file.empty() ? unit_err_no_file : unit_open(unit, w.file, {.status = "REPLACE", .action = "WRITE"});
      if (status == 0) w.unit = unit;
    } else {
      status = open_own_work_file(w, trimmed(work_name));
    }
    if (status != 0) {
      work_file_error(w.file, status);
      return;
    }
    opened_now = true;
    pj.status_texts.clear();  // a new job: the texts of earlier ones are not kept
    trace_msg("ok");
    print_output_text("bitte warten, Format wird aufbereitet ...");
  }

  std::string form = trimmed(name) + (pj.html_meta ? ".htm" : ".frm");
  // Form names are kept whole: a cut name would read another form.
  const size_t plain_length = form.size();
  if (pj.para_typ) form += "_" + trimmed(text_variable("PARA_TYP"));
  pj.form_name = form;
  pj.line_count = 0;

  if (mode == print_mode_one_line) {
    // The work file made by this call stays open for the lines that follow, so that they are
    // appended rather than starting a new file over it.
    if (opened_now) w.open = true;
    print_one_line(name, flag);
    return;
  }

  w.open = false;
  pj.form_unit = get_free_unit();
  trace_str("u_gprint 2 open", pj.form_name);
  if (unit_open(pj.form_unit, pj.form_name, {.status = "OLD", .action = "READ"}) != 0) {
    pj.form_name.resize(plain_length);
    if (const int32_t status = unit_open(pj.form_unit, pj.form_name, {.status = "OLD", .action = "READ"}); status != 0) {
      io_status = status;  // nothing printed: the program reads why (1009, no such form) with IOERROR
      warning_box("#29 keine Formatdatei", pj.form_name);
      unit_close(w.unit);
      w.unit = 0;
      keep_work_file(w);
      return;
    }
  }
  frm_reset_defs();

  std::string raw, line;
  bool first = true;
  pj.form_end_mark = false;
  while (read_form_line(raw)) {
    line = fixed(raw, form_line_length);
    if (is_end_directive(line)) break;
    if (first && begins(line, "$INIT=")) {
      first = false;
      print_set_init_text(line.substr(6));
      continue;
    }
    first = false;
    if (!format_and_write(line, flag, mode)) {
      unit_close(pj.form_unit);
      return;
    }
    line.clear();
  }

  if (is_exit_text(line)) print_set_exit_text(line.substr(6));
  unit_close(pj.form_unit);
  if (begins(line, "$CONT")) {
    w.open = true;
    return;
  }
  print_output_text(" ");
  const bool whole = close_work_file(w);
  trace_int("gprint preview=", mode);
  if (work_file_goes(mode)) {
    if (whole) {
      trace_str("call print", w.file);
      print_frm(w.file, mode);
      trace_msg("back print_frm");
    }
    delete_work_file();
  } else {
    keep_work_file(w);
  }
  print_output_text(" ");
  trace_msg("finito print_frm");
}

void set_print_html(bool flag) { pj.html = flag; }
void set_para_typ_flag(bool flag) { pj.para_typ = flag; }
int32_t get_print_line_count() { return pj.line_count; }

// Finishes the document of the kind that MODE selects (an export in HTML mode with MODE 2, else
// the printed one).
void u_gprint_finish(int32_t mode) {
  pj.html_meta = pj.html && mode == print_mode_meta;
  work_file_state& w = work();
  print_output_text(" ");
  const bool whole = close_work_file(w);
  if (work_file_goes(mode)) {
    if (whole) print_frm(w.file, mode);
    delete_work_file();
  } else {
    keep_work_file(w);
  }
  print_output_text(" ");
}

void print_work_files_end() {
  work_file_state& w = pj.printed;
  if (w.unit == 0) return;
  if (const int32_t status = unit_close(w.unit); status != 0) report_write_failure(w.file, status);
  w.unit = 0;
  w.open = false;
  keep_work_file(w);
}

void u_gprint_reset() {
  print_frm_nop();
  for (work_file_state* w : {&pj.printed, &pj.exported}) {
    if (w->unit != 0) unit_close(w->unit, w == &pj.printed ? "DELETE" : "KEEP");
    w->unit = 0;
    w->open = false;
  }
}

print_job_view print_job_info() {
  return {!work().open, pj.html, pj.para_typ, pj.html_meta, pj.line_count, work().file, pj.status_texts};
}

void print_job_reset() {
  for (work_file_state* w : {&pj.printed, &pj.exported})
    if (w->unit != 0) unit_close(w->unit);
  pj = print_job_state{};
}

print_combo_entry print_combo_lookup(std::string_view reference) {
  if (pj.combo_source) return pj.combo_source(reference);
  print_combo_entry entry;
  if (!combo_lookup_quietly(reference, entry.text, entry.value)) {
    // A run directory without a combo library (or without this record) prints all the same: the
    // blank text puts the work file into the current directory and the switch test reads 0.
    // The warning log says why, once per record and run; a box would stop every print.
    if (pj.missing_records.emplace(reference).second) warning_log("COMBO Satz fehlt: " + std::string(reference));
  }
  return entry;
}

void print_reset_for_load() { pj.missing_records.clear(); }

void set_print_combo_source(std::function<print_combo_entry(std::string_view reference)> source) {
  pj.combo_source = std::move(source);
}
