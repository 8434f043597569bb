// `quillon release`: a batch released through the stand-in host, the summary,
// the exit codes, and the output and error files it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::TempDir;

constexpr const char* kLevel1 = R"xml(<FieldMappings>
  <MappingClass name="Normalise">
    <Fields><Field name="Claim" value="[Claim Number:trim]"/></Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr const char* kLevel2 = R"xml(<FieldMappings>
  <MappingClass name="Lines">
    <Fields>
      <Field name="_generateServiceLine" value="Y"/>
      <Field name="_ServiceTableDelimiter" value=","/>
      <Field name="_ServiceLineValue1" value="(Codes:index{&amp;n:\,})"/>
      <Field name="_ServiceLineReqFields1" value="Codes"/>
      <Field name="_ServiceLineOutput" value="SV1*(_ServiceLineValue1_&amp;n)~"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr const char* kLevel3 = R"xml(<FieldMappings>
  <MappingClass name="Record">
    <Fields>
      <Field name="_createFeed" value="YES"/>
      <Field name="_outputString" value="CLM*[Claim]~[_ServiceLineOutput]"/>
      <Field name="_recordFooter" value="SE*_NumOfSegments~"/>
      <Field name="_header" value="ISA*[ICN]~"/>
      <Field name="_footer" value="IEA*_docCount*[ICN]~"/>
      <Field name="_outputFileName" value="claims.txt"/>
    </Fields>
  </MappingClass>
  <MappingClass name="Destination">
    <Conditions><Condition field="[Out]" operator="is not blank" value=""/></Conditions>
    <Fields><Field name="_outputDirectory" value="[Out]"/></Fields>
  </MappingClass>
</FieldMappings>)xml";

// A batch class and a batch in a temporary folder; every directory absolute.
class ReleaseCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("mappings/DataMappings.xml", kLevel1);
    dir_.Write("mappings/FieldMappings.xml", kLevel2);
    dir_.Write("mappings/FeedOutputMappings.xml", kLevel3);
    WriteBatchClass("One EDI Per Batch");
  }

  void WriteBatchClass(const std::string& mode, const std::string& name = "class.json",
                       bool workingDirectory = true) {
    nlohmann::ordered_json json = {
        {"name", "Claims"},
        {"customProperties",
         {{"Mappings Directory", dir_.Child("mappings")},
          {"Logging Directory", dir_.Child("logs")},
          {"Working Directory", dir_.Child("work")},
          {"EDI Output", mode},
          {"Enable Logging", "0"}}},
        {"indexFields", {"Claim Number", "Codes", "Out"}},
        {"batchFields", nlohmann::json::array()},
        {"hostVariables", {"Interchange Control Number"}},
        {"links",
         {{{"destination", "Claim Number"}, {"sourceType", 0}, {"source", "Claim Number"}},
          {{"destination", "Codes"}, {"sourceType", 0}, {"source", "Codes"}},
          {{"destination", "Out"}, {"sourceType", 0}, {"source", "Out"}},
          {{"destination", "ICN"}, {"sourceType", 2}, {"source", "Interchange Control Number"}}}}};
    if (!workingDirectory) json["customProperties"].erase("Working Directory");
    dir_.Write(name, json.dump(2));
  }

  // Documents 1..n; `noOutput` lists the ids that name no output directory.
  std::string WriteBatch(int n, const std::vector<int>& noOutput = {},
                         const std::string& name = "batch.json") {
    nlohmann::ordered_json documents = nlohmann::json::array();
    for (int id = 1; id <= n; ++id) {
      const bool out = std::find(noOutput.begin(), noOutput.end(), id) == noOutput.end();
      documents.push_back({{"id", id},
                           {"className", "CMS1500"},
                           {"classId", 3},
                           {"indexFields",
                            {{"Claim Number", " C" + std::to_string(id) + " "},
                             {"Codes", id % 2 ? "A,B" : "C"},
                             {"Out", out ? Out() : ""}}}});
    }
    nlohmann::ordered_json json = {{"batchClass", "class.json"},
                                   {"name", "Morning"},
                                   {"id", "B-7"},
                                   {"description", ""},
                                   {"classNumber", 7},
                                   {"batchFields", nlohmann::json::object()},
                                   {"documents", documents}};
    return dir_.Write(name, json.dump(2));
  }

  testing_support::CommandResult Release(std::vector<std::string> args) {
    args.insert(args.begin(), {QUILLON_BIN, "release"});
    return RunCommand(args);
  }

  std::string Out() const { return dir_.Child("out"); }
  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Out(), ec)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
};

