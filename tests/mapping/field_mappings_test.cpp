// FieldMappings: building a set (Add, AddFromString), its text form, and the
// translation of an input list with its special names, unmapped fields and
// the single instant of a call.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "field_test_helpers.h"
#include "mapping/field_mapping.h"
#include "mapping/field_mappings.h"
#include "platform/clock.h"
#include "platform/date_text.h"
#include "platform/error.h"

namespace marrow {
namespace {

using testing::Describe;
using testing::ErrorNumberOf;
using testing::ScopedFixedClock;

tessel::NameValueList List(const std::string& text) {
  tessel::NameValueList list;
  list.AddFromString(text, ";", "=");
  return list;
}

// Translates `input` through a set built from pairs (not through the text
// form, so that values may hold ";" and "=").
tessel::NameValueList Translate(const std::vector<std::pair<std::string, std::string>>& mappings,
                                const tessel::NameValueList& input, bool unmapped = false) {
  FieldMappings set;
  for (const auto& [name, value] : mappings) set.Add(name, value);
  return set.TranslateFields(input, unmapped);
}

std::string Names(const FieldMappings& set) {
  std::string out;
  for (const FieldMapping& mapping : set) out += mapping.Name() + "|";
  return out;
}

TEST(FieldMappings, AddKeepsFirstSpellingAndPlaceAndLastValue) {
  FieldMappings set;
  set.Add("TOTAL", "1");
  set.Add("Other", "x");
  set.Add("Total", "2");
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(set.ToString(), "TOTAL=2;Other=x");
  ASSERT_NE(set.Item("total"), nullptr);
  EXPECT_EQ(set.Item("total")->Value(), "2");
  EXPECT_EQ(Describe(set.Item("TOTAL")->Parts()), "L'2'");
  EXPECT_TRUE(set.Exists("oThEr"));
  EXPECT_FALSE(set.Exists("Missing"));
  EXPECT_EQ(set.Item("Missing"), nullptr);
}

TEST(FieldMappings, AddIgnoresBlankNames) {
  FieldMappings set;
  for (const char* name : {"", " ", "   "}) set.Add(name, "x");
  EXPECT_EQ(set.Count(), 0);
  set.Add(" a ", "x");  // names are kept as given
  EXPECT_EQ(Names(set), " a |");
}

TEST(FieldMappings, AddParsesTheValueOnce) {
  FieldMappings set;
  set.Add("Name", "[Last], [First:trim]");
  EXPECT_EQ(Describe(set.Item("Name")->Parts()), "F'Last' | L', ' | F'First' trim");
  set.Add("NAME", "[Full]");
  EXPECT_EQ(Describe(set.Item("Name")->Parts()), "F'Full'");
}

TEST(FieldMappings, AddOfABadValueFailsAndKeepsEarlierMappings) {
  FieldMappings set;
  set.Add("A", "1");
  EXPECT_EQ(ErrorNumberOf([&] { set.Add("B", "x[C:lefttrim{x}]"); }), 13);
  EXPECT_EQ(set.ToString(), "A=1");
  // A failing new value of an existing mapping is stored with the parts
  // read before the failure, and the error reaches the caller.
  EXPECT_EQ(ErrorNumberOf([&] { set.Add("A", "y[C:lefttrim{70000}]"); }), 6);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_EQ(set.Item("A")->Value(), "y[C:lefttrim{70000}]");
  EXPECT_EQ(Describe(set.Item("A")->Parts()), "L'y'");
}

TEST(FieldMappings, AddFromStringBuildsTheSet) {
  struct Row {
    int line;
    std::string text;
    std::string pairDelimiter;
    std::string valueDelimiter;
    std::string names;
    std::string form;  // ToString() afterwards
  } rows[] = {
      {__LINE__, "A=1;B=2", ";", "=", "A|B|", "A=1;B=2"},
      {__LINE__, "A=1;B=2;A=3", ";", "=", "A|B|", "A=1;B=2"},  // first one wins
      {__LINE__, "A=1;b=2;a=3", ";", "=", "A|b|", "A=1;b=2"},
      {__LINE__, "A=1;;B", ";", "=", "A|", "A=1"},
      {__LINE__, "X=a=b", ";", "=", "X|", "X=a=b"},
      {__LINE__, "", ";", "=", "", ""},
      {__LINE__, "   ", ";", "=", "", ""},
      {__LINE__, " A =1", ";", "=", " A |", " A =1"},  // names are not trimmed
      {__LINE__, " =1", ";", "=", " |", " =1"},        // nor checked for blanks
      {__LINE__, "=1;B=2", ";", "=", "B|", "B=2"},     // an empty name is skipped
      {__LINE__, "A:1|B:2", "|", ":", "A|B|", "A=1;B=2"},
      {__LINE__, "A==1", ";", "==", "A|", "A=1"},
      {__LINE__, "A=1;B=2", "", "=", "A|", "A=1;B=2"},  // no pair delimiter: one item
      {__LINE__, "A=1", ";", "", "", ""},
      {__LINE__, "Out=[In:trim][semi]x", ";", "=", "Out|", "Out=[In:trim][semi]x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldMappings set;
    set.Add("Previous", "gone");
    set.AddFromString(row.text, row.pairDelimiter, row.valueDelimiter);
    EXPECT_EQ(Names(set), row.names);
    EXPECT_EQ(set.ToString(), row.form);
  }
}

TEST(FieldMappings, AddFromStringFailsOnABadValueEvenOfADuplicateName) {
  struct Row {
    int line;
    std::string text;
    int error;
    std::string kept;
  } rows[] = {
      {__LINE__, "A=1;B=[x:lefttrim{q}];C=3", 13, "A=1"},
      {__LINE__, "A=1;A=[x:lefttrim{q}]", 13, "A=1"},
      {__LINE__, "A=[x:separate{9999999999}]", 6, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldMappings set;
    EXPECT_EQ(ErrorNumberOf([&] { set.AddFromString(row.text); }), row.error);
    EXPECT_EQ(set.ToString(), row.kept);
  }
}

TEST(FieldMappings, ToStringUsesTheGivenDelimiters) {
  FieldMappings set;
  EXPECT_EQ(set.ToString(), "");
  set.AddFromString("A=1;B=2");
  EXPECT_EQ(set.ToString(), "A=1;B=2");
  EXPECT_EQ(set.ToString("|", ":"), "A:1|B:2");
  EXPECT_EQ(set.ToString("", ""), "A1B2");
}

TEST(FieldMappings, TextFormRoundTrips) {
  const std::string texts[] = {
      "A=1",
      "Name=[Last], [First]",
      "Seg=NM1*IL*1*[Last:trim]*[First]~[br];Date=[date:ccyymmdd]",
      "X=a=b;Y=[v:lookup{M:Male|F:Female}];Z=[w:index{2:\\,}]",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    FieldMappings first;
    first.AddFromString(text);
    FieldMappings second;
    second.AddFromString(first.ToString());
    EXPECT_EQ(second.ToString(), text);
    EXPECT_EQ(Names(second), Names(first));
  }
}

TEST(FieldMappings, ClearEmptiesTheSet) {
  FieldMappings set;
  set.AddFromString("A=1;B=2");
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_FALSE(set.Exists("A"));
  EXPECT_EQ(Names(set), "");
  set.Add("a", "3");
  EXPECT_EQ(set.ToString(), "a=3");
}

TEST(FieldMappings, MovedSetKeepsItsMappings) {
  FieldMappings set;
  set.AddFromString("A=[x];B=2");
  FieldMappings moved(std::move(set));
  EXPECT_EQ(moved.ToString(), "A=[x];B=2");
  EXPECT_EQ(moved.TranslateFields(List("x=7")).ToString(), "A=7;B=2");
  FieldMappings assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(assigned.Exists("b"));
}

TEST(FieldMappings, TranslatesExpressions) {
  struct Row {
    int line;
    std::string expression;
    std::string input;
    std::string value;
  } rows[] = {
      {__LINE__, "[Amt:numeric{#\\,##0.00}]", "Amt=1234.5", "1,234.50"},
      {__LINE__, "[D:date{ccyymmdd}]", "D=032814", "20140328"},
      {__LINE__, "[Last], [First]", "Last=Doe;First=Jane", "Doe, Jane"},
      {__LINE__, "[last]", "LAST=Doe", "Doe"},             // input names ignore case
      {__LINE__, "[Last], [First]", "Last=Doe", "Doe, "},  // a missing field gives nothing
      {__LINE__, "[Missing:fixed{5}]|", "", "|"},          // ...and runs no modifier
      {__LINE__, "[Missing:lookup{*:x}]", "", ""},
      {__LINE__, "[Empty:fixed{3}]|", "Empty=", "   |"},  // an empty value is present
      {__LINE__, "NM1[comma][semi][colon][quote][tab]", "", "NM1,;:\"\t"},
      {__LINE__, "[:x]", "=nameless", "nameless"},
      {__LINE__, "", "A=1", ""},
      {__LINE__, "a]b[", "", "a]b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const tessel::NameValueList out = Translate({{"Out", row.expression}}, List(row.input));
    ASSERT_EQ(out.Count(), 1);
    EXPECT_EQ(out.Item(1)->Name(), "Out");
    EXPECT_EQ(out.Item(1)->Value(), row.value);
  }
}

TEST(FieldMappings, OutputFollowsMappingOrderThenUnmappedInputOrder) {
  struct Row {
    int line;
    std::string mappings;
    std::string input;
    bool unmapped;
    std::string output;
  } rows[] = {
      {__LINE__, "A=a[B];B=b[B]", "B=1;C=2", true, "A=a1;B=b1;C=2"},
      {__LINE__, "A=a[B];B=b[B]", "B=1;C=2", false, "A=a1;B=b1"},
      {__LINE__, "", "B=1;C=2", false, ""},
      {__LINE__, "", "B=1;C=2", true, "B=1;C=2"},
      {__LINE__, "", "", true, ""},
      {__LINE__, "c=[C]x", "B=1;C=2", true, "c=2x;B=1"},  // caseless names
      {__LINE__, "Z=1;Y=2", "Y=9;X=8;Z=7", true, "Z=1;Y=2;X=8"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldMappings set;
    set.AddFromString(row.mappings);
    EXPECT_EQ(set.TranslateFields(List(row.input), row.unmapped).ToString(), row.output);
  }
}

TEST(FieldMappings, UnmappedValuesSurviveWhole) {
  tessel::NameValueList input;
  input.Add("Seg", "a;b=c");
  input.Add("k=v", "x");
  for (const bool emptySet : {true, false}) {
    SCOPED_TRACE(emptySet);
    FieldMappings set;
    if (!emptySet) set.Add("Out", "[Seg]");
    const tessel::NameValueList out = set.TranslateFields(input, true);
    EXPECT_EQ(out.ValueOr("Seg"), "a;b=c");
    EXPECT_EQ(out.ValueOr("k=v"), "x");
    EXPECT_EQ(out.Count(), emptySet ? 2 : 3);
  }
}

TEST(FieldMappings, NewLineCharBecomesALineBreak) {
  struct Row {
    int line;
    std::string name;
    std::string expression;
    std::string value;
  } rows[] = {
      {__LINE__, "_newLineChar", "y", "\n"},
      {__LINE__, "_newLineChar", "Y", "\n"},
      {__LINE__, "_newLineChar", "lf", "\n"},
      {__LINE__, "_newLineChar", "Lf", "\n"},
      {__LINE__, "_newLineChar", "cr", "\r\n"},
      {__LINE__, "_newLineChar", "[In]", "\r\n"},  // the translated text decides
      {__LINE__, "_newLineChar", "x", ""},
      {__LINE__, "_newLineChar", "", ""},
      {__LINE__, "_newLineChar", " y", ""},
      {__LINE__, "_newLineChar", "yes", ""},
      {__LINE__, "_NEWLINECHAR", "y", "y"},  // the name's case matters
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const tessel::NameValueList out = Translate({{row.name, row.expression}}, List("In=CR"));
    EXPECT_EQ(out.ValueOr(row.name), row.value);
  }
}

TEST(FieldMappings, OutputStringTakesNumberedReplacements) {
  struct Row {
    int line;
    std::string name;
    std::string expression;
    std::vector<std::pair<std::string, std::string>> input;
    std::string value;
  } rows[] = {
      {__LINE__, "_outputString", "abcabc", {{"Replace_1", "a|x"}}, "xbcxbc"},
      {__LINE__, "_outputString", "ac", {{"Replace_1", "a|b"}, {"Replace_2", "b|c"}}, "cc"},
      // numbering stops at the first missing number
      {__LINE__, "_outputString", "ac", {{"Replace_1", "a|b"}, {"Replace_3", "c|d"}}, "bc"},
      {__LINE__, "_outputString", "ac", {{"Replace_2", "a|b"}}, "ac"},
      // further pieces are ignored
      {__LINE__, "_outputString", "ab", {{"Replace_1", "a|x|y"}}, "xb"},
      // repeats while the text still holds the search text
      {__LINE__, "_outputString", "A~~~~~B", {{"Replace_1", "~~|~"}}, "A~B"},
      {__LINE__, "_outputString", "NM1*A**~", {{"Replace_1", "*~|~"}}, "NM1*A~"},
      {__LINE__, "_outputString", "aaab", {{"Replace_1", "ab|b"}}, "b"},
      // cases that would never end
      {__LINE__, "_outputString", "abc", {{"Replace_1", "|x"}}, "abc"},
      {__LINE__, "_outputString", "", {{"Replace_1", "|x"}}, ""},
      {__LINE__, "_outputString", "ab", {{"Replace_1", "a|aa"}}, "aab"},
      {__LINE__, "_outputString", "a", {{"Replace_1", "a|xax"}}, "xax"},
      {__LINE__, "_outputString", "aab", {{"Replace_1", "ab|bba"}}, "abba"},
      {__LINE__, "_outputString", "ab", {{"Replace_1", "ab|ba"}}, "ba"},
      // an empty replacement removes
      {__LINE__, "_outputString", "a-b--c", {{"Replace_1", "-|"}}, "abc"},
      // the entries come from the input, whose names ignore case
      {__LINE__, "_outputString", "a", {{"REPLACE_1", "a|b"}}, "b"},
      // only the exact name "_outputString" is special
      {__LINE__, "_OutputString", "a", {{"Replace_1", "a|b"}}, "a"},
      {__LINE__, "Other", "a", {{"Replace_1", "a|b"}}, "a"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    tessel::NameValueList input;
    for (const auto& [name, value] : row.input) input.Add(name, value);
    const tessel::NameValueList out = Translate({{row.name, row.expression}}, input);
    EXPECT_EQ(out.ValueOr(row.name), row.value);
  }
}

TEST(FieldMappings, OutputStringReplacementWithoutBarFails) {
  struct Row {
    int line;
    std::string replace1;
    std::string replace2;
  } rows[] = {
      {__LINE__, "abc", ""},
      {__LINE__, "", ""},
      {__LINE__, "a|b", "nobar"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    tessel::NameValueList input;
    input.Add("Replace_1", row.replace1);
    if (!row.replace2.empty()) input.Add("Replace_2", row.replace2);
    EXPECT_EQ(ErrorNumberOf([&] { Translate({{"_outputString", "x"}}, input); }), 9);
    // Other names never look at the entries.
    EXPECT_EQ(ErrorNumberOf([&] { Translate({{"Out", "x"}}, input); }), 0);
  }
}

TEST(FieldMappings, OutputStringReplacementNumbersOverflowPast32767) {
  tessel::NameValueList input;
  for (int n = 1; n <= 32766; ++n) input.Add("Replace_" + std::to_string(n), "q|r");
  EXPECT_EQ(Translate({{"_outputString", "q"}}, input).ValueOr("_outputString"), "r");
  input.Add("Replace_32767", "r|s");
  EXPECT_EQ(ErrorNumberOf([&] { Translate({{"_outputString", "q"}}, input); }), 6);
}

TEST(FieldMappings, ModifierFailuresEndTheTranslation) {
  struct Row {
    int line;
    std::string expression;
    std::string input;
    int error;
  } rows[] = {
      {__LINE__, "[A:index{-1}]", "A=x", 9},
      {__LINE__, "[A:substring{1|-2}]", "A=xyz", 5},
      {__LINE__, "[A:lefttrim{-2}]", "A=xyz", 5},
      {__LINE__, "[A:separate{0}]", "A=xyz", 5},
      {__LINE__, "[A:fixed{-2}]", "A=", 5},
      {__LINE__, "[A:index{-1}]", "A=", 0},   // an empty value passes
      {__LINE__, "[B:index{-1}]", "A=x", 0},  // a missing field runs nothing
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ErrorNumberOf([&] {
                Translate({{"Ok", "1"}, {"Out", row.expression}}, List(row.input));
              }),
              row.error);
  }
  tessel::NameValueList input;
  input.Add("A", std::string(32768, 'x'));
  EXPECT_EQ(ErrorNumberOf([&] { Translate({{"Out", "[A:lefttrim{1}]"}}, input); }), 6);
}

TEST(FieldMappings, DateTimePartsFormatTheCurrentInstant) {
  const ScopedFixedClock clock({2014, 3, 28, 14, 5, 9});
  struct Row {
    int line;
    std::string expression;
    std::string value;
  } rows[] = {
      {__LINE__, "[date:ccyymmdd]", "20140328"},
      {__LINE__, "[TIME:hhnn]", "1405"},
      {__LINE__, "[date:mm/dd/yyyy hh:nn:ss]", "03/28/2014 14:05:09"},
      {__LINE__, "Claim [date:yyyymmdd][br]", "Claim 20140328\r\n"},
      {__LINE__, "[date:]", "3/28/2014 2:05:09 PM"},  // the general form
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Translate({{"Out", row.expression}}, {}).ValueOr("Out"), row.value);
  }
}

// A clock that moves on by one second whenever it is read.
class TickingClock : public platform::Clock {
 public:
  explicit TickingClock(platform::OleDate start) : start_(start) {}
  platform::OleDate Now() const override {
    return platform::OleDate{start_.serial + static_cast<double>(reads_++) / 86400.0};
  }

 private:
  platform::OleDate start_;
  mutable std::atomic<int> reads_{0};
};

TEST(FieldMappings, OneCallUsesOneInstant) {
  platform::SetClock(std::make_shared<TickingClock>(platform::MakeDate({2014, 3, 28, 23, 59, 58})));
  FieldMappings set;
  set.AddFromString("A=[date:yyyymmddhhnnss];B=x;C=[time:yyyymmddhhnnss]-[date:ss]");
  const tessel::NameValueList first = set.TranslateFields({});
  const tessel::NameValueList second = set.TranslateFields({});
  platform::SetClock(nullptr);
  EXPECT_EQ(first.ValueOr("A"), "20140328235958");
  EXPECT_EQ(first.ValueOr("C"), "20140328235958-58");
  // The next call reads the clock again.
  EXPECT_EQ(second.ValueOr("A"), "20140328235959");
}

TEST(FieldMappings, DisplayAllPartsOfAMapping) {
  FieldMappings set;
  set.Add("Out", "x[A:trim]");
  EXPECT_EQ(set.DisplayAllParts("OUT"),
            (std::vector<std::string>{"Literal:       'x'", "Field:      A  trim"}));
  EXPECT_TRUE(set.DisplayAllParts("Missing").empty());
}

}  // namespace
}  // namespace marrow
