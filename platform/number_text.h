// Reading numbers from text as the classic runtime does.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/variant.h"
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

// CByte: the same rules into 0..255.
PLATFORM_API std::uint8_t CByte(std::string_view text);
PLATFORM_API std::uint8_t CByteFromDouble(double v);

// Round(v, digits): half to even at the given number of decimals; a negative
// digit count raises error 5.
PLATFORM_API double Round(double v, int digits = 0);

// The conversions of a typed value: Empty is 0, Booleans are -1 and 0, dates
// are their serial numbers, texts follow the text rules above and Null raises
// error 94 ("Invalid use of Null").
PLATFORM_API std::int16_t CInt(const Variant& v);
PLATFORM_API std::int32_t CLng(const Variant& v);
PLATFORM_API std::uint8_t CByte(const Variant& v);

// IsNumeric of a typed value: numbers, Booleans and Empty are numeric, dates
// and Null are not, texts are numeric when they read as a number.
PLATFORM_API bool IsNumeric(const Variant& v);

}  // namespace platform
