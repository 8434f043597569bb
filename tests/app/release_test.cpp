// `quillon release`: a batch released through the stand-in host, the summary,
// the exit codes, and the output and error files it leaves.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    dir_.Write(name, BatchClassJson(mode, workingDirectory).dump(2));
  }

  nlohmann::ordered_json BatchClassJson(const std::string& mode, bool workingDirectory = true) {
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
    return json;
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

// Each broken setting: its cause is the first line, naming the setting, its
// value and what it takes (or the file and the parser's reason, or the folder
// and why), and the release exits non-zero.
TEST_F(ReleaseCommand, EachBrokenSettingIsNamedFirst) {
  // A working folder that cannot take the file fails only when the file is
  // delivered, after the folder lock has been waited for (20 seconds); those
  // rows run as a dry run, which names the causes the same way.
  struct Row {
    int line;
    std::string property;
    std::string value;
    std::string firstLine;
    bool dryRun = false;
  } rows[] = {
      {__LINE__, "EDI Output", "one edi per batch",
       "error: \"EDI Output\" is \"one edi per batch\": it must be \"One EDI Per Batch\" or "
       "\"One EDI Per Document\" (letter case counts)"},
      {__LINE__, "Enable Logging", "maybe",
       "error: \"Enable Logging\" is \"maybe\": it must be true or false (in any letter case) or "
       "a number"},
      {__LINE__, "Mappings Directory", "{DIR}/nowhere",
       "error: \"Mappings Directory\" is \"{DIR}/nowhere\": the folder does not exist"},
      {__LINE__, "Working Directory", "{DIR}/batch.json",
       "error: \"Working Directory\" is \"{DIR}/batch.json\": it is a file, not a folder", true},
      {__LINE__, "Working Directory", "/no-such-top-folder/work",
       "error: \"Working Directory\" is \"/no-such-top-folder/work\": it does not exist, and "
       "\"/no-such-top-folder\" cannot be created (a folder right below the root is never "
       "created)",
       true},
  };
  const std::string batch = WriteBatch(2);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto place = [&](std::string text) {
      for (std::size_t at; (at = text.find("{DIR}")) != std::string::npos;) {
        text.replace(at, 5, dir_.str());
      }
      return text;
    };
    nlohmann::ordered_json json = BatchClassJson("One EDI Per Batch");
    json["customProperties"]["Enable Logging"] = "1";
    json["customProperties"][row.property] = place(row.value);
    dir_.Write("class.json", json.dump(2));
    const auto r = row.dryRun ? Release({batch, "--dry-run"}) : Release({batch});
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')).rfind(place(row.firstLine), 0), 0u) << r.out;
  }
}

TEST_F(ReleaseCommand, ABrokenMappingFileIsNamedWithTheParsersReason) {
  dir_.Write("mappings/FieldMappings.xml", "<FieldMappings>\n<MappingClass name=\"A\">");
  const auto r = Release({WriteBatch(2)});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out.rfind("error: the mapping file \"" + dir_.Child("mappings") +
                            "/FieldMappings.xml\" cannot be loaded: Error loading mapping classes "
                            "configuration file: ",
                        0),
            0u)
      << r.out;
  // The error numbers and reports of the release stay as they were.
  EXPECT_NE(r.out.find("the release could not be opened:\n  error "), std::string::npos) << r.out;
}

// Slow by design: the release waits for the output folder's lock (100 x 200
// ms) before it gives up on a folder that cannot hold one.
TEST_F(ReleaseCommand, AnOutputFolderThatCannotTakeTheFileIsNamedAndTheFileKept) {
  // The documents name a file as their output folder.
  dir_.Write("out", "not a folder");
  const auto r = Release({WriteBatch(2)});
  EXPECT_EQ(r.exitCode, 1);
  const std::vector<std::string> lines = [&] {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
      out.push_back(r.out.substr(start, end - start));
    }
    return out;
  }();
  ASSERT_GE(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0], "error: the output folder \"" + Out() +
                          "\" cannot take the file: it is a file, not a folder");
  const std::string kept = "the finished file was kept in the working folder: ";
  ASSERT_EQ(lines[1].rfind(kept, 0), 0u) << r.out;
  const std::string workingFile = lines[1].substr(kept.size());
  EXPECT_EQ(workingFile, dir_.Child("work") + "/claims.txt");
  EXPECT_EQ(ReadFile(workingFile), "ISA*1~CLM*C1~SV1*A~SV1*B~SE*4~CLM*C2~SV1*C~SE*3~IEA*2*1~");
  // The host's report is as it was: error 7004 with its source.
  EXPECT_NE(r.out.find("the output could not be written:\n  error 7004: "), std::string::npos);
}

