// Numbers as fixed-width text and back: the output fields, the field reader and the German-style
// number-to-text formatters that screens, forms, prints and the evaluator's functions share.
// Texts are code page 1252 bytes in std::string, blank-padded to the width given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// ---------------------------------------------------------------- fixed-width fields
// Right-aligned output fields in the usual fixed-width conventions: blank-padded on the left,
// `width` asterisks when the value does not fit (or is not finite). Real fields write the
// exact decimal expansion of the float, rounded to nearest; the zero before the decimal point
// of a value below 1 is written only when there is room for it.
std::string write_i_field(int32_t value, int32_t width, int32_t min_digits = 0);
// The same into a field of its own width, without a string.
void write_i_field(std::span<char> field, int32_t value, int32_t min_digits = 0);
// The writers below take the value as a double, which holds every float and every 32-bit
// integer exactly, so that an integer's own digits reach them.
// The nearest whole number of a real (halves away from zero), with every digit it has, however
// far beyond 32 bits; asterisks when it does not fit or the value is not finite.
std::string write_whole_field(double value, int32_t width, int32_t min_digits = 0);
void write_whole_field(std::span<char> field, double value, int32_t min_digits = 0);
std::string write_f_field(double value, int32_t width, int32_t decimals);
std::string write_e_field(double value, int32_t width, int32_t decimals);
std::string write_z_field(uint32_t bits, int32_t width);
// The 32-bit word of a number's nearest whole number in hexadecimal: two's complement for
// negative numbers down to -2^31, unsigned up to 2^32 - 1; asterisks beyond (or not finite).
std::string write_z_field(double value, int32_t width);

// ---------------------------------------------------------------- fixed-width number input
// Reads a real from a fixed field: blanks are ignored (an all-blank field is 0), an optional
// sign, digits with an optional point, an optional exponent ("E", "D" or a bare sign). Without
// a point the last `implied_decimals` digits are decimals. False when the field cannot be read.
bool read_real_field(std::string_view field, int32_t implied_decimals, float& out);
// Reads a whole number from a fixed field (blanks ignored, all-blank is 0, optional sign).
bool read_int_field(std::string_view field, int32_t& out);

// ---------------------------------------------------------------- number-to-text formatters
// `num_to_text`: the value with `decimals` decimals (negative: automatic, fewer for larger
// values, at most 6) into the first `width` characters of `text` (the text is extended with
// blanks when shorter), decimal comma, then aligned by `align` (< 0 left-justified, 0 right,
// > 0 decimal separator in column `align`). A value not above -9998.0 gives blanks. A number
// wider than the field (after rounding, with its sign; the zero before the separator of a
// value below 1 is left out when only it does not fit) fills the field with asterisks.
void num_to_text(int32_t decimals, float value, std::string& text, int32_t width, int32_t align);
void num_to_text_fixed(int32_t decimals, float value, std::string& text, int32_t width);
void num_to_text_dot(int32_t decimals, float value, std::string& text, int32_t width, int32_t align);
void num_to_text_dot_fixed(int32_t decimals, float value, std::string& text, int32_t width);
// The alignment step alone, over the whole text.
void align_num_text(std::string& text, int32_t align);
void align_num_text_dot(std::string& text, int32_t align);

// While the blank flag is set, every negative value given to the three fixed-width
// formatters below yields five blanks.
void fmt_blank_flag(int32_t flag);
// Values with decimals chosen by magnitude in 6 places plus 3 blanks (9 characters);
// negative values give result codes ("KG !!", ..., "uflow").
std::string fmt_comma9(float value);
std::string fmt_comma9o(float value);
// Five characters: four integer digits or a decimal comma ("QF5 ?" etc. for negatives).
std::string fmt_result5(float value);
void number_format_reset();
