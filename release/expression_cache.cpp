#include "release/expression_cache.h"

namespace quillon {

std::shared_ptr<const marrow::FieldMappings> ExpressionCache::Mapping(std::string_view name,
                                                                      std::string_view expression) {
  // The names are fixed ones ("_ServiceLineValue1", ...) without line ends.
  std::string& key = key_;
  key.assign(name).append(1, '\n').append(expression);
  if (const auto it = sets_.find(key); it != sets_.end()) return it->second;
  auto set = std::make_shared<marrow::FieldMappings>();
  set->Add(name, expression);
  if (sets_.size() >= kCapacity) sets_.clear();
  sets_.emplace(key, set);
  return set;
}

}  // namespace quillon
