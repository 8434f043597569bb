// The mask reader and the three formatting engines behind Format. Internal
// to the platform library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar_internal.h"
#include "platform/number_internal.h"

namespace platform::fmt {

// What a mask formats. The first token that only one kind of mask knows
// decides it ("0", "#" and "." make a number mask, date letters, "/" and ":"
// a date mask, "@", "&", "<", ">" and "!" a text mask); later tokens of the
// other kinds are literal characters. A mask without such a token formats
// each value as its own kind.
enum class MaskType { Unknown, Number, Date, Text };

enum class Tok {
  Literal,  // `text` is copied
  // Number masks.
  DigitZero,     // a digit or 0
  DigitHash,     // a digit or nothing
  DecimalPoint,  // the first "." of the section
  Exponent,      // E+ E- e+ e- (or E0/E#): `upper`, `plus`, `count` = minimum digits
  Comma,         // thousands separator or scaling, decided by position
  Percent,       // prints "%" and scales by 100
  // Date masks.
  DateSep,
  TimeSep,
  GeneralDate,  // c
  Day,          // d
  Day2,         // dd
  DayShort,     // ddd
  DayLong,      // dddd
  DateShort,    // ddddd
  DateLong,     // dddddd
  WeekDay,      // w
  WeekOfYear,   // ww
  Month,        // m
  Month2,       // mm
  MonthShort,   // mmm
  MonthLong,    // mmmm
  Quarter,      // q
  DayOfYear,    // y
  Year2,        // yy
  Year4,        // yyyy
  Hour,         // h
  Hour2,        // hh
  Minute,       // n, or m right after an hour
  Minute2,      // nn, or mm right after an hour
  Second,       // s
  Second2,      // ss
  TimeLong,     // ttttt
  AmPm,         // AM/PM as written (`text` holds the mask's five characters)
  AP,           // A/P as written (`text` holds the mask's three characters)
  AmPmLocale,   // AMPM: the regional AM/PM designators
  // Text masks.
  CharOrSpace,    // @
  CharOrNothing,  // &
  Lower,          // <
  Upper,          // >
  LeftToRight,    // !
};

struct Token {
  Tok kind = Tok::Literal;
  std::string text;
  int count = 0;
  bool upper = false;
  bool plus = false;
};

// What a section asks for when it formats a number, gathered from its
// tokens once, when the mask is read.
struct NumberLayout {
  int integerPlaces = 0;      // placeholders before the point (and the exponent)
  int mandatoryInteger = 0;   // from the first '0' on, all integer places print
  int fractionPlaces = 0;     // placeholders between the point and the exponent
  int mandatoryFraction = 0;  // up to the last '0', all fraction places print
  bool grouping = false;
  int scaleThousands = 0;  // each scaling comma divides by 1000
  bool percent = false;
  bool exponent = false;  // an exponent token ("E+", "e-", ...)
};

NumberLayout AnalyzeNumberTokens(const std::vector<Token>& tokens);

struct Section {
  bool present = false;  // false for an empty section ("0;;0")
  std::vector<Token> tokens;
  NumberLayout number;  // AnalyzeNumberTokens(tokens)
};

struct Mask {
  MaskType type = MaskType::Unknown;
  std::vector<Section> sections;  // 1 to 4

  // The section for positive values, negative values, zero and Null/empty;
  // nullptr when the mask leaves that section out.
  const Section* SectionAt(std::size_t index) const {
    return index < sections.size() && sections[index].present ? &sections[index] : nullptr;
  }
};

// Reads a mask. More than four sections raise error 5.
Mask ReadMask(std::string_view mask);

// The engines. Each formats with one section.
std::string FormatNumberSection(const number::Decimal& value, const Section& section,
                                bool writeSign);
std::string FormatDateSection(double serial, const Section& section, int firstDayOfWeek,
                              int firstWeekOfYear);
std::string FormatTextSection(std::string_view value, const Section& section);

// General forms.
std::string GeneralNumber(const number::Decimal& value, int significantDigits);
std::string GeneralDate(double serial);
std::string LongTime(const calendar::Moment& m);

}  // namespace platform::fmt
