// The expression machinery.  A run of one expression takes its stages in this order:
//   plan        the compiler cuts each expression's codes into steps once (upn_plan.h; the
//               numeric and text functions that run straight from a step: upn_function_steps.h);
//   resolve     at run time a plan's operands are resolved under the current stamp (plan_steps.h,
//               plan_steps.cpp);
//   operations  a plan whose every step qualifies is also made into operations on the variables'
//               words and runs without the plan loop (line_ops.h);
//   loop        loops made only of expression lines, jumps and such CALLs, found when the program
//               is loaded (code_steps.h), run their lines' operations round after round
//               (line_loops.h).
// What fails a stage falls back to the stage before it: the plan's steps (run_plan), and down to
// the codes one by one on the general path of evaluate_upn (evaluator.cpp), which makes every
// report.
//
// The UPN evaluator: the value stack, the evaluation of one compiled expression, and the
// conventions every function handler follows on the stack.
//
// Stack layout.  The stack has 23 slots numbered -1 .. 21 (`stack_slot(i)`); the first value
// pushed goes to slot 1, `evaluator.sp` is the number of the top slot (0 = empty).  Slots -1, 0
// and 21 are never results.  A slot is
//   bits  - the 32-bit value word; numbers are floats (`value()` / `set_value()`), pointer words
//           travel through it unchanged (`bits`), texts carry their length as a float here;
//   type  - -1 for a number, otherwise the text length 0..256;
//   text  - 512 bytes (code page 1252), blank-padded;
//   blank_from - where the field is known to hold only blanks to its end (see value_slot);
//   exact_whole, whole - an integer variable's exact value while the slot holds it as read;
//   cut_kept - where the text was cut to fit, -1 for a whole one (see value_slot).
// After `evaluate_upn(expr, count)` the results are in slots 1..count; their values are the
// parameter registers P1..P10 (`param_registers[i]`), 0 beyond the results.
//
// How a function handler works on the stack (codes 15-82; the evaluator calls
// `eval_library_function(code, operand)` or one of the `eval_XXX` entries below):
//   - The evaluator has already checked that the stack holds the function's arguments
//     (`function_arity(code)`), so a handler may read slots sp, sp-1, sp-2 without checking.
//     A function without arguments may push one slot (the evaluator checked there is room).
//   - One argument: replace the top slot (`evaluator.top()`) by the result.
//   - Two arguments: the first is slot sp-1, the second slot sp (the top).  Write the result
//     into slot sp-1 and call `pop_to_first_argument()`, which zeroes the old top's value, drops
//     sp by one, sets the new top's type to -1 and clears `last_reference`.  For a text result,
//     set the text afterwards with `set_text_result` / `finish_text_result`.
//   - Three arguments (SQLINFO): slots sp-2, sp-1, sp in argument order; the result goes into
//     slot sp-2; call `pop_to_first_argument()` twice.
//   - Numbers that are needed as whole numbers go through `nint` (program.h).  A number that is
//     needed as a text is first made a one-character text by `number_to_text(slot)`.
//   - A numeric result: `slot.set_number(v)` (type -1).  A text result: write the text into
//     `slot.text` (blank-padded), then either `finish_text_result(slot, length)` (the common
//     text-result step: applies a pending substring, then value := length) or
//     `set_text_result(slot, length)` (type and value := length, no substring).
//   - `ARG` (code 54) reads `call_argument(k)` and sets `evaluator.last_reference = -k` and
//     `evaluator.element_position = 1`; a later `_STO` then writes the argument back.
// Errors go through `report_error`; after a report the handler returns and the evaluator goes on
// only as the reporter decides.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <string_view>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "runtime/program/call_state.h"
#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"

