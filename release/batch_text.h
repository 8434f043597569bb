// BatchText: the records of a batch, gathered in memory until the batch's
// file is written. The text is kept in blocks of about a megabyte: appending
// never moves what is already there, so a batch of any size costs its own
// length in memory plus at most one block, where one growing string would
// briefly need twice its length at every reallocation and copy it each time.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "quillon_export.h"

namespace quillon {

class QUILLON_API BatchText {
 public:
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
  const std::vector<std::string>& Blocks() const noexcept { return blocks_; }

  friend QUILLON_API bool operator==(const BatchText& text, std::string_view other) noexcept;
  friend QUILLON_API void PrintTo(const BatchText& text, std::ostream* out);

 private:
  std::vector<std::string> blocks_;
  std::string spare_;  // empty; kept by Clear() for the next text
  std::size_t size_ = 0;
};

}  // namespace quillon
