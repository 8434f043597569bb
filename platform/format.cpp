#include "platform/format.h"

#include <array>
#include <cmath>
#include <functional>
#include <optional>

#include "platform/date_text.h"
#include "platform/format_internal.h"
#include "platform/number_text.h"
#include "platform/text.h"

namespace platform {
namespace {

using fmt::Mask;
using fmt::MaskType;
using fmt::Section;
using fmt::Tok;
using number::Decimal;

// ---- Conversions of a value for the three kinds of masks ----

// The number a value stands for; nothing when it is not a number (a text
// that does not read as one).
std::optional<Decimal> NumberOf(const Variant& v) {
  switch (v.kind) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return Decimal{};
    case Variant::Kind::Boolean:
      return number::FromInteger(v.boolean ? -1 : 0);
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return number::FromInteger(v.integer);
    case Variant::Kind::Single:
      if (!std::isfinite(v.number)) return std::nullopt;
      return number::FromDouble(v.number, 7);
    case Variant::Kind::Currency: {
      // Currency holds four decimals exactly.
      if (!std::isfinite(v.number) || std::fabs(v.number) >= 9.2e14) return std::nullopt;
      Decimal d = number::FromInteger(std::llround(v.number * 10000.0));
      d.exponent -= 4;
      number::Normalize(d);
      return d;
    }
    case Variant::Kind::String:
      return number::ParseNumberText(v.text);
    case Variant::Kind::Double:
    case Variant::Kind::Date:
      if (!std::isfinite(v.number)) return std::nullopt;
      return number::FromDouble(v.number, 15);
  }
  return std::nullopt;
}

bool InDateRange(double serial) {
  return std::isfinite(serial) && serial >= calendar::kMinSerial && serial <= calendar::kMaxSerial;
}

// The date a value stands for: a date text, else a number taken as a serial.
std::optional<double> SerialOf(const Variant& v) {
  double serial = 0.0;
  switch (v.kind) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return 0.0;
    case Variant::Kind::Boolean:
      return v.boolean ? -1.0 : 0.0;
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      serial = static_cast<double>(v.integer);
      break;
    case Variant::Kind::String: {
      if (const auto date = ReadDate(v.text)) return date->serial;
      const auto value = ReadNumber(v.text);
      if (!value) return std::nullopt;
      serial = *value;
      break;
    }
    default:
      serial = v.number;
      break;
  }
  if (!InDateRange(serial)) return std::nullopt;
  return serial;
}

std::string NonFinite(double v) {
  if (std::isnan(v)) return "-1.#IND";
  return v < 0 ? "-1.#INF" : "1.#INF";
}

// The general form of a value: what Format prints without a mask.
std::string GeneralForm(const Variant& v) {
  switch (v.kind) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return {};
    case Variant::Kind::Boolean:
      return v.boolean ? "True" : "False";
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return std::to_string(v.integer);
    case Variant::Kind::Single:
      if (!std::isfinite(v.number)) return NonFinite(v.number);
      return fmt::GeneralNumber(number::FromDouble(v.number, 7), 7);
    case Variant::Kind::Double:
      if (!std::isfinite(v.number)) return NonFinite(v.number);
      return fmt::GeneralNumber(number::FromDouble(v.number, 15), 15);
    case Variant::Kind::Currency: {
      const auto d = NumberOf(v);
      return d ? fmt::GeneralNumber(*d, 0) : NonFinite(v.number);
    }
    case Variant::Kind::Date:
      if (!InDateRange(v.number)) return fmt::GeneralNumber(number::FromDouble(v.number, 15), 15);
      return fmt::GeneralDate(v.number);
    case Variant::Kind::String:
      return v.text;
  }
  return {};
}

bool IsNull(const Variant& v) {
  return v.kind == Variant::Kind::Null;
}
bool IsEmptyOrNull(const Variant& v) {
  return v.kind == Variant::Kind::Empty || v.kind == Variant::Kind::Null;
}

