// Text tokens of the program and the string space of its text variables.
#include "runtime/program/text_tokens.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/program/upper_services.h"

string_buffer_t STRING_BUFFER = [] {
  string_buffer_t buffer;
  buffer.blank();
  return buffer;
}();

text_token_state_t text_tokens;

std::string_view string_buffer_t::view(int32_t start, int32_t length) const {
  const int64_t from = std::clamp<int64_t>(start, 1, int64_t{size} + 1);
  const int64_t to = std::clamp<int64_t>(int64_t{start} + std::max(length, 0) - 1, from - 1, size);
  return std::string_view(chars_.data() + (from - 1), static_cast<size_t>(to - from + 1));
}

void string_buffer_t::write(int32_t start, int32_t length, std::string_view text, int32_t kept) {
  // Characters k = 0..length-1 go to position start + k; positions outside 1..size are skipped,
  // and the text is blank-padded to the length.
  const int64_t first = std::max<int64_t>(start, 1);
  const int64_t last = std::min<int64_t>(int64_t{start} + std::max(length, 0) - 1, size);
  if (last < first) return;
  const size_t skip = static_cast<size_t>(first - start);  // characters that fall before position 1
  const size_t count = static_cast<size_t>(last - first + 1);
  char* out = chars_.data() + (first - 1);
  const size_t from_text = skip < text.size() ? std::min(count, text.size() - skip) : 0;
  copy_characters(out, text.data() + skip, from_text);
  blank_characters(out + from_text, count - from_text);
  // Out of line: most writes neither find a mark nor set one.
  if (kept >= 0 || (cut_marks_ > 0 && marked(first, last))) [[unlikely]]
    mark_written(start, length, first, last, kept);
}

void string_buffer_t::mark_written(int32_t start, int32_t length, int64_t first, int64_t last, int32_t kept) {
  // The marks of the range go: they described the characters written over.
  if (cut_marks_ > 0 && marked(first, last)) {
    for (int32_t at = first_mark(first, last); at != 0; at = first_mark(at + 1, last)) {
      cut_after_[static_cast<size_t>((at - 1) / word_bits)] &= ~(uint64_t{1} << ((at - 1) % word_bits));
      --cut_marks_;
    }
  }
  // A text cut with none of its own characters marks the first (which stands for them).
  if (kept >= 0 && kept < length) {
    const int64_t at = int64_t{start} + std::max(kept, 1) - 1;
    if (at >= first && at <= last) {
      cut_after_[static_cast<size_t>((at - 1) / word_bits)] |= uint64_t{1} << ((at - 1) % word_bits);
      ++cut_marks_;
    }
  }
}

int32_t string_buffer_t::first_mark(int64_t first, int64_t last) const {
  first = std::max<int64_t>(first, 1);
  last = std::min<int64_t>(last, size);
  if (last < first) return 0;
  uint64_t w = static_cast<uint64_t>(first - 1) / word_bits;
  const uint64_t end = static_cast<uint64_t>(last - 1) / word_bits;
  uint64_t word = cut_after_[w] & (~uint64_t{0} << ((first - 1) % word_bits));
  for (;;) {
    if (w == end) word &= ~uint64_t{0} >> (word_bits - 1 - (last - 1) % word_bits);
    if (word != 0) return static_cast<int32_t>(w * word_bits + static_cast<uint64_t>(std::countr_zero(word)) + 1);
    if (w == end) return 0;
    word = cut_after_[++w];
  }
}

int32_t string_buffer_t::held_cut(int32_t start, int32_t length, int32_t held, int32_t since) const {
  int32_t kept = -1;
  if (length > 0) {
    // The first mark from the part's element up to the part's last character but one.
    const int32_t at = first_mark(std::min(since, start), int64_t{start} + length - 2);
    if (at != 0) kept = at < start ? 0 : at - start + 1;
  }
  if (kept >= 0 && kept <= held) return kept;
  return kept > held || (length > held && loses_characters(view(start, length), static_cast<size_t>(std::max(held, 0))))
             ? held
             : -1;
}

void string_buffer_t::blank() {
  chars_.fill(' ');
  cut_after_.fill(0);
  cut_marks_ = 0;
}

