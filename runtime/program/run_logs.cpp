// The lines of the run's own logs: the error log, the dump log and the trace file.  Every failure
// is ignored, and nothing here holds the run up.
#include "runtime/program/file_units.h"

#include "runtime/program/file_glue.h"
#include "quillon/api/pipe_waits.h"

#include <fcntl.h>
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
  std::string path;
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};
std::vector<held_log> held_logs;

// Lets go of the descriptor held for the name, where one is.
void let_go(const std::string& path) {
  const auto held = std::find_if(held_logs.begin(), held_logs.end(), [&](const held_log& log) { return log.path == path; });
  if (held == held_logs.end()) return;
  ::close(held->fd);
  held_logs.erase(held);
}

// The held descriptor of the node at `path` (which is `st`), opened now where none is held: -1
// where it cannot be opened without waiting (a pipe that nobody reads).
int held_descriptor(const std::string& path, const struct stat& st) {
  for (const held_log& log : held_logs)
    if (log.path == path && log.device == st.st_dev && log.inode == st.st_ino) return log.fd;
  let_go(path);  // another node has taken the name
  struct stat opened;
  const int fd = qn_open_waiting(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0, &opened);
  if (fd < 0) return -1;
  if (S_ISREG(opened.st_mode) || S_ISDIR(opened.st_mode)) {  // the name changed its kind meanwhile
    ::close(fd);
    return -1;
  }
  held_logs.push_back({path, fd, opened.st_dev, opened.st_ino});
  return fd;
}

// Writes the line into the pipe or device at `path` without waiting: a pipe without a reader,
// or full, loses it.  A write into a pipe of at most PIPE_BUF bytes goes in whole or not at all,
// so a longer line is cut there and no line is ever left half.  A reader that has gone (EPIPE)
// lets go of the descriptor, and a reader that has come since gets the line.
void write_into_node(const std::string& path, const struct stat& st, std::string_view line) {
  std::string text(line.substr(0, std::min<size_t>(line.size(), PIPE_BUF - 1)));
  text += '\n';
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = held_descriptor(path, st);
    if (fd < 0 || qn_write_all(fd, text.data(), text.size(), false) != EPIPE) return;
    let_go(path);
  }
}
}  // namespace

void append_run_log_line(std::string_view name, std::string_view line, bool replace) {
  const std::string path = host_path(name);
  struct stat st;
  if (!path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    write_into_node(path, st, line);
    return;
  }
  // A plain file, or none yet: opened for this line only, as every other writer of it may.  A
  // pipe put in its place since the look above is not waited for either.
  if (!held_logs.empty()) let_go(path);
  const int32_t unit = find_free_unit();
  const unit_open_opts opts{.status = replace ? "REPLACE" : "UNKNOWN", .access = replace ? "SEQUENTIAL" : "APPEND", .wait = false};
  if (unit < 0 || unit_open(unit, name, opts) != 0) return;
  unit_write_line(unit, line);
  unit_close(unit);
}

void close_run_logs() {
  for (const held_log& log : held_logs) ::close(log.fd);
  held_logs.clear();
}
