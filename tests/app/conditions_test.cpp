// `quillon conditions`: the built command evaluating a condition list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;

std::vector<std::string> Conditions(std::vector<std::string> args) {
  args.insert(args.begin(), {QUILLON_BIN, "conditions"});
  return args;
}

TEST(ConditionsCommand, PrintsTrueOrFalse) {
  struct Row {
    int line;
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {__LINE__, {"and|FormType|eq|UB04", "FormType=UB04"}, "true\n"},
      {__LINE__, {"and|FormType|eq|UB04", "FormType=ub04"}, "false\n"},
      {__LINE__, {"--text-mode", "and|FormType|eq|UB04", "FormType=ub04"}, "true\n"},
      {__LINE__, {"and|Amt|gt|9", "Amt=10"}, "true\n"},
      {__LINE__, {"and|Amt|gt|9", "Amt=10", "--text-mode"}, "false\n"},
      {__LINE__, {"and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=x", "B=2", "C=3"}, "true\n"},
      {__LINE__, {"and|A|eq|1;or|B|eq|2;and|C|eq|3", "A=1", "B=2", "C=x"}, "false\n"},
      {__LINE__, {"and|Payer|is blank", "Payer=  "}, "true\n"},
      {__LINE__, {"and|Code|in list|A,B,C", "Code=B"}, "true\n"},
      {__LINE__, {"and|Code|in list|A, B", "Code=B"}, "false\n"},
      {__LINE__, {""}, "true\n"},  // an empty list holds
      {__LINE__, {"and|[Last:trim]|sw|Mc", "Last=  McDonald"}, "true\n"},
      {__LINE__, {"and|Code|like|[Pattern]", "Code=B7", "Pattern=[A-C]#"}, "true\n"},
      {__LINE__, {"and|Code|like|[Pattern]", "Code=B7", "Pattern=[C-A]#"}, "false\n"},
      {__LINE__, {"--", "and|-x|eq|-x"}, "true\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto result = RunCommand(Conditions(row.args));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, "");
  }
}

TEST(ConditionsCommand, FieldsFromAJsonFileAndExplain) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("doc.json", R"({"A": "1", "B": "x"})");
  const auto result =
      RunCommand(Conditions({"--explain", "--fields", file, "or|A|eq|1;and|B|ne|x", "B=y"}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "and A equals 1 -> true\nand B not equal x -> true\ntrue\n");
}

TEST(ConditionsCommand, ThreePartPieceWithAnotherOperatorIsAnError) {
  const auto result = RunCommand(Conditions({"and|A|eq", "A=1"}));
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "error 9: Subscript out of range (a condition of three parts needs \"is blank\" or "
            "\"is not blank\" as its operator)\n");
}

TEST(ConditionsCommand, UsageErrors) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"and|A|eq|1", "NoEquals"},
                                               {"and|A|eq|1", "--fields", "/nonexistent/x.json"}}) {
    const auto result = RunCommand(Conditions(args));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
  }
}

}  // namespace
