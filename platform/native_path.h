// Turning the system's Windows-form paths into native paths.
//
// The algorithms of the system keep Windows forms: backslash separators, UNC
// paths (\\server\share\...) and drive paths (C:\...). "/" is accepted as a
// separator as well, and an absolute POSIX path (/var/...) is a local path.
// ToNativePath is the one place where such a path meets the file system:
//
//   - every backslash becomes "/";
//   - \\server\share\rest maps to <UNC root>/server/share/rest (the UNC root
//     is /mnt/unc unless configured);
//   - X:\rest maps to <drive X root>/rest through the drive table; a letter
//     without an entry yields an empty path (a missing or bad drive), which
//     every file-system call treats as "not found";
//   - anything else (POSIX absolute or relative paths) is kept, with
//     backslashes turned into "/".
//
// Below a drive root or a UNC share, "." and ".." are resolved as Windows
// does, and ".." never climbs above the root: C:\..\x is C:\x and
// \\srv\share\..\x is \\srv\share\x. A UNC path whose server or share is "."
// or "..", and any path holding a NUL character, yields "" as well.
// A trailing separator is kept.
//
//   ToNativePath("\\srv\claims\out\")    -> "/mnt/unc/srv/claims/out/"
//   ToNativePath("C:\edi\a.txt") with C=/srv/c -> "/srv/c/edi/a.txt"
//   ToNativePath("Q:\x") without a Q entry     -> ""
//   ToNativePath("/var/tmp\x")                 -> "/var/tmp/x"
//
// Settings come from SetPathSettings or from the environment variables
// QUILLON_UNC_ROOT and QUILLON_DRIVES ("C=/srv/c;D=/data"; blanks around an
// entry are ignored, a letter may be either case, a later entry for the same
// letter wins, malformed entries are ignored), read once on first use.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform_export.h"

namespace platform {

struct PathSettings {
  std::string uncRoot = "/mnt/unc";
  std::map<char, std::string> drives;  // upper-case letter -> native root
};

PLATFORM_API void SetPathSettings(PathSettings settings);
PLATFORM_API PathSettings GetPathSettings();
// The settings that the environment variables describe (used on first use).
PLATFORM_API PathSettings PathSettingsFromEnvironment();

// "" for a drive path whose letter has no entry.
PLATFORM_API std::string ToNativePath(std::string_view path);

// "\" or "/".
constexpr bool IsPathSeparator(char c) noexcept {
  return c == '\\' || c == '/';
}
// Begins with a backslash followed by a separator (\\server\share).
// A path beginning with "/" is always a POSIX path, "//x" included.
PLATFORM_API bool IsUncPath(std::string_view path) noexcept;
// The upper-case drive letter when the path begins with a letter and ":",
// else '\0'.
PLATFORM_API char DriveLetterOf(std::string_view path) noexcept;
// The native root of a drive letter (either case), or nothing without an entry.
PLATFORM_API std::optional<std::string> DriveRoot(char letter);

}  // namespace platform
