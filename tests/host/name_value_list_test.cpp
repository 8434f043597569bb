// NameValueList: order, 1-based positions, replacement in place, the text
// form both ways, and names that ignore letter case (ASCII and Latin-1).
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "platform/error.h"
#include "platform/text.h"

namespace tessel {
namespace {

std::string Names(const NameValueList& list) {
  std::string out;
  for (const NameValue& item : list) out += item.Name() + "|";
  return out;
}

TEST(NameValueList, KeepsOrderOfAdditionWithOneBasedPositions) {
  NameValueList list;
  list.Add("B", "2");
  list.Add("A", "1");
  list.Add("C", "3");
  EXPECT_EQ(list.Count(), 3);
  ASSERT_NE(list.Item(1), nullptr);
  EXPECT_EQ(list.Item(1)->Name(), "B");
  EXPECT_EQ(list.Item(3)->Value(), "3");
  EXPECT_EQ(list.Item(0), nullptr);
  EXPECT_EQ(list.Item(4), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_EQ(list.Item(std::int64_t{1} << 40), nullptr);
  EXPECT_EQ(Names(list), "B|A|C|");
}

TEST(NameValueList, AddOfAPresentNameReplacesInPlaceKeepingItsSpelling) {
  NameValueList list;
  list.Add("_recordFooter", "~");
  list.Add("Other", "x");
  const NameValue& replaced = list.Add("_RECORDFOOTER", "~\r\n");
  EXPECT_EQ(&replaced, list.Item(1));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(1)->Name(), "_recordFooter");
  EXPECT_EQ(list.Item(1)->Value(), "~\r\n");
  EXPECT_EQ(list.ToString(), "_recordFooter=~\r\n;Other=x");
}

TEST(NameValueList, NamesIgnoreLetterCaseIncludingLatin1) {
  NameValueList list;
  list.Add("Émile Straße", "1");
  list.Add("naïve", "2");
  struct Row {
    int line;
    const char* name;
    bool found;
    const char* value;
  } rows[] = {
      {__LINE__, "Émile Straße", true, "1"},
      {__LINE__, "émile straße", true, "1"},
      {__LINE__, "ÉMILE STRAßE", true, "1"},  // ß has no single upper-case letter here
      {__LINE__, "NAÏVE", true, "2"},
      {__LINE__, "naive", false, ""},  // a different letter, not a case form
      {__LINE__, "Emile Straße", false, ""},
      {__LINE__, "naïve ", false, ""},  // names are not trimmed
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(list.Exists(row.name), row.found);
    const NameValue* item = list.Item(row.name);
    EXPECT_EQ(item != nullptr, row.found);  // Item agrees with Exists
    EXPECT_EQ(list.ValueOr(row.name, "none"), row.found ? row.value : "none");
  }
}

TEST(NameValueList, NameMatchingAgreesWithTheTextHelpersOnAnyBytes) {
  // Lookups fold case byte by byte without allocating; they must agree with
  // platform::text::LCase on every input, broken UTF-8 included.
  const std::string alphabet[] = {"a",    "A",    "Z",    "z",    "@",        "[",
                                  "`",    "{",    "_",    "9",    "\xC3",     "\x80",
                                  "\x9E", "\x97", "\xA0", "\xBE", "\xC3\x89", "\xC3\xA9"};
  std::mt19937 random(7);
  auto make = [&] {
    std::string s;
    const int n = static_cast<int>(random() % 20);
    for (int i = 0; i < n; ++i) s += alphabet[random() % std::size(alphabet)];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string a = make();
    // Half of the pairs are the same name in another letter case.
    const std::string b = round % 2 == 0 ? make() : platform::text::UCase(a);
    NameValueList list;
    list.Add(a, "x");
    SCOPED_TRACE(testing::PrintToString(a) + " / " + testing::PrintToString(b));
    EXPECT_EQ(list.Exists(b), platform::text::LCase(a) == platform::text::LCase(b));
  }
}

TEST(NameValueList, ValueOfAMissingNameRaisesError5) {
  NameValueList list;
  list.Add("A", "1");
  EXPECT_EQ(list.Value("a"), "1");
  try {
    list.Value("B");
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), platform::err::kInvalidProcedureCall);
  }
}

