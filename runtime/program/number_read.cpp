// Reading numbers from fixed-width text fields, as form definitions, field indexes and the
// VALUE function do. Blanks inside a field are ignored; the "C" number syntax is used
// whatever the user's locale says.
#include <cctype>
#include <charconv>
#include <limits>
#include <string>

#include "runtime/program/number_text.h"

namespace {

std::string without_blanks(std::string_view field) {
  std::string s;
  for (char c : field)
    if (c != ' ') s += c;
  return s;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool read_int_field(std::string_view field, int32_t& out) {
  std::string s = without_blanks(field);
  if (s.empty()) {
    out = 0;
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool read_real_field(std::string_view field, int32_t implied_decimals, float& out) {
  std::string s = without_blanks(field);
  if (s.empty()) {
    out = 0.0f;
    return true;
  }
  size_t i = 0;
  std::string mantissa;
  if (s[i] == '+' || s[i] == '-') {
    if (s[i] == '-') mantissa += '-';
    ++i;
  }
  bool point = false;
  size_t digits = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (is_digit(c)) {
      mantissa += c;
      ++digits;
    } else if (c == '.' && !point) {
      mantissa += c;
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  int64_t exponent = 0;
  if (i < s.size()) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
    if (c == 'E' || c == 'D' || c == 'Q') ++i;
    else if (c != '+' && c != '-') return false;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      negative = s[i] == '-';
      ++i;
    }
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
      if (!is_digit(s[i])) return false;
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  if (!point) exponent -= implied_decimals;
  std::string text = mantissa + "e" + std::to_string(exponent);
  float v = 0.0f;  // read straight into single precision: one rounding only
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (end != text.data() + text.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow cannot be represented.
    if (exponent < 0) {
      out = 0.0f;
      return true;
    }
    return false;
  }
  if (ec != std::errc()) return false;
  out = v;
  return true;
}
