// The UPN evaluator: runs one compiled expression on the value stack.  Operand codes 1-7, the
// operators 8-14 and the comparisons 83-92 live here; variable access and the reference codes
// 93-96 in variables.cpp; the functions 15-82 in their own families.
//
// The way of one expression: evaluate_upn (at the end of this file) clears what the evaluation
// before left and takes the plan that is ready under the stamp; evaluate_by_ops runs the plan's
// operations (line_ops.h).  Else evaluate_on_plan -> run_plan, which has the plan's operands
// resolved (plan_steps.cpp) and runs each step in line (step_in_line, a jump by skip_to_label)
// or its codes on the general path (run_general -> run_codes -> run_code and the handlers at
// the top of this file).  finish_evaluation then makes the reports, the trace and "%0".
#include "runtime/program/expression/evaluator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/expression/upn_function_steps.h"
#include "runtime/program/expression/line_ops.h"
#include "runtime/program/expression/plan_steps.h"
#include "runtime/program/expression/upn_plan.h"
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
// stack itself, which leaves sp at its top) can have written.  A plan whose steps all ran in line
// writes no slot below 1 (its pushes start there): after one, `touched_bottom` says the clearing
// may start at slot 1.
int32_t dirty_top = value_stack_last;
int32_t touched_top = value_stack_last;
int32_t touched_bottom = value_stack_first;

// Code out of line may write any slot up to `slot`.
void raise_touched(int32_t slot) {
  touched_top = std::max(touched_top, slot);
  touched_bottom = value_stack_first;
}

// The slots up to dirty_top cleared whole; returns the first slot after them.
[[gnu::noinline]] int32_t clear_text_slots() {
  int32_t i = value_stack_first;
  for (const int32_t texts = std::min(dirty_top, value_stack_last); i <= texts; ++i) evaluator.slot(i).clear();
  dirty_top = value_stack_first - 1;
  return i;
}

// The number words of the slots an evaluation can have written, the text fields being clear.
inline void clear_number_slots() {
  const int32_t numbers = std::min(std::max(touched_top, evaluator.sp), value_stack_last);
  value_slot* const slot0 = &evaluator.slot(0);
  for (int32_t i = touched_bottom; i <= numbers; ++i) slot0[i].clear_number();
  touched_top = value_stack_first - 1;
  // Until an evaluation ends in line, any slot can be written.
  touched_bottom = value_stack_first;
}

inline void clear_used_slots() {
  // The slots up to dirty_top cleared whole, the others from there.
  if (dirty_top >= value_stack_first) [[unlikely]] touched_bottom = clear_text_slots();
  clear_number_slots();
}

void report_underflow() { report_error("Stack underflow", 6111); }

[[gnu::noinline]] void report_unknown_expression(int32_t expression) {
  report_error("UPN-Ausdruck unbekannt: " + std::to_string(expression), 32000);
}

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
  s.set_bits(bits);
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
  s.cut_kept = text_token_was_cut() ? length : -1;
  set_percent0_text(std::string_view(s.text.data(), static_cast<size_t>(length)));
  if (s.cut()) mark_percent_cut(0);
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
  // A cut part makes the whole cut where its own characters end (at the latest where the join
  // ends), and so does a sum past what a text holds that loses characters other than blanks.
  if (length > 0 && a.cut()) {
    if (b.type > 0) a.cut_kept = std::min(a.cut_kept, max_text_result);
  } else if (b.type > 0 && b.cut()) {
    a.cut_kept = std::min(std::max(length, 0) + b.cut_kept, max_text_result);
  } else if (length > 0 && b.type > 0 && length + b.type > max_text_result &&
             (loses_characters(a.text_view(), max_text_result) ||
              loses_characters(b.text_view(), static_cast<size_t>(std::max(max_text_result - length, 0))))) {
    a.cut_kept = max_text_result;
  } else {
    a.cut_kept = -1;
  }
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
  cut_kept = -1;
  text[0] = '@';
  set_bits(0);
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
  slot.cut_kept = -1;
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
  // The characters up to where a cut text was cut are its own: only a part asked for beyond them
  // is cut.  A part asked for past the 256 characters kept is cut where it loses characters.
  if (slot.cut() && evaluator.substring_b > slot.cut_kept)
    slot.cut_kept = std::min(std::max(slot.cut_kept - a + 1, 0), kept);
  else if (evaluator.substring_b > b && b >= a &&
           loses_characters(std::string_view(slot.text.data(), static_cast<size_t>(std::min(have, evaluator.substring_b))),
                            static_cast<size_t>(b)))
    slot.cut_kept = kept;
  else
    slot.cut_kept = -1;
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
  touched_bottom = value_stack_first;
  clear_used_slots();
}

