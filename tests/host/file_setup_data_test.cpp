// The stand-in host's setup data over a batch-class file: changes stay in
// memory until Apply writes them back.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "host/batch_class_file.h"
#include "host/file_setup_data.h"
#include "host/host_file_error.h"
#include "platform/error.h"
#include "platform/file_replace.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

constexpr const char* kBatchClass = R"({
  "name": "Claims",
  "customProperties": { "Mappings Directory": "C:\\maps", "EDI Output": "One EDI Per Batch" },
  "indexFields": ["Patient Name", "Total"],
  "batchFields": ["Payer"],
  "hostVariables": ["Batch ID", "Release Date"],
  "links": [ { "destination": "Name", "sourceType": 0, "source": "Patient Name" } ]
})";

int ErrorNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const platform::Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(FileSetupData, RelativeDirectoriesAreSeenFromTheCurrentFolderAndStoredFromTheFile) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("claims/class.json", R"({
  "name": "Claims",
  "customProperties": { "Mappings Directory": "./maps", "Logging Directory": "..\\logs",
                        "Working Directory": "work", "EDI Output": "One EDI Per Batch" },
  "indexFields": [], "batchFields": [], "hostVariables": [], "links": []
})");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    FileSetupData setup("claims/class.json");
    HostSetupCustomProperties& props = setup.CustomProperties();
    // As the release reads them.
    EXPECT_EQ(props.Item("Mappings Directory").Value, "claims/maps");
    EXPECT_EQ(props.Item("Logging Directory").Value, "logs");
    // A changed one, named from the current folder, is stored from the file's.
    props.Add("Working Directory", "out/work");
    setup.Apply();
  }
  std::filesystem::current_path(before);
  const BatchClassDefinition stored = LoadBatchClassFile(file);
  ASSERT_EQ(stored.CustomProperties.size(), 4u);
  EXPECT_EQ(stored.CustomProperties[0].Value, "./maps");  // unchanged: the file's text
  EXPECT_EQ(stored.CustomProperties[1].Value, "..\\logs");
  EXPECT_EQ(stored.CustomProperties[2].Value, "../out/work");
  EXPECT_EQ(ResolveBatchClassDirectory(file, stored.CustomProperties[2].Value),
            dir.Child("out/work"));
  EXPECT_EQ(BatchClassRelativeDirectory(file, "/srv/maps"), "/srv/maps");
  EXPECT_EQ(BatchClassRelativeDirectory(file, ""), "");
}

TEST(FileSetupData, ShowsTheBatchClass) {
  testing_support::TempDir dir;
  FileSetupData setup(dir.Write("class.json", kBatchClass));
  HostSetupCustomProperties& props = setup.CustomProperties();
  ASSERT_EQ(props.Count(), 2);
  EXPECT_EQ(props.Item(1).Name, "Mappings Directory");
  EXPECT_EQ(props.Item(2).Value, "One EDI Per Batch");
  EXPECT_EQ(props.Item("edi output").Value, "One EDI Per Batch");
  ASSERT_EQ(setup.IndexFields().Count(), 2);
  EXPECT_EQ(setup.IndexFields().Item(2), "Total");
  EXPECT_EQ(setup.BatchFields().Item(1), "Payer");
  EXPECT_EQ(setup.HostVariables().Count(), 2);
  ASSERT_EQ(setup.Links().Count(), 1);
  EXPECT_EQ(setup.Links().Item(1).Source, "Patient Name");
}

TEST(FileSetupData, LookupsOutsideTheCollectionsRaise) {
  testing_support::TempDir dir;
  FileSetupData setup(dir.Write("class.json", kBatchClass));
  struct Row {
    int line;
    std::function<void()> call;
    int number;
  } rows[] = {
      {__LINE__, [&] { setup.CustomProperties().Item("Nope"); }, 5},
      {__LINE__, [&] { setup.CustomProperties().Item(0); }, 9},
      {__LINE__, [&] { setup.CustomProperties().Item(3); }, 9},
      {__LINE__, [&] { setup.Links().Item(2); }, 9},
      {__LINE__, [&] { setup.IndexFields().Item(0); }, 9},
      {__LINE__, [&] { setup.BatchFields().Item(2); }, 9},
      {__LINE__, [&] { setup.HostVariables().Item(-1); }, 9},
      {__LINE__, [&] { setup.Links().Add("D", 1, "S"); }, 5},  // no such source type
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ErrorNumber(row.call), row.number);
  }
}

TEST(FileSetupData, ChangesReachTheFileOnlyOnApply) {
  testing_support::TempDir dir;
  const std::string path = dir.Write("class.json", kBatchClass);
  FileSetupData setup(path);
  setup.CustomProperties().RemoveAll();
  setup.CustomProperties().Add("Working Directory", "/tmp/w");
  setup.CustomProperties().Add("EDI Output", "One EDI Per Document");
  setup.CustomProperties().Add("edi output", "One EDI Per Batch");  // same name: replaced
  setup.Links().Add("Release Date", kSourceHostVariable, "Release Date");
  EXPECT_EQ(testing_support::ReadFile(path), kBatchClass);

  setup.Apply();
  EXPECT_EQ(setup.ApplyCount(), 1);
  const BatchClassDefinition saved = LoadBatchClassFile(path);
  EXPECT_EQ(saved.Name, "Claims");
  ASSERT_EQ(saved.CustomProperties.size(), 2u);
  EXPECT_EQ(saved.CustomProperties[0].Name, "Working Directory");
  EXPECT_EQ(saved.CustomProperties[1].Name, "EDI Output");
  EXPECT_EQ(saved.CustomProperties[1].Value, "One EDI Per Batch");
  ASSERT_EQ(saved.Links.size(), 2u);
  EXPECT_EQ(saved.Links[1].SourceType, kSourceHostVariable);
  EXPECT_EQ(saved.IndexFields, (std::vector<std::string>{"Patient Name", "Total"}));

  // Loading the applied file again shows the same state.
  FileSetupData again(path);
  EXPECT_EQ(BatchClassToJson(again.Current()), BatchClassToJson(setup.Current()));
}

