// `quillon eval EXPRESSION [NAME=VALUE ...] [--fields FILE.json]
//               [--name MAPPING_NAME] [--json] [--parts]`
// translates one value expression against the given field values, the way a
// mapping file's field mapping is translated, so that administrators can try
// an expression before they put it into a mapping file.
//
// The expression becomes the only mapping of a set, named "_eval" unless
// --name says otherwise (so "--name _newLineChar" or "--name _outputString"
// show what those names do). The translated value is printed followed by one
// newline; --json prints {"value": "..."}. --parts prints how the expression
// parses instead, one line per part, without translating: each field with
// every modifier as written, in the order the modifiers run, and the items
// that do nothing marked "(ignored: ...)". A failing
// expression prints "error NUMBER: DESCRIPTION" and exits with 2.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/field_args.h"
#include "mapping/field_mappings.h"
#include "mapping/mapping_lint.h"
#include "platform/text.h"

namespace quillon::app {
namespace {

struct EvalOptions {
  std::string expression;
  std::vector<std::string> fieldArgs;
  std::string fieldsFile;
  std::string name = "_eval";
  bool json = false;
  bool parts = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon eval '[Amt:numeric{#\,##0.00}]' Amt=1234.5       prints 1,234.50
  quillon eval '[D:date{ccyymmdd}]' D=032814                prints 20140328
  quillon eval '[Last], [First:trim]' Last=Doe 'First= Jane' prints Doe, Jane
  quillon eval '[Sex:lookup{M:Male|F:Female|*:Unknown}]' Sex=F
  quillon eval 'Claim [date:ccyymmdd][br]' --json
  quillon eval --parts '[List:index{2:\,},trim]'
  quillon eval --name _newLineChar cr --json                prints {"value":"\r\n"}
  quillon eval --fields doc.json '[PatientLast:fixed{10}]|'
  quillon eval -- '-[A]-' A=x                               prints -x- ("--" ends the options)
The notation and every modifier: docs/expressions.md.
)";

int Run(const EvalOptions& options) {
  if (platform::text::Trim(options.name).empty()) {
    throw InputError("--name must name the mapping (it is blank)");
  }
  marrow::FieldMappings set;
  set.Add(options.name, options.expression);

  using Json = nlohmann::ordered_json;
  if (options.parts) {
    const std::vector<std::string> lines = marrow::DescribeExpression(options.expression);
    if (options.json) {
      std::cout << Json{{"parts", lines}}.dump(-1, ' ', false, Json::error_handler_t::replace)
                << "\n";
    } else {
      for (const std::string& line : lines) std::cout << line << "\n";
    }
  } else {
    const tessel::NameValueList fields = ReadFields(options.fieldArgs, options.fieldsFile);
    const tessel::NameValueList out = set.TranslateFields(fields, false);
    const std::string value = out.ValueOr(options.name);
    if (options.json) {
      std::cout << Json{{"value", value}}.dump(-1, ' ', false, Json::error_handler_t::replace)
                << "\n";
    } else {
      std::cout << value << "\n";
    }
  }
  return FinishOutput();
}

const bool registered = RegisterCommand(
    20, "eval", "Translate one value expression against field values",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<EvalOptions>();
      sub.add_option("expression", options->expression,
                     "Value expression, e.g. '[Amt:numeric{0.00}]' (after \"--\" it may start "
                     "with \"-\")")
          ->required();
      AddFieldOptions(sub, options->fieldArgs, options->fieldsFile);
      sub.add_option("--name", options->name,
                     "Name of the mapping (default _eval; _newLineChar and _outputString have "
                     "their own rules)");
      sub.add_flag("--json", options->json, "Print {\"value\": ...} as JSON");
      sub.add_flag("--parts", options->parts,
                   "Print how the expression parses, one line per part (every modifier, in the "
                   "order they run), instead of its value");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
