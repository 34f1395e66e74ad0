// HOTKEY (opcode 14) and the hot-key table: a key named in words (CTRL-F5, ALT-X, GRAY-+, PGDN,
// ä) is bound to a label; the dispatcher runs the label on the key-down of that key with that
// modifier.  Punctuation and umlaut keys are named by the character printed on a German
// keyboard.
#include <charconv>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/text_tokens.h"

std::array<std::array<int32_t, 256>, 4> hotkey_table{};

void reset_hotkeys() {
  for (auto& row : hotkey_table) row.fill(0);
}

namespace {

// Status of a function-key number that does not read as a number.
constexpr int32_t conversion_error_status = 64;

struct named_key {
  std::string_view name;
  int32_t code;
};
constexpr named_key key_names[] = {
    {"NUM", 0x90},  {"ROLL", 0x91}, {"BACK", 0x08}, {"ENTER", 0x0D}, {"BREAK", 0x13},
    {"INS", 0x2D},  {"DEL", 0x2E},  {"HOME", 0x24}, {"END", 0x23},   {"PGDN", 0x22},
    {"PGUP", 0x21}, {"UP", 0x26},   {"DOWN", 0x28}, {"LEFT", 0x25},  {"RIGHT", 0x27},
    {"N5", 0x0C},
};

// Keys named by one character (code page 1252) whose key code is not the character's code.
int32_t single_character_key(unsigned char c) {
  switch (c) {
    case '+': return 0xBB;
    case ',': return 0xBC;
    case '-': return 0xBD;
    case '.': return 0xBE;
    case '#': return 0xBF;
    case 0xDF: return 0xDB;  // ß
    case '^': return 0xDC;
    case 0xB4: return 0xDD;  // ´
    case '<': return 0xE2;
    case 0xE4: return 0xDE;  // ä
    case 0xF6: return 0xC0;  // ö
    case 0xFC: return 0xBA;  // ü
    default: return c;
  }
}

// "F" followed by a number 1..12: the two characters after "F" read as a whole number, blanks
// ignored.  Returns 0 when there is no such key.
int32_t function_key(std::string_view rest, int32_t& conversion_status) {
  std::string digits;
  for (size_t i = 1; i <= 2 && i < rest.size(); ++i)
    if (rest[i] != ' ') digits.push_back(rest[i]);
  int32_t n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
    conversion_status = conversion_error_status;
    return 0;
  }
  return n >= 1 && n <= 12 ? 0x6F + n : 0;
}

}  // namespace

hot_key_name parse_hot_key_name(std::string_view name) {
  hot_key_name result;
  std::string k(name);
  for (char& c : k)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (k.starts_with("CTRL-")) k.erase(3, 1);
  else if (k.starts_with("SHIFT-")) k.erase(3, 2);
  if (k.starts_with("ALT-")) result.modifier = hot_alt;
  else if (k.starts_with("CTR-")) result.modifier = hot_ctrl;
  else if (k.starts_with("SHI-")) result.modifier = hot_shift;
  // Any three characters and a "-" are a prefix; unknown ones leave no modifier.
  if (k.size() >= 4 && k[3] == '-') k.erase(0, 4);

  // The rest without its blank padding.
  const size_t last = k.find_last_not_of(' ');
  const std::string_view rest = last == std::string::npos ? std::string_view() : std::string_view(k).substr(0, last + 1);
  if (rest.empty()) return result;

  if (k.starts_with("GRAY-")) {
    const char c = k.size() > 5 ? k[5] : ' ';
    switch (c) {
      case '*': result.code = 0x6A; return result;
      case '+': result.code = 0x6B; return result;
      case '-': result.code = 0x6D; return result;
      case ':': case '/': result.code = 0x6F; return result;
      default: break;
    }
  }
  for (const named_key& key : key_names)
    if (rest == key.name) {
      result.code = key.code;
      return result;
    }
  if (rest.size() > 1 && rest[0] == 'F') {
    result.code = function_key(rest, result.conversion_status);
    return result;
  }
  if (rest.size() == 1) result.code = single_character_key(static_cast<unsigned char>(rest[0]));
  return result;
}

void cmd_HOTKEY(code_record& rec) {
  const std::string text = get_text_token(rec.token1, 256);
  const hot_key_name key = parse_hot_key_name(text);
  if (key.code <= 0 || key.code > 255) {
    const size_t last = text.find_last_not_of(' ');
    report_error("HotKey ? :" + text.substr(0, last == std::string::npos ? 0 : last + 1), 0);
    if (key.conversion_status != 0) call_state.command_error = key.conversion_status;
    return;
  }
  const auto modifier = static_cast<size_t>(key.modifier);
  hotkey_table[modifier][static_cast<size_t>(key.code)] = rec.target;
  // The digits count on the numeric keypad too.
  if (key.code >= 0x30 && key.code <= 0x39) hotkey_table[modifier][static_cast<size_t>(key.code + 0x30)] = rec.target;
  trace_int3("HotKey", key.code, key.modifier, rec.target);
}
