// Printing: print jobs on QPrinter, the kept page setup and the page setup dialog.
//
// A job's drawing context is an ordinary bitmap context on a white page bitmap the size of the
// printable area at 96 dpi, so that every drawing and text routine works on it unchanged.  When
// a page ends, the bitmap goes to the printer as one picture stretched over the printable area.
#include "quillon/backend/backend.h"

#include <QDialog>
#include <QLabel>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

constexpr double page_dpi = 96.0;
constexpr double mm_per_inch = 25.4;

struct print_job {
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QPainter> painter;
  int32_t bitmap = 0;
  int32_t pages = 0;
  // The modeless spooling dialog; its Cancel sets the flag, and the job then drops its pages.
  std::unique_ptr<QDialog> spool;
  std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
  bool aborted = false;
};

struct printing_state {
  // Paper and margins in hundredths of a millimetre (A4 with 2 cm margins until changed).
  qn_page_data page{2000, 2000, 2000, 2000, 21000, 29700};
  bool landscape = false;
  std::map<int32_t, print_job> jobs;  // by page bitmap
  std::function<int32_t(std::string_view)> answerer;
  int32_t last_pages = 0;
  std::string last_file;
};
printing_state& st() {
  static printing_state s;
  return s;
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

// The dialog answer of a test (cancelled when boxes are unseen), or -1 when the real dialog is to be shown.
int32_t answered(std::string_view dialog) {
  if (qn_boxes_unseen()) return 0;  // nobody could answer it: cancelled
  return st().answerer ? st().answerer(dialog) : -1;
}

// Where the output goes: a PDF file named by the environment, or by the job when there is no
// printer; otherwise the printer that the user chooses.  False when the user cancelled.
bool choose_output(QPrinter& printer, std::string_view job_name, int32_t window) {
  const char* pdf = std::getenv("WINKYR_PRINT_PDF");
  if (pdf && *pdf) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromUtf8(pdf));
    return true;
  }
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    std::string name(job_name);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) name = "print";
    printer.setOutputFileName(QString::fromStdString(qnb::resolve_file_name(name + ".pdf")));
    return true;
  }
  const int32_t answer = answered("print");
  if (answer >= 0) return answer != 0;
  QPrintDialog dialog(&printer, qnb::window_widget(window));
  return dialog.exec() == QDialog::Accepted;
}

// A white page bitmap of the printable area of the job's layout.
int32_t new_page_bitmap(const QPrinter& printer) {
  const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
  const int width = std::max(1, int(area.width() * page_dpi / mm_per_inch + 0.5));
  const int height = std::max(1, int(area.height() * page_dpi / mm_per_inch + 0.5));
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return qnb::add_bitmap(std::move(image));
}

print_job* job_of(const ups& u, const char* routine, int* status) {
  auto it = st().jobs.find(u.bitmap);
  if (u.stamp != QN_STAMP || it == st().jobs.end()) {
    qnb::report_bad_ups(routine, status);
    return nullptr;
  }
  return &it->second;
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

// Sends the page bitmap to the printer, stretched over the printable area; a cancelled job
// is aborted once and prints nothing more.
void emit_page(print_job& job) {
  if (*job.cancelled) {
    if (!job.aborted) job.printer->abort();
    job.aborted = true;
    return;
  }
  const QImage* image = qnb::bitmap_image(job.bitmap);
  if (image) {
    const QRect target(0, 0, job.printer->width(), job.printer->height());
    job.painter->drawImage(target, *image);
  }
  ++job.pages;
  st().last_pages = job.pages;
}

void finish_job(int32_t bitmap) {
  auto it = st().jobs.find(bitmap);
  if (it == st().jobs.end()) return;
  if (it->second.painter->isActive()) it->second.painter->end();
  if (it->second.spool) it->second.spool->hide();
  DELETE_OBJECT(bitmap);
  st().jobs.erase(it);
}

}  // namespace