// ---- The three kinds of masks ----

std::string FormatAsNumber(const Variant& v, const Mask& mask) {
  const Section& positive = *mask.SectionAt(0);
  if (IsEmptyOrNull(v)) {
    // Null and Empty take the fourth section; without one, Null prints
    // nothing and Empty prints as zero with the first section.
    if (const Section* nullSection = mask.SectionAt(3))
      return fmt::FormatNumberSection(Decimal{}, *nullSection, false);
    if (IsNull(v)) return {};
    return fmt::FormatNumberSection(Decimal{}, positive, false);
  }
  const auto value = NumberOf(v);
  if (!value) return GeneralForm(v);
  if (value->negative) {
    if (const Section* negative = mask.SectionAt(1))
      return fmt::FormatNumberSection(*value, *negative, false);
    return fmt::FormatNumberSection(*value, positive, true);
  }
  if (value->IsZero()) {
    const Section* zero = mask.SectionAt(2);
    return fmt::FormatNumberSection(*value, zero ? *zero : positive, false);
  }
  return fmt::FormatNumberSection(*value, positive, false);
}

std::string FormatAsDate(const Variant& v, const Mask& mask, int firstDayOfWeek,
                         int firstWeekOfYear) {
  if (IsNull(v)) return {};
  const Section* section = mask.SectionAt(0);
  if (v.kind == Variant::Kind::Empty)
    if (const Section* second = mask.SectionAt(1)) section = second;
  const auto serial = SerialOf(v);
  if (!serial) return GeneralForm(v);
  return fmt::FormatDateSection(*serial, *section, firstDayOfWeek, firstWeekOfYear);
}

std::string FormatAsText(const Variant& v, const Mask& mask) {
  const std::string value = GeneralForm(v);
  const Section* section = mask.SectionAt(0);
  if (value.empty()) {
    // The second section is for Null and empty texts.
    if (const Section* second = mask.SectionAt(1))
      section = second;
    else if (IsNull(v))
      return {};
  }
  return fmt::FormatTextSection(value, *section);
}

std::string FormatWithMask(const Variant& v, const Mask& mask, int firstDayOfWeek,
                           int firstWeekOfYear) {
  MaskType type = mask.type;
  if (type == MaskType::Unknown) {
    switch (v.kind) {
      case Variant::Kind::Null:
        return {};
      case Variant::Kind::Date:
        type = MaskType::Date;
        break;
      case Variant::Kind::String:
        // Sections of literals only ("pos";"neg";"zero") choose by the sign
        // of a number, so a text that reads as one takes its section; a
        // single section stays a text mask.
        type = mask.sections.size() > 1 && NumberOf(v) ? MaskType::Number : MaskType::Text;
        break;
      case Variant::Kind::Empty:
        type = MaskType::Text;
        break;
      default:
        type = MaskType::Number;
        break;
    }
  }
  switch (type) {
    case MaskType::Number:
      return FormatAsNumber(v, mask);
    case MaskType::Date:
      return FormatAsDate(v, mask, firstDayOfWeek, firstWeekOfYear);
    default:
      return FormatAsText(v, mask);
  }
}

// ---- Named formats ----

enum class Named { None, GeneralNumber, Mask, YesNo, TrueFalse, OnOff, GeneralDate };

struct NamedFormat {
  std::string_view name;
  Named kind;
  std::string_view mask;  // the US English mask of the named format
};

