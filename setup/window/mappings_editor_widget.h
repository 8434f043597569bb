// MappingsEditorWidget: the mappings editor of one tab of the setup window.
//
//   +-------------+--------------------------------------+---------------+
//   | Mapping     | Conditions of the selected class     | Sample values |
//   | classes     |  connector field operator value ...  |  field value  |
//   | (in the     +--------------------------------------+  (shared by   |
//   |  order they | Field mappings of the selected class |   the three   |
//   |  are tried) |  name  value expression  result      |   editors)    |
//   +-------------+--------------------------------------+---------------+
//   | XML of the whole file, in step with the tables; its problem, if any |
//   +---------------------------------------------------------------------+
//
// The state lives in a MappingsEditModel (setup/mappings_edit_model.h) and
// the preview is computed by setup/mappings_preview.h; this class only binds
// widgets to them. The sample values are one table model shared by all the
// editors of a window, so they are typed once.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QWidget>

#include "setup/mappings_edit_model.h"
#include "setup/mappings_editor.h"
#include "setup_window_export.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTableWidget;

namespace quillon {

class HostSetupData;

class SETUP_WINDOW_API MappingsEditorWidget final : public QWidget, public MappingsEditor {
 public:
  // `samples` is the window's shared sample table (two columns: field,
  // value); nullptr gives the editor a table of its own.
  explicit MappingsEditorWidget(QStandardItemModel* samples = nullptr, QWidget* parent = nullptr);
  ~MappingsEditorWidget() override;

  // MappingsEditor
  bool Changed() const override;
  void SetMappingMode(bool on) override;
  void LoadFromXml(std::string_view xml) override;
  std::string XmlText() const override;
  void SetSetupData(HostSetupData*& setupData) override;
  void SetFirstFieldList(const std::vector<std::string>& fields) override;
  void SetSecondFieldList(const std::vector<std::string>& fields) override;
  void SetVisible(bool visible) override;

  const MappingsEditModel& Model() const noexcept { return model_; }
  // The mode switch as the dialog last set it. The editor always edits
  // mapping classes; the switch is kept for the dialog's sake.
  bool MappingMode() const noexcept { return mappingMode_; }
  // The class whose tables are shown (nothing when there are no classes).
  int SelectedClass() const noexcept { return selected_; }
  void SelectClass(int index);

  // Adds the names to the sample table (those not there yet, empty values).
  static void AddSampleNames(QStandardItemModel& samples, const std::vector<std::string>& names);

 private:
  QWidget* BuildClassPanel();
  QWidget* BuildTablesPanel();
  QWidget* BuildSamplesPanel();
  QWidget* BuildXmlPanel();

  // Fill the widgets from the model. Structure: the class list and both
  // tables; Results: the preview columns and the status lines; Xml: the text.
  void ShowStructure();
  void ShowClassList();
  void ShowTables();
  void ShowResults();
  void ShowXml();
  void ShowStatus();
  // After any model edit that came from the tables.
  void TablesEdited(bool structure);

  void OnClassRenamed(int row);
  void OnConditionEdited(int row);
  void OnFieldEdited(int row);
  void OnXmlTyped();
  void AddClass();
  void RemoveClass();
  void MoveClass(int delta);
  void AddCondition();
  void RemoveCondition();
  void MoveCondition(int delta);
  void AddField();
  void RemoveField();
  void MoveField(int delta);

  MappingsEditModel model_;
  QStandardItemModel* samples_;
  bool mappingMode_ = true;
  int selected_ = -1;
  int filling_ = 0;  // > 0 while widgets are filled from the model
  std::string renameRefusal_;

  QWidget* content_ = nullptr;
  QListWidget* classList_ = nullptr;
  QTableWidget* conditions_ = nullptr;
  QTableWidget* fields_ = nullptr;
  QTableView* sampleView_ = nullptr;
  QPlainTextEdit* xmlView_ = nullptr;
  QLabel* classStatus_ = nullptr;
  QLabel* xmlStatus_ = nullptr;
  QPushButton* discardTyping_ = nullptr;
  std::vector<QWidget*> tableControls_;  // disabled while typed XML cannot be read
};

}  // namespace quillon
