// The UPN evaluator: runs one compiled expression on the value stack.  Operand codes 1-7, the
// operators 8-14 and the comparisons 83-92 live here; variable access and the reference codes
// 93-96 in variables.cpp; the functions 15-82 in their own families.
#include "runtime/program/evaluator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

evaluator_state evaluator;

namespace {

// The numeric comparisons "=", "#", "<", ">", "<=" and ">=".
inline bool numeric_compare(int32_t code, float x, float y) {
  switch (code) {
    case upn_equal: return x == y;
    case upn_not_equal: return x != y;
    case upn_less: return x < y;
    case upn_greater: return x > y;
    case upn_less_equal: return x <= y;
    default: return x >= y;
  }
}

// Every evaluation starts from cleared slots: 0.0, number, text "@" and blanks.  Rather than
// clear all 23 slots each time, the evaluator keeps two marks: the slots above `touched_top` have
// had nothing written since they were cleared, and the text fields above `dirty_top` are still
// "@" and blanks.  Clearing then rewrites only what an evaluation (or a caller that set the
// stack itself, which leaves sp at its top) can have written.
int32_t dirty_top = value_stack_last;
int32_t touched_top = value_stack_last;

void raise_touched(int32_t slot) { touched_top = std::max(touched_top, slot); }

inline void clear_used_slots() {
  const int32_t numbers = std::min(std::max({touched_top, dirty_top, evaluator.sp}), value_stack_last);
  int32_t i = value_stack_first;
  if (dirty_top >= value_stack_first) [[unlikely]] {
    for (const int32_t texts = std::min(dirty_top, value_stack_last); i <= texts; ++i) evaluator.slot(i).clear();
    dirty_top = value_stack_first - 1;
  }
  for (; i <= numbers; ++i) evaluator.slot(i).clear_number();
  touched_top = value_stack_first - 1;
}

void report_underflow() { report_error("Stack underflow", 6111); }

// Codes whose handlers may write a text field: text tokens, concatenation, text comparisons and
// every function that takes or gives a text.  The functions on numbers (the numeric family, the
// clock and calendar numbers, the device and program-state queries, ARG) write only the value
// and type words; text variable reads and text stores mark their slots themselves.
bool may_write_text(int32_t code) {
  switch (code) {
    case upn_text: case upn_concat: case upn_text_equal: case upn_text_not_equal: case upn_text_less:
    case upn_text_greater: case upn_dstr: case upn_idate:
      return true;
    default: return code >= upn_upcase && code <= upn_ioerror;
  }
}

// Free-format text of a float for trace lines.
std::string free_format(float v) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// Slots a code takes from the stack before it runs (the checks that keep every pop in range).
int32_t slots_needed(int32_t code) {
  if (code >= upn_add && code <= upn_substring) return 2;
  if (code >= upn_chs && code <= upn_ioerror) return std::max(function_arity(code), 0);
  if (code >= upn_equal && code <= upn_greater_equal) return 2;
  switch (code) {
    case upn_element: return 1;
    case upn_store: return 2;  // value and target
    case upn_loc: return 1;
    case upn_ref: return 1;
    default: break;
  }
  return code > upn_ref ? 2 : 0;  // AREF (and every code above): element number and pointer
}

// ---------------------------------------------------------------- operand codes
void push_constant(uint32_t bits) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  s.bits = bits;
  s.type = -1;
}

void push_text_token(int32_t token) {
  value_slot& s = evaluator.slot(++evaluator.sp);
  if (const std::string_view plain = plain_text_token(token); plain.data() != nullptr) {
    copy_characters(s.text.data(), plain.data(), plain.size());
    s.blank_after(static_cast<int32_t>(plain.size()));
  } else {
    get_text_token(token, std::span<char>(s.text));
    s.forget_blanks();
  }
  const int32_t length = std::clamp(get_text_token_length(), 0, max_text_result);
  s.type = length;
  set_percent0_text(std::string_view(s.text.data(), static_cast<size_t>(length)));
  finish_text_result(s, apply_pending_substring(s));
}

