#include <QAction>
#include <QTabWidget>

#include "logger_rig.h"
#include "logger_tests.h"
#include "ui/alert_setting_dlg.h"
#include "ui/dlg_config.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/download_about.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"

namespace tessor::test {

namespace {
QList<QWidget*> Tabs(const CDataDownloader& w) {
  QList<QWidget*> tabs;
  for (int i = 0; i < w.sheet()->count(); ++i) tabs << w.sheet()->widget(i);
  return tabs;
}
}  // namespace

void ShowAllPagesTest::OffByDefaultThenAllEightInBuildOrderAndRemembered() {
  UiRig rig;
  {
    CDataDownloader& w = rig.Open();
    QCOMPARE(w.sheet()->count(), 3);
    QVERIFY(!w.show_all_action()->isChecked());
    w.show_all_action()->trigger();
    const QList<QWidget*> order = {
        w.file_conversion_page(), w.connection_page(), w.device_status_page(),
        w.config_page(),          w.veld_page(),       w.alert_page(),
        w.about_page(),           w.poi_page()};
    QCOMPARE(Tabs(w), order);
    QCOMPARE(w.sheet()->tabText(0), QString("Data Log Download"));
    QCOMPARE(w.sheet()->tabText(2), QString("Data Log Status"));
    QCOMPARE(w.sheet()->tabText(3), QString("Device Configuration"));
    // The page in view stays the one in view.
    QCOMPARE(w.ActivePage(), int(CDataDownloader::kPageConnection));
    QCOMPARE(rig.store().value("Show All Pages").toByteArray(), QByteArray(1, char(1)));
    w.SetActivePage(CDataDownloader::kPageConfig);
    QCOMPARE(w.sheet()->currentWidget(), w.config_page());
    QVERIFY(w.config_page()->isVisible());
  }
  rig.window.reset();
  CDataDownloader& again = rig.Open();
  QCOMPARE(again.sheet()->count(), 8);
  QVERIFY(again.show_all_action()->isChecked());
  QCOMPARE(again.ActivePage(), int(CDataDownloader::kPageConnection));
}

void ShowAllPagesTest::TurningItOffTakesTheKeptPagesAway() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  w.SetActivePage(CDataDownloader::kPageDeviceStatus);
  w.show_all_action()->trigger();
  QCOMPARE(Tabs(w), QList<QWidget*>({w.connection_page(), w.veld_page(), w.about_page()}));
  QVERIFY(!w.device_status_page()->isVisible());
  QCOMPARE(rig.store().value("Show All Pages").toByteArray(), QByteArray(1, char(0)));
  // A kept page that is not a tab cannot be shown.
  w.SetActivePage(CDataDownloader::kPageConfig);
  QVERIFY(w.ActivePage() != int(CDataDownloader::kPageConfig));
  QVERIFY(!w.config_page()->isVisible());
}

}  // namespace tessor::test
