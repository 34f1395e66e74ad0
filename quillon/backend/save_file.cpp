// Whole-file saves: a buffered writer into a file beside the target, renamed over the old file
// when everything is on the disk.
#include "quillon/api/save_file.h"
#include "quillon/api/numbered_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr size_t buffer_limit = size_t(1) << 16;

int32_t errno_code() { return errno > 0 ? errno : EIO; }

// A symbolic link is saved through: the file it names is replaced, the link stays.
std::string final_target(const std::string& target) {
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
  char resolved[PATH_MAX];
  return ::realpath(target.c_str(), resolved) ? std::string(resolved) : target;
}

// The mode the new file gets: the old file's, or what a newly created file would get.
mode_t file_mode(const std::string& target, mode_t new_mode) {
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return new_mode & ~mask;
}
}  // namespace

void (*save_file::before_rename)() = nullptr;

save_file::~save_file() { discard(); }

int32_t save_file::fail(int32_t code) {
  if (error_ == 0) error_ = code;
  return error_;
}

int32_t save_file::open(const std::string& target, uint32_t new_mode) {
  discard();
  error_ = 0;
  published_ = false;
  buffer_.clear();
  target_ = final_target(target);
  if (target_.empty()) return fail(ENOENT);
  struct stat st;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
  // The rename would pass over the old file's own permissions: an existing file that the user
  // may not write is refused (and stays as it is), as writing into it would be.
  if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return fail(errno_code());
  const size_t slash = target_.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  aside_ = dir + "." + base + ".XXXXXX";
  const int fd = ::mkstemp(aside_.data());
  if (fd < 0) {
    aside_.clear();
    return fail(errno_code());
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fchmod(fd, file_mode(target_, static_cast<mode_t>(new_mode)));
  fd_ = fd;
  buffer_.reserve(buffer_limit);
  return 0;
}

void save_file::write(std::string_view bytes) {
  if (fd_ < 0 || error_ != 0) return;
  if (buffer_.size() + bytes.size() > buffer_limit && flush() != 0) return;
  if (bytes.size() >= buffer_limit) {
    buffer_.assign(bytes);
    flush();
    return;
  }
  buffer_.append(bytes);
}

void save_file::put(char byte) {
  if (fd_ < 0 || error_ != 0) return;
  if (buffer_.size() >= buffer_limit && flush() != 0) return;
  buffer_ += byte;
}

int32_t save_file::flush() {
  if (error_ != 0) return error_;
  if (fd_ < 0) return fail(EBADF);
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      buffer_.clear();
      return fail(n == 0 ? ENOSPC : errno_code());
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return 0;
}

int32_t save_file::seek(int64_t offset) {
  if (flush() != 0) return error_;
  if (offset < 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return fail(errno_code());
  return 0;
}

int32_t save_file::publish() {
  if (flush() != 0) return error_;
  if (published_) return 0;
  if (const int32_t failed = move_into_place(aside_, target_); failed != 0) return fail(failed);
  published_ = true;
  aside_.clear();
  return 0;
}

int32_t save_file::commit() {
  if (fd_ < 0) return error_ != 0 ? error_ : fail(EBADF);
  if (flush() == 0 && ::fsync(fd_) != 0) fail(errno_code());
  if (::close(fd_) != 0) fail(errno_code());
  fd_ = -1;
  if (error_ != 0) {
    discard();
    return error_;
  }
  if (before_rename) before_rename();
  if (const int32_t failed = published_ ? 0 : move_into_place(aside_, target_); failed != 0) {
    fail(failed);
    discard();
    return error_;
  }
  aside_.clear();
  return 0;
}

void save_file::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!aside_.empty()) {
    ::unlink(aside_.c_str());
    if (!published_) give_up_claim(target_);  // a claimed name is left as free as it was
  }
  aside_.clear();
  buffer_.clear();
}
