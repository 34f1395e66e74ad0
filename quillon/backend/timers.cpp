// Window timers by id: Qt timers on one host object, the library's id mapped to Qt's.
#include "quillon/backend/backend.h"

#include <QObject>
#include <QTimerEvent>

#include <climits>
#include <cmath>
#include <map>
#include <memory>

namespace {

class timer_host : public QObject {
 protected:
  void timerEvent(QTimerEvent* e) override;
};

struct timer_state {
  std::unique_ptr<timer_host> host;
  std::map<int32_t, int> by_id;  // library id -> Qt timer id
  std::map<int, int32_t> by_qt;  // Qt timer id -> library id
};
timer_state& st() {
  static timer_state s;
  return s;
}

bool kill(int32_t id) {
  auto it = st().by_id.find(id);
  if (it == st().by_id.end()) return false;
  st().host->killTimer(it->second);
  st().by_qt.erase(it->second);
  st().by_id.erase(it);
  return true;
}

void timer_host::timerEvent(QTimerEvent* e) {
  auto it = st().by_qt.find(e->timerId());
  if (it == st().by_qt.end()) {
    killTimer(e->timerId());
    return;
  }
  const int32_t id = it->second;
  if (id < 8192) return;  // the library's own timers
  // One-shot unless both 0x2000 and 0x4000 are set: killed before the dispatcher runs, so
  // the dispatcher may re-arm it.
  if ((id & 0x6000) != 0x6000) kill(id);
  qnb::dispatch_control(id, 0, qn_main_window());
}

}  // namespace

namespace qnb {

void timers_reset() {
  if (!st().host) return;
  for (auto& [qt, id] : st().by_qt) st().host->killTimer(qt);
  st().by_qt.clear();
  st().by_id.clear();
}

}  // namespace qnb

void SET_TIMER(float seconds, int32_t id, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  if (!st().host) st().host = std::make_unique<timer_host>();
  // The platform's shortest timer is 10 ms; NaN and negative times take it too.
  double ms = double(seconds) * 1000.0;
  if (!(ms >= 10.0)) ms = 10.0;
  if (ms > double(INT_MAX)) ms = double(INT_MAX);
  kill(id);  // arming an id again replaces its timer
  const int qt = st().host->startTimer(int(std::lround(ms)), Qt::PreciseTimer);
  if (qt == 0) {
    qn_error("Unable to create a timer in SET_TIMER", qnb::QN_FAIL, status);
    return;
  }
  st().by_id[id] = qt;
  st().by_qt[qt] = id;
}

void DESTROY_TIMER(int32_t id, int* status) {
  qnb::clear_status(status);
  if (!st().host || !kill(id)) {
    // Destroying a timer that is not armed is harmless; only a caller that asks is told.
    if (status) *status = qnb::QN_FAIL;
  }
}
