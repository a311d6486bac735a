#include "ui_fixture.h"

#include <QDir>
#include <QFile>

#include "database/database_image.h"
#include "test_image.h"
#include "tools/devsim/pty.h"
#include "ui/veld_setting_dlg.h"

namespace tessor::test {

UiRig::UiRig() {
  store_ = std::make_unique<QSettings>(dir.filePath("settings.conf"), QSettings::IniFormat);
  ports_folder = dir.filePath("ports");
  QDir().mkpath(ports_folder);
  QDir().mkpath(dir.filePath("dev"));
  PortRoots roots;
  roots.dev = dir.filePath("dev").toStdString();
  roots.by_id = dir.filePath("by-id").toStdString();
  roots.user_ports = ports_folder.toStdString();
  ports = std::make_unique<PortDirectory>(*store_, roots);
  engine = std::make_unique<CDeviceEngine>();
  SetMessageBoxHandler([this](QWidget*, const MessageRecord& m) { messages.push_back(m); });
}

UiRig::~UiRig() {
  window.reset();
  engine.reset();
  if (sim) sim->Stop();
  SetMessageBoxHandler({});
}

void UiRig::StartDevice(const devsim::Scenario& scenario, bool pace) {
  auto ends = devsim::OpenSimulatorPty();
  QVERIFY(ends.has_value());
  devsim::SimulatorOptions options;
  options.pace = pace;
  sim = std::make_unique<devsim::Simulator>(ends->master, scenario, options);
  sim->Start();
  Link("sim", QString::fromStdString(ends->slave_path));
}

CDataDownloader& UiRig::Open() {
  window = std::make_unique<CDataDownloader>(*engine, *ports, *store_, "Tessor test");
  window->show();
  return *window;
}

void UiRig::Link(const QString& name, const QString& target) {
  QFile::link(target, QDir(ports_folder).filePath(name));
}

void UiRig::SelectPort(const QString& starting_with) {
  QComboBox* list = page().port_list();
  for (int i = 0; i < list->count(); ++i) {
    if (list->itemText(i).contains(starting_with)) list->setCurrentIndex(i);
  }
}

bool UiRig::HasLine(const QString& line) const {
  const QListWidget* list = window->connection_page()->status_list();
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text() == line) return true;
  }
  return false;
}

bool UiRig::HasMessage(const QString& text) const {
  for (const MessageRecord& m : messages) {
    if (m.text == text) return true;
  }
  return false;
}

QString UiRig::image_file(const std::vector<uint8_t>& bytes, const QString& name) {
  const QString path = dir.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

void UiRig::ConnectAndSettle() {
  page().ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(window->close_enabled() && page().veld_upload()->isEnabled(),
                           kDeviceWaitMs);
}

void UiRig::StartUpload(const std::vector<uint8_t>& image) {
  const QString path = image_file(image);
  CVELDSettingDlg::file_chooser() = [path](QWidget*) { return path; };
  page().veld_upload()->click();
  window->veld_page()->browse_button()->click();
  window->veld_page()->go_button()->click();
  CVELDSettingDlg::file_chooser() = nullptr;
}

int UiRig::MessageIndex(const QString& starting_with) const {
  for (size_t i = 0; i < messages.size(); ++i) {
    if (messages[i].text.startsWith(starting_with)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<uint8_t> UiRig::MakeImage(size_t points) {
  return MakeTestImage(points);
}

devsim::Scenario UiRig::SlowDevice() {
  devsim::Scenario s;
  s.erase_reports_ms = 300;
  s.variant.latency_ms = 20;
  return s;
}

std::vector<uint8_t> UiRig::LargeImage() {
  return MakeImage(1600);
}

}  // namespace tessor::test
