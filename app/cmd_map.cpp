// `quillon map FILE.xml [NAME=VALUE ...] [--fields FILE.json]
//              [--include-unmapped] [--json]`
// loads one mapping-class file and translates the given field values through
// it with the collection's own translation: the first class whose conditions
// hold translates the values, and its name comes back as "_mapclassname".
// (A release applies every matching class of a level in turn; `quillon
// translate` previews that.) Prints
// the resulting list in order, one "name=value" per line, or as one JSON
// object with --json. When no class matches, the input comes back unchanged
// (and without "_mapclassname").
//
// A file that cannot be loaded prints "error NUMBER: DESCRIPTION" (with the
// line of the failure when known) and exits with 2.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/field_args.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"

namespace quillon::app {
namespace {

struct MapOptions {
  std::string file;
  std::vector<std::string> fieldArgs;
  std::string fieldsFile;
  bool includeUnmapped = false;
  bool json = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon map FieldMappings.xml FormType=UB04 Payer=ACME
  quillon map FieldMappings.xml --fields doc.json --include-unmapped
  quillon map DataMappings.xml --fields doc.json --json
Output: one name=value per line in list order ("_mapclassname" names the class
that applied); --json prints one object. The file format:
docs/conditions-and-mapping-files.md.
Only the FIRST class whose conditions hold applies here (the collection's own
translation). A release applies EVERY matching class of a level, in file
order, each on the result of the one before: `quillon translate` previews that.)";

void LoadWithPlace(marrow::ConditionalMappings& maps, const std::string& file) {
  try {
    maps.LoadFromXMLFile(file);
  } catch (const platform::Error& e) {
    const std::int32_t line = maps.LastLoadErrorLine();
    // Parser reasons already end with their place.
    if (line <= 0 || e.Description().find("(line ") != std::string::npos) throw;
    throw platform::Error(e.Number(), e.Source(),
                          e.Description() + " (" + file + " line " + std::to_string(line) + ")");
  }
}

int Run(const MapOptions& options) {
  const tessel::NameValueList fields = ReadFields(options.fieldArgs, options.fieldsFile);
  marrow::ConditionalMappings maps;
  LoadWithPlace(maps, options.file);
  const tessel::NameValueList out = maps.TranslateFields(fields, options.includeUnmapped);
  if (options.json) {
    using Json = nlohmann::ordered_json;
    Json object = Json::object();
    for (const auto& item : out) object[item.Name()] = item.Value();
    std::cout << object.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
  } else {
    for (const auto& item : out) std::cout << item.Name() << "=" << item.Value() << "\n";
  }
  return FinishOutput();
}

const bool registered =
    RegisterCommand(40, "map",
                    "Translate field values through the first matching class of a "
                    "mapping-class file",
                    [](CLI::App& sub) -> std::function<int()> {
                      auto options = std::make_shared<MapOptions>();
                      sub.add_option("file", options->file, "Mapping-class file (XML)")->required();
                      AddFieldOptions(sub, options->fieldArgs, options->fieldsFile);
                      sub.add_flag("--include-unmapped", options->includeUnmapped,
                                   "Keep the input fields that no mapping of the class produced");
                      sub.add_flag("--json", options->json, "Print the result as one JSON object");
                      sub.footer(kExamples);
                      return [options]() { return Run(*options); };
                    });

}  // namespace
}  // namespace quillon::app
