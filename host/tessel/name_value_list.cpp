#include "host/tessel/name_value_list.h"

#include <algorithm>
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
  const auto mix = [&h](std::uint64_t chunk) {
    // High bit of each byte: at or above 'A', and above 'Z'.
    const std::uint64_t geA = (chunk & kLow7) + kOnes * (0x80 - 'A');
    const std::uint64_t gtZ = (chunk & kLow7) + kOnes * (0x7F - 'Z');
    const std::uint64_t upper = geA & ~gtZ & kHigh;
    chunk |= upper >> 2;  // 0x80 >> 2 == 0x20, the case bit
    h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  };
  const char* p = name.data();
  const auto load8 = [p](std::size_t at) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, p + at, 8);
    return chunk;
  };
  const auto load4 = [p](std::size_t at) {
    std::uint32_t chunk = 0;
    std::memcpy(&chunk, p + at, 4);
    return static_cast<std::uint64_t>(chunk);
  };
  // The bytes in chunks of eight; the last chunk overlaps the one before
  // (the hash need only be a function of the folded bytes and the length).
  bool ascii = true;
  std::uint64_t chunk = 0;
  if (n >= 8) {
    for (std::size_t i = 0;; i += 8) {
      chunk = load8(i + 8 <= n ? i : n - 8);
      if ((chunk & kHigh) != 0) {
        ascii = false;
        break;
      }
      mix(chunk);
      if (i + 8 >= n) break;
    }
  } else {
    if (n >= 4) {
      chunk = load4(0) | (load4(n - 4) << 32);
    } else if (n > 0) {
      chunk = static_cast<unsigned char>(p[0]) |
              static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
              static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16;
    }
    ascii = (chunk & kHigh) == 0;
    if (ascii) mix(chunk);
  }
  if (ascii) return static_cast<std::size_t>(h);

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
  // Most lookups spell the name as it was added.
  if (std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
  // ASCII eight bytes at a time: equal when both chunks fold to the same
  // bytes. A chunk with a byte of 0x80 or above leaves the rest to the byte
  // loop below, which starts afresh after an ASCII byte.
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  const auto fold = [&](std::uint64_t chunk) {
    const std::uint64_t geA = (chunk & kLow7) + kOnes * (0x80 - 'A');
    const std::uint64_t gtZ = (chunk & kLow7) + kOnes * (0x7F - 'Z');
    return chunk | ((geA & ~gtZ & kHigh) >> 2);
  };
  std::size_t i = 0;
  for (; i + 8 <= a.size(); i += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (((x | y) & kHigh) != 0) break;
    if (fold(x) != fold(y)) return false;
  }
  bool aAfterC3 = false;
  bool bAfterC3 = false;
  for (; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (FoldByte(ca, aAfterC3) != FoldByte(cb, bAfterC3)) return false;
    aAfterC3 = ca == 0xC3;
    bAfterC3 = cb == 0xC3;
  }
  return true;
}

std::size_t NameValueList::FindSlot(std::string_view name, std::size_t hash) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t entry = slots_[slot];
    if (entry == 0) return slot;
    const std::size_t position = entry - 1;
    if (hashes_[position] == hash && detail::FoldedEqual{}(items_[position].name_, name)) {
      return slot;
    }
  }
}

NameValueList::NameValueList(const NameValueList& other)
    : items_(other.begin(), other.end()),
      count_(other.count_),
      hashes_(other.hashes_),
      slots_(other.slots_) {}

NameValueList& NameValueList::operator=(const NameValueList& other) {
  if (this == &other) return *this;
  for (std::size_t i = 0; i < other.count_; ++i) {
    if (i < items_.size()) {
      items_[i].name_.assign(other.items_[i].name_);
      items_[i].value_.assign(other.items_[i].value_);
    } else {
      items_.push_back(other.items_[i]);
    }
  }
  count_ = other.count_;
  hashes_ = other.hashes_;
  slots_ = other.slots_;
  return *this;
}

NameValueList::NameValueList(NameValueList&& other) noexcept
    : items_(std::move(other.items_)),
      count_(std::exchange(other.count_, 0)),
      hashes_(std::move(other.hashes_)),
      slots_(std::move(other.slots_)) {
  other.items_.clear();
  other.hashes_.clear();
  other.slots_.clear();
}

NameValueList& NameValueList::operator=(NameValueList&& other) noexcept {
  if (this == &other) return *this;
  items_ = std::move(other.items_);
  count_ = std::exchange(other.count_, 0);
  hashes_ = std::move(other.hashes_);
  slots_ = std::move(other.slots_);
  other.items_.clear();
  other.hashes_.clear();
  other.slots_.clear();
  return *this;
}

std::size_t NameValueList::Find(std::string_view name) const noexcept {
  if (count_ == 0) return npos;
  const std::uint32_t entry = slots_[FindSlot(name, detail::FoldedHash{}(name))];
  return entry == 0 ? npos : entry - 1;
}

void NameValueList::RebuildIndex(std::size_t slotCount) {
  slots_.assign(slotCount, 0);
  const std::size_t mask = slotCount - 1;
  for (std::size_t position = 0; position < hashes_.size(); ++position) {
    std::size_t slot = hashes_[position] & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(position + 1);
  }
}

void NameValueList::GrowIndexFor(std::size_t count) {
  // At most half full, so that probes stay short.
  if (count * 2 <= slots_.size()) return;
  std::size_t slotCount = slots_.empty() ? 16 : slots_.size();
  while (count * 2 > slotCount) slotCount *= 2;
  RebuildIndex(slotCount);
}

