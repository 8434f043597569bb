// Man pages made from the command's description.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "packaging/docgen/man_page.h"

namespace {

using namespace quillon::docgen;

CliOption Flag(std::vector<std::string> names, std::string description) {
  CliOption option;
  option.names = std::move(names);
  option.description = std::move(description);
  return option;
}

CliOption Valued(std::vector<std::string> names, std::string positional, std::string description,
                 ValueKind kind, bool required = false, bool multiple = false) {
  CliOption option;
  option.names = std::move(names);
  option.positional = std::move(positional);
  option.description = std::move(description);
  option.typeName = "TEXT";
  option.takesValue = true;
  option.kind = kind;
  option.required = required;
  option.multiple = multiple;
  return option;
}

CliCommand Tool() {
  CliCommand run;
  run.name = "run";
  run.description = "Run a job";
  run.footer =
      "Examples:\n"
      "  tool run a.json --out b     writes b\n"
      "    .hidden -x\n"
      "More in docs/run.md, or\n"
      "ask.\n"
      "\n"
      "Second paragraph.";
  run.options = {Flag({"-h", "--help"}, "Print this help message and exit"),
                 Valued({}, "job", "Job file", ValueKind::kFile, true),
                 Valued({"--out"}, "", "Output file", ValueKind::kFile),
                 Valued({"--level"}, "", "Level (a \\ b)", ValueKind::kText, true),
                 Valued({}, "args", "Arguments", ValueKind::kText, false, true)};
  CliCommand list;
  list.name = "list";
  list.description = "List jobs.";
  CliCommand root;
  root.name = "tool";
  root.description = "tool - does things";
  root.footer = "Exit codes: 0 ok, 2 not.";
  root.options = {Flag({"-h", "--help"}, "Print help"), Flag({"--version"}, "Print version")};
  root.subcommands = {run, list};
  return root;
}

ManPageSettings Settings() {
  return {"tool 1.0", "Tool Manual", {{"tool-files", 5}, {"tool-list", 1}}, "share/doc/tool/docs"};
}

TEST(CommandManPages, OnePagePerCommandNamedAfterItsPath) {
  const std::vector<ManPage> pages = CommandManPages(Tool(), Settings());
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].FileName(), "tool.1");
  EXPECT_EQ(pages[1].FileName(), "tool-run.1");
  EXPECT_EQ(pages[2].FileName(), "tool-list.1");
}

