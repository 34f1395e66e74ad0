// The compiled expressions (UPN code) and the stores sized with them: the expression index,
// the code arrays, the variable table and the numeric space.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

// Expression n runs from code first[n] to code last[n] (an empty one has last = first - 1).
// Code i is an opcode 1..96 with a 32-bit operand word: a signed integer for codes 1 and 3-7
// (label, text-token or variable number), the bits of an IEEE float for code 2, else 0.
struct upn_code_t {
  std::vector<int32_t> first;     // 1..max_upns (index 0 unused)
  std::vector<int32_t> last;      // 1..max_upns
  std::vector<int32_t> code;      // 1..max_upn_codes
  std::vector<uint32_t> operand;  // 1..max_upn_codes
  int32_t max_upns = 0;
  int32_t max_upn_codes = 0;
  int32_t expression_count = 0;   // expressions compiled so far
  int32_t last_code = 0;          // index of the last code written

  bool valid_expression(int32_t n) const {
    return n >= 1 && n <= expression_count && n < static_cast<int32_t>(first.size()) &&
           n < static_cast<int32_t>(last.size());
  }
  bool valid_code(int32_t i) const { return i >= 1 && i <= last_code && i < static_cast<int32_t>(code.size()); }
  // Operand views; an index outside the arrays reads 0.
  uint32_t operand_word(int32_t i) const {
    return i >= 0 && i < static_cast<int32_t>(operand.size()) ? operand[static_cast<size_t>(i)] : 0u;
  }
  int32_t operand_int(int32_t i) const { return std::bit_cast<int32_t>(operand_word(i)); }
  float operand_real(int32_t i) const { return std::bit_cast<float>(operand_word(i)); }
};
extern upn_code_t upn_code;

// Code numbers of the operand tokens; 8..96 are the named operators and functions.
inline constexpr int32_t upn_jump = 1;      // "?:" label
inline constexpr int32_t upn_constant = 2;  // "#" constant (float bits)
inline constexpr int32_t upn_text = 3;      // "@" text token
inline constexpr int32_t upn_variable = 4;  // "&" variable
inline constexpr int32_t upn_element = 5;   // "%" variable element, index from the stack
inline constexpr int32_t upn_jump_true = 6;   // "?T" label
inline constexpr int32_t upn_jump_false = 7;  // "?F" label
inline constexpr int32_t upn_last_opcode = 96;

// [INIT] sizing; failures go to report_error.
void alloc_upn_index(int32_t n);       // "UPNCODES"
void alloc_upn_codes(int32_t n);       // "UPNTOKENS"
void alloc_variable_space(int32_t n);  // "VARIABLES": table 0..max(n, 1)
void alloc_array_space(int32_t n);     // "ADRSPACE": words 1..max(n, 0)
// Releases the expression index, the code arrays and the numeric space.
void free_upn_storage();
// Releases the variable table (and every array block its records own).
void free_variable_space();
// Releases and zeroes every store of this family (tests, reload).
void reset_upn_store();

// Compiles one expression (text blank-padded) into the next expression number.
void compile_upn(std::string_view text);
// The name of a named code 8..96 ("SIN", "_STO", ...), empty for 1..7 or out of range; traces.
std::string_view upn_code_name(int32_t code);
