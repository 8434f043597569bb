// QtDocumentOpener: opens a document or folder with the desktop's default
// application (the help pages in the default browser).
#pragma once

#include <string_view>

#include "setup/document_opener.h"
#include "setup_window_export.h"

namespace quillon {

class SETUP_WINDOW_API QtDocumentOpener final : public DocumentOpener {
 public:
  // Raises platform::Error 53 ("File not found") naming the file when the
  // desktop cannot open it.
  void Open(std::string_view path) override;
};

}  // namespace quillon
