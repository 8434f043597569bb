#include "host/tessel/logger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/native_path.h"
#include "platform/os_services.h"
#include "platform/private_file.h"

namespace tessel {

namespace {
constexpr std::size_t kFlushBytes = 64 * 1024;
constexpr std::size_t kLongLineBytes = 1024 * 1024;
}  // namespace

Logger::~Logger() {
  Close();
}

void Logger::Close() noexcept {
  Flush();
  CloseFile();
}

void Logger::CloseFile() noexcept {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  openPath_.clear();
  sinceCacheTrim_ = 0;
}

void Logger::Restart() noexcept {
  Flush();
  buffer_.clear();
  lineOpen_ = false;
  lineStart_ = 0;
  folder_.clear();
  name_.clear();
  setting_ = kDefaultSetting;
  failed_ = false;
  pathChanged_ = true;
}

void Logger::LogFolder(std::string_view folder) {
  if (folder == folder_) return;
  // The lines gathered so far belong to the file named before.
  Flush();
  folder_.assign(folder);
  failed_ = false;
  pathChanged_ = true;
  if (folder_.empty()) Close();
}

void Logger::LogFileName(std::string_view name) {
  if (name == name_) return;
  Flush();
  name_.assign(name);
  failed_ = false;
  pathChanged_ = true;
}

std::string Logger::FilePath() const {
  if (folder_.empty()) return {};
  std::string path = folder_;
  if (path.back() != '\\' && path.back() != '/') path.push_back('\\');
  path.append(name_);
  path.append(".log");
  return path;
}

// Puts "<date> <time>.<ms> pid=<pid> <tag>" at the end of the buffer.
void Logger::StartLine(std::string_view tag) {
  if (lineOpen_) buffer_.resize(lineStart_);  // a line left unfinished by an exception
  lineStart_ = buffer_.size();
  lineOpen_ = true;
  const auto now = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(now);
  const int millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  if (secs != stampSecond_) {
    std::tm local{};
    localtime_r(&secs, &local);
    std::strftime(stamp_, sizeof stamp_, "%Y-%m-%d %H:%M:%S", &local);
    stampSecond_ = secs;
  }
  // ".mmm pid=N ", composed by hand: every line has it, and a formatted
  // print cost more than the rest of a short line.
  char rest[32] = {'.',
                   static_cast<char>('0' + millis / 100),
                   static_cast<char>('0' + millis / 10 % 10),
                   static_cast<char>('0' + millis % 10),
                   ' ',
                   'p',
                   'i',
                   'd',
                   '='};
  std::size_t n = 9;
  char digits[12];
  std::size_t count = 0;
  // The id is positive; its digits, last first.
  for (auto pid = static_cast<unsigned>(platform::CurrentProcessId()); count == 0 || pid != 0;
       pid /= 10) {
    digits[count++] = static_cast<char>('0' + pid % 10);
  }
  while (count > 0) rest[n++] = digits[--count];
  rest[n++] = ' ';
  buffer_.append(stamp_);
  buffer_.append(rest, n);
  buffer_.append(tag);
}

std::string& Logger::BeginLine(std::int32_t level, std::int32_t kind) {
  const char tag[4] = {'L', static_cast<char>('0' + (level >= 0 && level <= 9 ? level : 9)),
                       kind == 2 ? '*' : ' ', ' '};
  if (level >= 0 && level <= 9) {
    StartLine(std::string_view(tag, kind == 2 ? 4 : 3));
  } else {
    StartLine("L" + std::to_string(level) + (kind == 2 ? "* " : " "));
  }
  return buffer_;
}

void Logger::EndLine() noexcept {
  if (!lineOpen_) return;
  try {
    buffer_.push_back('\n');
  } catch (...) {
    buffer_.resize(lineStart_);
  }
  lineOpen_ = false;
  if (buffer_.size() >= kFlushBytes) Flush();
}

void Logger::LogText(std::string_view text, std::int32_t level, std::int32_t kind) noexcept {
  if (!Writes(level)) return;
  try {
    BeginLine(level, kind).append(text);
    EndLine();
  } catch (...) {
    if (lineOpen_) buffer_.resize(lineStart_);
    lineOpen_ = false;
  }
}

void Logger::LogError(std::string_view procedure, std::string_view source,
                      std::string_view description) noexcept {
  if (folder_.empty() || failed_) return;
  try {
    StartLine("ERROR ");
    buffer_.append(procedure).append(" | ").append(source).append(" | ").append(description);
    EndLine();
  } catch (...) {
    if (lineOpen_) buffer_.resize(lineStart_);
    lineOpen_ = false;
  }
  Flush();
}

bool Logger::Open() noexcept {
  try {
    const std::string path = platform::ToNativePath(FilePath());
    platform::PrivateFile file = platform::OpenPrivateAppendFile(path);
    if (!file.notice.empty()) std::fprintf(stderr, "quillon: %s\n", file.notice.c_str());
    if (file.descriptor < 0) {
      std::fprintf(stderr, "quillon: cannot write the log file %s; logging is off\n", path.c_str());
      return false;
    }
    descriptor_ = file.descriptor;
    openPath_ = FilePath();
    return true;
  } catch (...) {
    return false;
  }
}

void Logger::TrimCache() noexcept {
  sinceCacheTrim_ = 0;
  // The file is this process's own and appended to: the offset is its end.
  const off_t end = ::lseek(descriptor_, 0, SEEK_CUR);
  const auto keep = static_cast<off_t>(cacheLimits_.keepBytes);
  if (end <= keep) return;
  // Pages not on disk yet stay; a later call drops them.
  ::posix_fadvise(descriptor_, 0, end - keep, POSIX_FADV_DONTNEED);
}

void Logger::Flush() noexcept {
  WriteOut(lineOpen_ ? lineStart_ : buffer_.size());
}

void Logger::FlushLongLine() noexcept {
  if (!lineOpen_ || buffer_.size() < kLongLineBytes) return;
  WriteOut(buffer_.size());
}

void Logger::WriteOut(std::size_t complete) noexcept {
  if (complete == 0 || failed_) return;
  if (pathChanged_) {
    // A file still open under the name in use now is written on.
    if (descriptor_ >= 0 && FilePath() != openPath_) CloseFile();
    pathChanged_ = false;
  }
  if (descriptor_ < 0 && !Open()) {
    failed_ = true;
    buffer_.clear();
    lineOpen_ = false;
    return;
  }
  const char* data = buffer_.data();
  std::size_t left = complete;
  while (left > 0) {
    const ssize_t put = ::write(descriptor_, data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      std::fprintf(stderr, "quillon: writing the log file %s failed; logging is off\n",
                   FilePath().c_str());
      buffer_.clear();
      lineOpen_ = false;
      return;
    }
    data += put;
    left -= static_cast<std::size_t>(put);
    sinceCacheTrim_ += static_cast<std::size_t>(put);
  }
  if (sinceCacheTrim_ >= cacheLimits_.trimEveryBytes) TrimCache();
  buffer_.erase(0, complete);
  if (lineOpen_) lineStart_ = lineStart_ > complete ? lineStart_ - complete : 0;
}

}  // namespace tessel
