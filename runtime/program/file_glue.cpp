// Low-level file glue over POSIX: share-mode opens, raw reads and writes, directories, the
// host-name mapping of program file names, and the runtime's case routines.
#include "runtime/program/file_glue.h"

#include "runtime/program/program.h"
#include "runtime/program/file_units.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------- code page 1252
namespace {
// Unicode of the bytes 0x80..0x9F; the five bytes that code page 1252 leaves free keep their
// C1 code point so that every byte survives a round trip.
constexpr char16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char cp1252_byte(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (cp1252_high[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}
}  // namespace

std::string cp1252_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0xA0) append_utf8(out, cp1252_high[c - 0x80]);
    else append_utf8(out, c);
  }
  return out;
}

std::string utf8_to_cp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    int extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0) {  // a stray continuation or invalid lead byte
      out += '?';
      ++i;
      continue;
    }
    uint32_t cp = c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    out += cp1252_byte(cp);
    i += extra + 1;
  }
  return out;
}

// ---------------------------------------------------------------- host names
namespace {
unsigned char fold_1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 16;
  if (c == 0x9F) return 0xFF;
  return c;
}

bool same_ignoring_case(std::string_view a_utf8, std::string_view b_utf8) {
  std::string a = utf8_to_cp1252(a_utf8), b = utf8_to_cp1252(b_utf8);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold_1252(static_cast<unsigned char>(a[i])) != fold_1252(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool name_exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string join_path(const std::string& dir, std::string_view part) {
  if (dir.empty()) return std::string(part);
  if (dir.back() == '/') return dir + std::string(part);
  return dir + "/" + std::string(part);
}

// The entry of `dir` whose name equals `part` but for case; the first in byte order when
// several do, so the choice does not depend on the directory's order.
std::string find_ignoring_case(const std::string& dir, std::string_view part) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string best;
  while (dirent* e = ::readdir(d)) {
    std::string_view entry = e->d_name;
    if (same_ignoring_case(entry, part) && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(d);
  return best;
}
}  // namespace

std::string host_path(std::string_view name) {
  // Names end at their first NUL (callers hand NUL-terminated texts) and lose trailing blanks.
  if (size_t nul = name.find('\0'); nul != std::string_view::npos) name = name.substr(0, nul);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  std::string path = cp1252_to_utf8(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || name_exists(path)) return path;

  std::string resolved = path.front() == '/' ? "/" : "";
  size_t pos = 0;
  bool found_all = true;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string_view part(path.data() + pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) continue;
    std::string exact = join_path(resolved, part);
    if (!found_all || part == "." || part == ".." || name_exists(exact)) {
      resolved = exact;
      continue;
    }
    std::string match = find_ignoring_case(resolved, part);
    if (match.empty()) {
      found_all = false;  // the rest is kept as written
      resolved = exact;
    } else {
      resolved = join_path(resolved, match);
    }
  }
  if (path.back() == '/' && resolved.back() != '/') resolved += '/';
  return resolved;
}

// ---------------------------------------------------------------- share modes
namespace {
// Each open holds shared locks on marker bytes far beyond any file data: one for each access
// it has and one for each access it denies.  An exclusive test lock on a marker shows whether
// any other open description holds it.
constexpr off_t lock_base = off_t(1) << 62;
enum lock_slot { has_read = 0, has_write = 1, denies_read = 2, denies_write = 3 };

bool held_by_other(int fd, lock_slot slot) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = lock_base + slot;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;  // no locks on this file system
  return fl.l_type != F_UNLCK;
}

void hold(int fd, lock_slot slot) {
  struct flock fl{};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = lock_base + slot;
  fl.l_len = 1;
  ::fcntl(fd, F_OFD_SETLK, &fl);
}

struct open_request {
  int flags;  // O_RDONLY or O_RDWR, with O_CREAT where the file may be created
  bool deny_read, deny_write;
  bool truncate = false;
};

int32_t open_shared(std::string_view name, const open_request& r) {
  std::string path = host_path(name);
  if (path.empty()) return -1;
  flush_file_writers(name);  // what the runtime's writers hold for the file is there to read
  // 0666: the umask takes away what the user does not want; execute and set-id bits are
  // never given to data files.
  int fd = ::open(path.c_str(), r.flags | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const bool wants_write = (r.flags & O_ACCMODE) == O_RDWR;
  bool conflict = held_by_other(fd, denies_read) || (wants_write && held_by_other(fd, denies_write)) ||
                  (r.deny_read && held_by_other(fd, has_read)) ||
                  (r.deny_write && held_by_other(fd, has_write));
  if (conflict) {
    ::close(fd);
    return -1;
  }
  hold(fd, has_read);
  if (wants_write) hold(fd, has_write);
  if (r.deny_read) hold(fd, denies_read);
  if (r.deny_write) hold(fd, denies_write);
  // Emptied only now, so an open that the share check refuses never loses another's data.
  if (r.truncate && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The two-step opens: the first attempt's handle when it is valid, else the second's.
int32_t first_or_second(std::string_view name, const open_request& first, const open_request& second) {
  int32_t h = open_shared(name, first);
  return h >= 0 ? h : open_shared(name, second);
}
}  // namespace

int32_t c_sopen(std::string_view name) { return open_shared(name, {O_RDONLY | O_CREAT, true, true}); }

int32_t c_sopen_readwrite(std::string_view name) {
  return first_or_second(name, {O_RDWR, true, true}, {O_RDWR | O_CREAT, true, true});
}

int32_t c_sopen_trunc(std::string_view name) {
  return first_or_second(name, {O_RDWR, true, true, true}, {O_RDWR | O_CREAT, true, true});
}

int32_t c_sopen_or(std::string_view name) { return open_shared(name, {O_RDONLY, true, true}); }

int32_t c_sopen_shared(std::string_view name, shared_open variant) {
  switch (variant) {
    case shared_open::read_create: return open_shared(name, {O_RDONLY | O_CREAT, false, false});
    case shared_open::read: return open_shared(name, {O_RDONLY, false, false});
    case shared_open::readwrite_create: return open_shared(name, {O_RDWR | O_CREAT, false, true});
    case shared_open::readwrite: return open_shared(name, {O_RDWR, false, true});
  }
  return -1;
}

// ---------------------------------------------------------------- handles
int32_t c_read(int32_t handle, void* buffer, int32_t count) {
  if (handle < 0 || count < 0 || (count > 0 && buffer == nullptr)) return -1;
  ssize_t n;
  do n = ::read(handle, buffer, static_cast<size_t>(count));
  while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int32_t>(n);
}

int32_t c_write(int32_t handle, const void* buffer, int32_t count) {
  if (handle < 0 || count < 0 || (count > 0 && buffer == nullptr)) return -1;
  const char* p = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(handle, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t c_close(int32_t handle) { return handle >= 0 && ::close(handle) == 0 ? 0 : -1; }

void c_rewind(int32_t handle) {
  if (handle >= 1) ::lseek(handle, 0, SEEK_SET);
}

int32_t c_seek(int32_t handle, int64_t offset) {
  if (handle < 1 || offset < 0) return -1;
  off_t pos = ::lseek(handle, static_cast<off_t>(offset), SEEK_SET);
  if (pos < 0 || pos > INT32_MAX) return -1;
  return static_cast<int32_t>(pos);
}

// ---------------------------------------------------------------- directories and names
int32_t c_mkdir(std::string_view name) {
  std::string path = host_path(name);
  return !path.empty() && ::mkdir(path.c_str(), 0777) == 0 ? 0 : -1;
}

int32_t c_rmdir(std::string_view name) {
  std::string path = host_path(name);
  return !path.empty() && ::rmdir(path.c_str()) == 0 ? 0 : -1;
}

int32_t c_rename(std::string_view old_name, std::string_view new_name) {
  std::string from = host_path(old_name), to = host_path(new_name);
  return !from.empty() && !to.empty() && std::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}

int32_t c_can_open(std::string_view name) {
  std::string path = host_path(name);
  if (path.empty()) return 1;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return 1;
  struct stat st;
  bool is_dir = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  return is_dir ? 1 : 0;
}

// ---------------------------------------------------------------- lines and texts
int32_t read_line_raw(int32_t handle, char* text, int32_t size) {
  if (text && size > 0) std::memset(text, ' ', static_cast<size_t>(size));
  if (handle <= 0) return -1;
  int32_t length = 0;
  bool taken = false;
  for (;;) {
    unsigned char byte;
    if (c_read(handle, &byte, 1) != 1) return -1;
    if (byte >= 32) {
      taken = true;
      if (text && length < size) text[length++] = static_cast<char>(byte);
    } else if (taken) {
      return length;
    }
  }
}

int32_t blank_controls(char* text, int32_t length) {
  if (!text || length < 1) return 0;
  for (char stop : {'\n', '\r', '\0'}) {
    char* p = static_cast<char*>(std::memchr(text, stop, static_cast<size_t>(length)));
    if (p) std::memset(p, ' ', static_cast<size_t>(text + length - p));
  }
  for (int32_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) < 32) text[i] = ' ';
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

// ---------------------------------------------------------------- case routines
void upcase_string(char* text, int32_t length) {
  for (int32_t i = 0; i < length; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
}

void lowcase_string(char* text, int32_t length) {
  for (int32_t i = 0; i < length; ++i)
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] + 32);
}

void lowcase_fast(char* text, int32_t length) {
  // Every byte below 91 taken as signed (so also 128..255) gets bit 0x20; a plain loop that
  // the compiler turns into wide operations.
  for (int32_t i = 0; i < length; ++i) {
    signed char c = static_cast<signed char>(text[i]);
    if (c < 91) text[i] = static_cast<char>(c | 0x20);
  }
}

// ---------------------------------------------------------------- umlauts
namespace {
// DOS code page (first row) to code page 1252 (second row).
constexpr unsigned char umlaut_from[10] = {0x8E, 0x99, 0x9A, 0x84, 0x94, 0x81, 0xE1, 0xED, 0xFD, 0xFC};
constexpr unsigned char umlaut_to[10] = {0xC4, 0xD6, 0xDC, 0xE4, 0xF6, 0xFC, 0xDF, 0xF8, 0xB2, 0xB3};
}  // namespace

void convert_umlauts(char* text, int32_t length) {
  if (text == nullptr || length <= 0) return;
  const std::string_view view = blank_trimmed(std::string_view(text, static_cast<size_t>(length)));
  // One pass, each position looked up once: a converted byte is never converted again.
  for (size_t i = 0; i < view.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    for (int k = 0; k < 10; ++k) {
      if (c == umlaut_from[k]) {
        text[i] = static_cast<char>(umlaut_to[k]);
        break;
      }
    }
  }
}

void convert_umlauts(std::string& text) {
  convert_umlauts(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)));
}