namespace {

constexpr int32_t work_length = 256;     // token text while it is expanded
constexpr int32_t slot_length = 80;      // %0, %1, %2
constexpr int32_t range_limit = 128;     // a "[from:to]" part keeps at most this many characters
constexpr int32_t max_text_bytes = 1 << 24;

// Reports an error that ends the program; should the reporter return all the same, the caller
// must not go on with a broken state, so the end is forced.
[[noreturn]] void fail(std::string_view message) {
  report_error(message, 32000);
  throw program_end{32000};
}


// The parts of one marker found at position i of the work text.
struct marker_t {
  int32_t variable = 0;
  int32_t element = 1;
  bool has_range = false;
  int32_t from = 0, to = 0;
  size_t length = 0;  // characters the marker occupies
};

// Parses the marker at position i; errors end the program with the marker's own message.
marker_t parse_marker(std::string_view t, size_t i) {
  marker_t m;
  const bool twice = i + 1 < t.size() && t[i + 1] == text_marker;
  const size_t number_at = i + (twice ? 2 : 1);
  const auto number = read_fixed_int(column_field(t, number_at, 4));
  if (!number) fail("ADR:CODE-ERROR in text");
  m.variable = *number;
  size_t rest = number_at + 4;
  if (twice && rest < t.size()) {
    if (t[rest] == '(') {
      const size_t close = t.find(')', rest);
      if (close == std::string_view::npos || close - rest < 2) fail("INDEX(?)");
      const auto index = read_fixed_int(t.substr(rest + 1, std::min<size_t>(close - rest - 1, 10)));
      if (!index) fail("INDEX-NO-CONST");
      m.element = *index;
      rest = close + 1;
    }
    if (rest < t.size() && t[rest] == '[') {
      const size_t close = t.find(']', rest);
      if (close == std::string_view::npos || close - rest < 4) fail("SUBEXPR[?]");
      const std::string_view inside = t.substr(rest + 1, close - rest - 1);
      const size_t colon = inside.find(':');
      if (colon == std::string_view::npos || colon < 1) fail("SUBEXPR[?:?]");
      const auto from = read_free_int(inside.substr(0, colon));
      const auto to = read_free_int(inside.substr(colon + 1));
      if (!from || !to) fail("SUBEXPR-NO-CONST");
      m.has_range = true;
      m.from = *from;
      m.to = *to;
      rest = close + 1;
    }
  }
  m.length = std::min(rest, t.size()) - i;
  return m;
}

// The formatted output text of one element of a variable (256 characters); the formatter
// itself refuses variables and elements that do not exist.
std::string formatted_element(int32_t variable, int32_t element) {
  std::string text(work_length, ' ');
  if (upper_services.format_element_into != nullptr)
    upper_services.format_element_into(variable, element, text.data(), work_length);
  return text;
}

// What the work text holds of element `element` (from 1) of text variable v where that is a cut
// text or more than the work text takes, -1 for a whole text or another kind of variable.
int32_t element_cut_text_kept(int32_t v, int32_t element) {
  if (!variable_table.valid(v)) return -1;
  const variable_record& var = variable_table.records[static_cast<size_t>(v)];
  if (!var.is_text() || element < 1 || element > std::max(var.dimension, 1)) return -1;
  const int32_t start = var.text_start + var.start * (element - 1);
  return STRING_BUFFER.cut_kept(start, var.start, work_length, start);
}

// Replaces every variable marker of t by the variable's formatted value.
void expand_markers(std::string& t) {
  size_t search_from = 0;
  while (true) {
    const size_t i = t.find(text_marker, search_from);
    if (i == std::string::npos) break;
    const marker_t m = parse_marker(t, i);
    const std::string f = formatted_element(m.variable, m.element);
    std::string value;
    if (m.has_range && m.from >= 1 && m.to >= m.from) {
      // Characters from..to of the output text, not left-adjusted, clamped to that text.
      const int32_t to = std::min(m.to, work_length);
      if (m.from <= to) value = f.substr(static_cast<size_t>(m.from - 1), static_cast<size_t>(to - m.from + 1));
      if (value.size() > range_limit) value.resize(range_limit);
    } else {
      const size_t lead = f.find_first_not_of(' ');
      if (lead != std::string::npos) value = std::string(blank_trimmed(std::string_view(f).substr(lead)));
    }
    // A variable that holds a cut text makes the token cut where its value is inserted whole or
    // a range reaches past what it holds.
    if (const int32_t kept = element_cut_text_kept(m.variable, m.element);
        kept >= 0 && (!m.has_range || m.from < 1 || m.to < m.from || m.to > kept))
      text_tokens.last_cut = true;
    t = t.substr(0, i) + value + t.substr(i + m.length);
    if (loses_characters(t, work_length)) text_tokens.last_cut = true;
    t.resize(work_length, ' ');
    text_tokens.last_length = std::clamp<int32_t>(
        text_tokens.last_length - static_cast<int32_t>(m.length) + static_cast<int32_t>(value.size()), 0,
        work_length);
    // Go on behind the inserted value: a 0xFA byte inside a value is text, not a marker, and
    // the expansion always ends.
    search_from = i + value.size();
  }
}

// "%0", "%1" or "%2" followed only by blanks stands for the slot of that number.
int32_t percent_slot(std::string_view t) {
  if (t.size() < 2 || t[0] != '%' || t[1] < '0' || t[1] > '2') return -1;
  if (t.find_first_not_of(' ', 2) != std::string_view::npos) return -1;
  return t[1] - '0';
}

// The token's bytes lie inside the byte array (a second "TEXTCHARACTERS" record may have
// replaced the array the token was stored in).
bool token_in_bytes(int32_t n) {
  const int32_t start = text_tokens.starts[static_cast<size_t>(n)];
  const int32_t end = text_tokens.ends[static_cast<size_t>(n)];
  return start >= 1 && start <= end && end < static_cast<int32_t>(text_tokens.bytes.size());
}

template <class T>
void release(std::vector<T>& store) {
  std::vector<T>().swap(store);
}

}  // namespace

