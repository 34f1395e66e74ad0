// Message boxes: QMessageBox, or the answerer that tests install in its place.
#include "quillon/backend/backend.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>

namespace {

struct box_state {
  std::function<int32_t(std::string_view, std::string_view, int32_t)> answerer;
  bool unseen = false;
};
box_state& st() {
  static box_state s;
  return s;
}

std::string trimmed(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return std::string(text.substr(0, n));
}

// The answer of automatic mode: OK where the box has only OK, else No, else Cancel.
int32_t automatic_answer(int32_t style) {
  switch (style & 0xF) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDNO;
    default: return IDOK;
  }
}

}  // namespace

namespace qnb {

int32_t show_box(std::string_view text, std::string_view caption, int32_t style, int32_t window) {
  if (st().unseen) {
    qn_error_line(caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text));
    return automatic_answer(style);
  }
  if (st().answerer) return st().answerer(text, caption, style);
  ensure_app();
  return run_nested([&] {
    QMessageBox box(window_widget(window ? window : qn_main_window()));
    box.setWindowTitle(readable_from_1252(caption));
    box.setText(readable_from_1252(text));
    switch (style & 0xF0) {
      case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
      case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
      case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
      case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
      default: break;
    }
    QMessageBox::StandardButtons buttons;
    switch (style & 0xF) {
      case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
      case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
      case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
      default: buttons = QMessageBox::Ok; break;
    }
    box.setStandardButtons(buttons);
    if (hold_in_nested_loop(&box)) box.exec();
    switch (box.standardButton(box.clickedButton())) {
      case QMessageBox::Ok: return IDOK;
      case QMessageBox::Yes: return IDYES;
      case QMessageBox::No: return IDNO;
      case QMessageBox::Cancel: return IDCANCEL;
      default:
        // Closed without a button: Cancel where there is one, else the only way out.
        if (buttons & QMessageBox::Cancel) return IDCANCEL;
        return (buttons & QMessageBox::No) ? IDNO : IDOK;
    }
  });
}

void boxes_reset() { st() = box_state{}; }

}  // namespace qnb

int32_t MESSAGE_BOX(std::string_view text, const message_box_opts& o) {
  qnb::clear_status(o.status);
  return qnb::show_box(trimmed(text), trimmed(o.caption.value_or("")), o.style.value_or(MB_OK),
                       o.window.value_or(0));
}

void qn_set_box_answerer(
    std::function<int32_t(std::string_view text, std::string_view caption, int32_t style)> answerer) {
  st().answerer = std::move(answerer);
}

void qn_set_boxes_unseen(bool unseen) { st().unseen = unseen; }
bool qn_boxes_unseen() { return st().unseen; }

void qn_error_line(std::string_view text) {
  const QByteArray line = qnb::readable_from_1252(trimmed(text)).toUtf8() + '\n';
  std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
  std::fflush(stderr);
}
