#include "host/tessel/name_value_list.h"

#include "platform/error.h"
#include "platform/text.h"

namespace tessel {

namespace {
std::string Key(std::string_view name) {
  return platform::text::LCase(name);
}
}  // namespace

const NameValue& NameValueList::Add(std::string_view name, std::string_view value) {
  auto [it, inserted] = index_.try_emplace(Key(name), items_.size());
  if (!inserted) {
    NameValue& item = items_[it->second];
    item.value_.assign(value);
    return item;
  }
  items_.emplace_back(std::string(name), std::string(value));
  return items_.back();
}

void NameValueList::AddFromString(std::string_view text, std::string_view pairDelimiter,
                                  std::string_view valueDelimiter, bool /*flag*/) {
  if (text.empty()) return;
  auto addPiece = [&](std::string_view piece) {
    if (valueDelimiter.empty()) return;
    const std::size_t at = piece.find(valueDelimiter);
    if (at == std::string_view::npos) return;
    Add(piece.substr(0, at), piece.substr(at + valueDelimiter.size()));
  };
  if (pairDelimiter.empty()) {
    addPiece(text);
    return;
  }
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = text.find(pairDelimiter, pos);
    if (hit == std::string_view::npos) break;
    addPiece(text.substr(pos, hit - pos));
    pos = hit + pairDelimiter.size();
  }
  addPiece(text.substr(pos));
}

std::string NameValueList::ToString(std::string_view pairDelimiter,
                                    std::string_view valueDelimiter) const {
  std::string out;
  std::size_t size = 0;
  for (const auto& item : items_) size += item.name_.size() + item.value_.size() + 2;
  out.reserve(size);
  bool first = true;
  for (const auto& item : items_) {
    if (!first) out.append(pairDelimiter);
    first = false;
    out.append(item.name_);
    out.append(valueDelimiter);
    out.append(item.value_);
  }
  return out;
}

const NameValue* NameValueList::Item(std::string_view name) const {
  const auto it = index_.find(Key(name));
  return it == index_.end() ? nullptr : &items_[it->second];
}

const NameValue* NameValueList::Item(std::int64_t position) const {
  if (position < 1 || position > static_cast<std::int64_t>(items_.size())) return nullptr;
  return &items_[static_cast<std::size_t>(position - 1)];
}

const std::string& NameValueList::Value(std::string_view name) const {
  const NameValue* item = Item(name);
  if (item == nullptr) platform::Raise(platform::err::kInvalidProcedureCall, "NameValueList.Item");
  return item->value_;
}

std::string NameValueList::ValueOr(std::string_view name, std::string_view fallback) const {
  const NameValue* item = Item(name);
  return item == nullptr ? std::string(fallback) : item->value_;
}

bool NameValueList::Exists(std::string_view name) const {
  return index_.find(Key(name)) != index_.end();
}

void NameValueList::Remove(std::string_view name) {
  const auto it = index_.find(Key(name));
  if (it == index_.end()) return;
  const std::size_t at = it->second;
  index_.erase(it);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
  // Entries behind the removed one move up by one; adjusting the stored
  // positions in place avoids folding every later name again.
  for (auto& entry : index_) {
    if (entry.second > at) --entry.second;
  }
}

void NameValueList::Clear() {
  items_.clear();
  index_.clear();
}

}  // namespace tessel