TEST(FileSetupData, ALinkIdenticalInAllThreePartsIsDropped) {
  testing_support::TempDir dir;
  FileSetupData setup(dir.Write("class.json", kBatchClass));
  HostLinks& links = setup.Links();
  struct Row {
    int line;
    const char* destination;
    std::int32_t type;
    const char* source;
    std::int32_t count;  // links held afterwards
  } rows[] = {
      {__LINE__, "Name", kSourceIndexField, "Patient Name", 1},  // the file's own link
      {__LINE__, "Patient Name", kSourceIndexField, "Patient Name", 2},
      {__LINE__, "Patient Name", kSourceIndexField, "Patient Name", 2},
      {__LINE__, "Patient Name", kSourceBatchField, "Patient Name", 3},  // other type
      {__LINE__, "patient name", kSourceIndexField, "Patient Name", 4},  // other letter case
      {__LINE__, "Patient Name", kSourceIndexField, "Patient Name ", 5},
      {__LINE__, "Batch ID", kSourceHostVariable, "Batch ID", 6},
      {__LINE__, "Batch ID", kSourceHostVariable, "Batch ID", 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    links.Add(row.destination, row.type, row.source);
    EXPECT_EQ(links.Count(), row.count);
  }
  EXPECT_EQ(links.Item(2).Destination, "Patient Name");
  EXPECT_EQ(links.Item(6).Source, "Batch ID");
}

TEST(FileSetupData, ApplyKeepsWhatSetupDoesNotManageAsTheFileHasIt) {
  testing_support::TempDir dir;
  const std::string path = dir.Write("class.json", kBatchClass);
  FileSetupData setup(path);
  setup.CustomProperties().Add("Enable Logging", "1");
  setup.Links().Add("Total", kSourceIndexField, "Total");

  // Meanwhile someone adds an index field and renames the batch class.
  BatchClassDefinition edited = LoadBatchClassFile(path);
  edited.Name = "Claims (new)";
  edited.IndexFields.push_back("Diagnosis");
  edited.Links.clear();
  edited.CustomProperties.clear();
  SaveBatchClassFile(path, edited);

  setup.Apply();
  const BatchClassDefinition saved = LoadBatchClassFile(path);
  EXPECT_EQ(saved.Name, "Claims (new)");
  EXPECT_EQ(saved.IndexFields, (std::vector<std::string>{"Patient Name", "Total", "Diagnosis"}));
  EXPECT_EQ(saved.HostVariables, (std::vector<std::string>{"Batch ID", "Release Date"}));
  ASSERT_EQ(saved.CustomProperties.size(), 3u);
  EXPECT_EQ(saved.CustomProperties[2].Name, "Enable Logging");
  ASSERT_EQ(saved.Links.size(), 2u);
  EXPECT_EQ(saved.Links[1].Destination, "Total");
  // The setup data now show the file's fields.
  EXPECT_EQ(setup.IndexFields().Count(), 3);
}

TEST(FileSetupData, AFailedApplyLeavesTheFileAsItWas) {
  struct RenameFails : platform::PosixFileReplaceSteps {
    int Rename(const std::string&, const std::string&) override { return EIO; }
  };
  testing_support::TempDir dir;
  const std::string path = dir.Write("class.json", kBatchClass);
  FileSetupData setup(path);
  setup.CustomProperties().RemoveAll();
  setup.Links().Add("Total", kSourceIndexField, "Total");
  {
    RenameFails steps;
    platform::ScopedFileReplaceSteps use(steps);
    EXPECT_EQ(ErrorNumber([&] { setup.Apply(); }), 75);
  }
  EXPECT_EQ(testing_support::ReadFile(path), kBatchClass);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);

  // A file that became unreadable is not overwritten with what was loaded.
  const std::string broken = R"({"name": "Claims", "links": [)";
  dir.Write("class.json", broken);
  EXPECT_EQ(ErrorNumber([&] { setup.Apply(); }), 75);
  EXPECT_EQ(testing_support::ReadFile(path), broken);
  EXPECT_EQ(setup.ApplyCount(), 0);
}

TEST(FileSetupData, ApplyThatCannotWriteRaises75) {
  testing_support::TempDir dir;
  const std::string path = dir.Write("gone/class.json", kBatchClass);
  FileSetupData setup(path);
  setup.CustomProperties().Add("Enable Logging", "1");
  std::filesystem::remove_all(dir.Child("gone"));  // the folder went away meanwhile
  try {
    setup.Apply();
    FAIL() << "accepted";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 75);
    EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
  }
  EXPECT_EQ(setup.ApplyCount(), 0);
}

TEST(FileSetupData, ReportedErrorsAreKept) {
  testing_support::TempDir dir;
  FileSetupData setup(dir.Write("class.json", kBatchClass));
  setup.ReportError(-1, 0, 0, "Can't save", "SaveSettings", 6000);
  ASSERT_EQ(setup.Errors().size(), 1u);
  EXPECT_EQ(setup.Errors()[0].Number, 6000);
  EXPECT_FALSE(setup.Errors()[0].DocumentId.has_value());
}

TEST(FileSetupData, MissingFileRaisesHostFileError) {
  testing_support::TempDir dir;
  EXPECT_THROW(FileSetupData(dir.Child("none.json")), HostFileError);
}

}  // namespace
}  // namespace quillon