TEST(NameValueList, RemoveKeepsTheOthersFindableAndInOrder) {
  NameValueList list;
  for (const char* name : {"A", "DOCTYPE", "B", "C"}) list.Add(name, name);
  list.Remove("doctype");
  list.Remove("not there");  // nothing happens
  EXPECT_EQ(Names(list), "A|B|C|");
  EXPECT_FALSE(list.Exists("DOCTYPE"));
  EXPECT_EQ(list.Item("B"), list.Item(2));
  EXPECT_EQ(list.Item("C"), list.Item(3));
  list.Add("doctype", "again");  // a removed name comes back at the end
  EXPECT_EQ(Names(list), "A|B|C|doctype|");
  list.Remove("A");
  EXPECT_EQ(list.Item("doctype")->Value(), "again");
  EXPECT_EQ(list.Item(3)->Name(), "doctype");
}

TEST(NameValueList, ClearEmptiesNamesAndPositions) {
  NameValueList list;
  list.Add("A", "1");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(list.Exists("A"));
  EXPECT_EQ(list.Item(1), nullptr);
  list.Add("a", "2");
  EXPECT_EQ(list.ToString(), "a=2");
}

TEST(NameValueList, AddFromStringReadsPairs) {
  struct Row {
    int line;
    const char* text;
    const char* pair;
    const char* value;
    const char* expected;  // ToString(";", "=") of the result
  } rows[] = {
      {__LINE__, "A=1;B=2", ";", "=", "A=1;B=2"},
      {__LINE__, "", ";", "=", ""},
      {__LINE__, "A=1;;B=2;", ";", "=", "A=1;B=2"},                // empty pieces skipped
      {__LINE__, "A=1;junk;B=2", ";", "=", "A=1;B=2"},             // a piece without "=" is skipped
      {__LINE__, "A=x=y", ";", "=", "A=x=y"},                      // split at the first "="
      {__LINE__, "A=;B=", ";", "=", "A=;B="},                      // empty values kept
      {__LINE__, "A=1;a=2", ";", "=", "A=2"},                      // same name: replaced in place
      {__LINE__, "M:Male|F:Female", "|", ":", "M=Male;F=Female"},  // lookup tables
      {__LINE__, "K1:=v1<>K2:=v2", "<>", ":=", "K1=v1;K2=v2"},     // longer delimiters
      {__LINE__, "A=1;B=2", "", "=", "A=1;B=2"},                   // no pair delimiter: one piece
      {__LINE__, "A=1", ";", "", ""},              // no value delimiter: nothing to read
      {__LINE__, " A = 1 ", ";", "=", " A = 1 "},  // blanks are part of name and value
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    NameValueList list;
    list.AddFromString(row.text, row.pair, row.value, true);
    EXPECT_EQ(list.ToString(";", "="), row.expected);
  }
}

TEST(NameValueList, AddFromStringAppendsToWhatIsThere) {
  NameValueList list;
  list.Add("Z", "0");
  list.Add("A", "old");
  list.AddFromString("A=new;B=1");
  EXPECT_EQ(list.ToString(), "Z=0;A=new;B=1");
}