struct value_slot {
  uint32_t bits = 0;
  int32_t type = -1;
  std::array<char, 512> text{};
  // The text field holds blanks from this position to its end (512: nothing known).  The
  // evaluator's text codes keep it, so that clearing, copying and comparing a short text touch
  // only its characters; a handler that writes the field its own way need not, since the
  // library entry forgets the mark of every slot such a handler can reach.
  int32_t blank_from = 512;
  // An integer variable's element read into the slot keeps its exact value here, which the
  // float in `bits` loses above 2^24 (2147483647 reads as 2^31): STRING formats it by
  // `exact_value()`.  Every other write of the number drops it.
  bool exact_whole = false;
  int32_t whole = 0;
  // -1: the text is whole.  Otherwise it is cut (names.h): only its first `cut_kept` characters
  // are its own, and characters other than blanks were lost after them (a token or a
  // concatenation past 256 characters, a variable past the field, a system text past 256, an
  // element that holds a cut text).  It goes on with the text through every function that keeps
  // the text (TRIM, UPCASE, ...), into a concatenation and into a variable it is stored in; a
  // name taken from such a text is refused.  Meaningful for texts only: every step that makes a
  // new text sets it.
  int32_t cut_kept = -1;
  bool cut() const { return cut_kept >= 0; }

  float value() const { return std::bit_cast<float>(bits); }
  void set_value(float v) {
    bits = std::bit_cast<uint32_t>(v);
    exact_whole = false;
  }
  void set_bits(uint32_t b) {
    bits = b;
    exact_whole = false;
  }
  // The number as exactly as the slot knows it: an integer variable's own value while the slot
  // still holds the float it was read as, else the float.
  double exact_value() const {
    return exact_whole && type < 0 && bits == std::bit_cast<uint32_t>(static_cast<float>(whole))
               ? static_cast<double>(whole)
               : static_cast<double>(value());
  }
  void set_number(float v) {
    set_value(v);
    type = -1;
  }
  bool is_number() const { return type < 0; }
  // The text as far as its length goes (empty for a number).
  std::string_view text_view() const {
    return type > 0 ? std::string_view(text.data(), static_cast<size_t>(type)) : std::string_view();
  }
  // Where the blanks to the end of the field surely begin: the mark, or the text's length where
  // that is larger (a text written straight into the field along with its length).
  int32_t blank_start() const {
    return std::clamp(std::max(blank_from, type), 0, static_cast<int32_t>(text.size()));
  }
  // The first n characters (0..512) hold the new text: blanks from there to where the old text
  // ended.
  void blank_after(int32_t n) {
    const int32_t end = blank_start();
    if (end > n) blank_characters(text.data() + n, static_cast<size_t>(end - n));
    blank_from = n;
  }
  // The field was written without keeping the mark.
  void forget_blanks() { blank_from = static_cast<int32_t>(text.size()); }
  // The cleared state every evaluation starts from: 0.0, number, text "@" and blanks.
  void clear();
  // A popped slot: value 0.0 and number; the text field is left as it is.
  void clear_number() {
    set_bits(0);
    type = -1;
  }
};

constexpr int32_t value_stack_first = -1;
constexpr int32_t value_stack_last = 21;
constexpr int32_t value_stack_slots = 23;
constexpr int32_t max_text_result = 256;

// Registers of the evaluator; one block for the process.
struct evaluator_state {
  std::array<value_slot, value_stack_slots> slots{};  // slot i lives at slots[i + 1]
  int32_t sp = 0;

  // Pending substring request set by ":" and consumed by the next text operand.
  bool substring_pending = false;
  int32_t substring_a = 0, substring_b = 0;
  // Label the evaluation is skipping forward to (0 = none).
  int32_t skip_label = 0;

  // A library function of the floors above (or a clock function) made its text result from a
  // text too long for it: the result is marked cut (eval_library.cpp).
  bool result_cut = false;

