#include "release/field_work_list.h"

#include <random>

#include <gtest/gtest.h>

#include "mapping/field_mappings.h"

namespace {

using quillon::FieldWorkList;

tessel::NameValueList ListOf(const std::vector<std::pair<std::string, std::string>>& pairs) {
  tessel::NameValueList list;
  for (const auto& [name, value] : pairs) list.Add(name, value);
  return list;
}

// The mapped output of one class, as TranslateFields(list, false) gives it.
using Mapped = std::vector<std::pair<std::string, std::string>>;

// What applying the classes one after the other means: each class's mapped
// fields first, then the fields of the list before it that it does not map.
tessel::NameValueList Reference(const tessel::NameValueList& input,
                                const std::vector<Mapped>& classes) {
  tessel::NameValueList list = input;
  for (const Mapped& mapped : classes) {
    tessel::NameValueList next = ListOf(mapped);
    for (const tessel::NameValue& entry : list) {
      if (!next.Exists(entry.Name())) next.Add(entry.Name(), entry.Value());
    }
    list = std::move(next);
  }
  return list;
}

tessel::NameValueList Worked(const tessel::NameValueList& input,
                             const std::vector<Mapped>& classes) {
  FieldWorkList work(input);
  for (const Mapped& mapped : classes) work.Apply(ListOf(mapped));
  return work.Materialize();
}

TEST(FieldWorkList, MatchesApplyingClassesOneAfterTheOther) {
  struct Row {
    int line;
    std::vector<std::pair<std::string, std::string>> input;
    std::vector<Mapped> classes;
    std::string expected;
  } rows[] = {
      {__LINE__, {{"A", "1"}, {"B", "2"}}, {}, "A=1;B=2"},
      {__LINE__,
       {{"A", "1"}, {"B", "2"}, {"C", "3"}},
       {{{"C", "x"}, {"New", "n"}}},
       "C=x;New=n;A=1;B=2"},
      // A mapped name takes the mapping's spelling; later unmapped it keeps it.
      {__LINE__, {{"claim", "1"}, {"B", "2"}}, {{{"Claim", "9"}}, {{"B", "3"}}}, "B=3;Claim=9"},
      // Each class sees the order the one before left.
      {__LINE__,
       {{"A", "1"}, {"B", "2"}, {"C", "3"}},
       {{{"B", "b"}}, {{"C", "c"}}, {{"A", "a"}}},
       "A=a;C=c;B=b"},
      // A class that maps nothing changes nothing.
      {__LINE__, {{"A", "1"}, {"B", "2"}}, {{}, {{"B", "x"}}, {}}, "B=x;A=1"},
      // Mapping order decides among the mapped fields.
      {__LINE__, {{"A", "1"}}, {{{"Z", "z"}, {"a", "2"}, {"M", "m"}}}, "Z=z;a=2;M=m"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const tessel::NameValueList input = ListOf(row.input);
    EXPECT_EQ(Worked(input, row.classes).ToString(";", "="), row.expected);
    EXPECT_EQ(Reference(input, row.classes).ToString(";", "="), row.expected);
  }
}

TEST(FieldWorkList, RandomClassSequencesAgreeWithTheReference) {
  // Names from a small pool in varying letter case, so classes keep hitting
  // fields that are already there.
  const std::vector<std::string> pool = {"Claim",         "claim", "CLAIM", "Amt", "amt", "Code",
                                         "_outputString", "Payer", "payer", "X",   "Y",   "Z"};
  std::mt19937 random(12345);
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE(round);
    tessel::NameValueList input;
    for (std::size_t i = pick(6); i > 0; --i)
      input.Add(pool[pick(pool.size())], std::to_string(pick(100)));
    std::vector<Mapped> classes(pick(6));
    for (Mapped& mapped : classes) {
      tessel::NameValueList unique;  // a class maps a name once (any case)
      for (std::size_t i = pick(5); i > 0; --i)
        unique.Add(pool[pick(pool.size())], std::to_string(pick(100)));
      for (const auto& entry : unique) mapped.emplace_back(entry.Name(), entry.Value());
    }
    FieldWorkList work(input);
    tessel::NameValueList reference = input;
    for (const Mapped& mapped : classes) {
      work.Apply(ListOf(mapped));
      reference = Reference(reference, {mapped});
      // Lookups see the values of the reference at every step.
      for (const auto& entry : reference) {
        ASSERT_EQ(work.List().ValueOr(entry.Name(), "<missing>"), entry.Value());
      }
      ASSERT_EQ(work.List().Count(), reference.Count());
    }
    work.Add("_ServiceLineOutput", "s");
    reference.Add("_ServiceLineOutput", "s");
    work.Add("claim", "again");
    reference.Add("claim", "again");
    EXPECT_EQ(work.Materialize().ToString(";", "="), reference.ToString(";", "="));
  }
}

TEST(FieldWorkList, ApplyingMappingsAgreesWithApplyingTheirTranslation) {
  // Classes whose values read fields the classes before them changed, with
  // fields added between the classes; each work list is also taken at the
  // end, which must give the same list as Materialize.
  const std::vector<std::string> names = {"Claim", "claim", "Amt", "AMT", "Code", "X", "Y"};
  const std::vector<std::string> expressions = {"[Claim]-[Amt]", "lit", "[code:trim]",
                                                "[X][y]",        "",    "[Amt:numeric{0.00}]"};
  std::mt19937 random(2024);
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    tessel::NameValueList input;
    for (std::size_t i = pick(5); i > 0; --i) {
      input.Add(names[pick(names.size())], std::to_string(pick(50)));
    }
    FieldWorkList direct(input);
    FieldWorkList translated(input);
    FieldWorkList reused;  // one work list used for two documents
    reused.Reset(ListOf({{"Stale", "x"}}));
    reused.Apply(ListOf({{"Stale", "y"}}));
    reused.Take();
    reused.Reset(input);
    for (std::size_t c = pick(5); c > 0; --c) {
      marrow::FieldMappings mappings;
      for (std::size_t m = pick(4); m > 0; --m) {
        mappings.Add(names[pick(names.size())], expressions[pick(expressions.size())]);
      }
      translated.Apply(mappings.TranslateFields(translated.List(), false));
      direct.Apply(mappings);
      reused.Apply(mappings);
      if (pick(3) == 0) {
        const std::string name = names[pick(names.size())];
        for (FieldWorkList* work : {&direct, &translated, &reused}) work->Add(name, "added");
      }
    }
    const std::string expected = translated.Materialize().ToString(";", "=");
    EXPECT_EQ(direct.Materialize().ToString(";", "="), expected);
    const tessel::NameValueList taken = direct.Take();
    EXPECT_EQ(taken.ToString(";", "="), expected);
    for (const tessel::NameValue& entry : taken) {
      ASSERT_EQ(taken.Item(entry.Name()), &entry);  // the index follows the new order
    }
    EXPECT_EQ(reused.Take().ToString(";", "="), expected);
  }
}

