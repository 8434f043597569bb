// BatchReader: a batch file (format in batch_file.h) read one document at a
// time, so that a batch of any size is released in a constant amount of
// memory. The file is read as a stream; only the current document is held.
//
//   BatchReader reader("claims/batch.json");   // reads up to the documents
//   reader.Batch().Id ...                        // the batch without documents
//   BatchDocument document;
//   while (reader.Next(document)) { ... }        // one after the other
//
// Every check of batch_file.h is made, in the order of the text: a document
// is checked completely before it is handed out, and a fault raises
// HostFileError naming the file, the place (a JSON pointer, or the line and
// column of a syntax error) and the problem. The documents handed out before
// a fault stay valid: a caller may release them and report the fault after.
// A document id is remembered (8 bytes a document) to refuse a duplicate.
//
// The batch's own keys may come before or after "documents". When one of
// them comes only after the documents, the whole file is read once ahead
// (without keeping the documents) to find it, so that nothing is handed out
// from a batch whose header is incomplete or broken.
//
// The file must be a regular file (not a folder, device, pipe or socket);
// it has no size limit. JSON nesting deeper than 64 levels is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/batch_file.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API BatchReader {
 public:
  // Opens the file and reads the batch up to its first document.
  explicit BatchReader(const std::string& path);
  // The same for a text in memory, which must outlive the reader; `file`
  // names it in messages.
  BatchReader(std::string_view text, std::string file);
  ~BatchReader();
  BatchReader(const BatchReader&) = delete;
  BatchReader& operator=(const BatchReader&) = delete;

  // The batch's own values; Documents stays empty.
  const BatchDefinition& Batch() const noexcept;

  // Reads the next document into `document` and returns true, or returns
  // false after the last one, once the rest of the file has been read and
  // checked (then and afterwards). Raises HostFileError at a fault.
  bool Next(BatchDocument& document);

  std::int64_t DocumentsRead() const noexcept;
  // How far the reading has come, and the size of the file (or text).
  std::uint64_t BytesRead() const noexcept;
  std::uint64_t Size() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
