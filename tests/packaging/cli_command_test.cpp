// Reading the command's description back: what it must hold, and what
// each option's value is taken to be.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "packaging/docgen/cli_command.h"

namespace {

using namespace quillon::docgen;

std::string Option(const std::string& fields) {
  return R"({"description": "d", "typeName": "TEXT", "required": false, "takesValue": true,
             "multiple": false, )" +
         fields + "}";
}

std::string Command(const std::string& name, const std::string& options,
                    const std::string& subcommands = "") {
  return R"({"name": ")" + name + R"(", "description": "does", "footer": "", "options": [)" +
         options + R"(], "subcommands": [)" + subcommands + "]}";
}

TEST(CliDescription, ReadsCommandsOptionsAndPositionals) {
  const CliCommand root = ParseCliDescription(Command(
      "tool", Option(R"("names": ["-h", "--help"], "takesValue": false)"),
      Command("run",
              Option(R"("names": [], "positional": "job", "description": "Job file",
                                "required": true)") +
                  "," +
                  Option(R"("names": ["--out"], "description": "Where", "multiple": true)"))));
  EXPECT_EQ(root.name, "tool");
  ASSERT_EQ(root.options.size(), 1u);
  EXPECT_EQ(root.options[0].names, (std::vector<std::string>{"-h", "--help"}));
  EXPECT_EQ(root.options[0].kind, ValueKind::kNone);
  ASSERT_EQ(root.subcommands.size(), 1u);
  const CliCommand& run = root.subcommands[0];
  EXPECT_EQ(run.name, "run");
  ASSERT_EQ(run.options.size(), 2u);
  EXPECT_EQ(run.options[0].positional, "job");
  EXPECT_TRUE(run.options[0].required);
  EXPECT_EQ(run.options[0].kind, ValueKind::kFile);
  EXPECT_TRUE(run.options[1].multiple);
  EXPECT_EQ(run.options[1].kind, ValueKind::kText);
}

// Names end up in file names and shell code: anything but plain words is
// refused, with the place named.
TEST(CliDescription, RefusesWhatWouldBreakPagesOrShellCode) {
  const struct Row {
    int line;
    std::string json;
    std::string message;
  } rows[] = {
      {__LINE__, "{", "the command description is no JSON"},
      {__LINE__, "[]", "the command description is not an object"},
      {__LINE__, R"({"footer": ""})", "the command: \"name\" is missing"},
      {__LINE__, Command("a b", ""), "\"a b\" is no command name"},
      {__LINE__, Command("-x", ""), "\"-x\" is no command name"},
      {__LINE__, Command("tool", "", Command("x;rm", "")), "tool: \"x;rm\" is no command name"},
      {__LINE__, Command("tool", "", Command("$(id)", "")), "is no command name"},
      {__LINE__, Command("tool", Option(R"("names": ["--a b"])")),
       "tool: \"--a b\" is no option name"},
      {__LINE__, Command("tool", Option(R"("names": ["---"])")), "is no option name"},
      {__LINE__, Command("tool", Option(R"("names": ["-"])")), "is no option name"},
      {__LINE__, Command("tool", Option(R"("names": ["x"])")), "is no option name"},
      {__LINE__, Command("tool", Option(R"("names": [3])")), "3 is no option name"},
      {__LINE__, Command("tool", Option(R"("names": [], "positional": "a\"b")")),
       "is no name for a positional argument"},
      {__LINE__, Command("tool", Option(R"("names": ["--a"], "positional": "a")")),
       "either names or a positional name"},
      {__LINE__, Command("tool", Option(R"("names": [])")), "either names or a positional name"},
      {__LINE__, Command("tool", Option(R"("names": [], "positional": "a", "takesValue": false)")),
       "tool a: a positional argument takes a value"},
      {__LINE__, Command("tool", Option(R"("names": ["--a"], "required": "yes")")),
       "tool --a: \"required\" is missing or not true/false"},
      {__LINE__,
       R"({"name": "tool", "description": "d", "footer": "", "options": {}, "subcommands": []})",
       "tool: \"options\" is missing or not a list"},
      {__LINE__, R"({"name": "tool", "footer": "", "options": [], "subcommands": []})",
       "tool: \"description\" is missing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    try {
      ParseCliDescription(row.json);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
    }
  }
}

// A set of values (CLI11 shows "TEXT:{a,b}") is offered as it is, when its
// words are safe in shell code.
TEST(CliDescription, ChoicesComeFromTheTypeName) {
  const struct Row {
    int line;
    std::string typeName;
    std::vector<std::string> choices;
    ValueKind kind;
  } rows[] = {
      {__LINE__,
       "TEXT:{per-batch,per-document}",
       {"per-batch", "per-document"},
       ValueKind::kChoice},
      {__LINE__, "TEXT:{on}", {"on"}, ValueKind::kChoice},
      {__LINE__, "INT:{1.5,2}", {"1.5", "2"}, ValueKind::kChoice},
      {__LINE__, "TEXT:{a b,c}", {}, ValueKind::kText},
      {__LINE__, "TEXT:{a,$(id)}", {}, ValueKind::kText},
      {__LINE__, "TEXT:{a,,b}", {}, ValueKind::kText},
      {__LINE__, "TEXT:{}", {}, ValueKind::kText},
      {__LINE__, "TEXT:{a", {}, ValueKind::kText},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const CliCommand root = ParseCliDescription(
        Command("tool", Option(R"("names": ["--mode"], "typeName": ")" + row.typeName + "\"")));
    ASSERT_EQ(root.options.size(), 1u);
    EXPECT_EQ(root.options[0].choices, row.choices);
    EXPECT_EQ(root.options[0].kind, row.kind);
  }
}

