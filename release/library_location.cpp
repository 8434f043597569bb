#include "release/library_location.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string_view>

#ifndef QUILLON_LIB_VERSION
#define QUILLON_LIB_VERSION "0.0.0"
#endif

namespace quillon {

namespace {

// The resolved path of the object file that holds this function. Looked up
// once: a release asks for it for every document (one file per document
// prepares a run each time), and resolving it costs a system call per
// folder of the path.
const std::string& OwnPath() {
  static const std::string path = []() -> std::string {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
      return {};
    }
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) != nullptr) return resolved;
    return info.dli_fname;
  }();
  return path;
}

}  // namespace

std::string LibraryDirectory() {
  const std::string path = OwnPath();
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string LibraryBaseName() {
  const std::string path = OwnPath();
  const std::size_t slash = path.find_last_of('/');
  std::string_view name = path;
  if (slash != std::string::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name.empty() ? std::string_view("quillon") : name);
}

std::string LibraryVersionText() {
  return QUILLON_LIB_VERSION;
}

}  // namespace quillon
