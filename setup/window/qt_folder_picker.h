// QtFolderPicker: the setup window's folder choice, the desktop's folder
// dialog (only folders can be chosen).
#pragma once

#include <string>
#include <string_view>

#include "setup/folder_picker.h"
#include "setup_window_export.h"

class QWidget;

namespace quillon {

class SETUP_WINDOW_API QtFolderPicker final : public FolderPicker {
 public:
  explicit QtFolderPicker(QWidget* owner = nullptr) noexcept : owner_(owner) {}
  void SetOwner(QWidget* owner) noexcept { owner_ = owner; }

  // The chosen folder's path, or "" when the dialog was cancelled.
  std::string BrowseForFolder(std::string_view title) override;

 private:
  QWidget* owner_;
};

}  // namespace quillon
