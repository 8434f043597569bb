#include "release/mapping_file_cache.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <unordered_set>

#include "platform/native_path.h"
#include "platform/os_services.h"

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

// File systems on which every change passes through this machine's kernel,
// so that inotify reports all of them. Network file systems (changes made on
// other machines), FUSE and overlays (changes to the layers below) are left
// out.
bool ChangesAreAllReported(const std::string& nativePath) {
  struct statfs info {};
  if (::statfs(nativePath.c_str(), &info) != 0) return false;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53UL:      // ext2, ext3, ext4
    case 0x58465342UL:  // xfs
    case 0x9123683EUL:  // btrfs
    case 0x01021994UL:  // tmpfs
    case 0xF2F52010UL:  // f2fs
      return true;
    default:
      return false;
  }
}

}  // namespace

// The change reports (inotify) of the cached files: each file, and each
// folder on its path for the entries that lead to it (a folder renamed or
// replaced, a file moved over the mapping file).
class MappingFileCache::ChangeReports {
 public:
  ChangeReports()
      : descriptor_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
        owner_(platform::CurrentProcessId()) {}
  ~ChangeReports() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  ChangeReports(const ChangeReports&) = delete;
  ChangeReports& operator=(const ChangeReports&) = delete;

  // A child process shares the parent's queue: whichever reads a report
  // takes it from the other, so only the process that made it uses it.
  bool Usable() const noexcept {
    return descriptor_ >= 0 && owner_ == platform::CurrentProcessId();
  }

  // Asks for reports on the file and every folder on its path; false when
  // its changes would not all be reported (then it is stat()ed at every use).
  bool Watch(const std::string& nativePath) {
    if (!Usable() || nativePath.size() < 2 || nativePath[0] != '/') return false;
    // Only a path without symbolic links, "." or "..": the folders watched
    // are then the ones the path goes through.
    char* resolved = ::realpath(nativePath.c_str(), nullptr);
    if (resolved == nullptr) return false;
    const bool direct = nativePath == resolved;
    std::free(resolved);
    if (!direct || !ChangesAreAllReported(nativePath)) return false;

    const int file = ::inotify_add_watch(
        descriptor_, nativePath.c_str(),
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF | IN_DONT_FOLLOW);
    if (file < 0) return false;
    files_.insert(file);
    std::string path = nativePath;
    for (;;) {
      const std::size_t slash = path.rfind('/');
      const std::string child = path.substr(slash + 1);
      const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
      const int watch =
          ::inotify_add_watch(descriptor_, folder.c_str(),
                              IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW);
      if (watch < 0) return false;
      folders_[watch].insert(child);
      if (slash == 0) break;
      path = folder;
    }
    return true;
  }

  // Reads the reports that arrived; true when one of them concerns a
  // watched path (or reports were lost).
  bool Changed() {
    bool changed = false;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
      const ssize_t got = ::read(descriptor_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (got <= 0) return true;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (Concerns(*event)) changed = true;
        if ((event->mask & IN_IGNORED) != 0) {
          files_.erase(event->wd);
          folders_.erase(event->wd);
        }
      }
    }
    return changed;
  }

 private:
  bool Concerns(const inotify_event& event) const {
    if ((event.mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_UNMOUNT)) != 0) return true;
    if (files_.count(event.wd) != 0) return true;
    const auto folder = folders_.find(event.wd);
    if (folder == folders_.end()) return true;
    // The folder itself, or the entry on a watched path.
    return event.len == 0 || folder->second.count(event.name) != 0;
  }

  int descriptor_;
  std::int32_t owner_;
  std::unordered_set<int> files_;
  std::unordered_map<int, std::unordered_set<std::string>> folders_;
};

MappingFileCache::MappingFileCache() = default;
MappingFileCache::~MappingFileCache() = default;

void MappingFileCache::BeginDocument() {
  inDocument_ = true;
  if (!reports_) reports_ = std::make_unique<ChangeReports>();
  if (!reports_->Usable() || reports_->Changed()) {
    for (auto& entry : entries_) entry.second.reported = false;
  }
}

std::shared_ptr<const marrow::ConditionalMappings> MappingFileCache::Load(std::string_view path) {
  const std::string key(path);
  const auto it = entries_.find(key);
  if (inDocument_ && it != entries_.end() && it->second.reported) return it->second.mappings;

  const std::string native = platform::ToNativePath(path);
  FileStamp stamp;
  ++stamps_;
  const bool stamped = StampOf(native, stamp);
  if (stamped && it != entries_.end() && it->second.stamp == stamp) {
    Entry& entry = it->second;
    if (inDocument_ && reports_ && reports_->Usable() && unwatched_.count(key) == 0) {
      // Reports start with the watch; a change between the stat above and
      // the watch shows in a second stat.
      FileStamp again;
      if (!reports_->Watch(native)) {
        unwatched_.insert(key);
      } else if (StampOf(native, again) && again == stamp) {
        ++stamps_;
        entry.reported = true;
      }
    }
    return entry.mappings;
  }
  // Missing or changed: read it (a missing file fails inside the load with
  // the parser's own reason).
  if (it != entries_.end()) entries_.erase(it);
  auto mappings = std::make_shared<marrow::ConditionalMappings>();
  ++reads_;
  mappings->LoadFromXMLFile(path);
  if (stamped && !RecentlyModified(stamp)) entries_[key] = Entry{stamp, mappings, false};
  return mappings;
}

}  // namespace quillon