void check_string_space(int32_t size) {
  if (size > string_buffer_t::size) {
    report_error("max STRING_BUFFER", 32000);
    return;
  }
  STRING_BUFFER.blank();  // with the marks of the cut texts the program before stored
}

void alloc_text_bytes(int32_t count) {
  text_tokens.next_byte = 1;
  release(text_tokens.bytes);
  std::fill(text_tokens.kinds.begin(), text_tokens.kinds.end(), uint8_t{0});  // the tokens' bytes are new
  text_tokens.byte_capacity = 0;
  const int32_t n = std::max(count, 1);
  try {
    if (n > max_text_bytes) throw std::bad_alloc();
    text_tokens.bytes.assign(static_cast<size_t>(n) + 1, ' ');
    text_tokens.byte_capacity = n;
  } catch (const std::bad_alloc&) {
    release(text_tokens.bytes);
    report_error("*** allocate text-bytes", 32000);
  }
}

void alloc_text_tokens(int32_t count) {
  text_tokens.next_token = 1;
  release(text_tokens.starts);
  release(text_tokens.ends);
  release(text_tokens.kinds);
  text_tokens.token_count = 0;
  const int32_t n = std::max(count, 1);
  try {
    if (n > max_text_bytes) throw std::bad_alloc();
    text_tokens.starts.assign(static_cast<size_t>(n) + 1, 0);
    text_tokens.ends.assign(static_cast<size_t>(n) + 1, 0);
    text_tokens.kinds.assign(static_cast<size_t>(n) + 1, 0);
    text_tokens.token_count = count;
  } catch (const std::bad_alloc&) {
    release(text_tokens.starts);
    release(text_tokens.ends);
    release(text_tokens.kinds);
    report_error("*** allocate text-tokens", 32000);
  }
}

void add_text_token(std::string_view text) {
  int32_t length = static_cast<int32_t>(blank_trimmed(text).size()) - 1;
  if (length < 1) length = 1;
  const int32_t k = text_tokens.next_token;
  const int32_t b = text_tokens.next_byte;
  // The file must keep within its declared sizes; a token beyond them would be written past
  // the arrays.
  if (k > text_tokens.token_count || k >= static_cast<int32_t>(text_tokens.starts.size()))
    fail("*** text-tokens: more than TEXTTOKENS");
  if (int64_t{b} + length - 1 > text_tokens.byte_capacity) fail("*** text-bytes: more than TEXTCHARACTERS");
  text_tokens.starts[static_cast<size_t>(k)] = b;
  text_tokens.ends[static_cast<size_t>(k)] = b + length - 1;
  text_tokens.kinds[static_cast<size_t>(k)] = 0;
  for (int32_t j = 0; j < length; ++j)
    text_tokens.bytes[static_cast<size_t>(b + j)] = static_cast<size_t>(j) < text.size() ? text[static_cast<size_t>(j)] : ' ';
  text_tokens.next_byte = b + length;
  text_tokens.next_token = k + 1;
}

