#include "ui/choose_folder.h"

#include <QFileDialog>
#include <QStandardPaths>

#include "app/shell.h"

namespace tessor {

QByteArray ChooseFolder(QWidget* owner, const QString& title) {
  const QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  const QString folder =
      QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
  return folder.isEmpty() ? QByteArray() : ToNarrow(folder);
}

}  // namespace tessor
