#include "ui/alert_setting_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"
#include "logger/logger_settings.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/message_seam.h"
#include "ui/wait_box.h"

namespace tessor {

namespace {
constexpr int kCriticalLow = 200, kCriticalHigh = 1800;
constexpr int kNotificationHigh = 2000;
constexpr int kStep = 100;
// The page reads the device once it has been shown for this long.
constexpr int kShowPauseMs = 100;

constexpr const char* kGetFailed = "Failed to get  configuration!";
constexpr const char* kDownloadRunning = "Please wait for finishing getting  data.";
constexpr const char* kSameValues =
    "Critical range and notification range should not be the same with the device setting!!";
constexpr const char* kTooClose = "Notification range should be more than critical range 200 M!!";
constexpr const char* kSetDone = "Set VELD configuration successfully!!";
constexpr const char* kSetFailed = "Failed to set VELD configuration!! Please retry latter.";
constexpr const char* kNoCritical = "Please select the critical range!";
constexpr const char* kNoNotification = "Please select the notification range!";

int Number(const QComboBox* list) {
  return list->currentIndex() < 0 ? 0 : list->currentText().toInt();
}

void SelectNumber(QComboBox* list, int value) {
  list->setCurrentIndex(list->findText(QString::number(value)));
}

void Refill(QComboBox* list, const QStringList& items) {
  list->clear();
  list->addItems(items);
  list->setCurrentIndex(items.isEmpty() ? -1 : 0);
}

bool WaitBoxShown() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == "Please Wait") return true;
  }
  return false;
}
}  // namespace

QStringList CAlertSettingDlg::NotificationItems(int critical) {
  QStringList items;
  for (int n = critical + kMinimumGap; n <= kNotificationHigh; n += kStep) {
    items << QString::number(n);
  }
  return items;
}

QStringList CAlertSettingDlg::CogItems(int critical) {
  QStringList items;
  int from = kCriticalLow;
  for (int degrees = 50; degrees >= 25 && critical >= from; degrees -= 5, from += kStep) {
    items << QString::number(degrees);
  }
  return items;
}

CAlertSettingDlg::CAlertSettingDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle("VELD  Setting");
  BuildControls();
  Initialise();
}

CAlertSettingDlg::~CAlertSettingDlg() = default;

void CAlertSettingDlg::BuildControls() {
  auto* group = new QGroupBox("Speed Camera Alert Setting", this);
  group->setObjectName("1079");
  critical_ = new QComboBox(group);
  critical_->setObjectName("1081");
  for (int r = kCriticalLow; r <= kCriticalHigh; r += kStep) critical_->addItem(QString::number(r));
  critical_->setCurrentIndex(-1);
  notification_ = new PortComboBox(group);
  notification_->setObjectName("1080");
  notification_->addItems(NotificationItems(kCriticalLow));
  notification_->setCurrentIndex(-1);
  set_ = new QPushButton("Set", group);
  set_->setObjectName("1085");
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("Critical Range", group), 0, 0);
  grid->addWidget(critical_, 0, 1);
  grid->addWidget(new QLabel("M", group), 0, 2);
  grid->addWidget(new QLabel("Notification Range", group), 1, 0);
  grid->addWidget(notification_, 1, 1);
  grid->addWidget(new QLabel("M", group), 1, 2);
  auto* note =
      new QLabel("Note: notification range sould be more than  critical range 200 m.", group);
  note->setObjectName("1084");
  note->setWordWrap(true);
  grid->addWidget(note, 2, 0, 1, 3);
  grid->addWidget(set_, 3, 1);

  auto* page = new QVBoxLayout(this);
  page->addWidget(group);
  page->addWidget(BuildHiddenControls());
  page->addStretch(1);

  connect(critical_, &QComboBox::activated, this, &CAlertSettingDlg::CriticalChosen);
  connect(notification_, &PortComboBox::aboutToDropDown, this,
          &CAlertSettingDlg::NotificationOpened);
  connect(cog_, &PortComboBox::aboutToDropDown, this, &CAlertSettingDlg::CogOpened);
  connect(set_, &QPushButton::clicked, this, &CAlertSettingDlg::SetClicked);
}

// The maximum POIs and the camera COG: kept and filled, never shown, never sent.
QWidget* CAlertSettingDlg::BuildHiddenControls() {
  auto* hidden = new QWidget(this);
  hidden->setVisible(false);
  auto* pois_group = new QGroupBox("Maximum POIs Number Setting", hidden);
  pois_group->setObjectName("1078");
  max_pois_ = new QLineEdit(pois_group);
  max_pois_->setObjectName("1077");
  max_pois_->setValidator(new QIntValidator(0, 4095, max_pois_));
  auto* pois_layout = new QGridLayout(pois_group);
  pois_layout->addWidget(max_pois_, 0, 0);
  pois_layout->addWidget(new QLabel("POIs", pois_group), 0, 1);
  pois_layout->addWidget(new QLabel("POI number < 4096", pois_group), 1, 0, 1, 2);
  cog_ = new PortComboBox(hidden);
  cog_->setObjectName("1111");
  cog_->addItems({"50", "45", "40", "35", "30", "25", "20"});
  cog_->setCurrentIndex(-1);
  auto* layout = new QGridLayout(hidden);
  layout->addWidget(pois_group, 0, 0, 1, 3);
  layout->addWidget(new QLabel("Camera COG", hidden), 1, 0);
  layout->addWidget(cog_, 1, 1);
  layout->addWidget(new QLabel("Degree", hidden), 1, 2);
  return hidden;
}

