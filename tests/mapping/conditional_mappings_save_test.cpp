// Saving mapping classes and loading them again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include "mapping/conditional_mappings.h"
#include "mapping/field_mapping.h"
#include "platform/error.h"
#include "platform/file_replace.h"
#include "support/temp_dir.h"

namespace marrow {
namespace {

template <typename Fn>
std::optional<platform::Error> Failure(Fn&& fn) {
  try {
    fn();
  } catch (const platform::Error& e) {
    return e;
  }
  return std::nullopt;
}

// Everything a collection holds, in one comparable text.
std::string Dump(const ConditionalMappings& maps) {
  std::string out;
  for (const auto& m : maps) {
    out += "class[" + m->Name() + "]\n";
    for (const auto& c : m->MapConditions()) {
      out += "  cond[" + c->Operand1() + "][" + std::to_string(c->Operator()) + "][" +
             c->Operand2() + "][" + std::to_string(c->Connector()) + "][" +
             std::to_string(c->CompareMode()) + "]\n";
    }
    for (const FieldMapping& f : m->FieldMaps()) {
      out += "  field[" + f.Name() + "][" + f.Value() + "]\n";
    }
  }
  return out;
}

TEST(ConditionalMappingsSave, WritesTheDocumentShapeWithoutDeclarationOrWhiteSpace) {
  ConditionalMappings maps;
  maps.Add("Medicare");
  auto medicare = maps.Item("Medicare");
  medicare->MapConditions().Add("PayerType", condEquals, "MC");
  medicare->MapConditions().Add("Amt", condGreaterThanOrEqual, "10", condOr, vbTextCompare);
  medicare->FieldMaps().Add("Out", "[In:trim]");
  maps.Add("Empty");
  EXPECT_EQ(maps.SaveXMLString(),
            "<FieldMappings>"
            "<MappingClass name=\"Medicare\"><Conditions>"
            "<Condition field=\"PayerType\" operator=\"equals\" value=\"MC\" connector=\"and\"/>"
            "<Condition field=\"Amt\" operator=\"greater than or equal\" value=\"10\" "
            "connector=\"or\" comparemethod=\"text\"/>"
            "</Conditions><Fields><Field name=\"Out\" value=\"[In:trim]\"/></Fields></MappingClass>"
            "<MappingClass name=\"Empty\"><Fields/></MappingClass>"
            "</FieldMappings>");
  ConditionalMappings none;
  EXPECT_EQ(none.SaveXMLString(), "<FieldMappings/>");
}

TEST(ConditionalMappingsSave, AwkwardTextsSurviveTheRoundTrip) {
  const char* texts[] = {
      "a < b & c > d",
      "\"double\" and 'single' quotes",
      "line one\nline two",
      "crlf\r\nand a lone cr\r",
      "\ttab\t",
      "  leading and trailing blanks  ",
      "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80",  // Latin-1, euro, CJK, emoji
      "&amp; already escaped &#10;",
      "]]> <!-- not a comment --> <![CDATA[x]]>",
      "",
      "\x7F",
  };
  ConditionalMappings maps;
  int n = 0;
  for (const char* text : texts) {
    const std::string name = std::string("class ") + std::to_string(++n) + " " + text;
    maps.Add(name);
    auto m = maps.Item(name);
    m->MapConditions().Add(text, condContains, text, n % 2, (n / 2) % 2);
    m->MapConditions().Add(std::string("[") + text + "]", condNotLike, text, condOr);
    m->FieldMaps().Add(std::string("F ") + text, text);
  }
  const std::string saved = maps.SaveXMLString();
  EXPECT_EQ(saved.find('\n'), std::string::npos);  // line breaks are written as references
  ConditionalMappings again;
  again.LoadFromXML(saved);
  EXPECT_EQ(Dump(again), Dump(maps));
  EXPECT_EQ(again.SaveXMLString(), saved);
}

TEST(ConditionalMappingsSave, EveryOperatorAndModeIsWrittenSoThatItReadsBack) {
  ConditionalMappings maps;
  maps.Add("All");
  Conditions& list = maps.Item(1)->MapConditions();
  for (std::int32_t op = condEquals; op <= condNotLike; ++op) {
    for (std::int32_t mode = 0; mode <= 1; ++mode) {
      list.Add("F" + std::to_string(op), op, std::to_string(mode), 1 - mode, mode);
    }
  }
  ConditionalMappings again;
  again.LoadFromXML(maps.SaveXMLString());
  EXPECT_EQ(Dump(again), Dump(maps));
  EXPECT_EQ(again.Item(1)->MapConditions().Count(), 30);
}

TEST(ConditionalMappingsSave, OperatorsInEverySpellingLoadAsTheirOperator) {
  const struct {
    int line;
    const char* spelling;
    enumConditionals op;
  } rows[] = {
      {__LINE__, "equals", condEquals},
      {__LINE__, "=", condEquals},
      {__LINE__, "not equal", condNotEquals},
      {__LINE__, "not equals", condNotEquals},
      {__LINE__, "!=", condNotEquals},
      {__LINE__, "<>", condNotEquals},
      {__LINE__, "is blank", condIsBlank},
      {__LINE__, "INB", condIsNotBlank},
      {__LINE__, "starts with", condStartsWith},
      {__LINE__, "EW", condEndsWith},
      {__LINE__, ">", condGreaterThan},
      {__LINE__, "=>", condGreaterThanOrEqual},
      {__LINE__, "less than", condLessThan},
      {__LINE__, "=<", condLessThanOrEqual},
      {__LINE__, "co", condContains},
      {__LINE__, "In List", condInList},
      {__LINE__, "nil", condNotInList},
      {__LINE__, "li", condLike},
      {__LINE__, "not like", condNotLike},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    maps.LoadFromXML(std::string("<FieldMappings><MappingClass name=\"A\"><Conditions>"
                                 "<Condition field=\"F\" value=\"1\" operator=\"") +
                     (std::string(row.spelling) == "<>"   ? "&lt;&gt;"
                      : std::string(row.spelling) == "=<" ? "=&lt;"
                                                          : row.spelling) +
                     "\"/></Conditions></MappingClass></FieldMappings>");
    EXPECT_EQ(maps.Item(1)->MapConditions().Item(1)->Operator(), row.op);
    // Saved in the long form, and read back as the same operator.
    ConditionalMappings again;
    again.LoadFromXML(maps.SaveXMLString());
    EXPECT_EQ(again.Item(1)->MapConditions().Item(1)->Operator(), row.op);
  }
}

TEST(ConditionalMappingsSave, FirstConditionKeepsItsOrConnector) {
  ConditionalMappings maps;
  maps.LoadFromXML(R"(<FieldMappings><MappingClass name="A"><Conditions>
    <Condition field="F" operator="not equal" value="1" connector="or"/>
  </Conditions></MappingClass></FieldMappings>)");
  const auto c = maps.Item(1)->MapConditions().Item(1);
  EXPECT_EQ(c->Operator(), condNotEquals);
  EXPECT_EQ(c->Connector(), condOr);
  EXPECT_NE(maps.SaveXMLString().find("connector=\"or\""), std::string::npos);
}

TEST(ConditionalMappingsSave, RenamedClassIsSavedUnderItsNewName) {
  ConditionalMappings maps;
  maps.Add("Medicare");
  maps.Item("Medicare")->SetName("Medicaid");
  EXPECT_NE(maps.Item("Medicare"), nullptr);  // still keyed by the old name
  EXPECT_EQ(maps.Item("Medicaid"), nullptr);
  EXPECT_EQ(maps.SaveXMLString(),
            "<FieldMappings><MappingClass name=\"Medicaid\"><Fields/></MappingClass>"
            "</FieldMappings>");
}

TEST(ConditionalMappingsSave, TextsThatNoXmlDocumentCanHoldAreRefused) {
  const struct {
    int line;
    std::string text;
    const char* described;
  } rows[] = {
      {__LINE__, "a\x01z", "the character U+0001"},
      {__LINE__, std::string("a\0z", 3), "the character U+0000"},
      {__LINE__, "\x1B[0m", "the character U+001B"},
      {__LINE__, "\xEF\xBF\xBE", "the character U+FFFE"},
      {__LINE__, "caf\xE9", "the byte 0xE9, which is not UTF-8 text"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    // In a class name, a condition and a field value alike.
    for (int where = 0; where < 3; ++where) {
      ConditionalMappings maps;
      maps.Add(where == 0 ? row.text : "M");
      auto m = maps.Item(1);
      if (where == 1) m->MapConditions().Add("F", condEquals, row.text);
      if (where == 2) m->FieldMaps().Add("Out", row.text);
      const auto error = Failure([&] { (void)maps.SaveXMLString(); });
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->Number(), 5);
      EXPECT_EQ(error->Source(), "ConditionalMappings.SaveXML");
      EXPECT_NE(error->Description().find(row.described), std::string::npos)
          << error->Description();
    }
  }
  ConditionalMappings maps;
  maps.Add("M");
  maps.Item(1)->FieldMaps().Add("Out", "a\x01z");
  EXPECT_NE(Failure([&] { (void)maps.SaveXMLString(); })
                ->Description()
                .find("field 'Out' of mapping class 'M'"),
            std::string::npos);
}

TEST(ConditionalMappingsSave, SaveXMLFileWritesTheSameTextAndReplacesTheFile) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("maps.xml", std::string(10000, 'x'));
  ConditionalMappings maps;
  maps.Add("A");
  maps.Item(1)->FieldMaps().Add("Out", "caf\xC3\xA9\nx");
  maps.SaveXMLFile(file);
  EXPECT_EQ(testing_support::ReadFile(file), maps.SaveXMLString());
  ConditionalMappings again;
  again.LoadFromXMLFile(file);
  EXPECT_EQ(Dump(again), Dump(maps));
}

TEST(ConditionalMappingsSave, SaveXMLFileFailureNamesTheFile) {
  testing_support::TempDir dir;
  ConditionalMappings maps;
  maps.Add("A");
  const std::string target = dir.Child("missing/maps.xml");
  const auto error = Failure([&] { maps.SaveXMLFile(target); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 1524);  // XML_IO_ENOENT
  EXPECT_EQ(error->Description(), "Cannot write file '" + target + "': No such file or directory");

  // A text that cannot be saved leaves an existing file alone.
  const std::string existing = dir.Write("keep.xml", "<FieldMappings/>");
  maps.Item(1)->FieldMaps().Add("Bad", "\x02");
  EXPECT_TRUE(Failure([&] { maps.SaveXMLFile(existing); }).has_value());
  EXPECT_EQ(testing_support::ReadFile(existing), "<FieldMappings/>");
}

TEST(ConditionalMappingsSave, SaveXMLFileNeverLeavesACutOffFile) {
  // The rename that would put the new file in place fails, as after a crash
  // or a full disk: the old file stays whole, and no other file is left.
  struct RenameFails : platform::PosixFileReplaceSteps {
    int Rename(const std::string&, const std::string&) override { return ENOSPC; }
  } steps;
  testing_support::TempDir dir;
  const std::string old = "<FieldMappings><MappingClass name=\"Old\"/></FieldMappings>";
  const std::string file = dir.Write("maps.xml", old);
  const std::string readOnly = dir.Write("read-only.xml", old);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  ConditionalMappings maps;
  maps.Add("New");
  struct Row {
    int line;
    std::string path;
    bool renameFails;
    int number;
  } rows[] = {
      {__LINE__, file, true, 1528},       // XML_IO_ENOSPC
      {__LINE__, readOnly, false, 1501},  // XML_IO_EACCES, also for root
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::optional<platform::ScopedFileReplaceSteps> use;
    if (row.renameFails) use.emplace(steps);
    const auto error = Failure([&] { maps.SaveXMLFile(row.path); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), row.number);
    EXPECT_EQ(error->Source(), "ConditionalMappings.SaveXMLFile");
    EXPECT_EQ(testing_support::ReadFile(row.path), old);
  }
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace marrow
