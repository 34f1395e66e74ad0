// The system's font configuration, read ahead.  The first text that the library measures makes
// Qt read the font configuration (some hundred small XML files): the largest single cost of a
// program's start.  It is read on a thread of its own while the application object and the
// program are being set up, so that the first text finds it ready.  Fontconfig's start is safe
// to race: when Qt asks before the thread is done, each side loads a configuration and the one
// that comes second is dropped.  The thread touches nothing of the library or the runtime.
#include <fontconfig/fontconfig.h>

#include <thread>

#include "quillon/backend/backend.h"

namespace qnb {

void start_font_configuration() {
  static const bool started = [] {
    std::thread([] { FcInit(); }).detach();
    return true;
  }();
  (void)started;
}

}  // namespace qnb
