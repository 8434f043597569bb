#include "platform/date_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/format.h"

namespace {

using platform::DateParts;
using platform::MakeDate;
using platform::ReadDate;

class FixedClock final : public platform::Clock {
 public:
  explicit FixedClock(platform::OleDate now) : now_(now) {}
  platform::OleDate Now() const override { return now_; }

 private:
  platform::OleDate now_;
};

DateParts Parts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateParts p;
  p.year = y, p.month = mo, p.day = d, p.hour = h, p.minute = mi, p.second = s;
  return p;
}

// Texts without a year take the year of the clock; the tests pin it to a leap
// year so that "2/29" reads.
class DateTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(std::make_shared<FixedClock>(MakeDate(Parts(2024, 7, 4, 9, 30))));
  }
  void TearDown() override { platform::SetClock(nullptr); }
};

struct ReadCase {
  int line;
  std::string text;
  bool valid;
  DateParts expected;
};

TEST_F(DateTextTest, ReadsDatesAsTheRuntime) {
  const ReadCase cases[] = {
      // The forms the mapping files write and the regional short date.
      {__LINE__, "03/28/2014", true, Parts(2014, 3, 28)},
      {__LINE__, "3/28/14", true, Parts(2014, 3, 28)},
      {__LINE__, "3/28/75", true, Parts(1975, 3, 28)},
      {__LINE__, "1/1/29", true, Parts(2029, 1, 1)},
      {__LINE__, "1/1/30", true, Parts(1930, 1, 1)},
      {__LINE__, "1/1/100", true, Parts(100, 1, 1)},
      {__LINE__, "1/1/99", true, Parts(1999, 1, 1)},
      {__LINE__, "3/28/2014 2:05:09 PM", true, Parts(2014, 3, 28, 14, 5, 9)},
      {__LINE__, "3/28/2014 14:05", true, Parts(2014, 3, 28, 14, 5)},
      {__LINE__, "2014-03-28", true, Parts(2014, 3, 28)},
      {__LINE__, "28/03/2014", true, Parts(2014, 3, 28)},  // day first when 28 is no month
      {__LINE__, "3-28-2014", true, Parts(2014, 3, 28)},
      {__LINE__, "3 28 2014", true, Parts(2014, 3, 28)},
      {__LINE__, "March 28, 2014", true, Parts(2014, 3, 28)},
      {__LINE__, "28 mar 2014", true, Parts(2014, 3, 28)},
      {__LINE__, "28-Mar-14", true, Parts(2014, 3, 28)},  // the medium date form
      {__LINE__, "2014 Mar 28", true, Parts(2014, 3, 28)},
      {__LINE__, "14 2 3", true, Parts(2014, 2, 3)},  // numbers: year first before day first
      {__LINE__, "Fri, Mar 28 2014", true, Parts(2014, 3, 28)},
      {__LINE__, "2/29", true, Parts(2024, 2, 29)},
      {__LINE__, "Mar 2014", true, Parts(2014, 3, 1)},
      {__LINE__, "12:30", true, Parts(1899, 12, 30, 12, 30)},
      {__LINE__, "12:30 am", true, Parts(1899, 12, 30, 0, 30)},
      {__LINE__, "7 pm", true, Parts(1899, 12, 30, 19)},
      {__LINE__, "7.15", true, Parts(1899, 12, 30, 7, 15)},
      // Not dates.
      {__LINE__, "", false, {}},
      {__LINE__, "   ", false, {}},
      {__LINE__, "2014", false, {}},
      {__LINE__, "1.0", false, {}},
      {__LINE__, "n/a", false, {}},
      {__LINE__, "2/30/2014", false, {}},
      {__LINE__, "2/29/2023", false, {}},
      {__LINE__, "13/13/2014", false, {}},
      {__LINE__, "1/1/10000", false, {}},
      {__LINE__, "3/28/2014 24:00", false, {}},
      {__LINE__, "3/28/2014 12:60", false, {}},
      {__LINE__, "1/2/3/4", false, {}},
      {__LINE__, "3/28/", false, {}},
      {__LINE__, "28.03.2014", false, {}},
      {__LINE__, "12:00:00.5", false, {}},
      {__LINE__, "1 2 3 4 5 6 7", false, {}},
      {__LINE__, "99999999999/1/1", false, {}},
      {__LINE__, "Marchy 1", false, {}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.text + "\"");
    const auto date = ReadDate(c.text);
    EXPECT_EQ(date.has_value(), c.valid);
    EXPECT_EQ(platform::IsDate(c.text), c.valid);
    if (date && c.valid) {
      EXPECT_DOUBLE_EQ(date->serial, MakeDate(c.expected).serial);
    }
  }
}

