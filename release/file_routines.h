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
// in the directory: a hidden name of this process (OwnedFileName, kind
// "probe"), so that a probe left by a killed process is removed later. Raises error 6000, source
// "Check Directory Access", description "Release user does not have appropriate access to the
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
// While another process holds it (the lock file is there), waits (by default
// 100 x 200 ms = 20 seconds in all, see SetLockWaitPolicy; the attempts come
// 1, 2, 4, ... ms apart at first, then every 200 ms), then assumes the holder
// has died and takes the lock over. Any other failure to create the lock file
// (missing folder, a file in the path, a name too long, no permission, a full
// disk) cannot clear by waiting and is raised at once. Raises with the number
// and description of the creation failure, source "ObtainLock: Can't obtain
// lock for folder " + folder. An empty folder means the current directory.
QUILLON_API void ObtainLock(std::string_view folder);
// Deletes the lock file; a failure is raised to the caller.
QUILLON_API void ReleaseLock(std::string_view folder);

// A free name for the wanted file, reserved on disk by an empty placeholder
// file (0600) created under the folder lock. With delimiter "_" repeated calls
// for out.txt yield out.txt, out_1.txt, ... out_100.txt, out_100_1.txt, ...
// Never raises: on any failure one error entry goes to GlobalLogger() and the
// result is folder + base + "_" + NewGuidString() + extension, which is NOT
// reserved on disk. A failure to delete the lock file after the placeholder
// was made is logged ("ReleaseLock") and the reserved name stays the result.
QUILLON_API std::string MakeFileNameUnique(std::string_view path, std::string_view delimiter);

// The name MakeFileNameUnique would give, chosen under the lock the same way,
// but without reserving it (nothing is created). Never raises.
QUILLON_API std::string ChooseFileName(std::string_view path, std::string_view delimiter);

// Validates a directory typed in by an administrator; true when usable.
// A missing directory may be created after asking ("Drive/Directory Problem",
// Yes/No) when offerToCreate is true; a drive letter without a mapping shows
// "The drive letter is missing or bad." and gives false. Questions go through
// platform::CurrentMessageBoxService(). The process's working directory is
// never changed.
QUILLON_API bool VerifyDirectoryName(std::string_view path, bool offerToCreate);

// How long ObtainLock waits for a held lock before the take-over: attempts x
// sleepMilliseconds in all, with tries at most sleepMilliseconds apart. The
// default is 100 x 200.
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

// Delivers the finished file `from` into the folder of `wanted`, so that it
// appears there under its final name complete or not at all, also when the
// process is killed at any moment:
//   1. the bytes are copied into a hidden file of this process in that folder
//      (OwnedFileName, kind "tmp"; 0600) and flushed to disk;
//   2. under the folder lock the free name is chosen exactly as
//      MakeFileNameUnique chooses it (the counter series of `wanted`) and the
//      copy gets it as a second name with a hard link, which fails rather
//      than replace anything (atomic on local file systems and NFS); a name
//      that someone took without the lock is skipped. Where the file system
//      refuses hard links, an empty placeholder reserves the name and the
//      copy is renamed onto it at once (see docs/paths-and-locks.md);
//   3. the lock is released (a failure to delete the lock file is logged and
//      changes nothing) and the hidden name removed.
// Leftovers of killed releases in the folder are removed under the lock
// (RemoveLeftoversOnce). When the lock or the search fails, the file gets the
// GUID-based name of MakeFileNameUnique, with its error entry in the log.
// Returns the path published. Raises a platform::Error with source
// "DeliverFile" (53 "File not found" when `from` is missing, otherwise the
// number of the failing operation, e.g. 76 "Path not found", 61 "Disk full");
// then nothing is left in the folder, and *chosen (when given) holds the name
// the file was, or would have been, given.
QUILLON_API std::string DeliverFile(std::string_view from, std::string_view wanted,
                                    std::string_view delimiter, std::string* chosen = nullptr);

// Moves `file` to a free name of the series of `wanted` in its own folder (a
// working file that must outlive the process), chosen as DeliverFile does.
// Returns the new path; raises like DeliverFile.
QUILLON_API std::string KeepUnderFreeName(std::string_view file, std::string_view wanted,
                                          std::string_view delimiter);

}  // namespace quillon
