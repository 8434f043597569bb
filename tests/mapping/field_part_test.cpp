// FieldPart::SetParameters: every keyword, the escapes, the number readings
// and the strict conversions with their failures.
#include <gtest/gtest.h>

#include <string>

#include "field_test_helpers.h"
#include "mapping/field_part.h"
#include "platform/error.h"

namespace marrow {
namespace {

using testing::Describe;
using testing::ErrorNumberOf;

std::string Parameters(const std::string& list) {
  FieldPart part;
  part.PartType = kFieldPart;
  part.FieldName = "X";
  part.SetParameters(list);
  return Describe(part);
}

TEST(FieldPart, StartsWithTheDocumentedDefaults) {
  const FieldPart part;
  EXPECT_EQ(part.PartType, 0);
  EXPECT_EQ(part.WrapLength, 40);
  EXPECT_EQ(part.NumberOfCharPerPart, 1);
  EXPECT_EQ(part.LookupTable.Count(), 0);
  EXPECT_FALSE(part.Wrap || part.Trim || part.Numeric || part.DateField || part.Lookup ||
               part.Strip || part.TruncateAt || part.TruncateAfter || part.LeftTrim ||
               part.Substring || part.IndexString || part.StringFormat || part.SeparatePart ||
               part.AlphaToNumeric || part.Fixed || part.ReplaceString);
}

TEST(FieldPart, EveryKeyword) {
  struct Row {
    int line;
    std::string list;
    std::string part;
  } rows[] = {
      {__LINE__, "", "F'X'"},
      {__LINE__, "index{2}", "F'X' index(2,',')"},
      {__LINE__, "index{2:;}", "F'X' index(2,';')"},
      {__LINE__, "index{2:\\,}", "F'X' index(2,',')"},
      {__LINE__, "index{1:a:b}", "F'X' index(1,'a:b')"},  // first ":" separates
      {__LINE__, "index{x}", "F'X' index(0,',')"},        // no leading number: 0
      {__LINE__, "index{}", "F'X' index(0,',')"},
      {__LINE__, "index{:}", "F'X' index(0,'')"},
      {__LINE__, "index", "F'X'"},
      {__LINE__, "trim", "F'X' trim"},
      {__LINE__, "trim{ignored}", "F'X' trim"},
      {__LINE__, "wrap", "F'X'"},  // without an argument wrapping stays off
      {__LINE__, "wrap{20}", "F'X' wrap(20)"},
      {__LINE__, "wrap{}", "F'X' wrap(0)"},
      {__LINE__, "numeric{#\\,##0.00}", "F'X' numeric('#,##0.00')"},
      {__LINE__, "numeric", "F'X'"},
      {__LINE__, "numeric{}", "F'X' numeric('')"},
      {__LINE__, "date{ccyymmdd}", "F'X' date('ccyymmdd')"},
      {__LINE__, "time{hh:nn}", "F'X' date('hh:nn')"},
      {__LINE__, "datetime{mm/dd/yyyy hh:nn}", "F'X' date('mm/dd/yyyy hh:nn')"},
      {__LINE__, "date", "F'X'"},
      {__LINE__, "lookup{M:Male|F:Female}", "F'X' lookup('M=Male;F=Female')"},
      {__LINE__, "lookup{M:Male|bad|*:Other}", "F'X' lookup('M=Male;*=Other')"},
      {__LINE__, "lookup{A:x:y}", "F'X' lookup('A=x:y')"},
      {__LINE__, "lookup", "F'X'"},
      {__LINE__, "strip{-/ }", "F'X' strip('-/ ')"},
      {__LINE__, "strip", "F'X'"},
      {__LINE__, "substring{2|3}", "F'X' substring(2,3)"},
      {__LINE__, "substring{1|2|3}", "F'X'"},  // exactly two pieces or nothing
      {__LINE__, "substring{2}", "F'X'"},
      {__LINE__, "substring{}", "F'X'"},
      {__LINE__, "substring{|}", "F'X' substring(0,0)"},
      {__LINE__, "truncate{3}", "F'X' truncateAt(3)"},
      {__LINE__, "truncate{ 3 }", "F'X' truncateAt(3)"},
      {__LINE__, "truncate{0}", "F'X'"},  // 0 leaves both truncations off
      {__LINE__, "truncate{3},truncate{0}", "F'X'"},
      {__LINE__, "truncate{0.4}", "F'X'"},  // rounds to 0
      {__LINE__, "truncate{2.5}", "F'X' truncateAt(2)"},
      {__LINE__, "truncate{3.5}", "F'X' truncateAt(4)"},
      {__LINE__, "truncate{-}", "F'X' truncateAfter('-')"},
      {__LINE__, "truncate{3a}", "F'X' truncateAfter('3a')"},
      {__LINE__, "truncate{}", "F'X' truncateAfter('')"},
      {__LINE__, "truncate", "F'X'"},
      {__LINE__, "lefttrim{2}", "F'X' lefttrim(2)"},
      {__LINE__, "lefttrim{2.5}", "F'X' lefttrim(2)"},
      {__LINE__, "lefttrim{-3}", "F'X' lefttrim(-3)"},
      {__LINE__, "lefttrim{32767}", "F'X' lefttrim(32767)"},
      {__LINE__, "lefttrim", "F'X'"},
      {__LINE__, "format{@@@-@@}", "F'X' format('@@@-@@')"},
      {__LINE__, "format", "F'X'"},
      {__LINE__, "separate{3}", "F'X' separate(3)"},
      {__LINE__, "separate", "F'X'"},
      {__LINE__, "alpha2numeric", "F'X' alpha2numeric"},
      {__LINE__, "alpha2numeric{x}", "F'X' alpha2numeric"},
      {__LINE__, "fixed{10}", "F'X' fixed(10)"},
      {__LINE__, "fixed{ 10 apples}", "F'X' fixed(10)"},
      {__LINE__, "fixed", "F'X'"},
      {__LINE__, "replace{a|b}", "F'X' replace('a','b')"},
      {__LINE__, "replace{a|b|c}", "F'X' replace('a','b|c')"},  // the rest is the replacement
      {__LINE__, "replace{|x}", "F'X' replace('','x')"},
      {__LINE__, "replace{ab}", "F'X'"},
      {__LINE__, "replace", "F'X'"},
      {__LINE__, "unknown{1},trim", "F'X' trim"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Parameters(row.list), row.part) << row.list;
  }
}

TEST(FieldPart, KeywordsIgnoreCaseButNotBlanks) {
  struct Row {
    int line;
    std::string list;
    std::string part;
  } rows[] = {
      {__LINE__, "TRIM", "F'X' trim"},
      {__LINE__, "Wrap{20}", "F'X' wrap(20)"},
      {__LINE__, "ALPHA2NUMERIC", "F'X' alpha2numeric"},
      {__LINE__, " trim", "F'X'"},
      {__LINE__, "trim ", "F'X'"},
      {__LINE__, "wrap {20}", "F'X'"},
      {__LINE__, "trim,,,", "F'X' trim"},  // empty items are skipped
      {__LINE__, ",trim", "F'X' trim"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Parameters(row.list), row.part) << row.list;
  }
}

TEST(FieldPart, EscapesCarryCommasAndBracesIntoArguments) {
  struct Row {
    int line;
    std::string list;
    std::string part;
  } rows[] = {
      {__LINE__, "strip{\\,},trim", "F'X' trim strip(',')"},
      {__LINE__, "replace{\\{|\\}}", "F'X' replace('{','}')"},
      {__LINE__, "replace{a|b}}", "F'X' replace('a','b}')"},  // only one "}" is dropped
      {__LINE__, "strip{ab", "F'X' strip('ab')"},             // a missing "}" is tolerated
      {__LINE__, "strip{a{b}", "F'X' strip('a{b')"},          // the first "{" opens
      {__LINE__, "strip{a\\}", "F'X' strip('a}')"},
      // An argument holding the placeholder characters themselves gets them
      // turned into the escaped characters.
      {__LINE__, "strip{x\xC3\x82y}", "F'X' strip('x,y')"},
      {__LINE__, "strip{\xC3\x85\xC3\x86}", "F'X' strip('{}')"},
      // The keyword is neither unescaped nor trimmed.
      {__LINE__, "tr\\,im", "F'X'"},
      {__LINE__, "\\,trim", "F'X'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Parameters(row.list), row.part) << row.list;
  }
}

TEST(FieldPart, LaterKeywordsOverrideEarlierOnesAndNothingIsReset) {
  FieldPart part;
  part.PartType = kFieldPart;
  part.FieldName = "X";
  part.SetParameters("wrap{20},fixed{5}");
  part.SetParameters("wrap{30},trim");
  EXPECT_EQ(Describe(part), "F'X' trim wrap(30) fixed(5)");
  part.SetParameters("lookup{A:1},lookup{B:2|A:3}");
  EXPECT_EQ(part.LookupTable.ToString(";", "="), "A=3;B=2");
}

TEST(FieldPart, StrictConversionsFail) {
  struct Row {
    int line;
    std::string list;
    int error;
  } rows[] = {
      {__LINE__, "lefttrim{x}", 13},
      {__LINE__, "lefttrim{}", 13},
      {__LINE__, "lefttrim{2x}", 13},
      {__LINE__, "lefttrim{40000}", 6},
      {__LINE__, "lefttrim{-32769}", 6},
      {__LINE__, "separate{x}", 13},
      {__LINE__, "separate{}", 13},
      {__LINE__, "separate{3000000000}", 6},
      {__LINE__, "trim,lefttrim{x}", 13},
      // A "number of" outside 32 bits overflows as well.
      {__LINE__, "fixed{99999999999}", 6},
      {__LINE__, "wrap{-99999999999}", 6},
      {__LINE__, "truncate{1e20}", 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ErrorNumberOf([&] { Parameters(row.list); }), row.error) << row.list;
  }
}

TEST(FieldPart, ConversionsAcceptTheirLimits) {
  struct Row {
    int line;
    std::string list;
    std::string part;
  } rows[] = {
      {__LINE__, "lefttrim{-32768}", "F'X' lefttrim(-32768)"},
      {__LINE__, "separate{2147483647}", "F'X' separate(2147483647)"},
      {__LINE__, "fixed{-2147483648}", "F'X' fixed(-2147483648)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Parameters(row.list), row.part) << row.list;
  }
}

}  // namespace
}  // namespace marrow
