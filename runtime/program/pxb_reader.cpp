// The PXB file format: records of 256 characters in seven sections.  [INIT] sizes the stores,
// [VARIABLES] fills the variable table with the numeric and string spaces, [UPNCODES] goes to
// the expression compiler, [TEXTTOKENS] to the text tokens and [CODES] to the code records.
#include "runtime/program/pxb_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "runtime/program/program.h"
#include "runtime/program/expression/code_steps.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

namespace {

// ---------------------------------------------------------------- number fields

std::string without_blanks(std::string_view field) {
  std::string out;
  for (char c : field)
    if (c != ' ') out.push_back(c);
  return out;
}

std::optional<int32_t> parse_int(std::string_view digits) {
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  if (digits.empty() || digits == "-") return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string pxb_record(std::string_view line) {
  std::string record(line.substr(0, std::min<size_t>(line.size(), pxb_record_length)));
  record.resize(pxb_record_length, ' ');
  return record;
}

std::string column_field(std::string_view text, size_t from, size_t count) {
  std::string field(count, ' ');
  for (size_t k = 0; k < count && from + k < text.size(); ++k) field[k] = text[from + k];
  return field;
}

std::optional<int32_t> read_fixed_int(std::string_view field) {
  const std::string digits = without_blanks(field);
  if (digits.empty()) return 0;
  return parse_int(digits);
}

std::optional<uint32_t> read_fixed_hex(std::string_view field) {
  const std::string digits = without_blanks(field);
  if (digits.empty()) return 0u;
  if (digits.size() > 8) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::optional<float> read_fixed_real(std::string_view field) {
  std::string text = without_blanks(field);
  if (text.empty()) return 0.0f;
  // Only the characters of a plain decimal number; from_chars alone would also take "inf",
  // "nan" or hexadecimal floats.  A "D" exponent is written as "E".
  for (char& c : text) {
    if (c == 'D' || c == 'd') c = 'E';
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'E' || c == 'e')) return std::nullopt;
  }
  std::string_view number = text;
  if (number[0] == '+') number.remove_prefix(1);
  if (number.empty() || number[0] == '+') return std::nullopt;
  float value = 0.0f;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int32_t> read_free_int(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return std::nullopt;
  const size_t end = text.find_first_of(" ,", begin);
  return parse_int(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

namespace {

// ---------------------------------------------------------------- errors

// Reports an error that ends the program.  Should the reporter return all the same, the load
// is ended here, so that a partly loaded program never runs.
[[noreturn]] void load_error(std::string_view message) {
  report_error(message, 32000);
  throw program_end{32000};
}


[[noreturn]] void read_error(std::string_view record) {
  load_error(std::string("PXB read error: ") + std::string(blank_trimmed(record)));
}

int32_t fixed_int_or_fail(std::string_view record, size_t from, size_t count) {
  const auto value = read_fixed_int(column_field(record, from, count));
  if (!value) read_error(record);
  return *value;
}

// ---------------------------------------------------------------- sections

enum section_t { no_section = 0, proc_section, init_section, variables_section, upn_section,
                 texts_section, labels_section, codes_section };

constexpr std::array<std::string_view, 7> section_headers{
    "[PROC]", "[INIT]", "[VARIABLES]", "[UPNCODES]", "[TEXTTOKENS]", "[LABELS]", "[CODES]"};

// A record equals a word when it holds the word followed only by blanks.
bool record_is(std::string_view record, std::string_view word) {
  return record.substr(0, word.size()) == word && record.find_first_not_of(' ', word.size()) == std::string_view::npos;
}

// ---------------------------------------------------------------- [INIT]

void init_record(std::string_view record) {
  // Every [INIT] record starts the numeric and string spaces afresh.
  load_state.next_word = 1;
  load_state.next_char = 1;

  const size_t equals = record.find('=');
  if (equals == std::string_view::npos || equals < 2) return;  // a one-character key: no key
  const std::string_view key = blank_trimmed(record.substr(0, equals));
  const std::string_view rest = record.substr(equals + 1);

  if (key == "CODES") {
    // A fixed field of four columns: a fifth digit would be cut off silently and declare a
    // tenth of the program, so it is refused.
    if (rest.size() > 4 && rest[4] >= '0' && rest[4] <= '9') load_error("max CODES 9999");
    const std::string field = column_field(rest, 0, 4);
    const auto count = read_fixed_int(field);
    if (!count || field.find_first_not_of(' ') == std::string::npos) read_error(record);
    program_image.codes.assign(static_cast<size_t>(std::max(*count, 1)) + 1, empty_code_record());
    program_image.code_count = std::max(*count, 0);  // a negative count declares no records
    load_state.last_code = 0;
    return;
  }

  using sizer = void (*)(int32_t);
  static constexpr std::array<std::pair<std::string_view, sizer>, 7> keys{{
      {"UPNCODES", alloc_upn_index},
      {"UPNTOKENS", alloc_upn_codes},
      {"TEXTTOKENS", alloc_text_tokens},
      {"TEXTCHARACTERS", alloc_text_bytes},
      {"VARIABLES", alloc_variable_space},
      {"STRINGSPACE", check_string_space},
      {"ADRSPACE", alloc_array_space},
  }};
  for (const auto& [name, size_store] : keys) {
    if (key != name) continue;
    const auto value = read_free_int(rest);
    if (!value) read_error(record);
    size_store(*value);
    return;
  }
}

// ---------------------------------------------------------------- [VARIABLES]

int32_t type_of_letter(char letter) {
  switch (letter) {
    case 'I': return var_integer;
    case 'R': return var_real;
    case 'S': return var_text;
    case 'D': return var_date;
    case 'P': return var_pointer;
    default: return 0;
  }
}

void variable_record_line(std::string_view record) {
  const int32_t v = fixed_int_or_fail(record, 1, 4);
  const bool shared = record[5] == '%';
  const int32_t type = type_of_letter(record[6]);
  if (type == 0) load_error("n.u.:string?");
  if (!variable_table.valid(v)) load_error("*** variable nr outside VARIABLES");

  const size_t colon = record.find(':');
  if (colon == std::string_view::npos) load_error("*** variable without ':'");
  const std::string_view descriptive = record.substr(0, colon);
  const std::string_view definition = record.substr(colon + 1);
  const size_t slash = definition.find('/');
  const std::string_view name = definition.substr(0, std::min(slash, definition.size()));
  const std::string initial = slash == std::string_view::npos ? std::string(pxb_record_length, ' ')
                                                              : std::string(definition.substr(slash + 1));

  // The record is built here and enters the table whole.
  variable_record var{};
  var.name.fill(' ');
  std::copy_n(name.begin(), std::min<size_t>(name.size(), var.name.size()), var.name.begin());
  var.type = type;
  var.text_start = 1;
  var.text_end = 1;
  var.dimension = fixed_int_or_fail(record, 8, 4);
  if (var.dimension < 0) read_error(record);

  int32_t length = type == var_date ? 10 : 0;
  const size_t star = descriptive.find('*');
  if (star != std::string_view::npos) length = fixed_int_or_fail(record, star + 1, 3);

  // The length decides where the variable lives; one that contradicts the type letter would
  // make the variable's fields disagree with its type, and every reader would misuse them.
  const bool text_type = type == var_text || type == var_date;
  if (text_type != (length > 0)) load_error(std::string("*** type and length disagree: ") + std::string(blank_trimmed(name.substr(0, 12))));

  if (length > 0) {
    const int64_t start = load_state.next_char;
    const int64_t size = int64_t{length} * var.dimension;
    if (start + size - 1 > string_buffer_t::size) load_error("next string");
    var.start = length;
    var.text_start = static_cast<int32_t>(start);
    var.text_end = static_cast<int32_t>(start + length - 1);
    var.width = length;
    var.decimals = length;
    var.range_min = 0.0f;
    var.range_max = 0.0f;
    load_state.next_char = static_cast<int32_t>(start + size);
    STRING_BUFFER.write(var.text_start, static_cast<int32_t>(size), "");
    if (var.dimension > 0) STRING_BUFFER.write(var.text_start, length, initial);
  } else {
    const int64_t start = load_state.next_word;
    if (start + var.dimension - 1 > ADRSPACE.word_count())
      load_error("next array VAR " + std::string(var.name.data(), var.name.size()));
    var.start = static_cast<int32_t>(start);
    // A malformed initial value counts as 0.
    const float value = read_fixed_real(column_field(initial, 0, 10)).value_or(0.0f);
    for (int32_t k = 0; k < var.dimension; ++k) {
      const int32_t word = var.start + k;
      if (type == var_real)
        ADRSPACE.set_real(word, value);
      else if (type == var_integer)
        ADRSPACE.set_int(word, nint(value));
      else
        ADRSPACE.set_int(word, 0);
    }
    var.width = type == var_real ? 8 : 5;
    var.decimals = type == var_real ? 2 : 0;
    var.range_min = -9979.0f;
    var.range_max = 9999.0f;
    load_state.next_word = static_cast<int32_t>(start + var.dimension);
  }
  define_variable(v, var);
  if (shared) load_error("COMMON n.u.");
}

// ---------------------------------------------------------------- [TEXTTOKENS] and [UPNCODES]

void text_token_line(std::string_view record) {
  std::string text(record.substr(6));
  if (load_state.convert_texts) convert_umlauts(text.data(), static_cast<int32_t>(text.size()));
  add_text_token(text);
}

void upn_line(std::string_view record) {
  compile_upn(record[0] == '%' ? record.substr(6) : record);
}

// ---------------------------------------------------------------- [CODES]

struct keyword_t {
  std::string_view word;
  int32_t opcode;
};

// Compared over the keyword's own length; "TEXT " carries its blank so that it is not TEXTB.
constexpr std::array<keyword_t, 47> keywords{{
    {"CALL", 1},    {"EVENT", 2},   {"RETURN", 3},  {"%", 4},       {"JMP", 5},     {"JZ", 6},
    {"JNZ", 7},     {"MESS", 8},    {"RUN", 9},     {"SELECT", 10}, {"COMBO", 11},  {"QUERY", 12},
    {"SUBMEN", 13}, {"HOTKEY", 14}, {"QUIT", 15},   {"SOUND", 16},  {"COLOR", 17},  {"ORIGIN", 18},
    {"SHOW", 19},   {"HELP", 20},   {"FILE", 21},   {"TEXT ", 22},  {"TEXTB", 23},  {"MOUSE", 24},
    {"PRINT", 25},  {"WINDOW", 26}, {"WINMGR", 27}, {"ARC", 28},    {"LINE", 29},   {"PIXEL", 30},
    {"MOVE", 31},   {"DRAW", 32},   {"PLOT", 33},   {"BUTTON", 34}, {"MENU", 35},   {"ASSIGN", 36},
    {"GOTO", 37},   {"BTNMGR", 38}, {"FORMAT", 39}, {"OUTPUT", 40}, {"BOX", 41},    {"AREA", 42},
    {"CIRCLE", 43}, {"FLOOD", 44},  {"LSTMGR", 45}, {"SQL", 46},    {"ARRAY", 47},
}};

int32_t opcode_of(std::string_view record) {
  for (const keyword_t& k : keywords)
    if (record.substr(0, k.word.size()) == k.word) return k.opcode;
  return 0;
}

// The code record that the next code line or "{" line fills; a file with more code lines than
// "CODES" declares is refused instead of being written past the array.
code_record& next_code_record(int32_t index) {
  if (index < 1 || index >= static_cast<int32_t>(program_image.codes.size()))
    load_error("*** more code records than CODES");
  return program_image.codes[static_cast<size_t>(index)];
}

bool text_is_empty_mark(const code_record& rec) {
  return rec.text[0] == '*' && std::all_of(rec.text.begin() + 1, rec.text.end(), [](char c) { return c == ' '; });
}

void command_text_line(std::string_view record) {
  code_record& rec = next_code_record(load_state.last_code + 1);
  std::copy_n(record.begin(), rec.text.size(), rec.text.begin());
}

void code_line(std::string_view record) {
  code_record& rec = next_code_record(load_state.last_code + 1);
  load_state.last_code += 1;
  if (text_is_empty_mark(rec)) std::copy_n(record.begin(), rec.text.size(), rec.text.begin());
  rec.target = rec.expression = rec.second = rec.token1 = rec.token2 = rec.flags = 0;

  std::string r(record);
  if (r[0] == '/') {
    const auto mask = read_fixed_hex(column_field(record, 1, 8));
    if (!mask) read_error(record);
    rec.flags = static_cast<int32_t>(*mask);
    r = pxb_record(record.substr(10));
  }
  // Each operand is its marker followed by a 4-column number.
  auto field = [&](size_t at) { return fixed_int_or_fail(r, at + 1, 4); };
  if (const size_t at = r.find('%'); at != std::string::npos) rec.expression = field(at);
  if (const size_t at = r.find('&'); at != std::string::npos) rec.second = field(at);
  if (const size_t at = r.find('@'); at != std::string::npos) {
    rec.token1 = rec.token2 = field(at);
    r[at] = ' ';
    if (const size_t next = r.find('@'); next != std::string::npos) rec.token2 = field(next);
  }
  if (const size_t at = r.find(':'); at != std::string::npos) rec.target = field(at);

  rec.opcode = opcode_of(r);
  if (rec.opcode == 0) {
    report_error("kein g\xFCltiger code", 0);
    load_error(record);
  }
}

void data_record(section_t section, std::string_view record) {
  switch (section) {
    case proc_section:
      if (record.substr(0, 6) == "CSET=W") load_state.convert_texts = false;
      return;
    case init_section: init_record(record); return;
    case variables_section:
      if (record[0] == '&') variable_record_line(record);
      return;
    case upn_section: upn_line(record); return;
    case texts_section:
      if (record[0] == '@') text_token_line(record);
      return;
    case labels_section: return;
    case codes_section:
      if (record[0] == ':') return;
      if (record[0] == '{')
        command_text_line(record);
      else
        code_line(record);
      return;
    case no_section: load_error("*** SECTION nicht 1-7 ***");
  }
}

// The interpreter jumps to these indices without checking them again, so a file whose targets
// lie outside its code records is refused before anything runs.
void check_targets() {
  const int32_t last = static_cast<int32_t>(program_image.codes.size()) - 1;
  for (int32_t k = 1; k <= last; ++k) {
    const code_record& rec = program_image.codes[static_cast<size_t>(k)];
    if (rec.target != 0 && (rec.target < 1 || rec.target > last))
      load_error("*** target outside 1..CODES: " + std::string(blank_trimmed(std::string_view(rec.text.data(), rec.text.size()))));
  }
}

// A late [INIT] record can replace a store after records were entered into it: the numeric
// space of the variables, or the expression index of the compiled expressions.  What no longer
// lies inside its store is refused, so nothing reads outside it later.
void check_stores() {
  for (size_t v = 0; v < variable_table.records.size(); ++v) {
    const variable_record& var = variable_table.records[v];
    if (var.type == 0 || var.is_text() || var.dimension == 0) continue;
    if (int64_t{var.start} + var.dimension - 1 > ADRSPACE.word_count())
      load_error("next array VAR " + std::string(var.name.data(), var.name.size()));
  }
  for (int32_t n = 1; n <= upn_code.expression_count; ++n) {
    const bool inside = n < static_cast<int32_t>(upn_code.first.size()) &&
                        upn_code.first[static_cast<size_t>(n)] >= 1 &&
                        upn_code.last[static_cast<size_t>(n)] >= upn_code.first[static_cast<size_t>(n)] - 1 &&
                        upn_code.last[static_cast<size_t>(n)] <= upn_code.last_code;
    if (!inside) load_error("*** expression outside UPNCODES or UPNTOKENS");
  }
}

}  // namespace

void read_pxb(std::string_view contents) {
  section_t section = no_section;
  bool first = true;
  size_t pos = 0;
  while (pos < contents.size()) {
    size_t end = contents.find('\n', pos);
    if (end == std::string_view::npos) end = contents.size();
    std::string_view line = contents.substr(pos, end - pos);
    // A record ending in CR LF is the record without its CR.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;

    const std::string record = pxb_record(line);
    if (first) {
      if (!record_is(record, "[PROC]")) load_error("no [PROC] pxb-Code");
      first = false;
    }
    if (record[0] == ' ') continue;
    if (record[0] == '[') {
      section = no_section;
      for (size_t k = 0; k < section_headers.size(); ++k)
        if (record_is(record, section_headers[k])) section = static_cast<section_t>(k + 1);
      continue;
    }
    data_record(section, record);
  }
  if (first) load_error("no [PROC] pxb-Code");
}

namespace {

// The whole file, or nothing when it cannot be opened for reading.
std::optional<std::string> read_file(std::string_view name) {
  std::ifstream in(host_path(name), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream contents;
  contents << in.rdbuf();
  return std::move(contents).str();
}

}  // namespace

// The file as named, else in the subdirectory "KYR" beside its directory (or of the current
// directory when the name has none).
std::string read_program_file(std::string_view name) {
  const std::string first(blank_trimmed(name));
  trace_str("1.open", first);
  if (auto contents = read_file(first)) return std::move(*contents);

  std::string second;
  const size_t slash = first.find_last_of("\\/");
  if (slash != std::string::npos)
    second = first.substr(0, slash + 1) + "KYR" + first.substr(slash);
  else
    second = "./KYR/" + first;
  trace_str("2.open", second);
  if (auto contents = read_file(second)) return std::move(*contents);

  // The name as the user gave it, and both places looked in.
  report_error("KYRPROG not found:" + first + " (searched " + first + " and " + second + ")", 32000);
  throw program_end{32000};
}

void load_program_image(std::string_view contents) {
  reset_program_image();
  read_pxb(contents);
  check_targets();
  check_stores();
  find_code_steps();
}

// The command name of an opcode, for messages: the keyword without the blank that "TEXT " carries
// to tell it from "TEXTB"; opcodes outside 1..47 run the ARRAY command's handler.
const char* command_name(int32_t opcode) {
  static const auto names = [] {
    std::array<std::string, 48> n{};
    for (const keyword_t& k : keywords) {
      const std::string_view w = k.word.substr(0, k.word.find_last_not_of(' ') + 1);
      n[static_cast<size_t>(k.opcode)] = std::string(w);
    }
    return n;
  }();
  return opcode >= 1 && opcode <= 47 ? names[static_cast<size_t>(opcode)].c_str() : "ARRAY";
}
