#include "mapping/expression_evaluator.h"

#include <array>
#include <functional>

#include "mapping/field_modifiers.h"
#include "platform/clock.h"
#include "platform/format.h"

namespace marrow {

namespace {

struct DateTimeTextEntry {
  double serial = 0;
  bool used = false;
  std::string format;
  std::string text;
};

// A few recent date/time texts, chosen by the format's hash.
thread_local std::array<DateTimeTextEntry, 8> recentDateTimeTexts;

}  // namespace

const std::string& ExpressionEvaluator::DateTimeText(const FieldPart& part) {
  if (!now_) {
    now_ = platform::CurrentClock().Now();
    nowText_ = platform::FormatGeneralDate(*now_);
  }
  DateTimeTextEntry& entry =
      recentDateTimeTexts[std::hash<std::string>{}(part.DateFormat) % recentDateTimeTexts.size()];
  if (!entry.used || entry.serial != now_->serial || entry.format != part.DateFormat) {
    entry.text = FormatDateValue(nowText_, part.DateFormat);
    entry.serial = now_->serial;
    entry.format = part.DateFormat;
    entry.used = true;
  }
  return entry.text;
}

void ExpressionEvaluator::Append(std::string& out, const FieldParts& parts,
                                 const tessel::NameValueList& input) {
  const std::vector<std::size_t>& hashes = parts.FieldNameHashes();
  std::size_t index = 0;
  for (const FieldPart& part : parts) {
    const std::size_t at = index++;
    switch (part.PartType) {
      case kLiteralPart:
        out += part.LiteralText;
        break;
      case kDateTimePart:
        out += DateTimeText(part);
        break;
      case kFieldPart:
        if (const tessel::NameValue* entry = hashes.empty()
                                                 ? input.Item(part.FieldName)
                                                 : input.Item(part.FieldName, hashes[at])) {
          AppendFieldModifiers(out, entry->Value(), part, modifierWork_);
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace marrow
