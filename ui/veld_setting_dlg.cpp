#include "ui/veld_setting_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/shell.h"
#include "database/data_folder.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"

namespace tessor {

namespace {
constexpr const char* kLocalFileText = "Download Speed Cameras from local file";

QString ChooseImageFile(QWidget* parent) {
  const auto* page = qobject_cast<const CVELDSettingDlg*>(parent);
  const QString start = page != nullptr ? page->ImageStartFolder() : QDir::homePath();
  return QFileDialog::getOpenFileName(parent, QString(), start, "VELD Files (*.bin)");
}
}  // namespace

CVELDSettingDlg::FileChooser& CVELDSettingDlg::file_chooser() {
  static FileChooser chooser = ChooseImageFile;
  return chooser;
}

CVELDSettingDlg::CVELDSettingDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle("VELD setting");
  BuildControls();
  proxy_timer_ = new QTimer(this);
  proxy_timer_->setSingleShot(true);
  connect(proxy_timer_, &QTimer::timeout, this, &CVELDSettingDlg::ProxyTimerTick);
}

void CVELDSettingDlg::BuildControls() {
  veld_group_ = new QGroupBox("VELD  Setting", this);
  veld_group_->setObjectName("1069");
  web_fixed_ = new QCheckBox("Download Fix Speed Cameras from WEB", veld_group_);
  web_fixed_->setObjectName("1077");
  web_mobile_ = new QCheckBox("Download Mobile Speed Cameras from WEB", veld_group_);
  web_mobile_->setObjectName("1076");
  web_mobile_->setVisible(false);
  local_file_ = new QCheckBox(veld_group_);
  local_file_->setObjectName("1078");
  path_text_ = new QLabel(veld_group_);
  path_text_->setObjectName("1065");
  path_text_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  path_text_->setMinimumWidth(280);
  path_text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  browse_ = new QPushButton("...", veld_group_);
  browse_->setObjectName("1072");
  browse_->setMaximumWidth(40);
  // Whether the chosen file is an image the device can take, before anything is sent.
  verdict_text_ = new QLabel(veld_group_);
  verdict_text_->setObjectName("verdict");
  verdict_text_->setWordWrap(true);
  auto* grid = new QGridLayout(veld_group_);
  grid->addWidget(web_fixed_, 0, 0, 1, 2);
  grid->addWidget(web_mobile_, 1, 0, 1, 2);
  grid->addWidget(local_file_, 2, 0, 1, 2);
  grid->addWidget(path_text_, 3, 0);
  grid->addWidget(browse_, 3, 1);
  grid->addWidget(verdict_text_, 4, 0, 1, 2);

  go_ = new QPushButton("Go to the Connection Page", this);
  go_->setObjectName("1");
  go_->setDefault(true);

  auto* page = new QVBoxLayout(this);
  page->addWidget(veld_group_);
  page->addWidget(BuildHiddenControls());
  page->addStretch(1);
  page->addWidget(go_, 0, Qt::AlignHCenter);

  connect(browse_, &QPushButton::clicked, this, &CVELDSettingDlg::BrowseClicked);
  connect(go_, &QPushButton::clicked, this, &CVELDSettingDlg::GoToConnectionClicked);
  connect(poi_integration_, &QCheckBox::clicked, this, &CVELDSettingDlg::PoiIntegrationClicked);
  connect(use_proxy_, &QCheckBox::clicked, this, &CVELDSettingDlg::UseProxyClicked);
  connect(import_mobile_, &QCheckBox::clicked, this, &CVELDSettingDlg::ImportMobileClicked);
  connect(web_mobile_, &QCheckBox::clicked, this, &CVELDSettingDlg::WebMobileClicked);
  connect(local_file_, &QCheckBox::clicked, this, &CVELDSettingDlg::LocalFileClicked);
}

// The cell range, POI, proxy and mobile-import controls: kept, never shown.
QWidget* CVELDSettingDlg::BuildHiddenControls() {
  auto* hidden = new QWidget(this);
  hidden->setVisible(false);
  cell_range_list_ = new QComboBox(hidden);
  cell_range_list_->setObjectName("1067");
  cell_range_list_->addItems({"1", "2", "3", "5", "10"});
  cancel_ = new QPushButton("Cancel", hidden);
  cancel_->setObjectName("2");
  auto* poi_group = new QGroupBox("POI Setting", hidden);
  poi_group->setObjectName("1070");
  poi_integration_ = new QCheckBox("Integratge  POI with  VELD", poi_group);
  poi_integration_->setObjectName("1073");
  proxy_group_ = new QGroupBox("Proxy Setting", hidden);
  proxy_group_->setObjectName("1090");
  use_proxy_ = new QCheckBox("Use Proxy", proxy_group_);
  use_proxy_->setObjectName("1091");
  proxy_address_label_ = new QLabel("Address", proxy_group_);
  proxy_address_label_->setObjectName("1092");
  proxy_address_ = new QLineEdit(proxy_group_);
  proxy_address_->setObjectName("1094");
  proxy_port_label_ = new QLabel("Port", proxy_group_);
  proxy_port_label_->setObjectName("1093");
  proxy_port_ = new QLineEdit(proxy_group_);
  proxy_port_->setObjectName("1095");
  import_mobile_ = new QCheckBox("Import Mobile VELD", hidden);
  import_mobile_->setObjectName("1096");
  return hidden;
}