// ---------------------------------------------------------------- operators
void arithmetic(int32_t code) {
  value_slot& a = evaluator.slot(evaluator.sp - 1);
  const float x = a.value();
  const float y = evaluator.top().value();
  float r = 0.0f;
  switch (code) {
    case upn_add: r = x + y; break;
    case upn_subtract: r = x - y; break;
    case upn_multiply: r = x * y; break;
    case upn_divide:
      if (y == 0.0f) {
        a.set_number(0.0f);
        pop_to_first_argument();
        report_error("ZERO divide", 6103);
        return;
      }
      r = x / y;
      break;
    case upn_power: r = std::pow(x, y); break;
    default: break;
  }
  a.set_number(r);
  pop_to_first_argument();
}

void concatenate() {
  value_slot& a = evaluator.slot(evaluator.sp - 1);
  value_slot& b = evaluator.top();
  number_to_text(a);
  number_to_text(b);
  int32_t length = a.type;
  if (length == 0) {
    // The second text's whole field (its blanks need no copy).
    const int32_t end = b.blank_start();
    copy_characters(a.text.data(), b.text.data(), static_cast<size_t>(end));
    a.blank_after(end);
    length = b.type;
  } else if (b.type > 0) {
    // The second text's field goes after the first's last character; what passes the field is
    // lost.
    const int32_t at = std::clamp(length, 0, static_cast<int32_t>(a.text.size()));
    const int32_t end = at + std::min(b.blank_start(), static_cast<int32_t>(a.text.size()) - at);
    copy_characters(a.text.data() + at, b.text.data(), static_cast<size_t>(end - at));
    // Blanks from there to where the first text's field ended (its own characters stay).
    const int32_t old_end = a.blank_start();
    if (old_end > end) blank_characters(a.text.data() + end, static_cast<size_t>(old_end - end));
    a.blank_from = end;
    length = std::min(length + b.type, max_text_result);
  }
  a.type = length;
  b.clear();
  --evaluator.sp;
  evaluator.last_reference = 0;
  finish_text_result(a, apply_pending_substring(a));
}

void substring_request() {
  evaluator.substring_pending = true;
  evaluator.substring_a = nint(evaluator.slot(evaluator.sp - 1).value());
  evaluator.substring_b = nint(evaluator.top().value());
  evaluator.top().clear_number();
  evaluator.slot(evaluator.sp - 1).clear_number();
  evaluator.sp -= 2;
}

void compare(int32_t code) {
  value_slot& a = evaluator.slot(evaluator.sp - 1);
  value_slot& b = evaluator.top();
  bool result = false;
  if (code == upn_text_equal || code == upn_text_not_equal || code == upn_text_less || code == upn_text_greater) {
    // Text comparisons look at the whole blank-padded fields, so trailing blanks never matter.
    number_to_text(a);
    number_to_text(b);
    // Past both marks both fields are blank.
    const int32_t end = std::max(a.blank_start(), b.blank_start());
    const int order = std::memcmp(a.text.data(), b.text.data(), static_cast<size_t>(end));
    switch (code) {
      case upn_text_equal: result = order == 0; break;
      case upn_text_not_equal: result = order != 0; break;
      case upn_text_less: result = order < 0; break;
      default: result = order > 0; break;
    }
  } else {
    result = numeric_compare(code, a.value(), b.value());
  }
  a.set_number(result ? 1.0f : 0.0f);
  pop_to_first_argument();
}

// Single-step trace of the results (built in a 64-character line).
void trace_results(int32_t count) {
  auto cut = [](std::string line) {
    if (line.size() > 64) line.resize(64);
    return line;
  };
  value_slot& top = evaluator.top();
  if (top.type < 1) {
    for (int32_t i = 1; i <= std::min(count, value_stack_last); ++i) {
      const float v = evaluator.slot(i).value();
      if (v != 0.0f) trace_msg(cut(">>> STACK( " + std::to_string(i) + ") = " + free_format(v)));
    }
  } else {
    trace_msg(cut(">>> SSTACK >" + std::string(top.text_view()) + "<"));
  }
}

}  // namespace

// ---------------------------------------------------------------- value slots and helpers
void value_slot::clear() {
  blank_after(1);
  text[0] = '@';
  bits = 0;
  type = -1;
}

