#include "platform/format.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/date_text.h"
#include "platform/error.h"

namespace {

using platform::Format;
using platform::Variant;

Variant Number(double v) {
  return Variant::FromDouble(v);
}
Variant Text(const char* s) {
  return Variant::FromText(s);
}
Variant Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  platform::DateParts p;
  p.year = y, p.month = mo, p.day = d, p.hour = h, p.minute = mi, p.second = s;
  return Variant::FromDate(platform::MakeDate(p));
}

struct Case {
  int line;
  Variant value;
  std::string mask;
  std::string expected;
};

void Check(const Case& c) {
  SCOPED_TRACE("line " + std::to_string(c.line) + ", mask \"" + c.mask + "\"");
  EXPECT_EQ(Format(c.value, c.mask), c.expected);
}

// The forms the mapping files of the system use: texts handed to numeric,
// date and text masks.
TEST(Format, TextsFromFieldValues) {
  const Case cases[] = {
      {__LINE__, Text("1234.5"), "#,##0.00", "1,234.50"},
      {__LINE__, Text(" 1234.5 "), "0.0", "1234.5"},
      {__LINE__, Text("-12"), "000", "-012"},
      {__LINE__, Text("1,234"), "0", "1234"},
      {__LINE__, Text("(5)"), "0.00", "-5.00"},
      {__LINE__, Text("$7"), "0.00", "7.00"},
      {__LINE__, Text("12345678901234567890"), "0", "12345678901234567890"},
      {__LINE__, Text("n/a"), "0.00", "n/a"},
      {__LINE__, Text(""), "0.00", ""},
      {__LINE__, Text("MMDDYY"), "&&/&&/&&", "MM/DD/YY"},
      {__LINE__, Text("MDDYY"), "&&/&&/&&", "M/DD/YY"},
      {__LINE__, Text("032814"), "&&/&&/&&", "03/28/14"},
      {__LINE__, Text("1234567"), "&&/&&/&&", "12/34/567"},
      {__LINE__, Text("03/28/1975"), "yyyymmdd", "19750328"},
      {__LINE__, Text("03/28/1975"), "$$yymmdd", "$$750328"},
      {__LINE__, Text("3/28/2014 2:05:09 PM"), "mm/dd/yyyy hh:nn", "03/28/2014 14:05"},
      {__LINE__, Text("n/a"), "yyyymmdd", "n/a"},
      {__LINE__, Text("39697.11"), "mm-dd-yy hh:mm", "09-06-08 02:38"},
      {__LINE__, Text("001"), "@@@@@", "  001"},
      // Sections of literals only pick the section by the sign and print no
      // digits; a text that is no number keeps the text mask's first section.
      {__LINE__, Text("5"), "\"pos\";\"neg\";\"zero\"", "pos"},
      {__LINE__, Text("0"), "\"pos\";\"neg\";\"zero\"", "zero"},
      {__LINE__, Text("-1"), "\"pos\";\"neg\";\"zero\"", "neg"},
      {__LINE__, Text(" 12.5 "), "\"pos\";\"neg\"", "pos"},
      {__LINE__, Text("-1"), "\"pos\";;\"zero\"", "-pos"},
      {__LINE__, Text("abc"), "\"pos\";\"neg\"", "posabc"},
      {__LINE__, Text(""), "\"pos\";\"none\"", "none"},
  };
  for (const Case& c : cases) {
    Check(c);
    // The text overload (the one the mappings use) answers the same.
    EXPECT_EQ(Format(std::string_view(c.value.text), c.mask), c.expected) << "line " << c.line;
  }
}

