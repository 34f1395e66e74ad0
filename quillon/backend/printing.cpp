// Printing: print jobs on the print module's printer, the kept page setup and the page setup
// dialog.  The print module (print_module.h) is opened at the first job or page setup; without
// it a job does not start and says why (qn_print_problem).
//
// A job's drawing context paints on the printer's page itself, in the printer's device pixels
// (its own resolution): texts go out as text in their font, lines as vectors, bitmaps with
// their pixels.  The context's origin is the top-left corner of the printable area.
#include "quillon/backend/backend.h"
#include "quillon/api/libraries.h"
#include "quillon/backend/print_file.h"
#include "quillon/backend/print_module.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace {

struct print_job {
  std::unique_ptr<qnb::module_printer> printer;
  // The PDF file that the library chose (the environment's, or one named after the job); none
  // where the printer or its dialog decides.
  std::unique_ptr<qnb::pdf_target> pdf;
  std::shared_ptr<QPainter> painter;
  // After a cancel the context goes on drawing into this scrap picture, which nobody sees.
  QImage scrap;
  std::shared_ptr<QPainter> scrap_painter;
  int32_t pages = 0;
  // The modeless spooling dialog; its Cancel sets the flag, and the job then drops its pages.
  std::unique_ptr<QDialog> spool;
  std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
  bool aborted = false;
};

// The job of a print context is kept in the context's first free reserved word.
constexpr size_t job_slot = 1;

struct printing_state {
  // Paper and margins in hundredths of a millimetre (A4 with 2 cm margins until changed).
  qn_page_data page{2000, 2000, 2000, 2000, 21000, 29700};
  bool landscape = false;
  std::map<int32_t, print_job> jobs;  // by job number
  std::function<int32_t(std::string_view)> answerer;
  int32_t last_pages = 0;
  std::string last_file;
  int32_t last_file_error = 0;  // errno why the last job's PDF file could not be written
  std::string last_file_reason;  // the system's text for it, naming the temporary folder where it failed
  std::string problem;          // why the last job or page setup could not use the print module
};
printing_state& st() {
  static printing_state s;
  return s;
}

// The print module, opened once: from beside the executable, else from where this build put
// it; or from the file a test names.
struct module_state {
  std::string file;  // a test's module file; empty for the usual places
  bool tried = false;
  const qnb::print_module* api = nullptr;
  std::string problem;
};
module_state& module() {
  static module_state m;
  return m;
}

#ifndef QUILLON_PRINT_MODULE_DIR
#define QUILLON_PRINT_MODULE_DIR ""
#endif

// The module file to open: a test's, the one beside the executable, or the one this build made;
// empty when there is none.
std::string module_file() {
  if (!module().file.empty()) return module().file;
  const std::string exe = qnb::executable_path();
  const std::string built = QUILLON_PRINT_MODULE_DIR;
  for (const std::string& dir : {exe.substr(0, exe.rfind('/') + 1), built.empty() ? built : built + "/"}) {
    const std::string file = dir + qnb::print_module_file;
    if (!dir.empty() && QFileInfo::exists(QString::fromStdString(file))) return file;
  }
  return {};
}

// The table of the module in `file`; nullptr with the reason in `why`.
const qnb::print_module* open_module(const std::string& file, std::string& why) {
  if (file.empty()) {
    why = std::string(qnb::print_module_file) + " not found beside the program";
    return nullptr;
  }
  const qnb::print_module* (*entry)() = nullptr;
  void* handle = qn_open_library(file.c_str(), &why);
  if (!handle) return nullptr;
  if (!qn_find_entry(handle, qnb::print_module_entry, entry)) {
    why = file + " has no entry " + qnb::print_module_entry;
    return nullptr;
  }
  const qnb::print_module* api = entry();
  if (!api || api->version != qnb::print_module_version) {
    why = file + " is of another build";
    return nullptr;
  }
  return api;
}

// The module's table, opened once; nullptr when it cannot be loaded, with the reason kept.
const qnb::print_module* print_api() {
  module_state& m = module();
  if (m.tried) return m.api;
  m.tried = true;
  std::string why;
  m.api = open_module(module_file(), why);
  if (!m.api) m.problem = "the print module cannot be loaded: " + why;
  return m.api;
}

// The module's table, or nullptr with the reason reported (as the status when one is given).
const qnb::print_module* print_api_or_report(int* status) {
  const qnb::print_module* api = print_api();
  if (!api) {
    st().problem = module().problem;
    qn_error(st().problem, qnb::QN_FAIL, status);
  }
  return api;
}

