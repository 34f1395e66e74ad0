// Numbered file names claimed for this process: one look at the folder per run and series, then
// each claim creates the next free name exclusively.
#include "quillon/api/numbered_names.h"
#include "quillon/api/own_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::string folded(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string name_of(const numbered_series& s, int32_t n) {
  if (n == 1 && !s.first_name.empty()) return s.first_name;
  std::string digits = std::to_string(n);
  if (digits.size() < static_cast<size_t>(s.digits)) digits.insert(0, static_cast<size_t>(s.digits) - digits.size(), '0');
  return s.prefix + digits + s.suffix;
}

std::string path_of(const numbered_series& s, int32_t n) {
  const std::string name = name_of(s, n);
  if (s.folder.empty()) return name;
  return s.folder.back() == '/' ? s.folder + name : s.folder + "/" + name;
}

// The number a folder entry holds in the series, or 0: the entry is the series' name of that
// number but for the case of its letters.
int32_t number_in(const numbered_series& s, const std::string& entry) {
  if (!s.first_name.empty() && entry == folded(s.first_name)) return 1;
  const std::string prefix = folded(s.prefix), suffix = folded(s.suffix);
  if (entry.size() <= prefix.size() + suffix.size() || !entry.starts_with(prefix) || !entry.ends_with(suffix)) return 0;
  const std::string_view digits(entry.data() + prefix.size(), entry.size() - prefix.size() - suffix.size());
  if (digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  const long long n = std::stoll(std::string(digits));
  if (n < 1 || n > INT32_MAX) return 0;
  return folded(name_of(s, static_cast<int32_t>(n))) == entry ? static_cast<int32_t>(n) : 0;
}

// What a run knows of one series in one folder: the last number it claimed, and the numbers
// above it that the folder held when it was read.
struct series_memory {
  int32_t last_claimed = 0;
  std::vector<int32_t> taken;  // sorted
};

// A claimed name awaiting a save's finished file.  Its empty file is kept open, so that its
// inode number stays its own even when somebody removes the file: another file in its place
// never passes for it.  The empty file is noted as this process's own: an end that comes before
// the save removes it.
struct claim {
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  int fd = -1;
  own_file note;
};

struct numbered_state {
  std::map<std::string, series_memory> series;  // by folder identity and series
  std::vector<claim> claims;                    // empty files awaiting a save's finished file
};
numbered_state& st() {
  static numbered_state s;
  return s;
}

// The series' key: the folder by its identity (the same folder under two names is one), and
// the name's parts.
bool series_key(const numbered_series& s, std::string& key) {
  struct stat folder {};
  if (::stat(s.folder.empty() ? "." : s.folder.c_str(), &folder) != 0) return false;
  key = std::to_string(folder.st_dev) + ':' + std::to_string(folder.st_ino) + '/' + folded(s.prefix) + '/' +
        folded(s.suffix) + '/' + std::to_string(s.digits) + '/' + folded(s.first_name);
  return true;
}

// The numbers of the series that the folder holds.
std::vector<int32_t> numbers_in_folder(const numbered_series& s) {
  std::vector<int32_t> numbers;
  DIR* d = ::opendir(s.folder.empty() ? "." : s.folder.c_str());
  if (!d) return numbers;
  while (const dirent* e = ::readdir(d))
    if (const int32_t n = number_in(s, folded(e->d_name)); n > 0) numbers.push_back(n);
  ::closedir(d);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The memory of the series, read from the folder when this run has none, or when the file it
// claimed last is gone (the folder was emptied, or is another folder by now).
series_memory& memory_of(const numbered_series& s, const std::string& key) {
  auto [it, added] = st().series.try_emplace(key);
  series_memory& m = it->second;
  if (added || (m.last_claimed > 0 && !exists(path_of(s, m.last_claimed)))) {
    m.last_claimed = 0;
    m.taken = numbers_in_folder(s);
  }
  return m;
}

// Creates the file exclusively, open in `made`: 0, or the system's reason (EEXIST: somebody has
// the name).
int32_t create_exclusively(const std::string& path, claim& made) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EINTR) continue;
    if (fd < 0) return errno != 0 ? errno : EIO;
    struct stat st {};
    ::fstat(fd, &st);
    made.path = path;
    made.dev = st.st_dev;
    made.ino = st.st_ino;
    made.fd = fd;
    return 0;
  }
}