TEST(FieldWorkList, TheInputListIsNotChanged) {
  const tessel::NameValueList input = ListOf({{"A", "1"}});
  FieldWorkList work(input);
  work.Apply(ListOf({{"A", "2"}}));
  work.Add("B", "3");
  EXPECT_EQ(input.ToString(";", "="), "A=1");
  EXPECT_EQ(work.Materialize().ToString(";", "="), "A=2;B=3");
}

TEST(FieldWorkList, AgreesWithTranslateFieldsKeepingUnmappedFields) {
  marrow::FieldMappings first;
  first.Add("Total", "[amt:trim]");
  first.Add("CODE", "[Code]-x");
  marrow::FieldMappings second;
  second.Add("Out", "[CODE]/[Total]");
  const tessel::NameValueList input = ListOf({{"Code", "A"}, {"Amt", " 5 "}, {"Other", "o"}});

  const tessel::NameValueList chained =
      second.TranslateFields(first.TranslateFields(input, true), true);
  FieldWorkList work(input);
  work.Apply(first.TranslateFields(work.List(), false));
  work.Apply(second.TranslateFields(work.List(), false));
  EXPECT_EQ(work.Materialize().ToString(";", "="), chained.ToString(";", "="));
  EXPECT_EQ(chained.ToString(";", "="), "Out=A-x/5;Total=5;CODE=A-x;Amt= 5 ;Other=o");
}

}  // namespace
