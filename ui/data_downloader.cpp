#include "ui/data_downloader.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/port_directory.h"
#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/alert_setting_dlg.h"
#include "ui/dlg_config.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/download_about.h"
#include "ui/engine_bridge.h"
#include "ui/message_seam.h"
#include "ui/poi_management_dlg.h"
#include "ui/program_icon.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

CDataDownloader::CDataDownloader(CDeviceEngine& engine, PortDirectory& ports, QSettings& store,
                                 const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine), ports_(ports), store_(store) {
  setWindowTitle(title);
  setWindowIcon(ProgramIcon());
  BuildPages();
  Initialise();
}

CDataDownloader::~CDataDownloader() {
  // Nothing may report to the pages once they are gone.
  engine_.StopAllThreads();
  engine_.SetObserver(nullptr);
  SaveSettings(store_, settings);
  WriteWindowGeometry(store_, saveGeometry());
  if (tray_ != nullptr) tray_->hide();
  // The pages read the window as they hide: they go while it is still whole,
  // and with the window hidden no page comes into view as another goes.
  hide();
  for (QWidget* page : PagesInBuildOrder()) delete page;
}

void CDataDownloader::BuildPages() {
  file_conversion_ = new CDlgFileConversion(*this, this);
  connection_ = new CDlgConnection(engine_, ports_, this);
  device_status_ = new CDlgDeviceStatus(*this, this);
  config_ = new CDlgConfig(*this, this);
  veld_ = new CVELDSettingDlg(this);
  alert_ = new CAlertSettingDlg(this);
  about_ = new CDownloadAbout(this);
  poi_ = new CPOIManagementDlg(this);
  for (QWidget* kept :
       std::initializer_list<QWidget*>{file_conversion_, device_status_, config_, alert_, poi_}) {
    kept->setHidden(true);
  }
  sheet_ = new QTabWidget(this);
  sheet_->addTab(connection_, "Connection");
  sheet_->addTab(veld_, "VELD setting");
  sheet_->addTab(about_, "About");
  // The sheet's own buttons exist but are neither shown nor usable.
  sheet_buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                            QDialogButtonBox::Apply | QDialogButtonBox::Help,
                                        this);
  for (QAbstractButton* button : sheet_buttons_->buttons()) button->setEnabled(false);
  sheet_buttons_->setHidden(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 12);
  layout->addWidget(sheet_);
  BuildBars();
}

void CDataDownloader::Initialise() {
  connected = 0;
  poisSaved = 0;
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);
  tray_ = new QSystemTrayIcon(windowIcon(), this);
  tray_->setToolTip(LoadText(kStrCaption));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick) RestoreFromTray();
  });
  settings = LoadSettings(store_);
  SetActivePage(kPageAbout);
  SetActivePage(kPageConnection);
  connection_->SetMainWindow(this);
  connection_->Initialise();
  {
    const QSignalBlocker quiet(connection_->device_type());
    connection_->device_type()->setCurrentIndex(settings.logger_id);
  }
  veld_->SetMainWindow(this);
  veld_->Initialise();
  ConnectBridge();
  WireJobPages();
  BuildWindowMenu();
  resize(560, 470);
  const QByteArray geometry = ReadWindowGeometry(store_);
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  if (ReadShowAllPages(store_)) SetShowAllPages(true);
}

void CDataDownloader::ConnectBridge() {
  bridge_ = new CEngineBridge(this);
  connect(bridge_, &CEngineBridge::statusLine, connection_, &CDlgConnection::AddStatusLine,
          Qt::QueuedConnection);
  connect(bridge_, &CEngineBridge::notification, connection_, &CDlgConnection::OnNotification,
          Qt::QueuedConnection);
  connect(
      bridge_, &CEngineBridge::messageBox, this,
      [this](const QString& caption, const QString& text) { ShowMessage(this, caption, text); },
      Qt::QueuedConnection);
  connect(
      bridge_, &CEngineBridge::closeRequest, this,
      [this] {
        close_enabled_ = true;
        forced_close_ = true;
        close();
      },
      Qt::QueuedConnection);
  engine_.SetObserver(bridge_);
  engine_.SetPortResolver([this](int n) { return ports_.Resolve(n); });
}

void CDataDownloader::SetActivePage(int index) {
  QWidget* page = PageWidget(index);
  if (page != nullptr && sheet_->indexOf(page) >= 0) sheet_->setCurrentWidget(page);
}

int CDataDownloader::ActivePage() const {
  for (int page = kPageConnection; page <= kPagePoi; ++page) {
    if (PageWidget(page) == sheet_->currentWidget()) return page;
  }
  return -1;
}

void CDataDownloader::SetProxySettings(uint8_t used, const QString& address, const QString& port) {
  settings.if_proxy_used = used;
  settings.proxy_address = address;
  settings.proxy_port = port;
}

void CDataDownloader::ForwardLinkState(bool up) {
  if (veld_ != nullptr) veld_->EnableControls(up);
  if (!up && file_conversion_ != nullptr) file_conversion_->LinkDown();
}

void CDataDownloader::closeEvent(QCloseEvent* event) {
  if (closing_ || (!forced_close_ && !MayClose())) {
    event->ignore();
    return;
  }
  closing_ = true;
  event->accept();
  hide();
  if (tray_ != nullptr) tray_->hide();
  engine_.StopAllThreads();
  if (connection_->connectAttempted()) {
    ShowMessage(nullptr, LoadText(kStrCaption), LoadText(kStrResetDevice));
  }
  emit finished();
}

}  // namespace tessor
