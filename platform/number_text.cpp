#include "platform/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/number_internal.h"
#include "platform/text.h"

namespace platform {
namespace number {
namespace {

bool IsDigit(char32_t c) {
  return c >= '0' && c <= '9';
}

// White space that the number parser skips around a number.
bool IsParseSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 ||
         c == 0x3000;
}

int HexDigitValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Adds a decimal exponent without overflowing; exponents this large make
// the number unrepresentable anyway.
int AddExponent(int a, long long b) {
  const long long sum = static_cast<long long>(a) + b;
  if (sum > 1000000000) return 1000000000;
  if (sum < -1000000000) return -1000000000;
  return static_cast<int>(sum);
}

// The value of an &H / &O integer as the runtime keeps it: up to 16 bits it
// is an Integer, up to 32 bits a Long (both wrap to negative values).
std::optional<long long> WrapRadixValue(unsigned long long v) {
  if (v <= 0xFFFFu) return static_cast<long long>(static_cast<std::int16_t>(v));
  if (v <= 0xFFFFFFFFu) return static_cast<long long>(static_cast<std::int32_t>(v));
  return std::nullopt;
}

}  // namespace

void Normalize(Decimal& d) {
  std::size_t lead = 0;
  while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
  d.digits.erase(0, lead);
  std::size_t trail = 0;
  while (trail < d.digits.size() && d.digits[d.digits.size() - 1 - trail] == '0') ++trail;
  d.digits.resize(d.digits.size() - trail);
  d.exponent = AddExponent(d.exponent, static_cast<long long>(trail));
  if (d.digits.empty()) d.exponent = 0;
}

Decimal FromInteger(long long value) {
  Decimal d;
  d.negative = value < 0;
  unsigned long long magnitude = d.negative ? 0ULL - static_cast<unsigned long long>(value)
                                            : static_cast<unsigned long long>(value);
  d.digits = std::to_string(magnitude);
  Normalize(d);
  return d;
}

Decimal FromDouble(double value, int significantDigits) {
  Decimal d;
  if (!std::isfinite(value) || value == 0.0) return d;
  d.negative = value < 0;
  // Print more digits than needed and round the decimal form half away from
  // zero: the runtime shows a Single holding 654322.25 as 654322.3.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.24e", std::fabs(value));
  const std::string_view s(buffer);  // d.ddd...e[+-]xx
  const std::size_t e = s.find('e');
  std::string digits;
  for (std::size_t i = 0; i < e; ++i)
    if (s[i] != '.') digits.push_back(s[i]);
  int exp10 = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exp10);
  const auto keep = static_cast<std::size_t>(significantDigits);
  if (digits.size() > keep) {
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
      std::size_t k = keep;
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exp10;
      } else {
        ++digits[k - 1];
      }
    }
  }
  d.digits = digits;
  d.exponent = exp10 - static_cast<int>(d.digits.size()) + 1;
  Normalize(d);
  return d;
}

double ToDouble(const Decimal& d) {
  if (d.digits.empty()) return 0.0;
  // Up to 15 digits and a power of ten up to 1e22 are both exact doubles, so
  // one multiplication or division rounds once, as reading the text does.
  if (d.digits.size() <= 15 && d.exponent >= -22 && d.exponent <= 22) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::uint64_t mantissa = 0;
    for (const char c : d.digits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    double value = static_cast<double>(mantissa);
    value = d.exponent >= 0 ? value * kPowers[d.exponent] : value / kPowers[-d.exponent];
    return d.negative ? -value : value;
  }
  const std::string text = d.digits + "e" + std::to_string(d.exponent);
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    const long long magnitude = static_cast<long long>(d.digits.size()) + d.exponent;
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return d.negative ? -value : value;
}

