// The file dialog: the desktop's (through QFileDialog), or the answerer that tests install in its place.
#include "quillon/backend/backend.h"

#include <QFileDialog>
#include <QStringList>

namespace {

struct file_dialog_state {
  std::function<bool(const file_dialog_opts&, std::string&)> answerer;
};
file_dialog_state& st() {
  static file_dialog_state s;
  return s;
}

std::string trimmed(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return std::string(text.substr(0, n));
}

// "*.TXT" stays one pattern; "Texte|*.txt|Alle|*.*" becomes "Texte (*.txt);;Alle (*.*)".
// Patterns may list several globs separated by ";", which Qt wants separated by blanks.
QString qt_filter(std::string_view filter) {
  const QString text = qnb::from_1252(trimmed(filter)).trimmed();
  if (text.isEmpty()) return QStringLiteral("* (*)");
  const QStringList parts = text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
  if (parts.size() < 2) return text + QStringLiteral(" (") + QString(text).replace(QLatin1Char(';'), QLatin1Char(' ')) + QStringLiteral(")");
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i].trimmed() + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')).trimmed() + QStringLiteral(")");
  return out.join(QStringLiteral(";;"));
}

}  // namespace

bool qn_file_dialog(const file_dialog_opts& o, std::string& chosen) {
  chosen.clear();
  if (qn_boxes_unseen()) {
    qn_error_line("File dialog cancelled, no display: " + trimmed(o.title));
    return false;
  }
  if (st().answerer) return st().answerer(o, chosen);
  qnb::ensure_app();
  return qnb::run_nested([&] {
    // The desktop's own file dialog where it has one.
    QFileDialog dialog(qnb::window_widget(qn_main_window()), qnb::from_1252(trimmed(o.title)));
    dialog.setNameFilter(qt_filter(o.filter));
    dialog.setFileMode(o.must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!o.create_prompt) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!qnb::hold_in_nested_loop(&dialog) || dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    chosen = qnb::to_1252(files.first());
    return true;
  });
}

void qn_set_file_dialog_answerer(std::function<bool(const file_dialog_opts& o, std::string& chosen)> answerer) {
  st().answerer = std::move(answerer);
}
