#include "setup/window/mappings_editor_widget.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "host/host_setup_data.h"
#include "mapping/conditions.h"
#include "setup/mappings_preview.h"

namespace quillon {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

enum ConditionColumn { kConnector, kField, kOperator, kValue, kIgnoreCase, kConditionResult };
enum FieldColumn { kName, kExpression, kFieldResult };

const QColor kGood(0, 110, 0);
const QColor kBad(180, 0, 0);
const QColor kWarn(150, 90, 0);

// Fills widgets without their change notifications reaching the model.
class Filling {
 public:
  explicit Filling(int& depth) : depth_(depth) { ++depth_; }
  ~Filling() { --depth_; }
  Filling(const Filling&) = delete;
  Filling& operator=(const Filling&) = delete;

 private:
  int& depth_;
};

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QPushButton* Button(const QString& text, const char* name, const QString& tip) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setToolTip(tip);
  return button;
}

QGroupBox* Group(const QString& title, QLayout* layout) {
  auto* box = new QGroupBox(title);
  box->setLayout(layout);
  return box;
}

// The result column of a preview: the value, or the error in red with the
// expression marked at the failing place in the tooltip.
void ShowPreview(QTableWidgetItem* item, const FieldPreview& preview, const std::string& expr) {
  item->setText(Q(preview.Text()));
  item->setForeground(QBrush(preview.ok ? QColor(Qt::black) : kBad));
  if (preview.ok || preview.position == 0) {
    item->setToolTip(Q(preview.Text()));
    return;
  }
  const QString expression = Q(expr);
  // Positions count characters (code points); QString counts UTF-16 units.
  const QList<uint> codePoints = expression.toUcs4();
  int units = 0;
  for (qsizetype i = 0; i + 1 < static_cast<qsizetype>(preview.position) && i < codePoints.size();
       ++i) {
    units += QChar::requiresSurrogates(codePoints[i]) ? 2 : 1;
  }
  item->setToolTip(Q(preview.Text()) + "\n" + expression + "\n" + QString(units, ' ') + "^");
}

}  // namespace

MappingsEditorWidget::MappingsEditorWidget(QStandardItemModel* samples, QWidget* parent)
    : QWidget(parent), samples_(samples) {
  if (samples_ == nullptr) {
    samples_ = new QStandardItemModel(0, 2, this);
    samples_->setHorizontalHeaderLabels({"Field", "Sample value"});
  }

  auto* upper = new QSplitter(Qt::Horizontal);
  upper->addWidget(BuildClassPanel());
  upper->addWidget(BuildTablesPanel());
  upper->addWidget(BuildSamplesPanel());
  upper->setStretchFactor(0, 2);
  upper->setStretchFactor(1, 7);
  upper->setStretchFactor(2, 3);
  upper->setSizes({220, 640, 300});

  auto* whole = new QSplitter(Qt::Vertical);
  whole->addWidget(upper);
  whole->addWidget(BuildXmlPanel());
  whole->setStretchFactor(0, 3);
  whole->setStretchFactor(1, 2);

  // The editor's own visibility (SetVisible) shows or hides its contents;
  // the widget itself stays under the control of the tab it sits in.
  content_ = new QWidget;
  auto* contentLayout = new QVBoxLayout(content_);
  contentLayout->setContentsMargins(0, 0, 0, 0);
  contentLayout->addWidget(whole);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(content_);

  connect(samples_, &QStandardItemModel::dataChanged, this, [this] { ShowResults(); });
  connect(samples_, &QStandardItemModel::rowsInserted, this, [this] { ShowResults(); });
  ShowStructure();
  ShowXml();
}

MappingsEditorWidget::~MappingsEditorWidget() = default;

