// `quillon setup`: what it shows, what it refuses (writing nothing), its exit
// codes, and a setup of the bundled example with new directories after which
// the example batch still releases into a valid 837P.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunCommand;

const std::string kSource = QUILLON_SOURCE_DIR;

testing_support::CommandResult Quillon(const std::string& folder, std::vector<std::string> args,
                                       const std::string& input = {}) {
  args.insert(args.begin(), {"/usr/bin/env", "-C", folder, QUILLON_BIN});
  return RunCommand(args, input);
}

std::string MappingDocument(const std::string& name) {
  return "<FieldMappings><MappingClass name=\"" + name +
         "\"><Fields><Field name=\"Out\" value=\"[In]\"/></Fields></MappingClass></FieldMappings>";
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
    }
  }
  return files;
}

// A batch class with relative directories in a fresh folder.
class SetupCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("maps/DataMappings.xml", MappingDocument("Data"));
    dir_.Write("maps/FieldMappings.xml", MappingDocument("Field"));
    dir_.Write("maps/FeedOutputMappings.xml", MappingDocument("Output"));
    dir_.Write("class.json", R"({
  "name": "Claims",
  "customProperties": {
    "Mappings Directory": "maps",
    "Logging Directory": "logs",
    "Working Directory": "",
    "EDI Output": "One EDI Per Batch",
    "Enable Logging": "0"
  },
  "indexFields": ["Patient Name"],
  "batchFields": ["Payer"],
  "hostVariables": ["Batch ID"],
  "links": [ { "destination": "Name", "sourceType": 0, "source": "Patient Name" } ]
}
)");
  }

  testing_support::CommandResult RunSetup(std::vector<std::string> args) {
    args.insert(args.begin(), {"setup", "class.json"});
    return Quillon(dir_.str(), args);
  }

  testing_support::TempDir dir_;
};

TEST_F(SetupCommand, WithoutOptionsItShowsTheStoredSetup) {
  dir_.Write("maps/FieldMappings.xml", "<FieldMappings>\n<MappingClass/></FieldMappings>");
  fs::remove(dir_.Child("maps/FeedOutputMappings.xml"));
  const auto before = Snapshot(dir_.path());
  const auto result = RunSetup({});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  for (const char* line : {
           "batch class: Claims (class.json)\n",
           "  Mappings Directory: \"maps\"\n",
           "  EDI Output: \"One EDI Per Batch\"\n",
           "  Enable Logging: \"0\"\n",
           "  maps/DataMappings.xml: loaded (1 class)\n",
           "  maps/FieldMappings.xml: invalid: error 6000 at line 2: Error parsing mapping "
           "classes configuration: mapping class missing required attribute 'name'.\n",
           "  maps/FeedOutputMappings.xml: missing (the editor starts empty)\n",
           "links (1):\n  Source: Patient Name, Dest: Name, Type: 0\n",
       }) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
  }
  EXPECT_EQ(result.out.find("saving"), std::string::npos);
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

TEST_F(SetupCommand, ARefusedSaveExitsOneAndWritesNothing) {
  dir_.Write("elsewhere/DataMappings.xml", MappingDocument("D2"));
  dir_.Write("elsewhere/FieldMappings.xml", MappingDocument("F2"));
  dir_.Write("elsewhere/FeedOutputMappings.xml", MappingDocument("O2"));
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string reason;  // the last message, on standard error
    bool readOnly = false;
  } rows[] = {
      {__LINE__, {"--mappings-dir", "none", "--yes"}, "Mappings Directory is not valid"},
      // Not a terminal and no --yes: the question is answered No.
      {__LINE__,
       {"--logging", "on", "--logging-dir", "new-logs"},
       "Logging Directory is not valid"},
      {__LINE__, {"--working-dir", "new-work", "--no"}, "Working Directory is not valid"},
      {__LINE__,
       {"--import-mappings", "elsewhere", "--no"},
       "Are you sure you want to overwrite the mapping files?"},
      {__LINE__,
       {"--import-mappings", "elsewhere"},
       "Are you sure you want to overwrite the mapping files?"},
      {__LINE__, {"--mappings-dir", "elsewhere/..", "--yes"}, "The mapping files do not exist"},
      {__LINE__,
       {"--save", "--yes"},
       "Could not modify the mapping files - Access is denied",
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string readOnly = dir_.Child("maps/FieldMappings.xml");
    ASSERT_EQ(::chmod(readOnly.c_str(), row.readOnly ? 0444 : 0644), 0);
    const auto before = Snapshot(dir_.path());
    const auto result = RunSetup(row.args);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(result.err, "error: the setup was not saved: " + row.reason + "\n");
    EXPECT_EQ(Snapshot(dir_.path()), before);
    EXPECT_FALSE(fs::exists(dir_.Child("new-logs")));
    EXPECT_FALSE(fs::exists(dir_.Child("new-work")));
  }
}

