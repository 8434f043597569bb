// Loading mapping-class documents: what is read, and every way a load fails.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "mapping/conditional_mappings.h"
#include "mapping/field_mapping.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace marrow {
namespace {

std::string Names(const ConditionalMappings& maps) {
  std::string out;
  for (const auto& m : maps) out += (out.empty() ? "" : ",") + m->Name();
  return out;
}

template <typename Fn>
std::optional<platform::Error> Failure(Fn&& fn) {
  try {
    fn();
  } catch (const platform::Error& e) {
    return e;
  }
  return std::nullopt;
}

constexpr const char* kConfig = "Error parsing mapping classes configuration: ";

struct FailureCase {
  int line;
  const char* xml;
  int number;
  std::string description;  // after the prefix of the load, for parser failures
  const char* classesBefore;
  int errorLine;
};

const FailureCase kFailures[] = {
    {__LINE__, R"(<FieldMappings>
  <MappingClass name="A"/>
  <MappingClass>
    <Fields><Field name="X" value="1"/></Fields>
  </MappingClass>
</FieldMappings>)",
     6000, std::string(kConfig) + "mapping class missing required attribute 'name'.", "A", 3},
    {__LINE__, R"(<FieldMappings>
  <MappingClass name="A"/>
  <MappingClass name="B">
    <Conditions>
      <Condition field="F" operator="eq" value="1"/>
      <Condition operator="eq" value="1"/>
    </Conditions>
  </MappingClass>
</FieldMappings>)",
     6000, std::string(kConfig) + "condition missing required attribute 'field'.", "A", 6},
    {__LINE__, R"(<FieldMappings><MappingClass name="A"><Conditions>
<Condition field="F" value="1"/></Conditions></MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "condition missing required attribute 'operator'.", "", 2},
    {__LINE__, R"(<FieldMappings><MappingClass name="A"><Conditions>
<Condition field="F" operator="eq"/></Conditions></MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "condition missing required attribute 'value'.", "", 2},
    // with several attributes missing, the first in reading order is named
    {__LINE__, R"(<FieldMappings><MappingClass name="A"><Conditions>
<Condition connector="or"/></Conditions></MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "condition missing required attribute 'field'.", "", 2},
    {__LINE__, R"(<FieldMappings><MappingClass name="A"/><MappingClass name="B"><Fields>
<Field value="1"/></Fields></MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "field missing required attribute 'name'.", "A", 2},
    {__LINE__, R"(<FieldMappings><MappingClass name="A"><Fields>
<Field name="X"/></Fields></MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "field missing required attribute 'value'.", "", 2},
    // conditions are read before fields, wherever they stand in the document
    {__LINE__, R"(<FieldMappings><MappingClass name="A">
<Fields><Field value="1"/></Fields>
<Conditions><Condition operator="eq" value="1"/></Conditions>
</MappingClass></FieldMappings>)",
     6000, std::string(kConfig) + "condition missing required attribute 'field'.", "", 3},
    // an attribute in a namespace is not the attribute
    {__LINE__, R"(<FieldMappings xmlns:x="urn:x"><MappingClass x:name="A"/></FieldMappings>)", 6000,
     std::string(kConfig) + "mapping class missing required attribute 'name'.", "", 1},
    // names are keys regardless of letter case
    {__LINE__, R"(<FieldMappings>
<MappingClass name="Medicare"/>
<MappingClass name="Other"/>
<MappingClass name="MEDICARE"/>
</FieldMappings>)",
     457, "", "Medicare,Other", 4},
    // a field value that is not a valid expression: the expression parser's error
    {__LINE__, R"(<FieldMappings><MappingClass name="A"/><MappingClass name="B"><Fields>
<Field name="X" value="[Code:lefttrim{x}]"/></Fields></MappingClass></FieldMappings>)",
     13, "", "A", 2},
};

TEST(ConditionalMappingsLoad, EveryFailureOfTheDocumentFromAString) {
  for (const FailureCase& row : kFailures) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    maps.Add("Stale");
    const auto error = Failure([&] { maps.LoadFromXML(row.xml); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), row.number);
    EXPECT_EQ(error->Source(), "ConditionalMappings.LoadFromXML");
    if (!row.description.empty()) {
      EXPECT_EQ(error->Description(), row.description);
    }
    EXPECT_EQ(Names(maps), row.classesBefore);
    EXPECT_EQ(maps.LastLoadErrorLine(), row.errorLine);
  }
}

