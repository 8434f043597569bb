// A small stand-in for the classic runtime's Variant: the typed values that
// Format and the conversions accept. Field values of the system are always
// text; the typed kinds exist for dates read from text and for tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform_export.h"

namespace platform {

// An OLE Automation date: days since 1899-12-30, the fraction being the time
// of day (negative values count days before, with the time still added).
struct OleDate {
  double serial = 0.0;
};

struct PLATFORM_API Variant {
  enum class Kind { Empty, Null, Boolean, Integer, Long, Single, Double, Currency, Date, String };

  Kind kind = Kind::Empty;
  bool boolean = false;
  std::int64_t integer = 0;  // Integer (16-bit) and Long (32-bit)
  double number = 0.0;       // Single, Double, Currency (already scaled), Date serial
  std::string text;          // String

  static Variant FromText(std::string s);
  static Variant FromLong(std::int32_t v);
  static Variant FromInteger(std::int16_t v);
  static Variant FromDouble(double v);
  static Variant FromSingle(float v);
  static Variant FromCurrency(double v);
  static Variant FromBoolean(bool v);
  static Variant FromDate(OleDate d);
  static Variant MakeEmpty();
  static Variant MakeNull();
};

}  // namespace platform
