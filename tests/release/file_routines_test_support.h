// Helpers for the tests of the file routines: a file system that records
// calls and fails on demand, a shortened lock wait, and a captured log.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os_services.h"
#include "release/file_routines.h"
#include "release/file_system_seam.h"
#include "release/global_logger.h"
#include "support/temp_dir.h"

namespace quillon::files_test {

// The real file system with a hook in front of every call. A hook returns
// -1 to let the real call happen, or the errno value (0 = pretend success) to
// answer instead. Every call is recorded as "<op> <path>".
class FakeFileSystem : public PosixFileSystem {
 public:
  using Hook = std::function<int(const std::string& path)>;
  Hook onCreate, onRemove, onRename, onCopy, onStatus, onMakeDirectory, onEnter, onLink, onList,
      onOpen;
  // Answers every Write (errno, or -1 for the real write).
  std::function<int()> onWrite;
  std::vector<std::string> calls;

  int CreateExclusive(const std::string& path, unsigned mode) override {
    return Run("create", path, onCreate,
               [&] { return PosixFileSystem::CreateExclusive(path, mode); });
  }
  int Remove(const std::string& path) override {
    return Run("remove", path, onRemove, [&] { return PosixFileSystem::Remove(path); });
  }
  int Rename(const std::string& from, const std::string& to) override {
    return Run("rename", to, onRename, [&] { return PosixFileSystem::Rename(from, to); });
  }
  int CopyToNew(const std::string& from, const std::string& to) override {
    return Run("copy", to, onCopy, [&] { return PosixFileSystem::CopyToNew(from, to); });
  }
  int Status(const std::string& path, bool followLinks, FileStatus& out) override {
    return Run("status", path, onStatus,
               [&] { return PosixFileSystem::Status(path, followLinks, out); });
  }
  int MakeDirectory(const std::string& path, unsigned mode) override {
    return Run("mkdir", path, onMakeDirectory,
               [&] { return PosixFileSystem::MakeDirectory(path, mode); });
  }
  int CanEnterDirectory(const std::string& path) override {
    return Run("enter", path, onEnter, [&] { return PosixFileSystem::CanEnterDirectory(path); });
  }

  int Link(const std::string& from, const std::string& to) override {
    linkSource = from;
    return Run("link", to, onLink, [&] { return PosixFileSystem::Link(from, to); });
  }
  std::string linkSource;  // `from` of the last Link
  int List(const std::string& directory, std::vector<std::string>& names) override {
    return Run("list", directory, onList, [&] { return PosixFileSystem::List(directory, names); });
  }
  int OpenForAppend(const std::string& path, unsigned mode, bool exclusive,
                    int& descriptor) override {
    return Run("open", path, onOpen,
               [&] { return PosixFileSystem::OpenForAppend(path, mode, exclusive, descriptor); });
  }
  int Write(int descriptor, const char* data, std::size_t size) override {
    if (onWrite) {
      const int injected = onWrite();
      if (injected >= 0) return injected;
    }
    return PosixFileSystem::Write(descriptor, data, size);
  }

  // The lock file as a plain exclusive creation ("create folder.lock"), so
  // that the hooks above decide about the lock too.
  int CreateLockFile(const std::string& path) override { return FileSystem::CreateLockFile(path); }

  int Count(const std::string& op) const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(op + " ", 0) == 0 ? 1 : 0;
    return n;
  }

 private:
  template <typename Real>
  int Run(const char* op, const std::string& path, const Hook& hook, Real real) {
    calls.push_back(std::string(op) + " " + path);
    if (hook) {
      const int injected = hook(path);
      if (injected >= 0) return injected;
    }
    return real();
  }
};

// Shortens the lock wait for one test.
class ShortLockWait {
 public:
  ShortLockWait(int attempts, int sleepMilliseconds) {
    SetLockWaitPolicy(attempts, sleepMilliseconds);
  }
  ~ShortLockWait() { ResetLockWaitPolicy(); }
  ShortLockWait(const ShortLockWait&) = delete;
  ShortLockWait& operator=(const ShortLockWait&) = delete;
};

// Sends the global logger's output to a temporary folder for one test.
class CapturedLog {
 public:
  CapturedLog() {
    tessel::Logger& log = NewGlobalLogger();
    log.LogFolder(dir_.str());
    log.LogFileName("files");
  }
  ~CapturedLog() { NewGlobalLogger(); }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  // The error entries, each as "<procedure> | <second text> | <message>".
  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    GlobalLogger().Flush();
    std::istringstream lines(testing_support::ReadFile(dir_.Child("files.log")));
    for (std::string line; std::getline(lines, line);) {
      const auto at = line.find(" ERROR ");
      if (at != std::string::npos) out.push_back(line.substr(at + 7));
    }
    return out;
  }

 private:
  testing_support::TempDir dir_;
};

// Random bytes 00 01 02 ... 0F for every GUID.
inline bool CountingBytes(unsigned char* buffer, std::size_t size) noexcept {
  for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<unsigned char>(i);
  return true;
}
inline bool NoBytes(unsigned char*, std::size_t) noexcept {
  return false;
}

class FixedRandom {
 public:
  explicit FixedRandom(platform::RandomFill fill) : previous_(platform::SetRandomFill(fill)) {}
  ~FixedRandom() { platform::SetRandomFill(previous_); }
  FixedRandom(const FixedRandom&) = delete;
  FixedRandom& operator=(const FixedRandom&) = delete;

 private:
  platform::RandomFill previous_;
};

// The GUID that CountingBytes gives, with the version and variant bits set.
inline constexpr const char* kCountingGuid = "000102030405460788090A0B0C0D0E0F";

}  // namespace quillon::files_test
