// The Connection page's operations, timers and the engine's notifications.
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/login_dlg.h"
#include "ui/message_seam.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

namespace {
constexpr int kLoggerConfigTries = 10;
constexpr int kImagePathLimit = 259;
}  // namespace

void CDlgConnection::UploadChecked() {
  progress_->setValue(0);
  SetLamp(kLampWhite);
  if (poi_download_->isChecked()) poi_download_->setChecked(false);
  if (veld_upload_->isChecked()) {
    if (main_ != nullptr) main_->SetActivePage(CDataDownloader::kPageVeld);
    process_->setEnabled(true);
    download_db_->setEnabled(false);
  } else {
    process_->setEnabled(false);
    if (main_ != nullptr && main_->veld_page() != nullptr) main_->veld_page()->ClearFileName();
    download_db_->setEnabled(true);
  }
}

void CDlgConnection::PoiChecked() {
  if (veld_upload_->isChecked()) veld_upload_->setChecked(false);
  const bool poi = poi_download_->isChecked();
  process_->setEnabled(poi);
  download_db_->setEnabled(!poi);
  if (call_.running()) return;
  // The query waits on the device: the page's controls stay off until it returns.
  connect_button_->setEnabled(false);
  veld_upload_->setEnabled(false);
  poi_download_->setEnabled(false);
  call_.Run(
      [this] {
        LoggerConfig config;
        for (int i = 0; i < kLoggerConfigTries; ++i) {
          if (engine_.QueryLoggerConfig(&config) == kResultOk) return kResultOk;
        }
        return kResultNoAnswer;
      },
      [this](int result) {
        connect_button_->setEnabled(true);
        veld_upload_->setEnabled(true);
        poi_download_->setEnabled(true);
        if (result != kResultOk) Box(LoadText(112));
      });
}

void CDlgConnection::ProcessClicked() {
  StopTimer(kTimerProcess);
  connect_button_->setEnabled(false);
  veld_upload_->setEnabled(false);
  poi_download_->setEnabled(false);
  progress_->setValue(0);
  SetMainBusy(true);
  if (!veld_upload_->isChecked()) return;
  engine_.upload_finished = 0;
  engine_.connect_progress = false;
  engine_.database_download_finished = false;
  ImageChoice choice;
  bool web_source = false;
  if (main_ != nullptr && main_->veld_page() != nullptr) {
    choice = main_->veld_page()->GetImageChoice();
    web_source = main_->veld_page()->web_source_checked();
  }
  if (web_source || (choice.web != 0 && choice.local != 0)) {
    CLoginDlg login(this);
    if (login.exec() != QDialog::Accepted) {
      veld_upload_->setEnabled(true);
      poi_download_->setEnabled(true);
      connect_button_->setEnabled(true);
      SetMainBusy(false);
      return;
    }
    KeepCredentials(login.account(), login.password());
  }
  engine_.image_path = choice.path.left(kImagePathLimit).toStdString();
  SetCloseEnabled(false);
  StartTimer(kTimerOperation, 950);
  process_->setEnabled(false);
  engine_.StartDatabaseUpload();
}

void CDlgConnection::DownloadClicked() {
  SetLamp(kLampWhite);
  Box(LoadText(114));
  SetMainBusy(true);
  // A flag left from the handshake or an earlier upload would end timer 1 at once.
  engine_.upload_finished = 0;
  engine_.connect_progress = false;
  engine_.database_download_finished = false;
  engine_.StartDatabaseDownload();
  download_db_->setEnabled(false);
  veld_upload_->setEnabled(false);
  poi_download_->setEnabled(false);
  connect_button_->setEnabled(false);
  StartTimer(kTimerOperation, 550);
}

void CDlgConnection::TimerTick(int timer) {
  if (timer == kTimerProcess) {
    ProcessClicked();
    return;
  }
  if (timer == kTimerOperation) {
    if (engine_.upload_finished.load() != 0 || engine_.connect_progress.load()) {
      StopTimer(kTimerOperation);
      veld_upload_->setEnabled(true);
      poi_download_->setEnabled(true);
      process_->setEnabled(true);
      connect_button_->setEnabled(true);
    }
    if (engine_.database_download_finished.load()) {
      StopTimer(kTimerOperation);
      download_db_->setEnabled(true);
      veld_upload_->setEnabled(true);
      poi_download_->setEnabled(true);
      connect_button_->setEnabled(true);
      SetMainBusy(false);
    }
    return;
  }
  if (timer == kTimerHandshake && (engine_.handshake_done.load() || !engine_.link_flag.load())) {
    HandshakeEnded();
  }
}

// Disconnects after a reset request, unless the link is already going down.
void CDlgConnection::AskResetAndDisconnect() {
  Box(LoadText(kStrResetDevice));
  if (connected_ && !call_.running()) ConnectClicked();
}

void CDlgConnection::OnNotification(int id, qint64 first, qint64 second) {
  switch (id) {
    case WM_DEV_PROGRESS: {
      const qint64 percent = second == 0 ? 0 : first * 100 / second;
      progress_->setValue(static_cast<int>(std::clamp<qint64>(percent, 0, 100)));
      break;
    }
    case WM_DEV_OPERATION_END:
      if (first == 0) AskResetAndDisconnect();
      SetMainBusy(false);
      SetCloseEnabled(true);
      break;
    case WM_DEV_ERASE_BUSY:
      lamp_blinking_ = true;
      SetLamp(lamp_colour_ == kLampWhite ? kLampRed : kLampWhite);
      break;
    case WM_DEV_ERASE_DONE:
      lamp_blinking_ = false;
      SetLamp(kLampGreen);
      break;
    case WM_DEV_ENABLE_CONTROLS:
      connect_button_->setEnabled(true);
      veld_upload_->setEnabled(true);
      poi_download_->setEnabled(true);
      download_db_->setEnabled(true);
      process_->setEnabled(veld_upload_->isChecked() || poi_download_->isChecked());
      break;
    case WM_DEV_DOWNLOAD_END:
      if (second != 0) {
        AskResetAndDisconnect();
        SetCloseEnabled(true);
      }
      break;
    case WM_DEV_PROGRESS_RESET:
      progress_->setValue(0);
      break;
    default:
      break;
  }
}

}  // namespace tessor