TEST(NameValueList, TextFormRoundTrips) {
  NameValueList list;
  list.Add("Patient Name", "MÜLLER, JOSÉ");
  list.Add("_outputString", "ISA*00*~GS*HC~");
  list.Add("Empty", "");
  struct Row {
    int line;
    const char* pair;
    const char* value;
  } rows[] = {
      {__LINE__, ";", "="},
      {__LINE__, "|", ":"},
      {__LINE__, "\r\n", "\t"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    NameValueList copy;
    copy.AddFromString(list.ToString(row.pair, row.value), row.pair, row.value);
    EXPECT_EQ(copy.ToString(), list.ToString());
  }
}

TEST(NameValueList, CopiesAreIndependent) {
  NameValueList list;
  list.Add("A", "1");
  NameValueList copy = list;
  copy.Add("a", "2");
  copy.Add("B", "3");
  EXPECT_EQ(list.ToString(), "A=1");
  EXPECT_EQ(copy.ToString(), "A=2;B=3");
  EXPECT_EQ(copy.Item("b"), copy.Item(2));
}

TEST(NameValueList, ManyEntriesStayFindable) {
  NameValueList list;
  for (int i = 0; i < 5000; ++i) list.Add("Field" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < 5000; i += 2) list.Remove("FIELD" + std::to_string(i));
  ASSERT_EQ(list.Count(), 2500);
  for (int i = 1; i < 5000; i += 2) {
    const NameValue* item = list.Item("field" + std::to_string(i));
    ASSERT_NE(item, nullptr) << i;
    ASSERT_EQ(item, list.Item((i + 1) / 2)) << i;
  }
}

TEST(NameValueList, AddByExchangeHandsBackThePreviousValue) {
  NameValueList list;
  list.Add("A", "1");
  std::string value = "2";
  const NameValue& updated = list.AddByExchange("a", value);
  EXPECT_EQ(&updated, list.Item(1));
  EXPECT_EQ(value, "1");  // the old text, for the caller to reuse
  value = "3";
  list.AddByExchange("B", NameValueList::HashOf("b"), value);
  EXPECT_EQ(value, "");  // a new entry had no value before
  EXPECT_EQ(list.ToString(), "A=2;B=3");
}

TEST(NameValueList, InsertKeepsAnEntryThatIsThere) {
  NameValueList list;
  const auto [first, added] = list.Insert("Name", "1");
  EXPECT_TRUE(added);
  const auto [again, addedAgain] = list.Insert("NAME", "2");
  EXPECT_FALSE(addedAgain);
  EXPECT_EQ(again, first);
  EXPECT_EQ(list.ToString(), "Name=1");
}

TEST(NameValueList, PermuteAndRespellKeepEveryNameFindable) {
  NameValueList list;
  for (const char* name : {"A", "b", "Ç", "D"}) list.Add(name, name);
  list.Permute({3, 0, 2, 1});
  EXPECT_EQ(list.ToString(), "D=D;A=A;Ç=Ç;b=b");
  EXPECT_TRUE(list.Respell(1, "a"));
  EXPECT_TRUE(list.Respell(2, "ç"));   // Latin-1 letters fold too
  EXPECT_FALSE(list.Respell(3, "c"));  // another name: left as it is
  EXPECT_FALSE(list.Respell(9, "b"));  // no such position
  EXPECT_EQ(list.ToString(), "D=D;a=A;ç=Ç;b=b");
  for (const char* name : {"d", "A", "Ç", "B"}) {
    SCOPED_TRACE(name);
    ASSERT_NE(list.Item(name), nullptr);
  }
  EXPECT_EQ(list.Item("b"), list.Item(4));
  list.Add("e", "5");
  EXPECT_EQ(list.Item(5)->Name(), "e");
}

TEST(NameValueList, LookupsWithAKeptHashAgreeWithLookupsByName) {
  std::mt19937 random(11);
  const std::string letters = "aAbBzZ_09 \xC3\x89\xC3\xA9";
  NameValueList list;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    std::string name;
    for (int n = static_cast<int>(random() % 24); n > 0; --n) {
      name += letters[random() % letters.size()];
    }
    names.push_back(name);
    list.Add(name, std::to_string(i));
  }
  for (const std::string& name : names) {
    const std::string upper = platform::text::UCase(name);
    EXPECT_EQ(list.Item(name, NameValueList::HashOf(name)), list.Item(name));
    EXPECT_EQ(list.Item(upper, NameValueList::HashOf(upper)), list.Item(upper));
    EXPECT_EQ(NameValueList::HashOf(name), NameValueList::HashOf(upper));
  }
}

