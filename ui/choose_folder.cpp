#include "ui/choose_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/shell.h"

namespace tessor {

QString ChooserStartFolder(const QByteArray& current) {
  const QString configured = ToWide(current);
  if (!configured.isEmpty() && QFileInfo(configured).isDir()) return configured;
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!data.isEmpty() && QFileInfo(data).isDir()) return data;
  return QDir::homePath();
}

QByteArray ChooseFolder(QWidget* owner, const QString& title, const QByteArray& current) {
  const QString folder = QFileDialog::getExistingDirectory(
      owner, title, ChooserStartFolder(current), QFileDialog::ShowDirsOnly);
  return folder.isEmpty() ? QByteArray() : ToNarrow(folder);
}

}  // namespace tessor
