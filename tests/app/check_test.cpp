// `quillon check`: the built command loading mapping files and reporting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  EXPECT_EQ(result.out, maps + "/DataMappings.xml: OK (2 classes, 2 conditions, 3 fields)\n");
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
  } rows[] = {
      {__LINE__, "<FieldMappings>\n<MappingClass name=\"a\"/>\n<MappingClass name=\"A\"/>\n",
       "error 77 at line 4: Error loading mapping classes configuration file: Premature end of "
       "data in tag FieldMappings line 1 (line 4, column 1)\n"},
      {__LINE__,
       "<FieldMappings>\n<MappingClass name=\"a\"/>\n<MappingClass name=\"A\"/>\n</FieldMappings>",
       "error 457 at line 3: This key is already associated with an element of this "
       "collection\n"},
      {__LINE__,
       "<FieldMappings><MappingClass name=\"a\"><Fields>\n<Field name=\"X\" "
       "value=\"[A:lefttrim{x}]\"/></Fields></MappingClass></FieldMappings>",
       "error 13 at line 2: Type mismatch\n"},
      {__LINE__, "<!DOCTYPE FieldMappings [<!ENTITY a \"b\">]><FieldMappings/>",
       "error 111 at line 1: Error loading mapping classes configuration file: entity "
       "declarations are not accepted in a mapping-class document (line 1, column 40)\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string file = dir.Write("m.xml", row.content);
    const auto result = RunCommand({QUILLON_BIN, "check", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, file + ": " + row.err);
  }
}

TEST(CheckCommand, NeedsAPath) {
  const auto result = RunCommand({QUILLON_BIN, "check"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err, "");
}

}  // namespace
