// The unit table: Fortran-style connections of unit numbers to files, and the round-robin
// allocator of free units 200..499.
#include "runtime/program/file_units.h"

#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "quillon/api/pipe_waits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace {
struct unit_record {
  int fd = -1;
  std::string path;
  bool direct = false;
  bool formatted = true;
  bool can_read = true, can_write = true;
  bool append = false;
  bool end_checked = false;  // APPEND: the file's last line was looked at before the first write
  int32_t recl = 0;
  // Read-ahead of a sequential unit: bytes [rpos, rbuf.size()) are read from the file but not
  // yet handed out, so the logical position lies that far before the descriptor's.
  std::string rbuf;
  size_t rpos = 0;
  bool at_end = false;
  bool cut_done = false;  // the file was cut at the write position since the last positioning
  bool regular = true;    // a plain file (devices and pipes are never cut)
  bool pipe = false;      // a named pipe: its descriptor does not block, its waits end by a signal
  bool wait = true;       // a full pipe is waited for (false: its lines are dropped, EAGAIN)
  // Lines written but not yet handed to the file; flushed before every read, positioning and
  // close of the unit, and when another part of the runtime opens the file.
  std::string wbuf;
  int32_t write_error = 0;  // the first failed write, kept until the close reports it
};

int32_t flush_writes(unit_record& u);

struct unit_table_t {
  std::unordered_map<int32_t, unit_record> units;
  int32_t next_unit = 200;  // where get_free_unit starts its search
  bool lines_waiting = false;  // some unit may hold buffered lines (cleared by a flush of all)
  // A process that ends without closing its units still leaves their lines in the files.
  // Nothing waits there any more (a full pipe loses what it does not take).
  ~unit_table_t() {
    for (auto& [number, u] : units) {
      u.wait = false;
      flush_writes(u);
    }
  }
};
unit_table_t unit_table;

constexpr int32_t first_unit = 200, end_unit = 500;

// Keyword comparison as Fortran does it: case and trailing blanks do not count.
bool keyword_is(std::string_view given, std::string_view keyword) {
  while (!given.empty() && given.back() == ' ') given.remove_suffix(1);
  if (given.size() != keyword.size()) return false;
  for (size_t i = 0; i < given.size(); ++i) {
    char c = given[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != keyword[i]) return false;
  }
  return true;
}

unit_record* find_unit(int32_t unit) {
  auto it = unit_table.units.find(unit);
  return it == unit_table.units.end() ? nullptr : &it->second;
}

// Moves the descriptor back to the logical position and drops the read-ahead.
void drop_read_ahead(unit_record& u) {
  size_t unread = u.rbuf.size() - u.rpos;
  if (unread > 0) ::lseek(u.fd, -static_cast<off_t>(unread), SEEK_CUR);
  u.rbuf.clear();
  u.rpos = 0;
}

int32_t errno_status() { return errno > 0 ? errno : unit_err_not_open; }

constexpr size_t write_buffer_limit = size_t(1) << 16;

// Hands the buffered lines to the file: 0 or the failure, which is also kept for the close.  A
// full pipe is waited for with the termination signal watched (EINTR when it comes: the lines are
// lost), the other units' lines written first; so the lines leave the unit's buffer before the
// write, and that flush of every unit finds none of them to write a second time.
int32_t flush_writes(unit_record& u) {
  if (u.wbuf.empty()) return 0;
  std::string lines;
  lines.swap(u.wbuf);
  const int32_t status = qn_write_all(u.fd, lines.data(), lines.size(), u.wait);
  lines.clear();
  u.wbuf.swap(lines);  // its room kept for the next lines
  if (status != 0 && u.write_error == 0) u.write_error = status;
  return status;
}

std::vector<void (*)(const std::string&)>& extra_flushes() {
  static std::vector<void (*)(const std::string&)> list;
  return list;
}

