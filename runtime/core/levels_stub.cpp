// Fallbacks for the resets that init_common runs, used while the interpreter's own timer
// labels and level stack are not linked in.  They are weak: the real definitions take their
// place.
#include <cstdint>

#include "runtime/core/core.h"

__attribute__((weak)) void reset_event_labels() {}
