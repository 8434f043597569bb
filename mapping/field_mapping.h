// FieldMapping: one output field name and its value expression, with the
// expression's parsed parts. Created and owned by a FieldMappings set; the
// set hands them out read-only through its iterator.
//
// Setting the value stores the text and parses it at once, so translation
// never parses. A parse failure (a strict conversion in a parameter list,
// mapping/field_part.h) reaches the setter's caller; the text stays stored
// and the parts read before the failure stay in Parts().
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/tessel/name_value_list.h"
#include "mapping/field_parts.h"
#include "marrow_export.h"

namespace marrow {

class MARROW_API FieldMapping {
 public:
  FieldMapping() = default;
  // Raises the value's parse failure.
  FieldMapping(std::string_view name, std::string_view value);

  // "Gets or sets the resulting field name."
  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string_view name);
  // tessel::NameValueList::HashOf(Name()), kept for the translations.
  std::size_t NameHash() const noexcept { return nameHash_; }

  // "Gets or sets the mapping (translation) value."
  const std::string& Value() const noexcept { return value_; }
  void SetValue(std::string_view value);

  // "Gets the field parts that comprise the mapping value."
  const FieldParts& Parts() const noexcept { return parts_; }

 private:
  std::string name_;
  std::size_t nameHash_ = tessel::NameValueList::HashOf({});
  std::string value_;
  FieldParts parts_;
};

}  // namespace marrow
