#include "ui/korvel_app.h"

#include <QSettings>
#include <QSystemTrayIcon>

#include "app/port_directory.h"
#include "app/shell.h"
#include "engine/device_engine.h"
#include "ui/data_downloader.h"
#include "ui/message_seam.h"
#include "ui/program_icon.h"
#include "ui/quit_signals.h"
#include "ui/second_start.h"

namespace tessor {

void SetProgramNames() {
  QCoreApplication::setOrganizationName("Varnelco");
  QCoreApplication::setApplicationName("Tessor Series");
}

CKorvelApp::CKorvelApp(int& argc, char** argv) : QApplication(argc, argv) {
  SetProgramNames();
  setWindowIcon(ProgramIcon());
  // The window goes to the tray when minimised; the program ends when it closes.
  setQuitOnLastWindowClosed(false);
}

bool CKorvelApp::InitInstance() {
  QuitOnSignals quit_on_signals;
  const QString title = WindowTitle();
  SecondStart second_start(SecondStart::NameFor(title));
  if (!second_start.AskFirstToFront()) second_start.Listen();
  InstallCoreMessageHandler();

  CDeviceEngine engine;
  QSettings store;
  PortDirectory ports(store, DefaultPortRoots());
  {
    CDataDownloader window(engine, ports, store, title);
    window.SetTrayAvailable(QSystemTrayIcon::isSystemTrayAvailable());
    connect(&second_start, &SecondStart::frontRequested, &window, &CDataDownloader::BringToFront);
    connect(&window, &CDataDownloader::finished, this, &QCoreApplication::quit);
    window.show();
    exit_code_ = exec();
  }
  return false;
}

}  // namespace tessor
