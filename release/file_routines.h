// Path, directory and file-name routines shared by the release runtime and
// the setup side: directory checks, unique output names under a folder lock
// shared between processes.
//
// Paths are Windows-form paths (backslash, \\server\share, C:\) with "/" also
// accepted; platform::ToNativePath turns them into native paths at the file
// system. See docs/paths-and-locks.md.
#pragma once

#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

// True when the path holds a backslash: folder = up to and including the last
// one, fileName = the rest. Otherwise both are "" and the result is false.
QUILLON_API bool SplitPath(std::string_view path, std::string& folder, std::string& fileName);
QUILLON_API std::string ParentDirectory(std::string_view path);
QUILLON_API bool CreateDirectoryTree(std::string_view path);
QUILLON_API bool DirectoryExists(std::string_view path);
// Raises error 6000 ("Check Directory Access") when the directory cannot be written.
QUILLON_API void CheckDirectoryAccess(std::string_view directory);
QUILLON_API bool HasDirectoryAccess(std::string_view directory);
QUILLON_API bool IsAllDigits(std::string_view text);
// 32 upper-case hex digits, or "" when no GUID could be made.
QUILLON_API std::string NewGuidString();
QUILLON_API void ObtainLock(std::string_view folder);
QUILLON_API void ReleaseLock(std::string_view folder);
// Never raises; see docs/paths-and-locks.md for the counter sequence.
QUILLON_API std::string MakeFileNameUnique(std::string_view path, std::string_view delimiter);
QUILLON_API bool VerifyDirectoryName(std::string_view path, bool offerToCreate);

}  // namespace quillon
