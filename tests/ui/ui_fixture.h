#pragma once

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/port_directory.h"
#include "engine/device_engine.h"
#include "tools/devsim/simulator.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/message_seam.h"

namespace tessor::test {

// The main window over a fresh settings file, a port directory of test folders
// and, when asked, a simulated device on a real pty linked into the ports folder.
// Message boxes are recorded, never shown.
class UiRig {
 public:
  UiRig();
  ~UiRig();

  // Starts the simulated device and links it into the ports folder.
  void StartDevice(const devsim::Scenario& scenario, bool pace = false);
  // Builds the main window (after the store and the ports are set up).
  CDataDownloader& Open();
  // Adds a link in the ports folder to any target.
  void Link(const QString& name, const QString& target);
  void SelectPort(const QString& starting_with);
  bool HasLine(const QString& line) const;
  bool HasMessage(const QString& text) const;
  QString image_file(const std::vector<uint8_t>& bytes, const QString& name = "image.bin");
  // Connects and waits until the page is ready for a job.
  void ConnectAndSettle();
  // Picks the image on the VELD page and goes back to start its upload.
  void StartUpload(const std::vector<uint8_t>& image);
  // Index of the first message box starting with the text, -1 when none.
  int MessageIndex(const QString& starting_with) const;
  static std::vector<uint8_t> MakeImage(size_t points);
  // Every answer comes a little late, so that a long upload can be watched,
  // cut or cancelled halfway.
  static devsim::Scenario SlowDevice();
  // About 200 blocks of 128 bytes.
  static std::vector<uint8_t> LargeImage();

  CDlgConnection& page() { return *window->connection_page(); }
  QSettings& store() { return *store_; }

  QTemporaryDir dir;
  std::unique_ptr<QSettings> store_;
  std::unique_ptr<PortDirectory> ports;
  std::unique_ptr<CDeviceEngine> engine;
  std::unique_ptr<devsim::Simulator> sim;
  std::unique_ptr<CDataDownloader> window;
  std::vector<MessageRecord> messages;
  QString ports_folder;
};

// Long enough for a whole connect and upload at the tests' time scale.
inline constexpr int kDeviceWaitMs = 60000;

}  // namespace tessor::test
