// The command dispatcher qn_control: the runtime's entry for menu commands, keys and timers of
// the main window.  This first stage handles the library's exit command and keeps the one-shot
// timers from running inside a run; menu labels, hot keys and timer labels come with their
// tables.
#include "runtime/core/core.h"
#include "runtime/core/interpreter.h"
#include "runtime/screen/screen.h"

namespace {
struct dispatcher_state_t {
  int32_t last_command = 0;  // the last event seen, for diagnosis
  int32_t last_param = 0;
};
dispatcher_state_t dispatcher;

bool key_down(int32_t virtual_key) { return (GET_KEY_STATE(virtual_key) & 0x8000) != 0; }

int32_t dispatch(int32_t command, int32_t param) {
  dispatcher.last_command = command;
  dispatcher.last_param = param;
  if (command == 0x4001) {  // the library's exit command: the library closes the window
    dump_log("qn_control idm_file_exit received");
    return 0;
  }
  if (program_has_ended()) return -1;
  switch (command) {
    case 0x2001:
    case 0x2002:
      // A one-shot timer never runs inside a run: it is tried again in 0.2 seconds.
      if (run_flags.busy) {
        int status = 0;
        SET_TIMER(0.2f, command, &status);
      }
      return -1;
    case 0x6001:
    case 0x6002:
      return -1;
    case 0x4100:
    case 0x4101:
    case 0x4102:
      run_flags.modifier_ctrl = key_down(17) ? 1 : 0;
      run_flags.modifier_shift = key_down(16) ? 0x20 : 0;
      return 0;
    default:
      return QUILLON_KNOWS_COMMAND(command) ? 0 : -1;
  }
}
}  // namespace

int32_t qn_control(int32_t command, int32_t param) {
  int32_t result = -1;
  run_guarded([&] { result = dispatch(command, param); });
  return result;
}

void run_label(int32_t label) {
  if (program_has_ended()) return;
  run_guarded([&] {
    no_do_paint();
    interpreter(label);
    look_do_paint();
  });
}
