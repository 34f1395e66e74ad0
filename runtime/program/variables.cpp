// Variable access inside expressions: the operand codes "&" and "%", the reference codes
// _STO, LOC, REF and AREF, and the call arguments that ARG reads and _STO writes.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/call_state.h"
#include "runtime/program/program_image.h"
#include "runtime/program/names.h"
#include "runtime/program/text_tokens.h"

// The call levels with their argument frames; the interpreter moves them, ARG reads them here.
call_state_t call_state;

namespace {

constexpr int32_t dimension_request = -1000;  // element number -999, 0-based

bool valid_variable(int32_t v) { return number_stores::current().variable(v) != nullptr; }

variable_record& variable(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }

void report_bad_variable(int32_t v) {
  report_error("Variablen-Nr falsch: " + std::to_string(v), 32000);
}

// A text variable's element k as a view into STRING_BUFFER (in line where it lies inside).
std::string_view text_element(const variable_record& var, int32_t k) {
  const int32_t length = var.start;
  const int32_t start = var.text_start + length * k;
  if (start >= 1 && length >= 0 && length <= string_buffer_t::size - start + 1) [[likely]]
    return std::string_view(STRING_BUFFER.data() + (start - 1), static_cast<size_t>(length));
  return STRING_BUFFER.view(start, length);
}

void trace_store_text(std::string_view prefix, std::string_view text) {
  std::string line = std::string(prefix) + "\"" + std::string(text) + "\"";
  if (line.size() > 64) line.resize(64);
  trace_msg(line);
}

// The bookkeeping of a read of element k of variable v.
void name_read(int32_t v, const variable_record& var, int32_t k) {
  evaluator.last_reference = v;
  evaluator.last_element = k;
  evaluator.pointer_offset = 0;
  evaluator.element_position = var.start + k;
}

// Element k of a text (or date) variable into `slot`, the top; a pending substring takes part of
// it.  The bounds are the caller's.
void read_text_element(const variable_record& var, int32_t k, value_slot& slot) {
  note_text_written(evaluator.sp);  // the slot read into is always the top
  // The element as far as it lies in the string space (all of it in a sound image).
  const std::string_view text = text_element(var, k);
  const int32_t length = static_cast<int32_t>(text.size());
  const int32_t start = var.text_start + var.start * k;
  // The characters go into the slot, then blanks to where the slot's old text ended.
  int32_t result = std::min(length, static_cast<int32_t>(slot.text.size()));
  // The characters asked for (from their first, in the element): the slot holds the first
  // `result` of them.
  int32_t first = 1, asked = length;
  if (evaluator.substring_pending) {
    // Substring of a variable: a' = max(a,1) at most L; b' = min(b, a'+255) at most L.
    evaluator.substring_pending = false;
    const int32_t a = std::min(std::max(evaluator.substring_a, 1), length);
    const int32_t b = std::min(std::min(evaluator.substring_b, a + 255), length);
    evaluator.stored_substring_a = evaluator.substring_a;
    evaluator.stored_substring_b = evaluator.substring_b;
    result = b >= a && a >= 1 ? b - a + 1 : 0;
    if (result > 0) copy_characters(slot.text.data(), text.data() + (a - 1), static_cast<size_t>(result));
    first = std::max(a, 1);
    asked = std::max(std::min(evaluator.substring_b, length) - first + 1, 0);
  } else {
    evaluator.stored_substring_a = 0;
    evaluator.stored_substring_b = 0;
    copy_characters(slot.text.data(), text.data(), static_cast<size_t>(result));
  }
  // Cut where the characters asked for hold a cut text's lost part or begin after it (a mark
  // before them in the element), or where the slot leaves characters other than blanks out of
  // them (an element longer than its field, a part past the 256 characters a substring keeps).
  slot.cut_kept = STRING_BUFFER.cut_kept(start + first - 1, asked, result, start);
  slot.blank_after(result);
  slot.type = result;
  slot.set_value(static_cast<float>(result));
  set_percent0_text(std::string_view(slot.text.data(), static_cast<size_t>(std::min(result, 80))));
  if (slot.cut()) mark_percent_cut(0);
}

bool is_text_variable(const variable_record& var) { return var.type == var_text || var.type == var_date; }
bool is_text_variable(const variable_record* var) { return var != nullptr && is_text_variable(*var); }

// Reads element k of variable v into `slot`.  `checked` applies the bounds test of "%", REF and
// AREF.  Returns false when the evaluation must stop (or the access was skipped).
bool access(int32_t v, int32_t k, bool checked, value_slot& slot) {
  if (!valid_variable(v)) {
    report_bad_variable(v);
    return false;
  }
  variable_record& var = variable(v);
  if (checked && (k < 0 || k >= var.dimension)) {
    // A skipped access still names its variable and element: ARRAY sizes an array by them.
    evaluator.last_reference = v;
    evaluator.last_element = k;
    if (!evaluator.bounds_report) {
      evaluator.bounds_report = true;
      return false;
    }
    trace_int("array_check: offset      ", evaluator.element_position);
    trace_int("array_check: array_offset", k);
    trace_int("array_check: ari         ", v);
    trace_int("array_check: %dim        ", var.dimension);
    report_error("LOA Feldgrenze", evaluator.element_position);
    k = 0;
  }
  name_read(v, var, k);
  if (is_text_variable(var)) {
    read_text_element(var, k, slot);
    return true;
  }
  slot.type = -1;
  switch (var.type) {
    case var_real:
    case var_integer:
    case var_pointer: {
      const uint32_t* word = element_storage(var, k);
      if (word == nullptr && var.array.allocated()) {
        report_error("LOA Feldgrenze", 32000);
        return false;
      }
      load_number_word(slot, var.type, word != nullptr ? *word : 0u);
      return true;
    }
    default:
      report_error("Variablen-Typ", 32000);
      return false;
  }
}

// Stores the value slot into element k of variable v (found in `stores`).
void store_variable(const number_stores& stores, int32_t v, int32_t k, value_slot& value) {
  variable_record* const found = stores.variable(v);
  if (found == nullptr) {
    report_bad_variable(v);
    return;
  }
  variable_record& var = *found;
  // An element left out of range by a skipped access is never written.
  if (k < 0 || k >= std::max(var.dimension, 1)) {
    report_error("LOA Feldgrenze", 32000);
    return;
  }
  switch (var.type) {
    case var_real:
    case var_integer:
    case var_pointer: {
      uint32_t* word = element_storage(var, k);
      if (word == nullptr) {
        report_error("LOA Feldgrenze", 32000);
        return;
      }
      if (var.type == var_real) {
        *word = value.bits;
        if (run_flags.single_step_on) trace_real("r=", value.value());
      } else if (var.type == var_integer) {
        const int32_t i = trunc_to_int(value.value());
        *word = std::bit_cast<uint32_t>(i);
        if (run_flags.single_step_on) trace_int("i=", i);
      } else {
        const uint32_t w = static_cast<uint32_t>(nint(value.value())) |
                           (static_cast<uint32_t>(evaluator.pointer_element) << 16);
        evaluator.pointer_element = 0;
        *word = w;
        if (run_flags.single_step_on) trace_int("p=", std::bit_cast<int32_t>(w));
      }
      return;
    }
    case var_text:
    case var_date: {
      note_text_written(evaluator.sp);
      number_to_text(value);
      const int32_t length = std::max(var.start, 0);
      const int32_t start = var.text_start + length * k;
      const std::string_view text = value.text_view();
      const int32_t a = evaluator.stored_substring_a, b = evaluator.stored_substring_b;
      // The characters written decide their marks (names.h): a cut text stays cut where the
      // element would have held more of it, a whole one makes them whole.
      if (a == 0 && b == 0) {
        STRING_BUFFER.write(start, length, text, value.cut_kept);
        if (run_flags.single_step_on) trace_store_text(" = ", STRING_BUFFER.view(start, length));
      } else {
        const int32_t from = std::min(std::max(a, 1), length);
        const int32_t to = std::max(std::min(std::max(b, 1), length), from);
        if (from >= 1) STRING_BUFFER.write(start + from - 1, to - from + 1, text, value.cut_kept);
        if (run_flags.single_step_on)
          trace_store_text("s= ", STRING_BUFFER.view(start + from - 1, to - from + 1));
      }
      evaluator.stored_substring_a = 0;
      evaluator.stored_substring_b = 0;
      // The first 80 characters of the field (the field is blank past its mark).
      set_percent0_text(std::string_view(value.text.data(), static_cast<size_t>(std::min(value.blank_start(), 80))));
      if (value.cut()) mark_percent_cut(0);
      return;
    }
    default:
      report_error("Zuweisung zu nicht R/I", 32000);
      return;
  }
}

}  // namespace