  // Variable access (see variables.cpp).
  int32_t last_reference = 0;     // variable number, -k after ARG(k), 0 after any other code
  int32_t last_element = 0;       // 0-based element index of the last variable read
  int32_t element_position = 1;   // ADRSPACE word of the last element read
  int32_t pointer_element = 0;    // element remembered by LOC for the next pointer store
  int32_t pointer_offset = 0;     // element part of the pointer AREF followed to the last element
  bool bounds_report = true;      // false: the next out-of-range element is skipped silently
  int32_t stored_substring_a = 0, stored_substring_b = 0;  // substring of the last text read
  bool stored = false;            // _STO ran in this evaluation (no single-step result trace)

  value_slot& slot(int32_t i) { return slots[static_cast<size_t>(i + 1)]; }
  value_slot& top() { return slot(sp); }
};
extern evaluator_state evaluator;

inline value_slot& stack_slot(int32_t i) { return evaluator.slot(i); }

// P1..P10: the value fields of slots 1..10.
struct param_registers_t {
  float operator[](int32_t i) const {
    return i >= 1 && i <= 10 ? evaluator.slot(i).value() : 0.0f;
  }
  uint32_t bits(int32_t i) const { return i >= 1 && i <= 10 ? evaluator.slot(i).bits : 0u; }
};
inline constexpr param_registers_t param_registers{};

// Runs expression `expression` and checks that it left at most `count` results.
void evaluate_upn(int32_t expression, int32_t count);
// The variable (or -k for ARG(k)) and 0-based element that the last evaluation named last.
void get_last_reference(int32_t& variable, int32_t& element);
// The next out-of-range element access is skipped without a report (ARRAY command).
void tolerate_array_bounds();
// Clears every evaluator register (tests, program load).
void reset_evaluator();

// ---------------------------------------------------------------- helpers for handlers
// Number of stack slots function `code` (15-82) takes as arguments; -1 for no such function.
int32_t function_arity(int32_t code);
// True when the stack holds at least `needed` slots; otherwise reports "Stack underflow" (6111).
bool stack_holds(int32_t needed);
// Two-argument discipline after the result was written into slot sp-1 (see above).  The first
// form works on a stack given by its slot 0 and its sp (the evaluator's loop keeps sp in a
// register); the second on the evaluator's own.
inline void pop_to_first_argument(value_slot* slot0, int32_t& sp) {
  slot0[sp].set_value(0.0f);
  --sp;
  slot0[sp].type = -1;
  evaluator.last_reference = 0;
}
inline void pop_to_first_argument() { pop_to_first_argument(&evaluator.slot(0), evaluator.sp); }
// A numeric slot becomes the one-character text of MOD(NINT(|v|), 255); texts stay (in line:
// most arguments are texts already).
void number_slot_to_text(value_slot& slot);  // the numeric case
inline void number_to_text(value_slot& slot) {
  if (slot.is_number()) number_slot_to_text(slot);
}
// Common text-result step: apply a pending substring to the slot's text, then value := length.
inline void finish_text_result(value_slot& slot, int32_t length) {
  slot.type = std::clamp(length, 0, static_cast<int32_t>(slot.text.size()));
  slot.set_value(static_cast<float>(slot.type));
}
// Text result without substring: type and value := length (clamped to 0..256).
void set_text_result(value_slot& slot, int32_t length);
// Applies and clears a pending substring on the slot's text (token and function-result rules:
// a' = max(a,1), b' = min(b,256), blanks where the text is shorter); sets the type to the new
// length and returns it.  Without a pending request the slot is left alone and its type returned.
int32_t apply_pending_substring(value_slot& slot);
// Records that slot `slot` (or one below it) got a text written by a path the evaluator does not
// see by its code, so the next evaluation clears it.
void note_text_written(int32_t slot);
// Argument k (1..10) of the current call level; 0 outside a call or for a bad k.
inline float call_argument(int32_t k) {
  if (k < 1 || k > 10 || call_state.depth < 1 || call_state.depth > max_call_depth) return 0.0f;
  return call_state.arg_frame[static_cast<size_t>(call_state.depth)][static_cast<size_t>(k - 1)];
}
void set_call_argument(int32_t k, float value);

