// The system sounds of message_beep: the desktop's event sounds through libcanberra (the
// freedesktop sound theme), and the plain beep when the sound system cannot play.
#include "quillon/backend/backend.h"

#include <QApplication>

#include <canberra.h>

namespace {

struct sound_state_t {
  ca_context* context = nullptr;
  bool unavailable = false;  // opening failed once: no second attempt
  qn_sound_request last;
};
sound_state_t& st() {
  static sound_state_t s;
  return s;
}

// The event id of the theme for a MessageBeep type.
const char* event_id_of(int32_t type) {
  switch (type) {
    case 0x10: return "dialog-error";
    case 0x20: return "window-question";
    case 0x30: return "dialog-warning";
    case 0x40: return "dialog-information";
    default: return "bell";
  }
}

// The sound system's context, opened once; nullptr when there is none (no sound server or
// card), which is no error.
ca_context* sound_context() {
  sound_state_t& s = st();
  if (s.context != nullptr || s.unavailable) return s.context;
  ca_context* c = nullptr;
  if (ca_context_create(&c) != CA_SUCCESS) {
    s.unavailable = true;
    return nullptr;
  }
  ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "WinKYR", nullptr);
  if (ca_context_open(c) != CA_SUCCESS) {
    ca_context_destroy(c);
    s.unavailable = true;
    return nullptr;
  }
  s.context = c;
  return c;
}

}  // namespace

void message_beep(int32_t type, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  sound_state_t& s = st();
  s.last.type = type;
  s.last.event_id = event_id_of(type);
  ++s.last.requests;
  ca_context* c = sound_context();
  // ca_context_play hands the sound to the sound system and returns at once.
  const int result = c == nullptr ? CA_ERROR_NOTAVAILABLE
                                  : ca_context_play(c, 0, CA_PROP_EVENT_ID, s.last.event_id.c_str(),
                                                    CA_PROP_EVENT_DESCRIPTION, "message beep", nullptr);
  s.last.played = result == CA_SUCCESS;
  if (c != nullptr && result != CA_SUCCESS) {
    // Every event id is in the freedesktop theme, so a failure means there is no device to play
    // on (the sound system reports a missing device as data not found): the plain beep from now
    // on, without asking the sound system again.
    ca_context_destroy(c);
    s.context = nullptr;
    s.unavailable = true;
  }
  if (!s.last.played) QApplication::beep();
}

qn_sound_request qn_last_sound() { return st().last; }
