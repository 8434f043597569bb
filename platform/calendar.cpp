#include <array>
#include <cmath>

#include "platform/calendar_internal.h"

namespace platform::calendar {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kMonthsShort = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 7> kDaysShort = {"Sun", "Mon", "Tue", "Wed",
                                                        "Thu", "Fri", "Sat"};

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy =
      (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// 1899-12-30, the day number 0 of OLE dates, counted from 1970-01-01.
const std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kLengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kLengths[static_cast<std::size_t>(month - 1)];
}

std::int64_t DayNumber(int year, int month, int day) {
  return DaysFromCivil(year, month, day) - kEpochOffset;
}

void CivilFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day) {
  const std::int64_t z = dayNumber + kEpochOffset + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

int Weekday(std::int64_t dayNumber) {
  // Day 0 (1899-12-30) was a Saturday.
  const std::int64_t r = ((dayNumber + 6) % 7 + 7) % 7;
  return static_cast<int>(r) + 1;
}

int DayOfYear(int year, int month, int day) {
  return static_cast<int>(DayNumber(year, month, day) - DayNumber(year, 1, 1)) + 1;
}

bool SplitSerial(double serial, Moment& out) {
  if (!std::isfinite(serial) || serial <= kMinSerial - 1.0 || serial >= kMaxSerial + 1.0 / 86400.0)
    return false;
  // The date part truncates toward zero; the time is the distance from it,
  // so -1.25 is 29 December 1899, 06:00.
  const double datePart = std::trunc(serial);
  const double fraction = std::fabs(serial - datePart);
  auto seconds = static_cast<std::int64_t>(std::floor(fraction * 86400.0 + 0.5));
  std::int64_t dayNumber = static_cast<std::int64_t>(datePart);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++dayNumber;
  }
  out.dayNumber = dayNumber;
  CivilFromDayNumber(dayNumber, out.year, out.month, out.day);
  out.hour = static_cast<int>(seconds / 3600);
  out.minute = static_cast<int>(seconds / 60 % 60);
  out.second = static_cast<int>(seconds % 60);
  return out.year >= kMinYear && out.year <= kMaxYear;
}

std::string_view MonthName(int month) {
  return month >= 1 && month <= 12 ? kMonths[static_cast<std::size_t>(month - 1)] : "";
}
std::string_view MonthAbbreviation(int month) {
  return month >= 1 && month <= 12 ? kMonthsShort[static_cast<std::size_t>(month - 1)] : "";
}
std::string_view DayName(int weekday) {
  return weekday >= 1 && weekday <= 7 ? kDays[static_cast<std::size_t>(weekday - 1)] : "";
}
std::string_view DayAbbreviation(int weekday) {
  return weekday >= 1 && weekday <= 7 ? kDaysShort[static_cast<std::size_t>(weekday - 1)] : "";
}

}  // namespace platform::calendar
