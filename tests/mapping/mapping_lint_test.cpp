// The mapping linter over a corpus of broken mapping sets: every finding's
// kind, line and column (and suggestion where one is due).
#include "mapping/mapping_lint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace {

using marrow::LintFinding;
using marrow::LintSeverity;

// "kind@line:column", or "kind@line:column>suggestion" when there is one.
std::string Describe(const LintFinding& f) {
  std::string out = f.kind + "@" + std::to_string(f.line) + ":" + std::to_string(f.column);
  if (!f.suggestion.empty()) out += ">" + f.suggestion;
  return out;
}

std::vector<std::string> Described(const std::vector<LintFinding>& findings) {
  std::vector<std::string> out;
  for (const LintFinding& f : findings) out.push_back(Describe(f));
  return out;
}

struct Row {
  int line;
  std::string xml;
  std::vector<std::string> expected;
};

TEST(MappingLint, FindsEachMistakeAtItsPlace) {
  const Row rows[] = {
      {__LINE__, "<FieldMappings>\n  <MappingClass name=\"A\"/>\n</FieldMappings>", {}},
      // The root: one letter short gives no classes at all.
      {__LINE__,
       "<FieldMapping>\n  <MappingClass name=\"A\"/>\n</FieldMapping>",
       {"wrong-root@1:1>FieldMappings"}},
      {__LINE__, "<?xml version=\"1.0\"?>\n<Mappings/>", {"wrong-root@2:1"}},
      // A condition outside <Conditions> is dropped: the class matches all.
      {__LINE__,
       "<FieldMappings>\n  <MappingClass name=\"A\">\n"
       "    <Condition field=\"F\" operator=\"eq\" value=\"1\"/>\n"
       "    <Fields><Field name=\"X\" value=\"1\"/></Fields>\n  </MappingClass>\n</FieldMappings>",
       {"misplaced-element@3:5"}},
      {__LINE__,
       "<FieldMappings><Fields><Field name=\"X\" value=\"1\"/></Fields></FieldMappings>",
       {"misplaced-element@1:16"}},
      // Misspelt elements, with the name that belongs there.
      {__LINE__,
       "<FieldMappings>\n  <MappingClass name=\"A\">\n"
       "    <Fields><Feild name=\"X\" value=\"1\"/></Fields>\n  </MappingClass>\n</FieldMappings>",
       {"unknown-element@3:13>Field"}},
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Condtions/></MappingClass>"
       "<Notes/></FieldMappings>",
       {"unknown-element@1:39>Conditions", "unknown-element@1:66"}},
      // Attributes: a near miss of a known one is an error, noise a warning;
      // a missing required one fails the load.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Fields>\n"
       "<Field name=\"X\" valeu=\"1\" note=\"n\"/>\n</Fields></MappingClass></FieldMappings>",
       {"missing-attribute@2:1", "unknown-attribute@2:17>value", "unknown-attribute@2:27"}},
      {__LINE__,
       "<FieldMappings><MappingClass Name=\"A\"/></FieldMappings>",
       {"missing-attribute@1:16", "unknown-attribute@1:30>name"}},
      // Operators, connectors and compare methods the engine does not know.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Conditions>\n"
       "<Condition field=\"F\" operator=\"is not blanc\" value=\"\"/>\n"
       "<Condition field=\"F\" operator=\"between\" value=\"1\" connector=\"OR \"/>\n"
       "<Condition field=\"F\" operator=\"eq\" value=\"1\" connector=\"either\" "
       "comparemethod=\"txt\"/>\n"
       "</Conditions></MappingClass></FieldMappings>",
       {"unknown-operator@2:32>is not blank", "unknown-operator@3:32", "unknown-connector@3:62>or",
        "unknown-connector@4:57", "unknown-compare-method@4:80>text"}},
      // Modifiers.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Fields>\n"
       "<Field name=\"X\" value=\"[A:trimm]\"/>\n"
       "<Field name=\"Y\" value=\"[A:trim, trim,wrap]\"/>\n"
       "<Field name=\"Z\" value=\"[A:substring{3},replace{ab}]\"/>\n"
       "<Field name=\"W\" value=\"[A:lefttrim{x}] [B:numeric{0;0;0;0;0}]\"/>\n"
       "</Fields></MappingClass></FieldMappings>",
       {"unknown-modifier@2:27>trim", "unknown-modifier@3:32>trim",
        "modifier-without-argument@3:38", "ignored-modifier@4:27", "ignored-modifier@4:40",
        "invalid-modifier-argument@5:27", "invalid-mask@5:43"}},
      // Escaped commas and braces stay inside their argument.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Fields>"
       "<Field name=\"X\" value=\"[L:index{2:\\,},strip{\\{},trimm]\"/>"
       "</Fields></MappingClass></FieldMappings>",
       {"unknown-modifier@1:95>trim"}},
      // Places inside values count characters of the source: references,
      // non-ASCII letters and line breaks in a start tag.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Fields>\n"
       "<Field name=\"X\" value=\"&lt;&#233;[A:trimm]\"/>\n"
       "<Field name=\"Y\" value=\"\xC3\xA9\xC3\xA9[A:trimm]\"/>\n"
       "<Field\n   name=\"Z\"\n   value=\"x\n[A:trimm]\"/>\n"
       "</Fields></MappingClass></FieldMappings>",
       {"unknown-modifier@2:37>trim", "unknown-modifier@3:29>trim", "unknown-modifier@7:4>trim"}},
      // Classes and fields given twice, blank names.
      {__LINE__,
       "<FieldMappings>\n<MappingClass name=\"A\"><Fields>\n"
       "<Field name=\"X\" value=\"1\"/><Field name=\"x\" value=\"2\"/><Field name=\" \" "
       "value=\"3\"/>\n</Fields></MappingClass>\n<MappingClass name=\"a\"/>\n</FieldMappings>",
       {"duplicate-field@3:35", "blank-field-name@3:62", "duplicate-class@5:15"}},
      // Brackets and like patterns.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Conditions>\n"
       "<Condition field=\"F\" operator=\"like\" value=\"[A-C]#[!0-9]\"/>\n"
       "<Condition field=\"F\" operator=\"eq\" value=\"[A-C]\"/>\n"
       "</Conditions><Fields><Field name=\"X\" value=\"abc[def\"/></Fields>"
       "</MappingClass></FieldMappings>",
       {"like-pattern-field@2:46", "like-pattern-field@2:52", "unclosed-bracket@4:48"}},
      // A date/time part with a mask that fails.
      {__LINE__,
       "<FieldMappings><MappingClass name=\"A\"><Fields>"
       "<Field name=\"X\" value=\"[date:a;b;c;d;e]\"/></Fields></MappingClass></FieldMappings>",
       {"invalid-mask@1:76"}},
      // Not XML at all: the parser's place.
      {__LINE__,
       "<FieldMappings>\n<MappingClass name=\"A\">\n</FieldMappings>",
       {"xml-error@3:17"}},
      {__LINE__, "<!DOCTYPE x [<!ENTITY e \"b\">]><FieldMappings/>", {"xml-error@1:28"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("line " + std::to_string(row.line));
    const marrow::LintedFile linted = marrow::LintMappingDocument(row.xml, "m.xml");
    EXPECT_EQ(Described(linted.findings), row.expected);
    for (const LintFinding& f : linted.findings) EXPECT_EQ(f.file, "m.xml");
  }
}