QWidget* MappingsEditorWidget::BuildClassPanel() {
  classList_ = new QListWidget;
  classList_->setObjectName("classList");
  classList_->setToolTip(
      "Mapping classes, in the order a release tries them: the first class whose conditions "
      "hold for a document is used. Double-click a name to rename it.");
  connect(classList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (filling_ == 0) SelectClass(row);
  });
  connect(classList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (filling_ == 0) OnClassRenamed(classList_->row(item));
  });

  auto* add = Button("Add", "addClass", "Add a mapping class at the end of the list");
  auto* remove = Button("Remove", "removeClass", "Remove the selected mapping class");
  auto* rename = Button("Rename", "renameClass", "Rename the selected mapping class");
  auto* up = Button("Up", "moveClassUp", "Try the selected class one place earlier");
  auto* down = Button("Down", "moveClassDown", "Try the selected class one place later");
  connect(add, &QPushButton::clicked, this, [this] { AddClass(); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveClass(); });
  connect(rename, &QPushButton::clicked, this, [this] {
    if (QListWidgetItem* item = classList_->currentItem()) classList_->editItem(item);
  });
  connect(up, &QPushButton::clicked, this, [this] { MoveClass(-1); });
  connect(down, &QPushButton::clicked, this, [this] { MoveClass(1); });

  auto* buttons = new QGridLayout;
  buttons->addWidget(add, 0, 0);
  buttons->addWidget(remove, 0, 1);
  buttons->addWidget(rename, 1, 0, 1, 2);
  buttons->addWidget(up, 2, 0);
  buttons->addWidget(down, 2, 1);

  auto* layout = new QVBoxLayout;
  layout->addWidget(classList_, 1);
  layout->addLayout(buttons);
  tableControls_ = {classList_, add, remove, rename, up, down};
  return Group("Mapping classes", layout);
}

QWidget* MappingsEditorWidget::BuildTablesPanel() {
  conditions_ = new QTableWidget(0, 6);
  conditions_->setObjectName("conditionsTable");
  conditions_->setHorizontalHeaderLabels(
      {"Connector", "Field", "Operator", "Value", "Ignore case", "Result"});
  conditions_->horizontalHeader()->setSectionResizeMode(kField, QHeaderView::Stretch);
  conditions_->horizontalHeader()->setSectionResizeMode(kValue, QHeaderView::Stretch);
  conditions_->horizontalHeader()->setSectionResizeMode(kConditionResult, QHeaderView::Stretch);
  conditions_->verticalHeader()->setDefaultSectionSize(26);
  conditions_->setSelectionBehavior(QAbstractItemView::SelectRows);
  conditions_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(conditions_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ == 0 && item->column() != kConditionResult) OnConditionEdited(item->row());
  });

  fields_ = new QTableWidget(0, 3);
  fields_->setObjectName("fieldsTable");
  fields_->setHorizontalHeaderLabels({"Name", "Value expression", "Result"});
  fields_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Interactive);
  fields_->horizontalHeader()->setSectionResizeMode(kExpression, QHeaderView::Stretch);
  fields_->horizontalHeader()->setSectionResizeMode(kFieldResult, QHeaderView::Stretch);
  fields_->setColumnWidth(kName, 150);
  fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fields_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(fields_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ == 0 && item->column() != kFieldResult) OnFieldEdited(item->row());
  });

  auto rowButtons = [this](const char* prefix, auto add, auto remove, auto move) {
    const QString p(prefix);
    auto* addButton = Button("Add", (p + "Add").toLatin1().constData(), "Add a row at the end");
    auto* removeButton =
        Button("Remove", (p + "Remove").toLatin1().constData(), "Remove the selected row");
    auto* upButton =
        Button("Up", (p + "Up").toLatin1().constData(), "Move the selected row one place up");
    auto* downButton =
        Button("Down", (p + "Down").toLatin1().constData(), "Move the selected row one place down");
    connect(addButton, &QPushButton::clicked, this, add);
    connect(removeButton, &QPushButton::clicked, this, remove);
    connect(upButton, &QPushButton::clicked, this, [move] { move(-1); });
    connect(downButton, &QPushButton::clicked, this, [move] { move(1); });
    auto* row = new QHBoxLayout;
    row->addWidget(addButton);
    row->addWidget(removeButton);
    row->addWidget(upButton);
    row->addWidget(downButton);
    row->addStretch(1);
    tableControls_.insert(tableControls_.end(), {addButton, removeButton, upButton, downButton});
    return row;
  };

  auto* conditionLayout = new QVBoxLayout;
  conditionLayout->addWidget(conditions_, 1);
  conditionLayout->addLayout(rowButtons(
      "condition", [this] { AddCondition(); }, [this] { RemoveCondition(); },
      [this](int delta) { MoveCondition(delta); }));
  auto* fieldLayout = new QVBoxLayout;
  fieldLayout->addWidget(fields_, 1);
  fieldLayout->addLayout(rowButtons(
      "field", [this] { AddField(); }, [this] { RemoveField(); },
      [this](int delta) { MoveField(delta); }));
  tableControls_.push_back(conditions_);
  tableControls_.push_back(fields_);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(Group("Conditions of the selected class", conditionLayout));
  split->addWidget(Group("Field mappings of the selected class", fieldLayout));
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);

  // What the preview makes of the classes for the sample values.
  classStatus_ = new QLabel;
  classStatus_->setObjectName("classStatus");
  classStatus_->setWordWrap(true);
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split, 1);
  layout->addWidget(classStatus_);
  return panel;
}

