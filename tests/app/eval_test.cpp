// `quillon eval`: the built command translating one expression, its output
// forms, the end of options and the report of a failing expression.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;

std::vector<std::string> Eval(std::vector<std::string> args) {
  args.insert(args.begin(), {QUILLON_BIN, "eval"});
  return args;
}

TEST(EvalCommand, PrintsTheTranslatedValue) {
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {__LINE__, {"[Amt:numeric{#\\,##0.00}]", "Amt=1234.5"}, "1,234.50\n"},
      {__LINE__, {"[D:date{ccyymmdd}]", "D=032814"}, "20140328\n"},
      {__LINE__, {"[Last], [First:trim]", "Last=Doe", "First= Jane"}, "Doe, Jane\n"},
      {__LINE__, {"[Missing]x"}, "x\n"},
      {__LINE__, {"[A]", "A="}, "\n"},
      {__LINE__, {"--name", "_newLineChar", "cr"}, "\r\n\n"},
      {__LINE__, {"cr", "--name", "_newLineChar"}, "\r\n\n"},
      {__LINE__, {"--name", "_outputString", "a~~~b", "Replace_1=~~|~"}, "a~b\n"},
      {__LINE__, {"--", "-[A]-", "A=x"}, "-x-\n"},
      {__LINE__, {"--", "--name"}, "--name\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto result = RunCommand(Eval(row.args));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, "");
  }
}

TEST(EvalCommand, JsonOutput) {
  const auto result = RunCommand(Eval({"[A:lookup{M:Male}]", "A=M", "--json"}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(nlohmann::json::parse(result.out), nlohmann::json({{"value", "Male"}}));

  const auto newline = RunCommand(Eval({"--json", "--name", "_newLineChar", "y"}));
  ASSERT_EQ(newline.exitCode, 0) << newline.err;
  EXPECT_EQ(newline.out, "{\"value\":\"\\n\"}\n");
}

TEST(EvalCommand, FieldsFromAJsonFile) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("doc.json", R"({"A": "1", "B": "2"})");
  const auto result = RunCommand(Eval({"[A]-[B]", "--fields", file, "B=3"}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "1-3\n");  // arguments come after the file
}

TEST(EvalCommand, PartsShowTheParse) {
  const auto result = RunCommand(Eval({"--parts", "Claim [date:yyyymmdd][Name:wrap{20},trim]"}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "Literal:       'Claim '\n"
            "Date/time:     yyyymmdd\n"
            "Field:      Name  trim,wrap{20}\n");

  // Every modifier as written, in the order the chain runs them; what does
  // nothing is marked.
  const struct Row {
    int line;
    std::string expression;
    std::string out;
  } rows[] = {
      {__LINE__, "[List:index{2:\\,},trim]", "Field:      List  index{2:\\,},trim\n"},
      {__LINE__, "[Sex:lookup{M:Male|F:Female},trim]",
       "Field:      Sex  trim,lookup{M:Male|F:Female}\n"},
      {__LINE__, "[A:fixed{5},strip{-},substring{1|3},replace{a|b},format{>},alpha2numeric]",
       "Field:      A  strip{-},substring{1|3},replace{a|b},format{>},alpha2numeric,fixed{5}\n"},
      {__LINE__, "[A:trimm,wrap,date{mm},lookup{a:b},separate{2}]",
       "Field:      A  separate{2},date{mm}  (ignored: trimm, wrap, lookup{a:b} (one conversion "
       "only))\n"},
      {__LINE__, "[A:trim,trim]", "Field:      A  trim\n"},
      {__LINE__, "x[cr]", "Literal:       'x'\nLiteral:       '\r'\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto r = RunCommand(Eval({"--parts", row.expression}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, row.out);
  }

  const auto json = RunCommand(Eval({"--parts", "--json", "a[B]"}));
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out),
            nlohmann::json::parse(R"({"parts": ["Literal:       'a'", "Field:      B"]})"));
}

TEST(EvalCommand, FailuresExitWithTwo) {
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {__LINE__, {"[Code:lefttrim{x}]", "Code=abc"}, "error 13: Type mismatch\n"},
      {__LINE__, {"[Code:lefttrim{40000}]"}, "error 6: Overflow\n"},
      {__LINE__, {"[A:index{-1}]", "A=x"}, "error 9: Subscript out of range\n"},
      {__LINE__, {"[A:fixed{-1}]", "A=x"}, "error 5: Invalid procedure call or argument\n"},
      {__LINE__,
       {"--name", "_outputString", "x", "Replace_1=nobar"},
       "error 9: Subscript out of range\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto result = RunCommand(Eval(row.args));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, row.err);
  }
}

TEST(EvalCommand, BadUsageExitsWithTwo) {
  const std::vector<std::string> cases[] = {
      {},                       // no expression
      {"[A]", "notAPair"},      // field argument without "="
      {"[A]", "--name", "  "},  // blank mapping name
      {"-[A]"},                 // a leading "-" needs "--" first
  };
  for (const auto& args : cases) {
    const auto result = RunCommand(Eval(args));
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
  }
}

TEST(EvalCommand, HelpShowsExamples) {
  const auto result = RunCommand(Eval({"--help"}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("quillon eval '[Amt:numeric{#\\,##0.00}]' Amt=1234.5"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("docs/expressions.md"), std::string::npos);
}

}  // namespace
