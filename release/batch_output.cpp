#include "release/batch_output.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/os_services.h"
#include "platform/text.h"
#include "release/file_routines.h"
#include "release/file_system_seam.h"
#include "release/library_location.h"
#include "release/owned_files.h"
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
    batch.batchText.Append(record->Value());
    if (const tessel::NameValue* footer = fields.Item(std::string_view("_recordFooter"))) {
      batch.batchText.Append(footer->Value());
    }
  } catch (const platform::Error& e) {
    throw e.Wrapped(506, "ProcessDocOutputFile, ");
  }
}

namespace {

// The batch text can be large: convert and write it in slices so the
// single-byte copy never needs the memory of the whole text. A slice ends
// before a UTF-8 continuation byte so no character is cut in two. The
// slices go through one buffer, whose pages are made present once per file
// rather than once per slice.
constexpr std::size_t kSliceBytes = 256 << 10;
// A stretch of ASCII from this length on is written without a copy.
constexpr std::size_t kDirectBytes = 64 << 10;

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

// Whether a byte is the same in the output file as in the text: printable
// ASCII, tab, line feed and carriage return.
bool PassesThrough(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x20 && byte < 0x80) || c == '\t' || c == '\n' || c == '\r';
}

// Whether the eight bytes at `p` all pass through.
bool PassThrough8(const char* p) {
  std::uint64_t chunk = 0;
  std::memcpy(&chunk, p, 8);
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  if ((chunk & kHigh) != 0) return false;
  // Below 0x80, adding 0x60 sets the high bit of exactly the bytes >= 0x20.
  if (((chunk + 0x6060606060606060ull) & kHigh) == kHigh) return true;
  for (int k = 0; k < 8; ++k) {
    if (!PassesThrough(p[k])) return false;
  }
  return true;
}

// The number of bytes of `text` from `from` on that pass through.
std::size_t PassThroughRun(std::string_view text, std::size_t from) {
  std::size_t end = from;
  while (end + 8 <= text.size() && PassThrough8(text.data() + end)) end += 8;
  while (end < text.size() && PassesThrough(text[end])) ++end;
  return end - from;
}

// Appends to `bytes` the bytes of the output file for a piece of text:
// Windows-1252, and "?" for a character it cannot hold and for a control
// character other than tab, line feed and carriage return (a NUL, ESC or BEL
// from a field value has no place in an EDI file and would reach the
// receiver raw).
void AppendOutputBytes(std::string_view utf8, std::string& bytes) {
  bytes.reserve(bytes.size() + utf8.size());
  const std::size_t size = utf8.size();
  for (std::size_t i = 0; i < size;) {
    // ASCII, nearly all of an EDI file, goes as it is.
    std::size_t end = i + PassThroughRun(utf8, i);
    bytes.append(utf8.data() + i, end - i);
    if (end == size) break;
    // The rest up to the next byte that passes through (never inside a
    // UTF-8 sequence) is converted.
    i = end;
    while (end < size && !PassesThrough(utf8[end])) ++end;
    const std::size_t from = bytes.size();
    bytes += platform::text::ToWindows1252(utf8.substr(i, end - i));
    for (std::size_t k = from; k < bytes.size(); ++k) {
      if (static_cast<unsigned char>(bytes[k]) < 0x20) bytes[k] = '?';
    }
    i = end;
  }
}

[[noreturn]] void RaiseWriteError(int code) {
  throw platform::FileError(code, platform::FileOperation::kCreate, "WriteToOutputFile")
      .Wrapped(7002, "WriteToOutputFile");
}

