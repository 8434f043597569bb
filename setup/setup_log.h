// Where the setup-time log goes.
//
// The log belongs in the folder the connector's library was loaded from. On
// Linux that folder (/usr/lib/..., /usr/local/lib) is not writable for
// ordinary users, so when the process cannot create a file there the log
// goes to the user's state folder instead: $XDG_STATE_HOME/quillon, or
// ~/.local/state/quillon when XDG_STATE_HOME is not set (or not an absolute
// path, which the XDG rules say to ignore). That folder is created (0700)
// when missing. A log that cannot be written anywhere never fails the caller
// (host/tessel/logger.h): it is reported once on standard error.
#pragma once

#include <string>

#include "quillon_export.h"

namespace quillon {

QUILLON_API std::string SetupLogFolder();

// The rule itself: `libraryFolder` when `libraryWritable`, else the state
// folder from the two environment values (nullptr when unset). Does not touch
// the file system.
QUILLON_API std::string ChooseSetupLogFolder(const std::string& libraryFolder, bool libraryWritable,
                                             const char* xdgStateHome, const char* home);

}  // namespace quillon
