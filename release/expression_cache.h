// ExpressionCache: one-mapping FieldMappings sets kept by (name, expression).
//
// Service lines translate one generated expression per row ("[Codes:index{2:|}]"
// for row 3, and so on). The expressions come from the mapping files, so the
// same texts return with every document; keeping their parsed form saves
// parsing them again. The cache holds at most kCapacity sets and starts over
// when it is full. A text that does not parse is not kept: its failure is
// raised again at every use.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "mapping/field_mappings.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API ExpressionCache {
 public:
  static constexpr std::size_t kCapacity = 4096;

  // The set holding the one mapping `name` = `expression`. Parse failures
  // pass to the caller.
  std::shared_ptr<const marrow::FieldMappings> Mapping(std::string_view name,
                                                       std::string_view expression);
  std::size_t Size() const noexcept { return sets_.size(); }

 private:
  std::unordered_map<std::string, std::shared_ptr<const marrow::FieldMappings>> sets_;
  std::string key_;  // the key of the last lookup, its memory reused
};

}  // namespace quillon
