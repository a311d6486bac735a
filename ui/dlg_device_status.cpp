#include "ui/dlg_device_status.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/message_seam.h"

namespace tessor {

namespace {
QPushButton* Button(const QString& text, const char* id, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(id);
  return b;
}
template <typename T>
T* Named(T* widget, const char* id) {
  widget->setObjectName(id);
  return widget;
}
}  // namespace

CDlgDeviceStatus::CDlgDeviceStatus(CDataDownloader& main, QWidget* parent)
    : QWidget(parent), main_(main) {
  setWindowTitle("Data Log Status");
  BuildControls();
  ConnectHandlers();
  erase_timer_ = new QTimer(this);
  connect(erase_timer_, &QTimer::timeout, this, &CDlgDeviceStatus::EraseTick);
  flash_bar_->setRange(0, 100);
  SetDeviceButtonsEnabled(false);
  gps_mouse_button_->setText("Enable");
}

// The background calls join their threads as members go; the erase wait ends
// with the link, which the main window has stopped by then.
CDlgDeviceStatus::~CDlgDeviceStatus() = default;

void CDlgDeviceStatus::BuildControls() {
  auto* flash_group = new QGroupBox("Flash Usage", this);
  flash_bar_ = Named(new QProgressBar(flash_group), "1018");
  auto* flash_row = new QHBoxLayout(flash_group);
  flash_row->addWidget(flash_bar_);
  erase_ = Button("Erase Log Data", "1061", this);
  elapsed_ = Named(new QLabel(this), "1115");
  set_config_ = Button("Set Log Config", "1043", this);
  auto* page = new QVBoxLayout(this);
  page->addWidget(flash_group);
  page->addWidget(BuildConfigGroup());
  page->addWidget(set_config_, 0, Qt::AlignRight);
  page->addWidget(erase_, 0, Qt::AlignLeft);
  page->addWidget(elapsed_);
  page->addStretch(1);
  BuildHiddenControls();
}

QWidget* CDlgDeviceStatus::BuildConfigGroup() {
  auto* group = new QGroupBox("Log Configuration", this);
  const char* type_ids[3] = {"1009", "1010", "1011"};
  const QString type_texts[3] = {"1:UTC Time, Longitude,Latitude",
                                 "2:UTC Time, Longitude,Latitude, Altitude",
                                 "3:UTC Time, Longitude,Latitude, Altitude, Velocity "};
  data_type_group_ = new QButtonGroup(this);
  auto* grid = new QGridLayout(group);
  for (int i = 0; i < 3; ++i) {
    data_type_[i] = Named(new QRadioButton(type_texts[i], group), type_ids[i]);
    data_type_group_->addButton(data_type_[i], i);
    grid->addWidget(data_type_[i], i, 0, 1, 3);
  }
  auto* full_group = new QButtonGroup(this);
  overwrite_ = Named(new QRadioButton("Overwrite", group), "1007");
  stop_ = Named(new QRadioButton("Stop", group), "1008");
  full_group->addButton(overwrite_, 0);
  full_group->addButton(stop_, 1);
  grid->addWidget(overwrite_, 3, 0);
  grid->addWidget(stop_, 3, 1);
  interval_ = Named(new QLineEdit(group), "1012");
  // Digits only, and few enough of them to stay a 32-bit number.
  interval_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), interval_));
  grid->addWidget(new QLabel("Time Interval", group), 4, 0);
  grid->addWidget(interval_, 4, 1);
  grid->addWidget(Named(new QLabel("(1~60)", group), "1050"), 4, 2);
  return group;
}

// Controls the page keeps without showing them; their handlers work all the same.
QWidget* CDlgDeviceStatus::BuildHiddenControls() {
  auto* hidden = new QWidget(this);
  hidden->setVisible(false);
  flash_text_ = Named(new QLineEdit(hidden), "1017");
  flash_text_->setReadOnly(true);
  query_flash_ = Button("Query", "1001", hidden);
  query_battery_ = Button("Query", "1035", hidden);
  battery_text_ = Named(new QLabel("Battery Status", hidden), "1038");
  auto* log_type_group = new QButtonGroup(this);
  by_time_ = Named(new QRadioButton("By Time", hidden), "1025");
  by_distance_ = Named(new QRadioButton("By Distance", hidden), "1006");
  log_type_group->addButton(by_time_);
  log_type_group->addButton(by_distance_);
  nmea_enable_ = Named(new QCheckBox("NMEA Enale", hidden), "1019");
  log_enable_ = Named(new QCheckBox("Log Enale", hidden), "1020");
  set_switches_ = Button("Set", "1003", hidden);
  gps_mouse_button_ = Button("Enable", "1047", hidden);
  speed_filter_ = Named(new QLineEdit(hidden), "1015");
  log_event_ = Named(new QComboBox(hidden), "1000");
  return hidden;
}