namespace {

// The parse of ParseNumberText over the characters of `s` (a view of bytes
// for an ASCII text, of code points for any other).
template <typename Text>
std::optional<Decimal> ParseDecimal(Text s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  bool sign = false, negative = false, currency = false, paren = false;

  // Leading part: blanks, one sign, one currency sign, an opening parenthesis.
  for (;;) {
    if (i < n && IsParseSpace(s[i])) {
      ++i;
    } else if (i < n && (s[i] == '+' || s[i] == '-') && !sign && !paren) {
      sign = true;
      negative = s[i] == '-';
      ++i;
    } else if (i < n && s[i] == '$' && !currency) {
      currency = true;
      ++i;
    } else if (i < n && s[i] == '(' && !paren && !sign) {
      paren = true;
      ++i;
    } else {
      break;
    }
  }

  Decimal d;
  if (i + 1 < n && s[i] == '&' && !sign && !currency && !paren &&
      (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o')) {
    const int base = (s[i + 1] == 'H' || s[i + 1] == 'h') ? 16 : 8;
    i += 2;
    unsigned long long v = 0;
    int significant = 0;
    const std::size_t start = i;
    for (; i < n; ++i) {
      const int digit = HexDigitValue(s[i]);
      if (digit < 0 || digit >= base) break;
      if (v != 0 || digit != 0) ++significant;
      if (significant > 11) return std::nullopt;  // past 32 bits in any base
      v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (i == start) return std::nullopt;
    while (i < n && IsParseSpace(s[i])) ++i;
    if (i != n) return std::nullopt;
    const auto wrapped = WrapRadixValue(v);
    if (!wrapped) return std::nullopt;
    Decimal radix = FromInteger(*wrapped);
    radix.radix = true;
    radix.radixBits = v;
    return radix;
  }

  bool anyDigit = false;
  for (; i < n; ++i) {
    if (IsDigit(s[i])) {
      d.digits.push_back(static_cast<char>(s[i]));
      anyDigit = true;
    } else if (s[i] == ',' && anyDigit) {
      // thousands separator: accepted anywhere after the first digit
    } else {
      break;
    }
  }
  if (i < n && s[i] == '.') {
    ++i;
    for (; i < n && IsDigit(s[i]); ++i) {
      d.digits.push_back(static_cast<char>(s[i]));
      d.exponent = AddExponent(d.exponent, -1);
      anyDigit = true;
    }
  }
  if (!anyDigit) return std::nullopt;
  if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < n && (s[j] == '+' || s[j] == '-')) {
      expNegative = s[j] == '-';
      ++j;
    }
    if (j >= n || !IsDigit(s[j])) return std::nullopt;
    long long e = 0;
    for (; j < n && IsDigit(s[j]); ++j)
      if (e < 1000000) e = e * 10 + static_cast<long long>(s[j] - '0');
    d.exponent = AddExponent(d.exponent, expNegative ? -e : e);
    i = j;
  }

  // Trailing part: blanks, a sign if none led, a currency sign, the closing
  // parenthesis.
  bool closed = false;
  for (;;) {
    if (i < n && IsParseSpace(s[i])) {
      ++i;
    } else if (i < n && (s[i] == '+' || s[i] == '-') && !sign && !paren) {
      sign = true;
      negative = s[i] == '-';
      ++i;
    } else if (i < n && s[i] == '$' && !currency) {
      currency = true;
      ++i;
    } else if (i < n && s[i] == ')' && paren && !closed) {
      closed = true;
      ++i;
    } else {
      break;
    }
  }
  if (i != n || paren != closed) return std::nullopt;
  d.negative = negative || paren;
  Normalize(d);
  const double value = ToDouble(d);
  if (!std::isfinite(value)) return std::nullopt;
  if (value == 0.0) d = Decimal{};  // too small for a Double: zero
  return d;
}

}  // namespace

std::optional<Decimal> ParseNumberText(std::string_view text) {
  // Number texts are nearly always ASCII, and are then read as they are.
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return ParseDecimal(text);
  }
  const std::u32string decoded = text::DecodeKeepBytes(text);
  return ParseDecimal(std::u32string_view(decoded));
}

}  // namespace number

namespace {

bool IsValBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x3000;
}

[[noreturn]] void RaiseOverflow() {
  Raise(err::kOverflow);
}

double ValOfRadix(const std::u32string& s, std::size_t i, int base) {
  unsigned long long v = 0;
  int significant = 0;
  bool tooLong = false;
  for (; i < s.size(); ++i) {
    if (IsValBlank(s[i])) continue;
    int digit = -1;
    const char32_t c = s[i];
    if (c >= '0' && c <= '9') digit = static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') digit = static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') digit = static_cast<int>(c - 'A' + 10);
    if (digit < 0 || digit >= base) break;
    if (v != 0 || digit != 0) ++significant;
    if (significant > 11) tooLong = true;
    if (!tooLong) v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  if (tooLong || v > 0xFFFFFFFFu) RaiseOverflow();
  const char32_t suffix = i < s.size() ? s[i] : 0;
  if (suffix == '%') {
    if (v > 0xFFFFu) RaiseOverflow();
    return static_cast<std::int16_t>(v);
  }
  if (suffix == '&') return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  if (v <= 0xFFFFu) return static_cast<std::int16_t>(v);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

}  // namespace

double Val(std::string_view text) {
  const std::u32string s = text::DecodeKeepBytes(text);
  std::size_t i = 0;
  while (i < s.size() && IsValBlank(s[i])) ++i;
  if (i < s.size() && s[i] == '&') {
    if (i + 1 >= s.size()) return 0.0;
    const char32_t kind = s[i + 1];
    if (kind == 'H' || kind == 'h') return ValOfRadix(s, i + 2, 16);
    if (kind == 'O' || kind == 'o') return ValOfRadix(s, i + 2, 8);
    return 0.0;
  }

  number::Decimal d;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    d.negative = s[i] == '-';
    ++i;
  }
  bool seenPoint = false;
  bool anyDigit = false;
  for (; i < s.size(); ++i) {
    const char32_t c = s[i];
    if (IsValBlank(c)) continue;
    if (c >= '0' && c <= '9') {
      d.digits.push_back(static_cast<char>(c));
      if (seenPoint) d.exponent = std::max(d.exponent - 1, -1000000000);
      anyDigit = true;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  // An exponent letter counts only when digits follow it (after an optional
  // sign); otherwise the number ends before the letter.
  if (anyDigit && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    while (j < s.size() && IsValBlank(s[j])) ++j;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      expNegative = s[j] == '-';
      ++j;
    }
    while (j < s.size() && IsValBlank(s[j])) ++j;
    if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      long long e = 0;
      for (; j < s.size(); ++j) {
        if (IsValBlank(s[j])) continue;
        if (s[j] < '0' || s[j] > '9') break;
        if (e < 1000000) e = e * 10 + static_cast<long long>(s[j] - '0');
      }
      d.exponent = static_cast<int>(
          std::clamp(d.exponent + (expNegative ? -e : e), -1000000000LL, 1000000000LL));
      i = j;
    }
  }
  // An Integer or Long type suffix cannot follow a fraction.
  if (seenPoint && i < s.size() && (s[i] == '%' || s[i] == '&')) Raise(err::kTypeMismatch);
  if (!anyDigit) return 0.0;
  number::Normalize(d);
  const double value = number::ToDouble(d);
  if (!std::isfinite(value)) RaiseOverflow();
  return value == 0.0 ? 0.0 : value;
}

