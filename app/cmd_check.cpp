// `quillon check PATH ...` loads mapping-class files the way a release does
// and reports, for each file, either
//
//   PATH: OK (N classes, N conditions, N fields)          on standard output
//   PATH: error NUMBER at line N: DESCRIPTION             on standard error
//
// A PATH that is a directory stands for the three files of a mappings
// directory: DataMappings.xml, FieldMappings.xml and FeedOutputMappings.xml.
// The line is left out when it is not known (a file that cannot be read).
// Exit code 0 when every file loads, 2 otherwise.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/native_path.h"

namespace quillon::app {
namespace {

struct CheckOptions {
  std::vector<std::string> paths;
};

constexpr const char* kExamples = R"(Examples:
  quillon check /srv/mappings                 the three files of a mappings directory
  quillon check FieldMappings.xml other.xml
The file format: docs/conditions-and-mapping-files.md.)";

// The files of a mappings directory, in the order a release loads them.
constexpr const char* kLevelFiles[] = {"DataMappings.xml", "FieldMappings.xml",
                                       "FeedOutputMappings.xml"};

std::vector<std::string> FilesOf(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_directory(platform::ToNativePath(path), ec)) return {path};
  const bool endsWithSeparator = !path.empty() && (path.back() == '/' || path.back() == '\\');
  std::vector<std::string> files;
  for (const char* name : kLevelFiles)
    files.push_back(path + (endsWithSeparator ? "" : "/") + name);
  return files;
}

bool CheckFile(const std::string& file) {
  marrow::ConditionalMappings maps;
  try {
    maps.LoadFromXMLFile(file);
  } catch (const platform::Error& e) {
    std::cout.flush();
    std::cerr << file << ": error " << e.Number();
    if (maps.LastLoadErrorLine() > 0) std::cerr << " at line " << maps.LastLoadErrorLine();
    std::cerr << ": " << e.Description() << "\n";
    return false;
  }
  long conditions = 0;
  long fields = 0;
  for (const auto& mapping : maps) {
    conditions += mapping->MapConditions().Count();
    fields += mapping->FieldMaps().Count();
  }
  std::cout << file << ": OK (" << maps.Count() << (maps.Count() == 1 ? " class, " : " classes, ")
            << conditions << (conditions == 1 ? " condition, " : " conditions, ") << fields
            << (fields == 1 ? " field)" : " fields)") << "\n";
  return true;
}

int Run(const CheckOptions& options) {
  bool allLoaded = true;
  for (const std::string& path : options.paths) {
    for (const std::string& file : FilesOf(path)) allLoaded = CheckFile(file) && allLoaded;
  }
  std::cout.flush();
  return allLoaded ? kExitSuccess : kExitUsageOrInput;
}

const bool registered = RegisterCommand(
    50, "check", "Load mapping-class files and report what they hold or where they fail",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<CheckOptions>();
      sub.add_option("paths", options->paths,
                     "Mapping-class files, or mappings directories (their three files)")
          ->required();
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
