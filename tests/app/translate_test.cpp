// `quillon translate`: one document previewed through the three mapping
// levels with service lines, its final fields and its record; nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunCommand;
using testing_support::TempDir;

constexpr const char* kLevel1 = R"xml(<FieldMappings>
  <MappingClass name="Normalise">
    <Fields><Field name="Claim" value="[Claim Number:trim]"/></Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr const char* kLevel2 = R"xml(<FieldMappings>
  <MappingClass name="Lines">
    <Conditions><Condition field="[Codes]" operator="is not blank" value=""/></Conditions>
    <Fields>
      <Field name="_generateServiceLine" value="Y"/>
      <Field name="_ServiceTableDelimiter" value="|"/>
      <Field name="_ServiceLineValue1" value="(Codes:index{&amp;n:|})"/>
      <Field name="_ServiceLineReqFields1" value="Codes~!Void"/>
      <Field name="_ServiceLineOutput" value="SV1*&amp;n*(_ServiceLineValue1_&amp;n)~"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

constexpr const char* kLevel3 = R"xml(<FieldMappings>
  <MappingClass name="Record">
    <Fields>
      <Field name="_createFeed" value="[Feed]"/>
      <Field name="_outputString" value="CLM*[Claim]~[_ServiceLineOutput]"/>
      <Field name="_recordFooter" value="SE*_NumOfSegments~"/>
      <Field name="_outputDirectory" value="{OUT}"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

class TranslateCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string level3 = kLevel3;
    level3.replace(level3.find("{OUT}"), 5, dir_.Child("out"));
    dir_.Write("mappings/DataMappings.xml", kLevel1);
    dir_.Write("mappings/FieldMappings.xml", kLevel2);
    dir_.Write("mappings/FeedOutputMappings.xml", level3);
  }
  testing_support::CommandResult Translate(std::vector<std::string> args) {
    args.insert(args.begin(), {QUILLON_BIN, "translate", "--mappings", dir_.Child("mappings")});
    return RunCommand(args);
  }
  TempDir dir_;
};

