// clsBatchData: the state of one release run, shared by the release script
// (HvoReleaseScript), the document pipeline (clsVoraAction) and the output
// module (VoraEDIOutput). A plain class of public fields without operations of
// its own; the operations that fill a list or collection also create it, so a
// null pointer means "not created yet" (an unprepared release run has no
// status collection, for example).
//
// VoraBatchStats is the status of one document, kept in clnBatchDocStatus
// under the key "id-" + document id, in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "quillon_export.h"

namespace quillon {

class ExpressionCache;
class MappingFileCache;

// The status of one document of the batch.
struct VoraBatchStats {
  bool WrittenToOutputFile = false;  // the document produced a record
  std::string StatusFieldValue;      // its "STATUS" field, if any
  std::string IndexFieldsRecord;     // not used at release time
  bool Released = false;             // went through ProcessDocument without failure
  std::int32_t DocID = 0;            // the host's document identifier
};

// The keyed, ordered collection of status records. Keys are compared exactly;
// lookups by key cost O(1) on average. Records keep their address while they
// are in the collection (Add never moves earlier records).
class QUILLON_API BatchDocStatusCollection {
 public:
  using const_iterator = std::deque<VoraBatchStats>::const_iterator;

  // Appends a record under `key`; a key already present raises the
  // duplicate-key error (457) and leaves the collection unchanged.
  VoraBatchStats& Add(const VoraBatchStats& record, std::string_view key);
  // The record of that key, or nullptr.
  VoraBatchStats* Item(std::string_view key);
  const VoraBatchStats* Item(std::string_view key) const;
  // The record at a 1-based position, or nullptr.
  const VoraBatchStats* Item(std::int64_t position) const;
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(records_.size()); }
  // Removes the record of that key (error 5 when there is none).
  void Remove(std::string_view key);
  void Clear() noexcept;

  const_iterator begin() const noexcept { return records_.begin(); }
  const_iterator end() const noexcept { return records_.end(); }

 private:
  std::deque<VoraBatchStats> records_;
  std::vector<std::string> keys_;  // key of records_[i]
  std::unordered_map<std::string, std::size_t> index_;
};

// The key of a document's status record: "id-17".
QUILLON_API std::string BatchDocStatusKey(std::int32_t documentId);

class QUILLON_API clsBatchData {
 public:
  clsBatchData();
  ~clsBatchData();
  clsBatchData(const clsBatchData&) = delete;
  clsBatchData& operator=(const clsBatchData&) = delete;

  std::string mstrDataMappingsFile;        // level 1 mapping-class file
  std::string mstrFieldMappingsFile;       // level 2
  std::string mstrOutputDataMappingsFile;  // level 3
  std::unique_ptr<BatchDocStatusCollection> clnBatchDocStatus;
  std::string gsCurrentBatchName;
  std::string gCurrentRecord;           // record text of the last document appended
  std::string gsOutputFileName;         // file name of the last output file
  std::string gsOutputFullPathAndName;  // full path of the working output file
  tessel::NameValueList gConstants;     // not used at release time
  std::shared_ptr<tessel::NameValueList> gVoraDocFields;  // current document, translated
  std::string gsWorkingDir;
  std::string gsDestDir;  // ends with "\" after a finalisation
  std::int32_t gbDocCount = 0;
  std::vector<std::string> gDocFieldsCol;                   // not used at release time
  std::shared_ptr<tessel::NameValueList> gVoraSetupFields;  // current document, as released
  // The batch's records, concatenated. Appending is amortised O(1).
  std::string gsString;
  std::unique_ptr<tessel::NameValueList> objHeaderCol;  // "DOCTYPE", "_outputFileName", ...
  std::int32_t gsCount = 0;
  std::vector<std::string> gVoraFields;  // handed (empty) to the setup dialog's editors

  // The output files that FinalizeBatchRelease moved into their output
  // directory during the life of this object, as destination paths, in order.
  std::vector<std::string> gOutputFilesWritten;

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