QWidget* MappingsEditorWidget::BuildSamplesPanel() {
  sampleView_ = new QTableView;
  sampleView_->setObjectName("samplesTable");
  sampleView_->setModel(samples_);
  sampleView_->horizontalHeader()->setStretchLastSection(true);
  sampleView_->verticalHeader()->setVisible(false);
  sampleView_->setToolTip(
      "Values of one imagined document. The results in the tables are computed from them; "
      "the sample values are shared by all mapping tabs.");
  auto* layout = new QVBoxLayout;
  layout->addWidget(sampleView_);
  return Group("Sample values", layout);
}

QWidget* MappingsEditorWidget::BuildXmlPanel() {
  xmlView_ = new QPlainTextEdit;
  xmlView_->setObjectName("xmlView");
  xmlView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  xmlView_->setLineWrapMode(QPlainTextEdit::NoWrap);
  xmlView_->setTabChangesFocus(true);
  connect(xmlView_, &QPlainTextEdit::textChanged, this, [this] {
    if (filling_ == 0) OnXmlTyped();
  });

  xmlStatus_ = new QLabel;
  xmlStatus_->setObjectName("xmlStatus");
  xmlStatus_->setWordWrap(true);
  xmlStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  discardTyping_ = Button("Discard typed text", "discardTyping",
                          "Give up the typing in the XML and show the tables' document again");
  connect(discardTyping_, &QPushButton::clicked, this, [this] {
    model_.DiscardTypedText();
    ShowStructure();
    ShowXml();
  });

  auto* status = new QHBoxLayout;
  status->addWidget(xmlStatus_, 1);
  status->addWidget(discardTyping_);
  auto* layout = new QVBoxLayout;
  layout->addWidget(xmlView_, 1);
  layout->addLayout(status);
  return Group("XML of the whole file", layout);
}

// ---------------------------------------------------------------- MappingsEditor

bool MappingsEditorWidget::Changed() const {
  return model_.Changed();
}

void MappingsEditorWidget::SetMappingMode(bool on) {
  mappingMode_ = on;
}

void MappingsEditorWidget::LoadFromXml(std::string_view xml) {
  model_.Load(xml);
  selected_ = model_.Classes().empty() ? -1 : 0;
  ShowStructure();
  ShowXml();
}

std::string MappingsEditorWidget::XmlText() const {
  return model_.XmlText();
}

void MappingsEditorWidget::SetSetupData(HostSetupData*& setupData) {
  if (setupData != nullptr) AddSampleNames(*samples_, SampleFieldNames(*setupData));
}

void MappingsEditorWidget::SetFirstFieldList(const std::vector<std::string>& fields) {
  AddSampleNames(*samples_, fields);
}

void MappingsEditorWidget::SetSecondFieldList(const std::vector<std::string>& fields) {
  AddSampleNames(*samples_, fields);
}

void MappingsEditorWidget::SetVisible(bool visible) {
  content_->setVisible(visible);
}

void MappingsEditorWidget::AddSampleNames(QStandardItemModel& samples,
                                          const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const QString text = Q(name);
    bool present = false;
    for (int row = 0; row < samples.rowCount() && !present; ++row) {
      present = samples.item(row, 0)->text().compare(text, Qt::CaseInsensitive) == 0;
    }
    if (present) continue;
    auto* nameItem = new QStandardItem(text);
    nameItem->setEditable(false);
    samples.appendRow({nameItem, new QStandardItem(QString())});
  }
}

// ---------------------------------------------------------------- showing the model

void MappingsEditorWidget::SelectClass(int index) {
  const int count = static_cast<int>(model_.Classes().size());
  selected_ = count == 0 ? -1 : std::clamp(index, 0, count - 1);
  {
    Filling filling(filling_);
    classList_->setCurrentRow(selected_);
  }
  ShowTables();
  ShowResults();
  ShowStatus();
}

void MappingsEditorWidget::ShowStructure() {
  ShowClassList();
  ShowTables();
  ShowResults();
  ShowStatus();
}

