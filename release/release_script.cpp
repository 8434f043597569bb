#include "release/release_script.h"

#include <atomic>
#include <optional>

#include "platform/error.h"
#include "platform/os_services.h"
#include "platform/text.h"
#include "release/batch_output.h"
#include "release/custom_properties.h"
#include "release/file_routines.h"
#include "release/file_system_seam.h"
#include "release/global_logger.h"
#include "release/library_location.h"
#include "release/release_errors.h"
#include "release/release_log.h"

namespace quillon {

using internal::LogLine;

namespace {

constexpr std::string_view kOneEdiPerBatch = "One EDI Per Batch";
constexpr std::string_view kOneEdiPerDocument = "One EDI Per Document";

std::atomic<std::int64_t> probeIntervalMs{1000};

}  // namespace

void ReleaseScript::SetDirectoryProbeInterval(std::chrono::milliseconds interval) noexcept {
  probeIntervalMs = interval.count() < 0 ? 0 : interval.count();
}

std::chrono::milliseconds ReleaseScript::DirectoryProbeInterval() noexcept {
  return std::chrono::milliseconds(probeIntervalMs.load());
}

// An existing directory is probed for write access (error 6000 when it
// refuses), a missing one is created (a failure to create shows later, when
// something is written there).
void ReleaseScript::EnsureWritableDirectory(const std::string& directory) {
  // Within the probe interval a folder that passed is trusted as it was,
  // without even a status call: in one-file-per-document mode these came to
  // several file-system calls for every document.
  if (ProbedRecently(directory)) return;
  if (!DirectoryExists(directory)) {
    CreateDirectoryTree(directory);
    return;
  }
  CheckDirectoryAccess(directory);
  RememberProbe(directory);
}

bool ReleaseScript::ProbedRecently(const std::string& directory) {
  const auto it = probed_.find(directory);
  if (it == probed_.end()) return false;
  if (std::chrono::steady_clock::now() - it->second < DirectoryProbeInterval()) return true;
  probed_.erase(it);
  return false;
}

void ReleaseScript::RememberProbe(const std::string& directory) {
  if (DirectoryProbeInterval().count() > 0) probed_[directory] = std::chrono::steady_clock::now();
}

// What the record stage of one document may change in the batch state, taken
// before it starts so that a failing document can be taken back out. The
// batch text is only ever appended to, so its length is enough to restore it.
struct ReleaseScript::RecordStageSnapshot {
  bool taken = false;
  std::size_t textLength = 0;
  std::int32_t recordCount = 0;
  std::int32_t documentCount = 0;
  std::int32_t documentCounter = 0;
  std::string currentRecord;
  // Set when this document filled the header set: the set as it was before.
  bool filledHeader = false;
  std::optional<tessel::NameValueList> headerBefore;
  // Set once the document's own output file is being written (per-document
  // mode): from then on the batch text and its count belong to the
  // finalisation, which empties them whether it succeeds or fails.
  bool finalisationStarted = false;
};

ReleaseScript::ReleaseScript() = default;
ReleaseScript::~ReleaseScript() = default;

const std::shared_ptr<BatchState>& ReleaseScript::Batch() {
  if (!batch_) batch_ = std::make_shared<BatchState>();
  return batch_;
}

HostReleaseData& ReleaseScript::Host() const {
  if (documentData_ == nullptr) {
    throw platform::Error(internal::kObjectNotSet, "HvoReleaseScript",
                          "The release script has no DocumentData");
  }
  return *documentData_;
}

void ReleaseScript::NewPipeline() {
  pipeline_ = std::make_unique<DocumentPipeline>();
  pipeline_->SetBatch(Batch());
}

void ReleaseScript::ReportFailure(const std::string& procedure, const platform::Error& e,
                                  bool showMessage) {
  GlobalLogger().LogError(procedure, e.Source(), e.Description());
  if (documentData_ == nullptr) return;
  try {
    if (showMessage) documentData_->ShowMessage(e.Description(), e.Number(), 1);
    documentData_->ReportError(-1, 0, 0, e.Description(), e.Source(), e.Number());
  } catch (...) {
    // The host could not take the report; the result code still tells it.
  }
}

std::int32_t ReleaseScript::OpenScript() {
  const FlushLogOnReturn flush;
  std::string mode;
  try {
    mode = GetCustomPropertyValue(Host().CustomProperties(), "EDI Output");
  } catch (const std::exception& caught) {
    ReportFailure("OpenScript", internal::AsError(caught, "OpenScript"), false);
    return -1;
  }
  if (mode != kOneEdiPerBatch) return 0;
  try {
    PrepareRun();
    return 0;
  } catch (const std::exception& caught) {
    ReportFailure("OpenScript", internal::AsError(caught, "OpenScript"), false);
    return -1;
  }
}

void ReleaseScript::PrepareRun() {
  try {
    tessel::Logger& logger = NewGlobalLogger();
    HostReleaseData& host = Host();
    const std::string logDirectory =
        GetCustomPropertyValue(host.CustomProperties(), "Logging Directory");
    const bool enabled =
        TextToBoolean(GetCustomPropertyValue(host.CustomProperties(), "Enable Logging"));
    if (enabled) {
      // An empty folder would put the log into the current folder (or, as
      // "\\", the root).
      if (internal::IsBlankFolder(logDirectory)) {
        throw platform::Error(6802, "CreateDirectory in PrepareEDI",
                              "Can't create the log directory - " + logDirectory +
                                  ": the custom property \"Logging Directory\" is empty");
      }
      if (!ProbedRecently(logDirectory)) {
        if (HasDirectoryAccess(logDirectory)) {
          RememberProbe(logDirectory);
        } else if (!CreateDirectoryTree(logDirectory)) {
          throw platform::Error(6802, "CreateDirectory in PrepareEDI",
                                "Can't create the log directory - " + logDirectory);
        }
      }
      logger.LogFolder(logDirectory);
    } else {
      logger.LogFolder("");
    }
    logger.LogFileName(std::to_string(platform::CurrentProcessId()) + "_" + LibraryBaseName());
    documentCounter_ = 0;
    logger.LogSetting(10);
    LogLine(2, 1, "Entering Release - Openscript");
    LogLine(2, 1, "Quillon Release : ", LibraryVersionText(), " Path: ", LibraryDirectory(), "\\",
            LibraryBaseName(), ".dll");
    LogLine(2, 1, ">>>> Opening Batch: ", host.BatchId(), ", ClassName: ", host.BatchId());
    NewPipeline();
    currentFields_ = std::make_shared<tessel::NameValueList>();
    currentFields_ = pipeline_->AddBatchFields(host, currentFields_);
    ResetBatchStatus(host, *Batch());
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "PrepareEDI");
    ReportFailure("PrepareEDI", e, false);
    throw platform::Error(6801, "PrepareEDI", e.Description(), e.HelpFile(), e.HelpContext());
  }
}

