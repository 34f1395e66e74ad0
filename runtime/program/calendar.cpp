// Calendar helpers over serial day numbers (day 1 = 1 January 1900).
//
// From 1 March 1900 on the numbering runs in even four-year cycles of 1461 days: every fourth
// year has a 29 February, 2100 included (day 73109 is 29 February 2100, day 73110 is 1 March
// 2100). Day numbers are kept in files and databases, and far-future dates such as 31.12.9999
// stand in them as placeholders, so the numbering never changes: a stored number always reads
// back as the date it was written for. From 1 March 1600 to 28 February 2100 it agrees with the
// Gregorian calendar.
#include "runtime/program/calendar.h"

#include <algorithm>

namespace {

// Days from 1 March to the first day of the month, in a year counted from 1 March; 13 and 14
// repeat January and February for the search of day_to_date.
constexpr int64_t month_start[15] = {275, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275, 306, 337};

// Division and remainder rounded toward minus infinity: the same as the plain ones for the
// dates the numbering was made for, and still one even cycle for numbers far before them.
int64_t floor_div(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

// Day and month of day D (1..366) of a year counted from 1 March.
void day_of_march_year(int64_t d, int32_t& day, int32_t& month) {
  int32_t k = 14;
  while (k > 3 && d - month_start[k] <= 0) --k;
  day = static_cast<int32_t>(d - month_start[k]);
  month = k - 12 * ((k - 1) / 12);
}

// Years far outside any calendar use are held where the arithmetic stays inside 32 bits.
constexpr int64_t year_limit = 5000000;

int32_t clamp_serial(int64_t serial) {
  return static_cast<int32_t>(std::clamp<int64_t>(serial, INT32_MIN, INT32_MAX));
}

int32_t clamp_year(int64_t year) { return static_cast<int32_t>(std::clamp<int64_t>(year, INT32_MIN, INT32_MAX)); }

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
  int64_t y = year <= 200 ? int64_t{year} : int64_t{year} - 1900;
  // Months outside 1..12 carry into the year.
  const int64_t m0 = int64_t{month} - 1;
  y = std::clamp<int64_t>(y + floor_div(m0, 12), -year_limit, year_limit);
  const int64_t m = floor_mod(m0, 12) + 1;
  if (m <= 2) --y;  // January and February close the year that began on 1 March
  // Days outside the month roll over: the day is simply added.
  int64_t serial = 0;
  if (y >= 0) {
    serial = 365 * y + y / 4 + month_start[m] + day + 59;
  } else {
    const int64_t z = y + 400;
    serial = 365 * z + floor_div(y + 400, 4) + (399 - z) / 100 + month_start[m] + day - 146040;
  }
  day = clamp_serial(serial);
}

void day_to_date(int32_t& day, int32_t& month, int32_t& year) {
  const int64_t s = day;
  if (s > 59) {
    year = clamp_year(4 * s / 1461 + 1900);
    const int64_t r = (s - 59) % 1461;
    if (r == 0) {
      day = 29;
      month = 2;
      return;
    }
    day_of_march_year((r - 1) % 365 + 1, day, month);
  } else if (s >= 1) {
    year = 1900;
    month = s <= 31 ? 1 : 2;
    day = static_cast<int32_t>(s <= 31 ? s : s - 31);
  } else {
    const int64_t v = s - (59 - s) / 36524;
    const int64_t w = v + 146040;
    year = clamp_year(floor_div(4 * v + 584396, 1461) + 1500);
    if (floor_mod(w, 1461) == 0) {
      day = year % 100 != 0 ? 29 : 1;
      month = year % 100 != 0 ? 2 : 3;
      return;
    }
    const int64_t r = floor_mod(w, 1461);
    day_of_march_year(r - (r - 1) / 365 * 365, day, month);
  }
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
