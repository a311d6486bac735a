#include <QDir>
#include <QProgressBar>
#include <QTableWidget>
#include <cerrno>

#include "engine/serial_port.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"
#include "ui_fixture.h"
#include "ui_tests.h"

namespace tessor::test {

namespace {
devsim::Scenario WithDatabase() {
  devsim::Scenario s;
  s.database = UiRig::MakeImage(4);
  return s;
}
}  // namespace

void ConnectionTest::ConnectsUpToConnectionComplete() {
  UiRig rig;
  rig.StartDevice(WithDatabase());
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  rig.SelectPort("sim");
  const int number = PortNumberOf(p.port_list()->currentText().toStdString());
  p.connect_button()->click();
  // While the device call runs the page is locked and the window cannot close.
  QVERIFY(!w.close_enabled());
  QVERIFY(!p.connect_button()->isEnabled());
  QVERIFY(!p.port_list()->isEnabled());
  QCOMPARE(rig.store().value("COM Port").toByteArray(), QByteArray(1, char(number)));
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(w.close_enabled(), kDeviceWaitMs);
  QCOMPARE(p.connect_button()->text(), QString("Disconnect"));
  QVERIFY(p.connected());
  QCOMPARE(int(w.connected), 1);
  QVERIFY(p.veld_upload()->isEnabled());
  QVERIFY(p.poi_download()->isEnabled());
  QVERIFY(p.download_db()->isEnabled());
  QVERIFY(!p.port_list()->isEnabled());
  QCOMPARE(w.operationRunning, 0u);
  QVERIFY(rig.messages.empty());
  // A POI list judged against this device's coverage must not outlive it.
  w.poi_page()->list()->setRowCount(2);

  p.connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled(), kDeviceWaitMs);
  QCOMPARE(w.poi_page()->list()->rowCount(), 0);
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(!p.connected());
  QVERIFY(p.port_list()->isEnabled());
  QVERIFY(!p.veld_upload()->isEnabled());
  QCOMPARE(p.status_list()->count(), 0);
  QVERIFY(!rig.engine->link_flag.load());
}

void ConnectionTest::PortThatCannotBeOpenedShowsTheSystemText() {
  UiRig rig;
  rig.Link("folder", rig.dir.path());  // a folder is no serial port
  rig.Open();
  CDlgConnection& p = rig.page();
  p.ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled(), kDeviceWaitMs);
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].caption, QString("Error"));
  QCOMPARE(rig.messages[0].icon, QMessageBox::Information);
  const int number = PortNumberOf(p.port_list()->currentText().toStdString());
  QCOMPARE(rig.messages[0].text,
           QString("Can not open COM%1 (%2): %3")
               .arg(number)
               .arg(QString::fromStdString(rig.ports->Resolve(number)))
               .arg(QString::fromStdString(PortErrorText(rig.engine->last_system_error()))));
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(p.port_list()->isEnabled());
  QVERIFY(rig.window->close_enabled());
  QCOMPARE(p.port_list()->count(), 1);
}

void ConnectionTest::SilentDeviceShowsString111() {
  devsim::Scenario s = WithDatabase();
  s.faults.silent.push_back({100, 1000});
  UiRig rig;
  rig.StartDevice(s);
  rig.Open();
  CDlgConnection& p = rig.page();
  p.ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled(), kDeviceWaitMs);
  QVERIFY(rig.HasMessage("There is no Data in, please check the device or the connection."));
  QCOMPARE(rig.messages.back().caption, QString("Zevev Iruded Evezozoz Izidavo"));
  QVERIFY(rig.HasLine("No Data In!!"));
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(!p.connected());
  QVERIFY(!p.veld_upload()->isEnabled());
}

void ConnectionTest::DeviceWithoutDatabaseConnectsWithoutPoi() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  p.ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(w.close_enabled() && p.veld_upload()->isEnabled(), kDeviceWaitMs);
  QVERIFY(rig.HasLine("There is no VELD in the device!! Please upload VELD first."));
  QVERIFY(!p.poi_allowed());
  QVERIFY(!p.poi_download()->isEnabled());
  QCOMPARE(p.connect_button()->text(), QString("Disconnect"));
  // The VELD page learns that the link is up.
  QVERIFY(w.veld_page()->browse_button()->isEnabled());
}

