#include "mapping/conditional_mappings.h"

namespace marrow {

std::string ConditionalMapping::MapConditionsString() const {
  return conditions_.ToString(false, ";", "|");
}

void ConditionalMapping::SetMapConditionsString(std::string_view text) {
  conditions_.AddFromString(text, ";", "|");
}

std::string ConditionalMapping::FieldMapsString() const {
  return fieldMaps_.ToString(";", "=");
}

void ConditionalMapping::SetFieldMapsString(std::string_view text) {
  fieldMaps_.AddFromString(text, ";", "=");
}

}  // namespace marrow
