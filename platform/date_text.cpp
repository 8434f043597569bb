#include "platform/date_text.h"

#include <array>
#include <cmath>
#include <string>

#include "platform/calendar_internal.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace platform {
namespace {

// How the reader sees a date text: up to six numbers ("fields"), each
// remembering what followed it. Fields joined by a time separator (':' or
// '.') form the time; the others are the date, whose order of month, day and
// year is worked out from the values afterwards.
constexpr unsigned kTimeSep = 0x01;
constexpr unsigned kDateSep = 0x02;
constexpr unsigned kMonthName = 0x04;
constexpr unsigned kAm = 0x08;
constexpr unsigned kPm = 0x10;
constexpr unsigned kAmPm = kAm | kPm;
constexpr std::size_t kMaxFields = 6;

struct Fields {
  std::size_t count = 0;
  unsigned flags[kMaxFields] = {};
  unsigned values[kMaxFields] = {};
  unsigned ampm = 0;  // kAm or kPm when the text names one
};

bool IsBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 ||
         c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

bool IsAsciiLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `word` (ASCII) starts the text at `i`, ignoring case.
bool StartsWithWord(const std::u32string& s, std::size_t i, std::string_view word) {
  if (s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    const char32_t c = s[i + k];
    if (c >= 0x80 || text::FoldLower(c) != text::FoldLower(static_cast<unsigned char>(word[k])))
      return false;
  }
  return true;
}

// Reads the words of a date text: month names (full or three letters, an
// abbreviation may end in '.'), weekday names (skipped), AM/PM or A/P.
bool ReadWord(const std::u32string& s, std::size_t& i, Fields& f) {
  for (int month = 1; month <= 12; ++month) {
    for (const std::string_view name :
         {calendar::MonthName(month), calendar::MonthAbbreviation(month)}) {
      if (!StartsWithWord(s, i, name)) continue;
      if (f.count >= kMaxFields) return false;
      f.values[f.count] = static_cast<unsigned>(month);
      f.flags[f.count] = kMonthName;
      ++f.count;
      i += name.size();
      if (name.size() == 3 && i < s.size() && s[i] == '.') ++i;
      return true;
    }
  }
  for (int day = 1; day <= 7; ++day) {
    for (const std::string_view name : {calendar::DayName(day), calendar::DayAbbreviation(day)}) {
      if (!StartsWithWord(s, i, name)) continue;
      i += name.size();
      return true;
    }
  }
  std::size_t length = 0;
  unsigned which = 0;
  if (StartsWithWord(s, i, "AM")) {
    which = kAm;
    length = 2;
  } else if (StartsWithWord(s, i, "PM")) {
    which = kPm;
    length = 2;
  } else if (s[i] == 'a' || s[i] == 'A') {
    which = kAm;
    length = 1;
  } else if (s[i] == 'p' || s[i] == 'P') {
    which = kPm;
    length = 1;
  } else {
    return false;
  }
  // AM/PM belongs to the number before it, and a text names it once.
  if (f.count == 0 || f.ampm != 0) return false;
  f.flags[f.count - 1] |= which;
  f.ampm = which;
  i += length;
  return true;
}

bool Tokenize(const std::u32string& s, Fields& f) {
  int dateSeparators = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const char32_t c = s[i];
    const bool last = i + 1 == s.size();
    if (c >= '0' && c <= '9') {
      if (f.count >= kMaxFields) return false;
      unsigned value = 0;
      for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (value < 100000) value = value * 10 + static_cast<unsigned>(s[i] - '0');
      f.values[f.count++] = value;
      continue;
    }
    if (IsAsciiLetter(c)) {
      if (!ReadWord(s, i, f)) return false;
      continue;
    }
    if (c == ':' || c == '.') {
      if (f.count == 0 || last) return false;
      f.flags[f.count - 1] |= kTimeSep;
    } else if (c == '/' || c == '-') {
      if (++dateSeparators > 2 || f.count == 0 || last) return false;
      f.flags[f.count - 1] |= kDateSep;
    } else if (c == ',') {
      if (last) return false;
    } else if (!IsBlank(c)) {
      return false;
    }
    ++i;
  }
  return f.count > 1 || (f.count == 1 && f.ampm != 0);
}

struct TimeOfDay {
  unsigned hour = 0, minute = 0, second = 0;
};

bool HasAmPm(const Fields& f, std::size_t i) {
  return i < f.count && (f.flags[i] & kAmPm) != 0;
}

