// Conditions evaluated against field lists: operand resolution, the
// left-to-right combination, and failures that turn into false.
#include <gtest/gtest.h>

#include <string>

#include "host/tessel/name_value_list.h"
#include "mapping/conditions.h"
#include "platform/error.h"

namespace marrow {
namespace {

tessel::NameValueList Fields(const char* text) {
  tessel::NameValueList list;
  list.AddFromString(text, ";", "=");
  return list;
}

TEST(ConditionEvaluate, SettersClampOutOfRangeValuesToTheDefaults) {
  const struct {
    int line;
    std::int32_t op, connector, mode;
    enumConditionals expectedOp;
    enumConditionalConnectors expectedConnector;
    CompareMethod expectedMode;
  } rows[] = {
      {__LINE__, 14, 1, 1, condNotLike, condOr, vbTextCompare},
      {__LINE__, 15, 2, 2, condEquals, condAnd, vbBinaryCompare},
      {__LINE__, -1, -1, -1, condEquals, condAnd, vbBinaryCompare},
      {__LINE__, 7, 0, 0, condGreaterThanOrEqual, condAnd, vbBinaryCompare},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Condition c;
    c.SetOperator(condIsBlank);
    c.SetConnector(condOr);
    c.SetCompareMode(vbTextCompare);
    c.SetOperator(row.op);
    c.SetConnector(row.connector);
    c.SetCompareMode(row.mode);
    EXPECT_EQ(c.Operator(), row.expectedOp);
    EXPECT_EQ(c.Connector(), row.expectedConnector);
    EXPECT_EQ(c.CompareMode(), row.expectedMode);
  }
  const Condition fresh;
  EXPECT_EQ(fresh.Operand1(), "");
  EXPECT_EQ(fresh.Operator(), condEquals);
  EXPECT_EQ(fresh.Operand2(), "");
  EXPECT_EQ(fresh.Connector(), condAnd);
  EXPECT_EQ(fresh.CompareMode(), vbBinaryCompare);
}

TEST(ConditionEvaluate, OperandsResolveAsFieldNameOrExpression) {
  const struct {
    int line;
    const char* operand1;
    enumConditionals op;
    const char* operand2;
    const char* fields;
    bool expected;
  } rows[] = {
      // Operand1 names a field
      {__LINE__, "Payer", condEquals, "ACME", "Payer=ACME", true},
      {__LINE__, "payer", condEquals, "ACME", "Payer=ACME", true},  // names ignore case
      // no such field: Operand1 is an expression, here a literal
      {__LINE__, "Payer", condEquals, "Payer", "Other=1", true},
      {__LINE__, "Payer", condEquals, "ACME", "Other=1", false},
      // expression with a field reference on either side
      {__LINE__, "[A][B]", condEquals, "12", "A=1;B=2", true},
      {__LINE__, "A", condEquals, "[B]", "A=2;B=2", true},
      {__LINE__, "A", condEquals, "[B]", "A=2;B=3", false},
      {__LINE__, "A", condEquals, "[Missing]", "A=", true},  // missing reference: empty
      {__LINE__, "[Missing]", condIsBlank, "", "A=1", true},
      {__LINE__, "A", condEquals, "x[comma]y", "A=x,y", true},
      // Operand2 is never taken as a field name
      {__LINE__, "A", condEquals, "B", "A=5;B=5", false},
      // the field's value is used unchanged, not as an expression
      {__LINE__, "A", condEquals, "[[B]", "A=[[B]", false},
      {__LINE__, "Code", condIsNotBlank, "", "Code=  ", false},
      {__LINE__, "[Code:trim]", condEquals, "x", "Code=  x  ", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Condition c;
    c.SetOperand1(row.operand1);
    c.SetOperator(row.op);
    c.SetOperand2(row.operand2);
    EXPECT_EQ(c.Evaluate(Fields(row.fields)), row.expected);
  }
}

TEST(ConditionEvaluate, PatternInAFieldReachesLikeUnchanged) {
  // A literal '[' in an expression opens a field reference, so a pattern
  // with a character list comes from a field.
  Condition c;
  c.SetOperand1("Code");
  c.SetOperator(condLike);
  c.SetOperand2("[Pattern]");
  EXPECT_TRUE(c.Evaluate(Fields("Code=B7;Pattern=[A-C]#")));
  EXPECT_FALSE(c.Evaluate(Fields("Code=D7;Pattern=[A-C]#")));
}

TEST(ConditionEvaluate, FailureGivesFalseEvenForNegatedOperators) {
  Condition c;
  c.SetOperand1("Code");
  c.SetOperator(condNotLike);
  c.SetOperand2("[Pattern]");
  // An invalid pattern fails the comparison: the result is false, not "not like".
  EXPECT_FALSE(c.Evaluate(Fields("Code=a;Pattern=[z-a]")));
  // A value expression that cannot be parsed (strict conversion) fails too.
  c.SetOperator(condNotEquals);
  c.SetOperand2("[Code:lefttrim{x}]");
  EXPECT_FALSE(c.Evaluate(Fields("Code=a")));
}

TEST(ConditionEvaluate, ListCombinesLeftToRightWithoutPrecedence) {
  const struct {
    int line;
    const char* conditions;
    const char* fields;
    bool expected;
  } rows[] = {
      {__LINE__, "", "A=1", true},  // an empty list holds
      {__LINE__, "and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=1;B=x;C=3", true},
      {__LINE__, "and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=x;B=2;C=x", false},
      // (false OR true) AND true; with precedence it would read false OR (true AND true)
      {__LINE__, "and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=x;B=2;C=3", true},
      // (true OR x) AND false: false, though "true OR (x AND false)" would hold
      {__LINE__, "and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=1;B=2;C=x", false},
      {__LINE__, "and|A|eq|1;and|B|eq|2", "A=1;B=3", false},
      {__LINE__, "and|A|eq|1;or|B|eq|2", "A=0;B=2", true},
      // the first condition's connector plays no part
      {__LINE__, "and|A|eq|1", "A=1", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Conditions list;
    list.AddFromString(row.conditions);
    EXPECT_EQ(list.Evaluate(Fields(row.fields)), row.expected);
  }
}

TEST(ConditionEvaluate, FirstConnectorIsIgnoredWhenSetDirectly) {
  Conditions list;
  list.Add("A", condEquals, "1", condOr);
  EXPECT_FALSE(list.Evaluate(Fields("A=2")));
  EXPECT_TRUE(list.Evaluate(Fields("A=1")));
}

TEST(ConditionEvaluate, OneFailingConditionFailsTheWholeList) {
  Conditions list;
  list.Add("A", condEquals, "1");
  list.Add("Code", condLike, "[Pattern]", condOr);  // invalid pattern: fails
  const tessel::NameValueList fields = Fields("A=1;Code=a;Pattern=[z-a]");
  // As a single condition it is merely false ...
  EXPECT_FALSE(list.Item(2)->Evaluate(fields));
  // ... but in a list its failure makes the list false, though A holds and
  // the connector is or.
  EXPECT_FALSE(list.Evaluate(fields));
}

TEST(ConditionEvaluate, EveryConditionIsEvaluatedWhateverTheRunningResult) {
  // A failure late in the list counts even after the result is already
  // false under and.
  Conditions list;
  list.Add("A", condEquals, "1");
  list.Add("A", condEquals, "2");
  list.Add("Code", condLike, "[Pattern]", condOr);
  list.Add("B", condIsBlank, "", condOr);
  EXPECT_TRUE(list.Evaluate(Fields("A=1;B=;Code=a;Pattern=a")));
  EXPECT_FALSE(list.Evaluate(Fields("A=1;B=;Code=a;Pattern=[z-a]")));
}

TEST(ConditionEvaluate, ItemSharesTheConditionAndRemoveChecksThePosition) {
  Conditions list;
  list.Add("A", condEquals, "1");
  list.Add("B", condEquals, "2");
  list.Item(1)->SetOperand2("9");
  EXPECT_EQ(list.ToString(), "and|A|equals|9;and|B|equals|2");
  EXPECT_EQ(list.Item(0), nullptr);
  EXPECT_EQ(list.Item(3), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);

  for (const std::int64_t bad : {std::int64_t{0}, std::int64_t{3}, std::int64_t{-5}}) {
    SCOPED_TRACE(bad);
    try {
      list.Remove(bad);
      FAIL() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), 5);
    }
    EXPECT_EQ(list.Count(), 2);
  }
  const auto kept = list.Item(1);
  list.Remove(1);
  EXPECT_EQ(list.ToString(), "and|B|equals|2");
  EXPECT_EQ(kept->Operand1(), "A");  // a holder keeps a removed condition
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.ToString(), "");
}

TEST(ConditionEvaluate, AddConvertsThroughTheSetters) {
  Conditions list;
  list.Add("A", 42, "x", 5, 9);
  const auto c = list.Item(1);
  EXPECT_EQ(c->Operator(), condEquals);
  EXPECT_EQ(c->Connector(), condAnd);
  EXPECT_EQ(c->CompareMode(), vbBinaryCompare);
  std::string order;
  list.Add("B", condLike, "y");
  for (const auto& item : list) order += item->Operand1();
  EXPECT_EQ(order, "AB");
}

}  // namespace
}  // namespace marrow
