// `quillon check`: the built command loading mapping files and reporting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;

constexpr const char* kGood = R"(<FieldMappings>
  <MappingClass name="A">
    <Conditions>
      <Condition field="F" operator="eq" value="1"/>
      <Condition field="G" operator="is blank" value="" connector="or"/>
    </Conditions>
    <Fields><Field name="X" value="1"/><Field name="Y" value="[F]"/></Fields>
  </MappingClass>
  <MappingClass name="B"><Fields><Field name="X" value="2"/></Fields></MappingClass>
</FieldMappings>)";

TEST(CheckCommand, ReportsCountsForFilesThatLoad) {
  testing_support::TempDir dir;
  const std::string good = dir.Write("good.xml", kGood);
  const std::string one =
      dir.Write("one.xml", R"(<FieldMappings><MappingClass name="A"><Conditions><Condition field="F"
      operator="eq" value="1"/></Conditions><Fields><Field name="X" value="1"/></Fields>
      </MappingClass></FieldMappings>)");
  const std::string empty = dir.Write("empty.xml", "<FieldMappings/>");
  const auto result = RunCommand({QUILLON_BIN, "check", good, one, empty});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, good + ": OK (2 classes, 2 conditions, 3 fields)\n" + one +
                            ": OK (1 class, 1 condition, 1 field)\n" + empty +
                            ": OK (0 classes, 0 conditions, 0 fields)\n");
  EXPECT_EQ(result.err, "");
}

TEST(CheckCommand, DirectoryStandsForItsThreeFilesAndFailuresGiveExitTwo) {
  testing_support::TempDir dir;
  dir.Write("maps/DataMappings.xml", kGood);
  dir.Write("maps/FieldMappings.xml",
            "<FieldMappings>\n<MappingClass name=\"A\">\n<Fields>\n<Field value=\"1\"/>\n"
            "</Fields></MappingClass></FieldMappings>");
  const std::string maps = dir.Child("maps");
  const auto result = RunCommand({QUILLON_BIN, "check", maps});
  EXPECT_EQ(result.exitCode, 2);
  // The engine stops at the first fault of a file; the linter's findings
  // follow the file's line, with their columns, and a count.
  EXPECT_EQ(result.out, maps + "/DataMappings.xml: OK (2 classes, 2 conditions, 3 fields)\n" +
                            maps +
                            "/FieldMappings.xml:4:1: error: <Field> has no \"name\" attribute: the "
                            "file cannot be loaded (error 6000, \"field missing required "
                            "attribute 'name'.\") [missing-attribute]\n"
                            "2 errors, 0 warnings\n");
  EXPECT_EQ(result.err,
            maps +
                "/FieldMappings.xml: error 6000 at line 4: Error parsing mapping classes "
                "configuration: field missing required attribute 'name'.\n" +
                maps +
                "/FeedOutputMappings.xml: error 1524: Error loading mapping classes "
                "configuration file: cannot read file '" +
                maps + "/FeedOutputMappings.xml': No such file or directory\n");
}

