// Calendar helpers over serial day numbers (day 1 = 1 January 1900).
//
// The conversions follow the Gregorian calendar for every date: 2100 is not a leap year, so
// 28 February 2100 (day 73108) is followed by 1 March 2100 (day 73109). Every day number up to
// 28 February 2100 is the one the program files and their data were written with.
#include "runtime/core/calendar.h"

#include <algorithm>

namespace {

// Days between 1 January 1900 (exclusive of day 1's offset) and the proleptic Gregorian date,
// counted by whole 400-year eras so that the arithmetic never depends on the sign of the year.
int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;                                 // 0..399
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // 0..365
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // 0..146096
  return era * 146097 + doe - 719468;                                  // days since 1970-01-01
}

void civil_from_days(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

constexpr int64_t serial_of_1970 = 25568;  // day number of 1 January 1970

// Years far outside any calendar use are held where the arithmetic stays inside 32 bits.
constexpr int64_t year_limit = 5000000;

int32_t clamp_serial(int64_t serial) {
  return static_cast<int32_t>(std::clamp<int64_t>(serial, INT32_MIN, INT32_MAX));
}

const char* const weekday_names[7] = {"Sonntag", "Montag", "Dienstag", "Mittwoch",
                                      "Donnerstag", "Freitag", "Samstag"};
const char* const month_names[12] = {"Dezember", "Januar", "Februar", "M\xE4rz", "April", "Mai",
                                     "Juni", "Juli", "August", "September", "Oktober", "November"};

std::string padded(const char* name, size_t width) {
  std::string s(name);
  s.resize(width, ' ');
  return s;
}

}  // namespace

void date_to_day(int32_t& day, int32_t month, int32_t year) {
  int64_t full_year = year <= 200 ? int64_t{year} + 1900 : int64_t{year};
  // Months outside 1..12 carry into the year.
  int64_t m0 = int64_t{month} - 1;
  int64_t carry = (m0 >= 0 ? m0 : m0 - 11) / 12;
  full_year = std::clamp<int64_t>(full_year + carry, -year_limit, year_limit);
  int64_t m = m0 - carry * 12 + 1;
  // Days outside the month roll over: count from day 1 of the month.
  int64_t serial = days_from_civil(full_year, m, 1) + serial_of_1970 + (int64_t{day} - 1);
  day = clamp_serial(serial);
}

void day_to_date(int32_t& day, int32_t& month, int32_t& year) {
  int64_t y = 0, m = 0, d = 0;
  civil_from_days(int64_t{day} - serial_of_1970, y, m, d);
  day = static_cast<int32_t>(d);
  month = static_cast<int32_t>(m);
  year = static_cast<int32_t>(y);
}

int32_t days_in_month(int32_t month, int32_t year) {
  if (month == 2) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  bool odd = month % 2 != 0;
  if (month <= 7) return odd ? 31 : 30;
  return odd ? 30 : 31;
}

std::string weekday_name(int32_t day, int32_t month, int32_t year) {
  int32_t serial = 0;
  date_to_day(serial, month, year);  // day 0 of the month
  int64_t r = (int64_t{serial} + day) % 7;
  if (r < 0) r += 7;
  return padded(weekday_names[r], 10);
}

std::string month_name(int32_t month) {
  int32_t r = month % 12;
  if (r < 0) r += 12;
  return padded(month_names[r], 9);
}
