// Calendar helpers: day numbers from 1 January 1900, German names, month lengths.
#include <gtest/gtest.h>

#include <string>

#include "runtime/program/calendar.h"

namespace {

int32_t serial(int32_t d, int32_t m, int32_t y) {
  date_to_day(d, m, y);
  return d;
}

struct ymd {
  int32_t d, m, y;
};
ymd date_of(int32_t s) {
  ymd r{s, 0, 0};
  day_to_date(r.d, r.m, r.y);
  return r;
}

TEST(Calendar, KnownDayNumbers) {
  EXPECT_EQ(serial(1, 1, 1900), 1);
  EXPECT_EQ(serial(1, 1, 0), 1);
  EXPECT_EQ(serial(28, 2, 1900), 59);
  EXPECT_EQ(serial(1, 3, 1900), 60);
  EXPECT_EQ(serial(1, 1, 2000), 36525);
  EXPECT_EQ(serial(1, 1, 100), 36525);
  EXPECT_EQ(serial(31, 12, 1899), 0);
  EXPECT_EQ(serial(31, 12, 99), serial(31, 12, 1999));
  EXPECT_EQ(serial(1, 1, 200), serial(1, 1, 2100));
  EXPECT_EQ(serial(1, 1, 201), serial(1, 1, 201 + 0));  // a year above 200 is a full year
  EXPECT_EQ(serial(1, 1, 1970), 25568);
}

TEST(Calendar, NoTwentyNinthFebruary1900AndDayZero) {
  ymd a = date_of(60);
  EXPECT_EQ(a.d, 1);
  EXPECT_EQ(a.m, 3);
  EXPECT_EQ(a.y, 1900);
  ymd b = date_of(59);
  EXPECT_EQ(b.d, 28);
  EXPECT_EQ(b.m, 2);
  ymd z = date_of(0);
  EXPECT_EQ(z.d, 31);
  EXPECT_EQ(z.m, 12);
  EXPECT_EQ(z.y, 1899);
}

TEST(Calendar, RoundTripEveryDay1900To2099) {
  int32_t expected = 1;
  for (int32_t y = 1900; y <= 2099; ++y) {
    for (int32_t m = 1; m <= 12; ++m) {
      for (int32_t d = 1; d <= days_in_month(m, y); ++d) {
        ASSERT_EQ(serial(d, m, y), expected) << d << "." << m << "." << y;
        ymd back = date_of(expected);
        ASSERT_EQ(back.d, d);
        ASSERT_EQ(back.m, m);
        ASSERT_EQ(back.y, y);
        ++expected;
      }
    }
  }
  EXPECT_EQ(expected - 1, serial(31, 12, 2099));
}

// The closed formula the day numbers have always been computed with; written out here to check
// that no stored day number moves. It agrees with the Gregorian calendar from 1 March 1600 to
// 28 February 2100 and goes on in even four-year cycles after that.
int32_t legacy_serial(int32_t d, int32_t m, int32_t year) {
  static const int32_t table[15] = {275, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275, 306, 337};
  int32_t y = year <= 200 ? year : year - 1900;
  if (m <= 2) --y;
  if (y >= 0) return 365 * y + y / 4 + table[m] + d + 59;
  int32_t z = y + 400;
  return 365 * z + (y + 400) / 4 + (399 - z) / 100 + table[m] + d - 146040;
}

// Month lengths of the numbering: Gregorian up to 2099, every fourth year a leap year from 2100.
int32_t numbered_month_days(int32_t m, int32_t y) {
  if (y >= 2100 && m == 2) return y % 4 == 0 ? 29 : 28;
  return days_in_month(m, y);
}

TEST(Calendar, AgreesWithStoredDayNumbersFrom1600To9999) {
  for (int32_t y = 1600; y <= 9999; ++y) {
    for (int32_t m = 1; m <= 12; ++m) {
      if (y == 1600 && m < 3) continue;
      for (int32_t d = 1; d <= numbered_month_days(m, y); ++d)
        ASSERT_EQ(serial(d, m, y), legacy_serial(d, m, y)) << d << "." << m << "." << y;
    }
  }
}

TEST(Calendar, DayNumbersKeepTheirDatesAcross2100) {
  EXPECT_EQ(serial(28, 2, 2100), 73108);
  EXPECT_EQ(serial(29, 2, 2100), 73109);
  EXPECT_EQ(serial(1, 3, 2100), 73110);
  const ymd leap = date_of(73109);
  EXPECT_EQ(leap.d, 29);
  EXPECT_EQ(leap.m, 2);
  EXPECT_EQ(leap.y, 2100);
  const ymd march = date_of(73110);
  EXPECT_EQ(march.d, 1);
  EXPECT_EQ(march.m, 3);
  EXPECT_EQ(march.y, 2100);
  // The placeholder dates of business data read back as themselves.
  EXPECT_EQ(serial(31, 12, 2999), 401774);
  EXPECT_EQ(serial(31, 12, 9999), 2958524);
  // Every day from 1 March 2100 to 31 December 9999, one number after the other, both ways.
  int32_t expected = 73110;
  for (int32_t y = 2100; y <= 9999; ++y) {
    for (int32_t m = y == 2100 ? 3 : 1; m <= 12; ++m) {
      for (int32_t d = 1; d <= numbered_month_days(m, y); ++d) {
        ASSERT_EQ(serial(d, m, y), expected) << d << "." << m << "." << y;
        const ymd back = date_of(expected);
        ASSERT_TRUE(back.d == d && back.m == m && back.y == y) << expected;
        ++expected;
      }
    }
  }
  EXPECT_EQ(expected - 1, 2958524);
}

TEST(Calendar, OutOfRangeInputsAreDefined) {
  EXPECT_EQ(serial(1, 13, 1999), serial(1, 1, 2000));
  EXPECT_EQ(serial(1, 0, 2000), serial(1, 12, 1999));
  EXPECT_EQ(serial(0, 3, 1900), 59);
  EXPECT_EQ(serial(32, 1, 1900), 32);
  // Extreme values neither overflow nor crash.
  int32_t d = INT32_MAX, m = 0, y = 0;
  day_to_date(d, m, y);
  EXPECT_GE(m, 1);
  EXPECT_LE(m, 12);
  int32_t s = 1;
  date_to_day(s, INT32_MAX, INT32_MAX);
  int32_t t = 1;
  date_to_day(t, INT32_MIN, INT32_MIN);
  EXPECT_LT(t, s);
}

TEST(Calendar, MonthLengths) {
  EXPECT_EQ(days_in_month(2, 2000), 29);
  EXPECT_EQ(days_in_month(2, 1900), 28);
  EXPECT_EQ(days_in_month(2, 2024), 29);
  EXPECT_EQ(days_in_month(2, 2023), 28);
  const int32_t lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int32_t m = 1; m <= 12; ++m) EXPECT_EQ(days_in_month(m, 2023), lengths[m - 1]) << m;
}

TEST(Calendar, GermanNames) {
  EXPECT_EQ(weekday_name(1, 1, 1900), "Montag    ");
  EXPECT_EQ(weekday_name(24, 12, 2026), "Donnerstag");
  EXPECT_EQ(weekday_name(1, 1, 2000), "Samstag   ");
  EXPECT_EQ(weekday_name(3, 10, 1990), "Mittwoch  ");
  EXPECT_EQ(weekday_name(31, 12, 1899), "Sonntag   ");
  EXPECT_EQ(weekday_name(1, 3, 1600), "Mittwoch  ");
  EXPECT_EQ(month_name(3), std::string("M\xE4rz     "));
  EXPECT_EQ(month_name(12), "Dezember ");
  EXPECT_EQ(month_name(0), "Dezember ");
  EXPECT_EQ(month_name(1), "Januar   ");
  EXPECT_EQ(month_name(9), "September");
  EXPECT_EQ(month_name(-1), "November ");
}

}  // namespace
