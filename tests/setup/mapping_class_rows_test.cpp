// Mapping-class rows: reading through the mapping library, writing the
// editor's indented XML, and the round trip of every bundled mapping file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mapping/conditional_mappings.h"
#include "setup/mapping_class_rows.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

// What the library reads from a text, in its own canonical form.
std::string EngineView(const std::string& xml) {
  marrow::ConditionalMappings maps;
  maps.LoadFromXML(xml);
  return maps.SaveXMLString();
}

TEST(MappingClassRows, WritesOneElementALineInTheLibrarysForms) {
  std::vector<MappingClassRow> rows = {
      {"Medicare",
       {{marrow::condAnd, "PayerType", marrow::condEquals, "MC", marrow::vbBinaryCompare},
        {marrow::condOr, "Amt", marrow::condGreaterThanOrEqual, "10", marrow::vbTextCompare}},
       {{"Out", "[In:trim]"}}},
      {"Empty", {}, {}},
  };
  EXPECT_EQ(WriteMappingClassRows(rows),
            "<FieldMappings>\n"
            "  <MappingClass name=\"Medicare\">\n"
            "    <Conditions>\n"
            "      <Condition field=\"PayerType\" operator=\"equals\" value=\"MC\" "
            "connector=\"and\"/>\n"
            "      <Condition field=\"Amt\" operator=\"greater than or equal\" value=\"10\" "
            "connector=\"or\" comparemethod=\"text\"/>\n"
            "    </Conditions>\n"
            "    <Fields>\n"
            "      <Field name=\"Out\" value=\"[In:trim]\"/>\n"
            "    </Fields>\n"
            "  </MappingClass>\n"
            "  <MappingClass name=\"Empty\">\n"
            "    <Fields/>\n"
            "  </MappingClass>\n"
            "</FieldMappings>\n");
  EXPECT_EQ(WriteMappingClassRows({}), "<FieldMappings/>\n");
}

TEST(MappingClassRows, AwkwardTextsReadBackAsTyped) {
  const char* texts[] = {
      "a < b & c > d",
      "\"double\" and 'single' quotes",
      "line one\nline two",
      "crlf\r\nand a lone cr\r",
      "\ttab\t",
      "  leading and trailing blanks  ",
      "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80",
      "&amp; already escaped &#10;",
      "]]> <!-- not a comment --> <![CDATA[x]]>",
      "",
  };
  int n = 0;
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    MappingClassRow row{"class " + std::to_string(++n) + text,
                        {{marrow::condAnd, text, marrow::condContains, text, 0}},
                        {{std::string("F") + text, text}}};
    const MappingClassReadResult read = ReadMappingClassRows(WriteMappingClassRows({row}));
    ASSERT_FALSE(read.problem) << read.problem->Text();
    ASSERT_EQ(read.classes.size(), 1u);
    EXPECT_EQ(read.classes[0], row);
  }
}

TEST(MappingClassRows, ANulInACellIsWrittenAsAReplacementCharacter) {
  MappingClassRow row{"C", {}, {{"F", std::string("a\0b", 3)}}};
  const MappingClassReadResult read = ReadMappingClassRows(WriteMappingClassRows({row}));
  ASSERT_FALSE(read.problem);
  EXPECT_EQ(read.classes[0].fields[0].value,
            "a\xEF\xBF\xBD"
            "b");
}

TEST(MappingClassRows, RowsTheLibraryRefusesAreWrittenAndTheReadSaysWhy) {
  struct Case {
    int line;
    std::vector<MappingClassRow> rows;
    int number;
    std::int32_t xmlLine;  // the line of the element that failed
  };
  const Case cases[] = {
      {__LINE__, {{"A", {}, {{"F", "[X:lefttrim{x}]"}}}}, 13, 4},
      {__LINE__, {{"A", {}, {}}, {"a", {}, {}}}, 457, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string xml = WriteMappingClassRows(c.rows);
    const MappingClassReadResult read = ReadMappingClassRows(xml);
    ASSERT_TRUE(read.problem) << xml;
    EXPECT_EQ(read.problem->number, c.number);
    EXPECT_EQ(read.problem->line, c.xmlLine) << xml;
    EXPECT_TRUE(read.classes.empty());
  }
}

TEST(MappingClassRows, ProblemTextNamesThePlaceAsFarAsKnown) {
  EXPECT_EQ((XmlProblem{76, "bad", 3, 18}).Text(), "line 3, column 18: error 76: bad");
  EXPECT_EQ((XmlProblem{6000, "bad", 4, 0}).Text(), "line 4: error 6000: bad");
  EXPECT_EQ((XmlProblem{1524, "bad", 0, 0}).Text(), "error 1524: bad");
  const MappingClassReadResult read = ReadMappingClassRows("<FieldMappings>\n  <MappingClass>");
  ASSERT_TRUE(read.problem);
  EXPECT_EQ(read.problem->line, 2);
  EXPECT_GT(read.problem->column, 0);
}

// Every mapping file of the bundled examples goes through the rows (read,
// then written as the editor writes) and the library reads exactly what it
// read from the original file.
TEST(MappingClassRows, EveryBundledMappingFileRoundTripsThroughTheRows) {
  const std::filesystem::path examples = std::filesystem::path(QUILLON_SOURCE_DIR) / "examples";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(examples)) {
    if (entry.path().extension() != ".xml" || entry.path().parent_path().filename() != "mappings") {
      continue;
    }
    ++files;
    SCOPED_TRACE(entry.path().string());
    const std::string original = testing_support::ReadFile(entry.path().string());
    const MappingClassReadResult read = ReadMappingClassRows(original);
    ASSERT_FALSE(read.problem) << read.problem->Text();
    ASSERT_FALSE(read.classes.empty());
    const std::string written = WriteMappingClassRows(read.classes);
    EXPECT_EQ(EngineView(written), EngineView(original));
    EXPECT_EQ(ReadMappingClassRows(written).classes, read.classes);
  }
  EXPECT_GE(files, 3);
}

}  // namespace
}  // namespace quillon
