#include "app/setup_window_command.h"

#include <iostream>
#include <string>

#include "app/command.h"
#include "host/file_setup_data.h"

#ifdef QUILLON_HAVE_SETUP_WINDOW
#include <dlfcn.h>

#include "release/library_location.h"
#include "setup/window/setup_window_runner.h"
#endif

namespace quillon::app {
namespace {

constexpr const char* kHeadless =
    "Without a window, `quillon setup BATCH-CLASS.json` shows the settings, and\n"
    "--mappings-dir, --logging-dir, --working-dir, --edi-output, --logging and\n"
    "--import-mappings (with --yes or --no) change them; see quillon setup --help.\n";

#ifdef QUILLON_HAVE_SETUP_WINDOW
// The window library lies beside libquillon and is loaded on first use, so
// that no other command pays for loading Qt. It stays loaded.
const SetupWindowEntry* LoadSetupWindow(std::string& why) {
  const std::string path = LibraryDirectory() + "/" + QUILLON_SETUP_WINDOW_LIBRARY;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    why = reason != nullptr ? reason : path + ": cannot be loaded";
    return nullptr;
  }
  using EntryFunction = const SetupWindowEntry* (*)();
  const auto entry = reinterpret_cast<EntryFunction>(::dlsym(handle, kSetupWindowEntryName));
  if (entry == nullptr) {
    why = path + " has no " + kSetupWindowEntryName;
    return nullptr;
  }
  return entry();
}
#endif

}  // namespace

int RunSetupWindowCommand(const std::string& batchClassFile) {
#ifndef QUILLON_HAVE_SETUP_WINDOW
  (void)batchClassFile;
  std::cerr << "error: this quillon was built without the setup window (Qt 6 Widgets was not "
               "found at build time).\n"
            << kHeadless;
  return kExitUsageOrInput;
#else
  std::string why;
  const SetupWindowEntry* window = LoadSetupWindow(why);
  if (window == nullptr) {
    std::cerr << "error: the setup window could not be loaded: " << why << "\n" << kHeadless;
    return kExitUsageOrInput;
  }
  if (!window->windowSystemAvailable()) {
    std::cerr << "error: --gui needs a display, and none is set (DISPLAY, WAYLAND_DISPLAY); "
                 "QT_QPA_PLATFORM names another window system if there is one.\n"
              << kHeadless;
    return kExitUsageOrInput;
  }
  FileSetupData setupData(batchClassFile);
  const SetupWindowRun run = window->runSetupWindow(setupData);
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
