// The text form of condition lists and the operator and connector texts.
#include <gtest/gtest.h>

#include <string>

#include "mapping/conditions.h"
#include "platform/error.h"

namespace marrow {
namespace {

TEST(ConditionsText, ParseOperatorAcceptsEverySpellingIgnoringCaseAndBlanks) {
  const struct {
    int line;
    const char* text;
    enumConditionals expected;
  } rows[] = {
      {__LINE__, "equals", condEquals},
      {__LINE__, "EQ", condEquals},
      {__LINE__, "=", condEquals},
      {__LINE__, "not equals", condNotEquals},
      {__LINE__, "Not Equal", condNotEquals},
      {__LINE__, "ne", condNotEquals},
      {__LINE__, "<>", condNotEquals},
      {__LINE__, "!=", condNotEquals},
      {__LINE__, "< >", condNotEquals},  // blanks go before the lookup
      {__LINE__, "is blank", condIsBlank},
      {__LINE__, "IB", condIsBlank},
      {__LINE__, "is not blank", condIsNotBlank},
      {__LINE__, "inb", condIsNotBlank},
      {__LINE__, "Starts With", condStartsWith},
      {__LINE__, "sw", condStartsWith},
      {__LINE__, "ends with", condEndsWith},
      {__LINE__, "ew", condEndsWith},
      {__LINE__, "greater than", condGreaterThan},
      {__LINE__, "gt", condGreaterThan},
      {__LINE__, ">", condGreaterThan},
      {__LINE__, "Greater Than Or Equal", condGreaterThanOrEqual},
      {__LINE__, "GTE", condGreaterThanOrEqual},
      {__LINE__, ">=", condGreaterThanOrEqual},
      {__LINE__, "=>", condGreaterThanOrEqual},
      {__LINE__, "less than", condLessThan},
      {__LINE__, "lt", condLessThan},
      {__LINE__, "<", condLessThan},
      {__LINE__, "lessthanorequal", condLessThanOrEqual},
      {__LINE__, "lte", condLessThanOrEqual},
      {__LINE__, "<=", condLessThanOrEqual},
      {__LINE__, "=<", condLessThanOrEqual},
      {__LINE__, "contains", condContains},
      {__LINE__, "co", condContains},
      {__LINE__, "in list", condInList},
      {__LINE__, "il", condInList},
      {__LINE__, "Not In List", condNotInList},
      {__LINE__, "nil", condNotInList},
      {__LINE__, "like", condLike},
      {__LINE__, "li", condLike},
      {__LINE__, "not like", condNotLike},
      {__LINE__, "NL", condNotLike},
      // unrecognised text
      {__LINE__, "between", condEquals},
      {__LINE__, "", condEquals},
      {__LINE__, "is\tblank", condEquals},  // a tab is not removed
      {__LINE__, "greater", condEquals},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": '" << row.text << "'");
    EXPECT_EQ(Conditions::ParseOperator(row.text), row.expected);
  }
}

TEST(ConditionsText, OperatorStringAndNormalizeOperatorDifferForNotEquals) {
  const struct {
    int line;
    std::int32_t op;
    const char* shortForm;
    const char* longForm;
  } rows[] = {
      {__LINE__, condEquals, "=", "equals"},
      {__LINE__, condNotEquals, "<>", "not equal"},
      {__LINE__, condIsBlank, "is blank", "is blank"},
      {__LINE__, condIsNotBlank, "is not blank", "is not blank"},
      {__LINE__, condStartsWith, "starts with", "starts with"},
      {__LINE__, condEndsWith, "ends with", "ends with"},
      {__LINE__, condGreaterThan, ">", "greater than"},
      {__LINE__, condGreaterThanOrEqual, ">=", "greater than or equal"},
      {__LINE__, condLessThan, "<", "less than"},
      {__LINE__, condLessThanOrEqual, "<=", "less than or equal"},
      {__LINE__, condContains, "contains", "contains"},
      {__LINE__, condInList, "in list", "in list"},
      {__LINE__, condNotInList, "not in list", "not in list"},
      {__LINE__, condLike, "like", "like"},
      {__LINE__, condNotLike, "not like", "not like"},
      {__LINE__, 15, "=", "="},  // out of range: "=" in both forms
      {__LINE__, -1, "=", "="},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Conditions::OperatorString(row.op, true), row.shortForm);
    EXPECT_EQ(Conditions::OperatorString(row.op, false), row.longForm);
    if (row.op >= 0 && row.op <= 14) {
      // Normalising a printed form gives the form back, except that the long
      // form of not-equals reads "not equals" there.
      const std::string expectedLong = row.op == condNotEquals ? "not equals" : row.longForm;
      EXPECT_EQ(Conditions::NormalizeOperator(row.longForm, false), expectedLong);
      EXPECT_EQ(Conditions::NormalizeOperator(row.longForm, true), row.shortForm);
      EXPECT_EQ(Conditions::NormalizeOperator(row.shortForm, false), expectedLong);
    }
  }
  EXPECT_EQ(Conditions::NormalizeOperator("ne"), "not equals");
  EXPECT_EQ(Conditions::NormalizeOperator("ne", true), "<>");
  EXPECT_EQ(Conditions::NormalizeOperator("between"), "equals");
  EXPECT_EQ(Conditions::NormalizeOperator("between", true), "=");
}