constexpr std::array<NamedFormat, 16> kNamedFormats = {{
    {"General Number", Named::GeneralNumber, ""},
    {"Currency", Named::Mask, "$#,##0.00;($#,##0.00)"},
    {"Fixed", Named::Mask, "0.00"},
    {"Standard", Named::Mask, "#,##0.00"},
    {"Percent", Named::Mask, "0.00%"},
    {"Scientific", Named::Mask, "0.00E+00"},
    {"Yes/No", Named::YesNo, ""},
    {"True/False", Named::TrueFalse, ""},
    {"On/Off", Named::OnOff, ""},
    {"General Date", Named::GeneralDate, ""},
    {"Long Date", Named::Mask, "dddd, mmmm d, yyyy"},
    {"Medium Date", Named::Mask, "dd-mmm-yy"},
    {"Short Date", Named::Mask, "m/d/yyyy"},
    {"Long Time", Named::Mask, "h:mm:ss AM/PM"},
    {"Medium Time", Named::Mask, "hh:mm AM/PM"},
    {"Short Time", Named::Mask, "hh:mm"},
}};

const NamedFormat* FindNamed(std::string_view mask) {
  if (mask.size() < 5 || mask.size() > 14) return nullptr;
  for (const NamedFormat& f : kNamedFormats)
    if (text::EqualsCaseless(mask, f.name)) return &f;
  return nullptr;
}

std::string FormatBoolean(const Variant& v, Named kind) {
  if (IsNull(v)) return {};
  const auto value = NumberOf(v);
  if (!value) return GeneralForm(v);
  const bool truth = !value->IsZero();
  switch (kind) {
    case Named::YesNo:
      return truth ? "Yes" : "No";
    case Named::OnOff:
      return truth ? "On" : "Off";
    default:
      return truth ? "True" : "False";
  }
}

std::string FormatNamed(const Variant& v, const NamedFormat& named, int firstDayOfWeek,
                        int firstWeekOfYear) {
  switch (named.kind) {
    case Named::GeneralNumber:
      return GeneralForm(v);
    case Named::YesNo:
    case Named::TrueFalse:
    case Named::OnOff:
      return FormatBoolean(v, named.kind);
    case Named::GeneralDate: {
      if (IsNull(v)) return {};
      const auto serial = SerialOf(v);
      return serial ? fmt::GeneralDate(*serial) : GeneralForm(v);
    }
    default:
      return FormatWithMask(v, fmt::ReadMask(named.mask), firstDayOfWeek, firstWeekOfYear);
  }
}

// Reads a mask, or gives the one read before: the same few masks come back
// for every value formatted, so the last ones are kept (per thread). The
// reference is good until the next call. A mask that cannot be read is not
// kept.
const Mask& ReadMaskKept(std::string_view mask) {
  struct Entry {
    bool used = false;
    std::string text;
    Mask mask;
  };
  thread_local std::array<Entry, 32> entries;
  Entry& entry = entries[std::hash<std::string_view>{}(mask) % entries.size()];
  if (!entry.used || entry.text != mask) {
    Mask read = fmt::ReadMask(mask);
    entry.used = false;
    entry.text.assign(mask);
    entry.mask = std::move(read);
    entry.used = true;
  }
  return entry.mask;
}

int ValidDayOfWeek(int firstDayOfWeek) {
  return firstDayOfWeek >= 1 && firstDayOfWeek <= 7 ? firstDayOfWeek : 1;
}
int ValidWeekOfYear(int firstWeekOfYear) {
  return firstWeekOfYear >= 1 && firstWeekOfYear <= 3 ? firstWeekOfYear : 1;
}

}  // namespace

