#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QCheckBox;
class QSettings;
class QTemporaryDir;
class QTimer;

namespace tessor {

class CDataDownloader;
class CDeviceEngine;

// The file conversion page ("Data Log Download"): the logger's tracks, the
// download of the chosen ones into NMEA files (and, when chosen, GPX and KML
// files beside them) with its progress, the list of finished files with each
// track on the map, and the hand-off to the photo-matching tool.
class CDlgFileConversion : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTimerMs = 1000;
  // Shown after the file of a track whose header the logger refused.
  static constexpr const char* kSkippedMark = " (skipped)";
  // The job's name as the main window shows it.
  static constexpr const char* kJobName = "Track download";
  // The status line after a download the user stopped.
  static constexpr const char* kCancelledLine = "Track download cancelled.";

  // The check box that erases the log after a download that ended whole.
  static constexpr const char* kEraseAfterText = "Erase the log after a verified download";
  // Asked when the folder holds notes of an unfinished download of a chosen track.
  static constexpr const char* kResumeQuestion =
      "The folder holds an unfinished download of the chosen tracks.\n"
      "OK: go on where it stopped; tracks already whole in the folder are not downloaded "
      "again.\nCancel: download every chosen track again.";
  // Said, with the tracks that were not whole, instead of the erase.
  static constexpr const char* kNotErasedLine =
      "The log was not erased: not every track was downloaded whole.";
  static constexpr const char* kNotErasedCancelledLine =
      "The log was not erased: the download was cancelled.";

  // The file list's action that draws a downloaded track on the map.
  static constexpr const char* kShowOnMap = "Show on map";

  explicit CDlgFileConversion(CDataDownloader& main, QWidget* parent = nullptr);
  ~CDlgFileConversion() override;

  void StartClicked();
  void PhotoToolClicked();
  void TimerTick();
  // The link went down: no progress and no file list left from it.
  void LinkDown();

  // A track download started here runs now.
  bool JobRunning() const { return job_running_; }
  QString RunningJobText() const { return "a track download is running"; }
  // Asks the download to stop; it ends at its next check and is reported as
  // cancelled, the track in progress left without a file, the tracks already
  // finished kept.
  void CancelJob();
  bool CanCancel() const { return true; }

  // Writes the map page of the listed file in the row and opens it; a message
  // says why when the track has no point or the page cannot be written.
  void ShowOnMap(int row);
  // Opens a written map page; the system's browser unless replaced.
  void SetMapOpener(std::function<void(const QString&)> opener) { open_map_ = std::move(opener); }

  QListWidget* log_list() const { return log_list_; }
  QPushButton* start_button() const { return start_; }
  QListWidget* nmea_list() const { return nmea_list_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* percent() const { return percent_; }
  QLabel* received() const { return received_; }
  QLabel* total() const { return total_text_; }
  QLabel* elapsed() const { return elapsed_; }
  QLabel* rate() const { return rate_; }
  QPushButton* photo_button() const { return photo_; }
  QCheckBox* gpx_export() const { return gpx_; }
  QCheckBox* kml_export() const { return kml_; }
  QCheckBox* erase_after() const { return erase_after_; }
  bool timer_active() const;
  uint32_t selection_total() const { return total_; }

 signals:
  // Bytes of the chosen tracks received so far, of their total.
  void jobProgress(const QString& job, qint64 done, qint64 total);
  // The download is over; ok only when every chosen track became its file.
  void jobEnded(const QString& job, bool ok);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // One chosen track, in download order.
  struct Pick {
    int track = 0;
    uint32_t date = 0;
  };

  void BuildControls();
  void BuildExportControls(QWidget* files);
  void ExportChoiceChanged();
  void ListFile(const QString& name, const std::string& path);
  bool ExportTrack(const std::string& nmea_path);
  void FileListMenu(const QPoint& at);
  void PageShown();
  void FillLogList();
  void SetControlsEnabled(bool start, bool photo, bool list);
  bool Ready() const;
  bool DownloadIdle() const;
  int TrackCount() const;
  void DisableConnectionControls();
  void RestoreConnectionControls();
  void HandOff(const QByteArray& folder);
  static QString HandOffError(const QSettings& locr);
  bool SelectTracks();
  bool AskResume();
  void EraseAfterDownload(bool whole);
  void ShowProgress();
  void ListFinishedFiles(bool over);
  void FinishDownload(bool connected);
  void ShowDisconnected();
  bool AllTracksWritten() const;
  void EndJob(bool ok);
  QString FileName(const Pick& pick) const;
  CDeviceEngine& engine() const;

  CDataDownloader& main_;
  QTimer* timer_ = nullptr;
  QElapsedTimer started_;
  std::vector<Pick> picks_;
  size_t next_pick_ = 0;
  uint32_t total_ = 0;
  bool job_running_ = false;
  bool cancel_asked_ = false;
  bool export_failed_ = false;
  std::unique_ptr<QTemporaryDir> map_folder_;
  std::function<void(const QString&)> open_map_;
  std::vector<std::pair<QWidget*, bool>> connection_state_;

  QListWidget* log_list_ = nullptr;
  QPushButton* start_ = nullptr;
  QListWidget* nmea_list_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* percent_ = nullptr;
  QLabel* received_ = nullptr;
  QLabel* total_text_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* rate_ = nullptr;
  QPushButton* photo_ = nullptr;
  QCheckBox* gpx_ = nullptr;
  QCheckBox* kml_ = nullptr;
  QCheckBox* erase_after_ = nullptr;
};

}  // namespace tessor