void ConnectionTest::UploadAndPoiBoxesExcludeEachOther() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  p.veld_upload()->setEnabled(true);
  p.veld_upload()->click();
  QCOMPARE(w.ActivePage(), int(CDataDownloader::kPageVeld));
  QVERIFY(p.process_button()->isEnabled());
  QVERIFY(!p.download_db()->isEnabled());
  p.poi_download()->setChecked(true);
  p.veld_upload()->setChecked(false);
  p.UploadChecked();
  QVERIFY(!p.poi_download()->isChecked());
  QVERIFY(!p.process_button()->isEnabled());
  QVERIFY(p.download_db()->isEnabled());
  // POI Download the other way round; its configuration query finds no device.
  p.veld_upload()->setChecked(true);
  p.poi_download()->setChecked(true);
  p.PoiChecked();
  QVERIFY(!p.veld_upload()->isChecked());
  QVERIFY(p.process_button()->isEnabled());
  QVERIFY(!p.download_db()->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(!p.device_call_running(), kDeviceWaitMs);
  QVERIFY(rig.HasMessage("Can not inquire POI number, please check the connection or device!!"));
}

void ConnectionTest::ProcessWithoutUploadDoesNothingElse() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  p.veld_upload()->setEnabled(true);
  p.poi_download()->setEnabled(true);
  p.progress()->setValue(40);
  p.ProcessClicked();
  QVERIFY(!p.connect_button()->isEnabled());
  QVERIFY(!p.veld_upload()->isEnabled());
  QVERIFY(!p.poi_download()->isEnabled());
  QCOMPARE(p.progress()->value(), 0);
  QCOMPARE(w.operationRunning, 1u);
  QVERIFY(!p.TimerActive(CDlgConnection::kTimerOperation));
  QVERIFY(!rig.engine->ThreadRunning(CDeviceEngine::kSlotDatabaseUpload));
  QVERIFY(w.close_enabled());
}

void ConnectionTest::NotificationsMoveTheProgressAndTheLamp() {
  UiRig rig;
  rig.Open();
  CDlgConnection& p = rig.page();
  p.OnNotification(WM_DEV_PROGRESS, 256, 304);
  QCOMPARE(p.progress()->value(), 84);
  p.OnNotification(WM_DEV_PROGRESS, 5, 0);
  QCOMPARE(p.progress()->value(), 0);
  p.OnNotification(WM_DEV_PROGRESS, 304, 304);
  p.OnNotification(WM_DEV_PROGRESS_RESET, 0, 0);
  QCOMPARE(p.progress()->value(), 0);
  p.OnNotification(WM_DEV_ERASE_BUSY, 0, 0);
  QVERIFY(p.lamp_blinking());
  QCOMPARE(p.lamp_colour(), CDlgConnection::kLampRed);
  p.OnNotification(WM_DEV_ERASE_BUSY, 0, 0);
  QCOMPARE(p.lamp_colour(), CDlgConnection::kLampWhite);
  p.OnNotification(WM_DEV_ERASE_DONE, 0, 0);
  QVERIFY(!p.lamp_blinking());
  QCOMPARE(p.lamp_colour(), CDlgConnection::kLampGreen);
  const QRect lamp = p.LampRect();
  QCOMPARE(lamp.size(), QSize(25, 25));
  QCOMPARE(lamp.topLeft(), QPoint(p.width() * 10 / 11, p.height() / 3));
  // The lamp is painted where it is said to be.
  const QImage shot = p.grab().toImage();
  QCOMPARE(shot.pixelColor(lamp.center()), CDlgConnection::kLampGreen);
  // Enable-controls: Process follows the check boxes.
  p.OnNotification(WM_DEV_ENABLE_CONTROLS, 0, 0);
  QVERIFY(p.connect_button()->isEnabled());
  QVERIFY(p.download_db()->isEnabled());
  QVERIFY(!p.process_button()->isEnabled());
  // An end without the reset flag asks nothing.
  rig.window->SetCloseEnabled(false);
  p.OnNotification(WM_DEV_OPERATION_END, 1, 0);
  QVERIFY(rig.messages.empty());
  QVERIFY(rig.window->close_enabled());
}

