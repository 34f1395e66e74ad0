// Whole-file saves: a buffered writer into a file beside the target, renamed over the old file
// when everything is on the disk; where no file can be made beside a file that the user may
// write, a file in the temporary folder, copied into the target at the end under a lock; for a
// device or a pipe, a file in the temporary folder, written into it at the end.
#include "quillon/api/save_file.h"
#include "quillon/api/numbered_names.h"
#include "quillon/api/pipe_waits.h"
#include "quillon/api/quillon.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <utility>

namespace {
constexpr size_t buffer_limit = size_t(1) << 16;


// True for a link that the saving user does not follow: one in a sticky folder that every user
// may write (a temporary folder, a shared drop folder) owned neither by this user nor by the
// folder's owner, as the system refuses to follow such a link (fs.protected_symlinks): another
// user could otherwise lead the save onto any file this user may write.
bool foreign_link_in_shared_folder(const std::string& link, const struct stat& link_st) {
  if (link_st.st_uid == ::geteuid()) return false;
  const size_t slash = link.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : link.substr(0, slash);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && st.st_uid != link_st.st_uid;
}

// A symbolic link is saved through: the name becomes the one its chain of links ends in, whether
// a file stands there or not (a dangling link gets the file it names created); the links stay.  A
// relative link is taken from its own folder, as the system takes it.  0, ELOOP for a chain that
// does not end, or EACCES for another user's link in a shared sticky folder (above).
int32_t follow_links(std::string& name) {
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    if (hops >= 40) return ELOOP;  // the system's own limit on a chain of links
    if (foreign_link_in_shared_folder(name, st)) return EACCES;
    std::string to(PATH_MAX, '\0');
    const ssize_t n = ::readlink(name.c_str(), to.data(), to.size());
    if (n < 0) return qn_errno_code();
    to.resize(static_cast<size_t>(n));
    if (to.empty()) return ENOENT;
    if (to[0] != '/')
      if (const size_t slash = name.rfind('/'); slash != std::string::npos) to.insert(0, name, 0, slash + 1);
    name = std::move(to);
  }
}

// 0 where the name leads, without following a link, to the file open in `fd`; else why not: ELOOP
// (a link put there), ENOENT (nothing there) or ESTALE (another file there).
int32_t still_named(int fd, const std::string& name) {
  struct stat held, named;
  if (::fstat(fd, &held) != 0) return qn_errno_code();
  if (::lstat(name.c_str(), &named) != 0) return qn_errno_code();
  if (S_ISLNK(named.st_mode)) return ELOOP;
  return named.st_dev == held.st_dev && named.st_ino == held.st_ino ? 0 : ESTALE;
}

// Creates the file of the name whose last six characters are replaced by random letters and
// digits, exclusively, with the mode (less the umask) and closed on exec, as mkstemp does with
// the mode 0600.  The descriptor, or -1 with errno.
int create_unique(std::string& path, mode_t mode) {
  static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = path.size() - 6; i < path.size(); ++i) path[i] = letters[random() % letters.size()];
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The first `length` bytes of the name, less a character of more than one byte that the cut
// would split (a name in UTF-8 stays UTF-8).
std::string cut_name(const std::string& name, size_t length) {
  if (name.size() <= length) return name;
  size_t start = length;  // where the character the cut falls into begins
  while (start > 0 && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) --start;
  return name.substr(0, start);
}

// Makes the aside file "." + the target's name + ".XXXXXX" in the folder `dir` ("" or ending in
// "/"), exclusively.  Where that is longer than the folder takes a name (NAME_MAX as a rule,
// less on some file systems), the target's name in it is cut to fit: every name that the folder
// takes can be saved.  The descriptor, or -1 with errno.
int make_aside(const std::string& dir, const std::string& base, std::string& aside, mode_t mode) {
  constexpr std::string_view random_part = ".XXXXXX";
  const auto make = [&](size_t name_max) {
    const size_t room = name_max > 1 + random_part.size() ? name_max - 1 - random_part.size() : 0;
    aside = dir + "." + cut_name(base, room) + std::string(random_part);
    return create_unique(aside, mode);
  };
  if (1 + base.size() + random_part.size() <= NAME_MAX) {
    const int fd = make(NAME_MAX);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
  }
  // The folder's own limit: a file system may take fewer bytes than NAME_MAX.
  const long folder_max = ::pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  return make(folder_max > 0 ? static_cast<size_t>(folder_max) : NAME_MAX);
}

