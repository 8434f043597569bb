// ReleaseScript: the object the capture host drives when it releases a
// batch.
//
//   script.SetDocumentData(&host);
//   script.OpenScript();
//   for each document (host moved to it): script.ReleaseDoc();
//   script.CloseScript();
//
// Every operation returns 0 for success and -1 for failure. Failures are
// reported to the host: an error entry in the log, ShowMessage (for failed
// documents) and ReportError(-1, 0, 0, description, source, number).
//
// Settings (custom properties of the batch class):
//   "EDI Output"         "One EDI Per Batch": prepare in OpenScript, write the
//                        file in CloseScript; "One EDI Per Document": prepare
//                        and write in every ReleaseDoc. Compared exactly; any
//                        other value leaves the run unprepared, so every
//                        document fails and nothing is written.
//   "Logging Directory"  where the log goes (created when missing)
//   "Enable Logging"     true/false (any case) or a number, 0 being false
//   "Working Directory"  where the output file is built; checked or created
//                        for every document
//   "Mappings Directory" read by the pipeline (DocumentPipeline)
//
// A document that fails leaves no trace in the output: what its record stage
// added to the batch (record text, counts, a header set it filled) is taken
// back and its status record is marked not released. CloseScript returns -1
// whenever the output of the released documents could not be written.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "host/host_release_data.h"
#include "platform/error.h"
#include "quillon_export.h"
#include "release/batch_state.h"
#include "release/document_pipeline.h"

namespace quillon {

class QUILLON_API ReleaseScript {
 public:
  ReleaseScript();
  ~ReleaseScript();
  ReleaseScript(const ReleaseScript&) = delete;
  ReleaseScript& operator=(const ReleaseScript&) = delete;

  // The host's release data; set before OpenScript. Not owned.
  HostReleaseData* DocumentData() const noexcept { return documentData_; }
  void SetDocumentData(HostReleaseData* data) noexcept { documentData_ = data; }

  // Public and not used by the operations.
  std::int32_t documentCount = 0;

  std::int32_t CloseScript();
  std::int32_t OpenScript();
  std::int32_t ReleaseDoc();

  // The batch state, created on first use and kept for the life of the
  // script object.
  const std::shared_ptr<BatchState>& Batch();
  void SetBatch(std::shared_ptr<BatchState> batch) { batch_ = std::move(batch); }

  // Write the output file (FinalizeBatchRelease) and start a new pipeline;
  // failures are reported and raised as 6800 "CreateEDI".
  void DeliverOutput();
  // Start logging, a new pipeline and the batch status; failures are reported
  // and raised as 6801 "PrepareEDI" (6802 inside when the log directory
  // cannot be created).
  void PrepareRun();

  // The working and output directories are checked for every document: the
  // directory must exist (it is created otherwise) and take a new file. The
  // write probe (a file created and deleted again) of a directory that passed
  // it less than this long ago is not repeated: at thousands of documents a
  // second, creating and deleting two files per document costs more than the
  // rest of the release, and on ext4 that cost grows with every deletion. A
  // zero interval probes for every document.
  static void SetDirectoryProbeInterval(std::chrono::milliseconds interval) noexcept;
  static std::chrono::milliseconds DirectoryProbeInterval() noexcept;

  // State that the operations keep, for callers that watch a run.
  DocumentPipeline* Pipeline() const noexcept { return pipeline_.get(); }
  bool BatchErrorFlag() const noexcept { return batchError_; }
  std::int32_t DocumentCounter() const noexcept { return documentCounter_; }
  const FieldList& CurrentFields() const noexcept { return currentFields_; }

 private:
  struct RecordStageSnapshot;

  HostReleaseData& Host() const;
  void NewPipeline();
  void ReportFailure(const std::string& procedure, const platform::Error& e, bool showMessage);
  void RollBack(const RecordStageSnapshot& snapshot, std::int32_t documentId);
  void EnsureWritableDirectory(const std::string& directory);
  bool ProbedRecently(const std::string& directory);
  void RememberProbe(const std::string& directory);

  HostReleaseData* documentData_ = nullptr;
  std::shared_ptr<BatchState> batch_;
  std::unique_ptr<DocumentPipeline> pipeline_;
  bool batchError_ = false;
  FieldList currentFields_;
  std::int32_t documentCounter_ = 0;
  // Directory -> when it last passed the write probe.
  std::unordered_map<std::string, std::chrono::steady_clock::time_point> probed_;
};

}  // namespace quillon
