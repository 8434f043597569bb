// FolderPicker: the dialog's "choose a folder" step behind an interface. The
// window shows the system's folder dialog; ConsoleFolderPicker asks on the
// terminal.
#pragma once

#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

class QUILLON_API FolderPicker {
 public:
  virtual ~FolderPicker();
  // Lets the administrator choose a folder (only file-system folders can be
  // chosen) and returns its path, or "" when the choice was cancelled. May
  // raise platform::Error when the picker cannot be shown.
  virtual std::string BrowseForFolder(std::string_view title) = 0;
};

// Prints the title on standard error and reads a path from the terminal: an
// empty line cancels. When the input is not a terminal, or ends, nothing is
// read and the choice counts as cancelled.
class QUILLON_API ConsoleFolderPicker final : public FolderPicker {
 public:
  // `input` is a file descriptor (standard input by default).
  explicit ConsoleFolderPicker(int input = 0) noexcept : input_(input) {}
  std::string BrowseForFolder(std::string_view title) override;

 private:
  int input_;
};

}  // namespace quillon
