// The comparison of resolved operand values: every operator in binary and in
// text mode, on plain texts.
#include <gtest/gtest.h>

#include <string>

#include "mapping/condition.h"
#include "platform/error.h"

namespace marrow {
namespace {

constexpr CompareMethod kBin = vbBinaryCompare;
constexpr CompareMethod kText = vbTextCompare;

struct OperatorCase {
  int line;
  enumConditionals op;
  CompareMethod mode;
  const char* left;
  const char* right;
  bool expected;
};

void CheckAll(const OperatorCase* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const OperatorCase& row = rows[i];
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": '" << row.left << "' "
                                    << Conditions::OperatorString(row.op) << " '" << row.right
                                    << "' mode " << row.mode);
    EXPECT_EQ(detail::ApplyOperator(row.op, row.mode, row.left, row.right), row.expected);
  }
}

TEST(ConditionOperators, OrderedComparisonDetectsNumbersAndDatesInBinaryMode) {
  const OperatorCase rows[] = {
      // numbers
      {__LINE__, condGreaterThan, kBin, "10", "9", true},
      {__LINE__, condGreaterThan, kText, "10", "9", false},  // text: '1' < '9'
      {__LINE__, condEquals, kBin, "1.0", "1", true},
      {__LINE__, condEquals, kText, "1.0", "1", false},
      {__LINE__, condLessThan, kBin, "-5", "3", true},
      {__LINE__, condLessThan, kBin, "2.5e1", "3e1", true},
      {__LINE__, condGreaterThanOrEqual, kBin, " 7 ", "7", true},  // blanks around a number
      {__LINE__, condLessThanOrEqual, kBin, "100", "20", false},
      {__LINE__, condNotEquals, kBin, "0.10", ".1", false},
      {__LINE__, condNotEquals, kBin, "10", "10a", true},  // one side not numeric: text
      {__LINE__, condGreaterThan, kBin, "10", "10a", false},
      // dates, month/day/year
      {__LINE__, condGreaterThan, kBin, "01/15/2024", "12/31/2023", true},
      {__LINE__, condGreaterThan, kText, "01/15/2024", "12/31/2023", false},
      {__LINE__, condEquals, kBin, "1/5/2024", "01/05/2024", true},
      {__LINE__, condLessThan, kBin, "12/31/2023", "1/1/2024", true},
      {__LINE__, condLessThan, kBin, "1/1/2024 9:00:00 AM", "1/1/2024 1:00:00 PM", true},
      // a number and a date: neither rule applies to both, so text order
      {__LINE__, condLessThan, kBin, "5", "1/1/2024", false},
      // plain texts by code unit
      {__LINE__, condLessThan, kBin, "abc", "abd", true},
      {__LINE__, condEquals, kBin, "ABC", "abc", false},
      {__LINE__, condLessThan, kBin, "ABC", "abc", true},  // upper case sorts first
      {__LINE__, condEquals, kText, "ABC", "abc", true},
      {__LINE__, condNotEquals, kText, "ABC", "abc", false},
      {__LINE__, condGreaterThan, kText, "B", "a", true},  // lower-cased: 'b' > 'a'
      {__LINE__, condGreaterThan, kBin, "B", "a", false},
      {__LINE__, condGreaterThanOrEqual, kText, "ÉCOLE", "école", true},  // Latin-1 folding
      {__LINE__, condLessThan, kBin, "ab", "abc", true},                  // a prefix sorts first
      {__LINE__, condLessThanOrEqual, kBin, "abc", "abc", true},
      // empty values are neither numbers nor dates
      {__LINE__, condEquals, kBin, "", "", true},
      {__LINE__, condLessThan, kBin, "", "0", true},
      {__LINE__, condEquals, kBin, "", "0", false},
      {__LINE__, condGreaterThan, kText, "a", "", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, CodeUnitOrderPutsSupplementaryCharactersBeforePrivateUse) {
  // U+1F600 is a surrogate pair (D83D DE00) and sorts before U+E000 and U+FF21
  // by code unit, though its code point is larger.
  const struct {
    int line;
    const char* a;
    const char* b;
    int expected;
  } rows[] = {
      {__LINE__, "\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
      {__LINE__, "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", 1},
      {__LINE__, "\xED\x9F\xBF", "\xF0\x9F\x98\x80", -1},  // U+D7FF is below the surrogates
      {__LINE__, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", -1},
      {__LINE__, "a\xC3\xA9", "a\xC3\xA9", 0},
      {__LINE__, "a", "a\xC3\xA9", -1},
      {__LINE__, "z", "\xC3\xA9", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const int order = detail::CompareCodeUnits(row.a, row.b);
    EXPECT_EQ((order > 0) - (order < 0), row.expected);
  }
}

TEST(ConditionOperators, BlankTestsIgnoreTheRightValue) {
  const OperatorCase rows[] = {
      {__LINE__, condIsBlank, kBin, "", "x", true},
      {__LINE__, condIsBlank, kBin, "   ", "", true},
      {__LINE__, condIsBlank, kBin, "\t", "", false},  // only U+0020 is a blank
      {__LINE__, condIsBlank, kText, " a ", "", false},
      {__LINE__, condIsNotBlank, kBin, " a ", "", true},
      {__LINE__, condIsNotBlank, kText, "  ", "zzz", false},
      {__LINE__, condIsNotBlank, kBin, "\t", "", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, StartsAndEndsWithCompareAsManyCharactersAsTheRightValueHas) {
  const OperatorCase rows[] = {
      {__LINE__, condStartsWith, kBin, "UB04-A", "UB04", true},
      {__LINE__, condStartsWith, kBin, "ub04-A", "UB04", false},
      {__LINE__, condStartsWith, kText, "ub04-A", "UB04", true},
      {__LINE__, condStartsWith, kBin, "UB", "UB04", false},  // L shorter than R
      {__LINE__, condStartsWith, kBin, "anything", "", true},
      {__LINE__, condStartsWith, kBin, "", "", true},
      {__LINE__, condStartsWith, kBin, "éa", "é", true},  // counts characters, not bytes
      {__LINE__, condStartsWith, kText, "Ébc", "é", true},
      {__LINE__, condEndsWith, kBin, "claim.837", ".837", true},
      {__LINE__, condEndsWith, kBin, "CLAIM.TXT", ".txt", false},
      {__LINE__, condEndsWith, kText, "CLAIM.TXT", ".txt", true},
      {__LINE__, condEndsWith, kBin, "xt", "txt", false},
      {__LINE__, condEndsWith, kBin, "abc", "", true},
      {__LINE__, condEndsWith, kBin, "caféé", "éé", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, ContainsIsFalseForAnEmptyLeftValue) {
  const OperatorCase rows[] = {
      {__LINE__, condContains, kBin, "", "", false},
      {__LINE__, condContains, kText, "", "", false},
      {__LINE__, condContains, kBin, "", "a", false},
      {__LINE__, condContains, kBin, "abc", "", true},
      {__LINE__, condContains, kBin, "Medicare Part B", "Part", true},
      {__LINE__, condContains, kBin, "Medicare Part B", "part", false},
      {__LINE__, condContains, kText, "Medicare Part B", "PART", true},
      {__LINE__, condContains, kText, "CAFÉ", "é", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, ListOperatorsLookForTheWholeItemWithoutTrimming) {
  const OperatorCase rows[] = {
      {__LINE__, condInList, kBin, "B", "A,B,C", true},
      {__LINE__, condInList, kBin, "A", "A,B,C", true},  // first item
      {__LINE__, condInList, kBin, "C", "A,B,C", true},  // last item
      {__LINE__, condInList, kBin, "B ", "A,B,C", false},
      {__LINE__, condInList, kBin, "B", "A, B", false},  // the item is ' B'
      {__LINE__, condInList, kBin, " B", "A, B", true},
      {__LINE__, condInList, kBin, "b", "A,B,C", false},
      {__LINE__, condInList, kText, "b", "A,B,C", true},
      {__LINE__, condInList, kBin, "AB", "A,B", false},    // no partial items
      {__LINE__, condInList, kBin, "A,B", "A,B,C", true},  // a run of items counts
      {__LINE__, condInList, kBin, "", "A,,B", false},     // empty L is never in a list
      {__LINE__, condInList, kBin, "A", "", false},
      {__LINE__, condNotInList, kBin, "", "A,B", true},
      {__LINE__, condNotInList, kText, "", "", true},
      {__LINE__, condNotInList, kBin, "D", "A,B,C", true},
      {__LINE__, condNotInList, kBin, "B", "A,B,C", false},
      {__LINE__, condNotInList, kBin, "b", "A,B,C", true},
      {__LINE__, condNotInList, kText, "b", "A,B,C", false},
      {__LINE__, condNotInList, kBin, "B", "A, B", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, LikeMatchesCaseSensitivelyInBothModes) {
  const OperatorCase rows[] = {
      {__LINE__, condLike, kBin, "UB04", "UB##", true},
      {__LINE__, condLike, kBin, "UB0A", "UB##", false},
      {__LINE__, condLike, kBin, "ub04", "UB*", false},
      {__LINE__, condLike, kText, "ub04", "UB*", false},  // text mode does not fold Like
      {__LINE__, condLike, kBin, "CMS1500", "CMS*", true},
      {__LINE__, condLike, kBin, "A1", "[A-C]?", true},
      {__LINE__, condLike, kBin, "D1", "[!A-C]?", true},
      {__LINE__, condLike, kBin, "", "*", true},
      {__LINE__, condLike, kBin, "abc", "ab", false},  // the whole text must match
      {__LINE__, condNotLike, kBin, "ub04", "UB*", true},
      {__LINE__, condNotLike, kText, "UB04", "UB*", false},
      {__LINE__, condNotLike, kBin, "", "?", true},
  };
  CheckAll(rows, std::size(rows));
}

TEST(ConditionOperators, InvalidLikePatternRaisesForTheCallerToTurnIntoFalse) {
  // A descending range is not a valid pattern.
  EXPECT_THROW(detail::ApplyOperator(condLike, kBin, "a", "[z-a]"), platform::Error);
  EXPECT_THROW(detail::ApplyOperator(condNotLike, kBin, "a", "[z-a]"), platform::Error);
}

}  // namespace
}  // namespace marrow
