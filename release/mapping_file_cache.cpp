#include "release/mapping_file_cache.h"

#include <sys/stat.h>

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
  if (stamped) entries_[key] = Entry{stamp, mappings};
  return mappings;
}

}  // namespace quillon