std::int32_t ReleaseScript::ReleaseDoc() {
  const FlushLogOnReturn flush;
  RecordStageSnapshot snapshot;
  bool statusAdded = false;
  std::int32_t documentId = 0;
  try {
    HostReleaseData& host = Host();
    const std::string mode = GetCustomPropertyValue(host.CustomProperties(), "EDI Output");
    if (mode == kOneEdiPerDocument) {
      try {
        PrepareRun();
      } catch (const std::exception& caught) {
        ReportFailure("ReleaseDoc", internal::AsError(caught, "ReleaseDoc"), true);
        return -1;
      }
    }

    LogLine(2, 1, "Entered HvoRelease.ReleaseDoc-----------------");
    const HostCustomProperties& properties = host.CustomProperties();
    const std::string workingDirectory =
        CustomPropertyExists(properties, "Working Directory")
            ? GetCustomPropertyValue(properties, "Working Directory")
            : LibraryDirectory();
    documentId = host.DocumentId();
    LogLine(0, 2, "Releasing Doc (ID): ", documentId, ", After copying images :");
    BatchState& batch = *Batch();
    // The lists of the document before are let go first, so that the
    // pipeline can fill them again for this one.
    currentFields_.reset();
    batch.releasedValues.reset();
    batch.documentFields.reset();
    currentFields_ = pipeline_ ? pipeline_->NewList() : std::make_shared<tessel::NameValueList>();
    AddDocumentStatus(host, batch);
    statusAdded = true;
    LogLine(2, 1, "Entered HvoRelease.ReleaseDoc: Trying to add setup fields");
    if (!pipeline_) internal::RaiseNotPrepared("ReleaseDoc");
    currentFields_ = pipeline_->AddReleasedValues(host, currentFields_);
    currentFields_ = pipeline_->TranslateDocument(host, currentFields_, true);
    if (!currentFields_) {
      throw platform::Error(internal::kObjectNotSet, "ReleaseDoc",
                            "The translation returned no field list");
    }
    if (internal::LogOn()) {
      LogLine(2, 1, "HvoRelease.ReleaseDoc: field values after the released setup options: ",
              currentFields_->ToString(";", "="));
    }
    if (internal::IsBlankFolder(workingDirectory)) internal::RaiseBlankWorkingDirectory();
    EnsureWritableDirectory(workingDirectory);

    // The record stage: from here on the document changes the batch.
    snapshot.taken = true;
    snapshot.textLength = batch.batchText.Size();
    snapshot.recordCount = batch.recordCount;
    snapshot.documentCount = batch.documentCount;
    snapshot.documentCounter = documentCounter_;
    snapshot.currentRecord = batch.currentRecord;
    ++batch.recordCount;
    ++documentCounter_;
    pipeline_->AppendDocumentRecord(currentFields_, host);

    const tessel::NameValueList& fields = *currentFields_;
    std::string headerText;
    if (const tessel::NameValue* header = fields.Item(std::string_view("_header"))) {
      LogLine(1, 1, "[ReleaseDoc]", " Writing header  ", batch.workingFilePath);
      headerText = header->Value();
    }
    if (!batch.headerSet) batch.headerSet = std::make_unique<tessel::NameValueList>();
    if (!batch.headerSet->Exists("DOCTYPE")) {
      snapshot.filledHeader = true;
      snapshot.headerBefore = *batch.headerSet;
      tessel::NameValueList& headerSet = *batch.headerSet;
      headerSet.Add("DOCTYPE", headerText);
      if (const tessel::NameValue* v = fields.Item(std::string_view("_outputFileName"))) {
        headerSet.Add("_outputFileName", v->Value());
      }
      if (const tessel::NameValue* v = fields.Item(std::string_view("_outputDirectory"))) {
        headerSet.Add("_outputDirectory", v->Value());
      }
      if (const tessel::NameValue* v = fields.Item(std::string_view("_footer"))) {
        headerSet.Add("Footer", v->Value());
      }
    }
    LogLine(0, 2, "Successfully Released Doc (ID): ", documentId);

    const tessel::NameValue* outputDirectory = fields.Item(std::string_view("_outputDirectory"));
    if (outputDirectory == nullptr) {
      throw platform::Error(6500, "ReleaseDoc", "The ouput directory is undefined");
    }
    if (internal::IsBlankFolder(outputDirectory->Value())) internal::RaiseBlankOutputDirectory();
    EnsureWritableDirectory(outputDirectory->Value());

    if (mode == kOneEdiPerDocument) {
      snapshot.finalisationStarted = true;
      DeliverOutput();
    }
    return 0;
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "ReleaseDoc");
    batchError_ = true;
    ReportFailure("ReleaseDoc", e, true);
    if (statusAdded) RollBack(snapshot, documentId);
    return -1;
  }
}

