// FileHost: the capture host's release data, read from a batch file and its
// batch-class file (formats in batch_file.h and batch_class_file.h), so that
// the connector can release batches without the real host.
//
// Usage, as the release command drives it:
//   FileHost host(batchFile, {}, FileHost::kStreamDocuments);   // HostFileError
//   host.ReserveInterchangeControlNumber();   // once per released batch
//   script.DocumentData = &host;  script.OpenScript();
//   if (host.CurrentDocumentPosition() != 0) {
//     do script.ReleaseDoc(); while (host.NextDocument());   // HostFileError
//   }
//   script.CloseScript();
//
// Custom properties: as the batch-class file gives them, except that a
// relative directory ("Mappings Directory", "Logging Directory", "Working
// Directory") is relative to the folder of the batch-class file, so a batch
// class releases the same from any current folder.
//
// The documents are either all read when the host is created (the default;
// any document can be selected) or read one at a time as NextDocument moves
// on (kStreamDocuments; memory stays the same whatever the size of the
// batch, and a fault in the file shows when the reading reaches it).
//
// Released values of a document: one per link of the batch class, in link
// order. The value comes from the link's source by its source type: 0 the
// document's index field, 2 a host variable, 3 a batch field; a source that
// has no value gives "". Names ignore letter case.
//
// Host variables: "Batch ID", "Batch Name", "Batch Description",
// "Document ID", "Document Class Name", "Release Date" (MM/DD/YYYY),
// "Release Time" (HH:MM:SS) and "Interchange Control Number". The release
// date and time are read once from the platform clock (platform/clock.h),
// when the host is created; SetReleaseTime replaces them. The interchange control number is ""
// until ReserveInterchangeControlNumber (or PreviewInterchangeControlNumber) has given it a value.
//
// ShowMessage writes "quillon: document ID: TEXT (error N)" to stderr (unless
// switched off) and keeps the message; ReportError keeps the report and
// appends it to the error log (host_error_log.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/batch_class_file.h"
#include "host/batch_file.h"
#include "host/batch_reader.h"
#include "host/custom_property_collection.h"
#include "host/host_error_log.h"
#include "host/host_release_data.h"
#include "platform/date_text.h"
#include "quillon_export.h"

namespace quillon {

// The names of the host variables, in the order listed above.
QUILLON_API const std::vector<std::string>& StandardHostVariables();

struct HostMessageRecord {
  std::string Description;
  std::int32_t Number = 0;
  std::int32_t Kind = 0;
  std::int32_t DocumentId = 0;
};

class QUILLON_API FileHost final : public HostReleaseData {
 public:
  enum DocumentReading { kReadAllDocuments, kStreamDocuments };

  // Loads the batch file and its batch-class file: `batchClassFile` when not
  // empty, otherwise the file the batch names. Starts at the first document
  // (or at none for an empty batch). Raises HostFileError.
  explicit FileHost(const std::string& batchFile, const std::string& batchClassFile = {},
                    DocumentReading reading = kReadAllDocuments);
  ~FileHost() override;

  const std::string& BatchFilePath() const noexcept { return batchFile_; }
  const std::string& BatchClassFilePath() const noexcept { return batchClassFile_; }
  const BatchDefinition& Batch() const noexcept { return batch_; }
  const BatchClassDefinition& BatchClass() const noexcept { return batchClass_; }

  // Documents, 1-based, in release order: all of them, or, when streaming,
  // those read so far.
  std::int32_t DocumentCount() const noexcept { return documentCount_; }
  // Makes document `position` the current one; outside 1..DocumentCount
  // raises Error 9, and so does any but the current one when streaming.
  void SelectDocument(std::int32_t position);
  // Makes the next document the current one and returns true, or returns
  // false after the last (the current document stays). When streaming, the
  // document is read now: a fault in the file raises HostFileError, and the
  // current document stays.
  bool NextDocument();
  // 0 when there is no current document (empty batch).
  std::int32_t CurrentDocumentPosition() const noexcept { return current_; }
  // How far a streamed batch file has been read, and its size in bytes.
  std::uint64_t BatchFileBytesRead() const noexcept;
  std::uint64_t BatchFileSize() const noexcept;

  // The counter file of the interchange control number; by default beside
  // the batch-class file (InterchangeCounter::PathFor).
  void SetInterchangeCounterPath(std::string path) { counterPath_ = std::move(path); }
  const std::string& InterchangeCounterPath() const noexcept { return counterPath_; }
  // Takes the batch's number from the counter (call once per released batch)
  // and returns it. Raises HostFileError when the counter cannot be used.
  std::int64_t ReserveInterchangeControlNumber();
  // Shows the number the next reservation would give, without taking it.
  std::int64_t PreviewInterchangeControlNumber();
  const std::string& InterchangeControlNumber() const noexcept { return interchangeNumber_; }

  void SetReleaseTime(const platform::DateParts& when);

  // The value of a host variable for the current document, or "" for a name
  // the host does not know.
  std::string HostVariable(std::string_view name) const;

  HostErrorLog& ErrorLog() noexcept { return errorLog_; }
  const std::vector<HostErrorRecord>& Errors() const noexcept { return errorLog_.Records(); }
  const std::vector<HostMessageRecord>& Messages() const noexcept { return messages_; }
  // Whether ShowMessage also writes to stderr (the default).
  void SetEchoMessages(bool echo) noexcept { echoMessages_ = echo; }

  // HostReleaseData
  void ReportError(std::int32_t a, std::int32_t b, std::int32_t c, const std::string& description,
                   const std::string& source, std::int32_t number) override;
  void ShowMessage(const std::string& description, std::int32_t number, std::int32_t kind) override;
  std::string DocumentClassName() const override;
  std::string BatchName() const override { return batch_.Name; }
  std::string BatchDescription() const override { return batch_.Description; }
  std::string BatchId() const override { return batch_.Id; }
  std::int32_t DocumentId() const override;
  std::int32_t DocumentClassId() const override;
  std::int32_t BatchClassNumber() const override { return batch_.ClassNumber; }
  const HostCustomProperties& CustomProperties() const override { return properties_; }
  const HostValues& Values() const override { return values_; }

 private:
  class ReleasedValues final : public HostValues {
   public:
    std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
    const HostValue& Item(std::int32_t position) const override;
    std::vector<HostValue> items;
  };

  const BatchDocument* Current() const noexcept;
  void RebuildValues();
  // The entry of `fields` named by the source of link `link`.
  const tessel::NameValue* SourceField(const tessel::NameValueList& fields, std::size_t link);

  std::string batchFile_;
  std::string batchClassFile_;
  std::string counterPath_;
  std::unique_ptr<BatchReader> reader_;  // when streaming
  BatchDocument streamed_;               // when streaming: the current document
  tessel::NameValueList spare_;          // the field list of an earlier one, reused
  std::int32_t documentCount_ = 0;
  BatchDefinition batch_;
  BatchClassDefinition batchClass_;
  CustomPropertyCollection properties_;
  std::int32_t current_ = 0;
  ReleasedValues values_;
  // Per link: the 1-based position at which its source was found last (0:
  // none), and the hash code of the source's name.
  std::vector<std::size_t> sourcePositions_;
  std::vector<std::size_t> sourceHashes_;
  std::string releaseDate_;
  std::string releaseTime_;
  std::string interchangeNumber_;
  HostErrorLog errorLog_;
  std::vector<HostMessageRecord> messages_;
  bool echoMessages_ = true;
};

}  // namespace quillon
