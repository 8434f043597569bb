#include "release/batch_text.h"

#include <algorithm>
#include <ostream>

#include "platform/os_services.h"

namespace quillon {

namespace {
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
}  // namespace

BatchText& BatchText::operator=(std::string_view text) {
  Clear();
  Append(text);
  return *this;
}

void BatchText::Append(std::string_view text) {
  if (text.empty()) return;
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
    std::string block;
    if (spare_.capacity() >= std::max(kBlockBytes, text.size())) {
      // The first block of the text before, its pages in place already.
      block.swap(spare_);
    } else {
      block.reserve(std::max(kBlockBytes, text.size()));
      // Every page of the block is going to be written.
      platform::PrefaultForWriting(block.data(), block.capacity());
    }
    blocks_.push_back(std::move(block));
  }
  blocks_.back().append(text);
  size_ += text.size();
}

void BatchText::Truncate(std::size_t size) {
  while (size_ > size) {
    std::string& last = blocks_.back();
    const std::size_t before = size_ - last.size();
    if (before >= size) {
      size_ = before;
      blocks_.pop_back();
    } else {
      last.resize(size - before);
      size_ = size;
    }
  }
}

void BatchText::Clear() noexcept {
  if (!blocks_.empty() && blocks_.front().capacity() >= kBlockBytes &&
      blocks_.front().capacity() > spare_.capacity()) {
    blocks_.front().clear();
    spare_.swap(blocks_.front());
  }
  std::vector<std::string>().swap(blocks_);
  size_ = 0;
}

std::string BatchText::Substring(std::size_t from) const {
  std::string out;
  if (from >= size_) return out;
  out.reserve(size_ - from);
  std::size_t at = 0;
  for (const std::string& block : blocks_) {
    if (at + block.size() > from) {
      const std::size_t skip = from > at ? from - at : 0;
      out.append(block, skip, std::string::npos);
    }
    at += block.size();
  }
  return out;
}

bool operator==(const BatchText& text, std::string_view other) noexcept {
  if (text.size_ != other.size()) return false;
  std::size_t at = 0;
  for (const std::string& block : text.blocks_) {
    if (other.compare(at, block.size(), block) != 0) return false;
    at += block.size();
  }
  return true;
}

void PrintTo(const BatchText& text, std::ostream* out) {
  *out << '"' << text.ToString() << '"';
}

}  // namespace quillon
