// Number reading shared by the number conversions and Format. Internal to the
// platform library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::number {

// A decimal number as a digit string: value = digits x 10^exponent. The digits
// carry no leading zeros; zero has no digits at all.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  // An &H / &O number keeps its bits: the integer conversions wrap them at
  // their own width (CInt("&HFFFF") is -1, CLng("&HFFFF") is 65535).
  bool radix = false;
  unsigned long long radixBits = 0;

  bool IsZero() const { return digits.empty(); }
};

// Reads a whole text as a number the way the runtime's number parser does
// under US English settings: blanks around, a leading or trailing sign, a
// currency sign, parentheses for negative numbers, thousands separators after
// the first digit, a fraction, an exponent (E or D), or &H / &O integers.
// Nothing when the text is not a number or does not fit a Double.
std::optional<Decimal> ParseNumberText(std::string_view text);

// The decimal digits of a double with the given number of significant digits
// (15 for Double, 7 for Single), trailing zeros removed.
Decimal FromDouble(double value, int significantDigits);
// Exact digits of an integer.
Decimal FromInteger(long long value);

// The double nearest to a decimal.
double ToDouble(const Decimal& d);

// Strips leading and trailing zeros (adjusting the exponent) so that the
// digits are canonical.
void Normalize(Decimal& d);

}  // namespace platform::number
