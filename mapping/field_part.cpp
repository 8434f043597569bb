#include "mapping/field_part.h"

#include <array>
#include <optional>
#include <vector>

#include "platform/number_text.h"
#include "platform/text.h"

namespace marrow {
namespace {

namespace text = platform::text;

// The placeholders of escaped characters, as UTF-8.
constexpr std::string_view kEscapedComma = "\xC3\x82";       // U+00C2
constexpr std::string_view kEscapedOpenBrace = "\xC3\x85";   // U+00C5
constexpr std::string_view kEscapedCloseBrace = "\xC3\x86";  // U+00C6

// A number read with the "reads as a number" rule, rounded like "number of".
std::int32_t RoundedNumber(double value) {
  return platform::CLngFromDouble(value);
}

void ApplyIndex(FieldPart& part, const std::string& argument) {
  part.IndexString = true;
  const std::size_t colon = argument.find(':');
  if (colon != std::string::npos) {
    part.IndexValue = platform::NumberOf(std::string_view(argument).substr(0, colon));
    part.IndexDelimiter = argument.substr(colon + 1);
  } else {
    part.IndexValue = platform::NumberOf(argument);
    part.IndexDelimiter.assign(1, ',');
  }
}

void ApplyTrim(FieldPart& part, const std::string&) {
  part.Trim = true;
}

void ApplyWrap(FieldPart& part, const std::string& argument) {
  part.Wrap = true;
  part.WrapLength = platform::NumberOf(argument);
}

void ApplyNumeric(FieldPart& part, const std::string& argument) {
  part.Numeric = true;
  part.NumericFormat = argument;
}

void ApplyDate(FieldPart& part, const std::string& argument) {
  part.DateField = true;
  part.DateFormat = argument;
}

void ApplyLookup(FieldPart& part, const std::string& argument) {
  part.Lookup = true;
  part.LookupTable.AddFromString(argument, "|", ":", true);
}

void ApplyStrip(FieldPart& part, const std::string& argument) {
  part.Strip = true;
  part.StripChars = argument;
}

void ApplySubstring(FieldPart& part, const std::string& argument) {
  const std::vector<std::string> pieces = text::Split(argument, "|");
  if (pieces.size() != 2) return;
  // Both numbers are read before anything is switched on, so an overflow in
  // the second leaves the part as it was.
  const std::int32_t start = platform::NumberOf(pieces[0]);
  const std::int32_t length = platform::NumberOf(pieces[1]);
  part.Substring = true;
  part.SubstringStart = start;
  part.SubstringLength = length;
}

void ApplyTruncate(FieldPart& part, const std::string& argument) {
  if (const std::optional<double> number = platform::ReadNumber(argument)) {
    part.TruncateAt = true;
    part.TruncatePos = RoundedNumber(*number);
    if (part.TruncatePos == 0) part.TruncateAt = false;
  } else {
    part.TruncateAfter = true;
    part.TruncateChars = argument;
  }
}

void ApplyLeftTrim(FieldPart& part, const std::string& argument) {
  part.LeftTrim = true;
  part.TrimCharNumber = platform::CInt(argument);
}

void ApplyFormat(FieldPart& part, const std::string& argument) {
  part.StringFormat = true;
  part.StringFormatMask = argument;
}

void ApplySeparate(FieldPart& part, const std::string& argument) {
  part.SeparatePart = true;
  part.NumberOfCharPerPart = platform::CLng(argument);
}

void ApplyAlphaToNumeric(FieldPart& part, const std::string&) {
  part.AlphaToNumeric = true;
}

void ApplyFixed(FieldPart& part, const std::string& argument) {
  part.Fixed = true;
  part.FixedLength = platform::NumberOf(argument);
}

void ApplyReplace(FieldPart& part, const std::string& argument) {
  const std::size_t bar = argument.find('|');
  if (bar == std::string::npos) return;
  part.ReplaceString = true;
  part.ReplaceText = argument.substr(0, bar);
  part.ReplaceWithText = argument.substr(bar + 1);
}

struct KeywordRule {
  std::string_view keyword;
  bool needsArgument;  // the item must contain a "{"
  void (*apply)(FieldPart&, const std::string&);
};

// Tested in this order; the first keyword that matches acts.
constexpr std::array<KeywordRule, 17> kKeywords = {{
    {"index", true, ApplyIndex},
    {"trim", false, ApplyTrim},
    {"wrap", true, ApplyWrap},
    {"numeric", true, ApplyNumeric},
    {"date", true, ApplyDate},
    {"time", true, ApplyDate},
    {"datetime", true, ApplyDate},
    {"lookup", true, ApplyLookup},
    {"strip", true, ApplyStrip},
    {"substring", true, ApplySubstring},
    {"truncate", true, ApplyTruncate},
    {"lefttrim", true, ApplyLeftTrim},
    {"format", true, ApplyFormat},
    {"separate", true, ApplySeparate},
    {"alpha2numeric", false, ApplyAlphaToNumeric},
    {"fixed", true, ApplyFixed},
    {"replace", true, ApplyReplace},
}};

}  // namespace

std::string FieldPart::EscapeParameters(std::string_view parameters) {
  std::string escaped = text::Replace(parameters, "\\,", kEscapedComma);
  escaped = text::Replace(escaped, "\\{", kEscapedOpenBrace);
  return text::Replace(escaped, "\\}", kEscapedCloseBrace);
}

std::string FieldPart::UnescapeArgument(std::string_view argument) {
  std::string plain = text::Replace(argument, kEscapedComma, ",");
  plain = text::Replace(plain, kEscapedOpenBrace, "{");
  return text::Replace(plain, kEscapedCloseBrace, "}");
}

void FieldPart::SetParameters(std::string_view parameters) {
  if (parameters.empty()) return;
  const std::string escaped = EscapeParameters(parameters);
  for (const std::string& item : text::Split(escaped, ",")) {
    if (item.empty()) continue;
    const std::size_t brace = item.find('{');
    if (brace == std::string::npos) {
      ApplyKeyword(text::LCase(item), std::string(), false);
      continue;
    }
    std::string_view argument = std::string_view(item).substr(brace + 1);
    // "}" is ASCII, so the last byte is the last character whenever it is "}".
    if (!argument.empty() && argument.back() == '}') argument.remove_suffix(1);
    ApplyKeyword(text::LCase(std::string_view(item).substr(0, brace)), UnescapeArgument(argument),
                 true);
  }
}

std::vector<FieldPart::Keyword> FieldPart::Keywords() {
  std::vector<Keyword> keywords;
  keywords.reserve(kKeywords.size());
  for (const KeywordRule& rule : kKeywords) keywords.push_back({rule.keyword, rule.needsArgument});
  return keywords;
}

void FieldPart::ApplyKeyword(std::string_view keyword, const std::string& argument,
                             bool hasArgument) {
  for (const KeywordRule& rule : kKeywords) {
    if (rule.keyword != keyword) continue;
    if (rule.needsArgument && !hasArgument) return;
    rule.apply(*this, argument);
    return;
  }
}

}  // namespace marrow