namespace fmt {

namespace {

// FormatTextSection over the characters of a value: `at(k)` is character k
// of `count`.
template <typename At>
std::string FormatTextCharacters(const Section& section, std::size_t count, At at,
                                 std::size_t reserve) {
  bool lower = false, upper = false, leftToRight = false;
  std::size_t placeholders = 0;
  for (const fmt::Token& t : section.tokens) {
    if (t.kind == Tok::Lower) lower = true;
    if (t.kind == Tok::Upper) upper = true;
    if (t.kind == Tok::LeftToRight) leftToRight = true;
    if (t.kind == Tok::CharOrSpace || t.kind == Tok::CharOrNothing) ++placeholders;
  }
  auto emit = [&](std::string& out, char32_t c) {
    if (lower)
      c = text::FoldLower(c);
    else if (upper)
      c = text::FoldUpper(c);
    text::AppendCodePoint(out, c);
  };
  // Placeholders fill from the right: with fewer characters than
  // placeholders, the first placeholders stay empty ('@' prints a blank, '&'
  // nothing). '!' fills from the left instead. Characters beyond the
  // placeholders come after the last one.
  std::size_t blanks = 0;
  if (!leftToRight && placeholders > count) blanks = placeholders - count;
  std::size_t next = 0;
  std::string out;
  out.reserve(reserve + section.tokens.size());
  for (const fmt::Token& t : section.tokens) {
    if (t.kind == Tok::CharOrSpace || t.kind == Tok::CharOrNothing) {
      if (blanks > 0) {
        --blanks;
        if (t.kind == Tok::CharOrSpace) out.push_back(' ');
      } else if (next < count) {
        emit(out, at(next++));
      } else if (t.kind == Tok::CharOrSpace) {
        out.push_back(' ');
      }
    } else if (t.kind == Tok::Literal) {
      out.append(t.text);
    } else if (t.kind != Tok::Lower && t.kind != Tok::Upper && t.kind != Tok::LeftToRight) {
      out.append(t.text);
    }
  }
  while (next < count) emit(out, at(next++));
  return out;
}

bool IsAscii(std::string_view value) {
  for (char c : value) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string FormatTextSection(std::string_view value, const Section& section) {
  // The common mask ">" (or "<") on an ASCII text: the text in upper (lower)
  // case, as the general way below gives it.
  if (section.tokens.size() == 1 &&
      (section.tokens[0].kind == Tok::Upper || section.tokens[0].kind == Tok::Lower) &&
      IsAscii(value)) {
    const bool upper = section.tokens[0].kind == Tok::Upper;
    std::string out(value);
    for (char& c : out) {
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
  // An ASCII text is its own list of characters.
  if (IsAscii(value)) {
    return FormatTextCharacters(
        section, value.size(), [&](std::size_t k) { return static_cast<char32_t>(value[k]); },
        value.size());
  }
  const std::u32string source = text::DecodeKeepBytes(value);
  return FormatTextCharacters(
      section, source.size(), [&](std::size_t k) { return source[k]; }, value.size());
}

}  // namespace fmt

std::string Format(const Variant& value, std::string_view mask, int firstDayOfWeek,
                   int firstWeekOfYear) {
  if (mask.empty()) return GeneralForm(value);
  const int day = ValidDayOfWeek(firstDayOfWeek);
  const int week = ValidWeekOfYear(firstWeekOfYear);
  if (const NamedFormat* named = FindNamed(mask)) return FormatNamed(value, *named, day, week);
  return FormatWithMask(value, ReadMaskKept(mask), day, week);
}

std::string Format(std::string_view textValue, std::string_view mask) {
  // A text mask (or a mask of no kind, which formats a text as text) works
  // on the text itself: the same as FormatAsText of the text as a String,
  // without making one.
  if (!mask.empty() && FindNamed(mask) == nullptr) {
    const Mask& read = ReadMaskKept(mask);
    // (Sections of literals only choose by the sign of a text that reads as a
    // number: FormatWithMask decides that.)
    if (read.type == MaskType::Text ||
        (read.type == MaskType::Unknown && read.sections.size() <= 1)) {
      const Section* section = read.SectionAt(0);
      if (textValue.empty()) {
        if (const Section* second = read.SectionAt(1)) section = second;
      }
      return fmt::FormatTextSection(textValue, *section);
    }
    // Format of the text as a String, with the mask read once.
    return FormatWithMask(Variant::FromText(std::string(textValue)), read, 1, 1);
  }
  return Format(Variant::FromText(std::string(textValue)), mask);
}

std::string FormatGeneralDate(OleDate date) {
  return fmt::GeneralDate(date.serial);
}

}  // namespace platform
