// What a run holds open, and what each transition of the run does to it: the one place.
//
// Every kind of thing a program can leave open across commands has a row here, in the order in
// which the ends run them: the printer job first (its end reports a failure without ending the
// program), then the plot (the end of a plot file may end the program, its template missing),
// the SQL connection, and the FILE units last, so that whatever the others wrote is flushed too.
// The floor that owns a kind gives the routine that ends it (set_open_kind_end, filled in before
// main by commands/install_services.cpp), so that the table lives on the lowest floor and the
// floors above still only point down.  A kind without a routine is skipped.
//
// Every transition goes through end_open_things (every kind) or end_open_thing (one kind, at
// its own next open); no end of a run keeps a list of finishers of its own.  What each routine
// does at each transition, and the test that shows it, is written down in docs/open-things.md;
// the kinds that live inside another kind's state (the print job's work files, the numbered
// names a plot or a print job claims, the list cell being edited and the open input field) are
// listed there with the row that ends them.
#pragma once

#include <cstdint>

enum class run_transition {
  next_open,        // the program opens another thing of the same kind
  run_chain,        // RUN chains to another program; the run goes on with it
  quit,             // the QUIT command
  error_end,        // the error reporter (or the library's own error end) ends the program
  window_closed,    // the user closed the main window (and answered Yes where asked)
  abandoned_event,  // an EVENT gave up the run it interrupted
  signal,           // SIGTERM, SIGHUP or SIGINT
};

enum class open_kind {
  print_job,       // the printer job (pages so far) and its work files
  plot,            // a plot on any device: window, printer, plot files, GIF/BMP
  sql_connection,  // the SQL connection and its open transaction
  file_unit,       // FILE units with lines not yet on disk
  count,
};

// The routine that ends what is open of `kind` at a transition; it does nothing where nothing
// of the kind is open, and it may be called again.
void set_open_kind_end(open_kind kind, void (*end)(run_transition why));

// One kind at a transition that concerns it alone (its next open).
void end_open_thing(open_kind kind, run_transition why);

// Every kind in the table's order.  A report that ends the program inside one kind's end does
// not keep the others from theirs.
void end_open_things(run_transition why);

// True for the transitions after which nothing of the program runs any more.
constexpr bool ends_the_run(run_transition why) {
  return why != run_transition::next_open && why != run_transition::run_chain &&
         why != run_transition::abandoned_event;
}