// ---------------------------------------------------------------- variable codes (variables.cpp)
void push_variable(int32_t variable);  // code 4: push element 1
void load_element(int32_t variable);   // code 5: top = element number -> element
void store_reference();                // code 93 _STO
void locate_reference();               // code 94 LOC
void dereference();                    // code 95 REF
void indexed_dereference();            // code 96 AREF and above

// The common cases of "&" and _STO, inline for the evaluator's loop: element 0 of an integer,
// real or pointer variable without a run-time array, and a store into an integer or real one.
// Each does all of its code's work and returns true, or does nothing and returns false; the
// full entries above then handle the case (text variables, arrays, reports, traces).

// The variable table and the numeric space with their bounds, as the common cases read them.
// Taken once and used only while nothing can have replaced the stores.
struct number_stores {
  variable_record* records = nullptr;
  int32_t last_variable = 0;  // records 1..last_variable exist
  uint32_t* words = nullptr;
  int32_t last_word = 0;      // ADRSPACE words 1..last_word exist

  static number_stores current() {
    return {variable_table.records.data(),
            std::max(std::min(variable_table.count, static_cast<int32_t>(variable_table.records.size()) - 1), 0),
            ADRSPACE.words.data(), ADRSPACE.word_count()};
  }
  // (One unsigned comparison tests 1 <= v <= last.)
  variable_record* variable(int32_t v) const {
    return static_cast<uint32_t>(v) - 1u < static_cast<uint32_t>(last_variable) ? &records[static_cast<size_t>(v)]
                                                                                  : nullptr;
  }
  bool valid_word(int32_t i) const { return static_cast<uint32_t>(i) - 1u < static_cast<uint32_t>(last_word); }
};