TEST_F(SetupCommand, UsageAndUnreadableInputExitTwo) {
  dir_.Write("broken.json", R"({"name": "Claims",)");
  dir_.Write("half/DataMappings.xml", MappingDocument("D"));
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string error;  // part of standard error
  } rows[] = {
      {__LINE__, {"setup", "class.json", "--yes", "--no"}, "excludes"},
      {__LINE__, {"setup", "class.json", "--edi-output", "sideways"}, "sideways"},
      {__LINE__, {"setup", "class.json", "--logging", "maybe"}, "maybe"},
      {__LINE__, {"setup"}, "batch-class"},
      {__LINE__, {"setup", "missing.json"}, "missing.json"},
      {__LINE__, {"setup", "broken.json"}, "broken.json: not valid JSON"},
      {__LINE__,
       {"setup", "class.json", "--import-mappings", "half"},
       "--import-mappings: half/FieldMappings.xml does not exist"},
  };
  const auto before = Snapshot(dir_.path());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto result = Quillon(dir_.str(), row.args);
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_NE(result.err.find(row.error), std::string::npos) << result.err;
  }
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

TEST_F(SetupCommand, ASaveStoresTheSettingsAndTheLinks) {
  const auto result = RunSetup({"--working-dir", "work", "--edi-output", "per-document",
                                "--logging", "on", "--logging-dir", "logs", "--yes"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(fs::is_directory(dir_.Child("work")));
  EXPECT_TRUE(fs::is_directory(dir_.Child("logs")));
  const nlohmann::json saved = nlohmann::json::parse(ReadFile(dir_.Child("class.json")));
  EXPECT_EQ(saved["customProperties"]["EDI Output"], "One EDI Per Document");
  EXPECT_EQ(saved["customProperties"]["Enable Logging"], "1");
  EXPECT_EQ(saved["customProperties"]["Working Directory"], "work");
  EXPECT_EQ(saved["links"].size(), 4u);  // + Payer, Patient Name, Batch ID
  EXPECT_NE(result.out.find("Quillon: Quillon Connector has been updated!\n"
                            "Source: Patient Name, Dest: Name, Type: 0\n"
                            "Source: Payer, Dest: Payer, Type: 3\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("saved: class.json\n"), std::string::npos);

  // Saving again asks for the host variable's link again; the stand-in host
  // keeps one.
  ASSERT_EQ(RunSetup({"--save"}).exitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(ReadFile(dir_.Child("class.json")))["links"].size(), 4u);
}

// The X12 checker of tests/x12, when node and its packages are there.
bool CheckerAvailable() {
  return fs::exists(kSource + "/tests/x12/node_modules/node-x12/package.json") &&
         RunCommand({"/usr/bin/env", "node", "--version"}).exitCode == 0;
}

TEST(SetupExample, TheExampleReleasesWithTheNewSetup) {
  testing_support::TempDir dir;
  const fs::path example = dir.path() / "examples" / "professional-claims";
  fs::create_directories(example.parent_path());
  fs::copy(fs::path(kSource) / "examples" / "professional-claims", example,
           fs::copy_options::recursive);
  for (const auto& entry : fs::directory_iterator(example)) {
    if (entry.path().extension() == ".icn") fs::remove(entry.path());
  }
  fs::create_directories(dir.path() / "setup" / "maps");

  const std::string batchClass = "examples/professional-claims/batch-class.json";
  const auto setup =
      Quillon(dir.str(), {"setup", batchClass, "--mappings-dir", "setup/maps", "--import-mappings",
                          "examples/professional-claims/mappings", "--logging-dir", "setup/logs",
                          "--working-dir", "setup/work", "--edi-output", "per-batch", "--yes"});
  ASSERT_EQ(setup.exitCode, 0) << setup.out << setup.err;
  // The release must read the new mappings directory: the old one goes.
  fs::remove_all(example / "mappings");

  const auto values = Quillon(dir.str(), {"values", "examples/professional-claims/batch.json"});
  ASSERT_EQ(values.exitCode, 0) << values.err;
  for (const char* added : {"  Insurance Type = ", "  Batch Name = ", "  Release Time = "}) {
    EXPECT_NE(values.out.find(added), std::string::npos) << added;  // links the setup added
  }

  const auto release = Quillon(dir.str(), {"release", "examples/professional-claims/batch.json"});
  ASSERT_EQ(release.exitCode, 0) << release.out << release.err;
  EXPECT_NE(release.out.find("documents released: 10\n"), std::string::npos) << release.out;
  // The new logging directory got the release log; the working directory was used and left empty.
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(dir.path() / "setup" / "logs")) {
    logs.push_back(entry.path());
  }
  EXPECT_EQ(logs.size(), 1u);
  EXPECT_TRUE(fs::is_directory(dir.path() / "setup" / "work"));
  EXPECT_TRUE(fs::is_empty(dir.path() / "setup" / "work"));

  std::vector<fs::path> out;
  for (const auto& entry :
       fs::directory_iterator(dir.path() / "build" / "example-output" / "out")) {
    out.push_back(entry.path());
  }
  ASSERT_EQ(out.size(), 1u);
  if (!CheckerAvailable()) {
    GTEST_SKIP() << "node or tests/x12/node_modules missing (scripts/install-test-deps.sh): "
                    "the 837P was written but not checked";
  }
  const auto check = RunCommand({"/usr/bin/env", "node", kSource + "/tests/x12/check-837p.js",
                                 "--transactions", "10", out[0].string()});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("valid 837P"), std::string::npos) << check.out;
}

}  // namespace