TEST(CommandManPages, SectionsComeFromTheDescription) {
  const std::vector<ManPage> pages = CommandManPages(Tool(), Settings());
  ASSERT_EQ(pages.size(), 3u);
  const struct Row {
    int line;
    std::size_t page;
    std::string text;
  } rows[] = {
      {__LINE__, 0,
       ".TH \"TOOL\" 1 \"\" \"tool 1.0\" \"Tool Manual\"\n.nh\n.SH NAME\ntool \\- does things\n"},
      {__LINE__, 0,
       ".SH SYNOPSIS\n.na\n\\fBtool\\fR [\\fB\\-\\-help\\fR] [\\fB\\-\\-version\\fR] "
       "\\fIcommand\\fR "
       "[\\fIargs\\fR\\&...]\n.ad\n"},
      // The footer without a heading joins the description.
      {__LINE__, 0, ".SH DESCRIPTION\nDoes things.\n.PP\nExit codes: 0 ok, 2 not.\n.SH COMMANDS\n"},
      {__LINE__, 0,
       ".TP\n\\fBrun\\fR\nRun a job. See \\fBtool\\-run\\fR(1).\n"
       ".TP\n\\fBlist\\fR\nList jobs. See \\fBtool\\-list\\fR(1).\n"},
      {__LINE__, 0,
       // Each page once.
       ".SH \"SEE "
       "ALSO\"\n\\fBtool\\-run\\fR(1),\n\\fBtool\\-list\\fR(1),\n\\fBtool\\-files\\fR(5)"
       "\n"},
      {__LINE__, 1, ".SH NAME\ntool\\-run \\- Run a job\n"},
      {__LINE__, 1,
       ".SH SYNOPSIS\n.na\n\\fBtool run\\fR [\\fB\\-\\-help\\fR] [\\fB\\-\\-out\\fR\\ "
       "\\fIFILE\\fR] "
       "\\fB\\-\\-level\\fR\\ \\fITEXT\\fR \\fIjob\\fR [\\fIargs\\fR\\&...]\n.ad\n"},
      {__LINE__, 1, ".SH DESCRIPTION\nRun a job.\n.SH ARGUMENTS\n"},
      {__LINE__, 1,
       ".TP\n\\fIjob\\fR\nJob file. Required.\n.TP\n\\fIargs\\fR\\&...\nArguments.\n.SH "
       "OPTIONS\n"},
      {__LINE__, 1,
       ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nPrint this help message and exit.\n"
       ".TP\n\\fB\\-\\-out\\fR \\fIFILE\\fR\nOutput file.\n"
       ".TP\n\\fB\\-\\-level\\fR \\fITEXT\\fR\nLevel (a \\e b). Required.\n"},
      // "Examples:" starts a section; indented lines keep their columns
      // beyond the common indentation; text lines run on.
      {__LINE__, 1,
       ".SH \"EXAMPLES\"\n.PP\n.RS 4\n.nf\ntool run a.json \\-\\-out b     writes b\n"
       "  .hidden \\-x\n.fi\n.RE\n.PP\nMore in docs/run.md, or\nask.\n.PP\nSecond paragraph.\n"},
      // The parent, then the pages every page names, but not itself.
      {__LINE__, 1,
       ".SH \"SEE "
       "ALSO\"\n\\fBtool\\fR(1),\n\\fBtool\\-files\\fR(5),\n\\fBtool\\-list\\fR(1)\n"},
      {__LINE__, 1,
       "\n.PP\nThe Debian package installs the files under docs/ named above in\n"
       "/usr/share/doc/tool/docs; cmake \\-\\-install puts them in\n"
       "share/doc/tool/docs below its prefix.\n"},
      {__LINE__, 2, ".SH \"SEE ALSO\"\n\\fBtool\\fR(1),\n\\fBtool\\-files\\fR(5)\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_NE(pages[row.page].text.find(row.text), std::string::npos) << pages[row.page].text;
  }
  // No docs/ named, no note.
  EXPECT_EQ(pages[2].text.find("installs the files"), std::string::npos) << pages[2].text;
  // Literal lines never start a request.
  EXPECT_EQ(pages[1].text.find("\n.hidden"), std::string::npos);
}

TEST(MarkdownManPage, RunsTblOnlyWhenThereIsATable) {
  const ManPage plain =
      MarkdownManPage("tool-files", 5, "files of tool", {"# A\n\ntext"}, Settings());
  EXPECT_EQ(plain.FileName(), "tool-files.5");
  EXPECT_EQ(plain.text,
            ".TH \"TOOL\\-FILES\" 5 \"\" \"tool 1.0\" \"Tool Manual\"\n.nh\n.SH NAME\n"
            "tool\\-files \\- files of tool\n.SH \"A\"\n.PP\ntext\n"
            ".SH \"SEE ALSO\"\n\\fBtool\\-list\\fR(1)\n");
  const ManPage table = MarkdownManPage("tool-files", 5, "files",
                                        {"# A\n", "# B\n| x |\n|---|\n| 1 |\n"}, Settings());
  EXPECT_EQ(table.text.rfind("'\\\" t\n.TH ", 0), 0u) << table.text;
  EXPECT_NE(table.text.find(".SH \"A\"\n.SH \"B\"\n"), std::string::npos) << table.text;
}

TEST(ManReference, ReadsNameAndSection) {
  const ManReference reference = ParseManReference("quillon-mappings(5)");
  EXPECT_EQ(reference.name, "quillon-mappings");
  EXPECT_EQ(reference.section, 5);
  for (const char* bad : {"quillon", "(5)", "x(0)", "x(12)", "x(a)", "x(5", "x()"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseManReference(bad), std::invalid_argument);
  }
}

}  // namespace