void MappingsEditorWidget::ShowClassList() {
  Filling filling(filling_);
  const auto& classes = model_.Classes();
  const int count = static_cast<int>(classes.size());
  if (selected_ >= count) selected_ = count - 1;
  if (selected_ < 0 && count > 0) selected_ = 0;
  classList_->clear();
  for (const MappingClassRow& mappingClass : classes) {
    auto* item = new QListWidgetItem(Q(mappingClass.name), classList_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  classList_->setCurrentRow(selected_);
}

void MappingsEditorWidget::ShowTables() {
  Filling filling(filling_);
  const MappingClassRow* mappingClass =
      selected_ >= 0 ? &model_.Classes()[static_cast<std::size_t>(selected_)] : nullptr;

  const int conditionCount = mappingClass ? static_cast<int>(mappingClass->conditions.size()) : 0;
  conditions_->setRowCount(conditionCount);
  for (int r = 0; r < conditionCount; ++r) {
    const ConditionRow& row = mappingClass->conditions[static_cast<std::size_t>(r)];
    auto* connector = new QComboBox;
    connector->addItems({"and", "or"});
    connector->setCurrentIndex(row.connector);
    if (r == 0) {
      connector->setEnabled(false);
      connector->setToolTip("The first condition's connector plays no part.");
    }
    auto* op = new QComboBox;
    for (int i = marrow::condEquals; i <= marrow::condNotLike; ++i) {
      op->addItem(Q(marrow::Conditions::OperatorString(i, false)));
    }
    op->setCurrentIndex(row.op);
    connect(connector, &QComboBox::currentIndexChanged, this, [this, r] {
      if (filling_ == 0) OnConditionEdited(r);
    });
    connect(op, &QComboBox::currentIndexChanged, this, [this, r] {
      if (filling_ == 0) OnConditionEdited(r);
    });
    conditions_->setCellWidget(r, kConnector, connector);
    conditions_->setCellWidget(r, kOperator, op);
    conditions_->setItem(r, kField, new QTableWidgetItem(Q(row.field)));
    conditions_->setItem(r, kValue, new QTableWidgetItem(Q(row.value)));
    auto* ignoreCase = new QTableWidgetItem;
    ignoreCase->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    ignoreCase->setCheckState(row.compareMode == marrow::vbTextCompare ? Qt::Checked
                                                                       : Qt::Unchecked);
    conditions_->setItem(r, kIgnoreCase, ignoreCase);
    conditions_->setItem(r, kConditionResult, ReadOnlyItem({}));
  }

  const int fieldCount = mappingClass ? static_cast<int>(mappingClass->fields.size()) : 0;
  fields_->setRowCount(fieldCount);
  for (int r = 0; r < fieldCount; ++r) {
    const FieldRow& row = mappingClass->fields[static_cast<std::size_t>(r)];
    fields_->setItem(r, kName, new QTableWidgetItem(Q(row.name)));
    fields_->setItem(r, kExpression, new QTableWidgetItem(Q(row.value)));
    fields_->setItem(r, kFieldResult, ReadOnlyItem({}));
  }

  const bool editable = model_.TablesEditable();
  for (QWidget* control : tableControls_) control->setEnabled(editable);
}

void MappingsEditorWidget::ShowResults() {
  Filling filling(filling_);
  tessel::NameValueList samples;
  for (int row = 0; row < samples_->rowCount(); ++row) {
    const QStandardItem* name = samples_->item(row, 0);
    const QStandardItem* value = samples_->item(row, 1);
    if (name == nullptr || name->text().isEmpty()) continue;
    samples.Add(S(name->text()), value ? S(value->text()) : std::string());
  }

  const auto& classes = model_.Classes();
  // The selected class sees the samples as the classes before it leave
  // them, as in a release.
  const LevelPreview level = PreviewLevel(
      classes, samples, selected_ >= 0 ? std::optional<std::size_t>(selected_) : std::nullopt);
  std::string status;
  if (selected_ >= 0) {
    const MappingClassRow& mappingClass = classes[static_cast<std::size_t>(selected_)];
    const tessel::NameValueList& input = level.input;
    const ConditionsPreview conditions = PreviewConditions(mappingClass.conditions, input);
    for (int r = 0; r < conditions_->rowCount(); ++r) {
      const ConditionRow& row = mappingClass.conditions[static_cast<std::size_t>(r)];
      QTableWidgetItem* item = conditions_->item(r, kConditionResult);
      if (item == nullptr) continue;
      // The condition answers false when an operand cannot be computed; say
      // why.
      FieldPreview operand = PreviewField({"", row.value}, input);
      std::string expression = row.value;
      if (operand.ok && input.Item(std::string_view(row.field)) == nullptr) {
        operand = PreviewField({"", row.field}, input);
        expression = row.field;
      }
      if (!operand.ok) {
        ShowPreview(item, operand, expression);
        item->setText("false (" + item->text() + ")");
        continue;
      }
      const bool holds = conditions.each[static_cast<std::size_t>(r)];
      item->setText(holds ? "true" : "false");
      item->setToolTip({});
      item->setForeground(QBrush(holds ? kGood : kBad));
    }
    for (int r = 0; r < fields_->rowCount(); ++r) {
      const FieldRow& row = mappingClass.fields[static_cast<std::size_t>(r)];
      if (QTableWidgetItem* item = fields_->item(r, kFieldResult)) {
        ShowPreview(item, PreviewField(row, input), row.value);
      }
    }
    status = "For the sample values the conditions of '" + mappingClass.name + "' " +
             (conditions.all ? "hold." : "do not hold.");
  }
  if (!classes.empty()) {
    if (level.applied.empty()) {
      status += " No class applies: the values pass this level unchanged.";
    } else {
      status += " Applied in this order: ";
      for (std::size_t i = 0; i < level.applied.size(); ++i) {
        status += (i > 0 ? ", '" : "'") + classes[level.applied[i]].name + "'";
      }
      status += ".";
    }
    for (std::size_t failed : level.failed) {
      status += " '" + classes[failed].name +
                "' holds, but its field mappings fail: a release would fail the document.";
    }
  }
  classStatus_->setText(Q(status));
}

void MappingsEditorWidget::ShowXml() {
  const QString text = Q(model_.XmlText());
  if (xmlView_->toPlainText() == text) return;
  Filling filling(filling_);
  xmlView_->setPlainText(text);
}

void MappingsEditorWidget::ShowStatus() {
  QString text;
  QColor color = kGood;
  QList<QTextEdit::ExtraSelection> marks;
  if (const auto& problem = model_.Problem()) {
    if (!model_.TablesEditable()) {
      text = "The XML cannot be read: " + Q(problem->Text()) +
             "\nThe tables show the last readable state and stay locked until the text reads "
             "again.";
    } else {
      text = "A release could not use this file: " + Q(problem->Text());
    }
    color = kBad;
    if (problem->line > 0) {
      QTextEdit::ExtraSelection mark;
      mark.format.setBackground(QColor(255, 220, 220));
      mark.format.setProperty(QTextFormat::FullWidthSelection, true);
      mark.cursor = QTextCursor(xmlView_->document()->findBlockByNumber(problem->line - 1));
      marks.push_back(mark);
    }
  } else {
    const std::vector<std::string> remarks = model_.Remarks();
    if (remarks.empty()) {
      text = "The XML reads: " + QString::number(model_.Classes().size()) +
             (model_.Classes().size() == 1 ? " mapping class." : " mapping classes.");
    } else {
      color = kWarn;
      for (const std::string& remark : remarks) text += (text.isEmpty() ? "" : "\n") + Q(remark);
    }
  }
  if (!renameRefusal_.empty()) {
    text = Q(renameRefusal_) + "\n" + text;
    color = kBad;
  }
  xmlStatus_->setText(text);
  QPalette palette = xmlStatus_->palette();
  palette.setColor(QPalette::WindowText, color);
  xmlStatus_->setPalette(palette);
  xmlView_->setExtraSelections(marks);
  discardTyping_->setVisible(!model_.TablesEditable());
}

void MappingsEditorWidget::TablesEdited(bool structure) {
  renameRefusal_.clear();
  if (structure) {
    ShowClassList();
    ShowTables();
  }
  ShowXml();
  ShowResults();
  ShowStatus();
}

// ---------------------------------------------------------------- edits

void MappingsEditorWidget::OnClassRenamed(int row) {
  if (row < 0) return;
  std::string why;
  const std::string name = S(classList_->item(row)->text());
  if (model_.RenameClass(static_cast<std::size_t>(row), name, &why)) {
    TablesEdited(false);
    return;
  }
  {
    Filling filling(filling_);
    classList_->item(row)->setText(Q(model_.Classes()[static_cast<std::size_t>(row)].name));
  }
  renameRefusal_ = why;
  ShowStatus();
}

void MappingsEditorWidget::OnConditionEdited(int row) {
  if (selected_ < 0 || row < 0) return;
  auto* connector = qobject_cast<QComboBox*>(conditions_->cellWidget(row, kConnector));
  auto* op = qobject_cast<QComboBox*>(conditions_->cellWidget(row, kOperator));
  const QTableWidgetItem* field = conditions_->item(row, kField);
  const QTableWidgetItem* value = conditions_->item(row, kValue);
  const QTableWidgetItem* ignoreCase = conditions_->item(row, kIgnoreCase);
  if (!connector || !op || !field || !value || !ignoreCase) return;
  const ConditionRow edited{
      connector->currentIndex(), S(field->text()), op->currentIndex(), S(value->text()),
      ignoreCase->checkState() == Qt::Checked ? marrow::vbTextCompare : marrow::vbBinaryCompare};
  if (model_.SetCondition(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row),
                          edited)) {
    TablesEdited(false);
  }
}

void MappingsEditorWidget::OnFieldEdited(int row) {
  if (selected_ < 0 || row < 0) return;
  const QTableWidgetItem* name = fields_->item(row, kName);
  const QTableWidgetItem* value = fields_->item(row, kExpression);
  if (!name || !value) return;
  if (model_.SetField(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row),
                      {S(name->text()), S(value->text())})) {
    TablesEdited(false);
  }
}

