#include <algorithm>
#include <cstdlib>

#include "platform/format_internal.h"

namespace platform::fmt {
namespace {

using number::Decimal;

// A non-negative number rounded to a number of decimals: the integer digits
// without leading zeros ("" for a value below one) and exactly `places`
// fraction digits.
struct Rounded {
  std::string integer;
  std::string fraction;
};

// Rounds half away from zero (the runtime's Format rounds 0.5 up to 1 and
// 2.5 up to 3, unlike CInt).
Rounded RoundTo(const Decimal& v, int places) {
  Rounded out;
  out.fraction.assign(static_cast<std::size_t>(places), '0');
  if (v.IsZero()) return out;
  std::string digits = v.digits;
  long long exponent = v.exponent;
  const long long n = static_cast<long long>(digits.size());
  const long long keep = n + exponent + places;  // digits left after rounding
  if (keep < n) {
    if (keep < 0) return out;
    const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    exponent = -places;
    if (up) {
      std::size_t k = digits.size();
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0)
        digits.insert(digits.begin(), '1');
      else
        ++digits[k - 1];
    }
    if (digits.find_first_not_of('0') == std::string::npos) return out;
  }
  if (exponent >= 0) {
    out.integer = digits + std::string(static_cast<std::size_t>(exponent), '0');
  } else {
    const long long intLength = static_cast<long long>(digits.size()) + exponent;
    std::string fraction;
    if (intLength > 0) {
      out.integer = digits.substr(0, static_cast<std::size_t>(intLength));
      fraction = digits.substr(static_cast<std::size_t>(intLength));
    } else {
      fraction = std::string(static_cast<std::size_t>(-intLength), '0') + digits;
    }
    fraction.resize(static_cast<std::size_t>(places), '0');
    out.fraction = fraction;
  }
  const std::size_t lead = out.integer.find_first_not_of('0');
  out.integer.erase(0, lead == std::string::npos ? out.integer.size() : lead);
  return out;
}

bool IsPlaceholder(const Token& t) {
  return t.kind == Tok::DigitZero || t.kind == Tok::DigitHash;
}

}  // namespace

NumberLayout AnalyzeNumberTokens(const std::vector<Token>& tokens) {
  NumberLayout layout;
  // placeholderAhead[i]: a digit placeholder at or after token i, before the
  // next point or exponent (one backward pass keeps this linear).
  std::vector<bool> placeholderAhead(tokens.size() + 1, false);
  for (std::size_t i = tokens.size(); i-- > 0;) {
    const Tok kind = tokens[i].kind;
    if (kind == Tok::DecimalPoint || kind == Tok::Exponent)
      placeholderAhead[i] = false;
    else
      placeholderAhead[i] = IsPlaceholder(tokens[i]) || placeholderAhead[i + 1];
  }
  bool afterPoint = false;
  int firstZero = -1;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == Tok::Percent) layout.percent = true;
    if (layout.exponent) continue;
    if (t.kind == Tok::Exponent) {
      layout.exponent = true;
    } else if (t.kind == Tok::DecimalPoint) {
      afterPoint = true;
    } else if (IsPlaceholder(t)) {
      if (afterPoint) {
        ++layout.fractionPlaces;
        if (t.kind == Tok::DigitZero) layout.mandatoryFraction = layout.fractionPlaces;
      } else {
        if (t.kind == Tok::DigitZero && firstZero < 0) firstZero = layout.integerPlaces;
        ++layout.integerPlaces;
      }
    } else if (t.kind == Tok::Comma && !afterPoint) {
      // A run of commas scales by 1000 per comma when it has two or more
      // commas or ends the integer places ("#,##0," or "0,.00"); a single
      // comma between placeholders asks for thousands separators.
      std::size_t j = i;
      while (j < tokens.size() && tokens[j].kind == Tok::Comma) ++j;
      const int run = static_cast<int>(j - i);
      if (run >= 2 || !placeholderAhead[j])
        layout.scaleThousands += run;
      else
        layout.grouping = true;
      i = j - 1;
    }
  }
  if (firstZero >= 0) layout.mandatoryInteger = layout.integerPlaces - firstZero;
  return layout;
}

namespace {

void AddExponent(Decimal& d, long long delta) {
  const long long e = std::clamp<long long>(d.exponent + delta, -1000000000, 1000000000);
  d.exponent = static_cast<int>(e);
}

}  // namespace

