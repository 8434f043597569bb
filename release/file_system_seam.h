// The file-system calls of the file routines and of the output file that can
// fail, behind one small replaceable interface, so that tests can inject a
// held lock, a failed delete, a full disk, a file system without hard links
// or a read-only folder without touching the real file system (and
// independently of running as root, which ignores permission bits).
//
// Every member takes NATIVE paths (platform::ToNativePath has been applied)
// and returns 0 on success or an errno value; none of them raises. An empty
// path (a drive without a mapping) fails with ENOENT.
//
// Usage in a test:
//
//   struct FailingDelete : quillon::PosixFileSystem {
//     int Remove(const std::string& path) override { return EACCES; }
//   } fs;
//   quillon::ScopedFileSystem use(fs);
//   ...  // ReleaseLock now fails with "Permission denied"
//
// Fault injection in whole processes: in a build with QUILLON_TEST_HOOKS
// (the default when the tests are built) the real file system reads two
// environment variables once, for the crash-safety tests that run the
// `quillon` command:
//   QUILLON_TEST_CRASH_AT=N      the process kills itself (SIGKILL) on its
//                                N-th file-system call, before making it
//   QUILLON_TEST_HARD_LINKS=off  Link fails with EPERM, as on a share that
//                                has no hard links
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillon_export.h"

namespace quillon {

struct FileStatus {
  bool isDirectory = false;
  bool isRegular = false;
  bool isSymlink = false;  // only reported when links are not followed
  std::int64_t size = 0;
  std::uint64_t links = 0;  // number of names of the file (hard links)
  // Which file it is: two names with the same device and inode are one file
  // (0 and 0 where a file system double does not tell).
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

class QUILLON_API FileSystem {
 public:
  virtual ~FileSystem();

  // Creates a new empty file, failing with EEXIST when anything (a file, a
  // directory, a symbolic link, dangling or not) is already there; the file is
  // closed again before returning. `mode` is the permission bits (0600).
  virtual int CreateExclusive(const std::string& path, unsigned mode) = 0;
  // Deletes a file (a symbolic link itself, never its target).
  virtual int Remove(const std::string& path) = 0;
  // Renames `from` to `to`, replacing a file (or link) at `to`.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  // Makes a new name `to` (failing with EEXIST when anything is there) for
  // the bytes of `from`, flushed to disk: a second name of the same file (a
  // hard link) where the file system has them, else a copy created
  // exclusively (mode 0600). On failure a partly written `to` is removed
  // again. Nothing may write to `from` afterwards.
  virtual int CopyToNew(const std::string& from, const std::string& to) = 0;
  // The kind of entry at `path`; ENOENT when there is none. With followLinks
  // false a symbolic link is reported as such (isSymlink).
  virtual int Status(const std::string& path, bool followLinks, FileStatus& out) = 0;
  // Creates one directory with the permission bits `mode` (0700).
  virtual int MakeDirectory(const std::string& path, unsigned mode) = 0;
  // Whether a directory may be entered (searched), as a change into it would
  // check; 0 when it may.
  virtual int CanEnterDirectory(const std::string& path) = 0;
  // Gives the file `from` the second name `to` (a hard link), failing with
  // EEXIST when anything is there. Where the file system has no hard links
  // the answer is EPERM, EOPNOTSUPP, ENOSYS or EXDEV.
  virtual int Link(const std::string& from, const std::string& to) = 0;
  // The names of the entries of a directory, "." and ".." left out.
  virtual int List(const std::string& directory, std::vector<std::string>& names) = 0;
  // Opens a file for appending (creating it with `mode` when missing; with
  // `exclusive`, only a new file). A symbolic link is never followed. On
  // success `descriptor` is the open file.
  virtual int OpenForAppend(const std::string& path, unsigned mode, bool exclusive,
                            int& descriptor) = 0;
  // Writes all `size` bytes to an open file.
  virtual int Write(int descriptor, const char* data, std::size_t size) = 0;
  // Closes an open file; a failure means the data may not have been written.
  virtual int Close(int descriptor) = 0;

  // Whether two names (links not followed) are one file: the same device
  // and inode, as Status reports them. False when either is missing or the
  // file system does not tell (inode 0). Over NFS a retransmitted link can
  // answer EEXIST although the first transmission made it; this tells that
  // case from a name someone else took.
  bool SameFile(const std::string& a, const std::string& b);

  // Creates the lock file of a folder as CreateExclusive(path, 0600) does,
  // failing with EEXIST when anything is there. The real file system gives
  // it as a second name of an empty file that the process keeps in the
  // folder (a lock "seed", see DropLockSeeds): taking a lock then allocates
  // no file, and releasing it frees none. Where a folder has no hard links,
  // the lock file is created as a new file.
  virtual int CreateLockFile(const std::string& path);
  // Removes the seeds kept for CreateLockFile (at the end of a batch and of
  // the process); the next lock in a folder makes a new one.
  virtual void DropLockSeeds();
};

// The real file system. Public so that a test double can derive from it and
// replace only the call it wants to fail.
class QUILLON_API PosixFileSystem : public FileSystem {
 public:
  int CreateExclusive(const std::string& path, unsigned mode) override;
  int Remove(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int CopyToNew(const std::string& from, const std::string& to) override;
  int Status(const std::string& path, bool followLinks, FileStatus& out) override;
  int MakeDirectory(const std::string& path, unsigned mode) override;
  int CanEnterDirectory(const std::string& path) override;
  int Link(const std::string& from, const std::string& to) override;
  int List(const std::string& directory, std::vector<std::string>& names) override;
  int OpenForAppend(const std::string& path, unsigned mode, bool exclusive,
                    int& descriptor) override;
  int Write(int descriptor, const char* data, std::size_t size) override;
  int Close(int descriptor) override;
  int CreateLockFile(const std::string& path) override;
  void DropLockSeeds() override;

  PosixFileSystem();
  ~PosixFileSystem() override;
  PosixFileSystem(const PosixFileSystem&) = delete;
  PosixFileSystem& operator=(const PosixFileSystem&) = delete;

 private:
  struct LockSeeds;
  std::unique_ptr<LockSeeds> seeds_;
};

// The file system in use (the real one unless replaced).
QUILLON_API FileSystem& CurrentFileSystem() noexcept;
// Replaces it for the whole process; nullptr restores the real one. Returns
// the previous replacement (nullptr when it was the real one). The caller
// keeps ownership.
QUILLON_API FileSystem* SetFileSystem(FileSystem* fileSystem) noexcept;

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem) noexcept
      : previous_(SetFileSystem(&fileSystem)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace quillon
