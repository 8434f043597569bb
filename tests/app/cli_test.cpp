// The `quillon` command itself: help, version and usage errors.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/run_command.h"

namespace {

using testing_support::RunCommand;

TEST(QuillonCommand, HelpListsTheSubcommandsAndExitCodes) {
  const auto r = RunCommand({QUILLON_BIN, "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("values"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Show the values the host releases"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Exit codes: 0 success"), std::string::npos) << r.out;
}

TEST(QuillonCommand, VersionPrintsTheProjectVersion) {
  const auto r = RunCommand({QUILLON_BIN, "--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex("quillon [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
}

TEST(QuillonCommand, UsageErrorsExitWith2) {
  const struct Row {
    int line;
    std::vector<std::string> args;
  } rows[] = {
      {__LINE__, {}},  // a subcommand is required
      {__LINE__, {"no-such-command"}},
      {__LINE__, {"--no-such-option"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::vector<std::string> argv = {QUILLON_BIN};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto r = RunCommand(argv);
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
  }
}

TEST(QuillonCommand, SubcommandHelpShowsItsOptions) {
  const auto r = RunCommand({QUILLON_BIN, "values", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--batch-class"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--json"), std::string::npos) << r.out;
}

}  // namespace