TEST(MappingLint, SeveritiesFollowWhatTheEngineLoses) {
  const std::string xml =
      "<FieldMappings><MappingClass name=\"A\" comment=\"x\"><Conditions>"
      "<Condition field=\"F\" operator=\"eq\" value=\"1\" connector=\"OR \"/>"
      "<Condition field=\"F\" operator=\"eq\" value=\"1\" connector=\"also\"/>"
      "</Conditions><Fields><Field name=\"X\" value=\"[A:traim]\"/></Fields>"
      "</MappingClass></FieldMappings>";
  const marrow::LintedFile linted = marrow::LintMappingDocument(xml, "m.xml");
  ASSERT_EQ(linted.findings.size(), 4u);
  // An unknown attribute that is no near miss: noise.
  EXPECT_EQ(linted.findings[0].kind, "unknown-attribute");
  EXPECT_EQ(linted.findings[0].severity, LintSeverity::kWarning);
  // "OR " means "and": the author loses their "or".
  EXPECT_EQ(linted.findings[1].kind, "unknown-connector");
  EXPECT_EQ(linted.findings[1].severity, LintSeverity::kError);
  // Any other word reads as "and", the default.
  EXPECT_EQ(linted.findings[2].kind, "unknown-connector");
  EXPECT_EQ(linted.findings[2].severity, LintSeverity::kWarning);
  EXPECT_EQ(linted.findings[3].severity, LintSeverity::kError);
  EXPECT_EQ(linted.Count(LintSeverity::kError), 2u);
  EXPECT_EQ(linted.Count(LintSeverity::kWarning), 2u);
  // Messages say what the engine does instead, and the name meant.
  EXPECT_NE(linted.findings[3].message.find("the engine ignores it"), std::string::npos);
  EXPECT_NE(linted.findings[3].message.find("did you mean \"trim\"?"), std::string::npos);
}

