// What is parsed or worked out once and reused must give what working it
// out every time gives: the values of a mapping set without the list,
// condition operands parsed when they are set (and a constant right-hand
// operand read once), and the texts of date/time parts kept per instant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field_test_helpers.h"
#include "host/tessel/name_value_list.h"
#include "mapping/conditions.h"
#include "mapping/field_mapping.h"
#include "mapping/field_mappings.h"
#include "mapping/field_modifiers.h"
#include "platform/date_text.h"
#include "platform/format.h"

namespace marrow {
namespace {

tessel::NameValueList Fields(const char* text) {
  tessel::NameValueList list;
  list.AddFromString(text, ";", "=");
  return list;
}

TEST(ExpressionReuse, TranslateValuesGivesTheValuesOfTranslateFields) {
  struct Row {
    int line;
    const char* mappings;
    const char* input;
  } rows[] = {
      {__LINE__, "A=[X];B=lit[Y:trim]", "X=1;Y=  2  "},
      {__LINE__, "Name=[Last:trim,format{>}], [First];Id=[Id:strip{- }]",
       "Last= doe ;First=Jane;Id=12-34 5"},
      {__LINE__, "_newLineChar=[NL];_outputString=a~b~c", "NL=cr;Replace_1=~|*~"},
      {__LINE__, "Amt=[Amt:numeric{0.00}];Day=[D:date{ccyymmdd}];Sex=[S:lookup{M:1|*:9}]",
       "Amt=12.5;D=03/28/1975;S=F"},
      {__LINE__, "Missing=[Nothing:trim];Empty=", "X=1"},
      {__LINE__, "", "X=1"},
  };
  std::vector<std::string> values;  // reused from row to row
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldMappings set;
    set.AddFromString(row.mappings);
    const tessel::NameValueList input = Fields(row.input);
    const tessel::NameValueList expected = set.TranslateFields(input, false);
    set.TranslateValues(input, values);
    ASSERT_GE(values.size(), static_cast<std::size_t>(set.Count()));
    std::size_t i = 0;
    for (const FieldMapping& mapping : set) {
      EXPECT_EQ(values[i++], expected.ValueOr(mapping.Name(), "<none>")) << mapping.Name();
    }
  }
}

Condition MakeCondition(const std::string& operand1, enumConditionals op,
                        const std::string& operand2) {
  Condition condition;
  condition.SetOperand1(operand1);
  condition.SetOperator(op);
  condition.SetOperand2(operand2);
  return condition;
}

TEST(ExpressionReuse, AnOperandThatDoesNotParseFailsOnlyWhenItIsNeeded) {
  const std::string bad = "[A:lefttrim{x}]";  // error 13 when parsed
  struct Row {
    int line;
    std::string operand1;
    std::string operand2;
    const char* input;
    bool expected;
  } rows[] = {
      // The first operand names a field: it is not evaluated.
      {__LINE__, bad, "v", "[A:lefttrim{x}]=v", true},
      {__LINE__, bad, "v", "A=v", false},
      {__LINE__, "A", bad, "A=v", false},
      {__LINE__, "A", "[B]", "A=v;B=v", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(MakeCondition(row.operand1, condEquals, row.operand2).Evaluate(Fields(row.input)),
              row.expected);
  }
  // Setting an operand again parses it again.
  Condition condition = MakeCondition("A", condEquals, bad);
  EXPECT_FALSE(condition.Evaluate(Fields("A=v")));
  condition.SetOperand2("v");
  EXPECT_TRUE(condition.Evaluate(Fields("A=v")));
  condition.SetOperand1(bad);
  EXPECT_FALSE(condition.Evaluate(Fields("A=v")));
}

TEST(ExpressionReuse, AConstantRightOperandComparesAsTheSameValueFromAField) {
  const std::vector<std::string> lefts = {"9",          "10",         "10.5",   "-3", "abc",
                                          "12/31/2023", "03/01/2024", "3/1/24", "",   " 9",
                                          "1E3",        "$5",         "10:30",  "Abc"};
  const std::vector<std::string> rights = {"9",   "10.5",  "03/01/2024", "abc", "",
                                           "0x1", "1,000", "12:00 PM",   "ABC"};
  const enumConditionals ops[] = {condEquals,   condNotEquals,       condGreaterThan,
                                  condLessThan, condLessThanOrEqual, condGreaterThanOrEqual};
  for (const std::string& right : rights) {
    for (const std::string& left : lefts) {
      for (enumConditionals op : ops) {
        SCOPED_TRACE(left + " " + std::to_string(op) + " " + right);
        tessel::NameValueList input;
        input.Add("L", left);
        input.Add("R", right);
        // "[R]" is evaluated every time; the literal is read once.
        const bool fromField = MakeCondition("L", op, "[R]").Evaluate(input);
        EXPECT_EQ(MakeCondition("L", op, right).Evaluate(input), fromField);
        Condition text = MakeCondition("L", op, right);
        text.SetCompareMode(vbTextCompare);
        Condition textFromField = MakeCondition("L", op, "[R]");
        textFromField.SetCompareMode(vbTextCompare);
        EXPECT_EQ(text.Evaluate(input), textFromField.Evaluate(input));
      }
    }
  }
}

TEST(ExpressionReuse, DateAndTimeTextsFollowTheInstantAndTheFormat) {
  // More formats than texts are kept, so that they push each other out.
  const std::vector<std::string> formats = {"yyyymmdd", "hhnn",  "yymmdd", "ccyymmdd",
                                            "mm/dd/yy", "ss",    "nn",     "dd",
                                            "yyyy",     "hh:nn", "mmdd",   "yyyy-mm-dd"};
  std::string mappings;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    mappings += "F" + std::to_string(i) + "=[date:" + formats[i] + "];";
  }
  FieldMappings set;
  set.AddFromString(mappings);
  const platform::DateParts instants[] = {{2024, 3, 1, 10, 30, 5},
                                          {2024, 3, 1, 10, 30, 6},
                                          {1999, 12, 31, 23, 59, 59},
                                          {2024, 3, 1, 10, 30, 5}};
  for (const platform::DateParts& when : instants) {
    SCOPED_TRACE(when.year * 10000 + when.second);
    testing::ScopedFixedClock clock(when);
    const tessel::NameValueList out = set.TranslateFields({});
    for (std::size_t i = 0; i < formats.size(); ++i) {
      // The same as formatting the instant directly.
      EXPECT_EQ(out.ValueOr("F" + std::to_string(i)),
                FormatDateValue(platform::FormatGeneralDate(platform::MakeDate(when)), formats[i]))
          << formats[i];
    }
  }
}

}  // namespace
}  // namespace marrow