TEST(ConditionalMappingsLoad, EveryFailureOfTheDocumentFromAFile) {
  testing_support::TempDir dir;
  for (const FailureCase& row : kFailures) {
    SCOPED_TRACE(row.line);
    const std::string file = dir.Write("map.xml", row.xml);
    ConditionalMappings maps;
    const auto error = Failure([&] { maps.LoadFromXMLFile(file); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), row.number);
    EXPECT_EQ(error->Source(), "ConditionalMappings.LoadFromXMLFile");
    if (!row.description.empty()) {
      EXPECT_EQ(error->Description(), row.description);
    }
    EXPECT_EQ(Names(maps), row.classesBefore);
    EXPECT_EQ(maps.LastLoadErrorLine(), row.errorLine);
  }
}

TEST(ConditionalMappingsLoad, ParserFailuresCarryTheParsersCodeAndPlace) {
  const struct {
    int line;
    const char* xml;
    int number;  // libxml2's xmlParserErrors
    const char* reason;
    int errorLine;
  } rows[] = {
      {__LINE__, "<FieldMappings>\n <MappingClass name=\"a\">\n  <Fields>\n  </MappingClass>\n", 76,
       "Opening and ending tag mismatch: Fields line 3 and MappingClass (line 4, column 18)", 4},
      {__LINE__, "", 4, "Document is empty (line 1, column 1)", 1},
      {__LINE__, "   ", 4, "Start tag expected, '<' not found (line 1, column 4)", 1},
      {__LINE__, "<FieldMappings><MappingClass name=\"a\" name=\"b\"/></FieldMappings>", 42,
       "Attribute name redefined (line 1, column 47)", 1},
      {__LINE__, "<FieldMappings a=\"&x;\"/>", 26, "Entity 'x' not defined (line 1, column 22)", 1},
      {__LINE__, "<FieldMappings/><Other/>", 5,
       "Extra content at the end of the document (line 1, column 17)", 1},
      {__LINE__, "<FieldMappings a=\"\xff\"/>", 9,
       "Input is not proper UTF-8, indicate encoding ! Bytes: 0xFF 0x22 0x2F 0x3E (line 1, "
       "column 19)",
       1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    const auto error = Failure([&] { maps.LoadFromXML(row.xml); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), row.number);
    EXPECT_EQ(error->Description(),
              std::string("Error parsing mapping classes configuration string: ") + row.reason);
    EXPECT_EQ(maps.LastLoadErrorLine(), row.errorLine);
    EXPECT_EQ(maps.Count(), 0);
  }
}

TEST(ConditionalMappingsLoad, FileThatCannotBeReadNamesTheFile) {
  testing_support::TempDir dir;
  const std::string missing = dir.Child("nowhere.xml");
  ConditionalMappings maps;
  maps.Add("Stale");
  auto error = Failure([&] { maps.LoadFromXMLFile(missing); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 1524);  // libxml2's XML_IO_ENOENT
  EXPECT_EQ(error->Source(), "ConditionalMappings.LoadFromXMLFile");
  EXPECT_EQ(error->Description(),
            "Error loading mapping classes configuration file: cannot read file '" + missing +
                "': No such file or directory");
  EXPECT_EQ(maps.Count(), 0);  // emptied before reading

  error = Failure([&] { maps.LoadFromXMLFile(dir.str()); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 1517);  // XML_IO_EISDIR
  EXPECT_NE(error->Description().find(dir.str()), std::string::npos);

  // A parse failure of a file uses the file prefix.
  const std::string broken = dir.Write("broken.xml", "<FieldMappings>");
  error = Failure([&] { maps.LoadFromXMLFile(broken); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 77);
  EXPECT_EQ(error->Description(),
            "Error loading mapping classes configuration file: Premature end of data in tag "
            "FieldMappings line 1 (line 1, column 16)");
}

TEST(ConditionalMappingsLoad, ReadsClassesConditionsAndFieldsInDocumentOrder) {
  ConditionalMappings maps;
  maps.LoadFromXML(R"(<?xml version="1.0"?>
<!-- mapping classes -->
<FieldMappings>
  <MappingClass name="Medicare">
    <Conditions>
      <Condition field="PayerType" operator="equals" value="MC" connector="and"/>
      <Condition field="Amount" operator="Greater Than Or Equal" value="10" connector="OR"
                 comparemethod="Text"/>
    </Conditions>
    <Conditions>
      <Condition field="Third" operator="nil" value="A,B"/>
    </Conditions>
    <Fields>
      <Field name="Out" value="[In:trim]"/>
      <Field name="Total" value="1"/>
    </Fields>
    <Fields>
      <Field name="TOTAL" value="2"/>
      <Other name="ignored" value="x"/>
    </Fields>
    <Unknown/>
  </MappingClass>
  <MappingClass name="Default" extra="ignored"/>
  <Comment><MappingClass name="Nested"/></Comment>
</FieldMappings>)");
  EXPECT_EQ(Names(maps), "Medicare,Default");
  const auto medicare = maps.Item("medicare");
  ASSERT_NE(medicare, nullptr);
  EXPECT_EQ(medicare->MapConditions().Count(), 3);
  EXPECT_EQ(medicare->MapConditionsString(),
            "and|PayerType|equals|MC;or|Amount|greater than or equal|10;and|Third|not in list|A,B");
  EXPECT_EQ(medicare->MapConditions().Item(2)->CompareMode(), vbTextCompare);
  EXPECT_EQ(medicare->MapConditions().Item(1)->CompareMode(), vbBinaryCompare);
  // a repeated field name replaces the value in place
  EXPECT_EQ(medicare->FieldMapsString(), "Out=[In:trim];Total=2");
  EXPECT_EQ(maps.Item(2)->MapConditions().Count(), 0);
  EXPECT_EQ(maps.Item(2)->FieldMaps().Count(), 0);
}

TEST(ConditionalMappingsLoad, OptionalAttributesAreReadExactly) {
  const struct {
    int line;
    const char* attributes;
    enumConditionalConnectors connector;
    CompareMethod mode;
  } rows[] = {
      {__LINE__, R"(connector="or")", condOr, vbBinaryCompare},
      {__LINE__, R"(connector="OR")", condOr, vbBinaryCompare},
      {__LINE__, R"(connector=" or")", condAnd, vbBinaryCompare},  // blanks are not removed
      {__LINE__, R"(connector="OR ")", condAnd, vbBinaryCompare},
      {__LINE__, R"(connector="and")", condAnd, vbBinaryCompare},
      {__LINE__, R"(connector="")", condAnd, vbBinaryCompare},
      {__LINE__, "", condAnd, vbBinaryCompare},
      {__LINE__, R"(comparemethod="Text")", condAnd, vbTextCompare},
      {__LINE__, R"(comparemethod="TEXT")", condAnd, vbTextCompare},
      {__LINE__, R"(comparemethod="binary")", condAnd, vbBinaryCompare},
      {__LINE__, R"(comparemethod=" text")", condAnd, vbBinaryCompare},
      {__LINE__, R"(comparemethod="1")", condAnd, vbBinaryCompare},
      {__LINE__, R"(Connector="or" CompareMethod="text")", condAnd,
       vbBinaryCompare},  // names are case-sensitive
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    maps.LoadFromXML(std::string(R"(<FieldMappings><MappingClass name="A"><Conditions>)") +
                     R"(<Condition field="F" operator="eq" value="1"/>)" +
                     R"(<Condition field="G" operator="eq" value="2" )" + row.attributes +
                     "/></Conditions></MappingClass></FieldMappings>");
    const auto second = maps.Item(1)->MapConditions().Item(2);
    EXPECT_EQ(second->Connector(), row.connector);
    EXPECT_EQ(second->CompareMode(), row.mode);
  }
}

TEST(ConditionalMappingsLoad, EmptyAttributesAreNotMissing) {
  ConditionalMappings maps;
  maps.LoadFromXML(R"(<FieldMappings>
  <MappingClass name="">
    <Conditions><Condition field="" operator="" value=""/></Conditions>
    <Fields><Field name="" value="dropped"/><Field name="X" value=""/><Field name="  " value="y"/></Fields>
  </MappingClass>
</FieldMappings>)");
  ASSERT_EQ(maps.Count(), 1);
  const auto m = maps.Item("");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name(), "");
  const auto c = m->MapConditions().Item(1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Operand1(), "");
  EXPECT_EQ(c->Operator(), condEquals);  // unrecognised (empty) operator text
  EXPECT_EQ(c->Operand2(), "");
  // an empty or blank field name adds no mapping; an empty value does
  EXPECT_EQ(m->FieldMapsString(), "X=");
}

TEST(ConditionalMappingsLoad, OperandsAreNotTrimmedAndReferencesAreReplaced) {
  ConditionalMappings maps;
  maps.LoadFromXML(
      "<FieldMappings><MappingClass name=\" A \"><Conditions>"
      "<Condition field=\" F \" operator=\" e q \" value=\"&lt;1&amp;&#x41;&#10;\"/>"
      "</Conditions></MappingClass></FieldMappings>");
  const auto m = maps.Item(" a ");
  ASSERT_NE(m, nullptr);
  const auto c = m->MapConditions().Item(1);
  EXPECT_EQ(c->Operand1(), " F ");
  EXPECT_EQ(c->Operator(), condEquals);
  EXPECT_EQ(c->Operand2(), "<1&A\n");
}

TEST(ConditionalMappingsLoad, DocumentsWithoutFieldMappingsRootHoldNoClasses) {
  const char* rows[] = {
      "<Mappings><MappingClass name=\"A\"/></Mappings>",
      "<fieldmappings><MappingClass name=\"A\"/></fieldmappings>",
      "<FieldMappings xmlns=\"urn:other\"><MappingClass name=\"A\"/></FieldMappings>",
      "<x:FieldMappings xmlns:x=\"urn:x\"><MappingClass name=\"A\"/></x:FieldMappings>",
      "<FieldMappings><mappingclass name=\"A\"/></FieldMappings>",
  };
  for (const char* xml : rows) {
    SCOPED_TRACE(xml);
    ConditionalMappings maps;
    maps.Add("Stale");
    maps.LoadFromXML(xml);
    EXPECT_EQ(maps.Count(), 0);
    EXPECT_EQ(maps.LastLoadErrorLine(), 0);
  }
}

TEST(ConditionalMappingsLoad, EveryLoadStartsFromAnEmptyCollection) {
  ConditionalMappings maps;
  maps.LoadFromXML(
      R"(<FieldMappings><MappingClass name="A"/><MappingClass name="B"/></FieldMappings>)");
  EXPECT_EQ(Names(maps), "A,B");
  maps.LoadFromXML(R"(<FieldMappings><MappingClass name="C"/></FieldMappings>)");
  EXPECT_EQ(Names(maps), "C");
  EXPECT_TRUE(Failure([&] { maps.LoadFromXML("<FieldMappings><MappingClass/></FieldMappings>"); }));
  EXPECT_EQ(maps.Count(), 0);
  EXPECT_EQ(maps.LastLoadErrorLine(), 1);
  maps.LoadFromXML("<FieldMappings/>");
  EXPECT_EQ(maps.LastLoadErrorLine(), 0);
}

TEST(ConditionalMappingsLoad, FilesInOtherEncodingsAreDecoded) {
  testing_support::TempDir dir;
  // Windows-1252: 0x80 is the euro sign, 0xE9 e-acute.
  const std::string cp1252 =
      dir.Write("cp1252.xml",
                "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
                "<FieldMappings><MappingClass name=\"Caf\xE9\"><Fields><Field name=\"Sign\" "
                "value=\"\x80\"/></Fields></MappingClass></FieldMappings>");
  ConditionalMappings maps;
  maps.LoadFromXMLFile(cp1252);
  ASSERT_NE(maps.Item("CAF\xC3\x89"), nullptr);  // found under its UTF-8 name, any case
  EXPECT_EQ(maps.Item(1)->Name(), "Caf\xC3\xA9");
  EXPECT_EQ(maps.Item(1)->FieldMapsString(), "Sign=\xE2\x82\xAC");

  // UTF-16, little-endian, with a byte order mark.
  const std::string text =
      "<FieldMappings><MappingClass name=\"X\"><Fields><Field name=\"A\" value=\"\xE9\"/>"
      "</Fields></MappingClass></FieldMappings>";
  std::string utf16 = "\xFF\xFE";
  for (const char ch : text) {
    utf16 += ch;
    utf16 += '\0';
  }
  maps.LoadFromXMLFile(dir.Write("utf16.xml", utf16));
  ASSERT_EQ(maps.Count(), 1);
  EXPECT_EQ(maps.Item(1)->FieldMapsString(), "A=\xC3\xA9");

  // UTF-8 with a byte order mark.
  maps.LoadFromXMLFile(dir.Write("bom.xml",
                                 "\xEF\xBB\xBF<FieldMappings><MappingClass "
                                 "name=\"\xC3\xA9\"/></FieldMappings>"));
  EXPECT_EQ(Names(maps), "\xC3\xA9");
}

TEST(ConditionalMappingsLoad, WindowsPathsReachTheFileSystemThroughTheNativeForm) {
  testing_support::TempDir dir;
  dir.Write("sub/Maps.xml", R"(<FieldMappings><MappingClass name="A"/></FieldMappings>)");
  std::string windowsForm = dir.str() + "\\sub\\Maps.xml";
  ConditionalMappings maps;
  maps.LoadFromXMLFile(windowsForm);
  EXPECT_EQ(Names(maps), "A");
}

}  // namespace
}  // namespace marrow
