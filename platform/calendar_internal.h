// Calendar arithmetic over OLE Automation dates, shared by the date reader
// and the date masks of Format. Internal to the platform library.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/date_text.h"
#include "platform/variant.h"

namespace platform::calendar {

// The range of dates the runtime can hold: 1 January 100 to 31 December 9999.
inline constexpr double kMinSerial = -657434.0;
inline constexpr double kMaxSerial = 2958465.999988426;  // 9999-12-31 23:59:59
inline constexpr int kMinYear = 100;
inline constexpr int kMaxYear = 9999;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Day number (days since 1899-12-30) of a proleptic Gregorian date and back.
std::int64_t DayNumber(int year, int month, int day);
void CivilFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day);
// 1 = Sunday ... 7 = Saturday.
int Weekday(std::int64_t dayNumber);
// 1-based day of the year.
int DayOfYear(int year, int month, int day);

// A date split into its calendar parts, the time rounded to the second. The
// day number is that of the calendar day (after any rounding into the next
// day).
struct Moment {
  std::int64_t dayNumber = 0;
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
// False when the serial lies outside the runtime's date range or is not a
// number.
bool SplitSerial(double serial, Moment& out);

// English month and weekday names (index 1-based).
std::string_view MonthName(int month);
std::string_view MonthAbbreviation(int month);
std::string_view DayName(int weekday);
std::string_view DayAbbreviation(int weekday);

}  // namespace platform::calendar
