// The start-up rules of the command line: lead characters and the program name.  The shell has
// split the command line already: the first argument is the program's name whole (blanks
// included), the others are the program's own, read through "getarg".
#include "runtime/commands/runtime.h"
#include "runtime/program/file_glue.h"

namespace {
constexpr char degree_sign = '\xB0';
}  // namespace

bool ends_with_pxb(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  upcase_string(tail.data(), 4);
  return tail == ".PXB";
}

std::string program_argument(int argc, const char* const* argv) {
  return argc > 1 && argv[1] ? utf8_to_cp1252(argv[1]) : std::string();
}

command_line_t read_command_line(std::string_view argument) {
  command_line_t result;
  if (argument.starts_with(degree_sign)) {
    argument.remove_prefix(1);
    result.debug_window = true;
  }
  if (argument.starts_with('$')) {
    argument.remove_prefix(1);
    result.trace_file = true;
  }
  result.name = std::string(argument);
  return result;
}

// The executable's path keeps its case (Linux's names are case-sensitive, and the path goes as
// it is into the messages); its ".EXE" is found in any case.
std::string program_file_name(const std::string& name, std::string_view exe_path) {
  if (ends_with_pxb(name)) return name;
  std::string path(blank_trimmed(exe_path));
  std::string upper = path;
  upcase_string(upper.data(), static_cast<int32_t>(upper.size()));
  size_t exe = upper.rfind(".EXE");
  if (exe != std::string::npos) {
    path.resize(exe + 1);  // keep the dot, replace what follows by "PXB"
    path += "PXB";
  } else {
    path += ".PXB";  // executables here carry no ".EXE"
  }
  return path;
}
