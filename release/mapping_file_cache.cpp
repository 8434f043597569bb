#include "release/mapping_file_cache.h"

#include <sys/stat.h>

#include <ctime>

#include "platform/native_path.h"

namespace quillon {

bool StampOf(const std::string& nativePath, FileStamp& stamp) {
  if (nativePath.empty()) return false;
  struct stat info {};
  if (::stat(nativePath.c_str(), &info) != 0) return false;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.mtimeSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  stamp.mtimeNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return true;
}

namespace {

// File times come from the kernel's coarse clock, so an edit within the same
// tick as the stat that preceded a load, keeping the size, would leave the
// stamp unchanged. A file modified in the last seconds is therefore not kept:
// it is read again at the next use until it has been quiet for a while.
constexpr std::int64_t kQuietSeconds = 2;

bool RecentlyModified(const FileStamp& stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return stamp.mtimeSeconds + kQuietSeconds >= static_cast<std::int64_t>(now.tv_sec);
}

}  // namespace

std::shared_ptr<const marrow::ConditionalMappings> MappingFileCache::Load(std::string_view path) {
  const std::string key(path);
  FileStamp stamp;
  const bool stamped = StampOf(platform::ToNativePath(path), stamp);
  if (stamped) {
    const auto it = entries_.find(key);
    if (it != entries_.end() && it->second.stamp == stamp) return it->second.mappings;
  }
  // Missing or changed: read it (a missing file fails inside the load with
  // the parser's own reason).
  entries_.erase(key);
  auto mappings = std::make_shared<marrow::ConditionalMappings>();
  ++reads_;
  mappings->LoadFromXMLFile(path);
  if (stamped && !RecentlyModified(stamp)) entries_[key] = Entry{stamp, mappings};
  return mappings;
}

}  // namespace quillon
