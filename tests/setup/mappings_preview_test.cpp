// The editor's live preview: field results and errors with their place,
// conditions, the class a release would choose, the sample field names.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/file_setup_data.h"
#include "setup/mappings_preview.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

tessel::NameValueList Samples() {
  tessel::NameValueList samples;
  samples.Add("Last", "  Doe ");
  samples.Add("First", "Jane");
  samples.Add("Amount", "12.5");
  samples.Add("Payer", "MC");
  return samples;
}

TEST(MappingsPreview, FieldResultsAndErrorsWithTheirPlace) {
  struct Case {
    int line;
    FieldRow row;
    std::string text;  // FieldPreview::Text()
    std::size_t position;
  };
  const Case cases[] = {
      {__LINE__, {"Name", "[Last:trim], [First]"}, "Doe, Jane", 0},
      {__LINE__, {"Amt", "[Amount:numeric{0.00}]"}, "12.50", 0},
      {__LINE__, {"Missing", "<[Nobody]>"}, "<>", 0},
      {__LINE__, {"", "[First]"}, "Jane", 0},  // a row without a name still shows its value
      {__LINE__, {"_newLineChar", "LF"}, "\n", 0},
      // Parse failures: the place of the failing bracketed item.
      {__LINE__, {"Bad", "[Last:lefttrim{x}]"}, "error 13 at 1: Type mismatch", 1},
      {__LINE__,
       {"Bad", "ab\xC3\xA9 [Last:trim] [Last:lefttrim{40000}]"},
       "error 6 at 17: Overflow",
       17},
      // A translation failure, found the same way.
      {__LINE__, {"Bad", "x[First:fixed{-1}]"}, "", 2},
  };
  const tessel::NameValueList samples = Samples();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const FieldPreview preview = PreviewField(c.row, samples);
    if (!c.text.empty()) {
      EXPECT_EQ(preview.Text(), c.text);
    } else {
      EXPECT_FALSE(preview.ok);
      EXPECT_EQ(preview.errorNumber, 5) << preview.Text();
    }
    EXPECT_EQ(preview.position, c.position);
  }
}

TEST(MappingsPreview, AFailureNoSingleItemExplainsHasNoPlace) {
  tessel::NameValueList samples;
  samples.Add("Replace_1", "no bar here");
  const FieldPreview preview = PreviewField({"_outputString", "text"}, samples);
  EXPECT_FALSE(preview.ok);
  EXPECT_EQ(preview.errorNumber, 9);
  EXPECT_EQ(preview.position, 0u);
  EXPECT_EQ(preview.Text().rfind("error 9: ", 0), 0u) << preview.Text();
}

TEST(MappingsPreview, ConditionsEachAndTogether) {
  using marrow::condAnd;
  using marrow::condOr;
  struct Case {
    int line;
    std::vector<ConditionRow> rows;
    std::vector<bool> each;
    bool all;
  };
  const Case cases[] = {
      {__LINE__, {}, {}, true},
      {__LINE__, {{condAnd, "Payer", marrow::condEquals, "MC", 0}}, {true}, true},
      {__LINE__,
       {{condAnd, "Payer", marrow::condEquals, "mc", 0},
        {condOr, "Payer", marrow::condEquals, "mc", marrow::vbTextCompare}},
       {false, true},
       true},
      // No precedence: (true OR false) AND false.
      {__LINE__,
       {{condAnd, "First", marrow::condStartsWith, "J", 0},
        {condOr, "First", marrow::condIsBlank, "", 0},
        {condAnd, "Amount", marrow::condGreaterThan, "100", 0}},
       {true, false, false},
       false},
      // Operand 2 is an expression over the samples.
      {__LINE__, {{condAnd, "Payer", marrow::condEquals, "[Payer]", 0}}, {true}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const ConditionsPreview preview = PreviewConditions(c.rows, Samples());
    EXPECT_EQ(preview.each, c.each);
    EXPECT_EQ(preview.all, c.all);
  }
}

// Every class whose conditions hold applies, each on what the classes
// before it left; the conditions of a later class see those values.
TEST(MappingsPreview, ALevelAppliesEveryClassWhoseConditionsHoldInOrder) {
  using marrow::condAnd;
  const std::vector<MappingClassRow> classes = {
      {"Medicaid", {{condAnd, "Payer", marrow::condEquals, "MD", 0}}, {{"Kind", "caid"}}},
      {"Medicare", {{condAnd, "Payer", marrow::condEquals, "MC", 0}}, {{"Kind", "care"}}},
      {"Broken", {}, {{"X", "[Last:lefttrim{x}]"}}},
      {"AfterMedicare",
       {{condAnd, "Kind", marrow::condEquals, "care", 0}},
       {{"Last", "[Last:trim]"}}},
      {"Everything", {}, {{"Seen", "[Kind]/[Last]"}}},
  };
  struct Case {
    int line;
    std::optional<std::size_t> inputOf;
    std::string input;  // the values reaching that class
  };
  const Case cases[] = {
      {__LINE__, std::nullopt, "Last=  Doe ;First=Jane;Amount=12.5;Payer=MC"},
      {__LINE__, 0, "Last=  Doe ;First=Jane;Amount=12.5;Payer=MC"},
      {__LINE__, 3, "Kind=care;Last=  Doe ;First=Jane;Amount=12.5;Payer=MC"},
      {__LINE__, 4, "Last=Doe;Kind=care;First=Jane;Amount=12.5;Payer=MC"},
      {__LINE__, 9, "Last=  Doe ;First=Jane;Amount=12.5;Payer=MC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const LevelPreview level = PreviewLevel(classes, Samples(), c.inputOf);
    EXPECT_EQ(level.applied, (std::vector<std::size_t>{1, 3, 4}));
    EXPECT_EQ(level.failed, std::vector<std::size_t>{2});
    EXPECT_EQ(level.input.ToString(), c.input);
  }
  EXPECT_TRUE(PreviewLevel({}, Samples()).applied.empty());
}

TEST(MappingsPreview, SampleNamesAreWhatAReleaseHandsTheMappings) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("class.json", R"({
    "name": "Claims",
    "customProperties": {},
    "indexFields": ["Patient Name", "Payer", "Amount"],
    "batchFields": ["Submitter", "Receiver"],
    "hostVariables": ["Batch ID"],
    "links": [
      { "destination": "PatientName", "sourceType": 0, "source": "Patient Name" },
      { "destination": "Payer", "sourceType": 0, "source": "Payer" },
      { "destination": "SubmitterName", "sourceType": 3, "source": "Submitter" },
      { "destination": "BATCH ID", "sourceType": 2, "source": "Batch ID" }
    ]
  })");
  FileSetupData setup(file);
  EXPECT_EQ(SampleFieldNames(setup),
            (std::vector<std::string>{"PatientName", "Payer", "SubmitterName", "BATCH ID",
                                      "Patient Name", "Amount", "Receiver"}));
}

}  // namespace
}  // namespace quillon
