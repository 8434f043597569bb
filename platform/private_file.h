// Opening the files that a process appends claim data to and that may lie in
// folders shared with other users: release logs and error logs.
//
// OpenPrivateAppendFile never writes into a file that someone else could
// have planted or could read:
//   - a symbolic link at the name is not followed;
//   - a file is created for its owner only (0600);
//   - an existing file is used only when it is a regular file of this user,
//     not readable by group or others, and has no other name (hard link).
// Otherwise the data go to a fresh file beside it,
// "<name without extension>.<8 random hex digits><extension>", created
// exclusively. The choice is remembered for the life of the process, so later
// opens of the same name reach the same fresh file and the caller is told
// about it once (PrivateFile::notice).
#pragma once

#include <string>

#include "platform_export.h"

namespace platform {

struct PrivateFile {
  int descriptor = -1;  // open for appending; -1 when nothing could be opened
  std::string path;     // the file opened (native path)
  int error = 0;        // errno when nothing could be opened
  // Set on the first open that refused the file at the name: what was wrong
  // with it and where the data go instead, for the user.
  std::string notice;
};

// `nativePath` is a native path. The descriptor is the caller's to close.
PLATFORM_API PrivateFile OpenPrivateAppendFile(const std::string& nativePath);

}  // namespace platform