std::string_view plain_text_token(int32_t n) {
  if (n < 1 || n >= text_tokens.next_token || n > text_tokens.token_count || !token_in_bytes(n)) return {};
  const int32_t start = text_tokens.starts[static_cast<size_t>(n)];
  const int32_t end = text_tokens.ends[static_cast<size_t>(n)];
  const size_t length = static_cast<size_t>(std::min(end - start + 1, work_length));
  const char* bytes = text_tokens.bytes.data() + start;
  // Whether the token is plain is looked at once (until its bytes change).
  uint8_t& kind = text_tokens.kinds[static_cast<size_t>(n)];
  if (kind == 0) kind = bytes[0] == '%' || std::memchr(bytes, text_marker, length) != nullptr ? 2 : 1;
  if (kind != 1) return {};
  text_tokens.last_length = end - start + 1;
  text_tokens.last_cut = end - start + 1 > work_length;
  return std::string_view(bytes, length);
}

namespace {
// The common token, a stored text without a variable marker that is not "%0".."%2", straight
// from the byte array into the buffer: the same characters as the general way below, which
// builds the 256-character work text first.
bool copy_plain_token(int32_t n, std::span<char> buffer) {
  const std::string_view text = plain_text_token(n);
  if (text.data() == nullptr) return false;
  const size_t copy = std::min(buffer.size(), text.size());
  std::memcpy(buffer.data(), text.data(), copy);
  std::memset(buffer.data() + copy, ' ', buffer.size() - copy);
  return true;
}
}  // namespace

void get_text_token(int32_t n, std::span<char> buffer) {
  text_tokens.last_cut = false;
  if (copy_plain_token(n, buffer)) return;
  std::string t(work_length, ' ');
  if (n != 0) {
    const bool stored = n >= 1 && n < text_tokens.next_token && n <= text_tokens.token_count;
    if (n < 0 || n > text_tokens.token_count) {
      text_tokens.last_length = 0;
      report_error("*** text-token nr", n);
    } else if (stored && token_in_bytes(n)) {
      const int32_t start = text_tokens.starts[static_cast<size_t>(n)];
      const int32_t end = text_tokens.ends[static_cast<size_t>(n)];
      const int32_t length = std::min(end - start + 1, work_length);
      if (end - start + 1 > work_length) text_tokens.last_cut = true;
      t.replace(0, static_cast<size_t>(length), text_tokens.bytes.data() + start, static_cast<size_t>(length));
      text_tokens.last_length = end - start + 1;
      expand_markers(t);
    } else {
      // A number within the declared count that the file never filled, or a token whose bytes
      // a later "TEXTCHARACTERS" released: an empty text.
      text_tokens.last_length = 0;
    }
  } else {
    text_tokens.last_length = 0;
  }
  // A token that is only "%0", "%1" or "%2" stands for its slot, whose text is as long as its
  // characters without the trailing blanks (not the token's own two).
  if (const int32_t slot = percent_slot(t); slot >= 0) {
    t = text_tokens.percent_slots[slot];
    text_tokens.last_cut = text_tokens.percent_cut[slot];
    text_tokens.last_length = static_cast<int32_t>(blank_trimmed(t).size());
  }
  const size_t copy = std::min(buffer.size(), t.size());
  std::copy_n(t.begin(), copy, buffer.begin());
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(copy), buffer.end(), ' ');
}

std::string get_text_token(int32_t n, int32_t length) {
  std::string text(static_cast<size_t>(std::max(length, 0)), ' ');
  get_text_token(n, std::span<char>(text.data(), text.size()));
  return text;
}

program_text token_text(int32_t n, int32_t length) {
  program_text t{get_text_token(n, length), false};
  t.cut = text_tokens.last_cut;
  return t;
}

int32_t get_text_token_length() { return text_tokens.last_length; }
void set_text_token_length(int32_t length) { text_tokens.last_length = length; }
// Written in place: the slot keeps its buffer (once it has its 80 characters), so setting it
// does not allocate.  The text may be (part of) the slot itself.
void set_percent_text(int32_t k, std::string_view text) {
  const bool cut = past_percent_slot(text);
  std::array<char, slot_length> line;
  line.fill(' ');
  copy_characters(line.data(), text.data(), std::min(text.size(), static_cast<size_t>(slot_length)));
  text_tokens.percent_slots[k].assign(line.data(), line.size());
  text_tokens.percent_cut[k] = cut;
}

void free_text_tokens() {
  release(text_tokens.starts);
  release(text_tokens.ends);
  release(text_tokens.kinds);
  release(text_tokens.bytes);
  text_tokens.byte_capacity = 0;
  text_tokens.token_count = 0;
  text_tokens.next_byte = 1;
  text_tokens.next_token = 1;
}

void reset_text_tokens() {
  free_text_tokens();
  text_tokens.last_length = 0;
  for (int32_t k = 0; k < 3; ++k) set_percent_text(k, "");
}
