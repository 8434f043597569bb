// The layer against the reference cases collected from other implementations
// of the classic runtime (shared/platform-cases). Every row is checked except
// those in the skip lists below, each with its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>

#include "platform/clock.h"
#include "platform/date_text.h"
#include "platform/error.h"
#include "platform/format.h"
#include "platform/like.h"
#include "platform/number_text.h"
#include "reference_cases.h"

namespace {

using reference_cases::Load;
using reference_cases::Row;
using reference_cases::Table;

// A skipped row: the file and the first two columns identify it.
struct Skip {
  const char* file;
  const char* first;
  const char* second;
  const char* reason;
};

const Skip kSkips[] = {
    // LibreOffice Basic mode (not its VBA mode) places the whole text at the
    // one placeholder. The runtime appends the characters that do not fit the
    // placeholders after the last token ("@\x" on "testing" gives
    // "txesting", checked on Windows), which would give "foo b baraz".
    {"format-libreoffice.tsv", "string:baz", "foo @ bar",
     "LibreOffice Basic mode contradicts the checked placement of surplus characters"},
    // An old compiler test of mono-basic reads a "!" inside a list as
    // negating the items after it. LibreOffice's VBA and Basic tests both
    // take such a "!" as an ordinary character ("!" Like "[.!?]" is true),
    // which is the rule of the layer.
    {"like-mono.tsv", "p", "[a-f!567o-z]",
     "a '!' that does not open a list is a literal, not a negation of the rest"},
    // Round keeps the type of a Boolean argument; the layer's Round works on
    // Doubles only and nothing in the system rounds a Boolean.
    {"round-winevbscript.tsv", "Round", "boolean:true",
     "Round of a Boolean returns a Boolean; the layer rounds Doubles only"},
};

const Skip* FindSkip(const std::string& file, const std::string& first, const std::string& second) {
  for (const Skip& s : kSkips)
    if (file == s.file && first == s.first && second == s.second) return &s;
  return nullptr;
}

// Counts of one file, printed at the end of each test.
struct Tally {
  int checked = 0, skipped = 0;
};

// A fixed clock, so that dates without a year read in a known year.
class FixedClock final : public platform::Clock {
 public:
  explicit FixedClock(double serial) : serial_(serial) {}
  platform::OleDate Now() const override { return {serial_}; }

 private:
  double serial_;
};

constexpr int kClockYear = 2023;

class ReferenceCases : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::DateParts p;
    p.year = kClockYear;
    p.month = 6;
    p.day = 15;
    p.hour = 10;
    platform::SetClock(std::make_shared<FixedClock>(platform::MakeDate(p).serial));
  }
  void TearDown() override { platform::SetClock(nullptr); }

  // Runs `check` on every row of every file starting with `prefix`, skipping
  // listed rows; `first` and `second` name the columns that identify a row.
  void ForEachRow(const std::string& prefix, const std::string& first, const std::string& second,
                  const std::function<void(const Row&)>& check) {
    const auto files = reference_cases::FilesStartingWith(prefix);
    ASSERT_FALSE(files.empty()) << prefix;
    for (const std::string& file : files) {
      const Table table = Load(file);
      Tally tally;
      for (const Row& row : table.rows) {
        if (FindSkip(file, row[first], row[second]) != nullptr) {
          ++tally.skipped;
          continue;
        }
        SCOPED_TRACE(file + ":" + std::to_string(row.line));
        check(row);
        ++tally.checked;
      }
      std::printf("[ cases    ] %-28s %3zu rows, %3d checked, %2d skipped\n", file.c_str(),
                  table.rows.size(), tally.checked, tally.skipped);
    }
  }
};

// Runs `f` and describes its outcome as the reference files do: the result,
// "error:N" for a runtime error.
template <typename F>
std::string Outcome(F f) {
  try {
    return f();
  } catch (const platform::Error& e) {
    return "error:" + std::to_string(e.Number());
  }
}

bool ErrorMatches(const std::string& expected, const std::string& actual) {
  if (expected == "error") return actual.rfind("error:", 0) == 0;
  return expected == actual;
}

