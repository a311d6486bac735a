#include "ui/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tessor {

MapAddresses MapAddressesBeside(const QString& program_dir) {
  // The data folder as the install rules place it relative to the programs.
  const QString folder = QDir::cleanPath(program_dir + "/" + TESSOR_DATA_FROM_BINDIR + "/map");
  if (QFileInfo(folder + "/tessor-map.js").isReadable())
    return MapAddressesIn(folder.toStdString());
  return DefaultMapAddresses();
}

MapAddresses ProgramMapAddresses() {
  return MapAddressesBeside(QCoreApplication::applicationDirPath());
}

}  // namespace tessor
