// `quillon setup --gui`: the setup window on a batch class (app/cmd_setup.cpp
// registers the option; this file runs it).
#pragma once

#include <string>

namespace quillon::app {

// Opens the setup window modally on the batch-class file; the save is the
// one of the headless setup. Exit codes: 0 saved; 1 closed without saving,
// or a mapping file could not be written; 2 no display, no window in this
// build, or an unreadable batch-class file.
int RunSetupWindowCommand(const std::string& batchClassFile);

}  // namespace quillon::app