TEST(ConditionsText, ConnectorTexts) {
  const struct {
    int line;
    const char* text;
    enumConditionalConnectors expected;
  } rows[] = {
      {__LINE__, "and", condAnd},  {__LINE__, "or", condOr},    {__LINE__, "OR", condOr},
      {__LINE__, " o r ", condOr}, {__LINE__, "Or", condOr},    {__LINE__, "", condAnd},
      {__LINE__, "xor", condAnd},  {__LINE__, "or\t", condAnd}, {__LINE__, "||", condAnd},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Conditions::ParseConnector(row.text), row.expected);
    EXPECT_EQ(Conditions::NormalizeConnector(row.text), row.expected == condOr ? "or" : "and");
  }
  EXPECT_EQ(Conditions::ConnectorString(condOr), "or");
  EXPECT_EQ(Conditions::ConnectorString(condAnd), "and");
  EXPECT_EQ(Conditions::ConnectorString(7), "and");
}

TEST(ConditionsText, AddFromStringThenToString) {
  const struct {
    int line;
    const char* input;
    const char* longForm;  // ToString() after AddFromString(input)
    const char* shortForm;
  } rows[] = {
      {__LINE__, "", "", ""},
      {__LINE__, "    ", "", ""},
      {__LINE__, "and|FormType|eq|UB04;or|Payer|is blank|",
       "and|FormType|equals|UB04;or|Payer|is blank|", "and|FormType|=|UB04;or|Payer|is blank|"},
      // the connector of the first accepted piece is ignored
      {__LINE__, "or|A|eq|1", "and|A|equals|1", "and|A|=|1"},
      // a piece skipped before it does not count as first
      {__LINE__, "junk;or|A|eq|1;or|B|ne|2", "and|A|equals|1;or|B|not equal|2",
       "and|A|=|1;or|B|<>|2"},
      // three-part pieces are accepted for the blank tests
      {__LINE__, "and|A|is blank", "and|A|is blank|", "and|A|is blank|"},
      {__LINE__, "and|A|inb;and|B|ib|ignored", "and|A|is not blank|;and|B|is blank|",
       "and|A|is not blank|;and|B|is blank|"},
      // skipped: two parts, five parts, an empty operand, an empty operator
      {__LINE__, "and|A;and|B|eq|1|x;and| |eq|1;and|C|  |1;and|D|gt|5", "and|D|greater than|5",
       "and|D|>|5"},
      // empty pieces between delimiters are skipped
      {__LINE__, ";;and|A|eq|1;;", "and|A|equals|1", "and|A|=|1"},
      // operands and the second part of a piece are trimmed of blanks only
      {__LINE__, "and|  A  |  gte  |  10  ", "and|A|greater than or equal|10", "and|A|>=|10"},
      {__LINE__, "and|\tA|eq|1\t", "and|\tA|equals|1\t", "and|\tA|=|1\t"},
      // unrecognised operator text gives equals, unrecognised connector and
      {__LINE__, "and|A|between|1;xor|B|eq|2", "and|A|equals|1;and|B|equals|2",
       "and|A|=|1;and|B|=|2"},
      // a blank test drops a given second operand
      {__LINE__, "and|A|is blank|x", "and|A|is blank|", "and|A|is blank|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": '" << row.input << "'");
    Conditions list;
    list.AddFromString(row.input);
    EXPECT_EQ(list.ToString(), row.longForm);
    EXPECT_EQ(list.ToString(true), row.shortForm);
  }
}

TEST(ConditionsText, OtherDelimiters) {
  Conditions list;
  list.AddFromString("and~A~eq~1 // or~B~lt~2", " // ", "~");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ToString(false, "\n", ":"), "and:A:equals:1\nor:B:less than:2");
  // An empty part delimiter leaves whole pieces, which are skipped.
  list.AddFromString("and|A|eq|1", ";", "");
  EXPECT_EQ(list.Count(), 0);
  // An empty condition delimiter takes the whole text as one piece.
  list.AddFromString("and|A|eq|1;x", "", "|");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(1)->Operand2(), "1;x");
}

TEST(ConditionsText, AddFromStringReplacesTheContentsAndLeavesCompareModeBinary) {
  Conditions list;
  list.Add("X", condLike, "a*", condOr, vbTextCompare);
  list.AddFromString("and|A|eq|1;or|B|sw|2");
  ASSERT_EQ(list.Count(), 2);
  const auto second = list.Item(2);
  EXPECT_EQ(second->Operand1(), "B");
  EXPECT_EQ(second->Operator(), condStartsWith);
  EXPECT_EQ(second->Operand2(), "2");
  EXPECT_EQ(second->Connector(), condOr);
  EXPECT_EQ(second->CompareMode(), vbBinaryCompare);
}

TEST(ConditionsText, ThreePartPieceWithAnotherOperatorFailsKeepingEarlierConditions) {
  Conditions list;
  try {
    list.AddFromString("and|A|eq|1;or|B|is blank;and|C|eq;and|D|eq|4");
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 9);
  }
  EXPECT_EQ(list.ToString(), "and|A|equals|1;or|B|is blank|");
}

TEST(ConditionsText, ToStringEscapesNothing) {
  Conditions list;
  list.Add("A|B", condEquals, "1;2");
  list.Add("C", 99, "", condOr);
  EXPECT_EQ(list.ToString(), "and|A|B|equals|1;2;or|C|equals|");
}

}  // namespace
}  // namespace marrow
