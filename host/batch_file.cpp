#include "host/batch_file.h"

#include <filesystem>

#include "host/batch_reader.h"
#include "host/host_file_error.h"
#include "platform/native_path.h"

namespace quillon {

namespace {

BatchDefinition ReadAll(BatchReader& reader) {
  BatchDefinition batch = reader.Batch();
  BatchDocument document;
  while (reader.Next(document)) batch.Documents.push_back(std::move(document));
  return batch;
}

}  // namespace

BatchDefinition ParseBatch(std::string_view json, const std::string& file) {
  BatchReader reader(json, file);
  return ReadAll(reader);
}

BatchDefinition LoadBatchFile(const std::string& path) {
  BatchReader reader(path);
  return ReadAll(reader);
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
