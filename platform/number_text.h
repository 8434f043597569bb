// Reading numbers from text as the classic runtime does.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform_export.h"

namespace platform {

// Val: the leading numeric part of a text (blanks anywhere are skipped,
// reading stops at the first character that cannot continue a number); a text
// without a leading number gives 0. Accepts &H/&O prefixes.
PLATFORM_API double Val(std::string_view text);

// "Number of" a text: Val rounded half to even into 32 bits. A value outside
// the 32-bit range raises the overflow error (6).
PLATFORM_API std::int32_t NumberOf(std::string_view text);

// "Reads as a number": the whole text, blanks around it allowed, is a number
// (sign, digits with optional thousands separators, fraction, exponent).
PLATFORM_API bool IsNumeric(std::string_view text);
// The number such a text stands for, or nothing.
PLATFORM_API std::optional<double> ReadNumber(std::string_view text);

// Strict conversions (CInt/CLng of a text): the whole text must read as a
// number (else error 13, type mismatch), rounded half to even; a result out
// of range raises error 6 (overflow).
PLATFORM_API std::int16_t CInt(std::string_view text);
PLATFORM_API std::int32_t CLng(std::string_view text);

// Half-to-even rounding of a double into 16/32 bits with the same overflow rule.
PLATFORM_API std::int16_t CIntFromDouble(double v);
PLATFORM_API std::int32_t CLngFromDouble(double v);

}  // namespace platform