void ReleaseScript::RollBack(const RecordStageSnapshot& snapshot, std::int32_t documentId) {
  BatchState& batch = *Batch();
  if (snapshot.taken) {
    if (!snapshot.finalisationStarted) {
      batch.batchText.Truncate(snapshot.textLength);
      batch.recordCount = snapshot.recordCount;
      documentCounter_ = snapshot.documentCounter;
      batch.currentRecord = snapshot.currentRecord;
    }
    batch.documentCount = snapshot.documentCount;
    if (snapshot.filledHeader) {
      if (snapshot.headerBefore && !snapshot.headerBefore->empty()) {
        *batch.headerSet = *snapshot.headerBefore;
      } else {
        batch.headerSet.reset();
      }
    }
  }
  if (batch.documentStatus) {
    if (DocumentStatus* status = batch.documentStatus->Item(DocumentStatusKey(documentId))) {
      status->released = false;
      status->writtenToOutputFile = false;
    }
  }
}

std::int32_t ReleaseScript::CloseScript() {
  const FlushLogOnReturn flush;
  // The lock seeds of the batch's folders go with the batch.
  struct DropSeeds {
    ~DropSeeds() { CurrentFileSystem().DropLockSeeds(); }
  } dropSeeds;
  std::string mode;
  try {
    mode = GetCustomPropertyValue(Host().CustomProperties(), "EDI Output");
  } catch (const std::exception& caught) {
    ReportFailure("CloseScript", internal::AsError(caught, "CloseScript"), false);
    batchError_ = false;
    return -1;
  }
  try {
    if (mode == kOneEdiPerBatch) DeliverOutput();
    return 0;
  } catch (const std::exception&) {
    // DeliverOutput has reported the failure. The released documents' output was
    // not written, so this is a failure whatever became of single documents.
    batchError_ = false;
    return -1;
  }
}

void ReleaseScript::DeliverOutput() {
  try {
    documentCounter_ = 0;
    BatchState& batch = *Batch();
    FinalizeBatchRelease(batch.documentStatus.get(), Host(), batch);
    NewPipeline();
    currentFields_ = std::make_shared<tessel::NameValueList>();
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "CreateEDI");
    ReportFailure("CloseScript", e, false);
    throw platform::Error(6800, "CreateEDI", e.Description(), e.HelpFile(), e.HelpContext());
  }
}

}  // namespace quillon
