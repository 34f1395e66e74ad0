// Calendar and clock functions: TIME, DATE, DSTR, IDATE, DAYS over day numbers from
// 1 January 1900.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <ctime>
#include <string>

#include "runtime/program/calendar.h"
#include "runtime/program/program.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"

namespace {

struct local_now_t {
  int32_t year, month, day, hour, minute, second, millisecond;
  int64_t ticks_since_midnight;  // counts of 1/10000 second
};

// The local date and time, read once per call.
local_now_t local_now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const auto since_second = duration_cast<microseconds>(now - system_clock::from_time_t(t)).count();
  local_now_t r{};
  r.year = tm.tm_year + 1900;
  r.month = tm.tm_mon + 1;
  r.day = tm.tm_mday;
  r.hour = tm.tm_hour;
  r.minute = tm.tm_min;
  r.second = tm.tm_sec;
  const int64_t micro = since_second < 0 ? 0 : since_second % 1000000;
  r.millisecond = static_cast<int32_t>(micro / 1000);
  r.ticks_since_midnight = (int64_t{r.hour} * 3600 + r.minute * 60 + r.second) * 10000 + micro / 100;
  return r;
}

// Two-digit years: 0-19 are 2000-2019, 20-199 are 1920-2099.
int32_t full_year(int32_t year) {
  if (year < 20) year += 2000;
  if (year < 200) year += 1900;
  return year;
}

bool digits_field(const value_slot& s, size_t from, size_t count, int32_t& out) {
  int32_t v = 0;
  bool any = false;
  for (size_t i = from; i < from + count; ++i) {
    const char c = s.text[i];
    if (c == ' ') continue;  // blanks in a field are ignored
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    any = true;
  }
  out = any ? v : 0;
  return true;
}

// IDATE: day in characters 1-2, month in 4-5, year in 7-10; 0 for "00.00.0000" or a text
// that cannot be read.
int32_t day_number_of_text(const value_slot& s) {
  const std::string_view text(s.text.data(), s.text.size());
  if (text.substr(0, 10) == "00.00.0000" && text.find_first_not_of(' ', 10) == std::string_view::npos) return 0;
  int32_t day = 0, month = 0, year = 0;
  if (!digits_field(s, 0, 2, day) || !digits_field(s, 3, 2, month) || !digits_field(s, 6, 4, year)) return 0;
  // A text without day and month (a blank date field, "00.00.2000") is the empty date too.
  if (day == 0 && month == 0) return 0;
  date_to_day(day, month, full_year(year));
  return day;
}

}  // namespace

bool eval_datetime_function(int32_t code) {
  value_slot& top = evaluator.top();
  switch (code) {
    case upn_time: {  // TIME
      const int32_t k = nint(top.value());
      const local_now_t now = local_now();
      float r = -1.0f;
      switch (k) {
        // Seconds since local midnight: below 86400, so every whole second is exact.
        case 0: r = static_cast<float>(static_cast<double>(now.ticks_since_midnight) / 10000.0); break;
        case 1: r = static_cast<float>(now.hour); break;
        case 2: r = static_cast<float>(now.minute); break;
        case 3: r = static_cast<float>(now.second); break;
        case 4: r = static_cast<float>(now.millisecond) / 10.0f; break;
        default: break;
      }
      top.set_number(r);
      return true;
    }
    case upn_date: {  // DATE
      const int32_t k = nint(top.value());
      const local_now_t now = local_now();
      float r = -1.0f;
      switch (k) {
        case 0: {
          int32_t d = now.day;
          date_to_day(d, now.month, now.year);
          r = static_cast<float>(d);
          break;
        }
        case 1: r = static_cast<float>(now.day); break;
        case 2: r = static_cast<float>(now.month); break;
        case 3: r = static_cast<float>(now.year); break;
        default: break;
      }
      top.set_number(r);
      return true;
    }
    case upn_dstr: {  // DSTR: "DD.MM.YYYY"
      int32_t day = nint(top.value()), month = 0, year = 0;
      day_to_date(day, month, year);
      char buf[24];
      std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", day, month, year);
      if (year < 0 || year > 9999) std::copy_n("****", 4, buf + 6);  // no room for the year
      top.text.fill(' ');
      std::copy_n(buf, 10, top.text.begin());
      text_exit(top, 10);
      return true;
    }
    case upn_idate:  // IDATE
      top.set_number(static_cast<float>(day_number_of_text(top)));
      return true;
    case upn_days: {  // DAYS(month, year)
      value_slot& first = evaluator.slot(evaluator.sp - 1);
      const int32_t month = nint(first.value());
      const int32_t year = full_year(nint(top.value()));
      first.set_number(static_cast<float>(days_in_month(month, year)));
      pop_to_first_argument();
      return true;
    }
    default:
      return false;
  }
}
