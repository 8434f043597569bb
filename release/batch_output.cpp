#include "release/batch_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/os_services.h"
#include "platform/text.h"
#include "release/file_routines.h"
#include "release/library_location.h"
#include "release/release_errors.h"
#include "release/release_log.h"

namespace quillon {

using internal::LogLine;

void ResetBatchStatus(const HostReleaseData& host, BatchState& batch) {
  if (!batch.documentStatus) {
    batch.documentStatus = std::make_unique<DocumentStatusCollection>();
  }
  batch.documentStatus->Clear();
  batch.batchName = host.BatchName();
  batch.documentCount = 0;
}

void AddDocumentStatus(const HostReleaseData& host, BatchState& batch) {
  try {
    if (!batch.documentStatus) internal::RaiseNotPrepared("AddRecordToBatchDocStatus");
    DocumentStatus record;
    record.documentId = host.DocumentId();
    record.released = false;
    batch.documentStatus->Add(record, DocumentStatusKey(record.documentId));
  } catch (const platform::Error& e) {
    throw e.Wrapped(500, "AddRecordToBatchDocStatus");
  }
}

void AppendRecordToBatch(const tessel::NameValueList& fields, const HostReleaseData* /*host*/,
                         BatchState& batch) {
  try {
    const tessel::NameValue* record = fields.Item(std::string_view("_outputString"));
    if (record == nullptr) platform::Raise(112, "ProcessDocOutputFile");
    batch.currentRecord = record->Value();
    LogLine(0, 2,
            "[ProcessDocOutputFile]:", " Process Document Output: Writing record in output file ",
            batch.workingFilePath, ",");
    batch.batchText.append(record->Value());
    if (const tessel::NameValue* footer = fields.Item(std::string_view("_recordFooter"))) {
      batch.batchText.append(footer->Value());
    }
  } catch (const platform::Error& e) {
    throw e.Wrapped(506, "ProcessDocOutputFile, ");
  }
}

namespace {

// Writes all of `bytes` to `fd`; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The batch text can be large: convert and write it in slices so the
// single-byte copy never needs the memory of the whole text. A slice ends
// before a UTF-8 continuation byte so no character is cut in two.
constexpr std::size_t kSliceBytes = 1 << 20;

std::size_t SliceEnd(std::string_view text, std::size_t from) {
  std::size_t end = from + kSliceBytes;
  if (end >= text.size()) return text.size();
  for (int back = 0; back < 3 && end > from + 1; ++back) {
    const auto byte = static_cast<unsigned char>(text[end]);
    if ((byte & 0xC0) != 0x80) break;
    --end;
  }
  return end;
}

bool RegularFileExists(const std::string& nativePath) {
  struct stat info {};
  return !nativePath.empty() && ::stat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Removes the empty placeholder that MakeFileNameUnique reserved in the
// output directory when the copy into it failed, so that no empty claim file
// is left for the receiving side to pick up. Anything with content is left.
void RemoveEmptyPlaceholder(const std::string& destination) noexcept {
  if (destination.empty()) return;
  const std::string native = platform::ToNativePath(destination);
  struct stat info {};
  if (native.empty() || ::lstat(native.c_str(), &info) != 0) return;
  if (S_ISREG(info.st_mode) && info.st_size == 0) ::unlink(native.c_str());
}

}  // namespace

void WriteToOutputFile(std::string_view path, std::string_view text) {
  try {
    const std::string native = platform::ToNativePath(path);
    if (native.empty()) {
      throw platform::FileError(ENOENT, platform::FileOperation::kCreate, "WriteToOutputFile");
    }
    const int fd =
        ::open(native.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      throw platform::FileError(errno, platform::FileOperation::kCreate, "WriteToOutputFile");
    }
    for (std::size_t from = 0; from < text.size();) {
      const std::size_t end = SliceEnd(text, from);
      const std::string bytes = platform::text::ToWindows1252(text.substr(from, end - from));
      if (!WriteAll(fd, bytes)) {
        const int code = errno;
        ::close(fd);
        throw platform::FileError(code, platform::FileOperation::kCreate, "WriteToOutputFile");
      }
      from = end;
    }
    if (::close(fd) != 0) {
      throw platform::FileError(errno, platform::FileOperation::kCreate, "WriteToOutputFile");
    }
  } catch (const platform::Error& e) {
    throw e.Wrapped(7002, "WriteToOutputFile");
  }
}

std::string MakeValidFileName(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        c = '-';
        break;
      default:
        break;
    }
  }
  for (char& c : out) {
    if (c == ' ') c = '_';
  }
  return out;
}

