#include "mapping/field_mapping.h"

namespace marrow {

FieldMapping::FieldMapping(std::string_view name, std::string_view value) : name_(name) {
  SetValue(value);
}

void FieldMapping::SetValue(std::string_view value) {
  value_.assign(value);
  parts_.ParseValueString(value_);
}

}  // namespace marrow
