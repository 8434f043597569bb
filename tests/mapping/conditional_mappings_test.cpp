// The collection of mapping classes: keys, positions, and translation
// through the first class whose conditions hold.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/tessel/name_value_list.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"

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

std::string Names(const ConditionalMappings& maps) {
  std::string out;
  for (const auto& m : maps) out += (out.empty() ? "" : ",") + m->Name();
  return out;
}

std::string Entries(const tessel::NameValueList& list) {
  std::string out;
  for (const auto& item : list) out += item.Name() + "=" + item.Value() + "\n";
  return out;
}

tessel::NameValueList Fields(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  tessel::NameValueList list;
  for (const auto& [name, value] : pairs) list.Add(name, value);
  return list;
}

TEST(ConditionalMappings, KeysIgnoreLetterCaseAndNumbersArePositions) {
  ConditionalMappings maps;
  maps.Add("Medicare");
  maps.Add("123");
  maps.Add("\xC3\x89tat");  // E-acute: Latin-1 letters fold too
  EXPECT_EQ(maps.Item("MEDICARE"), maps.Item(1));
  EXPECT_EQ(maps.Item("123"), maps.Item(2));  // text is always a name
  EXPECT_EQ(maps.Item("\xC3\xA9TAT"), maps.Item(3));
  EXPECT_EQ(maps.Item(123), nullptr);
  EXPECT_EQ(maps.Item(0), nullptr);
  EXPECT_EQ(maps.Item(4), nullptr);
  EXPECT_EQ(maps.Item("Medicaid"), nullptr);

  const auto error = Failure([&] { maps.Add("medicare"); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 457);
  EXPECT_EQ(error->Source(), "ConditionalMappings.Add");
  EXPECT_EQ(maps.Count(), 3);
}

TEST(ConditionalMappings, RemoveByNameOrPosition) {
  const struct {
    int line;
    std::optional<std::int64_t> position;
    const char* name;
    const char* remaining;  // nullptr: fails with error 5
  } rows[] = {
      {__LINE__, 1, nullptr, "B,C"},
      {__LINE__, 3, nullptr, "A,B"},
      {__LINE__, 0, nullptr, nullptr},
      {__LINE__, 4, nullptr, nullptr},
      {__LINE__, -1, nullptr, nullptr},
      {__LINE__, std::nullopt, "b", "A,C"},
      {__LINE__, std::nullopt, "D", nullptr},
      {__LINE__, std::nullopt, "1", nullptr},  // a name, not a position
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    for (const char* name : {"A", "B", "C"}) maps.Add(name);
    const auto error = Failure([&] {
      if (row.position) {
        maps.Remove(*row.position);
      } else {
        maps.Remove(row.name);
      }
    });
    if (row.remaining == nullptr) {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->Number(), 5);
      EXPECT_EQ(Names(maps), "A,B,C");
    } else {
      EXPECT_FALSE(error.has_value());
      EXPECT_EQ(Names(maps), row.remaining);
    }
  }
}

TEST(ConditionalMappings, RemovedAndClearedClassesStayUsableByTheirHolders) {
  ConditionalMappings maps;
  maps.Add("A");
  maps.Add("B");
  const auto a = maps.Item("A");
  a->SetFieldMapsString("X=1");
  maps.Remove("a");
  EXPECT_EQ(maps.Item("A"), nullptr);
  maps.Add("A");  // the key is free again
  EXPECT_NE(maps.Item("A"), a);
  EXPECT_EQ(a->FieldMapsString(), "X=1");
  maps.Clear();
  EXPECT_EQ(maps.Count(), 0);
  EXPECT_EQ(maps.Item("B"), nullptr);
  maps.Add("b");
  EXPECT_EQ(maps.Count(), 1);
}

TEST(ConditionalMappings, StringPropertiesOfAClass) {
  ConditionalMapping m;
  m.SetMapConditionsString("and|A|eq|1;or|B|is blank");
  EXPECT_EQ(m.MapConditionsString(), "and|A|equals|1;or|B|is blank|");
  m.SetMapConditionsString("");
  EXPECT_EQ(m.MapConditions().Count(), 0);
  m.SetFieldMapsString("Out=[In];Const=x=y");
  EXPECT_EQ(m.FieldMapsString(), "Out=[In];Const=x=y");
  m.SetFieldMapsString("Other=1");
  EXPECT_EQ(m.FieldMapsString(), "Other=1");
}

