// Formatted field output: one element of a program variable as the text the user sees, by the
// variable's output width and decimals.  The result goes into the formatted-output buffer
// (256 characters), from which `get_input_text` copies it; `format_var_element`
// formats by variable number, `format_var_by_name` by name.  The layout of each type is
// written down in docs/formats.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/program/program_image.h"

inline constexpr int32_t formatted_output_length = 256;

// The output text of element `element` (1-based) of `var`, exactly `width` characters long
// (text variables: their element length), without the blank padding to 256.
std::string format_element_text(const variable_record& var, int32_t element);

// Formats element `element` of variable `variable` into the formatted-output buffer ...
void format_var_element(int32_t variable, int32_t element);
// ... and copies that 256-character buffer into text, cut or blank-padded to length.
void get_input_text(char* text, int32_t length);

// Formats element `element` of the variable named `name`; a name that is no variable is reported
// by the name lookup, an element outside 1..dimension is reported and leaves a blank text.
// Returns true when the text is a number (an element of an integer, real or pointer variable).
bool format_var_by_name(std::string_view name, int32_t element);

// The variable and element formatted last (0, 0 before the first).
struct field_output_state_t {
  std::string buffer = std::string(formatted_output_length, ' ');
  int32_t variable = 0;
  int32_t element = 0;
};
extern field_output_state_t field_output;
void field_output_reset();