TEST(CheckCommand, EveryKindOfFailureIsReported) {
  testing_support::TempDir dir;
  struct Row {
    int line;
    std::string content;
    std::string err;  // after "<file>: "
    std::string out;  // the linter's finding, after "<file>:"
  } rows[] = {
      {__LINE__, "<FieldMappings>\n<MappingClass name=\"a\"/>\n<MappingClass name=\"A\"/>\n",
       "error 77 at line 4: Error loading mapping classes configuration file: Premature end of "
       "data in tag FieldMappings line 1 (line 4, column 1)\n",
       ""},
      {__LINE__,
       "<FieldMappings>\n<MappingClass name=\"a\"/>\n<MappingClass name=\"A\"/>\n</FieldMappings>",
       "error 457 at line 3: This key is already associated with an element of this "
       "collection\n",
       "3:15: error: the class name \"A\" is already used at line 2 (names ignore letter case): "
       "the file cannot be loaded (error 457) [duplicate-class]\n"},
      {__LINE__,
       "<FieldMappings><MappingClass name=\"a\"><Fields>\n<Field name=\"X\" "
       "value=\"[A:lefttrim{x}]\"/></Fields></MappingClass></FieldMappings>",
       "error 13 at line 2: Type mismatch\n",
       "2:27: error: the modifier \"lefttrim{x}\" fails: Type mismatch (error 13), so the file "
       "cannot be loaded [invalid-modifier-argument]\n"},
      {__LINE__, "<!DOCTYPE FieldMappings [<!ENTITY a \"b\">]><FieldMappings/>",
       "error 111 at line 1: Error loading mapping classes configuration file: entity "
       "declarations are not accepted in a mapping-class document (line 1, column 40)\n",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string file = dir.Write("m.xml", row.content);
    const auto result = RunCommand({QUILLON_BIN, "check", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, row.out.empty() ? "" : file + ":" + row.out + "1 error, 0 warnings\n");
    EXPECT_EQ(result.err, file + ": " + row.err);
  }
}

// A batch class whose links release TotalCharge, PatientLast and OtherDx,
// with its mappings directory beside it.
std::string WriteBatchClass(const testing_support::TempDir& dir) {
  return dir.Write("claims/batch-class.json", R"({
  "name": "Claims",
  "customProperties": { "Mappings Directory": "maps", "EDI Output": "One EDI Per Batch" },
  "indexFields": ["Total", "Last", "Dx"], "batchFields": [], "hostVariables": [],
  "links": [
    { "destination": "TotalCharge", "sourceType": 0, "source": "Total" },
    { "destination": "PatientLast", "sourceType": 0, "source": "Last" },
    { "destination": "OtherDx", "sourceType": 0, "source": "Dx" }
  ]
})");
}

TEST(CheckCommand, BatchClassCatchesMisspeltFieldsWithTheNameMeant) {
  testing_support::TempDir dir;
  const std::string batchClass = WriteBatchClass(dir);
  dir.Write("claims/maps/DataMappings.xml", R"(<FieldMappings>
  <MappingClass name="Clean"><Fields>
    <Field name="Charge" value="[TotalCharges:numeric{0.00}]"/>
  </Fields></MappingClass>
</FieldMappings>)");
  dir.Write("claims/maps/FieldMappings.xml", R"(<FieldMappings>
  <MappingClass name="Claim"><Fields>
    <Field name="CLM" value="CLM*1*[Charge]~"/>
    <Field name="NM1" value="NM1*IL*1*[PatientLst]~"/>
  </Fields></MappingClass>
  <MappingClass name="OtherDiagnosis">
    <Conditions><Condition field="OthrDx" operator="is not blank" value=""/></Conditions>
    <Fields><Field name="HI" value="HI*ABF:[OtherDx]~"/></Fields>
  </MappingClass>
</FieldMappings>)");
  dir.Write("claims/maps/FeedOutputMappings.xml",
            R"(<FieldMappings><MappingClass name="Out"><Fields>
<Field name="_outputString" value="[CLM][NM1][HI]"/>
</Fields></MappingClass></FieldMappings>)");
  // Without a PATH the batch class's own mappings directory is checked.
  const auto result = RunCommand({QUILLON_BIN, "check", "--batch-class", batchClass});
  EXPECT_EQ(result.exitCode, 2) << result.err;
  EXPECT_EQ(result.err, "");
  const std::string maps = dir.Child("claims/maps");
  EXPECT_EQ(result.out,
            maps + "/DataMappings.xml: OK (1 class, 0 conditions, 1 field)\n" + maps +
                "/DataMappings.xml:3:34: error: the field \"TotalCharges\" is no field the "
                "document has here, so it reads as empty (did you mean \"TotalCharge\"?) "
                "[unknown-field]\n" +
                maps + "/FieldMappings.xml: OK (2 classes, 1 condition, 3 fields)\n" + maps +
                "/FieldMappings.xml:4:40: error: the field \"PatientLst\" is no field the "
                "document has here, so it reads as empty (did you mean \"PatientLast\"?) "
                "[unknown-field]\n" +
                maps +
                "/FieldMappings.xml:7:35: error: the condition's field \"OthrDx\" is no field "
                "the document has here, so the condition compares the text \"OthrDx\" itself "
                "(did you mean \"OtherDx\"?) [unknown-field]\n" +
                maps + "/FeedOutputMappings.xml: OK (1 class, 0 conditions, 1 field)\n" +
                "3 errors, 0 warnings\n");

  // One level file alone: the levels before it in its folder still count,
  // so Charge (written by DataMappings.xml) is there.
  const auto one = RunCommand(
      {QUILLON_BIN, "check", "--batch-class", batchClass, "--json", maps + "/FieldMappings.xml"});
  EXPECT_EQ(one.exitCode, 2);
  const auto json = nlohmann::json::parse(one.out);
  ASSERT_EQ(json["files"].size(), 1u);
  EXPECT_EQ(json["files"][0]["loaded"], true);
  EXPECT_EQ(json["errors"], 2);
  ASSERT_EQ(json["findings"].size(), 2u);
  EXPECT_EQ(json["findings"][0]["kind"], "unknown-field");
  EXPECT_EQ(json["findings"][0]["line"], 4);
  EXPECT_EQ(json["findings"][0]["column"], 40);
  EXPECT_EQ(json["findings"][0]["suggestion"], "PatientLast");
  EXPECT_EQ(json["findings"][1]["suggestion"], "OtherDx");
}

TEST(CheckCommand, WarningsPassUnlessStrict) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("m.xml", R"(<FieldMappings>
<MappingClass name="A" note="x"><Fields><Field name="X" value="a[b"/></Fields></MappingClass>
</FieldMappings>)");
  const std::string findings =
      file +
      ":2:24: warning: unknown attribute \"note\" on <MappingClass>: the engine ignores it "
      "[unknown-attribute]\n" +
      file +
      ":2:65: warning: a \"[\" without a closing \"]\": the engine drops the \"[\" and keeps "
      "the rest as text [unclosed-bracket]\n"
      "0 errors, 2 warnings\n";
  const auto lenient = RunCommand({QUILLON_BIN, "check", file});
  EXPECT_EQ(lenient.exitCode, 0);
  EXPECT_EQ(lenient.out, file + ": OK (1 class, 0 conditions, 1 field)\n" + findings);
  const auto strict = RunCommand({QUILLON_BIN, "check", "--strict", file});
  EXPECT_EQ(strict.exitCode, 2);
  EXPECT_EQ(strict.out, lenient.out);
}

TEST(CheckCommand, NeedsAPath) {
  const auto result = RunCommand({QUILLON_BIN, "check"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err, "");
}

}  // namespace
