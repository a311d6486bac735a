// The longest stall of the GUI event loop while the window connects to the
// paced simulator, uploads an image through its pages and disconnects on the
// reset request: a 10 ms heartbeat timer records how late it fires, and when.
// Also the resident memory after start-up and after the session. The program
// quits only once the disconnect is over: Qt's quit closes the window, and its
// close waits for the engine's threads, which is not part of the session.
// Run on the offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/port_directory.h"
#include "engine/device_engine.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/simulator.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/korvel_app.h"
#include "ui/message_seam.h"
#include "ui/veld_setting_dlg.h"

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool HasLine(tessor::CDlgConnection& page, const QString& text) {
  for (int i = 0; i < page.status_list()->count(); ++i) {
    if (page.status_list()->item(i)->text() == text) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_stall IMAGE.bin\n");
    return 2;
  }
  QTemporaryDir dir;
  QApplication app(argc, argv);
  tessor::SetProgramNames();
  const QString image = QString::fromLocal8Bit(argv[1]);

  auto ends = tessor::devsim::OpenSimulatorPty();
  tessor::devsim::Scenario scenario;
  scenario.erase_reports_ms = 1500;
  tessor::devsim::Simulator sim(ends->master, scenario, {true, false});
  sim.Start();
  QDir().mkpath(dir.filePath("ports"));
  QFile::link(QString::fromStdString(ends->slave_path), dir.filePath("ports/sim"));

  QSettings store(dir.filePath("s.conf"), QSettings::IniFormat);
  tessor::PortRoots roots;
  roots.dev = dir.filePath("nodev").toStdString();
  roots.user_ports = dir.filePath("ports").toStdString();
  tessor::PortDirectory ports(store, roots);
  tessor::CDeviceEngine engine;
  bool reset_asked = false;
  tessor::SetMessageBoxHandler([&](QWidget*, const tessor::MessageRecord& m) {
    if (m.text.startsWith("Please RESET")) reset_asked = true;
  });
  tessor::CDataDownloader window(engine, ports, store, "stall");
  window.show();
  app.processEvents();
  const long rss_start = ResidentKiB();

  qint64 worst_ms = 0;
  qint64 worst_at_ms = 0;
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (now - last - 10 > worst_ms) {
      worst_ms = now - last - 10;
      worst_at_ms = now;
    }
    last = now;
  });
  heartbeat.start(10);
  last = clock.elapsed();

  tessor::CDlgConnection& page = *window.connection_page();
  tessor::CVELDSettingDlg::file_chooser() = [image](QWidget*) { return image; };
  page.ConnectClicked();
  QTimer poll;
  int stage = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (stage == 0 && window.close_enabled() && page.veld_upload()->isEnabled()) {
      std::printf("connected after %lld ms\n", static_cast<long long>(clock.elapsed()));
      page.veld_upload()->click();
      window.veld_page()->browse_button()->click();
      window.veld_page()->go_button()->click();
      stage = 1;
    } else if (stage == 1 && reset_asked) {
      std::printf("uploaded after %lld ms (finished line seen: %s)\n",
                  static_cast<long long>(clock.elapsed()),
                  HasLine(page, "Finished uploading VELD Data.") ? "yes" : "cleared");
      stage = 2;
    } else if (stage == 2 && page.connect_button()->isEnabled() && !page.connected()) {
      // The reset request disconnects: that belongs to the session measured too.
      std::printf("disconnected after %lld ms\n", static_cast<long long>(clock.elapsed()));
      app.quit();
    }
  });
  poll.start(50);
  QTimer::singleShot(600000, &app, &QApplication::quit);
  app.exec();

  std::printf("longest event-loop stall: %lld ms at %lld ms (target under 50 ms)\n",
              static_cast<long long>(worst_ms), static_cast<long long>(worst_at_ms));
  std::printf("resident memory: %ld KiB after start-up, %ld KiB after the session\n", rss_start,
              ResidentKiB());
  sim.Stop();
  return reset_asked ? 0 : 1;
}
