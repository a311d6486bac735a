#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include "logger/logger_settings.h"
#include "ui/background_call.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tessor {

class CDataDownloader;
class CdlgWaitBox;
class PortComboBox;

// The alert settings page: the detector's critical and notification ranges. Built and kept by the
// main window, not shown as a tab.
class CAlertSettingDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMinimumGap = kAlertRangeMinimumGap;

  // The notification list for a critical range r: r + 200 up to 2000 in steps of 100.
  static QStringList NotificationItems(int critical);
  // The COG list for a critical range r: "50" from 200 m on, one more step every 100 m.
  static QStringList CogItems(int critical);

  explicit CAlertSettingDlg(QWidget* parent = nullptr);
  ~CAlertSettingDlg() override;

  void SetMainWindow(CDataDownloader* main) { main_ = main; }
  void Initialise();
  void EnableControls(bool enabled);

  // User actions.
  void CriticalChosen(int index);
  void NotificationOpened();
  void CogOpened();
  void SetClicked();
  // Reads the device's ranges when the page may talk to the device.
  void Refresh();

  int device_critical() const { return device_critical_; }
  int device_notification() const { return device_notification_; }
  bool device_call_running() const { return call_.running(); }

  // Controls, by their place on the page.
  QComboBox* critical_list() const;
  QComboBox* notification_list() const;
  QComboBox* cog_list() const;
  QLineEdit* max_pois() const { return max_pois_; }
  QPushButton* set_button() const { return set_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildHiddenControls();
  CDataDownloader* main_window() const;
  void OpenWaitBox();
  void CloseWaitBox();
  void OnConfigRead(int result, int critical, int notification, int max_pois, int cog);
  void FillControls(int max_pois, int cog);
  void OnSetDone(int result, int critical, int notification);
  int CurrentCritical() const;
  void Box(const QString& text);

  CDataDownloader* main_ = nullptr;
  BackgroundCall call_;
  CdlgWaitBox* wait_box_ = nullptr;
  QString caption_;
  int device_critical_ = 0;
  int device_notification_ = 0;
  bool refresh_pending_ = false;

  QComboBox* critical_ = nullptr;
  PortComboBox* notification_ = nullptr;
  PortComboBox* cog_ = nullptr;
  QLineEdit* max_pois_ = nullptr;
  QPushButton* set_ = nullptr;
};

}  // namespace tessor
