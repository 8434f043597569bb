// Logger: appends one line per call to <LogFolder>/<LogFileName>.log.
//
// Line format:
//   2026-12-07 19:58:39.123 pid=4242 L2 <text>
//   2026-12-07 19:58:39.123 pid=4242 ERROR <procedure> | <source> | <text>
// where L0..L2 is the level passed to LogText (0 errors and per-document
// milestones, 1 finalisation and save progress, 2 trace).
//
// LogSetting is the verbosity threshold: a LogText line is written only when
// its level is at or below the setting; error entries are always written.
// The release side passes 10 and the setup side 50, so both write every level
// the system uses. The default is 10.
//
// An empty LogFolder (the default) switches logging off. A log that cannot be
// opened or written never fails the caller: the first such problem is reported
// once on stderr and later lines are dropped silently until the folder or the
// file name changes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tessel_export.h"

namespace tessel {

class TESSEL_API Logger {
 public:
  Logger() = default;
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void LogFolder(std::string_view folder);
  void LogFileName(std::string_view name);
  void LogSetting(std::int32_t setting) noexcept { setting_ = setting; }

  const std::string& LogFolder() const noexcept { return folder_; }
  const std::string& LogFileName() const noexcept { return name_; }
  std::int32_t LogSetting() const noexcept { return setting_; }
  bool Enabled() const noexcept { return !folder_.empty(); }

  // `kind` is the second number of the classic call (1 or 2); it is written
  // for lines of kind 2 as "*" after the level so per-document milestones
  // stand out.
  void LogText(std::string_view text, std::int32_t level = 2, std::int32_t kind = 1) noexcept;
  void LogError(std::string_view procedure, std::string_view source,
                std::string_view description) noexcept;

  // The full path of the log file ("" when logging is off).
  std::string FilePath() const;

 private:
  void Write(std::string_view line) noexcept;
  void Close() noexcept;

  std::string folder_;
  std::string name_;
  std::int32_t setting_ = 10;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace tessel
