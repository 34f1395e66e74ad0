// qn_main: the life of the runtime from the main window to the end of the message loop.
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/open_things.h"
#include "runtime/screen/screen.h"

namespace {
// Steps after the main window: the command line, the load, the hooks and the first run.
void start_program(std::string_view argument) {
  command_line_t line = read_command_line(argument);
  if (line.debug_window) {
    run_flags.trace_on = true;
    debug_open();
  }
  if (line.trace_file) {
    debug_to_file();
    dump_log_restart(true);
    run_flags.trace_on = true;
  }
  trace_str("arg1=", line.name);
  std::string exe_path;
  if (!ends_with_pxb(line.name)) {
    int status = 0;
    GET_EXE_NAME(exe_path, &status);
    trace_str("exename=", exe_path);
  }
  const std::string program_name = program_file_name(line.name, exe_path);

  show_loading();
  trace_str("call load_program", program_name);
  dump_log("load_program " + program_name);
  load_program(program_name);

  trace_msg("call init_common");
  dump_log("call init_common...");
  init_common();

  trace_msg("call init_application");
  dump_log("call init_application...");
  init_application();

  if (quillon_already_running()) trace_msg("**** PROGRAMM bereits aktiv ****");

  dump_log("call look_do_paint...");
  look_do_paint();
  dump_log("call no_do_paint...");
  no_do_paint();
  dump_log("call interpreter(1)...");
  interpreter(1);
  dump_log("call look_do_paint...");
  look_do_paint();
}

// A termination signal, handed over by the event loop: the run ends as the window closed with
// Yes ends it.
void on_termination_signal(int signal) {
  run_guarded([signal] { end_run_by_signal(signal); });
}
}  // namespace

int qn_main(std::string_view argument) {
  create_main_window();
  qn_on_termination_signals(on_termination_signal);
  run_guarded([&] { start_program(argument); });
  // A program that ended during the start by an error (a loader error, an error in the first
  // run) has closed its window already, so the loop is not entered; after a QUIT the loop
  // carries out the close it asked for.
  if (!qn_quitting()) {
    dump_log("KYRMAIN/qn_main: call quillon_loop");
    quillon_loop();
  }
  dump_log("KYRMAIN: end qn_main");
  end_open_things(run_transition::quit);  // nothing is left where the window's close came first
  return run_exit_status();
}
