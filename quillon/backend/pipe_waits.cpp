// The waits of opens, writes and reads on named pipes, each on the termination signals' pipe as
// well (qn_wait_ready), the program's lines written before each.
#include "quillon/api/pipe_waits.h"
#include "quillon/api/quillon.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {
// A wait of one of the routines below: the lines are written before the first of a call only
// (nothing is written while it waits).
qn_wait_end wait_for(int fd, short events, int timeout_ms, bool& lines_written) {
  if (lines_written) return qn_wait_ready(fd, events, timeout_ms);
  lines_written = true;
  return qn_wait_for(fd, events, timeout_ms);
}
}  // namespace

qn_wait_end qn_wait_for(int fd, short events, int timeout_ms) {
  qn_before_waiting();
  return qn_wait_ready(fd, events, timeout_ms);
}

int qn_open_waiting(const char* path, int flags, mode_t mode, struct stat* st) {
  struct stat own;
  if (st == nullptr) st = &own;
  const bool may_wait = (flags & O_NONBLOCK) == 0;
  bool lines_written = false;
  for (;;) {
    // Not blocking: an open of a pipe for writing would wait for its reader where no signal
    // reaches it (the handler's restart takes the call up again), one for reading for a writer.
    const int fd = ::open(path, flags | O_NONBLOCK, mode);
    if (fd >= 0) {
      if (::fstat(fd, st) != 0) {
        const int failed = errno;
        ::close(fd);
        errno = failed;
        return -1;
      }
      // Anything but a pipe is used as a plain open leaves it (a device, or a plain file, that the
      // flag might change).
      if (may_wait && !S_ISFIFO(st->st_mode)) ::fcntl(fd, F_SETFL, flags);
      return fd;
    }
    // ENXIO: a pipe that nobody reads yet (a socket refuses the same way, and is not waited for).
    // EWOULDBLOCK: a file under a lease that the open conflicts with (a file server's client has
    // it open); its holder has been told to give it back (or the system takes it back after the
    // lease break time), as a blocking open would wait for.
    const int failed = errno;
    struct stat node;
    const bool lease = failed == EWOULDBLOCK;
    if (!may_wait || (!lease && (failed != ENXIO || ::stat(path, &node) != 0 || !S_ISFIFO(node.st_mode)))) {
      errno = failed;
      return -1;
    }
    if (wait_for(-1, 0, 50, lines_written) == qn_wait_end::signal) {
      errno = EINTR;
      return -1;
    }
  }
}

int32_t qn_write_all(int fd, const char* data, size_t size, bool wait) {
  bool lines_written = false;
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait) return EAGAIN;
      if (wait_for(fd, POLLOUT, -1, lines_written) == qn_wait_end::signal) return EINTR;
    } else if (n == 0 || errno != EINTR) {
      return n == 0 ? ENOSPC : qn_errno_code();
    }
  }
  return 0;
}

ssize_t qn_read_waiting(int fd, char* buffer, size_t size) {
  bool lines_written = false;
  bool waited = false;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n > 0) return n;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    // Nothing read without a writer (0) is the end where a writer has come and gone, and the
    // pipe then reports its hang-up at once; where none has come yet, the wait is for the first.
    // Nothing to read with a writer (EAGAIN) waits for its bytes or its end.  After a wait, 0 is
    // the end.
    if (n == 0 && waited) return 0;
    waited = true;
    if (wait_for(fd, POLLIN, -1, lines_written) == qn_wait_end::signal) {
      errno = EINTR;
      return -1;
    }
  }
}