std::string FormatNumberSection(const Decimal& valueIn, const Section& section, bool writeSign) {
  const NumberLayout& layout = section.number;
  Decimal value = valueIn;
  value.negative = false;
  if (!value.IsZero()) {
    if (layout.percent) AddExponent(value, 2);
    AddExponent(value, -3LL * layout.scaleThousands);
  }

  Rounded r;
  long long exponent = 0;
  if (layout.exponent) {
    // The integer places are all filled: the exponent is chosen so that the
    // mantissa has exactly that many digits before the point.
    if (!value.IsZero()) {
      const long long magnitude = static_cast<long long>(value.digits.size()) + value.exponent;
      exponent = magnitude - layout.integerPlaces;
      Decimal mantissa = value;
      AddExponent(mantissa, -exponent);
      r = RoundTo(mantissa, layout.fractionPlaces);
      if (static_cast<int>(r.integer.size()) > layout.integerPlaces) {
        ++exponent;
        AddExponent(mantissa, -1);
        r = RoundTo(mantissa, layout.fractionPlaces);
      }
    } else {
      r = RoundTo(value, layout.fractionPlaces);
    }
  } else {
    r = RoundTo(value, layout.fractionPlaces);
  }

  // Trailing zeros beyond the last '0' of the fraction are dropped.
  std::string& fraction = r.fraction;
  while (static_cast<int>(fraction.size()) > layout.mandatoryFraction && !fraction.empty() &&
         fraction.back() == '0')
    fraction.pop_back();
  std::string integer = r.integer;
  if (static_cast<int>(integer.size()) < layout.mandatoryInteger)
    integer.insert(0, static_cast<std::size_t>(layout.mandatoryInteger) - integer.size(), '0');

  std::string out;
  out.reserve(section.tokens.size() + integer.size() + fraction.size() + 8);
  const long long length = static_cast<long long>(integer.size());
  const long long places = layout.integerPlaces;
  // A negative number formatted with the positive section carries its minus
  // sign in front of everything, literals included ("-$5" for "$0").
  if (writeSign) out.push_back('-');
  auto writeDigit = [&](long long index) {
    out.push_back(integer[static_cast<std::size_t>(index)]);
    const long long remaining = length - 1 - index;
    if (layout.grouping && remaining > 0 && remaining % 3 == 0) out.push_back(',');
  };
  long long integerIndex = 0;
  std::size_t fractionIndex = 0;
  bool afterPoint = false, afterExponent = false;
  for (const Token& t : section.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        out.append(t.text);
        break;
      case Tok::Percent:
        out.push_back('%');
        break;
      case Tok::Comma:
        break;
      case Tok::DecimalPoint:
        out.push_back('.');
        afterPoint = true;
        break;
      case Tok::Exponent: {
        out.push_back(t.upper ? 'E' : 'e');
        if (exponent < 0)
          out.push_back('-');
        else if (t.plus)
          out.push_back('+');
        std::string digits = std::to_string(std::llabs(exponent));
        if (static_cast<int>(digits.size()) < t.count)
          digits.insert(0, static_cast<std::size_t>(t.count) - digits.size(), '0');
        out.append(digits);
        afterExponent = true;
        break;
      }
      case Tok::DigitZero:
      case Tok::DigitHash:
        if (afterExponent) {
          if (t.kind == Tok::DigitZero) out.push_back('0');
        } else if (afterPoint) {
          if (fractionIndex < fraction.size()) out.push_back(fraction[fractionIndex]);
          ++fractionIndex;
        } else {
          // The first integer place also prints the digits that do not fit
          // the placeholders.
          if (integerIndex == 0)
            for (long long k = 0; k < length - places; ++k) writeDigit(k);
          const long long index = length - places + integerIndex;
          if (index >= 0) writeDigit(index);
          ++integerIndex;
        }
        break;
      default:
        out.append(t.text);
        break;
    }
  }
  return out;
}

std::string GeneralNumber(const Decimal& value, int significantDigits) {
  if (value.IsZero()) return "0";
  std::string out = value.negative ? "-" : "";
  const std::string& d = value.digits;
  const long long n = static_cast<long long>(d.size());
  const long long leading = n + value.exponent - 1;  // exponent of the first digit
  if (significantDigits > 0 && (leading >= significantDigits || leading < -11)) {
    out.push_back(d[0]);
    if (n > 1) {
      out.push_back('.');
      out.append(d, 1);
    }
    out.append(leading < 0 ? "E-" : "E+");
    std::string e = std::to_string(std::llabs(leading));
    if (e.size() < 2) e.insert(0, "0");
    out.append(e);
    return out;
  }
  if (value.exponent >= 0) {
    out.append(d);
    out.append(static_cast<std::size_t>(value.exponent), '0');
    return out;
  }
  const long long intLength = n + value.exponent;
  if (intLength > 0) {
    out.append(d, 0, static_cast<std::size_t>(intLength));
    out.push_back('.');
    out.append(d, static_cast<std::size_t>(intLength));
  } else {
    out.append("0.");
    out.append(static_cast<std::size_t>(-intLength), '0');
    out.append(d);
  }
  return out;
}

}  // namespace platform::fmt
