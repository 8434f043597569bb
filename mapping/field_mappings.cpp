#include "mapping/field_mappings.h"

#include <optional>
#include <utility>

#include "host/tessel/string_builder.h"
#include "mapping/field_mapping.h"
#include "mapping/field_modifiers.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/format.h"
#include "platform/text.h"

namespace marrow {
namespace {

namespace text = platform::text;

constexpr const char* kSource = "FieldMappings";
constexpr std::int32_t kMaxReplaceNumber = 32767;  // the 16-bit counter of Replace_n

std::string Key(std::string_view name) {
  return text::LCase(name);
}

std::string NewLineValue(const std::string& out) {
  const std::string upper = text::UCase(out);
  if (upper == "Y" || upper == "LF") return "\n";
  if (upper == "CR") return "\r\n";
  return {};
}

// One "search|replacement" pair applied to the output string.
void ApplyReplacePair(std::string& out, const std::string& search, const std::string& replacement) {
  if (search.empty()) return;  // nothing to find; searching would never end
  out = text::Replace(out, search, replacement);
  // Repeating is only safe while every pass shortens the text: a replacement
  // that holds its own search text would repeat for ever, and one like
  // 'ab' -> 'bba' would grow the text exponentially before it ends.
  if (replacement.size() >= search.size()) return;
  while (out.find(search) != std::string::npos) out = text::Replace(out, search, replacement);
}

void ApplyOutputReplacements(std::string& out, const tessel::NameValueList& input) {
  for (std::int32_t n = 1;; ++n) {
    const tessel::NameValue* entry = input.Item("Replace_" + std::to_string(n));
    if (entry == nullptr) return;
    const std::vector<std::string> pieces = text::Split(entry->Value(), "|");
    if (pieces.size() < 2) platform::Raise(platform::err::kSubscriptOutOfRange, kSource);
    ApplyReplacePair(out, pieces[0], pieces[1]);
    if (n == kMaxReplaceNumber) platform::Raise(platform::err::kOverflow, kSource);
  }
}

}  // namespace

FieldMappings::FieldMappings() = default;
FieldMappings::~FieldMappings() {
  Clear();
}
FieldMappings::FieldMappings(FieldMappings&&) noexcept = default;
FieldMappings& FieldMappings::operator=(FieldMappings&&) noexcept = default;

void FieldMappings::Add(std::string_view name, std::string_view value) {
  if (text::Trim(name).empty()) return;
  const auto found = index_.find(Key(name));
  if (found != index_.end()) {
    items_[found->second]->SetValue(value);
    return;
  }
  auto mapping = std::make_unique<FieldMapping>(name, value);
  index_.emplace(Key(name), items_.size());
  items_.push_back(std::move(mapping));
}

void FieldMappings::AddFromString(std::string_view nameValueString, std::string_view pairDelimiter,
                                  std::string_view valueDelimiter) {
  Clear();
  if (text::Trim(nameValueString).empty()) return;
  for (const std::string& item : text::Split(nameValueString, pairDelimiter)) {
    const std::size_t at = valueDelimiter.empty() ? std::string::npos : item.find(valueDelimiter);
    if (at == std::string::npos) continue;
    const std::string_view name = std::string_view(item).substr(0, at);
    // A nameless mapping could never be asked for, and Add refuses it too.
    if (name.empty()) continue;
    // The value is parsed even when the name is taken, so a bad expression
    // fails the whole text whichever copy of a name it sits in.
    auto mapping = std::make_unique<FieldMapping>(
        name, std::string_view(item).substr(at + valueDelimiter.size()));
    if (Exists(name)) continue;
    index_.emplace(Key(name), items_.size());
    items_.push_back(std::move(mapping));
  }
}

std::string FieldMappings::ToString(std::string_view pairDelimiter,
                                    std::string_view valueDelimiter) const {
  try {
    if (items_.empty()) return {};
    tessel::StringBuilder builder;
    for (const auto& mapping : items_) {
      if (builder.Length() > 0) builder.Append(pairDelimiter);
      builder.Append(mapping->Name());
      builder.Append(valueDelimiter);
      builder.Append(mapping->Value());
    }
    return builder.Text();
  } catch (...) {
    return {};
  }
}

void FieldMappings::Clear() {
  while (!items_.empty()) items_.pop_back();
  index_.clear();
}

bool FieldMappings::Exists(std::string_view name) const {
  return index_.find(Key(name)) != index_.end();
}

const FieldMapping* FieldMappings::Item(std::string_view name) const {
  const auto found = index_.find(Key(name));
  return found == index_.end() ? nullptr : items_[found->second].get();
}

std::int32_t FieldMappings::Count() const {
  return static_cast<std::int32_t>(items_.size());
}

std::vector<std::string> FieldMappings::DisplayAllParts(std::string_view name) const {
  const FieldMapping* mapping = Item(name);
  if (mapping == nullptr) return {};
  return mapping->Parts().DisplayAllParts();
}

tessel::NameValueList FieldMappings::TranslateFields(const tessel::NameValueList& inputData,
                                                     bool includeUnmappedFields) const {
  tessel::NameValueList output;
  // One instant for the whole call, so that every date/time part agrees.
  const platform::OleDate now = platform::CurrentClock().Now();
  std::optional<std::string> nowText;

  for (const auto& mapping : items_) {
    std::string out;
    for (const FieldPart& part : mapping->Parts()) {
      switch (part.PartType) {
        case kLiteralPart:
          out += part.LiteralText;
          break;
        case kDateTimePart:
          if (!nowText) nowText = platform::FormatGeneralDate(now);
          out += FormatDateValue(*nowText, part.DateFormat);
          break;
        case kFieldPart:
          if (const tessel::NameValue* entry = inputData.Item(part.FieldName)) {
            out += ApplyFieldModifiers(entry->Value(), part);
          }
          break;
        default:
          break;
      }
    }
    if (mapping->Name() == "_newLineChar") out = NewLineValue(out);
    if (mapping->Name() == "_outputString") ApplyOutputReplacements(out, inputData);
    output.Add(mapping->Name(), out);
  }

  if (includeUnmappedFields) {
    // Entry by entry rather than through the list's text form, which would
    // cut values holding ";" or "=" apart.
    for (const tessel::NameValue& entry : inputData) {
      if (!output.Exists(entry.Name())) output.Add(entry.Name(), entry.Value());
    }
  }
  return output;
}

}  // namespace marrow
