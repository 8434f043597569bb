#include "app/setup_window_command.h"

#include <iostream>
#include <string>

#include "app/command.h"
#include "host/file_setup_data.h"

#ifdef QUILLON_HAVE_SETUP_WINDOW
#include "setup/window/setup_window_runner.h"
#endif

namespace quillon::app {
namespace {

constexpr const char* kHeadless =
    "Without a window, `quillon setup BATCH-CLASS.json` shows the settings, and\n"
    "--mappings-dir, --logging-dir, --working-dir, --edi-output, --logging and\n"
    "--import-mappings (with --yes or --no) change them; see quillon setup --help.\n";

}  // namespace

int RunSetupWindowCommand(const std::string& batchClassFile) {
#ifndef QUILLON_HAVE_SETUP_WINDOW
  (void)batchClassFile;
  std::cerr << "error: this quillon was built without the setup window (Qt 6 Widgets was not "
               "found at build time).\n"
            << kHeadless;
  return kExitUsageOrInput;
#else
  if (!WindowSystemAvailable()) {
    std::cerr << "error: --gui needs a display, and none is set (DISPLAY, WAYLAND_DISPLAY); "
                 "QT_QPA_PLATFORM names another window system if there is one.\n"
              << kHeadless;
    return kExitUsageOrInput;
  }
  FileSetupData setupData(batchClassFile);
  const SetupWindowRun run = RunSetupWindow(setupData);
  if (!run.saved) {
    std::cerr << "the setup window was closed without saving\n";
    return kExitSomeFailed;
  }
  for (const std::string& message : run.messages) {
    if (message == "Can't save the mapping files") {
      std::cerr << "error: the mapping files could not all be written (see the log); the "
                   "settings and links were saved\n";
      return kExitSomeFailed;
    }
  }
  std::cout << "saved: " << setupData.FilePath() << "\n";
  return FinishOutput();
#endif
}

}  // namespace quillon::app