QPageLayout layout_of(const qn_page_data& page, bool landscape) {
  const QSizeF paper(std::max(page.paper_width, 100) / 100.0, std::max(page.paper_height, 100) / 100.0);
  const QMarginsF margins(std::max(page.margin_left, 0) / 100.0, std::max(page.margin_top, 0) / 100.0,
                          std::max(page.margin_right, 0) / 100.0, std::max(page.margin_bottom, 0) / 100.0);
  QPageLayout layout(QPageSize(paper, QPageSize::Millimeter), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(), QPageLayout::Millimeter);
  // Margins that leave no printable area are dropped rather than refused by the printer.
  layout.setMode(QPageLayout::StandardMode);
  if (!layout.setMargins(margins)) layout.setMargins(QMarginsF());
  return layout;
}

qn_page_data page_data_of(const QPageLayout& layout) {
  const QSizeF paper = layout.fullRect(QPageLayout::Millimeter).size();
  const QMarginsF m = layout.margins(QPageLayout::Millimeter);
  auto h = [](double mm) { return int32_t(mm * 100.0 + 0.5); };
  return {h(m.left()), h(m.top()), h(m.right()), h(m.bottom()), h(paper.width()), h(paper.height())};
}

// The dialog answer of a test (cancelled when boxes are unseen), or -1 when the real dialog is to be shown.
int32_t answered(std::string_view dialog) {
  if (qn_boxes_unseen()) return 0;  // nobody could answer it: cancelled
  return st().answerer ? st().answerer(dialog) : -1;
}

// Where the output goes: a PDF file named by the environment, a PDF file named after the job
// when asked for or when no printer is set up, else the printer (or file) that the user chooses
// in the print dialog.  False when the user cancelled.
bool choose_output(const qnb::print_module& api, print_job& job, std::string_view job_name, int32_t window,
                   bool to_file) {
  auto pdf = std::make_unique<qnb::pdf_target>();
  // Where nobody could answer the print dialog, the job goes to a file as in automatic mode.
  if (pdf->choose(job_name, false) || pdf->choose(job_name, to_file || qn_boxes_unseen() || !api.printers_set_up())) {
    job.pdf = std::move(pdf);
    return true;
  }
  const int32_t answer = answered("print");
  if (answer >= 0) return answer != 0;
  return qnb::run_nested([&] { return job.printer->print_dialog(qnb::window_widget(window)); });
}

// Why a PDF file could not be opened for writing: the system's error number of an open as the
// PDF writer makes it.  A file that this trial creates is removed again.
int32_t open_failure_reason(const QString& file) {
  const QByteArray path = QFile::encodeName(file);
  const bool existed = QFileInfo::exists(file);
  // Not blocking: a pipe without a reader answers at once (ENXIO) instead of waiting for one.
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return errno != 0 ? errno : EIO;
  ::close(fd);
  if (!existed) ::unlink(path.constData());
  return EIO;  // it opens now, but the writer could not open it
}

void note_file_failure(const std::string& file, int32_t reason, const std::string& text = {}) {
  st().last_file = file;
  st().last_file_error = reason;
  st().last_file_reason = text.empty() ? std::string(std::strerror(reason)) : text;
}

// The printable area of the job's current page in device pixels.
QSize page_pixels(qnb::module_printer& printer) {
  return printer.device().pageLayout().paintRectPixels(printer.resolution()).size();
}

print_job* job_of(const ups& u, const char* routine, int* status) {
  auto it = st().jobs.find(u.reserved[job_slot]);
  if (u.stamp != QN_STAMP || u.reserved[job_slot] == 0 || it == st().jobs.end()) {
    qnb::report_bad_ups(routine, status);
    return nullptr;
  }
  return &it->second;
}

// Opens the job's context on its current page: on the printer, or on the scrap after a cancel.
void open_page_context(ups& u, int32_t number, print_job& job) {
  std::shared_ptr<QPainter> painter = job.aborted ? job.scrap_painter : job.painter;
  qnb::open_printer_context(u, painter, page_pixels(*job.printer), job.printer->resolution());
  u.reserved[job_slot] = number;
}

std::unique_ptr<QDialog> spool_dialog(std::string_view job_name, std::shared_ptr<bool> cancelled) {
  auto dialog = std::make_unique<QDialog>();
  dialog->setWindowTitle(qnb::from_1252(job_name).trimmed());
  dialog->setModal(false);
  auto* layout = new QVBoxLayout(dialog.get());
  layout->addWidget(new QLabel(QStringLiteral("Spooling Print Job:"), dialog.get()));
  layout->addWidget(new QLabel(qnb::from_1252(job_name).trimmed(), dialog.get()));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog.get());
  layout->addWidget(cancel);
  QDialog* raw = dialog.get();
  QObject::connect(cancel, &QPushButton::clicked, raw, [cancelled, raw] {
    *cancelled = true;
    raw->hide();
  });
  dialog->show();
  return dialog;
}

