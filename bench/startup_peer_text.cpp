// A Qt 6 Widgets program that shows a 640 x 480 window and paints a framed box with one line of
// text in it, then quits from a zero timer set by its first paint.  The start-up benchmark runs
// it beside the runtime as the peer that shows as much as the runtime's loading box.
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {
class text_window : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect box(width() / 2 - 90, height() / 2 - 22, 180, 44);
    p.fillRect(box, QColor(0xC0, 0xC0, 0xC0));
    p.setPen(Qt::black);
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, QStringLiteral("Loading..."));
    if (!quit_posted_) {
      quit_posted_ = true;
      QTimer::singleShot(0, qApp, &QApplication::quit);
    }
  }

 private:
  bool quit_posted_ = false;
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  text_window window;
  window.resize(640, 480);
  window.setWindowTitle("WinKYR");
  window.show();
  return app.exec();
}