void CDlgDeviceStatus::ConnectHandlers() {
  connect(query_flash_, &QPushButton::clicked, this, &CDlgDeviceStatus::QueryFlashClicked);
  connect(query_battery_, &QPushButton::clicked, this, &CDlgDeviceStatus::QueryBatteryClicked);
  connect(set_config_, &QPushButton::clicked, this, &CDlgDeviceStatus::SetLogConfigClicked);
  connect(set_switches_, &QPushButton::clicked, this, &CDlgDeviceStatus::SetSwitchesClicked);
  connect(gps_mouse_button_, &QPushButton::clicked, this, &CDlgDeviceStatus::GpsMouseClicked);
  connect(erase_, &QPushButton::clicked, this, &CDlgDeviceStatus::EraseClicked);
  connect(by_time_, &QRadioButton::clicked, this, [this] { main_.settings.log_type = 0; });
  connect(overwrite_, &QRadioButton::clicked, this, [this] { OnFullOptionClicked(0); });
  connect(stop_, &QRadioButton::clicked, this, [this] { OnFullOptionClicked(1); });
  for (int i = 0; i < 3; ++i) {
    connect(data_type_[i], &QRadioButton::clicked, this, [this, i] { OnDataTypeClicked(i); });
  }
}

void CDlgDeviceStatus::OnDataTypeClicked(int type) {
  main_.settings.data_type = static_cast<uint8_t>(type);
}

void CDlgDeviceStatus::OnFullOptionClicked(int option) {
  main_.settings.full_option = static_cast<uint8_t>(option);
}

void CDlgDeviceStatus::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  PageShown();
}

void CDlgDeviceStatus::PageShown() {
  if (load_call_.running()) return;
  elapsed_->clear();
  const bool free = Connected() && main_.operationRunning == 0;
  const bool idle = engine().transfer_idle();
  if (free && idle) {
    StartLoad();
    return;
  }
  SetDeviceButtonsEnabled(false);
  ShowSavedSettings();
  if (free) {
    // A box inside the show would stop the page half drawn: it comes next.
    QTimer::singleShot(0, this, [this] { Box(LoadText(kStrWaitForData)); });
    return;
  }
  flash_bar_->setValue(0);
}

void CDlgDeviceStatus::ShowSavedSettings() {
  const PersistentSettings& s = main_.settings;
  data_type_[s.data_type == 0 ? 0 : s.data_type == 1 ? 1 : 2]->setChecked(true);
  (s.full_option == 0 ? overwrite_ : stop_)->setChecked(true);
  interval_->setText(QString::asprintf("%03d", int{s.interval}));
  by_time_->setChecked(true);
}

void CDlgDeviceStatus::ShowConfig(int data_type, int memory_full, int log_type, uint32_t interval) {
  PersistentSettings& s = main_.settings;
  data_type_[data_type == 0 ? 0 : data_type == 1 ? 1 : 2]->setChecked(true);
  s.data_type = static_cast<uint8_t>(data_type);
  (log_type == 0 ? by_time_ : by_distance_)->setChecked(true);
  s.log_type = static_cast<uint8_t>(log_type);
  (memory_full == 0 ? overwrite_ : stop_)->setChecked(true);
  s.full_option = static_cast<uint8_t>(memory_full);
  interval_->setText(QString::asprintf("%03u", interval));
  s.interval = static_cast<uint8_t>(interval & 0xFF);
}

// The bar never looks empty while tracks are held, and never quite full below 100 %.
void CDlgDeviceStatus::ShowFlash(int percent) {
  const uint32_t track_bytes = engine().track_table().total_bytes;
  int position = percent;
  if (percent == 0 && track_bytes > 0) position = 1;
  if (percent >= 91 && percent <= 99) position = 92;
  flash_bar_->setValue(position);
  flash_text_->setText(QString::asprintf("%03d%%", percent));
}

void CDlgDeviceStatus::SetDeviceButtonsEnabled(bool enabled) {
  for (QPushButton* b :
       {query_flash_, query_battery_, set_config_, set_switches_, gps_mouse_button_, erase_}) {
    b->setEnabled(enabled);
  }
}

bool CDlgDeviceStatus::Connected() const {
  return main_.connected != 0;
}

CDeviceEngine& CDlgDeviceStatus::engine() const {
  return main_.engine();
}

void CDlgDeviceStatus::Box(const QString& text, bool owned) {
  ShowMessage(owned ? this : nullptr, LoadText(kStrCaption), text);
}

}  // namespace tessor
