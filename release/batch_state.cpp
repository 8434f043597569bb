#include "release/batch_state.h"

#include "platform/error.h"
#include "release/expression_cache.h"
#include "release/mapping_file_cache.h"

namespace quillon {

DocumentStatus& DocumentStatusCollection::Add(const DocumentStatus& record, std::string_view key) {
  auto [it, inserted] = index_.try_emplace(std::string(key), records_.size());
  if (!inserted) platform::Raise(platform::err::kDuplicateKey, "Collection.Add");
  records_.push_back(record);
  keys_.emplace_back(key);
  return records_.back();
}

DocumentStatus* DocumentStatusCollection::Item(std::string_view key) {
  const auto it = index_.find(std::string(key));
  return it == index_.end() ? nullptr : &records_[it->second];
}

const DocumentStatus* DocumentStatusCollection::Item(std::string_view key) const {
  const auto it = index_.find(std::string(key));
  return it == index_.end() ? nullptr : &records_[it->second];
}

const DocumentStatus* DocumentStatusCollection::Item(std::int64_t position) const {
  if (position < 1 || position > static_cast<std::int64_t>(records_.size())) return nullptr;
  return &records_[static_cast<std::size_t>(position - 1)];
}

void DocumentStatusCollection::Remove(std::string_view key) {
  const auto it = index_.find(std::string(key));
  if (it == index_.end()) {
    platform::Raise(platform::err::kInvalidProcedureCall, "Collection.Remove");
  }
  const std::size_t at = it->second;
  index_.erase(it);
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(at));
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(at));
  for (std::size_t i = at; i < keys_.size(); ++i) index_[keys_[i]] = i;
}

void DocumentStatusCollection::Clear() noexcept {
  records_.clear();
  keys_.clear();
  index_.clear();
}

std::string DocumentStatusKey(std::int32_t documentId) {
  return "id-" + std::to_string(documentId);
}

BatchState::BatchState() = default;
BatchState::~BatchState() = default;

MappingFileCache& BatchState::MappingCache() {
  if (!mappingCache_) mappingCache_ = std::make_unique<MappingFileCache>();
  return *mappingCache_;
}

ExpressionCache& BatchState::Expressions() {
  if (!expressions_) expressions_ = std::make_unique<ExpressionCache>();
  return *expressions_;
}

}  // namespace quillon