bool START_PRINT(ups& u, const print_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  print_job job;
  job.printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  const std::string_view name = o.job_name.value_or("");
  job.printer->setDocName(qnb::from_1252(name).trimmed());
  const bool landscape = o.landscape.value_or(st().landscape);
  job.printer->setPageLayout(layout_of(st().page, landscape));
  if (!choose_output(*job.printer, name, o.window.value_or(0))) {
    u.stamp = 0;
    return false;
  }
  job.painter = std::make_unique<QPainter>();
  if (!job.painter->begin(job.printer.get())) {
    u.stamp = 0;
    qn_error("Unable to start the print job", qnb::QN_FAIL, o.status);
    return false;
  }
  job.bitmap = new_page_bitmap(*job.printer);
  job.spool = spool_dialog(name, job.cancelled);
  START_BITMAP_DRAW(job.bitmap, u);
  st().last_pages = 0;
  st().last_file = job.printer->outputFileName().toStdString();
  st().jobs.emplace(job.bitmap, std::move(job));
  return true;
}

void NEXT_PRINT_PAGE(ups& u, int* status) {
  qnb::clear_status(status);
  print_job* job = job_of(u, "NEXT_PRINT_PAGE", status);
  if (!job) return;
  emit_page(*job);
  // A page setup changed since the job started applies from this page on.
  const QPageLayout next = layout_of(st().page, job->printer->pageLayout().orientation() == QPageLayout::Landscape);
  if (!next.isEquivalentTo(job->printer->pageLayout())) job->printer->setPageLayout(next);
  if (!job->aborted && !job->printer->newPage()) {
    qn_error("Unable to start a new page", qnb::QN_FAIL, status);
    return;
  }
  // The context starts over on an empty page: position at the top, the context's own font gone.
  END_BITMAP_DRAW(u);
  const int32_t old_bitmap = job->bitmap;
  print_job moved = std::move(*job);
  st().jobs.erase(old_bitmap);
  DELETE_OBJECT(old_bitmap);
  moved.bitmap = new_page_bitmap(*moved.printer);
  START_BITMAP_DRAW(moved.bitmap, u);
  st().jobs.emplace(moved.bitmap, std::move(moved));
}

void END_PRINT(ups& u, int* status) {
  qnb::clear_status(status);
  print_job* job = job_of(u, "END_PRINT", status);
  if (!job) return;
  emit_page(*job);
  const int32_t bitmap = job->bitmap;
  END_BITMAP_DRAW(u);
  finish_job(bitmap);
  u.stamp = 0;
}

qn_page_data GET_PAGE_DATA(ups* u, int* status) {
  qnb::clear_status(status);
  if (u && u->stamp == QN_STAMP) {
    auto it = st().jobs.find(u->bitmap);
    if (it != st().jobs.end()) {
      const QPageLayout layout = it->second.printer->pageLayout();
      const QSizeF paper = layout.fullRect(QPageLayout::Millimeter).size();
      const QMarginsF m = layout.margins(QPageLayout::Millimeter);
      auto h = [](double mm) { return int32_t(mm * 100.0 + 0.5); };
      return {h(m.left()), h(m.top()), h(m.right()), h(m.bottom()), h(paper.width()), h(paper.height())};
    }
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
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(layout_of(st().page, landscape || st().landscape));
  QPageSetupDialog dialog(&printer, qnb::window_widget(window));
  if (dialog.exec() != QDialog::Accepted) return 0;
  const QPageLayout layout = printer.pageLayout();
  const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
  const QMarginsF m = layout.margins(QPageLayout::Millimeter);
  auto h = [](double mm) { return int32_t(mm * 100.0 + 0.5); };
  st().page = {h(m.left()), h(m.top()), h(m.right()), h(m.bottom()), h(paper.width()), h(paper.height())};
  st().landscape = layout.orientation() == QPageLayout::Landscape;
  flags = 0;
  return 1;
}

void qn_set_print_dialog_answerer(std::function<int32_t(std::string_view dialog)> answerer) {
  st().answerer = std::move(answerer);
}

int32_t qn_print_pages() { return st().last_pages; }
std::string qn_print_output_file() { return st().last_file; }

void qn_print_reset() {
  while (!st().jobs.empty()) finish_job(st().jobs.begin()->first);
  st() = printing_state{};
}
