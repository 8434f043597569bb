// `quillon values`: the released values of every document of a batch, as
// text and as JSON, and clear refusals of broken batch and batch-class files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;
using testing_support::TempDir;

// The bundled example copied into a temporary folder, so that nothing the
// command might write lands in the source tree.
class ValuesCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"batch.json", "batch-class.json"}) {
      std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/docs/examples/" + name,
                                 dir_.Child(name));
    }
  }
  testing_support::CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {QUILLON_BIN, "values"});
    return RunCommand(args);
  }
  TempDir dir_;
};

TEST_F(ValuesCommand, PrintsEveryDocumentsValuesInLinkOrder) {
  const auto r = Run({dir_.Child("batch.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const struct Row {
    int line;
    const char* text;
  } rows[] = {
      {__LINE__,
       "batch B-1001 (Claims 2024-03-01 morning), batch class Professional Claims, 2 "
       "documents\n"},
      {__LINE__, "document 17 (CMS1500):\n  PatientName = DOE, JANE\n  PatientDOB = 04/12/1980\n"},
      {__LINE__,
       "  PayerID = 87726\n  SubmitterName = NORTHSIDE BILLING\n  Batch ID = B-1001\n"
       "  Document ID = 17\n"},
      {__LINE__, "document 18 (CMS1500):\n  PatientName = MÜLLER, JOSÉ\n"},
      {__LINE__, "  Charge1 = \n"},  // no such index field in document 18
      {__LINE__, "  Document ID = 18\n"},
      // A fresh counter: the next number is 1, shown but not taken.
      {__LINE__, "  Interchange Control Number = 1\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_NE(r.out.find(row.text), std::string::npos) << r.out;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.Child("batch-class.icn")));
}

TEST_F(ValuesCommand, ShowsTheNextInterchangeNumberWithoutTakingIt) {
  dir_.Write("batch-class.icn", "41\n");
  for (int run = 0; run < 2; ++run) {
    const auto r = Run({dir_.Child("batch.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  Interchange Control Number = 42\n"), std::string::npos) << r.out;
  }
  EXPECT_EQ(testing_support::ReadFile(dir_.Child("batch-class.icn")), "41\n");
}

TEST_F(ValuesCommand, JsonOutput) {
  const auto r = Run({dir_.Child("batch.json"), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["batch"]["id"], "B-1001");
  EXPECT_EQ(doc["batch"]["classNumber"], 7);
  EXPECT_EQ(doc["batch"]["batchClass"], "Professional Claims");
  ASSERT_EQ(doc["documents"].size(), 2u);
  const nlohmann::json& first = doc["documents"][0];
  EXPECT_EQ(first["id"], 17);
  EXPECT_EQ(first["className"], "CMS1500");
  EXPECT_EQ(first["classId"], 3);
  ASSERT_EQ(first["values"].size(), 13u);
  EXPECT_EQ(first["values"][0],
            nlohmann::json::parse(R"({"destination": "PatientName", "value": "DOE, JANE",
                                      "sourceType": 0, "source": "Patient Name"})"));
  EXPECT_EQ(first["values"][7]["sourceType"], 3);
  EXPECT_EQ(first["values"][9]["sourceType"], 2);
  EXPECT_EQ(doc["documents"][1]["values"][0]["value"], "MÜLLER, JOSÉ");
}

TEST_F(ValuesCommand, BatchClassOptionReplacesTheNamedFile) {
  const std::string other = dir_.Write(
      "other.json",
      R"({"name":"Other","customProperties":{},"indexFields":[],"batchFields":[],)"
      R"("hostVariables":[],"links":[{"destination":"Who","sourceType":0,"source":"Patient Name"}]})");
  const auto r = Run({dir_.Child("batch.json"), "--batch-class", other});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("document 17 (CMS1500):\n  Who = DOE, JANE\ndocument 18"), std::string::npos)
      << r.out;
}

TEST_F(ValuesCommand, BrokenInputExitsWith2AndNamesFilePlaceAndProblem) {
  const std::string validClass = testing_support::ReadFile(dir_.Child("batch-class.json"));
  const std::string validBatch = testing_support::ReadFile(dir_.Child("batch.json"));
  const auto with = [](std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const struct Row {
    int line;
    std::string batch;
    std::string batchClass;
    std::string expected;  // in stderr, after "error: "
  } rows[] = {
      {__LINE__, "{\"batchClass\": ", validClass, "/b.json: not valid JSON"},
      {__LINE__, with(validBatch, "\"id\": 18", "\"id\": 17"), validClass,
       "/b.json: /documents/1/id: duplicate document id 17 (also /documents/0/id)"},
      {__LINE__, with(validBatch, "\"classNumber\": 7", "\"classNumber\": \"7\""), validClass,
       "/b.json: /classNumber: must be a whole number, not text"},
      {__LINE__, with(validBatch, "\"batch-class.json\"", "\"gone.json\""), validClass,
       "/b.json: /batchClass: the batch-class file"},
      {__LINE__, validBatch, with(validClass, "\"sourceType\": 3", "\"sourceType\": 5"),
       "/batch-class.json: /links/7/sourceType: must be 0 (index field), 2 (host variable) or 3 "
       "(batch field), not 5"},
      {__LINE__, validBatch, with(validClass, "\"links\"", "\"link\""),
       "/batch-class.json: /link: unknown key"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    dir.Write("batch-class.json", row.batchClass);
    const auto r = RunCommand({QUILLON_BIN, "values", dir.Write("b.json", row.batch)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");  // nothing half printed
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(dir.str() + row.expected), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Child("batch-class.icn")));
  }
}

TEST_F(ValuesCommand, UsageErrorsExitWith2) {
  const struct Row {
    int line;
    std::vector<std::string> args;
  } rows[] = {
      {__LINE__, {}},  // no batch file
      {__LINE__, {dir_.Child("missing.json")}},
      {__LINE__, {dir_.Child("batch.json"), "--no-such-option"}},
      {__LINE__, {dir_.Child("batch.json"), "--batch-class", dir_.Child("missing.json")}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto r = Run(row.args);
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_NE(r.err, "");
  }
}

}  // namespace
