// `quillon check [--batch-class FILE] [--strict] [--json] PATH ...` loads
// mapping-class files the way a release does and looks for the mistakes the
// engine passes over in silence. For each file it reports either
//
//   PATH: OK (N classes, N conditions, N fields)          on standard output
//   PATH: error NUMBER at line N: DESCRIPTION             on standard error
//
// (the line is left out when it is not known), then every finding of the
// linter (mapping/mapping_lint.h), one per line on standard output:
//
//   PATH:LINE:COLUMN: error: unknown modifier "trimm": the engine ignores it
//     (did you mean "trim"?) [unknown-modifier]
//
// and, when there are findings, a line "N errors, N warnings".
//
// A PATH that is a directory stands for the three files of a mappings
// directory: DataMappings.xml, FieldMappings.xml and FeedOutputMappings.xml.
// With --batch-class, every field that an expression or condition reads is
// checked against what the document has at that point (the batch class's
// links, the batch-level fields, the reserved names, and what earlier levels
// and classes write); without a PATH the batch class's own mappings
// directory is checked. --json prints one object with the files and the
// findings instead.
//
// Exit code 0 when no file has an error (warnings are printed), 2 otherwise;
// --strict counts warnings as errors.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command.h"
#include "app/mapping_check.h"
#include "host/batch_class_file.h"
#include "platform/text.h"

namespace quillon::app {
namespace {

struct CheckOptions {
  std::vector<std::string> paths;
  std::string batchClassFile;
  bool strict = false;
  bool json = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon check /srv/mappings                 the three files of a mappings directory
  quillon check FieldMappings.xml other.xml
  quillon check --batch-class claims/batch-class.json
                                              the batch class's mappings, fields included
  quillon check --batch-class claims/batch-class.json --strict --json /srv/mappings
Findings: file:line:column: severity: message [kind]. The file format:
docs/conditions-and-mapping-files.md.)";

int Run(const CheckOptions& options) {
  std::vector<std::string> paths = options.paths;
  marrow::AvailableFields available;
  const bool withBatchClass = !options.batchClassFile.empty();
  if (withBatchClass) {
    const BatchClassDefinition batchClass = LoadBatchClassFile(options.batchClassFile);
    available = AvailableFieldsOf(batchClass);
    if (paths.empty()) {
      for (const HostCustomProperty& property :
           ResolvedCustomProperties(batchClass, options.batchClassFile)) {
        if (platform::text::EqualsCaseless(property.Name, "Mappings Directory") &&
            !property.Value.empty()) {
          paths.push_back(property.Value);
        }
      }
      if (paths.empty()) {
        throw InputError(options.batchClassFile +
                         ": no \"Mappings Directory\" to check; name the files or directories");
      }
    }
  }
  if (paths.empty()) throw InputError("check needs a PATH (or --batch-class)");

  const MappingCheck check = CheckMappingSets(paths, withBatchClass ? &available : nullptr);
  if (options.json) {
    std::cout << CheckJson(check).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
              << "\n";
  } else {
    PrintCheck(check, std::cout, std::cerr);
  }
  const int finished = FinishOutput();
  if (finished != kExitSuccess) return finished;
  return check.Passes(options.strict) ? kExitSuccess : kExitUsageOrInput;
}

const bool registered = RegisterCommand(
    50, "check", "Check mapping-class files: what they hold and the mistakes in them",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<CheckOptions>();
      sub.add_option("paths", options->paths,
                     "Mapping-class files, or mappings directories (their three files)");
      sub.add_option("--batch-class", options->batchClassFile,
                     "Batch-class file: check the fields read against its links (and check its "
                     "mappings directory when no PATH is given)");
      sub.add_flag("--strict", options->strict, "Count warnings as errors");
      sub.add_flag("--json", options->json, "Print the files and findings as one JSON object");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
