// Path, directory and file-name routines shared by the release runtime and
// the setup side: directory checks, unique output names under a folder lock
// shared between processes.
//
// Paths are Windows-form paths (backslash, \\server\share, C:\) with "/" also
// accepted; platform::ToNativePath turns them into native paths at the file
// system. See docs/paths-and-locks.md.
//
// Every file-system call that can fail goes through quillon::FileSystem
// (release/file_system_seam.h), so tests can inject failures. Files these
// routines create are readable by the owner only (0600), directories 0700:
// release output is protected health information.
#pragma once

#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

// True when the path holds a backslash (or "/"): folder = up to and including
// the last one, fileName = the rest. Otherwise both are "" and the result is
// false.
//   SplitPath("C:\out\a.txt") -> "C:\out\", "a.txt"
//   SplitPath("a.txt")        -> "", ""   (false)
QUILLON_API bool SplitPath(std::string_view path, std::string& folder, std::string& fileName);

// The parent directory without a trailing separator, or "" when there is
// none. Blanks around the path and one trailing separator are ignored.
//   \\server\share\dir -> \\server\share     \\server\share -> ""
//   C:\dir\            -> C:                  C:\ and C:     -> ""
//   /srv/out           -> /srv                /srv           -> ""
QUILLON_API std::string ParentDirectory(std::string_view path);

// Creates every missing directory of the path from the top down (mode 0700).
// True when the directory exists afterwards (also when it existed before).
// Never creates a UNC server or share, nor a drive root.
QUILLON_API bool CreateDirectoryTree(std::string_view path);

// True when a directory of that path exists (a symbolic link to a directory
// counts).
QUILLON_API bool DirectoryExists(std::string_view path);

// Probes write access by creating and deleting a uniquely named empty file
// (<GUID>.txt) in the directory. Raises error 6000, source "Check Directory
// Access", description "Release user does not have appropriate access to the
// output directory - " + directory, when that fails. An existing file is
// never overwritten.
QUILLON_API void CheckDirectoryAccess(std::string_view directory);
// CheckDirectoryAccess as a boolean: false on any error.
QUILLON_API bool HasDirectoryAccess(std::string_view directory);

// True when the text is not empty and every character is "0" to "9".
QUILLON_API bool IsAllDigits(std::string_view text);

// 32 upper-case hex digits of a fresh random GUID, or "" when no GUID could
// be made.
QUILLON_API std::string NewGuidString();

// Takes the lock of a folder by creating folder + "\folder.lock" exclusively.
// While another process holds it, waits (by default 100 attempts, 200 ms
// apart, see SetLockWaitPolicy), then assumes the holder has died and takes
// the lock over. Raises when even that fails: number of the creation failure,
// source "ObtainLock: Can't obtain lock for folder " + folder. An empty folder
// means the current directory.
QUILLON_API void ObtainLock(std::string_view folder);
// Deletes the lock file; a failure is raised to the caller.
QUILLON_API void ReleaseLock(std::string_view folder);

// A free name for the wanted file, reserved on disk by an empty placeholder
// file (0600) created under the folder lock. With delimiter "_" repeated calls
// for out.txt yield out.txt, out_1.txt, ... out_100.txt, out_100_1.txt, ...
// Never raises: on any failure one error entry goes to GlobalLogger() and the
// result is folder + base + "_" + NewGuidString() + extension, which is NOT
// reserved on disk.
QUILLON_API std::string MakeFileNameUnique(std::string_view path, std::string_view delimiter);

// Validates a directory typed in by an administrator; true when usable.
// A missing directory may be created after asking ("Drive/Directory Problem",
// Yes/No) when offerToCreate is true; a drive letter without a mapping shows
// "The drive letter is missing or bad." and gives false. Questions go through
// platform::CurrentMessageBoxService(). The process's working directory is
// never changed.
QUILLON_API bool VerifyDirectoryName(std::string_view path, bool offerToCreate);

// How ObtainLock waits for a held lock: `attempts` exclusive-creation tries,
// `sleepMilliseconds` apart, before the take-over. The default is 100 x 200.
struct LockWaitPolicy {
  int attempts = 100;
  int sleepMilliseconds = 200;
};
// Replaces the waiting policy for the whole process (tests shorten it);
// attempts below 1 count as 1 and negative sleeps as 0.
QUILLON_API void SetLockWaitPolicy(int attempts, int sleepMilliseconds);
QUILLON_API LockWaitPolicy GetLockWaitPolicy();
// Back to 100 x 200 ms.
QUILLON_API void ResetLockWaitPolicy();

// Copies `from` to `to` so that `to` appears whole or not at all: the data go
// into a new temporary file (0600, ".quillon-<GUID>.tmp") in the folder of
// `to`, are flushed to disk, and the temporary file is then renamed over `to`
// (which may exist, e.g. as the placeholder that MakeFileNameUnique reserved;
// a symbolic link there is replaced, never followed). On any failure the
// temporary file is removed and a platform::Error is raised with source
// "CopyFileAtomically" (53 "File not found" when `from` is missing, otherwise
// the number of the failing operation); `to` is then left as it was.
QUILLON_API void CopyFileAtomically(std::string_view from, std::string_view to);

}  // namespace quillon
