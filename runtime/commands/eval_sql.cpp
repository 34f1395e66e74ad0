// The evaluator functions of the database: SQLINFO (about a slot and its columns), SQLVAR (a
// column of the current row) and IOERROR (the shared status word).
#include <algorithm>
#include <string>

#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/output/sql/sql.h"

namespace {

// Longest column text SQLVAR reads from the driver.
constexpr size_t sqlvar_text_capacity = 1024;

std::string_view trim_trailing(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Writes a text into a result slot, cut to what an evaluator text holds, blank-padded.
int32_t put_text(value_slot& slot, std::string_view text) {
  if (loses_characters(text, max_text_result)) evaluator.result_cut = true;
  text = text.substr(0, static_cast<size_t>(max_text_result));
  slot.text.fill(' ');
  std::copy(text.begin(), text.end(), slot.text.begin());
  return static_cast<int32_t>(text.size());
}

}  // namespace

void eval_SQLINFO() {
  if (!stack_holds(3)) return;
  value_slot& name_slot = evaluator.slot(evaluator.sp - 2);
  number_to_text(name_slot);
  std::string name(trim_trailing(name_slot.text_view()));
  lowcase_string(name.data(), static_cast<int32_t>(name.size()));
  const int32_t slot = nint(evaluator.slot(evaluator.sp - 1).value());
  const int32_t column = nint(evaluator.top().value());
  pop_to_first_argument();
  pop_to_first_argument();
  value_slot& result = evaluator.top();
  result.set_number(0.0f);

  const sqlc_counts counts = sqlc_info(slot);
  if (name == "handles") {
    result.set_number(static_cast<float>(counts.slots));
    return;
  }
  if (slot < 0 || slot >= counts.slots) {
    report_error("SQL Handle", 6112);
    return;
  }
  if (name == "version") {
    const std::string identity = sqlc_version();
    std::string_view text = identity;
    text = trim_trailing(text.substr(0, text.find('\0')));
    set_text_result(result, put_text(result, text));
  } else if (name == "name") {
    const std::string field = sqlc_field_name(slot, column);
    std::string_view text = field;
    text = trim_trailing(text.substr(0, text.find('\0')));
    set_text_result(result, put_text(result, text));
  } else if (name == "type") {
    result.set_number(static_cast<float>(sqlc_field_type(slot, column)));
  } else if (name == "length") {
    result.set_number(static_cast<float>(sqlc_field_length(slot, column)));
  } else if (name == "elements") {
    result.set_number(static_cast<float>(counts.fields));
  } else if (name == "records") {
    result.set_number(static_cast<float>(counts.rows));
  }
}

void eval_SQLVAR() {
  if (!stack_holds(2)) return;
  const int32_t slot = nint(evaluator.slot(evaluator.sp - 1).value());
  const int32_t column = nint(evaluator.top().value());
  pop_to_first_argument();
  value_slot& result = evaluator.top();
  result.set_number(0.0f);

  const sqlc_counts counts = sqlc_info(slot);
  if (slot < 0 || slot >= counts.slots) {
    report_error("SQL-handle", 6112);
    return;
  }
  if (column < 1 || column > counts.fields) {
    report_error("SQL-element", 6113);
    return;
  }
  const int32_t type = sqlc_field_type(slot, column);
  trace_int2("SQLVAR-type", column, type);
  const std::string_view text = sqlc_get_text(slot, column).substr(0, sqlvar_text_capacity);
  const int32_t length = put_text(result, text);
  if (length == 0) result.text[0] = ' ';
  const std::string_view shown(result.text.data(), static_cast<size_t>(length));

  if (type < 0) {
    // A numeric column: the result carries the column's text with its length and the number
    // read from it as its value.
    trace_str("SQL-string zahl", shown);
    const float value = length >= 1 ? float_in_range(sql_read_number(text)) : 0.0f;
    trace_int("SQLVAR-zahl", trunc_to_int(value));
    result.type = length;
    result.set_value(value);
  } else {
    trace_int("SQL-stringZ-Pos", length);
    trace_str("SQL-string", shown);
    result.type = length;
    finish_text_result(result, apply_pending_substring(result));
  }
}

void eval_IOERROR() {
  value_slot& slot = evaluator.slot(++evaluator.sp);
  slot.set_number(static_cast<float>(io_status));
}
