#include "release/file_system_seam.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace quillon {
namespace {

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

int PosixFileSystem::CreateExclusive(const std::string& path, unsigned mode) {
  if (path.empty()) return ENOENT;
  const int fd = OpenNew(path, mode, O_WRONLY);
  if (fd < 0) return errno;
  return CloseChecked(fd);
}

int PosixFileSystem::Remove(const std::string& path) {
  if (path.empty()) return ENOENT;
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return ENOENT;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::CopyToNew(const std::string& from, const std::string& to) {
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
  out = FileStatus{};
  if (path.empty()) return ENOENT;
  struct stat st {};
  const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (rc != 0) return errno;
  out.isDirectory = S_ISDIR(st.st_mode);
  out.isRegular = S_ISREG(st.st_mode);
  out.isSymlink = S_ISLNK(st.st_mode);
  return 0;
}

int PosixFileSystem::MakeDirectory(const std::string& path, unsigned mode) {
  if (path.empty()) return ENOENT;
  return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int PosixFileSystem::CanEnterDirectory(const std::string& path) {
  if (path.empty()) return ENOENT;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
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
