// SHA-256 of a text as 64 lower-case hex digits, the form sha256sum prints.
// Golden-output tests keep the hash of a large expected output instead of
// the output itself.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

std::string Sha256Hex(std::string_view data);

}  // namespace testing_support