void MappingsEditorWidget::OnXmlTyped() {
  model_.SetXmlText(S(xmlView_->toPlainText()));
  renameRefusal_.clear();
  ShowStructure();
}

void MappingsEditorWidget::AddClass() {
  const std::optional<std::size_t> added = model_.AddClass();
  if (!added) return;
  selected_ = static_cast<int>(*added);
  TablesEdited(true);
  if (classList_->isVisible()) {
    classList_->setFocus();
    classList_->editItem(classList_->item(selected_));
  }
}

void MappingsEditorWidget::RemoveClass() {
  if (selected_ < 0 || !model_.RemoveClass(static_cast<std::size_t>(selected_))) return;
  TablesEdited(true);
}

void MappingsEditorWidget::MoveClass(int delta) {
  if (selected_ < 0 || !model_.MoveClass(static_cast<std::size_t>(selected_), delta)) return;
  selected_ += delta;
  TablesEdited(true);
}

void MappingsEditorWidget::AddCondition() {
  if (selected_ < 0) return;
  // A new condition joins the ones before it with "and".
  if (!model_.AddCondition(static_cast<std::size_t>(selected_))) return;
  TablesEdited(true);
  const int row = conditions_->rowCount() - 1;
  conditions_->setCurrentCell(row, kField);
  if (conditions_->isVisible()) conditions_->editItem(conditions_->item(row, kField));
}

