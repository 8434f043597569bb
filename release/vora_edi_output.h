// VoraEDIOutput: per-document status records, the batch text and the output
// file of a release run.
//
// Records never reach the disk one by one: ProcessDocOutputFile appends a
// document's record to clsBatchData::gsString, and FinalizeBatchRelease
// writes header + records + footer into a uniquely named working file and
// moves it under a unique name into the output directory that the mappings
// named. The output file is single-byte text (Windows-1252, '?' for a
// character the code page cannot hold, no byte-order mark) and holds exactly
// those three pieces, nothing between or after them.
//
// Errors raised here:
//   500  AddRecordToBatchDocStatus (a document id added twice in one batch)
//   506  ProcessDocOutputFile, wrapping 112 (no "_outputString")
//   7002 WriteToOutputFile
//   7004 FinalizeBatchRelease; its source tells the working file, the
//        destination and the cause: "CloseScript - FinalizeBatchRelease,
//        OutputFile: <working file>, Destination File: <destination> Error
//        Description : <cause>"
#pragma once

#include <string>
#include <string_view>

#include "host/host_release_data.h"
#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "release/cls_batch_data.h"

namespace quillon {

// Empties the status collection (creating it when missing), sets
// gsCurrentBatchName to the host's batch name and gbDocCount to 0. The batch
// text, gsCount and the header set are left alone.
QUILLON_API void InitBatchStatus(const HostReleaseData& oReldata, clsBatchData& batchData);

// Adds a status record (not released) for the host's current document under
// "id-" + id. Raises 500 "AddRecordToBatchDocStatus" when the id is already
// there or when the run has no status collection (never prepared).
QUILLON_API void AddRecordToBatchDocStatus(const HostReleaseData& oReldata,
                                           clsBatchData& batchData);

// Appends "_outputString" and then "_recordFooter" (when present) of the
// field list to gsString and keeps the record in gCurrentRecord. Raises 506
// "ProcessDocOutputFile, " wrapping 112 when "_outputString" is missing.
// `oReldata` is not read.
QUILLON_API void ProcessDocOutputFile(const tessel::NameValueList& fields,
                                      const HostReleaseData* oReldata, clsBatchData& batchData);

// Appends `text` (UTF-8) to the file as Windows-1252 bytes, creating the file
// (0600) when it is missing. No line end is added. A symbolic link in the
// file's place is refused rather than followed. Raises 7002
// "WriteToOutputFile" with the cause's description on any failure, including
// a failed flush or close.
QUILLON_API void WriteToOutputFile(std::string_view path, std::string_view text);

// Replaces \ / : * ? " < > | by "-" and then each blank by "_".
//   "Claims 10/2024.txt" -> "Claims_10-2024.txt"
QUILLON_API std::string MakeValidFileName(std::string_view text);

// Writes the batch's output file and moves it into the output directory.
// Logs the status line of the batch first. Does nothing more when the header
// set has no "DOCTYPE" (no document filled it). On success the batch text and
// gsCount are emptied, "DOCTYPE" is removed from the header set and the
// destination path is appended to gOutputFilesWritten. On failure the batch
// text and gsCount are emptied too and 7004 is raised (see above); the header
// set keeps "DOCTYPE".
QUILLON_API void FinalizeBatchRelease(const BatchDocStatusCollection* clnBatchDocStatus,
                                      const HostReleaseData& oReldata, clsBatchData& batchData);

}  // namespace quillon
