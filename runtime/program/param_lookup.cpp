// Parameter lookup in command-line style texts.
#include "runtime/program/param_lookup.h"
#include "runtime/program/open_things.h"
#include "runtime/program/program.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

struct param_lookup_state_t {
  int32_t positional_count = 0;  // quoted texts asked for by "*"
};
param_lookup_state_t param_state;

constexpr std::string_view list_chars = "()[],1234567890-+";
constexpr size_t work_length = 128;

std::string trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

// The process command line from the first blank on (the program name dropped).
std::string process_arguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string joined;
  for (char c : raw) joined += c == '\0' ? ' ' : c;
  const size_t blank = joined.find(' ');
  return blank == std::string::npos ? std::string() : trimmed(joined.substr(blank));
}

[[noreturn]] void stop_run(const std::string& message) {
  end_open_things(run_transition::error_end);  // what the program wrote stays readable
  std::fputs((message + "\n").c_str(), stdout);
  std::fflush(stdout);
  std::exit(1);
}

// Writes `text` blank-padded (or cut) into `out`, keeping out's length (`fallback` when empty).
void assign_padded(std::string& out, std::string_view text, size_t fallback) {
  const size_t length = out.empty() ? fallback : out.size();
  out.assign(text.substr(0, std::min(text.size(), length)));
  out.resize(length, ' ');
}

bool word_start(const std::string& line, size_t p) {
  return p == 0 || line[p - 1] == ' ' || line[p - 1] == ',' || line[p - 1] == '(';
}

// Length of the keyword match at p: at least `required` characters of `name`, continuing with
// a prefix of the rest; 0 when none.
size_t match_at(const std::string& line, size_t p, const std::string& name, size_t required) {
  size_t n = 0;
  while (n < name.size() && p + n < line.size() && line[p + n] == name[n]) ++n;
  if (n < required) return 0;
  // A longer word is another keyword: the match must end where the word ends.
  if (n < name.size() && p + n < line.size()) {
    const char next = line[p + n];
    if ((next >= 'A' && next <= 'Z') || (next >= '0' && next <= '9') || next == '_') return 0;
  }
  return n;
}

// The closing bracket that matches the opening one at `open`, or npos.
size_t matching_bracket(const std::string& line, size_t open) {
  int depth = 0;
  for (size_t i = open; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '(' || c == '[') ++depth;
    if (c == ')' || c == ']') {
      if (--depth == 0) return i;
    }
  }
  return std::string::npos;
}

}  // namespace

void upcase_in_place(std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  if (end == std::string::npos) return;
  for (size_t i = 0; i <= end; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
}

void param_lookup_reset() { param_state = {}; }

void get_parameter(std::string& line, std::string_view keyword, std::string& value,
                   std::string_view default_value) {
  const size_t line_length = line.empty() ? work_length : line.size();
  if (trimmed(line) == "*") assign_padded(line, process_arguments(), line_length);
  std::string given = line.substr(0, std::min(line.size(), work_length));
  given.resize(work_length, ' ');
  const std::string work = upper(given);
  std::string key = upper(trimmed(keyword.substr(0, std::min(keyword.size(), work_length))));
  assign_padded(value, "", work_length);

  const bool mandatory = !key.empty() && key[0] == '!';
  if (mandatory) key.erase(0, 1);

  // Removes [from, to) from the line (and a directly following ")", "]" or ","), drops
  // leading blanks and keeps the line's length.
  auto consume = [&](size_t from, size_t to) {
    if (to < given.size() && (given[to] == ')' || given[to] == ']' || given[to] == ',')) ++to;
    std::string rest = given.substr(0, from) + given.substr(std::min(to, given.size()));
    assign_padded(line, trimmed(rest), line_length);
  };

  if (key == "*") {
    ++param_state.positional_count;
    const size_t open = given.find_first_of("\"'");
    const size_t close = open == std::string::npos ? open : given.find(given[open], open + 1);
    if (close == std::string::npos)
      stop_run("*** Text-Parameter fehlt: Text-Nr. " + std::to_string(param_state.positional_count) + " ***");
    assign_padded(value, given.substr(open + 1, close - open - 1), work_length);
    consume(0, close + 1);
    if (trimmed(value).empty()) assign_padded(value, default_value, work_length);
    return;
  }

  char separator = 0;
  if (key.find(':') != std::string::npos) separator = ':';
  else if (key.find('=') != std::string::npos) separator = '=';
  std::string name = separator ? key.substr(0, key.find(separator)) : key;
  size_t required = name.size();
  const size_t bar = name.find('|');
  if (bar != std::string::npos && bar >= 2) {
    required = bar;
    name.erase(bar, 1);
  }

  bool in_quotes = false;
  for (size_t p = 0; p < work.size(); ++p) {
    if (work[p] == '"') {
      in_quotes = !in_quotes;
      continue;
    }
    if (in_quotes || !word_start(work, p)) continue;
    if (!separator) {
      // A switch: NAME or NONAME, followed by a blank or ",".
      const bool negated = work.compare(p, 2, "NO") == 0 && match_at(work, p + 2, name, required) > 0;
      const size_t at = negated ? p + 2 : p;
      const size_t n = match_at(work, at, name, required);
      if (n == 0) continue;
      const size_t end = at + n;
      if (end < work.size() && work[end] != ' ' && work[end] != ',') continue;
      assign_padded(value, negated ? "NO" : "YES", work_length);
      consume(p, end);
      return;
    }
    const size_t n = match_at(work, p, name, required);
    if (n == 0) continue;
    size_t start = p + n;
    if (start < work.size() && work[start] == separator) {
      ++start;
    } else if (start >= work.size() || list_chars.find(work[start]) == std::string_view::npos) {
      stop_run("*** Falscher Parameter : >" + trimmed(given.substr(p)) + "< ***");
    }
    size_t end = start;
    std::string text;
    if (start < given.size() && given[start] == '"') {
      const size_t close = given.find('"', start + 1);
      end = close == std::string::npos ? given.size() : close + 1;
      text = given.substr(start + 1, (close == std::string::npos ? given.size() : close) - start - 1);
    } else if (start < given.size() && (given[start] == '(' || given[start] == '[')) {
      const size_t close = matching_bracket(given, start);
      if (close == std::string::npos) stop_run("*** Falscher Parameter : >" + trimmed(given.substr(start)) + "< ***");
      end = close + 1;
      // A list in "(...)" is given without its brackets; one in "[...]" as written.
      text = given[start] == '(' ? given.substr(start + 1, close - start - 1) : given.substr(start, end - start);
    } else {
      end = given.find(' ', start);
      if (end == std::string::npos) end = given.size();
      text = given.substr(start, end - start);
    }
    assign_padded(value, text, work_length);
    consume(p, end);
    if (trimmed(value).empty()) assign_padded(value, default_value, work_length);
    return;
  }
  if (mandatory) stop_run("*** Parameter fehlt : >" + key + "< ***");
  assign_padded(value, default_value, work_length);
}
