// The program's text literals (text tokens), numbered from 1, with variable markers that are
// expanded when a token is fetched and the three replacement texts %0, %1 and %2.  The same
// family sizes the string space STRING_BUFFER (program_image.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/program/names.h"

struct text_token_state_t {
  std::vector<char> bytes;      // 1..byte capacity (index 0 unused)
  std::vector<int32_t> starts;  // 1..token count
  std::vector<int32_t> ends;    // 1..token count
  std::vector<uint8_t> kinds;   // 1..token count: 0 not looked at yet, 1 plain, 2 not plain
  int32_t byte_capacity = 0;    // the "TEXTCHARACTERS" value
  int32_t next_byte = 1;
  int32_t next_token = 1;
  int32_t token_count = 0;      // the "TEXTTOKENS" value; valid numbers are 1..token_count
  int32_t last_length = 0;      // length of the text the last fetch produced
  bool last_cut = false;        // the last fetch's text was longer than the 256-character work text
  std::string percent_slots[3]{std::string(80, ' '), std::string(80, ' '), std::string(80, ' ')};
  // The slot's text is the first 80 characters of a longer one, or of a cut one: a token "%n"
  // then gives a cut text (names.h).
  bool percent_cut[3]{};
};
extern text_token_state_t text_tokens;

// The byte that opens a variable marker inside a token.
inline constexpr char text_marker = static_cast<char>(0xFA);

// Copies the n characters of a short text (a value slot's or a %-slot's) in a few word moves; a
// long one in one piece.  A plain copy of a length the compiler cannot know becomes a call whose
// start-up costs more than copying the few words of a program's usual texts.  The two texts do
// not overlap.
inline void copy_characters(char* out, const char* in, size_t n) {
  struct pair_t {
    uint64_t low, high;
  };
  const auto move = [&](size_t at, auto word) {
    std::memcpy(&word, in + at, sizeof word);
    std::memcpy(out + at, &word, sizeof word);
  };
  // Sixteen at a time from each end; the moves from the two ends may overlap.
  if (n >= 16) {
    if (n > 64) {
      std::memcpy(out, in, n);
      return;
    }
    move(0, pair_t{});
    if (n > 32) {
      move(16, pair_t{});
      move(n - 32, pair_t{});
    }
    move(n - 16, pair_t{});
  } else if (n >= 8) {
    move(0, uint64_t{});
    move(n - 8, uint64_t{});
  } else if (n >= 4) {
    move(0, uint32_t{});
    move(n - 4, uint32_t{});
  } else if (n > 0) {
    out[0] = in[0];
    out[n / 2] = in[n / 2];
    out[n - 1] = in[n - 1];
  }
}

// Writes n blanks in a few word stores (those from the two ends may overlap); a long run in one
// piece.
inline void blank_characters(char* out, size_t n) {
  constexpr uint64_t blanks = 0x2020202020202020ull;
  constexpr uint64_t pair[2] = {blanks, blanks};
  if (n >= 16) {
    if (n > 64) {
      std::memset(out, ' ', n);
      return;
    }
    std::memcpy(out, pair, 16);
    if (n > 32) {
      std::memcpy(out + 16, pair, 16);
      std::memcpy(out + n - 32, pair, 16);
    }
    std::memcpy(out + n - 16, pair, 16);
  } else if (n >= 8) {
    std::memcpy(out, &blanks, 8);
    std::memcpy(out + n - 8, &blanks, 8);
  } else if (n >= 4) {
    std::memcpy(out, &blanks, 4);
    std::memcpy(out + n - 4, &blanks, 4);
  } else if (n > 0) {
    out[0] = ' ';
    out[n / 2] = ' ';
    out[n - 1] = ' ';
  }
}

// "STRINGSPACE": above 20480 reports "max STRING_BUFFER", otherwise blanks the string space.
void check_string_space(int32_t size);
// "TEXTCHARACTERS" and "TEXTTOKENS".
void alloc_text_bytes(int32_t count);
void alloc_text_tokens(int32_t count);
// Stores the next token: the text up to its last non-blank character, which is the record's end
// character and is dropped (at least one character is kept).
void add_text_token(std::string_view text);
// The stored characters of token n (at most 256) when it is a plain token: one without a
// variable marker that does not begin with "%".  It counts as a fetch (the fetch length is set).
// Any other token gives a view without data and changes nothing.
std::string_view plain_text_token(int32_t n);
// The expanded text of token n, cut or blank-padded to the buffer.  A token that is only "%0",
// "%1" or "%2" gives that slot's text; its length is the slot's text without trailing blanks.
void get_text_token(int32_t n, std::span<char> buffer);
// The same into a string of the given length (256 unless told).
std::string get_text_token(int32_t n, int32_t length = 256);
int32_t get_text_token_length();
// The same with the mark whether the token's text was longer than the 256-character work text
// and was cut: what every command that takes a name fetches (names.h).
program_text token_text(int32_t n, int32_t length = 256);
// Whether the text of the last fetch was cut (the evaluator carries it on with the text).
inline bool text_token_was_cut() { return text_tokens.last_cut; }
void set_text_token_length(int32_t length);
// %0, %1 and %2 take the first 80 characters of the text, blank-padded; a text longer than that
// leaves the slot marked cut (the evaluator hands %0 only its first 80 characters, and marks it
// where its text was cut itself).  Every text result sets %0, so the common case (a slot of 80
// characters and a text from elsewhere) is done in line: 80 blanks in a few fixed-size stores,
// then the text's own characters over them.
void set_percent_text(int32_t k, std::string_view text);  // any case
// The text has characters other than blanks past the slot's 80.
inline bool past_percent_slot(std::string_view text) { return loses_characters(text, 80); }
inline void set_percent_slot(int32_t k, std::string_view text) {
  constexpr size_t slot_length = 80;
  std::string& slot = text_tokens.percent_slots[k];
  char* out = slot.data();
  const size_t n = std::min(text.size(), slot_length);
  text_tokens.percent_cut[k] = past_percent_slot(text);
  const auto at = reinterpret_cast<uintptr_t>(text.data());
  const auto slot_at = reinterpret_cast<uintptr_t>(out);
  if (slot.size() != slot_length || (at < slot_at + slot_length && slot_at < at + n)) {
    set_percent_text(k, text);
    return;
  }
  std::memset(out, ' ', slot_length);
  copy_characters(out, text.data(), n);
}
inline void set_percent0_text(std::string_view text) { set_percent_slot(0, text); }
inline void set_percent1_text(std::string_view text) { set_percent_slot(1, text); }
inline void set_percent2_text(std::string_view text) { set_percent_slot(2, text); }
// After setting slot k from a text that was itself cut.
inline void mark_percent_cut(int32_t k) { text_tokens.percent_cut[k] = true; }
// Releases the token arrays (chaining).
void free_text_tokens();
// Releases everything and blanks the slots (tests, reload).
void reset_text_tokens();
