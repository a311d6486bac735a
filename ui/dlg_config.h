#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "ui/background_call.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessor {

class CDataDownloader;

// The device configuration page ("Device Configuration"): the NMEA output
// folder in view; the log configuration, speed filter, switches and photo tool
// controls kept hidden and disabled, their handlers working all the same.
class CDlgConfig : public QWidget {
  Q_OBJECT

 public:
  using FolderChooser = std::function<QByteArray(QWidget* owner, const QString& title)>;
  using FileChooser = std::function<QString(QWidget* owner)>;

  // The log intervals the logger takes, by time or by distance.
  static constexpr uint32_t kIntervalLeast = 1;
  static constexpr uint32_t kIntervalMost = 60;

  explicit CDlgConfig(CDataDownloader& main, QWidget* parent = nullptr);

  // The choosers are dialogs; tests put their own answer in their place.
  void SetFolderChooser(FolderChooser chooser) { choose_folder_ = std::move(chooser); }
  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

  void ChooseFolderClicked();
  void ChooseToolClicked();
  void SetConfigClicked();
  void SetSwitchesClicked();
  void SetSpeedFilterClicked();
  void EnableSpeedToggled();
  void LogTypeClicked();

  bool device_call_running() const { return call_.running(); }
  const QByteArray& folder() const { return folder_; }
  QLabel* folder_text() const { return folder_text_; }
  QPushButton* folder_button() const { return folder_button_; }
  QLabel* tool_text() const { return tool_text_; }
  QRadioButton* by_time() const { return by_time_; }
  QRadioButton* by_distance() const { return by_distance_; }
  QLabel* interval_label() const { return interval_label_; }
  QLineEdit* interval() const { return interval_; }
  QRadioButton* type(int n) const { return type_[n]; }
  QRadioButton* overwrite() const { return overwrite_; }
  QCheckBox* speed_enable() const { return speed_enable_; }
  QLineEdit* speed() const { return speed_; }
  QCheckBox* log_enable() const { return log_enable_; }
  QCheckBox* nmea_enable() const { return nmea_enable_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildHiddenControls();
  void ConnectHandlers();
  void Initialise();
  void RunDeviceCall(std::function<int()> work, std::function<void(int)> done);
  void Box(const QString& text, bool owned);

  CDataDownloader& main_;
  BackgroundCall call_;
  FolderChooser choose_folder_;
  FileChooser choose_file_;
  QByteArray folder_;

  QLabel* folder_text_ = nullptr;
  QPushButton* folder_button_ = nullptr;
  QWidget* hidden_ = nullptr;
  QLabel* tool_text_ = nullptr;
  QPushButton* tool_button_ = nullptr;
  QRadioButton* by_time_ = nullptr;
  QRadioButton* by_distance_ = nullptr;
  QLabel* interval_label_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QRadioButton* type_[3] = {};
  QRadioButton* overwrite_ = nullptr;
  QRadioButton* stop_ = nullptr;
  QPushButton* set_config_ = nullptr;
  QCheckBox* speed_enable_ = nullptr;
  QLineEdit* speed_ = nullptr;
  QPushButton* set_speed_ = nullptr;
  QCheckBox* log_enable_ = nullptr;
  QCheckBox* nmea_enable_ = nullptr;
  QPushButton* set_switches_ = nullptr;
};

// The photo tool chooser: any executable file.
QString ChooseToolFile(QWidget* owner);

}  // namespace tessor
