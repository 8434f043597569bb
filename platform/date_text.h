// Date texts under US English regional settings (short date M/d/yyyy, long
// time h:mm:ss AM/PM), read as the classic runtime's IsDate/CDate read them.
#pragma once

#include <optional>
#include <string_view>

#include "platform/variant.h"
#include "platform_export.h"

namespace platform {

// The date (and time) a text stands for, or nothing when the text is not a
// valid date. Two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999.
PLATFORM_API std::optional<OleDate> ReadDate(std::string_view text);

PLATFORM_API bool IsDate(std::string_view text);

// Calendar helpers over OLE dates.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
PLATFORM_API DateParts SplitDate(OleDate date);
PLATFORM_API OleDate MakeDate(const DateParts& parts);

}  // namespace platform