void CVELDSettingDlg::Initialise() {
  cell_range_list_->setCurrentIndex(0);
  EnableControls(main_connected());
  proxy_address_->setEnabled(false);
  proxy_port_->setEnabled(false);
  caption_ = LoadText(kStrCaption);
  web_fixed_->setEnabled(false);
  web_mobile_->setEnabled(false);
  local_file_->setEnabled(false);
}

bool CVELDSettingDlg::main_connected() const {
  return main_ != nullptr && main_->connected != 0;
}

void CVELDSettingDlg::SetProxyVisible(bool visible) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{proxy_group_, proxy_port_, proxy_address_label_,
                                       proxy_port_label_, proxy_address_, use_proxy_}) {
    w->setVisible(visible);
  }
}

void CVELDSettingDlg::EnableControls(bool a) {
  cell_range_list_->setEnabled(a);
  poi_integration_->setEnabled(a);
  go_->setEnabled(a && (main_ == nullptr || main_->operationRunning == 0));
  if (a) use_proxy_->setEnabled(true);
  SetProxyVisible(false);
  web_fixed_->setEnabled(false);
  web_mobile_->setEnabled(false);
  local_file_->setText(kLocalFileText);
  local_file_->setEnabled(false);
  path_text_->setEnabled(a);
  browse_->setEnabled(a);
}

ImageChoice CVELDSettingDlg::GetImageChoice() const {
  ImageChoice choice;
  if (web_mobile_->isChecked()) {
    choice.web = 1;
    choice.local = 1;
    return choice;
  }
  choice.local = 1;
  choice.path = path_text_->text().left(kPathLimit);
  return choice;
}

bool CVELDSettingDlg::web_source_checked() const {
  return web_fixed_->isChecked();
}

void CVELDSettingDlg::ClearFileName() {
  path_text_->clear();
  verdict_text_->clear();
}

void CVELDSettingDlg::ResetSourceChoice() {
  web_mobile_->setChecked(false);
  local_file_->setChecked(false);
  ClearFileName();
}

void CVELDSettingDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  const bool connected = main_connected();
  if (connected) proxy_timer_->start(kProxySaveDelayMs);
  if (main_ != nullptr) {
    proxy_address_->setText(main_->settings.proxy_address);
    proxy_port_->setText(main_->settings.proxy_port);
    use_proxy_->setChecked(main_->settings.if_proxy_used != 0);
  }
  EnableControls(connected);
  if (main_ != nullptr && main_->poisSaved != 0) {
    poi_integration_->setChecked(true);
  } else {
    poi_integration_->setEnabled(false);
  }
}

void CVELDSettingDlg::ProxyTimerTick() {
  proxy_timer_->stop();
  if (main_ == nullptr) return;
  main_->SetProxySettings(use_proxy_->isChecked() ? 1 : 0, proxy_address_->text(),
                          proxy_port_->text());
}

// The folder of the image chosen last, else the per-user data folder, where
// the program keeps its data and the user's images are expected.
QString CVELDSettingDlg::ImageStartFolder() const {
  if (!last_folder_.isEmpty() && QFileInfo(last_folder_).isDir()) return last_folder_;
  const std::string data = DataFolder();
  return data.empty() ? QDir::homePath() : ToWide(data);
}

void CVELDSettingDlg::BrowseClicked() {
  // An emptied test seam leaves the real chooser.
  const FileChooser& chooser = file_chooser() ? file_chooser() : FileChooser(ChooseImageFile);
  const QString chosen = chooser(this);
  if (chosen.isEmpty()) return;
  last_folder_ = QFileInfo(chosen).absolutePath();
  image_path_ = chosen;
  path_text_->setText(image_path_);
  go_->setEnabled(true);
  ShowVerdict();
}

void CVELDSettingDlg::GoToConnectionClicked() {
  const QString unused_path = path_text_->text();
  const int unused_range = cell_range_list_->currentIndex();
  (void)unused_path;
  (void)unused_range;
  cell_range_ = kCellRange;
  if (main_ == nullptr) return;
  main_->SetActivePage(CDataDownloader::kPageConnection);
  CDlgConnection* connection = main_->connection_page();
  connection->StartTimer(CDlgConnection::kTimerProcess, CDlgConnection::kProcessDelayMs);
  connection->veld_upload()->setChecked(true);
}

void CVELDSettingDlg::PoiIntegrationClicked() {
  if (poi_integration_->isChecked()) return;
  browse_->setEnabled(false);
  ClearFileName();
}

void CVELDSettingDlg::UseProxyClicked() {
  const bool ticked = use_proxy_->isChecked();
  proxy_address_->setEnabled(ticked);
  proxy_port_->setEnabled(ticked);
}

void CVELDSettingDlg::ImportMobileClicked() {
  web_mobile_->setEnabled(import_mobile_->isChecked());
}

void CVELDSettingDlg::WebMobileClicked() {
  if (web_mobile_->isChecked()) local_file_->setChecked(false);
}

void CVELDSettingDlg::LocalFileClicked() {
  const bool ticked = local_file_->isChecked();
  path_text_->setEnabled(ticked);
  browse_->setEnabled(ticked);
  if (ticked) web_mobile_->setChecked(false);
}

}  // namespace tessor
