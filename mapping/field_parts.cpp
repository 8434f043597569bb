#include "mapping/field_parts.h"

#include <array>
#include <utility>

#include "mapping/marrow_log.h"
#include "platform/error.h"
#include "platform/text.h"

namespace marrow {
namespace {

struct NamedCharacter {
  std::string_view name;  // lower case
  std::string_view text;
};

constexpr std::array<NamedCharacter, 8> kNamedCharacters = {{
    {"cr", "\r"},
    {"lf", "\n"},
    {"br", "\r\n"},
    {"tab", "\t"},
    {"comma", ","},
    {"quote", "\""},
    {"colon", ":"},
    {"semi", ";"},
}};

FieldPart LiteralPart(std::string_view text) {
  FieldPart part;
  part.PartType = kLiteralPart;
  part.LiteralText.assign(text);
  return part;
}

FieldPart FieldReference(std::string_view name) {
  FieldPart part;
  part.PartType = kFieldPart;
  part.FieldName.assign(name);
  return part;
}

// The part that a non-empty bracket content stands for.
FieldPart BracketPart(std::string_view inner) {
  const std::size_t colon = inner.find(':');
  if (colon != std::string_view::npos) {
    const std::string_view key = inner.substr(0, colon);
    const std::string_view params = inner.substr(colon + 1);
    const std::string lowerKey = platform::text::LCase(key);
    if (lowerKey == "date" || lowerKey == "time") {
      FieldPart part;
      part.PartType = kDateTimePart;
      part.DateFormat.assign(params);
      return part;
    }
    FieldPart part = FieldReference(key);
    part.SetParameters(params);
    return part;
  }
  const std::string lower = platform::text::LCase(inner);
  for (const NamedCharacter& named : kNamedCharacters) {
    if (named.name == lower) return LiteralPart(named.text);
  }
  return FieldReference(inner);
}

}  // namespace

void FieldParts::ParseValueString(std::string_view expression) {
  Clear();
  std::string_view rest = expression;
  while (!rest.empty()) {
    const std::size_t open = rest.find('[');
    const std::string_view head = rest.substr(0, open);
    if (!head.empty()) parts_.push_back(LiteralPart(head));
    if (open == std::string_view::npos) break;
    const std::string_view tail = rest.substr(open + 1);
    if (tail.empty()) break;
    const std::size_t close = tail.find(']');
    if (close == std::string_view::npos) {
      parts_.push_back(LiteralPart(tail));
      break;
    }
    const std::string_view inner = tail.substr(0, close);
    rest = tail.substr(close + 1);
    if (inner.empty()) continue;
    // Built completely before it is appended: a failing parameter list
    // leaves the earlier parts and drops this one.
    parts_.push_back(BracketPart(inner));
  }
  fieldNameHashes_.clear();
  fieldNameHashes_.reserve(parts_.size());
  for (const FieldPart& part : parts_) {
    fieldNameHashes_.push_back(tessel::NameValueList::HashOf(part.FieldName));
  }
}

FieldPart* FieldParts::Item(std::int64_t position) {
  if (position < 1 || position > static_cast<std::int64_t>(parts_.size())) return nullptr;
  fieldNameHashes_.clear();
  return &parts_[static_cast<std::size_t>(position - 1)];
}

const FieldPart* FieldParts::Item(std::int64_t position) const {
  if (position < 1 || position > static_cast<std::int64_t>(parts_.size())) return nullptr;
  return &parts_[static_cast<std::size_t>(position - 1)];
}

void FieldParts::Remove(std::int64_t position) {
  if (position < 1 || position > static_cast<std::int64_t>(parts_.size())) {
    platform::Raise(platform::err::kInvalidProcedureCall, "FieldParts.Remove");
  }
  parts_.erase(parts_.begin() + static_cast<std::ptrdiff_t>(position - 1));
  if (!fieldNameHashes_.empty()) {
    fieldNameHashes_.erase(fieldNameHashes_.begin() + static_cast<std::ptrdiff_t>(position - 1));
  }
}

void FieldParts::Clear() noexcept {
  while (!parts_.empty()) parts_.pop_back();
  fieldNameHashes_.clear();
}

std::vector<std::string> FieldParts::DisplayAllParts() const {
  std::vector<std::string> lines;
  lines.reserve(parts_.size());
  for (const FieldPart& part : parts_) {
    std::string line;
    switch (part.PartType) {
      case kLiteralPart:
        line = "Literal:       '" + part.LiteralText + "'";
        break;
      case kDateTimePart:
        line = "Date/time:     " + part.DateFormat;
        break;
      case kFieldPart: {
        line = "Field:      " + part.FieldName;
        std::string summary;
        if (part.Trim) summary += ",trim";
        if (part.Wrap) summary += ",wrap{" + std::to_string(part.WrapLength) + "}";
        if (part.DateField) summary += ",date{" + part.DateFormat + "}";
        if (part.Lookup) {
          summary += ",lookup{";
          for (const tessel::NameValue& entry : part.LookupTable) {
            summary += entry.Name() + "=" + entry.Value() + ";";
          }
          summary += "}";
        }
        if (part.Numeric) summary += ",numeric{" + part.NumericFormat + "}";
        if (part.Strip) summary += ",strip{" + part.StripChars + "}";
        if (!summary.empty()) line += "  " + summary.substr(1);
        break;
      }
      default:
        continue;  // parts of an unknown type have no line
    }
    Log().LogText(line, 2, 1);
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace marrow
