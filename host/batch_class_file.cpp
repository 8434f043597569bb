#include "host/batch_class_file.h"

#include <cstring>
#include <unordered_map>

#include "host/host_file_error.h"
#include "host/json_reader_internal.h"
#include "platform/file_replace.h"
#include "platform/native_path.h"
#include "platform/text.h"

namespace quillon {

using hostjson::Json;
using hostjson::Reader;

namespace {

// Names that ignore letter case must not be written twice.
class NameSet {
 public:
  void Add(const Reader& reader, const std::string& name, const std::string& pointer) {
    const auto [it, inserted] = seen_.try_emplace(platform::text::LCase(name), pointer);
    if (!inserted) {
      reader.Fail(pointer, "the name \"" + name + "\" is given twice (also at " + it->second +
                               "; names ignore letter case)");
    }
  }

 private:
  std::unordered_map<std::string, std::string> seen_;
};

std::vector<std::string> ReadNames(const Reader& reader, const Json& root, std::string_view key) {
  const std::string pointer = "/" + std::string(key);
  const Json& array = reader.Member(root, "", key);
  reader.ExpectArray(array, pointer);
  std::vector<std::string> names;
  names.reserve(array.size());
  NameSet seen;
  for (std::size_t i = 0; i < array.size(); ++i) {
    const std::string at = pointer + "/" + std::to_string(i);
    names.push_back(reader.TextValue(array[i], at, false));
    seen.Add(reader, names.back(), at);
  }
  return names;
}

}  // namespace

BatchClassDefinition ParseBatchClass(std::string_view json, const std::string& file) {
  const Reader reader(file);
  const Json root = hostjson::Parse(json, file);
  reader.ExpectObject(
      root, "",
      {"name", "customProperties", "indexFields", "batchFields", "hostVariables", "links"});

  BatchClassDefinition result;
  result.Name = reader.Text(root, "", "name");

  const Json& properties = reader.Member(root, "", "customProperties");
  reader.ExpectAnyObject(properties, "/customProperties");
  NameSet propertyNames;
  for (const auto& [name, value] : properties.items()) {
    const std::string at = "/customProperties/" + hostjson::Token(name);
    if (name.empty()) reader.Fail(at, "a custom property needs a name");
    propertyNames.Add(reader, name, at);
    result.CustomProperties.push_back({name, reader.TextValue(value, at)});
  }

  result.IndexFields = ReadNames(reader, root, "indexFields");
  result.BatchFields = ReadNames(reader, root, "batchFields");
  result.HostVariables = ReadNames(reader, root, "hostVariables");

  const Json& links = reader.Member(root, "", "links");
  reader.ExpectArray(links, "/links");
  for (std::size_t i = 0; i < links.size(); ++i) {
    const std::string at = "/links/" + std::to_string(i);
    const Json& link = links[i];
    reader.ExpectObject(link, at, {"destination", "sourceType", "source"});
    HostLink out;
    out.Destination = reader.Text(link, at, "destination", false);
    out.SourceType = reader.Int32(link, at, "sourceType");
    if (out.SourceType != kSourceIndexField && out.SourceType != kSourceHostVariable &&
        out.SourceType != kSourceBatchField) {
      reader.Fail(at + "/sourceType",
                  "must be 0 (index field), 2 (host variable) or 3 (batch "
                  "field), not " +
                      std::to_string(out.SourceType));
    }
    out.Source = reader.Text(link, at, "source", false);
    result.Links.push_back(std::move(out));
  }
  return result;
}

bool IsDirectoryProperty(std::string_view name) {
  using platform::text::EqualsCaseless;
  return EqualsCaseless(name, "Mappings Directory") || EqualsCaseless(name, "Logging Directory") ||
         EqualsCaseless(name, "Working Directory");
}

namespace {
// Empty, or naming a root, a drive or a share: taken as it is.
bool KeptAsWritten(const std::string& directory) {
  const std::string_view trimmed = platform::text::Trim(directory);
  return trimmed.empty() || platform::IsPathSeparator(trimmed.front()) ||
         platform::DriveLetterOf(trimmed) != '\0';
}
}  // namespace

std::string ResolveBatchClassDirectory(const std::string& batchClassFile,
                                       const std::string& directory) {
  if (KeptAsWritten(directory)) return directory;
  const std::filesystem::path relative(platform::ToNativePath(directory));
  const std::filesystem::path folder = std::filesystem::path(batchClassFile).parent_path();
  return (folder / relative).lexically_normal().string();
}

std::string BatchClassRelativeDirectory(const std::string& batchClassFile,
                                        const std::string& directory) {
  if (KeptAsWritten(directory)) return directory;
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  if (ec) return directory;
  const std::filesystem::path target =
      (here / platform::ToNativePath(directory)).lexically_normal();
  const std::filesystem::path folder =
      (here / std::filesystem::path(batchClassFile).parent_path()).lexically_normal();
  const std::filesystem::path relative = target.lexically_relative(folder);
  return relative.empty() ? target.string() : relative.string();
}

std::vector<HostCustomProperty> ResolvedCustomProperties(const BatchClassDefinition& batchClass,
                                                         const std::string& batchClassFile) {
  std::vector<HostCustomProperty> properties = batchClass.CustomProperties;
  for (HostCustomProperty& property : properties) {
    if (IsDirectoryProperty(property.Name)) {
      property.Value = ResolveBatchClassDirectory(batchClassFile, property.Value);
    }
  }
  return properties;
}

BatchClassDefinition LoadBatchClassFile(const std::string& path) {
  return ParseBatchClass(hostjson::ReadTextFile(path), path);
}

std::string BatchClassToJson(const BatchClassDefinition& batchClass) {
  Json root = Json::object();
  root["name"] = batchClass.Name;
  Json properties = Json::object();
  for (const HostCustomProperty& p : batchClass.CustomProperties) properties[p.Name] = p.Value;
  root["customProperties"] = std::move(properties);
  root["indexFields"] = batchClass.IndexFields;
  root["batchFields"] = batchClass.BatchFields;
  root["hostVariables"] = batchClass.HostVariables;
  Json links = Json::array();
  for (const HostLink& l : batchClass.Links) {
    Json link = Json::object();
    link["destination"] = l.Destination;
    link["sourceType"] = l.SourceType;
    link["source"] = l.Source;
    links.push_back(std::move(link));
  }
  root["links"] = std::move(links);
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SaveBatchClassFile(const std::string& path, const BatchClassDefinition& batchClass) {
  const int error = platform::ReplaceFileContents(path, BatchClassToJson(batchClass));
  if (error != 0) {
    throw HostFileError(path, "", std::string("cannot be written (") + std::strerror(error) + ")");
  }
}

}  // namespace quillon