// The temporary folder: $TMPDIR, else /tmp.
std::string temporary_folder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder ? folder : "/tmp";
}

// The aside file in the temporary folder, for a target in a folder where none can be made, and
// for a device or pipe.  The descriptor, or -1 with errno.
int make_aside_in_temporary_folder(std::string& aside) {
  aside = temporary_folder() + "/.winkyr-save-XXXXXX";
  return create_unique(aside, 0600);
}

// True for a device or a pipe: a node that is written into, never replaced.
bool is_device(const struct stat& st) { return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode); }

// Writes the whole content of `from` into the device or pipe; 0 or the system's error code.
int32_t write_into_device(int from, int device) {
  char buffer[1 << 16];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(from, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return qn_errno_code();
    if (n == 0) return 0;
    if (const int32_t failed = qn_write_all(device, buffer, static_cast<size_t>(n)); failed != 0) return failed;
    at += n;
  }
}

// Takes the exclusive lock on the file, waiting for another holder to let it go (looked at again
// every 50 ms, so that a termination signal ends the wait: EINTR).  A file system without locks
// is written unlocked.  0 or the system's error code.
int32_t lock_exclusively(int fd) {
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return 0;
    if (qn_wait_for(-1, 0, 50) == qn_wait_end::signal) return EINTR;
  }
}

// True for the refusals of a folder that the user may not write, where a file in it that the user
// may write can still be written in place.
bool folder_refused(int32_t code) { return code == EACCES || code == EPERM; }

// True where a file stands at the name (not followed) and is not empty.
bool holds_content(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// Writes the whole content of `from` into the file open in `to` (the target, opened when the save
// opened), so that it stays the same file (its owner, its mode and every hard link to it), holding
// the exclusive lock on it throughout: where the target's name no longer leads to that file (a
// link or another file put in its place meanwhile) nothing is written.  Room for the new content
// is taken first where the file system can (a full disk, like the size limit, shows before any
// old byte is overwritten), then the bytes are written from the start, the file is cut to their
// length, synced (with `sync`), and its length checked.  0 or the system's error code.
int32_t copy_into(int from, int to, const std::string& target, bool sync) {
  struct stat source;
  if (::fstat(from, &source) != 0) return qn_errno_code();
  const off_t length = source.st_size;
  struct stat now;
  // Another save copying into it goes first, whole; its name and length are looked at after it.
  int32_t failed = lock_exclusively(to);
  if (failed == 0) failed = still_named(to, target);
  if (failed == 0 && ::fstat(to, &now) != 0) failed = qn_errno_code();
  rlimit size_limit{};
  if (failed == 0 && ::getrlimit(RLIMIT_FSIZE, &size_limit) == 0 && size_limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(length) > size_limit.rlim_cur)
    failed = EFBIG;  // the process's file size limit would cut the file
  if (failed == 0 && length > now.st_size && ::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, length) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
    failed = errno;  // any other refusal (a file system without it) leaves the room to the writes
  char buffer[1 << 16];
  for (off_t at = 0; failed == 0 && at < length;) {
    const ssize_t n = ::pread(from, buffer, static_cast<size_t>(std::min<off_t>(length - at, sizeof buffer)), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed = n == 0 ? EIO : qn_errno_code();  // the source shorter than it was
      break;
    }
    for (ssize_t done = 0; failed == 0 && done < n;) {
      const ssize_t w = ::pwrite(to, buffer + done, static_cast<size_t>(n - done), at + done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) failed = w == 0 ? ENOSPC : qn_errno_code();
      else done += w;
    }
    at += n;
  }
  if (failed == 0 && ::ftruncate(to, length) != 0) failed = qn_errno_code();
  if (failed == 0 && sync && ::fsync(to) != 0) failed = qn_errno_code();
  if (failed == 0 && (::fstat(to, &now) != 0 || now.st_size != length)) failed = EIO;
  ::flock(to, LOCK_UN);
  return failed;
}

// Gives the new file the owner and group of the file it replaces, where the process may (root;
// a user the group of a file of its own), then the mode, which a change of owner may take bits
// of.  Where it may not, the new file is the saving user's, as a new file is.
void keep_owner_and_mode(int fd, const struct stat& old_file) {
  const mode_t mode = old_file.st_mode & 07777;
  struct stat made;
  if (::fstat(fd, &made) != 0) return;
  if ((made.st_uid != old_file.st_uid || made.st_gid != old_file.st_gid) &&
      ::fchown(fd, old_file.st_uid, old_file.st_gid) != 0 && made.st_gid != old_file.st_gid)
    ::fchown(fd, static_cast<uid_t>(-1), old_file.st_gid);
  if (::fstat(fd, &made) == 0 && (made.st_mode & 07777) != mode) ::fchmod(fd, mode);
}
}  // namespace

