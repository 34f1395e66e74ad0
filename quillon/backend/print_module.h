// The print module: everything of printing that needs Qt's print support (the printer itself,
// the print and page setup dialogs, the list of printers) lives in a module of its own that the
// library opens at the first print job or page setup, so that a program that never prints does
// not load print support at its start.  The module is built beside the runtime's executable;
// its one entry point hands out the table below.
#pragma once

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QWidget;

namespace qnb {

// A printer at its high resolution: the paint device that a job's painter draws on, and what
// only a printer has.
class module_printer {
 public:
  virtual ~module_printer() = default;
  virtual QPagedPaintDevice& device() = 0;
  virtual void set_document(const QString& name, const QString& creator) = 0;
  virtual int resolution() const = 0;
  // Output into a PDF file instead of a printer.
  virtual void to_pdf(const QString& file) = 0;
  virtual bool is_pdf() const = 0;
  virtual QString file() const = 0;
  virtual void abort() = 0;
  // The print dialog on this printer, modal over `parent`: true when the user confirmed.
  virtual bool print_dialog(QWidget* parent) = 0;
};

struct print_module {
  int version;
  module_printer* (*new_printer)();
  bool (*printers_set_up)();
  // The page setup dialog on `layout`, modal over `parent`; when the user confirms, true with
  // the chosen layout in `layout`.
  bool (*page_setup_dialog)(QPageLayout& layout, QWidget* parent);
};

// Raised whenever the table or the printer's functions change, so that a module of another
// build is refused instead of called wrongly.
constexpr int print_module_version = 1;
constexpr const char* print_module_file = "libquillon_print.so";
constexpr const char* print_module_entry = "quillon_print_module";

}  // namespace qnb

// The module's entry point.
extern "C" const qnb::print_module* quillon_print_module();
