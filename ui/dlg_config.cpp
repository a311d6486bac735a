#include "ui/dlg_config.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/choose_folder.h"
#include "ui/data_downloader.h"
#include "ui/message_seam.h"

namespace tessor {

namespace {
template <typename T>
T* Named(T* widget, const char* id) {
  widget->setObjectName(id);
  return widget;
}

QLineEdit* DigitsEdit(const char* id, QWidget* parent) {
  auto* edit = Named(new QLineEdit(parent), id);
  // Digits only, and few enough of them to stay a 32-bit number.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
  return edit;
}
}  // namespace

QString ChooseToolFile(QWidget* owner) {
  // Programs on Linux carry no name ending: the filter is the executable bit.
  QFileDialog dialog(owner, "Select photo tool!!");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  return QFileInfo(chosen).isExecutable() && QFileInfo(chosen).isFile() ? chosen : QString();
}

CDlgConfig::CDlgConfig(CDataDownloader& main, QWidget* parent)
    : QWidget(parent), main_(main), choose_file_(ChooseToolFile) {
  // The chooser opens on the folder in use, so the user starts among the tracks.
  choose_folder_ = [this](QWidget* owner, const QString& title) {
    return ChooseFolder(owner, title, main_.settings.nmea_path);
  };
  setWindowTitle("Device Configuration");
  BuildControls();
  ConnectHandlers();
  Initialise();
}

void CDlgConfig::BuildControls() {
  auto* group = new QGroupBox("NMEA Output Folder", this);
  folder_text_ = Named(new QLabel(group), "1059");
  folder_text_->setWordWrap(true);
  folder_button_ = Named(new QPushButton("...", group), "1057");
  auto* row = new QHBoxLayout(group);
  row->addWidget(folder_text_, 1);
  row->addWidget(folder_button_);
  auto* page = new QVBoxLayout(this);
  page->addWidget(group);
  page->addWidget(BuildHiddenControls());
  page->addStretch(1);
}

// Created invisible and disabled, as the page has always had them.
QWidget* CDlgConfig::BuildHiddenControls() {
  hidden_ = new QWidget(this);
  hidden_->setVisible(false);
  tool_text_ = Named(new QLabel(hidden_), "1058");
  tool_button_ = Named(new QPushButton("...", hidden_), "1056");
  by_time_ = Named(new QRadioButton("By Time", hidden_), "1025");
  by_distance_ = Named(new QRadioButton("By Distance", hidden_), "1026");
  interval_label_ = Named(new QLabel(hidden_), "1013");
  interval_ = DigitsEdit("1032", hidden_);
  const char* type_ids[3] = {"1029", "1030", "1031"};
  const char* type_texts[3] = {"Type A ", "Type B", "Type C"};
  auto* types = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    type_[i] = Named(new QRadioButton(type_texts[i], hidden_), type_ids[i]);
    types->addButton(type_[i]);
  }
  overwrite_ = Named(new QRadioButton("Overwrite", hidden_), "1027");
  stop_ = Named(new QRadioButton("Stop", hidden_), "1028");
  auto* full = new QButtonGroup(this);
  full->addButton(overwrite_);
  full->addButton(stop_);
  auto* log_type = new QButtonGroup(this);
  log_type->addButton(by_time_);
  log_type->addButton(by_distance_);
  set_config_ = Named(new QPushButton("Set", hidden_), "1033");
  speed_enable_ = Named(new QCheckBox("Enable", hidden_), "1021");
  speed_ = DigitsEdit("1034", hidden_);
  set_speed_ = Named(new QPushButton("Set", hidden_), "1035");
  log_enable_ = Named(new QCheckBox("Log Enale", hidden_), "1020");
  nmea_enable_ = Named(new QCheckBox("NMEA Enale", hidden_), "1019");
  set_switches_ = Named(new QPushButton("Set", hidden_), "1001");
  for (QWidget* child : hidden_->findChildren<QWidget*>()) child->setEnabled(false);
  return hidden_;
}

void CDlgConfig::ConnectHandlers() {
  connect(folder_button_, &QPushButton::clicked, this, &CDlgConfig::ChooseFolderClicked);
  connect(tool_button_, &QPushButton::clicked, this, &CDlgConfig::ChooseToolClicked);
  connect(set_config_, &QPushButton::clicked, this, &CDlgConfig::SetConfigClicked);
  connect(set_switches_, &QPushButton::clicked, this, &CDlgConfig::SetSwitchesClicked);
  connect(set_speed_, &QPushButton::clicked, this, &CDlgConfig::SetSpeedFilterClicked);
  connect(speed_enable_, &QCheckBox::toggled, this, &CDlgConfig::EnableSpeedToggled);
  connect(by_time_, &QRadioButton::toggled, this, &CDlgConfig::LogTypeClicked);
}

void CDlgConfig::Initialise() {
  by_time_->setChecked(true);
  overwrite_->setChecked(true);
  type_[0]->setChecked(true);
  speed_enable_->setChecked(false);
  speed_->setEnabled(false);
  LogTypeClicked();
}

void CDlgConfig::LogTypeClicked() {
  interval_label_->setText(by_time_->isChecked() ? "Time Interval" : "Distance Interval");
}

void CDlgConfig::EnableSpeedToggled() {
  if (!speed_enable_->isChecked()) speed_->clear();
  speed_->setEnabled(speed_enable_->isChecked());
}

void CDlgConfig::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  folder_text_->setText(ToWide(main_.settings.nmea_path));
  tool_text_->setText(main_.settings.tool_file);
}

void CDlgConfig::ChooseFolderClicked() {
  const QByteArray chosen = choose_folder_(this, LoadText(kStrSelectNmeaFolder));
  if (chosen.isEmpty()) return;
  folder_ = CutUtf8(chosen, kNmeaPathLimit);
  main_.settings.nmea_path = folder_;
  folder_text_->setText(ToWide(folder_));
}

void CDlgConfig::ChooseToolClicked() {
  const QString chosen = choose_file_(this);
  if (chosen.isEmpty()) return;
  main_.settings.tool_file = chosen.left(kToolFileLimit);
  tool_text_->setText(main_.settings.tool_file);
}

}  // namespace tessor
