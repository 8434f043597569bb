#include "host/file_setup_data.h"

#include <algorithm>

#include "host/host_file_error.h"
#include "platform/error.h"
#include "platform/text.h"

namespace quillon {

namespace {
// The classic runtime's "Path/File access error".
constexpr int kPathFileAccessError = 75;

std::string LinkKey(std::string_view destination, std::int32_t sourceType,
                    std::string_view source) {
  std::string key = std::to_string(sourceType);
  key.push_back('\0');
  key.append(source);
  key.push_back('\0');
  key.append(destination);
  return key;
}
}  // namespace

FileSetupData::FileSetupData(std::string batchClassFile) : file_(std::move(batchClassFile)) {
  BatchClassDefinition loaded = LoadBatchClassFile(file_);
  name_ = std::move(loaded.Name);
  // The setup side sees directories as the release does: relative ones
  // resolved against the batch-class file's folder.
  properties_ = CustomPropertyCollection(ResolvedCustomProperties(loaded, file_));
  links_.Assign(std::move(loaded.Links));
  indexFields_.items = std::move(loaded.IndexFields);
  batchFields_.items = std::move(loaded.BatchFields);
  hostVariables_.items = std::move(loaded.HostVariables);
}

BatchClassDefinition FileSetupData::Current() const {
  BatchClassDefinition out;
  out.Name = name_;
  out.CustomProperties = properties_.All();
  out.IndexFields = indexFields_.items;
  out.BatchFields = batchFields_.items;
  out.HostVariables = hostVariables_.items;
  out.Links = links_.All();
  return out;
}

void FileSetupData::Apply() {
  try {
    BatchClassDefinition onDisk = LoadBatchClassFile(file_);
    std::vector<HostCustomProperty> properties = properties_.All();
    for (HostCustomProperty& property : properties) {
      if (!IsDirectoryProperty(property.Name)) continue;
      // A directory that still means what the file says keeps the file's
      // text; a changed one is written relative to the file's folder.
      const auto stored =
          std::find_if(onDisk.CustomProperties.begin(), onDisk.CustomProperties.end(),
                       [&](const HostCustomProperty& p) {
                         return platform::text::EqualsCaseless(p.Name, property.Name);
                       });
      if (stored != onDisk.CustomProperties.end() &&
          ResolveBatchClassDirectory(file_, stored->Value) == property.Value) {
        property.Value = stored->Value;
      } else {
        property.Value = BatchClassRelativeDirectory(file_, property.Value);
      }
    }
    onDisk.CustomProperties = std::move(properties);
    onDisk.Links = links_.All();
    SaveBatchClassFile(file_, onDisk);
    name_ = std::move(onDisk.Name);
    indexFields_.items = std::move(onDisk.IndexFields);
    batchFields_.items = std::move(onDisk.BatchFields);
    hostVariables_.items = std::move(onDisk.HostVariables);
  } catch (const HostFileError& e) {
    platform::Raise(kPathFileAccessError, "SetupData.Apply", e.what());
  }
  ++applyCount_;
}

void FileSetupData::ReportError(std::int32_t a, std::int32_t b, std::int32_t c,
                                const std::string& description, const std::string& source,
                                std::int32_t number) {
  HostErrorRecord record{a, b, c, description, source, number, {}, {}};
  errorLog_.Record(std::move(record));
}

const std::string& FileSetupData::Names::Item(std::int32_t position) const {
  if (position < 1 || position > Count()) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "Names.Item");
  }
  return items[static_cast<std::size_t>(position - 1)];
}

const HostLink& FileSetupData::LinkList::Item(std::int32_t position) const {
  if (position < 1 || position > Count()) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "Links.Item");
  }
  return items_[static_cast<std::size_t>(position - 1)];
}

void FileSetupData::LinkList::Assign(std::vector<HostLink> links) {
  items_ = std::move(links);
  keys_.clear();
  for (const HostLink& link : items_)
    keys_.insert(LinkKey(link.Destination, link.SourceType, link.Source));
}

void FileSetupData::LinkList::Add(std::string_view destination, std::int32_t sourceType,
                                  std::string_view source) {
  if (sourceType != kSourceIndexField && sourceType != kSourceHostVariable &&
      sourceType != kSourceBatchField) {
    platform::Raise(platform::err::kInvalidProcedureCall, "Links.Add",
                    "A link's source type must be 0, 2 or 3, not " + std::to_string(sourceType));
  }
  if (!keys_.insert(LinkKey(destination, sourceType, source)).second) return;  // held already
  items_.push_back({std::string(source), sourceType, std::string(destination)});
}

}  // namespace quillon