// The line end that the line before byte `end` of the file lacks, in the file's own style
// ("\r\n" when its line end before is CR LF, else "\n"); empty at the start of the file and
// after a line end.  A line written there without it would be glued onto that last line.
std::string missing_line_end(const unit_record& u, off_t end) {
  if (!u.regular || end <= 0) return {};
  // A unit opened for writing only cannot read: the file is read through a descriptor of its own
  // (not blocking: a pipe put in the file's place meanwhile is not waited for, and reads nothing).
  const int fd = u.can_read ? u.fd : ::open(u.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::string tail(static_cast<size_t>(std::min<off_t>(end, 4096)), '\0');
  ssize_t n;
  do n = ::pread(fd, tail.data(), tail.size(), end - static_cast<off_t>(tail.size()));
  while (n < 0 && errno == EINTR);
  if (fd != u.fd) ::close(fd);
  if (n != static_cast<ssize_t>(tail.size())) return {};
  if (tail.back() == '\n') return {};
  if (tail.back() == '\r') return "\n";
  const size_t lf = tail.rfind('\n');
  return lf != std::string::npos && lf > 0 && tail[lf - 1] == '\r' ? "\r\n" : "\n";
}

int32_t open_scratch(unit_record& u) {
  const char* dir = std::getenv("TMPDIR");
  std::string templ = std::string(dir && *dir ? dir : "/tmp") + "/winkyr-scratch-XXXXXX";
  int fd = ::mkstemp(templ.data());
  if (fd < 0) return errno_status();
  ::unlink(templ.c_str());  // gone from the directory at once; the data lives until close
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  u.fd = fd;
  return 0;
}
}  // namespace

int32_t unit_open(int32_t unit, std::string_view name, const unit_open_opts& o) {
  if (unit < 0) return unit_err_bad_unit;
  unit_record u;
  int flags = 0;
  if (keyword_is(o.action, "READ")) {
    flags = O_RDONLY;
    u.can_write = false;
  } else if (keyword_is(o.action, "WRITE")) {
    flags = O_WRONLY;
    u.can_read = false;
  } else if (keyword_is(o.action, "READWRITE")) {
    flags = O_RDWR;
  } else {
    return unit_err_bad_keyword;
  }
  if (keyword_is(o.access, "DIRECT")) u.direct = true;
  else if (keyword_is(o.access, "APPEND")) u.append = true;
  else if (!keyword_is(o.access, "SEQUENTIAL")) return unit_err_bad_keyword;
  if (keyword_is(o.form, "UNFORMATTED")) u.formatted = false;
  else if (!keyword_is(o.form, "FORMATTED")) return unit_err_bad_keyword;
  if (u.direct && o.recl <= 0) return unit_err_bad_recl;
  u.recl = o.recl;

  bool scratch = false;
  if (keyword_is(o.status, "OLD")) {
  } else if (keyword_is(o.status, "NEW")) {
    flags |= O_CREAT | O_EXCL;
  } else if (keyword_is(o.status, "UNKNOWN")) {
    flags |= O_CREAT;
  } else if (keyword_is(o.status, "REPLACE")) {
    flags |= O_CREAT | O_TRUNC;
  } else if (keyword_is(o.status, "SCRATCH")) {
    scratch = true;
  } else {
    return unit_err_bad_keyword;
  }
  if (u.append) flags |= O_APPEND;

  unit_close(unit);  // Fortran: opening a connected unit first closes it
  if (!scratch) flush_file_writers(name);  // what other units wrote into it is there to read
  if (scratch) {
    if (int32_t st = open_scratch(u)) return st;
  } else {
    u.path = host_path(name);
    if (u.path.empty()) return unit_err_no_file;
    // A FIFO is never opened for both: a unit that held a reader of its own would never see its
    // reader go away, and its writes would wait for good once the pipe is full.  Opened for
    // writing only, a write after the reader has gone fails (EPIPE) as a full disk does.
    if ((flags & O_ACCMODE) == O_RDWR) {
      struct stat st{};
      if (::stat(u.path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        flags = (flags & ~O_ACCMODE) | O_WRONLY;
        u.can_read = false;
      }
    }
    // Mode 0666: the umask decides what others may do; no execute bits on data files.  A pipe
    // opened for writing waits here for its reader, the lines of every unit written first, and a
    // termination signal ends the wait (EINTR); a unit that must not wait is refused (ENXIO).
    struct stat st;
    const int fd = qn_open_waiting(u.path.c_str(), flags | O_CLOEXEC | (o.wait ? 0 : O_NONBLOCK), 0666, &st);
    if (fd < 0) {
      if (errno == ENOENT && !(flags & O_CREAT)) return unit_err_no_file;
      if (errno == EEXIST) return unit_err_exists;
      return errno_status();
    }
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      return EISDIR;
    }
    u.fd = fd;
    u.regular = S_ISREG(st.st_mode);
    u.pipe = S_ISFIFO(st.st_mode);
    u.wait = o.wait;
  }
  unit_table.units[unit] = std::move(u);
  return 0;
}

