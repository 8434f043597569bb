// Where the stand-in host keeps the failures that the connector reports
// through ReportError: every report is kept in memory for the summary at the
// end of a run and, when a path is set, appended to an error log file as one
// JSON object per line:
//
//   {"time":"2024-03-01T10:15:02","batchId":"B-1001","documentId":17,
//    "number":7000,"source":"ProcessDocument","description":"...",
//    "arguments":[-1,0,0]}
//
// "documentId" is null when no document was current. Each entry is written
// with one append, so several processes may share one log. The file is made
// for its owner only (0600); a symbolic link at the path is not followed, and
// an existing file of another user, or one that others can read, is not
// written to: the entries go to a fresh file beside it, and stderr says so
// once (platform/private_file.h). A log that cannot be written is reported
// once on stderr; reporting never fails the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quillon_export.h"

namespace quillon {

struct HostErrorRecord {
  std::int32_t A = 0;
  std::int32_t B = 0;
  std::int32_t C = 0;
  std::string Description;
  std::string Source;
  std::int32_t Number = 0;
  std::string BatchId;
  std::optional<std::int32_t> DocumentId;
};

class QUILLON_API HostErrorLog {
 public:
  // "" keeps the reports in memory only (the default).
  void SetPath(std::string path);
  const std::string& Path() const noexcept { return path_; }

  void Record(HostErrorRecord record) noexcept;
  const std::vector<HostErrorRecord>& Records() const noexcept { return records_; }

  // One JSON line of a record, without the line end.
  static std::string ToJsonLine(const HostErrorRecord& record, const std::string& time);

 private:
  std::string path_;
  bool failed_ = false;
  std::vector<HostErrorRecord> records_;
};

}  // namespace quillon
