// The message loop, the pump that the interpreter calls between commands, the quit message,
// the single-instance lock and the door into the runtime's command dispatcher.
#include "quillon/backend/backend.h"

#include <QApplication>
#include <QEventLoop>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;
// Window-system input is looked for at most this often while nothing of ours is queued, so that
// a pump before every interpreted command stays cheap.
constexpr auto pump_interval = std::chrono::milliseconds(2);

struct loop_state {
  std::function<void(int32_t, int32_t)> control;
  int32_t event_window = 0;
  int posted = 0;  // command events queued and not yet delivered
  bool paint_pending = false;
  clock_type::time_point last_pump{};
  bool quitting = false;
  int32_t quit_code = 0;
  QEventLoop* loop = nullptr;
  bool instance_checked = false;
  bool already_running = false;
  int lock_fd = -1;
};
loop_state& st() {
  static loop_state s;
  return s;
}

}  // namespace

namespace qnb {

void dispatch_control(int32_t command, int32_t param, int32_t window) {
  if (!st().control) return;
  const auto control = st().control;  // the dispatcher may replace itself while it runs
  const int32_t outer = st().event_window;
  st().event_window = window;
  control(command, param);
  st().event_window = outer;
}

void note_posted_event(int delta) { st().posted += delta; }
void note_paint_pending() { st().paint_pending = true; }

void loop_reset() {
  st().control = nullptr;
  st().event_window = 0;
  st().quitting = false;
  st().quit_code = 0;
  if (st().loop) st().loop->exit(0);
  if (st().lock_fd >= 0) close(st().lock_fd);  // releases the instance lock
  st().lock_fd = -1;
  st().instance_checked = false;
  st().already_running = false;
}

}  // namespace qnb

std::string qn_instance_lock_path() {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string key = n > 0 ? std::string(exe, size_t(n)) : std::string("winkyr");
  for (char& c : key)
    if (c == '/' || c == '\\') c = '#';
  if (key.size() > 200) {  // keep the name within the file system's limit, still unique
    const size_t hash = std::hash<std::string>{}(key);
    key = key.substr(key.size() - 180) + "-" + std::to_string(hash);
  }
  std::string dir = "/tmp";
  if (const char* run = std::getenv("XDG_RUNTIME_DIR")) {
    struct stat sb{};
    if (*run && stat(run, &sb) == 0 && S_ISDIR(sb.st_mode) && access(run, W_OK) == 0) dir = run;
  }
  return dir + "/qn_" + key + ".lock";
}

void quillon_init() {
  if (st().instance_checked) return;
  st().instance_checked = true;
  const std::string path = qn_instance_lock_path();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;  // no lock possible: behave as the only instance
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    st().already_running = (errno == EWOULDBLOCK);
    close(fd);
    return;
  }
  st().lock_fd = fd;  // held until the process ends
}

bool quillon_already_running() { return st().already_running; }

int32_t quillon_loop() {
  qnb::ensure_app();
  if (st().quitting) return st().quit_code;
  QEventLoop loop;
  st().loop = &loop;
  loop.exec();
  st().loop = nullptr;
  return st().quit_code;
}

int32_t process_pending_messages() {
  if (st().quitting) return 0;
  if (!QCoreApplication::instance()) return 1;
  if (st().posted <= 0 && !st().paint_pending) {
    const auto now = clock_type::now();
    if (now - st().last_pump < pump_interval) return 1;
    st().last_pump = now;
  }
  st().paint_pending = false;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return st().quitting ? 0 : 1;
}

void qn_post_quit(int32_t code) {
  st().quitting = true;
  st().quit_code = code;
  if (st().loop) st().loop->exit(code);
}

bool qn_quitting() { return st().quitting; }

void qn_set_control(std::function<void(int32_t command, int32_t param)> qn_control) {
  st().control = std::move(qn_control);
}

int32_t qn_event_window() { return st().event_window; }

bool QUILLON_KNOWS_COMMAND(int32_t command) { return (command & 0x4000) != 0; }
