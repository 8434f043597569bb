// Error helpers of the release side.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace quillon::internal {

// The runtime's number for using an object that was never created.
inline constexpr int kObjectNotSet = 91;

// A release run that was never prepared (an "EDI Output" value that is
// neither mode) has no status collection and no pipeline.
[[noreturn]] inline void RaiseNotPrepared(const std::string& source) {
  throw platform::Error(kObjectNotSet, source,
                        "The release run was not prepared (no batch status): \"EDI Output\" is "
                        "neither \"One EDI Per Batch\" nor \"One EDI Per Document\", or the "
                        "preparation failed");
}

// True for a folder setting that is empty or white space only.
inline bool IsBlankFolder(std::string_view folder) noexcept {
  return folder.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

// Folders that are empty or only blanks never stand for the current folder
// or the root of the file system: they are errors under the number of the
// check that meets them.
[[noreturn]] inline void RaiseBlankOutputDirectory() {
  throw platform::Error(6500, "ReleaseDoc",
                        "The ouput directory is undefined: \"_outputDirectory\" is empty");
}
[[noreturn]] inline void RaiseBlankWorkingDirectory() {
  throw platform::Error(6000, "Check Directory Access",
                        "The working directory is undefined: the custom property \"Working "
                        "Directory\" is empty");
}

// Any exception as the system's error type, so that host-facing operations
// report everything the same way.
inline platform::Error AsError(const std::exception& e, const std::string& source) {
  if (const auto* error = dynamic_cast<const platform::Error*>(&e)) return *error;
  return platform::Error(51, source, std::string("Internal error: ") + e.what());
}

}  // namespace quillon::internal
