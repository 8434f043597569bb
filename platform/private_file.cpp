#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "platform/os_services.h"

namespace platform {
namespace {

constexpr mode_t kPrivateMode = 0600;

// Never destroyed: a logger that goes away at the exit of the process may
// still open its file through here.
std::mutex& RedirectMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::unordered_map<std::string, std::string>& Redirects() {
  static auto* redirects = new std::unordered_map<std::string, std::string>;
  return *redirects;
}

int OpenForAppend(const std::string& path, int extraFlags) {
  // O_NONBLOCK: a FIFO planted at the name fails at once (ENXIO) instead of
  // blocking until someone reads it; regular files do not notice.
  return ::open(path.c_str(),
                O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | extraFlags,
                kPrivateMode);
}

// What makes an open file unfit for private data, or nullptr when it is fit.
const char* Unfit(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return "it cannot be examined";
  if (!S_ISREG(st.st_mode)) return "it is not a regular file";
  if (st.st_uid != ::geteuid()) return "it belongs to another user";
  if ((st.st_mode & 0044) != 0) return "other users can read it";
  if (st.st_nlink != 1) return "it has other names (hard links)";
  return nullptr;
}

// "<dir>/<stem>.<random><ext>" for "<dir>/<stem><ext>".
std::string FreshName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  Guid g;
  char random[9] = "00000000";
  if (NewGuid(g)) std::snprintf(random, sizeof random, "%08X", static_cast<unsigned>(g.data1));
  return path.substr(0, dot) + "." + random + path.substr(dot);
}

PrivateFile Opened(int fd, std::string path) {
  PrivateFile file;
  file.descriptor = fd;
  file.path = std::move(path);
  return file;
}

}  // namespace

PrivateFile OpenPrivateAppendFile(const std::string& nativePath) {
  PrivateFile failed;
  failed.path = nativePath;
  if (nativePath.empty()) {
    failed.error = ENOENT;
    return failed;
  }

  std::string redirect;
  {
    std::lock_guard<std::mutex> guard(RedirectMutex());
    const auto it = Redirects().find(nativePath);
    if (it != Redirects().end()) redirect = it->second;
  }
  if (!redirect.empty()) {
    // The fresh file of an earlier open; it must still be what it was.
    const int fd = OpenForAppend(redirect, 0);
    if (fd >= 0 && Unfit(fd) == nullptr) return Opened(fd, redirect);
    if (fd >= 0) ::close(fd);
  }

  const char* reason = nullptr;
  const int fd = OpenForAppend(nativePath, 0);
  if (fd >= 0) {
    reason = Unfit(fd);
    if (reason == nullptr) return Opened(fd, nativePath);
    ::close(fd);
  } else if (errno == ELOOP) {
    reason = "it is a symbolic link";
  } else if (errno == ENXIO) {
    reason = "it is not a regular file";
  } else {
    failed.error = errno;
    return failed;
  }

  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string fresh = FreshName(nativePath);
    const int freshFd = OpenForAppend(fresh, O_EXCL);
    if (freshFd < 0) {
      if (errno == EEXIST) continue;
      failed.error = errno;
      return failed;
    }
    {
      std::lock_guard<std::mutex> guard(RedirectMutex());
      auto& redirects = Redirects();
      if (redirects.size() > 1024) redirects.clear();
      redirects[nativePath] = fresh;
    }
    PrivateFile file = Opened(freshFd, fresh);
    file.notice = "the file " + nativePath + " is not written to because " + reason +
                  "; writing to " + fresh + " instead";
    return file;
  }
  failed.error = EEXIST;
  return failed;
}

}  // namespace platform
