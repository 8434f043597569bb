#include "setup/mappings_edit_model.h"

#include <unordered_map>
#include <utility>

#include "platform/text.h"

namespace quillon {
namespace {

constexpr std::string_view kNewClassName = "New class";

template <typename Row>
bool MoveRow(std::vector<Row>& rows, std::size_t index, int delta) {
  if (index >= rows.size() || (delta != -1 && delta != 1)) return false;
  if (delta < 0 && index == 0) return false;
  if (delta > 0 && index + 1 >= rows.size()) return false;
  const std::size_t other = delta < 0 ? index - 1 : index + 1;
  std::swap(rows[index], rows[other]);
  return true;
}

bool NameTaken(const std::vector<MappingClassRow>& classes, std::string_view name,
               std::size_t except) {
  for (std::size_t i = 0; i < classes.size(); ++i) {
    if (i != except && platform::text::EqualsCaseless(classes[i].name, name)) return true;
  }
  return false;
}

}  // namespace

MappingsEditModel::MappingsEditModel() : xmlText_(WriteMappingClassRows({})) {}

void MappingsEditModel::Load(std::string_view xml) {
  MappingClassReadResult read = ReadMappingClassRows(xml);
  classes_ = std::move(read.classes);
  problem_ = std::move(read.problem);
  tablesEditable_ = !problem_.has_value();
  xmlText_ = tablesEditable_ ? WriteMappingClassRows(classes_) : std::string(xml);
  changed_ = false;
}

std::vector<std::string> MappingsEditModel::Remarks() const {
  std::vector<std::string> remarks;
  for (const MappingClassRow& mappingClass : classes_) {
    std::unordered_map<std::string, int> seen;
    for (const FieldRow& field : mappingClass.fields) {
      if (platform::text::Trim(field.name).empty()) {
        remarks.push_back("Class '" + mappingClass.name +
                          "': a field mapping without a name is ignored.");
        continue;
      }
      if (++seen[platform::text::LCase(field.name)] == 2) {
        remarks.push_back("Class '" + mappingClass.name + "': the field name '" + field.name +
                          "' is used more than once; only its last value is used.");
      }
    }
  }
  return remarks;
}

void MappingsEditModel::SetXmlText(std::string_view typed) {
  changed_ = true;
  xmlText_.assign(typed);
  MappingClassReadResult read = ReadMappingClassRows(typed);
  problem_ = std::move(read.problem);
  tablesEditable_ = !problem_.has_value();
  if (tablesEditable_) classes_ = std::move(read.classes);
}

void MappingsEditModel::DiscardTypedText() {
  if (tablesEditable_) return;
  tablesEditable_ = true;
  TablesEdited();
}

void MappingsEditModel::TablesEdited() {
  changed_ = true;
  xmlText_ = WriteMappingClassRows(classes_);
  problem_ = ReadMappingClassRows(xmlText_).problem;
}

bool MappingsEditModel::Editable(std::size_t classIndex) const noexcept {
  return tablesEditable_ && classIndex < classes_.size();
}

std::optional<std::size_t> MappingsEditModel::AddClass(std::string_view name) {
  if (!tablesEditable_) return std::nullopt;
  const std::string base(platform::text::Trim(name).empty() ? kNewClassName : name);
  std::string unique = base;
  for (int n = 2; NameTaken(classes_, unique, classes_.size()); ++n) {
    unique = base + " " + std::to_string(n);
  }
  classes_.push_back({unique, {}, {}});
  TablesEdited();
  return classes_.size() - 1;
}

bool MappingsEditModel::RemoveClass(std::size_t index) {
  if (!Editable(index)) return false;
  classes_.erase(classes_.begin() + static_cast<std::ptrdiff_t>(index));
  TablesEdited();
  return true;
}

bool MappingsEditModel::RenameClass(std::size_t index, std::string_view name, std::string* why) {
  if (!Editable(index)) return false;
  std::string reason;
  if (platform::text::Trim(name).empty()) {
    reason = "A mapping class needs a name.";
  } else if (NameTaken(classes_, name, index)) {
    reason = "Another mapping class is already named '" + std::string(name) +
             "' (letter case does not count).";
  }
  if (!reason.empty()) {
    if (why != nullptr) *why = std::move(reason);
    return false;
  }
  if (classes_[index].name == name) return true;
  classes_[index].name.assign(name);
  TablesEdited();
  return true;
}

bool MappingsEditModel::MoveClass(std::size_t index, int delta) {
  if (!tablesEditable_ || !MoveRow(classes_, index, delta)) return false;
  TablesEdited();
  return true;
}

bool MappingsEditModel::AddCondition(std::size_t classIndex, ConditionRow row) {
  if (!Editable(classIndex)) return false;
  classes_[classIndex].conditions.push_back(std::move(row));
  TablesEdited();
  return true;
}

bool MappingsEditModel::SetCondition(std::size_t classIndex, std::size_t row,
                                     const ConditionRow& value) {
  if (!Editable(classIndex) || row >= classes_[classIndex].conditions.size()) return false;
  ConditionRow& target = classes_[classIndex].conditions[row];
  if (target == value) return true;
  target = value;
  TablesEdited();
  return true;
}

bool MappingsEditModel::RemoveCondition(std::size_t classIndex, std::size_t row) {
  if (!Editable(classIndex) || row >= classes_[classIndex].conditions.size()) return false;
  auto& rows = classes_[classIndex].conditions;
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
  TablesEdited();
  return true;
}

bool MappingsEditModel::MoveCondition(std::size_t classIndex, std::size_t row, int delta) {
  if (!Editable(classIndex) || !MoveRow(classes_[classIndex].conditions, row, delta)) return false;
  TablesEdited();
  return true;
}

bool MappingsEditModel::AddField(std::size_t classIndex, FieldRow row) {
  if (!Editable(classIndex)) return false;
  classes_[classIndex].fields.push_back(std::move(row));
  TablesEdited();
  return true;
}

bool MappingsEditModel::SetField(std::size_t classIndex, std::size_t row, const FieldRow& value) {
  if (!Editable(classIndex) || row >= classes_[classIndex].fields.size()) return false;
  FieldRow& target = classes_[classIndex].fields[row];
  if (target == value) return true;
  target = value;
  TablesEdited();
  return true;
}

bool MappingsEditModel::RemoveField(std::size_t classIndex, std::size_t row) {
  if (!Editable(classIndex) || row >= classes_[classIndex].fields.size()) return false;
  auto& rows = classes_[classIndex].fields;
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
  TablesEdited();
  return true;
}

bool MappingsEditModel::MoveField(std::size_t classIndex, std::size_t row, int delta) {
  if (!Editable(classIndex) || !MoveRow(classes_[classIndex].fields, row, delta)) return false;
  TablesEdited();
  return true;
}

}  // namespace quillon
