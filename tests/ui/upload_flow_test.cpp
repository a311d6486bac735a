#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>

#include "database/data_folder.h"
#include "ui/veld_setting_dlg.h"
#include "ui_fixture.h"
#include "ui_tests.h"

namespace tessor::test {

namespace {
void ConnectAndSettle(UiRig& rig) {
  rig.page().ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(rig.window->close_enabled() && rig.page().veld_upload()->isEnabled(),
                           kDeviceWaitMs);
}
}  // namespace

void UploadFlowTest::FromTheVeldPageToFinishedAndTheResetMessage() {
  devsim::Scenario scenario;
  scenario.erase_reports_ms = 300;
  UiRig rig;
  rig.StartDevice(scenario);
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  ConnectAndSettle(rig);

  p.veld_upload()->click();
  QCOMPARE(w.ActivePage(), int(CDataDownloader::kPageVeld));
  CVELDSettingDlg& veld = *w.veld_page();
  const std::vector<uint8_t> image = UiRig::MakeImage(40);
  const QString path = rig.image_file(image);
  CVELDSettingDlg::file_chooser() = [path](QWidget*) { return path; };
  veld.browse_button()->click();
  QCOMPARE(veld.path_text()->text(), path);
  QVERIFY(veld.verdict_text()->text().startsWith("Valid"));
  veld.go_button()->click();
  QCOMPARE(w.ActivePage(), int(CDataDownloader::kPageConnection));
  QVERIFY(p.veld_upload()->isChecked());
  QVERIFY(p.TimerActive(CDlgConnection::kTimerProcess));
  QCOMPARE(veld.cell_range(), CVELDSettingDlg::kCellRange);

  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage("Please RESET the Device and Reconnect the device!!"),
                           kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled() && !p.connected(), kDeviceWaitMs);
  QCOMPARE(rig.sim->DatabaseDump(), image);
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(w.close_enabled());
  QCOMPARE(w.operationRunning, 0u);
  // The page empties the path when the end of the link reaches it.
  QTRY_VERIFY_WITH_TIMEOUT(veld.path_text()->text().isEmpty(), kDeviceWaitMs);
  CVELDSettingDlg::file_chooser() = nullptr;
}

void UploadFlowTest::StatusLinesOfTheUploadReachTheList() {
  devsim::Scenario scenario;
  scenario.erase_reports_ms = 300;
  UiRig rig;
  rig.StartDevice(scenario);
  rig.Open();
  CDlgConnection& p = rig.page();
  ConnectAndSettle(rig);
  // The reset box is answered by looking at the list before the page disconnects.
  bool finished_seen = false;
  SetMessageBoxHandler([&](QWidget*, const MessageRecord& m) {
    rig.messages.push_back(m);
    if (m.text.startsWith("Please RESET"))
      finished_seen = rig.HasLine("Finished uploading VELD Data.");
  });
  const QString path = rig.image_file(UiRig::MakeImage(10));
  CVELDSettingDlg::file_chooser() = [path](QWidget*) { return path; };
  p.veld_upload()->click();
  rig.window->veld_page()->browse_button()->click();
  rig.window->veld_page()->go_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage("Please RESET the Device and Reconnect the device!!"),
                           kDeviceWaitMs);
  QVERIFY(finished_seen);
  QCOMPARE(rig.sim->DatabaseDump(), UiRig::MakeImage(10));
  CVELDSettingDlg::file_chooser() = nullptr;
}

void UploadFlowTest::WrongFileIsFlaggedAndNotSent() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  CDataDownloader& w = rig.Open();
  ConnectAndSettle(rig);
  const QString path =
      rig.image_file({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, "wrong.bin");
  CVELDSettingDlg::file_chooser() = [path](QWidget*) { return path; };
  rig.page().veld_upload()->click();
  w.veld_page()->browse_button()->click();
  QVERIFY(w.veld_page()->verdict_text()->text().startsWith("Not a VELD image"));
  w.veld_page()->go_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.engine->upload_finished() == 1, kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(rig.page().connect_button()->isEnabled(), kDeviceWaitMs);
  QVERIFY(rig.sim->TranscriptText().find("$PKVN999") == std::string::npos);
  QVERIFY(rig.sim->DatabaseDump().empty());
  CVELDSettingDlg::file_chooser() = nullptr;
}

void UploadFlowTest::ImageChooserStartsWhereTheUsersFilesAre() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CVELDSettingDlg& veld = *w.veld_page();
  // The real chooser, answered as soon as it is up.
  CVELDSettingDlg::file_chooser() = nullptr;
  QString opened_in;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      opened_in = dialog->directory().absolutePath();
      dialog->reject();
    }
  });
  answer.start(20);
  veld.BrowseClicked();
  answer.stop();
  QCOMPARE(opened_in, QDir(QString::fromStdString(DataFolder())).absolutePath());
  QVERIFY(veld.path_text()->text().isEmpty());

  // Once a file was chosen, its folder is where the next search starts.
  const QString path = rig.image_file(UiRig::MakeImage(2));
  CVELDSettingDlg::file_chooser() = [path](QWidget*) { return path; };
  veld.BrowseClicked();
  CVELDSettingDlg::file_chooser() = nullptr;
  QCOMPARE(veld.ImageStartFolder(), QDir(rig.dir.path()).absolutePath());
}

}  // namespace tessor::test