TEST(MappingLint, Windows1252DocumentsCountCharacters) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<FieldMappings><MappingClass "
      "name=\"\xE9\xE9\"><Fields><Field name=\"X\" value=\"\xE9[A:trimm]\"/></Fields>"
      "</MappingClass></FieldMappings>";
  const marrow::LintedFile linted = marrow::LintMappingDocument(xml, "m.xml");
  EXPECT_EQ(Described(linted.findings), std::vector<std::string>{"unknown-modifier@2:75>trim"});
}

TEST(MappingLint, UnreadableFilesAndHostileDocumentsGiveFindingsNotCrashes) {
  const marrow::LintedFile missing = marrow::LintMappingFile("/nonexistent/DataMappings.xml");
  ASSERT_EQ(missing.findings.size(), 1u);
  EXPECT_EQ(missing.findings[0].kind, "unreadable-file");
  EXPECT_FALSE(missing.parsed);

  // Many mistakes are summed up after a thousand.
  std::string xml = "<FieldMappings><MappingClass name=\"A\"><Fields>";
  for (int i = 0; i < 1500; ++i) xml += "<Feild/>";
  xml += "</Fields></MappingClass></FieldMappings>";
  const marrow::LintedFile many = marrow::LintMappingDocument(xml, "m.xml");
  ASSERT_EQ(many.findings.size(), 1001u);
  EXPECT_EQ(many.findings.back().kind, "too-many-findings");
  EXPECT_EQ(many.findings.back().severity, LintSeverity::kError);
}

// ---- Fields across the levels ----

struct LevelRow {
  int line;
  std::vector<std::string> levels;    // the documents, level 1 first
  std::vector<std::string> expected;  // "file#kind@line:column>suggestion"
};

std::string Document(const std::string& classes) {
  return "<FieldMappings>\n" + classes + "</FieldMappings>";
}

TEST(MappingLint, FieldsReadMustBeThereAtTheirLevel) {
  const marrow::AvailableFields available{
      {"TotalCharge", "PatientLast", "OtherDx", "FormType", "_outputString"}, {"Replace_"}};
  const LevelRow rows[] = {
      // The misspellings of a first mapping set, with the names meant.
      {__LINE__,
       {Document("<MappingClass name=\"Claim\"><Fields>\n"
                 "<Field name=\"CLM\" value=\"CLM*[TotalCharges]~\"/>\n"
                 "<Field name=\"NM1\" value=\"NM1*IL*1*[PatientLst:trim]~\"/>\n"
                 "</Fields></MappingClass>\n"),
        Document("<MappingClass name=\"Dx\"><Conditions>\n"
                 "<Condition field=\"OthrDx\" operator=\"is not blank\" value=\"\"/>\n"
                 "</Conditions></MappingClass>\n")},
       {"1#unknown-field@3:31>TotalCharge", "1#unknown-field@4:36>PatientLast",
        "2#unknown-field@3:19>OtherDx"}},
      // Written by an earlier level or an earlier class: there. Written by
      // the same class, a later class or a later level: not yet.
      {__LINE__,
       {Document("<MappingClass name=\"One\"><Fields><Field name=\"A\" value=\"1\"/>"
                 "<Field name=\"B\" value=\"[A]\"/></Fields></MappingClass>\n"
                 "<MappingClass name=\"Two\"><Conditions><Condition field=\"[C]\" "
                 "operator=\"eq\" value=\"[A]\"/></Conditions></MappingClass>\n"),
        Document("<MappingClass name=\"Three\"><Fields><Field name=\"C\" value=\"[a][b]\"/>"
                 "</Fields></MappingClass>\n")},
       {"1#unknown-field@2:85", "1#unknown-field@3:57"}},
      // Reserved names and prefixes, named characters and dates read nothing.
      {__LINE__,
       {Document("<MappingClass name=\"R\"><Fields><Field name=\"X\" "
                 "value=\"[_OUTPUTSTRING][Replace_7][cr][date:yyyy][FormType:trim]\"/>"
                 "</Fields></MappingClass>\n")},
       {}},
  };
  for (const LevelRow& row : rows) {
    SCOPED_TRACE("line " + std::to_string(row.line));
    std::vector<marrow::LintedFile> levels;
    for (std::size_t i = 0; i < row.levels.size(); ++i) {
      levels.push_back(marrow::LintMappingDocument(row.levels[i], std::to_string(i + 1)));
      EXPECT_TRUE(levels.back().findings.empty()) << Described(levels.back().findings)[0];
    }
    marrow::CheckFieldAvailability(levels, available);
    std::vector<std::string> found;
    for (const marrow::LintedFile& level : levels) {
      for (const LintFinding& f : level.findings) found.push_back(f.file + "#" + Describe(f));
    }
    EXPECT_EQ(found, row.expected);
  }
}

