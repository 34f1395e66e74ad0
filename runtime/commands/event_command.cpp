// EVENT (opcode 2): the labels of the program's timers (one-shot 0x2002, periodic 0x6002) and
// of the window-restore event (0x2001), the application hook u_app, and the end of the program.
// The dispatcher runs the stored labels when the timers fire.
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/open_things.h"

event_labels_t event_labels;

void reset_event_labels() { event_labels = event_labels_t{}; }

namespace {

constexpr int32_t opt_application = 0x1, opt_set = 0x4, opt_remove = 0x20, opt_periodic = 0x40,
                  opt_restore = 0x800;
constexpr int32_t event_quit = 9999;

void application_form(const code_record& rec) {
  evaluate_upn(rec.expression, 4);
  int32_t a = nint(param_registers[1]);
  int32_t b = nint(param_registers[2]);
  int32_t c = nint(param_registers[3]);
  int32_t d = nint(param_registers[4]);
  u_app(b, c, d, a);
}

void numbered_form(const code_record& rec) {
  evaluate_upn(rec.expression, 1);
  const int32_t n = nint(param_registers[1]);
  if (n == event_quit) end_run_by_quit();
  report_error("EVENT n.u.", n);
  end_open_things(run_transition::abandoned_event);  // what the program holds open stays its own
  abandon_run();
}

void timer_form(const code_record& rec) {
  const int32_t flags = rec.flags;
  const bool restore = (flags & opt_restore) != 0;
  const bool periodic = !restore && (flags & opt_periodic) != 0;
  // The old entry of this kind goes first, so a set replaces it and a remove leaves nothing.
  int status = 0;
  if (restore) {
    event_labels.restore = 0;
  } else if (periodic) {
    if (event_labels.periodic > 0) {
      trace_msg("destroy_timer$A multiple 2");
      DESTROY_TIMER(timer_periodic, &status);
      event_labels.periodic = 0;
    }
  } else if (event_labels.one_shot > 0) {
    trace_msg("destroy_timer$A single 2");
    DESTROY_TIMER(timer_one_shot, &status);
    event_labels.one_shot = 0;
  }
  if ((flags & opt_set) == 0) return;
  evaluate_upn(rec.second, 1);
  const float seconds = param_registers[1];
  if (!(seconds > 0.0f)) return;  // 0, negative or not a number: stays removed
  if (restore) {
    event_labels.restore = rec.target;
  } else if (periodic) {
    event_labels.periodic = rec.target;
    trace_msg("set_timer$A multiple 2");
    SET_TIMER(seconds, timer_periodic);
  } else {
    event_labels.one_shot = rec.target;
    trace_msg("set_timer$A single 2");
    SET_TIMER(seconds, timer_one_shot);
  }
}

}  // namespace

void cmd_EVENT(code_record& rec) {
  io_status = 0;
  if ((rec.flags & opt_application) != 0) application_form(rec);
  else if ((rec.flags & (opt_set | opt_remove)) == 0) numbered_form(rec);
  else timer_form(rec);
}