TEST_F(ReferenceCases, Format) {
  ForEachRow("format-", "input", "mask", [](const Row& row) {
    const auto typed = reference_cases::ParseTyped(row["input"]);
    const platform::Variant value = reference_cases::ToVariant(typed);
    const int firstDay = reference_cases::NoteNumber(row["note"], "firstdayofweek", 1);
    const int firstWeek = reference_cases::NoteNumber(row["note"], "firstweekofyear", 1);
    const std::string actual =
        Outcome([&] { return platform::Format(value, row["mask"], firstDay, firstWeek); });
    EXPECT_EQ(actual, row["expected"])
        << "Format(" << row["input"] << ", \"" << row["mask"] << "\")";
  });
}

TEST_F(ReferenceCases, DateTexts) {
  ForEachRow("isdate-", "text", "valid", [](const Row& row) {
    const auto date = platform::ReadDate(row["text"]);
    EXPECT_EQ(platform::IsDate(row["text"]), row["valid"] == "true") << row["text"];
    if (row["valid"] != "true") {
      EXPECT_FALSE(date.has_value()) << row["text"];
      return;
    }
    ASSERT_TRUE(date.has_value()) << row["text"];
    const double expected = reference_cases::SerialFromIso(row["expected"], kClockYear);
    EXPECT_NEAR(date->serial, expected, 0.5 / 86400) << row["text"] << " -> " << row["expected"];
  });
}

TEST_F(ReferenceCases, IsNumeric) {
  ForEachRow("isnumeric-", "input", "expected", [](const Row& row) {
    const platform::Variant v =
        reference_cases::ToVariant(reference_cases::ParseTyped(row["input"]));
    EXPECT_EQ(platform::IsNumeric(v), row["expected"] == "true") << row["input"];
  });
}

TEST_F(ReferenceCases, Val) {
  ForEachRow("val-", "text", "expected", [](const Row& row) {
    const std::string& expected = row["expected"];
    std::string actual;
    try {
      const double v = platform::Val(row["text"]);
      const double want = std::strtod(expected.c_str(), nullptr);
      actual = expected.rfind("error", 0) == 0 || v != want ? std::to_string(v) : expected;
    } catch (const platform::Error& e) {
      actual = "error:" + std::to_string(e.Number());
    }
    EXPECT_TRUE(expected == actual || ErrorMatches(expected, actual))
        << "Val(\"" << row["text"] << "\") = " << actual << ", expected " << expected;
  });
}

TEST_F(ReferenceCases, IntegerConversionsAndRound) {
  ForEachRow("round-", "function", "input", [](const Row& row) {
    const auto typed = reference_cases::ParseTyped(row["input"]);
    const platform::Variant v = reference_cases::ToVariant(typed);
    const std::string& function = row["function"];
    const std::string actual = Outcome([&]() -> std::string {
      if (function == "CInt") return std::to_string(platform::CInt(v));
      if (function == "CLng") return std::to_string(platform::CLng(v));
      if (function == "CByte") return std::to_string(platform::CByte(v));
      const int digits = typed.extras.count("digits") ? std::stoi(typed.extras.at("digits")) : 0;
      const double r = platform::Round(v.number, digits);
      return std::to_string(r);
    });
    const std::string& expected = row["expected"];
    if (function == "Round" && expected.rfind("error", 0) != 0) {
      EXPECT_DOUBLE_EQ(std::strtod(actual.c_str(), nullptr), std::strtod(expected.c_str(), nullptr))
          << function << "(" << row["input"] << ")";
    } else {
      EXPECT_TRUE(ErrorMatches(expected, actual))
          << function << "(" << row["input"] << ") = " << actual << ", expected " << expected;
    }
  });
}

TEST_F(ReferenceCases, Like) {
  ForEachRow("like-", "text", "pattern", [](const Row& row) {
    const bool textCompare = row["compare"] == "text";
    const std::string actual = Outcome([&]() -> std::string {
      return platform::Like(row["text"], row["pattern"], textCompare) ? "true" : "false";
    });
    EXPECT_TRUE(ErrorMatches(row["expected"], actual))
        << "\"" << row["text"] << "\" Like \"" << row["pattern"] << "\" = " << actual;
  });
}

}  // namespace
