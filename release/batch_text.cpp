#include "release/batch_text.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace quillon {

BatchText& BatchText::operator=(std::string_view text) {
  Clear();
  Append(text);
  return *this;
}

void BatchText::Append(std::string_view text) {
  if (text.empty()) return;
  if (blocks_.empty() || blocks_.back().memory.Capacity() - blocks_.back().size < text.size()) {
    Block block;
    if (spare_.Capacity() >= text.size()) {
      // The first block of the text before, its pages in place already.
      block.memory = std::move(spare_);
    } else {
      block.memory = platform::LargeBuffer(std::max(kBlockBytes, text.size()));
      // Every page of the block is going to be written (where there are no
      // huge pages, one call instead of a fault per page).
      platform::PrefaultForWriting(block.memory.Data(), block.memory.Capacity());
    }
    blocks_.push_back(std::move(block));
  }
  Block& last = blocks_.back();
  std::memcpy(last.memory.Data() + last.size, text.data(), text.size());
  last.size += text.size();
  size_ += text.size();
}

void BatchText::Truncate(std::size_t size) {
  while (size_ > size) {
    Block& last = blocks_.back();
    const std::size_t before = size_ - last.size;
    if (before >= size) {
      size_ = before;
      blocks_.pop_back();
    } else {
      last.size = size - before;
      size_ = size;
    }
  }
}

void BatchText::Clear() noexcept {
  // A block of the usual size, not one made for a single large piece.
  if (!blocks_.empty() && spare_.Capacity() == 0 &&
      blocks_.front().memory.Capacity() == kBlockBytes) {
    spare_ = std::move(blocks_.front().memory);
  }
  std::vector<Block>().swap(blocks_);
  size_ = 0;
}

std::vector<std::string_view> BatchText::Blocks() const {
  std::vector<std::string_view> views;
  views.reserve(blocks_.size());
  for (const Block& block : blocks_) views.push_back(block.Text());
  return views;
}

std::string BatchText::Substring(std::size_t from) const {
  std::string out;
  if (from >= size_) return out;
  out.reserve(size_ - from);
  std::size_t at = 0;
  for (const Block& block : blocks_) {
    if (at + block.size > from) {
      const std::size_t skip = from > at ? from - at : 0;
      out.append(block.Text().substr(skip));
    }
    at += block.size;
  }
  return out;
}

bool operator==(const BatchText& text, std::string_view other) noexcept {
  if (text.size_ != other.size()) return false;
  std::size_t at = 0;
  for (const BatchText::Block& block : text.blocks_) {
    if (other.compare(at, block.size, block.Text()) != 0) return false;
    at += block.size;
  }
  return true;
}

void PrintTo(const BatchText& text, std::ostream* out) {
  *out << '"' << text.ToString() << '"';
}

}  // namespace quillon
