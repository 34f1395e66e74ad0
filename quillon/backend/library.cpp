// The library's start: the application object, the handle counter, the error convention and
// the reset for tests.
#include "quillon/backend/backend.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

struct library_state {
  int32_t next_handle = 0x100;
  int32_t option_word = 1;
  std::function<void(int)> exit_hook;
  void (*end_steps)() = nullptr;
  std::string last_error;  // the message of the last failure that went into a caller's status
};
library_state& lib() {
  static library_state s;
  return s;
}

int app_argc = 1;
char app_name[] = "winkyr";
char* app_argv[] = {app_name, nullptr};

void end_program(int code) {
  // The steps run once: an error while they run ends the program without them.
  if (void (*steps)() = std::exchange(lib().end_steps, nullptr)) steps();
  qnb::destroy_main_window_now();
  if (lib().exit_hook)
    lib().exit_hook(code);
  else
    std::exit(code);
}

}  // namespace

namespace qnb {

void ensure_app() {
  if (QApplication::instance()) return;
  // Created on first use and never destroyed: at process exit Qt's own globals may already be
  // gone, and a late destructor would crash the exit.
  new QApplication(app_argc, app_argv);
  // The library ends its loop itself when the main window is destroyed.
  QApplication::setQuitOnLastWindowClosed(false);
  // Qt's own texts (the buttons of boxes, the file and print dialogs) in the user's language.
  auto* translator = new QTranslator(QApplication::instance());
  if (translator->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(translator);
}

int32_t new_handle() { return lib().next_handle++; }

void report_bad_ups(std::string_view routine, int* status) {
  qn_error("Invalid argument 'ups' passed to: " + std::string(routine), QN_FAIL, status);
}

}  // namespace qnb

void qn_set_option_word(int32_t word) { lib().option_word = word; }
int32_t qn_option_word() { return lib().option_word; }
void qn_set_exit_hook(std::function<void(int code)> hook) { lib().exit_hook = std::move(hook); }
void qn_set_end_steps(void (*steps)()) { lib().end_steps = steps; }

std::string qn_last_error() { return lib().last_error; }

void qn_error(std::string_view message, int32_t code, int* status) {
  if (status) {
    *status = code;
    lib().last_error = message;
    return;
  }
  const int32_t word = lib().option_word;
  if (word == 0) return;
  const std::string text(message);
  char line[64];
  std::snprintf(line, sizeof line, "# %#8x", unsigned(code));
  qn_error_line("Error diagnosed by Quillon: " + text + line);
  if (word & 0x4000) {
    if (FILE* f = std::fopen("qn_self.tmp", "a")) {
      std::fprintf(f, "Error diagnosed by Quillon: %s# %#8x\n", text.c_str(), unsigned(code));
      std::fclose(f);
    }
    return;
  }
  char tail[32];
  std::snprintf(tail, sizeof tail, "#%08X", unsigned(code));
  const std::string box = text + tail + "... Continue?";
  // Where nobody could answer the box, it is not shown and takes the answer No.
  if (qn_boxes_unseen() || qnb::show_box(box, "Error diagnosed by Quillon", MB_YESNO | MB_ICONHAND, 0) == IDNO)
    end_program(qn_status_error_box);
}

void qn_out_of_memory(int* status) {
  if (status) {
    *status = 8;
    return;
  }
  if (lib().option_word & 0x4000) {
    qn_error("Insufficient Memory; Application terminating", 8, nullptr);
  } else {
    qn_error_line("Insufficient Memory; Application terminating");
    if (!qn_boxes_unseen())
      qnb::show_box("Insufficient Memory; Application terminating", "Error diagnosed by Quillon",
                    MB_OK | MB_ICONHAND, 0);
  }
  end_program(qn_status_out_of_memory);
}

void qn_reset() {
  qnb::timers_reset();
  qnb::drawing_reset();
  qnb::windows_reset();
  qnb::objects_reset();
  qnb::keys_reset();
  qnb::loop_reset();
  qnb::signals_reset();
  qnb::boxes_reset();
  qnb::nested_loops_reset();
  qnb::help_reset();
  qnb::clipboard_reset();
  qn_menus_reset();
  lib().option_word = 1;
  lib().exit_hook = nullptr;
  lib().end_steps = nullptr;
  lib().last_error.clear();
}
