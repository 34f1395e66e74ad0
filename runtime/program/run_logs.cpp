// The lines of the run's own logs: the error log, the dump log and the trace file.  Every failure
// is ignored, and nothing here holds the run up.
#include "runtime/program/file_units.h"

#include "runtime/program/file_glue.h"
#include "quillon/api/pipe_waits.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace {
// A log that is a pipe or a device (a FIFO that a reader follows, /dev/null): opened once and
// held for the run, so that its reader gets every line with no end of file between two.
struct held_log {
  std::string name;  // the log's name as the runtime gives it
  std::string path;  // where it was found
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};
std::vector<held_log> held_logs;

std::vector<held_log>::iterator held(std::string_view name) {
  return std::find_if(held_logs.begin(), held_logs.end(), [&](const held_log& log) { return log.name == name; });
}

void let_go(std::vector<held_log>::iterator log) {
  ::close(log->fd);
  held_logs.erase(log);
}

// Writes the line into the held pipe or device without waiting: a full pipe loses it.  A write
// into a pipe of at most PIPE_BUF bytes goes in whole or not at all, so a longer line is cut
// there and no line is ever left half.  False where the reader has gone (EPIPE).
bool write_held(const held_log& log, std::string_view line) {
  std::string text(line.substr(0, std::min<size_t>(line.size(), PIPE_BUF - 1)));
  text += '\n';
  return qn_write_all(log.fd, text.data(), text.size(), false) != EPIPE;
}
}  // namespace

void append_run_log_line(std::string_view name, std::string_view line, bool replace) {
  // A log held open goes on as long as its name leads to the same node; one whose reader has gone
  // is let go, and the open below looks for a new one.
  if (auto log = held(name); log != held_logs.end()) {
    struct stat st;
    if (::stat(log->path.c_str(), &st) == 0 && st.st_dev == log->device && st.st_ino == log->inode &&
        write_held(*log, line))
      return;
    let_go(log);
  }
  // Opened without waiting: a pipe that nobody reads refuses the open, and the line is lost.
  const int32_t unit = find_free_unit();
  const unit_open_opts opts{.status = replace ? "REPLACE" : "UNKNOWN", .access = replace ? "SEQUENTIAL" : "APPEND", .wait = false};
  if (unit < 0 || unit_open(unit, name, opts) != 0) return;
  // A pipe or a device is held from now on.
  if (const int fd = unit_release_node(unit); fd >= 0) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      return;
    }
    held_logs.push_back({std::string(name), host_path(name), fd, st.st_dev, st.st_ino});
    if (!write_held(held_logs.back(), line)) let_go(held_logs.end() - 1);
    return;
  }
  // A plain file is opened for each line, as every other writer of it may.
  unit_write_line(unit, line);
  unit_close(unit);
}

void close_run_logs() {
  for (const held_log& log : held_logs) ::close(log.fd);
  held_logs.clear();
}