TEST_F(TranslateCommand, PrintsTheFieldsAndTheRecord) {
  const auto r = Translate({"Claim Number= 42 ", "Codes=A|B|C", "Void=||X", "Feed=yes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string out = dir_.Child("out");
  EXPECT_EQ(r.out,
            "_createFeed=yes\n"
            "_outputString=CLM*42~SV1*1*A~SV1*2*B~SV1*3*~\n"
            "_recordFooter=SE*5~\n"
            "_outputDirectory=" +
                out +
                "\n"
                "_generateServiceLine=Y\n"
                "_ServiceTableDelimiter=|\n"
                "_ServiceLineValue1=(Codes:index{&n:|})\n"
                "_ServiceLineReqFields1=Codes~!Void\n"
                "_ServiceLineOutput=SV1*1*A~SV1*2*B~SV1*3*~\n"
                "Claim=42\n"
                "Claim Number= 42 \n"
                "Codes=A|B|C\n"
                "Void=||X\n"
                "Feed=yes\n"
                "\n"
                "level 1 DataMappings.xml: Normalise\n"
                "level 2 FieldMappings.xml: Lines\n"
                "level 3 FeedOutputMappings.xml: Record\n"
                "\n"
                "record:\n"
                "CLM*42~SV1*1*A~SV1*2*B~SV1*3*~SE*5~\n");
  // A preview writes nothing, not even the output folder.
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(TranslateCommand, JsonOutput) {
  struct Row {
    int line;
    const char* feed;
    bool record;
  } rows[] = {{__LINE__, "YES", true}, {__LINE__, "Y", false}, {__LINE__, "", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto r =
        Translate({"--json", "Claim Number=7", "Codes=A", std::string("Feed=") + row.feed});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto json = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(json["fields"]["_outputString"], "CLM*7~SV1*1*A~");
    EXPECT_EQ(json["fields"].begin().key(), "_createFeed");  // list order is kept
    if (row.record) {
      EXPECT_EQ(json["record"], "CLM*7~SV1*1*A~SE*3~");
    } else {
      EXPECT_TRUE(json["record"].is_null());
    }
  }
}

TEST_F(TranslateCommand, NoRecordWithoutCreateFeed) {
  const auto r = Translate({"Claim Number=7", "Feed=Y"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\nno record (\"_createFeed\" is not \"YES\": \"Y\")\n"), std::string::npos)
      << r.out;
  // Without codes the level-2 class does not apply: no service lines.
  EXPECT_NE(r.out.find("_outputString=CLM*7~\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nlevel 2 FieldMappings.xml: no class applied\n"), std::string::npos)
      << r.out;
}

TEST_F(TranslateCommand, FieldsFromAFile) {
  const std::string file = dir_.Write("doc.json", R"({"Claim Number": "9", "Feed": "YES"})");
  const auto r = Translate({"--fields", file, "Feed=yes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("record:\nCLM*9~SE*2~\n"), std::string::npos) << r.out;
}

TEST_F(TranslateCommand, Failures) {
  struct Row {
    int line;
    const char* brokenFile;  // replaced by text that is not XML
    std::vector<std::string> args;
    int exitCode;
    std::string errorStart;
  } rows[] = {
      {__LINE__, "FieldMappings.xml", {"Claim Number=1"}, 2, "error "},
      // A service-line column with fewer cells than the driving one.
      {__LINE__,
       nullptr,
       {"Codes=A|B|C", "Void=X|Y"},
       2,
       "error 9: The service line field \"Void\" has 2 cell(s), fewer than the driving field "
       "(row 3)"},
      {__LINE__, nullptr, {"Replace_1=no bar"}, 2, "error 9: "},
      {__LINE__, nullptr, {"not-a-pair"}, 2, "error: field argument \"not-a-pair\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    if (row.brokenFile) dir_.Write(std::string("mappings/") + row.brokenFile, "<FieldMappings>");
    const auto r = Translate(row.args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
    EXPECT_EQ(r.err.rfind(row.errorStart, 0), 0u) << r.err;
    if (row.brokenFile) {
      EXPECT_NE(r.err.find("Cannot load the mapping file \"" + dir_.Child("mappings") + "\\" +
                           row.brokenFile + "\": "),
                std::string::npos)
          << r.err;
      SetUp();  // mend it again for the next row
    }
  }
}

TEST_F(TranslateCommand, EveryMatchingClassOfALevelAppliesAndIsListed) {
  dir_.Write("mappings/DataMappings.xml", R"xml(<FieldMappings>
  <MappingClass name="Normalise"><Fields><Field name="Claim" value="[Claim Number:trim]"/></Fields>
  </MappingClass>
  <MappingClass name="Prefix"><Conditions><Condition field="Claim" operator="eq" value="7"/>
  </Conditions><Fields><Field name="Claim" value="C-[Claim]"/></Fields></MappingClass>
  <MappingClass name="Never"><Conditions><Condition field="Claim" operator="eq" value="x"/>
  </Conditions></MappingClass>
</FieldMappings>)xml");
  const auto r = Translate({"--json", "Claim Number= 7", "Feed=YES"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["fields"]["Claim"], "C-7");
  EXPECT_EQ(json["levels"], nlohmann::json::parse(R"([
      {"file": "DataMappings.xml", "classes": ["Normalise", "Prefix"]},
      {"file": "FieldMappings.xml", "classes": []},
      {"file": "FeedOutputMappings.xml", "classes": ["Record"]}])"));
}

TEST_F(TranslateCommand, ADocumentOfABatchFile) {
  dir_.Write("class.json", R"({"name": "C",
    "customProperties": {"Mappings Directory": "mappings", "EDI Output": "One EDI Per Batch"},
    "indexFields": ["Number"], "batchFields": [], "hostVariables": ["Document ID"],
    "links": [{"destination": "Claim Number", "sourceType": 0, "source": "Number"},
              {"destination": "Feed", "sourceType": 2, "source": "Document ID"}]})");
  const std::string batch = dir_.Write("batch.json", R"({"batchClass": "class.json",
    "name": "N", "id": "B", "description": "", "classNumber": 1, "batchFields": {},
    "documents": [{"id": 5, "className": "X", "classId": 1, "indexFields": {"Number": " 41"}},
                  {"id": 6, "className": "X", "classId": 1, "indexFields": {"Number": "42 "}}]})");
  // The batch class's mappings directory, relative to its file; the
  // released values of document 6; a NAME=VALUE on top.
  const auto r = RunCommand(
      {QUILLON_BIN, "translate", "--batch", batch, "--document", "6", "--json", "Feed=yes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["fields"]["Claim"], "42");
  EXPECT_EQ(json["record"], "CLM*42~SE*2~");

  struct Row {
    int line;
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {__LINE__, {"--batch", batch}, "holds 2 documents: name one with --document (5, 6)"},
      {__LINE__, {"--batch", batch, "--document", "7"}, "no document with id 7"},
      {__LINE__, {"--document", "5", "--mappings", "m"}, "--document needs --batch"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::vector<std::string> argv = {QUILLON_BIN, "translate"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto failed = RunCommand(argv);
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find(row.err), std::string::npos) << failed.err;
  }
}

TEST_F(TranslateCommand, MissingMappingsDirectoryIsAUsageError) {
  const auto r = RunCommand({QUILLON_BIN, "translate", "A=1"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
