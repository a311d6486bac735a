#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

#include "detector_rig.h"
#include "ui/alert_setting_dlg.h"
#include "ui_detector_tests.h"

namespace tessor::test {

namespace {
const QString kSame =
    "Critical range and notification range should not be the same with the device setting!!";
const QString kTooClose = "Notification range should be more than critical range 200 M!!";
const QString kDone = "Set VELD configuration successfully!!";

QStringList Numbers(int from, int to) {
  QStringList items;
  for (int n = from; n <= to; n += 100) items << QString::number(n);
  return items;
}

// Chooses a critical range as the user does, so that the other lists follow.
void ChooseCritical(CAlertSettingDlg& page, int metres) {
  const int index = page.critical_list()->findText(QString::number(metres));
  QVERIFY(index >= 0);
  page.critical_list()->setCurrentIndex(index);
  emit page.critical_list()->activated(index);
}

void SelectText(QComboBox* list, int metres) {
  const int index = list->findText(QString::number(metres));
  QVERIFY(index >= 0);
  list->setCurrentIndex(index);
}

// Counts the showings of the wait box while it lives.
class WaitBoxWatch : public QObject {
 public:
  WaitBoxWatch() { qApp->installEventFilter(this); }
  ~WaitBoxWatch() override { qApp->removeEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(object);
    if (event->type() == QEvent::Show && widget != nullptr && widget->isWindow() &&
        widget->windowTitle() == "Please Wait") {
      ++shown;
    }
    return false;
  }
};

// Shows the page and waits until its reading of the device has ended: the
// configuration query went out and its answer has been taken.
void ShowAndRead(const UiRig& rig, CAlertSettingDlg& page) {
  WaitBoxWatch watch;
  const int queries = SentCount(rig, "$PKVN108");
  page.show();
  QTRY_VERIFY_WITH_TIMEOUT(SentCount(rig, "$PKVN108") > queries && !page.device_call_running(),
                           kDeviceWaitMs);
  QCOMPARE(watch.shown, 1);
  QVERIFY(!WaitBoxVisible());
}

void PressSetAndWait(CAlertSettingDlg& page) {
  page.set_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!page.device_call_running() && page.set_button()->isEnabled(),
                           kDeviceWaitMs);
}
}  // namespace

void AlertPageTest::ListsFollowTheCriticalRange() {
  CAlertSettingDlg page;
  QCOMPARE(Items(page.critical_list()), Numbers(200, 1800));
  ChooseCritical(page, 500);
  QCOMPARE(Items(page.notification_list()), Numbers(700, 2000));
  QCOMPARE(page.notification_list()->currentText(), QString("700"));
  QCOMPARE(Items(page.cog_list()), QStringList({"50", "45", "40", "35"}));
  ChooseCritical(page, 200);
  QCOMPARE(Items(page.cog_list()), QStringList({"50"}));
  QCOMPARE(Items(page.notification_list()), Numbers(400, 2000));
  ChooseCritical(page, 1800);
  QCOMPARE(Items(page.cog_list()), QStringList({"50", "45", "40", "35", "30", "25"}));
  QCOMPARE(Items(page.notification_list()), QStringList({"2000"}));

  // Opening a list fills it afresh for the critical range now chosen.
  page.critical_list()->setCurrentIndex(page.critical_list()->findText("1200"));
  page.notification_list()->setCurrentIndex(-1);
  page.NotificationOpened();
  QCOMPARE(Items(page.notification_list()), Numbers(1400, 2000));
  QCOMPARE(page.notification_list()->currentText(), QString("1400"));
  page.CogOpened();
  QCOMPARE(Items(page.cog_list()).size(), 6);
  QCOMPARE(page.cog_list()->currentText(), QString("50"));
}

void AlertPageTest::DisconnectedOrDownloadingPageStaysOff() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CAlertSettingDlg& page = *w.alert_page();
  page.show();
  // The look at the device that follows a showing, made now instead of waited for.
  page.Refresh();
  QVERIFY(!page.device_call_running());
  QVERIFY(!page.set_button()->isEnabled());
  QVERIFY(!page.critical_list()->isEnabled());
  QVERIFY(rig.messages.empty());
  page.hide();

  // Connected while a track download runs: the page waits for it.
  w.connected = 1;
  rig.engine->ignore_blocks = false;
  page.show();
  QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), size_t{1}, kDeviceWaitMs);
  QCOMPARE(rig.messages[0].text, QString("Please wait for finishing getting  data."));
  QCOMPARE(rig.messages[0].caption, QString("Zevev Iruded Evezozoz Izidavo"));
  QVERIFY(!page.device_call_running());
  QVERIFY(!page.notification_list()->isEnabled());
  w.connected = 0;
}

