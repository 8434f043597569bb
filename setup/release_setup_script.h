// ReleaseSetupScript: the object the capture host's administration tool
// drives when an administrator opens the release setup of a batch class.
//
//   script.SetSetupData(&setupData);
//   script.OpenScript();    // starts the setup log
//   script.RunUI();         // shows the setup dialog until it closes
//   script.ActionEvent(id, text1, text2);  // for each setup event
//   script.CloseScript();
//
// Every operation returns 0 for success and -1 for failure. Only OpenScript
// can fail: it logs the failure, reports it to the host through the setup
// data's ReportError(-1, 0, 0, description, source, number) and returns -1.
// RunUI logs its failures and returns 0; the administrator has seen the
// dialog's own messages.
//
// The dialog's window comes from a SetupWindow factory: the desktop window,
// or the console stand-in of `quillon setup`. Each RunUI makes a new window
// and a new SetupController, loaded afresh from the setup data.
//
// The setup log: a new GlobalLogger() with the folder SetupLogFolder()
// (setup_log.h), the file name <process id>_<library name> and the setting 50.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/host_setup_data.h"
#include "quillon_export.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"
#include "setup/mapping_storage.h"
#include "setup/mappings_editor.h"
#include "setup/setup_controller.h"

namespace quillon {

// Where the dialog is shown.
class QUILLON_API SetupWindow {
 public:
  virtual ~SetupWindow();
  // The editors of the three mapping tabs, the folder picker and the
  // document opener the dialog uses; they live as long as the window.
  virtual MappingsEditor& Editor(MappingLevel level) = 0;
  virtual FolderPicker& Folders() = 0;
  virtual DocumentOpener& Documents() = 0;
  // Shows the loaded dialog modally and returns once it has closed, saved
  // or cancelled (SetupController::OnCloseRequest decides).
  virtual void ShowModal(SetupController& dialog) = 0;
};

using SetupWindowFactory = std::function<std::unique_ptr<SetupWindow>()>;

class QUILLON_API ReleaseSetupScript {
 public:
  explicit ReleaseSetupScript(SetupWindowFactory windows);
  ~ReleaseSetupScript();
  ReleaseSetupScript(const ReleaseSetupScript&) = delete;
  ReleaseSetupScript& operator=(const ReleaseSetupScript&) = delete;

  // The host's setup data; set before OpenScript. Not owned.
  HostSetupData* SetupData() const noexcept { return setupData_; }
  void SetSetupData(HostSetupData* setupData) noexcept { setupData_ = setupData; }

  std::int32_t CloseScript();
  // Does nothing with the event; the arguments are left as they are.
  std::int32_t ActionEvent(std::int32_t& actionId, std::string& data1, std::string& data2);
  std::int32_t OpenScript();
  std::int32_t RunUI();

  // Replaces SetupLogFolder as the source of the log folder (tests; a host
  // that keeps logs elsewhere). It may raise platform::Error.
  void SetLogFolderSource(std::function<std::string()> source) { logFolder_ = std::move(source); }

 private:
  HostSetupData* setupData_ = nullptr;
  SetupWindowFactory windows_;
  std::function<std::string()> logFolder_;
};

}  // namespace quillon
