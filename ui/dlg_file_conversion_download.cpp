// The file conversion page's download: ">" and the once-a-second progress.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <filesystem>
#include <map>
#include <set>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "logger/track_resume.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/message_seam.h"
#include "ui/question_seam.h"

namespace tessor {

void CDlgFileConversion::DisableConnectionControls() {
  connection_state_.clear();
  CDlgConnection* c = main_.connection_page();
  for (QWidget* w :
       {static_cast<QWidget*>(c->connect_button()), static_cast<QWidget*>(c->veld_upload()),
        static_cast<QWidget*>(c->poi_download()), static_cast<QWidget*>(c->download_db()),
        static_cast<QWidget*>(c->process_button())}) {
    connection_state_.emplace_back(w, w->isEnabled());
    w->setEnabled(false);
  }
}

// Without a download nothing would ever give the connection page its controls back.
void CDlgFileConversion::RestoreConnectionControls() {
  for (const auto& [widget, enabled] : connection_state_) widget->setEnabled(enabled);
  connection_state_.clear();
}

// The photo tool finds the folder where it looks for it at its start.
void CDlgFileConversion::HandOff(const QByteArray& folder) {
  QSettings locr("locr", "LocrClient");
  if (locr.isWritable()) {
    locr.setValue("LoadFilesAtStartup", 1);
    locr.setValue("DirectoryGpsFile", ToWide(folder));
    locr.sync();
  }
  if (!locr.isWritable() || locr.status() != QSettings::NoError) {
    ShowMessage(this, "Error", locr.fileName() + ": " + HandOffError(locr));
  }
}

// The system's reason when there is one; a file it cannot read is no system error.
QString CDlgFileConversion::HandOffError(const QSettings& locr) {
  const int error = FileWriteError(locr.fileName());
  if (error != 0) return SystemErrorText(error);
  // No system reason could be found: say what failed without inventing one.
  return locr.status() == QSettings::FormatError ? QString("Not a settings file")
                                                 : QString("The settings could not be written");
}

// Marks the chosen tracks for the download; false when none is left to take.
bool CDlgFileConversion::SelectTracks() {
  std::vector<int> chosen;
  for (const QListWidgetItem* item : log_list_->selectedItems()) {
    chosen.push_back(item->data(Qt::UserRole).toInt());
  }
  std::sort(chosen.begin(), chosen.end());
  picks_.clear();
  next_pick_ = 0;
  const std::vector<TrackHeaderRecord> headers = engine().track_table().headers;
  for (const int t : chosen) {
    if (t < 0 || static_cast<size_t>(t) >= headers.size() || headers[t].valid == 0) continue;
    picks_.push_back({t, headers[t].header_value});
  }
  engine().SelectTracks(chosen);
  return !picks_.empty();
}

// Only a folder with notes of an unfinished download has anything to go on
// from; without them the tracks are downloaded as always.
bool CDlgFileConversion::AskResume() {
  const bool unfinished = std::any_of(picks_.begin(), picks_.end(), [this](const Pick& p) {
    std::error_code ignored;
    return std::filesystem::exists(TrackNotePath(engine().TrackFilePath(p.track, p.date)), ignored);
  });
  return unfinished && AskOkCancel(this, LoadText(kStrCaption), kResumeQuestion);
}

void CDlgFileConversion::StartClicked() {
  if (log_list_->selectedItems().isEmpty()) {
    ShowMessage(this, LoadText(kStrCaption), LoadText(kStrSelectLogData));
    return;
  }
  DisableConnectionControls();
  const QByteArray folder = main_.settings.nmea_path;
  if (folder.isEmpty()) {
    ShowMessage(this, LoadText(kStrCaption), LoadText(kStrSelectPath));
    RestoreConnectionControls();
    main_.SetActivePage(CDataDownloader::kPageConfig);
    return;
  }
  engine().SetOutputFolder(folder.toStdString());
  HandOff(folder);
  nmea_list_->clear();
  main_.connection_page()->status_list()->clear();
  if (!SelectTracks()) {
    RestoreConnectionControls();
    return;
  }
  engine().SetTrackResume(AskResume());
  total_ = static_cast<uint32_t>(std::min<uint64_t>(engine().TrackBytesToCome(), UINT32_MAX));
  progress_->setRange(0,
                      static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(total_, 1), INT_MAX)));
  progress_->setValue(0);
  total_text_->setText(QString::asprintf("%08ld", static_cast<long>(total_)));
  if (engine().StartTrackDownload() != kResultOk) {
    RestoreConnectionControls();
    return;
  }
  connection_state_.clear();
  started_.start();
  SetControlsEnabled(false, false, false);
  timer_->start(kTimerMs);
  job_running_ = true;
  cancel_asked_ = false;
  export_failed_ = false;
  emit jobProgress(kJobName, 0, total_);
}

void CDlgFileConversion::CancelJob() {
  if (!job_running_) return;
  cancel_asked_ = true;
  // Every loop of the download tests this flag; the track in progress loses its part file.
  engine().StopWorker();
}

