// The stand-in host's release data: released values by link and source
// type, host variables, moving between documents, and what happens to
// reported errors and messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include <nlohmann/json.hpp>

#include "host/file_host.h"
#include "host/host_file_error.h"
#include "host/interchange_counter.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

constexpr const char* kBatchClass = R"({
  "name": "Claims",
  "customProperties": { "EDI Output": "One EDI Per Batch", "Mappings Directory": "C:\\maps" },
  "indexFields": ["Patient Name", "Total"],
  "batchFields": ["Payer"],
  "hostVariables": ["Batch ID", "Document ID"],
  "links": [
    { "destination": "Name", "sourceType": 0, "source": "patient name" },
    { "destination": "Total", "sourceType": 0, "source": "Total" },
    { "destination": "PayerID", "sourceType": 3, "source": "Payer" },
    { "destination": "Missing Index", "sourceType": 0, "source": "Not There" },
    { "destination": "Missing Batch", "sourceType": 3, "source": "Not There" },
    { "destination": "Unknown Variable", "sourceType": 2, "source": "Operator" },
    { "destination": "BID", "sourceType": 2, "source": "Batch ID" },
    { "destination": "BN", "sourceType": 2, "source": "Batch Name" },
    { "destination": "BD", "sourceType": 2, "source": "Batch Description" },
    { "destination": "DID", "sourceType": 2, "source": "document id" },
    { "destination": "DCN", "sourceType": 2, "source": "Document Class Name" },
    { "destination": "RD", "sourceType": 2, "source": "Release Date" },
    { "destination": "RT", "sourceType": 2, "source": "Release Time" },
    { "destination": "ICN", "sourceType": 2, "source": "Interchange Control Number" },
    { "destination": "Name", "sourceType": 3, "source": "Payer" }
  ]
})";

constexpr const char* kBatch = R"({
  "batchClass": "classes/claims.json",
  "name": "Monday", "id": "B-7", "description": "two claims",
  "classNumber": 42,
  "batchFields": { "PAYER": "87726" },
  "documents": [
    { "id": 17, "className": "CMS1500", "classId": 3,
      "indexFields": { "Patient Name": "MÜLLER, JOSÉ", "Total": "12.50" } },
    { "id": 18, "className": "UB04", "classId": 4, "indexFields": { "Total": "" } }
  ]
})";

class FileHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("classes/claims.json", kBatchClass);
    batchFile_ = dir_.Write("batch.json", kBatch);
  }
  std::string Values(const FileHost& host) {
    std::string text;
    for (int i = 1; i <= host.Values().Count(); ++i) {
      const HostValue& v = host.Values().Item(i);
      text += v.Destination + "=" + v.Value + ";";
    }
    return text;
  }

  testing_support::TempDir dir_;
  std::string batchFile_;
};

TEST_F(FileHostTest, BatchAndDocumentProperties) {
  FileHost host(batchFile_);
  EXPECT_EQ(host.BatchName(), "Monday");
  EXPECT_EQ(host.BatchId(), "B-7");
  EXPECT_EQ(host.BatchDescription(), "two claims");
  EXPECT_EQ(host.BatchClassNumber(), 42);
  EXPECT_EQ(host.DocumentCount(), 2);
  EXPECT_EQ(host.CurrentDocumentPosition(), 1);
  EXPECT_EQ(host.DocumentId(), 17);
  EXPECT_EQ(host.DocumentClassName(), "CMS1500");
  EXPECT_EQ(host.DocumentClassId(), 3);
  host.SelectDocument(2);
  EXPECT_EQ(host.DocumentId(), 18);
  EXPECT_EQ(host.DocumentClassName(), "UB04");
  EXPECT_EQ(host.DocumentClassId(), 4);
}