// A list whose entries were cleared, removed, assigned over or moved away
// keeps their memory for what is added next; whatever it held before, it
// must then behave exactly as a new list given the same calls.
void FillWithEarlierFields(NameValueList& list, int count) {
  for (int i = 0; i < count; ++i) {
    list.Add("An earlier field with a long name " + std::to_string(i), std::string(40, 'x'));
  }
}

TEST(NameValueList, AListUsedBeforeBehavesAsANewOne) {
  constexpr auto fill = FillWithEarlierFields;
  const struct {
    const char* name;
    void (*prepare)(NameValueList&);
  } cases[] = {
      {"new", [](NameValueList&) {}},
      {"cleared after many",
       [](NameValueList& l) {
         fill(l, 50);
         l.Clear();
       }},
      {"cleared after few",
       [](NameValueList& l) {
         fill(l, 2);
         l.Clear();
       }},
      {"entries removed, then cleared",
       [](NameValueList& l) {
         fill(l, 5);
         l.Remove("An earlier field with a long name 1");
         l.Remove("An earlier field with a long name 3");
         l.Clear();
       }},
      {"a shorter list assigned over it",
       [](NameValueList& l) {
         fill(l, 30);
         NameValueList shorter;
         shorter.Add("Gone", "1");
         l = shorter;
         l.Remove("gone");
       }},
      {"moved away",
       [](NameValueList& l) {
         fill(l, 30);
         NameValueList elsewhere = std::move(l);
         EXPECT_EQ(elsewhere.Count(), 30);
       }},
      {"permuted, then cleared",
       [](NameValueList& l) {
         fill(l, 3);
         l.Remove("An earlier field with a long name 0");
         l.Permute({1, 0});
         l.Clear();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NameValueList list;
    c.prepare(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Names(list), "");
    EXPECT_EQ(list.Item(1), nullptr);
    EXPECT_FALSE(list.Exists("An earlier field with a long name 0"));

    list.Add("Patient Last Name", "Doe");
    list.Add("b", "2");
    list.Insert("Service Date Column", "03/01/2024~03/02/2024");
    std::string exchanged = "exchanged value that is long";
    list.AddByExchange("Exchanged", exchanged);
    EXPECT_EQ(exchanged, "");  // a new entry hands back no text
    list.Add("PATIENT LAST NAME", "Roe");
    list.Remove("B");
    list.Add("e", "5");
    list.Permute({3, 0, 1, 2});
    EXPECT_TRUE(list.Respell(1, "patient last name"));

    EXPECT_EQ(list.ToString(),
              "e=5;patient last name=Roe;Service Date Column=03/01/2024~03/02/2024;"
              "Exchanged=exchanged value that is long");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(std::distance(list.begin(), list.end()), 4);
    EXPECT_EQ(list.Item(5), nullptr);
    EXPECT_EQ(list.Item("Patient Last Name"), list.Item(2));
    EXPECT_EQ(list.Item("EXCHANGED"), list.Item(4));
    EXPECT_FALSE(list.Exists("b"));

    const NameValueList copy = list;
    EXPECT_EQ(copy.ToString(), list.ToString());
    EXPECT_EQ(copy.Item("service date column")->Value(), "03/01/2024~03/02/2024");
    NameValueList assigned;
    fill(assigned, 9);
    assigned = list;
    EXPECT_EQ(assigned.ToString(), list.ToString());
    EXPECT_EQ(Names(assigned), Names(list));
    EXPECT_EQ(assigned.Item("e"), assigned.Item(1));
  }
}

}  // namespace
}  // namespace tessel
