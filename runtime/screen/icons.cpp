// The icon library's drawing entry.  The library file reader is not part of this build yet;
// without a library nothing is drawn, as when no "icon.lib" is found.
#include <string_view>

#include "runtime/screen/screen.h"

void draw_icon(int32_t x, int32_t y, std::string_view reference, bool flag) {}