namespace {
devsim::Scenario WithDatabaseAndTrack() {
  devsim::Scenario s = WithDatabase();
  devsim::TrackSource t;
  t.date = 70314;
  t.records.assign(5 * 20, 0x5A);
  s.tracks = {t};
  return s;
}

// Opens the window on the device and presses Connect.
CDataDownloader& StartConnect(UiRig& rig, const devsim::Scenario& s) {
  rig.StartDevice(s);
  CDataDownloader& w = rig.Open();
  rig.SelectPort("sim");
  rig.page().connect_button()->click();
  return w;
}
}  // namespace

void ConnectionTest::FailedHandshakeLeavesThePageNotConnected() {
  devsim::Scenario s = WithDatabaseAndTrack();
  s.faults.silent = {{108, 1000}};
  UiRig rig;
  CDataDownloader& w = StartConnect(rig, s);
  CDlgConnection& p = rig.page();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection failure, please check device"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled() && !p.device_call_running() &&
                               !p.TimerActive(CDlgConnection::kTimerHandshake),
                           kDeviceWaitMs);
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(!p.connected());
  QCOMPARE(int(w.connected), 0);
  QVERIFY(w.close_enabled());
  QCOMPARE(w.operationRunning, 0u);
  QVERIFY(p.port_list()->isEnabled());
  QVERIFY(!p.veld_upload()->isEnabled());
  QVERIFY(!p.download_db()->isEnabled());
  QVERIFY(!rig.engine->link_flag.load());
  // The user still reads why.
  QVERIFY(rig.HasLine("Connection failure, please check device"));
}

void ConnectionTest::DisconnectDuringTheHandshakeFreesClose() {
  devsim::Scenario s = WithDatabaseAndTrack();
  s.faults.busy = {{101, 100000}};  // the header query keeps being repeated
  UiRig rig;
  CDataDownloader& w = StartConnect(rig, s);
  CDlgConnection& p = rig.page();
  QTRY_VERIFY_WITH_TIMEOUT(p.connected() && p.connect_button()->isEnabled(), kDeviceWaitMs);
  QVERIFY(!rig.engine->handshake_done());
  QVERIFY(!w.close_enabled());
  p.connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(p.connect_button()->isEnabled() && !p.device_call_running(),
                           kDeviceWaitMs);
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(w.close_enabled());
  QCOMPARE(w.operationRunning, 0u);
  QVERIFY(!p.TimerActive(CDlgConnection::kTimerHandshake));
  QVERIFY(!rig.engine->link_flag.load());
}

void ConnectionTest::ConnectWaitsForAListedPortAndNamesAVanishedOne() {
  UiRig rig;
  rig.Open();
  CDlgConnection& p = rig.page();
  QCOMPARE(p.port_list()->count(), 0);
  QVERIFY(!p.connect_button()->isEnabled());
  p.ConnectClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].caption, QString("Error"));
  QVERIFY(rig.messages[0].text.startsWith("No serial port is listed"));
  QVERIFY(!p.device_call_running());

  // An adapter plugged in shows up by itself and makes Connect usable.
  const QString target = rig.dir.filePath("adapter");
  QVERIFY(QDir().mkpath(target));
  rig.Link("usb-adapter", target);
  QTRY_VERIFY_WITH_TIMEOUT(p.port_list()->count() == 1 && p.connect_button()->isEnabled(),
                           kDeviceWaitMs);

  // It goes away again before Connect: the box names the port and why.
  const int number = PortNumberOf(p.port_list()->currentText().toStdString());
  const QString path = QString::fromStdString(rig.ports->Resolve(number));
  QVERIFY(!path.isEmpty());
  QVERIFY(QDir(target).removeRecursively());
  rig.messages.clear();
  p.connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!p.device_call_running() && rig.messages.size() == 1, kDeviceWaitMs);
  QCOMPARE(rig.messages[0].caption, QString("Error"));
  QCOMPARE(rig.messages[0].text, QString("Can not open COM%1 (%2): %3")
                                     .arg(number)
                                     .arg(path)
                                     .arg(QString::fromStdString(PortErrorText(ENOENT))));
  QVERIFY(!p.connected());
}

}  // namespace tessor::test
