// Text helpers. All text is UTF-8 in std::string; wherever the system counts
// characters it counts Unicode code points, and it does so only through this
// module. A byte that is not part of a valid UTF-8 sequence counts as one
// character and is kept as it is.
//
// Case-insensitive operations fold ASCII and Latin-1 letters (U+00C0..U+00DE
// <-> U+00E0..U+00FE, except U+00D7 and U+00F7); other letters compare exactly.
//
// Positions given to and returned by the Mid/InStr family are 1-based
// character positions, as in the classic runtime.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform_export.h"

namespace platform::text {

// Number of characters (code points).
PLATFORM_API std::size_t Len(std::string_view s);

// Characters [start, start + length) with a 1-based start; a start past the
// end gives "", a length running past the end is cut. length < 0 means "to the
// end". start < 1 is treated as 1 (callers check arguments themselves).
PLATFORM_API std::string Mid(std::string_view s, std::ptrdiff_t start, std::ptrdiff_t length = -1);
PLATFORM_API std::string Left(std::string_view s, std::size_t count);
PLATFORM_API std::string Right(std::string_view s, std::size_t count);

// Byte offset of the character at 0-based character index `index` (or
// s.size() when the index is at or past the end).
PLATFORM_API std::size_t ByteOffset(std::string_view s, std::size_t index);

// Decoding and encoding of code points. Invalid bytes decode to U+FFFD in
// Decode; DecodeKeepBytes maps an invalid byte b to the code point 0xDC00+b so
// that Encode restores the original byte.
PLATFORM_API std::u32string Decode(std::string_view s);
PLATFORM_API std::u32string DecodeKeepBytes(std::string_view s);
PLATFORM_API std::string Encode(std::u32string_view cps);
PLATFORM_API void AppendCodePoint(std::string& out, char32_t cp);

// Case mapping of ASCII and Latin-1 letters.
PLATFORM_API char32_t FoldLower(char32_t c);
PLATFORM_API char32_t FoldUpper(char32_t c);
PLATFORM_API std::string LCase(std::string_view s);
PLATFORM_API std::string UCase(std::string_view s);
PLATFORM_API bool EqualsCaseless(std::string_view a, std::string_view b);
// Byte position (std::string::npos when absent) of the first case-insensitive
// occurrence of `needle` in `hay` at or after byte `from`.
PLATFORM_API std::size_t FindCaseless(std::string_view hay, std::string_view needle,
                                      std::size_t from = 0);

// Blank (U+0020 only) trimming, as the runtime's Trim/LTrim/RTrim.
PLATFORM_API std::string_view Trim(std::string_view s);
PLATFORM_API std::string_view LTrim(std::string_view s);
PLATFORM_API std::string_view RTrim(std::string_view s);

// Every occurrence of `find`, left to right, non-overlapping; an empty `find`
// returns `s` unchanged.
PLATFORM_API std::string Replace(std::string_view s, std::string_view find, std::string_view with);

// The runtime's Split: "" gives no pieces at all; an empty delimiter gives the
// whole text as one piece; otherwise pieces between every occurrence
// (adjacent delimiters give empty pieces).
PLATFORM_API std::vector<std::string> Split(std::string_view s, std::string_view delimiter);

// Windows-1252 for the output file: each code point that the code page can
// hold becomes its byte, every other one becomes '?'.
PLATFORM_API std::string ToWindows1252(std::string_view utf8);
// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to U+FFFD).
PLATFORM_API std::string FromWindows1252(std::string_view bytes);

// True when `s` is valid UTF-8.
PLATFORM_API bool IsValidUtf8(std::string_view s);

}  // namespace platform::text
