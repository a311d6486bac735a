#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

#include "app/shell.h"
#include "ui/alert_setting_dlg.h"
#include "ui/dlg_config.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/download_about.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"
#include "ui/wait_box.h"
#include "ui_fixture.h"
#include "ui_tests.h"

namespace tessor::test {

void MainWindowTest::ThreeTabsInOrderAndTheKeptPages() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  QCOMPARE(w.sheet()->count(), 3);
  QCOMPARE(w.sheet()->tabText(0), QString("Connection"));
  QCOMPARE(w.sheet()->tabText(1), QString("VELD setting"));
  QCOMPARE(w.sheet()->tabText(2), QString("About"));
  QCOMPARE(w.sheet()->widget(0), w.connection_page());
  QCOMPARE(w.sheet()->widget(1), w.veld_page());
  QCOMPARE(w.sheet()->widget(2), w.about_page());
  QCOMPARE(w.ActivePage(), 0);
  const QList<QWidget*> kept = {w.file_conversion_page(), w.device_status_page(), w.config_page(),
                                w.alert_page(), w.poi_page()};
  for (QWidget* page : kept) {
    QVERIFY(page != nullptr);
    QVERIFY(w.sheet()->indexOf(page) < 0);
    QVERIFY(!page->isVisible());
  }
  for (QAbstractButton* b : w.sheet_buttons()->buttons()) QVERIFY(!b->isEnabled());
  QVERIFY(!w.sheet_buttons()->isVisible());
}

void MainWindowTest::TitleAndAboutTextsCarryTheVersion() {
  QCOMPARE(WindowTitle(), QString("Zevev Iruded Evezozoz Izidavo  %1.0").arg(TESSOR_VERSION));
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.SetActivePage(CDataDownloader::kPageAbout);
  QCOMPARE(w.about_page()->program_text()->text(),
           QString("Zevev Iruded Evezozoz Izidavo  V %1.0").arg(TESSOR_VERSION));
  QCOMPARE(w.about_page()->series_text()->text(), QString("Tessor Series"));
}

void MainWindowTest::InitialControlsOfTheConnectionPage() {
  UiRig rig;
  rig.Link("dev-a", rig.dir.path());
  rig.Open();
  CDlgConnection& p = rig.page();
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(p.connect_button()->isEnabled());
  QVERIFY(!p.process_button()->isEnabled());
  QVERIFY(!p.veld_upload()->isEnabled());
  QVERIFY(!p.poi_download()->isEnabled());
  QVERIFY(!p.download_db()->isEnabled());
  // Kept controls are there but never shown.
  QVERIFY(!p.setting_group()->isVisible());
  QVERIFY(!p.download_db()->isVisible());
  QCOMPARE(p.device_type()->count(), 1);
  QCOMPARE(p.device_type()->itemText(0), QString("SD-100 (Bluetooth)"));
  QCOMPARE(p.lamp_colour(), CDlgConnection::kLampWhite);
  QCOMPARE(p.progress()->maximum(), 100);
  QCOMPARE(p.port_list()->count(), 1);
  QVERIFY(p.port_list()->itemText(0).startsWith("COM1  "));
}

void MainWindowTest::SavedPortIsSelectedElseTheFirst() {
  {
    UiRig rig;
    for (const char* name : {"a", "b", "c"}) rig.Link(name, rig.dir.path());
    rig.store().setValue("COM Port", QByteArray(1, 2));
    rig.Open();
    QVERIFY(rig.page().port_list()->currentText().startsWith("COM2  "));
  }
  {
    UiRig rig;
    for (const char* name : {"a", "b"}) rig.Link(name, rig.dir.path());
    rig.store().setValue("COM Port", QByteArray(1, 9));
    rig.Open();
    QCOMPARE(rig.page().port_list()->currentIndex(), 0);
  }
}

void MainWindowTest::CloseIsRefusedWhileGreyedAndAsksForResetAfterAConnect() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.SetCloseEnabled(false);
  QVERIFY(!w.close());
  QVERIFY(w.isVisible());
  // The refusal is said, not silent.
  QCOMPARE(rig.messages.size(), size_t{1});
  QVERIFY(rig.messages[0].text.startsWith("The window cannot close while the device is busy"));
  rig.messages.clear();
  w.SetCloseEnabled(true);
  QVERIFY(w.close());
  QVERIFY2(rig.messages.empty(), "no connection was started: no reset message");

  UiRig second;
  second.Open();
  second.page().ConnectClicked();  // no port: the open fails, but a connection was attempted
  QTRY_VERIFY_WITH_TIMEOUT(!second.page().device_call_running(), kDeviceWaitMs);
  second.messages.clear();
  QVERIFY(second.window->close());
  QCOMPARE(second.messages.size(), size_t{1});
  QCOMPARE(second.messages[0].text, QString("Please RESET the Device and Reconnect the device!!"));
  QCOMPARE(second.messages[0].caption, QString("Zevev Iruded Evezozoz Izidavo"));
}

void MainWindowTest::SettingsAreWrittenBackWhenTheWindowGoes() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.settings.interval = 30;
  w.SetProxySettings(1, "proxy.example", "8080");
  rig.window.reset();
  QCOMPARE(rig.store().value("Interval").toByteArray(), QByteArray(1, 30));
  QCOMPARE(rig.store().value("If Proxy Used").toByteArray(), QByteArray(1, 1));
  QCOMPARE(rig.store().value("Proxy Address").toByteArray(), QByteArray("proxy.example"));
}

void MainWindowTest::WaitBoxEndsAsOkOnACloseRequest() {
  CdlgWaitBox box;
  QCOMPARE(box.windowTitle(), QString("Please Wait"));
  box.show();
  QTimer::singleShot(0, &box, [&box] { box.close(); });
  QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), kDeviceWaitMs);
  QCOMPARE(box.result(), int(QDialog::Accepted));
}

}  // namespace tessor::test
