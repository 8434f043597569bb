// Two `quillon release` processes writing into the same working and output
// folders at once, under the same wanted file name: every batch must end up in
// a file of its own, whole, and no record may be lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "release_fixtures.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

constexpr const char* kLevel3 = R"xml(<FieldMappings>
  <MappingClass name="Record">
    <Fields>
      <Field name="_createFeed" value="YES"/>
      <Field name="_outputString" value="CLM*[Batch]*[Claim]~"/>
      <Field name="_header" value="ISA*[Batch]*[ICN]~"/>
      <Field name="_footer" value="IEA*_docCount~"/>
      <Field name="_outputFileName" value="claims.txt"/>
      <Field name="_outputDirectory" value="{OUT}"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

std::string BatchClassJson(const TempDir& dir) {
  nlohmann::ordered_json json = {
      {"name", "Claims"},
      {"customProperties",
       {{"Mappings Directory", dir.Child("mappings")},
        {"Logging Directory", dir.Child("logs")},
        {"Working Directory", dir.Child("work")},
        {"EDI Output", "One EDI Per Batch"},
        {"Enable Logging", "0"}}},
      {"indexFields", {"Claim"}},
      {"batchFields", {"Batch"}},
      {"hostVariables", {"Interchange Control Number"}},
      {"links",
       {{{"destination", "Claim"}, {"sourceType", 0}, {"source", "Claim"}},
        {{"destination", "Batch"}, {"sourceType", 3}, {"source", "Batch"}},
        {{"destination", "ICN"}, {"sourceType", 2}, {"source", "Interchange Control Number"}}}}};
  return json.dump(2);
}

std::string BatchJson(const std::string& name, int documents) {
  nlohmann::ordered_json docs = nlohmann::json::array();
  for (int id = 1; id <= documents; ++id) {
    docs.push_back({{"id", id},
                    {"className", "CMS1500"},
                    {"classId", 3},
                    {"indexFields", {{"Claim", std::to_string(id)}}}});
  }
  nlohmann::ordered_json json = {
      {"batchClass", "class.json"}, {"name", name},     {"id", name},
      {"description", ""},          {"classNumber", 1}, {"batchFields", {{"Batch", name}}},
      {"documents", docs}};
  return json.dump();
}

TEST(ConcurrentRelease, TwoProcessesIntoOneOutputFolder) {
  constexpr int kRounds = 3;
  constexpr int kDocuments = 1000;
  TempDir dir;
  dir.Write("mappings/DataMappings.xml", release_testing::kNoClasses);
  dir.Write("mappings/FieldMappings.xml", release_testing::kNoClasses);
  dir.Write("mappings/FeedOutputMappings.xml",
            release_testing::Substitute(kLevel3, {{"OUT", dir.Child("out")}}));
  dir.Write("class.json", BatchClassJson(dir));

  std::map<std::string, std::string> expected;  // batch name -> records
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::string> names = {"A" + std::to_string(round), "B" + std::to_string(round)};
    std::vector<testing_support::CommandResult> results(names.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string batch = dir.Write(names[i] + ".json", BatchJson(names[i], kDocuments));
      std::string records;
      for (int id = 1; id <= kDocuments; ++id) {
        records += "CLM*" + names[i] + "*" + std::to_string(id) + "~";
      }
      expected[names[i]] = records;
      threads.emplace_back([&results, i, batch] {
        results[i] = testing_support::RunCommand({QUILLON_BIN, "release", batch});
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const auto& result : results) {
      EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    }
  }

  // One whole file per batch, each under a name of its own; interchange
  // numbers all different.
  const std::vector<std::string> files = release_testing::FilesIn(dir.Child("out"));
  ASSERT_EQ(files.size(), 2u * kRounds);
  std::set<std::string> batches;
  std::set<std::string> numbers;
  for (const std::string& file : files) {
    const std::string text = ReadFile(dir.Child("out") + "/" + file);
    SCOPED_TRACE(file + ": " + text.substr(0, 40));
    ASSERT_EQ(text.rfind("ISA*", 0), 0u);
    const std::size_t star = text.find('*', 4);
    const std::size_t end = text.find('~');
    const std::string batch = text.substr(4, star - 4);
    numbers.insert(text.substr(star + 1, end - star - 1));
    ASSERT_EQ(expected.count(batch), 1u);
    EXPECT_EQ(text, "ISA*" + batch + "*" + text.substr(star + 1, end - star - 1) + "~" +
                        expected[batch] + "IEA*" + std::to_string(kDocuments) + "~");
    EXPECT_TRUE(batches.insert(batch).second) << "batch written twice";
  }
  EXPECT_EQ(numbers.size(), 2u * kRounds);
  // Nothing is left behind: no working files, no locks, no temporary files.
  EXPECT_TRUE(release_testing::FilesIn(dir.Child("work")).empty());
}

}  // namespace
