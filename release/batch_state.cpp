#include "release/batch_state.h"

#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "platform/os_services.h"
#include "release/expression_cache.h"
#include "release/mapping_file_cache.h"

namespace quillon {

namespace {

// Memory for the arena of the status records: its blocks of 2 MiB and more
// (a million records take some 280 MB) in memory of their own, in huge pages
// where the system offers them; smaller ones from the heap.
class StatusArenaMemory final : public std::pmr::memory_resource {
 private:
  static bool Large(std::size_t bytes, std::size_t alignment) noexcept {
    return bytes >= platform::LargeBuffer::kGranule && alignment <= platform::LargeBuffer::kGranule;
  }

  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (!Large(bytes, alignment)) {
      return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    }
    return blocks_.emplace_back(bytes).Data();
  }

  void do_deallocate(void* data, std::size_t bytes, std::size_t alignment) override {
    if (!Large(bytes, alignment)) {
      std::pmr::new_delete_resource()->deallocate(data, bytes, alignment);
      return;
    }
    // A handful of blocks: the arena makes each one larger than the last.
    const auto it =
        std::find_if(blocks_.begin(), blocks_.end(),
                     [data](const platform::LargeBuffer& b) { return b.Data() == data; });
    if (it != blocks_.end()) blocks_.erase(it);
  }

  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }

  std::vector<platform::LargeBuffer> blocks_;
};

}  // namespace

struct DocumentStatusCollection::Storage {
  StatusArenaMemory memory;
  std::pmr::monotonic_buffer_resource arena{&memory};
  std::pmr::deque<DocumentStatus> records{&arena};
  std::pmr::deque<std::string> keys{&arena};  // key of records[i]
  std::pmr::unordered_map<std::string, std::size_t> index{&arena};
};

DocumentStatusCollection::DocumentStatusCollection() : storage_(std::make_unique<Storage>()) {}
DocumentStatusCollection::~DocumentStatusCollection() = default;

DocumentStatusCollection::const_iterator DocumentStatusCollection::begin() const noexcept {
  return storage_->records.begin();
}

DocumentStatusCollection::const_iterator DocumentStatusCollection::end() const noexcept {
  return storage_->records.end();
}

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
