#include "platform/file_replace.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/os_services.h"

namespace platform {
namespace {

int WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(fd, data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += put;
    left -= static_cast<std::size_t>(put);
  }
  return 0;
}

// 16 hex digits that no other writer picks at the same moment.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  Guid guid;
  if (!NewGuid(guid)) {
    // No random bytes: the process id, the clock and a counter still keep
    // concurrent writers apart; a collision only costs another attempt.
    guid.data1 = static_cast<std::uint32_t>(::getpid());
    guid.data2 = static_cast<std::uint16_t>(std::time(nullptr));
    guid.data3 = static_cast<std::uint16_t>(counter.fetch_add(1));
  }
  char text[17];
  std::snprintf(text, sizeof text, "%08X%04X%04X", static_cast<unsigned>(guid.data1),
                static_cast<unsigned>(guid.data2), static_cast<unsigned>(guid.data3));
  return text;
}

void SyncFolder(const std::string& folder) noexcept {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::atomic<FileReplaceSteps*>& Slot() {
  static std::atomic<FileReplaceSteps*> slot{nullptr};
  return slot;
}

}  // namespace

FileReplaceSteps::~FileReplaceSteps() = default;

int PosixFileReplaceSteps::WriteNew(const std::string& path, std::string_view bytes,
                                    unsigned mode) {
  if (path.empty()) return ENOENT;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        static_cast<mode_t>(mode));
  if (fd < 0) return errno;
  int error = WriteAll(fd, bytes);
  // The data must be on disk before the rename makes them the file.
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) ::unlink(path.c_str());
  return error;
}

int PosixFileReplaceSteps::Rename(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return ENOENT;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFileReplaceSteps::Remove(const std::string& path) {
  if (path.empty()) return ENOENT;
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

FileReplaceSteps& CurrentFileReplaceSteps() noexcept {
  static PosixFileReplaceSteps real;
  FileReplaceSteps* current = Slot().load();
  return current != nullptr ? *current : real;
}

FileReplaceSteps* SetFileReplaceSteps(FileReplaceSteps* steps) noexcept {
  return Slot().exchange(steps);
}

bool IsReadOnlyFile(const std::string& path) noexcept {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::access(path.c_str(), W_OK) != 0 && errno != ENOENT;
}

int ReplaceFileContents(const std::string& path, std::string_view bytes) {
  if (path.empty()) return ENOENT;
  std::string target = path;
  mode_t mode = 0666;
  bool replacing = false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      // Replace the file the link names; renaming over the link would turn
      // it into a plain file and cut whatever else shares that file off.
      char resolved[PATH_MAX];
      if (::realpath(path.c_str(), resolved) == nullptr) return errno;
      target = resolved;
      if (::stat(target.c_str(), &st) != 0) return errno;
    }
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (IsReadOnlyFile(target)) return EACCES;
    mode = st.st_mode & 07777;
    replacing = true;
  } else if (errno != ENOENT) {
    return errno;
  }

  const std::size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
  const std::string prefix =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

  FileReplaceSteps& steps = CurrentFileReplaceSteps();
  std::string temporary;
  int error = EEXIST;
  for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
    temporary = prefix + "." + name + "." + UniqueSuffix() + ".tmp";
    error = steps.WriteNew(temporary, bytes, mode);
  }
  if (error != 0) return error;
  // The umask may have narrowed the bits of a file that is replaced; give
  // the new file exactly the old one's (never wider than asked).
  if (replacing) ::chmod(temporary.c_str(), mode);

  error = steps.Rename(temporary, target);
  if (error != 0) {
    steps.Remove(temporary);
    return error;
  }
  SyncFolder(folder);
  return 0;
}

}  // namespace platform
