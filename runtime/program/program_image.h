// The loaded program: code records, the variable table, the numeric space ADRSPACE and the
// string space STRING_BUFFER.  The loader sizes these stores from the [INIT] section of the PXB
// file and fills them; the interpreter and the evaluator read and write them while it runs.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- code records
// One compiled command (indexed from 1).
struct code_record {
  int32_t target = 0;       // ":" field: code index of a jump, call or event target
  int32_t expression = 0;   // "%" field: UPN expression of the operands
  int32_t second = 0;       // "&" field
  int32_t token1 = 0;       // first "@" field
  int32_t token2 = 0;       // second "@" field
  int32_t flags = 0;        // "/" option flag mask
  int32_t opcode = 0;       // 1..47
  std::array<char, 40> text{};  // command text, blank-padded
};

struct program_image_t {
  std::vector<code_record> codes;  // codes[0] unused; 1..code_count
  int32_t code_count = 0;          // never negative
};
extern program_image_t program_image;

// The empty record every code slot starts as: all numbers 0, command text "*".
code_record empty_code_record();

// ---------------------------------------------------------------- variables
// Variable types.
inline constexpr int32_t var_integer = 1;
inline constexpr int32_t var_real = 3;
inline constexpr int32_t var_text = 4;
inline constexpr int32_t var_date = 5;
inline constexpr int32_t var_pointer = 7;

// An array a program creates at run time (ARRAY command).  The record owns its words; they are
// released with the table.  Elements are 4-byte words at (element - lower_bound) * stride bytes.
struct dynamic_array_t {
  std::vector<uint32_t> data;  // the words; empty while not allocated
  int32_t element_length = 0;
  int32_t offset = 0;
  int32_t flags = 0;  // bit 0: allocated
  int32_t rank = 0;
  int32_t reserved = 0;
  int32_t extent = 0;
  int32_t stride = 0;
  int32_t lower_bound = 0;
  bool allocated() const { return (flags & 1) != 0; }
};

// One program variable (the table is indexed from 0).
struct variable_record {
  std::array<char, 12> name{};  // blank-padded
  int32_t type = 0;             // 1 integer, 3 real, 4 text, 5 date text, 7 pointer
  int32_t dimension = 0;        // number of elements
  int32_t start = 0;            // numeric: first word in ADRSPACE; text: element length
  int32_t text_start = 1;       // text: STRING_BUFFER index of element 1's first character
  int32_t text_end = 1;         // text: index of element 1's last character
  int32_t width = 0;            // output width
  int32_t decimals = 0;         // output decimals
  int32_t out_x = 0;            // top-left corner of the format area that showed it last
  int32_t out_y = 0;
  float range_min = 0.0f;       // value range of field input and sliders
  float range_max = 0.0f;
  dynamic_array_t array;        // array created at run time

  // A text variable occupies STRING_BUFFER; everything else lives in ADRSPACE.
  bool is_text() const { return type == var_text || type == var_date; }
  int32_t element_length() const { return is_text() ? start : 4; }
};

struct variable_table_t {
  std::vector<variable_record> records;  // 0..count (count + 1 records), empty when not sized
  int32_t count = 0;                     // the "VARIABLES" value (at least 1 once sized)
  bool valid(int32_t v) const { return v >= 0 && v < static_cast<int32_t>(records.size()); }
};
extern variable_table_t variable_table;

// The variable's name without trailing blanks.
std::string_view variable_name(const variable_record& var);

// ---------------------------------------------------------------- numeric space
// 32-bit words, 1-based: integer and pointer variables keep int32, real variables IEEE floats.
// Words are stored raw; the views reinterpret the bits.  Out-of-range indices read 0 and are not
// written, so a caller that checks `valid` first can report its own error.
struct adrspace_t {
  std::vector<uint32_t> words;  // words[0] unused; 1..size
  int32_t size = 0;             // as recorded from "ADRSPACE" (may be 0 or negative)

  int32_t word_count() const { return words.empty() ? 0 : static_cast<int32_t>(words.size()) - 1; }
  bool valid(int32_t i) const { return i >= 1 && i <= word_count(); }
  uint32_t word(int32_t i) const { return valid(i) ? words[static_cast<size_t>(i)] : 0u; }
  void set_word(int32_t i, uint32_t w) {
    if (valid(i)) words[static_cast<size_t>(i)] = w;
  }
  int32_t get_int(int32_t i) const { return std::bit_cast<int32_t>(word(i)); }
  float get_real(int32_t i) const { return std::bit_cast<float>(word(i)); }
  void set_int(int32_t i, int32_t v) { set_word(i, std::bit_cast<uint32_t>(v)); }
  void set_real(int32_t i, float v) { set_word(i, std::bit_cast<uint32_t>(v)); }
};
extern adrspace_t ADRSPACE;

// The 4-byte word of numeric element k (0-based) of a variable: in the array the program created
// at run time while the variable has one, else in ADRSPACE; nullptr when the element lies outside
// that storage.  Every reader and writer of a numeric element, by number or by name, goes here;
// checking k against the dimension is the caller's part.
uint32_t* element_storage(variable_record& var, int64_t k);
const uint32_t* element_storage(const variable_record& var, int64_t k);