// Ends the current page: it counts as printed unless the job was cancelled.  A cancelled job
// is aborted once; its PDF file is removed, and drawing goes on into the scrap picture.
void end_page(print_job& job) {
  if (*job.cancelled) {
    if (!job.aborted) {
      job.aborted = true;
      job.printer->abort();
      job.painter->end();
      if (job.pdf)
        job.pdf->discard();
      else if (job.printer->is_pdf())
        QFile::remove(job.printer->file());
      job.scrap = QImage(1, 1, QImage::Format_RGB32);
      job.scrap_painter = std::make_shared<QPainter>(&job.scrap);
    }
    return;
  }
  ++job.pages;
  st().last_pages = job.pages;
}

// Ends the job; its own PDF file, unless the job was cancelled, is delivered.  0 or the system's
// reason why that file did not get written whole (its text in `reason`).
int32_t finish_job(int32_t number, std::string* reason = nullptr) {
  auto it = st().jobs.find(number);
  if (it == st().jobs.end()) return 0;
  print_job& job = it->second;
  if (job.painter->isActive()) job.painter->end();
  if (job.scrap_painter && job.scrap_painter->isActive()) job.scrap_painter->end();
  if (job.spool) job.spool->hide();
  const int32_t failed = job.pdf && !job.aborted ? job.pdf->deliver() : 0;
  if (failed != 0 && reason) *reason = job.pdf->reason();
  st().jobs.erase(it);
  return failed;
}

// A job still open when the process exits is ended before the exit takes Qt's globals away, so
// that its pages are in the file and no painter ends after Qt is gone.  The runtime ends its jobs
// itself; this is the library's own last resort.
void end_jobs_at_exit() {
  while (!st().jobs.empty()) finish_job(st().jobs.begin()->first);
}

}  // namespace

bool START_PRINT(ups& u, const print_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  st().last_file.clear();
  st().last_file_error = 0;
  st().last_file_reason.clear();
  st().problem.clear();
  const qnb::print_module* api = print_api_or_report(o.status);
  if (!api) {
    u.stamp = 0;
    return false;
  }
  static const bool ends_at_exit = std::atexit(end_jobs_at_exit) == 0;
  (void)ends_at_exit;
  print_job job;
  job.printer.reset(api->new_printer());
  const std::string_view name = o.job_name.value_or("");
  job.printer->set_document(qnb::from_1252(name).trimmed(), QStringLiteral("WinKYR"));
  const bool landscape = o.landscape.value_or(st().landscape);
  job.printer->device().setPageLayout(layout_of(st().page, landscape));
  const bool to_file = (o.flags.value_or(0) & QN_PRINT_TO_FILE) != 0;
  if (!choose_output(*api, job, name, o.window.value_or(0), to_file)) {
    u.stamp = 0;
    return false;
  }
  if (job.pdf) {
    if (const int32_t failed = job.pdf->open(); failed != 0) {
      u.stamp = 0;
      note_file_failure(job.pdf->readable_name(), failed, job.pdf->reason());
      qn_error("Unable to start the print job", qnb::QN_FAIL, o.status);
      return false;
    }
    job.printer->to_pdf(job.pdf->writer_file());
  }
  job.painter = std::make_shared<QPainter>();
  if (!job.painter->begin(&job.printer->device())) {
    u.stamp = 0;
    if (job.printer->is_pdf()) {
      const QString file = job.printer->file();
      note_file_failure(job.pdf ? job.pdf->readable_name() : qnb::to_1252(file), open_failure_reason(file));
    }
    qn_error("Unable to start the print job", qnb::QN_FAIL, o.status);
    return false;
  }
  // The spooling dialog only where it can be seen and its Cancel pressed: a window made and
  // destroyed for every job costs where nobody sees it (the offscreen platform keeps part of each).
  if (!qn_boxes_unseen()) job.spool = spool_dialog(name, job.cancelled);
  const int32_t number = qnb::new_handle();
  st().last_pages = 0;
  st().last_file = job.pdf ? job.pdf->readable_name() : job.printer->is_pdf() ? qnb::to_1252(job.printer->file()) : "";
  print_job& kept = st().jobs.emplace(number, std::move(job)).first->second;
  open_page_context(u, number, kept);
  return true;
}

void NEXT_PRINT_PAGE(ups& u, int* status) { NEXT_PRINT_PAGE(u, {.status = status}); }

