// Fuzz target: arbitrary masks and values through Format, the date reader,
// the number readers and Like. Runtime errors (platform::Error: an invalid
// pattern, an overflow, five mask sections) are expected; crashes, hangs,
// sanitizer reports and broken invariants are not.
//
// Input layout:
//   byte 0   what to run: 0 Format of a text, 1 Format of a number, 2 Format
//            of a date, 3 the date reader, 4 Like, 5 the number readers
//   rest     the mask (or pattern), a NUL byte, then the value; without a NUL
//            the whole rest is both
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/date_text.h"
#include "platform/error.h"
#include "platform/format.h"
#include "platform/like.h"
#include "platform/number_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void FormatAll(const platform::Variant& value, std::string_view mask) {
  for (int firstDay = 0; firstDay <= 7; firstDay += 3) {
    const std::string out = platform::Format(value, mask, firstDay, 1 + firstDay % 3);
    // The output stays proportional to mask and value: a token prints at most
    // a general date, a text character at most a few bytes, and a number's
    // digits fit in the constant.
    Check(out.size() <= 32 * mask.size() + 4 * value.text.size() + 1024);
  }
}

void Run(unsigned mode, std::string_view mask, std::string_view value) {
  using platform::Variant;
  switch (mode % 6) {
    case 0:
      FormatAll(Variant::FromText(std::string(value)), mask);
      Check(platform::Format(value, mask) ==
            platform::Format(Variant::FromText(std::string(value)), mask));
      break;
    case 1: {
      const double number = platform::Val(value);
      FormatAll(Variant::FromDouble(number), mask);
      FormatAll(Variant::FromSingle(static_cast<float>(number)), mask);
      FormatAll(Variant::FromCurrency(number), mask);
      FormatAll(Variant::FromLong(static_cast<std::int32_t>(std::fmod(number, 2147483648.0))),
                mask);
      break;
    }
    case 2: {
      const auto date = platform::ReadDate(value);
      const double serial = date ? date->serial : platform::Val(value);
      FormatAll(Variant::FromDate({serial}), mask);
      platform::FormatGeneralDate({serial});
      break;
    }
    case 3: {
      const auto date = platform::ReadDate(value);
      Check(date.has_value() == platform::IsDate(value));
      if (date) {
        // What the reader returns lies in the calendar and survives a round
        // trip through its parts.
        const platform::DateParts parts = platform::SplitDate(*date);
        Check(parts.year >= 100 && parts.year <= 9999);
        Check(std::fabs(platform::MakeDate(parts).serial - date->serial) < 1e-6);
        // The general form of a date reads back as the same date.
        const auto again = platform::ReadDate(platform::FormatGeneralDate(*date));
        Check(again.has_value() && std::fabs(again->serial - date->serial) < 1e-6);
      }
      break;
    }
    case 4:
      platform::Like(value, mask);
      platform::Like(value, mask, true);
      break;
    default: {
      const bool numeric = platform::IsNumeric(value);
      Check(numeric == platform::ReadNumber(value).has_value());
      try {
        platform::NumberOf(value);
      } catch (const platform::Error&) {
      }
      try {
        platform::CInt(value);
      } catch (const platform::Error&) {
      }
      try {
        platform::CLng(value);
      } catch (const platform::Error&) {
      }
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t nul = input.find('\0');
  const std::string_view mask = nul == std::string_view::npos ? input : input.substr(0, nul);
  const std::string_view value = nul == std::string_view::npos ? input : input.substr(nul + 1);
  try {
    Run(data[0], mask, value);
  } catch (const platform::Error&) {
  }
  return 0;
}