TEST_F(FileHostTest, ReleasedValuesFollowTheLinksBySourceType) {
  FileHost host(batchFile_);
  host.SetReleaseTime({2024, 3, 1, 7, 5, 9});
  const struct Row {
    int line;
    const char* destination;
    const char* value;
    std::int32_t sourceType;
    const char* source;
  } rows[] = {
      {__LINE__, "Name", "MÜLLER, JOSÉ", kSourceIndexField, "patient name"},  // case ignored
      {__LINE__, "Total", "12.50", kSourceIndexField, "Total"},
      {__LINE__, "PayerID", "87726", kSourceBatchField, "Payer"},
      {__LINE__, "Missing Index", "", kSourceIndexField, "Not There"},
      {__LINE__, "Missing Batch", "", kSourceBatchField, "Not There"},
      {__LINE__, "Unknown Variable", "", kSourceHostVariable, "Operator"},
      {__LINE__, "BID", "B-7", kSourceHostVariable, "Batch ID"},
      {__LINE__, "BN", "Monday", kSourceHostVariable, "Batch Name"},
      {__LINE__, "BD", "two claims", kSourceHostVariable, "Batch Description"},
      {__LINE__, "DID", "17", kSourceHostVariable, "document id"},
      {__LINE__, "DCN", "CMS1500", kSourceHostVariable, "Document Class Name"},
      {__LINE__, "RD", "03/01/2024", kSourceHostVariable, "Release Date"},
      {__LINE__, "RT", "07:05:09", kSourceHostVariable, "Release Time"},
      {__LINE__, "ICN", "", kSourceHostVariable, "Interchange Control Number"},  // not reserved
      // A second link to the same destination is a value of its own.
      {__LINE__, "Name", "87726", kSourceBatchField, "Payer"},
  };
  ASSERT_EQ(host.Values().Count(), static_cast<int>(std::size(rows)));
  for (int i = 0; i < host.Values().Count(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.line);
    const HostValue& v = host.Values().Item(i + 1);
    EXPECT_EQ(v.Destination, row.destination);
    EXPECT_EQ(v.Value, row.value);
    EXPECT_EQ(v.SourceType, row.sourceType);
    EXPECT_EQ(v.SourceName, row.source);
  }
}

TEST_F(FileHostTest, ReleaseDateAndTimeComeFromThePlatformClock) {
  struct FixedClock : platform::Clock {
    platform::OleDate Now() const override {
      return platform::MakeDate({2031, 12, 24, 23, 59, 58});
    }
  };
  platform::SetClock(std::make_shared<FixedClock>());
  FileHost host(batchFile_);
  platform::SetClock(nullptr);
  EXPECT_EQ(host.HostVariable("Release Date"), "12/24/2031");
  EXPECT_EQ(host.HostVariable("release time"), "23:59:58");
}

TEST_F(FileHostTest, MovingToAnotherDocumentChangesItsValuesOnly) {
  FileHost host(batchFile_);
  const std::string first = Values(host);
  host.SelectDocument(2);
  const std::string second = Values(host);
  EXPECT_NE(second.find("Name=;Total=;PayerID=87726;"), std::string::npos) << second;
  EXPECT_NE(second.find("DID=18;DCN=UB04;"), std::string::npos) << second;
  host.SelectDocument(1);
  EXPECT_EQ(Values(host), first);
}

TEST_F(FileHostTest, SelectingADocumentOutsideTheBatchRaisesError9) {
  FileHost host(batchFile_);
  for (int position : {0, -1, 3}) {
    SCOPED_TRACE(position);
    try {
      host.SelectDocument(position);
      ADD_FAILURE() << "accepted";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), platform::err::kSubscriptOutOfRange);
    }
    EXPECT_EQ(host.DocumentId(), 17);  // still where it was
  }
}

TEST_F(FileHostTest, ValuesItemOutsideRangeRaisesError9) {
  FileHost host(batchFile_);
  for (int position : {0, host.Values().Count() + 1}) {
    SCOPED_TRACE(position);
    try {
      host.Values().Item(position);
      ADD_FAILURE() << "accepted";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), platform::err::kSubscriptOutOfRange);
    }
  }
}

TEST_F(FileHostTest, CustomPropertiesByNameIgnoreCaseAndMissingNameRaises5) {
  FileHost host(batchFile_);
  EXPECT_EQ(host.CustomProperties().Item("edi output").Value, "One EDI Per Batch");
  EXPECT_EQ(host.CustomProperties().Item("Mappings Directory").Value, "C:\\maps");
  try {
    host.CustomProperties().Item("Working Directory");
    FAIL() << "accepted";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), platform::err::kInvalidProcedureCall);
    EXPECT_NE(e.Description().find("Working Directory"), std::string::npos);
  }
}

