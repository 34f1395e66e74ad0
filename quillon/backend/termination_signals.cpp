// Termination signals (SIGTERM, SIGHUP, SIGINT) into the event loop: the handler only writes the
// signal's number into a pipe (write is async-signal-safe); a socket notifier on the pipe's
// other end hands it to the runtime's routine at the next turn of the loop or of the pump.
#include "quillon/backend/backend.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int watched_signals[] = {SIGTERM, SIGHUP, SIGINT};

struct signal_watch {
  int pipe_fds[2] = {-1, -1};
  QSocketNotifier* notifier = nullptr;
  void (*handler)(int signal) = nullptr;
};
signal_watch watch;

// The one volatile the handler reads: the pipe's write end.
volatile sig_atomic_t write_end = -1;

extern "C" void on_signal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  if (write_end >= 0) (void)!::write(write_end, &number, 1);
  errno = saved;
}

void deliver() {
  unsigned char number = 0;
  while (::read(watch.pipe_fds[0], &number, 1) == 1)
    if (watch.handler != nullptr) watch.handler(number);
}

}  // namespace

void qn_on_termination_signals(void (*handler)(int signal)) {
  qnb::ensure_app();
  watch.handler = handler;
  if (watch.notifier != nullptr) return;
  if (::pipe2(watch.pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  watch.notifier = new QSocketNotifier(watch.pipe_fds[0], QSocketNotifier::Read);
  QObject::connect(watch.notifier, &QSocketNotifier::activated, [] { deliver(); });
  write_end = watch.pipe_fds[1];
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : watched_signals) sigaction(signal, &action, nullptr);
}

namespace qnb {

void signals_reset() {
  if (watch.notifier == nullptr) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : watched_signals) sigaction(signal, &action, nullptr);
  write_end = -1;
  delete watch.notifier;
  ::close(watch.pipe_fds[0]);
  ::close(watch.pipe_fds[1]);
  watch = signal_watch{};
}

}  // namespace qnb
