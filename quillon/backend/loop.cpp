// The message loop, the pump that the interpreter calls between commands, the quit message,
// the single-instance lock and the door into the runtime's command dispatcher.
#include "quillon/backend/backend.h"
#include "quillon/api/vector_state.h"

#include <QApplication>
#include <QEventLoop>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

constinit int32_t qn_pump_countdown = 0;
constinit bool qn_attention_held = false;

namespace {

using clock_type = std::chrono::steady_clock;
// Window-system input is looked for at most this often while nothing of ours is queued, so that
// a pump before every interpreted command stays cheap.
constexpr auto pump_interval = std::chrono::milliseconds(2);
// Even reading the clock costs more than a cheap command, so the pump looks at it only every
// `stride` calls.  The stride doubles while a stretch of calls passes in less than
// fast_stretch (up to max_stride) and falls back to 1 as soon as one takes longer, so slow
// commands never hold back input and timers for more than a few of them.
constexpr int32_t max_stride = 32;
constexpr auto fast_stretch = std::chrono::microseconds(200);

// The pump's gate: qn_pump_countdown (calls left before the pump looks again; 0 or less: look
// now) and how the stride adapts.  Whatever gives the pump work opens it at once.
struct pump_gate_t {
  int32_t stride = 1;
  clock_type::time_point last_read{};
};
constinit pump_gate_t gate;

void open_gate() { qn_pump_countdown = 0; }
// Shuts the gate for the next `calls` calls, unless the runtime holds it open.
void shut_gate(int32_t calls) { qn_pump_countdown = qn_attention_held ? 0 : calls; }

struct loop_state {
  std::function<void(int32_t, int32_t)> control;
  void (*turn_steps)() = nullptr;
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

void note_posted_event(int delta) {
  st().posted += delta;
  open_gate();
}
void note_paint_pending() {
  st().paint_pending = true;
  open_gate();
}

void loop_reset() {
  st().control = nullptr;
  st().turn_steps = nullptr;
  st().event_window = 0;
  st().quitting = false;
  st().quit_code = 0;
  if (st().loop) st().loop->exit(0);
  if (st().lock_fd >= 0) close(st().lock_fd);  // releases the instance lock
  st().lock_fd = -1;
  st().instance_checked = false;
  st().already_running = false;
  gate = pump_gate_t{};
  qn_attention_held = false;
  open_gate();
}

}  // namespace qnb

namespace {

// The user's runtime folder: XDG_RUNTIME_DIR when it is a folder of the user's, else
// "winkyr-<uid>" in the temporary folder, made with mode 0700 and taken only when it is no
// link, is the user's and nobody else may enter it.  Empty when neither will do.
std::string runtime_folder() {
  struct stat sb{};
  if (const char* run = std::getenv("XDG_RUNTIME_DIR");
      run && *run && stat(run, &sb) == 0 && S_ISDIR(sb.st_mode) && sb.st_uid == geteuid())
    return run;
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/winkyr-" + std::to_string(geteuid());
  mkdir(dir.c_str(), 0700);
  const bool own = lstat(dir.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode) && sb.st_uid == geteuid() &&
                   (sb.st_mode & 0077) == 0;
  return own ? dir : std::string();
}

}  // namespace

std::string qn_instance_lock_path() {
  const std::string dir = runtime_folder();
  if (dir.empty()) return {};
  std::string key = qnb::executable_path();
  if (key.empty()) key = "winkyr";
  for (char& c : key)
    if (c == '/' || c == '\\') c = '#';
  if (key.size() > 200) {  // keep the name within the file system's limit, still unique
    const size_t hash = std::hash<std::string>{}(key);
    key = key.substr(key.size() - 180) + "-" + std::to_string(hash);
  }
  return dir + "/qn_" + key + ".lock";
}

void quillon_init() {
  if (st().instance_checked) return;
  st().instance_checked = true;
  const std::string path = qn_instance_lock_path();
  // A link planted in the lock's place is not followed: no lock then.
  const int fd = path.empty() ? -1 : open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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

namespace {
// The clock read at a look: the stride for the next stretch.
void adapt_stride(clock_type::time_point now) {
  gate.stride = now - gate.last_read < fast_stretch ? std::min(gate.stride * 2, max_stride) : 1;
  gate.last_read = now;
}
}  // namespace

bool qn_pump_idle() {
  loop_state& s = st();
  if (s.quitting || qn_attention_held || s.posted > 0 || s.paint_pending || !QCoreApplication::instance())
    return false;
  const auto now = clock_type::now();
  if (now - s.last_pump >= pump_interval) return false;
  adapt_stride(now);
  shut_gate(gate.stride);
  return true;
}

// The quit message, our own queued work, and window-system input at most every pump_interval.
// Leaves the gate shut for the next `stride` calls when nothing waits.
int32_t qn_pump() {
  qn_clear_vector_state();  // a drawing command since the last pump may have left them in use
  loop_state& s = st();
  qn_pump_countdown = 0;
  if (s.quitting) return 0;
  if (!QCoreApplication::instance()) {
    shut_gate(max_stride);
    return 1;
  }
  if (s.posted <= 0 && !s.paint_pending) {
    const auto now = clock_type::now();
    adapt_stride(now);
    if (now - s.last_pump < pump_interval) {
      shut_gate(gate.stride);
      return 1;
    }
    s.last_pump = now;
  }
  s.paint_pending = false;
  if (s.turn_steps != nullptr) s.turn_steps();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qn_clear_vector_state();
  if (s.quitting) return 0;
  // Work queued while the events ran is served by the very next call.
  shut_gate(s.posted > 0 || s.paint_pending ? 0 : gate.stride);
  return 1;
}

void qn_post_quit(int32_t code) {
  st().quitting = true;
  open_gate();
  st().quit_code = code;
  if (st().loop) st().loop->exit(code);
}

bool qn_quitting() { return st().quitting; }

void qn_set_control(std::function<void(int32_t command, int32_t param)> qn_control) {
  st().control = std::move(qn_control);
}

int32_t qn_event_window() { return st().event_window; }

void qn_set_turn_steps(void (*steps)()) { st().turn_steps = steps; }

bool QUILLON_KNOWS_COMMAND(int32_t command) { return (command & 0x4000) != 0; }