struct TranslateCase {
  int line;
  const char* xml;
  tessel::NameValueList input;
  bool includeUnmapped;
  const char* expected;
};

TEST(ConditionalMappings, TranslateFieldsUsesTheFirstMatchingClass) {
  const char* twoClasses = R"(<FieldMappings>
  <MappingClass name="UB">
    <Conditions><Condition field="Form" operator="sw" value="UB"/></Conditions>
    <Fields><Field name="Kind" value="institutional"/><Field name="Id" value="[Claim]"/></Fields>
  </MappingClass>
  <MappingClass name="Any">
    <Conditions><Condition field="Claim" operator="is not blank" value=""/></Conditions>
    <Fields><Field name="Kind" value="other"/></Fields>
  </MappingClass>
</FieldMappings>)";
  const TranslateCase rows[] = {
      {__LINE__, twoClasses, Fields({{"Form", "UB04"}, {"Claim", "7"}}), false,
       "Kind=institutional\nId=7\n_mapclassname=UB\n"},
      {__LINE__, twoClasses, Fields({{"Form", "UB04"}, {"Claim", "7"}}), true,
       "Kind=institutional\nId=7\nForm=UB04\nClaim=7\n_mapclassname=UB\n"},
      // both classes match: only the first applies
      {__LINE__, twoClasses, Fields({{"Form", "UB"}, {"Claim", "9"}}), false,
       "Kind=institutional\nId=9\n_mapclassname=UB\n"},
      {__LINE__, twoClasses, Fields({{"Form", "CMS"}, {"Claim", "8"}}), false,
       "Kind=other\n_mapclassname=Any\n"},
      // no class matches: the input entries, even without IncludeUnmappedFields
      {__LINE__, twoClasses, Fields({{"Form", "CMS"}, {"Claim", " "}}), false,
       "Form=CMS\nClaim= \n"},
      // ... copied exactly, values with the text-form delimiters included
      {__LINE__, twoClasses, Fields({{"Form", "a;b=c"}, {"Claim", ""}, {"x=y", "1"}}), true,
       "Form=a;b=c\nClaim=\nx=y=1\n"},
      {__LINE__, "<FieldMappings/>", Fields({{"A", "1"}}), false, "A=1\n"},
      // a class without conditions matches everything and shadows later ones
      {__LINE__, R"(<FieldMappings><MappingClass name="All"><Fields><Field name="K" value="1"/>
         </Fields></MappingClass><MappingClass name="Never"/></FieldMappings>)",
       Fields({{"A", "1"}}), false, "K=1\n_mapclassname=All\n"},
      // a class with conditions but no fields: an empty translation plus the name
      {__LINE__, R"(<FieldMappings><MappingClass name="Bare"><Conditions>
         <Condition field="A" operator="eq" value="1"/></Conditions></MappingClass>
         </FieldMappings>)",
       Fields({{"A", "1"}}), false, "_mapclassname=Bare\n"},
      {__LINE__, R"(<FieldMappings><MappingClass name="Bare"><Conditions>
         <Condition field="A" operator="eq" value="1"/></Conditions></MappingClass>
         </FieldMappings>)",
       Fields({{"A", "1"}}), true, "A=1\n_mapclassname=Bare\n"},
      // a mapping of that name is overwritten in place by the class name
      {__LINE__, R"(<FieldMappings><MappingClass name="C"><Fields>
         <Field name="_mapclassname" value="mine"/><Field name="Z" value="z"/>
         </Fields></MappingClass></FieldMappings>)",
       Fields({}), false, "_mapclassname=C\nZ=z\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ConditionalMappings maps;
    maps.LoadFromXML(row.xml);
    const tessel::NameValueList before = row.input;
    EXPECT_EQ(Entries(maps.TranslateFields(row.input, row.includeUnmapped)), row.expected);
    EXPECT_EQ(Entries(row.input), Entries(before));  // the input is never changed
  }
}

TEST(ConditionalMappings, TranslateFieldsPassesFailuresOnWithItsSource) {
  ConditionalMappings maps;
  maps.Add("A");
  // A Replace_ entry without "|" fails the translation of "_outputString".
  maps.Item(1)->FieldMaps().Add("_outputString", "x");
  const auto error = Failure([&] {
    (void)maps.TranslateFields(Fields({{"Replace_1", "no bar"}}));
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 9);
  EXPECT_EQ(error->Source(), "TranslateFields");
}

}  // namespace
}  // namespace marrow
