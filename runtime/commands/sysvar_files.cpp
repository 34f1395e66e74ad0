// SYSVAR's file services: delete, copy and test for files, count and search directory
// entries and read the fields of a match, volume information, directories, and the raw file
// handles a program may open and close itself.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/file_glue.h"
#include "runtime/commands/sysvar_internal.h"

sysvar_state_t sysvar_state;

namespace {

// Names for the low-level glue pass through a 128-character buffer that ends with a NUL, so a
// name of more than 127 characters does not fit and is refused.
constexpr size_t glue_name_limit = 127;

std::string lower(std::string text) {
  lowcase_string(text.data(), static_cast<int32_t>(text.size()));
  return text;
}


sysvar_result number(int64_t v) { return sysvar_result::of(static_cast<float>(v)); }

// ---------------------------------------------------------------- file search
sysvar_result file_search(const sysvar_arg& arg) {
  sysvar_state_t& s = sysvar_state;
  if (arg.whole() == 0) {  // a number 0 or an empty text ends the search; the lists stay
    s.search_pattern.assign(128, ' ');
    s.search_position = 0;
    return sysvar_result::of(0.0f);
  }
  // The whole pattern, and every name found whole: a name cut would name another file.
  if (!arg.name()) return sysvar_result::of_text(" ", 1);
  const std::string pattern = file_name_field(arg.text, 128);
  if (pattern != s.search_pattern) {
    s.search_names.clear();
    s.search_records.clear();
    s.search_pattern = pattern;
    GET_DIRECTORY_LIST(trim_blanks(pattern), s.search_names, &s.search_records, &io_status);
    s.search_position = 0;
    s.search_count = static_cast<int32_t>(s.search_names.size());
  }
  // Past the last match the position stops one beyond it: every later call answers " ".
  s.search_position = std::min(s.search_position, s.search_count) + 1;
  if (s.search_position > s.search_count) return sysvar_result::of_text(" ", 1);
  std::string name = s.search_names[static_cast<size_t>(s.search_position - 1)];
  upcase_string(name.data(), static_cast<int32_t>(name.size()));
  return sysvar_result::of_trimmed_or_blank(name);
}

std::string two_digits(int32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", std::clamp(v, 0, 99));
  return buffer;
}

sysvar_result file_info(const sysvar_arg& arg) {
  const sysvar_state_t& s = sysvar_state;
  if (s.search_position < 1 || s.search_position > s.search_count ||
      s.search_position > static_cast<int32_t>(s.search_records.size()))
    return sysvar_result::of(-1.0f);
  const size_t i = static_cast<size_t>(s.search_position - 1);
  const qn_directory_record& r = s.search_records[i];
  const std::string& name = s.search_names[i];
  const std::string field = lower(arg.trimmed());
  if (field == "date") {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", std::clamp(r.written.year, 0, 9999));
    return sysvar_result::of_text(two_digits(r.written.day) + "." + two_digits(r.written.month) + "." + year, 10);
  }
  if (field == "time")
    return sysvar_result::of_text(
        two_digits(r.written.hour) + ":" + two_digits(r.written.minute) + ":" + two_digits(r.written.second), 8);
  if (field == "name") {
    std::string t = trim_blanks(name);
    const auto n = static_cast<int32_t>(t.size());
    return sysvar_result::of_text(std::move(t), n);
  }
  if (field == "type") {
    const size_t dot = name.find('.');
    std::string t = trim_blanks(dot == std::string::npos ? name : name.substr(dot + 1));
    const auto n = static_cast<int32_t>(t.size());
    return sysvar_result::of_text(std::move(t), n);
  }
  if (field.compare(0, 3, "/a:") == 0) {
    const std::string letters = field.substr(3);
    constexpr struct {
      char letter;
      int32_t bit;
    } attributes[] = {{'d', 0x10}, {'r', 0x01}, {'h', 0x02}, {'a', 0x20}, {'s', 0x04}};
    int32_t count = 0;
    for (const auto& a : attributes)
      if (letters.find(a.letter) != std::string::npos && (r.attributes & a.bit) != 0) ++count;
    return number(count);
  }
  if (field == "size") return number(r.size_low);
  return sysvar_result::of(0.0f);
}

// ---------------------------------------------------------------- volumes
sysvar_result volume_info(std::string_view name, const sysvar_arg& arg) {
  const std::string root(name.substr(5));
  const std::string field = lower(arg.trimmed());
  if (field == "label") {
    std::string label;
    GET_VOLUME_INFORMATION(root, {.name = &label, .status = &io_status});
    label = trim_blanks(label);
    const auto n = static_cast<int32_t>(label.size());
    return sysvar_result::of_text(std::move(label), n);
  }
  if (field == "snr") {
    uint32_t serial = 0;
    GET_VOLUME_INFORMATION(root, {.serial = &serial, .status = &io_status});
    // The serial is a 32-bit word; as a program integer it is signed.
    return number(static_cast<int32_t>(serial));
  }
  return sysvar_result::of(0.0f);  // "free", "size" and anything else
}

// ---------------------------------------------------------------- raw handles
bool owned_handle(int32_t h) {
  const auto& list = sysvar_state.raw_handles;
  return std::find(list.begin(), list.end(), h) != list.end();
}

sysvar_result raw_open(const sysvar_arg& arg, bool read_only) {
  const std::optional<std::string> whole = arg.name();
  const std::string name = whole.value_or(arg.trimmed());
  int32_t handle = -1;
  if (whole && name.size() <= glue_name_limit) handle = read_only ? c_sopen_or(name) : c_sopen(name);
  if (handle >= 0) sysvar_state.raw_handles.push_back(handle);
  sysvar_state.scratch = handle;
  trace_int((read_only ? "c_sopen_o " : "c_sopen ") + name, handle);
  return number(handle);
}

sysvar_result raw_close(const sysvar_arg& arg) {
  const int32_t h = arg.whole();
  int32_t result = 0;
  if (h != -1) {
    // Only handles the program opened here: closing a descriptor of the runtime itself (the
    // display connection, the database, a log) would break it.
    result = owned_handle(h) ? c_close(h) : -1;
    if (owned_handle(h)) {
      auto& list = sysvar_state.raw_handles;
      list.erase(std::find(list.begin(), list.end(), h));
    }
  }
  sysvar_state.scratch = result;
  trace_int2("c_close ", h, result);
  return number(result);
}

bool file_exists(const std::string& name) {
  if (name.empty()) return false;
  const std::string path = host_path(name);
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

void sysvar_reset() {
  for (int32_t h : sysvar_state.raw_handles) c_close(h);
  sysvar_state = sysvar_state_t{};
}

bool sysvar_files(std::string_view name, const sysvar_arg& arg, sysvar_result& out) {
  // Every service that takes a file name takes it whole or refuses it (names.h): a refused name
  // gives the service's answer for a failure, "exist" -1.
  if (name == "delete") {
    out = number(arg.name() && delete_file(arg.text_or_blank()) != 0 ? 0 : -1);
  } else if (name == "copy") {
    // Source up to the first blank, destination everything after it.
    if (!arg.name()) {
      out = number(-1);
      return true;
    }
    const std::string text = arg.text_or_blank();
    const size_t blank = text.find(' ');
    const std::string source = text.substr(0, blank);
    const std::string destination = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    // A failure of the temporary folder is the run's, not the program's files': it is named in
    // the log (any other failure is only the answer -1).
    std::string folder_failure;
    const bool copied = copy_file(source, destination, {.temporary_folder_failure = &folder_failure}) == 1;
    if (!folder_failure.empty()) warning_log("cannot write " + destination + ": " + folder_failure);
    out = number(copied ? 0 : -1);
  } else if (name == "fcount") {
    std::vector<std::string> names;
    if (arg.name()) GET_DIRECTORY_LIST(arg.trimmed(), names, nullptr, &io_status);
    out = number(static_cast<int64_t>(names.size()));
  } else if (name == "fsearch") {
    out = file_search(arg);
  } else if (name == "finfo") {
    out = file_info(arg);
  } else if (name.compare(0, 5, "disk:") == 0) {
    out = volume_info(name, arg);
  } else if (name == "exist") {
    out = number(!arg.name() ? -1 : file_exists(arg.trimmed()) ? 1 : 0);
  } else if (name == "mkdir" || name == "rmdir") {
    const std::string dir = arg.trimmed();
    const bool fits = arg.name() && dir.size() <= glue_name_limit;
    const int32_t status = !fits ? -1 : name == "mkdir" ? c_mkdir(dir) : c_rmdir(dir);
    out = number(status == 0 ? 1 : 0);
  } else if (name == "c_sopen") {
    out = raw_open(arg, false);
  } else if (name == "c_sopen_or") {
    out = raw_open(arg, true);
  } else if (name == "c_close") {
    out = raw_close(arg);
  } else {
    return false;
  }
  return true;
}