std::int32_t NumberOf(std::string_view text) {
  return CLngFromDouble(Val(text));
}

std::optional<double> ReadNumber(std::string_view text) {
  const auto d = number::ParseNumberText(text);
  if (!d) return std::nullopt;
  return number::ToDouble(*d);
}

bool IsNumeric(std::string_view text) {
  return number::ParseNumberText(text).has_value();
}

std::int16_t CIntFromDouble(double v) {
  if (!std::isfinite(v)) RaiseOverflow();
  const double r = std::nearbyint(v);
  if (r < -32768.0 || r > 32767.0) RaiseOverflow();
  return static_cast<std::int16_t>(r);
}

std::int32_t CLngFromDouble(double v) {
  if (!std::isfinite(v)) RaiseOverflow();
  const double r = std::nearbyint(v);
  if (r < -2147483648.0 || r > 2147483647.0) RaiseOverflow();
  return static_cast<std::int32_t>(r);
}

std::uint8_t CByteFromDouble(double v) {
  if (!std::isfinite(v)) RaiseOverflow();
  const double r = std::nearbyint(v);
  if (r < 0.0 || r > 255.0) RaiseOverflow();
  return static_cast<std::uint8_t>(r);
}

namespace {

// The number of a text for the strict conversions: the whole text must be a
// number (error 13 otherwise).
number::Decimal StrictDecimal(std::string_view text) {
  auto d = number::ParseNumberText(text);
  if (!d) Raise(err::kTypeMismatch);
  return std::move(*d);
}

double StrictNumber(std::string_view text) {
  return number::ToDouble(StrictDecimal(text));
}

}  // namespace

std::int16_t CInt(std::string_view text) {
  const number::Decimal d = StrictDecimal(text);
  if (d.radix) {
    if (d.radixBits > 0xFFFFu) RaiseOverflow();
    return static_cast<std::int16_t>(d.radixBits);
  }
  return CIntFromDouble(number::ToDouble(d));
}

std::int32_t CLng(std::string_view text) {
  const number::Decimal d = StrictDecimal(text);
  if (d.radix) return static_cast<std::int32_t>(static_cast<std::uint32_t>(d.radixBits));
  return CLngFromDouble(number::ToDouble(d));
}

std::uint8_t CByte(std::string_view text) {
  const number::Decimal d = StrictDecimal(text);
  if (d.radix) {
    if (d.radixBits > 0xFFu) RaiseOverflow();
    return static_cast<std::uint8_t>(d.radixBits);
  }
  return CByteFromDouble(number::ToDouble(d));
}

double Round(double v, int digits) {
  if (digits < 0) Raise(err::kInvalidProcedureCall);
  if (!std::isfinite(v)) return v;
  if (digits == 0) return std::nearbyint(v);
  if (digits > 22) return v;
  const double scale = std::pow(10.0, digits);
  const double scaled = v * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) return v;
  return std::nearbyint(scaled) / scale;
}

namespace {
// The number a typed value stands for in the integer conversions.
double NumberOfVariant(const Variant& v) {
  switch (v.kind) {
    case Variant::Kind::Empty:
      return 0.0;
    case Variant::Kind::Null:
      Raise(94, {}, "Invalid use of Null");
    case Variant::Kind::Boolean:
      return v.boolean ? -1.0 : 0.0;
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return static_cast<double>(v.integer);
    case Variant::Kind::String:
      return StrictNumber(v.text);
    default:
      return v.number;
  }
}
}  // namespace

std::int16_t CInt(const Variant& v) {
  return CIntFromDouble(NumberOfVariant(v));
}
std::int32_t CLng(const Variant& v) {
  return CLngFromDouble(NumberOfVariant(v));
}
std::uint8_t CByte(const Variant& v) {
  return CByteFromDouble(NumberOfVariant(v));
}

bool IsNumeric(const Variant& v) {
  switch (v.kind) {
    case Variant::Kind::Null:
    case Variant::Kind::Date:
      return false;
    case Variant::Kind::String:
      return IsNumeric(std::string_view(v.text));
    default:
      return true;
  }
}

}  // namespace platform
