// Nested loops of events: every box, file or print dialog and pop-up menu of the library runs
// one inside its exec.  Each is entered through run_nested, which runs the runtime's steps
// before a wait (its buffered lines reach their files before the user is asked anything), counts
// the loop and holds its widget, so that an end of the run that comes while one is up can close
// them all (qn_leave_nested_loops) and no window that a nested loop still uses is deleted under
// it (release_nested_widgets).  The steps after a wait run once the outermost loop has returned
// and its widget is gone: an end that came meanwhile is carried out there, at the outer level.
#include "quillon/backend/backend.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

struct nested_state {
  std::vector<QPointer<QWidget>> widgets;  // one per loop now running, innermost last
  int depth = 0;
  bool leaving = false;  // the loops are being left: none may begin to wait any more
  void (*before)() = nullptr;
  void (*after)() = nullptr;
};
nested_state& st() {
  static nested_state s;
  return s;
}

// Ends the loop of `w`'s exec: a dialog is rejected (its caller takes it as cancelled), a menu
// closed (nothing picked).
void end_loop_of(QWidget* w) {
  if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
  else w->close();
}

// The widgets of the loops now running, innermost first.  A loop whose widget another module
// made (the print module's dialogs) is known by the modal widget that Qt has active.
std::vector<QWidget*> running_widgets() {
  std::vector<QWidget*> out;
  for (auto it = st().widgets.rbegin(); it != st().widgets.rend(); ++it) {
    QWidget* w = *it ? static_cast<QWidget*>(*it) : QApplication::activeModalWidget();
    if (w && std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
  }
  return out;
}

// True where `w` is `window` or one of its children at any depth, its own windows (boxes and
// dialogs made with it as their parent) included.
bool inside(const QWidget* w, const QWidget* window) {
  for (; w != nullptr; w = w->parentWidget())
    if (w == window) return true;
  return false;
}

}  // namespace

namespace qnb {

void nested_loop_enter() {
  qn_before_waiting();
  ++st().depth;
  st().widgets.emplace_back();
}

void nested_loop_exit() {
  --st().depth;
  if (!st().widgets.empty()) st().widgets.pop_back();
}

void nested_loop_left() {
  if (st().depth != 0) return;
  st().leaving = false;
  if (void (*after)() = st().after) after();
}

bool hold_in_nested_loop(QWidget* widget) {
  if (!st().widgets.empty()) st().widgets.back() = widget;
  return !st().leaving;
}

void release_nested_widgets(QWidget* window) {
  bool held = false;
  for (QWidget* w : running_widgets())
    if (inside(w, window)) {
      held = true;
      if (w != window) w->setParent(nullptr);  // no longer a child that goes with the window
    }
  if (held) qn_leave_nested_loops();
}

void nested_loops_reset() {
  // The loops themselves end with their callers; only the runtime's steps are dropped.
  st().before = nullptr;
  st().after = nullptr;
}

}  // namespace qnb

void qn_set_wait_steps(void (*before)(), void (*after)()) {
  st().before = before;
  st().after = after;
}

int32_t qn_nested_loops() { return st().depth; }

void qn_before_waiting() {
  if (void (*before)() = st().before) before();
}

void qn_leave_nested_loops() {
  if (st().depth > 0) st().leaving = true;
  // Innermost first: each returns to the one around it, which then returns too.
  for (QWidget* w : running_widgets()) end_loop_of(w);
}