void MappingsEditorWidget::RemoveCondition() {
  const int row = conditions_->currentRow();
  if (selected_ < 0 || row < 0) return;
  if (!model_.RemoveCondition(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row)))
    return;
  TablesEdited(true);
}

void MappingsEditorWidget::MoveCondition(int delta) {
  const int row = conditions_->currentRow();
  if (selected_ < 0 || row < 0) return;
  if (!model_.MoveCondition(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row),
                            delta))
    return;
  TablesEdited(true);
  conditions_->setCurrentCell(row + delta, kField);
}

void MappingsEditorWidget::AddField() {
  if (selected_ < 0 || !model_.AddField(static_cast<std::size_t>(selected_))) return;
  TablesEdited(true);
  const int row = fields_->rowCount() - 1;
  fields_->setCurrentCell(row, kName);
  if (fields_->isVisible()) fields_->editItem(fields_->item(row, kName));
}

void MappingsEditorWidget::RemoveField() {
  const int row = fields_->currentRow();
  if (selected_ < 0 || row < 0) return;
  if (!model_.RemoveField(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row)))
    return;
  TablesEdited(true);
}

void MappingsEditorWidget::MoveField(int delta) {
  const int row = fields_->currentRow();
  if (selected_ < 0 || row < 0) return;
  if (!model_.MoveField(static_cast<std::size_t>(selected_), static_cast<std::size_t>(row), delta))
    return;
  TablesEdited(true);
  fields_->setCurrentCell(row + delta, kName);
}

}  // namespace quillon
