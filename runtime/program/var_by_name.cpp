// Program variables reached by name at run time (plot scripts, print forms, the database fetch,
// the file selection box, field input, the debugger): the name lookup with an optional element
// number, typed reads and writes of one element, text variables with a substring, and the
// argument-list stepper of the plot script.
#include <algorithm>
#include <bit>
#include <charconv>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/names.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/program_image.h"

namespace {

struct by_name_state_t {
  bool map_error_report = true;  // a name that is not found is reported
};
by_name_state_t by_name;


// Reads an integer from a fixed field with its blanks ignored; a blank field reads as 0.
bool read_fixed_integer(std::string_view field, int32_t& value) {
  std::string digits;
  for (char c : field)
    if (c != ' ') digits.push_back(c);
  value = 0;
  if (digits.empty()) return true;
  const char* first = digits.data();
  if (*first == '+') ++first;
  const auto res = std::from_chars(first, digits.data() + digits.size(), value);
  return res.ec == std::errc() && res.ptr == digits.data() + digits.size();
}

// Reads two integers in free form (separated by commas or blanks).
bool read_two_integers(std::string_view field, int32_t& a, int32_t& b) {
  int32_t values[2] = {0, 0};
  size_t pos = 0;
  for (int32_t& v : values) {
    while (pos < field.size() && field[pos] == ' ') ++pos;
    size_t end = pos;
    while (end < field.size() && field[end] != ' ' && field[end] != ',') ++end;
    if (end == pos) return false;
    const char* first = field.data() + pos;
    if (*first == '+') ++first;
    const auto res = std::from_chars(first, field.data() + end, v);
    if (res.ec != std::errc() || res.ptr != field.data() + end) return false;
    pos = end;
    while (pos < field.size() && field[pos] == ' ') ++pos;
    if (pos < field.size() && field[pos] == ',') ++pos;
  }
  a = values[0];
  b = values[1];
  return true;
}

bool is_text_type(int32_t type) { return type == 4 || type == 5 || type == 6; }

const variable_record* record(int32_t v) {
  return variable_table.valid(v) ? &variable_table.records[static_cast<size_t>(v)] : nullptr;
}

bool is_numeric_type(int32_t type) { return type == var_integer || type == var_real || type == var_pointer; }

// The numeric element a reference names, with its variable's type (the run-time array's word
// while the variable has one).  A variable that holds no number (a text) is refused with
// `refusal`, an element outside the variable with "ARRAY-violation:"; either gives no word.
struct numeric_element {
  uint32_t* word = nullptr;
  int32_t type = 0;
};
numeric_element numeric_element_of(std::string_view reference, std::string_view refusal) {
  int32_t v = 0, offset = 0;
  map_variable(reference, v, offset);
  numeric_element e;
  if (v >= 1 && variable_table.valid(v)) {
    variable_record& var = variable_table.records[static_cast<size_t>(v)];
    if (!is_numeric_type(var.type)) {
      report_error(refusal, 32000);
      return e;
    }
    e.type = var.type;
    if (offset >= 0 && offset < var.dimension) e.word = element_storage(var, offset);
  }
  if (e.word == nullptr) report_error("ARRAY-violation:" + std::string(reference), 32000);
  return e;
}

// Read and write refusals of a variable that holds no number.
constexpr std::string_view not_a_number_variable = "Variablen-Typ";
constexpr std::string_view no_number_store = "Zuweisung zu nicht R/I";

}  // namespace

void set_map_error_report(bool on) { by_name.map_error_report = on; }

void map_variable(std::string_view reference, int32_t& variable, int32_t& element_offset) {
  variable = 0;
  element_offset = 0;
  std::string name(reference.substr(0, std::min<size_t>(reference.size(), 12)));
  name.resize(12, ' ');
  upcase_string(name.data(), 12);

  const size_t paren = reference.find('(');
  if (paren != std::string_view::npos && paren >= 1) {
    if (paren < 12) std::fill(name.begin() + static_cast<long>(paren), name.end(), ' ');
    std::string field(reference.substr(paren + 1, 4));
    field.resize(4, ' ');
    const size_t close = field.find(')');
    if (close != std::string::npos) std::fill(field.begin() + static_cast<long>(close), field.end(), ' ');
    int32_t number = 0;
    if (read_fixed_integer(field, number)) {
      element_offset = number - 1;
    } else {
      // A name with an unreadable element matches only a name stored without capitals.
      lowcase_string(name.data(), 12);
    }
  }
  for (int32_t v = 1; v <= variable_table.count && variable_table.valid(v); ++v) {
    const auto& stored = variable_table.records[static_cast<size_t>(v)].name;
    if (std::string_view(stored.data(), stored.size()) == name) {
      variable = v;
      return;
    }
  }
  if (by_name.map_error_report) {
    report_error("MAP-Error:" + std::string(reference), 32000);
  } else {
    element_offset = -1;
  }
}

float get_real_variable(std::string_view reference) {
  reference = blank_trimmed(reference);
  const numeric_element e = numeric_element_of(reference, not_a_number_variable);
  if (e.word == nullptr) return 0.0f;
  return e.type == var_real ? std::bit_cast<float>(*e.word) : static_cast<float>(std::bit_cast<int32_t>(*e.word));
}

