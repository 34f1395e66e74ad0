// The system sounds of message_beep: the desktop's event sounds through libcanberra (the
// freedesktop sound theme), and the plain beep when the sound system cannot play.
#include "quillon/backend/backend.h"
#include "quillon/api/libraries.h"

#include <QApplication>

#include <canberra.h>

namespace {

// libcanberra is opened at the first sound, not when the process starts: a program that
// never beeps does not pay for loading it and its codecs.  Without the library there is no
// sound system, as without a sound server: the plain beep.
struct sound_library {
  decltype(&::ca_context_create) create = nullptr;
  decltype(&::ca_context_change_props) change_props = nullptr;
  decltype(&::ca_context_open) open = nullptr;
  decltype(&::ca_context_play) play = nullptr;
  decltype(&::ca_context_destroy) destroy = nullptr;
};

// The library's entry points, looked up once; nullptr when it is missing or incomplete.
const sound_library* sound_api() {
  static const sound_library* api = []() -> const sound_library* {
    void* handle = qn_open_library("libcanberra.so.0");
    static sound_library lib;
    if (qn_find_entry(handle, "ca_context_create", lib.create) &&
        qn_find_entry(handle, "ca_context_change_props", lib.change_props) &&
        qn_find_entry(handle, "ca_context_open", lib.open) && qn_find_entry(handle, "ca_context_play", lib.play) &&
        qn_find_entry(handle, "ca_context_destroy", lib.destroy))
      return &lib;
    return nullptr;
  }();
  return api;
}

// ALSA's library writes its complaints (no sound card, no configuration for one) to standard
// error itself, eight lines for one beep on a machine without a card; the runtime's standard
// error carries its own lines only, and a sound that cannot play falls back to the plain beep.
// libasound is opened before libcanberra loads its ALSA driver and given a handler that drops
// the messages; the driver then finds the library already loaded, with that handler.
extern "C" void drop_alsa_message(const char*, int, const char*, int, const char*, ...) {}

void silence_alsa_messages() {
  using alsa_error_handler = void (*)(const char*, int, const char*, int, const char*, ...);
  int (*set_handler)(alsa_error_handler) = nullptr;
  if (qn_find_entry(qn_open_library("libasound.so.2"), "snd_lib_error_set_handler", set_handler))
    set_handler(drop_alsa_message);
}

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
  const sound_library* ca = sound_api();
  ca_context* c = nullptr;
  if (ca == nullptr || ca->create(&c) != CA_SUCCESS) {
    s.unavailable = true;
    return nullptr;
  }
  ca->change_props(c, CA_PROP_APPLICATION_NAME, "WinKYR", nullptr);
  silence_alsa_messages();  // opening the context loads the drivers
  if (ca->open(c) != CA_SUCCESS) {
    ca->destroy(c);
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
                                  : sound_api()->play(c, 0, CA_PROP_EVENT_ID, s.last.event_id.c_str(),
                                                      CA_PROP_EVENT_DESCRIPTION, "message beep", nullptr);
  s.last.played = result == CA_SUCCESS;
  if (c != nullptr && result != CA_SUCCESS) {
    // Every event id is in the freedesktop theme, so a failure means there is no device to play
    // on (the sound system reports a missing device as data not found): the plain beep from now
    // on, without asking the sound system again.
    sound_api()->destroy(c);
    s.context = nullptr;
    s.unavailable = true;
  }
  if (!s.last.played) QApplication::beep();
}

qn_sound_request qn_last_sound() { return st().last; }