// ---------------------------------------------------------------- call arguments
void set_call_argument(int32_t k, float value) {
  if (k < 1 || k > 10 || call_state.depth < 1 || call_state.depth > max_call_depth) return;
  call_state.arg_frame[static_cast<size_t>(call_state.depth)][static_cast<size_t>(k - 1)] = value;
}

// ---------------------------------------------------------------- codes 4, 5 and 93-96
void push_variable(int32_t v) {
  value_slot& slot = evaluator.slot(++evaluator.sp);
  const number_stores stores = number_stores::current();
  if (const variable_record* var = stores.variable(v); is_text_variable(var)) {
    name_read(v, *var, 0);
    read_text_element(*var, 0, slot);
  } else if (!push_plain_number(stores, v, slot)) {
    access(v, 0, false, slot);
  }
}

void load_element(int32_t v) {
  value_slot& top = evaluator.top();
  const int32_t k = element_index(top.value());
  if (k == dimension_request) {
    if (!valid_variable(v)) {
      report_bad_variable(v);
      return;
    }
    top.set_number(static_cast<float>(variable(v).dimension));
    return;
  }
  access(v, k, true, top);
}

void store_reference() {
  value_slot& value = evaluator.slot(evaluator.sp - 1);
  const int32_t target = evaluator.last_reference;
  if (target < 0) {
    const int32_t k = -target;
    if (k < 1 || k > 10) {
      report_error("ARG-Index falsch", 32000);
      return;
    }
    // Outside a call there is no argument frame to write into.
    if (call_state.depth < 1) {
      report_error("ARG ohne CALL-Ebene", 32000);
      return;
    }
    set_call_argument(k, value.value());
    if (run_flags.single_step_on) trace_real("=", value.value());
  } else if (target == 0) {
    report_error("ARI ist 0!", 32000);
    return;
  } else if (const number_stores stores = number_stores::current();
             is_text_variable(stores.variable(target)) || !store_plain_number(stores, target, evaluator.last_element, value)) {
    store_variable(stores, target, evaluator.last_element, value);
  }
  finish_store();
}

