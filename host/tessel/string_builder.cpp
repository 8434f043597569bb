#include "host/tessel/string_builder.h"

#include "platform/text.h"

namespace tessel {

StringBuilder& StringBuilder::Append(std::string_view text) {
  text_.append(text);
  length_ += platform::text::Len(text);
  return *this;
}

}  // namespace tessel
