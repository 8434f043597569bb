// Running the setup window from a command: `quillon setup --gui`.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "setup_window_export.h"

namespace quillon {

class HostSetupData;

// True when a window can be shown: a display (DISPLAY or WAYLAND_DISPLAY)
// or a Qt platform named in QT_QPA_PLATFORM (offscreen, for one).
SETUP_WINDOW_API bool WindowSystemAvailable();

struct SetupWindowRun {
  bool saved = false;  // closed with OK and the save went through
  // The messages the window showed, in order (the command reports the last
  // one, and a mapping file that could not be written).
  std::vector<std::string> messages;
};

// Runs the setup script (OpenScript, RunUI, CloseScript) with the Qt window
// on the setup data: the window is modal and the save is the controller's.
// Creates the QApplication when there is none. Call only when
// WindowSystemAvailable().
SETUP_WINDOW_API SetupWindowRun RunSetupWindow(HostSetupData& setupData);

// Opens the window on the setup data without showing it modally, fills the
// sample values (name, value pairs), grabs each of the four tabs into
// DIRECTORY/setup-general.png, setup-data-mappings.png,
// setup-field-mappings.png and setup-output-data.png, and closes the window
// without saving. Each mapping tab shows its class with the most rows.
// Returns the files written; raises std::runtime_error when an image cannot
// be written.
SETUP_WINDOW_API std::vector<std::string> WriteSetupScreenshots(
    HostSetupData& setupData, const std::string& directory,
    const std::vector<std::pair<std::string, std::string>>& samples);

// The window's entry points for a program that loads this library only when
// the window is wanted (dlopen, then dlsym of kSetupWindowEntryName): Qt and
// the libraries it brings are then loaded by the window alone, and every
// other command starts without them.
struct SetupWindowEntry {
  bool (*windowSystemAvailable)();
  SetupWindowRun (*runSetupWindow)(HostSetupData& setupData);
};
inline constexpr const char* kSetupWindowEntryName = "quillon_setup_window_entry";

}  // namespace quillon

extern "C" SETUP_WINDOW_API const quillon::SetupWindowEntry* quillon_setup_window_entry();
