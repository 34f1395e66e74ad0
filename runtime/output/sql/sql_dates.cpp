// Date macros of SQL statements.  Programs keep dates as "DD.MM.YYYY" texts and time stamps
// as "YYYYMMDDHHMM" or "DD.MM.YYYY HH:MM"; the six macros turn them into the database's date
// functions and back, so that the same statement runs on every dialect.  A macro's name inside a
// quoted value is the user's text and stays.
#include "runtime/output/sql/sql.h"

#include <array>

namespace {

struct date_macro {
  std::string_view name;
  std::string_view mysql_prefix, mysql_suffix;
  std::string_view other_prefix, other_suffix;
};

// The longest argument a macro takes (a quoted date text or a column name).
constexpr size_t max_macro_argument = 32;

constexpr std::array<date_macro, 6> date_macros{{
    {"D$KYR2SQL(", "str_to_date(", ",'%Y%m%d%H%i')", "to_timestamp(", ",'YYYYMMDDHH24MI')"},
    {"T$KYR2SQL(", "str_to_date(", ",'%d.%m.%Y')", "to_timestamp(", ",'DD.MM.YYYY')"},
    {"D$SQL2KYR(", "date_format(", ",'%Y%m%d%H%i')", "to_char(", ",'YYYYMMDDHH24MI')"},
    {"T$SQL2KYR(", "date_format(", ",'%d.%m.%Y')", "to_char(", ",'DD.MM.YYYY')"},
    {"D$SQL2TIM(", "date_format(", ",'%d.%m.%Y %H:%i')", "to_char(", ",'dd.mm.yyyy hh24:mi')"},
    {"D$TIM2SQL(", "str_to_date(", ",'%d.%m.%Y %H:%i')", "to_timestamp(", ",'dd.mm.yyyy hh24:mi')"},
}};

std::string_view trim_trailing(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

bool sql_expand_date_macros(std::string& statement, char dialect, std::string& error) {
  if (statement.find('$') == std::string::npos) return true;
  // PostgreSQL and Oracle share one group of functions; every other dialect uses MySQL's.
  const bool other_group = dialect == 'P' || dialect == 'O';
  for (const date_macro& m : date_macros) {
    size_t pos;
    while ((pos = sql_find_unquoted(statement, m.name)) != std::string::npos) {
      // The argument runs to the parenthesis that closes the macro's own one; parentheses
      // inside it (a function call) stay part of the argument, as do those of a quoted value.
      const size_t start = pos + m.name.size();
      size_t i = start;
      int depth = 1;
      sql_quotes quotes;
      for (; i < statement.size(); ++i) {
        if (!quotes.outside(statement[i])) continue;
        if (statement[i] == '(') ++depth;
        if (statement[i] == ')' && --depth == 0) break;
      }
      const std::string_view argument = std::string_view(statement).substr(start, i - start);
      if (argument.size() > max_macro_argument) {
        error = "SQL-Datumsmakro: Argument zu lang (max. 32 Zeichen): " +
                std::string(m.name) + std::string(argument.substr(0, 40)) + "...";
        return false;
      }
      const size_t end = i < statement.size() ? i + 1 : statement.size();
      std::string replacement;
      replacement += other_group ? m.other_prefix : m.mysql_prefix;
      replacement += trim_trailing(argument);
      replacement += other_group ? m.other_suffix : m.mysql_suffix;
      statement.replace(pos, end - pos, replacement);
    }
  }
  return true;
}
