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
  const struct Row {
    int line;
    const char* name;
  } rows[] = {
      {__LINE__, "values"}, {__LINE__, "eval"},      {__LINE__, "conditions"}, {__LINE__, "map"},
      {__LINE__, "check"},  {__LINE__, "translate"}, {__LINE__, "release"},
  };
  const std::size_t listed = r.out.find("Subcommands:");
  ASSERT_NE(listed, std::string::npos) << r.out;
  std::size_t previous = listed;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    // Each on a line of its own, in registration order.
    const std::size_t at = r.out.find(std::string("\n  ") + row.name + " ", listed);
    EXPECT_NE(at, std::string::npos) << r.out;
    if (at != std::string::npos) {
      EXPECT_GT(at, previous);
      previous = at;
    }
  }
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

TEST(QuillonCommand, UnknownCommandsNameTheLikelyOne) {
  const struct Row {
    int line;
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {__LINE__,
       {"relase", "b.json"},
       "\"relase\" is no quillon command (did you mean \"release\"?)"},
      {__LINE__, {"chek"}, "\"chek\" is no quillon command (did you mean \"check\"?)"},
      {__LINE__, {"frobnicate"}, "\"frobnicate\" is no quillon command;"},
      {__LINE__,
       {"help", "relase"},
       "\"relase\" is no quillon command (did you mean \"release\"?)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::vector<std::string> argv = {QUILLON_BIN};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto r = RunCommand(argv);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"quillon help\" lists the commands"), std::string::npos) << r.err;
  }
}

TEST(QuillonCommand, HelpDescribesTheCommandsOrOneOfThem) {
  const auto all = RunCommand({QUILLON_BIN, "help"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out, RunCommand({QUILLON_BIN, "--help"}).out);

  const auto one = RunCommand({QUILLON_BIN, "help", "check"});
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, RunCommand({QUILLON_BIN, "check", "--help"}).out);
  EXPECT_NE(one.out.find("--batch-class"), std::string::npos) << one.out;
}

TEST(QuillonCommand, SubcommandHelpShowsItsOptions) {
  const auto r = RunCommand({QUILLON_BIN, "values", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--batch-class"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--json"), std::string::npos) << r.out;
}

}  // namespace
