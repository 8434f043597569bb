// ExpressionEvaluator: the value of parsed value expressions against a list
// of input fields (internal to the mapping library). FieldMappings and
// Condition use it for every translation and every operand.
//
// One evaluator stands for one translation call: every date/time part it
// evaluates shows the same instant, read from the platform clock the first
// time a date/time part asks for it.
//
// The text of a date/time part depends only on that instant and the part's
// format, and within one second every document asks for the same few, so the
// last texts are kept (per thread) and given again for the same instant and
// format.
#pragma once

#include <optional>
#include <string>

#include "host/tessel/name_value_list.h"
#include "mapping/field_parts.h"
#include "platform/variant.h"

namespace marrow {

class ExpressionEvaluator {
 public:
  // Appends the value of `parts` to `out`: literal texts, the date/time
  // texts, and each field reference's input value through its modifiers (a
  // reference to a field the input does not have contributes nothing).
  // Raises the modifiers' failures (field_modifiers.h).
  void Append(std::string& out, const FieldParts& parts, const tessel::NameValueList& input);

 private:
  const std::string& DateTimeText(const FieldPart& part);

  std::optional<platform::OleDate> now_;
  std::string nowText_;
  std::string modifierWork_;  // the field modifiers' buffer
};

}  // namespace marrow
