#include "setup/mappings_preview.h"

#include <unordered_set>

#include "host/host_setup_data.h"
#include "mapping/conditions.h"
#include "mapping/field_mappings.h"
#include "platform/error.h"
#include "platform/text.h"
#include "release/field_work_list.h"

namespace quillon {
namespace {

// A name the translation treats like any other, for trying one bracketed
// item on its own.
constexpr std::string_view kPlainName = "Preview";

// The 1-based character position of the first bracketed item of the
// expression that fails on its own (parsing it, and with `translate` also
// translating it against the samples); 0 when none does. Brackets are found
// as the expression parser finds them: "[" up to the next "]", no nesting.
std::size_t FailingItemPosition(std::string_view expression, const tessel::NameValueList& samples,
                                bool translate) {
  std::size_t from = 0;
  while (from < expression.size()) {
    const std::size_t open = expression.find('[', from);
    if (open == std::string_view::npos) break;
    const std::size_t close = expression.find(']', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view inner = expression.substr(open + 1, close - open - 1);
    if (!inner.empty()) {
      try {
        marrow::FieldMappings single;
        single.Add(kPlainName, "[" + std::string(inner) + "]");
        if (translate) single.TranslateFields(samples);
      } catch (const platform::Error&) {
        return platform::text::Len(expression.substr(0, open)) + 1;
      }
    }
    from = close + 1;
  }
  return 0;
}

FieldPreview Failed(const platform::Error& e, std::size_t position) {
  FieldPreview preview;
  preview.ok = false;
  preview.errorNumber = e.Number();
  preview.errorDescription = e.Description();
  preview.position = position;
  return preview;
}

}  // namespace

std::string FieldPreview::Text() const {
  if (ok) return value;
  std::string text = "error " + std::to_string(errorNumber);
  if (position > 0) text += " at " + std::to_string(position);
  return text + ": " + errorDescription;
}

FieldPreview PreviewField(const FieldRow& row, const tessel::NameValueList& samples) {
  // A row without a name adds nothing to a mapping set; its expression is
  // still worth seeing.
  const std::string name =
      platform::text::Trim(row.name).empty() ? std::string(kPlainName) : row.name;
  marrow::FieldMappings set;
  try {
    set.Add(name, row.value);
  } catch (const platform::Error& e) {
    return Failed(e, FailingItemPosition(row.value, samples, false));
  }
  try {
    const tessel::NameValueList out = set.TranslateFields(samples);
    FieldPreview preview;
    if (const tessel::NameValue* item = out.Item(std::string_view(name))) {
      preview.value = item->Value();
    }
    return preview;
  } catch (const platform::Error& e) {
    return Failed(e, FailingItemPosition(row.value, samples, true));
  }
}

ConditionsPreview PreviewConditions(const std::vector<ConditionRow>& rows,
                                    const tessel::NameValueList& samples) {
  marrow::Conditions conditions;
  for (const ConditionRow& row : rows) {
    conditions.Add(row.field, row.op, row.value, row.connector, row.compareMode);
  }
  ConditionsPreview preview;
  preview.each.reserve(rows.size());
  for (const auto& condition : conditions) preview.each.push_back(condition->Evaluate(samples));
  preview.all = conditions.Evaluate(samples);
  return preview;
}

LevelPreview PreviewLevel(const std::vector<MappingClassRow>& classes,
                          const tessel::NameValueList& samples,
                          std::optional<std::size_t> inputOf) {
  LevelPreview preview;
  FieldWorkList work(samples);
  for (std::size_t i = 0; i < classes.size(); ++i) {
    if (inputOf == i) preview.input = work.Materialize();
    const MappingClassRow& mappingClass = classes[i];
    if (!PreviewConditions(mappingClass.conditions, work.List()).all) continue;
    try {
      marrow::FieldMappings set;
      for (const FieldRow& field : mappingClass.fields) set.Add(field.name, field.value);
      work.Apply(set.TranslateFields(work.List(), false));
    } catch (const platform::Error&) {
      preview.failed.push_back(i);
      continue;
    }
    preview.applied.push_back(i);
  }
  if (!inputOf || *inputOf >= classes.size()) preview.input = samples;
  return preview;
}

std::vector<std::string> SampleFieldNames(HostSetupData& setupData) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  const auto add = [&](const std::string& name) {
    if (name.empty()) return;
    if (seen.insert(platform::text::LCase(name)).second) names.push_back(name);
  };
  const auto addAll = [&](const HostNames& list, const std::unordered_set<std::string>* except) {
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
      const std::string& name = list.Item(i);
      if (except == nullptr || !except->contains(platform::text::LCase(name))) add(name);
    }
  };

  const HostLinks& links = setupData.Links();
  std::unordered_set<std::string> linkedSources;
  for (std::int32_t i = 1; i <= links.Count(); ++i) {
    const HostLink& link = links.Item(i);
    add(link.Destination);
    linkedSources.insert(platform::text::LCase(link.Source));
  }
  // What a save links under the field's own name: every index field whose
  // first link has another destination, every batch field no link carries,
  // every host variable.
  addAll(setupData.IndexFields(), nullptr);
  addAll(setupData.BatchFields(), &linkedSources);
  addAll(setupData.HostVariables(), nullptr);
  return names;
}

}  // namespace quillon
