#include "setup/release_setup_script.h"

#include <exception>

#include "platform/error.h"
#include "platform/os_services.h"
#include "release/global_logger.h"
#include "release/library_location.h"
#include "setup/setup_log.h"

namespace quillon {

SetupWindow::~SetupWindow() = default;

ReleaseSetupScript::ReleaseSetupScript(SetupWindowFactory windows)
    : windows_(std::move(windows)), logFolder_(&SetupLogFolder) {}

ReleaseSetupScript::~ReleaseSetupScript() = default;

std::int32_t ReleaseSetupScript::CloseScript() {
  return 0;
}

std::int32_t ReleaseSetupScript::ActionEvent(std::int32_t& /*actionId*/, std::string& /*data1*/,
                                             std::string& /*data2*/) {
  return 0;
}

std::int32_t ReleaseSetupScript::OpenScript() {
  const FlushLogOnReturn flush;
  try {
    tessel::Logger& logger = NewGlobalLogger();
    logger.LogFolder(logFolder_());
    logger.LogFileName(std::to_string(platform::CurrentProcessId()) + "_" + LibraryBaseName());
    logger.LogSetting(50);
    logger.LogText("Entering Setup - Openscript", 2, 1);
    logger.LogText("Quillon  Release : " + LibraryVersionText() + " Path: " + LibraryDirectory() +
                       "\\" + LibraryBaseName() + ".dll",
                   2, 1);
    return 0;
  } catch (const platform::Error& e) {
    GlobalLogger().LogError("OpenScript", e.Source(), e.Description());
    if (setupData_ != nullptr) {
      setupData_->ReportError(-1, 0, 0, e.Description(), e.Source(), e.Number());
    }
  } catch (const std::exception& e) {
    GlobalLogger().LogError("OpenScript", "OpenScript", e.what());
    if (setupData_ != nullptr) setupData_->ReportError(-1, 0, 0, e.what(), "OpenScript", 51);
  }
  return -1;
}

std::int32_t ReleaseSetupScript::RunUI() {
  const FlushLogOnReturn flush;
  // Each step runs even when an earlier one failed, as far as it can.
  std::unique_ptr<SetupWindow> window;
  std::unique_ptr<SetupController> dialog;
  const auto logFailure = [](const std::string& source, const std::string& description) {
    GlobalLogger().LogError("RunUI", source, description);
  };
  try {
    if (!windows_) platform::Raise(91, "RunUI", "There is no window to show the setup dialog in");
    window = windows_();
    if (!window) platform::Raise(91, "RunUI", "The setup dialog's window could not be made");
    dialog = std::make_unique<SetupController>(
        window->Editor(MappingLevel::kData), window->Editor(MappingLevel::kField),
        window->Editor(MappingLevel::kOutput), window->Folders(), window->Documents());
  } catch (const platform::Error& e) {
    logFailure(e.Source(), e.Description());
  } catch (const std::exception& e) {
    logFailure("RunUI", e.what());
  }
  try {
    if (dialog) {
      if (setupData_ == nullptr) {
        platform::Raise(91, "ShowForm", "The setup data were not set before RunUI");
      }
      dialog->ShowForm(*setupData_);
    }
  } catch (const platform::Error& e) {
    logFailure(e.Source(), e.Description());
  } catch (const std::exception& e) {
    logFailure("RunUI", e.what());
  }
  try {
    if (dialog) window->ShowModal(*dialog);
  } catch (const platform::Error& e) {
    logFailure(e.Source(), e.Description());
  } catch (const std::exception& e) {
    logFailure("RunUI", e.what());
  }
  return 0;
}

}  // namespace quillon