// Splits the fields into time and date. The time fields are those joined by
// time separators, at the start or the end of the text; a lone number with
// AM/PM is an hour. AM/PM may only follow a time field.
bool SplitFields(const Fields& f, TimeOfDay& time, std::size_t& dateFirst, std::size_t& dateCount) {
  unsigned mask = 0;
  for (std::size_t i = 0; i < 5 && i < f.count; ++i)
    if (f.flags[i] & kTimeSep) mask |= 1u << i;
  const std::size_t n = f.count;
  dateFirst = 0;
  dateCount = n;
  switch (mask) {
    case 0x1:  // h:m, then two or three date fields
      if (n != 2 && n != 4 && n != 5) return false;
      if (n > 3 && (HasAmPm(f, 2) || HasAmPm(f, 3) || HasAmPm(f, 4))) return false;
      time = {f.values[0], f.values[1], 0};
      dateFirst = 2;
      dateCount = n - 2;
      return true;
    case 0x3:  // h:m:s, then two or three date fields
      if (n != 3 && n != 5 && n != 6) return false;
      if (n > 4 && (HasAmPm(f, 3) || HasAmPm(f, 4) || HasAmPm(f, 5))) return false;
      time = {f.values[0], f.values[1], f.values[2]};
      dateFirst = 3;
      dateCount = n - 3;
      return true;
    case 0x4:  // two date fields, then h:m
      if (n != 4 || HasAmPm(f, 0) || HasAmPm(f, 1)) return false;
      time = {f.values[2], f.values[3], 0};
      dateCount = 2;
      return true;
    case 0x8:  // three date fields, then h:m
      if (n != 5 || HasAmPm(f, 0) || HasAmPm(f, 1) || HasAmPm(f, 2)) return false;
      time = {f.values[3], f.values[4], 0};
      dateCount = 3;
      return true;
    case 0xC:  // two date fields, then h:m:s
      if (n != 5 || HasAmPm(f, 0) || HasAmPm(f, 1)) return false;
      time = {f.values[2], f.values[3], f.values[4]};
      dateCount = 2;
      return true;
    case 0x18:  // three date fields, then h:m:s
      if (n != 6 || HasAmPm(f, 0) || HasAmPm(f, 1) || HasAmPm(f, 2)) return false;
      time = {f.values[3], f.values[4], f.values[5]};
      dateCount = 3;
      return true;
    case 0x0:
      break;
    default:
      return false;
  }
  // No time separators: a date, possibly with an hour marked by AM/PM at
  // its start or its end.
  if (n == 1) {  // Tokenize only lets a single field through with AM/PM
    time.hour = f.values[0];
    dateCount = 0;
    return true;
  }
  if (n > 4 || (n < 3 && f.ampm != 0)) return false;
  if (n == 2) return true;
  if (HasAmPm(f, 0)) {
    time.hour = f.values[0];
    dateFirst = 1;
    dateCount = n - 1;
    return true;
  }
  if (HasAmPm(f, n - 1)) {
    time.hour = f.values[n - 1];
    dateCount = n - 1;
    return true;
  }
  return n == 3 && f.ampm == 0;
}

bool ValidDay(unsigned day, unsigned month, unsigned year) {
  return month >= 1 && month <= 12 && day >= 1 &&
         day <= static_cast<unsigned>(
                    calendar::DaysInMonth(static_cast<int>(year), static_cast<int>(month)));
}

// The orders in which the date fields are tried.
constexpr unsigned kMdy = 0x01;
constexpr unsigned kYmd = 0x02;
constexpr unsigned kYdm = 0x04;
constexpr unsigned kDmy = 0x08;
constexpr unsigned kMyd = 0x10;  // month and year only, as "2 30" (February 1930)

// Tries the orders allowed in `orders`: first month-day-year (the regional
// order), then the orders that keep the month before the day, then the rest.
bool TryOrders(unsigned orders, unsigned v1, unsigned v2, unsigned v3, unsigned& day,
               unsigned& month, unsigned& year) {
  for (int attempt = 0; attempt < 3 && orders != 0; ++attempt) {
    unsigned tried = orders;
    if (attempt == 0) tried &= kMdy;
    if (attempt == 1) tried &= ~(kDmy | kYdm);
    if ((tried & kMdy) && ValidDay(v2, v1, v3)) {
      day = v2, month = v1, year = v3;
      return true;
    }
    if (tried & kMdy) orders &= ~kMdy;
    if ((tried & kYmd) && ValidDay(v3, v2, v1)) {
      day = v3, month = v2, year = v1;
      return true;
    }
    if (tried & kYmd) orders &= ~kYmd;
    if ((tried & kYdm) && ValidDay(v2, v3, v1)) {
      day = v2, month = v3, year = v1;
      return true;
    }
    if (tried & kYdm) orders &= ~kYdm;
    if ((tried & kDmy) && ValidDay(v1, v2, v3)) {
      day = v1, month = v2, year = v3;
      return true;
    }
    if (tried & kDmy) orders &= ~kDmy;
    if ((tried & kMyd) && ValidDay(v3, v1, v2)) {
      day = v3, month = v1, year = v2;
      return true;
    }
    if (tried & kMyd) orders &= ~kMyd;
  }
  return false;
}

