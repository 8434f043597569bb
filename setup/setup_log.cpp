#include "setup/setup_log.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include "release/file_routines.h"
#include "release/library_location.h"

namespace quillon {

std::string ChooseSetupLogFolder(const std::string& libraryFolder, bool libraryWritable,
                                 const char* xdgStateHome, const char* home) {
  if (libraryWritable && !libraryFolder.empty()) return libraryFolder;
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    return std::string(xdgStateHome) + "/quillon";
  }
  std::string base = home != nullptr ? home : "";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base.empty()) return {};
  return base + "/.local/state/quillon";
}

std::string SetupLogFolder() {
  const std::string library = LibraryDirectory();
  const bool writable = !library.empty() && HasDirectoryAccess(library);
  const char* home = ::getenv("HOME");
  std::string fromPasswd;
  if (home == nullptr || home[0] == '\0') {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir) {
      fromPasswd = entry->pw_dir;
      home = fromPasswd.c_str();
    }
  }
  const std::string folder =
      ChooseSetupLogFolder(library, writable, ::getenv("XDG_STATE_HOME"), home);
  if (!folder.empty() && folder != library) CreateDirectoryTree(folder);
  return folder;
}

}  // namespace quillon
