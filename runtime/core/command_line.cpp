// The start-up rules of the command line: lead characters and the program name.
#include "runtime/core/core.h"
#include "runtime/core/file_glue.h"

namespace {
constexpr size_t command_line_length = 80;
constexpr size_t command_buffer_length = 1024;
constexpr char degree_sign = '\xB0';


// Blanks the first `stop` character at position 2 or later and everything after it.
void cut_at(std::string& text, char stop) {
  size_t at = text.find(stop, 1);
  if (at != std::string::npos) text.resize(at);
}

bool ends_with_pxb(std::string_view name) { return name.size() >= 4 && name.ends_with(".PXB"); }
}  // namespace

std::string command_buffer_from_args(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined += ' ';
    joined += argv[i] ? argv[i] : "";
  }
  std::string buffer = utf8_to_cp1252(joined);
  buffer.resize(command_buffer_length, ' ');
  return buffer;
}

command_line_t read_command_line(std::string_view command_buffer) {
  command_line_t result;
  std::string line(command_buffer.substr(0, command_line_length));
  if (!line.empty() && line.front() == '"') {
    line.erase(0, 1);
    cut_at(line, '"');
  }
  if (!line.empty() && line.front() == degree_sign) {
    line.erase(0, 1);
    result.debug_window = true;
  }
  if (!line.empty() && line.front() == '$') {
    line.erase(0, 1);
    result.trace_file = true;
  }
  // Leading blanks would make the name empty at the first cut; they are dropped first.
  size_t first = line.find_first_not_of(' ');
  std::string name = first == std::string::npos ? std::string() : line.substr(first);
  name = std::string(blank_trimmed(name));
  cut_at(name, ' ');
  cut_at(name, ',');
  upcase_string(name.data(), static_cast<int32_t>(name.size()));
  result.name = std::string(blank_trimmed(name));
  return result;
}

std::string program_file_name(const std::string& name, std::string_view exe_path) {
  if (ends_with_pxb(name)) return name;
  std::string path(blank_trimmed(exe_path));
  upcase_string(path.data(), static_cast<int32_t>(path.size()));
  size_t exe = path.rfind(".EXE");
  if (exe != std::string::npos) {
    path.resize(exe + 1);  // keep the dot, replace what follows by "PXB"
    path += "PXB";
  } else {
    path += ".PXB";  // executables here carry no ".EXE"
  }
  return path;
}