// An output file open for appending, written through the file-system seam;
// every failure raises 7002 "WriteToOutputFile".
class OutputFile {
 public:
  OutputFile(std::string_view path, bool exclusive) {
    const std::string native = platform::ToNativePath(path);
    if (native.empty()) RaiseWriteError(ENOENT);
    if (const int rc = CurrentFileSystem().OpenForAppend(native, 0600, exclusive, descriptor_);
        rc != 0) {
      RaiseWriteError(rc);
    }
  }
  ~OutputFile() {
    if (descriptor_ >= 0) CurrentFileSystem().Close(descriptor_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The bytes go out a slice at a time; the short pieces of a file (its
  // header, a document's records, its footer) in one write together. A long
  // stretch of ASCII, nearly all of a batch's text, is already what the
  // file holds: it is written straight from the text, not copied through a
  // buffer of fresh memory first.
  void Append(std::string_view text) {
    for (std::size_t from = 0; from < text.size();) {
      // A short text (a document's record) is not scanned twice.
      const std::size_t run = text.size() - from >= kDirectBytes ? PassThroughRun(text, from) : 0;
      if (run >= kDirectBytes) {
        WriteOut();
        WriteBytes(text.substr(from, run));
        from += run;
        continue;
      }
      const std::size_t end = SliceEnd(text, from);
      AppendOutputBytes(text.substr(from, end - from), bytes_);
      if (bytes_.size() >= kSliceBytes) WriteOut();
      from = end;
    }
  }

  void Close() {
    WriteOut();
    const int fd = descriptor_;
    descriptor_ = -1;
    if (const int rc = CurrentFileSystem().Close(fd); rc != 0) RaiseWriteError(rc);
  }

 private:
  void WriteOut() {
    if (bytes_.empty()) return;
    WriteBytes(bytes_);
    bytes_.clear();
  }

  void WriteBytes(std::string_view bytes) {
    if (const int rc = CurrentFileSystem().Write(descriptor_, bytes.data(), bytes.size());
        rc != 0) {
      RaiseWriteError(rc);
    }
  }

  int descriptor_ = -1;
  std::string bytes_;  // in the file's bytes, not written yet
};

bool RegularFileExists(const std::string& path) {
  FileStatus status;
  return CurrentFileSystem().Status(platform::ToNativePath(path), false, status) == 0 &&
         status.isRegular;
}

}  // namespace

void WriteToOutputFile(std::string_view path, std::string_view text) {
  OutputFile file(path, false);
  file.Append(text);
  file.Close();
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
  // The working file while it is this process's own: it is removed or kept
  // when the finalisation fails.
  std::string workingFile;
  std::string fileName;
  bool workingComplete = false;
  bool delivered = false;
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
    // A blank folder would put the file into the root of the file system
    // (the path starts with the separator).
    if (internal::IsBlankFolder(outputDirectory->Value())) internal::RaiseBlankOutputDirectory();
    batch.destinationDirectory = outputDirectory->Value();
    if (!DirectoryExists(batch.destinationDirectory))
      CreateDirectoryTree(batch.destinationDirectory);
    LogLine(1, 1, "[InitOutputFile]",
            " Final Destination Directory : ", batch.destinationDirectory);

    fileName = MakeValidFileName(fileName);

    batch.workingDirectory = host.CustomProperties().Item("Working Directory").Value;
    if (internal::IsBlankFolder(batch.workingDirectory)) internal::RaiseBlankWorkingDirectory();
    if (!DirectoryExists(batch.workingDirectory)) CreateDirectoryTree(batch.workingDirectory);
    RemoveLeftoversOnce(batch.workingDirectory, false);

    // The working file carries this process in its name: no lock is needed
    // to keep it apart from other processes' files, and a later release
    // recognises it as a leftover should this process be killed.
    workingFile = batch.workingDirectory + "\\" + OwnedFileName(kWorkingKind, fileName);
    std::string workingFolder;
    std::string workingName;
    SplitPath(workingFile, workingFolder, workingName);

    batch.destinationDirectory += "\\";
    batch.workingFilePath = workingFile;
    batch.outputFileName = workingName;

    {
      OutputFile file(workingFile, true);
      const std::string& headerText = header->Value("DOCTYPE");
      LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Writing header : ", headerText);
      file.Append(headerText);
      LogLine(1, 1, "[FinalizeBatchRelease][Exit]", " Writing Records String : ", batch.batchText);
      for (const std::string_view block : batch.batchText.Blocks()) file.Append(block);
      LogLine(1, 1, "[FinalizeBatchRelease][Exit]",
              " Writing Records footer. total records : ", batch.recordCount);
      if (const tessel::NameValue* footer = header->Item(std::string_view("Footer"))) {
        file.Append(platform::text::Replace(footer->Value(), "_docCount",
                                            std::to_string(batch.recordCount)));
      }
      file.Close();
    }
    workingComplete = true;

    if (RegularFileExists(workingFile)) {
      DeliverFile(workingFile, outputDirectory->Value() + "\\" + fileName, "_", &destination);
      delivered = true;
      batch.outputFilesWritten.push_back(destination);
      LogLine(1, 1, "[FinalizeBatchRelease][Kill File]",
              " Attempting to delete file: ", workingFile);
      if (const int rc = CurrentFileSystem().Remove(platform::ToNativePath(workingFile)); rc != 0) {
        throw platform::FileError(rc, platform::FileOperation::kOpen, "Kill");
      }
      workingFile.clear();
      LogLine(1, 1, "[FinalizeBatchRelease][Exit]",
              " Successfully Moved OutputFile: ", batch.workingFilePath,
              ", Destination File: ", destination);
      batch.batchText.Clear();
      batch.recordCount = 0;
      header->Remove("DOCTYPE");
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "FinalizeBatchRelease");
    std::string cause = e.Description();
    if (!workingFile.empty()) {
      if (workingComplete && !delivered) {
        // The only copy of output that did not reach its folder: kept, under
        // a name of the working folder that no later release removes.
        try {
          batch.workingFilePath =
              KeepUnderFreeName(workingFile, batch.workingDirectory + "\\" + fileName, "_");
          cause += ". The output file was not delivered; it is kept as " +
                   platform::ToNativePath(batch.workingFilePath);
        } catch (const std::exception&) {
          cause += ". The output file was not delivered; it is left as " +
                   platform::ToNativePath(workingFile);
        }
      } else {
        // Half written (a full disk), or delivered already: nothing to keep.
        CurrentFileSystem().Remove(platform::ToNativePath(workingFile));
      }
    }
    batch.batchText.Clear();
    batch.recordCount = 0;
    throw platform::Error(
        7004, "CloseScript - FinalizeBatchRelease, OutputFile: " + batch.workingFilePath +
                  ", Destination File: " + destination + " Error Description : " + cause);
  }
}

}  // namespace quillon
