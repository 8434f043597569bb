#include "release/batch_state.h"

#include "platform/error.h"
#include "release/expression_cache.h"
#include "release/mapping_file_cache.h"

namespace quillon {

DocumentStatusCollection::DocumentStatusCollection() : storage_(std::make_unique<Storage>()) {}
DocumentStatusCollection::~DocumentStatusCollection() = default;

std::int32_t DocumentStatusCollection::Count() const noexcept {
  return static_cast<std::int32_t>(storage_->records.size());
}

DocumentStatus& DocumentStatusCollection::Add(const DocumentStatus& record, std::string_view key) {
  Storage& s = *storage_;
  auto [it, inserted] = s.index.try_emplace(std::string(key), s.records.size());
  if (!inserted) platform::Raise(platform::err::kDuplicateKey, "Collection.Add");
  try {
    s.records.push_back(record);
    s.keys.emplace_back(key);
  } catch (...) {
    if (s.records.size() > it->second) s.records.pop_back();
    s.index.erase(it);
    throw;
  }
  return s.records.back();
}

DocumentStatus* DocumentStatusCollection::Item(std::string_view key) {
  Storage& s = *storage_;
  const auto it = s.index.find(std::string(key));
  return it == s.index.end() ? nullptr : &s.records[it->second];
}

const DocumentStatus* DocumentStatusCollection::Item(std::string_view key) const {
  const Storage& s = *storage_;
  const auto it = s.index.find(std::string(key));
  return it == s.index.end() ? nullptr : &s.records[it->second];
}

const DocumentStatus* DocumentStatusCollection::Item(std::int64_t position) const {
  const Storage& s = *storage_;
  if (position < 1 || position > static_cast<std::int64_t>(s.records.size())) return nullptr;
  return &s.records[static_cast<std::size_t>(position - 1)];
}

void DocumentStatusCollection::Remove(std::string_view key) {
  Storage& s = *storage_;
  const auto it = s.index.find(std::string(key));
  if (it == s.index.end()) {
    platform::Raise(platform::err::kInvalidProcedureCall, "Collection.Remove");
  }
  const std::size_t at = it->second;
  s.index.erase(it);
  s.records.erase(s.records.begin() + static_cast<std::ptrdiff_t>(at));
  s.keys.erase(s.keys.begin() + static_cast<std::ptrdiff_t>(at));
  for (std::size_t i = at; i < s.keys.size(); ++i) s.index[std::string(s.keys[i])] = i;
}

void DocumentStatusCollection::Clear() noexcept {
  // A fresh arena gives the memory of the old records back.
  try {
    storage_ = std::make_unique<Storage>();
  } catch (...) {
    storage_->records.clear();
    storage_->keys.clear();
    storage_->index.clear();
  }
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