int32_t unit_close(int32_t unit, std::string_view status) {
  unit_record* u = find_unit(unit);
  if (!u) return 0;
  // An earlier failed write, or a failed write of the last buffered lines, is the close's result.
  int32_t result = flush_writes(*u);
  if (result == 0) result = u->write_error;
  if (::close(u->fd) != 0 && result == 0) result = errno_status();
  if (keyword_is(status, "DELETE") && !u->path.empty() && ::unlink(u->path.c_str()) != 0 && result == 0)
    result = errno_status();
  unit_table.units.erase(unit);
  return result;
}

bool unit_is_open(int32_t unit) { return find_unit(unit) != nullptr; }

int unit_release_node(int32_t unit) {
  unit_record* u = find_unit(unit);
  if (!u || u->regular || u->fd < 0) return -1;
  flush_writes(*u);
  const int fd = u->fd;
  unit_table.units.erase(unit);
  return fd;
}

int32_t unit_read_line(int32_t unit, std::string& line) {
  line.clear();
  unit_record* u = find_unit(unit);
  if (!u) return unit_err_not_open;
  if (u->direct) return unit_err_wrong_access;
  if (!u->can_read) return unit_err_no_read;
  if (!u->wbuf.empty()) {
    if (int32_t st = flush_writes(*u)) return st;
  }
  for (;;) {
    size_t lf = u->rbuf.find('\n', u->rpos);
    if (lf != std::string::npos) {
      line.assign(u->rbuf, u->rpos, lf - u->rpos);
      u->rpos = lf + 1;
      break;
    }
    if (u->at_end) {
      if (u->rpos >= u->rbuf.size()) return unit_eof;
      line.assign(u->rbuf, u->rpos);  // a last record without its line end
      u->rpos = u->rbuf.size();
      break;
    }
    // Keep the unread tail and read the next block behind it.
    u->rbuf.erase(0, u->rpos);
    u->rpos = 0;
    char block[65536];
    ssize_t n;
    if (u->pipe) {
      n = qn_read_waiting(u->fd, block, sizeof block);  // a termination signal ends its wait: EINTR
    } else {
      do n = ::read(u->fd, block, sizeof block);
      while (n < 0 && errno == EINTR);
    }
    if (n < 0) return errno_status();
    if (n == 0) u->at_end = true;
    else u->rbuf.append(block, static_cast<size_t>(n));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return 0;
}

int32_t unit_write_line(int32_t unit, std::string_view line) {
  unit_record* u = find_unit(unit);
  if (!u) return unit_err_not_open;
  if (u->direct) return unit_err_wrong_access;
  if (!u->can_write) return unit_err_no_write;
  drop_read_ahead(*u);
  u->at_end = false;
  // The first line written after a positioning follows a whole line: one read without its
  // line end (the file's last) gets its line end first.
  std::string line_end_first;
  if (!u->append && !u->cut_done && u->regular) {
    off_t here = ::lseek(u->fd, 0, SEEK_CUR);
    if (here >= 0 && ::ftruncate(u->fd, here) != 0) {
      if (u->write_error == 0) u->write_error = errno_status();
      return u->write_error;
    }
    u->cut_done = true;
    if (u->write_error == 0 && u->wbuf.empty()) line_end_first = missing_line_end(*u, here);
  }
  if (u->append && !u->end_checked) {
    u->end_checked = true;
    struct stat st{};
    if (u->write_error == 0 && u->wbuf.empty() && ::fstat(u->fd, &st) == 0)
      line_end_first = missing_line_end(*u, st.st_size);
  }
  if (u->write_error != 0) return u->write_error;
  u->wbuf += line_end_first;
  u->wbuf.append(line);
  u->wbuf += '\n';
  unit_table.lines_waiting = true;
  return u->wbuf.size() >= write_buffer_limit ? flush_writes(*u) : 0;
}

int32_t unit_rewind(int32_t unit) {
  unit_record* u = find_unit(unit);
  if (!u) return unit_err_not_open;
  if (int32_t st = flush_writes(*u)) return st;
  u->rbuf.clear();
  u->rpos = 0;
  u->at_end = false;
  u->cut_done = false;
  return ::lseek(u->fd, 0, SEEK_SET) == 0 ? 0 : errno_status();
}

int32_t unit_read_record(int32_t unit, int32_t record, std::string& data) {
  data.clear();
  unit_record* u = find_unit(unit);
  if (!u) return unit_err_not_open;
  if (!u->direct) return unit_err_wrong_access;
  if (!u->can_read) return unit_err_no_read;
  if (record < 1) return unit_err_bad_record;
  data.assign(static_cast<size_t>(u->recl), u->formatted ? ' ' : '\0');
  off_t offset = static_cast<off_t>(record - 1) * u->recl;
  ssize_t n;
  do n = ::pread(u->fd, data.data(), data.size(), offset);
  while (n < 0 && errno == EINTR);
  if (n < 0) return errno_status();
  if (n == 0) {
    data.clear();
    return unit_err_bad_record;
  }
  return 0;  // a record cut short by the end of the file keeps its padding
}

int32_t unit_write_record(int32_t unit, int32_t record, std::string_view data) {
  unit_record* u = find_unit(unit);
  if (!u) return unit_err_not_open;
  if (!u->direct) return unit_err_wrong_access;
  if (!u->can_write) return unit_err_no_write;
  if (record < 1) return unit_err_bad_record;
  std::string buffer(data.substr(0, static_cast<size_t>(u->recl)));
  buffer.resize(static_cast<size_t>(u->recl), u->formatted ? ' ' : '\0');
  off_t offset = static_cast<off_t>(record - 1) * u->recl;
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n = ::pwrite(u->fd, buffer.data() + done, buffer.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int32_t status = n == 0 ? ENOSPC : errno_status();
      if (u->write_error == 0) u->write_error = status;
      return status;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

int32_t unit_flush(int32_t unit) {
  unit_record* u = find_unit(unit);
  if (!u) return 0;
  const int32_t status = flush_writes(*u);
  return status != 0 ? status : u->write_error;
}

void flush_unit_lines() {
  if (!unit_table.lines_waiting) return;
  // Cleared after the units are written: a flush that waits for a full pipe writes every other
  // unit's lines first, through this routine again.
  for (auto& [number, u] : unit_table.units) flush_writes(u);
  unit_table.lines_waiting = false;
}

void flush_file_writers(std::string_view name) {
  const std::string path = name.empty() ? std::string() : host_path(name);
  struct stat target{};
  const bool exists = !path.empty() && ::stat(path.c_str(), &target) == 0;
  for (auto& [number, u] : unit_table.units) {
    if (u.wbuf.empty()) continue;
    struct stat st{};
    if (!path.empty() && !(exists && ::fstat(u.fd, &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino))
      continue;
    flush_writes(u);
  }
  for (auto flush : extra_flushes()) flush(path);
}

void add_file_writer(void (*flush)(const std::string& path)) {
  for (auto f : extra_flushes())
    if (f == flush) return;
  extra_flushes().push_back(flush);
}

namespace {
// The round-robin search; -1 when every unit is open (the next unit to try is left at 500).
int32_t search_free_unit() {
  int32_t u = unit_table.next_unit;
  if (u < first_unit || u >= end_unit) u = first_unit;  // after a failed search
  bool wrapped = false;
  for (;;) {
    const bool open = unit_is_open(u);
    const int32_t candidate = u++;
    if (!open) {
      unit_table.next_unit = u;
      return candidate;
    }
    if (u == end_unit) {
      if (wrapped) {
        unit_table.next_unit = end_unit;
        return -1;
      }
      wrapped = true;
      u = first_unit;
    }
    unit_table.next_unit = u;
  }
}
}  // namespace

int32_t get_free_unit() {
  int32_t unit = search_free_unit();
  if (unit < 0) {
    report_error("no unit free", 32000);
    return end_unit - 1;  // the last unit tested; the program has ended
  }
  return unit;
}

int32_t find_free_unit() { return search_free_unit(); }

void file_units_reset() {
  for (auto& [number, u] : unit_table.units) {
    flush_writes(u);
    ::close(u.fd);
  }
  unit_table.units.clear();
  unit_table.next_unit = first_unit;
  close_run_logs();
}
