// tessor-screenshots: saves pictures of the desktop program's pages for the
// AppStream metadata, from the real window on Qt's offscreen platform:
//   QT_QPA_PLATFORM=offscreen tessor-screenshots OUT_FOLDER
// The pictures go to doc/screenshots/ and are published under the addresses
// that resources/com.varnelco.tessor.metainfo.xml names.
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "app/port_directory.h"
#include "app/port_scan.h"
#include "app/shell.h"
#include "engine/device_engine.h"
#include "ui/data_downloader.h"
#include "ui/korvel_app.h"
#include "ui/program_icon.h"

namespace {

using tessor::CDataDownloader;

bool Save(CDataDownloader& window, int page, const QString& path) {
  window.SetActivePage(page);
  QApplication::processEvents();
  const bool saved = window.grab().save(path, "PNG");
  if (!saved) std::fprintf(stderr, "tessor-screenshots: cannot write %s\n", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessor-screenshots OUT_FOLDER\n");
    return 64;
  }
  // A fresh settings store: the window as a new user first sees it.
  QTemporaryDir home;
  QSettings store(home.filePath("settings.conf"), QSettings::IniFormat);
  tessor::SetProgramNames();
  app.setWindowIcon(tessor::ProgramIcon());
  tessor::CDeviceEngine engine;
  tessor::PortRoots roots = tessor::DefaultPortRoots();
  roots.user_ports = home.filePath("ports").toStdString();
  tessor::PortDirectory ports(store, roots);
  CDataDownloader window(engine, ports, store, tessor::WindowTitle());
  window.show();
  QApplication::processEvents();
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool ok = Save(window, CDataDownloader::kPageConnection, out.filePath("connection.png"));
  ok = Save(window, CDataDownloader::kPageVeld, out.filePath("veld-setting.png")) && ok;
  window.SetShowAllPages(true);
  ok = Save(window, CDataDownloader::kPageFileConversion, out.filePath("data-log-download.png")) &&
       ok;
  return ok ? 0 : 74;
}
