#include "setup/window/setup_dialog_window.h"

#include <string>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "setup/window/mappings_editor_widget.h"

namespace quillon {
namespace {

using Box = SetupController::DirectoryBox;
using Button = SetupController::ClosingButton;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class Filling {
 public:
  explicit Filling(int& depth) : depth_(depth) { ++depth_; }
  ~Filling() { --depth_; }
  Filling(const Filling&) = delete;
  Filling& operator=(const Filling&) = delete;

 private:
  int& depth_;
};

QPushButton* NamedButton(const QString& text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* NamedLineEdit(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setMinimumWidth(360);
  return edit;
}

}  // namespace

SetupDialogWindow::SetupDialogWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(SetupController::kCaption));
  setObjectName("setupWindow");

  samples_ = new QStandardItemModel(0, 2, this);
  samples_->setHorizontalHeaderLabels({"Field", "Sample value"});

  tabs_ = new QTabWidget;
  tabs_->setObjectName("tabs");
  tabs_->addTab(BuildGeneralTab(), Q(SetupController::kTabCaptions[0]));
  const char* editorNames[] = {"dataMappingsEditor", "fieldMappingsEditor", "outputDataEditor"};
  for (std::size_t i = 0; i < editors_.size(); ++i) {
    editors_[i] = new MappingsEditorWidget(samples_);
    editors_[i]->setObjectName(editorNames[i]);
    tabs_->addTab(editors_[i], Q(SetupController::kTabCaptions[i + 1]));
  }