TEST_F(ReleaseCommand, DryRunWritesNothingAndTakesNoNumber) {
  const std::string batch = WriteBatch(3, {2});
  dir_.Write("class.icn", "41\n");
  const auto r = Release({batch, "--dry-run"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;  // document 2 would fail
  EXPECT_EQ(r.out,
            "dry run: nothing is written and no interchange control number is taken\n"
            "batch B-7 (Morning): 3 documents, interchange control number 42 (the next one)\n"
            "  document 1: record of 4 segments, 24 bytes\n"
            "  document 2: would fail: The ouput directory is undefined (error 6500)\n"
            "  document 3: record of 4 segments, 24 bytes\n"
            "would write 1 file: " +
                Out() +
                "/claims.txt (or the next free name; 64 bytes: header, 2 records, footer)\n");
  EXPECT_EQ(ReadFile(dir_.Child("class.icn")), "41\n");
  EXPECT_FALSE(fs::exists(Out()));
  EXPECT_FALSE(fs::exists(dir_.Child("work")));
  EXPECT_FALSE(fs::exists(dir_.Child("logs")));

  const auto json = Release({WriteBatch(2), "--dry-run", "--json"});
  EXPECT_EQ(json.exitCode, 0) << json.out;
  const auto summary = nlohmann::json::parse(json.out);
  EXPECT_EQ(summary["dryRun"], true);
  EXPECT_EQ(summary["batch"]["interchangeControlNumber"], "42");
  EXPECT_EQ(summary["documents"][1]["segments"], 3);
  EXPECT_EQ(summary["wouldWrite"]["file"], Out() + "/claims.txt");
  EXPECT_EQ(ReadFile(dir_.Child("class.icn")), "41\n");
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ReleaseCommand, CheckRefusesMappingsWithErrors) {
  dir_.Write("mappings/DataMappings.xml", R"xml(<FieldMappings>
  <MappingClass name="Normalise">
    <Fields><Field name="Claim" value="[Claim Numbr:trim]"/></Fields>
  </MappingClass>
</FieldMappings>)xml");
  const auto r = Release({WriteBatch(2), "--check"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, dir_.Child("mappings") +
                       "/DataMappings.xml:3:41: error: the field \"Claim Numbr\" is no field the "
                       "document has here, so it reads as empty (did you mean \"Claim Number\"?) "
                       "[unknown-field]\n"
                       "1 error, 0 warnings\n"
                       "error: the mappings hold 1 error: nothing was released (quillon check "
                       "--batch-class " +
                       dir_.Child("class.json") + " shows the same)\n");
  EXPECT_FALSE(fs::exists(dir_.Child("class.icn")));
  EXPECT_FALSE(fs::exists(Out()));

  // Clean mappings pass the check and are released.
  SetUp();
  const auto clean = Release({dir_.Child("batch.json"), "--check", "--json"});
  EXPECT_EQ(clean.exitCode, 0) << clean.out;
  const auto summary = nlohmann::json::parse(clean.out);
  EXPECT_EQ(summary["check"]["errors"], 0);
  EXPECT_EQ(summary["released"], 2);
  EXPECT_EQ(summary["causes"], nlohmann::json::array());
  EXPECT_EQ(summary["outputFiles"], nlohmann::json::array({Out() + "/claims.txt"}));
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

TEST_F(ReleaseCommand, ABrokenBatchFileReleasesTheDocumentsBeforeTheFault) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::string fourFiles = "ISA*1~CLM*C1~SV1*A~SV1*B~SE*4~CLM*C2~SV1*C~SE*3~IEA*2*1~";
  struct Row {
    int line;
    std::string mode;
    std::string from;  // replaced in the text of a batch of five documents...
    std::string to;
    std::size_t cutAfter;  // ...or, when not 0, the text cut after `from` and this many bytes
    int exitCode;
    int released;
    std::string fault;               // in the summary and on standard error
    std::vector<std::string> files;  // output files, their content for per-batch mode
  } rows[] = {
      {__LINE__,
       "One EDI Per Batch",
       "\"id\": 3",
       "",
       10,
       1,
       2,
       "not valid JSON: parse error at line ",
       {fourFiles}},
      {__LINE__,
       "One EDI Per Batch",
       "\"id\": 3,",
       "\"id\": 1,",
       0,
       1,
       2,
       "/documents/2/id: duplicate document id 1 (also /documents/0/id)",
       {fourFiles}},
      {__LINE__,
       "One EDI Per Batch",
       "\" C3 \"",
       deep,
       0,
       1,
       2,
       "/documents/2/indexFields/Claim Number: must be text, not an array",
       {fourFiles}},
      {__LINE__,
       "One EDI Per Batch",
       "\"documents\": [",
       "\"pages\": 1, \"documents\": [",
       0,
       2,
       0,
       "/pages: unknown key \"pages\"",
       {}},
      {__LINE__,
       "One EDI Per Batch",
       "\"id\": 1,",
       "\"id\": \"1\",",
       0,
       2,
       0,
       "/documents/0/id: must be a whole number, not text",
       {}},
      {__LINE__,
       "One EDI Per Document",
       "\"id\": 3",
       "",
       10,
       1,
       2,
       "not valid JSON: parse error at line ",
       {"claims.txt", "claims_1.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::error_code ec;
    fs::remove_all(Out(), ec);
    fs::remove(dir_.Child("class.icn"), ec);
    WriteBatchClass(row.mode);
    std::string text = ReadFile(WriteBatch(5));
    const std::size_t at = text.find(row.from);
    ASSERT_NE(at, std::string::npos);
    if (row.cutAfter > 0) {
      text.resize(at + row.from.size() + row.cutAfter);
    } else {
      text.replace(at, row.from.size(), row.to);
    }
    const std::string batch = dir_.Write("batch.json", text);
    const auto r = Release({batch});
    EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
    EXPECT_NE(r.err.find("error: " + batch + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(row.fault), std::string::npos) << r.err;
    if (row.exitCode == 2) {
      // Nothing released, nothing written, no interchange number taken.
      EXPECT_EQ(r.out, "");
      EXPECT_FALSE(fs::exists(Out()));
      EXPECT_FALSE(fs::exists(dir_.Child("class.icn")));
      continue;
    }
    EXPECT_NE(r.out.find("documents released: " + std::to_string(row.released) +
                         "\ndocuments failed: 0\nthe batch file breaks off after document " +
                         std::to_string(row.released) +
                         "; the documents after it were not released:\n  " + batch + ": "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(row.fault), std::string::npos) << r.out;
    if (row.mode == "One EDI Per Batch") {
      ASSERT_EQ(OutputFiles(), std::vector<std::string>{"claims.txt"});
      EXPECT_EQ(ReadFile(Out() + "/claims.txt"), row.files[0]);
    } else {
      EXPECT_EQ(OutputFiles(), row.files);
    }
  }
}

TEST_F(ReleaseCommand, OnlyRegularFilesAreRead) {
  const std::string fifo = dir_.Child("pipe.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string batch = WriteBatch(1);
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string message;
  } rows[] = {
      // Neither blocks on the pipe nor reads the device without end.
      {__LINE__,
       {fifo},
       "error: " + fifo + ": is not a regular file (a device, a pipe or a socket)"},
      {__LINE__, {dir_.str()}, "error: " + dir_.str() + ": is a folder, not a file"},
      {__LINE__,
       {batch, "--batch-class", "/dev/zero"},
       "error: /dev/zero: is not a regular file (a device, a pipe or a socket)"},
      {__LINE__,
       {batch, "--batch-class", fifo},
       "error: " + fifo + ": is not a regular file (a device, a pipe or a socket)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto r = Release(row.args);
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, row.message + "\n");
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

TEST_F(ReleaseCommand, OutputFoldersThatCannotBeUsedFailAtOnceAndWriteNowhereElse) {
  // The destination comes straight from the field "Out", whatever it holds.
  dir_.Write("mappings/FeedOutputMappings.xml", R"xml(<FieldMappings>
  <MappingClass name="Record">
    <Fields>
      <Field name="_createFeed" value="YES"/>
      <Field name="_outputString" value="CLM*[Claim]~"/>
      <Field name="_header" value="ISA*[ICN]~"/>
      <Field name="_footer" value="IEA*_docCount~"/>
      <Field name="_outputFileName" value="claims.txt"/>
      <Field name="_outputDirectory" value="[Out]"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml");
  dir_.Write("a-file", "x");
  struct Row {
    int line;
    std::string mode;
    std::string out;
    std::string failure;  // the summary's line for each document, or "" for the output
    std::string written;  // what the working folder keeps
  } rows[] = {
      // An empty destination used to put the file, the lock and the
      // temporary file into the root of the file system.
      {__LINE__, "One EDI Per Batch", "  ",
       "The ouput directory is undefined: \"_outputDirectory\" is empty (error 6500)", ""},
      {__LINE__, "One EDI Per Document", "",
       "The ouput directory is undefined: \"_outputDirectory\" is empty (error 6500)", ""},
      // Folders that can never be written end the lock wait at once (it
      // used to take 20 seconds a file); the finished output is kept.
      {__LINE__, "One EDI Per Document", dir_.Child("a-file") + "/out",
       "Application-defined or object-defined error (error 6800)", "claims"},
      {__LINE__, "One EDI Per Document", R"(Q:\out)",
       "Application-defined or object-defined error (error 6800)", "claims"},
      {__LINE__, "One EDI Per Batch", R"(Q:\out)", "", "claims"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    WriteBatchClass(row.mode);
    nlohmann::ordered_json batch = nlohmann::ordered_json::parse(ReadFile(WriteBatch(3)));
    for (auto& document : batch["documents"]) document["indexFields"]["Out"] = row.out;
    const std::string file = dir_.Write("batch.json", batch.dump());
    std::vector<std::string> before;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      before.push_back(entry.path().filename().string());
    }
    std::sort(before.begin(), before.end());

    const auto start = std::chrono::steady_clock::now();
    // Run inside the test folder: nothing may appear in the current folder.
    const auto r = RunCommand(
        {"/usr/bin/env", "-C", dir_.str(), "QUILLON_DRIVES=C=/", QUILLON_BIN, "release", file});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    if (!row.failure.empty()) {
      for (int id = 1; id <= 3; ++id) {
        EXPECT_NE(r.out.find("  document " + std::to_string(id) + ": " + row.failure + "\n"),
                  std::string::npos)
            << r.out;
      }
    } else {
      EXPECT_NE(r.out.find("the output could not be written:\n  error 7004: "), std::string::npos)
          << r.out;
      EXPECT_NE(r.out.find("The output file was not delivered; it is kept as " +
                           dir_.Child("work") + "/claims.txt)"),
                std::string::npos)
          << r.out;
    }
    EXPECT_NE(r.out.find("output files written: 0\n"), std::string::npos) << r.out;

    std::vector<std::string> after;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "work" && name != "class.icn") after.push_back(name);  // intended
    }
    std::sort(after.begin(), after.end());
    std::erase(before, "work");
    std::erase(before, "class.icn");
    EXPECT_EQ(after, before);
    EXPECT_FALSE(fs::exists("/claims.txt"));
    EXPECT_FALSE(fs::exists("/folder.lock"));
    // The working folder keeps only output that was finished and could not
    // be delivered, under the wanted name; nothing hidden.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_.path() / "work", ec)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.rfind(row.written.empty() ? "-" : row.written, 0), 0u) << name;
      fs::remove(entry.path());
    }
  }
}

TEST_F(ReleaseCommand, EmptyBatchWritesNothing) {
  const auto r = Release({WriteBatch(0)});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("documents released: 0\ndocuments failed: 0\noutput files written: 0\n"),
            std::string::npos)
      << r.out;
}

}  // namespace