NameValue& NameValueList::Append(std::string_view name, std::string_view value) {
  if (count_ < items_.size()) {
    NameValue& item = items_[count_];
    // A list filled again with the same names often has the name there.
    if (item.name_ != name) item.name_.assign(name);
    item.value_.assign(value);
  } else {
    items_.emplace_back(std::string(name), std::string(value));
  }
  return items_[count_++];
}

void NameValueList::Reserve(std::size_t count) {
  items_.reserve(count);
  hashes_.reserve(count);
  GrowIndexFor(count);
}

const NameValue& NameValueList::Add(std::string_view name, std::string_view value) {
  return Add(name, detail::FoldedHash{}(name), value);
}

const NameValue& NameValueList::Add(std::string_view name, std::size_t hash,
                                    std::string_view value) {
  GrowIndexFor(count_ + 1);
  const std::size_t slot = FindSlot(name, hash);
  if (slots_[slot] != 0) {
    NameValue& item = items_[slots_[slot] - 1];
    item.value_.assign(value);
    return item;
  }
  NameValue& item = Append(name, value);
  hashes_.push_back(hash);
  slots_[slot] = static_cast<std::uint32_t>(count_);
  return item;
}

std::pair<const NameValue*, bool> NameValueList::Insert(std::string_view name,
                                                        std::string_view value) {
  GrowIndexFor(count_ + 1);
  const std::size_t hash = detail::FoldedHash{}(name);
  const std::size_t slot = FindSlot(name, hash);
  if (slots_[slot] != 0) return {&items_[slots_[slot] - 1], false};
  NameValue& item = Append(name, value);
  hashes_.push_back(hash);
  slots_[slot] = static_cast<std::uint32_t>(count_);
  return {&item, true};
}

const NameValue& NameValueList::AddByExchange(std::string_view name, std::string& value) {
  return AddByExchange(name, detail::FoldedHash{}(name), value);
}

const NameValue& NameValueList::AddByExchange(std::string_view name, std::size_t hash,
                                              std::string& value) {
  GrowIndexFor(count_ + 1);
  const std::size_t slot = FindSlot(name, hash);
  if (slots_[slot] != 0) {
    NameValue& item = items_[slots_[slot] - 1];
    item.value_.swap(value);
    return item;
  }
  NameValue& item = Append(name, {});
  item.value_.swap(value);  // `value` gets the kept entry's memory, empty
  hashes_.push_back(hash);
  slots_[slot] = static_cast<std::uint32_t>(count_);
  return item;
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
  for (const auto& item : *this) size += item.name_.size() + item.value_.size() + 2;
  out.reserve(size);
  bool first = true;
  for (const auto& item : *this) {
    if (!first) out.append(pairDelimiter);
    first = false;
    out.append(item.name_);
    out.append(valueDelimiter);
    out.append(item.value_);
  }
  return out;
}

const NameValue* NameValueList::Item(std::string_view name) const {
  const std::size_t position = Find(name);
  return position == npos ? nullptr : &items_[position];
}

const NameValue* NameValueList::Item(std::string_view name, std::size_t hash) const {
  if (count_ == 0) return nullptr;
  const std::uint32_t entry = slots_[FindSlot(name, hash)];
  return entry == 0 ? nullptr : &items_[entry - 1];
}

const NameValue* NameValueList::Item(std::int64_t position) const {
  if (position < 1 || position > static_cast<std::int64_t>(count_)) return nullptr;
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
  return Find(name) != npos;
}

void NameValueList::Remove(std::string_view name) {
  const std::size_t at = Find(name);
  if (at == npos) return;
  // The removed entry is kept behind the list.
  std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(at),
              items_.begin() + static_cast<std::ptrdiff_t>(at) + 1,
              items_.begin() + static_cast<std::ptrdiff_t>(count_));
  --count_;
  hashes_.erase(hashes_.begin() + static_cast<std::ptrdiff_t>(at));
  // Entries behind the removed one move up by one; the index is rebuilt from
  // the kept hash codes (no name is folded again).
  RebuildIndex(slots_.size());
}

void NameValueList::Permute(const std::vector<std::size_t>& order) {
  // In place, one cycle of the permutation after the other (no second array
  // of entries to allocate): entry j takes the one at order[j].
  std::vector<unsigned char> placed(count_, 0);
  for (std::size_t start = 0; start < count_; ++start) {
    if (placed[start] != 0) continue;
    NameValue first = std::move(items_[start]);
    const std::size_t firstHash = hashes_[start];
    std::size_t at = start;
    for (;;) {
      placed[at] = 1;
      const std::size_t from = order[at];
      if (from == start) {
        items_[at] = std::move(first);
        hashes_[at] = firstHash;
        break;
      }
      items_[at] = std::move(items_[from]);
      hashes_[at] = hashes_[from];
      at = from;
    }
  }
  RebuildIndex(slots_.size());
}

bool NameValueList::Respell(std::size_t position, std::string_view name) {
  if (position >= count_ || !detail::FoldedEqual{}(items_[position].name_, name)) {
    return false;
  }
  items_[position].name_.assign(name);
  return true;
}

void NameValueList::Clear() {
  count_ = 0;
  hashes_.clear();
  std::fill(slots_.begin(), slots_.end(), 0u);
}

}  // namespace tessel