// True for a variable whose elements are words of ADRSPACE holding numbers.
inline bool is_plain_number(const variable_record& var) {
  constexpr uint32_t numeric_types = 1u << var_integer | 1u << var_real | 1u << var_pointer;
  return static_cast<uint32_t>(var.type) < 32u && (numeric_types >> var.type & 1u) != 0 && !var.array.allocated();
}
// A numeric variable's word as the slot holds it: integers as floats, reals and pointer words
// with their bits as they are.
inline uint32_t number_word_bits(int32_t type, uint32_t word) {
  return type == var_integer ? std::bit_cast<uint32_t>(static_cast<float>(std::bit_cast<int32_t>(word))) : word;
}
inline void load_number_word(value_slot& slot, int32_t type, uint32_t word) {
  slot.bits = number_word_bits(type, word);
  slot.exact_whole = type == var_integer;
  slot.whole = std::bit_cast<int32_t>(word);
  slot.type = -1;
}
// Element k (0-based) of a numeric variable into `slot`, with the bookkeeping of a read.  Code 4
// reads element 0 of any such variable; code 5 (`checked`) only an element inside the dimension.
inline bool load_plain_number(const number_stores& stores, int32_t v, int32_t k, bool checked, value_slot& slot) {
  const variable_record* var = stores.variable(v);
  if (var == nullptr || !is_plain_number(*var)) return false;
  if (checked && (k < 0 || k >= var->dimension)) return false;
  const int32_t word = var->start + k;
  evaluator.last_reference = v;
  evaluator.last_element = k;
  evaluator.pointer_offset = 0;
  evaluator.element_position = word;
  load_number_word(slot, var->type, stores.valid_word(word) ? stores.words[static_cast<size_t>(word)] : 0u);
  return true;
}
// Code 4 into `slot` (the slot above the top; the caller moves sp on success).
inline bool push_plain_number(const number_stores& stores, int32_t v, value_slot& slot) {
  return load_plain_number(stores, v, 0, false, slot);
}
// The 0-based element that code 5 reads for the element number on the top of the stack (the
// lowest number stays out of range rather than wrapping round).
inline int32_t element_index(float number) {
  const int32_t n = nint(number);
  return n == INT32_MIN ? n : n - 1;
}
// NINT of a whole number above INT32_MIN and below 2^31, the common case, without the call:
// false for any other number.
inline bool whole_number(float number, int32_t& n) {
  if (!(number > -2147483648.0f && number < 2147483648.0f)) return false;
  n = static_cast<int32_t>(number);
  return static_cast<float>(n) == number;
}
// ARG(k) for 1 <= k <= 10: the argument replaces the top, and a following _STO writes it back.
inline void read_call_argument(value_slot& top, int32_t k) {
  top.set_number(call_argument(k));
  evaluator.last_reference = -k;
  evaluator.element_position = 1;
}
// The word _STO writes for `value` into an integer or real variable of type `type`: a real's
// bits as they are, an integer truncated toward zero.  False for another type, and for a value
// the conversion to an integer would clamp or that is NaN (the full routine handles those).
inline bool number_store_bits(int32_t type, float value, uint32_t& bits) {
  if (type == var_integer) [[likely]] {
#if defined(__SSE__)
    // The processor's truncation gives INT32_MIN for NaN and for every value outside the range:
    // one conversion and one comparison for the common case.
    const int32_t n = _mm_cvtt_ss2si(_mm_set_ss(value));
    if (n == INT32_MIN) [[unlikely]] {
      if (value != -2147483648.0f) return false;
    }
#else
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return false;
    const int32_t n = static_cast<int32_t>(value);
#endif
    bits = std::bit_cast<uint32_t>(n);
    return true;
  }
  if (type != var_real) return false;
  bits = std::bit_cast<uint32_t>(value);
  return true;
}
// `value` into word `word` of an integer or real variable of type `type`, as _STO writes it;
// false (nothing written) for a word outside the numeric space, another type, or a value the
// conversion to an integer would clamp or that is NaN (the full routine handles those).
inline bool store_number_word(const number_stores& stores, int32_t type, int32_t word, const value_slot& value) {
  uint32_t bits = 0;
  if (!stores.valid_word(word) || !number_store_bits(type, value.value(), bits)) return false;
  stores.words[static_cast<size_t>(word)] = bits;
  return true;
}
// _STO of `value` into element k of variable `reference` (the last reference), without the trace of single stepping; the caller
// drops the two slots (finish_store).  Into an integer only a value in the int32 range, where the
// conversion itself truncates toward zero; NaN and the values trunc_to_int clamps take the full
// routine.
inline bool store_plain_number(const number_stores& stores, int32_t reference, int32_t k, const value_slot& value) {
  variable_record* var = stores.variable(reference);
  if (var == nullptr || var->array.allocated() || run_flags.single_step_on) return false;
  if (k < 0 || k >= std::max(var->dimension, 1)) return false;
  return store_number_word(stores, var->type, var->start + k, value);
}
// The end of every _STO: both slots dropped as numbers 0.0.
inline void finish_store(value_slot* slot0, int32_t& sp) {
  evaluator.element_position = 1;
  slot0[sp].clear_number();
  slot0[sp - 1].clear_number();
  sp -= 2;
  evaluator.stored = true;
}
inline void finish_store() { finish_store(&evaluator.slot(0), evaluator.sp); }

// ---------------------------------------------------------------- variables by name (var_by_name.cpp)
// The typed accessors are declared in program.h.  `map_variable` finds a reference "NAME" or
// "NAME(n)" (name matched on 12 characters in upper case): variable 1..count and 0-based element
// offset.  A name that is not found is reported ("MAP-Error:") while the map-error switch is on;
// with it off the answer is variable 0 and offset -1.
void map_variable(std::string_view reference, int32_t& variable, int32_t& element_offset);
void set_map_error_report(bool on);
