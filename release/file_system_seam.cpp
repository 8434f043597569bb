#include "release/file_system_seam.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "release/owned_files.h"

namespace quillon {
namespace {

#ifdef QUILLON_TEST_HOOKS
// The fault-injection settings of the environment (see the header), read on
// first use.
struct TestHooks {
  long crashAt = 0;
  bool noHardLinks = false;
  std::atomic<long> calls{0};

  TestHooks() {
    if (const char* at = std::getenv("QUILLON_TEST_CRASH_AT")) crashAt = std::atol(at);
    if (const char* links = std::getenv("QUILLON_TEST_HARD_LINKS")) {
      noHardLinks = std::strcmp(links, "off") == 0;
    }
  }
};

TestHooks& Hooks() {
  static TestHooks hooks;
  return hooks;
}

// Every call of the real file system passes here first.
void Step() noexcept {
  TestHooks& hooks = Hooks();
  if (hooks.crashAt > 0 && ++hooks.calls == hooks.crashAt) ::kill(::getpid(), SIGKILL);
}
bool HardLinksRefused() noexcept {
  return Hooks().noHardLinks;
}
#else
void Step() noexcept {}
bool HardLinksRefused() noexcept {
  return false;
}
#endif

int OpenNew(const std::string& path, unsigned mode, int extraFlags) {
  // O_EXCL with O_CREAT also refuses a symbolic link at the path (even a
  // dangling one), and O_NOFOLLOW keeps that true on every file system.
  return ::open(path.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | extraFlags,
                static_cast<mode_t>(mode));
}

int CloseChecked(int fd) {
  if (::close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

}  // namespace

FileSystem::~FileSystem() = default;

int FileSystem::CreateLockFile(const std::string& path) {
  return CreateExclusive(path, 0600);
}

void FileSystem::DropLockSeeds() {}

bool FileSystem::SameFile(const std::string& a, const std::string& b) {
  FileStatus first;
  FileStatus second;
  return Status(a, false, first) == 0 && Status(b, false, second) == 0 && first.inode != 0 &&
         first.device == second.device && first.inode == second.inode;
}

// The seed of each folder (keyed by the folder part of the lock path, with
// its trailing slash), and the folders where a seed cannot be linked.
struct PosixFileSystem::LockSeeds {
  std::mutex mutex;
  std::unordered_map<std::string, std::string> byFolder;
  std::unordered_set<std::string> withoutLinks;
};

PosixFileSystem::PosixFileSystem() : seeds_(std::make_unique<LockSeeds>()) {}

PosixFileSystem::~PosixFileSystem() {
  DropLockSeeds();
}

int PosixFileSystem::CreateLockFile(const std::string& path) {
  if (path.empty()) return CreateExclusive(path, 0600);
  // Every lock taken by creating and deleting a file frees an inode, and a
  // file system without a journal (ext4) skips the inodes freed in the last
  // minutes when it allocates the next ones: with one lock per document the
  // creation of every file in the folder slows down as the batch goes on.
  // A second name of a file the process keeps allocates and frees nothing.
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::string seed;
  {
    std::lock_guard<std::mutex> guard(seeds_->mutex);
    if (seeds_->withoutLinks.count(folder) != 0) {
      return CreateExclusive(path, 0600);
    }
    const auto known = seeds_->byFolder.find(folder);
    if (known != seeds_->byFolder.end()) {
      seed = known->second;
    } else {
      seed = folder + OwnedFileName(kLockSeedKind);
      if (CreateExclusive(seed, 0600) != 0) {
        // The lock file's own creation tells what is wrong with the folder.
        return CreateExclusive(path, 0600);
      }
      if (seeds_->byFolder.size() >= 4096) {
        for (const auto& entry : seeds_->byFolder) Remove(entry.second);
        seeds_->byFolder.clear();
      }
      seeds_->byFolder.emplace(folder, seed);
    }
  }
  const int rc = Link(seed, path);
  if (rc == 0) return 0;
  // EEXIST over NFS may mean that the lock file is the seed itself.
  if (rc == EEXIST) return SameFile(seed, path) ? 0 : EEXIST;
  {
    std::lock_guard<std::mutex> guard(seeds_->mutex);
    // A seed removed by someone is made again next time; a folder without
    // hard links gets new lock files from now on.
    seeds_->byFolder.erase(folder);
    if (rc == EPERM || rc == EOPNOTSUPP || rc == ENOSYS || rc == EXDEV || rc == EMLINK) {
      seeds_->withoutLinks.insert(folder);
    }
  }
  if (rc != ENOENT) Remove(seed);
  return CreateExclusive(path, 0600);
}

void PosixFileSystem::DropLockSeeds() {
  std::lock_guard<std::mutex> guard(seeds_->mutex);
  for (const auto& entry : seeds_->byFolder) Remove(entry.second);
  seeds_->byFolder.clear();
  seeds_->withoutLinks.clear();
}

int PosixFileSystem::CreateExclusive(const std::string& path, unsigned mode) {
  Step();
  if (path.empty()) return ENOENT;
  const int fd = OpenNew(path, mode, O_WRONLY);
  if (fd < 0) return errno;
  return CloseChecked(fd);
}

int PosixFileSystem::Remove(const std::string& path) {
  Step();
  if (path.empty()) return ENOENT;
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  Step();
  if (from.empty() || to.empty()) return ENOENT;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::CopyToNew(const std::string& from, const std::string& to) {
  Step();
  if (from.empty() || to.empty()) return ENOENT;
  // O_NONBLOCK: a FIFO planted as the source must not hang the copy; it has
  // no effect on reading a regular file.
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return errno;
  struct stat st {};
  if (::fstat(in, &st) != 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(in);
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  }
  // Where the file system allows, `to` becomes a second name of the same
  // file, flushed to disk first as a copy would be: nothing is copied and no
  // file is made. (In a folder that gets one file per document, making and
  // deleting files is what costs most.) Elsewhere, a copy.
  // Only a private file (0600) is shared this way, so that the new name has
  // the mode a copy would have.
  if (!HardLinksRefused() && (st.st_mode & 07777) == 0600) {
    if (::fsync(in) != 0) {
      const int error = errno;
      ::close(in);
      return error;
    }
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
      ::close(in);
      return 0;
    }
    const int error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS && error != EXDEV &&
        error != EMLINK) {
      ::close(in);
      return error;
    }
  }
  const int out = OpenNew(to, 0600, O_WRONLY);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  int error = 0;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (got == 0) break;
    error = WriteAll(out, buffer, static_cast<std::size_t>(got));
    if (error != 0) break;
  }
  // The copy must be on disk before anyone renames it into place.
  if (error == 0 && ::fsync(out) != 0) error = errno;
  const int closed = CloseChecked(out);
  if (error == 0) error = closed;
  ::close(in);
  if (error != 0) ::unlink(to.c_str());
  return error;
}

int PosixFileSystem::Status(const std::string& path, bool followLinks, FileStatus& out) {
  Step();
  out = FileStatus{};
  if (path.empty()) return ENOENT;
  struct stat st {};
  const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (rc != 0) return errno;
  out.isDirectory = S_ISDIR(st.st_mode);
  out.isRegular = S_ISREG(st.st_mode);
  out.isSymlink = S_ISLNK(st.st_mode);
  out.size = static_cast<std::int64_t>(st.st_size);
  out.links = static_cast<std::uint64_t>(st.st_nlink);
  out.device = static_cast<std::uint64_t>(st.st_dev);
  out.inode = static_cast<std::uint64_t>(st.st_ino);
  return 0;
}

int PosixFileSystem::MakeDirectory(const std::string& path, unsigned mode) {
  Step();
  if (path.empty()) return ENOENT;
  return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int PosixFileSystem::CanEnterDirectory(const std::string& path) {
  Step();
  if (path.empty()) return ENOENT;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

int PosixFileSystem::Link(const std::string& from, const std::string& to) {
  Step();
  if (from.empty() || to.empty()) return ENOENT;
  if (HardLinksRefused()) return EPERM;
  // linkat without AT_SYMLINK_FOLLOW links a symbolic link itself, never
  // its target.
  return ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0 ? 0 : errno;
}

int PosixFileSystem::List(const std::string& directory, std::vector<std::string>& names) {
  Step();
  names.clear();
  if (directory.empty()) return ENOENT;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return errno;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(dir);
  return error;
}

int PosixFileSystem::OpenForAppend(const std::string& path, unsigned mode, bool exclusive,
                                   int& descriptor) {
  Step();
  descriptor = -1;
  if (path.empty()) return ENOENT;
  // O_NONBLOCK: a FIFO planted under the name must not hang the release; it
  // makes no difference to a regular file.
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                    (exclusive ? O_EXCL : 0);
  const int fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
  if (fd < 0) return errno;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  }
  if (error != 0) {
    ::close(fd);
    return error;
  }
  descriptor = fd;
  return 0;
}

int PosixFileSystem::Write(int descriptor, const char* data, std::size_t size) {
  Step();
  return WriteAll(descriptor, data, size);
}

int PosixFileSystem::Close(int descriptor) {
  Step();
  return CloseChecked(descriptor);
}

namespace {
std::atomic<FileSystem*>& Slot() {
  static std::atomic<FileSystem*> slot{nullptr};
  return slot;
}
}  // namespace

FileSystem& CurrentFileSystem() noexcept {
  static PosixFileSystem real;
  FileSystem* current = Slot().load();
  return current != nullptr ? *current : real;
}

FileSystem* SetFileSystem(FileSystem* fileSystem) noexcept {
  return Slot().exchange(fileSystem);
}

}  // namespace quillon