void tolerate_array_bounds() { evaluator.bounds_report = false; }

void note_text_written(int32_t slot) { dirty_top = std::max(dirty_top, slot); }

void get_last_reference(int32_t& variable, int32_t& element) {
  variable = evaluator.last_reference;
  element = evaluator.last_element;
}

namespace {

// The compiled code as the general path reads it: read again after every code, since what a
// code runs (a function) may have replaced the program.
struct code_view {
  const int32_t* code = nullptr;
  const uint32_t* operand = nullptr;
  int32_t code_end = 0;     // codes 1..code_end exist
  int32_t operand_end = 0;  // operand words 1..operand_end exist; the others read 0

  void read() {
    code = upn_code.code.data();
    operand = upn_code.operand.data();
    code_end = std::min(upn_code.last_code, static_cast<int32_t>(upn_code.code.size()) - 1);
    operand_end = static_cast<int32_t>(upn_code.operand.size()) - 1;
  }
  bool valid_code(int32_t i) const { return i >= 1 && i <= code_end; }
  uint32_t operand_word(int32_t i) const { return i >= 1 && i <= operand_end ? operand[i] : 0u; }
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


// Runs codes first..last one by one on the general path, each with its checks: the codes of a
// step whose in-line checks failed, the rest of an expression after code that replaced the
// program, and whole expressions without a plan.  Returns false when an error stopped the
// evaluation.
bool run_codes(int32_t first, int32_t last) {
  evaluator_state& ev = evaluator;
  code_view view;
  view.read();
  for (int32_t i = first; i <= last; ++i) {
    if (!stack_in_range()) return false;
    if (!view.valid_code(i)) {
      report_error("UPN-CODE-ERROR", 32000);
      return false;
    }
    const int32_t code = view.code[i];
    const uint32_t word = view.operand_word(i);
    if (ev.skip_label != 0) {
      if (code == upn_jump && std::bit_cast<int32_t>(word) == ev.skip_label) ev.skip_label = 0;
      continue;
    }
    if (!run_code(code, word)) return false;
    view.read();
  }
  return true;
}

// The last-reference registers while a plan runs: kept here and written to the evaluator once,
// when the plan ends or before code out of line runs (which reads and writes the evaluator's).
struct reference_registers {
  int32_t reference = 0;  // last_reference
  int32_t element = 0;    // last_element
  int32_t position = 1;   // element_position
  int32_t offset = 0;     // pointer_offset
  bool stored = false;

