// Conversions between numbers and texts: STRING and VALUE write and read readable text,
// ISTR/IVAL/RSTR/RVAL pack numbers into 2- or 4-byte binary texts (little-endian).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"
#include "runtime/output/print/print.h"

namespace {

uint8_t byte_at(const value_slot& s, size_t i) { return static_cast<uint8_t>(s.text[i]); }

uint32_t word_of(const value_slot& s) {
  return uint32_t{byte_at(s, 0)} | uint32_t{byte_at(s, 1)} << 8 | uint32_t{byte_at(s, 2)} << 16 |
         uint32_t{byte_at(s, 3)} << 24;
}

// The slot's text := the four bytes of `word`, least significant first; a text of length 4.
void store_word(value_slot& s, uint32_t word) {
  s.text.fill(' ');
  for (size_t i = 0; i < 4; ++i) s.text[i] = static_cast<char>(static_cast<uint8_t>(word >> (8 * i)));
  text_exit(s, 4);
}

bool hex_word(std::string_view digits, uint32_t& out) {
  uint64_t v = 0;
  int count = 0;
  for (char c : digits) {
    if (c == ' ') continue;
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (d < 0) return false;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFu) return false;
    ++count;
  }
  out = static_cast<uint32_t>(v);
  return true;
}

// VALUE: "Z" hexadecimal integer, "z" hexadecimal float bits, otherwise a real number in the
// first 20 characters; 0 when the text cannot be read.
float value_of_text(value_slot& s) {
  const int32_t n = text_length(s);
  std::string text(s.text.data(), static_cast<size_t>(n));
  const size_t comma = text.find(',');
  if (comma != std::string::npos) text[comma] = '.';  // a decimal comma is accepted
  if (text.empty()) return 0.0f;
  uint32_t word = 0;
  if (text[0] == 'Z') return hex_word(std::string_view(text).substr(1), word) ? static_cast<float>(static_cast<int32_t>(word)) : 0.0f;
  if (text[0] == 'z') return hex_word(std::string_view(text).substr(1), word) ? std::bit_cast<float>(word) : 0.0f;
  float v = 0.0f;
  return read_real_field(std::string_view(text).substr(0, 20), 0, v) ? v : 0.0f;
}

}  // namespace

bool eval_convert_function(int32_t code) {
  value_slot& top = evaluator.top();
  switch (code) {
    case upn_string: {  // STRING(v, picture)
      value_slot& first = evaluator.slot(evaluator.sp - 1);
      number_to_text(top);
      // The picture's field is blank past its mark: only its characters can change.
      upcase_string(top.text.data(), top.blank_start());
      // An integer variable's value reaches the picture exactly (not as the float it reads as).
      // The formatted text, as wide as its picture asks (up to the whole field), over the
      // value's field, which is blank past its mark: blanks from there to where the old text
      // ended.
      size_t written = 0;
      format_value_head(std::span<char>(first.text), first.exact_value(),
                        std::string_view(top.text.data(), top.text.size()), written);
      const auto formatted_length = static_cast<int32_t>(written);
      first.blank_after(formatted_length);
      pop_to_first_argument();
      text_exit(first, trimmed_length(first, formatted_length));
      return true;
    }
    case upn_value:  // VALUE
      number_to_text(top);
      top.set_number(value_of_text(top));
      return true;
    case upn_istr:  // ISTR: the nearest integer, 4 bytes
      store_word(top, static_cast<uint32_t>(nint(top.value())));
      return true;
    case upn_rstr:  // RSTR: the float's bits, 4 bytes
      store_word(top, top.bits);
      return true;
    case upn_ival:  // IVAL
      number_to_text(top);
      if (top.type == 4) {
        top.set_number(static_cast<float>(static_cast<int32_t>(word_of(top))));
      } else if (top.type == 2) {
        const auto half = static_cast<int16_t>(uint16_t{byte_at(top, 0)} | uint16_t{byte_at(top, 1)} << 8);
        top.set_number(static_cast<float>(half));
      } else {
        report_error("NO-IVAL*2/4", 32000);
        top.set_number(0.0f);
      }
      return true;
    case upn_rval:  // RVAL
      number_to_text(top);
      if (top.type == 4) {
        top.set_number(std::bit_cast<float>(word_of(top)));
      } else {
        report_error("NO-RVAL*4", 32000);
        top.set_number(0.0f);
      }
      return true;
    default:
      return false;
  }
}
