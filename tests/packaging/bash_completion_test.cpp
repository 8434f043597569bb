// The completion script made from a command's description, run in bash.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packaging/completion_runner.h"
#include "packaging/docgen/bash_completion.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using namespace quillon::docgen;
using Words = std::vector<std::string>;

CliOption Option(std::vector<std::string> names, std::string positional, ValueKind kind,
                 bool multiple = false) {
  CliOption option;
  option.names = std::move(names);
  option.positional = std::move(positional);
  option.takesValue = kind != ValueKind::kNone;
  option.kind = kind;
  option.multiple = multiple;
  return option;
}

CliCommand Tool() {
  CliCommand run;
  run.name = "run";
  run.options = {
      Option({"-h", "--help"}, "", ValueKind::kNone), Option({}, "job", ValueKind::kFile),
      Option({"-o", "--out"}, "", ValueKind::kFile),  Option({"--dir"}, "", ValueKind::kDirectory),
      Option({"--level"}, "", ValueKind::kText),      Option({"--json"}, "", ValueKind::kNone),
      Option({}, "rest", ValueKind::kText, true)};
  CliOption mode = Option({"--mode"}, "", ValueKind::kChoice);
  mode.choices = {"fast", "slow"};
  run.options.push_back(mode);
  CliCommand report;
  report.name = "report";
  report.options = {Option({}, "files", ValueKind::kFile, true)};
  CliCommand list;
  list.name = "list-all";
  CliCommand root;
  root.name = "my-tool";
  root.options = {Option({"-h", "--help"}, "", ValueKind::kNone),
                  Option({"--version"}, "", ValueKind::kNone)};
  root.subcommands = {run, report, list};
  return root;
}

class BashCompletionTest : public testing::Test {
 protected:
  void SetUp() override {
    script_ = scripts_.Write("my-tool", BashCompletion(Tool()));
    files_.Write("a.json", "{}");
    files_.Write("b.txt", "");
    files_.Write("-dash", "");
    std::filesystem::create_directory(files_.path() / "sub");
  }

  Words Complete(const Words& words) {
    return testing_support::Complete(script_, "_my_tool", words, files_.str());
  }

  testing_support::TempDir scripts_;
  testing_support::TempDir files_;
  std::string script_;
};

TEST_F(BashCompletionTest, ScriptIsValidBash) {
  const auto result = testing_support::RunCommand({"/bin/bash", "-n", script_});
  EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST_F(BashCompletionTest, CompletesSubcommandsOptionsAndValues) {
  const struct Row {
    int line;
    Words words;  // the last is the word being completed
    Words candidates;
  } rows[] = {
      {__LINE__, {"my-tool", "re"}, {"report"}},
      {__LINE__, {"my-tool", ""}, {"list-all", "report", "run"}},
      {__LINE__, {"my-tool", "-"}, {"--help", "--version", "-h"}},
      {__LINE__, {"my-tool", "--version", "r"}, {"report", "run"}},
      {__LINE__,
       {"my-tool", "run", "--"},
       {"--dir", "--help", "--json", "--level", "--mode", "--out"}},
      // Option values: files, directories only, nothing for text, the choices.
      {__LINE__, {"my-tool", "run", "--out", ""}, {"-dash", "a.json", "b.txt", "sub"}},
      {__LINE__, {"my-tool", "run", "-o", "a"}, {"a.json"}},
      {__LINE__, {"my-tool", "run", "--out", "=", ""}, {"-dash", "a.json", "b.txt", "sub"}},
      {__LINE__, {"my-tool", "run", "--out", "="}, {"-dash", "a.json", "b.txt", "sub"}},
      {__LINE__, {"my-tool", "run", "--dir", ""}, {"sub"}},
      {__LINE__, {"my-tool", "run", "--level", ""}, {}},
      {__LINE__, {"my-tool", "run", "--mode", ""}, {"fast", "slow"}},
      {__LINE__, {"my-tool", "run", "--mode", "=", "s"}, {"slow"}},
      {__LINE__, {"my-tool", "run", "--mode", "fast", "a"}, {"a.json"}},
      // Positionals in order; option values and flags do not count.
      {__LINE__, {"my-tool", "run", "a"}, {"a.json"}},
      {__LINE__, {"my-tool", "run", "--out", "x", "--json", "b"}, {"b.txt"}},
      {__LINE__, {"my-tool", "run", "--out", "=", "x", "b"}, {"b.txt"}},
      {__LINE__, {"my-tool", "run", "a.json", "b"}, {}},
      {__LINE__, {"my-tool", "run", "a.json", "x", "y", "b"}, {}},
      // A repeated positional repeats its kind.
      {__LINE__, {"my-tool", "report", "a.json", "b.txt", "s"}, {"sub"}},
      // After "--" everything is a positional, even "-dash".
      {__LINE__, {"my-tool", "run", "--", "-"}, {"-dash"}},
      {__LINE__, {"my-tool", "nothing", ""}, {}},
      {__LINE__, {"my-tool", "list-all", ""}, {}},
      {__LINE__, {"my-tool", "list-all", "-"}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Complete(row.words), row.candidates);
  }
}

TEST_F(BashCompletionTest, FileNamesWithBlanksStayWhole) {
  files_.Write("with blank.json", "");
  EXPECT_EQ(Complete({"my-tool", "run", "w"}), Words{"with blank.json"});
}

}  // namespace
