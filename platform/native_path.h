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
// Settings come from SetPathSettings or from the environment variables
// QUILLON_UNC_ROOT and QUILLON_DRIVES ("C=/srv/c;D=/data"), read once on first
// use.
#pragma once

#include <map>
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

// "" for a drive path whose letter has no entry.
PLATFORM_API std::string ToNativePath(std::string_view path);

}  // namespace platform
