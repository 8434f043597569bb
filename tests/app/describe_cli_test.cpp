// `quillon --describe-cli`, the hidden flag the man pages and the shell
// completion are made from: it must say what --help says.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "support/run_command.h"

namespace {

using testing_support::RunCommand;
using Json = nlohmann::json;

// The first word of every line of a --help section ("Options:" ...), split
// at ',' ("-h,--help" gives -h and --help).
std::set<std::string> HelpSection(const std::string& help, const std::string& heading) {
  std::set<std::string> names;
  std::istringstream in(help);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line == heading) {
      inside = true;
      continue;
    }
    if (!inside) continue;
    if (line.rfind("  ", 0) != 0) break;
    if (line.size() > 2 && line[2] == ' ') continue;  // a description on a line of its own
    std::string first = line.substr(2, line.find(' ', 2) - 2);
    std::size_t start = 0;
    while (start <= first.size()) {
      const std::size_t end = std::min(first.find(',', start), first.size());
      names.insert(first.substr(start, end - start));
      start = end + 1;
    }
  }
  return names;
}

TEST(DescribeCli, IsHiddenAndPrintsJson) {
  const auto help = RunCommand({QUILLON_BIN, "--help"});
  EXPECT_EQ(help.out.find("describe"), std::string::npos) << help.out;
  const auto r = RunCommand({QUILLON_BIN, "--describe-cli"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  const Json cli = Json::parse(r.out);
  EXPECT_EQ(cli["name"], "quillon");
  EXPECT_NE(cli["description"].get<std::string>().find("X12 837"), std::string::npos);
}

TEST(DescribeCli, ListsWhatHelpShowsForEverySubcommand) {
  const Json cli = Json::parse(RunCommand({QUILLON_BIN, "--describe-cli"}).out);
  const std::string help = RunCommand({QUILLON_BIN, "--help"}).out;
  std::set<std::string> described;
  for (const Json& sub : cli["subcommands"]) {
    const std::string name = sub["name"];
    SCOPED_TRACE(name);
    described.insert(name);
    EXPECT_NE(help.find("  " + name + " "), std::string::npos);
    EXPECT_NE(help.find(sub["description"].get<std::string>()), std::string::npos);

    const std::string subHelp = RunCommand({QUILLON_BIN, name, "--help"}).out;
    std::set<std::string> options;
    std::set<std::string> positionals;
    for (const Json& option : sub["options"]) {
      if (option.contains("positional")) {
        positionals.insert(option["positional"]);
        EXPECT_TRUE(option["takesValue"].get<bool>());
      }
      for (const Json& n : option["names"]) options.insert(n);
    }
    EXPECT_EQ(options, HelpSection(subHelp, "Options:"));
    EXPECT_EQ(positionals, HelpSection(subHelp, "Positionals:"));
    if (!sub["footer"].get<std::string>().empty()) {
      EXPECT_NE(subHelp.find(sub["footer"].get<std::string>()), std::string::npos);
    }
  }
  EXPECT_EQ(described, HelpSection(help, "Subcommands:"));
}

TEST(DescribeCli, SaysWhichOptionsTakeValues) {
  const Json cli = Json::parse(RunCommand({QUILLON_BIN, "--describe-cli"}).out);
  const struct Row {
    int line;
    std::string subcommand;
    std::string option;
    bool takesValue;
    bool multiple;
    bool required;
  } rows[] = {
      {__LINE__, "release", "--batch-class", true, false, false},
      {__LINE__, "release", "batch", true, false, true},
      {__LINE__, "values", "--json", false, false, false},
      {__LINE__, "check", "paths", true, true, false},  // --batch-class alone names the paths
      {__LINE__, "translate", "--mappings", true, false, false},  // or the batch class of --batch
      {__LINE__, "translate", "--document", true, false, false},
      {__LINE__, "release", "--dry-run", false, false, false},
      {__LINE__, "eval", "fields", true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Json* found = nullptr;
    for (const Json& sub : cli["subcommands"]) {
      if (sub["name"] != row.subcommand) continue;
      for (const Json& option : sub["options"]) {
        const bool named = option.contains("positional") ? option["positional"] == row.option
                                                         : option["names"].back() == row.option;
        if (named) found = &option;
      }
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ((*found)["takesValue"], row.takesValue);
    EXPECT_EQ((*found)["multiple"], row.multiple);
    EXPECT_EQ((*found)["required"], row.required);
  }
}

}  // namespace