TEST_F(ReleaseCommand, ReleasesTheBatchIntoOneFile) {
  const auto r = Release({WriteBatch(3)});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "batch B-7 (Morning): 3 documents, interchange control number 1\n"
            "documents released: 3\n"
            "documents failed: 0\n"
            "output files written: 1\n"
            "  " +
                Out() + "/claims.txt\n");
  ASSERT_EQ(OutputFiles(), std::vector<std::string>{"claims.txt"});
  EXPECT_EQ(ReadFile(Out() + "/claims.txt"),
            "ISA*1~CLM*C1~SV1*A~SV1*B~SE*4~CLM*C2~SV1*C~SE*3~CLM*C3~SV1*A~SV1*B~SE*4~IEA*3*1~");
  // The next release of the class takes the next interchange number and
  // does not overwrite the first file.
  const auto again = Release({dir_.Child("batch.json")});
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"claims.txt", "claims_1.txt"}));
  EXPECT_EQ(ReadFile(Out() + "/claims_1.txt").substr(0, 6), "ISA*2~");
}

TEST_F(ReleaseCommand, PerDocumentModeWritesAFileForEachDocument) {
  WriteBatchClass("One EDI Per Document");
  const auto r = Release({WriteBatch(2)});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("output files written: 2\n  " + Out() + "/claims.txt\n  " + Out() +
                       "/claims_1.txt\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFile(Out() + "/claims_1.txt"), "ISA*1~CLM*C2~SV1*C~SE*3~IEA*1*1~");
}

TEST_F(ReleaseCommand, FailedDocumentsAreListedAndLeftOut) {
  const std::string errorLog = dir_.Child("errors.jsonl");
  const auto r = Release({WriteBatch(4, {2, 4}), "--error-log", errorLog});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("documents released: 2\n"
                       "documents failed: 2\n"
                       "  document 2: The ouput directory is undefined (error 6500)\n"
                       "  document 4: The ouput directory is undefined (error 6500)\n"),
            std::string::npos)
      << r.out;
  // Standard error is no terminal: the host announced each failure.
  EXPECT_NE(r.err.find("document 2: The ouput directory is undefined (error 6500)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(Out() + "/claims.txt"),
            "ISA*1~CLM*C1~SV1*A~SV1*B~SE*4~CLM*C3~SV1*A~SV1*B~SE*4~IEA*2*1~");
  const std::string log = ReadFile(errorLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  const auto first = nlohmann::json::parse(log.substr(0, log.find('\n')));
  EXPECT_EQ(first["documentId"], 2);
  EXPECT_EQ(first["number"], 6500);
  EXPECT_EQ(first["source"], "ReleaseDoc");
}

TEST_F(ReleaseCommand, OutputThatCannotBeWrittenExitsWithOne) {
  // Without a "Working Directory" the documents pass (they are checked
  // against the library's folder) but the file cannot be built.
  WriteBatchClass("One EDI Per Batch", "class.json", false);
  const auto r = Release({WriteBatch(1)});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("documents released: 1\ndocuments failed: 0\n"
                       "the output could not be written:\n  error 7004: "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("output files written: 0\n"), std::string::npos) << r.out;
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ReleaseCommand, UnpreparedRunFailsEveryDocument) {
  WriteBatchClass("one edi per batch");
  const auto r = Release({WriteBatch(2)});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("documents released: 0\ndocuments failed: 2\n"), std::string::npos);
  EXPECT_NE(r.out.find("output files written: 0\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ReleaseCommand, AnotherBatchClassFile) {
  WriteBatchClass("One EDI Per Document", "per-document.json");
  const auto r = Release({WriteBatch(2), "--batch-class", dir_.Child("per-document.json")});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(OutputFiles().size(), 2u);
}

TEST_F(ReleaseCommand, UnusableInputExitsWithTwo) {
  struct Row {
    int line;
    std::string batch;
    std::vector<std::string> extra;
    std::string message;
  } rows[] = {
      {__LINE__, "{", {}, "not valid JSON"},
      {__LINE__,
       R"({"batchClass": "missing.json", "name": "", "id": "", "description": "",
                     "classNumber": 1, "batchFields": {}, "documents": []})",
       {},
       "does not exist"},
      {__LINE__, "", {}, ""},  // the batch file itself is missing
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string file =
        row.batch.empty() ? dir_.Child("nothing.json") : dir_.Write("broken.json", row.batch);
    std::vector<std::string> args = {file};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    const auto r = Release(args);
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("error"), std::string::npos);
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ReleaseCommand, ProgressBarOnATerminal) {
  // script(1) gives the command a terminal as standard error.
  if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) to provide a terminal";
  const std::string batch = WriteBatch(3, {2});
  const auto r = RunCommand(
      {"/usr/bin/script", "-qec", std::string(QUILLON_BIN) + " release " + batch, "/dev/null"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("] 3/3 documents, "), std::string::npos) << r.out;
  // The failure is not written across the bar; the summary has it.
  EXPECT_EQ(r.out.find("quillon: document 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  document 2: The ouput directory is undefined (error 6500)"),
            std::string::npos)
      << r.out;
}

TEST_F(ReleaseCommand, EmptyBatchWritesNothing) {
  const auto r = Release({WriteBatch(0)});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("documents released: 0\ndocuments failed: 0\noutput files written: 0\n"),
            std::string::npos)
      << r.out;
}

}  // namespace
