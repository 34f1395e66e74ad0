// Ctrl+C on a window: its picture goes to the clipboard after a question.
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/screen/screen.h"

void copy_window_to_clipboard(int32_t window, std::string_view kind) {
  const std::string question = std::string(kind) + " in die Zwischenablage kopieren?";
  if (MESSAGE_BOX(question, {.caption = "KYR-Clipboard", .style = MB_YESNO | MB_ICONQUESTION}) != IDYES)
    return;
  int status = 0;
  COPY_WINDOW_TO_CLIPBOARD(window, &status);
  if (status != 0) warning_box("Kopieren in die Zwischenablage nicht m\xF6glich", "");
}