int32_t function_arity(int32_t code) {
  switch (code) {
    case upn_rnd: case upn_kbstat: case upn_keybd: case upn_ioerror:  // they push their result
      return 0;
    case upn_min: case upn_max: case upn_pixel: case upn_mod: case upn_atan2: case upn_days:
    case upn_iand: case upn_ior: case upn_ixor: case upn_and: case upn_or: case upn_xor: case upn_eqv:
    case upn_index: case upn_endex: case upn_verify: case upn_everify: case upn_scan: case upn_escan:
    case upn_lstel: case upn_string: case upn_sysvar: case upn_sqlvar:
      return 2;
    case upn_sqlinfo:  // name, slot, column
      return 3;
    default:
      return code >= upn_chs && code <= upn_ioerror ? 1 : -1;
  }
}

bool stack_holds(int32_t needed) {
  if (evaluator.sp >= needed) return true;
  report_underflow();
  return false;
}

void number_slot_to_text(value_slot& slot) {
  const int32_t code = static_cast<int32_t>(static_cast<int64_t>(nint(std::fabs(slot.value()))) % 255);
  // The whole field: a handler may have written it without keeping the mark.
  slot.text.fill(' ');
  slot.text[0] = static_cast<char>(static_cast<unsigned char>(code));
  slot.blank_from = 1;
  slot.type = 1;
  slot.set_value(1.0f);
}

int32_t apply_pending_substring(value_slot& slot) {
  if (!evaluator.substring_pending) return slot.type;
  evaluator.substring_pending = false;
  const int32_t a = std::max(evaluator.substring_a, 1);
  const int32_t b = std::min(evaluator.substring_b, max_text_result);
  // Characters a..b of the text, blanks where the text is shorter than b.  The rest of the
  // field is blanked whole: a handler may have written it without keeping the mark.
  const int32_t have = std::clamp(slot.type, 0, static_cast<int32_t>(slot.text.size()));
  const int32_t kept = b < a ? 0 : std::max(std::min(have, b) - a + 1, 0);
  std::memmove(slot.text.data(), slot.text.data() + (a - 1), static_cast<size_t>(kept));
  std::fill(slot.text.begin() + kept, slot.text.end(), ' ');
  slot.blank_from = kept;
  slot.type = b < a ? 0 : b - a + 1;
  return slot.type;
}

void set_text_result(value_slot& slot, int32_t length) {
  slot.type = std::clamp(length, 0, max_text_result);
  slot.set_value(static_cast<float>(slot.type));
}

// ---------------------------------------------------------------- evaluation
void reset_evaluator() {
  evaluator = evaluator_state{};
  dirty_top = value_stack_last;
  touched_top = value_stack_last;
  clear_used_slots();
}

void tolerate_array_bounds() { evaluator.bounds_report = false; }

void note_text_written(int32_t slot) { dirty_top = std::max(dirty_top, slot); }

void get_last_reference(int32_t& variable, int32_t& element) {
  variable = evaluator.last_reference;
  element = evaluator.last_element;
}

namespace {

// The compiled code and the variable stores as the loop reads them.  They are read again after
// every code that runs outside the loop (functions, reports), since what runs there may have
// replaced the program.
struct code_view {
  const int32_t* code = nullptr;
  const uint32_t* operand = nullptr;
  int32_t code_end = 0;     // codes 1..code_end exist
  int32_t operand_end = 0;  // operand words 1..operand_end exist; the others read 0
  number_stores stores;

