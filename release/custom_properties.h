// Reading the connector's settings from the host's custom properties.
#pragma once

#include <string>
#include <string_view>

#include "host/host_release_data.h"
#include "quillon_export.h"

namespace quillon {

// The value of the named property; a missing property raises (the host's
// own error, number 5).
QUILLON_API std::string GetCustomPropertyValue(const HostCustomProperties& properties,
                                               std::string_view name);
// True when the property can be read; never raises.
QUILLON_API bool CustomPropertyExists(const HostCustomProperties& properties,
                                      std::string_view name) noexcept;

// The "Enable Logging" conversion: "true"/"false" in any letter case, or a
// number (0 is false, anything else true); blanks around the text are
// ignored. Any other text raises the type-mismatch error (13).
QUILLON_API bool TextToBoolean(std::string_view text);

}  // namespace quillon