void (*save_file::before_rename)() = nullptr;

save_file::~save_file() { discard(); }

int32_t save_file::fail(int32_t code) {
  if (error_ == 0) error_ = code;
  return error_;
}

int32_t save_file::fail_in_temporary_folder(int32_t code) {
  if (error_ == 0) temporary_folder_ = temporary_folder();
  return fail(code);
}

std::string save_file::reason() const {
  const std::string text = error_ > 0 ? std::strerror(error_) : "status " + std::to_string(error_);
  return temporary_folder_.empty() ? text : "temporary folder " + temporary_folder_ + ": " + text;
}

int32_t save_file::open(const std::string& target, uint32_t new_mode) {
  discard();
  error_ = 0;
  temporary_folder_.clear();
  published_ = false;
  buffer_.clear();
  copies_in_ = false;
  target_ = target;
  if (target_.empty()) return fail(ENOENT);
  if (const int32_t failed = follow_links(target_); failed != 0) return fail(failed);
  // The name is looked at once, here, without following a link, and the file found there is
  // opened and held: what the save writes into at its end is that file or a new one put at the
  // name, never a file reached through the name later.
  struct stat st;
  const bool exists = ::lstat(target_.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) return fail(ELOOP);  // a link put there since it was followed
  if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
  int fd = -1;
  if (exists && is_device(st)) {
    // A device or a pipe is written into, never replaced: opened now (a pipe waits for its
    // reader here), its content made whole in the temporary folder.  The open goes by the name
    // (again at each look of the wait for a reader), never through a link put there meanwhile
    // (ELOOP): a device or pipe elsewhere is not even opened.  What it opened must be the node
    // that was looked at.
    device_ = qn_open_waiting(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0);
    if (device_ < 0) return fail(qn_errno_code());
    struct stat opened;
    if (::fstat(device_, &opened) != 0) return fail(qn_errno_code());
    if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
      const int32_t why = still_named(device_, target_);
      return fail(why != 0 ? why : ESTALE);
    }
    fd = make_aside_in_temporary_folder(aside_);
    if (fd < 0) {
      aside_.clear();
      return fail_in_temporary_folder(qn_errno_code());
    }
  } else {
    if (exists) {
      // Opened for writing as it stands: a file the user may not write is refused (and stays as it
      // is), as the rename would pass over its permissions; a link put there meanwhile is not
      // opened (ELOOP), another file is not taken (ESTALE), nor is a pipe (once a reader lets the
      // open through, or a signal ends its wait).  A file under a lease (a
      // file server's client has it open) is waited for until its holder gives it back, a
      // termination signal ending the wait (EINTR).
      struct stat opened;
      held_ = qn_open_waiting(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0, &opened);
      if (held_ < 0) return fail(qn_errno_code());
      if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) return fail(ESTALE);
    }
    const size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // The new file gets the old file's mode, or what a newly created file would get.
    const mode_t mode = exists ? st.st_mode & 07777 : static_cast<mode_t>(new_mode) & 07777;
    fd = make_aside(dir, base, aside_, mode);
    if (fd < 0 && exists && folder_refused(errno)) {
      // A folder the user may not write, with a file in it that the user may: the content is
      // made whole in the temporary folder and copied into the file at the commit.
      fd = make_aside_in_temporary_folder(aside_);
      if (fd < 0) {
        aside_.clear();
        return fail_in_temporary_folder(qn_errno_code());
      }
      copies_in_ = true;
    }
    if (fd < 0) {
      const int32_t code = qn_errno_code();
      aside_.clear();
      return fail(code);
    }
    if (exists && !copies_in_) keep_owner_and_mode(fd, st);
  }
  aside_note_.note(aside_, fd);
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
      const int32_t code = n == 0 ? ENOSPC : qn_errno_code();
      // The aside file in the temporary folder: a full or failing disk there is that folder's
      // (the process's size limit is no folder's).
      return in_temporary_folder() && code != EFBIG ? fail_in_temporary_folder(code) : fail(code);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return 0;
}

