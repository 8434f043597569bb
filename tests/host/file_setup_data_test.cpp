// The stand-in host's setup data over a batch-class file: changes stay in
// memory until Apply writes them back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/batch_class_file.h"
#include "host/file_setup_data.h"
#include "host/host_file_error.h"
#include "platform/error.h"
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
  setup.Links().Add("Release Date", kSourceHostVariable, "Release Date");  // kept as asked
  EXPECT_EQ(testing_support::ReadFile(path), kBatchClass);

  setup.Apply();
  EXPECT_EQ(setup.ApplyCount(), 1);
  const BatchClassDefinition saved = LoadBatchClassFile(path);
  EXPECT_EQ(saved.Name, "Claims");
  ASSERT_EQ(saved.CustomProperties.size(), 2u);
  EXPECT_EQ(saved.CustomProperties[0].Name, "Working Directory");
  EXPECT_EQ(saved.CustomProperties[1].Name, "EDI Output");
  EXPECT_EQ(saved.CustomProperties[1].Value, "One EDI Per Batch");
  ASSERT_EQ(saved.Links.size(), 3u);
  EXPECT_EQ(saved.Links[2].SourceType, kSourceHostVariable);
  EXPECT_EQ(saved.IndexFields, (std::vector<std::string>{"Patient Name", "Total"}));

  // Loading the applied file again shows the same state.
  FileSetupData again(path);
  EXPECT_EQ(BatchClassToJson(again.Current()), BatchClassToJson(setup.Current()));
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