TEST_F(FileHostTest, RelativeDirectoriesAreRelativeToTheBatchClassFile) {
  const std::string classes = dir_.Child("classes");
  const std::string other = dir_.Write("classes/dirs.json", R"({"name":"Dirs","customProperties":{
    "Mappings Directory": "maps", "logging directory": "..\\logs\\run", "Working Directory": "",
    "EDI Output": "One EDI Per Batch", "Notes": "maps"},
    "indexFields":[],"batchFields":[],"hostVariables":[],"links":[]})");
  FileHost host(batchFile_, other);
  const HostCustomProperties& properties = host.CustomProperties();
  EXPECT_EQ(properties.Item("Mappings Directory").Value, classes + "/maps");
  EXPECT_EQ(properties.Item("Logging Directory").Value, dir_.Child("logs/run"));
  EXPECT_EQ(properties.Item("Working Directory").Value, "");  // empty keeps its meaning
  EXPECT_EQ(properties.Item("Notes").Value, "maps");          // no directory
  // The file itself keeps what was written.
  EXPECT_EQ(host.BatchClass().CustomProperties[0].Value, "maps");

  struct Row {
    int line;
    std::string directory;
    std::string resolved;
  } rows[] = {
      {__LINE__, "/srv/maps", "/srv/maps"},
      {__LINE__, "C:\\maps", "C:\\maps"},
      {__LINE__, "\\\\server\\share\\maps", "\\\\server\\share\\maps"},
      {__LINE__, "\\maps", "\\maps"},
      {__LINE__, "./a/../b", "cls/b"},
      {__LINE__, "sub\\maps", "cls/sub/maps"},
      {__LINE__, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ResolveBatchClassDirectory("cls/batch-class.json", row.directory), row.resolved);
  }
  EXPECT_EQ(ResolveBatchClassDirectory("batch-class.json", "maps"), "maps");
}

TEST_F(FileHostTest, InterchangeNumberIsReservedOncePerBatchAndPreviewTakesNothing) {
  FileHost first(batchFile_);
  EXPECT_EQ(first.InterchangeCounterPath(), dir_.Child("classes/claims.icn"));
  EXPECT_EQ(first.PreviewInterchangeControlNumber(), 1);
  EXPECT_EQ(first.PreviewInterchangeControlNumber(), 1);
  EXPECT_EQ(first.HostVariable("Interchange Control Number"), "1");
  EXPECT_EQ(first.ReserveInterchangeControlNumber(), 1);
  first.SelectDocument(2);
  EXPECT_EQ(first.HostVariable("Interchange Control Number"), "1");  // per batch, not document

  FileHost second(batchFile_);
  EXPECT_EQ(second.ReserveInterchangeControlNumber(), 2);
  EXPECT_EQ(second.Values().Item(14).Value, "2");
  EXPECT_EQ(testing_support::ReadFile(dir_.Child("classes/claims.icn")), "2\n");
}

TEST_F(FileHostTest, BatchClassOverrideIsUsedInsteadOfTheNamedOne) {
  const std::string other = dir_.Write(
      "other.json",
      R"({"name":"Other","customProperties":{},"indexFields":[],"batchFields":[],)"
      R"("hostVariables":[],"links":[{"destination":"T","sourceType":0,"source":"Total"}]})");
  FileHost host(batchFile_, other);
  EXPECT_EQ(host.BatchClass().Name, "Other");
  EXPECT_EQ(host.BatchClassFilePath(), other);
  ASSERT_EQ(host.Values().Count(), 1);
  EXPECT_EQ(host.Values().Item(1).Value, "12.50");
}

TEST_F(FileHostTest, MissingBatchClassFileIsReportedAtTheBatchFile) {
  const std::string batch = dir_.Write(
      "lost.json", R"({"batchClass":"nowhere/class.json","name":"","id":"","description":"",)"
                   R"("classNumber":0,"batchFields":{},"documents":[]})");
  try {
    FileHost host(batch);
    FAIL() << "accepted";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.File(), batch);
    EXPECT_EQ(e.Place(), "/batchClass");
    EXPECT_NE(e.Problem().find("nowhere/class.json\" does not exist"), std::string::npos)
        << e.what();
  }
}

TEST_F(FileHostTest, BrokenBatchClassFileIsNamedItself) {
  dir_.Write("classes/claims.json", R"({"name": 1})");
  try {
    FileHost host(batchFile_);
    FAIL() << "accepted";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.File(), dir_.Child("classes/claims.json"));
    EXPECT_EQ(e.Place(), "/name");
  }
}

