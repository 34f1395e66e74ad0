// The system clipboard: a window's or a bitmap's picture as an image.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include "quillon/backend/backend.h"

namespace {

void put_image(const QImage& image) {
  qnb::ensure_app();
  QGuiApplication::clipboard()->setImage(image);
}

}  // namespace

void COPY_WINDOW_TO_CLIPBOARD(int32_t window, int* status) {
  qnb::clear_status(status);
  const QImage* image = qnb::window_image(window);
  if (image == nullptr || image->isNull()) {
    qn_error("Invalid Window handle in COPY_WINDOW_TO_CLIPBOARD", qnb::QN_FAIL, status);
    return;
  }
  put_image(*image);
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
