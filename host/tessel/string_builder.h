// StringBuilder: a growing text; Append is amortised O(1) and Length (in
// characters) is kept as the text grows, so it costs O(1) as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tessel_export.h"

namespace tessel {

class TESSEL_API StringBuilder {
 public:
  StringBuilder& Append(std::string_view text);
  // Current length in characters (code points).
  std::int32_t Length() const noexcept { return static_cast<std::int32_t>(length_); }
  const std::string& Text() const noexcept { return text_; }
  void Clear() noexcept {
    text_.clear();
    length_ = 0;
  }
  void Reserve(std::size_t bytes) { text_.reserve(bytes); }

 private:
  std::string text_;
  std::size_t length_ = 0;
};

}  // namespace tessel
