#include "app/mapping_check.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/text.h"

namespace quillon::app {
namespace {

constexpr const char* kLevelFiles[] = {"DataMappings.xml", "FieldMappings.xml",
                                       "FeedOutputMappings.xml"};

// The fields a release adds to the list when it opens the batch (and
// translates them through the levels once).
constexpr const char* kBatchLevelFields[] = {"Batch Class Name",  "Batch ID",
                                             "Batch Description", "Batch Name",
                                             "Document Class ID", "Document Class Name"};

// Names through which the mappings steer the release and the translation.
constexpr const char* kReservedFields[] = {"_generateServiceLine",
                                           "_ServiceLineOutput",
                                           "_ServiceTableDelimiter",
                                           "_createFeed",
                                           "_outputString",
                                           "_recordFooter",
                                           "STATUS",
                                           "_header",
                                           "_footer",
                                           "_outputFileName",
                                           "_outputDirectory",
                                           "_Common",
                                           "_newLineChar"};
constexpr const char* kReservedPrefixes[] = {"_ServiceLineValue", "_ServiceLineReqFields",
                                             "Replace_"};

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(platform::ToNativePath(path), ec);
}

std::string Join(const std::string& folder, const char* name) {
  const bool endsWithSeparator = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
  return folder + (endsWithSeparator ? "" : "/") + name;
}

FileLoad Load(const std::string& file) {
  FileLoad load;
  marrow::ConditionalMappings maps;
  try {
    maps.LoadFromXMLFile(file);
  } catch (const platform::Error& e) {
    load.errorNumber = e.Number();
    load.errorLine = maps.LastLoadErrorLine();
    load.errorDescription = e.Description();
    return load;
  }
  load.loaded = true;
  load.classes = maps.Count();
  for (const auto& mapping : maps) {
    load.conditions += mapping->MapConditions().Count();
    load.fields += mapping->FieldMaps().Count();
  }
  return load;
}

// The level (0-based) of a file named like a level file, or -1.
int LevelOf(const std::string& file) {
  const std::string name = std::filesystem::path(platform::ToNativePath(file)).filename().string();
  for (int i = 0; i < 3; ++i) {
    if (platform::text::EqualsCaseless(name, kLevelFiles[i])) return i;
  }
  return -1;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintFinding(const marrow::LintFinding& finding, std::ostream& out) {
  out << finding.file;
  if (finding.line > 0) {
    out << ":" << finding.line;
    if (finding.column > 0) out << ":" << finding.column;
  }
  out << ": " << marrow::SeverityText(finding.severity) << ": " << finding.message << " ["
      << finding.kind << "]\n";
}

void PrintCount(const MappingCheck& check, std::ostream& out) {
  out << Plural(check.Errors(), "error", "errors") << ", "
      << Plural(check.Warnings(), "warning", "warnings") << "\n";
}

}  // namespace

std::vector<std::string> LevelFilesOf(const std::string& directory) {
  std::vector<std::string> files;
  for (const char* name : kLevelFiles) files.push_back(Join(directory, name));
  return files;
}

std::size_t MappingCheck::Errors() const {
  std::size_t n = 0;
  for (const CheckedFile& file : files) {
    n += file.lint.Count(marrow::LintSeverity::kError);
    // A load failure the linter did not see as an error of its own still
    // stops a release.
    if (!file.load.loaded && file.lint.Count(marrow::LintSeverity::kError) == 0) ++n;
  }
  return n;
}

std::size_t MappingCheck::Warnings() const {
  std::size_t n = 0;
  for (const CheckedFile& file : files) n += file.lint.Count(marrow::LintSeverity::kWarning);
  return n;
}

bool MappingCheck::Passes(bool strict) const {
  return Errors() == 0 && (!strict || Warnings() == 0);
}

marrow::AvailableFields AvailableFieldsOf(const BatchClassDefinition& batchClass) {
  marrow::AvailableFields available;
  for (const HostLink& link : batchClass.Links) available.names.push_back(link.Destination);
  for (const char* name : kBatchLevelFields) available.names.emplace_back(name);
  for (const char* name : kReservedFields) available.names.emplace_back(name);
  for (const char* prefix : kReservedPrefixes) available.prefixes.emplace_back(prefix);
  return available;
}

MappingCheck CheckMappingSets(const std::vector<std::string>& paths,
                              const marrow::AvailableFields* available) {
  MappingCheck check;
  for (const std::string& path : paths) {
    std::vector<std::string> files;
    std::size_t context = 0;
    if (IsDirectory(path)) {
      files = LevelFilesOf(path);
    } else {
      // The earlier levels beside a level file write fields it may read.
      const int level = available != nullptr ? LevelOf(path) : -1;
      const std::filesystem::path native(platform::ToNativePath(path));
      for (int i = 0; i < level; ++i) {
        const std::string sibling = (native.parent_path() / kLevelFiles[i]).string();
        std::error_code ec;
        if (std::filesystem::is_regular_file(sibling, ec)) files.push_back(sibling);
      }
      context = files.size();
      files.push_back(path);
    }
    std::vector<marrow::LintedFile> linted;
    linted.reserve(files.size());
    for (const std::string& file : files) linted.push_back(marrow::LintMappingFile(file));
    if (available != nullptr) marrow::CheckFieldAvailability(linted, *available, context);
    for (std::size_t i = context; i < linted.size(); ++i) {
      check.files.push_back({std::move(linted[i]), Load(files[i])});
    }
  }
  return check;
}

void PrintCheck(const MappingCheck& check, std::ostream& out, std::ostream& err) {
  bool printed = false;
  for (const CheckedFile& file : check.files) {
    const FileLoad& load = file.load;
    if (load.loaded) {
      out << file.lint.file << ": OK (" << Plural(load.classes, "class", "classes") << ", "
          << Plural(load.conditions, "condition", "conditions") << ", "
          << Plural(load.fields, "field", "fields") << ")\n";
    } else {
      out.flush();
      err << file.lint.file << ": error " << load.errorNumber;
      if (load.errorLine > 0) err << " at line " << load.errorLine;
      err << ": " << load.errorDescription << "\n";
      err.flush();
    }
    for (const marrow::LintFinding& finding : file.lint.findings) {
      // The line above already tells why the file cannot be read at all.
      if (finding.kind == "unreadable-file" || finding.kind == "xml-error") continue;
      PrintFinding(finding, out);
      printed = true;
    }
  }
  if (printed) PrintCount(check, out);
}

void PrintFindings(const MappingCheck& check, std::ostream& out) {
  bool printed = false;
  for (const CheckedFile& file : check.files) {
    for (const marrow::LintFinding& finding : file.lint.findings) PrintFinding(finding, out);
    if (!file.load.loaded && file.lint.Count(marrow::LintSeverity::kError) == 0) {
      out << file.lint.file << ": error: " << file.load.errorDescription << " (error "
          << file.load.errorNumber << ")\n";
      printed = true;
    }
    printed = printed || !file.lint.findings.empty();
  }
  if (printed) PrintCount(check, out);
}

nlohmann::ordered_json CheckJson(const MappingCheck& check) {
  using Json = nlohmann::ordered_json;
  Json files = Json::array();
  Json findings = Json::array();
  for (const CheckedFile& file : check.files) {
    Json entry = Json::object();
    entry["file"] = file.lint.file;
    entry["loaded"] = file.load.loaded;
    if (file.load.loaded) {
      entry["classes"] = file.load.classes;
      entry["conditions"] = file.load.conditions;
      entry["fields"] = file.load.fields;
      entry["error"] = nullptr;
    } else {
      entry["error"] = {{"number", file.load.errorNumber},
                        {"line", file.load.errorLine},
                        {"description", file.load.errorDescription}};
    }
    files.push_back(std::move(entry));
    for (const marrow::LintFinding& finding : file.lint.findings) {
      findings.push_back(
          {{"kind", finding.kind},
           {"severity", marrow::SeverityText(finding.severity)},
           {"file", finding.file},
           {"line", finding.line},
           {"column", finding.column},
           {"message", finding.message},
           {"suggestion", finding.suggestion.empty() ? Json(nullptr) : Json(finding.suggestion)}});
    }
  }
  Json root = Json::object();
  root["files"] = std::move(files);
  root["findings"] = std::move(findings);
  root["errors"] = check.Errors();
  root["warnings"] = check.Warnings();
  return root;
}

}  // namespace quillon::app
