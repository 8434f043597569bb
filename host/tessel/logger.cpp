#include "host/tessel/logger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <ctime>

#include "platform/native_path.h"

namespace tessel {

Logger::~Logger() {
  Close();
}

void Logger::Close() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void Logger::LogFolder(std::string_view folder) {
  if (folder == folder_) return;
  Close();
  folder_.assign(folder);
  failed_ = false;
}

void Logger::LogFileName(std::string_view name) {
  if (name == name_) return;
  Close();
  name_.assign(name);
  failed_ = false;
}

std::string Logger::FilePath() const {
  if (folder_.empty()) return {};
  std::string path = folder_;
  if (path.back() != '\\' && path.back() != '/') path.push_back('\\');
  path.append(name_);
  path.append(".log");
  return path;
}

void Logger::LogText(std::string_view text, std::int32_t level, std::int32_t kind) noexcept {
  if (folder_.empty() || level > setting_) return;
  try {
    std::string line = "L" + std::to_string(level) + (kind == 2 ? "* " : " ");
    line.append(text);
    Write(line);
  } catch (...) {
  }
}

void Logger::LogError(std::string_view procedure, std::string_view source,
                      std::string_view description) noexcept {
  if (folder_.empty()) return;
  try {
    std::string line = "ERROR ";
    line.append(procedure).append(" | ").append(source).append(" | ").append(description);
    Write(line);
  } catch (...) {
  }
}

void Logger::Write(std::string_view line) noexcept {
  if (failed_) return;
  try {
    if (file_ == nullptr) {
      const std::string path = platform::ToNativePath(FilePath());
      // Logs may hold claim data: readable by the owner only.
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW,
                            S_IRUSR | S_IWUSR);
      if (fd >= 0) file_ = ::fdopen(fd, "a");
      if (file_ == nullptr) {
        if (fd >= 0) ::close(fd);
        failed_ = true;
        std::fprintf(stderr, "quillon: cannot write the log file %s; logging is off\n",
                     path.c_str());
        return;
      }
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&secs, &local);
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // The text goes out with fwrite: it may hold NUL bytes, which a "%s"
    // conversion would stop at.
    const bool ok = std::fprintf(file_, "%s.%03d pid=%d ", stamp, static_cast<int>(millis),
                                 static_cast<int>(::getpid())) >= 0 &&
                    std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                    std::fputc('\n', file_) != EOF;
    if (!ok || std::fflush(file_) != 0) {
      failed_ = true;
      Close();
      std::fprintf(stderr, "quillon: writing the log file %s failed; logging is off\n",
                   FilePath().c_str());
    }
  } catch (...) {
  }
}

}  // namespace tessel