int32_t save_file::seek(int64_t offset) {
  if (flush() != 0) return error_;
  if (offset < 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return fail(qn_errno_code());
  return 0;
}

int32_t save_file::publish() {
  if (flush() != 0) return error_;
  if (device_ >= 0) return 0;  // a device or pipe gets the content whole, at the commit
  if (copies_in_) {
    if (const int32_t failed = copy_into(fd_, held_, target_, false); failed != 0) return fail(failed);
    return 0;
  }
  if (published_) return 0;
  if (const int32_t failed = move_into_place(aside_, target_); failed != 0) return fail(failed);
  published_ = true;
  close_held();  // the old file is replaced
  aside_.clear();
  aside_note_.forget();
  return 0;
}

int32_t save_file::commit() {
  if (fd_ < 0) return error_ != 0 ? error_ : fail(EBADF);
  if (device_ >= 0) {
    // The content goes through into the device or pipe; the aside file goes.
    if (flush() == 0)
      if (const int32_t failed = write_into_device(fd_, device_); failed != 0) fail(failed);
    if (::close(std::exchange(device_, -1)) != 0) fail(qn_errno_code());
    discard();
    return error_;
  }
  // The rename must not reach the disk before the bytes it puts in place where it replaces a file
  // that holds something: the file is synced first.  A new name, or the empty file of a claim,
  // has nothing to lose and is not waited for.  A file copied into its target is synced there.
  if (flush() == 0 && !copies_in_ && holds_content(target_) && ::fsync(fd_) != 0) fail(qn_errno_code());
  // Closed before the rename: some file systems report a failed write only at the close.
  if (!copies_in_) {
    if (::close(fd_) != 0) fail(qn_errno_code());
    fd_ = -1;
  }
  if (error_ != 0) {
    discard();
    return error_;
  }
  if (before_rename) before_rename();
  // The rename puts the new file in the name's place, whatever stands there now (a link is
  // replaced, never followed; a pipe put there meanwhile is replaced, never written into).
  int32_t failed = copies_in_ || published_ ? 0 : move_into_place(aside_, target_);
  // A folder where the user may make files but not replace this one (a sticky folder, the file
  // another user's that this user may write): the content goes into the file opened at the start.
  if (folder_refused(failed) && held_ >= 0) {
    copies_in_ = true;
    fd_ = ::open(aside_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) failed = qn_errno_code();
  }
  if (copies_in_ && fd_ >= 0) {
    failed = copy_into(fd_, held_, target_, true);
    if (::close(fd_) != 0 && failed == 0) failed = qn_errno_code();
    fd_ = -1;
    ::unlink(aside_.c_str());
    aside_.clear();  // the target was written in place: what failed is not undone by a discard
  }
  if (held_ >= 0 && ::close(std::exchange(held_, -1)) != 0 && failed == 0 && copies_in_) failed = qn_errno_code();
  if (failed != 0) {
    fail(failed);
    discard();
    return error_;
  }
  aside_.clear();
  aside_note_.forget();  // renamed into place, or copied in and removed
  return 0;
}

void save_file::close_held() {
  if (held_ >= 0) ::close(held_);
  held_ = -1;
}

void save_file::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (device_ >= 0) ::close(device_);
  device_ = -1;
  close_held();
  if (!aside_.empty()) {
    ::unlink(aside_.c_str());
    if (!published_) give_up_claim(target_);  // a claimed name is left as free as it was
  }
  aside_note_.forget();
  aside_.clear();
  buffer_.clear();
}
