#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSettings;
class QTimer;

namespace tessor {

class CDataDownloader;
class CDeviceEngine;

// The file conversion page ("Data Log Download"): the logger's tracks, the
// download of the chosen ones into NMEA files with its progress, the list of
// finished files and the hand-off to the photo-matching tool.
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

  explicit CDlgFileConversion(CDataDownloader& main, QWidget* parent = nullptr);

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
};

}  // namespace tessor
