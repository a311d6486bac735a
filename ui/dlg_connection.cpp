#include "ui/dlg_connection.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/port_directory.h"
#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/message_seam.h"

namespace tessor {

const QColor CDlgConnection::kLampWhite = QColor(0xFF, 0xFF, 0xFF);
const QColor CDlgConnection::kLampGreen = QColor(0, 127, 0);
const QColor CDlgConnection::kLampRed = QColor(127, 0, 0);

void PortComboBox::showPopup() {
  emit aboutToDropDown();
  QComboBox::showPopup();
}

CDlgConnection::CDlgConnection(CDeviceEngine& engine, PortDirectory& ports, QWidget* parent)
    : QWidget(parent), engine_(engine), ports_(ports), recorder_(engine.port, trace_) {
  setWindowTitle("Connection");
  BuildControls();
  for (int i = 0; i < 3; ++i) {
    timers_[i] = new QTimer(this);
    connect(timers_[i], &QTimer::timeout, this, [this, i] { TimerTick(i + 1); });
  }
  port_poll_ = new QTimer(this);
  connect(port_poll_, &QTimer::timeout, this, &CDlgConnection::PollPorts);
}

// The window stops the engine's threads before its pages go; the port is
// the engine's to close, so the trace ends here with what it saw.
CDlgConnection::~CDlgConnection() {
  if (!trace_.is_open()) return;
  engine_.StopAllThreads();
  trace_.Note("the program closed");
  engine_.SetTransport(nullptr);
  trace_.Close();
}

void CDlgConnection::BuildControls() {
  auto* port_group = new QGroupBox("Comm. Port Setting", this);
  port_list_ = new PortComboBox(port_group);
  port_list_->setObjectName("1023");
  port_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_list_->setMinimumContentsLength(24);
  connect_button_ = new QPushButton("Connect", port_group);
  connect_button_->setObjectName("1024");
  auto* port_row = new QHBoxLayout(port_group);
  port_row->addWidget(port_list_, 1);
  port_row->addWidget(connect_button_);

  status_list_ = new QListWidget(this);
  status_list_->setObjectName("1002");
  // The lines stay until the next connect or until the user clears them.
  status_list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  clear_action_ = new QAction("Clear", status_list_);
  status_list_->addAction(clear_action_);
  connect(clear_action_, &QAction::triggered, status_list_, &QListWidget::clear);

  // The device-type setting is kept but not shown.
  setting_group_ = new QGroupBox("Setting", this);
  setting_group_->setVisible(false);
  device_type_ = new QComboBox(setting_group_);
  device_type_->setObjectName("1062");
  device_type_->addItem("TL-100");
  poi_download_ = new QCheckBox("POI Download", setting_group_);
  poi_download_->setObjectName("1063");
  auto* setting_row = new QHBoxLayout(setting_group_);
  setting_row->addWidget(device_type_);
  setting_row->addWidget(poi_download_);

  auto* process_group = new QGroupBox("Process info", this);
  veld_upload_ = new QCheckBox("VELD Upload", process_group);
  veld_upload_->setObjectName("1064");
  process_ = new QPushButton("Process", process_group);
  process_->setObjectName("1068");
  // Hidden unless all pages are shown: reads the image back and compares it.
  download_db_ = new QPushButton("Download DB", process_group);
  download_db_->setObjectName("1074");
  download_db_->setVisible(false);
  process_status_ = new QLabel("Process Status", process_group);
  process_status_->setObjectName("1075");
  progress_ = new QProgressBar(process_group);
  progress_->setObjectName("1076");
  progress_->setRange(0, 100);
  auto* process_grid = new QGridLayout(process_group);
  process_grid->addWidget(veld_upload_, 0, 0);
  process_grid->addWidget(process_, 0, 1);
  process_grid->addWidget(download_db_, 0, 2);
  process_grid->addWidget(process_status_, 1, 0);
  process_grid->addWidget(progress_, 1, 1, 1, 2);

  auto* page = new QVBoxLayout(this);
  page->addWidget(port_group);
  page->addWidget(status_list_, 1);
  page->addWidget(setting_group_);
  page->addWidget(process_group);

  connect(port_list_, &PortComboBox::aboutToDropDown, this, &CDlgConnection::RefreshPorts);
  connect(device_type_, &QComboBox::currentIndexChanged, this, &CDlgConnection::RefreshPorts);
  connect(connect_button_, &QPushButton::clicked, this, &CDlgConnection::ConnectClicked);
  connect(veld_upload_, &QCheckBox::clicked, this, &CDlgConnection::UploadChecked);
  connect(poi_download_, &QCheckBox::clicked, this, &CDlgConnection::PoiChecked);
  connect(process_, &QPushButton::clicked, this, &CDlgConnection::ProcessClicked);
  connect(download_db_, &QPushButton::clicked, this, &CDlgConnection::DownloadClicked);
}

void CDlgConnection::Initialise() {
  text_connect_ = LoadText(kStrConnect);
  RefreshPorts();
  {
    const QSignalBlocker quiet(device_type_);
    device_type_->removeItem(0);
    device_type_->addItem("SD-100 (Bluetooth)");
  }
  caption_ = LoadText(kStrCaption);
  if (port_list_->count() > 0) port_list_->setCurrentIndex(0);
  progress_->setRange(0, 100);
  connected_ = false;
  connect_button_->setText(text_connect_);
  process_->setEnabled(false);
  veld_upload_->setEnabled(false);
  poi_download_->setEnabled(false);
  download_db_->setEnabled(false);
  RefreshPorts();
  SetLamp(kLampWhite);
  port_poll_->start(kPortPollMs);
}

void CDlgConnection::RefreshPorts() {
  const int saved = main_ != nullptr ? main_->settings.com_port : 0;
  port_list_->clear();
  int chosen = 0;
  for (const PortEntry& entry : ports_.Refresh()) {
    if (entry.number == saved) chosen = port_list_->count();
    port_list_->addItem(ToWide(entry.Text()));
  }
  if (port_list_->count() > 0) port_list_->setCurrentIndex(chosen);
  UpdateConnectEnabled();
}

// Connect needs a listed port; Disconnect and a running call keep their own state.
void CDlgConnection::UpdateConnectEnabled() {
  if (connected_ || call_.running()) return;
  connect_button_->setEnabled(port_list_->count() > 0);
}

// An adapter plugged in while the list is empty shows up without a click.
void CDlgConnection::PollPorts() {
  if (!connected_ && !call_.running() && port_list_->count() == 0 && port_list_->isEnabled()) {
    RefreshPorts();
  }
}

void CDlgConnection::SetDownloadVisible(bool visible) {
  download_db_->setVisible(visible);
}

void CDlgConnection::AddStatusLine(const QString& text, bool replace_last) {
  if (replace_last && status_list_->count() > 0) {
    status_list_->item(status_list_->count() - 1)->setText(text);
  } else {
    status_list_->addItem(text);
  }
  status_list_->scrollToBottom();
}

QRect CDlgConnection::LampRect() const {
  return QRect(width() * 10 / 11, height() / 3, 25, 25);
}

void CDlgConnection::SetLamp(const QColor& colour) {
  lamp_colour_ = colour;
  update(LampRect());
}

void CDlgConnection::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(lamp_colour_);
  painter.drawEllipse(LampRect());
}

