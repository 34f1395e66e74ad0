// Fallbacks for the resets that init_common runs, used while the interpreter's own timer
// labels, level stack and random generator are not linked in.  They are weak: the real
// definitions take their place.
#include <cstdint>

#include "runtime/core/core.h"

__attribute__((weak)) void reset_event_labels() {}
__attribute__((weak)) void reset_level_stack() {}
__attribute__((weak)) void seed_random(uint32_t first_word, uint32_t second_word) {}