void AlertPageTest::ShownPageReadsTheDeviceRanges() {
  UiRig rig;
  ConnectRig(rig);
  CAlertSettingDlg& page = *rig.window->alert_page();
  ShowAndRead(rig, page);
  QCOMPARE(page.device_critical(), 300);
  QCOMPARE(page.device_notification(), 800);
  QCOMPARE(page.critical_list()->currentText(), QString("300"));
  QCOMPARE(Items(page.notification_list()), Numbers(500, 2000));
  QCOMPARE(page.notification_list()->currentText(), QString("800"));
  QCOMPARE(page.max_pois()->text(), QString("4096"));
  QCOMPARE(page.cog_list()->currentText(), QString("40"));
  QVERIFY(page.set_button()->isEnabled());
  QVERIFY(page.critical_list()->isEnabled());
  QVERIFY(rig.messages.empty());
}

void AlertPageTest::SameValuesAndTooCloseRangesSendNoSetting() {
  UiRig rig;
  ConnectRig(rig);
  CAlertSettingDlg& page = *rig.window->alert_page();
  ShowAndRead(rig, page);
  const int mode_commands = SentCount(rig, "$PKVN113");
  page.set_button()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, kSame);
  QVERIFY(page.set_button()->isEnabled());
  QVERIFY(!page.device_call_running());

  // 900 picked without the lists following it; 1000 from the list of 300.
  SelectText(page.critical_list(), 900);
  SelectText(page.notification_list(), 1000);
  PressSetAndWait(page);
  QCOMPARE(rig.messages.size(), size_t{2});
  QCOMPARE(rig.messages[1].text, kTooClose);
  QVERIFY(SentCount(rig, "$PKVN113") > mode_commands);
  QCOMPARE(SentCount(rig, "$PKVN116"), 0);
  QCOMPARE(page.device_critical(), 300);

  // A range the device reports that no list holds leaves that list without a
  // choice: Set says which one is missing and stays where it is.
  const int modes = SentCount(rig, "$PKVN113");
  page.critical_list()->setCurrentIndex(-1);
  page.set_button()->click();
  QCOMPARE(rig.messages.size(), size_t{3});
  QCOMPARE(rig.messages[2].text, QString("Please select the critical range!"));
  SelectText(page.critical_list(), 500);
  page.notification_list()->setCurrentIndex(-1);
  page.set_button()->click();
  QCOMPARE(rig.messages.size(), size_t{4});
  QCOMPARE(rig.messages[3].text, QString("Please select the notification range!"));
  QCOMPARE(rig.messages[3].caption, QString("Zevev Iruded Evezozoz Izidavo"));
  QVERIFY(page.set_button()->isEnabled());
  QVERIFY(!page.device_call_running());
  QCOMPARE(SentCount(rig, "$PKVN113"), modes);
  QCOMPARE(SentCount(rig, "$PKVN116"), 0);
}

void AlertPageTest::SetRangesAreTakenByTheDevice() {
  UiRig rig;
  ConnectRig(rig);
  CAlertSettingDlg& page = *rig.window->alert_page();
  ShowAndRead(rig, page);
  // 200 m apart: the closest ranges the device may be given.
  ChooseCritical(page, 500);
  QCOMPARE(page.notification_list()->currentText(), QString("700"));
  page.set_button()->click();
  QVERIFY(!page.set_button()->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(!page.device_call_running() && page.set_button()->isEnabled(),
                           kDeviceWaitMs);
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, kDone);
  QCOMPARE(page.device_critical(), 500);
  QCOMPARE(page.device_notification(), 700);
  QCOMPARE(SentCount(rig, "$PKVN116,4096,500,700,40*"), 1);

  // Shown again, the page reads the new ranges back from the device.
  page.hide();
  ChooseCritical(page, 1000);
  ShowAndRead(rig, page);
  QCOMPARE(page.critical_list()->currentText(), QString("500"));
  QCOMPARE(page.notification_list()->currentText(), QString("700"));
  QCOMPARE(rig.messages.size(), size_t{1});
}

}  // namespace tessor::test
