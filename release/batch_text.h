// BatchText: the records of a batch, gathered in memory until the batch's
// file is written. The text is kept in blocks of 2 MiB (or one piece's size)
// of memory of their own, in huge pages where the system offers them:
// appending never moves what is already there, so a batch of any size costs
// its own length in memory plus at most one block, where one growing string
// would briefly need twice its length at every reallocation and copy it each
// time; and a batch of a million documents fills 800 MB of fresh memory at
// one page fault per 2 MiB.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_services.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API BatchText {
 public:
  static constexpr std::size_t kBlockBytes = platform::LargeBuffer::kGranule;

  BatchText() = default;
  BatchText& operator=(std::string_view text);

  void Append(std::string_view text);
  std::size_t Size() const noexcept { return size_; }
  bool Empty() const noexcept { return size_ == 0; }
  // Drops everything after the first `size` bytes (nothing when shorter).
  void Truncate(std::size_t size);
  // Empties the text and gives its memory back, all but one block, which
  // the next text fills first: one record per file (a document's text)
  // does not pay for a fresh block each time.
  void Clear() noexcept;

  // The text from byte `from` to the end, as one string.
  std::string Substring(std::size_t from) const;
  std::string ToString() const { return Substring(0); }

  // The blocks in order; their concatenation is the text.
  std::vector<std::string_view> Blocks() const;

  friend QUILLON_API bool operator==(const BatchText& text, std::string_view other) noexcept;
  friend QUILLON_API void PrintTo(const BatchText& text, std::ostream* out);

 private:
  struct Block {
    platform::LargeBuffer memory;
    std::size_t size = 0;  // bytes of the text in it

    std::string_view Text() const noexcept { return {memory.Data(), size}; }
  };

  std::vector<Block> blocks_;
  platform::LargeBuffer spare_;  // kept by Clear() for the next text
  std::size_t size_ = 0;
};

}  // namespace quillon
