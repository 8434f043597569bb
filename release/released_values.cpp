// Where a document's values come from: the host's released values, the
// batch-level fields of the host's batch, and the log of the host's values.
#include <algorithm>
#include <string>

#include "platform/error.h"
#include "release/document_pipeline.h"
#include "release/release_errors.h"
#include "release/release_log.h"

namespace quillon {

using internal::LogLine;

FieldList DocumentPipeline::AddReleasedValues(const HostReleaseData& host, FieldList fields) {
  if (!fields) fields = std::make_shared<tessel::NameValueList>();
  const HostValues& values = host.Values();
  const std::int32_t count = values.Count();
  fields->Reserve(static_cast<std::size_t>(fields->Count()) +
                  static_cast<std::size_t>(std::max(count, 0)));
  // The destinations come back in the same order with every document, so
  // their hash codes are kept (and made again for a destination that
  // changed).
  for (std::int32_t i = 1; i <= count; ++i) {
    const HostValue& value = values.Item(i);
    const auto k = static_cast<std::size_t>(i - 1);
    if (k == releasedNames_.size()) {
      releasedNames_.push_back(value.Destination);
      releasedHashes_.push_back(tessel::NameValueList::HashOf(value.Destination));
    } else if (releasedNames_[k] != value.Destination) {
      releasedNames_[k] = value.Destination;
      releasedHashes_[k] = tessel::NameValueList::HashOf(value.Destination);
    }
    fields->Add(value.Destination, releasedHashes_[k], value.Value);
  }
  RequireBatch().releasedValues = fields;
  return fields;
}

FieldList DocumentPipeline::AddBatchFields(const HostReleaseData& host, FieldList fields) {
  if (!fields) fields = std::make_shared<tessel::NameValueList>();
  fields->Add("Batch Class Name", std::to_string(host.BatchClassNumber()));
  fields->Add("Batch ID", host.BatchId());
  fields->Add("Batch Description", host.BatchDescription());
  fields->Add("Batch Name", host.BatchName());
  fields->Add("Document Class ID", std::to_string(host.DocumentClassId()));
  fields->Add("Document Class Name", host.DocumentClassName());
  return TranslateDocument(host, fields, false);
}

void DocumentPipeline::LogHostValues(const HostValues& values) {
  try {
    LogLine(2, 1, ">>>>> Halvo Index Field Values <<<<<<");
    const std::int32_t count = values.Count();
    for (std::int32_t i = 1; i <= count; ++i) {
      const HostValue& value = values.Item(i);
      LogLine(2, 1, "Dest: ", value.Destination, ", Value: ", value.Value,
              ", Source: ", value.SourceName, ", SourceType: ", value.SourceType, ", DataType: ");
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "DumpHalvoVars");
    throw platform::Error(501, "DumpHalvoVars", e.Description());
  }
}

}  // namespace quillon
