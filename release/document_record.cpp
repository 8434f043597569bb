// The record stage of a document: the translated fields become the
// document's record in the batch text, and its status record says what
// became of it.
#include <algorithm>
#include <cstring>

#include "platform/error.h"
#include "platform/text.h"
#include "release/batch_output.h"
#include "release/document_pipeline.h"
#include "release/release_errors.h"
#include "release/release_log.h"

namespace quillon {

using internal::LogLine;

std::int32_t CountSegments(std::string_view text) {
  if (text.empty()) return -1;
  std::int32_t count = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while ((at = static_cast<const char*>(
              std::memchr(at, '~', static_cast<std::size_t>(end - at)))) != nullptr) {
    ++count;
    ++at;
  }
  return count;
}

void DocumentPipeline::AppendDocumentRecord(const FieldList& /*fields*/,
                                            const HostReleaseData& host) {
  std::string context;
  try {
    BatchState& batch = RequireBatch();
    if (!batch.documentStatus) internal::RaiseNotPrepared("ProcessDocument");
    const std::int32_t id = host.DocumentId();
    DocumentStatus* status = batch.documentStatus->Item(DocumentStatusKey(id));
    if (status == nullptr) {
      platform::Raise(platform::err::kInvalidProcedureCall, "ProcessDocument",
                      "Document " + std::to_string(id) + " has no status record in this batch");
    }
    if (!batch.documentFields) {
      throw platform::Error(internal::kObjectNotSet, "ProcessDocument",
                            "The document has no translated field list");
    }
    tessel::NameValueList& fields = *batch.documentFields;

    const tessel::NameValue* feed = fields.Item(std::string_view("_createFeed"));
    if (feed != nullptr && platform::text::UCase(feed->Value()) == "YES") {
      ++batch.documentCount;
      const tessel::NameValue* record = fields.Item(std::string_view("_outputString"));
      if (record == nullptr) {
        throw platform::Error(112, "ProcessDocument",
                              "The document asks for a record (\"_createFeed\" is \"" +
                                  feed->Value() + "\") but has no \"_outputString\"");
      }
      const std::int32_t segments = CountSegments(record->Value());
      if (const tessel::NameValue* footer = fields.Item(std::string_view("_recordFooter"))) {
        std::string replaced = platform::text::Replace(footer->Value(), "_NumOfSegments",
                                                       std::to_string(segments + 1));
        fields.Add("_recordFooter", replaced);
      }
      context = "Calling ProcessDocOutputFile to write record in the output file";
      LogLine(2, 1, "ProcessDocument: writing data to file : ", fields.Count());
      AppendRecordToBatch(fields, &host, batch);
      status->writtenToOutputFile = true;
      status->released = true;
    } else {
      status->writtenToOutputFile = false;
      status->released = true;
    }
    if (const tessel::NameValue* value = fields.Item(std::string_view("STATUS"))) {
      status->statusFieldValue = value->Value();
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "ProcessDocument");
    LogLine(2, 1, "GetExport: Error Context :  ", context, " : Err number :", e.Number(), " : ",
            e.Description());
    throw platform::Error(7000, "ProcessDocument", e.Description());
  }
}

}  // namespace quillon