int32_t get_int_variable(std::string_view reference) {
  reference = blank_trimmed(reference);
  const numeric_element e = numeric_element_of(reference, not_a_number_variable);
  if (e.word == nullptr) return 0;
  const int32_t value = e.type == var_real ? nearest_int32(std::bit_cast<float>(*e.word)) : std::bit_cast<int32_t>(*e.word);
  trace_int("GET-INT " + std::string(reference), value);
  return value;
}

void set_number_variable(std::string_view reference, double value) {
  reference = blank_trimmed(reference);
  const numeric_element e = numeric_element_of(reference, no_number_store);
  if (e.word == nullptr) return;
  if (e.type == var_real) {
    *e.word = std::bit_cast<uint32_t>(float_in_range(value));
    return;
  }
  const int32_t whole = nearest_int32(value);
  *e.word = std::bit_cast<uint32_t>(whole);
  trace_int("SET-INT " + std::string(reference), whole);
}

void set_real_variable(std::string_view reference, float value) { set_number_variable(reference, value); }

void set_int_variable(std::string_view reference, int32_t value) { set_number_variable(reference, value); }

void set_string_variable(std::string_view reference, std::string_view text) {
  reference = blank_trimmed(reference);
  int32_t v = 0, offset = 0;
  map_variable(reference, v, offset);
  if (offset != 0) {
    report_error("ARRAY-n.supp.:" + std::string(reference), 32000);
    return;
  }
  const variable_record* var = record(v);
  if (v < 1 || var == nullptr || !is_text_type(var->type)) return;
  STRING_BUFFER.write(var->text_start, var->text_end - var->text_start + 1, text);
}

int32_t variable_type_by_name(std::string_view name) {
  const bool report = by_name.map_error_report;
  by_name.map_error_report = false;
  int32_t v = 0, offset = 0;
  map_variable(blank_trimmed(name), v, offset);
  by_name.map_error_report = report;
  const variable_record* var = record(v);
  return v >= 1 && var != nullptr ? var->type : 0;
}

namespace {
// parse_substring_format, and whether the text taken holds a cut one (names.h).
bool substring_of_variable(std::string& out, std::string_view reference) {
  out.assign(132, ' ');
  std::string name(reference.substr(0, std::min<size_t>(reference.size(), 20)));
  name.resize(20, ' ');
  int32_t a = 0, b = 0;
  const size_t bracket = name.find('[');
  if (bracket != std::string::npos) {
    std::string field(reference.size() > bracket + 1 ? reference.substr(bracket + 1, 10) : std::string_view());
    field.resize(10, ' ');
    std::fill(name.begin() + static_cast<long>(bracket), name.end(), ' ');
    const size_t close = field.find(']');
    if (close == std::string::npos || close < 3) {
      report_error("FMT-SUBSTR2 ? : ]", 32000);
      return false;
    }
    std::fill(field.begin() + static_cast<long>(close), field.end(), ' ');
    const size_t colon = field.find(':');
    if (colon == std::string::npos || colon < 1) {
      report_error("FMT-SUBSTR2 ? : :", 32000);
      return false;
    }
    field[colon] = ',';
    if (!read_two_integers(field, a, b)) {
      report_error("FMT-SUBSTR2 !", 32000);
      return false;
    }
  }
  int32_t v = 0, offset = 0;
  map_variable(name, v, offset);
  if (offset != 0) {
    report_error("ARRAY-n.supp.:" + std::string(blank_trimmed(reference)), 32000);
    return false;
  }
  const variable_record* var = record(v);
  if (v < 1 || var == nullptr || !is_text_type(var->type)) return false;
  const int32_t length = var->text_end - var->text_start + 1;
  const std::string_view text = STRING_BUFFER.view(var->text_start, std::max(length, 0));
  if (a > 0 && b >= a) {
    for (int32_t i = a; i <= b && i - a < 132; ++i)
      out[static_cast<size_t>(i - a)] = i <= static_cast<int32_t>(text.size()) ? text[static_cast<size_t>(i - 1)] : ' ';
    // The characters asked for of element 1, of which the text holds 132.
    const int32_t asked = std::min(b, static_cast<int32_t>(text.size())) - a + 1;
    return STRING_BUFFER.cut_kept(var->text_start + a - 1, asked, 132, var->text_start) >= 0;
  }
  // The whole text, also past 132 characters: a file name (META_FILE) cut there would name
  // another file.
  if (text.size() > out.size()) out.resize(text.size(), ' ');
  out.replace(0, text.size(), text);
  return STRING_BUFFER.cut_kept(var->text_start, static_cast<int32_t>(text.size())) >= 0;
}
}  // namespace

void parse_substring_format(std::string& out, std::string_view reference) {
  (void)substring_of_variable(out, reference);
}

program_text name_variable(std::string_view reference) {
  program_text t;
  t.cut = substring_of_variable(t.text, reference);
  return t;
}

void split_argument(std::string& text) {
  const size_t n = text.size();
  if (text.starts_with("&@")) {
    text.erase(0, std::min<size_t>(4, n));
    text.resize(n, ' ');
    return;
  }
  // Positions are 1-based as the stepper counts them; no blank at all removes nothing.
  const size_t comma = text.find(',');
  const size_t blank = text.find(' ');
  const size_t c = comma == std::string::npos ? n : comma + 1;
  const size_t s = blank == std::string::npos ? 0 : blank + 1;
  text.erase(0, std::min(c, s));
  if (!text.empty() && text[0] == ' ') {
    const size_t first = text.find_first_not_of(' ');
    if (first != std::string::npos) text.erase(0, first);
  }
  text.resize(n, ' ');
}
