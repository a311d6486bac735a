// The Connection page's operations, timers and the engine's notifications.
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "logger/logger_settings.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/login_dlg.h"
#include "ui/message_seam.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

namespace {
constexpr int kImagePathLimit = 259;
constexpr const char* kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";
constexpr const char* kDownloadFailed =
    "Failed to download the DB, please check the connection or the device!!";

// "12.5 s" or "3 min 20 s"; digits never follow the locale.
QString DurationText(qint64 ms) {
  if (ms < 60000) return QString::number(ms / 1000.0, 'f', 1) + " s";
  const qint64 seconds = (ms + 500) / 1000;
  return QString("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
}
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
        // The switch's query has never waited between its tries.
        return QueryLoggerConfigWithTries(engine_, &config, TryPacing::kBackToBack);
      },
      [this](int result) {
        connect_button_->setEnabled(true);
        veld_upload_->setEnabled(true);
        poi_download_->setEnabled(true);
        if (result != kResultOk) Box(LoadText(kStrPoiNumberFailed));
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
  engine_.ClearJobEnds();
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
  engine_.SetImagePath(choice.path.left(kImagePathLimit).toStdString());
  SetCloseEnabled(false);
  StartTimer(kTimerOperation, kUploadPollMs);
  process_->setEnabled(false);
  StartJob(Job::kUpload);
  if (engine_.StartDatabaseUpload() != kResultOk) {
    // No worker, so no end would ever come to close the job.
    job_ = Job::kNone;
    AddStatusLine(kUploadFailed, false);
    emit jobEnded("Upload", false);
  }
}

void CDlgConnection::DownloadClicked() {
  SetLamp(kLampWhite);
  Box(LoadText(kStrDoNotTurnOff));
  SetMainBusy(true);
  // A flag left from the handshake or an earlier upload would end timer 1 at once.
  engine_.ClearJobEnds();
  StartJob(Job::kDownload);
  if (engine_.StartDatabaseDownload() != kResultOk) {
    job_ = Job::kNone;
    AddStatusLine(kDownloadFailed, false);
    emit jobEnded("Database download", false);
    DownloadControlsBack();
    return;
  }
  download_db_->setEnabled(false);
  veld_upload_->setEnabled(false);
  poi_download_->setEnabled(false);
  connect_button_->setEnabled(false);
  StartTimer(kTimerOperation, kDownloadPollMs);
}

// The page's controls after a database download, or after one that could not start.
void CDlgConnection::DownloadControlsBack() {
  download_db_->setEnabled(true);
  veld_upload_->setEnabled(true);
  poi_download_->setEnabled(true);
  connect_button_->setEnabled(true);
  SetMainBusy(false);
}

void CDlgConnection::TimerTick(int timer) {
  if (timer == kTimerProcess) {
    ProcessClicked();
    return;
  }
  if (timer == kTimerOperation) {
    if (engine_.upload_finished() != 0 || engine_.connect_progress()) {
      StopTimer(kTimerOperation);
      veld_upload_->setEnabled(true);
      poi_download_->setEnabled(true);
      process_->setEnabled(true);
      connect_button_->setEnabled(true);
    }
    if (engine_.database_download_finished()) {
      StopTimer(kTimerOperation);
      DownloadControlsBack();
    }
    return;
  }
  if (timer == kTimerHandshake && (engine_.handshake_done() || !engine_.link_up())) {
    HandshakeEnded();
  }
}

// Disconnects after a reset request, unless the link is already going down.
void CDlgConnection::AskResetAndDisconnect() {
  Box(LoadText(kStrResetDevice));
  ForcedDisconnect();
}

void CDlgConnection::StartJob(Job job) {
  job_ = job;
  cancel_requested_ = false;
  job_clock_.start();
}

QString CDlgConnection::JobName() const {
  return job_ == Job::kUpload ? "Upload" : "Database download";
}

QString CDlgConnection::RunningJobText() const {
  switch (job_) {
    case Job::kUpload:
      return "an upload is running";
    case Job::kDownload:
      return "a database download is running";
    case Job::kNone:
      break;
  }
  return {};
}

// The database transfers end on the link flag, as the engine's own stop does;
// the link thread then closes the port, and the job's end reports the cancel.
void CDlgConnection::CancelJob() {
  if (!JobRunning() || cancel_requested_) return;
  cancel_requested_ = true;
  AddStatusLine(
      job_ == Job::kUpload ? "Cancelling the upload..." : "Cancelling the database download...",
      false);
  engine_.StopLink();
}

// Only a finished upload leads to the reset reminder; a failure says so in a
// box, and a link that is gone takes the page to not connected, list kept.
void CDlgConnection::EndUpload(bool reset_asked) {
  const bool ok = engine_.upload_succeeded();
  const bool cancelled = cancel_requested_ && !ok;
  const qint64 elapsed = job_clock_.elapsed();
  job_ = Job::kNone;
  cancel_requested_ = false;
  emit jobEnded("Upload", ok);
  if (ok) {
    const QString text = QString("The database was uploaded: %1 bytes in %2.")
                             .arg(engine_.image_size())
                             .arg(DurationText(elapsed));
    AddStatusLine(text, false);
    Box(text);
    AskResetAndDisconnect();
    return;
  }
  if (cancelled) {
    AddStatusLine("Upload cancelled.", false);
  } else if (reset_asked) {
    // Three missed blocks come with the engine's own box; a lost link or an
    // unacknowledged mode with none.
    FailureBox(kUploadFailed);
  }
  if (!engine_.link_up()) ForcedDisconnect();
}

void CDlgConnection::EndDownload(bool whole) {
  const bool cancelled = cancel_requested_ && !whole;
  job_ = Job::kNone;
  cancel_requested_ = false;
  emit jobEnded("Database download", whole);
  if (whole) {
    ShowDownloadVerdict();
    AskResetAndDisconnect();
    SetCloseEnabled(true);
    return;
  }
  if (cancelled) {
    AddStatusLine("Database download cancelled.", false);
  } else {
    FailureBox(kDownloadFailed);
  }
  if (!engine_.link_up()) ForcedDisconnect();
}

// The engine shows "They are Identical !!" itself; a difference is only its
// last status line, which must not go unseen behind the reset box.
void CDlgConnection::ShowDownloadVerdict() {
  const QString last = ToWide(engine_.last_status_line());
  if (last.contains("not identical")) FailureBox(last);
}

void CDlgConnection::OnNotification(int id, qint64 first, qint64 second) {
  switch (id) {
    case WM_DEV_PROGRESS: {
      const qint64 percent = second == 0 ? 0 : first * 100 / second;
      progress_->setValue(static_cast<int>(std::clamp<qint64>(percent, 0, 100)));
      // The connect's own reads move the bar too, but they are no job.
      if (JobRunning()) emit jobProgress(JobName(), first, second);
      break;
    }
    case WM_DEV_OPERATION_END:
      if (job_ == Job::kUpload) {
        EndUpload(first == 0);
      } else if (first == 0) {
        AskResetAndDisconnect();
      }
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
      if (job_ == Job::kDownload) {
        EndDownload(second != 0);
      } else if (second != 0) {
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
