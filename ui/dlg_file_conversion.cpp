#include "ui/dlg_file_conversion.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/message_seam.h"

namespace tessor {

namespace {
template <typename T>
T* Named(T* widget, const char* id) {
  widget->setObjectName(id);
  return widget;
}
}  // namespace

CDlgFileConversion::CDlgFileConversion(CDataDownloader& main, QWidget* parent)
    : QWidget(parent), main_(main) {
  setWindowTitle("Data Log Download");
  BuildControls();
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &CDlgFileConversion::TimerTick);
  connect(start_, &QPushButton::clicked, this, &CDlgFileConversion::StartClicked);
  connect(photo_, &QPushButton::clicked, this, &CDlgFileConversion::PhotoToolClicked);
}

CDlgFileConversion::~CDlgFileConversion() = default;

void CDlgFileConversion::BuildControls() {
  auto* logs = new QGroupBox("Log Data", this);
  log_list_ = Named(new QListWidget(logs), "1022");
  log_list_->setSelectionMode(QAbstractItemView::MultiSelection);
  (new QVBoxLayout(logs))->addWidget(log_list_);
  auto* files = new QGroupBox("NMEA Data", this);
  nmea_list_ = Named(new QListWidget(files), "1023");
  nmea_list_->setSelectionMode(QAbstractItemView::NoSelection);
  (new QVBoxLayout(files))->addWidget(nmea_list_);
  BuildExportControls(files);
  start_ = Named(new QPushButton(">", this), "1002");
  auto* lists = new QHBoxLayout;
  lists->addWidget(logs, 1);
  lists->addWidget(start_, 0, Qt::AlignVCenter);
  lists->addWidget(files, 1);

  progress_ = Named(new QProgressBar(this), "1018");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  percent_ = Named(new QLabel("0%", this), "1039");
  received_ = Named(new QLabel(this), "1042");
  total_text_ = Named(new QLabel(this), "1041");
  elapsed_ = Named(new QLabel(this), "1044");
  rate_ = Named(new QLabel(this), "1045");
  photo_ = Named(new QPushButton("Photo Match tool", this), "1001");
  for (QWidget* hidden : {static_cast<QWidget*>(elapsed_), static_cast<QWidget*>(rate_),
                          static_cast<QWidget*>(photo_)}) {
    hidden->setVisible(false);
  }
  auto* counts = new QGridLayout;
  counts->addWidget(progress_, 0, 0, 1, 3);
  counts->addWidget(percent_, 0, 3);
  counts->addWidget(new QLabel("Current Gotten  Data:", this), 1, 0);
  counts->addWidget(received_, 1, 1);
  counts->addWidget(new QLabel("Total Data :", this), 2, 0);
  counts->addWidget(total_text_, 2, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(lists, 1);
  page->addLayout(counts);
}

void CDlgFileConversion::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  PageShown();
}

void CDlgFileConversion::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  const bool free = main_.connected != 0 && main_.operationRunning == 0 && Ready();
  start_->setEnabled(free && TrackCount() > 0);
  photo_->setEnabled(free);
  log_list_->setEnabled(free);
  log_list_->clear();
}

void CDlgFileConversion::PageShown() {
  const bool connected = main_.connected != 0;
  const bool ready = Ready();
  const bool free = connected && main_.operationRunning == 0 && ready;
  start_->setEnabled(free && TrackCount() > 0);
  photo_->setEnabled(free);
  log_list_->setEnabled(free);
  if (!ready || !connected) return;
  FillLogList();
  if (!DownloadIdle()) SetControlsEnabled(false, false, false);
}

// One item per valid track; the item keeps its track index, which is what
// names the file, whatever its place in the list.
void CDlgFileConversion::FillLogList() {
  log_list_->clear();
  if (!engine().port_open()) return;
  const std::vector<TrackHeaderRecord> headers = engine().track_table().headers;
  for (size_t i = 0; i < headers.size(); ++i) {
    if (headers[i].valid == 0) continue;
    auto* item = new QListWidgetItem(
        QString::asprintf("%ld_%ld", static_cast<long>(i), long{headers[i].header_value}));
    item->setData(Qt::UserRole, static_cast<int>(i));
    log_list_->addItem(item);
  }
}

void CDlgFileConversion::SetControlsEnabled(bool start, bool photo, bool list) {
  start_->setEnabled(start);
  photo_->setEnabled(photo);
  log_list_->setEnabled(list);
}

bool CDlgFileConversion::Ready() const {
  return engine().handshake_done();
}

// A download is over once its thread has ended, mode change included, so that
// the next one never has to wait for the last one's thread.
bool CDlgFileConversion::DownloadIdle() const {
  return engine().transfer_idle() && !engine().ThreadRunning(CDeviceEngine::kSlotTrackDownload);
}

int CDlgFileConversion::TrackCount() const {
  if (!engine().port_open()) return 0;
  return static_cast<int>(engine().track_table().valid.size());
}

bool CDlgFileConversion::timer_active() const {
  return timer_->isActive();
}

CDeviceEngine& CDlgFileConversion::engine() const {
  return main_.engine();
}

void CDlgFileConversion::LinkDown() {
  timer_->stop();
  EndJob(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  nmea_list_->clear();
  picks_.clear();
  next_pick_ = 0;
  ShowDisconnected();
}

void CDlgFileConversion::PhotoToolClicked() {
  const QString tool = main_.settings.tool_file;
  if (tool.isEmpty()) {
    ShowMessage(nullptr, LoadText(kStrCaption), "Please setting the photo math tool.");
    main_.SetActivePage(CDataDownloader::kPageConfig);
    return;
  }
  QProcess process;
  process.setProgram(tool);
  if (!process.startDetached()) {
    ShowMessage(this, LoadText(kStrCaption), tool + ": " + process.errorString());
  }
}

}  // namespace tessor
