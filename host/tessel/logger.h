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
// Lines are gathered in memory and written in blocks: by Flush (the release
// script flushes when each host call returns, that is after every document),
// with every error entry, when 64 KiB have gathered, when the folder or file
// name changes and when the logger goes away. A process that dies loses at
// most the lines of the call it was in.
//
// The log may hold claim data: it is created for its owner only (0600), a
// symbolic link at its name is never followed, and an existing file that
// another user owns or could read is not written to; the lines go to a fresh
// file beside it instead, and standard error says so once
// (platform/private_file.h).
//
// The log is read rarely, and a release with logging on writes some 12 KB per
// document: a million documents make a 12 GB file. Only its last 2 GB are
// kept in the page cache; older parts, once on disk, are dropped from it
// every 64 MB. (Left to itself the kernel kept all of it, and past some
// gigabytes every further write got slower: 17 s of system time for 12 GB
// against 9 s with the trimming, on the benchmark machine.)
//
// An empty LogFolder (the default) switches logging off. A log that cannot be
// opened or written never fails the caller: the first such problem is reported
// once on stderr and later lines are dropped silently until the folder or the
// file name changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "tessel_export.h"

namespace tessel {

class TESSEL_API Logger {
 public:
  // How much of the log file stays in the page cache (see above).
  struct CacheLimits {
    std::size_t keepBytes = std::size_t{2} << 30;
    std::size_t trimEveryBytes = std::size_t{64} << 20;
  };

  Logger() = default;
  explicit Logger(CacheLimits limits) : cacheLimits_(limits) {}
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // The state of a new logger (no folder, no name, the default setting),
  // with the lines gathered so far written out. The file stays open: when
  // the same folder and name are set again, as for each document of a
  // release with one file per document, its lines go on into it without
  // opening it again.
  void Restart() noexcept;

  void LogFolder(std::string_view folder);
  void LogFileName(std::string_view name);
  void LogSetting(std::int32_t setting) noexcept { setting_ = setting; }

  const std::string& LogFolder() const noexcept { return folder_; }
  const std::string& LogFileName() const noexcept { return name_; }
  std::int32_t LogSetting() const noexcept { return setting_; }
  bool Enabled() const noexcept { return !folder_.empty(); }
  // True when a LogText line of that level would be written.
  bool Writes(std::int32_t level) const noexcept {
    return !folder_.empty() && !failed_ && level <= setting_;
  }

  // `kind` is the second number of the classic call (1 or 2); it is written
  // for lines of kind 2 as "*" after the level so per-document milestones
  // stand out.
  void LogText(std::string_view text, std::int32_t level = 2, std::int32_t kind = 1) noexcept;
  void LogError(std::string_view procedure, std::string_view source,
                std::string_view description) noexcept;

  // A LogText line composed in place: the text is appended to the returned
  // buffer and EndLine finishes the line. Only after Writes(level).
  std::string& BeginLine(std::int32_t level, std::int32_t kind);
  void EndLine() noexcept;

  // Writes the gathered lines to the file.
  void Flush() noexcept;
  // Writes everything gathered, the beginning of the open line included,
  // once a megabyte has gathered: for a line that carries a whole text (the
  // batch's records), so that it never needs its whole length in memory. The
  // log file is this process's own, so no other writer comes in between.
  void FlushLongLine() noexcept;

  // The full path of the log file ("" when logging is off).
  std::string FilePath() const;

 private:
  void StartLine(std::string_view tag);
  // Writes out what has gathered and closes the file.
  void Close() noexcept;
  void CloseFile() noexcept;
  bool Open() noexcept;
  // Writes the first `count` bytes of the buffer.
  void WriteOut(std::size_t count) noexcept;
  // Drops from the page cache what is on disk of the file but its last
  // keepBytes.
  void TrimCache() noexcept;

  static constexpr std::int32_t kDefaultSetting = 10;

  std::string folder_;
  std::string name_;
  std::int32_t setting_ = kDefaultSetting;
  int descriptor_ = -1;
  std::string openPath_;  // FilePath() when the descriptor was opened
  CacheLimits cacheLimits_;
  std::size_t sinceCacheTrim_ = 0;  // bytes written since the last TrimCache
  bool pathChanged_ = false;        // folder or name set since the last write
  bool failed_ = false;
  std::string buffer_;
  std::size_t lineStart_ = 0;
  bool lineOpen_ = false;
  // "YYYY-MM-DD HH:MM:SS" of the second last formatted.
  std::time_t stampSecond_ = -1;
  char stamp_[24] = {};
};

}  // namespace tessel
