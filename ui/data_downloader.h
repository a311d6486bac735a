#pragma once

#include <QWidget>
#include <cstdint>

#include "app/settings_store.h"

class QDialogButtonBox;
class QSettings;
class QSystemTrayIcon;
class QTabWidget;

namespace tessor {

class CAlertSettingDlg;
class CDeviceEngine;
class CDlgConfig;
class CDlgConnection;
class CDlgDeviceStatus;
class CDlgFileConversion;
class CDownloadAbout;
class CEngineBridge;
class CPOIManagementDlg;
class CVELDSettingDlg;
class PortDirectory;

// The main window: a tabbed sheet with its buttons hidden, owning every page
// and the state the pages share.
class CDataDownloader : public QWidget {
  Q_OBJECT

 public:
  enum Page { kPageConnection = 0, kPageVeld = 1, kPageAbout = 2 };

  CDataDownloader(CDeviceEngine& engine, PortDirectory& ports, QSettings& store,
                  const QString& title, QWidget* parent = nullptr);
  ~CDataDownloader() override;

  // Shared state of the pages.
  uint8_t connected = 0;
  uint32_t operationRunning = 0;
  uint8_t poisSaved = 0;
  PersistentSettings settings;

  QSettings& store() { return store_; }
  CDeviceEngine& engine() { return engine_; }
  void SetActivePage(int index);
  int ActivePage() const;
  QTabWidget* sheet() const { return sheet_; }
  QDialogButtonBox* sheet_buttons() const { return sheet_buttons_; }

  // The Close item of the system menu: while greyed, the window cannot be closed.
  void SetCloseEnabled(bool enabled) { close_enabled_ = enabled; }
  bool close_enabled() const { return close_enabled_; }

  void SetProxySettings(uint8_t used, const QString& address, const QString& port);
  // Passes the link state on to the VELD settings page.
  void ForwardLinkState(bool up);

  // Tray: where there is none, minimising leaves the window minimised in view.
  void SetTrayAvailable(bool available) { tray_available_ = available; }
  QSystemTrayIcon* tray() const { return tray_; }
  void RestoreFromTray();
  // A second start asked this window to come forward.
  void BringToFront();

  CDlgFileConversion* file_conversion_page() const { return file_conversion_; }
  CDlgConnection* connection_page() const { return connection_; }
  CDlgDeviceStatus* device_status_page() const { return device_status_; }
  CDlgConfig* config_page() const { return config_; }
  CVELDSettingDlg* veld_page() const { return veld_; }
  CAlertSettingDlg* alert_page() const { return alert_; }
  CDownloadAbout* about_page() const { return about_; }
  CPOIManagementDlg* poi_page() const { return poi_; }
  CEngineBridge* bridge() const { return bridge_; }

 signals:
  // The window has closed and the engine's threads are stopped.
  void finished();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildPages();
  void Initialise();
  void ConnectBridge();
  void MinimiseToTray();

  CDeviceEngine& engine_;
  PortDirectory& ports_;
  QSettings& store_;
  QTabWidget* sheet_ = nullptr;
  QDialogButtonBox* sheet_buttons_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  CEngineBridge* bridge_ = nullptr;
  bool close_enabled_ = true;
  bool tray_available_ = false;
  bool closing_ = false;

  CDlgFileConversion* file_conversion_ = nullptr;
  CDlgConnection* connection_ = nullptr;
  CDlgDeviceStatus* device_status_ = nullptr;
  CDlgConfig* config_ = nullptr;
  CVELDSettingDlg* veld_ = nullptr;
  CAlertSettingDlg* alert_ = nullptr;
  CDownloadAbout* about_ = nullptr;
  CPOIManagementDlg* poi_ = nullptr;
};

}  // namespace tessor
