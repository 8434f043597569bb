// The mappings editor's live preview, without widgets: what the mapping
// library makes of the rows being edited for a set of sample field values.
//
// Everything is computed by the library itself (conditions, translation),
// applied level by level as a release applies it (release/field_work_list.h),
// so the preview shows what a release would make of a document holding the
// sample values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "setup/mapping_class_rows.h"

namespace quillon {

class HostSetupData;

// The result of one field mapping: its value, or the library's error with
// the place of the failing bracketed item (1-based character position in the
// expression; 0 when no single item fails on its own).
struct FieldPreview {
  bool ok = true;
  std::string value;
  int errorNumber = 0;
  std::string errorDescription;
  std::size_t position = 0;

  // The value, or "error 13 at 5: Type mismatch".
  QUILLON_API std::string Text() const;
};

// Translates one field mapping (under its own name, so the names that the
// translation treats specially behave as in a release) against the samples.
QUILLON_API FieldPreview PreviewField(const FieldRow& row, const tessel::NameValueList& samples);

struct ConditionsPreview {
  std::vector<bool> each;  // every condition on its own
  bool all = true;         // the list, connectors applied (an empty list holds)
};

QUILLON_API ConditionsPreview PreviewConditions(const std::vector<ConditionRow>& rows,
                                                const tessel::NameValueList& samples);

// One level of a release over the sample values: the classes are tried in
// order, each against the values as the classes before it left them, and
// every class whose conditions hold is applied (its mapped fields replace
// those of the same name, the others stay). A class whose conditions hold
// but whose mappings cannot be read or translated (a release fails the
// document there) is noted and left out. Service lines are not generated
// here.
struct LevelPreview {
  std::vector<std::size_t> applied;  // the classes that apply, in order
  std::vector<std::size_t> failed;   // the classes that hold but cannot translate
  // The values that reach the class asked about (the samples when it is the
  // first, or when no class was asked about).
  tessel::NameValueList input;
};

QUILLON_API LevelPreview PreviewLevel(const std::vector<MappingClassRow>& classes,
                                      const tessel::NameValueList& samples,
                                      std::optional<std::size_t> inputOf = std::nullopt);

// The names under which a release hands the batch class's values to the
// mappings, for the sample table: the destinations of the links in link
// order, then the names of the index fields, batch fields and host
// variables that a save links under their own names. Each name once, letter
// case ignored.
QUILLON_API std::vector<std::string> SampleFieldNames(HostSetupData& setupData);

}  // namespace quillon
