#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/shell.h"
#include "logger_rig.h"
#include "logger_tests.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/question_seam.h"

namespace tessor::test {

namespace {
devsim::Scenario Logger(uint32_t percent, size_t tracks) {
  devsim::Scenario s;
  s.flash_usage = std::array<uint32_t, 4>{220, 8388608, 3, percent};
  s.config = {1, 0, 1, 0, 7, 0, 0, 0, 0, 4096, 300, 800, 0, 40};
  for (size_t i = 0; i < tracks; ++i) {
    s.tracks.push_back(GeneratedTrack(70314 + static_cast<uint32_t>(i), 0, 40));
  }
  return s;
}

QList<QPushButton*> DeviceButtons(const CDlgDeviceStatus& p) {
  return {p.query_flash(),  p.query_battery(),    p.set_config(),
          p.set_switches(), p.gps_mouse_button(), p.erase_button()};
}

// Shows the status page and waits for its load to end.
CDlgDeviceStatus& ShowStatus(UiRig& rig) {
  ShowPage(rig, CDataDownloader::kPageDeviceStatus);
  CDlgDeviceStatus& p = *rig.window->device_status_page();
  (void)QTest::qWaitFor([&p] { return !p.loading(); }, kDeviceWaitMs);
  return p;
}
}  // namespace

void DeviceStatusTest::FlashBarAndTheConfigurationReadIntoTheSettings() {
  struct Case {
    uint32_t percent;
    size_t tracks;
    int bar;
    const char* text;
  };
  for (const Case c : {Case{95, 1, 92, "095%"}, Case{0, 2, 1, "000%"}, Case{0, 0, 0, "000%"},
                       Case{100, 1, 100, "100%"}}) {
    UiRig rig;
    rig.StartDevice(Logger(c.percent, c.tracks));
    ConnectLogger(rig);
    if (QTest::currentTestFailed()) return;
    CDlgDeviceStatus& p = ShowStatus(rig);
    QVERIFY(!p.loading());
    QVERIFY(p.wait_box() == nullptr);
    QCOMPARE(p.flash_bar()->value(), c.bar);
    QCOMPARE(p.flash_text()->text(), QString(c.text));
    QVERIFY(rig.messages.empty());
    for (QPushButton* b : DeviceButtons(p)) QVERIFY(b->isEnabled());
    // The logger's configuration becomes the window's settings.
    QVERIFY(p.data_type(1)->isChecked());
    QVERIFY(p.stop_when_full()->isChecked());
    QCOMPARE(p.interval()->text(), QString("007"));
    QCOMPARE(int(rig.window->settings.data_type), 1);
    QCOMPARE(int(rig.window->settings.full_option), 1);
    QCOMPARE(int(rig.window->settings.interval), 7);
  }
}

void DeviceStatusTest::EmptyIntervalContactsNothing() {
  UiRig rig;
  rig.StartDevice(Logger(10, 1));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgDeviceStatus& p = ShowStatus(rig);
  const int modes = SentCount(rig, 113);
  p.interval()->clear();
  p.set_config()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(160));
  QVERIFY(!p.device_call_running());
  QCOMPARE(SentCount(rig, 104), 0);
  QCOMPARE(SentCount(rig, 113), modes);

  // With an interval the mode change comes first, then the configuration.
  p.interval()->setText("42");
  p.data_type(2)->click();
  p.overwrite()->click();
  p.set_config()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.messages.size() == 2, kDeviceWaitMs);
  QCOMPARE(rig.messages[1].text, LoadText(162));
  QCOMPARE(SentCount(rig, 113), modes + 1);
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN104,0,42,2,0*") != std::string::npos);
  QCOMPARE(int(rig.window->settings.interval), 42);
  QCOMPARE(int(rig.window->settings.data_type), 2);
  QCOMPARE(int(rig.window->settings.full_option), 0);
}

void DeviceStatusTest::EraseFromTheQuestionToFinished() {
  UiRig rig;
  rig.StartDevice(Logger(40, 2));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgDeviceStatus& p = ShowStatus(rig);
  QStringList asked;
  bool answer = false;
  SetQuestionHandler([&](QWidget*, const QString& text) {
    asked << text;
    return answer;
  });
  p.erase_button()->click();
  QCOMPARE(asked, QStringList({LoadText(168)}));
  QCOMPARE(SentCount(rig, 109), 0);

  answer = true;
  // The erase goes on until the test has seen it running, however slow the machine.
  rig.sim->HoldBusy(true);
  p.erase_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(p.erase_running(), kDeviceWaitMs);
  QVERIFY(!p.erase_button()->isEnabled());
  QCOMPARE(rig.window->operationRunning, 1u);
  QTRY_VERIFY_WITH_TIMEOUT(p.elapsed()->text().startsWith(LoadText(171) + " "), kDeviceWaitMs);
  QVERIFY(p.erase_running());
  rig.sim->HoldBusy(false);
  QTRY_COMPARE_WITH_TIMEOUT(p.elapsed()->text(), LoadText(170), kDeviceWaitMs);
  SetQuestionHandler({});
  QCOMPARE(SentCount(rig, 109), 1);
  QVERIFY(p.erase_button()->isEnabled());
  QCOMPARE(rig.window->operationRunning, 0u);
  QVERIFY(rig.messages.empty());
}