TEST(MappingLint, LaterWritersAndContextLevelsAreNamed) {
  std::vector<marrow::LintedFile> levels;
  levels.push_back(marrow::LintMappingDocument(
      Document("<MappingClass name=\"Early\"><Fields><Field name=\"Y\" value=\"[X]\"/>"
               "<Field name=\"Z\" value=\"[Q]\"/></Fields></MappingClass>\n"),
      "DataMappings.xml"));
  levels.push_back(marrow::LintMappingDocument(
      Document("<MappingClass name=\"Late\"><Fields><Field name=\"X\" value=\"[Z]\"/>"
               "</Fields></MappingClass>\n"),
      "dir/FieldMappings.xml"));
  // Only the second level is reported; the first still writes Z.
  marrow::CheckFieldAvailability(levels, {}, 1);
  EXPECT_TRUE(levels[0].findings.empty());
  EXPECT_TRUE(levels[1].findings.empty());

  marrow::CheckFieldAvailability(levels, {});
  ASSERT_EQ(levels[0].findings.size(), 2u);
  EXPECT_NE(levels[0].findings[0].message.find(
                "it is written only later, by class \"Late\" of FieldMappings.xml"),
            std::string::npos);
  EXPECT_NE(levels[0].findings[0].message.find("reads as empty"), std::string::npos);
}

TEST(MappingLint, LevelsAfterAnUnreadableOneAreNotJudged) {
  // What the broken level would have written is unknown: no guesses.
  std::vector<marrow::LintedFile> levels;
  levels.push_back(marrow::LintMappingDocument(
      Document("<MappingClass name=\"A\"><Fields><Field name=\"X\" value=\"[Nope]\"/>"
               "</Fields></MappingClass>\n"),
      "1"));
  levels.push_back(marrow::LintMappingDocument("<FieldMappings>", "2"));
  levels.push_back(marrow::LintMappingDocument(
      Document("<MappingClass name=\"B\"><Fields><Field name=\"Y\" value=\"[Z]\"/>"
               "</Fields></MappingClass>\n"),
      "3"));
  marrow::CheckFieldAvailability(levels, {});
  EXPECT_EQ(Described(levels[0].findings), std::vector<std::string>{"unknown-field@2:56"});
  EXPECT_EQ(Described(levels[1].findings), std::vector<std::string>{"xml-error@1:16"});
  EXPECT_TRUE(levels[2].findings.empty());
}

TEST(MappingLint, ClosestNameIsASlipOfTheKeyboard) {
  const std::vector<std::string> names = {"PatientLast", "PatientFirst", "TotalCharge", "trim",
                                          "Field",       "name",         "or"};
  struct Case {
    int line;
    std::string word;
    std::string expected;
  } cases[] = {
      {__LINE__, "PatientLst", "PatientLast"},
      {__LINE__, "patientlast", "PatientLast"},  // letter case alone
      {__LINE__, "TotalCharges", "TotalCharge"},
      {__LINE__, "Feild", "Field"},  // two letters swapped count once
      {__LINE__, "trimm", "trim"},
      {__LINE__, "Name", "name"},
      {__LINE__, "trim", ""},     // the same name is no slip
      {__LINE__, "Patient", ""},  // too far
      {__LINE__, "x", ""},        // one letter matches nothing by chance
      {__LINE__, "OR", "or"},
      {__LINE__, "", ""},
      {__LINE__, "PatientFrist", "PatientFirst"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line));
    EXPECT_EQ(marrow::ClosestName(c.word, names), c.expected);
  }
}

}  // namespace
