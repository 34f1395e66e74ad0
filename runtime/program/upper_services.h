// The few places where a floor must reach one above it: the evaluator's function families that
// call the services (lists, combo boxes, SQL, SYSVAR, device queries, number conversions), the
// loader's resets of what the old program left in the commands, the error reporter's close query,
// the trace's reset of the debugger, a text token's variable formatted as the screen shows it, the
// combo box's label run and the plot window's mouse.  The floor that provides an entry fills it in
// before main (runtime/commands/install_services.cpp), so a lower floor never names a higher one.
#pragma once

#include <array>
#include <cstdint>

#include "quillon/api/quillon.h"

struct upper_services_t {
  // Evaluator function families of the floors above, tried in turn after the program floor's own
  // (numeric, calendar, text); each answers false for a code that is not one of its functions.
  std::array<bool (*)(int32_t code), 4> function_families{};
  // The first step of every load: automatic mode off, and no hot key, menu or drawing state of
  // the old program left.
  void (*reset_for_load)() = nullptr;
  // What every start and RUN begins without: the program timers' labels and the level stack.
  void (*reset_for_start)() = nullptr;
  // The close query that the error reporter runs before it ends the program (-1 lets it close).
  int32_t (*query_close)(int32_t code) = nullptr;
  // The debugger's state back to its start, with the trace's.
  void (*debugger_reset)() = nullptr;
  // Element `element` of variable `variable` formatted as field output shows it, into `text`
  // cut or blank-padded to `length`.
  void (*format_element_into)(int32_t variable, int32_t element, char* text, int32_t length) = nullptr;
  // Runs a label one call level deeper, as every event does (the combo box's selection label).
  void (*run_label)(int32_t label) = nullptr;
  // The runtime's mouse handler, for windows besides the main window (the plot output window).
  void (*mouse_event)(int32_t& event, qn_point& point, qn_rect& drag, int32_t& window, qn_point& second,
                      int32_t& keystate) = nullptr;
};
extern upper_services_t upper_services;
