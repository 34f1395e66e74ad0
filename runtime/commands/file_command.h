// The FILE command's numbered slots 1..9: each holds a file unit (or, for window slots, a window
// handle; 0 = free) and the record length it was opened with (0 = sequential).
#pragma once

#include <array>
#include <string>
#include <cstdint>

#include "runtime/program/open_things.h"

struct file_slot_t {
  int32_t unit = 0;
  int32_t record_length = 0;
  bool window = false;  // the unit is a scroll-text window's handle
  std::string name;     // the file's name, for the error log
  bool write_failed = false;  // a failed write was logged; the close does not log it again
};

struct file_command_state_t {
  std::array<file_slot_t, 10> slots{};  // 1..9 (index 0 unused)
};
extern file_command_state_t file_command_state;

// Closes the units of every slot and frees the slots; for tests and program ends.
void file_command_reset();
// The FILE units' row of what a run holds open (open_things.h): at a RUN chain and at every end
// of the run every slot's buffered lines go to its file, a failed write of them reported like
// every failed write; the slots stay open (for the chained program; after an end the process's
// exit closes them).  A FILE open on an open slot is refused by the command itself ("FILE
// OPEN"), and an abandoned event leaves the slots as they are.
void file_units_end(run_transition why);
