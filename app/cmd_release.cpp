// `quillon release BATCH.json [--batch-class FILE] [--error-log FILE]
//                  [--check] [--dry-run] [--json]`
// releases a batch as the capture host does: it loads the batch and its
// batch-class file with the stand-in host, reserves the batch's interchange
// control number, and drives the release script: OpenScript, ReleaseDoc for
// every document in batch order, CloseScript.
//
// Before it starts, the command looks at the batch class's settings and
// prints one line for each that will make the release fail ("error: "EDI
// Output" is "one edi per batch": it must be ..."; a mapping file and the
// parser's reason; a folder and why it cannot be used). After the run, a
// file that could not be delivered gets the same: the output folder and why,
// and where the finished file was kept. These lines come first, before the
// per-document detail; the release itself, its error numbers and what it
// reports to the host are unchanged.
//
// --check lints the mappings first (as `quillon check --batch-class`) and
// refuses to release when they hold errors (exit 2, no number taken).
// --dry-run translates every document and reports what would be written,
// writing nothing and taking no interchange control number. --json prints
// the summary as one JSON object.
//
// The batch file is read one document at a time while the documents are
// released, so a batch of any size takes the same memory. A fault in the
// file (bad JSON, a broken document) shows when the reading reaches it: the
// documents before it are released and their output written as usual, the
// rest is not released, and the fault is reported (on standard error and in
// the summary) with the place in the file. A dry run reads the whole batch
// first.
//
// While it runs, a progress bar (documents done, share of the batch file
// read, documents per second) is shown on standard error when that is a
// terminal; otherwise every failed document is announced there as it
// happens. At the end a summary on standard output lists the documents
// released, the documents that failed (identifier and message) and the
// output files written.
//
// Exit codes: 0 everything released and written; 1 some documents failed,
// the output could not be written (or, in a dry run, would not be), or the
// batch file broke off after some documents (those before the fault were
// released); 2 the batch or batch-class file (or the interchange counter)
// cannot be used and nothing was released (a fault in the batch before its
// first document, or in its first document), or --check found errors.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/mapping_check.h"
#include "app/release_causes.h"
#include "app/release_dry_run.h"
#include "host/file_host.h"
#include "host/host_file_error.h"
#include "platform/native_path.h"
#include "release/custom_properties.h"
#include "release/release_script.h"

namespace quillon::app {
namespace {

struct ReleaseOptions {
  std::string batchFile;
  std::string batchClassFile;
  std::string errorLog;
  bool check = false;
  bool dryRun = false;
  bool json = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon release claims/batch.json
  quillon release claims/batch.json --batch-class claims/other-class.json
  quillon release claims/batch.json --error-log release-errors.jsonl
  quillon release claims/batch.json --check --dry-run
  quillon release claims/batch.json --json
The batch and batch-class files: docs/host-files.md. How a release runs, its
settings and its output file: docs/release.md.)";

// A one-line progress bar, redrawn at most ten times a second. While the
// batch file is read the number of documents is not known yet: the bar shows
// the share of the file read.
class ProgressBar {
 public:
  explicit ProgressBar(const FileHost& host)
      : host_(host), start_(std::chrono::steady_clock::now()) {}

