// The system clipboard: a window's or a bitmap's picture as an image, and pasting the
// clipboard into files.
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include "quillon/api/save_file.h"
#include "quillon/backend/backend.h"

namespace {

void put_image(const QImage& image) {
  qnb::ensure_app();
  QGuiApplication::clipboard()->setImage(image);
}

}  // namespace

void COPY_WINDOW_TO_CLIPBOARD(int32_t window, int* status) {
  qnb::clear_status(status);
  const QImage image = qnb::window_picture(window);
  if (image.isNull()) {
    qn_error("Invalid Window handle in COPY_WINDOW_TO_CLIPBOARD", qnb::QN_FAIL, status);
    return;
  }
  put_image(image);
}

void COPY_BITMAP_TO_CLIPBOARD(int32_t bitmap, int* status) {
  qnb::clear_status(status);
  const QImage* image = qnb::bitmap_image(bitmap);
  if (image == nullptr || image->isNull()) {
    qn_error("Invalid Bitmap handle in COPY_BITMAP_TO_CLIPBOARD", qnb::QN_FAIL, status);
    return;
  }
  put_image(*image);
}

namespace qnb {

// The clipboard is the process's own on a headless platform: an image an earlier test put
// there would otherwise still be found.
void clipboard_reset() {
  if (QGuiApplication::instance() != nullptr) QGuiApplication::clipboard()->clear();
}

}  // namespace qnb

qn_point qn_clipboard_image_size() {
  if (QGuiApplication::instance() == nullptr) return {};
  const QImage image = QGuiApplication::clipboard()->image();
  if (image.isNull()) return {};
  return {image.width(), image.height()};
}

uint32_t qn_clipboard_pixel(int32_t x, int32_t y) {
  if (QGuiApplication::instance() == nullptr) return 0xFFFFFFFF;
  const QImage image = QGuiApplication::clipboard()->image();
  if (image.isNull() || !image.valid(x, y)) return 0xFFFFFFFF;
  return qnb::colorref_of(image.pixel(x, y));
}

void qn_set_clipboard_text(std::string_view text) {
  qnb::ensure_app();
  QGuiApplication::clipboard()->setText(qnb::from_1252(text));
}

bool qn_clipboard_text(std::string& text) {
  qnb::ensure_app();
  const QString held = QGuiApplication::clipboard()->text();
  if (held.isEmpty()) return false;
  text = qnb::to_1252(held);
  return true;
}

namespace {

// The clipboard's text as 1252 lines ending in "\n"; false when it holds no text.
bool clipboard_text(std::string& out) {
  std::string text;
  if (!qn_clipboard_text(text)) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') out += text[i];
    else if (i + 1 >= text.size() || text[i + 1] != '\n') out += '\n';
  }
  if (out.back() != '\n') out += '\n';
  return true;
}

}  // namespace

void PASTE_FROM_CLIPBOARD(const paste_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  if (o.format == QN_CF_TEXT) {
    std::string text;
    if (!clipboard_text(text)) {
      if (o.status) *o.status = qnb::QN_FAIL;
      return;
    }
    if (o.text) *o.text = text;
    if (o.file) {
      save_file out;
      if (out.open(qnb::resolve_file_name(*o.file)) == 0) out.write(text);
      if (out.commit() != 0 && o.status) *o.status = qnb::QN_FAIL;
    }
    return;
  }
  if (o.format == QN_CF_BITMAP) {
    const QImage image = QGuiApplication::clipboard()->image();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    save_file out;
    if (!image.isNull() && o.file && buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "BMP") &&
        out.open(qnb::resolve_file_name(*o.file)) == 0)
      out.write({bytes.constData(), size_t(bytes.size())});
    if (out.commit() != 0 && o.status) *o.status = qnb::QN_FAIL;
    return;
  }
  if (o.status) *o.status = qnb::QN_FAIL;  // a format the clipboard glue does not know
}
