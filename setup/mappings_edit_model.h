// MappingsEditModel: the state behind one mappings editor, without widgets.
//
// The editor shows one mapping-class document two ways: as tables (the list
// of classes; for the selected class its conditions and its field mappings)
// and as the XML text of the whole document. Both stay in step:
//
//   - a table edit rewrites the XML text from the tables;
//   - typed XML that the mapping library reads replaces the tables;
//   - typed XML that it cannot read is kept exactly as typed, the problem is
//     reported with its line and column, and the tables keep their last good
//     state and refuse edits (an edit would rewrite the text and lose what was
//     typed) until the text reads again or the typing is discarded.
//
// A document handed to Load is shown as the tables would write it (one
// element a line: the library's own text has no line breaks), or, when the
// library cannot read it, exactly as given. Problem() also reports rows that
// the library would refuse (an expression that does not parse, a class name
// used twice) although the tables stay editable then.
//
// The changed flag is false right after Load and true after any edit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillon_export.h"
#include "setup/mapping_class_rows.h"

namespace quillon {

class QUILLON_API MappingsEditModel {
 public:
  MappingsEditModel();

  // Shows a document for editing and clears the changed flag.
  void Load(std::string_view xml);

  // The document as it stands: the text typed, or the text written from the
  // tables.
  const std::string& XmlText() const noexcept { return xmlText_; }
  const std::vector<MappingClassRow>& Classes() const noexcept { return classes_; }
  // Why the mapping library cannot read XmlText(); nothing when it can.
  const std::optional<XmlProblem>& Problem() const noexcept { return problem_; }
  // False while the text holds typing that cannot be read.
  bool TablesEditable() const noexcept { return tablesEditable_; }
  // Remarks on rows that load but do not do what they seem to: a field name
  // used twice in a class (the library keeps one), a blank field name (the
  // library drops the row).
  std::vector<std::string> Remarks() const;
  bool Changed() const noexcept { return changed_; }

  // The XML view's text was edited.
  void SetXmlText(std::string_view typed);
  // Gives up typing that cannot be read: the text is written from the tables
  // again.
  void DiscardTypedText();

  // Table edits. Each returns false and changes nothing when the tables are
  // not editable or a position is out of range.
  //
  // Adds a class at the end (or `name` + " 2", " 3", ... when the name is
  // taken; "New class" when blank) and returns its position, or nothing.
  std::optional<std::size_t> AddClass(std::string_view name = {});
  bool RemoveClass(std::size_t index);
  // Refused (with the reason in `why`) for a blank name or a name another
  // class has, letter case ignored: the library keys classes by name.
  bool RenameClass(std::size_t index, std::string_view name, std::string* why = nullptr);
  // Moves a class one place up (delta -1) or down (+1); classes are tried in
  // order, so the order matters.
  bool MoveClass(std::size_t index, int delta);

  bool AddCondition(std::size_t classIndex, ConditionRow row = {});
  bool SetCondition(std::size_t classIndex, std::size_t row, const ConditionRow& value);
  bool RemoveCondition(std::size_t classIndex, std::size_t row);
  bool MoveCondition(std::size_t classIndex, std::size_t row, int delta);

  bool AddField(std::size_t classIndex, FieldRow row = {});
  bool SetField(std::size_t classIndex, std::size_t row, const FieldRow& value);
  bool RemoveField(std::size_t classIndex, std::size_t row);
  bool MoveField(std::size_t classIndex, std::size_t row, int delta);

 private:
  bool Editable(std::size_t classIndex) const noexcept;
  // After a table edit: rewrite the text and check it through the library.
  void TablesEdited();

  std::vector<MappingClassRow> classes_;
  std::string xmlText_;
  std::optional<XmlProblem> problem_;
  bool tablesEditable_ = true;
  bool changed_ = false;
};

}  // namespace quillon