  void Update(std::int32_t done, bool finished = false) {
    const auto now = std::chrono::steady_clock::now();
    if (!finished && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    const std::uint64_t size = host_.BatchFileSize();
    const double share =
        finished || size == 0 ? 1.0 : static_cast<double>(host_.BatchFileBytesRead()) / size;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(share * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    if (finished) {
      std::fprintf(stderr, "\r[%s] %d/%d documents, %.0f/s ", bar.c_str(), done, done, rate);
    } else {
      std::fprintf(stderr, "\r[%s] %d documents, %.0f%% of the batch file, %.0f/s ", bar.c_str(),
                   done, 100 * share, rate);
    }
    std::fflush(stderr);
  }
  void Finish(std::int32_t done) {
    Update(done, true);
    std::fputc('\n', stderr);
  }

 private:
  const FileHost& host_;
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

// The output folder the mappings named for the batch's file, when known.
std::string OutputDirectoryOf(ReleaseScript& script, const DeliveryFailure& failure) {
  const std::shared_ptr<BatchState>& batch = script.Batch();
  if (batch && batch->headerSet) {
    if (const tessel::NameValue* directory =
            batch->headerSet->Item(std::string_view("_outputDirectory"))) {
      return directory->Value();
    }
  }
  const std::size_t slash = failure.destination.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : failure.destination.substr(0, slash);
}

using Json = nlohmann::ordered_json;

Json BatchJson(const FileHost& host) {
  return {{"id", host.Batch().Id},
          {"name", host.Batch().Name},
          {"documents", host.DocumentCount()},
          {"interchangeControlNumber", host.InterchangeControlNumber()}};
}

void PrintCauses(const std::vector<std::string>& causes) {
  for (const std::string& cause : causes) std::cout << "error: " << cause << "\n";
  std::cout.flush();
}

// Lints the batch class's mappings; false when they hold errors.
bool CheckMappings(FileHost& host, const ReleaseOptions& options, Json& summary) {
  const HostCustomProperties& properties = host.CustomProperties();
  if (!CustomPropertyExists(properties, "Mappings Directory")) return true;
  const std::string directory = GetCustomPropertyValue(properties, "Mappings Directory");
  if (directory.empty()) return true;
  const marrow::AvailableFields available = AvailableFieldsOf(host.BatchClass());
  const MappingCheck check = CheckMappingSets({directory}, &available);
  if (options.json) {
    summary["check"] = CheckJson(check);
  } else {
    PrintFindings(check, std::cout);
  }
  if (check.Passes(false)) return true;
  if (options.json) {
    summary["refused"] = true;
  } else {
    std::cout << "error: the mappings hold " << check.Errors()
              << (check.Errors() == 1 ? " error" : " errors")
              << ": nothing was released (quillon check --batch-class " << host.BatchClassFilePath()
              << " shows the same)\n";
  }
  return false;
}

int Release(FileHost& host, const ReleaseOptions& options, std::vector<std::string> causes,
            Json& summary) {
  host.ReserveInterchangeControlNumber();

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  // On a terminal the bar would be torn by the host's messages; the summary
  // lists the failures instead.
  host.SetEchoMessages(!terminal && !options.json);

  ReleaseScript script;
  script.SetDocumentData(&host);
  const std::size_t openErrors = host.Errors().size();
  const std::int32_t openResult = script.OpenScript();
  const std::size_t afterOpen = host.Errors().size();

  std::unique_ptr<ProgressBar> progress;
  if (terminal && !options.json) progress = std::make_unique<ProgressBar>(host);
  std::vector<FailedDocument> failed;
  std::int32_t released = 0;
  std::optional<HostFileError> broken;
  for (bool more = host.CurrentDocumentPosition() != 0; more;) {
    const std::size_t messagesBefore = host.Messages().size();
    const std::size_t errorsBefore = host.Errors().size();
    if (script.ReleaseDoc() == 0) {
      ++released;
    } else {
      failed.push_back(FailureOf(host, host.DocumentId(), messagesBefore, errorsBefore));
    }
    if (progress) progress->Update(host.DocumentCount());
    try {
      more = host.NextDocument();
    } catch (const HostFileError& e) {
      // The documents released so far are delivered as usual.
      broken = e;
      more = false;
    }
  }
  const std::int32_t total = host.DocumentCount();
  if (progress && total > 0) progress->Finish(total);
  if (broken && !options.json) std::cerr << "error: " << broken->what() << "\n";

  const std::size_t closeErrors = host.Errors().size();
  const std::int32_t closeResult = script.CloseScript();

  // A file that could not be delivered: its folder and where it was kept.
  // Without a working file the run never got that far, and a cause found
  // before the run already says why.
  std::vector<std::string> notes;
  std::vector<std::string> kept;
  const std::size_t before = causes.size();
  for (const DeliveryFailure& failure :
       DeliveryFailures(host.Errors(), openErrors, host.Errors().size())) {
    if (failure.workingFile.empty() && before > 0) continue;
    std::string cause = DeliveryCause(failure, OutputDirectoryOf(script, failure));
    if (std::find(causes.begin(), causes.end(), cause) == causes.end()) {
      causes.push_back(std::move(cause));
    }
    if (std::string note = KeptFileNote(failure); !note.empty()) {
      kept.push_back(platform::ToNativePath(failure.workingFile));
      notes.push_back(std::move(note));
    }
  }
  const std::vector<std::string>& written = script.Batch()->outputFilesWritten;
  const bool everything = openResult == 0 && closeResult == 0 && failed.empty() && !broken;

  if (options.json) {
    summary["batch"] = BatchJson(host);
    summary["causes"] = causes;
    summary["opened"] = openResult == 0;
    summary["released"] = released;
    Json failures = Json::array();
    for (const FailedDocument& document : failed) {
      failures.push_back(
          {{"id", document.id}, {"message", document.message}, {"number", document.number}});
    }
    summary["failed"] = std::move(failures);
    if (broken) summary["batchFileFault"] = broken->what();
    summary["outputWritten"] = closeResult == 0;
    Json files = Json::array();
    for (const std::string& file : written) files.push_back(platform::ToNativePath(file));
    summary["outputFiles"] = std::move(files);
    summary["keptWorkingFiles"] = kept;
    return everything ? kExitSuccess : kExitSomeFailed;
  }

  // The causes found after the run, before any detail.
  PrintCauses(
      std::vector<std::string>(causes.begin() + static_cast<std::ptrdiff_t>(before), causes.end()));
  for (const std::string& note : notes) std::cout << note << "\n";
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
  if (broken) {
    std::cout << "the batch file breaks off after document " << total
              << "; the documents after it were not released:\n  " << broken->what() << "\n";
  }
  if (closeResult != 0) {
    std::cout << "the output could not be written:\n";
    PrintReports(host, closeErrors, host.Errors().size());
  }
  std::cout << "output files written: " << written.size() << "\n";
  for (const std::string& file : written) std::cout << "  " << platform::ToNativePath(file) << "\n";
  return everything ? kExitSuccess : kExitSomeFailed;
}

int Run(const ReleaseOptions& options) {
  // The batch up to its first document (which is read too), and the batch
  // class: a fault here stops the command before anything is reserved.
  FileHost host(options.batchFile, options.batchClassFile,
                options.dryRun ? FileHost::kReadAllDocuments : FileHost::kStreamDocuments);
  if (!options.errorLog.empty()) host.ErrorLog().SetPath(options.errorLog);
  Json summary = Json::object();
  summary["dryRun"] = options.dryRun;

  int code = kExitSuccess;
  if (options.check && !CheckMappings(host, options, summary)) {
    code = kExitUsageOrInput;
  } else {
    const std::vector<std::string> causes = SettingCauses(host.CustomProperties());
    // Said before anything runs, so they come first.
    if (!options.json) PrintCauses(causes);
    if (options.dryRun) {
      code = DryRun(host, causes, options.json, summary);
    } else {
      summary["causes"] = causes;
      code = Release(host, options, causes, summary);
    }
  }
  if (options.json) {
    std::cout << summary.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  }
  const int finished = FinishOutput();
  return code != kExitSuccess ? code : finished;
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
      sub.add_flag("--check", options->check,
                   "Check the mappings against the batch class first; release nothing when they "
                   "hold errors");
      sub.add_flag("--dry-run", options->dryRun,
                   "Translate every document and show what would be written; write nothing and "
                   "take no interchange control number");
      sub.add_flag("--json", options->json, "Print the summary as one JSON object");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
