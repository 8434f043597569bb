// NameValueList: the ordered list of name/value texts in which field values
// travel between the host adapter, the document pipeline and the mapping
// engine.
//
//  - Order is the order of addition; positions are 1-based.
//  - Names are compared WITHOUT regard to letter case (ASCII and Latin-1
//    folding): "Total" and "TOTAL" are the same entry. An entry keeps the
//    letter case of the name it was first added with.
//  - Add of a name already in the list gives that entry the new value in place
//    (same position, same name spelling).
//  - Lookups by name (Exists, Item, Value, Remove) cost O(1) on average,
//    whatever the size of the list, and never allocate. Adding allocates only
//    for the texts themselves (and when the list grows): the name index is an
//    open-addressing table of positions, not a map of copied names.
//  - Clear keeps the texts' memory: the entries of a cleared list are
//    filled again in place, so a list used for one document after another
//    stops asking for memory once it has seen the longest names and values.
//  - Text form: "name=value" pairs joined by ";" (or other delimiters).
//    AddFromString skips a piece without the value delimiter; nothing is
//    escaped, so a value holding a delimiter does not survive the round trip.
//
// Example:
//   NameValueList list;
//   list.AddFromString("A=1;B=2", ";", "=");
//   list.Add("a", "3");          // A=3;B=2
//   list.Item("B")->Value();     // "2"
//   list.ToString(";", "=");     // "A=3;B=2"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tessel_export.h"

namespace tessel {

namespace detail {
// Hash and equality that fold letter case on the fly, so that lookups with a
// string_view neither allocate nor copy the name.
struct TESSEL_API FoldedHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept;
};
struct TESSEL_API FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};
}  // namespace detail

}  // namespace tessel

namespace tessel {

class TESSEL_API NameValue {
 public:
  NameValue() = default;
  NameValue(std::string name, std::string value)
      : name_(std::move(name)), value_(std::move(value)) {}
  const std::string& Name() const noexcept { return name_; }
  const std::string& Value() const noexcept { return value_; }

 private:
  friend class NameValueList;
  std::string name_;
  std::string value_;
};

class TESSEL_API NameValueList {
 public:
  using const_iterator = std::vector<NameValue>::const_iterator;

  NameValueList() = default;
  // Copies hold the entries only; assigning to a list fills its kept
  // entries in place.
  NameValueList(const NameValueList& other);
  NameValueList& operator=(const NameValueList& other);
  NameValueList(NameValueList&& other) noexcept;
  NameValueList& operator=(NameValueList&& other) noexcept;
  ~NameValueList() = default;

  // Appends (name, value), or gives an existing entry of that name the new
  // value in place. Returns the entry.
  const NameValue& Add(std::string_view name, std::string_view value);
  // Appends (name, value) when the list has no entry of that name; returns
  // the entry of that name and whether it was added (an entry already there
  // keeps its value).
  std::pair<const NameValue*, bool> Insert(std::string_view name, std::string_view value);
  // As Add, but the value's text is exchanged rather than copied: afterwards
  // `value` holds the entry's previous value (empty for a new entry), so a
  // caller that fills the same strings again and again reuses their memory.
  const NameValue& AddByExchange(std::string_view name, std::string& value);

  // The hash code under which a name is kept (the same for a name in any
  // letter case). A caller that looks up or adds the same name again and
  // again may keep it and use the overloads below.
  static std::size_t HashOf(std::string_view name) noexcept { return detail::FoldedHash{}(name); }
  // As Item(name), Add(name, value) and AddByExchange(name, value); `hash`
  // must be HashOf(name).
  const NameValue* Item(std::string_view name, std::size_t hash) const;
  const NameValue& Add(std::string_view name, std::size_t hash, std::string_view value);
  const NameValue& AddByExchange(std::string_view name, std::size_t hash, std::string& value);

  // Makes room for `count` entries in all, so that adding up to that many
  // does not grow the list again.
  void Reserve(std::size_t count);

  // Adds the pairs of a text in the form of ToString. `flag` is accepted for
  // compatibility with callers and has no effect.
  void AddFromString(std::string_view text, std::string_view pairDelimiter = ";",
                     std::string_view valueDelimiter = "=", bool flag = true);

  std::string ToString(std::string_view pairDelimiter = ";",
                       std::string_view valueDelimiter = "=") const;

  // The entry of that name, or nullptr.
  const NameValue* Item(std::string_view name) const;
  // The entry at a 1-based position, or nullptr when there is none.
  const NameValue* Item(std::int64_t position) const;
  const NameValue* Item(int position) const { return Item(static_cast<std::int64_t>(position)); }
  // The value of the entry of that name; raises error 5 (invalid procedure
  // call or argument) when there is none, like a collection lookup.
  const std::string& Value(std::string_view name) const;
  // The value of that name, or `fallback` when there is none.
  std::string ValueOr(std::string_view name, std::string_view fallback = {}) const;

  bool Exists(std::string_view name) const;
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(count_); }
  bool empty() const noexcept { return count_ == 0; }

  // Removes the entry of that name (nothing happens when there is none).
  void Remove(std::string_view name);

  // Puts the entries in the order `order` gives: order[i] is the 0-based
  // position of the entry that becomes the i-th; every position must appear
  // exactly once. No name is folded again.
  void Permute(const std::vector<std::size_t>& order);
  // Gives the entry at the 0-based `position` the spelling `name`, which must
  // be its name in another letter case (as Add would find it); anything else
  // leaves the entry as it is and returns false.
  bool Respell(std::size_t position, std::string_view name);
  // Empties the list; the memory of its texts is kept for the entries added
  // next.
  void Clear();

  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept {
    return items_.begin() + static_cast<std::ptrdiff_t>(count_);
  }

 private:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // The slot of `name` (whose hash is `hash`) in slots_: its entry's slot,
  // or the empty slot where it would go. slots_ must not be empty.
  std::size_t FindSlot(std::string_view name, std::size_t hash) const noexcept;
  // Position (0-based) of the entry of that name, or npos.
  std::size_t Find(std::string_view name) const noexcept;
  // Grows slots_ (rebuilding it from hashes_) when one more entry would fill
  // it beyond half.
  void GrowIndexFor(std::size_t count);
  void RebuildIndex(std::size_t slotCount);
  // A new last entry, filled into a kept entry when there is one.
  NameValue& Append(std::string_view name, std::string_view value);

  // The entries: the first count_ are the list, the rest are kept for reuse
  // (their texts cleared only when reused).
  std::vector<NameValue> items_;
  std::size_t count_ = 0;
  // Folded hash of each entry's name, parallel to items_.
  std::vector<std::size_t> hashes_;
  // Open addressing with linear probing, a power of two in size (or empty):
  // 0 is a free slot, otherwise the entry's position + 1.
  std::vector<std::uint32_t> slots_;
};

}  // namespace tessel