void NEXT_PRINT_PAGE(ups& u, const next_page_opts& o) {
  int* status = o.status;
  qnb::clear_status(status);
  print_job* job = job_of(u, "NEXT_PRINT_PAGE", status);
  if (!job) return;
  end_page(*job);
  if (!job->aborted) {
    // A page setup changed since the job started applies from this page on, and so does the
    // orientation asked for (a landscape page after portrait ones).
    QPagedPaintDevice& device = job->printer->device();
    const bool landscape = o.landscape.value_or(device.pageLayout().orientation() == QPageLayout::Landscape);
    const QPageLayout next = layout_of(st().page, landscape);
    if (!next.isEquivalentTo(device.pageLayout())) device.setPageLayout(next);
    if (!device.newPage()) {
      qn_error("Unable to start a new page", qnb::QN_FAIL, status);
      return;
    }
  }
  // The context starts over on the empty page: position at the top, the context's own font gone.
  const int32_t number = u.reserved[job_slot];
  qnb::close_context(u);
  open_page_context(u, number, *job);
}

void END_PRINT(ups& u, int* status) {
  qnb::clear_status(status);
  print_job* job = job_of(u, "END_PRINT", status);
  if (!job) return;
  end_page(*job);
  // The PDF writer writes the file as it goes and reports no failure: the finished file says
  // whether it all got there (a file of the print dialog's), or its delivery does.
  const bool dialog_pdf = !job->aborted && !job->pdf && job->printer->is_pdf();
  const QString file = job->printer->file();
  const std::string name = job->pdf ? job->pdf->readable_name() : qnb::to_1252(file);
  const int32_t number = u.reserved[job_slot];
  qnb::close_context(u);
  std::string reason;
  int32_t failed = finish_job(number, &reason);
  if (failed == 0 && dialog_pdf) failed = qnb::pdf_incomplete_reason(file);
  if (failed != 0) {
    note_file_failure(name, failed, reason);
    qn_error("Unable to write the print file", qnb::QN_FAIL, status);
  }
}

qn_page_data GET_PAGE_DATA(ups* u, int* status) {
  qnb::clear_status(status);
  if (u && u->stamp == QN_STAMP) {
    auto it = st().jobs.find(u->reserved[job_slot]);
    if (u->reserved[job_slot] != 0 && it != st().jobs.end()) return page_data_of(it->second.printer->device().pageLayout());
  }
  return st().page;
}

void SET_PAGE_DATA(ups*, const qn_page_data& data, int* status) {
  qnb::clear_status(status);
  qn_page_data page = data;
  if (page.paper_width <= 0 || page.paper_height <= 0) {
    page.paper_width = st().page.paper_width;
    page.paper_height = st().page.paper_height;
  }
  page.margin_left = std::clamp(page.margin_left, 0, page.paper_width / 2);
  page.margin_right = std::clamp(page.margin_right, 0, page.paper_width / 2);
  page.margin_top = std::clamp(page.margin_top, 0, page.paper_height / 2);
  page.margin_bottom = std::clamp(page.margin_bottom, 0, page.paper_height / 2);
  st().page = page;
}

int32_t page_setup_dialog(int32_t& flags, int32_t window, bool landscape, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  const int32_t answer = answered("page setup");
  if (answer >= 0) return answer != 0 ? 1 : 0;
  st().problem.clear();
  const qnb::print_module* api = print_api_or_report(status);
  if (!api) return 0;
  QPageLayout layout = layout_of(st().page, landscape || st().landscape);
  if (!qnb::run_nested([&] { return api->page_setup_dialog(layout, qnb::window_widget(window)); })) return 0;
  const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
  st().page = page_data_of(layout);
  st().page.paper_width = int32_t(paper.width() * 100.0 + 0.5);
  st().page.paper_height = int32_t(paper.height() * 100.0 + 0.5);
  st().landscape = layout.orientation() == QPageLayout::Landscape;
  flags = 0;
  return 1;
}

void qn_set_print_dialog_answerer(std::function<int32_t(std::string_view dialog)> answerer) {
  st().answerer = std::move(answerer);
}

int32_t qn_print_pages() { return st().last_pages; }
std::string qn_print_output_file() { return st().last_file; }
int32_t qn_print_output_error() { return st().last_file_error; }
std::string qn_print_output_reason() { return st().last_file_reason; }
std::string qn_print_problem() { return st().problem; }

void qn_set_print_module_file(std::string_view file) {
  // A module opened before stays loaded; the next job opens the one named now.
  module() = module_state{};
  module().file = std::string(file);
}

void qn_print_reset() {
  while (!st().jobs.empty()) finish_job(st().jobs.begin()->first);
  st() = printing_state{};
}
