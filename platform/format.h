// Format(value, mask): the classic runtime's mask formatting under US English
// regional settings. See docs/format-masks.md for the grammar of masks.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"
#include "platform_export.h"

namespace platform {

// firstDayOfWeek: 1 = Sunday ... 7 = Saturday; firstWeekOfYear: 1 = the week
// of 1 January, 2 = the first week with four days, 3 = the first full week.
PLATFORM_API std::string Format(const Variant& value, std::string_view mask = {},
                                int firstDayOfWeek = 1, int firstWeekOfYear = 1);

// Format of a text value, as the runtime does when it is handed a String: a
// text that reads as a number is formatted as that number by a number mask, a
// text that is a valid date is formatted as a date by a date mask, and text
// masks work on the text itself.
PLATFORM_API std::string Format(std::string_view text, std::string_view mask);

// The general date-and-time form ("3/28/2014 2:05:09 PM"; the date alone at
// midnight, the time alone for a zero date part).
PLATFORM_API std::string FormatGeneralDate(OleDate date);

}  // namespace platform