  void put(evaluator_state& ev) const {
    ev.last_reference = reference;
    ev.last_element = element;
    ev.element_position = position;
    ev.pointer_offset = offset;
    ev.stored = stored;
  }
  void take(const evaluator_state& ev) {
    reference = ev.last_reference;
    element = ev.last_element;
    position = ev.element_position;
    offset = ev.pointer_offset;
    stored = ev.stored;
  }
  // What a read of element k of `a` leaves.
  void name_read(const resolved_operand& a, int32_t k) {
    reference = a.variable;
    element = k;
    offset = 0;
    position = a.start + k;
  }
};

// Element k of a resolved operand into `slot`, with the bookkeeping of the read.
inline void read_element(const resolved_operand& a, int32_t k, value_slot& slot, reference_registers& reg) {
  load_number_word(slot, a.type, a.word[k]);
  reg.name_read(a, k);
}

// The word a store of `value` into resolved operand a writes, or false where the full store
// routine is needed: a pointer variable, a value the conversion to an integer clamps, single
// stepping (its trace).
inline bool stored_bits(const resolved_operand& a, float value, uint32_t& bits) {
  return a.word != nullptr && !run_flags.single_step_on && number_store_bits(a.type, value, bits);
}
// A store into element k of resolved operand a, as a read of the element followed by _STO does
// it: `value` goes into the word and the registers name the element; then `finish_store` drops
// the two slots the store takes.  False (nothing written) where stored_bits says so.
inline bool store_element(const resolved_operand& a, int32_t k, const value_slot& value, reference_registers& reg) {
  uint32_t bits = 0;
  if (!stored_bits(a, value.value(), bits)) return false;
  a.word[k] = bits;
  reg.reference = a.variable;
  reg.element = k;
  reg.offset = 0;
  return true;
}
inline void finish_store(value_slot* slot0, int32_t& sp, reference_registers& reg) {
  reg.position = 1;
  reg.stored = true;
  slot0[sp].clear_number();
  slot0[sp - 1].clear_number();
  sp -= 2;
}

// "&a __STO" with a resolved: stores the top into a and leaves the slots and registers as the two
// codes one by one do.  False when the codes run one by one (a stack too full or too empty for
// either code is reported there).
inline bool fused_store(const resolved_operand& a, value_slot* slot0, int32_t& sp, int32_t& high,
                        reference_registers& reg) {
  // "&a" needs sp <= 20 (checked by the caller), "_STO" a value below the reference and
  // sp + 1 <= 20.
  if (sp < 1 || sp > 19 || !store_element(a, 0, slot0[sp], reg)) return false;
  ++sp;
  high = std::max(high, sp);
  finish_store(slot0, sp, reg);
  return true;
}

// The result of "&a #c op" or "&a &b op" with its variables resolved, and the operand read last
// (a or b); false where the codes run one by one (an operand that does not qualify, a zero
// divisor).
inline bool operator_result(const upn_step& step, const uint32_t* word, float& result, const resolved_operand*& last) {
  const resolved_operand& a = step.operands[0];
  if (a.word == nullptr) return false;
  uint32_t y_bits = word[1];
  last = &a;
  if (step.second_is_variable) {
    last = &step.operands[1];
    if (last->word == nullptr) return false;
    y_bits = number_word_bits(last->type, *last->word);
  }
  return numeric_result(step.operator_kind, std::bit_cast<float>(number_word_bits(a.type, *a.word)),
                        std::bit_cast<float>(y_bits), result);
}

// "&a #c op" and "&a &b op" (op one of + - * / and the numeric comparisons) with their variables
// resolved, done as one: leaves the slots and registers as the three codes one by one do (the
// popped slot 0.0, the bookkeeping of the last read, then of the operator).  False (nothing
// changed) when they run one by one.
inline bool fused_operator(const upn_step& step, const uint32_t* word, value_slot* slot0, int32_t& sp, int32_t& high,
                           reference_registers& reg) {
  // "&a", the second operand and the operator each need the stack in range before them.
  float result = 0.0f;
  const resolved_operand* last = nullptr;
  if (sp > 18 || !operator_result(step, word, result, last)) return false;
  // The last read names its variable's element 1; the operator then clears the reference.
  reg.name_read(*last, 0);
  reg.reference = 0;
  slot0[sp + 1].set_number(result);
  slot0[sp + 2].clear_number();
  sp += 1;
  high = std::max(high, sp + 1);
  return true;
}


// How codes of a plan ran on the general path.
enum class general_run {
  went_on,   // the plan goes on with its next step
  stopped,   // an error stopped the evaluation
  finished,  // the rest of the expression ran on the general path (see run_general)
};

// Codes from..to of a plan, one by one on the general path with their checks and reports.  Code
// run there that moved the stamp (a program loaded from a function, an array created), or a
// skip begun there, leaves the rest of the expression, up to `last`, to the general path in the
// codes as they now stand.
general_run run_general(const int32_t* codes, const uint32_t* operands, int32_t from, int32_t to, int32_t last,
                        uint32_t generation) {
  for (int32_t i = from; i <= to; ++i) {
    if (!stack_in_range() || !run_code(codes[i], operands[i])) return general_run::stopped;
    if (upn_plans.generation != generation || evaluator.skip_label != 0) [[unlikely]]
      return run_codes(i + 1, last) ? general_run::finished : general_run::stopped;
  }
  return general_run::went_on;
}

// How a plan's run ended.
enum class plan_end : uint8_t {
  stopped,  // an error stopped the evaluation
  went_on,  // it went on to its end
  in_line,  // it went on to its end with every step in line: the results are numbers
};

// A plan's run: sp, the highest slot written and the last-reference registers live here while
// its steps run in line, and go back to the evaluator however the run is left.
struct plan_state {
  int32_t sp = evaluator.sp;
  int32_t high = value_stack_first - 1;
  reference_registers reg;
  bool held = true;      // false while code out of line works on the evaluator's own
  bool in_line = true;   // every step so far ran in line
  // Before code out of line runs.
  void put_back() {
    evaluator.sp = sp;
    reg.put(evaluator);
    raise_touched(high);
    held = false;
    in_line = false;
  }
  // After it.
  void take_up() {
    sp = evaluator.sp;
    reg.take(evaluator);
    held = true;
  }
  // A push made sp the highest slot written so far.
  void pushed() { high = std::max(high, sp); }
  ~plan_state() {
    if (!held) {
      touched_bottom = value_stack_first;
      return;
    }
    evaluator.sp = sp;
    reg.put(evaluator);
    // Steps in line leave every slot they pop cleared: of an evaluation that ran in line
    // throughout, only the results are left to clear, and nothing below slot 1.
    raise_touched(in_line ? sp : high);
    if (in_line) touched_bottom = 1;
  }
};

// How a step of a plan went, in line.
enum class step_way : uint8_t {
  in_line,        // it ran in line
  general,        // its codes take the general path
  store_general,  // "&a x op &d __STO": the operator ran in line, the store takes the general path
};

// One step of a plan (not a jump) in line where its checks pass, on a stack in range
// (0 <= sp <= 20).  Calls nothing on the common steps, so that the plan loop keeps its state in
// registers.
[[gnu::always_inline]] inline step_way step_in_line(const upn_step& step, const uint32_t* word, value_slot* slot0,
                                                    plan_state& st) {
  int32_t& sp = st.sp;
  reference_registers& reg = st.reg;
  switch (step.kind) {
    case step_label:
      return step_way::in_line;
    case step_constant: {
      value_slot& top = slot0[++sp];
      top.set_bits(word[0]);
      top.type = -1;
      st.pushed();
      return step_way::in_line;
    }
    case step_constant_argument: {
      // ARG needs the pushed slot in range; k = 1..10.
      int32_t k = 0;
      if (sp >= 20 || !whole_number(std::bit_cast<float>(word[0]), k) || k < 1 || k > 10) break;
      slot0[++sp].set_number(call_argument(k));
      reg.reference = -k;
      reg.position = 1;
      st.pushed();
      return step_way::in_line;
    }
    case step_variable: {
      const resolved_operand& a = step.operands[0];
      if (a.word == nullptr) break;
      read_element(a, 0, slot0[++sp], reg);
      st.pushed();
      return step_way::in_line;
    }
    case step_element: {
      // Whole element numbers inside the dimension; the others, the dimension request and
      // the reports take the full entry.
      int32_t k = 0;
      if (sp < 1 || !element_of(step.operands[0], slot0[sp].value(), k)) break;
      read_element(step.operands[0], k, slot0[sp], reg);
      return step_way::in_line;
    }
    case step_argument: {
      int32_t k = 0;
      if (sp < 1 || !whole_number(slot0[sp].value(), k) || k < 1 || k > 10) break;
      slot0[sp].set_number(call_argument(k));
      reg.reference = -k;
      reg.position = 1;
      return step_way::in_line;
    }
    case step_add:
    case step_subtract:
    case step_multiply:
    case step_divide:
    case step_equal:
    case step_not_equal:
    case step_less:
    case step_greater:
    case step_less_equal:
    case step_greater_equal: {
      float result = 0.0f;
      if (sp < 2 || !numeric_result(step.kind, slot0[sp - 1].value(), slot0[sp].value(), result))
        break;  // a zero divisor is reported on the general path
      slot0[sp - 1].set_number(result);
      slot0[sp].set_value(0.0f);
      --sp;
      reg.reference = 0;
      return step_way::in_line;
    }
    case step_store:
      if (sp < 2 || !store_plain_number(number_stores::current(), reg.reference, reg.element, slot0[sp - 1]))
        break;
      finish_store(slot0, sp, reg);
      return step_way::in_line;
    case step_variable_store:
      if (!fused_store(step.operands[0], slot0, sp, st.high, reg)) break;
      return step_way::in_line;
    case step_element_store: {
      // The element number on the top, the value below it.
      int32_t k = 0;
      if (sp < 2 || !element_of(step.operands[0], slot0[sp].value(), k) ||
          !store_element(step.operands[0], k, slot0[sp - 1], reg))
        break;
      finish_store(slot0, sp, reg);
      return step_way::in_line;
    }
    case step_variable_element: {
      // "&j" needs sp <= 20 (checked by the caller), "%a" and "__STO" sp + 1 <= 20.
      const resolved_operand& j = step.operands[0];
      int32_t k = 0;
      if (sp > 19 || j.word == nullptr ||
          !element_of(step.operands[1], std::bit_cast<float>(number_word_bits(j.type, *j.word)), k))
        break;
      if (!step.stores) {
        read_element(step.operands[1], k, slot0[++sp], reg);
        st.pushed();
        return step_way::in_line;
      }
      // The value below the element's number.
      if (sp < 1 || !store_element(step.operands[1], k, slot0[sp], reg)) break;
      ++sp;
      st.pushed();
      finish_store(slot0, sp, reg);
      return step_way::in_line;
    }
    case step_function: {
      // The function works on the slots given; one of two arguments clears the reference.
      const int32_t after = run_function_step(step.op, slot0, sp);
      if (after < 0) break;
      if (after != sp) reg.reference = 0;
      sp = after;
      return step_way::in_line;
    }
    case step_text_function: {
      // A text function works on the evaluator's own stack and registers.
      st.put_back();
      const int32_t after = run_function_step(step.op, slot0, sp);
      st.take_up();
      if (after < 0) break;
      sp = after;
      return step_way::in_line;
    }
    case step_variable_operator:
      if (!fused_operator(step, word, slot0, sp, st.high, reg)) break;
      // "&d __STO" after it: the stack is in range for both.
      if (!step.stores || fused_store(step.operands[2], slot0, sp, st.high, reg)) return step_way::in_line;
      return step_way::store_general;
    default:
      break;
  }
  return step_way::general;
}

// A plan's skip forward from the jump step *s to its label, where the jump is taken: on from the
// label's step (s moved to the step before it), or the end of the run (the label is not in the
// expression, or not at a step of its own).
[[gnu::noinline]] std::optional<plan_end> skip_to_label(const upn_plan& plan, int32_t& s, int32_t label,
                                                        plan_state& st) {
  const upn_step* const steps = upn_plans.steps.data();
  const int32_t* const codes = upn_code.code.data();
  const uint32_t* const operands = upn_code.operand.data();
  // Skip forward to the label's own code, then on from the step that begins there.
  int32_t i = steps[s].at;
  do {
    if (++i > plan.last) {
      evaluator.skip_label = label;  // not in this expression: the evaluation ends skipping
      return plan_end::went_on;
    }
  } while (codes[i] != upn_jump || std::bit_cast<int32_t>(operands[i]) != label);
  while (s + 1 < plan.step_end && steps[s + 1].at <= i) ++s;
  if (steps[s].at == i) return std::nullopt;  // the label's step
  st.put_back();  // (a label is a step of its own; were it not, the codes go on alone)
  return run_codes(i + 1, plan.last) ? plan_end::went_on : plan_end::stopped;
}

// Runs an expression's plan, made from its codes when they were compiled (its operands resolved
// under the current stamp first): each step in line where its checks pass, else its codes one
// by one on the general path.
plan_end run_plan(upn_plan& plan) {
  const uint32_t generation = upn_plans.generation;
  if (plan.resolved != generation) [[unlikely]] resolve_plan(plan);
  value_slot* const slot0 = &evaluator.slot(0);  // slot0[k] is slot k
  const upn_step* const steps = upn_plans.steps.data();
  const int32_t* const codes = upn_code.code.data();
  const uint32_t* const operands = upn_code.operand.data();
  plan_state st;
  st.reg.offset = evaluator.pointer_offset;
  for (int32_t s = plan.step_first; s < plan.step_end; ++s) {
    const upn_step& step = steps[s];
    const uint32_t* const word = operands + step.at;
    step_way way = step_way::general;
    if (static_cast<uint32_t>(st.sp) <= 20u) [[likely]] {
      if (step.kind == step_jump_true || step.kind == step_jump_false) {
        // Label 0 is no label: a jump to it never skips.
        const int32_t label = std::bit_cast<int32_t>(word[0]);
        if (label == 0 || (slot0[st.sp].value() != 0.0f) != (step.kind == step_jump_true)) continue;
        if (const std::optional<plan_end> end = skip_to_label(plan, s, label, st); end.has_value()) return *end;
        continue;
      }
      way = step_in_line(step, word, slot0, st);
      if (way == step_way::in_line) [[likely]]
        continue;
    }
    // The step's codes (or the store after its operator) one by one on the general path, with
    // their checks and reports.
    st.put_back();
    const int32_t from = way == step_way::store_general ? step.at + 3 : step.at;
    const int32_t to = way == step_way::store_general ? step.at + 4 : step.at + step.codes - 1;
    if (const general_run run = run_general(codes, operands, from, to, plan.last, generation);
        run != general_run::went_on)
      return run == general_run::finished ? plan_end::went_on : plan_end::stopped;
    st.take_up();
  }
  return st.in_line ? plan_end::in_line : plan_end::went_on;
}

// The end of an evaluation whose steps all ran in line, on the stack it started from (cleared):
// the results in slots 1.. (the slots the steps popped are still clear), the registers as the
// steps left them, and only the results left to clear, nothing below slot 1.
inline void finish_in_line(const in_line_end& end) {
  evaluator_state& ev = evaluator;
  ev.sp = end.results;
  for (int32_t i = 1; i <= end.results; ++i) ev.slot(i).set_number(end.values[i]);
  ev.last_reference = end.reference;
  ev.last_element = end.element;
  ev.element_position = end.position;
  ev.pointer_offset = 0;
  ev.stored = end.stored;
  touched_top = std::max(touched_top, ev.sp);
  touched_bottom = 1;
}

// What every evaluation does first, once no text field is left to clear.
inline void start_evaluation() {
  clear_number_slots();
  evaluator.sp = 0;
  evaluator.substring_pending = false;
  evaluator.skip_label = 0;
}

// An expression whose plan has its operations under the current stamp, run by them on the stack
// evaluate_upn just emptied.  False (nothing changed) where the plan's steps take it: more
// results than asked for (reported there), single stepping (its trace), an operation that cannot
// be done in line.
inline bool evaluate_by_ops(const upn_plan& plan, int32_t count) {
  if (plan.op_count == 0 || run_flags.single_step_on) return false;
  const line_op* const ops = upn_plans.ops.data() + plan.op_first;
  const line_op& last = ops[plan.op_count - 1];
  if (last.end.results > count) return false;
  line_stack st;
  if (!run_line_ops(ops, st)) return false;
  finish_in_line(line_ops_end(last, st));
  return true;
}

// The results of an evaluation that went on to its end: the reports and the single-step trace,
// and a text result's "%0" and length.
void finish_evaluation(int32_t count) {
  if (evaluator.sp > count) report_error("STACK not empty", evaluator.sp);
  if (run_flags.single_step_on && !evaluator.stored) trace_results(count);
  const value_slot& top = evaluator.top();
  if (top.type >= 1) {
    set_percent0_text(std::string_view(top.text.data(), static_cast<size_t>(std::min(top.type, 80))));
    if (top.cut()) mark_percent_cut(0);
    set_text_token_length(top.type);
  }
}

// An expression whose plan has not run under the current stamp, or that has none: its plan when
// it is to run, else nullptr when it ran here on the general path or there is nothing to run.
[[gnu::noinline]] upn_plan* unready_plan(int32_t expression, int32_t count) {
  // The plan writes the last-reference registers when it ends; the general path starts from
  // them cleared.
  evaluator.last_reference = 0;
  evaluator.element_position = 1;
  evaluator.last_element = 0;
  evaluator.stored = false;
  if (expression < 1) return nullptr;
  if (!upn_code.valid_expression(expression)) {
    report_unknown_expression(expression);
    return nullptr;
  }
  const int32_t first = upn_code.first[static_cast<size_t>(expression)];
  const int32_t last = upn_code.last[static_cast<size_t>(expression)];
  // Only the compiler writes codes, and it makes the plan of every expression it compiles; the
  // store drops the plans with the codes it releases.  An expression without a plan (no room
  // for one) takes the general path.
  if (upn_plan* plan = upn_plans.plan(expression, first, last); plan != nullptr) [[likely]]
    return plan;
  if (run_codes(first, last)) finish_evaluation(count);
  return nullptr;
}


// The rest of an evaluation that follows its plan in the plan loop.
[[gnu::noinline]] void evaluate_on_plan(upn_plan& plan, int32_t count) {
  const plan_end end = run_plan(plan);
  // Steps in line leave numbers: no text result to hand on.
  if (end == plan_end::in_line && evaluator.sp <= count && !run_flags.single_step_on) [[likely]]
    return;
  if (end != plan_end::stopped) finish_evaluation(count);
}

// An evaluation whose plan has not run under the current stamp, or that has none.
[[gnu::noinline]] void evaluate_unready(int32_t expression, int32_t count) {
  if (upn_plan* plan = unready_plan(expression, count); plan != nullptr) evaluate_on_plan(*plan, count);
}

// Text fields left by the evaluation before: cleared here first, so that the evaluation's own
// clearing finds only numbers.
[[gnu::noinline]] void evaluate_after_texts(int32_t expression, int32_t count) {
  touched_bottom = clear_text_slots();
  evaluate_upn(expression, count);
}

}  // namespace

// The common case in line: a plan ready under the current stamp, run as its operations.
void evaluate_upn(int32_t expression, int32_t count) {
  if (dirty_top >= value_stack_first) [[unlikely]]
    return evaluate_after_texts(expression, count);
  start_evaluation();
  upn_plan* plan = upn_plans.ready(expression);
  if (plan == nullptr) [[unlikely]]
    return evaluate_unready(expression, count);
  if (evaluate_by_ops(*plan, count)) [[likely]]
    return;
  evaluate_on_plan(*plan, count);
}

bool begin_in_line_evaluation() {
  if (dirty_top >= value_stack_first) return false;
  start_evaluation();
  return true;
}

void end_in_line_evaluation(const in_line_end& end) { finish_in_line(end); }