void end_claim(std::vector<claim>::iterator it) {
  ::close(it->fd);
  st().claims.erase(it);
}

std::vector<claim>::iterator find_claim(const std::string& target, struct stat* now, bool& there) {
  there = ::lstat(target.c_str(), now) == 0;
  return std::find_if(st().claims.begin(), st().claims.end(), [&](const claim& c) {
    return c.path == target || (there && c.dev == now->st_dev && c.ino == now->st_ino);
  });
}

// The finished file into a free name, never over a file that is there.
int32_t move_without_replacing(const std::string& from, const std::string& target) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the exclusive rename: a new link fails on an existing name too.
  if (::link(from.c_str(), target.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

claimed_name claim_numbered_name(const numbered_series& s, bool for_save) {
  std::string key;
  const int32_t first = std::max(s.first, 1);
  if (!series_key(s, key)) return {path_of(s, first), first, errno != 0 ? errno : ENOENT};
  series_memory& m = memory_of(s, key);
  // Numbers below the last one claimed are not looked at again.
  int32_t n = m.last_claimed >= first && m.last_claimed < INT32_MAX ? m.last_claimed + 1 : first;
  auto known = std::lower_bound(m.taken.begin(), m.taken.end(), n);
  for (; n <= s.last; ++n) {
    while (known != m.taken.end() && *known < n) ++known;
    if (known == m.taken.end() || *known != n) {
      claim made;
      const int32_t failed = create_exclusively(path_of(s, n), made);
      if (failed == 0) {
        m.last_claimed = n;
        m.taken.erase(m.taken.begin(), std::upper_bound(m.taken.begin(), m.taken.end(), n));
        if (!for_save) {
          ::close(made.fd);
          return {made.path, n, 0};
        }
        // A claim of the same name whose file was never filled and is gone since is over.
        const auto stale = std::find_if(st().claims.begin(), st().claims.end(),
                                        [&](const claim& c) { return c.path == made.path; });
        if (stale != st().claims.end()) end_claim(stale);
        made.note.note(made.path, made.fd, true);
        st().claims.push_back(std::move(made));
        return {path_of(s, n), n, 0};
      }
      if (failed != EEXIST) return {path_of(s, n), n, failed};
    }
    if (n == INT32_MAX) break;
  }
  return {path_of(s, s.last), s.last, ERANGE};
}

int32_t move_into_place(const std::string& from, const std::string& target) {
  if (!st().claims.empty()) {
    struct stat now {};
    bool there = false;
    const auto it = find_claim(target, &now, there);
    if (it != st().claims.end()) {
      if (!there || it->dev != now.st_dev || it->ino != now.st_ino) {
        // The empty file is gone or another in its place: the name is not this run's any more.
        end_claim(it);
        return there ? EEXIST : move_without_replacing(from, target);
      }
      if (::rename(from.c_str(), target.c_str()) != 0) return errno;  // the claim stays, to be given up
      end_claim(it);
      return 0;
    }
  }
  return ::rename(from.c_str(), target.c_str()) == 0 ? 0 : errno;
}

void give_up_claim(const std::string& target) {
  if (st().claims.empty()) return;
  struct stat now {};
  bool there = false;
  const auto it = find_claim(target, &now, there);
  if (it == st().claims.end()) return;
  if (there && it->dev == now.st_dev && it->ino == now.st_ino && now.st_size == 0) ::unlink(target.c_str());
  end_claim(it);
}