TEST(Format, NumberMasks) {
  const Case cases[] = {
      // Halves round away from zero, on the 15-digit decimal form.
      {__LINE__, Number(0.5), "0", "1"},
      {__LINE__, Number(2.5), "0", "3"},
      {__LINE__, Number(-2.5), "0", "-3"},
      {__LINE__, Number(2.675), "0.00", "2.68"},
      {__LINE__, Number(0.125), "0.00", "0.13"},
      // Placeholders, literals, grouping and scaling.
      {__LINE__, Number(0), "#", ""},
      {__LINE__, Number(0), "#.##", "."},
      {__LINE__, Number(0), "0.00", "0.00"},
      {__LINE__, Number(7), "\"No. \"000", "No. 007"},
      {__LINE__, Number(1234567), "#,##0", "1,234,567"},
      {__LINE__, Number(1234567), "#,##0,", "1,235"},
      {__LINE__, Number(1234567), "0,,.0", "1.2"},
      {__LINE__, Number(1234567), "0.0,,", "1234567.0"},  // only left of the point
      {__LINE__, Number(-5), "$#,##0", "-$5"},
      {__LINE__, Number(0.256), "0.0%", "25.6%"},
      {__LINE__, Number(12345), "0.00E+00", "1.23E+04"},
      {__LINE__, Number(0.00012345), "0.00e-00", "1.23e-04"},
      // Sections: positive; negative; zero; Null.
      {__LINE__, Number(-5), "0;(0)", "(5)"},
      {__LINE__, Number(0), "0;(0)", "0"},
      {__LINE__, Number(0), "0;(0);\\z\\e\\r\\o", "zero"},
      {__LINE__, Number(-5), "0;;\\z", "-5"},
      {__LINE__, Variant::MakeNull(), "0;(0);\\z;\\n\\u\\l\\l", "null"},
      {__LINE__, Variant::MakeNull(), "0.00", ""},
      {__LINE__, Variant::MakeEmpty(), "0.00", "0.00"},
      // Booleans count as -1 and 0.
      {__LINE__, Variant::FromBoolean(true), "0", "-1"},
      {__LINE__, Variant::FromBoolean(true), "Yes/No", "Yes"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(Format, DateMasks) {
  const Variant when = Date(2014, 3, 28, 14, 5, 9);
  const Case cases[] = {
      {__LINE__, Date(1975, 3, 28), "yyyymmdd", "19750328"},
      {__LINE__, Date(1975, 3, 28), "mm/dd/yyyy", "03/28/1975"},
      {__LINE__, when, "m/d/yy h:n:s", "3/28/14 14:5:9"},
      {__LINE__, when, "dddd, mmmm d", "Friday, March 28"},
      {__LINE__, when, "ddd mmm", "Fri Mar"},
      {__LINE__, when, "hh:mm AM/PM", "02:05 PM"},
      {__LINE__, when, "h:mm a/p", "2:05 p"},
      {__LINE__, when, "hh:mm ampm", "02:05 PM"},
      {__LINE__, when, "q y w ww", "1 87 6 13"},
      {__LINE__, when, "ddddd ttttt", "3/28/2014 2:05:09 PM"},
      {__LINE__, when, "c", "3/28/2014 2:05:09 PM"},
      {__LINE__, when, "mm \\m\\m mm", "03 mm 03"},
      {__LINE__, when, "$$yy", "$$14"},
      // m is the minute only right after an hour.
      {__LINE__, when, "hh mm", "14 05"},
      {__LINE__, when, "mm hh", "03 14"},
      {__LINE__, Date(1899, 12, 30, 0, 0, 0), "General Date", "12:00:00 AM"},
      {__LINE__, when, "Short Date", "3/28/2014"},
      {__LINE__, when, "Medium Date", "28-Mar-14"},
      {__LINE__, when, "Short Time", "14:05"},
      {__LINE__, when, "long time", "2:05:09 PM"},
      // A number with a date mask is a serial; one outside the calendar
      // prints in its general form.
      {__LINE__, Number(2.5), "yyyy-mm-dd hh:nn", "1900-01-01 12:00"},
      {__LINE__, Number(1e10), "yyyy", "10000000000"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(Format, TextMasks) {
  const Case cases[] = {
      {__LINE__, Text("ab"), "@@@@", "  ab"},
      {__LINE__, Text("ab"), "&&&&", "ab"},
      {__LINE__, Text("ab"), "!@@@@", "ab  "},
      {__LINE__, Text("abcdef"), "@@-@@", "ab-cdef"},
      {__LINE__, Text("Smith"), ">@", "SMITH"},
      {__LINE__, Text("\xC3\x89t\xC3\xA9"), "<&&&", "\xC3\xA9t\xC3\xA9"},  // Été -> été
      {__LINE__, Text("\xC3\xA9t\xC3\xA9"), "@@@@", " \xC3\xA9t\xC3\xA9"},
      {__LINE__, Text(""), "@;\\n\\o\\n\\e", "none"},
      {__LINE__, Number(1.5), "@@@@", " 1.5"},
      {__LINE__, Text("x"), "\"[\"@\"]\"", "[x]"},
  };
  for (const Case& c : cases) Check(c);
}

// What a mask does with values and masks it was not made for.
TEST(Format, UnusualInputs) {
  const Case cases[] = {
      {__LINE__, Text("abc"), "", "abc"},
      {__LINE__, Number(1.5), "", "1.5"},
      {__LINE__, Number(1e15), "", "1E+15"},
      {__LINE__, Number(1e-12), "", "1E-12"},
      {__LINE__, Text("hello"), "foo", "foohello"},  // no placeholder: a text mask
      {__LINE__, Number(5), "foo", "foo"},           // ... and a number mask for numbers
      {__LINE__, Text("x"), "\"unterminated", "unterminatedx"},
      {__LINE__, Number(5), "0\\", "5"},
      {__LINE__, Text("5"), "GENERAL NUMBER", "5"},
      {__LINE__, Number(1.25), "Fixed", "1.25"},
  };
  for (const Case& c : cases) Check(c);
  // More than four sections is an invalid argument, as in the runtime.
  try {
    Format(Number(1), "0;0;0;0;0");
    ADD_FAILURE() << "five sections accepted";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), platform::err::kInvalidProcedureCall);
  }
}

TEST(Format, TextOverloadMatchesTextVariant) {
  const char* masks[] = {"0.00", "&&/&&/&&", "yyyymmdd", "@@@", ""};
  const char* values[] = {"1234.5", "032814", "03/28/1975", "x"};
  for (const char* mask : masks)
    for (const char* value : values)
      EXPECT_EQ(Format(std::string_view(value), mask), Format(Text(value), mask))
          << value << " / " << mask;
}

TEST(Format, GeneralDateForm) {
  struct DateCase {
    int line;
    Variant value;
    std::string expected;
  };
  const DateCase cases[] = {
      {__LINE__, Date(2014, 3, 28, 14, 5, 9), "3/28/2014 2:05:09 PM"},
      {__LINE__, Date(2014, 3, 28), "3/28/2014"},
      {__LINE__, Date(1899, 12, 30, 0, 0, 1), "12:00:01 AM"},
      {__LINE__, Date(1765, 4, 24, 5, 45, 36), "4/24/1765 5:45:36 AM"},
      {__LINE__, Date(9999, 12, 31, 23, 59, 59), "12/31/9999 11:59:59 PM"},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(platform::FormatGeneralDate(platform::OleDate{c.value.number}), c.expected);
    EXPECT_EQ(Format(c.value), c.expected);
  }
}

}  // namespace
