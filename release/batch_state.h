// BatchState: the state of one release run, shared by the release script
// (ReleaseScript), the document pipeline (DocumentPipeline) and the batch
// output (batch_output.h). A plain class of public fields without operations of
// its own; the operations that fill a list or collection also create it, so a
// null pointer means "not created yet" (an unprepared release run has no
// status collection, for example).
//
// DocumentStatus is the status of one document, kept in documentStatus
// under the key "id-" + document id, in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "release/batch_text.h"

namespace quillon {

class ExpressionCache;
class MappingFileCache;

// The status of one document of the batch.
struct DocumentStatus {
  bool writtenToOutputFile = false;  // the document produced a record
  std::string statusFieldValue;      // its "STATUS" field, if any
  std::string indexFieldsRecord;     // not used at release time
  bool released = false;             // went through AppendDocumentRecord without failure
  std::int32_t documentId = 0;       // the host's document identifier
};

// The keyed, ordered collection of status records. Keys are compared exactly;
// lookups by key cost O(1) on average. Records keep their address while they
// are in the collection (Add never moves earlier records).
//
// A batch keeps one record per document until it ends, a million of them in a
// large batch. They live in memory of their own (a monotonic arena), not among
// the short-lived strings and lists of each document's translation: small
// blocks that stay, scattered between those that come and go, left the
// allocator with ever more holes to search, and the time per document grew
// with the batch. The arena's large blocks are asked for in huge pages, as
// the batch text's are.
class QUILLON_API DocumentStatusCollection {
 public:
  using const_iterator = std::pmr::deque<DocumentStatus>::const_iterator;

  DocumentStatusCollection();
  ~DocumentStatusCollection();
  DocumentStatusCollection(const DocumentStatusCollection&) = delete;
  DocumentStatusCollection& operator=(const DocumentStatusCollection&) = delete;

  // Appends a record under `key`; a key already present raises the
  // duplicate-key error (457) and leaves the collection unchanged.
  DocumentStatus& Add(const DocumentStatus& record, std::string_view key);
  // The record of that key, or nullptr.
  DocumentStatus* Item(std::string_view key);
  const DocumentStatus* Item(std::string_view key) const;
  // The record at a 1-based position, or nullptr.
  const DocumentStatus* Item(std::int64_t position) const;
  std::int32_t Count() const noexcept;
  // Removes the record of that key (error 5 when there is none).
  void Remove(std::string_view key);
  void Clear() noexcept;

  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;

 private:
  struct Storage;
  std::unique_ptr<Storage> storage_;
};

// The key of a document's status record: "id-17".
QUILLON_API std::string DocumentStatusKey(std::int32_t documentId);

class QUILLON_API BatchState {
 public:
  BatchState();
  ~BatchState();
  BatchState(const BatchState&) = delete;
  BatchState& operator=(const BatchState&) = delete;

  std::string dataMappingsFile;    // level 1 mapping-class file
  std::string fieldMappingsFile;   // level 2
  std::string outputMappingsFile;  // level 3
  std::unique_ptr<DocumentStatusCollection> documentStatus;
  std::string batchName;
  std::string currentRecord;        // record text of the last document appended
  std::string outputFileName;       // file name of the last output file
  std::string workingFilePath;      // full path of the working output file
  tessel::NameValueList constants;  // not used at release time
  std::shared_ptr<tessel::NameValueList> documentFields;  // current document, translated
  std::string workingDirectory;
  std::string destinationDirectory;  // ends with "\" after a finalisation
  std::int32_t documentCount = 0;
  std::vector<std::string> fieldCollection;               // not used at release time
  std::shared_ptr<tessel::NameValueList> releasedValues;  // current document, as released
  // The batch's records, concatenated.
  BatchText batchText;
  std::unique_ptr<tessel::NameValueList> headerSet;  // "DOCTYPE", "_outputFileName", ...
  std::int32_t recordCount = 0;
  std::vector<std::string> editorFields;  // handed (empty) to the setup dialog's editors

  // The output files that FinalizeBatchRelease moved into their output
  // directory during the life of this object, as destination paths, in order.
  std::vector<std::string> outputFilesWritten;

  // Parsed mapping-class files kept between documents of this run; every use
  // checks the file on disk first, so an edited file is read again.
  MappingFileCache& MappingCache();
  // Parsed service-line expressions kept between documents of this run.
  ExpressionCache& Expressions();

 private:
  std::unique_ptr<MappingFileCache> mappingCache_;
  std::unique_ptr<ExpressionCache> expressions_;
};

}  // namespace quillon
