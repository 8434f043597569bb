#include "app/release_causes.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/text.h"
#include "release/custom_properties.h"

namespace quillon::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOneEdiPerBatch = "One EDI Per Batch";
constexpr const char* kOneEdiPerDocument = "One EDI Per Document";

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The native form of a setting's folder, for messages and the file system.
std::string Native(const std::string& path) {
  const std::string native = platform::ToNativePath(path);
  return native.empty() ? path : native;
}

std::string Missing(const char* setting, const char* expected) {
  return std::string("the batch class has no ") + Quoted(setting) + " setting: " + expected;
}

std::string AccessProblem(const fs::path& path) {
  if (::access(path.c_str(), W_OK | X_OK) == 0) return {};
  return std::strerror(errno);
}

std::string FolderCause(const char* setting, const std::string& directory) {
  const std::string problem = FolderProblem(directory);
  if (problem.empty()) return {};
  return Quoted(setting) + " is " + Quoted(directory) + ": " + problem;
}

}  // namespace

std::string FolderProblem(const std::string& directory) {
  const std::string native = platform::ToNativePath(directory);
  if (native.empty()) return "its drive is not mapped to a folder (see QUILLON_DRIVES)";
  std::error_code ec;
  fs::path path = fs::path(native).lexically_normal();
  if (!path.has_filename() && path.has_parent_path() && path != path.root_path()) {
    path = path.parent_path();  // a trailing separator
  }
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) return "it is a file, not a folder";
    const std::string denied = AccessProblem(path);
    return denied.empty() ? std::string() : "it cannot be written (" + denied + ")";
  }
  // Missing: it can be made when the nearest folder above it that exists
  // takes new folders. A folder right below the root is never made.
  fs::path top = path;
  fs::path anchor;
  for (;;) {
    const fs::path parent = top.parent_path();
    if (parent.empty()) {
      anchor = ".";  // a relative name grows from the current folder
      break;
    }
    if (parent == top || parent == parent.root_path()) {
      return "it does not exist, and " + Quoted(top.string()) +
             " cannot be created (a folder right below the root is never created)";
    }
    const fs::file_status above = fs::status(parent, ec);
    if (fs::exists(above)) {
      if (!fs::is_directory(above)) {
        return "it does not exist, and cannot be created: " + Quoted(parent.string()) +
               " is a file";
      }
      anchor = parent;
      break;
    }
    top = parent;
  }
  const std::string denied = AccessProblem(anchor);
  if (!denied.empty()) {
    return "it does not exist, and cannot be created in " + Quoted(anchor.string()) + " (" +
           denied + ")";
  }
  return {};
}

