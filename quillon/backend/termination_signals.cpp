// Termination signals (SIGTERM, SIGHUP, SIGINT) into the event loop: the handler only writes the
// signal's number into a pipe (write is async-signal-safe); a socket notifier on the pipe's
// other end hands it to the runtime's routine at the next turn of the loop or of the pump.  A
// call that blocks (a command the run waits for, a pause, a server, a pipe) waits on the pipe as
// well, so that the signal ends the wait and the runtime takes it at once.  A second signal ends
// the process on the spot: the orderly end that the first began may itself hang on a stalled
// server or pipe; it first removes the files that only this process made (own_files.h), which
// no orderly end will come to remove.  A signal that the process inherited as ignored stays
// ignored.
#include "quillon/backend/backend.h"
#include "quillon/api/own_files.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

namespace {

constexpr int watched_signals[] = {SIGTERM, SIGHUP, SIGINT};

struct signal_watch {
  int pipe_fds[2] = {-1, -1};
  QSocketNotifier* notifier = nullptr;
  void (*handler)(int signal) = nullptr;
  bool installed[std::size(watched_signals)] = {};  // false where the signal stays ignored
};
signal_watch watch;

// What the handler reads and writes: the pipe's write end and the signals seen so far.  Two
// signals can be handled at once on two threads of the process: the count is taken atomically,
// so that exactly one of them is the first.
volatile sig_atomic_t write_end = -1;
std::atomic<int> signals_seen{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler counts the signals");

extern "C" void on_signal(int signal) {
  if (signals_seen.fetch_add(1) > 0) {
    remove_own_files();
    _exit(128 + signal);
  }
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
  for (size_t i = 0; i < std::size(watched_signals); ++i) {
    // Ignored when the process started (SIGHUP under nohup, SIGINT of a background job): the
    // one who started it wants it so.
    struct sigaction inherited {};
    if (sigaction(watched_signals[i], nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    watch.installed[i] = sigaction(watched_signals[i], &action, nullptr) == 0;
  }
}

qn_wait_end qn_wait_ready(int fd, short events, int timeout_ms) {
  using clock = std::chrono::steady_clock;
  const auto until = clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    pollfd watched[2] = {{fd, events, 0}, {watch.pipe_fds[0], POLLIN, 0}};
    int left = -1;
    if (timeout_ms >= 0)
      left = static_cast<int>(std::max<int64_t>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(until - clock::now()).count()));
    const int n = ::poll(watched, 2, left);
    if (n < 0 && errno != EINTR) return qn_wait_end::ready;  // nothing to wait on: the caller finds out why
    if (watched[1].revents != 0) return qn_wait_end::signal;
    if (n > 0 && watched[0].revents != 0) return qn_wait_end::ready;
    if (n == 0 && timeout_ms >= 0) return qn_wait_end::timeout;
  }
}

int qn_take_termination_signal() {
  unsigned char number = 0;
  return watch.pipe_fds[0] >= 0 && ::read(watch.pipe_fds[0], &number, 1) == 1 ? number : 0;
}

namespace qnb {

void signals_reset() {
  signals_seen = 0;
  if (watch.notifier == nullptr) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(watched_signals); ++i)
    if (watch.installed[i]) sigaction(watched_signals[i], &action, nullptr);
  write_end = -1;
  delete watch.notifier;
  ::close(watch.pipe_fds[0]);
  ::close(watch.pipe_fds[1]);
  watch = signal_watch{};
}

}  // namespace qnb
