// The expression compiler: one line of blank-separated UPN tokens becomes a run of codes in the
// upn_code store.  It only classifies tokens; stack balance is the evaluator's business.
#include <algorithm>
#include <array>
#include <bit>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/program/expression/upn_plan.h"
#include "runtime/program/upn_store.h"

namespace {

constexpr size_t token_length = 20;  // tokens are held in 20 characters; the rest is lost

struct upn_name_t {
  std::string_view name;
  int32_t code;
};

// The operators and functions by name (the token is "_" and the name).
constexpr std::array<upn_name_t, 90> upn_names{{
    {"+", upn_add}, {"//", upn_concat}, {"-", upn_subtract}, {"*", upn_multiply},
    {"/", upn_divide}, {"^", upn_power}, {":", upn_substring}, {"CHS", upn_chs},
    {"SIN", upn_sin}, {"COS", upn_cos}, {"TAN", upn_tan}, {"COT", upn_cot},
    {"ATAN", upn_atan}, {"SQRT", upn_sqrt}, {"ACOS", upn_acos}, {"MIN", upn_min},
    {"MAX", upn_max}, {"PIXEL", upn_pixel}, {"MOD", upn_mod}, {"ABS", upn_abs},
    {"ATAN2", upn_atan2}, {"RND", upn_rnd}, {"TIME", upn_time}, {"DATE", upn_date},
    {"DSTR", upn_dstr}, {"IDATE", upn_idate}, {"DAYS", upn_days}, {"NINT", upn_nint},
    {"IAND", upn_iand}, {"IOR", upn_ior}, {"IXOR", upn_ixor}, {"AND", upn_and},
    {"OR", upn_or}, {"NOT", upn_not}, {"XOR", upn_xor}, {"EQV", upn_eqv},
    {"LOG", upn_log}, {"EXP", upn_exp}, {"RAD", upn_rad}, {"DEG", upn_deg},
    {"RGB", upn_rgb}, {"KBSTAT", upn_kbstat}, {"KEYBD", upn_keybd}, {"QUERY", upn_query},
    {"WIN", upn_win}, {"MOUSE", upn_mouse}, {"ARG", upn_arg}, {"UPCASE", upn_upcase},
    {"COMPRESS", upn_compress}, {"COLLAPSE", upn_collapse}, {"LOWCASE", upn_lowcase}, {"INDEX", upn_index},
    {"ENDEX", upn_endex}, {"VERIFY", upn_verify}, {"EVERIFY", upn_everify}, {"SCAN", upn_scan},
    {"ESCAN", upn_escan}, {"ALL", upn_all}, {"COMBO", upn_combo}, {"LSTMGR", upn_lstmgr},
    {"LSTEL", upn_lstel}, {"STRING", upn_string}, {"VALUE", upn_value}, {"ISTR", upn_istr},
    {"IVAL", upn_ival}, {"RSTR", upn_rstr}, {"RVAL", upn_rval}, {"LEN", upn_len},
    {"ASC", upn_asc}, {"TRIM", upn_trim}, {"RTRIM", upn_rtrim}, {"SYSVAR", upn_sysvar},
    {"SYS", upn_sysvar}, {"SQLINFO", upn_sqlinfo}, {"SQLVAR", upn_sqlvar}, {"IOERROR", upn_ioerror},
    {"=", upn_equal}, {"==", upn_text_equal}, {"#", upn_not_equal}, {"##", upn_text_not_equal},
    {"<", upn_less}, {"<<", upn_text_less}, {">", upn_greater}, {">>", upn_text_greater},
    {"<=", upn_less_equal}, {">=", upn_greater_equal}, {"_STO", upn_store}, {"LOC", upn_loc},
    {"REF", upn_ref}, {"AREF", upn_aref},
}};

[[noreturn]] void compile_error(std::string_view message) {
  report_error(message, 32000);
  throw program_end{32000};
}


bool all_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

// An integer operand of four columns; one that cannot be read stays 0.
uint32_t int_operand(const std::string& token, size_t from) {
  return std::bit_cast<uint32_t>(read_fixed_int(column_field(token, from, 4)).value_or(0));
}

// "#0X..": hexadecimal in characters 4-7; two digits written alone are the low byte.
uint32_t hex_operand(std::string token) {
  if (token[5] == ' ' && token[6] == ' ') {
    token[5] = token[3];
    token[6] = token[4];
    token[3] = token[4] = '0';
  }
  const uint32_t value = read_fixed_hex(column_field(token, 3, 4)).value_or(0);
  return std::bit_cast<uint32_t>(static_cast<float>(value));
}

// Classifies one token and stores its code and operand at index i.
void classify(const std::string& token, int32_t i) {
  int32_t& code = upn_code.code[static_cast<size_t>(i)];
  uint32_t& operand = upn_code.operand[static_cast<size_t>(i)];
  const char c = token[0];
  if (c == '_') {
    const std::string_view name = blank_trimmed(std::string_view(token).substr(1));
    for (const upn_name_t& entry : upn_names)
      if (entry.name == name) {
        code = entry.code;
        return;
      }
  } else if (c == '#' && token[1] == '0' && token[2] == 'X') {
    code = upn_constant;
    operand = hex_operand(token);
    return;
  } else if (c == '#') {
    // A constant that cannot be read is taken as 0.
    code = upn_constant;
    operand = std::bit_cast<uint32_t>(read_fixed_real(column_field(token, 1, 10)).value_or(0.0f));
    return;
  } else if (c == '@' || c == '&' || c == '%') {
    code = c == '@' ? upn_text : c == '&' ? upn_variable : upn_element;
    operand = int_operand(token, 1);
    return;
  } else if (c == '?' && (token[1] == 'T' || token[1] == 'F' || token[1] == ':')) {
    code = token[1] == 'T' ? upn_jump_true : token[1] == 'F' ? upn_jump_false : upn_jump;
    operand = int_operand(token, 2);
    return;
  }
  compile_error("ARI-Fehler:" + token);
}

}  // namespace

std::string_view upn_code_name(int32_t code) {
  for (const upn_name_t& entry : upn_names)
    if (entry.code == code) return entry.name;
  return {};
}

void compile_upn(std::string_view text) {
  // Every compiled expression puts these evaluator registers back to their defaults.
  evaluator.pointer_element = 0;
  evaluator.bounds_report = true;

  const int32_t n = ++upn_code.expression_count;
  if (n > upn_code.max_upns || n >= static_cast<int32_t>(upn_code.first.size())) compile_error("max_upns");
  upn_code.first[static_cast<size_t>(n)] = upn_code.last_code + 1;

  std::string_view rest = text;
  while (!all_blank(rest)) {
    const int32_t i = ++upn_code.last_code;
    if (i > upn_code.max_upn_codes || i >= static_cast<int32_t>(upn_code.code.size()))
      compile_error("max_upn_codes corrupt");
    upn_code.code[static_cast<size_t>(i)] = 0;
    upn_code.operand[static_cast<size_t>(i)] = 0;

    // The token runs to and includes the next blank; a last token without a blank behind it
    // is the rest of the text.
    const size_t blank = rest.find(' ');
    const size_t length = blank == std::string_view::npos ? rest.size() : blank + 1;
    std::string token(rest.substr(0, std::min(length, token_length)));
    token.resize(token_length, ' ');
    rest.remove_prefix(length);
    classify(token, i);
  }
  upn_code.last[static_cast<size_t>(n)] = upn_code.last_code;
  plan_upn(n);
}
