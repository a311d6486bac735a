// The long jobs the pages run (upload, database and track download, erase):
// their progress in the status bar and the tray tip, and Close while one runs.
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include "app/shell.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/message_seam.h"
#include "ui/poi_management_dlg.h"
#include "ui/question_seam.h"

namespace tessor {

void CDataDownloader::BuildBars() {
  menu_bar_ = new QMenuBar(this);
  status_bar_ = new QStatusBar(this);
  status_bar_->setSizeGripEnabled(false);
  auto* box = static_cast<QVBoxLayout*>(layout());
  box->setMenuBar(menu_bar_);
  box->addWidget(status_bar_);
}

template <typename JobPageT>
void CDataDownloader::WireJobPage(JobPageT* page) {
  connect(page, &JobPageT::jobProgress, this, &CDataDownloader::OnJobProgress);
  connect(page, &JobPageT::jobEnded, this, &CDataDownloader::OnJobEnded);
  job_pages_.push_back({[page] { return page->JobRunning(); },
                        [page] { return page->RunningJobText(); }, [page] { page->CancelJob(); },
                        [page] { return page->CanCancel(); }});
}

void CDataDownloader::WireJobPages() {
  WireJobPage(connection_);
  WireJobPage(file_conversion_);
  WireJobPage(device_status_);
}

void CDataDownloader::OnJobProgress(const QString& job, qint64 done, qint64 total) {
  if (!meter_.running() || meter_.job() != job) {
    meter_.Start(job);
  }
  meter_.Update(done, total);
  const auto percent = meter_.Percent();
  const QString state = percent ? QString("%1 %").arg(*percent) : ProgressMeter::Amount(done);
  tray_->setToolTip(QString("%1 - %2 %3").arg(LoadText(kStrCaption), job, state));
  status_bar_->showMessage(meter_.Line());
}

void CDataDownloader::OnJobEnded(const QString& job, bool ok) {
  // A job that ended before its first report still gets its line.
  if (!meter_.running() || meter_.job() != job) meter_.Start(job);
  tray_->setToolTip(LoadText(kStrCaption));
  status_bar_->showMessage(meter_.EndLine(ok, !ok && cancel_requested_));
  meter_.Stop();
  cancel_requested_ = false;
}

bool CDataDownloader::MayClose() {
  for (JobPage& page : job_pages_) {
    if (!page.running()) continue;
    if (!page.can_cancel()) {
      // Nothing to offer: the job runs to its end whatever the user answers.
      ShowMessage(this, LoadText(kStrCaption),
                  QString("The window cannot close while %1; it can once it has finished.")
                      .arg(page.why()));
      return false;
    }
    const QString text = QString(
                             "The window cannot close while %1.\n"
                             "Choose OK to cancel it, or Cancel to let it go on.")
                             .arg(page.why());
    // The job may have ended while the question was open.
    if (AskOkCancel(this, LoadText(kStrCaption), text) && page.running()) {
      cancel_requested_ = true;
      page.cancel();
    }
    return false;
  }
  if (!close_enabled_) {
    ShowMessage(this, LoadText(kStrCaption),
                "The window cannot close while the device is busy; it can once the device is "
                "done.");
    return false;
  }
  // POI edits not yet saved are asked about before the window takes them away.
  return poi_ == nullptr || poi_->ConfirmDropEdits();
}

}  // namespace tessor