TEST_F(FileHostTest, EmptyBatchHasNoCurrentDocument) {
  const std::string batch = dir_.Write(
      "empty.json", R"({"batchClass":"classes/claims.json","name":"E","id":"9","description":"",)"
                    R"("classNumber":0,"batchFields":{},"documents":[]})");
  FileHost host(batch);
  EXPECT_EQ(host.DocumentCount(), 0);
  EXPECT_EQ(host.CurrentDocumentPosition(), 0);
  EXPECT_EQ(host.DocumentId(), 0);
  EXPECT_EQ(host.DocumentClassName(), "");
  EXPECT_EQ(host.Values().Count(), 0);
  EXPECT_EQ(host.BatchId(), "9");
}

TEST_F(FileHostTest, ReportedErrorsAreKeptAndAppendedAsJsonLines) {
  FileHost host(batchFile_);
  host.ErrorLog().SetPath(dir_.Child("errors.jsonl"));
  host.ReportError(-1, 0, 0, "first \xff failure", "ReleaseDoc", 7000);  // not UTF-8
  host.SelectDocument(2);
  host.ReportError(-1, 0, 0, "second", "CreateEDI", 6800);

  ASSERT_EQ(host.Errors().size(), 2u);
  EXPECT_EQ(host.Errors()[0].DocumentId, 17);
  EXPECT_EQ(host.Errors()[1].Number, 6800);
  EXPECT_EQ(host.Errors()[1].Source, "CreateEDI");

  const std::string log = testing_support::ReadFile(dir_.Child("errors.jsonl"));
  std::istringstream lines(log);
  std::string line;
  std::vector<nlohmann::json> entries;
  while (std::getline(lines, line)) entries.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]["batchId"], "B-7");
  EXPECT_EQ(entries[0]["documentId"], 17);
  EXPECT_EQ(entries[0]["number"], 7000);
  EXPECT_EQ(entries[0]["source"], "ReleaseDoc");
  EXPECT_EQ(entries[0]["description"], "first \xEF\xBF\xBD failure");
  EXPECT_EQ(entries[0]["arguments"], nlohmann::json::parse("[-1,0,0]"));
  EXPECT_EQ(entries[1]["documentId"], 18);
}

TEST_F(FileHostTest, UnwritableErrorLogNeverFailsTheReport) {
  FileHost host(batchFile_);
  host.ErrorLog().SetPath(dir_.Child("no/such/folder/errors.jsonl"));
  testing::internal::CaptureStderr();
  host.ReportError(-1, 0, 0, "one", "s", 1);
  host.ReportError(-1, 0, 0, "two", "s", 2);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(host.Errors().size(), 2u);
  // Said once, not for every report.
  EXPECT_EQ(err.find("cannot write the error log"), err.rfind("cannot write the error log"));
  EXPECT_NE(err.find("cannot write the error log"), std::string::npos);
}

TEST_F(FileHostTest, ErrorLogIsNeverWrittenThroughAPlantedLink) {
  // --error-log names a file whose name others can guess; a link planted
  // there must not carry the entries into another file.
  const std::string planted = dir_.Write("planted.txt", "");
  ASSERT_EQ(::symlink(planted.c_str(), dir_.Child("errors.jsonl").c_str()), 0);
  FileHost host(batchFile_);
  host.ErrorLog().SetPath(dir_.Child("errors.jsonl"));
  testing::internal::CaptureStderr();
  host.ReportError(-1, 0, 0, "one", "s", 1);
  host.ReportError(-1, 0, 0, "two", "s", 2);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing_support::ReadFile(planted), "");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.Child("errors.jsonl")));
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      err, m,
      std::regex("quillon: the file .*/errors\\.jsonl is not written to because it is a "
                 "symbolic link; writing to (.*/errors\\.[0-9A-F]{8}\\.jsonl) instead\n")))
      << err;
  const std::string log = testing_support::ReadFile(m[1]);
  EXPECT_NE(log.find("\"description\":\"one\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"description\":\"two\""), std::string::npos) << log;
}

TEST_F(FileHostTest, ShowMessageGoesToStderrAndIsKept) {
  FileHost host(batchFile_);
  testing::internal::CaptureStderr();
  host.ShowMessage("The ouput directory is undefined", 6500, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "quillon: document 17: The ouput directory is undefined (error 6500)\n");
  host.SetEchoMessages(false);
  testing::internal::CaptureStderr();
  host.ShowMessage("quiet", 1, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages()[0].Number, 6500);
  EXPECT_EQ(host.Messages()[0].DocumentId, 17);
}

}  // namespace
}  // namespace quillon
