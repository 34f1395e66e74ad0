// SYSVAR's services of the process: the command-line words, the environment, the current
// directory and the Windows directory.
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/sysvar_internal.h"

bool sysvar_environment(std::string_view name, const sysvar_arg& arg, sysvar_result& out) {
  if (name == "getarg") {
    std::string word;
    GET_ARG(arg.whole(), word);
    // The word ends at its first blank; an empty word is one blank.
    word = word.substr(0, word.find(' '));
    if (word.empty()) word.assign(1, ' ');
    const auto n = static_cast<int32_t>(word.size());
    out = sysvar_result::of_text(std::move(word), n);
  } else if (name == "getenv") {
    const std::string key = arg.trimmed();
    std::string value;
    GET_ENVIRONMENT_VARIABLE(key.substr(0, key.find(' ')), value);
    out = sysvar_result::of_trimmed_or_blank(value);
  } else if (name == "setenv") {
    // NAME=value; without a name before the "=" nothing happens.  The status is dropped.  A cut
    // text sets nothing: its value (often a file name the runtime reads later) would be another.
    const size_t equals = arg.text.find('=');
    if (arg.name() && equals != std::string::npos && equals >= 1)
      SET_ENVIRONMENT_VARIABLE(arg.text.substr(0, equals), trim_blanks(arg.text.substr(equals + 1)),
                               &sysvar_state.scratch);
    out = sysvar_result::of(0.0f);
  } else if (name == "path") {
    std::string path;
    GET_CURRENT_DIRECTORY(path);
    out = sysvar_result::of_trimmed_or_blank(path);
  } else if (name == "setpath") {
    if (!arg.name())
      sysvar_state.scratch = io_status;  // refused: the status says why
    else
      SET_CURRENT_DIRECTORY(arg.text_or_blank(), &sysvar_state.scratch);
    out = sysvar_result::of(static_cast<float>(sysvar_state.scratch));
  } else if (name == "windir") {
    std::string path;
    GET_WINDOWS_DIRECTORY(path);
    path = trim_blanks(path);
    const auto n = static_cast<int32_t>(path.size());
    out = sysvar_result::of_text(std::move(path), n);
  } else {
    return false;
  }
  return true;
}
