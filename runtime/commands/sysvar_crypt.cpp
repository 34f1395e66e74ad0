// SYSVAR "crypt" and "decrypt": a keyless scrambler that keeps texts such as passwords from
// being read at a glance in files and lists.  It is no protection against anyone who has the
// runtime.  128 characters become 256 letters (each character two letters, A-P and a-p), so
// the scrambled text survives any file, list or database column that takes plain letters.
//
// Each character is mixed with a running key that starts afresh at every call and moves on
// with every plain character, so equal characters at different places, or after different
// text, scramble differently.
#include <string>

#include "runtime/commands/sysvar_internal.h"

namespace {

constexpr size_t plain_length = 128;
constexpr size_t scrambled_length = 2 * plain_length;

struct running_key {
  uint32_t state = 0x5A;
  unsigned char next(size_t position) const { return static_cast<unsigned char>((state + 37u * position) & 0xFFu); }
  void take(unsigned char plain) { state = (state * 29u + plain + 1u) & 0xFFu; }
};

// The two letters of byte b at position i; the offsets make a run of equal bytes vary.
char high_letter(unsigned b, size_t i) { return static_cast<char>('A' + ((b >> 4) + i) % 16); }
char low_letter(unsigned b, size_t i) { return static_cast<char>('a' + ((b & 15u) + 3 * i) % 16); }
// Back from a letter to its half byte; a character that no scrambling makes counts as 0.
unsigned half_of(char c, char first, size_t offset) {
  const int v = static_cast<unsigned char>(c) - static_cast<unsigned char>(first);
  if (v < 0 || v > 15) return 0;
  return static_cast<unsigned>((v + 16 - static_cast<int>(offset % 16)) % 16);
}

}  // namespace

std::string sysvar_crypt(std::string_view plain) {
  std::string text(plain.substr(0, std::min(plain.size(), plain_length)));
  text.resize(plain_length, ' ');
  std::string out(scrambled_length, ' ');
  running_key key;
  for (size_t i = 0; i < plain_length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const unsigned b = c ^ key.next(i);
    out[2 * i] = high_letter(b, i);
    out[2 * i + 1] = low_letter(b, i);
    key.take(c);
  }
  return out;
}

std::string sysvar_decrypt(std::string_view scrambled) {
  std::string text(scrambled.substr(0, std::min(scrambled.size(), scrambled_length)));
  text.resize(scrambled_length, ' ');
  std::string out(plain_length, ' ');
  running_key key;
  for (size_t i = 0; i < plain_length; ++i) {
    const unsigned b = (half_of(text[2 * i], 'A', i) << 4) | half_of(text[2 * i + 1], 'a', 3 * i);
    const auto c = static_cast<unsigned char>(b ^ key.next(i));
    out[i] = static_cast<char>(c);
    key.take(c);
  }
  return out;
}

bool sysvar_scrambler(std::string_view name, const sysvar_arg& arg, sysvar_result& out) {
  if (name == "crypt") {
    out = sysvar_result::of_text(sysvar_crypt(arg.text), static_cast<int32_t>(scrambled_length));
  } else if (name == "decrypt") {
    out = sysvar_result::of_text(sysvar_decrypt(arg.text), static_cast<int32_t>(plain_length));
  } else {
    return false;
  }
  return true;
}
