#include <cstdio>

#include "platform/format_internal.h"

namespace platform::fmt {
namespace {

using calendar::Moment;

void AppendNumber(std::string& out, int value, int width) {
  if (value < 0) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    out.append(buffer);
    return;
  }
  // As "%0*d" prints a value of no sign: its digits, zeros in front up to
  // `width`.
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int pad = count; pad < width; ++pad) out.push_back('0');
  while (count > 0) out.push_back(digits[--count]);
}

int Hour12(int hour) {
  return hour % 12 == 0 ? 12 : hour % 12;
}

// Position 1..7 of a weekday in a week starting on `firstDayOfWeek`.
int WeekdayFrom(std::int64_t dayNumber, int firstDayOfWeek) {
  return (calendar::Weekday(dayNumber) - firstDayOfWeek + 7) % 7 + 1;
}

// The day number on which week 1 of `year` starts.
std::int64_t FirstWeekStart(int year, int firstDayOfWeek, int firstWeekOfYear) {
  const std::int64_t jan1 = calendar::DayNumber(year, 1, 1);
  const int offset = WeekdayFrom(jan1, firstDayOfWeek) - 1;  // days of the week before 1 Jan
  std::int64_t start = jan1 - offset;
  if (firstWeekOfYear == 2 && 7 - offset < 4) start += 7;  // needs four days of the year
  if (firstWeekOfYear == 3 && offset != 0) start += 7;     // needs a full week
  return start;
}

int WeekOfYear(const Moment& m, int firstDayOfWeek, int firstWeekOfYear) {
  std::int64_t start = FirstWeekStart(m.year, firstDayOfWeek, firstWeekOfYear);
  if (m.dayNumber < start) start = FirstWeekStart(m.year - 1, firstDayOfWeek, firstWeekOfYear);
  return static_cast<int>((m.dayNumber - start) / 7 + 1);
}

void AppendShortDate(std::string& out, const Moment& m) {
  AppendNumber(out, m.month, 1);
  out.push_back('/');
  AppendNumber(out, m.day, 1);
  out.push_back('/');
  AppendNumber(out, m.year, 1);
}

void AppendLongDate(std::string& out, const Moment& m) {
  out.append(calendar::DayName(calendar::Weekday(m.dayNumber)));
  out.append(", ");
  out.append(calendar::MonthName(m.month));
  out.push_back(' ');
  AppendNumber(out, m.day, 1);
  out.append(", ");
  AppendNumber(out, m.year, 1);
}

// The designator as the mask writes it: "AM/PM" gives "AM" or "PM", "am/pm"
// "am" or "pm", "A/p" "A" or "p".
void AppendDesignator(std::string& out, const std::string& written, bool pm) {
  const std::size_t slash = written.find('/');
  if (slash == std::string::npos) return;
  out.append(pm ? written.substr(slash + 1) : written.substr(0, slash));
}

bool UsesTwelveHours(const Section& section) {
  for (const Token& t : section.tokens)
    if (t.kind == Tok::AmPm || t.kind == Tok::AP || t.kind == Tok::AmPmLocale) return true;
  return false;
}

}  // namespace

std::string LongTime(const Moment& m) {
  std::string out;
  AppendNumber(out, Hour12(m.hour), 1);
  out.push_back(':');
  AppendNumber(out, m.minute, 2);
  out.push_back(':');
  AppendNumber(out, m.second, 2);
  out.append(m.hour < 12 ? " AM" : " PM");
  return out;
}

std::string GeneralDate(double serial) {
  Moment m;
  if (!calendar::SplitSerial(serial, m)) return {};
  std::string out;
  const bool hasTime = m.hour != 0 || m.minute != 0 || m.second != 0;
  if (m.dayNumber != 0) AppendShortDate(out, m);
  if (hasTime || m.dayNumber == 0) {
    if (!out.empty()) out.push_back(' ');
    out.append(LongTime(m));
  }
  return out;
}

std::string FormatDateSection(double serial, const Section& section, int firstDayOfWeek,
                              int firstWeekOfYear) {
  Moment m;
  if (!calendar::SplitSerial(serial, m)) return {};
  const bool twelve = UsesTwelveHours(section);
  const int hour = twelve ? Hour12(m.hour) : m.hour;
  const bool pm = m.hour >= 12;
  std::string out;
  for (const Token& t : section.tokens) {
    switch (t.kind) {
      case Tok::DateSep:
        out.push_back('/');
        break;
      case Tok::TimeSep:
        out.push_back(':');
        break;
      case Tok::GeneralDate:
        out.append(GeneralDate(serial));
        break;
      case Tok::Day:
        AppendNumber(out, m.day, 1);
        break;
      case Tok::Day2:
        AppendNumber(out, m.day, 2);
        break;
      case Tok::DayShort:
        out.append(calendar::DayAbbreviation(calendar::Weekday(m.dayNumber)));
        break;
      case Tok::DayLong:
        out.append(calendar::DayName(calendar::Weekday(m.dayNumber)));
        break;
      case Tok::DateShort:
        AppendShortDate(out, m);
        break;
      case Tok::DateLong:
        AppendLongDate(out, m);
        break;
      case Tok::WeekDay:
        AppendNumber(out, WeekdayFrom(m.dayNumber, firstDayOfWeek), 1);
        break;
      case Tok::WeekOfYear:
        AppendNumber(out, WeekOfYear(m, firstDayOfWeek, firstWeekOfYear), 1);
        break;
      case Tok::Month:
        AppendNumber(out, m.month, 1);
        break;
      case Tok::Month2:
        AppendNumber(out, m.month, 2);
        break;
      case Tok::MonthShort:
        out.append(calendar::MonthAbbreviation(m.month));
        break;
      case Tok::MonthLong:
        out.append(calendar::MonthName(m.month));
        break;
      case Tok::Quarter:
        AppendNumber(out, (m.month - 1) / 3 + 1, 1);
        break;
      case Tok::DayOfYear:
        AppendNumber(out, calendar::DayOfYear(m.year, m.month, m.day), 1);
        break;
      case Tok::Year2:
        AppendNumber(out, m.year % 100, 2);
        break;
      case Tok::Year4:
        AppendNumber(out, m.year, 1);
        break;
      case Tok::Hour:
        AppendNumber(out, hour, 1);
        break;
      case Tok::Hour2:
        AppendNumber(out, hour, 2);
        break;
      case Tok::Minute:
        AppendNumber(out, m.minute, 1);
        break;
      case Tok::Minute2:
        AppendNumber(out, m.minute, 2);
        break;
      case Tok::Second:
        AppendNumber(out, m.second, 1);
        break;
      case Tok::Second2:
        AppendNumber(out, m.second, 2);
        break;
      case Tok::TimeLong:
        out.append(LongTime(m));
        break;
      case Tok::AmPm:
      case Tok::AP:
        AppendDesignator(out, t.text, pm);
        break;
      case Tok::AmPmLocale:
        out.append(pm ? "PM" : "AM");
        break;
      default:
        out.append(t.text);
        break;
    }
  }
  return out;
}

}  // namespace platform::fmt
