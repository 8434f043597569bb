// Markdown of docs/ as man page source.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "packaging/docgen/markdown_man.h"

namespace {

using namespace quillon::docgen;

TEST(MarkdownToMan, BlocksAndInlineMarkup) {
  const struct Row {
    int line;
    std::string markdown;
    std::string roff;
  } rows[] = {
      {__LINE__, "# Title here\n## Sub `x`\n### Deeper ##",
       ".SH \"TITLE HERE\"\n.SS \"Sub \\fBx\\fR\"\n.SS \"Deeper\"\n"},
      // Lines of a paragraph stay lines, without their indentation.
      {__LINE__, "one\n   two\n", ".PP\none\ntwo\n"},
      // Text that would start a request.
      {__LINE__, "x\n.hidden\n'quoted", ".PP\nx\n\\&.hidden\n\\&'quoted\n"},
      {__LINE__, "use `--fields a\\,b` now", ".PP\nuse \\fB\\-\\-fields a\\e,b\\fR now\n"},
      {__LINE__, "``a`b`` and `` x ``", ".PP\n\\fBa`b\\fR and \\fBx\\fR\n"},
      // Backticks without a closing run are text.
      {__LINE__, "| `` (empty)", ".PP\n| `` (empty)\n"},
      {__LINE__, "\\*not em\\* \\[x] a\\b", ".PP\n*not em* [x] a\\eb\n"},
      {__LINE__, "**bold `c` more** and *it*", ".PP\n\\fBbold \\fBc\\fB more\\fR and \\fIit\\fR\n"},
      {__LINE__, "2 * 3 * 4 and a*", ".PP\n2 * 3 * 4 and a*\n"},
      {__LINE__, "[guide](docs/guide.md), [same](same), [not a link]",
       ".PP\nguide (docs/guide.md), same, [not a link]\n"},
      {__LINE__, "- one\n  two\n  - inner\n- three\n",
       ".IP \\(bu 2\none\ntwo\n.RS 2\n.IP \\(bu 2\ninner\n.RE\n.IP \\(bu 2\nthree\n"},
      // Items with blank lines between them, and a second paragraph.
      {__LINE__, "* a\n\n  more\n\n* b", ".IP \\(bu 2\na\n.RS 2\n.PP\nmore\n.RE\n.IP \\(bu 2\nb\n"},
      // Numbered items keep the numbers they were written with.
      {__LINE__, "1. a\n6. b\n", ".IP \"1.\" 4\na\n.IP \"6.\" 4\nb\n"},
      {__LINE__, "```\n.x\n\\n -y\n```\nafter",
       ".PP\n.RS 4\n.nf\n\\&.x\n\\en \\-y\n.fi\n.RE\n.PP\nafter\n"},
      {__LINE__, "Try:\n\n    quillon check /x\n      indented\n\nDone.",
       ".PP\nTry:\n.PP\n.RS 4\n.nf\nquillon check /x\n  indented\n.fi\n.RE\n.PP\nDone.\n"},
      // A bullet interrupts a paragraph; a number other than 1 does not.
      {__LINE__, "Text\n- item", ".PP\nText\n.IP \\(bu 2\nitem\n"},
      {__LINE__, "the keywords:\n6. x", ".PP\nthe keywords:\n6. x\n"},
      {__LINE__, "| A | B |\n|---|:-:|\n| `x\\|y` | 2 |\n| _ |",
       ".PP\n.ne 3v\n.na\n.TS\ntab(\t);\nl l\nl l.\n\\&\\fBA\\fR\t\\&\\fBB\\fR\n_\n"
       "\\&\\fBx|y\\fR\t\\&2\n\\&_\t\\&\n.TE\n.ad\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(MarkdownToMan(row.markdown), row.roff);
  }
}

TEST(MarkdownToMan, WideTablesWrapWithinThePage) {
  std::string words;
  for (int i = 0; i < 40; ++i) words += "word ";
  const std::string markdown = "| Key | Text | More |\n|---|---|---|\n| `k` | " + words + " | " +
                               words + " |\n| k2 | short | " + words + words + " |\n";
  const std::string roff = MarkdownToMan(markdown);
  const std::smatch format = [&] {
    std::smatch m;
    std::regex_search(roff, m, std::regex("\nlw\\((\\d+)n\\) lw\\((\\d+)n\\) lw\\((\\d+)n\\)\n"));
    return m;
  }();
  ASSERT_EQ(format.size(), 4u) << roff;
  const int key = std::stoi(format[1]);
  const int total = key + std::stoi(format[2]) + std::stoi(format[3]) + 2 * 3;
  EXPECT_LE(total, kTableWidth) << roff;
  EXPECT_EQ(key, 3);  // narrow columns keep their width
  EXPECT_NE(roff.find("T{\nk2\nT}"), std::string::npos) << roff;
  EXPECT_NE(roff.find("T{\nword word"), std::string::npos) << roff;
}

TEST(MarkdownToMan, FitColumns) {
  const struct Row {
    int line;
    std::vector<ColumnWidths> columns;
    std::vector<int> fitted;
  } rows[] = {
      {__LINE__, {{5, 5}, {10, 4}}, {}},
      {__LINE__, {{5, 5}, {200, 10}}, {5, 63}},
      {__LINE__, {{10, 10}, {100, 10}, {300, 10}}, {10, 13, 41}},
      // A long word takes its room from a column with room to spare.
      {__LINE__, {{100, 10}, {100, 50}}, {18, 50}},
      // Words wider than the page: nothing to give, the words win.
      {__LINE__, {{40, 38}, {40, 38}}, {38, 38}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(FitColumns(row.columns, kTableWidth), row.fitted);
  }
}

TEST(MarkdownToMan, PlainTextAndWidthForMeasuring) {
  EXPECT_EQ(PlainInline("**a** `b\\|c` *d* [e](f) \\["), "a b\\|c d e (f) [");
  EXPECT_EQ(DisplayWidth("≥ é x"), 5);
}

// The documents the man pages are made from: every line that starts with a
// '.' is one of the requests the converter writes, so no text of theirs
// became a request.
TEST(MarkdownToMan, DocumentsOfTheProjectGiveOnlyKnownRequests) {
  const std::regex known("\\.(SH|SS|PP|IP|RS|RE|nf|fi|TS|TE|ne|na|nh|hy|ad)( .*)?");
  for (const char* name : {"conditions-and-mapping-files.md", "expressions.md", "mapping-guide.md",
                           "release.md", "host-files.md", "format-masks.md"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/docs/" + name);
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    std::istringstream roff(MarkdownToMan(text.str()));
    std::string line;
    int lines = 0;
    while (std::getline(roff, line)) {
      ++lines;
      if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
        EXPECT_TRUE(std::regex_match(line, known)) << line;
      }
    }
    EXPECT_GT(lines, 20);
  }
}

}  // namespace
