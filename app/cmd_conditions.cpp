// `quillon conditions TEXT [NAME=VALUE ...] [--fields FILE.json] [--text-mode]`
// evaluates a condition list written in its text form
// ('and|FormType|eq|UB04;or|Payer|is blank') against field values and prints
// "true" or "false", so that administrators can try the conditions of a
// mapping class before they put them into a mapping file.
//
// The text form carries no compare mode: every condition compares in binary
// mode (case-sensitive, numbers and dates detected) unless --text-mode sets
// text mode (case-insensitive, plain text) on all of them. Evaluation never
// fails: a condition that cannot be evaluated makes the list false. --explain
// prints the conditions as they were understood, one per line with its own
// result, before the answer.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command.h"
#include "app/field_args.h"
#include "mapping/conditions.h"
#include "platform/error.h"

namespace quillon::app {
namespace {

struct ConditionsOptions {
  std::string text;
  std::vector<std::string> fieldArgs;
  std::string fieldsFile;
  bool textMode = false;
  bool explain = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon conditions 'and|FormType|eq|UB04' FormType=UB04            prints true
  quillon conditions 'and|Amt|gt|9' Amt=10                            prints true (numbers)
  quillon conditions --text-mode 'and|Amt|gt|9' Amt=10                prints false (text)
  quillon conditions 'and|A|eq|1;or|B|eq|2;and|C|eq|3' A=x B=2 C=3     prints true, no precedence
  quillon conditions 'and|Payer|is blank' 'Payer=  '                  prints true
  quillon conditions 'and|Code|in list|A,B,C' Code=B                  prints true
  quillon conditions --explain --fields doc.json 'and|[Last:trim]|sw|Mc'
Operators and the text form: docs/conditions-and-mapping-files.md.)";

int Run(const ConditionsOptions& options) {
  const tessel::NameValueList fields = ReadFields(options.fieldArgs, options.fieldsFile);
  marrow::Conditions conditions;
  try {
    conditions.AddFromString(options.text);
  } catch (const platform::Error& e) {
    if (e.Number() != platform::err::kSubscriptOutOfRange) throw;
    // The library's error carries only the runtime's text; say what is wrong.
    throw platform::Error(e.Number(), e.Source(),
                          e.Description() +
                              " (a condition of three parts needs \"is blank\" or \"is not "
                              "blank\" as its operator)");
  }
  if (options.textMode) {
    for (const auto& condition : conditions) condition->SetCompareMode(marrow::vbTextCompare);
  }
  if (options.explain) {
    for (const auto& condition : conditions) {
      std::cout << marrow::Conditions::ConnectorString(condition->Connector()) << " "
                << condition->Operand1() << " "
                << marrow::Conditions::OperatorString(condition->Operator()) << " "
                << condition->Operand2() << " -> "
                << (condition->Evaluate(fields) ? "true" : "false") << "\n";
    }
  }
  std::cout << (conditions.Evaluate(fields) ? "true" : "false") << "\n";
  return FinishOutput();
}

const bool registered = RegisterCommand(
    30, "conditions", "Evaluate a condition list (text form) against field values",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<ConditionsOptions>();
      sub.add_option("conditions", options->text,
                     "Conditions as 'connector|operand1|operator|operand2' pieces joined by ';'")
          ->required();
      AddFieldOptions(sub, options->fieldArgs, options->fieldsFile);
      sub.add_flag("--text-mode", options->textMode,
                   "Compare case-insensitively as plain text (default: binary, with numbers "
                   "and dates)");
      sub.add_flag("--explain", options->explain,
                   "Print each condition as understood, with its own result, before the answer");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
