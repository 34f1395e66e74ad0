// The program's text literals (text tokens), numbered from 1, with variable markers that are
// expanded when a token is fetched and the three replacement texts %0, %1 and %2.  The same
// family sizes the string space STRING_BUFFER (program_image.h).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct text_token_state_t {
  std::vector<char> bytes;      // 1..byte capacity (index 0 unused)
  std::vector<int32_t> starts;  // 1..token count
  std::vector<int32_t> ends;    // 1..token count
  int32_t byte_capacity = 0;    // the "TEXTCHARACTERS" value
  int32_t next_byte = 1;
  int32_t next_token = 1;
  int32_t token_count = 0;      // the "TEXTTOKENS" value; valid numbers are 1..token_count
  int32_t last_length = 0;      // length of the text the last fetch produced
  std::string percent_slots[3]{std::string(80, ' '), std::string(80, ' '), std::string(80, ' ')};
};
extern text_token_state_t text_tokens;

// The byte that opens a variable marker inside a token.
inline constexpr char text_marker = static_cast<char>(0xFA);

// Copies the n characters of a short text (a value slot's or a %-slot's) eight at a time, then
// one by one.  A plain copy of a length the compiler cannot know becomes a string instruction
// whose start-up costs more than copying the few words of a program's usual texts.
inline void copy_characters(char* out, const char* in, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) std::memcpy(out + i, in + i, 8);
  for (; i < n; ++i) out[i] = in[i];
}

// "STRINGSPACE": above 20480 reports "max STRING_BUFFER", otherwise blanks the string space.
void check_string_space(int32_t size);
// "TEXTCHARACTERS" and "TEXTTOKENS".
void alloc_text_bytes(int32_t count);
void alloc_text_tokens(int32_t count);
// Stores the next token: the text up to its last non-blank character, which is the record's end
// character and is dropped (at least one character is kept).
void add_text_token(std::string_view text);
// The expanded text of token n, cut or blank-padded to the buffer.
void get_text_token(int32_t n, std::span<char> buffer);
// The same into a string of the given length (256 unless told).
std::string get_text_token(int32_t n, int32_t length = 256);
int32_t get_text_token_length();
void set_text_token_length(int32_t length);
void set_percent0_text(std::string_view text);
void set_percent1_text(std::string_view text);
void set_percent2_text(std::string_view text);
// Releases the token arrays (chaining).
void free_text_tokens();
// Releases everything and blanks the slots (tests, reload).
void reset_text_tokens();
