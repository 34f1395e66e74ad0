// Formatted field output: a variable element as shown in fields, format areas and text markers.
#include "runtime/screen/field_output.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/program/program.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/number_text.h"

field_output_state_t field_output;

namespace {

// Keeps the width within the output buffer.
int32_t field_width(int32_t width) { return std::clamp(width, 1, formatted_output_length); }

void set_buffer(std::string_view text) {
  field_output.buffer.assign(formatted_output_length, ' ');
  field_output.buffer.replace(0, std::min(text.size(), field_output.buffer.size()),
                              text.substr(0, std::min(text.size(), field_output.buffer.size())));
}

}  // namespace

void field_output_reset() { field_output = field_output_state_t{}; }

std::string format_element_text(const variable_record& var, int32_t element) {
  const int32_t k = element - 1;
  // A numeric element's word, from the run-time array while the variable has one.
  const auto word = [&]() -> uint32_t {
    const uint32_t* w = element_storage(var, k);
    return w != nullptr ? *w : 0u;
  };
  switch (var.type) {
    case var_integer:
    case var_pointer:
      // Whole numbers right-aligned in their width; pointer words show as their integer.
      return write_i_field(std::bit_cast<int32_t>(word()), field_width(var.width));
    case var_real: {
      // Reals with their decimals and the decimal comma, right-aligned; "no value" is blank.
      std::string text;
      const int32_t width = field_width(var.width);
      num_to_text(std::clamp(var.decimals, 0, 6), std::bit_cast<float>(word()), text, width, 0);
      text.resize(static_cast<size_t>(width), ' ');
      return text;
    }
    case var_text:
    case var_date:
    case 6: {
      // Texts and dates exactly as stored.
      const int32_t length = std::clamp(var.start, 0, formatted_output_length);
      return std::string(STRING_BUFFER.view(var.text_start + var.start * k, length));
    }
    default:
      return std::string();
  }
}

void format_var_element(int32_t variable, int32_t element) {
  field_output.variable = variable;
  field_output.element = element;
  if (variable < 1 || variable > variable_table.count || !variable_table.valid(variable)) {
    set_buffer({});
    report_error("FORMAT-Variable falsch: " + std::to_string(variable), 0);
    return;
  }
  const variable_record& var = variable_table.records[static_cast<size_t>(variable)];
  if (element < 1 || element > var.dimension) {
    // An element outside the variable is never read; the field stays blank.
    set_buffer({});
    report_error("FORMAT-Element falsch: " + std::string(variable_name(var)) + "(" +
                     std::to_string(element) + ")",
                 0);
    return;
  }
  set_buffer(format_element_text(var, element));
}

bool format_var_by_name(std::string_view name, int32_t element) {
  int32_t variable = 0, offset = 0;
  map_variable(name, variable, offset);
  if (variable < 1) {
    set_buffer({});
    return false;
  }
  format_var_element(variable, element);
  if (variable > variable_table.count || !variable_table.valid(variable)) return false;
  const int32_t type = variable_table.records[static_cast<size_t>(variable)].type;
  return type == var_integer || type == var_real || type == var_pointer;
}

void get_input_text(char* text, int32_t length) {
  if (text == nullptr || length <= 0) return;
  const size_t n = std::min(static_cast<size_t>(length), field_output.buffer.size());
  std::memcpy(text, field_output.buffer.data(), n);
  if (static_cast<size_t>(length) > n) std::memset(text + n, ' ', static_cast<size_t>(length) - n);
}
