#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/settings_store.h"
#include "ui/progress_meter.h"

class QAction;
class QDialogButtonBox;
class QMenuBar;
class QSettings;
class QStatusBar;
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
  // The three tabs by their place; the kept pages by name, wherever they stand
  // when all pages are shown.
  enum Page {
    kPageConnection = 0,
    kPageVeld = 1,
    kPageAbout = 2,
    kPageFileConversion,
    kPageDeviceStatus,
    kPageConfig,
    kPageAlert,
    kPagePoi
  };

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
  // Shows a page; a kept page that is not among the tabs is left as it is.
  void SetActivePage(int index);
  // The shown page, a Page value.
  int ActivePage() const;
  // Adds the five kept pages to the tabs, in the order the pages are built, or
  // takes them away again; the choice is kept in the settings store.
  void SetShowAllPages(bool show);
  bool show_all_pages() const { return show_all_pages_; }
  QAction* show_all_action() const { return show_all_action_; }
  // "Record the serial line": each connection writes a trace; kept in the store.
  QAction* record_line_action() const { return record_line_action_; }
  QTabWidget* sheet() const { return sheet_; }
  QDialogButtonBox* sheet_buttons() const { return sheet_buttons_; }
  QMenuBar* menu_bar() const { return menu_bar_; }
  // The running job's progress line, then its result.
  QStatusBar* status_bar() const { return status_bar_; }
  // Tests give the meter a clock they move themselves.
  void SetProgressClock(ProgressMeter::Clock clock) { meter_ = ProgressMeter(std::move(clock)); }

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
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A page that runs long jobs, seen through the calls the window needs.
  struct JobPage {
    std::function<bool()> running;
    std::function<QString()> why;
    std::function<void()> cancel;
    // False for a job the device cannot be told to stop (an erase it has begun).
    std::function<bool()> can_cancel;
  };

  void BuildPages();
  void BuildBars();
  template <typename JobPageT>
  void WireJobPage(JobPageT* page);
  void WireJobPages();
  void OnJobProgress(const QString& job, qint64 done, qint64 total);
  void OnJobEnded(const QString& job, bool ok);
  // False after saying why the window stays (and cancelling a job when asked).
  bool MayClose();
  // Widens the window so every tab shows without scroll arrows; never narrows.
  void FitAllTabs();
  void Initialise();
  void ConnectBridge();
  void MinimiseToTray();
  void BuildWindowMenu();
  void ShowWindowMenu(const QPoint& global_position);
  QWidget* PageWidget(int page) const;
  QList<QWidget*> PagesInBuildOrder() const;

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
  // The engine asked for the close: nothing can go on, so nothing is asked.
  bool forced_close_ = false;
  QMenuBar* menu_bar_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  ProgressMeter meter_;
  std::vector<JobPage> job_pages_;
  // The user cancelled the running job from Close: its end reads as cancelled.
  bool cancel_requested_ = false;
  bool show_all_pages_ = false;
  QAction* show_all_action_ = nullptr;
  QAction* record_line_action_ = nullptr;

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
