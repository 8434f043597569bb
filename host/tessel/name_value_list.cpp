#include "host/tessel/name_value_list.h"

#include <cstring>

#include "platform/error.h"

namespace tessel {

namespace {

// Folds the byte at `i` the way platform::text::LCase folds characters:
// ASCII A-Z, and the Latin-1 capitals U+00C0..U+00DE (but U+00D7), whose
// UTF-8 form is C3 80..C3 9E. `afterC3` says the previous byte was a C3 lead
// byte (C3 is never a continuation byte, so this holds for any input).
inline unsigned char FoldByte(unsigned char b, bool afterC3) noexcept {
  if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 32);
  if (afterC3 && b >= 0x80 && b <= 0x9E && b != 0x97) return static_cast<unsigned char>(b + 32);
  return b;
}

// Calls `f` with every folded byte of `name`.
template <typename F>
inline void ForEachFolded(std::string_view name, F&& f) noexcept {
  bool afterC3 = false;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    f(FoldByte(b, afterC3));
    afterC3 = b == 0xC3;
  }
}

}  // namespace

std::size_t detail::FoldedHash::operator()(std::string_view name) const noexcept {
  // Names are hashed on every lookup, so pure-ASCII names (nearly all of
  // them) are folded and mixed eight bytes at a time. A name with a byte
  // of 0x80 or above can never fold-equal an ASCII name, so the two kinds
  // may hash differently.
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  const std::size_t n = name.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  std::size_t i = 0;
  for (; i < n; i += 8) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, name.data() + i, n - i < 8 ? n - i : 8);
    if ((chunk & kHigh) != 0) break;
    // High bit of each byte: at or above 'A', and above 'Z'.
    const std::uint64_t geA = (chunk & kLow7) + kOnes * (0x80 - 'A');
    const std::uint64_t gtZ = (chunk & kLow7) + kOnes * (0x7F - 'Z');
    const std::uint64_t upper = geA & ~gtZ & kHigh;
    chunk |= upper >> 2;  // 0x80 >> 2 == 0x20, the case bit
    h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  if (i >= n) return static_cast<std::size_t>(h);

  std::uint64_t f = 1469598103934665603ull;  // FNV-1a over the folded bytes
  ForEachFolded(name, [&](unsigned char b) {
    f ^= b;
    f *= 1099511628211ull;
  });
  return static_cast<std::size_t>(f);
}

bool detail::FoldedEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  // Folding never changes the byte length of a name.
  if (a.size() != b.size()) return false;
  bool aAfterC3 = false;
  bool bAfterC3 = false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (FoldByte(ca, aAfterC3) != FoldByte(cb, bAfterC3)) return false;
    aAfterC3 = ca == 0xC3;
    bAfterC3 = cb == 0xC3;
  }
  return true;
}

const NameValue& NameValueList::Add(std::string_view name, std::string_view value) {
  auto [it, inserted] = index_.try_emplace(std::string(name), items_.size());
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
  const auto it = index_.find(name);
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
  return index_.find(name) != index_.end();
}

void NameValueList::Remove(std::string_view name) {
  const auto it = index_.find(name);
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
