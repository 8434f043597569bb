#include "release/release_script.h"

#include <gtest/gtest.h>

#include "fake_release_data.h"
#include "platform/os_services.h"
#include "release/custom_properties.h"
#include "release/file_routines.h"
#include "release/file_system_seam.h"
#include "release/library_location.h"
#include "release/owned_files.h"
#include "release_fixtures.h"
#include "support/temp_dir.h"

namespace {

using quillon::ReleaseScript;
using release_testing::Contains;
using release_testing::FakeReleaseData;
using release_testing::FilesIn;
using release_testing::ScopedLog;
using release_testing::WriteMappings;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr const char* kPerBatch = "One EDI Per Batch";
constexpr const char* kPerDocument = "One EDI Per Document";

// Level 1 trims the claim id, level 2 asks for service lines from the "Codes"
// column, level 3 builds the record with the file's header and footer (unless
// the document says "NoRecord"), decides on the record by "Feed" and sets the
// destination when the document names one.
constexpr std::string_view kLevel1 = R"xml(<FieldMappings>
  <MappingClass name="Normalise">
    <Fields><Field name="Claim" value="[ClaimId:trim]"/></Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr std::string_view kLevel2 = R"xml(<FieldMappings>
  <MappingClass name="Claims">
    <Conditions><Condition field="[Codes]" operator="is not blank" value=""/></Conditions>
    <Fields>
      <Field name="_generateServiceLine" value="Y"/>
      <Field name="_ServiceTableDelimiter" value="|"/>
      <Field name="_ServiceLineValue1" value="(Codes:index{&amp;n:|})"/>
      <Field name="_ServiceLineReqFields1" value="Codes"/>
      <Field name="_ServiceLineOutput" value="SV1*(_ServiceLineValue1_&amp;n)~"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr std::string_view kLevel3 = R"xml(<FieldMappings>
  <MappingClass name="Output">
    <Conditions><Condition field="[NoRecord]" operator="is blank" value=""/></Conditions>
    <Fields>
      <Field name="_outputString" value="CLM*[Claim]~[_ServiceLineOutput]"/>
      <Field name="_recordFooter" value="SE*_NumOfSegments~"/>
      <Field name="_header" value="ISA*[Claim]~"/>
      <Field name="_footer" value="IEA*_docCount~"/>
      <Field name="_outputFileName" value="claims [Claim].txt"/>
      <Field name="STATUS" value="done"/>
    </Fields>
  </MappingClass>
  <MappingClass name="Feed">
    <Fields><Field name="_createFeed" value="[Feed]"/></Fields>
  </MappingClass>
  <MappingClass name="Destination">
    <Conditions><Condition field="[OutDir]" operator="is not blank" value=""/></Conditions>
    <Fields><Field name="_outputDirectory" value="[OutDir]"/></Fields>
  </MappingClass>
</FieldMappings>)xml";

struct ReleaseRun {
  TempDir dir;
  FakeReleaseData host;
  ReleaseScript script;
  std::string out = dir.Child("out");
  std::string work = dir.Child("work");
  std::string logs = dir.Child("logs/release");
  int openResult = 99;
  int closeResult = 99;
  std::vector<int> results;

  explicit ReleaseRun(const char* mode = kPerBatch) {
    quillon::SetLockWaitPolicy(1, 0);
    host.properties.Set("EDI Output", mode);
    host.properties.Set("Mappings Directory", WriteMappings(dir, kLevel1, kLevel2, kLevel3));
    host.properties.Set("Working Directory", work);
    host.properties.Set("Logging Directory", logs);
    script.SetDocumentData(&host);
  }
  ~ReleaseRun() {
    quillon::ResetLockWaitPolicy();
    quillon::NewGlobalLogger();
  }

  // A claim with its service-line codes, written to the output folder.
  void Claim(int id, std::string codes = "A|B",
             std::vector<std::pair<std::string, std::string>> more = {}) {
    std::vector<std::pair<std::string, std::string>> values = {
        {"ClaimId", " " + std::to_string(id) + " "},
        {"Codes", codes},
        {"Feed", "YES"},
        {"OutDir", out}};
    for (auto& [name, value] : more) {
      bool replaced = false;
      for (auto& existing : values) {
        if (existing.first == name) {
          existing.second = value;
          replaced = true;
        }
      }
      if (!replaced) values.emplace_back(name, value);
    }
    host.AddDocument(id, values);
  }

