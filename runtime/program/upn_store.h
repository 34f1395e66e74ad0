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

// Code numbers of the operand tokens ("?:", "#", "@", "&", "%", "?T", "?F" and a number or name).
inline constexpr int32_t upn_jump = 1;      // "?:" label
inline constexpr int32_t upn_constant = 2;  // "#" constant (float bits)
inline constexpr int32_t upn_text = 3;      // "@" text token
inline constexpr int32_t upn_variable = 4;  // "&" variable
inline constexpr int32_t upn_element = 5;   // "%" variable element, index from the stack
inline constexpr int32_t upn_jump_true = 6;   // "?T" label
inline constexpr int32_t upn_jump_false = 7;  // "?F" label

// Code numbers of the operators and functions, each written "_" and its name in an expression
// (the compiler's name table, upn_compiler.cpp).  Arithmetic and the text operators first, then
// the library functions in their families (numeric 15-54 with the clock, calendar and device
// functions, text 55-65 and 75-78, services 66-68 and 79-82, conversions 69-74), the comparisons
// (the doubled sign compares texts) and the reference codes.
inline constexpr int32_t upn_add = 8;             // +
inline constexpr int32_t upn_concat = 9;          // //
inline constexpr int32_t upn_subtract = 10;       // -
inline constexpr int32_t upn_multiply = 11;       // *
inline constexpr int32_t upn_divide = 12;         // /
inline constexpr int32_t upn_power = 13;          // ^
inline constexpr int32_t upn_substring = 14;      // :
inline constexpr int32_t upn_chs = 15;            // CHS
inline constexpr int32_t upn_sin = 16;            // SIN
inline constexpr int32_t upn_cos = 17;            // COS
inline constexpr int32_t upn_tan = 18;            // TAN
inline constexpr int32_t upn_cot = 19;            // COT
inline constexpr int32_t upn_atan = 20;           // ATAN
inline constexpr int32_t upn_sqrt = 21;           // SQRT
inline constexpr int32_t upn_acos = 22;           // ACOS
inline constexpr int32_t upn_min = 23;            // MIN
inline constexpr int32_t upn_max = 24;            // MAX
inline constexpr int32_t upn_pixel = 25;          // PIXEL
inline constexpr int32_t upn_mod = 26;            // MOD
inline constexpr int32_t upn_abs = 27;            // ABS
inline constexpr int32_t upn_atan2 = 28;          // ATAN2
inline constexpr int32_t upn_rnd = 29;            // RND
inline constexpr int32_t upn_time = 30;           // TIME
inline constexpr int32_t upn_date = 31;           // DATE
inline constexpr int32_t upn_dstr = 32;           // DSTR
inline constexpr int32_t upn_idate = 33;          // IDATE
inline constexpr int32_t upn_days = 34;           // DAYS
inline constexpr int32_t upn_nint = 35;           // NINT
inline constexpr int32_t upn_iand = 36;           // IAND
inline constexpr int32_t upn_ior = 37;            // IOR
inline constexpr int32_t upn_ixor = 38;           // IXOR
inline constexpr int32_t upn_and = 39;            // AND
inline constexpr int32_t upn_or = 40;             // OR
inline constexpr int32_t upn_not = 41;            // NOT
inline constexpr int32_t upn_xor = 42;            // XOR
inline constexpr int32_t upn_eqv = 43;            // EQV
inline constexpr int32_t upn_log = 44;            // LOG
inline constexpr int32_t upn_exp = 45;            // EXP
inline constexpr int32_t upn_rad = 46;            // RAD
inline constexpr int32_t upn_deg = 47;            // DEG
inline constexpr int32_t upn_rgb = 48;            // RGB
inline constexpr int32_t upn_kbstat = 49;         // KBSTAT
inline constexpr int32_t upn_keybd = 50;          // KEYBD
inline constexpr int32_t upn_query = 51;          // QUERY
inline constexpr int32_t upn_win = 52;            // WIN
inline constexpr int32_t upn_mouse = 53;          // MOUSE
inline constexpr int32_t upn_arg = 54;            // ARG
inline constexpr int32_t upn_upcase = 55;         // UPCASE
inline constexpr int32_t upn_compress = 56;       // COMPRESS
inline constexpr int32_t upn_collapse = 57;       // COLLAPSE
inline constexpr int32_t upn_lowcase = 58;        // LOWCASE
inline constexpr int32_t upn_index = 59;          // INDEX
inline constexpr int32_t upn_endex = 60;          // ENDEX
inline constexpr int32_t upn_verify = 61;         // VERIFY
inline constexpr int32_t upn_everify = 62;        // EVERIFY
inline constexpr int32_t upn_scan = 63;           // SCAN
inline constexpr int32_t upn_escan = 64;          // ESCAN
inline constexpr int32_t upn_all = 65;            // ALL
inline constexpr int32_t upn_combo = 66;          // COMBO
inline constexpr int32_t upn_lstmgr = 67;         // LSTMGR
inline constexpr int32_t upn_lstel = 68;          // LSTEL
inline constexpr int32_t upn_string = 69;         // STRING
inline constexpr int32_t upn_value = 70;          // VALUE
inline constexpr int32_t upn_istr = 71;           // ISTR
inline constexpr int32_t upn_ival = 72;           // IVAL
inline constexpr int32_t upn_rstr = 73;           // RSTR
inline constexpr int32_t upn_rval = 74;           // RVAL
inline constexpr int32_t upn_len = 75;            // LEN
inline constexpr int32_t upn_asc = 76;            // ASC
inline constexpr int32_t upn_trim = 77;           // TRIM
inline constexpr int32_t upn_rtrim = 78;          // RTRIM
inline constexpr int32_t upn_sysvar = 79;         // SYSVAR, SYS
inline constexpr int32_t upn_sqlinfo = 80;        // SQLINFO
inline constexpr int32_t upn_sqlvar = 81;         // SQLVAR
inline constexpr int32_t upn_ioerror = 82;        // IOERROR
inline constexpr int32_t upn_equal = 83;          // =
inline constexpr int32_t upn_text_equal = 84;     // ==
inline constexpr int32_t upn_not_equal = 85;      // #
inline constexpr int32_t upn_text_not_equal = 86;  // ##
inline constexpr int32_t upn_less = 87;           // <
inline constexpr int32_t upn_text_less = 88;      // <<
inline constexpr int32_t upn_greater = 89;        // >
inline constexpr int32_t upn_text_greater = 90;   // >>
inline constexpr int32_t upn_less_equal = 91;     // <=
inline constexpr int32_t upn_greater_equal = 92;  // >=
inline constexpr int32_t upn_store = 93;          // STO
inline constexpr int32_t upn_loc = 94;            // LOC
inline constexpr int32_t upn_ref = 95;            // REF
inline constexpr int32_t upn_aref = 96;           // AREF
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
