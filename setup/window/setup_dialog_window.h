// SetupDialogWindow: the "Quillon Setup" window. Four tabs ("&General" with
// the directories, the logging check box and the output mode; "D&ata
// Mappings", "Fiel&d Mappings" and "Outp&ut Data", each a mappings editor)
// and OK, Cancel and Help below them.
//
// The window holds no setup logic: every widget is bound to a
// SetupController (setup/setup_controller.h), which decides what an edit,
// a click or a close request does and shows every message. Closing (OK,
// Cancel, the close box, Escape) asks the controller; a refused close keeps
// the window open with the focus on the text box the controller names.
//
// QtSetupWindow puts the window behind the setup script's SetupWindow
// interface, which is how `quillon setup --gui` and a host show it.
#pragma once

#include <array>
#include <memory>

#include <QDialog>

#include "setup/mapping_storage.h"
#include "setup/release_setup_script.h"
#include "setup/setup_controller.h"
#include "setup/window/qt_document_opener.h"
#include "setup/window/qt_folder_picker.h"
#include "setup_window_export.h"

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStandardItemModel;
class QTabWidget;

namespace quillon {

class MappingsEditorWidget;

class SETUP_WINDOW_API SetupDialogWindow final : public QDialog {
 public:
  explicit SetupDialogWindow(QWidget* parent = nullptr);
  ~SetupDialogWindow() override;

  // The editor of a mapping tab.
  MappingsEditorWidget& Editor(MappingLevel level) const noexcept;

  // Shows what the controller holds and routes every edit, click and close
  // request to it from now on. The controller must outlive the window's use
  // of it (until Unbind or the window's end).
  void Bind(SetupController& controller);
  void Unbind() noexcept { controller_ = nullptr; }

  // True when the last close was an OK that the controller's save accepted.
  bool Saved() const noexcept { return saved_; }

  // Shows a tab (0 General, 1..3 the mapping tabs).
  void ShowTab(int index);
  QTabWidget& Tabs() const noexcept { return *tabs_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Escape, like the close box, asks to close without recording a button.
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildGeneralTab();
  QLineEdit* TextBox(SetupController::DirectoryBox box) const noexcept;
  // Copies the controller's state into the widgets (without their change
  // notifications reaching it).
  void ShowState();
  void ShowLoggingControls();
  void Focus(SetupController::DirectoryBox box);
  void CloseWith(SetupController::ClosingButton button);
  void ShowHelp();

  SetupController* controller_ = nullptr;
  bool saved_ = false;
  int filling_ = 0;

  QTabWidget* tabs_ = nullptr;
  QStandardItemModel* samples_ = nullptr;
  std::array<MappingsEditorWidget*, 3> editors_{};
  QLineEdit* mappingsDirectory_ = nullptr;
  QLineEdit* workingDirectory_ = nullptr;
  QLineEdit* loggingDirectory_ = nullptr;
  QPushButton* browseLogging_ = nullptr;
  QCheckBox* enableLogging_ = nullptr;
  QRadioButton* perBatch_ = nullptr;
  QRadioButton* perDocument_ = nullptr;
};

// The setup script's window: the dialog above with the desktop's folder
// dialog and document opener. Tests may replace the picker and the opener.
class SETUP_WINDOW_API QtSetupWindow final : public SetupWindow {
 public:
  QtSetupWindow();
  QtSetupWindow(FolderPicker& folders, DocumentOpener& documents);
  ~QtSetupWindow() override;

  MappingsEditor& Editor(MappingLevel level) override;
  FolderPicker& Folders() override { return *folders_; }
  DocumentOpener& Documents() override { return *documents_; }
  // Binds the dialog to the controller and runs it modally until it closes.
  void ShowModal(SetupController& dialog) override;

  SetupDialogWindow& Window() const noexcept { return *window_; }
  bool Saved() const noexcept { return window_->Saved(); }

 private:
  std::unique_ptr<SetupDialogWindow> window_;
  QtFolderPicker qtFolders_;
  QtDocumentOpener qtDocuments_;
  FolderPicker* folders_;
  DocumentOpener* documents_;
};

}  // namespace quillon