  void Release() {
    openResult = script.OpenScript();
    for (std::size_t i = 0; i < host.documents.size(); ++i) {
      host.Select(i);
      results.push_back(script.ReleaseDoc());
    }
    closeResult = script.CloseScript();
  }

  std::string Output(const std::string& name) const { return ReadFile(out + "/" + name); }
  std::string LogText() const {
    std::string path = quillon::GlobalLogger().FilePath();
    std::replace(path.begin(), path.end(), '\\', '/');
    return ReadFile(path);
  }
};

TEST(ReleaseScript, PerBatchWritesOneFile) {
  ReleaseRun run;
  run.Claim(1);
  run.Claim(2, "C");
  run.Claim(3, "D|E|F");
  run.Release();
  EXPECT_EQ(run.openResult, 0);
  EXPECT_EQ(run.results, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(run.closeResult, 0);
  ASSERT_EQ(FilesIn(run.out), std::vector<std::string>{"claims_1.txt"});
  EXPECT_EQ(run.Output("claims_1.txt"),
            "ISA*1~"
            "CLM*1~SV1*A~SV1*B~SE*4~"
            "CLM*2~SV1*C~SE*3~"
            "CLM*3~SV1*D~SV1*E~SV1*F~SE*5~"
            "IEA*3~");
  EXPECT_TRUE(FilesIn(run.work).empty());
  EXPECT_TRUE(run.host.errors.empty());
  const auto& batch = *run.script.Batch();
  EXPECT_EQ(batch.outputFilesWritten, (std::vector<std::string>{run.out + "\\claims_1.txt"}));
  EXPECT_EQ(batch.batchText, "");
  EXPECT_EQ(batch.documentCount, 3);
  ASSERT_EQ(batch.documentStatus->Count(), 3);
  for (const auto& status : *batch.documentStatus) {
    EXPECT_TRUE(status.released);
    EXPECT_TRUE(status.writtenToOutputFile);
    EXPECT_EQ(status.statusFieldValue, "done");
  }
}

TEST(ReleaseScript, PerDocumentWritesAFilePerDocument) {
  ReleaseRun run(kPerDocument);
  run.Claim(1);
  run.Claim(2, "C");
  run.Claim(1, "Z");  // the same file name again
  run.host.documents[2].id = 3;
  run.Release();
  EXPECT_EQ(run.openResult, 0);
  EXPECT_EQ(run.results, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(run.closeResult, 0);
  // "claims_1.txt" taken: the unique-name counter counts on from its "_1",
  // past the taken "claims_2.txt".
  EXPECT_EQ(FilesIn(run.out),
            (std::vector<std::string>{"claims_1.txt", "claims_2.txt", "claims_3.txt"}));
  EXPECT_EQ(run.Output("claims_1.txt"), "ISA*1~CLM*1~SV1*A~SV1*B~SE*4~IEA*1~");
  EXPECT_EQ(run.Output("claims_2.txt"), "ISA*2~CLM*2~SV1*C~SE*3~IEA*1~");
  EXPECT_EQ(run.Output("claims_3.txt"), "ISA*1~CLM*1~SV1*Z~SE*3~IEA*1~");
  EXPECT_EQ(run.script.Batch()->outputFilesWritten.size(), 3u);
}

TEST(ReleaseScript, ModeInAnotherLetterCaseLeavesTheRunUnprepared) {
  for (const char* mode : {"one edi per batch", "One EDI per Document", ""}) {
    SCOPED_TRACE(mode);
    ReleaseRun run(mode);
    run.Claim(1);
    run.Claim(2);
    run.Release();
    EXPECT_EQ(run.openResult, 0);
    EXPECT_EQ(run.results, (std::vector<int>{-1, -1}));
    EXPECT_EQ(run.closeResult, 0);
    EXPECT_TRUE(FilesIn(run.out).empty());
    EXPECT_EQ(run.script.Pipeline(), nullptr);
    ASSERT_EQ(run.host.errors.size(), 2u);
    EXPECT_EQ(run.host.errors[0].number, 500);
    EXPECT_EQ(run.host.errors[0].source, "AddRecordToBatchDocStatus");
    EXPECT_EQ(run.host.messages.size(), 2u);
    EXPECT_EQ(run.host.messages[1].documentId, 2);
  }
}

TEST(ReleaseScript, FailingDocumentLeavesNoTraceInTheOutput) {
  struct Row {
    int line;
    const char* mode;
    std::vector<std::pair<std::string, std::string>> fault;
    int number;
    std::string description;
  } rows[] = {
      {__LINE__, kPerBatch, {{"OutDir", ""}}, 6500, "The ouput directory is undefined"},
      {__LINE__, kPerDocument, {{"OutDir", ""}}, 6500, "The ouput directory is undefined"},
      // Asks for a record but has none: fails inside the record stage, after
      // its counts were raised.
      {__LINE__,
       kPerBatch,
       {{"NoRecord", "1"}},
       7000,
       "The document asks for a record (\"_createFeed\" is \"YES\") but has no "
       "\"_outputString\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseRun run(row.mode);
    run.Claim(1);
    run.Claim(2, "X|Y", row.fault);
    run.Claim(3, "C");
    run.Release();
    EXPECT_EQ(run.results, (std::vector<int>{0, -1, 0}));
    EXPECT_EQ(run.closeResult, 0);
    ASSERT_FALSE(run.host.errors.empty());
    const auto& report = run.host.errors.front();
    EXPECT_EQ(report.number, row.number);
    EXPECT_EQ(report.source, row.number == 6500 ? "ReleaseDoc" : "ProcessDocument");
    EXPECT_EQ(report.description, row.description);
    EXPECT_EQ(report.documentId, 2);
    ASSERT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(run.host.messages[0].number, report.number);
    std::string all;
    for (const std::string& name : FilesIn(run.out)) all += run.Output(name);
    EXPECT_EQ(all.find("CLM*2"), std::string::npos) << all;
    EXPECT_NE(all.find("CLM*1~SV1*A~SV1*B~SE*4~"), std::string::npos) << all;
    EXPECT_NE(all.find("CLM*3~SV1*C~SE*3~"), std::string::npos) << all;
    if (std::string_view(row.mode) == kPerBatch) {
      // Only documents that stayed released are counted.
      EXPECT_EQ(run.Output("claims_1.txt"), "ISA*1~CLM*1~SV1*A~SV1*B~SE*4~CLM*3~SV1*C~SE*3~IEA*2~");
      const auto& status = *run.script.Batch()->documentStatus;
      EXPECT_FALSE(status.Item("id-2")->released);
      EXPECT_FALSE(status.Item("id-2")->writtenToOutputFile);
      EXPECT_TRUE(status.Item("id-3")->released);
    } else {
      EXPECT_EQ(FilesIn(run.out), (std::vector<std::string>{"claims_1.txt", "claims_3.txt"}));
    }
  }
}

TEST(ReleaseScript, FailedDocumentIsTakenBackOutOfTheBatchState) {
  ReleaseRun run;
  run.Claim(1);
  run.Claim(2, "X", {{"OutDir", ""}});
  run.script.OpenScript();
  run.host.Select(0);
  ASSERT_EQ(run.script.ReleaseDoc(), 0);
  auto& batch = *run.script.Batch();
  const std::string text = batch.batchText.ToString();
  const std::string record = batch.currentRecord;
  const auto header = batch.headerSet->ToString(";", "=");
  run.host.Select(1);
  ASSERT_EQ(run.script.ReleaseDoc(), -1);
  EXPECT_EQ(batch.batchText, text);
  EXPECT_EQ(batch.currentRecord, record);
  EXPECT_EQ(batch.recordCount, 1);
  EXPECT_EQ(batch.documentCount, 1);
  EXPECT_EQ(run.script.DocumentCounter(), 1);
  EXPECT_EQ(batch.headerSet->ToString(";", "="), header);
  EXPECT_TRUE(run.script.BatchErrorFlag());
}

TEST(ReleaseScript, FirstDocumentWithoutOutputDirectoryDoesNotFixTheHeaderSet) {
  ReleaseRun run;
  run.Claim(1, "A", {{"OutDir", ""}});
  run.Claim(2, "B");
  run.Claim(3, "C");
  run.Release();
  EXPECT_EQ(run.results, (std::vector<int>{-1, 0, 0}));
  EXPECT_EQ(run.closeResult, 0);
  // The header set comes from document 2, the first that was released.
  ASSERT_EQ(FilesIn(run.out), std::vector<std::string>{"claims_2.txt"});
  EXPECT_EQ(run.Output("claims_2.txt"), "ISA*2~CLM*2~SV1*B~SE*3~CLM*3~SV1*C~SE*3~IEA*2~");
}

TEST(ReleaseScript, DocumentsWithoutRecordStillCountInTheFooter) {
  struct Row {
    int line;
    const char* feed;
    bool written;
  } rows[] = {
      {__LINE__, "yes", true}, {__LINE__, "Yes", true}, {__LINE__, "YES", true},
      {__LINE__, "Y", false},  {__LINE__, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseRun run;
    run.Claim(1);
    run.Claim(2, "B", {{"Feed", row.feed}});
    run.Release();
    EXPECT_EQ(run.results, (std::vector<int>{0, 0}));
    const std::string expected = std::string("ISA*1~CLM*1~SV1*A~SV1*B~SE*4~") +
                                 (row.written ? "CLM*2~SV1*B~SE*3~" : "") + "IEA*2~";
    EXPECT_EQ(run.Output("claims_1.txt"), expected);
    const auto& status = *run.script.Batch()->documentStatus->Item("id-2");
    EXPECT_TRUE(status.released);
    EXPECT_EQ(status.writtenToOutputFile, row.written);
  }
}

TEST(ReleaseScript, StatusLineCountsReleasedAndErroredDocuments) {
  ReleaseRun run;
  run.host.properties.Set("Enable Logging", "True");
  for (int id = 1; id <= 5; ++id) {
    // Document 3 fails in its translation, before its record stage.
    run.Claim(id, "A",
              id == 3 ? std::vector<std::pair<std::string, std::string>>{{"Replace_1", "x"}}
                      : std::vector<std::pair<std::string, std::string>>{});
  }
  run.Release();
  EXPECT_EQ(run.results, (std::vector<int>{0, 0, -1, 0, 0}));
  const auto lines = ScopedLog::SplitLogLines(run.LogText());
  EXPECT_TRUE(
      Contains(lines,
               "[FinalizeBatchRelease][Status]Batch Name: Batch A, Doc Class Name: CMS1500, "
               "Total Docs=5, Released=4, Errored=1"));
  EXPECT_NE(run.Output("claims_1.txt").find("IEA*4~"), std::string::npos);
}

TEST(ReleaseScript, FinalisationFailureFailsCloseScript) {
  struct Row {
    int line;
    bool failEarlierDocument;
    int fault;  // 0 no "Working Directory" at the end, 1 output folder is a file
  } rows[] = {
      {__LINE__, false, 0},
      // Also when a document failed before: the output was not written.
      {__LINE__, true, 0},
      {__LINE__, false, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseRun run;
    run.Claim(1);
    if (row.failEarlierDocument) run.Claim(2, "B", {{"OutDir", ""}});
    if (row.fault == 1) {
      const std::string blocked = run.dir.Write("blocked", "a file, not a folder");
      run.host.documents[0].values[3].second = blocked + "/out";
    }
    run.script.OpenScript();
    for (std::size_t i = 0; i < run.host.documents.size(); ++i) {
      run.host.Select(i);
      run.script.ReleaseDoc();
    }
    if (row.fault == 0) run.host.properties.Erase("Working Directory");
    run.host.errors.clear();
    EXPECT_EQ(run.script.CloseScript(), -1);
    EXPECT_FALSE(run.script.BatchErrorFlag());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_EQ(run.host.errors[0].number, 7004);
    EXPECT_EQ(
        run.host.errors[0].source.rfind("CloseScript - FinalizeBatchRelease, OutputFile: ", 0), 0u);
    EXPECT_TRUE(run.host.messages.size() == (row.failEarlierDocument ? 1u : 0u));
    // A second failure afterwards fails as well.
    run.host.documents.resize(1);
    run.host.Select(0);
    run.script.ReleaseDoc();
    EXPECT_EQ(run.script.CloseScript(), -1);
  }
}

TEST(ReleaseScript, PerDocumentFinalisationFailureFailsTheDocument) {
  ReleaseRun run(kPerDocument);
  run.host.properties.Set("Working Directory", run.dir.Write("work-file", "x"));
  run.Claim(1);
  run.Release();
  EXPECT_EQ(run.results, std::vector<int>{-1});
  EXPECT_EQ(run.closeResult, 0);
  std::vector<int> numbers;
  for (const auto& report : run.host.errors) numbers.push_back(report.number);
  // DeliverOutput reports the finalisation's failure, ReleaseDoc its own.
  EXPECT_EQ(numbers, (std::vector<int>{7004, 6800}));
  EXPECT_EQ(run.host.errors[1].source, "CreateEDI");
  ASSERT_EQ(run.host.messages.size(), 1u);
  EXPECT_EQ(run.host.messages[0].number, 6800);
  EXPECT_TRUE(FilesIn(run.out).empty());
  // The header set this document filled is taken back.
  EXPECT_EQ(run.script.Batch()->headerSet, nullptr);
}

TEST(ReleaseScript, LogsTheRun) {
  ReleaseRun run;
  run.host.properties.Set("Enable Logging", "1");
  run.Claim(1);
  run.Claim(2, "B", {{"OutDir", ""}});
  run.Release();
  const std::string expectedName =
      std::to_string(platform::CurrentProcessId()) + "_" + quillon::LibraryBaseName();
  EXPECT_EQ(quillon::GlobalLogger().LogFileName(), expectedName);
  EXPECT_EQ(quillon::GlobalLogger().LogFolder(), run.logs);
  EXPECT_EQ(quillon::GlobalLogger().LogSetting(), 10);
  const auto lines = ScopedLog::SplitLogLines(ReadFile(run.logs + "/" + expectedName + ".log"));
  for (const std::string& line : {
           std::string("Entering Release - Openscript"),
           "Quillon Release : " + quillon::LibraryVersionText() +
               " Path: " + quillon::LibraryDirectory() + "\\" + quillon::LibraryBaseName() + ".dll",
           std::string(">>>> Opening Batch: B-1, ClassName: B-1"),
           std::string("Entered HvoRelease.ReleaseDoc-----------------"),
           std::string("Releasing Doc (ID): 1, After copying images :"),
           std::string("Entered HvoRelease.ReleaseDoc: Trying to add setup fields"),
           std::string("GetVoraFields, Generating Service lines -------------"),
           std::string("[ReleaseDoc] Writing header  "),
           std::string("Successfully Released Doc (ID): 1"),
           std::string("ERROR ReleaseDoc | ReleaseDoc | The ouput directory is undefined"),
       }) {
    EXPECT_TRUE(Contains(lines, line)) << line;
  }
}

TEST(ReleaseScript, LoggingSwitch) {
  struct Row {
    int line;
    const char* value;
    bool ok;
    bool logging;
  } rows[] = {
      {__LINE__, "TRUE", true, true},  {__LINE__, "false", true, false},
      {__LINE__, "0", true, false},    {__LINE__, "-1", true, true},
      {__LINE__, " 2 ", true, true},   {__LINE__, "0.0", true, false},
      {__LINE__, "yes", false, false}, {__LINE__, "", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseRun run;
    run.host.properties.Set("Enable Logging", row.value);
    run.Claim(1);
    run.Release();
    EXPECT_EQ(run.openResult, row.ok ? 0 : -1);
    EXPECT_EQ(quillon::GlobalLogger().Enabled(), row.logging);
    EXPECT_EQ(std::filesystem::exists(run.logs), row.logging);
    if (!row.ok) {
      // PrepareRun, OpenScript, the document, and CloseScript, which finds
      // no batch status to finalise.
      ASSERT_EQ(run.host.errors.size(), 4u);
      EXPECT_EQ(run.host.errors[0].number, 13);
      EXPECT_EQ(run.host.errors[1].number, 6801);
      EXPECT_EQ(run.host.errors[1].source, "PrepareEDI");
      EXPECT_EQ(run.host.errors[1].description, run.host.errors[0].description);
      EXPECT_EQ(run.host.errors[2].number, 500);
      EXPECT_EQ(run.host.errors[3].number, 7004);
      EXPECT_EQ(run.closeResult, -1);
    }
  }
}

TEST(ReleaseScript, LogDirectoryThatCannotBeCreated) {
  ReleaseRun run;
  const std::string blocked = run.dir.Write("blocked", "x") + "/logs";
  run.host.properties.Set("Enable Logging", "true");
  run.host.properties.Set("Logging Directory", blocked);
  EXPECT_EQ(run.script.OpenScript(), -1);
  ASSERT_EQ(run.host.errors.size(), 2u);
  EXPECT_EQ(run.host.errors[0].number, 6802);
  EXPECT_EQ(run.host.errors[0].source, "CreateDirectory in PrepareEDI");
  EXPECT_EQ(run.host.errors[0].description, "Can't create the log directory - " + blocked);
  EXPECT_EQ(run.host.errors[1].number, 6801);
  EXPECT_EQ(run.host.errors[1].source, "PrepareEDI");
  EXPECT_EQ(run.host.errors[1].description, "Can't create the log directory - " + blocked);
  EXPECT_TRUE(run.host.messages.empty());
}

// Every entry of a folder (files and folders), sorted.
std::vector<std::string> EntriesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReleaseScript, BlankFoldersAreErrorsNeverTheRootOrTheCurrentFolder) {
  struct Row {
    int line;
    const char* setting;  // the custom property, or "_outputDirectory" from the fields
    const char* value;
    bool openFails;
    int number;
    std::string description;
  } rows[] = {
      {__LINE__, "Logging Directory", "", true, 6802,
       "Can't create the log directory - : the custom property \"Logging Directory\" is empty"},
      {__LINE__, "Logging Directory", "  ", true, 6802,
       "Can't create the log directory -   : the custom property \"Logging Directory\" is empty"},
      {__LINE__, "Working Directory", "", false, 6000,
       "The working directory is undefined: the custom property \"Working Directory\" is empty"},
      {__LINE__, "Working Directory", " \t ", false, 6000,
       "The working directory is undefined: the custom property \"Working Directory\" is empty"},
      {__LINE__, "_outputDirectory", "", false, 6500,
       "The ouput directory is undefined: \"_outputDirectory\" is empty"},
      {__LINE__, "_outputDirectory", "   ", false, 6500,
       "The ouput directory is undefined: \"_outputDirectory\" is empty"},
  };
  for (const char* mode : {kPerBatch, kPerDocument}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(mode) + " " + std::to_string(row.line));
      ReleaseRun run(mode);
      run.host.properties.Set("Enable Logging", "true");
      if (std::string(row.setting) == "_outputDirectory") {
        run.Claim(1, "A", {{"OutDir", ""}, {"_outputDirectory", row.value}});
      } else {
        run.host.properties.Set(row.setting, row.value);
        run.Claim(1);
      }
      const std::vector<std::string> here = EntriesIn(".");
      run.Release();
      EXPECT_EQ(run.results, std::vector<int>{-1});
      EXPECT_EQ(run.openResult, row.openFails && std::string(mode) == kPerBatch ? -1 : 0);
      ASSERT_FALSE(run.host.errors.empty());
      EXPECT_EQ(run.host.errors[0].number, row.number);
      EXPECT_EQ(run.host.errors[0].description, row.description);
      // Nothing anywhere: not in the current folder, not in the root.
      EXPECT_EQ(EntriesIn("."), here);
      EXPECT_FALSE(std::filesystem::exists("/folder.lock"));
      EXPECT_FALSE(std::filesystem::exists("/claims_1.txt"));
      EXPECT_TRUE(FilesIn(run.out).empty());
      EXPECT_TRUE(FilesIn(run.work).empty());
    }
  }
}

TEST(ReleaseScript, PerDocumentPreparationFailureDoesNotSetTheErrorFlag) {
  ReleaseRun run(kPerDocument);
  run.host.properties.Set("Enable Logging", "maybe");
  run.Claim(1);
  run.Release();
  EXPECT_EQ(run.results, std::vector<int>{-1});
  EXPECT_FALSE(run.script.BatchErrorFlag());
  ASSERT_EQ(run.host.messages.size(), 1u);
  EXPECT_EQ(run.host.messages[0].number, 6801);
}

TEST(ReleaseScript, MissingModeProperty) {
  ReleaseRun run;
  run.host.properties.Erase("EDI Output");
  run.Claim(1);
  run.Release();
  EXPECT_EQ(run.openResult, -1);
  EXPECT_EQ(run.results, std::vector<int>{-1});
  EXPECT_EQ(run.closeResult, -1);
  EXPECT_TRUE(FilesIn(run.out).empty());
}

TEST(ReleaseScript, MissingMappingFileFailsTheDocumentWithItsName) {
  ReleaseRun run;
  run.Claim(1);
  run.Claim(2);
  run.script.OpenScript();
  run.host.Select(0);
  EXPECT_EQ(run.script.ReleaseDoc(), 0);
  const std::string file =
      run.host.properties.Item("Mappings Directory").Value + "\\FeedOutputMappings.xml";
  std::filesystem::remove(run.dir.Child("mappings/FeedOutputMappings.xml"));
  run.host.Select(1);
  EXPECT_EQ(run.script.ReleaseDoc(), -1);
  ASSERT_EQ(run.host.errors.size(), 1u);
  EXPECT_EQ(run.host.errors[0].source, "GetVoraFields");
  EXPECT_EQ(
      run.host.errors[0].description.rfind("Cannot load the mapping file \"" + file + "\": ", 0),
      0u)
      << run.host.errors[0].description;
  EXPECT_EQ(run.script.CloseScript(), 0);
  EXPECT_EQ(run.Output("claims_1.txt"), "ISA*1~CLM*1~SV1*A~SV1*B~SE*4~IEA*1~");
}

TEST(ReleaseScript, DirectoryWriteProbeIsRepeatedAfterItsInterval) {
  // The working folder stops taking new files after the first document.
  struct RefusingFolder : quillon::PosixFileSystem {
    std::string folder;
    int probes = 0;
    int CreateExclusive(const std::string& path, unsigned mode) override {
      const std::optional<quillon::OwnedFile> owned =
          quillon::ParseOwnedFileName(path.substr(path.rfind('/') + 1));
      const bool probe = path.rfind(folder + "/", 0) == 0 && owned && owned->kind == "probe";
      if (probe && ++probes > 1) return EACCES;
      return quillon::PosixFileSystem::CreateExclusive(path, mode);
    }
  };
  struct Row {
    int line;
    int intervalMs;
    std::vector<int> results;
    int probes;
  } rows[] = {
      {__LINE__, 0, {0, -1, -1}, 3},  // every document probes
      {__LINE__, 60000, {0, 0, 0}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseRun run;
    std::filesystem::create_directories(run.work);
    RefusingFolder fs;
    fs.folder = run.work;
    quillon::ScopedFileSystem use(fs);
    ReleaseScript::SetDirectoryProbeInterval(std::chrono::milliseconds(row.intervalMs));
    run.Claim(1);
    run.Claim(2);
    run.Claim(3);
    run.Release();
    ReleaseScript::SetDirectoryProbeInterval(std::chrono::milliseconds(1000));
    EXPECT_EQ(run.results, row.results);
    EXPECT_EQ(fs.probes, row.probes);
    if (row.results[1] != 0) {
      EXPECT_EQ(run.host.errors[0].number, 6000);
      EXPECT_EQ(
          run.host.errors[0].description,
          "Release user does not have appropriate access to the output directory - " + run.work);
    }
  }
}

TEST(TextToBoolean, ConvertsWordsAndNumbers) {
  struct Row {
    int line;
    const char* text;
    int expected;  // -1: type mismatch
  } rows[] = {
      {__LINE__, "true", 1}, {__LINE__, "FALSE", 0}, {__LINE__, "True", 1}, {__LINE__, "1", 1},
      {__LINE__, "0", 0},    {__LINE__, "-0.0", 0},  {__LINE__, "1e3", 1},  {__LINE__, " 0 ", 0},
      {__LINE__, "", -1},    {__LINE__, "on", -1},   {__LINE__, "t", -1},   {__LINE__, "1x", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    if (row.expected < 0) {
      try {
        quillon::TextToBoolean(row.text);
        FAIL() << "expected 13";
      } catch (const platform::Error& e) {
        EXPECT_EQ(e.Number(), 13);
      }
    } else {
      EXPECT_EQ(quillon::TextToBoolean(row.text), row.expected == 1);
    }
  }
}

}  // namespace
