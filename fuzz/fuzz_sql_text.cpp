// Feeds arbitrary bytes to the SQL layer's text handling, which needs no server: the connection
// text split into its parts, the date macros expanded for every dialect, the empty dates of the
// other dialects exchanged, the statement word exchanged and numbers read from column texts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "runtime/output/sql/sql.h"
#include "runtime/program/program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::enter_work_directory("sql_text");
  fuzz::start_run();
  const std::string_view text = fuzz::as_text(data, size);
  for (const char dialect : {'M', 'P', 'O', ' '}) {
    fuzz::guarded([&] { (void)sql_split_connection_text(text, dialect); });
    std::string statement(text), error;
    fuzz::guarded([&] { (void)sql_expand_date_macros(statement, dialect, error); });
    std::string exchanged(text.substr(std::min(text.size(), text.find_first_not_of(' '))));
    fuzz::guarded([&] { sql_exchange_statement_word(exchanged, dialect); });
  }
  std::string dates(text);
  fuzz::guarded([&] { sql_exchange_empty_dates(dates); });
  if (dates.size() != text.size()) std::abort();  // one date for another, nothing else
  const double number = sql_read_number(text);
  const float real = float_in_range(number);
  const int32_t whole = nearest_int32(number);
  if (std::isnan(number) && whole != 0) std::abort();  // NaN never becomes a number
  (void)real;
  return 0;
}