void CAlertSettingDlg::Initialise() {
  device_critical_ = 0;
  device_notification_ = 0;
  CDataDownloader* main = main_window();
  EnableControls(main != nullptr && main->connected != 0);
  caption_ = LoadText(kStrCaption);
}

CDataDownloader* CAlertSettingDlg::main_window() const {
  if (main_ != nullptr) return main_;
  // Kept or shown as a tab, the page's window is the main window.
  return qobject_cast<CDataDownloader*>(window());
}

QComboBox* CAlertSettingDlg::critical_list() const {
  return critical_;
}
QComboBox* CAlertSettingDlg::notification_list() const {
  return notification_;
}
QComboBox* CAlertSettingDlg::cog_list() const {
  return cog_;
}

void CAlertSettingDlg::EnableControls(bool enabled) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{critical_, notification_, max_pois_, set_, cog_}) {
    w->setEnabled(enabled);
  }
}

void CAlertSettingDlg::Box(const QString& text) {
  ShowMessage(this, caption_, text);
}

void CAlertSettingDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (refresh_pending_) return;
  refresh_pending_ = true;
  CDataDownloader* main = main_window();
  const int pause = main != nullptr ? main->engine().transport().WaitMs(kShowPauseMs)
                                    : TimingScale::Ms(kShowPauseMs);
  QTimer::singleShot(pause, this, [this] {
    refresh_pending_ = false;
    if (isVisible()) Refresh();
  });
}

void CAlertSettingDlg::Refresh() {
  CDataDownloader* main = main_window();
  if (main == nullptr || call_.running()) return;
  const bool allowed = main->connected != 0 && main->operationRunning == 0;
  // A track download clears this flag for as long as it runs.
  const bool ready = main->engine().transfer_idle();
  if (!allowed || !ready) {
    EnableControls(false);
    if (allowed) Box(kDownloadRunning);
    return;
  }
  OpenWaitBox();
  CDeviceEngine& engine = main->engine();
  auto config = std::make_shared<LoggerConfig>();
  call_.Run(
      [&engine, config] {
        engine.transport().Pause(timing::kWaitBoxPauseMs);
        return QueryLoggerConfigWithTries(engine, config.get());
      },
      [this, config](int result) {
        OnConfigRead(result, static_cast<int>(config->value(11)),
                     static_cast<int>(config->value(12)), static_cast<int>(config->value(10)),
                     static_cast<int>(config->value(14)));
      });
}

void CAlertSettingDlg::OpenWaitBox() {
  if (WaitBoxShown()) return;
  if (wait_box_ == nullptr) wait_box_ = new CdlgWaitBox(this);
  wait_box_->open();
}

void CAlertSettingDlg::CloseWaitBox() {
  if (wait_box_ != nullptr && wait_box_->isVisible()) wait_box_->close();
}

void CAlertSettingDlg::OnConfigRead(int result, int critical, int notification, int max_pois,
                                    int cog) {
  EnableControls(true);
  CloseWaitBox();
  if (result == kResultOk) {
    device_critical_ = critical;
    device_notification_ = notification;
  }
  FillControls(result == kResultOk ? max_pois : 0, result == kResultOk ? cog : 0);
  if (result != kResultOk) Box(kGetFailed);
}

void CAlertSettingDlg::FillControls(int max_pois, int cog) {
  max_pois_->setText(QString::number(max_pois));
  SelectNumber(critical_, device_critical_);
  notification_->clear();
  notification_->addItems(NotificationItems(device_critical_));
  SelectNumber(notification_, device_notification_);
  SelectNumber(cog_, cog);
}

// The range the other two lists follow: the chosen one, else the device's.
int CAlertSettingDlg::CurrentCritical() const {
  return critical_->currentIndex() < 0 ? device_critical_ : Number(critical_);
}

void CAlertSettingDlg::CriticalChosen(int index) {
  if (index < 0) return;
  const int r = critical_->itemText(index).toInt();
  Refill(notification_, NotificationItems(r));
  Refill(cog_, CogItems(r));
}

void CAlertSettingDlg::NotificationOpened() {
  Refill(notification_, NotificationItems(CurrentCritical()));
}

void CAlertSettingDlg::CogOpened() {
  Refill(cog_, CogItems(CurrentCritical()));
}

void CAlertSettingDlg::SetClicked() {
  CDataDownloader* main = main_window();
  if (main == nullptr || call_.running()) return;
  // Without a chosen item in both lists there is nothing the device could take.
  if (critical_->currentIndex() < 0) {
    Box(kNoCritical);
    return;
  }
  if (notification_->currentIndex() < 0) {
    Box(kNoNotification);
    return;
  }
  set_->setEnabled(false);
  const int critical = Number(critical_);
  const int notification = Number(notification_);
  if (critical == device_critical_ && notification == device_notification_) {
    Box(kSameValues);
    set_->setEnabled(true);
    return;
  }
  EnableControls(false);
  OpenWaitBox();
  CDeviceEngine& engine = main->engine();
  call_.Run(
      [&engine, critical, notification] {
        return SetAlertRangesWithTries(engine, critical, notification);
      },
      [this, critical, notification](int result) { OnSetDone(result, critical, notification); });
}

void CAlertSettingDlg::OnSetDone(int result, int critical, int notification) {
  CloseWaitBox();
  EnableControls(true);
  if (result == kResultBadArgument) {
    Box(kTooClose);
  } else if (result == kResultOk) {
    device_critical_ = critical;
    device_notification_ = notification;
    Box(kSetDone);
  } else {
    Box(kSetFailed);
  }
}

}  // namespace tessor
