#include "mapping/field_mapping.h"

namespace marrow {

FieldMapping::FieldMapping(std::string_view name, std::string_view value)
    : name_(name), nameHash_(tessel::NameValueList::HashOf(name)) {
  SetValue(value);
}

void FieldMapping::SetName(std::string_view name) {
  name_.assign(name);
  nameHash_ = tessel::NameValueList::HashOf(name);
}

void FieldMapping::SetValue(std::string_view value) {
  value_.assign(value);
  parts_.ParseValueString(value_);
}

}  // namespace marrow
