#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/shell.h"
#include "logger_rig.h"
#include "logger_tests.h"
#include "ui/dlg_config.h"

namespace tessor::test {

void ConfigPageTest::FolderChooserKeepsTheOldFolderOnCancel() {
  UiRig rig;
  rig.store().setValue("NMEA Path", QByteArray("/saved/tracks"));
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  CDlgConfig& p = *w.config_page();
  ShowPage(rig, CDataDownloader::kPageConfig);
  QCOMPARE(p.folder_text()->text(), QString("/saved/tracks"));
  QString title;
  QByteArray answer = "/chosen/folder";
  p.SetFolderChooser([&](QWidget*, const QString& t) {
    title = t;
    return answer;
  });
  p.folder_button()->click();
  QCOMPARE(title, LoadText(247));
  QCOMPARE(w.settings.nmea_path, QByteArray("/chosen/folder"));
  QCOMPARE(p.folder_text()->text(), QString("/chosen/folder"));
  answer.clear();
  p.folder_button()->click();
  QCOMPARE(w.settings.nmea_path, QByteArray("/chosen/folder"));
  QCOMPARE(p.folder(), QByteArray("/chosen/folder"));
  QCOMPARE(p.folder_text()->text(), QString("/chosen/folder"));

  // The photo tool chosen here is what the window keeps and writes back.
  p.SetFileChooser([](QWidget*) { return QString("/opt/photo/match"); });
  p.ChooseToolClicked();
  QCOMPARE(w.settings.tool_file, QString("/opt/photo/match"));
  QCOMPARE(p.tool_text()->text(), QString("/opt/photo/match"));
  p.SetFileChooser([](QWidget*) { return QString(); });
  p.ChooseToolClicked();
  QCOMPARE(w.settings.tool_file, QString("/opt/photo/match"));
  rig.window.reset();
  QCOMPARE(rig.store().value("NMEA Path").toByteArray(), QByteArray("/chosen/folder"));
  QCOMPARE(rig.store().value("Tool File").toString(), QString("/opt/photo/match"));
}

void ConfigPageTest::SpeedFilterWithEnableClearedSendsNothing() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgConfig& p = *rig.window->config_page();
  QVERIFY(!p.speed_enable()->isChecked());
  QVERIFY(!p.speed()->isEnabled());
  p.speed_enable()->setChecked(true);
  QVERIFY(p.speed()->isEnabled());
  p.speed()->setText("80");
  p.speed_enable()->setChecked(false);
  QVERIFY(p.speed()->text().isEmpty());
  QVERIFY(!p.speed()->isEnabled());
  p.SetSpeedFilterClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, QString("Please input Speed!"));
  QVERIFY(!p.device_call_running());

  // Typed in while the box is cleared, the value is still not sent.
  p.speed()->setText("80");
  p.SetSpeedFilterClicked();
  QVERIFY(!p.device_call_running());
  QCOMPARE(SentCount(rig, 105), 0);

  p.speed_enable()->setChecked(true);
  p.speed()->setText("80");
  p.SetSpeedFilterClicked();
  QTRY_VERIFY_WITH_TIMEOUT(!p.device_call_running(), kDeviceWaitMs);
  QCOMPARE(SentCount(rig, 105), 1);
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN105,80*") != std::string::npos);
  QCOMPARE(rig.messages.size(), size_t{1});
}

void ConfigPageTest::IntervalIsSentAsTypedWithoutModeChange() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgConfig& p = *rig.window->config_page();
  QCOMPARE(p.interval_label()->text(), QString("Time Interval"));
  p.SetConfigClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(160));
  const int modes = SentCount(rig, 113);
  p.by_distance()->setChecked(true);
  QCOMPARE(p.interval_label()->text(), QString("Distance Interval"));
  p.type(1)->setChecked(true);
  p.interval()->setText("45");
  p.SetConfigClicked();
  QTRY_VERIFY_WITH_TIMEOUT(!p.device_call_running(), kDeviceWaitMs);
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN104,1,45,1,0*") != std::string::npos);
  QCOMPARE(SentCount(rig, 113), modes);
  QCOMPARE(rig.messages.size(), size_t{1});
}

}  // namespace tessor::test
