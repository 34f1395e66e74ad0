// The notes of the files that only this process made: fixed storage, so that the handler of a
// second termination signal can walk it (atomic states, fstatat, unlinkat, close: nothing that
// allocates or takes a lock).
#include "quillon/api/own_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// A place's state: free, being filled or emptied by its owner, noted, or removed by the end of
// the process (for good: the owner's later forget leaves it alone).
enum : int { free_place = 0, busy = 1, noted_file = 2, removed = 3 };

struct place {
  std::atomic<int> state{free_place};
  int folder = -1;  // the file's folder, opened as a path only
  pid_t maker = 0;  // the process that noted it: a child made by fork inherits the note, not the file
  dev_t dev = 0;
  ino_t ino = 0;
  bool only_while_empty = false;
  char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

constexpr int place_count = 64;
place places[place_count];

// Registered before anything of the process is made, so that it runs after every other exit
// step (a print job that the library's own last resort delivers at the exit is in place by then).
void remove_at_exit() { remove_own_files(); }
[[maybe_unused]] const bool removed_at_exit = std::atexit(remove_at_exit) == 0;

}  // namespace

own_file::own_file(own_file&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}

own_file& own_file::operator=(own_file&& other) noexcept {
  if (this != &other) {
    forget();
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

void own_file::note(const std::string& path, int fd, bool only_while_empty) {
  forget();
  struct stat made {};
  if (fd < 0 || ::fstat(fd, &made) != 0) return;
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name.size() > NAME_MAX) return;
  for (int i = 0; i < place_count; ++i) {
    int expected = free_place;
    if (!places[i].state.compare_exchange_strong(expected, busy)) continue;
    place& p = places[i];
    p.folder = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (p.folder < 0) {
      p.state.store(free_place);
      return;
    }
    p.maker = ::getpid();
    p.dev = made.st_dev;
    p.ino = made.st_ino;
    p.only_while_empty = only_while_empty;
    std::memcpy(p.name, name.c_str(), name.size() + 1);
    p.state.store(noted_file, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void own_file::forget() {
  if (slot_ < 0) return;
  place& p = places[std::exchange(slot_, -1)];
  int expected = noted_file;
  if (!p.state.compare_exchange_strong(expected, busy)) return;  // removed by the process's end
  ::close(p.folder);
  p.folder = -1;
  p.state.store(free_place, std::memory_order_release);
}

void remove_own_files() {
  const int saved = errno;
  const pid_t self = ::getpid();
  for (place& p : places) {
    int expected = noted_file;
    if (!p.state.compare_exchange_strong(expected, busy, std::memory_order_acquire)) continue;
    if (p.maker != self) {  // the maker's, which goes on with it
      p.state.store(noted_file, std::memory_order_release);
      continue;
    }
    struct stat now {};
    if (::fstatat(p.folder, p.name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == p.dev && now.st_ino == p.ino &&
        (!p.only_while_empty || now.st_size == 0))
      ::unlinkat(p.folder, p.name, 0);
    ::close(p.folder);
    p.folder = -1;
    p.state.store(removed, std::memory_order_release);
  }
  errno = saved;
}
