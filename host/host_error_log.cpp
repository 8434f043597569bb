#include "host/host_error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "platform/private_file.h"

namespace quillon {

namespace {
std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}
}  // namespace

void HostErrorLog::SetPath(std::string path) {
  path_ = std::move(path);
  failed_ = false;
}

std::string HostErrorLog::ToJsonLine(const HostErrorRecord& record, const std::string& time) {
  nlohmann::ordered_json entry = nlohmann::ordered_json::object();
  entry["time"] = time;
  entry["batchId"] = record.BatchId;
  if (record.DocumentId) {
    entry["documentId"] = *record.DocumentId;
  } else {
    entry["documentId"] = nullptr;
  }
  entry["number"] = record.Number;
  entry["source"] = record.Source;
  entry["description"] = record.Description;
  entry["arguments"] = {record.A, record.B, record.C};
  // Texts from the mappings may hold bytes that are not UTF-8; keep the line
  // valid JSON rather than fail the report.
  return entry.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void HostErrorLog::Record(HostErrorRecord record) noexcept {
  try {
    records_.push_back(std::move(record));
    if (path_.empty() || failed_) return;
    const std::string line = ToJsonLine(records_.back(), LocalTimeStamp()) + "\n";
    // Never through a planted link, never into someone else's or a readable
    // file: those are replaced by a fresh file beside it (said once).
    const platform::PrivateFile file = platform::OpenPrivateAppendFile(path_);
    if (!file.notice.empty()) std::fprintf(stderr, "quillon: %s\n", file.notice.c_str());
    int error = file.error;
    if (file.descriptor >= 0) {
      // One write per entry: O_APPEND keeps lines of several processes whole.
      const ssize_t put = ::write(file.descriptor, line.data(), line.size());
      if (put != static_cast<ssize_t>(line.size())) error = put < 0 ? errno : EIO;
      if (::close(file.descriptor) != 0 && error == 0) error = errno;
    }
    if (error != 0) {
      failed_ = true;
      std::fprintf(stderr,
                   "quillon: cannot write the error log %s (%s); errors are kept in memory\n",
                   path_.c_str(), std::strerror(error));
    }
  } catch (...) {
    // Reporting must never fail the operation that reports.
  }
}

}  // namespace quillon
