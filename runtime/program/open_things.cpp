// The table of open kinds and the one road of every transition through it.
#include "runtime/program/open_things.h"

#include <array>

#include "runtime/program/program.h"

namespace {
std::array<void (*)(run_transition), static_cast<size_t>(open_kind::count)> kind_ends{};
}  // namespace

void set_open_kind_end(open_kind kind, void (*end)(run_transition why)) {
  kind_ends[static_cast<size_t>(kind)] = end;
}

void end_open_thing(open_kind kind, run_transition why) {
  if (void (*end)(run_transition) = kind_ends[static_cast<size_t>(kind)]; end != nullptr) end(why);
}

void end_open_things(run_transition why) {
  for (void (*end)(run_transition) : kind_ends)
    if (end != nullptr) run_guarded([&] { end(why); });
}