// ---------------------------------------------------------------- the variables' layout
// Where a variable's elements lie, their type and their number - a record's type, dimension,
// start and text range, its run-time array, the size of the table and of the numeric space -
// change only through the routines below and the sizing routines of the UPN store
// (alloc_variable_space, free_variable_space, alloc_array_space).  Each moves the layout stamp
// (`upn_plans.generation`), so that an expression that resolved its variables to their words
// looks them up again.  Values, names and the output fields are written directly.

// Record v (0..count) becomes `record`, its layout and all.
void define_variable(int32_t v, const variable_record& record);
// Variable v gets a run-time array of these words (its dimension: their number).
void set_run_time_array(int32_t v, std::vector<uint32_t> words);
// Variable v's run-time array is released; its dimension becomes 1.
void free_run_time_array(int32_t v);

// ---------------------------------------------------------------- string space
// One fixed buffer of 20480 characters (code page 1252), 1-based; it exists for the whole
// process.  Ranges are clamped to the buffer.  Beside each character the buffer keeps whether the
// text written there was cut right after it (names.h).  Every write goes through `write`, which
// decides the marks of the characters it writes from what it writes, so that a mark always
// describes the characters that stand there.
struct string_buffer_t {
  static constexpr int32_t size = 20480;

  static bool valid(int32_t i) { return i >= 1 && i <= size; }
  char at(int32_t i) const { return valid(i) ? chars_[static_cast<size_t>(i - 1)] : ' '; }
  // Position 1's character; the buffer's characters follow it.
  const char* data() const { return chars_.data(); }
  // The characters start..start+length-1, clamped to the buffer.
  std::string_view view(int32_t start, int32_t length) const;
  // Writes text into start..start+length-1, cut or blank-padded to length (clamped to the buffer).
  // `kept` -1: the text is whole.  Otherwise it is a cut one of which only the first `kept`
  // characters are its own: where the range holds more than those, the last of them (the first
  // character where none is) carries the mark.  Every other mark of the range goes with the
  // characters it described.
  void write(int32_t start, int32_t length, std::string_view text, int32_t kept = -1);
  // The characters of start..start+length-1 before the first one that stands where a cut text
  // lost its own, -1 where none does.  A mark on the range's last character leaves it whole:
  // what was lost lies beyond it.
  int32_t cut_kept(int32_t start, int32_t length) const { return cut_kept(start, length, length, start); }
  // The same for a reader that takes only the first `held` of those characters: cut as well
  // where it leaves characters other than blanks behind (at most `held`).  The range is a part of
  // the element that begins at `since`: a mark on since..start-1 stands where a cut text lost its
  // own before the part begins, so none of the part's characters are its own (0).  In line: a
  // range without a mark pays one test while the buffer holds none, and a look at the words of
  // its marks while it holds some.
  int32_t cut_kept(int32_t start, int32_t length, int32_t held, int32_t since) const {
    if (length <= held && (cut_marks_ == 0 || !marked(since, int64_t{start} + length - 2))) return -1;
    return held_cut(start, length, held, since);
  }
  // Blanks every character (no marks).
  void blank();

 private:
  static constexpr int32_t word_bits = 64;
  // Whether a mark lies on first..last (clamped to the buffer); false for an empty range.  A
  // range of one or two words without any mark in them (an element of 64 characters or fewer
  // where the marks lie elsewhere) is told by the two words alone.
  bool marked(int64_t first, int64_t last) const {
    first = std::max<int64_t>(first, 1);
    last = std::min<int64_t>(last, size);
    if (last < first) return false;
    const uint64_t from = static_cast<uint64_t>(first - 1) / word_bits, to = static_cast<uint64_t>(last - 1) / word_bits;
    if (to - from <= 1 && (cut_after_[from] | cut_after_[to]) == 0) return false;
    return first_mark(first, last) != 0;
  }
  // The first marked position of first..last (clamped to the buffer), 0 where none is: the
  // range's words, the first and the last masked to the range.
  int32_t first_mark(int64_t first, int64_t last) const;
  int32_t held_cut(int32_t start, int32_t length, int32_t held, int32_t since) const;
  // The marks of a write of start..start+length-1 (first..last of it inside the buffer) that
  // `kept` describes, as `write` gives them.
  [[gnu::noinline]] void mark_written(int32_t start, int32_t length, int64_t first, int64_t last, int32_t kept);
  std::array<char, size> chars_{};
  // Bit i of word w: the text written at position w * 64 + i + 1 was cut after that character.
  // A range's marks are a few words' masks, so an element of a buffer that holds some marks is
  // looked at in one or two tests, not character by character.
  std::array<uint64_t, size / word_bits> cut_after_{};
  int32_t cut_marks_ = 0;  // the marks set
};
extern string_buffer_t STRING_BUFFER;

// ---------------------------------------------------------------- loader state
// Counters of the load in progress; set to 1 by every [INIT] record.
struct load_state_t {
  int32_t next_word = 1;        // next free word of ADRSPACE
  int32_t next_char = 1;        // next free character of STRING_BUFFER
  int32_t last_code = 0;        // number of the last code record written
  bool convert_texts = true;    // code-page conversion of text tokens ("CSET=W" switches it off)
  std::array<char, 256> name{};  // the program file name, blank-padded
};
extern load_state_t load_state;

// The program's help page, "help\htdocs\" and the executable's base name with ".html",
// blank-padded; built by the loader, changed by the HELP command.
extern std::array<char, 256> help_page;  // a file name: as long as a text token

// Frees every store of the program image and zeroes the loader state (tests, chaining).
void reset_program_image();