void locate_reference() {
  if (evaluator.last_reference <= 0) {
    report_error("ARI < 1!", 32000);
    return;
  }
  evaluator.top().set_number(static_cast<float>(evaluator.last_reference));
  evaluator.pointer_element = evaluator.last_element;
  evaluator.last_reference = 0;
}

namespace {
bool is_pointer_reference() {
  const int32_t v = evaluator.last_reference;
  return valid_variable(v) && variable(v).type == var_pointer;
}
}  // namespace

void dereference() {
  if (!is_pointer_reference()) {
    report_error("REF(noptr)", 32000);
    return;
  }
  value_slot& top = evaluator.top();
  const uint32_t word = top.bits;
  access(static_cast<int32_t>(word & 0xFFFFu), static_cast<int32_t>(word >> 16), true, top);
}

void indexed_dereference() {
  if (!is_pointer_reference()) {
    report_error("AREF(noptr,idx)", 32000);
    return;
  }
  const uint32_t word = evaluator.top().bits;
  const int32_t v = static_cast<int32_t>(word & 0xFFFFu);
  const int64_t k = static_cast<int64_t>(nint(evaluator.slot(evaluator.sp - 1).value())) - 1 +
                    static_cast<int64_t>(word >> 16);
  evaluator.top().clear_number();
  --evaluator.sp;
  access(v, static_cast<int32_t>(std::clamp<int64_t>(k, INT32_MIN, INT32_MAX)), true, evaluator.top());
  evaluator.pointer_offset = static_cast<int32_t>(word >> 16);
}
