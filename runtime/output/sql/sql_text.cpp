// Text handling of the SQL layer that needs no connection: splitting the connection text,
// exchanging the statement word for the dialect, finding what lies outside quoted values and
// reading numbers from column texts.
#include "runtime/output/sql/sql.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr size_t connection_text_capacity = 128;

// Numbers of up to 15 digits are read without the general parse; their powers of ten are exact.
constexpr size_t exact_digits = 15;
constexpr std::array<double, exact_digits + 1> powers_of_ten{
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

std::string trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The statement upper-cased with every run of white space made one blank, for keyword tests.
std::string normalized_upper(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += ' ';
  for (char c : s) {
    if (is_space(c)) {
      if (out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  if (out.back() != ' ') out += ' ';
  return out;
}

// INSERT IGNORE and INSERT ... ON DUPLICATE KEY UPDATE say what to do with an existing row;
// turning them into REPLACE would delete that row instead.
bool insert_keeps_its_meaning(std::string_view statement) {
  const std::string words = normalized_upper(statement);
  if (words.find(" ON DUPLICATE KEY UPDATE ") != std::string::npos) return true;
  // The modifiers between INSERT and the table: LOW_PRIORITY, DELAYED, HIGH_PRIORITY, IGNORE.
  size_t pos = 1 + 6;  // after " INSERT"
  while (pos < words.size()) {
    while (pos < words.size() && words[pos] == ' ') ++pos;
    const size_t end = words.find(' ', pos);
    const std::string_view word = std::string_view(words).substr(pos, end - pos);
    if (word == "IGNORE" || word == "HIGH_PRIORITY") return true;
    if (word != "LOW_PRIORITY" && word != "DELAYED") break;
    pos = end;
  }
  return false;
}

}  // namespace

std::string sql_connection_text_shown(std::string_view text) {
  std::string shown(text);
  if (size_t slash = shown.rfind('/'); slash != std::string::npos &&
                                       shown.find_first_not_of(' ', slash + 1) != std::string::npos)
    shown.replace(slash + 1, std::string::npos, "********");
  return shown;
}

sql_connection_parts sql_split_connection_text(std::string_view text, char dialect) {
  sql_connection_parts parts;
  std::string rest(text.substr(0, connection_text_capacity));

  // The password follows the last "/", so user, database and host may contain "/".
  if (size_t slash = rest.rfind('/'); slash != std::string::npos) {
    std::string_view pw = std::string_view(rest).substr(slash + 1);
    while (!pw.empty() && pw.back() == ' ') pw.remove_suffix(1);
    parts.password = std::string(pw);
    rest.resize(slash);
  }
  // The host follows the first "@", so user and database cannot contain "@".
  if (size_t at = rest.find('@'); at != std::string::npos) {
    parts.host = trimmed(std::string_view(rest).substr(at + 1));
    rest.resize(at);
  }
  if (parts.host.empty()) parts.host = "localhost";
  if (trimmed(rest).empty()) rest = "kyr";
  if (size_t pct = rest.find('%'); pct != std::string::npos) {
    parts.database = trimmed(std::string_view(rest).substr(pct + 1));
    rest.resize(pct);
    parts.user = trimmed(rest);
  } else {
    parts.user = trimmed(rest);
    parts.database = parts.user;
  }
  if (size_t colon = parts.host.find(':'); colon != std::string::npos) {
    parts.port = trimmed(std::string_view(parts.host).substr(colon + 1));
    parts.host = trimmed(std::string_view(parts.host).substr(0, colon));
    if (parts.host.empty()) parts.host = "localhost";
  }
  parts.port_given = !parts.port.empty();
  if (!parts.port_given) {
    switch (dialect) {
      case 'M': parts.port = "3306"; break;
      case 'P': parts.port = "5432"; break;
      case 'O': parts.port = "1521"; break;
      default: break;
    }
  }
  if (dialect == 'P') {
    std::string kv = "host=" + parts.host + " user=" + parts.user + " password=" +
                     parts.password + " dbname=" + parts.database + " port=" + parts.port;
    parts.host = kv.substr(0, connection_text_capacity);
  }
  return parts;
}

void sql_exchange_statement_word(std::string& statement, char dialect) {
  const std::string word = upper(std::string_view(statement).substr(0, 20));
  if (dialect == 'M') {
    if (word.starts_with("INSERT ") && !insert_keeps_its_meaning(statement))
      statement = "REPLACE" + statement.substr(6);
  } else if (word.starts_with("REPLACE ")) {
    statement.replace(0, 8, "INSERT  ");
  }
}

double sql_read_number(std::string_view text) {
  // List-directed: the value is the first item, ended by a blank, a comma or a slash.  The
  // fetch reads every numeric column of every row through here, so the item is parsed where it
  // lies and copied only when its exponent letter must be exchanged.
  size_t pos = 0;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  size_t end = pos;
  while (end < text.size() && !is_space(text[end]) && text[end] != ',' && text[end] != '/') ++end;
  std::string_view item = text.substr(pos, end - pos);
  if (item.empty()) return 0.0;
  bool negative = false;
  if (item[0] == '+' || item[0] == '-') {
    negative = item[0] == '-';
    item.remove_prefix(1);
  }
  if (item.empty() || !(std::isdigit(static_cast<unsigned char>(item[0])) || item[0] == '.'))
    return 0.0;  // no number (also no "inf" or "nan")

  // Digits with at most one point and no more than 15 of them: the common number column.  Such
  // a number is a whole number below 2^53 divided by an exact power of ten, so the one division
  // rounds it correctly, to the same double the general parse gives.
  int64_t whole = 0;
  size_t digits = 0;
  size_t decimals = 0;  // digits after the point
  bool point = false;
  size_t i = 0;
  for (; i < item.size() && digits <= exact_digits; ++i) {
    const char c = item[i];
    if (c >= '0' && c <= '9') {
      whole = whole * 10 + (c - '0');
      ++digits;
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i == item.size() && digits >= 1 && digits <= exact_digits) {
    const double value = static_cast<double>(whole) / powers_of_ten[decimals];
    return negative ? -value : value;
  }

  // The double-precision exponent letter "D" reads as "E".
  std::string exchanged;
  for (size_t k = 0; k < item.size(); ++k) {
    if (item[k] == 'd' || item[k] == 'D') {
      exchanged.assign(item);
      for (char& c : exchanged)
        if (c == 'd' || c == 'D') c = 'E';
      item = exchanged;
      break;
    }
  }
  double value = 0.0;
  const char* last = item.data() + item.size();
  auto [ptr, ec] = std::from_chars(item.data(), last, value, std::chars_format::general);
  if (ptr != last || (ec != std::errc() && ec != std::errc::result_out_of_range)) return 0.0;
  return negative ? -value : value;
}


size_t sql_find_unquoted(std::string_view statement, std::string_view what) {
  if (what.empty()) return std::string_view::npos;
  sql_quotes quotes;
  for (size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    if (c == what[0] && quotes.open == 0 && !quotes.in_comment() && statement.substr(i, what.size()) == what)
      return i;
    quotes.outside(c);
  }
  return std::string_view::npos;
}

void sql_exchange_empty_dates(std::string& statement) {
  constexpr std::string_view empty_date = "00.00.0000";
  sql_quotes quotes;
  for (size_t i = 0; i < statement.size(); ++i) {
    const bool was_outside = quotes.open == 0;
    quotes.outside(statement[i]);
    if (!was_outside || quotes.open == 0) continue;
    // A quote that opens a value: the value is the empty date when its closing quote follows it
    // (and is no doubled quote, which would be part of the text).
    const char quote = quotes.open;
    const size_t end = i + 1 + empty_date.size();
    if (statement.compare(i + 1, empty_date.size(), empty_date) == 0 && end < statement.size() &&
        statement[end] == quote && (end + 1 == statement.size() || statement[end + 1] != quote))
      statement.replace(i + 1, empty_date.size(), "01.01.0001");
  }
}
