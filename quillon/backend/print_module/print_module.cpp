// The print module: the printer, the print dialog and the page setup dialog on Qt's print
// support.  The library opens this module when it first prints (printing.cpp).
#include "quillon/backend/print_module.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

class qt_printer final : public qnb::module_printer {
 public:
  QPagedPaintDevice& device() override { return printer_; }
  void set_document(const QString& name, const QString& creator) override {
    printer_.setDocName(name);
    printer_.setCreator(creator);
  }
  int resolution() const override { return printer_.resolution(); }
  void to_pdf(const QString& file) override {
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(file);
  }
  bool is_pdf() const override { return printer_.outputFormat() == QPrinter::PdfFormat; }
  QString file() const override { return printer_.outputFileName(); }
  void abort() override { printer_.abort(); }
  bool print_dialog(QWidget* parent) override {
    QPrintDialog dialog(&printer_, parent);
    return dialog.exec() == QDialog::Accepted;
  }

 private:
  QPrinter printer_{QPrinter::HighResolution};
};

bool page_setup(QPageLayout& layout, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(layout);
  QPageSetupDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  layout = printer.pageLayout();
  return true;
}

const qnb::print_module module_table{
    qnb::print_module_version,
    +[]() -> qnb::module_printer* { return new qt_printer; },
    +[] { return !QPrinterInfo::availablePrinters().isEmpty(); },
    page_setup,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const qnb::print_module* quillon_print_module() {
  return &module_table;
}
