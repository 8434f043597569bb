// The mappings editor's state without widgets: tables and XML text in step,
// typed XML that cannot be read kept as typed, the changed flag.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "setup/mappings_edit_model.h"

namespace quillon {
namespace {

constexpr const char* kTwoClasses =
    "<?xml version=\"1.0\"?>\n"
    "<FieldMappings>\n"
    "  <!-- a comment -->\n"
    "  <MappingClass name=\"Medicare\">\n"
    "    <Conditions><Condition field=\"Payer\" operator=\"eq\" value=\"MC\"/></Conditions>\n"
    "    <Fields><Field name=\"A\" value=\"[In]\"/><Field name=\"B\" value=\"b\"/></Fields>\n"
    "  </MappingClass>\n"
    "  <MappingClass name=\"Other\"><Fields/></MappingClass>\n"
    "</FieldMappings>\n";

TEST(MappingsEditModel, LoadFillsTheTablesAndShowsTheDocumentIndented) {
  MappingsEditModel model;
  EXPECT_EQ(model.XmlText(), "<FieldMappings/>\n");
  model.Load(kTwoClasses);
  EXPECT_EQ(model.XmlText(), WriteMappingClassRows(model.Classes()));
  EXPECT_FALSE(model.Problem());
  EXPECT_TRUE(model.TablesEditable());
  EXPECT_FALSE(model.Changed());
  ASSERT_EQ(model.Classes().size(), 2u);
  EXPECT_EQ(model.Classes()[0].name, "Medicare");
  ASSERT_EQ(model.Classes()[0].conditions.size(), 1u);
  EXPECT_EQ(model.Classes()[0].conditions[0].op, marrow::condEquals);
  EXPECT_EQ(model.Classes()[0].fields.size(), 2u);
}

// Every edit sets the changed flag and leaves text and tables telling the
// same story.
TEST(MappingsEditModel, EveryEditSetsTheChangedFlagAndRewritesTheText) {
  using Edit = std::function<bool(MappingsEditModel&)>;
  struct Case {
    int line;
    Edit edit;
    std::string className;  // of the first class afterwards
    std::size_t classes;
  };
  const Case cases[] = {
      {__LINE__, [](MappingsEditModel& m) { return m.AddClass("X").has_value(); }, "Medicare", 3},
      {__LINE__, [](MappingsEditModel& m) { return m.RemoveClass(0); }, "Other", 1},
      {__LINE__, [](MappingsEditModel& m) { return m.RenameClass(0, "Medicaid"); }, "Medicaid", 2},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveClass(1, -1); }, "Other", 2},
      {__LINE__, [](MappingsEditModel& m) { return m.AddCondition(1); }, "Medicare", 2},
      {__LINE__,
       [](MappingsEditModel& m) {
         return m.SetCondition(0, 0, {marrow::condAnd, "Payer", marrow::condNotEquals, "MC", 0});
       },
       "Medicare", 2},
      {__LINE__, [](MappingsEditModel& m) { return m.RemoveCondition(0, 0); }, "Medicare", 2},
      {__LINE__,
       [](MappingsEditModel& m) {
         return m.AddField(1, {"N", "v"});
       },
       "Medicare", 2},
      {__LINE__,
       [](MappingsEditModel& m) {
         return m.SetField(0, 1, {"B", "bb"});
       },
       "Medicare", 2},
      {__LINE__, [](MappingsEditModel& m) { return m.RemoveField(0, 0); }, "Medicare", 2},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveField(0, 0, 1); }, "Medicare", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MappingsEditModel model;
    model.Load(kTwoClasses);
    const auto before = model.Classes();
    ASSERT_TRUE(c.edit(model));
    EXPECT_TRUE(model.Changed());
    EXPECT_NE(model.Classes(), before);
    ASSERT_EQ(model.Classes().size(), c.classes);
    EXPECT_EQ(model.Classes()[0].name, c.className);
    const MappingClassReadResult read = ReadMappingClassRows(model.XmlText());
    ASSERT_FALSE(read.problem);
    EXPECT_EQ(read.classes, model.Classes());
    EXPECT_FALSE(model.Problem());
  }
}

