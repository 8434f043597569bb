// The modifier chain of a field part: each step, the fixed order of the
// steps, the priority of the final conversion, word wrapping, date formatting
// with the century token, and the failures with their numbers.
#include <gtest/gtest.h>

#include <string>

#include "field_test_helpers.h"
#include "mapping/field_modifiers.h"
#include "mapping/field_part.h"
#include "platform/error.h"

namespace marrow {
namespace {

using testing::ErrorNumberOf;

// The value of `input` after the modifiers of a parameter list.
std::string Apply(const std::string& parameters, const std::string& input) {
  FieldPart part;
  part.PartType = kFieldPart;
  part.SetParameters(parameters);
  return ApplyFieldModifiers(input, part);
}

struct ChainRow {
  int line;
  std::string parameters;
  std::string input;
  std::string expected;
};

void CheckChain(const ChainRow* begin, const ChainRow* end) {
  for (const ChainRow* row = begin; row != end; ++row) {
    SCOPED_TRACE(row->line);
    EXPECT_EQ(Apply(row->parameters, row->input), row->expected)
        << row->parameters << " on '" << row->input << "'";
  }
}

TEST(FieldModifiers, NoModifierKeepsTheValue) {
  const ChainRow rows[] = {
      {__LINE__, "", "  as is  ", "  as is  "},
      {__LINE__, "unknown{3}", "x", "x"},
      {__LINE__, "wrap", "a b", "a b"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, IndexTakesOneElement) {
  const ChainRow rows[] = {
      {__LINE__, "index{1}", "A,B,C", "B"},
      {__LINE__, "index{0}", "A,B,C", "A"},
      {__LINE__, "index{2}", "A,B,C", "C"},
      {__LINE__, "index{3}", "A,B,C", ""},
      {__LINE__, "index{1}", "", ""},
      {__LINE__, "index{-1}", "", ""},  // an empty value never fails
      {__LINE__, "index{2:\\,}", "a,b,c,d", "c"},
      {__LINE__, "index{1:;}", "a,b;c", "c"},
      {__LINE__, "index{1:||}", "a||b||c", "b"},
      {__LINE__, "index{1}", "a,,b", ""},
      {__LINE__, "index{0:}", "a,b", "a,b"},  // empty delimiter: one piece
      {__LINE__, "index{1:}", "a,b", ""},
      {__LINE__, "index{1:é}", "aébéc", "b"},
      {__LINE__, "index{2147483647}", "a,b", ""},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, TrimStripAndSubstring) {
  const ChainRow rows[] = {
      {__LINE__, "trim", "  a b  ", "a b"},
      {__LINE__, "trim", "\ta\t", "\ta\t"},  // blanks only
      {__LINE__, "strip{-/}", "12-34/56-", "123456"},
      {__LINE__, "strip{ }", " a b ", "ab"},
      {__LINE__, "strip{é}", "éaéb", "ab"},
      {__LINE__, "strip{}", "abc", "abc"},
      {__LINE__, "substring{2|3}", "ABCDEF", "BCD"},
      {__LINE__, "substring{6|3}", "ABCDEF", "ABCDEF"},  // start = length: unchanged
      {__LINE__, "substring{5|3}", "ABCDEF", "EF"},
      {__LINE__, "substring{0|3}", "ABCDEF", "ABCDEF"},
      {__LINE__, "substring{2|0}", "ABCDEF", ""},
      {__LINE__, "substring{2|2}", "ÀÉÎÕÜ", "ÉÎ"},
      {__LINE__, "substring{1|3}", "", ""},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, TruncationsAndLeftTrim) {
  const ChainRow rows[] = {
      {__LINE__, "truncate{1}", "ABCDEF", "ABCDEF"},  // a position of 1 does nothing
      {__LINE__, "truncate{3}", "ABCDEF", "ABC"},
      {__LINE__, "truncate{6}", "ABCDEF", "ABCDEF"},
      {__LINE__, "truncate{-3}", "ABCDEF", "ABCDEF"},
      {__LINE__, "truncate{2}", "ÄÖÜ", "ÄÖ"},
      {__LINE__, "truncate{-/}", "12-34/5", "12"},
      {__LINE__, "truncate{-/}", "-12", ""},
      {__LINE__, "truncate{-/}", "12345", "12345"},
      {__LINE__, "truncate{ü}", "abüc", "ab"},
      {__LINE__, "lefttrim{2}", "ABCD", "CD"},
      {__LINE__, "lefttrim{4}", "ABCD", "ABCD"},  // at or above the length: unchanged
      {__LINE__, "lefttrim{9}", "ABCD", "ABCD"},
      {__LINE__, "lefttrim{0}", "ABCD", "ABCD"},
      {__LINE__, "lefttrim{1}", "ÉAB", "AB"},
      {__LINE__, "lefttrim{-1}", "", ""},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, ReplaceSeparateAlphaToNumericAndFixed) {
  const ChainRow rows[] = {
      {__LINE__, "replace{a|b|c}", "banana", "bb|cnb|cnb|c"},
      {__LINE__, "replace{aa|a}", "aaaa", "aa"},  // one pass, no repetition
      {__LINE__, "replace{a|aa}", "aa", "aaaa"},
      {__LINE__, "replace{A|x}", "aA", "ax"},  // exact case
      {__LINE__, "replace{|x}", "abc", "abc"},
      {__LINE__, "replace{-|}", "1-2-3", "123"},
      {__LINE__, "separate{3}", "ABCDEFGH", "ABC:DEF:GH"},
      {__LINE__, "separate{1}", "ABC", "A:B:C"},
      {__LINE__, "separate{5}", "ABC", "ABC"},
      {__LINE__, "separate{2}", "ÀÉÎÕ", "ÀÉ:ÎÕ"},
      {__LINE__, "separate{0}", "", ""},  // the step does not run on an empty value
      {__LINE__, "separate{-1}", "", ""},
      {__LINE__, "alpha2numeric", "AZ-b", "126-b"},
      {__LINE__, "alpha2numeric", "", ""},
      {__LINE__, "alpha2numeric", "ÄJ", "Ä10"},
      {__LINE__, "fixed{5}", "AB", "AB   "},
      {__LINE__, "fixed{5}", "ABCDEFG", "ABCDE"},
      {__LINE__, "fixed{5}", "", "     "},
      {__LINE__, "fixed{0}", "AB", ""},
      {__LINE__, "fixed{3}", "ÄÖ", "ÄÖ "},
      {__LINE__, "fixed{2}", "ÄÖÜ", "ÄÖ"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, StepsRunInTheirFixedOrder) {
  const ChainRow rows[] = {
      // trim (2) before fixed (12), whatever the keyword order
      {__LINE__, "fixed{6},trim", "  ab  ", "ab    "},
      // index (1) before trim (2)
      {__LINE__, "trim,index{1}", "a, b ,c", "b"},
      // strip (3) before substring (4)
      {__LINE__, "substring{1|3},strip{-}", "a-b-c-d", "abc"},
      // substring (4) before truncate at (5)
      {__LINE__, "truncate{2},substring{2|4}", "ABCDEF", "BC"},
      // truncate before (6) before left trim (7)
      {__LINE__, "lefttrim{1},truncate{-}", "-ABC", ""},
      // left trim (7) before replace (8)
      {__LINE__, "replace{A|xy},lefttrim{1}", "AB", "B"},
      // replace (8) before format (9)
      {__LINE__, "format{>},replace{a|x}", "a", "X"},
      // format (9) before separate (10)
      {__LINE__, "separate{2},format{@@@@}", "ab", "  :ab"},
      // replace (8) before separate (10)
      {__LINE__, "separate{2},replace{-|}", "A-B-C-D", "AB:CD"},
      // separate (10) before alpha-to-numeric (11)
      {__LINE__, "alpha2numeric,separate{1}", "KA", "11:1"},
      // alpha-to-numeric (11) before fixed (12)
      {__LINE__, "fixed{3},alpha2numeric", "ZZ", "262"},
      // fixed (12) before lookup (13)
      {__LINE__, "lookup{AB   :padded|AB:bare},fixed{5}", "AB", "padded"},
      // fixed (12) before wrap (13)
      {__LINE__, "wrap{3},fixed{7}", "aa bb", "aa\r\nbb"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, LookupTranslatesThroughItsTable) {
  const ChainRow rows[] = {
      {__LINE__, "lookup{M:Male|*:Unknown}", "M", "Male"},
      {__LINE__, "lookup{M:Male|*:Unknown}", "X", "Unknown"},
      {__LINE__, "lookup{M:Male|*:Unknown}", "", ""},  // empty stays empty
      {__LINE__, "lookup{M:Male}", "X", "X"},
      {__LINE__, "lookup{M:Male}", "m", "Male"},  // table names ignore case
      {__LINE__, "lookup{M:}", "M", ""},
      {__LINE__, "lookup{}", "M", "M"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, FinalConversionTakesOnlyTheFirstSwitchedOn) {
  const ChainRow rows[] = {
      // date before lookup: the date is formatted, never looked up
      {__LINE__, "lookup{20140328:hit|*:any},date{ccyymmdd}", "03/28/2014", "20140328"},
      // date before numeric
      {__LINE__, "numeric{0.00},date{yyyy}", "03/28/2014", "2014"},
      // numeric before lookup
      {__LINE__, "lookup{5.00:five},numeric{0.00}", "5", "5.00"},
      // numeric before wrap
      {__LINE__, "wrap{1},numeric{#\\,##0}", "1234567", "1,234,567"},
      // lookup before wrap
      {__LINE__, "wrap{3},lookup{K:aaa bbb}", "K", "aaa bbb"},
      // wrap only without the others
      {__LINE__, "wrap{3}", "aaa bbb", "aaa\r\nbbb"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, NumericAndFormatMasks) {
  const ChainRow rows[] = {
      {__LINE__, "numeric{#\\,##0.00}", "1234.5", "1,234.50"},
      {__LINE__, "numeric{0.00}", "  12.5  ", "12.50"},  // blanks around are dropped
      {__LINE__, "numeric{00000}", "42", "00042"},
      {__LINE__, "format{@@@-@@-@@@@}", "123456789", "123-45-6789"},
      {__LINE__, "format{>}", "abc", "ABC"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, FailuresCarryTheirNumbers) {
  struct Row {
    int line;
    std::string parameters;
    std::string input;
    int error;
  } rows[] = {
      {__LINE__, "index{-1}", "a,b", 9},
      {__LINE__, "index{-1:}", "a", 9},
      {__LINE__, "substring{2|-1}", "ABCDEF", 5},
      {__LINE__, "lefttrim{-1}", "ABCD", 5},
      {__LINE__, "separate{-1}", "ABC", 5},
      {__LINE__, "separate{0}", "ABC", 5},  // a group size of 0 would never end
      {__LINE__, "fixed{-1}", "", 5},
      {__LINE__, "fixed{-1}", "ABC", 5},
      {__LINE__, "fixed{65537}", "A", 5},  // beyond the padding bound
      {__LINE__, "fixed{2000000000}", "A", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ErrorNumberOf([&] { Apply(row.parameters, row.input); }), row.error)
        << row.parameters << " on '" << row.input << "'";
  }
}

TEST(FieldModifiers, NegativeSizesPassWhenTheirStepDoesNotRun) {
  const ChainRow rows[] = {
      {__LINE__, "substring{6|-1}", "ABCDEF", "ABCDEF"},  // start not inside the value
      {__LINE__, "substring{0|-1}", "ABCDEF", "ABCDEF"},
      {__LINE__, "lefttrim{-1}", "", ""},
      {__LINE__, "fixed{65536}", "", std::string(65536, ' ')},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

TEST(FieldModifiers, LeftTrimRefusesValuesOver32767Characters) {
  const std::string limit(32767, 'x');
  EXPECT_EQ(Apply("lefttrim{2}", limit), limit.substr(2));
  EXPECT_EQ(ErrorNumberOf([&] { Apply("lefttrim{2}", limit + "x"); }), 6);
  // 32768 bytes but fewer characters pass: the limit counts characters.
  std::string wide;
  for (int i = 0; i < 20000; ++i) wide += "é";
  EXPECT_EQ(ErrorNumberOf([&] { Apply("lefttrim{2}", wide); }), 0);
  // The limit is met where left trim runs, after the steps before it.
  EXPECT_EQ(Apply("truncate{10},lefttrim{2}", limit + "x"), "xxxxxxxx");
  EXPECT_EQ(Apply("trim", limit + "x"), limit + "x");
}

TEST(WrapText, FillsLinesWordByWord) {
  struct Row {
    int line;
    std::string text;
    int width;
    std::string expected;
  } rows[] = {
      {__LINE__, "aaa bbb ccc ddd", 10, "aaa bbb\r\nccc ddd"},
      {__LINE__, "abcdefghijkl", 10, "abcdefghijkl"},  // never split
      {__LINE__, "aa abcdefghijkl b", 5, "aa\r\nabcdefghijkl\r\nb"},
      {__LINE__, "aaa bbb", 7, "aaa bbb"},  // exactly the width
      {__LINE__, "aaa bbb", 6, "aaa\r\nbbb"},
      {__LINE__, "", 10, ""},
      {__LINE__, "    ", 10, ""},
      {__LINE__, "  a b  ", 10, "a b"},
      {__LINE__, "a\r\nb", 10, "a\r\nb"},
      {__LINE__, "a\rb\nc", 10, "a\r\nb\r\nc"},
      {__LINE__, "a\n\nb", 10, "a\r\n\r\nb"},
      {__LINE__, "a\n b", 10, "a\r\nb"},  // leading blanks of a line dropped
      {__LINE__, "it`s", 10, "it's"},
      {__LINE__, "a  b", 10, "a  b"},  // an empty word keeps its blank
      {__LINE__, "a b c", 0, "a\r\nb\r\nc"},
      {__LINE__, "a b c", -5, "a\r\nb\r\nc"},
      {__LINE__, "ÄÄÄ ÖÖÖ", 7, "ÄÄÄ ÖÖÖ"},  // characters, not bytes
      {__LINE__, "a b", 2147483647, "a b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(WrapText(row.text, row.width), row.expected);
  }
}

TEST(FormatDateValue, FormatsDatesWithTheCenturyToken) {
  struct Row {
    int line;
    std::string text;
    std::string format;
    std::string expected;
  } rows[] = {
      {__LINE__, "03/28/1975", "ccyymmdd", "19750328"},
      {__LINE__, "03/28/2014", "ccyymmdd", "20140328"},
      {__LINE__, "032814", "ccyymmdd", "20140328"},  // regrouped as 03/28/14
      {__LINE__, "32814", "ccyymmdd", "20140328"},   // 3/28/14
      {__LINE__, "032875", "ccyymmdd", "19750328"},
      {__LINE__, "3/28/2014", "mm/dd/yyyy", "03/28/2014"},
      {__LINE__, "03/28/2014", "cc", "20"},
      {__LINE__, "03/28/2014", "cccc", "2020"},
      {__LINE__, "n/a", "ccyymmdd", "n/a"},
      {__LINE__, "", "ccyymmdd", ""},
      {__LINE__, "13/45/2014", "ccyymmdd", "13/45/2014"},
      {__LINE__, "abcdef", "ccyymmdd", "abcdef"},  // unchanged, not the regrouped form
      {__LINE__, "3/28/2014 2:05:09 PM", "ccyymmddhhnnss", "20140328140509"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(FormatDateValue(row.text, row.format), row.expected);
  }
}

TEST(FieldModifiers, DateModifierUsesFormatDateValue) {
  const ChainRow rows[] = {
      {__LINE__, "date{ccyymmdd}", "03/28/1975", "19750328"},
      {__LINE__, "date{ccyymmdd}", "n/a", "n/a"},
      {__LINE__, "date{ccyymmdd}", "032814", "20140328"},
      {__LINE__, "trim,date{mm/dd/yyyy}", " 3/8/14 ", "03/08/2014"},
  };
  CheckChain(std::begin(rows), std::end(rows));
}

}  // namespace
}  // namespace marrow