// Keeps a strip on the right free for the lamp, whatever the page's width.
void CDlgConnection::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  QMargins margins = layout()->contentsMargins();
  margins.setRight(width() - width() * 10 / 11 + 6);
  layout()->setContentsMargins(margins);
}

QTimer* CDlgConnection::Timer(int timer) const {
  return timers_[timer - 1];
}
void CDlgConnection::StartTimer(int timer, int ms) {
  Timer(timer)->start(ms);
}
void CDlgConnection::StopTimer(int timer) {
  Timer(timer)->stop();
}
bool CDlgConnection::TimerActive(int timer) const {
  return Timer(timer)->isActive();
}

void CDlgConnection::SetListsEnabled(bool enabled) {
  port_list_->setEnabled(enabled);
  device_type_->setEnabled(enabled);
}

void CDlgConnection::SetMainBusy(bool busy) {
  if (main_ != nullptr) main_->operationRunning = busy ? 1 : 0;
}

void CDlgConnection::SetCloseEnabled(bool enabled) {
  if (main_ != nullptr) main_->SetCloseEnabled(enabled);
}

void CDlgConnection::Box(const QString& text, const QString& caption) {
  ShowMessage(this, caption.isEmpty() ? caption_ : caption, text);
}

// A job that failed looks different from one that finished, at a glance.
void CDlgConnection::FailureBox(const QString& text) {
  ShowMessage(this, caption_, text, QMessageBox::Warning);
}

}  // namespace tessor
