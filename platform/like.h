// The Like operator of binary comparison: '?' any one character, '*' any run,
// '#' one digit, '[list]' / '[!list]' with ranges a-z; everything else matches
// itself, case-sensitively, and the whole text must match.
#pragma once

#include <string_view>

#include "platform_export.h"

namespace platform {

// An invalid pattern (a descending range, an unterminated '[') raises error 93
// ("Invalid pattern string").
PLATFORM_API bool Like(std::string_view text, std::string_view pattern);

// The same with a choice of comparison: text comparison ignores the case of
// ASCII and Latin-1 letters, in ranges too ("a3" matches "[A-Z]#").
PLATFORM_API bool Like(std::string_view text, std::string_view pattern, bool textCompare);

}  // namespace platform
