#include "setup/window/qt_document_opener.h"

#include <string>

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/error.h"
#include "platform/native_path.h"

namespace quillon {

void QtDocumentOpener::Open(std::string_view path) {
  const std::string native = platform::ToNativePath(path);
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(native)))) {
    platform::Raise(53, "ShellOpen", "The desktop could not open '" + native + "'");
  }
}

}  // namespace quillon