void FinalizeBatchRelease(const DocumentStatusCollection* documentStatus,
                          const HostReleaseData& host, BatchState& batch) {
  std::string destination;
  try {
    if (documentStatus == nullptr) internal::RaiseNotPrepared("FinalizeBatchRelease");
    std::int32_t total = 0;
    std::int32_t released = 0;
    for (const DocumentStatus& record : *documentStatus) {
      ++total;
      if (record.released) ++released;
    }
    LogLine(1, 1, "[FinalizeBatchRelease][Status]", "Batch Name: ", batch.batchName,
            ", Doc Class Name: ", host.DocumentClassName(), ", Total Docs=", total,
            ", Released=", released, ", Errored=", total - released);

    tessel::NameValueList* header = batch.headerSet.get();
    if (header == nullptr || header->empty() || !header->Exists("DOCTYPE")) return;

    LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Writing records to the file.");
    std::string fileName;
    if (const tessel::NameValue* name = header->Item(std::string_view("_outputFileName"))) {
      fileName = name->Value();
    } else {
      LogLine(1, 1, "[Finalize batch]", " No output File Name specified: ");
    }

    const tessel::NameValue* outputDirectory = header->Item(std::string_view("_outputDirectory"));
    if (outputDirectory == nullptr) {
      platform::Raise(platform::err::kInvalidProcedureCall, "FinalizeBatchRelease",
                      "The header values of the batch have no \"_outputDirectory\"");
    }
    batch.destinationDirectory = outputDirectory->Value();
    if (!DirectoryExists(batch.destinationDirectory))
      CreateDirectoryTree(batch.destinationDirectory);
    LogLine(1, 1, "[InitOutputFile]",
            " Final Destination Directory : ", batch.destinationDirectory);

    fileName = MakeValidFileName(fileName);

    batch.workingDirectory = host.CustomProperties().Item("Working Directory").Value;
    if (!batch.workingDirectory.empty()) {
      if (!DirectoryExists(batch.workingDirectory)) CreateDirectoryTree(batch.workingDirectory);
    } else {
      batch.workingDirectory = LibraryDirectory();
    }

    const std::string workingFile =
        MakeFileNameUnique(batch.workingDirectory + "\\" + fileName, "_");
    std::string workingFolder;
    std::string workingName;
    SplitPath(workingFile, workingFolder, workingName);

    batch.destinationDirectory += "\\";
    batch.workingFilePath = workingFile;
    batch.outputFileName = workingName;

    const std::string& headerText = header->Value("DOCTYPE");
    LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Writing header : ", headerText);
    WriteToOutputFile(workingFile, headerText);
    LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Writing Records String : ", batch.batchText);
    WriteToOutputFile(workingFile, batch.batchText);
    LogLine(1, 1, "[FinalizeBatchRelease][Exit]",
            " Writing Records footer. total records : ", batch.recordCount);
    if (const tessel::NameValue* footer = header->Item(std::string_view("Footer"))) {
      WriteToOutputFile(workingFile, platform::text::Replace(footer->Value(), "_docCount",
                                                             std::to_string(batch.recordCount)));
    }

    if (RegularFileExists(platform::ToNativePath(workingFile))) {
      destination = MakeFileNameUnique(outputDirectory->Value() + "\\" + fileName, "_");
      try {
        CopyFileAtomically(workingFile, destination);
      } catch (...) {
        RemoveEmptyPlaceholder(destination);
        throw;
      }
      batch.outputFilesWritten.push_back(destination);
      LogLine(1, 1, "[FinalizeBatchRelease][Kill File]",
              " Attempting to delete file: ", workingFile);
      const std::string nativeWorking = platform::ToNativePath(workingFile);
      if (::unlink(nativeWorking.c_str()) != 0) {
        throw platform::FileError(errno, platform::FileOperation::kOpen, "Kill");
      }
      LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Successfully Moved OutputFile: ", workingFile,
              ", Destination File: ", destination);
      batch.batchText.clear();
      batch.batchText.shrink_to_fit();
      batch.recordCount = 0;
      header->Remove("DOCTYPE");
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "FinalizeBatchRelease");
    batch.batchText.clear();
    batch.batchText.shrink_to_fit();
    batch.recordCount = 0;
    throw platform::Error(
        7004, "CloseScript - FinalizeBatchRelease, OutputFile: " + batch.workingFilePath +
                  ", Destination File: " + destination + " Error Description : " + e.Description());
  }
}

}  // namespace quillon
