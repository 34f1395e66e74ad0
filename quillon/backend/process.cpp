// The start of the runtime's process: Qt's messages kept from the terminal, the display opened
// or its absence said in one line, and unseen boxes on a platform without a visible screen.
#include "quillon/backend/backend.h"

#include <QGuiApplication>

#include <signal.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool opening_display = false;

// Qt's debug, information and warning messages (a missing XDG_RUNTIME_DIR, the platform's
// notes) are not the user's business; they reach standard error only when the user asks Qt
// for them with QT_LOGGING_RULES; critical ones pass.  A fatal message while the display is being opened means
// there is none: one line says what is missing and how to run without one.
void qt_message(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg && opening_display) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "winkyr: cannot open a display (DISPLAY=%s, platform %s); to run without one, set "
                 "QT_QPA_PLATFORM=offscreen\n",
                 display && *display ? display : "not set",
                 std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "default");
    std::fflush(stderr);
    std::_Exit(qn_status_no_display);
  }
  // While the display is opened, the platform's complaints lead up to the line above.
  const bool asked = std::getenv("QT_LOGGING_RULES") != nullptr;
  if (type == QtFatalMsg || (type == QtCriticalMsg && !opening_display) || asked) {
    const QByteArray line = message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
  }
}

std::vector<int> ignored_signals;

// A write past the file size limit (SIGXFSZ) or into a pipe whose reader has gone (SIGPIPE)
// would end the process with its lines unwritten; ignored, the write fails (EFBIG, EPIPE) and
// is reported like a full disk, and the program goes on.
void ignore_write_signals() {
  for (const int signal : {SIGXFSZ, SIGPIPE}) {
    struct sigaction action {}, old {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    if (sigaction(signal, &action, &old) == 0 && old.sa_handler != SIG_IGN) ignored_signals.push_back(signal);
  }
}

}  // namespace

const std::vector<int>& qnb::signals_ignored_for_the_runtime() { return ignored_signals; }

void qn_start_process() {
  if (ignored_signals.empty()) ignore_write_signals();
  qInstallMessageHandler(qt_message);
  opening_display = true;
  qnb::ensure_app();
  opening_display = false;
  const QString platform = QGuiApplication::platformName();
  qn_set_boxes_unseen(platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"));
}
