// Batch output: per-document status records, the batch text and the output
// file of a release run.
//
// Records never reach the disk one by one: AppendRecordToBatch appends a
// document's record to BatchState::batchText, and FinalizeBatchRelease
// writes header + records + footer into a uniquely named working file and
// moves it under a unique name into the output directory that the mappings
// named. The output file is single-byte text (Windows-1252, '?' for a
// character the code page cannot hold, no byte-order mark) and holds exactly
// those three pieces, nothing between or after them.
//
// Errors raised here (number and source):
//   500  "AddRecordToBatchDocStatus" (a document id added twice in one batch)
//   506  "ProcessDocOutputFile, ", wrapping 112 (no "_outputString")
//   7002 "WriteToOutputFile"
//   7004 from FinalizeBatchRelease; its source tells the working file, the
//        destination and the cause: "CloseScript - FinalizeBatchRelease,
//        OutputFile: <working file>, Destination File: <destination> Error
//        Description : <cause>"
#pragma once

#include <string>
#include <string_view>

#include "host/host_release_data.h"
#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "release/batch_state.h"

namespace quillon {

// Empties the status collection (creating it when missing), sets
// batchName to the host's batch name and documentCount to 0. The batch
// text, recordCount and the header set are left alone.
QUILLON_API void ResetBatchStatus(const HostReleaseData& host, BatchState& batch);

// Adds a status record (not released) for the host's current document under
// "id-" + id. Raises 500 "AddRecordToBatchDocStatus" when the id is already
// there or when the run has no status collection (never prepared).
QUILLON_API void AddDocumentStatus(const HostReleaseData& host, BatchState& batch);

// Appends "_outputString" and then "_recordFooter" (when present) of the
// field list to batchText and keeps the record in currentRecord. Raises 506
// "ProcessDocOutputFile, " wrapping 112 when "_outputString" is missing.
// `host` is not read.
QUILLON_API void AppendRecordToBatch(const tessel::NameValueList& fields,
                                     const HostReleaseData* host, BatchState& batch);

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
// recordCount are emptied, "DOCTYPE" is removed from the header set and the
// destination path is appended to outputFilesWritten. On failure the batch
// text and recordCount are emptied too and 7004 is raised (see above); the header
// set keeps "DOCTYPE".
QUILLON_API void FinalizeBatchRelease(const DocumentStatusCollection* documentStatus,
                                      const HostReleaseData& host, BatchState& batch);

}  // namespace quillon