TEST(MappingsEditModel, EditsOutOfRangeOrWithoutEffectChangeNothing) {
  using Edit = std::function<bool(MappingsEditModel&)>;
  struct Case {
    int line;
    Edit edit;
    bool accepted;
  };
  const Case cases[] = {
      {__LINE__, [](MappingsEditModel& m) { return m.RemoveClass(2); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveClass(0, -1); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveClass(1, 1); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveClass(0, 2); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.AddCondition(2); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.RemoveCondition(1, 0); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveCondition(0, 0, 1); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.SetField(0, 2, {}); }, false},
      {__LINE__, [](MappingsEditModel& m) { return m.MoveField(0, 1, 1); }, false},
      // Setting a row to what it holds, or a class to its own name.
      {__LINE__,
       [](MappingsEditModel& m) {
         return m.SetField(0, 1, {"B", "b"});
       },
       true},
      {__LINE__, [](MappingsEditModel& m) { return m.RenameClass(1, "Other"); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MappingsEditModel model;
    model.Load(kTwoClasses);
    const std::string before = model.XmlText();
    EXPECT_EQ(c.edit(model), c.accepted);
    EXPECT_FALSE(model.Changed());
    EXPECT_EQ(model.XmlText(), before);
  }
}

TEST(MappingsEditModel, ClassNamesStayUniqueIgnoringLetterCase) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  EXPECT_EQ(*model.AddClass("medicare"), 2u);
  EXPECT_EQ(model.Classes()[2].name, "medicare 2");
  EXPECT_EQ(*model.AddClass(""), 3u);
  EXPECT_EQ(*model.AddClass("  "), 4u);
  EXPECT_EQ(model.Classes()[3].name, "New class");
  EXPECT_EQ(model.Classes()[4].name, "New class 2");

  std::string why;
  EXPECT_FALSE(model.RenameClass(1, "MEDICARE", &why));
  EXPECT_NE(why.find("already named 'MEDICARE'"), std::string::npos) << why;
  EXPECT_FALSE(model.RenameClass(1, " ", &why));
  EXPECT_EQ(why, "A mapping class needs a name.");
  EXPECT_EQ(model.Classes()[1].name, "Other");
  EXPECT_TRUE(model.RenameClass(0, "MEDICARE"));  // its own name in other letters
  EXPECT_FALSE(model.Problem());
}

TEST(MappingsEditModel, TypedXmlThatReadsReplacesTheTables) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  const std::string typed = "<FieldMappings><MappingClass name='Typed'/></FieldMappings>";
  model.SetXmlText(typed);
  EXPECT_TRUE(model.Changed());
  EXPECT_EQ(model.XmlText(), typed);
  EXPECT_FALSE(model.Problem());
  ASSERT_EQ(model.Classes().size(), 1u);
  EXPECT_EQ(model.Classes()[0].name, "Typed");
}

TEST(MappingsEditModel, TypedXmlThatDoesNotReadIsKeptAndFreezesTheTables) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  const std::string typed = "<FieldMappings>\n  <MappingClass name=\"Half\">\n</FieldMappings>";
  model.SetXmlText(typed);
  EXPECT_TRUE(model.Changed());
  EXPECT_EQ(model.XmlText(), typed);
  ASSERT_TRUE(model.Problem());
  EXPECT_EQ(model.Problem()->line, 3);
  EXPECT_GT(model.Problem()->column, 0);
  EXPECT_FALSE(model.TablesEditable());
  // The tables keep their last good state and refuse edits that would
  // rewrite the text.
  ASSERT_EQ(model.Classes().size(), 2u);
  EXPECT_FALSE(model.AddClass("X"));
  EXPECT_FALSE(model.RenameClass(0, "X"));
  EXPECT_FALSE(model.AddField(0, {"N", "v"}));
  EXPECT_EQ(model.XmlText(), typed);

  // Mending the text brings the tables back.
  model.SetXmlText("<FieldMappings/>");
  EXPECT_TRUE(model.TablesEditable());
  EXPECT_TRUE(model.Classes().empty());
}

TEST(MappingsEditModel, DiscardingTypedTextWritesTheTablesAgain) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  model.SetXmlText("<FieldMappings><oops");
  model.DiscardTypedText();
  EXPECT_TRUE(model.TablesEditable());
  EXPECT_FALSE(model.Problem());
  EXPECT_EQ(ReadMappingClassRows(model.XmlText()).classes, model.Classes());
  EXPECT_EQ(model.Classes().size(), 2u);
}

TEST(MappingsEditModel, ALoadThatDoesNotReadShowsTheTextAndItsProblem) {
  MappingsEditModel model;
  const std::string broken = "<FieldMappings><MappingClass/></FieldMappings>";
  model.Load(broken);
  EXPECT_FALSE(model.Changed());
  EXPECT_EQ(model.XmlText(), broken);
  ASSERT_TRUE(model.Problem());
  EXPECT_EQ(model.Problem()->number, 6000);
  EXPECT_FALSE(model.TablesEditable());
  EXPECT_TRUE(model.Classes().empty());
}

TEST(MappingsEditModel, RowsTheLibraryRefusesStayEditableWithTheProblemShown) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  ASSERT_TRUE(model.SetField(0, 0, {"A", "[In:lefttrim{x}]"}));
  ASSERT_TRUE(model.Problem());
  EXPECT_EQ(model.Problem()->number, 13);
  EXPECT_TRUE(model.TablesEditable());
  EXPECT_NE(model.XmlText().find("lefttrim{x}"), std::string::npos);
  ASSERT_TRUE(model.SetField(0, 0, {"A", "[In:lefttrim{1}]"}));
  EXPECT_FALSE(model.Problem());
}

TEST(MappingsEditModel, RemarksNameRowsThatLoadButDoNotDoWhatTheySeem) {
  MappingsEditModel model;
  model.Load(kTwoClasses);
  EXPECT_TRUE(model.Remarks().empty());
  model.AddField(1, {"Dup", "1"});
  model.AddField(1, {"DUP", "2"});
  model.AddField(1, {"dup", "3"});
  model.AddField(1, {" ", "4"});
  const auto remarks = model.Remarks();
  ASSERT_EQ(remarks.size(), 2u);
  EXPECT_EQ(remarks[0],
            "Class 'Other': the field name 'DUP' is used more than once; only its last value is "
            "used.");
  EXPECT_EQ(remarks[1], "Class 'Other': a field mapping without a name is ignored.");
}

}  // namespace
}  // namespace quillon