void CDlgFileConversion::ShowProgress() {
  const uint32_t got = engine().track_bytes_received();
  progress_->setValue(static_cast<int>(std::min<uint32_t>(got, INT_MAX)));
  // An empty selection has nothing to divide by: it stays at 0 %.
  const uint64_t percent = total_ == 0 ? 0 : uint64_t{got} * 100 / total_;
  percent_->setText(
      QString::asprintf("%02d%%", static_cast<int>(std::min<uint64_t>(percent, 100))));
  received_->setText(QString::asprintf("%08ld", static_cast<long>(got)));
  if (job_running_) emit jobProgress(kJobName, got, total_);
}

QString CDlgFileConversion::FileName(const Pick& pick) const {
  return QString::asprintf("%05d_%ld.nmea", pick.track, static_cast<long>(pick.date));
}

// Lists the chosen tracks' files in download order as they become whole. A
// track whose header the logger refused keeps its mark and an empty file; it is
// listed as skipped once the download has gone past it.
void CDlgFileConversion::ListFinishedFiles(bool over) {
  std::set<QString> written;
  std::map<QString, std::string> paths;
  std::vector<bool> marked(picks_.size());
  // The files before the marks: a track is unmarked only after its file is listed.
  for (const std::string& path : engine().track_download_summary().files) {
    const size_t slash = path.rfind('/');
    const QString name = ToWide(slash == std::string::npos ? path : path.substr(slash + 1));
    written.insert(name);
    paths[name] = path;
  }
  const std::vector<TrackHeaderRecord> headers = engine().track_table().headers;
  for (size_t i = 0; i < picks_.size(); ++i) {
    const auto t = static_cast<size_t>(picks_[i].track);
    marked[i] = t < headers.size() && headers[t].selected != 0;
  }
  for (; next_pick_ < picks_.size(); ++next_pick_) {
    const QString name = FileName(picks_[next_pick_]);
    bool later = over;
    for (size_t j = next_pick_ + 1; j < picks_.size() && !later; ++j) {
      later = written.count(FileName(picks_[j])) > 0;
    }
    const bool file = written.count(name) > 0;
    if (file && !marked[next_pick_]) {
      ListFile(name, paths[name]);
    } else if (file) {
      if (!later) break;
      nmea_list_->addItem(name + kSkippedMark);
    } else if (!later) {
      break;  // still coming
    }
    // A track never written (stopped, or its file failed) has nothing to list.
  }
  if (nmea_list_->count() > 0) {
    nmea_list_->scrollToItem(nmea_list_->item(nmea_list_->count() - 1),
                             QAbstractItemView::PositionAtBottom);
  }
}

void CDlgFileConversion::TimerTick() {
  const bool over = DownloadIdle();
  const bool connected = main_.connected != 0;
  ShowProgress();
  if (connected) {
    ListFinishedFiles(over);
  } else {
    received_->setText(QString::asprintf("%08ld", 0L));
    total_text_->setText(QString::asprintf("%08ld", 0L));
    SetControlsEnabled(false, false, true);
    timer_->stop();
    EndJob(false);
  }
  if (over) FinishDownload(connected);
}

void CDlgFileConversion::FinishDownload(bool connected) {
  timer_->stop();
  if (!connected) {
    ShowDisconnected();
    EndJob(false);
    return;
  }
  const bool whole = AllTracksWritten() && !export_failed_;
  EndJob(whole);
  SetControlsEnabled(TrackCount() > 0, true, true);
  if (erase_after_->isChecked()) EraseAfterDownload(whole);
  const float seconds = static_cast<float>(started_.elapsed()) / 1000.0f;
  elapsed_->setText(QString::asprintf("%8f", static_cast<double>(seconds)));
  const double rate = seconds > 0 ? total_ / static_cast<double>(seconds) : 0.0;
  rate_->setText(QString::asprintf("%08.4f", rate));
}

// The log goes only after every chosen track is whole in its file, read back
// as written; otherwise the tracks that are not are named and the log stays.
void CDlgFileConversion::EraseAfterDownload(bool whole) {
  CDlgConnection* status = main_.connection_page();
  if (cancel_asked_) {
    // A cancel may come after the last track: the user still did not want to go on.
    status->AddStatusLine(kNotErasedCancelledLine, false);
    return;
  }
  if (whole) {
    main_.device_status_page()->StartErase();
    return;
  }
  for (const TrackResult& t : engine().track_download_summary().tracks) {
    const std::string why = TrackEndText(t.end);
    if (!why.empty())
      status->AddStatusLine(ToWide("Track " + std::to_string(t.index) + ": " + why), false);
  }
  if (export_failed_) status->AddStatusLine("A GPX or KML copy could not be written.", false);
  status->AddStatusLine(kNotErasedLine, false);
}

// Nothing is being received without a device: no counts are left from the last download.
void CDlgFileConversion::ShowDisconnected() {
  SetControlsEnabled(false, false, true);
  received_->setText("00000000");
  total_text_->setText("00000000");
  percent_->setText("00%");
}

// Lost, refused, stopped and unwritable tracks all leave the download short.
bool CDlgFileConversion::AllTracksWritten() const {
  return engine().track_download_summary().whole();
}

// A cancel that came after the last track was written stopped nothing: the
// download is reported as it ended.
void CDlgFileConversion::EndJob(bool ok) {
  if (!job_running_) return;
  job_running_ = false;
  if (cancel_asked_ && !ok) main_.connection_page()->AddStatusLine(kCancelledLine, false);
  emit jobEnded(kJobName, ok);
}

}  // namespace tessor
