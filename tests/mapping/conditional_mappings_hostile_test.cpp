// Hostile mapping-class documents: entity bombs, external entities, huge
// and deeply nested documents are refused without harm.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "mapping/conditional_mappings.h"
#include "mapping/field_mapping.h"
#include "platform/error.h"
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

constexpr int kUserStop = 111;   // libxml2's XML_ERR_USER_STOP: the parse was stopped
constexpr int kTooLarge = 1512;  // XML_IO_EFBIG

std::string BillionLaughs() {
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE FieldMappings [\n <!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    doc += " <!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j)
      doc += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    doc += "\">\n";
  }
  doc +=
      "]>\n<FieldMappings><MappingClass name=\"&lol9;\"><Fields><Field name=\"X\" "
      "value=\"&lol9;\"/></Fields></MappingClass></FieldMappings>";
  return doc;
}

TEST(ConditionalMappingsHostile, DocumentsDeclaringEntitiesAreRefused) {
  testing_support::TempDir dir;
  const std::string secret = dir.Write("secret.txt", "TOP-SECRET-4711");
  const struct {
    int line;
    std::string xml;
    const char* reason;
  } rows[] = {
      {__LINE__, BillionLaughs(),
       "entity declarations are not accepted in a mapping-class document (line 3, column 20)"},
      {__LINE__,
       "<!DOCTYPE FieldMappings [<!ENTITY s SYSTEM \"file://" + secret +
           "\">]><FieldMappings><MappingClass name=\"&s;\"/></FieldMappings>",
       nullptr},
      {__LINE__,
       "<!DOCTYPE FieldMappings [<!ENTITY s SYSTEM \"" + secret +
           "\">]><FieldMappings><MappingClass name=\"A\"><Fields>&s;</Fields>"
           "</MappingClass></FieldMappings>",
       nullptr},
      // parameter entities, which could pull in an external subset
      {__LINE__,
       "<!DOCTYPE FieldMappings [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]><FieldMappings/>",
       nullptr},
      {__LINE__,
       "<!DOCTYPE FieldMappings [<!ENTITY u SYSTEM \"x.gif\" NDATA gif>]><FieldMappings/>",
       nullptr},
      // even a harmless internal entity: a mapping file never needs one
      {__LINE__, "<!DOCTYPE FieldMappings [<!ENTITY a \"b\">]><FieldMappings/>", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    const auto error = Failure([&] { maps.LoadFromXML(row.xml); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), kUserStop);
    EXPECT_EQ(error->Source(), "ConditionalMappings.LoadFromXML");
    if (row.reason != nullptr) {
      EXPECT_EQ(error->Description(),
                std::string("Error parsing mapping classes configuration string: ") + row.reason);
    } else {
      EXPECT_NE(error->Description().find("entity declarations are not accepted"),
                std::string::npos);
    }
    EXPECT_EQ(error->Description().find("TOP-SECRET"), std::string::npos);
    EXPECT_EQ(maps.Count(), 0);
  }
}

TEST(ConditionalMappingsHostile, ExternalDocumentTypeIsNeitherLoadedNorAccepted) {
  testing_support::TempDir dir;
  const std::string dtd = dir.Write("evil.dtd", "<!ENTITY leak \"TOP-SECRET-4711\">");
  const std::string rows[] = {
      "<!DOCTYPE FieldMappings SYSTEM \"" + dtd +
          "\"><FieldMappings><MappingClass name=\"&leak;\"/></FieldMappings>",
      "<!DOCTYPE FieldMappings PUBLIC \"-//X//Y//EN\" \"http://127.0.0.1:9/x.dtd\">"
      "<FieldMappings/>",
  };
  for (const std::string& xml : rows) {
    SCOPED_TRACE(xml);
    // Through a file as well, where a relative system id would resolve
    // against the file's folder.
    const std::string file = dir.Write("maps.xml", xml);
    ConditionalMappings maps;
    const auto error = Failure([&] { maps.LoadFromXMLFile(file); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), kUserStop);
    EXPECT_NE(error->Description().find("external document type definitions are not accepted"),
              std::string::npos);
    EXPECT_EQ(error->Description().find("TOP-SECRET"), std::string::npos);
    EXPECT_EQ(maps.Count(), 0);
  }
}

TEST(ConditionalMappingsHostile, PlainDocumentTypeWithoutEntitiesIsAccepted) {
  ConditionalMappings maps;
  maps.LoadFromXML(
      "<!DOCTYPE FieldMappings [<!ELEMENT FieldMappings ANY>"
      "<!ATTLIST MappingClass name CDATA \"FromTheDtd\">]>"
      "<FieldMappings><MappingClass name=\"A\"/></FieldMappings>");
  ASSERT_EQ(maps.Count(), 1);
  // Default attribute values of a DTD are not applied.
  const auto error = Failure([&] {
    maps.LoadFromXML(
        "<!DOCTYPE FieldMappings [<!ATTLIST MappingClass name CDATA \"FromTheDtd\">]>"
        "<FieldMappings><MappingClass/></FieldMappings>");
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 6000);
}

TEST(ConditionalMappingsHostile, OversizedDocumentsAreRefusedBeforeParsing) {
  // 50 MB of well-formed mapping classes.
  std::string big = "<FieldMappings>";
  const std::string filler = "<MappingClass name=\"x\"><Fields/></MappingClass>\n";
  big.reserve(50u << 20);
  while (big.size() < (50u << 20)) big += filler;
  big += "</FieldMappings>";

  ConditionalMappings maps;
  auto error = Failure([&] { maps.LoadFromXML(big); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), kTooLarge);
  EXPECT_NE(error->Description().find("too large"), std::string::npos);

  testing_support::TempDir dir;
  const std::string file = dir.Write("big.xml", big);
  error = Failure([&] { maps.LoadFromXMLFile(file); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), kTooLarge);
  EXPECT_EQ(error->Description(),
            "Error loading mapping classes configuration file: cannot read "
            "file '" +
                file + "': the file is larger than 10000000 bytes");
}

TEST(ConditionalMappingsHostile, DocumentsJustBelowTheLimitLoad) {
  // Long values up to the size limit load whole.
  const std::string value(1000000, 'v');
  std::string doc = "<FieldMappings><MappingClass name=\"Big\"><Fields>";
  int count = 0;
  while (doc.size() + value.size() + 100 < ConditionalMappings::kMaxDocumentBytes) {
    doc += "<Field name=\"F" + std::to_string(++count) + "\" value=\"" + value + "\"/>";
  }
  doc += "</Fields></MappingClass></FieldMappings>";
  ASSERT_LE(doc.size(), ConditionalMappings::kMaxDocumentBytes);
  ASSERT_GE(count, 9);
  ConditionalMappings maps;
  maps.LoadFromXML(doc);
  ASSERT_EQ(maps.Count(), 1);
  EXPECT_EQ(maps.Item(1)->FieldMaps().Count(), count);
  const std::string last = "F" + std::to_string(count);
  EXPECT_EQ(maps.Item(1)->FieldMaps().Item(last)->Value(), value);
}

TEST(ConditionalMappingsHostile, DeepNestingIsRefused) {
  std::string deep = "<FieldMappings>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  deep += "</FieldMappings>";
  ConditionalMappings maps;
  const auto error = Failure([&] { maps.LoadFromXML(deep); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 1);  // XML_ERR_INTERNAL_ERROR, libxml2's depth limit
  EXPECT_NE(error->Description().find("Excessive depth in document: 256"), std::string::npos);
}

TEST(ConditionalMappingsHostile, NestingWithinTheLimitIsIgnoredSafely) {
  std::string doc = "<FieldMappings><MappingClass name=\"A\">";
  for (int i = 0; i < 200; ++i) doc += "<Fields>";
  for (int i = 0; i < 200; ++i) doc += "</Fields>";
  doc += "</MappingClass></FieldMappings>";
  ConditionalMappings maps;
  maps.LoadFromXML(doc);
  ASSERT_EQ(maps.Count(), 1);
  EXPECT_EQ(maps.Item(1)->FieldMaps().Count(), 0);
}

TEST(ConditionalMappingsHostile, BinaryGarbageFailsCleanly) {
  const std::string rows[] = {
      std::string("\0\0\0\0", 4),
      std::string("<FieldMappings>\0</FieldMappings>", 32),
      "\xFE\xFF\x00<",
      "<FieldMappings><MappingClass name=\"\x01\"/></FieldMappings>",
      "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><FieldMappings/>",
  };
  for (const std::string& xml : rows) {
    ConditionalMappings maps;
    const auto error = Failure([&] { maps.LoadFromXML(xml); });
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->Number(), 0);
    EXPECT_EQ(error->Description().rfind("Error parsing mapping classes configuration string: ", 0),
              0u);
  }
}

}  // namespace
}  // namespace marrow
