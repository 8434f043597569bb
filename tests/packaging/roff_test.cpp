// Escaping of text that goes into man pages: nothing a text says may turn
// into a roff request or escape.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "packaging/docgen/roff.h"

namespace {

using namespace quillon::docgen;

TEST(Roff, TextCannotBecomeARequestOrAnEscape) {
  const struct Row {
    int line;
    std::function<std::string(std::string_view)> escape;
    std::string input;
    std::string expected;
  } rows[] = {
      {__LINE__, RoffText, "a\\fBb", "a\\efBb"},
      {__LINE__, RoffText, "well-formed -x", "well-formed -x"},
      {__LINE__, RoffLiteral, "--json a\\,b", "\\-\\-json a\\e,b"},
      {__LINE__, RoffLine, ".TH evil", "\\&.TH evil"},
      {__LINE__, RoffLine, "'br", "\\&'br"},
      {__LINE__, RoffLine, "a\n.SH x", "a .SH x"},
      {__LINE__, RoffLine, "mid.dle", "mid.dle"},
      {__LINE__, RoffMacroArgument, "say \"hi\"", "\"say \\(dqhi\\(dq\""},
      {__LINE__, RoffMacroArgument, "two\nlines", "\"two lines\""},
      {__LINE__, AsciiUpper, "quillon-é x", "QUILLON-é X"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.escape(row.input), row.expected);
  }
}

TEST(Roff, TitleLineQuotesItsFields) {
  EXPECT_EQ(RoffTitle("quillon-map", 1, "quillon 1.2.3", "Quillon \"Manual\""),
            ".TH \"QUILLON\\-MAP\" 1 \"\" \"quillon 1.2.3\" \"Quillon \\(dqManual\\(dq\"\n");
}

}  // namespace