std::vector<std::string> SettingCauses(const HostCustomProperties& properties) {
  std::vector<std::string> causes;
  const auto value = [&](const char* name) -> std::optional<std::string> {
    if (!CustomPropertyExists(properties, name)) return std::nullopt;
    return GetCustomPropertyValue(properties, name);
  };

  const std::optional<std::string> mode = value("EDI Output");
  const std::string modes =
      std::string("it must be ") + Quoted(kOneEdiPerBatch) + " or " + Quoted(kOneEdiPerDocument);
  if (!mode) {
    causes.push_back(Missing("EDI Output", modes.c_str()));
  } else if (*mode != kOneEdiPerBatch && *mode != kOneEdiPerDocument) {
    causes.push_back("\"EDI Output\" is " + Quoted(*mode) + ": " + modes +
                     " (letter case counts), so the release is never prepared and every "
                     "document fails");
  }

  const std::optional<std::string> logging = value("Enable Logging");
  bool loggingOn = false;
  const char* booleans = "it must be true or false (in any letter case) or a number";
  if (!logging) {
    causes.push_back(Missing("Enable Logging", booleans));
  } else {
    try {
      loggingOn = TextToBoolean(*logging);
    } catch (const platform::Error&) {
      causes.push_back("\"Enable Logging\" is " + Quoted(*logging) + ": " + booleans);
    }
  }
  if (loggingOn) {
    if (const std::optional<std::string> folder = value("Logging Directory")) {
      if (const std::string cause = FolderCause("Logging Directory", *folder); !cause.empty()) {
        causes.push_back(cause);
      }
    } else {
      causes.push_back(Missing("Logging Directory", "logging is on and needs a folder"));
    }
  }

  const std::optional<std::string> mappings = value("Mappings Directory");
  if (!mappings) {
    causes.push_back(Missing("Mappings Directory", "it names the folder of the mapping files"));
  } else if (!mappings->empty()) {
    std::error_code ec;
    if (!fs::is_directory(Native(*mappings), ec)) {
      causes.push_back("\"Mappings Directory\" is " + Quoted(*mappings) +
                       ": the folder does not exist");
    } else {
      for (const char* name : {"DataMappings", "FieldMappings", "FeedOutputMappings"}) {
        // The file name as the release composes it.
        const std::string file = *mappings + "\\" + name + ".xml";
        marrow::ConditionalMappings classes;
        try {
          classes.LoadFromXMLFile(file);
        } catch (const platform::Error& e) {
          causes.push_back("the mapping file " + Quoted(Native(file)) + " cannot be loaded: " +
                           e.Description() + " (error " + std::to_string(e.Number()) + ")");
        }
      }
    }
  }

  if (const std::optional<std::string> working = value("Working Directory")) {
    if (!working->empty()) {
      if (const std::string cause = FolderCause("Working Directory", *working); !cause.empty()) {
        causes.push_back(cause);
      }
    }
  } else {
    causes.push_back(Missing("Working Directory", "the output file is built there"));
  }
  return causes;
}

std::vector<DeliveryFailure> DeliveryFailures(const std::vector<HostErrorRecord>& errors,
                                              std::size_t from, std::size_t to) {
  static constexpr std::string_view kOutputFile =
      "CloseScript - FinalizeBatchRelease, OutputFile: ";
  static constexpr std::string_view kDestination = ", Destination File: ";
  static constexpr std::string_view kCause = " Error Description : ";
  std::vector<DeliveryFailure> failures;
  for (std::size_t i = from; i < to && i < errors.size(); ++i) {
    const std::string& source = errors[i].Source;
    if (errors[i].Number != 7004 || source.rfind(kOutputFile, 0) != 0) continue;
    const std::size_t destination = source.find(kDestination, kOutputFile.size());
    const std::size_t cause =
        destination == std::string::npos ? std::string::npos : source.find(kCause, destination);
    if (cause == std::string::npos) continue;
    DeliveryFailure failure;
    failure.workingFile = source.substr(kOutputFile.size(), destination - kOutputFile.size());
    const std::size_t destinationStart = destination + kDestination.size();
    failure.destination = source.substr(destinationStart, cause - destinationStart);
    failure.cause = source.substr(cause + kCause.size());
    failures.push_back(std::move(failure));
  }
  return failures;
}

std::string DeliveryCause(const DeliveryFailure& failure, const std::string& outputDirectory) {
  if (outputDirectory.empty()) return "the output file could not be delivered: " + failure.cause;
  const std::string problem = FolderProblem(outputDirectory);
  return "the output folder " + Quoted(Native(outputDirectory)) +
         " cannot take the file: " + (problem.empty() ? failure.cause : problem);
}

std::string KeptFileNote(const DeliveryFailure& failure) {
  std::error_code ec;
  if (failure.workingFile.empty() ||
      !fs::is_regular_file(platform::ToNativePath(failure.workingFile), ec)) {
    return {};
  }
  // Once a destination name was reserved, the working file was complete.
  return std::string(failure.destination.empty() ? "the unfinished file stays"
                                                 : "the finished file was kept") +
         " in the working folder: " + Native(failure.workingFile);
}

}  // namespace quillon::app
