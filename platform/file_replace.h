// Replacing a file's contents so that readers see the old file or the new one,
// never a part of either: the bytes go into a new temporary file in the same
// folder, are flushed to disk, and the temporary file is then renamed over the
// target. A crash, a full disk or any other failure in the middle leaves the
// old file as it was.
//
// The steps that can fail go through a small replaceable interface, so that
// tests can make one of them fail, or stop the save at a step as a dying
// process would:
//
//   struct RenameFails : platform::PosixFileReplaceSteps {
//     int Rename(const std::string&, const std::string&) override { return EIO; }
//   } steps;
//   platform::ScopedFileReplaceSteps use(steps);
//   ...  // every ReplaceFileContents now fails after writing the temporary file
//
// Paths here are NATIVE paths (platform::ToNativePath has been applied).
#pragma once

#include <string>
#include <string_view>

#include "platform_export.h"

namespace platform {

// The failing steps of a replacement. Every member returns 0 or an errno
// value. A test double may throw from a step to model a process that dies
// there: nothing is cleaned up then, exactly as after a real crash.
class PLATFORM_API FileReplaceSteps {
 public:
  virtual ~FileReplaceSteps();
  // Creates `path` exclusively (EEXIST when anything is there, a symbolic
  // link included) with the permission bits `mode` (less the umask), writes
  // all of `bytes`, flushes them to disk and closes the file. A partly
  // written file is removed again on failure.
  virtual int WriteNew(const std::string& path, std::string_view bytes, unsigned mode) = 0;
  // Renames `from` to `to`, replacing whatever file is at `to`.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  // Deletes a file.
  virtual int Remove(const std::string& path) = 0;
};

// The real file system; public so that a test double can derive from it and
// replace only the step it wants to fail.
class PLATFORM_API PosixFileReplaceSteps : public FileReplaceSteps {
 public:
  int WriteNew(const std::string& path, std::string_view bytes, unsigned mode) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
};

// The steps in use (the real ones unless replaced).
PLATFORM_API FileReplaceSteps& CurrentFileReplaceSteps() noexcept;
// Replaces them for the whole process; nullptr restores the real ones.
// Returns the previous replacement. The caller keeps ownership.
PLATFORM_API FileReplaceSteps* SetFileReplaceSteps(FileReplaceSteps* steps) noexcept;

class ScopedFileReplaceSteps {
 public:
  explicit ScopedFileReplaceSteps(FileReplaceSteps& steps) noexcept
      : previous_(SetFileReplaceSteps(&steps)) {}
  ~ScopedFileReplaceSteps() { SetFileReplaceSteps(previous_); }
  ScopedFileReplaceSteps(const ScopedFileReplaceSteps&) = delete;
  ScopedFileReplaceSteps& operator=(const ScopedFileReplaceSteps&) = delete;

 private:
  FileReplaceSteps* previous_;
};

// True when a file is at `path` and may not be written: it has no write
// permission bit at all (the read-only attribute of the classic platform,
// which binds root as well), or the process may not write it. A missing
// file is not read-only.
PLATFORM_API bool IsReadOnlyFile(const std::string& path) noexcept;

// Puts `bytes` in place as the file `path` and returns 0, or returns the
// errno value of the failure with the file at `path` untouched and no
// temporary file left behind.
//
// - The temporary file is "." + the file name + "." + 16 hex digits + ".tmp"
//   in the folder of `path`.
// - A file that is already there keeps its permission bits; a new file gets
//   0666 less the umask, like any file the process creates.
// - A read-only file (IsReadOnlyFile) is not replaced: EACCES. A directory at
//   `path` gives EISDIR.
// - A symbolic link at `path` is followed: the file it names is replaced and
//   the link stays (a link that leads nowhere gives ENOENT).
// - After the rename the folder is flushed too, so that the new name survives
//   a power failure; a failure of that last flush is not reported.
PLATFORM_API int ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace platform
