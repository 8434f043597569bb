#include "setup/window/qt_folder_picker.h"

#include <QFileDialog>
#include <QString>

namespace quillon {

std::string QtFolderPicker::BrowseForFolder(std::string_view title) {
  const QString chosen = QFileDialog::getExistingDirectory(
      owner_, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), QString(),
      QFileDialog::ShowDirsOnly);
  return chosen.toStdString();
}

}  // namespace quillon
