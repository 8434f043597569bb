#include "mapping/field_mappings.h"

#include <utility>

#include "host/tessel/string_builder.h"
#include "mapping/expression_evaluator.h"
#include "mapping/field_mapping.h"
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

void FieldMappings::Translate(const FieldMapping& mapping, const tessel::NameValueList& inputData,
                              ExpressionEvaluator& evaluator, std::string& out) {
  out.clear();
  evaluator.Append(out, mapping.Parts(), inputData);
  // Compared as views: the lengths first, so most names are told apart
  // without comparing their bytes.
  const std::string_view name = mapping.Name();
  if (name == "_newLineChar") out = NewLineValue(out);
  if (name == "_outputString") ApplyOutputReplacements(out, inputData);
}

tessel::NameValueList FieldMappings::TranslateFields(const tessel::NameValueList& inputData,
                                                     bool includeUnmappedFields) const {
  tessel::NameValueList output;
  output.Reserve(items_.size() +
                 (includeUnmappedFields ? static_cast<std::size_t>(inputData.Count()) : 0));
  // One instant for the whole call, so that every date/time part agrees.
  ExpressionEvaluator evaluator;
  std::string out;
  for (const auto& mapping : items_) {
    Translate(*mapping, inputData, evaluator, out);
    output.AddByExchange(mapping->Name(), out);
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

void FieldMappings::TranslateValues(const tessel::NameValueList& inputData,
                                    std::vector<std::string>& values) const {
  if (values.size() < items_.size()) values.resize(items_.size());
  ExpressionEvaluator evaluator;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    Translate(*items_[i], inputData, evaluator, values[i]);
  }
}

}  // namespace marrow
