// Fills in upper_services, the entries through which the floors below reach this one (and the
// screen's field output, which the program floor's text tokens use).  It runs before main, as a
// static initializer; the commands library goes into every program whole, so it is never left out.
#include "runtime/commands/debugger.h"
#include "runtime/commands/draw_state.h"
#include "runtime/commands/events.h"
#include "runtime/commands/file_command.h"
#include "runtime/commands/menus.h"
#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"
#include "runtime/output/sql/sql.h"
#include "runtime/program/open_things.h"
#include "runtime/program/upn_store.h"
#include "runtime/program/upper_services.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"

namespace {

// Evaluator codes 66..68 and 79..82: the functions that read lists, combo boxes, SYSVAR and SQL.
bool eval_service_function(int32_t code) {
  switch (code) {
    case upn_combo: eval_COMBO(); return true;
    case upn_lstmgr: eval_LSTMGR(); return true;
    case upn_lstel: eval_LSTEL(); return true;
    case upn_sysvar: eval_SYSVAR(); return true;
    case upn_sqlinfo: eval_SQLINFO(); return true;
    case upn_sqlvar: eval_SQLVAR(); return true;
    case upn_ioerror: eval_IOERROR(); return true;
    default: return false;
  }
}

void reset_for_load() {
  set_auto_mode(false);
  reset_hotkeys();  // no key or menu of the old program stays bound
  menus_reset();
  reset_drawing_for_load();
  print_reset_for_load();
}

void reset_for_start() {
  reset_event_labels();
  reset_level_stack();
}

void format_element_into(int32_t variable, int32_t element, char* text, int32_t length) {
  format_var_element(variable, element);
  get_input_text(text, length);
}

// The printer job's row of what a run holds open (open_things.h): every end of the run ends a
// job left open, its pages printed, and keeps a printed document left open by "$CONT" as written
// in the work file; a RUN chain and an abandoned event leave both to the program that goes on,
// and the print engine itself decides what a job opened over an open one does.
void print_job_end(run_transition why) {
  if (!ends_the_run(why)) return;
  print_finish_job();
  print_work_files_end();
}

const bool installed = [] {
  upper_services.function_families = {eval_device_function, eval_convert_function, eval_service_function};
  upper_services.reset_for_load = reset_for_load;
  upper_services.reset_for_start = reset_for_start;
  upper_services.query_close = query_close;
  upper_services.debugger_reset = debugger_reset;
  upper_services.format_element_into = format_element_into;
  upper_services.run_label = run_label;
  upper_services.mouse_event = mouse_event;
  set_open_kind_end(open_kind::print_job, print_job_end);
  set_open_kind_end(open_kind::plot, plot_end_open);
  set_open_kind_end(open_kind::sql_connection, sql_end_open);
  set_open_kind_end(open_kind::file_unit, file_units_end);
  return true;
}();

}  // namespace
