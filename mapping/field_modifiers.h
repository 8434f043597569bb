// The value part operations of a field reference (internal to the mapping
// library): the modifier chain that a field's input value passes through,
// word wrapping, and date formatting with the "cc" century token.
//
// Positions and lengths count characters (Unicode code points); "blank" is
// the space character only; comparisons are exact.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mapping/field_part.h"

namespace marrow {

// The longest value that the fixed modifier pads to. A longer FixedLength
// would let a few characters of expression ask for gigabytes of blanks
// ('fixed{2000000000}'); it is refused like a negative length, with error 5.
inline constexpr std::int32_t kMaxFixedLength = 65536;

// The longest value (in characters) that reaches the left-trim step; a
// longer one fails with the overflow error (6), as the 16-bit count of
// characters that step works with would overflow.
inline constexpr std::int64_t kMaxLeftTrimValueLength = 32767;

// Passes `value` through the modifiers that `part` switched on, in this fixed
// order whatever the order of the keywords:
//   1 index  2 trim  3 strip  4 substring  5 truncate{n}  6 truncate{chars}
//   7 lefttrim  8 replace  9 format  10 separate  11 alpha2numeric  12 fixed
//   13 at most one of date, numeric, lookup, wrap (the first switched on)
// Failures (platform::Error):
//   9  IndexValue < 0 and the value is not empty
//   5  SubstringLength < 0 (when the substring is taken), TrimCharNumber < 0
//      (when the left trim drops characters), NumberOfCharPerPart <= 0 (when
//      the value is not empty; a group size of 0 would never finish),
//      FixedLength < 0 or > kMaxFixedLength
//   6  a value longer than 32767 characters reaching the left trim
std::string ApplyFieldModifiers(std::string_view value, const FieldPart& part);

// Appends ApplyFieldModifiers(value, part) to `out`; a reference without
// modifiers, or with trim alone, costs no copy of its own.
void AppendFieldModifiers(std::string& out, std::string_view value, const FieldPart& part);
// The same, with the value worked on in `work`, a buffer the caller keeps
// (its content is of no meaning), so that its memory is not asked for again.
void AppendFieldModifiers(std::string& out, std::string_view value, const FieldPart& part,
                          std::string& work);

// Word wrapping: trims the text, turns CR LF / CR / LF into line breaks,
// fills each line word by word up to `width` characters (a longer word stands
// alone, never split) and joins the lines with CR LF. Backticks come out as
// apostrophes; blanks at the start of a line are dropped. Never fails.
//   WrapText("aaa bbb ccc ddd", 10) == "aaa bbb\r\nccc ddd"
std::string WrapText(std::string_view text, std::int32_t width);

// Formats a date text. A text without "/" is first regrouped as MM/DD/YY
// from the right ('032814' -> '03/28/14'). A text that is then no valid date
// comes back unchanged. "cc" in the format stands for the century digits
// (the year divided by 100: 19 for 1975). Never fails.
//   FormatDateValue("03/28/1975", "ccyymmdd") == "19750328"
//   FormatDateValue("032814", "ccyymmdd")     == "20140328"
//   FormatDateValue("n/a", "ccyymmdd")        == "n/a"
std::string FormatDateValue(std::string_view text, std::string_view format);

}  // namespace marrow
