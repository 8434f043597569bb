// `quillon map`: the built command translating fields through a mapping file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;

constexpr const char* kMappings = R"(<FieldMappings>
  <MappingClass name="UB">
    <Conditions><Condition field="Form" operator="starts with" value="UB"/></Conditions>
    <Fields>
      <Field name="Kind" value="institutional"/>
      <Field name="Id" value="[Claim:trim]"/>
      <Field name="Lines" value="a[lf]b"/>
    </Fields>
  </MappingClass>
  <MappingClass name="Other">
    <Fields><Field name="Kind" value="professional"/></Fields>
  </MappingClass>
</FieldMappings>)";

TEST(MapCommand, PrintsTheTranslatedListInOrder) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("FieldMappings.xml", kMappings);
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {__LINE__,
       {"Form=UB04", "Claim= 7 "},
       "Kind=institutional\nId=7\nLines=a\nb\n_mapclassname=UB\n"},
      {__LINE__, {"Form=CMS", "Claim=7"}, "Kind=professional\n_mapclassname=Other\n"},
      {__LINE__,
       {"Form=CMS", "Claim=7", "--include-unmapped"},
       "Kind=professional\nForm=CMS\nClaim=7\n_mapclassname=Other\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::vector<std::string> argv = {QUILLON_BIN, "map", file};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto result = RunCommand(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, "");
  }
}

TEST(MapCommand, JsonOutputKeepsTheOrder) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("m.xml", kMappings);
  const std::string fields = dir.Write("doc.json", R"({"Form": "UB92", "Claim": "x;y=z"})");
  const auto result =
      RunCommand({QUILLON_BIN, "map", file, "--fields", fields, "--json", "--include-unmapped"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "{\"Kind\":\"institutional\",\"Id\":\"x;y=z\",\"Lines\":\"a\\nb\",\"Form\":\"UB92\","
            "\"Claim\":\"x;y=z\",\"_mapclassname\":\"UB\"}\n");
}

TEST(MapCommand, NoMatchingClassGivesTheInputBack) {
  testing_support::TempDir dir;
  const std::string file =
      dir.Write("m.xml", R"(<FieldMappings><MappingClass name="Never"><Conditions>
      <Condition field="A" operator="eq" value="never"/></Conditions></MappingClass></FieldMappings>)");
  const auto result = RunCommand({QUILLON_BIN, "map", file, "A=1", "B=a;b"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "A=1\nB=a;b\n");
}

TEST(MapCommand, LoadFailuresAreReportedWithTheirNumberAndLine) {
  testing_support::TempDir dir;
  struct Row {
    int line;
    std::string file;
    std::string err;
  } rows[] = {
      {__LINE__, dir.Write("noname.xml", "<FieldMappings>\n<MappingClass/>\n</FieldMappings>"),
       "error 6000: Error parsing mapping classes configuration: mapping class missing required "
       "attribute 'name'. (" +
           dir.Child("noname.xml") + " line 2)\n"},
      {__LINE__, dir.Write("broken.xml", "<FieldMappings>\n<MappingClass name=\"a\">\n"),
       "error 77: Error loading mapping classes configuration file: Premature end of data in tag "
       "MappingClass line 2 (line 3, column 1)\n"},
      {__LINE__, dir.Child("missing.xml"),
       "error 1524: Error loading mapping classes configuration file: cannot read file '" +
           dir.Child("missing.xml") + "': No such file or directory\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto result = RunCommand({QUILLON_BIN, "map", row.file, "A=1"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, row.err);
  }
}

}  // namespace
