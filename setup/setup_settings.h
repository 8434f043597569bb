// The connector's settings for one batch class, as the setup dialog shows
// them and a save stores them: five custom properties of the host's setup
// data (the release side reads them back, release/release_script.h).
//
//   "Mappings Directory"  the folder of the three mapping files, as typed
//   "Logging Directory"   the release-time log folder, as typed
//   "Working Directory"   the release's working folder, as typed (may be "")
//   "EDI Output"          "One EDI Per Document", "One EDI Per Batch", or ""
//                         when neither option is selected
//   "Enable Logging"      "0" off, "1" on
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

inline constexpr std::string_view kMappingsDirectoryProperty = "Mappings Directory";
inline constexpr std::string_view kLoggingDirectoryProperty = "Logging Directory";
inline constexpr std::string_view kWorkingDirectoryProperty = "Working Directory";
inline constexpr std::string_view kEdiOutputProperty = "EDI Output";
inline constexpr std::string_view kEnableLoggingProperty = "Enable Logging";

// The five properties in the order a save adds them.
inline constexpr std::array<std::string_view, 5> kSetupProperties = {
    kMappingsDirectoryProperty, kLoggingDirectoryProperty, kWorkingDirectoryProperty,
    kEdiOutputProperty, kEnableLoggingProperty};

inline constexpr std::string_view kOneEdiPerBatch = "One EDI Per Batch";
inline constexpr std::string_view kOneEdiPerDocument = "One EDI Per Document";

// The two output-mode option buttons; kNone when neither is selected.
enum class EdiOutputMode { kNone, kPerBatch, kPerDocument };

// What the dialog's controls on the general tab hold.
struct SetupSettings {
  std::string mappingsDirectory;
  std::string loggingDirectory;
  std::string workingDirectory;
  EdiOutputMode ediOutput = EdiOutputMode::kNone;
  bool enableLogging = false;
};

// "One EDI Per Batch", "One EDI Per Document", or "" for kNone.
QUILLON_API std::string_view EdiOutputText(EdiOutputMode mode) noexcept;
// The option a stored value selects: "One EDI Per Document" (exactly) the
// per-document option, anything else (also "") the per-batch one.
QUILLON_API EdiOutputMode EdiOutputFromText(std::string_view text) noexcept;
// "1" or "0".
QUILLON_API std::string_view EnableLoggingText(bool on) noexcept;

}  // namespace quillon
