#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

#include "ui/background_call.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tessor {

class CDataDownloader;
class CDeviceEngine;
class CdlgWaitBox;
enum class EraseEnd;

// The logger status page ("Data Log Status"): flash usage, the log configuration,
// battery, switches, the GPS-mouse toggle and the erase of the whole log.
class CDlgDeviceStatus : public QWidget {
  Q_OBJECT

 public:
  // How long the page watches for position sentences after its queries: longer
  // than the one second between a streaming logger's positions.
  static constexpr int kStreamWatchMs = 1200;
  // The largest log interval the logger takes, by time or by distance.
  static constexpr uint32_t kIntervalMost = 60;
  // The job's name as the main window shows it.
  static constexpr const char* kJobName = "Erase";
  // Said when the user asks to stop an erase the logger already has.
  static constexpr const char* kEraseUnstoppable =
      "The logger is already erasing its log: an erase cannot be stopped once sent. "
      "Please wait until it has finished.";

  explicit CDlgDeviceStatus(CDataDownloader& main, QWidget* parent = nullptr);
  ~CDlgDeviceStatus() override;

  // Handlers, also reachable for the controls the page keeps hidden.
  void QueryFlashClicked();
  void QueryBatteryClicked();
  void SetLogConfigClicked();
  void SetSwitchesClicked();
  void GpsMouseClicked();
  void EraseClicked();
  // The erase without its question, for a caller that has the user's word:
  // followed to its end as the button's is.
  void StartErase();

  // An erase started here runs now, from the confirmed question to its end.
  bool JobRunning() const { return erase_job_; }
  QString RunningJobText() const { return "an erase is running"; }
  // The logger cannot be told to stop erasing: the user is told so and the
  // erase is followed to its end as before.
  void CancelJob();
  bool CanCancel() const { return false; }

  bool loading() const { return load_call_.running(); }
  bool device_call_running() const { return op_call_.running(); }
  bool erase_running() const { return erase_call_.running(); }
  bool gps_mouse() const { return gps_mouse_; }

  QPushButton* erase_button() const { return erase_; }
  QLabel* elapsed() const { return elapsed_; }
  QProgressBar* flash_bar() const { return flash_bar_; }
  QLineEdit* flash_text() const { return flash_text_; }
  QPushButton* query_flash() const { return query_flash_; }
  QPushButton* query_battery() const { return query_battery_; }
  QLabel* battery_text() const { return battery_text_; }
  QRadioButton* data_type(int type) const { return data_type_[type]; }
  QRadioButton* overwrite() const { return overwrite_; }
  QRadioButton* stop_when_full() const { return stop_; }
  QRadioButton* by_time() const { return by_time_; }
  QRadioButton* by_distance() const { return by_distance_; }
  QLineEdit* interval() const { return interval_; }
  QPushButton* set_config() const { return set_config_; }
  QCheckBox* nmea_enable() const { return nmea_enable_; }
  QCheckBox* log_enable() const { return log_enable_; }
  QPushButton* set_switches() const { return set_switches_; }
  QPushButton* gps_mouse_button() const { return gps_mouse_button_; }
  CdlgWaitBox* wait_box() const { return wait_box_; }

 signals:
  // The logger gives no measure of an erase's progress: total is always 0.
  void jobProgress(const QString& job, qint64 done, qint64 total);
  // The erase is over; ok false when it was refused or the link went down.
  void jobEnded(const QString& job, bool ok);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct LoadResult;

  void BuildControls();
  QWidget* BuildConfigGroup();
  QWidget* BuildHiddenControls();
  void ConnectHandlers();
  void PageShown();
  void StartLoad();
  void FinishLoad(const LoadResult& result);
  void ShowConfig(int data_type, int memory_full, int log_type, uint32_t interval);
  void ShowSavedSettings();
  void ShowFlash(int percent);
  void SetDeviceButtonsEnabled(bool enabled);
  void OnDataTypeClicked(int type);
  void OnFullOptionClicked(int option);
  bool IntervalAccepted();
  bool RunDeviceCall(std::function<int()> work, std::function<void(int)> done);
  void EndErase(bool ok);
  void EraseAccepted();
  void EraseTick();
  void EraseFinished(EraseEnd end);
  void Box(const QString& text, bool owned = true);
  bool Connected() const;
  CDeviceEngine& engine() const;

  CDataDownloader& main_;
  BackgroundCall load_call_;
  BackgroundCall op_call_;
  BackgroundCall erase_call_;
  CdlgWaitBox* wait_box_ = nullptr;
  QTimer* erase_timer_ = nullptr;
  int erase_ticks_ = 0;
  bool erase_job_ = false;
  bool gps_mouse_ = false;

  QPushButton* erase_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QProgressBar* flash_bar_ = nullptr;
  QLineEdit* flash_text_ = nullptr;
  QPushButton* query_flash_ = nullptr;
  QPushButton* query_battery_ = nullptr;
  QLabel* battery_text_ = nullptr;
  QRadioButton* data_type_[3] = {};
  QButtonGroup* data_type_group_ = nullptr;
  QRadioButton* overwrite_ = nullptr;
  QRadioButton* stop_ = nullptr;
  QRadioButton* by_time_ = nullptr;
  QRadioButton* by_distance_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QPushButton* set_config_ = nullptr;
  QCheckBox* nmea_enable_ = nullptr;
  QCheckBox* log_enable_ = nullptr;
  QPushButton* set_switches_ = nullptr;
  QPushButton* gps_mouse_button_ = nullptr;
  QLineEdit* speed_filter_ = nullptr;
  QComboBox* log_event_ = nullptr;
};

}  // namespace tessor