// What Format writes with the named date formats reads back as the same date.
TEST_F(DateTextTest, NamedDateFormsReadBack) {
  const DateParts dates[] = {Parts(2014, 3, 28, 14, 5, 9), Parts(1975, 12, 1, 0, 0, 1),
                             Parts(2029, 1, 31, 12, 30, 0), Parts(1930, 2, 28, 23, 59, 59)};
  const char* dateForms[] = {
      "General Date", "Long Date", "Medium Date", "Short Date", "c",
      "ddddd",        "dddddd",    "mm/dd/yyyy",  "yyyy-mm-dd", "d mmmm yyyy"};
  for (const DateParts& p : dates) {
    const platform::Variant value = platform::Variant::FromDate(MakeDate(p));
    for (const char* form : dateForms) {
      const std::string text = platform::Format(value, form);
      SCOPED_TRACE(std::string(form) + " -> " + text);
      const auto back = ReadDate(text);
      ASSERT_TRUE(back.has_value());
      const DateParts q = platform::SplitDate(*back);
      EXPECT_EQ(q.year, p.year);
      EXPECT_EQ(q.month, p.month);
      EXPECT_EQ(q.day, p.day);
    }
  }
}

TEST_F(DateTextTest, SplitAndMakeAreInverse) {
  const DateParts cases[] = {
      Parts(1899, 12, 30),
      Parts(1899, 12, 29, 6),
      Parts(1765, 4, 24, 5, 45, 36),
      Parts(100, 1, 1),
      Parts(9999, 12, 31, 23, 59, 59),
      Parts(2000, 2, 29, 12, 0, 1),
      Parts(1900, 3, 1, 0, 0, 59),
      Parts(2014, 3, 28, 14, 5, 9),
  };
  for (const DateParts& p : cases) {
    SCOPED_TRACE(std::to_string(p.year) + "-" + std::to_string(p.month) + "-" +
                 std::to_string(p.day));
    const DateParts back = platform::SplitDate(MakeDate(p));
    EXPECT_EQ(back.year, p.year);
    EXPECT_EQ(back.month, p.month);
    EXPECT_EQ(back.day, p.day);
    EXPECT_EQ(back.hour, p.hour);
    EXPECT_EQ(back.minute, p.minute);
    EXPECT_EQ(back.second, p.second);
  }
}

TEST_F(DateTextTest, SerialNumbersFollowTheOleConvention) {
  struct SerialCase {
    int line;
    DateParts parts;
    double serial;
  };
  const SerialCase cases[] = {
      {__LINE__, Parts(1899, 12, 30), 0.0},      {__LINE__, Parts(1900, 1, 1, 12), 2.5},
      {__LINE__, Parts(1899, 12, 29, 6), -1.25},  // the time still runs forward
      {__LINE__, Parts(2014, 3, 28), 41726.0},   {__LINE__, Parts(100, 1, 1), -657434.0},
  };
  for (const SerialCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_DOUBLE_EQ(MakeDate(c.parts).serial, c.serial);
  }
  // A time a hair before midnight rounds into the next day.
  const DateParts rounded = platform::SplitDate(platform::OleDate{41726.0 + 0.9999999});
  EXPECT_EQ(rounded.day, 29);
  EXPECT_EQ(rounded.hour, 0);
}

TEST_F(DateTextTest, ClockCanBeReplacedAndRestored) {
  EXPECT_DOUBLE_EQ(platform::CurrentClock().Now().serial,
                   MakeDate(Parts(2024, 7, 4, 9, 30)).serial);
  platform::SetClock(nullptr);
  const double now = platform::CurrentClock().Now().serial;
  EXPECT_GT(now, MakeDate(Parts(2024, 1, 1)).serial);  // the system clock again
  const DateParts p = platform::SplitDate(platform::CurrentClock().Now());
  EXPECT_GE(p.year, 2024);
}

}  // namespace