TEST(CliDescription, ClassifiesValuesByHowTheCommandDescribesThem) {
  const struct Row {
    int line;
    std::vector<std::string> names;
    std::string positional;
    std::string description;
    std::string typeName;
    bool takesValue;
    ValueKind kind;
  } rows[] = {
      {__LINE__, {"--json"}, "", "Print JSON instead of a file", "", false, ValueKind::kNone},
      {__LINE__, {}, "batch", "Batch file (JSON)", "TEXT", true, ValueKind::kFile},
      {__LINE__,
       {"--error-log"},
       "",
       "Append every error to this file",
       "TEXT",
       true,
       ValueKind::kFile},
      {__LINE__,
       {"--mappings"},
       "",
       "Mappings directory (DataMappings.xml, ...)",
       "TEXT",
       true,
       ValueKind::kDirectory},
      // Files or directories: complete both.
      {__LINE__,
       {},
       "paths",
       "Mapping-class files, or mappings directories",
       "TEXT",
       true,
       ValueKind::kFile},
      {__LINE__, {"--output-folder"}, "", "Where it goes", "TEXT", true, ValueKind::kDirectory},
      {__LINE__, {}, "fields", "Field values as NAME=VALUE", "TEXT", true, ValueKind::kText},
      // Whole words only: a profile is no file.
      {__LINE__, {"--profile"}, "", "Profile name; filename rules", "TEXT", true, ValueKind::kText},
      {__LINE__, {"--in"}, "", "Input", "FILE", true, ValueKind::kFile},
      {__LINE__, {"--in"}, "", "Input", "PATH", true, ValueKind::kFile},
      {__LINE__, {"--in"}, "", "Input file", "DIR", true, ValueKind::kDirectory},
      // The names speak first, then the description.
      {__LINE__,
       {"--mappings-dir"},
       "",
       "Mappings directory (holds the three mapping files)",
       "TEXT",
       true,
       ValueKind::kDirectory},
      {__LINE__,
       {"--import-mappings"},
       "",
       "Load them from the files in this folder",
       "TEXT",
       true,
       ValueKind::kFile},
      {__LINE__, {"--log-file"}, "", "Goes into the log directory", "TEXT", true, ValueKind::kFile},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    CliOption option;
    option.names = row.names;
    option.positional = row.positional;
    option.description = row.description;
    option.typeName = row.typeName;
    option.takesValue = row.takesValue;
    EXPECT_EQ(ClassifyValue(option), row.kind);
  }
}

}  // namespace
