#include "host/interchange_counter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "host/host_file_error.h"

namespace quillon {

namespace {

// Closes the descriptor (and so drops the lock) on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const noexcept { return fd_; }
  int release() noexcept { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

[[noreturn]] void Fail(const std::string& path, const std::string& what, int code) {
  throw HostFileError(path, "", what + " (" + std::strerror(code) + ")");
}

void Lock(const std::string& path, int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) Fail(path, "cannot lock the interchange counter", errno);
  }
}

std::string ReadAll(const std::string& path, int fd) {
  std::string text;
  char buffer[64];
  off_t offset = 0;
  while (true) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(path, "cannot read the interchange counter", errno);
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    offset += n;
    if (text.size() > 64) break;  // no counter is that long; Parse reports it
  }
  return text;
}

// The stored number: decimal digits with optional surrounding white space; an
// empty file counts as 0 (a counter that was created but never written).
std::int64_t Parse(const std::string& path, const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (begin == end) return 0;
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9' || value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
      std::string shown = text.substr(begin, std::min<std::size_t>(end - begin, 30));
      throw HostFileError(path, "",
                          "the interchange counter holds \"" + shown + "\", not a number");
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string InterchangeCounter::PathFor(const std::string& batchClassFile) {
  std::filesystem::path p(batchClassFile);
  p.replace_extension(".icn");
  return p.string();
}

std::int64_t InterchangeCounter::Peek() const {
  const Descriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return 1;
    Fail(path_, "cannot open the interchange counter", errno);
  }
  Lock(path_, fd.get(), LOCK_SH);
  return InterchangeCounter::Next(Parse(path_, ReadAll(path_, fd.get())));
}

std::int64_t InterchangeCounter::Next(std::int64_t last) noexcept {
  return last >= kLargest || last < 0 ? 1 : last + 1;
}

std::int64_t InterchangeCounter::Reserve() {
  Descriptor fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (fd.get() < 0) Fail(path_, "cannot open the interchange counter", errno);
  Lock(path_, fd.get(), LOCK_EX);
  const std::int64_t next = Next(Parse(path_, ReadAll(path_, fd.get())));
  const std::string text = std::to_string(next) + "\n";
  // Truncated after writing: the number is shorter after it wraps, and stray
  // bytes of a hand-edited file go away too.
  if (::pwrite(fd.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
      ::ftruncate(fd.get(), static_cast<off_t>(text.size())) != 0 || ::fsync(fd.get()) != 0) {
    Fail(path_, "cannot write the interchange counter", errno);
  }
  if (::close(fd.release()) != 0) Fail(path_, "cannot write the interchange counter", errno);
  return next;
}

}  // namespace quillon
