// `quillon release BATCH.json [--batch-class FILE] [--error-log FILE]`
// releases a batch as the capture host does: it loads the batch and its
// batch-class file with the stand-in host, reserves the batch's interchange
// control number, and drives the release script: OpenScript, ReleaseDoc for
// every document in batch order, CloseScript.
//
// While it runs, a progress bar (documents done / total, documents per
// second) is shown on standard error when that is a terminal; otherwise every
// failed document is announced there as it happens. At the end a summary on
// standard output lists the documents released, the documents that failed
// (identifier and message) and the output files written.
//
// Exit codes: 0 everything released and written; 1 some documents failed or
// the output could not be written; 2 the batch or batch-class file (or the
// interchange counter) cannot be used.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command.h"
#include "host/file_host.h"
#include "platform/native_path.h"
#include "release/release_script.h"

namespace quillon::app {
namespace {

struct ReleaseOptions {
  std::string batchFile;
  std::string batchClassFile;
  std::string errorLog;
};

constexpr const char* kExamples = R"(Examples:
  quillon release claims/batch.json
  quillon release claims/batch.json --batch-class claims/other-class.json
  quillon release claims/batch.json --error-log release-errors.jsonl
The batch and batch-class files: docs/host-files.md. How a release runs, its
settings and its output file: docs/release.md.)";

// A one-line progress bar, redrawn at most ten times a second.
class ProgressBar {
 public:
  explicit ProgressBar(std::int32_t total)
      : total_(total), start_(std::chrono::steady_clock::now()) {}

  void Update(std::int32_t done, bool force = false) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    constexpr int kWidth = 30;
    const int filled =
        total_ > 0 ? static_cast<int>(static_cast<double>(done) * kWidth / total_) : kWidth;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    std::fprintf(stderr, "\r[%s] %d/%d documents, %.0f/s ", bar.c_str(), done, total_, rate);
    std::fflush(stderr);
  }
  void Finish(std::int32_t done) {
    Update(done, true);
    std::fputc('\n', stderr);
  }

 private:
  std::int32_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

struct FailedDocument {
  std::int32_t id = 0;
  std::string message;
  std::int32_t number = 0;
};

// The message the host was given for a failed document: the last one shown
// for it, or else the last error reported since `fromError`.
FailedDocument FailureOf(const FileHost& host, std::int32_t id, std::size_t fromMessage,
                         std::size_t fromError) {
  FailedDocument failed{id, "failed", 0};
  const auto& messages = host.Messages();
  for (std::size_t i = messages.size(); i > fromMessage; --i) {
    if (messages[i - 1].DocumentId == id) {
      failed.message = messages[i - 1].Description;
      failed.number = messages[i - 1].Number;
      return failed;
    }
  }
  const auto& errors = host.Errors();
  if (errors.size() > fromError) {
    failed.message = errors.back().Description;
    failed.number = errors.back().Number;
  }
  return failed;
}

// The errors reported in [from, to) of the host's error list.
void PrintReports(const FileHost& host, std::size_t from, std::size_t to) {
  const auto& errors = host.Errors();
  for (std::size_t i = from; i < to && i < errors.size(); ++i) {
    std::cout << "  error " << errors[i].Number << ": " << errors[i].Description << " ("
              << errors[i].Source << ")\n";
  }
}

int Run(const ReleaseOptions& options) {
  FileHost host(options.batchFile, options.batchClassFile);
  if (!options.errorLog.empty()) host.ErrorLog().SetPath(options.errorLog);
  host.ReserveInterchangeControlNumber();

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  // On a terminal the bar would be torn by the host's messages; the summary
  // lists the failures instead.
  host.SetEchoMessages(!terminal);

  ReleaseScript script;
  script.SetDocumentData(&host);
  const std::int32_t total = host.DocumentCount();

  const std::size_t openErrors = host.Errors().size();
  const std::int32_t openResult = script.OpenScript();
  const std::size_t afterOpen = host.Errors().size();

  std::unique_ptr<ProgressBar> progress;
  if (terminal && total > 0) progress = std::make_unique<ProgressBar>(total);
  std::vector<FailedDocument> failed;
  std::int32_t released = 0;
  for (std::int32_t position = 1; position <= total; ++position) {
    host.SelectDocument(position);
    const std::size_t messagesBefore = host.Messages().size();
    const std::size_t errorsBefore = host.Errors().size();
    if (script.ReleaseDoc() == 0) {
      ++released;
    } else {
      failed.push_back(FailureOf(host, host.DocumentId(), messagesBefore, errorsBefore));
    }
    if (progress) progress->Update(position);
  }
  if (progress) progress->Finish(total);

  const std::size_t closeErrors = host.Errors().size();
  const std::int32_t closeResult = script.CloseScript();

  const BatchDefinition& batch = host.Batch();
  std::cout << "batch " << batch.Id << " (" << batch.Name << "): " << total << " document"
            << (total == 1 ? "" : "s") << ", interchange control number "
            << host.InterchangeControlNumber() << "\n";
  if (openResult != 0) {
    std::cout << "the release could not be opened:\n";
    PrintReports(host, openErrors, afterOpen);
  }
  std::cout << "documents released: " << released << "\n";
  std::cout << "documents failed: " << failed.size() << "\n";
  for (const FailedDocument& document : failed) {
    std::cout << "  document " << document.id << ": " << document.message;
    if (document.number != 0) std::cout << " (error " << document.number << ")";
    std::cout << "\n";
  }
  if (closeResult != 0) {
    std::cout << "the output could not be written:\n";
    PrintReports(host, closeErrors, host.Errors().size());
  }
  const std::vector<std::string>& written = script.Batch()->outputFilesWritten;
  std::cout << "output files written: " << written.size() << "\n";
  for (const std::string& file : written) std::cout << "  " << platform::ToNativePath(file) << "\n";
  std::cout.flush();

  const bool everything = openResult == 0 && closeResult == 0 && failed.empty();
  return everything ? kExitSuccess : kExitSomeFailed;
}

const bool registered = RegisterCommand(
    70, "release", "Release a batch: every document through the mappings into the output file",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<ReleaseOptions>();
      sub.add_option("batch", options->batchFile, "Batch file (JSON)")->required();
      sub.add_option("--batch-class", options->batchClassFile,
                     "Batch-class file to use instead of the one the batch names");
      sub.add_option("--error-log", options->errorLog,
                     "Append every reported error to this file (one JSON object per line)");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
