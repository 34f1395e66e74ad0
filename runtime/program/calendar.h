// Serial day numbers for the date functions, field input and the print and plot services.
// Day 1 is 1 January 1900 (0 is 31 December 1899); from 1 March 1900 on every fourth year has a
// 29 February, 2100 included, so that stored day numbers keep their dates.
#pragma once

#include <cstdint>
#include <string>

// `day` carries the day of the month in and the serial day out. A year up to 200 counts from
// 1900 (0..99 are 1900..1999, 100..200 are 2000..2100). Months outside 1..12 carry into the
// year and days outside the month roll over, so every input gives a defined day number.
void date_to_day(int32_t& day, int32_t month, int32_t year);
// `day` carries the serial day in and the day of the month out.
void day_to_date(int32_t& day, int32_t& month, int32_t& year);
// Days of the month (28 to 31); `year` is the full year (no 1900 offset).
int32_t days_in_month(int32_t month, int32_t year);
// German weekday name of the date, blank-padded to 10 characters ("Montag    ").
std::string weekday_name(int32_t day, int32_t month, int32_t year);
// German month name of month mod 12, blank-padded to 9 characters (12 and 0 are "Dezember").
std::string month_name(int32_t month);
