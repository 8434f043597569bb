#include "release/custom_properties.h"

#include "platform/error.h"
#include "platform/number_text.h"
#include "platform/text.h"

namespace quillon {

std::string GetCustomPropertyValue(const HostCustomProperties& properties, std::string_view name) {
  return properties.Item(name).Value;
}

bool CustomPropertyExists(const HostCustomProperties& properties, std::string_view name) noexcept {
  try {
    (void)properties.Item(name).Value;
    return true;
  } catch (...) {
    return false;
  }
}

bool TextToBoolean(std::string_view text) {
  const std::string_view trimmed = platform::text::Trim(text);
  if (platform::text::EqualsCaseless(trimmed, "true")) return true;
  if (platform::text::EqualsCaseless(trimmed, "false")) return false;
  if (const std::optional<double> number = platform::ReadNumber(trimmed)) return *number != 0.0;
  platform::Raise(
      platform::err::kTypeMismatch, "CBool",
      "Type mismatch: \"" + std::string(text) + "\" is neither true, false nor a number");
}

}  // namespace quillon