  auto* ok = NamedButton("&OK", "ok");
  auto* cancel = NamedButton("&Cancel", "cancel");
  auto* help = NamedButton("&Help", "help");
  connect(ok, &QPushButton::clicked, this, [this] { CloseWith(Button::kOk); });
  connect(cancel, &QPushButton::clicked, this, [this] { CloseWith(Button::kCancel); });
  connect(help, &QPushButton::clicked, this, [this] { ShowHelp(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);
  resize(1180, 760);

  // F1 asks for help when it is released, wherever the focus is in the
  // window.
  qApp->installEventFilter(this);
}

SetupDialogWindow::~SetupDialogWindow() {
  qApp->removeEventFilter(this);
}

QWidget* SetupDialogWindow::BuildGeneralTab() {
  mappingsDirectory_ = NamedLineEdit("mappingsDirectory");
  workingDirectory_ = NamedLineEdit("workingDirectory");
  loggingDirectory_ = NamedLineEdit("loggingDirectory");
  auto* browseMappings = NamedButton("&Browse", "browseMappings");
  auto* browseWorking = NamedButton("B&rowse", "browseWorking");
  browseLogging_ = NamedButton("Bro&wse", "browseLogging");
  auto* loadMappings = NamedButton("&Load Mappings", "loadMappings");

  const auto boxRow = [](QGridLayout* grid, int row, const QString& caption, QLineEdit* edit,
                         QPushButton* browse) {
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(browse, row, 2);
  };

  auto* pathsGrid = new QGridLayout;
  boxRow(pathsGrid, 0, "Mapping&s", mappingsDirectory_, browseMappings);
  boxRow(pathsGrid, 1, "Wor&king", workingDirectory_, browseWorking);
  auto* loadRow = new QHBoxLayout;
  loadRow->addStretch(1);
  loadRow->addWidget(loadMappings);
  pathsGrid->addLayout(loadRow, 2, 1, 1, 2);
  pathsGrid->setColumnStretch(1, 1);
  auto* paths = new QGroupBox("Paths");
  paths->setLayout(pathsGrid);

  enableLogging_ = new QCheckBox("&Enable Logging");
  enableLogging_->setObjectName("enableLogging");

  auto* logGrid = new QGridLayout;
  boxRow(logGrid, 0, "Logg&ing", loggingDirectory_, browseLogging_);
  logGrid->setColumnStretch(1, 1);
  auto* logPath = new QGroupBox("Path");
  logPath->setLayout(logGrid);

  perBatch_ = new QRadioButton("Create one EDI file &per batch");
  perBatch_->setObjectName("perBatch");
  perDocument_ = new QRadioButton("Create one EDI &file per document");
  perDocument_->setObjectName("perDocument");
  auto* modeLayout = new QVBoxLayout;
  modeLayout->addWidget(perBatch_);
  modeLayout->addWidget(perDocument_);
  auto* mode = new QGroupBox("EDI Output");
  mode->setLayout(modeLayout);

  const auto bindBox = [this](QLineEdit* edit, Box box) {
    // textEdited: typing only, not the window filling the box.
    connect(edit, &QLineEdit::textEdited, this, [this, box](const QString& text) {
      if (controller_ != nullptr && filling_ == 0)
        controller_->SetDirectory(box, text.toStdString());
    });
  };
  bindBox(mappingsDirectory_, Box::kMappings);
  bindBox(workingDirectory_, Box::kWorking);
  bindBox(loggingDirectory_, Box::kLogging);

  const auto bindBrowse = [this](QPushButton* button, Box box) {
    connect(button, &QPushButton::clicked, this, [this, box] {
      if (controller_ == nullptr) return;
      controller_->Browse(box);
      ShowState();
    });
  };
  bindBrowse(browseMappings, Box::kMappings);
  bindBrowse(browseWorking, Box::kWorking);
  bindBrowse(browseLogging_, Box::kLogging);

  connect(loadMappings, &QPushButton::clicked, this, [this] {
    if (controller_ == nullptr) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The messages of the load are modal: the normal cursor while they show
    // would need the controller to say when; the wait cursor stays until the
    // load is over, as the classic dialog did.
    controller_->LoadMappings();
    QApplication::restoreOverrideCursor();
  });
  connect(enableLogging_, &QCheckBox::clicked, this, [this](bool on) {
    if (controller_ == nullptr || filling_ > 0) return;
    controller_->ClickEnableLogging(on);
    ShowLoggingControls();
  });
  connect(perBatch_, &QRadioButton::clicked, this, [this] {
    if (controller_ != nullptr && filling_ == 0)
      controller_->SelectEdiOutput(EdiOutputMode::kPerBatch);
  });
  connect(perDocument_, &QRadioButton::clicked, this, [this] {
    if (controller_ != nullptr && filling_ == 0) {
      controller_->SelectEdiOutput(EdiOutputMode::kPerDocument);
    }
  });

  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(paths);
  layout->addWidget(enableLogging_);
  layout->addWidget(logPath);
  layout->addWidget(mode);
  layout->addStretch(1);
  return page;
}

MappingsEditorWidget& SetupDialogWindow::Editor(MappingLevel level) const noexcept {
  return *editors_[static_cast<std::size_t>(level)];
}

void SetupDialogWindow::Bind(SetupController& controller) {
  controller_ = &controller;
  saved_ = false;
  // When the window opens, the logging controls follow the check box.
  controller_->UpdateLoggingControls();
  ShowState();
}

void SetupDialogWindow::ShowTab(int index) {
  tabs_->setCurrentIndex(index);
}

QLineEdit* SetupDialogWindow::TextBox(Box box) const noexcept {
  switch (box) {
    case Box::kMappings:
      return mappingsDirectory_;
    case Box::kLogging:
      return loggingDirectory_;
    case Box::kWorking:
      return workingDirectory_;
    case Box::kNone:
      break;
  }
  return nullptr;
}

void SetupDialogWindow::ShowState() {
  if (controller_ == nullptr) return;
  Filling filling(filling_);
  for (Box box : {Box::kMappings, Box::kLogging, Box::kWorking}) {
    QLineEdit* edit = TextBox(box);
    const QString text = Q(controller_->Directory(box));
    if (edit->text() != text) edit->setText(text);
  }
  enableLogging_->setChecked(controller_->EnableLogging());
  // Neither option may be selected: radio buttons of one box refuse to be
  // cleared while they are exclusive.
  perBatch_->setAutoExclusive(false);
  perDocument_->setAutoExclusive(false);
  perBatch_->setChecked(controller_->EdiOutput() == EdiOutputMode::kPerBatch);
  perDocument_->setChecked(controller_->EdiOutput() == EdiOutputMode::kPerDocument);
  perBatch_->setAutoExclusive(true);
  perDocument_->setAutoExclusive(true);
  ShowLoggingControls();
}

void SetupDialogWindow::ShowLoggingControls() {
  if (controller_ == nullptr) return;
  const bool enabled = controller_->LoggingControlsEnabled();
  loggingDirectory_->setEnabled(enabled);
  browseLogging_->setEnabled(enabled);
}

void SetupDialogWindow::Focus(Box box) {
  QLineEdit* edit = TextBox(box);
  if (edit == nullptr) return;
  tabs_->setCurrentIndex(0);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void SetupDialogWindow::CloseWith(Button button) {
  if (controller_ != nullptr) controller_->RecordClosingButton(button);
  close();
}

void SetupDialogWindow::closeEvent(QCloseEvent* event) {
  if (controller_ == nullptr) {
    event->accept();
    QDialog::done(QDialog::Rejected);
    return;
  }
  const bool ok = controller_->RecordedClosingButton() == Button::kOk;
  if (!controller_->OnCloseRequest()) {
    event->ignore();
    // A refused save may have reloaded the editors or changed the boxes.
    ShowState();
    Focus(controller_->FocusRequest());
    return;
  }
  saved_ = ok;
  event->accept();
  QDialog::done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void SetupDialogWindow::reject() {
  close();
}

bool SetupDialogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (key->key() == Qt::Key_F1 && !key->isAutoRepeat() && widget != nullptr &&
        widget->window() == this && isActiveWindow()) {
      ShowHelp();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SetupDialogWindow::ShowHelp() {
  if (controller_ == nullptr) return;
  controller_->ShowHelp(tabs_->tabText(tabs_->currentIndex()).toStdString());
}

// ---------------------------------------------------------------- QtSetupWindow

QtSetupWindow::QtSetupWindow()
    : window_(std::make_unique<SetupDialogWindow>()),
      qtFolders_(window_.get()),
      folders_(&qtFolders_),
      documents_(&qtDocuments_) {}

QtSetupWindow::QtSetupWindow(FolderPicker& folders, DocumentOpener& documents)
    : window_(std::make_unique<SetupDialogWindow>()),
      qtFolders_(window_.get()),
      folders_(&folders),
      documents_(&documents) {}

QtSetupWindow::~QtSetupWindow() = default;

MappingsEditor& QtSetupWindow::Editor(MappingLevel level) {
  return window_->Editor(level);
}

void QtSetupWindow::ShowModal(SetupController& dialog) {
  window_->Bind(dialog);
  window_->setModal(true);
  window_->exec();
  window_->Unbind();
}

}  // namespace quillon
