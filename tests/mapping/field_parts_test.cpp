// FieldParts: the bracket notation parsed into literal, date/time and field
// parts; the collection's 1-based access; the diagnostic lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field_test_helpers.h"
#include "mapping/field_parts.h"
#include "platform/error.h"

namespace marrow {
namespace {

using testing::Describe;
using testing::DescribeParse;
using testing::ErrorNumberOf;

TEST(FieldParts, ParsesTheNotation) {
  struct Row {
    int line;
    std::string expression;
    std::string parts;
  } rows[] = {
      {__LINE__, "", ""},
      {__LINE__, "plain text", "L'plain text'"},
      {__LINE__, "[]", ""},
      {__LINE__, "a[]b", "L'a' | L'b'"},
      {__LINE__, "abc[", "L'abc'"},  // a trailing "[" produces nothing
      {__LINE__, "[", ""},
      {__LINE__, "abc[def", "L'abc' | L'def'"},  // unmatched "[" dropped, tail kept
      {__LINE__, "[x]abc[def", "F'x' | L'abc' | L'def'"},
      {__LINE__, "a]b", "L'a]b'"},
      {__LINE__, "]", "L']'"},
      {__LINE__, "[a[b]c]", "F'a[b' | L'c]'"},  // brackets do not nest
      {__LINE__, "[PatientLast], [PatientFirst]", "F'PatientLast' | L', ' | F'PatientFirst'"},
      {__LINE__, "[BirthDate:date{mm/dd/ccyy}]", "F'BirthDate' date('mm/dd/ccyy')"},
      {__LINE__, "Claim [date:yyyymmdd][br]", "L'Claim ' | D'yyyymmdd' | L'\r\n'"},
      {__LINE__, "[CR]", "L'\r'"},
      {__LINE__, "[Cr]", "L'\r'"},
      {__LINE__, "[cr][lf][br][tab]", "L'\r' | L'\n' | L'\r\n' | L'\t'"},
      {__LINE__, "[COMMA][Quote][colon][SEMI]", "L',' | L'\"' | L':' | L';'"},
      {__LINE__, "[ cr]", "F' cr'"},  // blanks are part of the name
      {__LINE__, "[crlf]", "F'crlf'"},
      {__LINE__, "[date]", "F'date'"},  // date/time needs a colon
      {__LINE__, "[time]", "F'time'"},
      {__LINE__, "[Time:hh:nn]", "D'hh:nn'"},  // only the first ":" separates
      {__LINE__, "[DATE:]", "D''"},
      {__LINE__, "[datetime:yyyy]", "F'datetime'"},  // not a date/time keyword
      {__LINE__, "[Name:]", "F'Name'"},
      {__LINE__, "[:x]", "F''"},
      {__LINE__, "[:]", "F''"},
      {__LINE__, "[First Name]", "F'First Name'"},
      {__LINE__, "[ Name ]", "F' Name '"},
      {__LINE__, "[semi:trim]", "F'semi' trim"},  // with a colon it is a field
      {__LINE__, "x[A:trim]y[B]z", "L'x' | F'A' trim | L'y' | F'B' | L'z'"},
      {__LINE__, "é[Nom]ü", "L'é' | F'Nom' | L'ü'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(DescribeParse(row.expression), row.parts) << row.expression;
  }
}

TEST(FieldParts, ParsingAgainEmptiesTheCollectionFirst) {
  FieldParts parts;
  parts.ParseValueString("[A]b[C]");
  ASSERT_EQ(parts.Count(), 3);
  parts.ParseValueString("x");
  EXPECT_EQ(Describe(parts), "L'x'");
  parts.ParseValueString("");
  EXPECT_EQ(parts.Count(), 0);
}

TEST(FieldParts, FailedParameterListKeepsThePartsReadBeforeIt) {
  struct Row {
    int line;
    std::string expression;
    int error;
    std::string partsLeft;
  } rows[] = {
      {__LINE__, "[Code:lefttrim{x}]", 13, ""},
      {__LINE__, "a[B]c[Code:lefttrim{x}]d[E]", 13, "L'a' | F'B' | L'c'"},
      {__LINE__, "a[Code:trim,lefttrim{40000}]b", 6, "L'a'"},
      {__LINE__, "[A:separate{x}][B]", 13, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldParts parts;
    parts.ParseValueString("[Old]");
    EXPECT_EQ(ErrorNumberOf([&] { parts.ParseValueString(row.expression); }), row.error);
    EXPECT_EQ(Describe(parts), row.partsLeft);
  }
}

TEST(FieldParts, ItemIsOneBasedAndNullOutsideTheCollection) {
  FieldParts parts;
  parts.ParseValueString("a[B]c");
  ASSERT_EQ(parts.Count(), 3);
  for (std::int64_t position :
       {std::int64_t{0}, std::int64_t{-1}, std::int64_t{4}, std::int64_t{1} << 40}) {
    SCOPED_TRACE(position);
    EXPECT_EQ(parts.Item(position), nullptr);
  }
  ASSERT_NE(parts.Item(2), nullptr);
  EXPECT_EQ(parts.Item(2)->FieldName, "B");
  EXPECT_EQ(parts.Item(3)->LiteralText, "c");
}

TEST(FieldParts, RemoveTakesOutOnePart) {
  FieldParts parts;
  parts.ParseValueString("a[B]c");
  parts.Remove(2);
  EXPECT_EQ(Describe(parts), "L'a' | L'c'");
  parts.Remove(2);
  parts.Remove(1);
  EXPECT_EQ(parts.Count(), 0);
}

TEST(FieldParts, RemoveOfAMissingPositionFails) {
  FieldParts parts;
  parts.ParseValueString("a[B]");
  for (std::int64_t position : {std::int64_t{0}, std::int64_t{3}, std::int64_t{-2}}) {
    SCOPED_TRACE(position);
    EXPECT_EQ(ErrorNumberOf([&] { parts.Remove(position); }), 5);
  }
  EXPECT_EQ(parts.Count(), 2);
}

TEST(FieldParts, DisplayAllPartsRendersOneLinePerPart) {
  struct Row {
    int line;
    std::string expression;
    std::vector<std::string> lines;
  } rows[] = {
      {__LINE__, "", {}},
      {__LINE__, "Claim [date:yyyymmdd]", {"Literal:       'Claim '", "Date/time:     yyyymmdd"}},
      {__LINE__, "[br]", {"Literal:       '\r\n'"}},
      {__LINE__, "[Name]", {"Field:      Name"}},
      {__LINE__, "[Name:]", {"Field:      Name"}},
      {__LINE__, "[Name:trim]", {"Field:      Name  trim"}},
      // The summary order is fixed, whatever the order of the keywords.
      {__LINE__,
       "[N:strip{-},numeric{0.00},lookup{M:Male|F:Female},date{mmdd},wrap{20},trim]",
       {"Field:      N  trim,wrap{20},date{mmdd},lookup{M=Male;F=Female;},numeric{0.00},strip{-}"}},
      // Modifiers outside the summary leave the line bare.
      {__LINE__, "[N:fixed{5},index{1},alpha2numeric]", {"Field:      N"}},
      {__LINE__, "[N:lookup{}]", {"Field:      N  lookup{}"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldParts parts;
    parts.ParseValueString(row.expression);
    EXPECT_EQ(parts.DisplayAllParts(), row.lines);
  }
}

}  // namespace
}  // namespace marrow
