#include "host/batch_file.h"

#include <filesystem>
#include <unordered_map>

#include "host/host_file_error.h"
#include "host/json_reader_internal.h"
#include "platform/native_path.h"

namespace quillon {

using hostjson::Json;
using hostjson::Reader;

namespace {

tessel::NameValueList ReadFields(const Reader& reader, const Json& object,
                                 const std::string& pointer) {
  reader.ExpectAnyObject(object, pointer);
  tessel::NameValueList fields;
  for (const auto& [name, value] : object.items()) {
    const std::string at = pointer + "/" + hostjson::Token(name);
    if (name.empty()) reader.Fail(at, "a field needs a name");
    if (fields.Exists(name)) {
      reader.Fail(at, "the field \"" + name + "\" is given twice (names ignore letter case)");
    }
    fields.Add(name, reader.TextValue(value, at));
  }
  return fields;
}

}  // namespace

BatchDefinition ParseBatch(std::string_view json, const std::string& file) {
  const Reader reader(file);
  const Json root = hostjson::Parse(json, file);
  reader.ExpectObject(
      root, "",
      {"batchClass", "name", "id", "description", "classNumber", "batchFields", "documents"});
  BatchDefinition batch;
  batch.BatchClass = reader.Text(root, "", "batchClass", false);
  batch.Name = reader.Text(root, "", "name");
  batch.Id = reader.Text(root, "", "id");
  batch.Description = reader.Text(root, "", "description");
  batch.ClassNumber = reader.Int32(root, "", "classNumber");
  batch.BatchFields = ReadFields(reader, reader.Member(root, "", "batchFields"), "/batchFields");

  const Json& documents = reader.Member(root, "", "documents");
  reader.ExpectArray(documents, "/documents");
  std::unordered_map<std::int32_t, std::size_t> seenIds;
  batch.Documents.reserve(documents.size());
  for (std::size_t i = 0; i < documents.size(); ++i) {
    const std::string at = "/documents/" + std::to_string(i);
    const Json& document = documents[i];
    reader.ExpectObject(document, at, {"id", "className", "classId", "indexFields"});
    BatchDocument out;
    out.Id = reader.Int32(document, at, "id");
    const auto [it, inserted] = seenIds.try_emplace(out.Id, i);
    if (!inserted) {
      reader.Fail(at + "/id", "duplicate document id " + std::to_string(out.Id) +
                                  " (also /documents/" + std::to_string(it->second) + "/id)");
    }
    out.ClassName = reader.Text(document, at, "className");
    out.ClassId = reader.Int32(document, at, "classId");
    out.IndexFields =
        ReadFields(reader, reader.Member(document, at, "indexFields"), at + "/indexFields");
    batch.Documents.push_back(std::move(out));
  }
  return batch;
}

BatchDefinition LoadBatchFile(const std::string& path) {
  return ParseBatch(hostjson::ReadTextFile(path), path);
}

std::string ResolveBatchClassPath(const std::string& batchFile, const BatchDefinition& batch) {
  const std::string native = platform::ToNativePath(batch.BatchClass);
  if (native.empty()) {
    throw HostFileError(batchFile, "/batchClass",
                        "the drive of \"" + batch.BatchClass + "\" is not mapped to a folder");
  }
  const std::filesystem::path named(native);
  if (named.is_absolute()) return named.string();
  return (std::filesystem::path(batchFile).parent_path() / named).lexically_normal().string();
}

}  // namespace quillon
