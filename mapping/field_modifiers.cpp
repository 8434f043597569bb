#include "mapping/field_modifiers.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/date_text.h"
#include "platform/error.h"
#include "platform/format.h"
#include "platform/text.h"

namespace marrow {
namespace {

namespace text = platform::text;

constexpr const char* kSource = "FieldMappings";

// A set of characters for the strip and truncate-before modifiers. Invalid
// UTF-8 bytes count as characters of their own (DecodeKeepBytes), so they can
// be stripped and come back unchanged when kept.
class CharacterSet {
 public:
  explicit CharacterSet(std::string_view chars) : chars_(text::DecodeKeepBytes(chars)) {
    std::sort(chars_.begin(), chars_.end());
  }
  bool Contains(char32_t c) const { return std::binary_search(chars_.begin(), chars_.end(), c); }

 private:
  std::u32string chars_;
};

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void StripInPlace(std::string& v, std::string_view stripChars) {
  if (IsAscii(stripChars)) {
    // An ASCII byte is always a character of its own (no byte of a longer
    // UTF-8 sequence is below 0x80, and DecodeKeepBytes keeps every other
    // byte as it is), so removing ASCII characters is removing those bytes.
    bool strip[128] = {};
    for (char c : stripChars) strip[static_cast<unsigned char>(c)] = true;
    std::erase_if(v, [&](char c) {
      const auto b = static_cast<unsigned char>(c);
      return b < 0x80 && strip[b];
    });
    return;
  }
  const CharacterSet set(stripChars);
  std::u32string chars = text::DecodeKeepBytes(v);
  chars.erase(
      std::remove_if(chars.begin(), chars.end(), [&](char32_t c) { return set.Contains(c); }),
      chars.end());
  v = text::Encode(chars);
}

std::string SubstringStep(std::string v, std::int32_t start, std::int32_t length) {
  const auto len = static_cast<std::int64_t>(text::Len(v));
  if (start < 1 || start >= len) return v;
  if (length < 0) platform::Raise(platform::err::kInvalidProcedureCall, kSource);
  return text::Mid(v, start, length);
}

void TruncateAtInPlace(std::string& v, std::int32_t position) {
  if (position > 1 && position < static_cast<std::int64_t>(text::Len(v))) {
    v.resize(text::ByteOffset(v, static_cast<std::size_t>(position)));  // text::Left
  }
}

std::string TruncateBeforeStep(std::string v, std::string_view truncateChars) {
  if (truncateChars.empty()) return v;
  const CharacterSet set(truncateChars);
  const std::u32string chars = text::DecodeKeepBytes(v);
  const auto found =
      std::find_if(chars.begin(), chars.end(), [&](char32_t c) { return set.Contains(c); });
  if (found == chars.end()) return v;
  return text::Encode(std::u32string_view(chars.data(), found - chars.begin()));
}

std::string LeftTrimStep(std::string v, std::int16_t count) {
  const auto len = static_cast<std::int64_t>(text::Len(v));
  if (len > kMaxLeftTrimValueLength) platform::Raise(platform::err::kOverflow, kSource);
  if (v.empty() || count >= len) return v;
  if (count < 0) platform::Raise(platform::err::kInvalidProcedureCall, kSource);
  return text::Mid(v, static_cast<std::ptrdiff_t>(count) + 1);
}

std::string SeparateStep(std::string v, std::int32_t groupSize) {
  if (v.empty()) return v;
  // A group size of 0 would cut empty groups for ever; it is refused like a
  // negative one.
  if (groupSize <= 0) platform::Raise(platform::err::kInvalidProcedureCall, kSource);
  const std::u32string chars = text::DecodeKeepBytes(v);
  std::u32string out;
  out.reserve(chars.size() + chars.size() / static_cast<std::size_t>(groupSize) + 1);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (i > 0 && i % static_cast<std::size_t>(groupSize) == 0) out.push_back(U':');
    out.push_back(chars[i]);
  }
  return text::Encode(out);
}

std::string AlphaToNumericStep(const std::string& v) {
  // Capital letters are ASCII, and no byte of a multi-byte UTF-8 sequence is,
  // so a byte scan replaces exactly the characters "A" to "Z".
  std::string out;
  out.reserve(v.size() * 2);
  for (char c : v) {
    if (c >= 'A' && c <= 'Z') {
      out += std::to_string(c - 'A' + 1);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string FixedStep(std::string v, std::int32_t length) {
  if (length < 0 || length > kMaxFixedLength) {
    platform::Raise(platform::err::kInvalidProcedureCall, kSource);
  }
  const auto len = static_cast<std::int64_t>(text::Len(v));
  if (len < length) {
    v.append(static_cast<std::size_t>(length - len), ' ');
  } else if (len > length) {
    v = text::Left(v, static_cast<std::size_t>(length));
  }
  return v;
}

std::string CenturyDigits(int year) {
  std::string digits = std::to_string(year / 100);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return digits;
}

}  // namespace

namespace {

// The index step on `v` itself: the piece at `index`, or "".
void IndexInPlace(std::string& v, std::int32_t index, std::string_view delimiter) {
  if (v.empty()) return;
  if (index < 0) platform::Raise(platform::err::kSubscriptOutOfRange, kSource);
  if (delimiter.empty()) {
    if (index != 0) v.clear();
    return;
  }
  std::size_t from = 0;
  for (std::int32_t k = 0; k < index; ++k) {
    const std::size_t hit = v.find(delimiter, from);
    if (hit == std::string::npos) {
      v.clear();
      return;
    }
    from = hit + delimiter.size();
  }
  const std::size_t end = v.find(delimiter, from);
  if (end != std::string::npos) v.erase(end);
  v.erase(0, from);
}

void TrimInPlace(std::string& v) {
  const std::string_view trimmed = text::Trim(v);
  if (trimmed.size() == v.size()) return;
  const auto from = static_cast<std::size_t>(trimmed.data() - v.data());
  v.erase(from + trimmed.size());
  v.erase(0, from);
}

// "format{>}" and "format{<}" on an ASCII text: the text in upper (lower)
// case, which is what Format gives for these masks. Anything else: false.
bool CaseFormatInPlace(std::string& v, std::string_view mask) {
  if (mask != ">" && mask != "<") return false;
  if (!IsAscii(v)) return false;
  const bool upper = mask == ">";
  for (char& c : v) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return true;
}

// Steps 1 to 12 of the chain on `v` itself.
void ModifyInPlace(std::string& v, const FieldPart& part) {
  if (part.IndexString) IndexInPlace(v, part.IndexValue, part.IndexDelimiter);
  if (part.Trim) TrimInPlace(v);
  if (part.Strip) StripInPlace(v, part.StripChars);
  if (part.Substring) v = SubstringStep(std::move(v), part.SubstringStart, part.SubstringLength);
  if (part.TruncateAt) TruncateAtInPlace(v, part.TruncatePos);
  if (part.TruncateAfter) v = TruncateBeforeStep(std::move(v), part.TruncateChars);
  if (part.LeftTrim) v = LeftTrimStep(std::move(v), part.TrimCharNumber);
  if (part.ReplaceString && !part.ReplaceText.empty()) {
    v = text::Replace(v, part.ReplaceText, part.ReplaceWithText);
  }
  if (part.StringFormat && !CaseFormatInPlace(v, part.StringFormatMask)) {
    v = platform::Format(std::string_view(v), part.StringFormatMask);
  }
  if (part.SeparatePart) v = SeparateStep(std::move(v), part.NumberOfCharPerPart);
  if (part.AlphaToNumeric && !v.empty()) v = AlphaToNumericStep(v);
  if (part.Fixed) v = FixedStep(std::move(v), part.FixedLength);
}

// Step 13 and the append: at most one of date, numeric, lookup, wrap.
void AppendLastStep(std::string& out, std::string& v, const FieldPart& part) {
  if (part.DateField) {
    out += FormatDateValue(v, part.DateFormat);
  } else if (part.Numeric) {
    out += platform::Format(text::Trim(v), part.NumericFormat);
  } else if (part.Lookup) {
    if (v.empty()) return;
    if (const tessel::NameValue* entry = part.LookupTable.Item(v)) {
      out += entry->Value();
    } else if (const tessel::NameValue* fallback = part.LookupTable.Item(std::string_view("*"))) {
      out += fallback->Value();
    } else {
      out += v;
    }
  } else if (part.Wrap) {
    out += WrapText(v, part.WrapLength);
  } else {
    out += v;
  }
}

}  // namespace

std::string ApplyFieldModifiers(std::string_view value, const FieldPart& part) {
  std::string v(value);
  ModifyInPlace(v, part);
  std::string out;
  AppendLastStep(out, v, part);
  return out;
}

void AppendFieldModifiers(std::string& out, std::string_view value, const FieldPart& part) {
  std::string work;
  AppendFieldModifiers(out, value, part, work);
}

void AppendFieldModifiers(std::string& out, std::string_view value, const FieldPart& part,
                          std::string& work) {
  const bool onlyTrim = !part.IndexString && !part.Strip && !part.Substring && !part.TruncateAt &&
                        !part.TruncateAfter && !part.LeftTrim && !part.ReplaceString &&
                        !part.StringFormat && !part.SeparatePart && !part.AlphaToNumeric &&
                        !part.Fixed && !part.DateField && !part.Numeric && !part.Lookup &&
                        !part.Wrap;
  if (onlyTrim) {
    out.append(part.Trim ? text::Trim(value) : value);
    return;
  }
  work.assign(value);
  ModifyInPlace(work, part);
  AppendLastStep(out, work, part);
}

std::string WrapText(std::string_view input, std::int32_t width) {
  const std::string_view trimmed = text::Trim(input);
  if (trimmed.empty()) return {};
  // The backtick marks line breaks while the text is cut into lines, so any
  // backtick of the text itself becomes an apostrophe first.
  std::string marked = text::Replace(trimmed, "`", "'");
  marked = text::Replace(marked, "\r\n", "`");
  marked = text::Replace(marked, "\r", "`");
  marked = text::Replace(marked, "\n", "`");

  const std::vector<std::string> lines = text::Split(marked, "`");
  std::string out;
  out.reserve(marked.size() + marked.size() / 8);
  for (std::size_t l = 0; l < lines.size(); ++l) {
    std::int64_t running = 0;
    for (const std::string& word : text::Split(lines[l], " ")) {
      const auto wordLength = static_cast<std::int64_t>(text::Len(word));
      if (running == 0) {
        out += word;
        running = wordLength;
      } else if (running + wordLength + 1 <= width) {
        out += ' ';
        out += word;
        running += wordLength + 1;
      } else {
        out += "\r\n";
        out += word;
        running = wordLength;
      }
    }
    if (l + 1 < lines.size()) out += "\r\n";
  }
  return out;
}

std::string FormatDateValue(std::string_view input, std::string_view format) {
  const std::string regrouped = input.find('/') == std::string_view::npos
                                    ? platform::Format(input, "&&/&&/&&")
                                    : std::string(input);
  const std::optional<platform::OleDate> date = platform::ReadDate(regrouped);
  if (!date) return std::string(input);
  const platform::Variant value = platform::Variant::FromDate(*date);
  if (format.find("cc") == std::string_view::npos) return platform::Format(value, format);
  // "c" means something of its own to Format, so the century goes in after
  // formatting, through a placeholder that Format copies unchanged.
  const std::string changed = text::Replace(format, "cc", "$$");
  const std::string formatted = platform::Format(value, changed);
  return text::Replace(formatted, "$$", CenturyDigits(platform::SplitDate(*date).year));
}

}  // namespace marrow