  void read() {
    code = upn_code.code.data();
    operand = upn_code.operand.data();
    code_end = std::min(upn_code.last_code, static_cast<int32_t>(upn_code.code.size()) - 1);
    operand_end = static_cast<int32_t>(upn_code.operand.size()) - 1;
    stores = number_stores::current();
  }
  bool valid_code(int32_t i) const { return i >= 1 && i <= code_end; }
  uint32_t operand_word(int32_t i) const { return i >= 1 && i <= operand_end ? operand[i] : 0u; }
  // The last code up to `last` that exists with its operand word: codes up to there run in line.
  int32_t stretch_end(int32_t last) const { return std::min({last, code_end, operand_end}); }
};

// One code on the general path: its checks, then its handler.  Returns false when the
// evaluation stops.
bool run_code(int32_t code, uint32_t word) {
  const int32_t operand = std::bit_cast<int32_t>(word);
  if (code <= 0) {
    report_error("UPN-CODE-ERROR", 32000);
    return false;
  }
  if (evaluator.sp < slots_needed(code)) {
    report_underflow();
    return false;
  }
  // A code writes at most one slot above the current top.  Only codes that may write a text
  // field leave text to clear for the next evaluation; variable reads mark text slots
  // themselves (note_text_written).
  raise_touched(evaluator.sp + 1);
  if (may_write_text(code)) note_text_written(evaluator.sp + 1);
  switch (code) {
    case upn_jump: break;
    case upn_constant: push_constant(word); break;
    case upn_text: push_text_token(operand); break;
    case upn_variable: push_variable(operand); break;
    case upn_element: load_element(operand); break;
    case upn_jump_true:
      if (evaluator.top().value() != 0.0f) evaluator.skip_label = operand;
      break;
    case upn_jump_false:
      if (evaluator.top().value() == 0.0f) evaluator.skip_label = operand;
      break;
    case upn_add: case upn_subtract: case upn_multiply: case upn_divide: case upn_power: arithmetic(code); break;
    case upn_concat: concatenate(); break;
    case upn_substring: substring_request(); break;
    case upn_equal: case upn_text_equal: case upn_not_equal: case upn_text_not_equal: case upn_less: case upn_text_less: case upn_greater: case upn_text_greater: case upn_less_equal: case upn_greater_equal:
      compare(code);
      break;
    case upn_store: store_reference(); break;
    case upn_loc: locate_reference(); break;
    case upn_ref: dereference(); break;
    default:
      if (code > upn_ref)
        indexed_dereference();
      else
        eval_library_function(code, operand);
      break;
  }
  raise_touched(evaluator.sp);
  return true;
}

// The stack check that comes before every code.
bool stack_in_range() {
  const int32_t sp = evaluator.sp;
  if (static_cast<uint32_t>(sp) <= 20u) [[likely]] return true;
  if (sp < 0)
    report_underflow();
  else
    report_error("Stack overflow", 6110);
  return false;
}

// The result of a numeric operator or comparison goes into the first argument's slot.
void pop_with_number(value_slot* slot0, int32_t& sp, float result) {
  slot0[sp - 1].set_number(result);
  pop_to_first_argument(slot0, sp);
}

// What the in-line loop does with each code: one small number per code, so that the loop's
// dispatch is one table look-up and one dense jump.
enum inline_kind : uint8_t {
  general_path,  // left to run_code
  label_code,
  constant_code,
  variable_code,
  element_code,
  jump_true_code,
  jump_false_code,
  add_code,  // add_code .. compare_code: the operators a run done as one may end with
  subtract_code,
  multiply_code,
  divide_code,
  compare_code,
  store_code,
  argument_code,
};

constexpr std::array<uint8_t, upn_last_opcode + 1> inline_kinds = [] {
  std::array<uint8_t, upn_last_opcode + 1> kinds{};
  kinds[upn_jump] = label_code;
  kinds[upn_constant] = constant_code;
  kinds[upn_variable] = variable_code;
  kinds[upn_element] = element_code;
  kinds[upn_jump_true] = jump_true_code;
  kinds[upn_jump_false] = jump_false_code;
  kinds[upn_add] = add_code;
  kinds[upn_subtract] = subtract_code;
  kinds[upn_multiply] = multiply_code;
  kinds[upn_divide] = divide_code;
  for (int32_t code : {upn_equal, upn_not_equal, upn_less, upn_greater, upn_less_equal, upn_greater_equal})
    kinds[static_cast<size_t>(code)] = compare_code;
  kinds[upn_store] = store_code;
  kinds[upn_arg] = argument_code;
  return kinds;
}();

// The result of a numeric operator or comparison of kind `kind` (inline_kinds) on x and y, as the
// codes one by one give it; false for any other code and for a division by zero (reported on the
// general path).
inline bool numeric_result(uint8_t kind, int32_t code, float x, float y, float& result) {
  switch (kind) {
    case add_code: result = x + y; return true;
    case subtract_code: result = x - y; return true;
    case multiply_code: result = x * y; return true;
    case divide_code:
      if (y == 0.0f) return false;
      result = x / y;
      return true;
    case compare_code: result = numeric_compare(code, x, y) ? 1.0f : 0.0f; return true;
    default: return false;
  }
}

// Element 0 of a numeric variable as a slot holds it (load_number_word), for the fused forms.
inline uint32_t plain_number_bits(const number_stores& stores, const variable_record& var) {
  value_slot slot;
  load_number_word(slot, var.type, stores.valid_word(var.start) ? stores.words[static_cast<size_t>(var.start)] : 0u);
  return slot.bits;
}

// "&a __STO" with a an integer or real variable, done as one: stores the top into a and
// leaves the slots and registers as the two codes one by one do (the read of a named the
// reference, both slots dropped).  Returns 2, or 0 when the codes run one by one (pointer
// variables and values trunc_to_int clamps take the full routine; a stack too full or too
// empty for either code is reported there).
inline int32_t fused_store(const variable_record& a, int32_t v, const number_stores& stores, value_slot* slot0,
                           int32_t& sp, int32_t& high) {
  // "&a" needs sp <= 20 (checked by the caller), "_STO" a value below the reference and
  // sp + 1 <= 20.
  if (sp < 1 || sp > 19 || run_flags.single_step_on) return 0;
  const value_slot& value = slot0[sp];
  const int32_t word = a.start;
  if (!stores.valid_word(word)) return 0;
  if (a.type == var_real)
    stores.words[static_cast<size_t>(word)] = value.bits;
  else if (a.type == var_integer && value.value() >= -2147483648.0f && value.value() < 2147483648.0f)
    stores.words[static_cast<size_t>(word)] = std::bit_cast<uint32_t>(static_cast<int32_t>(value.value()));
  else
    return 0;
  evaluator_state& ev = evaluator;
  ev.last_reference = v;
  ev.last_element = 0;
  ev.pointer_offset = 0;
  ev.element_position = 1;
  ev.stored = true;
  slot0[sp + 1].clear_number();
  slot0[sp].clear_number();
  high = std::max(high, sp + 1);
  sp -= 1;
  return 2;
}

// The commonest runs of codes that begin with "&a", done as one:
//   &a __STO             stores the top into a (fused_store)
//   &a #c op             a op c, op one of + - * / and the numeric comparisons
//   &a &b op             a op b
//   either of the last two followed by "&d __STO": the result stored into d
// Each leaves the slots, the registers and the stores exactly as its codes one by one do (the
// popped slots 0.0, the bookkeeping of the last read and of the operator or store), but without
// a dispatch and the bookkeeping of each code in between.  It checks all that its codes would
// check before it changes anything, and returns how many codes it ran: 0 when the codes run one
// by one (another run of codes, a variable or value the in-line codes leave to the general path,
// a stack too full or too empty for one of them).
inline int32_t run_fused_variable(const int32_t* codes, const uint32_t* operands, int32_t i, int32_t stop,
                                  const number_stores& stores, value_slot* slot0, int32_t& sp, int32_t& high) {
  // The codes first: a run that cannot be one of these costs no look-up.
  if (i >= stop) return 0;
  const int32_t next = codes[i + 1];
  const int32_t v = std::bit_cast<int32_t>(operands[i]);
  if (next == upn_store) {
    const variable_record* a = stores.variable(v);
    return a != nullptr && is_plain_number(*a) ? fused_store(*a, v, stores, slot0, sp, high) : 0;
  }
  // "&a", the second operand and the operator each need the stack in range before them.
  if ((next != upn_constant && next != upn_variable) || i + 1 >= stop || sp > 18) return 0;
  const int32_t op = codes[i + 2];
  if (static_cast<uint32_t>(op) > static_cast<uint32_t>(upn_last_opcode)) return 0;
  if (const uint8_t kind = inline_kinds[static_cast<size_t>(op)]; kind < add_code || kind > compare_code) return 0;
  const variable_record* a = stores.variable(v);
  if (a == nullptr || !is_plain_number(*a)) return 0;
  uint32_t y_bits = 0;
  const variable_record* last = a;
  if (next == upn_constant) {
    y_bits = operands[i + 1];
  } else if (next == upn_variable) {
    last = stores.variable(std::bit_cast<int32_t>(operands[i + 1]));
    if (last == nullptr || !is_plain_number(*last)) return 0;
    y_bits = plain_number_bits(stores, *last);
  } else {
    return 0;
  }
  float result = 0.0f;
  if (!numeric_result(inline_kinds[static_cast<size_t>(op)], op, std::bit_cast<float>(plain_number_bits(stores, *a)),
                      std::bit_cast<float>(y_bits), result))
    return 0;
  // The last read names its variable's element 0; the operator then clears the reference.
  evaluator_state& ev = evaluator;
  ev.last_reference = 0;
  ev.last_element = 0;
  ev.pointer_offset = 0;
  ev.element_position = last->start;
  slot0[sp + 1].set_number(result);
  value_slot& popped = slot0[sp + 2];
  popped.bits = 0;
  popped.type = -1;
  sp += 1;
  high = std::max(high, sp + 1);
  // A following "&d __STO" (the statement "d = a op ..."): the stack is in range for both.
  if (i + 3 < stop && codes[i + 3] == upn_variable && codes[i + 4] == upn_store) {
    const int32_t d = std::bit_cast<int32_t>(operands[i + 3]);
    const variable_record* target = stores.variable(d);
    if (target != nullptr && is_plain_number(*target)) return 3 + fused_store(*target, d, stores, slot0, sp, high);
  }
  return 3;
}

// Runs the in-line codes from code i on, up to `stop` (the end of the stretch of codes that
// exist): the common numeric codes and skips to a label.  Calls nothing, so the loop keeps its
// state in registers.  Returns the index of the first code it leaves to the general path (a
// code it does not do, a case that needs a report, or a stack out of range), or stop + 1 when
// the stretch is done or a skip ran past it (skip_label then set).
int32_t run_inline(const code_view& view, int32_t i, int32_t stop, int32_t& high) {
  evaluator_state& ev = evaluator;
  value_slot* const slot0 = &ev.slot(0);  // slot0[k] is slot k
  // The arrays and stores in locals, so that the loop keeps them in registers.
  const int32_t* const codes = view.code;
  const uint32_t* const operands = view.operand;
  const number_stores stores = view.stores;
  // sp and the high mark live in registers here and go back however the loop is left.
  struct local_state {
    int32_t sp = evaluator.sp;
    int32_t high;
    int32_t& high_out;
    ~local_state() {
      evaluator.sp = sp;
      high_out = high;
    }
  } st{.high = high, .high_out = high};
  int32_t& sp = st.sp;
  for (; i <= stop; ++i) {
    if (static_cast<uint32_t>(sp) > 20u) return i;
    const int32_t code = codes[i];
    const uint32_t word = operands[i];
    switch (static_cast<uint32_t>(code) <= static_cast<uint32_t>(upn_last_opcode)
                ? inline_kinds[static_cast<size_t>(code)]
                : uint8_t{general_path}) {
      case label_code:
        continue;
      case constant_code: {
        value_slot& s = slot0[sp + 1];
        // "#k _ARG" (k = 1..10), the way a subroutine reads its arguments, done as one: the
        // argument where the constant would be, with the reference ARG leaves.  ARG needs the
        // pushed slot in range (sp + 1 <= 20); anything else runs the codes one by one.
        if (int32_t k = 0; i < stop && codes[i + 1] == upn_arg && sp < 20 &&
                           whole_number(std::bit_cast<float>(word), k) && k >= 1 && k <= 10) {
          read_call_argument(s, k);
          ++sp;
          st.high = std::max(st.high, sp);
          ++i;
          continue;
        }
        s.bits = word;
        s.type = -1;
        ++sp;
        st.high = std::max(st.high, sp);
        continue;
      }
      case variable_code:
        if (const int32_t ran = run_fused_variable(codes, operands, i, stop, stores, slot0, sp, st.high); ran > 0) {
          i += ran - 1;
          continue;
        }
        if (!push_plain_number(stores, std::bit_cast<int32_t>(word), slot0[sp + 1])) return i;
        ++sp;
        st.high = std::max(st.high, sp);
        continue;
      case element_code: {
        // Whole element numbers inside the dimension; the others, the dimension request and
        // the reports take the full entry.
        int32_t number = 0;
        if (sp < 1 || !whole_number(slot0[sp].value(), number) ||
            !load_plain_number(stores, std::bit_cast<int32_t>(word), number - 1, true, slot0[sp]))
          return i;
        continue;
      }
      case argument_code: {
        int32_t k = 0;
        if (sp < 1 || !whole_number(slot0[sp].value(), k) || k < 1 || k > 10) return i;
        read_call_argument(slot0[sp], k);
        continue;
      }
      case jump_true_code:
      case jump_false_code: {
        // Label 0 is no label: a jump to it never skips.
        const int32_t label = std::bit_cast<int32_t>(word);
        if (label == 0 || (slot0[sp].value() != 0.0f) != (code == upn_jump_true)) continue;
        // Skip forward to the label's own code; past the stretch the skip goes on outside.
        do {
          if (++i > stop) {
            ev.skip_label = label;
            return i;
          }
        } while (codes[i] != upn_jump || std::bit_cast<int32_t>(operands[i]) != label);
        continue;
      }
      case add_code:
        if (sp < 2) return i;
        pop_with_number(slot0, sp, slot0[sp - 1].value() + slot0[sp].value());
        continue;
      case subtract_code:
        if (sp < 2) return i;
        pop_with_number(slot0, sp, slot0[sp - 1].value() - slot0[sp].value());
        continue;
      case multiply_code:
        if (sp < 2) return i;
        pop_with_number(slot0, sp, slot0[sp - 1].value() * slot0[sp].value());
        continue;
      case divide_code:
        if (sp < 2 || slot0[sp].value() == 0.0f) return i;  // a zero divisor is reported on the general path
        pop_with_number(slot0, sp, slot0[sp - 1].value() / slot0[sp].value());
        continue;
      case compare_code: {
        if (sp < 2) return i;
        const bool result = numeric_compare(code, slot0[sp - 1].value(), slot0[sp].value());
        pop_with_number(slot0, sp, result ? 1.0f : 0.0f);
        continue;
      }
      case store_code:
        if (sp < 2 || !store_plain_number(stores, slot0[sp - 1])) return i;
        finish_store(slot0, sp);
        continue;
      default:
        return i;
    }
  }
  return i;
}

// Runs codes first..last: the stretch of codes that exist through run_inline and run_code, the
// codes outside it (before the first code, past the compiled code, without an operand word, or
// passed over while skipping to a label) with the checks of every code, one by one.  Returns
// false when an error stopped the evaluation.
bool run_codes(int32_t first, int32_t last) {
  evaluator_state& ev = evaluator;
  // The highest slot the in-line pushes wrote, handed to touched_top however the loop ends.
  struct push_mark {
    int32_t high = value_stack_first - 1;
    ~push_mark() { raise_touched(high); }
  } pushed;
  code_view view;
  view.read();
  int32_t stop = view.stretch_end(last);
  int32_t i = first;
  while (i <= last) {
    if (i >= 1 && i <= stop && ev.skip_label == 0) {
      i = run_inline(view, i, stop, pushed.high);
      if (i > stop) continue;
      // Code i takes the general path.
      if (!stack_in_range()) return false;
      if (!run_code(view.code[i], view.operand[i])) return false;
      view.read();
      stop = view.stretch_end(last);
      ++i;
      continue;
    }
    if (!stack_in_range()) return false;
    if (!view.valid_code(i)) {
      report_error("UPN-CODE-ERROR", 32000);
      return false;
    }
    const int32_t code = view.code[i];
    const uint32_t word = view.operand_word(i);
    if (ev.skip_label != 0) {
      if (code == upn_jump && std::bit_cast<int32_t>(word) == ev.skip_label) ev.skip_label = 0;
    } else {
      if (!run_code(code, word)) return false;
      view.read();
      stop = view.stretch_end(last);
    }
    ++i;
  }
  return true;
}

}  // namespace

void evaluate_upn(int32_t expression, int32_t count) {
  clear_used_slots();
  evaluator.sp = 0;
  evaluator.last_reference = 0;
  evaluator.element_position = 1;
  evaluator.last_element = 0;
  evaluator.substring_pending = false;
  evaluator.skip_label = 0;
  evaluator.stored = false;
  if (expression < 1) return;
  if (!upn_code.valid_expression(expression)) {
    report_error("UPN-Ausdruck unbekannt: " + std::to_string(expression), 32000);
    return;
  }
  if (!run_codes(upn_code.first[static_cast<size_t>(expression)], upn_code.last[static_cast<size_t>(expression)]))
    return;
  if (evaluator.sp > count) report_error("STACK not empty", evaluator.sp);
  if (run_flags.single_step_on && !evaluator.stored) trace_results(count);
  const value_slot& top = evaluator.top();
  if (top.type >= 1) {
    set_percent0_text(std::string_view(top.text.data(), static_cast<size_t>(std::min(top.type, 80))));
    set_text_token_length(top.type);
  }
}
