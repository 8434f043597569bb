#include <gtest/gtest.h>

#include "platform/error.h"
#include "release/document_pipeline.h"
#include "release/expression_cache.h"
#include "release_fixtures.h"

namespace {

using quillon::DocumentPipeline;
using Pairs = std::vector<std::pair<std::string, std::string>>;

tessel::NameValueList ListOf(const Pairs& pairs) {
  tessel::NameValueList list;
  for (const auto& [name, value] : pairs) list.Add(name, value);
  return list;
}

// Column 1 of the examples below: the code of each row.
const Pairs kCodeColumn = {
    {"_generateServiceLine", "Y"},
    {"_ServiceTableDelimiter", "|"},
    {"_ServiceLineValue1", "(Code:index{&n:|})"},
};

Pairs With(Pairs base, const Pairs& more) {
  for (const auto& pair : more) base.push_back(pair);
  return base;
}

TEST(ServiceLineColumn, RequirementForms) {
  struct Row {
    int line;
    Pairs fields;
    std::string populated;  // text form of the result
  } rows[] = {
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A|B|C"}, {"Void", "||X"}, {"_ServiceLineReqFields1", "Code~!Void"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_1=A;_ServiceLineValue1_2=B"},
      // "#Amt|Zero" with a single-cell comparison value.
      {__LINE__,
       With(kCodeColumn, {{"Code", "A|B|C"},
                          {"Amt", "10| 0 |5"},
                          {"Zero", "0"},
                          {"_ServiceLineReqFields1", "Code~#Amt|Zero"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_1=A;_ServiceLineValue1_3=C"},
      // The comparison value taken cell by cell.
      {__LINE__,
       With(kCodeColumn, {{"Code", "A|B|C"},
                          {"Amt", "1|2|3"},
                          {"Was", "1|9|3"},
                          {"_ServiceLineReqFields1", "Code~#Amt|Was"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_2=B"},
      // A missing comparison field compares with the empty text.
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A|B"}, {"Amt", "1|"}, {"_ServiceLineReqFields1", "Code~#Amt|Nothing"}}),
       "Halvo_PopulateServiceLines_TotalLine=2;_ServiceLineValue1_1=A"},
      // "!" in front of "#": the "!" rule decides.
      {__LINE__,
       With(kCodeColumn, {{"Code", "A|B|C"},
                          {"Amt", "10||0"},
                          {"Zero", "0"},
                          {"_ServiceLineReqFields1", "Code~!#Amt|Zero"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_2=B"},
      // A "#" entry first: the driving field is the name before "|".
      {__LINE__,
       With(kCodeColumn, {{"Amt", "1|0"},
                          {"Code", "A|B"},
                          {"Zero", "0"},
                          {"_ServiceLineReqFields1", "#Amt|Zero"}}),
       "Halvo_PopulateServiceLines_TotalLine=2;_ServiceLineValue1_1=A"},
      // A "!" entry first: the driving field is the name after "!".
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A|B|C"}, {"Void", "| |X"}, {"_ServiceLineReqFields1", "!Void~Code"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_1=A;_ServiceLineValue1_2=B"},
      // "!#" first: only the "!" is taken off, so "#Amt|Zero" names no field:
      // one row, and with the delimiter never read Amt is one whole cell,
      // not blank, so the "!" rule rejects the row.
      {__LINE__,
       With(kCodeColumn, {{"Amt", "1|0"},
                          {"Code", "A|B"},
                          {"Zero", "0"},
                          {"_ServiceLineReqFields1", "!#Amt|Zero"}}),
       "Halvo_PopulateServiceLines_TotalLine=1"},
      // Missing driving field: one row with an empty cell, which fails.
      {__LINE__, With(kCodeColumn, {{"Code", "A|B"}, {"_ServiceLineReqFields1", "Nothing"}}),
       "Halvo_PopulateServiceLines_TotalLine=1"},
      // Empty driving value: one empty row as well.
      {__LINE__, With(kCodeColumn, {{"Code", ""}, {"_ServiceLineReqFields1", "Code"}}),
       "Halvo_PopulateServiceLines_TotalLine=1"},
      // Blank means empty after trimming blanks.
      {__LINE__, With(kCodeColumn, {{"Code", "A|  |C"}, {"_ServiceLineReqFields1", "Code"}}),
       "Halvo_PopulateServiceLines_TotalLine=3;_ServiceLineValue1_1=A;_ServiceLineValue1_3=C"},
      // Letter case counts in comparisons.
      {__LINE__,
       With(kCodeColumn, {{"Code", "A|B"},
                          {"Kind", "x|X"},
                          {"Ref", "x"},
                          {"_ServiceLineReqFields1", "Code~#Kind|Ref"}}),
       "Halvo_PopulateServiceLines_TotalLine=2;_ServiceLineValue1_2=B"},
      // A failing entry hides the malformed one behind it.
      {__LINE__, With(kCodeColumn, {{"Code", "|"}, {"_ServiceLineReqFields1", "Code~#Broken"}}),
       "Halvo_PopulateServiceLines_TotalLine=2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    DocumentPipeline pipeline;
    const tessel::NameValueList res = pipeline.ServiceLineColumn(
        "_ServiceLineValue1", "_ServiceLineReqFields1", ListOf(row.fields));
    EXPECT_EQ(res.ToString(";", "="), row.populated);
  }
}

TEST(ServiceLineColumn, RowNumbersInTheColumnTemplate) {
  const tessel::NameValueList fields =
      ListOf({{"_ServiceTableDelimiter", ","},
              {"Code", "A,B"},
              {"_ServiceLineReqFields1", "Code"},
              {"_ServiceLineValue1", "(Code:index{&n:\\,})#&n+1/&n"}});
  DocumentPipeline pipeline;
  EXPECT_EQ(pipeline.ServiceLineColumn("_ServiceLineValue1", "_ServiceLineReqFields1", fields)
                .ToString(";", "="),
            "Halvo_PopulateServiceLines_TotalLine=2;_ServiceLineValue1_1=A#1/0;"
            "_ServiceLineValue1_2=B#2/1");
}

TEST(ServiceLineColumn, Failures) {
  struct Row {
    int line;
    Pairs fields;
    const char* fieldName;
    int number;
    std::string description;
  } rows[] = {
      {__LINE__, With(kCodeColumn, {{"Code", "A|B|C"}, {"_ServiceLineReqFields1", "Code~#Amt"}}),
       "_ServiceLineValue1", 9,
       "The service line requirement \"#Amt\" has no comparison field (\"#name|other\")"},
      {__LINE__, With(kCodeColumn, {{"Code", "A|B|C"}, {"_ServiceLineReqFields1", "#Code"}}),
       "_ServiceLineValue1", 5,
       "The service line requirement \"#Code\" has no comparison field (\"#name|other\")"},
      // A column with fewer cells than the driving field, at its first
      // missing row.
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A|B|C"}, {"Mod", "X|Y"}, {"_ServiceLineReqFields1", "Code~Mod"}}),
       "_ServiceLineValue1", 9,
       "The service line field \"Mod\" has 2 cell(s), fewer than the driving field (row 3)"},
      // The same for a comparison field of several cells.
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A|B|C"}, {"Zero", "0|0"}, {"_ServiceLineReqFields1", "Code~#Code|Zero"}}),
       "_ServiceLineValue1", 9,
       "The service line field \"Zero\" has 2 cell(s), fewer than the driving field (row 3)"},
      {__LINE__,
       {{"Code", "A|B"}, {"_ServiceLineValue1", "x"}, {"_ServiceLineReqFields1", "Code"}},
       "_ServiceLineValue1",
       5,
       "The field \"_ServiceTableDelimiter\" is missing"},
      {__LINE__, With(kCodeColumn, {{"Code", "A"}, {"_ServiceLineReqFields1", "Code"}}),
       "_ServiceLineValue7", 5, "The field \"_ServiceLineValue7\" is missing"},
      {__LINE__, With(kCodeColumn, {{"Code", "A"}, {"_ServiceLineReqFields1", ""}}),
       "_ServiceLineValue1", 9,
       "The service line requirements \"_ServiceLineReqFields1\" are empty"},
      // A column template that is not a valid expression.
      {__LINE__,
       {{"_ServiceTableDelimiter", "|"},
        {"Code", "A"},
        {"_ServiceLineReqFields1", "Code"},
        {"_ServiceLineValue1", "(Code:lefttrim{x})"}},
       "_ServiceLineValue1",
       13,
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    DocumentPipeline pipeline;
    try {
      pipeline.ServiceLineColumn(row.fieldName, "_ServiceLineReqFields1", ListOf(row.fields));
      FAIL() << "expected a failure";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      if (!row.description.empty()) {
        EXPECT_EQ(e.Description(), row.description);
      }
    }
  }
}

TEST(ServiceLineColumn, MissingOrEmptyColumnGivesEmptyCells) {
  // Only a field that has a value but too few cells fails.
  for (const char* mod : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(mod ? "empty" : "missing");
    Pairs fields = With(kCodeColumn, {{"Code", "A|B|C"}, {"_ServiceLineReqFields1", "Code~!Mod"}});
    if (mod) fields.emplace_back("Mod", mod);
    DocumentPipeline pipeline;
    EXPECT_EQ(
        pipeline.ServiceLineColumn("_ServiceLineValue1", "_ServiceLineReqFields1", ListOf(fields))
            .Count(),
        4);
  }
}

TEST(GenerateServiceLines, BuildsOneLinePerRow) {
  const Pairs twoColumns =
      With(kCodeColumn,
           {
               {"_ServiceLineReqFields1", "Code"},
               {"_ServiceLineValue2", "(Mod:index{&n:|})"},
               {"_ServiceLineReqFields2", "Mod"},
               {"_ServiceLineOutput", "SV*&n*(_ServiceLineValue1_&n)*(_ServiceLineValue2_&n)~"},
           });
  struct Row {
    int line;
    Pairs fields;
    std::string lines;
  } rows[] = {
      {__LINE__, With(twoColumns, {{"Code", "A|B|C"}, {"Mod", "X|Y|Z"}}),
       "SV*1*A*X~SV*2*B*Y~SV*3*C*Z~"},
      // Columns with different row counts: as many rows as the largest
      // column; a missing entry translates as a missing field (nothing).
      {__LINE__, With(twoColumns, {{"Code", "A|B|C"}, {"Mod", "X"}}), "SV*1*A*X~SV*2*B*~SV*3*C*~"},
      {__LINE__, With(twoColumns, {{"Code", "A"}, {"Mod", "X|Y"}}), "SV*1*A*X~SV*2**Y~"},
      // Rows that do not qualify keep their number.
      {__LINE__, With(twoColumns, {{"Code", "A||C"}, {"Mod", "X||Z"}}),
       "SV*1*A*X~SV*2**~SV*3*C*Z~"},
      // Empty delimiter: no splitting at all, one row.
      {__LINE__,
       {{"_generateServiceLine", ""},
        {"_ServiceTableDelimiter", ""},
        {"Code", "A|B"},
        {"_ServiceLineValue1", "(Code)"},
        {"_ServiceLineReqFields1", "Code"},
        {"_ServiceLineOutput", "SV*(_ServiceLineValue1_&n)~"}},
       "SV*A|B~"},
      // A delimiter of several characters splits at the whole sequence.
      {__LINE__,
       {{"_generateServiceLine", "Y"},
        {"_ServiceTableDelimiter", "||"},
        {"Code", "A||B|C"},
        {"_ServiceLineValue1", "(Code:index{&n:||})"},
        {"_ServiceLineReqFields1", "Code"},
        {"_ServiceLineOutput", "<(_ServiceLineValue1_&n)>"}},
       "<A><B|C>"},
      // Missing driving field: the row count is 1 but nothing qualifies.
      {__LINE__,
       {{"_generateServiceLine", "Y"},
        {"_ServiceTableDelimiter", "|"},
        {"_ServiceLineValue1", "(Code)"},
        {"_ServiceLineReqFields1", "Code"},
        {"_ServiceLineOutput", "SV*&n*(_ServiceLineValue1_&n)~"}},
       "SV*1*~"},
      // An empty "_ServiceLineOutput" produces nothing; so does a missing one.
      {__LINE__,
       With(With(kCodeColumn, {{"Code", "A|B"}, {"_ServiceLineReqFields1", "Code"}}),
            {{"_ServiceLineOutput", ""}}),
       ""},
      {__LINE__, With(kCodeColumn, {{"Code", "A|B"}, {"_ServiceLineReqFields1", "Code"}}), ""},
      // Columns stop at the first k without both fields.
      {__LINE__,
       With(kCodeColumn,
            {{"Code", "A"},
             {"_ServiceLineReqFields1", "Code"},
             {"_ServiceLineValue3", "never"},
             {"_ServiceLineReqFields3", "Code"},
             {"_ServiceLineOutput", "(_ServiceLineValue1_&n)(_ServiceLineValue3_&n)"}}),
       "A"},
      // Not asked for.
      {__LINE__,
       {{"Code", "A"},
        {"_ServiceLineValue1", "(Code)"},
        {"_ServiceLineReqFields1", "Code"},
        {"_ServiceLineOutput", "x"}},
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    DocumentPipeline pipeline;
    EXPECT_EQ(pipeline.GenerateServiceLines(ListOf(row.fields)), row.lines);
  }
}

TEST(GenerateServiceLines, KeptExpressionsGiveTheSameLines) {
  // With batch state the parsed row expressions are kept between documents.
  auto batch = std::make_shared<quillon::BatchState>();
  DocumentPipeline kept;
  kept.SetBatch(batch);
  DocumentPipeline fresh;
  for (const char* codes : {"A|B|C", "X|Y", "A|B|C"}) {
    SCOPED_TRACE(codes);
    const tessel::NameValueList fields =
        ListOf(With(kCodeColumn, {{"Code", codes},
                                  {"_ServiceLineReqFields1", "Code"},
                                  {"_ServiceLineOutput", "SV*&n*(_ServiceLineValue1_&n)~"}}));
    EXPECT_EQ(kept.GenerateServiceLines(fields), fresh.GenerateServiceLines(fields));
  }
  EXPECT_EQ(batch->Expressions().Size(), 6u);  // three rows x (column, output line)
  // An expression that fails to parse fails every time.
  const tessel::NameValueList broken = ListOf({{"_generateServiceLine", "Y"},
                                               {"_ServiceTableDelimiter", "|"},
                                               {"Code", "A"},
                                               {"_ServiceLineReqFields1", "Code"},
                                               {"_ServiceLineValue1", "(Code:lefttrim{x})"}});
  for (int i = 0; i < 2; ++i) {
    try {
      kept.GenerateServiceLines(broken);
      FAIL() << "expected 13";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), 13);
    }
  }
}

TEST(GenerateServiceLines, ValuesPassThroughTheListTextForm) {
  // Populated values holding ";" are cut by the merge of the columns, as the
  // lists' text form makes them; values holding "=" survive it.
  const tessel::NameValueList fields =
      ListOf(With(kCodeColumn, {{"Code", "a;b|c=d"},
                                {"_ServiceLineReqFields1", "Code"},
                                {"_ServiceLineOutput", "<(_ServiceLineValue1_&n)>"}}));
  DocumentPipeline pipeline;
  EXPECT_EQ(pipeline.GenerateServiceLines(fields), "<a><c=d>");
}

TEST(GenerateServiceLines, LogsRequirementsRowsAndOutput) {
  release_testing::ScopedLog log;
  DocumentPipeline pipeline;
  pipeline.GenerateServiceLines(
      ListOf(With(kCodeColumn, {{"Code", "A|"}, {"_ServiceLineReqFields1", "Code"}})));
  const std::vector<std::string> expected = {
      "POpulateServiceLInes, --ReqFieldName---------_ServiceLineReqFields1 : value : Code",
      "POpulateServiceLInes, --ReqFieldName---------True",
      "POpulateServiceLInes, --ReqFieldName---------False",
      "POpulateServiceLInes, --serviceLines output---------"
      "Halvo_PopulateServiceLines_TotalLine=2;_ServiceLineValue1_1=A",
  };
  EXPECT_EQ(log.Lines(), expected);
}

}  // namespace
