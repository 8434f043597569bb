// The man pages and the completion this build made from the built
// `quillon` command: they cover every subcommand and option the command
// has, and man reads the pages without a warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "packaging/completion_runner.h"
#include "packaging/docgen/roff.h"
#include "packaging/program_path.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramPath;
using testing_support::RunCommand;
using Json = nlohmann::json;
using Words = std::vector<std::string>;

const fs::path kGenerated = QUILLON_GENERATED_DOCS;
const std::string kCompletion = (kGenerated / "completion" / "quillon").string();

Json Describe() {
  const auto result = RunCommand({QUILLON_BIN, "--describe-cli"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return Json::parse(result.out);
}

std::string Gunzip(const fs::path& path) {
  const auto result = RunCommand({ProgramPath("gzip"), "-dc", path.string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return result.out;
}

std::vector<std::string> LongOptions(const Json& command) {
  std::vector<std::string> names;
  for (const Json& option : command["options"]) {
    for (const Json& name : option["names"]) {
      if (name.get<std::string>().rfind("--", 0) == 0) names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GeneratedCompletion, CompletesTheSubcommandsOfTheBuiltCommand) {
  const Json cli = Describe();
  Words subcommands;
  Words startingWithRe;
  for (const Json& sub : cli["subcommands"]) {
    const std::string name = sub["name"];
    subcommands.push_back(name);
    if (name.rfind("re", 0) == 0) startingWithRe.push_back(name);
  }
  std::sort(subcommands.begin(), subcommands.end());
  std::sort(startingWithRe.begin(), startingWithRe.end());
  ASSERT_NE(std::find(startingWithRe.begin(), startingWithRe.end(), "release"),
            startingWithRe.end());
  testing_support::TempDir cwd;
  EXPECT_EQ(testing_support::Complete(kCompletion, "_quillon", {"quillon", "re"}, cwd.str()),
            startingWithRe);
  EXPECT_EQ(testing_support::Complete(kCompletion, "_quillon", {"quillon", ""}, cwd.str()),
            subcommands);
}

TEST(GeneratedCompletion, CompletesTheLongOptionsOfEverySubcommand) {
  const Json cli = Describe();
  testing_support::TempDir cwd;
  for (const Json& sub : cli["subcommands"]) {
    const std::string name = sub["name"];
    SCOPED_TRACE(name);
    EXPECT_EQ(
        testing_support::Complete(kCompletion, "_quillon", {"quillon", name, "--"}, cwd.str()),
        LongOptions(sub));
  }
}

TEST(GeneratedCompletion, CompletesFilesAndDirectoriesWhereTheCommandTakesThem) {
  testing_support::TempDir cwd;
  cwd.Write("batch.json", "{}");
  fs::create_directory(cwd.path() / "mappings");
  const struct Row {
    int line;
    Words words;
    Words candidates;
  } rows[] = {
      {__LINE__, {"quillon", "release", ""}, {"batch.json", "mappings"}},
      {__LINE__, {"quillon", "release", "--batch-class", "b"}, {"batch.json"}},
      {__LINE__, {"quillon", "translate", "--mappings", ""}, {"mappings"}},
      {__LINE__, {"quillon", "eval", "b"}, {}},
      {__LINE__, {"quillon", "setup", "x.json", "--edi-output", ""}, {"per-batch", "per-document"}},
      {__LINE__, {"quillon", "setup", "x.json", "--mappings-dir", ""}, {"mappings"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(testing_support::Complete(kCompletion, "_quillon", row.words, cwd.str()),
              row.candidates);
  }
}

TEST(GeneratedManPages, OnePerSubcommandNamingEachOption) {
  const Json cli = Describe();
  std::set<std::string> expected = {"quillon.1.gz"};
  for (const Json& sub : cli["subcommands"]) {
    const std::string name = sub["name"];
    SCOPED_TRACE(name);
    expected.insert("quillon-" + name + ".1.gz");
    const std::string page = Gunzip(kGenerated / "man" / "man1" / ("quillon-" + name + ".1.gz"));
    EXPECT_NE(page.find(".SH NAME\nquillon\\-" + quillon::docgen::RoffLiteral(name) + " \\- "),
              std::string::npos);
    for (const Json& option : sub["options"]) {
      using quillon::docgen::RoffLiteral;
      const std::string label =
          option.contains("positional")
              ? "\\fI" + RoffLiteral(option["positional"].get<std::string>()) + "\\fR"
              : "\\fB" + RoffLiteral(option["names"].front().get<std::string>()) + "\\fR";
      EXPECT_NE(page.find(".TP\n" + label), std::string::npos) << label;
    }
  }
  // Nothing left over from a subcommand that is gone.
  std::set<std::string> found;
  for (const auto& entry : fs::directory_iterator(kGenerated / "man" / "man1")) {
    found.insert(entry.path().filename().string());
  }
  EXPECT_EQ(found, expected);
}

// The mapping-file page is made of the two documents: their headings are
// its sections.
TEST(GeneratedManPages, MappingPageHoldsBothDocuments) {
  const std::string page = Gunzip(kGenerated / "man" / "man5" / "quillon-mappings.5.gz");
  for (const char* name : {"conditions-and-mapping-files.md", "expressions.md"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/docs/" + name);
    std::string title;
    ASSERT_TRUE(std::getline(in, title));
    ASSERT_EQ(title.rfind("# ", 0), 0u);
    EXPECT_NE(page.find(".SH \"" + quillon::docgen::AsciiUpper(title.substr(2)) + "\"\n"),
              std::string::npos);
  }
}

// What lintian checks: man reads every page without a warning, each has a
// whatis line, and each is compressed without a name or time stamp.
TEST(GeneratedManPages, ManReadsThemWithoutWarnings) {
  int pages = 0;
  for (const auto& section : fs::directory_iterator(kGenerated / "man")) {
    for (const auto& entry : fs::directory_iterator(section.path())) {
      const std::string path = entry.path().string();
      SCOPED_TRACE(path);
      ++pages;
      const auto man =
          RunCommand({ProgramPath("man"), "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path},
                     "", {"MANWIDTH=80", "LC_ALL=C.UTF-8"});
      EXPECT_EQ(man.exitCode, 0);
      EXPECT_EQ(man.err, "");
      const auto whatis = RunCommand({ProgramPath("lexgrog"), path});
      EXPECT_EQ(whatis.exitCode, 0) << whatis.out << whatis.err;
      std::ifstream in(path, std::ios::binary);
      unsigned char header[8] = {};
      in.read(reinterpret_cast<char*>(header), sizeof header);
      EXPECT_EQ(header[0], 0x1f);
      EXPECT_EQ(header[1], 0x8b);
      EXPECT_EQ(header[3] & 0x08, 0) << "a file name is stored";
      EXPECT_EQ(header[4] | header[5] | header[6] | header[7], 0) << "a time stamp is stored";
    }
  }
  EXPECT_GE(pages, 3);
}

}  // namespace