void DeviceStatusTest::PageShownDuringADownloadShows113AndKeepsButtonsOff() {
  devsim::Scenario s = Logger(40, 0);
  s.tracks.push_back(GeneratedTrack(70314, 2, 700));
  UiRig rig;
  rig.StartDevice(s, true);
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  rig.window->settings.nmea_path = rig.dir.filePath("nmea").toUtf8();
  QDir().mkpath(rig.dir.filePath("nmea"));
  ShowPage(rig, CDataDownloader::kPageFileConversion);
  CDlgFileConversion& f = *rig.window->file_conversion_page();
  f.log_list()->item(0)->setSelected(true);
  // The logger stays busy until the page has been looked at: the download is
  // surely running meanwhile, however slow the machine.
  rig.sim->HoldBusy(true);
  f.start_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.sim->TranscriptText().find("$PKVN102,") != std::string::npos,
                           kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.engine->ignore_blocks.load(), kDeviceWaitMs);
  ShowPage(rig, CDataDownloader::kPageDeviceStatus);
  CDlgDeviceStatus& p = *rig.window->device_status_page();
  QVERIFY(!p.loading());
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage(LoadText(113)), kDeviceWaitMs);
  for (QPushButton* b : DeviceButtons(p)) QVERIFY(!b->isEnabled());
  QCOMPARE(p.interval()->text(), QString("015"));
  QVERIFY(p.by_time()->isChecked());
  QVERIFY(!rig.engine->ignore_blocks.load());
  rig.sim->HoldBusy(false);
  QTRY_VERIFY_WITH_TIMEOUT(!f.timer_active(), kDeviceWaitMs);
  QCOMPARE(f.nmea_list()->count(), 1);
}

void DeviceStatusTest::GpsMouseFollowsTheStream() {
  UiRig rig;
  rig.StartDevice(Logger(10, 1));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgDeviceStatus& p = ShowStatus(rig);
  QVERIFY(!p.gps_mouse());
  QCOMPARE(p.gps_mouse_button()->text(), QString("Enable"));
  p.gps_mouse_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage("Set G-mouse enable."), kDeviceWaitMs);
  QVERIFY(p.gps_mouse());
  QCOMPARE(p.gps_mouse_button()->text(), QString("Disable"));
  QTRY_VERIFY_WITH_TIMEOUT(rig.engine->flags_b.load() & flag_b::kPositionText, kDeviceWaitMs);

  // Shown afresh, the page finds the logger streaming by itself.
  ShowPage(rig, CDataDownloader::kPageConnection);
  p.gps_mouse_button()->setText("?");
  ShowStatus(rig);
  QVERIFY(p.gps_mouse());
  QCOMPARE(p.gps_mouse_button()->text(), QString("Disable"));

  p.gps_mouse_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage("Set G-mouse disable"), kDeviceWaitMs);
  QVERIFY(!p.gps_mouse());
  QCOMPARE(p.gps_mouse_button()->text(), QString("Enable"));
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN103,1,0*") != std::string::npos);
}

void DeviceStatusTest::DisconnectedPageShowsTheSavedSettings() {
  UiRig rig;
  rig.store().setValue("Data Type", QByteArray(1, char(2)));
  rig.store().setValue("Full Option", QByteArray(1, char(1)));
  rig.store().setValue("Interval", QByteArray(1, char(9)));
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  CDlgDeviceStatus& p = *w.device_status_page();
  ShowPage(rig, CDataDownloader::kPageDeviceStatus);
  QVERIFY(!p.loading());
  QVERIFY(p.data_type(2)->isChecked());
  QVERIFY(p.stop_when_full()->isChecked());
  QCOMPARE(p.interval()->text(), QString("009"));
  QCOMPARE(p.flash_bar()->value(), 0);
  for (QPushButton* b : DeviceButtons(p)) QVERIFY(!b->isEnabled());
  // Without a device the handlers do nothing; the interval hint still comes.
  p.erase_button()->setEnabled(true);
  p.erase_button()->click();
  QVERIFY(!p.device_call_running());
  p.interval()->clear();
  p.SetLogConfigClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(160));
}

}  // namespace tessor::test
