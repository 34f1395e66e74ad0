// The least a Qt 6 Widgets program does to show a window: the application, one shown window,
// and a quit from a zero timer.  The start-up benchmark runs it beside the runtime.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(640, 480);
  window.setWindowTitle("WinKYR");
  window.show();
  QTimer::singleShot(0, &app, &QApplication::quit);
  return app.exec();
}
