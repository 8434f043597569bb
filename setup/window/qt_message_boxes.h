// QtMessageBoxes: the message-box service of the setup window, as QMessageBox
// dialogs owned by the window. Every message of the window reaches it
// through the setup controller, which fixes the title.
#pragma once

#include "platform/os_services.h"
#include "setup_window_export.h"

class QWidget;

namespace quillon {

class SETUP_WINDOW_API QtMessageBoxes final : public platform::MessageBoxService {
 public:
  // `owner` may be nullptr (no owner window) and may change later.
  explicit QtMessageBoxes(QWidget* owner = nullptr) noexcept : owner_(owner) {}
  void SetOwner(QWidget* owner) noexcept { owner_ = owner; }

  platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override;

 private:
  QWidget* owner_;
};

}  // namespace quillon
