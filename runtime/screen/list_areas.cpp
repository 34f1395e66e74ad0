// The list's slider.  The area table that holds slider thumbs is not linked to the lists yet,
// so a list has no slider to move and keeping it in step does nothing.
#include "runtime/screen/lists.h"

void update_slider(int32_t n) { (void)n; }