int CurrentYear() {
  calendar::Moment m;
  if (!calendar::SplitSerial(CurrentClock().Now().serial, m)) return 2000;
  return m.year;
}

bool MakeCalendarDate(const Fields& f, std::size_t first, std::size_t count, DateParts& out) {
  if (count == 0) {
    out.year = 1899, out.month = 12, out.day = 30;
    return true;
  }
  if (count != 2 && count != 3) return false;
  const unsigned v1 = f.values[first], v2 = f.values[first + 1];
  const bool twoFields = count == 2;
  const unsigned v3 = twoFields ? static_cast<unsigned>(CurrentYear()) : f.values[first + 2];
  unsigned orders;
  if (f.flags[first] & kMonthName) {
    orders = kMdy;
  } else if (f.flags[first + 1] & kMonthName) {
    orders = kDmy | (twoFields ? 0 : kYmd);
  } else if (!twoFields && (f.flags[first + 2] & kMonthName)) {
    orders = kYdm;
  } else {
    orders = kMdy | kDmy | (twoFields ? 0 : kYmd | kYdm);
  }
  unsigned day = 0, month = 0, year = 0;
  bool found = false;
  // A month name between two numbers reads day-month-year first, so that the
  // medium date form ("28-Mar-14") reads back as written.
  if (orders & kDmy && (f.flags[first + 1] & kMonthName) && ValidDay(v1, v2, v3)) {
    day = v1, month = v2, year = v3;
    found = true;
  }
  if (!found) found = TryOrders(orders, v1, v2, v3, day, month, year);
  // Two numbers that make no day and month are a month and a year, on the
  // first of the month ("2 30" is February 1930).
  if (!found && twoFields) found = TryOrders(kYmd | kMyd, v1, v2, 1, day, month, year);
  if (!found) return false;
  if (year < 30)
    year += 2000;
  else if (year < 100)
    year += 1900;
  if (year < static_cast<unsigned>(calendar::kMinYear) ||
      year > static_cast<unsigned>(calendar::kMaxYear))
    return false;
  out.year = static_cast<int>(year);
  out.month = static_cast<int>(month);
  out.day = static_cast<int>(day);
  return true;
}

// "0.0" reads as a plain number rather than as midnight: a text made of
// one number, a point and zeros is not a time.
bool IsWholeDecimal(const std::u32string& s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  const std::size_t start = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == start || i >= s.size() || s[i] != '.') return false;
  ++i;
  const std::size_t fraction = i;
  while (i < s.size() && s[i] == '0') ++i;
  if (i == fraction) return false;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i == s.size();
}

}  // namespace

std::optional<OleDate> ReadDate(std::string_view textIn) {
  const std::u32string s = text::DecodeKeepBytes(textIn);
  Fields f;
  if (!Tokenize(s, f)) return std::nullopt;
  TimeOfDay time;
  std::size_t dateFirst = 0, dateCount = 0;
  if (!SplitFields(f, time, dateFirst, dateCount)) return std::nullopt;
  DateParts parts;
  if (!MakeCalendarDate(f, dateFirst, dateCount, parts)) return std::nullopt;
  if (time.hour > 23 || time.minute > 59 || time.second > 59) return std::nullopt;
  // AM/PM applies to hours up to 12 and is ignored above ("13:00 PM").
  if (f.ampm == kPm && time.hour < 12) time.hour += 12;
  if (f.ampm == kAm && time.hour == 12) time.hour = 0;
  if (dateCount == 0 && IsWholeDecimal(s)) return std::nullopt;
  parts.hour = static_cast<int>(time.hour);
  parts.minute = static_cast<int>(time.minute);
  parts.second = static_cast<int>(time.second);
  return MakeDate(parts);
}

bool IsDate(std::string_view text) {
  return ReadDate(text).has_value();
}

DateParts SplitDate(OleDate date) {
  calendar::Moment m;
  DateParts parts;
  if (!calendar::SplitSerial(date.serial, m)) return parts;
  parts.year = m.year;
  parts.month = m.month;
  parts.day = m.day;
  parts.hour = m.hour;
  parts.minute = m.minute;
  parts.second = m.second;
  return parts;
}

OleDate MakeDate(const DateParts& p) {
  const double days = static_cast<double>(calendar::DayNumber(p.year, p.month, p.day));
  const double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
  // Before 30 December 1899 the day count is negative and the time still
  // runs forward from the start of the day: -1.25 is 29 December, 06:00.
  return OleDate{days < 0 ? days - time : days + time};
}

}  // namespace platform
